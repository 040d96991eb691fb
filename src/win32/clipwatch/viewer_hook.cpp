#include "viewer_hook.h"

#include "run_guard.h"

namespace rtrillex::Module1 {

WNDPROC PrevWndProc = nullptr;
bool InHookProc = false;

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
  // A notification sent while the handler runs is only handed on. A failed
  // run is not shown anywhere but must not stop the next change's run.
  if (message == WM_DRAWCLIPBOARD && changeHandler && !InHookProc &&
      !RunUnlessBusy(InHookProc, [window] { changeHandler(window); }))
    OutputDebugStringW(L"rTrillex: the clipboard change handler failed\n");
  return result;
}

}  // namespace rtrillex::Module1
