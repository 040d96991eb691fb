#include "keyboard_driver.h"

#include <iterator>

namespace e2e {

INPUT KeyInput(WORD key, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = flags;
  return input;
}

void PressKeys(std::initializer_list<WORD> keys) {
  const auto send = [](WORD key, DWORD flags) {
    INPUT input = KeyInput(key, flags);
    SendInput(1, &input, sizeof input);
  };
  for (auto key = keys.begin(); key != keys.end(); ++key) {
    if (key + 1 == keys.end()) WaitUntil([] { return false; }, 100ms);
    send(*key, 0);
  }
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) send(*key, KEYEVENTF_KEYUP);
}

void WaitForMenuKeyboard(const RunningApp& app) {
  WaitUntil([&] {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    return GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == app.ThreadId() &&
           GetGUIThreadInfo(app.ThreadId(), &thread) && (thread.flags & GUI_INMENUMODE) != 0;
  });
  WaitUntil([] { return false; }, 300ms);
}

// In one go: Wine may take the display's modifiers (none down) as the test's
// window takes the front, which would undo modifiers sent before.
HWND OpenRecentCopiesAtOnce(const RunningApp& app) {
  INPUT keys[] = {KeyInput(VK_CONTROL, 0),       KeyInput(VK_MENU, 0),           KeyInput('V', 0),
                  KeyInput('V', KEYEVENTF_KEYUP), KeyInput(VK_MENU, KEYEVENTF_KEYUP), KeyInput(VK_CONTROL, KEYEVENTF_KEYUP)};
  SendInput(static_cast<UINT>(std::size(keys)), keys, sizeof(INPUT));
  return OpenMenu(app);
}

SearchWindow OpenSearchWindow(const RunningApp& app) {
  SearchWindow search;
  WaitUntil([&] {
    for (HWND window : app.TopLevelWindows(L"rTrillexSearch"))
      if (IsWindowVisible(window)) search.window = window;
    return search.window != nullptr;
  });
  search.box = FindWindowExW(search.window, nullptr, L"Edit", nullptr);
  search.list = FindWindowExW(search.window, nullptr, L"ListBox", nullptr);
  return search;
}

}  // namespace e2e
