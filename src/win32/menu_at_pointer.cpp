#include "menu_at_pointer.h"

namespace rtrillex {
namespace {

bool menuOpen = false;

}  // namespace

bool MenuAtPointerIsOpen() { return menuOpen; }

UINT OpenMenuAtPointer(HWND owner, HMENU menu, const std::function<bool()>& ready) {
  if (menuOpen) return 0;
  struct Open {
    Open() { menuOpen = true; }
    ~Open() { menuOpen = false; }
  } open;
  // Without the foreground the menu would not close on a click elsewhere.
  SetForegroundWindow(owner);
  if (ready && !ready()) return 0;
  POINT pointer;
  GetCursorPos(&pointer);
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, pointer.x, pointer.y, 0,
                     owner, nullptr));
  // The menus' foreground rule: a message after the menu lets the switch finish.
  if (IsWindow(owner)) PostMessageW(owner, WM_NULL, 0, 0);
  return command;
}

}  // namespace rtrillex
