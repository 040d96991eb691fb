// A clipboard viewer of the test's own, joined to the chain for the test's
// lifetime, that counts what the chain passes on to it.
#pragma once

#include <windows.h>

#include "harness.h"

namespace e2e {

class TestViewer {
 public:
  TestViewer() {
    WNDCLASSW viewerClass{};
    viewerClass.lpfnWndProc = Proc;
    viewerClass.hInstance = GetModuleHandleW(nullptr);
    viewerClass.lpszClassName = L"E2eViewer";
    RegisterClassW(&viewerClass);
    window_ = CreateWindowW(L"E2eViewer", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    next_ = SetClipboardViewer(window_);
    PumpMessages();
    notifications = 0;  // the one sent on joining
  }
  ~TestViewer() {
    ChangeClipboardChain(window_, next_);
    DestroyWindow(window_);
  }
  int notifications = 0;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TestViewer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_DRAWCLIPBOARD) {
      ++self->notifications;
      if (self->next_) SendMessageW(self->next_, message, wParam, lParam);
      return 0;
    }
    if (self && message == WM_CHANGECBCHAIN) {
      if (reinterpret_cast<HWND>(wParam) == self->next_)
        self->next_ = reinterpret_cast<HWND>(lParam);
      else if (self->next_)
        SendMessageW(self->next_, message, wParam, lParam);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  HWND window_ = nullptr;
  HWND next_ = nullptr;
};

}  // namespace e2e

namespace e2e {

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
    WNDCLASSW viewerClass{};
    viewerClass.lpfnWndProc = Proc;
    viewerClass.hInstance = GetModuleHandleW(nullptr);
    viewerClass.lpszClassName = L"E2eHangingViewer";
    RegisterClassW(&viewerClass);
    window_ = CreateWindowW(L"E2eHangingViewer", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
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
    auto* self = reinterpret_cast<HangingViewer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_DRAWCLIPBOARD) {
      if (self->joined_ && !self->hungOnce_) {
        self->hungOnce_ = true;
        InterlockedExchange(&self->hanging_, 1);
        Sleep(self->hangMilliseconds_);
        InterlockedExchange(&self->hanging_, 0);
      }
      if (self->next_) SendMessageW(self->next_, message, wParam, lParam);
      return 0;
    }
    if (self && message == WM_CHANGECBCHAIN) {
      if (reinterpret_cast<HWND>(wParam) == self->next_)
        self->next_ = reinterpret_cast<HWND>(lParam);
      else if (self->next_)
        SendMessageW(self->next_, message, wParam, lParam);
      return 0;
    }
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
