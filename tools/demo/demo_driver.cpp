// Drives a running rTrillex from outside for the README's pictures:
//   demo_driver show | menu | version | recent | search TEXT | copy TEXT
#include <windows.h>

#include <cstring>
#include <string>

namespace {

constexpr WPARAM kVersionCommand = 2003;  // "バージョン情報(&V)"

HWND MainWindow() { return FindWindowW(L"rTrillexMain", nullptr); }

void PutText(const std::wstring& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (!memory) return;
  std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  if (!OpenClipboard(nullptr)) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
}

void Key(WORD key, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

// Ctrl+Alt+V as typed: the modifiers a moment before the key.
void PressHistoryKey() {
  Key(VK_CONTROL, 0);
  Key(VK_MENU, 0);
  Sleep(100);
  Key('V', 0);
  for (WORD key : {WORD{'V'}, WORD{VK_MENU}, WORD{VK_CONTROL}}) Key(key, KEYEVENTF_KEYUP);
}

// Opens the search from the menu's last item and types `text` into it, as
// an input method would hand it over.
void Search(const std::wstring& text) {
  PressHistoryKey();
  Sleep(500);
  for (WORD key : {WORD{VK_END}, WORD{VK_RETURN}}) {
    Key(key, 0);
    Key(key, KEYEVENTF_KEYUP);
  }
  Sleep(500);
  for (wchar_t c : text) {
    INPUT input[2] = {};
    for (INPUT& stroke : input) {
      stroke.type = INPUT_KEYBOARD;
      stroke.ki.wScan = c;
      stroke.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring command = argv[1];
  const HWND main = MainWindow();
  if (!main) return 1;
  if (command == L"show") PostMessageW(main, WM_MOUSEMOVE, 1, WM_LBUTTONDBLCLK);
  else if (command == L"menu") PostMessageW(main, WM_MOUSEMOVE, 1, WM_RBUTTONDOWN);
  else if (command == L"version") PostMessageW(main, WM_COMMAND, kVersionCommand, 0);
  else if (command == L"recent") PressHistoryKey();
  else if (command == L"search" && argc > 2) Search(argv[2]);
  else if (command == L"copy" && argc > 2) PutText(argv[2]);
  else return 2;
  return 0;
}
