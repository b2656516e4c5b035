// Runs an action when a scope ends, however it ends: a state set for the
// length of a call comes back also when the call throws. Dismiss() gives up
// the action, for an undo that only a failure needs:
//
//   TScopeExit undo([&] { delete f; });
//   ...
//   undo.Dismiss();
//
// The action runs from a destructor and must not throw.
// Header-only and free of the standard library, so that the loading
// program can use it too.
#pragma once

template <typename F>
class TScopeExit {
public:
  explicit TScopeExit(F action) : action_(static_cast<F&&>(action)) {}
  ~TScopeExit() {
    if (armed_) action_();
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

  void Dismiss() { armed_ = false; }

private:
  F action_;
  bool armed_ = true;
};
