// A request to stop: made on one thread, read on any.
#pragma once
#include <atomic>

class TCancelRequest {
public:
  // The user's Cancel.
  void Request() {
    byUser_.store(true);
    requested_.store(true);
  }
  // A stop the run needs because of a failure.
  void RequestForFailure() { requested_.store(true); }
  bool Requested() const { return requested_.load(); }
  bool ByUser() const { return byUser_.load(); }
  void Clear() {
    requested_.store(false);
    byUser_.store(false);
  }

private:
  std::atomic<bool> requested_{false}, byUser_{false};
};

// The install run's cancel: requested when the user confirms Cancel on the
// copy progress form, or when a failure is reported while the run is on the
// stack. The run clears it when it starts; it then stands until the next
// run. Every loop of the run stops on it: each extractor at its next block
// (and the thread inflating ahead of it), each download at its next block,
// and the run before its next file or step.
TCancelRequest& InstallCancel();
