#include "viewer_chain.h"

#include "viewer_hook.h"

namespace rtrillex {

void ViewerChain::Join(HWND window, void (*onChange)(HWND window)) {
  // Joining sends the window a first notification; the hook is not yet in
  // place, so what is on the clipboard at start-up causes nothing.
  NextViewer = SetClipboardViewer(window);
  window_ = window;
  Module1::StartHook(window, onChange);
}

void ViewerChain::Leave() {
  if (!window_) return;
  Module1::EndHook(window_);
  ChangeClipboardChain(window_, NextViewer);
  window_ = nullptr;
}

// The chain's notifications are passed on without waiting for the next
// viewer: one that hangs must not stop this program's own work.
void ViewerChain::OnDrawClipboard(WPARAM wParam, LPARAM lParam) const {
  if (NextViewer) SendNotifyMessageW(NextViewer, WM_DRAWCLIPBOARD, wParam, lParam);
}

void ViewerChain::OnChangeClipboardChain(HWND leaving, HWND next) {
  if (leaving == NextViewer)
    NextViewer = next;
  else if (NextViewer)
    SendNotifyMessageW(NextViewer, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(leaving), reinterpret_cast<LPARAM>(next));
}

}  // namespace rtrillex
