#include "program_spy.h"

#include "harness.h"

namespace e2e {

ProgramSpy::ProgramSpy(DWORD threadId) {
  mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof *record_, kProgramSpyMapping);
  if (mapping_) record_ = static_cast<ProgramSpyRecord*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof *record_));
  if (!record_) {
    problem_ = "the spy's shared memory could not be made";
    return;
  }
  *record_ = {};
  module_ = LoadLibraryW((ThisProgramsDirectory() + L"\\program_spy_hook.dll").c_str());
  if (!module_) {
    problem_ = "program_spy_hook.dll did not load";
    return;
  }
  // Looked up by its plain name, as in either build of the DLL.
  const auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module_, "SpyOnMessages")));
  if (!hook) {
    problem_ = "program_spy_hook.dll exports no SpyOnMessages";
    return;
  }
  hook_ = SetWindowsHookExW(WH_GETMESSAGE, hook, module_, threadId);
  if (!hook_) problem_ = "the hook could not be set on the program's thread";
}

ProgramSpy::~ProgramSpy() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (module_) FreeLibrary(module_);
  if (record_) UnmapViewOfFile(record_);
  if (mapping_) CloseHandle(mapping_);
}

bool ProgramSpy::WaitUntilWatching(HWND programWindow) {
  if (!hook_) return false;
  PostMessageW(programWindow, WM_NULL, 0, 0);  // the thread's next message brings the hook in
  if (WaitUntil([&] { return Read(&ProgramSpyRecord::watching) != 0; })) return true;
  problem_ = "the hook never ran inside the program";
  return false;
}

void ProgramSpy::WatchMenuItem(UINT command) {
  if (!record_) return;
  InterlockedExchange(&record_->menuItemState, -1);
  InterlockedExchange(&record_->menuItem, static_cast<LONG>(command));
}

LONG ProgramSpy::Read(LONG ProgramSpyRecord::*field) const {
  return record_ ? InterlockedCompareExchange(&(record_->*field), 0, 0) : 0;
}

std::vector<std::pair<LONG, LONG>> ProgramSpy::Beeps() const {
  std::vector<std::pair<LONG, LONG>> beeps;
  const LONG count = Read(&ProgramSpyRecord::beeps);
  for (LONG i = 0; i < count && i < 16; ++i) beeps.emplace_back(record_->beep[i].frequency, record_->beep[i].milliseconds);
  return beeps;
}

}  // namespace e2e
