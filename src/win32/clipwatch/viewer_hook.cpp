#include "viewer_hook.h"

namespace rtrillex::Module1 {

WNDPROC PrevWndProc = nullptr;
bool InHookProc = false;

namespace {

void (*changeHandler)(HWND) = nullptr;

// Clears InHookProc however the handler run ends.
struct HookRun {
  HookRun() { InHookProc = true; }
  ~HookRun() { InHookProc = false; }
  HookRun(const HookRun&) = delete;
  HookRun& operator=(const HookRun&) = delete;
};

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
  if (!InHookProc && message == WM_DRAWCLIPBOARD && changeHandler) {
    HookRun run;
    try {
      changeHandler(window);
    } catch (...) {
      // Nothing may leave a window procedure; the change is simply not shown.
      OutputDebugStringW(L"rTrillex: the clipboard change handler failed\n");
    }
  }
  return CallWindowProcW(PrevWndProc, window, message, wParam, lParam);
}

}  // namespace rtrillex::Module1
