// The main window's place in the clipboard viewer chain: its window
// procedure is replaced by HookProc, which turns each clipboard-change
// notification into one run of the change handler and hands every message
// on to the procedure that was in place before.
#pragma once

#include <windows.h>

namespace rtrillex::Module1 {

extern WNDPROC PrevWndProc;  // non-null exactly while HookProc is installed

// `onChange` runs for each WM_DRAWCLIPBOARD. It must not throw; it keeps a
// notification that arrives during its own run for later itself.
void StartHook(HWND window, void (*onChange)(HWND window));
void EndHook(HWND window);
LRESULT CALLBACK HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace rtrillex::Module1
