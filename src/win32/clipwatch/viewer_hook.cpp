#include "viewer_hook.h"

namespace rtrillex::Module1 {

WNDPROC PrevWndProc = nullptr;

namespace {

void (*changeHandler)(HWND) = nullptr;

}  // namespace

void StartHook(HWND window, void (*onChange)(HWND window)) {
  changeHandler = onChange;
  PrevWndProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookProc)));
}

void EndHook(HWND window) {
  if (!PrevWndProc) return;
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PrevWndProc));
  PrevWndProc = nullptr;
}

LRESULT CALLBACK HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The previous procedure passes a change on to the viewers after this
  // one; it goes first, so that they need not wait for the tones.
  const LRESULT result = CallWindowProcW(PrevWndProc, window, message, wParam, lParam);
  if (message == WM_DRAWCLIPBOARD && changeHandler) {
    // A viewer ahead of this one sent the change and waits for the answer:
    // it has it now, not after the tones.
    ReplyMessage(result);
    changeHandler(window);
  }
  return result;
}

}  // namespace rtrillex::Module1
