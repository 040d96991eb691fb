// The window that has the keyboard, remembered before one of this program's
// windows takes the front for a moment (a menu or a window at the pointer)
// and given back after, so that the person's next keys go where they were
// typing.
#pragma once

#include <windows.h>

namespace rtrillex {

struct KeyboardOwner {
  HWND window = nullptr;  // the window in front
  HWND focus = nullptr;   // the control in it that had the keyboard
};

KeyboardOwner KeyboardOwnerNow();

// Brings the window back to the front with the keyboard where it was; false
// when there is no such window any more.
bool GiveKeyboardBack(const KeyboardOwner& owner);

}  // namespace rtrillex
