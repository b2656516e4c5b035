// A request to stop: made on one thread, read on any.
#pragma once
#include <atomic>

class TCancelRequest {
public:
  void Request() { requested_.store(true); }
  bool Requested() const { return requested_.load(); }
  void Clear() { requested_.store(false); }

private:
  std::atomic<bool> requested_{false};
};

// The install run's cancel: requested when the user confirms Cancel on the
// copy progress form, or when a failure is reported while the run is on the
// stack. The run clears it when it starts; it then stands until the next
// run. Every loop of the run stops on it: each extractor at its next block
// (and the thread inflating ahead of it), each download at its next block,
// and the run before its next file or step.
TCancelRequest& InstallCancel();
