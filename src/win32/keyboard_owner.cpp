#include "keyboard_owner.h"

namespace rtrillex {

KeyboardOwner KeyboardOwnerNow() {
  KeyboardOwner owner;
  owner.window = GetForegroundWindow();
  if (!owner.window) return owner;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(owner.window, nullptr), &thread)) owner.focus = thread.hwndFocus;
  return owner;
}

bool GiveKeyboardBack(const KeyboardOwner& owner) {
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

}  // namespace rtrillex
