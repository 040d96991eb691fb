#include "version_window.h"

#include <string>

#include "about_window_layout.h"
#include "controls.h"
#include "desktop.h"

namespace rtrillex {
namespace {

constexpr wchar_t kClassName[] = L"rTrillexVersion";
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;  // sizing border, minimise, maximise and close boxes
constexpr int kPictureWidth = 150, kPictureHeight = 153;

}  // namespace

void Form3::Show() {
  Load();
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
}

void Form3::Load() {
  if (exists()) return;
  RegisterWindowClass(kClassName, reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1));

  const TwipsPerPixel scale = ScreenTwipsPerPixel();
  RECT frame{0, 0, TwipsToPixels(about_window::kClientWidthTwips, scale.x),
             TwipsToPixels(about_window::kClientHeightTwips, scale.y)};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  CreateOwnedWindow(0, kClassName, std::wstring(about_window::kCaption).c_str(), kWindowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr);
  if (!exists()) return;

  icons_.AttachTo(hwnd());
  picture_ = LoadProgramIcon(kPictureWidth, kPictureHeight);

  font_ = CreatePointFont(kDefaultFace, kDefaultPoints);
  for (const AboutControl& control : about_window::kControls)
    CreateControl(hwnd(), control, about_window::kFrame, scale, font_.get());
  PutFrameBelowItsControls(GetDlgItem(hwnd(), static_cast<int>(AboutControlId::Frame1)));
  Form_Load();
}

void Form3::Form_Load() {
  SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Form3::DrawPicture(const DRAWITEMSTRUCT& item) {
  const RECT& area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(COLOR_3DFACE));
  DrawIconEx(item.hDC, area.left, area.top, picture_.get(), area.right - area.left, area.bottom - area.top, 0,
             nullptr, DI_NORMAL);
}

LRESULT Form3::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == static_cast<int>(AboutControlId::Command1) && HIWORD(wParam) == BN_CLICKED)
        Command1_Click();
      return 0;
    case WM_DRAWITEM:
      DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CLOSE:
      Unload();
      return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace rtrillex
