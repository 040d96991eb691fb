// The main window's membership in the clipboard viewer chain, from joining
// to leaving: the next viewer, kept current as viewers leave, and every
// notice passed on to it.
#pragma once

#include <windows.h>

namespace rtrillex {

class ViewerChain {
 public:
  ViewerChain() = default;
  ViewerChain(const ViewerChain&) = delete;
  ViewerChain& operator=(const ViewerChain&) = delete;
  ~ViewerChain() { Leave(); }

  // Joins with `window`, whose changes then run `onChange` (see viewer_hook.h).
  void Join(HWND window, void (*onChange)(HWND window));
  void Leave();
  void OnDrawClipboard(WPARAM wParam, LPARAM lParam) const;
  void OnChangeClipboardChain(HWND leaving, HWND next);

 private:
  HWND window_ = nullptr;  // while joined
  // The window that followed this one in the chain when it joined.
  HWND NextViewer = nullptr;
};

}  // namespace rtrillex
