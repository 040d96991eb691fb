// Driving the menu of recent copies and the search window from outside, as
// a person does with the keyboard: keys sent into Wine's input, the menu
// and the search window found once they show.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "harness.h"

namespace e2e {

INPUT KeyInput(WORD key, DWORD flags);

// Presses a key combination as a typist does: the modifiers first, a moment
// before the key; then releases them all in reverse.
void PressKeys(std::initializer_list<WORD> keys);

// The history key (Ctrl+Alt+V) pressed and released in one go while a
// window of the test's own is in front; the menu once it shows, or null.
HWND OpenRecentCopiesAtOnce(const RunningApp& app);

// Waits until the program's menu has the keyboard: the program in front and
// in its menu, then a moment more while Wine finishes switching the
// display's focus (a key sent during that switch may be lost).
void WaitForMenuKeyboard(const RunningApp& app);

// The search window while it shows, its box and its list.
struct SearchWindow {
  HWND window = nullptr, box = nullptr, list = nullptr;
  std::wstring Typed() const { return WindowText(box); }
  LRESULT Lines() const { return SendMessageW(list, LB_GETCOUNT, 0, 0); }
};

// The search window once it shows; no window if it did not.
SearchWindow OpenSearchWindow(const RunningApp& app);

}  // namespace e2e
