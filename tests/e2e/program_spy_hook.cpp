// Loaded into the program under test by a message hook (see program_spy.h).
// On loading it reroutes the program's calls of Beep through itself, by
// rewriting the program's import table entry, and records each one.
#include <windows.h>

#include <cstring>

#include "program_spy.h"

namespace {

e2e::ProgramSpyRecord* Record() {
  static e2e::ProgramSpyRecord* record = nullptr;
  if (!record) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, e2e::kProgramSpyMapping);
    if (mapping) record = static_cast<e2e::ProgramSpyRecord*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof *record));
  }
  return record;
}

using BeepFunction = BOOL(WINAPI*)(DWORD, DWORD);
BeepFunction systemBeep = nullptr;

BOOL WINAPI RecordedBeep(DWORD frequency, DWORD milliseconds) {
  if (e2e::ProgramSpyRecord* record = Record()) {
    const LONG index = InterlockedIncrement(&record->beeps) - 1;
    if (index < 16) {
      record->beep[index].frequency = static_cast<LONG>(frequency);
      record->beep[index].milliseconds = static_cast<LONG>(milliseconds);
    }
  }
  return systemBeep(frequency, milliseconds);
}

// Points the exe's import of kernel32's Beep at RecordedBeep.
void RerouteBeep() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!imports.VirtualAddress) return;
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll) {
    if (_stricmp(reinterpret_cast<const char*>(base + dll->Name), "kernel32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(name->Name), "Beep") != 0) continue;
      DWORD protection = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
      systemBeep = reinterpret_cast<BeepFunction>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(&RecordedBeep);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
    }
  }
}

bool IsPopupMenu(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return lstrcmpW(name, L"#32768") == 0;
}

// Read before the menu acts on the key: the state the person saw.
void ReadMenuItem(e2e::ProgramSpyRecord& record, const MSG& message) {
  if (message.message != WM_KEYDOWN || !record.menuItem || !IsPopupMenu(message.hwnd)) return;
  const auto menu = reinterpret_cast<HMENU>(SendMessageW(message.hwnd, MN_GETHMENU, 0, 0));
  const UINT state = GetMenuState(menu, static_cast<UINT>(record.menuItem), MF_BYCOMMAND);
  InterlockedExchange(&record.menuItemState, static_cast<LONG>(state));
}

}  // namespace

// Exported by its plain name through program_spy_hook.def.
extern "C" LRESULT CALLBACK SpyOnMessages(int code, WPARAM wParam, LPARAM lParam) {
  e2e::ProgramSpyRecord* record = Record();
  if (record && !record->watching) {
    RerouteBeep();
    InterlockedExchange(&record->watching, 1);
  }
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (record && code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_TIMER) {
    InterlockedExchange(&record->lastTimerId, static_cast<LONG>(message->wParam));
    InterlockedIncrement(&record->ticks);
  }
  if (record && code == HC_ACTION) ReadMenuItem(*record, *message);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
