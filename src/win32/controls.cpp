#include "controls.h"

#include <string>

#include "desktop.h"

namespace rtrillex {
namespace {

DWORD StyleOf(ControlKind kind) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  switch (kind) {
    case ControlKind::ListBox:
      // Drawn by the window, which draws only the beginning of a huge line.
      return kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_USETABSTOPS |
             LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
    case ControlKind::Label:
      return kChild | SS_LEFTNOWORDWRAP;
    case ControlKind::WrappingLabel:
      return kChild | SS_LEFT;
    case ControlKind::GroupBox:
      return kChild | BS_GROUPBOX;
    case ControlKind::CheckBox:
      return kChild | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT;
    case ControlKind::Edit:
      return kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
    case ControlKind::MultiLineEdit:
      return kChild | WS_TABSTOP | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    case ControlKind::LabelButton:
    case ControlKind::Picture:
      // Drawn by the window; a label button's whole bordered rectangle takes the click.
      return kChild | SS_OWNERDRAW | SS_NOTIFY;
    case ControlKind::PushButton:
      return kChild | WS_TABSTOP | BS_PUSHBUTTON;
  }
  return kChild;
}

const wchar_t* ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::ListBox:
      return L"LISTBOX";
    case ControlKind::GroupBox:
    case ControlKind::CheckBox:
    case ControlKind::PushButton:
      return L"BUTTON";
    case ControlKind::Edit:
    case ControlKind::MultiLineEdit:
      return L"EDIT";
    default:
      return L"STATIC";
  }
}

}  // namespace

HWND CreateControl(HWND parent, int id, ControlKind kind, std::wstring_view caption, const PixelRect& place,
                   HFONT font) {
  HWND control = CreateWindowExW(0, ClassOf(kind), std::wstring(caption).c_str(), StyleOf(kind), place.left,
                                 place.top, place.width, place.height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (kind == ControlKind::ListBox) {
    // An owner-drawn list takes no line height from its font: one line of it.
    const SIZE line = MeasureText(control, font, L"Ag");
    SendMessageW(control, LB_SETITEMHEIGHT, 0, line.cy);
  }
  if (kind == ControlKind::Label) {
    const SIZE extent = MeasureText(control, font, caption);
    SetWindowPos(control, nullptr, 0, 0, extent.cx, extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return control;
}

void PutFrameBelowItsControls(HWND frame) {
  SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int ScaledFrom96(int pixels) { return MulDiv(pixels, ScreenDotsPerInchY(), 96); }

HWND CreateScaledControl(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style, int id,
                         const RECT& at96, HFONT font) {
  const bool sunken = lstrcmpiW(className, L"EDIT") == 0 || lstrcmpiW(className, L"LISTBOX") == 0;
  HWND control = CreateWindowExW(sunken ? WS_EX_CLIENTEDGE : 0, className, std::wstring(text).c_str(),
                                 WS_CHILD | WS_VISIBLE | style, ScaledFrom96(at96.left), ScaledFrom96(at96.top),
                                 ScaledFrom96(at96.right - at96.left), ScaledFrom96(at96.bottom - at96.top), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void FocusControl(HWND control) {
  if (!control) return;
  SetFocus(control);
  if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
}

void OnNextDialogControl(HWND window, WPARAM wParam, LPARAM lParam) {
  FocusControl(LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(window, GetFocus(), wParam != 0));
}

}  // namespace rtrillex
