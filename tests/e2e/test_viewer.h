// Clipboard viewers of the test's own: joined to the chain for their
// lifetime, they count what the chain passes on to them, or hang on it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>

#include "harness.h"

namespace e2e {

// What the chain asks of every viewer: pass each change on to the next, and
// keep the next one current as viewers leave. True when `message` was one of those.
inline bool FollowChainRule(HWND& next, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DRAWCLIPBOARD) {
    if (next) SendMessageW(next, message, wParam, lParam);
    return true;
  }
  if (message == WM_CHANGECBCHAIN) {
    if (reinterpret_cast<HWND>(wParam) == next)
      next = reinterpret_cast<HWND>(lParam);
    else if (next)
      SendMessageW(next, message, wParam, lParam);
    return true;
  }
  return false;
}

class TestViewer {
 public:
  TestViewer() {
    window_ = CreateMessageWindow(L"E2eViewer", Proc, this);
    next_ = SetClipboardViewer(window_);
    PumpMessages();
    notifications = 0;  // the one sent on joining
  }
  ~TestViewer() {
    ChangeClipboardChain(window_, next_);
    DestroyWindow(window_);
  }
  int notifications = 0;
  // The longest wait for the next viewer to take a change handed on to it.
  std::chrono::milliseconds longestHandOff{0};

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = SelfOf<TestViewer>(window);
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_DRAWCLIPBOARD) ++self->notifications;
    const auto start = std::chrono::steady_clock::now();
    if (!FollowChainRule(self->next_, message, wParam, lParam)) return DefWindowProcW(window, message, wParam, lParam);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (message == WM_DRAWCLIPBOARD) self->longestHandOff = std::max(self->longestHandOff, waited);
    return 0;
  }
  HWND window_ = nullptr;
  HWND next_ = nullptr;
};

// A viewer joined after rTrillex, so told of each change first, that opens
// the clipboard for itself before it passes a change on once armed: rTrillex
// then finds the clipboard held, whatever the timing. Release closes it.
class HoldingViewer {
 public:
  HoldingViewer() {
    window_ = CreateMessageWindow(L"E2eHoldingViewer", Proc, this);
    next_ = SetClipboardViewer(window_);
    PumpMessages();
  }
  ~HoldingViewer() {
    Release();
    ChangeClipboardChain(window_, next_);
    DestroyWindow(window_);
  }
  void HoldNextChange() { armed_ = true; }
  bool holding() const { return holding_; }
  void Release() {
    if (holding_) CloseClipboard();
    holding_ = false;
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = SelfOf<HoldingViewer>(window);
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_DRAWCLIPBOARD && self->armed_) {
      self->armed_ = false;
      self->holding_ = OpenClipboard(window) != FALSE;
    }
    if (!FollowChainRule(self->next_, message, wParam, lParam)) return DefWindowProcW(window, message, wParam, lParam);
    return 0;
  }
  HWND window_ = nullptr;
  HWND next_ = nullptr;
  bool armed_ = false;
  bool holding_ = false;
};

// A viewer on a thread of its own that hangs for a while on the first change
// it hears of, as a busy or broken program in the chain would.
class HangingViewer {
 public:
  explicit HangingViewer(DWORD hangMilliseconds) : hangMilliseconds_(hangMilliseconds) {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    WaitForSingleObject(ready_, 5000);
  }
  ~HangingViewer() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 30000);
    CloseHandle(thread_);
    CloseHandle(ready_);
  }
  bool hanging() const { return InterlockedCompareExchange(&hanging_, 0, 0) != 0; }

 private:
  static DWORD WINAPI Run(void* self) { return static_cast<HangingViewer*>(self)->Loop(); }

  DWORD Loop() {
    window_ = CreateMessageWindow(L"E2eHangingViewer", Proc, this);
    next_ = SetClipboardViewer(window_);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);  // the joining notice
    joined_ = true;
    SetEvent(ready_);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    ChangeClipboardChain(window_, next_);
    DestroyWindow(window_);
    return 0;
  }

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = SelfOf<HangingViewer>(window);
    if (self && message == WM_DRAWCLIPBOARD && self->joined_ && !self->hungOnce_) {
      self->hungOnce_ = true;
      InterlockedExchange(&self->hanging_, 1);
      Sleep(self->hangMilliseconds_);
      InterlockedExchange(&self->hanging_, 0);
    }
    if (self && FollowChainRule(self->next_, message, wParam, lParam)) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
  }

  DWORD hangMilliseconds_;
  HANDLE ready_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
  HWND next_ = nullptr;
  bool joined_ = false;
  bool hungOnce_ = false;
  mutable LONG hanging_ = 0;
};

}  // namespace e2e
