#include "menu_at_pointer.h"

#include "keyboard_owner.h"

namespace rtrillex {
namespace {

bool menuOpen = false;

}  // namespace

bool MenuAtPointerIsOpen() { return menuOpen; }

MenuChoice OpenMenuAtPointer(HWND owner, HMENU menu, const std::function<bool()>& ready) {
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
  // Whatever closed the menu, the keys go back where they were.
  if (GiveKeyboardBack(previous)) choice.previous = previous;
  return choice;
}

}  // namespace rtrillex
