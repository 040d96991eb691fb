// A message hook loaded into the program under test: it counts the timer
// messages its thread takes from its queue, in memory the test can read.
#include <windows.h>

#include "timer_spy.h"

namespace {

e2e::TimerSpyCounts* SharedCounts() {
  static e2e::TimerSpyCounts* counts = nullptr;
  if (!counts) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, e2e::kTimerSpyMapping);
    if (mapping)
      counts = static_cast<e2e::TimerSpyCounts*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof *counts));
  }
  return counts;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK CountTimerMessages(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_TIMER)
    if (e2e::TimerSpyCounts* counts = SharedCounts()) {
      InterlockedExchange(&counts->lastTimerId, static_cast<LONG>(message->wParam));
      InterlockedIncrement(&counts->ticks);
    }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
