// Opening a popup menu at the mouse pointer, as a window in the notification
// area or behind a system-wide key does: one menu at a time, this program's
// window in front while it is open, as the system's menus require, and the
// keyboard given back to the window that had it once the menu closes.
#pragma once

#include <windows.h>

#include <functional>

#include "keyboard_owner.h"

namespace rtrillex {

// True while a menu opened here is open.
bool MenuAtPointerIsOpen();

struct MenuChoice {
  UINT command = 0;        // 0 for none
  KeyboardOwner previous;  // in front before, and again now unless kept; no window if there was none
};

// Opens `menu` at the pointer for `owner`. `ready`, if given, runs once
// `owner` is in front and may cancel by returning false. Nothing opens while
// another such menu is open. Once it closes, the keyboard goes back unless
// `keepsKeyboard` says that a window of this program takes it over (the
// keys typed on are then still in this program's queue, in order).
MenuChoice OpenMenuAtPointer(HWND owner, HMENU menu, const std::function<bool()>& ready = nullptr,
                             const std::function<bool(UINT command)>& keepsKeyboard = nullptr);

// While it lives, `onKey` sees each message of this thread's menus before
// they do (keys the menu would not pass on); true takes the message.
class MenuKeyHook {
 public:
  explicit MenuKeyHook(std::function<bool(const MSG& message)> onKey);
  ~MenuKeyHook();
  MenuKeyHook(const MenuKeyHook&) = delete;
  MenuKeyHook& operator=(const MenuKeyHook&) = delete;

 private:
  static LRESULT CALLBACK Filter(int code, WPARAM wParam, LPARAM lParam);

  std::function<bool(const MSG& message)> onKey_;
  HHOOK hook_ = nullptr;
};

// The window showing `menu` while it is open on this thread, to redraw it;
// null when there is none.
HWND OpenMenuWindow(HMENU menu);

}  // namespace rtrillex
