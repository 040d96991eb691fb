#include "window.h"

namespace rtrillex {

void Window::RegisterWindowClass(const wchar_t* className, HBRUSH background, HICON icon) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW description{};
  description.cbSize = sizeof description;
  if (GetClassInfoExW(instance, className, &description)) return;
  description.lpfnWndProc = WindowProc;
  description.hInstance = instance;
  description.lpszClassName = className;
  description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  description.hbrBackground = background;
  description.hIcon = icon;
  RegisterClassExW(&description);
}

void Window::CreateOwnedWindow(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x,
                               int y, int width, int height, HMENU menu) {
  window_.reset();
  // WindowProc binds the new window to this object at WM_NCCREATE.
  CreateWindowExW(exStyle, className, text, style, x, y, width, height, nullptr, menu, GetModuleHandleW(nullptr),
                  this);
}

Window* Window::FromHandle(HWND window) {
  return reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd(), message, wParam, lParam);
}

LRESULT CALLBACK Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_.reset(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  Window* self = FromHandle(window);
  if (!self) return DefWindowProcW(window, message, wParam, lParam);

  if (message == WM_NCDESTROY) {
    // The window is gone: the object must neither use nor destroy it again.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_.release();
    return DefWindowProcW(window, message, wParam, lParam);
  }
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // Nothing may leave a window procedure; the message counts as not
    // handled. A close is refused instead: the default would destroy the
    // window without its owner's clean-up.
    OutputDebugStringW(L"rTrillex: a message handler failed\n");
    if (message == WM_CLOSE) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace rtrillex
