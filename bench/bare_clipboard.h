// The clipboard as any other program sees it: a bare read of its text, and
// how long some window holds it open, watched from outside.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>

#include "bench_text.h"

namespace bench {

// What a bare reader does, and no more: the text's block, its size taken
// once, a scan for the end (a careless program may leave out the NUL), one
// copy.
inline std::optional<std::wstring> BareReadText(HWND window) {
  if (!OpenClipboard(window)) return std::nullopt;
  std::optional<std::wstring> text;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (const auto* chars = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
    const wchar_t* end = chars + GlobalSize(data) / sizeof(wchar_t);
    text.emplace(chars, std::find(chars, end, L'\0'));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

// Watches, from a thread of its own, how long the clipboard is open in the
// windows of one thread, by asking the system which window has it open
// about every millisecond: nothing is taken from the program watched, whose
// own attempts to open the clipboard are never refused on our account. It
// is watching once made: a thread starting up while the work to be timed
// runs would slow that work down.
class OpenClipboardWatch {
 public:
  explicit OpenClipboardWatch(DWORD threadId)
      : threadId_(threadId),
        watching_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {
    WaitForSingleObject(watching_, 10000);
  }
  ~OpenClipboardWatch() {
    Stop();
    CloseHandle(thread_);
    CloseHandle(watching_);
  }
  OpenClipboardWatch(const OpenClipboardWatch&) = delete;
  OpenClipboardWatch& operator=(const OpenClipboardWatch&) = delete;

  // Takes a last look and stops; returns the milliseconds the clipboard was seen open in all.
  double Stop() {
    stop_ = true;
    WaitForSingleObject(thread_, INFINITE);
    return static_cast<double>(heldMicroseconds_) / 1000.0;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<OpenClipboardWatch*>(self)->Watch();
    return 0;
  }
  void Watch() {
    auto last = Clock::now();
    while (!stop_) {
      const HWND open = GetOpenClipboardWindow();
      const auto now = Clock::now();
      if (open && GetWindowThreadProcessId(open, nullptr) == threadId_)
        heldMicroseconds_ += std::chrono::duration_cast<std::chrono::microseconds>(now - last).count();
      last = now;
      SetEvent(watching_);
      Sleep(1);
    }
  }

  const DWORD threadId_;
  std::atomic<bool> stop_{false};
  std::atomic<long long> heldMicroseconds_{0};
  HANDLE watching_;
  HANDLE thread_;
};

}  // namespace bench
