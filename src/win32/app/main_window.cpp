// How the main window looks: window, menu bar and controls built from the
// layout table, their colours and fonts, and where their events go.
#include "main_window.h"

#include <windowsx.h>

#include <string>

#include "controls.h"
#include "desktop.h"

namespace rtrillex {
namespace {

constexpr wchar_t kClassName[] = L"rTrillexMain";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // fixed border, close box only

void AppendMenuItem(HMENU menu, MenuId id, std::wstring_view caption) {
  AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), std::wstring(caption).c_str());
}

}  // namespace

Form1::Form1()
    : scale_(ScreenTwipsPerPixel()),
      watch_({clipboard_, settingsFile_, tones_, pointer_, clock_, form2_, *this, scale_}) {}

void Form1::CreateMainWindow() {
  RegisterWindowClass(kClassName, reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1));

  RECT frame{0, 0, TwipsToPixels(main_window::kClientWidthTwips, scale_.x),
             TwipsToPixels(main_window::kClientHeightTwips, scale_.y)};
  AdjustWindowRectEx(&frame, kWindowStyle, TRUE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateOwnedWindow(0, kClassName, std::wstring(main_window::kCaption).c_str(), kWindowStyle, x, y, width, height,
                    CreateMenuBar());
  if (!exists()) return;

  icons_.AttachTo(hwnd());
  CreateControls();
  trayIcon_.emplace(hwnd(), kTrayRetryTimer);
  pasteBack_.emplace(hwnd(), kPasteTimer);
}

HMENU Form1::CreateMenuBar() {
  using namespace main_window;
  fileMenu_ = CreatePopupMenu();
  AppendMenuItem(fileMenu_, MenuId::mnuMain, kMainItem);
  AppendMenuItem(fileMenu_, MenuId::mnuPhrases, kPhrasesItem);
  AppendMenuItem(fileMenu_, MenuId::mnuSharing, kSharingItem);
  AppendMenuItem(fileMenu_, MenuId::mnuKeepHistory, kKeepHistoryItem);
  AppendMenuItem(fileMenu_, MenuId::mnuClearHistory, kClearHistoryItem);
  AppendMenuItem(fileMenu_, MenuId::mnuStartup, kStartupItem);
  AppendMenuItem(fileMenu_, MenuId::mnuExit, kExitItem);
  HMENU helpMenu = CreatePopupMenu();
  AppendMenuItem(helpMenu, MenuId::mnuVer, kVersionItem);

  // The bar owns its submenus, and the window owns the bar.
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(fileMenu_), std::wstring(kFileMenu).c_str());
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(helpMenu), std::wstring(kHelpMenu).c_str());
  return bar;
}

void Form1::CreateControls() {
  defaultFont_ = CreatePointFont(kDefaultFace, kDefaultPoints);
  labelButtonFont_ = CreatePointFont(main_window::kLabelButtonFace, main_window::kLabelButtonPoints);
  const TwipRect& frame = main_window::Describe(ControlId::Frame1).place;
  for (const MainControl& control : main_window::kControls) {
    HFONT font = control.font == ControlFont::LabelButton ? labelButtonFont_.get() : defaultFont_.get();
    CreateControl(hwnd(), control, frame, scale_, font);
  }
  CreateBrushes();
  PutFrameBelowItsControls(Control(ControlId::Frame1));
  currentContent_.Attach(Control(ControlId::txtCurCB));
  historyList_.Attach(Control(ControlId::List1));
  focus_ = Control(ControlId::List1);
}

void Form1::CreateBrushes() {
  brushes_.clear();
  for (const MainControl& control : main_window::kControls)
    brushes_.emplace_back(control.background == kDefaultColour ? nullptr
                                                               : CreateSolidBrush(ResolveColour(control.background)));
}

