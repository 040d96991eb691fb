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
