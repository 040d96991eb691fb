#include "form_window.h"

#include "control_layout.h"
#include "controls.h"

namespace rtrillex {

bool FormWindow::CreateForm(const wchar_t* className, const wchar_t* title, DWORD style, int clientWidth96,
                            int clientHeight96) {
  RegisterWindowClass(className, reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1));
  RECT frame{0, 0, ScaledFrom96(clientWidth96), ScaledFrom96(clientHeight96)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  CreateOwnedWindow(0, className, title, style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                    frame.bottom - frame.top, nullptr);
  if (!exists()) return false;
  icons_.AttachTo(hwnd());
  font_ = CreatePointFont(kDefaultFace, kDefaultPoints);
  return true;
}

HWND FormWindow::AddControl(const wchar_t* className, std::wstring_view text, DWORD style, int id, const RECT& at96) {
  return CreateScaledControl(hwnd(), className, text, style, id, at96, font_.get());
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NEXTDLGCTL) {  // a label's access key, asking for the control after it
    OnNextDialogControl(hwnd(), wParam, lParam);
    return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace rtrillex
