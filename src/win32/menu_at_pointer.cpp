#include "menu_at_pointer.h"

namespace rtrillex {
namespace {

bool menuOpen = false;

// The window in front and the control in it that has the keyboard.
struct KeyboardOwner {
  HWND window = nullptr;
  HWND focus = nullptr;
};

KeyboardOwner KeyboardOwnerNow() {
  KeyboardOwner owner;
  owner.window = GetForegroundWindow();
  if (!owner.window) return owner;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(owner.window, nullptr), &thread)) owner.focus = thread.hwndFocus;
  return owner;
}

// Brings the window back to the front with the keyboard where it was. The
// focus of another program's thread can be set only while its input is
// joined to ours for a moment.
bool GiveBack(const KeyboardOwner& owner) {
  if (!owner.window || !IsWindow(owner.window)) return false;
  SetForegroundWindow(owner.window);
  if (!owner.focus || !IsWindow(owner.focus)) return true;
  const DWORD theirs = GetWindowThreadProcessId(owner.window, nullptr);
  const DWORD ours = GetCurrentThreadId();
  if (theirs == ours) {
    SetFocus(owner.focus);
    return true;
  }
  // Another thread takes the front when it gets to it, and its own handling
  // of that may move its focus: a message sent after is answered once it
  // has. A program that hangs is not waited for long.
  DWORD_PTR answer = 0;
  constexpr UINT kActivationWaitMilliseconds = 250;
  SendMessageTimeoutW(owner.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kActivationWaitMilliseconds,
                      &answer);
  // Most programs put their focus back themselves; only where it went
  // elsewhere is it set, with the two threads' input joined for a moment.
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  if (GetForegroundWindow() != owner.window || !GetGUIThreadInfo(theirs, &thread) || thread.hwndFocus == owner.focus)
    return true;
  if (AttachThreadInput(ours, theirs, TRUE)) {
    SetFocus(owner.focus);
    AttachThreadInput(ours, theirs, FALSE);
  }
  return true;
}

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
  if (GiveBack(previous)) choice.previous = previous.window;
  return choice;
}

}  // namespace rtrillex
