// A top-level window owned by a C++ object: the object is bound to its
// window at WM_NCCREATE and every message goes to its HandleMessage.
#pragma once

#include <windows.h>

#include "handle.h"

namespace rtrillex {

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window() = default;

  // The object bound to a window of this program, or null.
  static Window* FromHandle(HWND window);

  HWND hwnd() const { return window_.get(); }
  bool exists() const { return static_cast<bool>(window_); }

 protected:
  // Registers a class of this program's on first use: the arrow pointer,
  // the given background (none: the window paints its own), the icon of
  // every window of the class (none: set per window) and WindowProc.
  static void RegisterWindowClass(const wchar_t* className, HBRUSH background, HICON icon = nullptr);

  void CreateOwnedWindow(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                         int width, int height, HMENU menu);
  void DestroyOwnedWindow() { window_.reset(); }

  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  UniqueWindow window_;
};

}  // namespace rtrillex
