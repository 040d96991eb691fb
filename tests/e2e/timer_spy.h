// Counts the timer messages another program's GUI thread handles, through
// a message hook that the system loads into that program: how the tests
// see whether the program wakes up while it should be idle.
#pragma once

#include <windows.h>

namespace e2e {

inline constexpr wchar_t kTimerSpyMapping[] = L"Local\\rTrillexE2eTimerSpy";

// The memory the hook writes and the test reads.
struct TimerSpyCounts {
  LONG ticks;        // timer messages handled since the spy was set
  LONG lastTimerId;  // the id of the last one
};

class TimerSpy {
 public:
  explicit TimerSpy(DWORD threadId);
  ~TimerSpy();
  TimerSpy(const TimerSpy&) = delete;
  TimerSpy& operator=(const TimerSpy&) = delete;

  bool hooked() const { return hook_ != nullptr; }
  LONG Ticks() const { return counts_ ? InterlockedCompareExchange(&counts_->ticks, 0, 0) : 0; }
  LONG LastTimerId() const { return counts_ ? InterlockedCompareExchange(&counts_->lastTimerId, 0, 0) : 0; }

 private:
  HANDLE mapping_ = nullptr;
  TimerSpyCounts* counts_ = nullptr;
  HMODULE module_ = nullptr;
  HHOOK hook_ = nullptr;
};

}  // namespace e2e
