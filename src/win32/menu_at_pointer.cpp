#include "menu_at_pointer.h"

#include <utility>

#include "keyboard_owner.h"

namespace rtrillex {
namespace {

bool menuOpen = false;

}  // namespace

bool MenuAtPointerIsOpen() { return menuOpen; }

MenuChoice OpenMenuAtPointer(HWND owner, HMENU menu, const std::function<bool()>& ready,
                             const std::function<bool(UINT command)>& keepsKeyboard) {
  MenuChoice choice;
  if (menuOpen) return choice;
  struct Open {
    Open() { menuOpen = true; }
    ~Open() { menuOpen = false; }
  } open;
  const KeyboardOwner previous = KeyboardOwnerNow();
  // Without the foreground the menu would not close on a click elsewhere.
  SetForegroundWindow(owner);
  if (!ready || ready()) {
    POINT pointer;
    GetCursorPos(&pointer);
    choice.command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, pointer.x, pointer.y, 0,
                       owner, nullptr));
    // The menus' foreground rule: a message after the menu lets the switch finish.
    if (IsWindow(owner)) PostMessageW(owner, WM_NULL, 0, 0);
  }
  if (keepsKeyboard && keepsKeyboard(choice.command)) {
    // Giving the front back now would take it from the window that follows
    // the menu, and the keys typed meanwhile with it.
    if (previous.window && IsWindow(previous.window)) choice.previous = previous;
    return choice;
  }
  // However else the menu closed, the keys go back where they were.
  if (GiveKeyboardBack(previous)) choice.previous = previous;
  return choice;
}

namespace {

struct MenuWindowSearch {
  HMENU menu;
  HWND found = nullptr;
};

// Menus are shown in windows of the system's menu class, which name the
// menu they show.
BOOL CALLBACK FindMenuWindow(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<MenuWindowSearch*>(data);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (lstrcmpW(className, L"#32768") != 0) return TRUE;
  if (reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0)) != search.menu) return TRUE;
  search.found = window;
  return FALSE;
}

}  // namespace

HWND OpenMenuWindow(HMENU menu) {
  if (!menu) return nullptr;
  MenuWindowSearch search{menu};
  EnumThreadWindows(GetCurrentThreadId(), FindMenuWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

namespace {
MenuKeyHook* activeKeyHook = nullptr;  // one menu at a time, on the window's thread
}  // namespace

MenuKeyHook::MenuKeyHook(std::function<bool(const MSG& message)> onKey) : onKey_(std::move(onKey)) {
  hook_ = SetWindowsHookExW(WH_MSGFILTER, Filter, nullptr, GetCurrentThreadId());
  if (hook_) activeKeyHook = this;
}

MenuKeyHook::~MenuKeyHook() {
  if (!hook_) return;
  UnhookWindowsHookEx(hook_);
  activeKeyHook = nullptr;
}

LRESULT CALLBACK MenuKeyHook::Filter(int code, WPARAM wParam, LPARAM lParam) {
  if (code == MSGF_MENU && activeKeyHook && activeKeyHook->onKey_(*reinterpret_cast<const MSG*>(lParam))) return TRUE;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace rtrillex
