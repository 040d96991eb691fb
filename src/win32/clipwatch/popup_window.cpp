#include "popup_window.h"

#include <string>

#include "desktop.h"
#include "control_layout.h"
#include "number_text.h"
#include "popup_window_layout.h"
#include "text.h"

namespace rtrillex {
namespace {

constexpr wchar_t kClassName[] = L"rTrillexPopup";

}  // namespace

void Form2::Load() {
  if (exists()) return;
  LoadResources();

  // A tool window has no taskbar button; WS_POPUP without WS_CAPTION has no frame.
  CreateOwnedWindow(WS_EX_TOOLWINDOW, kClassName, std::wstring(popup_window::kWindowText).c_str(), WS_POPUP, 0, 0,
                    TwipsToPixels(popup_window::kWidthTwips, scale_.x),
                    TwipsToPixels(popup_window::kHeightTwips, scale_.y), nullptr);
  if (!exists()) return;
  place_ = POINT{0, 0};

  // No word wrap and no mnemonics: the text shows as copied, '&' included.
  label_ = CreateWindowExW(0, L"STATIC", std::wstring(popup_window::kInitialCaption).c_str(),
                           WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0, 0, 0, hwnd(),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(popup_window::kLabelId)),
                           GetModuleHandleW(nullptr), nullptr);
  SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  FitLabelTo(popup_window::kInitialCaption);
  Form_Load();
}

void Form2::LoadResources() {
  // The popup comes and goes with nearly every copy; what it is drawn with
  // stays, made once.
  if (font_) return;
  scale_ = ScreenTwipsPerPixel();
  font_ = CreatePointFont(kDefaultFace, kDefaultPoints);
  measurer_ = TextMeasurer(font_.get());
  background_.reset(CreateSolidBrush(ResolveColour(popup_window::kBackground)));
  icon_ = LoadPopupIcon();
  // The icon is the class's: given to each new window, it would cost a few
  // milliseconds every time (under Wine).
  RegisterWindowClass(kClassName, nullptr, icon_.get());  // painted in WM_ERASEBKGND
}

void Form2::Form_Load() {
  // Topmost from the start, keeping its size; where it stands is set before each showing.
  SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form2::Unload() {
  DestroyOwnedWindow();
  label_ = nullptr;
}

void Form2::SetTop(float twips) {
  Load();
  MoveTo(place_.x, static_cast<int>(RoundHalfEven(twips / scale_.y)));
}

void Form2::SetLeft(float twips) {
  Load();
  MoveTo(static_cast<int>(RoundHalfEven(twips / scale_.x)), place_.y);
}

void Form2::MoveTo(int x, int y) {
  // Only this object moves the window: where it stands is known without
  // asking, and a copy made with the pointer where it was (from the
  // keyboard, say) moves nothing.
  if (place_.x == x && place_.y == y) return;
  if (SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) place_ = POINT{x, y};
}

void Form2::SetCaption(std::wstring_view shown) {
  Load();
  // A static control paints its new text at once, at its old size, and
  // again once resized: with its drawing held until both are done, the
  // popup is painted once, from the message loop, after the reaction.
  SendMessageW(label_, WM_SETREDRAW, FALSE, 0);
  SetWindowTextW(label_, std::wstring(shown).c_str());
  FitLabelTo(shown);
  SendMessageW(label_, WM_SETREDRAW, TRUE, 0);
  // The whole popup: where a shorter caption no longer covers it, the old one must go too.
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form2::Show() {
  Load();
  // A popup still showing from the last copy, with nothing put above it
  // since, is where it should be: asking again would cost a round of
  // restacking every copy.
  if (IsWindowVisible(hwnd()) && GetTopWindow(nullptr) == hwnd()) return;
  // Shown on top of every other window, topmost ones included, without
  // taking the focus from the program the user is copying in.
  SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Form2::FitLabelTo(std::wstring_view caption) {
  // The label takes its caption's longest line across and all its lines
  // down; the window keeps its size and cuts off what does not fit.
  const SIZE extent = measurer_.Measure(caption);
  SetWindowPos(label_, nullptr, 0, 0, extent.cx, extent.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Form2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd(), &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, background_.get());
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, ResolveColour(popup_window::kText));
      SetBkColor(dc, ResolveColour(popup_window::kBackground));
      return reinterpret_cast<LRESULT>(background_.get());
    }
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace rtrillex
