// Pasting a chosen history entry where the person was typing: once the
// entry is on the clipboard and the keys of the combination are up, Ctrl+V
// is typed into the window that had the keyboard. No window of another
// program to go back to, a window that has gone or lost the front, keys
// held for too long, or an entry that never got onto the clipboard: the
// entry stays on the clipboard and nothing is typed.
#pragma once

#include <windows.h>

#include "clipboard_watch.h"

namespace rtrillex {

class PasteBack {
 public:
  // `window` receives the timer `timerId` whose ticks call OnTimer.
  PasteBack(HWND window, UINT_PTR timerId) : window_(window), timerId_(timerId) {}
  PasteBack(const PasteBack&) = delete;
  PasteBack& operator=(const PasteBack&) = delete;
  ~PasteBack() { Stop(); }

  // After the chosen entry was asked onto the clipboard and `target` given the keyboard back.
  void Start(HWND target);
  void OnTimer(ClipboardWatch::PutBackState put);
  void Stop();

 private:
  HWND window_;
  UINT_PTR timerId_;
  HWND target_ = nullptr;  // while a paste waits
  ULONGLONG startedAt_ = 0;
  ULONGLONG madeAt_ = 0;   // when the entry was seen on the clipboard
};

}  // namespace rtrillex
