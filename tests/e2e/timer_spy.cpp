#include "timer_spy.h"

#include "harness.h"

namespace e2e {

TimerSpy::TimerSpy(DWORD threadId) {
  mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof *counts_, kTimerSpyMapping);
  if (!mapping_) return;
  counts_ = static_cast<TimerSpyCounts*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof *counts_));
  if (!counts_) return;
  *counts_ = {};
  module_ = LoadLibraryW((ThisProgramsDirectory() + L"\\timer_spy_hook.dll").c_str());
  if (!module_) return;
  const auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module_, "CountTimerMessages")));
  if (hook) hook_ = SetWindowsHookExW(WH_GETMESSAGE, hook, module_, threadId);
}

TimerSpy::~TimerSpy() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (module_) FreeLibrary(module_);
  if (counts_) UnmapViewOfFile(counts_);
  if (mapping_) CloseHandle(mapping_);
}

}  // namespace e2e
