#include "paste_back.h"

namespace rtrillex {
namespace {

constexpr UINT kTickMilliseconds = 20;
// Keys of the combination or the choice still down after this are held on
// purpose: typing V now would make another combination of them.
constexpr ULONGLONG kKeysUpWithin = 1000;
// A re-copy gives up after about a second itself; this is only a backstop.
constexpr ULONGLONG kPutWithin = 2500;

bool IsDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

bool ModifiersAreDown() {
  return IsDown(VK_CONTROL) || IsDown(VK_MENU) || IsDown(VK_SHIFT) || IsDown(VK_LWIN) || IsDown(VK_RWIN);
}

// A window of another program that takes typing: not the desktop, not the
// shell's own window, not one of this program's windows.
bool IsPasteTarget(HWND window) {
  if (!window || !IsWindow(window) || window == GetDesktopWindow() || window == GetShellWindow()) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process != GetCurrentProcessId();
}

INPUT Key(WORD key, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = flags;
  return input;
}

void TypeCtrlV() {
  // A window running with higher rights than this program drops the keys:
  // nothing more happens, and nothing waits for it.
  INPUT keys[] = {Key(VK_CONTROL, 0), Key('V', 0), Key('V', KEYEVENTF_KEYUP), Key(VK_CONTROL, KEYEVENTF_KEYUP)};
  SendInput(static_cast<UINT>(std::size(keys)), keys, sizeof(INPUT));
}

}  // namespace

void PasteBack::Start(HWND target) {
  Stop();
  if (!IsPasteTarget(target)) return;
  target_ = target;
  startedAt_ = GetTickCount64();
  madeAt_ = 0;
  SetTimer(window_, timerId_, kTickMilliseconds, nullptr);
}

void PasteBack::Stop() {
  if (!target_) return;
  target_ = nullptr;
  KillTimer(window_, timerId_);
}

void PasteBack::OnTimer(ClipboardWatch::PutBackState put) {
  if (!target_) return;
  const ULONGLONG now = GetTickCount64();
  if (put == ClipboardWatch::PutBackState::Waiting) {
    if (now - startedAt_ > kPutWithin) Stop();
    return;
  }
  if (put != ClipboardWatch::PutBackState::Made) {
    Stop();
    return;
  }
  if (!madeAt_) madeAt_ = now;
  if (ModifiersAreDown()) {
    if (now - madeAt_ > kKeysUpWithin) Stop();
    return;
  }
  // Only where the person is still typing: a window they left meanwhile gets nothing.
  if (IsWindow(target_) && GetForegroundWindow() == target_) TypeCtrlV();
  Stop();
}

}  // namespace rtrillex
