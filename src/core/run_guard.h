// Keeps a piece of work from starting again while it runs (a message sent
// to a window during its own handler), and keeps failures inside it from
// escaping into the caller, which may be the system calling a window procedure.
#pragma once

namespace rtrillex {

// Runs `work` unless `busy` says a run is in progress. `busy` is set for the
// run and cleared after it, however it ends. True when `work` ran to its end.
template <typename Work>
bool RunUnlessBusy(bool& busy, Work&& work) noexcept {
  if (busy) return false;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{busy};
  busy = true;
  try {
    work();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace rtrillex