void Form1::OnSysColorChange() {
  // Brushes of system colours keep the colour they were made with.
  CreateBrushes();
  for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
      return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message, wParam, lParam);
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_MEASUREITEM:
      if (recentCopies_.Measure(hwnd(), *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_INITMENUPOPUP:
      if (reinterpret_cast<HMENU>(wParam) == fileMenu_) {
        startupItem_.ShowIn(fileMenu_, static_cast<UINT>(MenuId::mnuStartup));
        // Phrases changed before their file was read would be lost beside it.
        EnableMenuItem(fileMenu_, static_cast<UINT>(MenuId::mnuPhrases),
                       MF_BYCOMMAND | (phrasesLoaded_ ? MF_ENABLED : MF_GRAYED));
      }
      break;
    case WM_MENUCHAR:  // other menus keep the default handling
      if (const std::optional<LRESULT> answer =
              recentCopies_.OnMenuChar(reinterpret_cast<HMENU>(lParam), static_cast<wchar_t>(LOWORD(wParam))))
        return *answer;
      break;
    case WM_HOTKEY:
      OnHotKey(static_cast<int>(wParam));
      return 0;
    case WM_SYSCOLORCHANGE:
      OnSysColorChange();
      return 0;
    case WM_ACTIVATE:
      OnActivate(wParam);
      return 0;
    case WM_CLOSE:  // the close box, Alt+F4 and the system menu's Close
      EndProgram();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) EndProgram();
      return 0;
    case WM_DRAWCLIPBOARD:
      viewerChain_.OnDrawClipboard(wParam, lParam);
      return 0;
    case WM_RENDERFORMAT:
      clipboard_.RenderFormat(static_cast<UINT>(wParam));
      return 0;
    case WM_RENDERALLFORMATS:
      clipboard_.RenderAllFormats();
      return 0;
    case WM_DESTROYCLIPBOARD:
      clipboard_.ClipboardDestroyed();
      return 0;
    case kLookAtClipboardMessage:
      watch_.LookAtClipboard();
      return 0;
    case kHistoryKeeperMessage:
      OnKeeperReports();
      return 0;
    case kPhraseKeeperMessage:
      OnPhraseKeeperReports();
      return 0;
    case kSyncKeeperMessage:
      OnSyncReports();
      return 0;
    case WM_MENUSELECT:
      recentCopies_.OnMenuSelect(reinterpret_cast<HMENU>(lParam), LOWORD(wParam), HIWORD(wParam));
      break;
    case kPicturesReadMessage:
      OnPicturesRead();
      return 0;
    case kPictureClipboardReadMessage:
      OnPictureClipboardRead(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
      return 0;
    case WM_CHANGECBCHAIN:
      viewerChain_.OnChangeClipboardChain(reinterpret_cast<HWND>(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_TIMER:
      if (wParam == kTrayRetryTimer)
        trayIcon_->OnRetryTimer();
      else if (wParam == kPasteTimer)
        pasteBack_->OnTimer(watch_.LastPutBack());
      else if (wParam == kSyncKeyRetryTimer)
        OnSyncKeyRetryTimer();
      else
        OnTimer(wParam);
      return 0;
    case WM_MOUSEMOVE:  // also how the tray icon reports
      if (IsGenuineMouseMove(lParam)) break;
      Form_MouseMove(static_cast<std::int32_t>(LOWORD(lParam)));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  if (trayIcon_) trayIcon_->OnShellMessage(message);
  return Window::HandleMessage(message, wParam, lParam);
}

LRESULT Form1::OnCommand(int id, int notification) {
  switch (id) {
    case static_cast<int>(ControlId::lblEnd):
      if (notification == STN_CLICKED) lblEnd_Click();
      break;
    case static_cast<int>(ControlId::lblGoToTask):
      if (notification == STN_CLICKED) lblGoToTask_Click();
      break;
    case static_cast<int>(MenuId::mnuMain):
      mnuMain_Click();
      break;
    case static_cast<int>(MenuId::mnuVer):
      mnuVer_Click();
      break;
    case static_cast<int>(MenuId::mnuStartup):
      startupItem_.OnChosen(hwnd());
      break;
    case static_cast<int>(ControlId::List1):
      if (notification == LBN_DBLCLK) watch_.List1_DblClick();
      break;
    case static_cast<int>(MenuId::mnuExit):
      mnuExit_Click();
      break;
    case static_cast<int>(MenuId::mnuKeepHistory):
      mnuKeepHistory_Click();
      break;
    case static_cast<int>(MenuId::mnuClearHistory):
      mnuClearHistory_Click();
      break;
    case static_cast<int>(MenuId::mnuPhrases):
      if (phrasesLoaded_) phraseEditor_.Show();
      break;
    case static_cast<int>(MenuId::mnuSharing):
      mnuSharing_Click();
      break;
  }
  return 0;
}

std::size_t Form1::IndexOf(int controlId) {
  for (std::size_t i = 0; i < main_window::kControls.size(); ++i)
    if (static_cast<int>(main_window::kControls[i].id) == controlId) return i;
  return main_window::kControls.size();
}

LRESULT Form1::OnControlColour(HDC dc, HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT defaultBrush = Window::HandleMessage(message, wParam, lParam);
  const std::size_t index = IndexOf(GetDlgCtrlID(control));
  if (index == main_window::kControls.size()) return defaultBrush;
  const MainControl& description = main_window::kControls[index];
  if (description.text != kDefaultColour) SetTextColor(dc, ResolveColour(description.text));
  if (description.background == kDefaultColour) return defaultBrush;
  SetBkColor(dc, ResolveColour(description.background));
  return reinterpret_cast<LRESULT>(brushes_[index].get());
}

void Form1::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType == ODT_MENU)
    recentCopies_.Draw(item);
  else if (item.CtlID == static_cast<UINT>(ControlId::List1))
    historyList_.Draw(item);
  else
    DrawLabelButton(item);
}

void Form1::DrawLabelButton(const DRAWITEMSTRUCT& item) {
  const std::size_t index = IndexOf(static_cast<int>(item.CtlID));
  if (index == main_window::kControls.size()) return;
  const MainControl& description = main_window::kControls[index];
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, brushes_[index].get());
  FrameRect(item.hDC, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));  // the flat single border

  SelectedObject font(item.hDC, labelButtonFont_.get());
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, ResolveColour(description.text));
  const std::wstring caption(description.caption);
  DrawTextW(item.hDC, caption.c_str(), static_cast<int>(caption.size()), &area,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void Form1::OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd(), focus)) focus_ = focus;
  } else if (focus_) {
    SetFocus(focus_);
  }
}

}  // namespace rtrillex
