// The main window's life in the notification area: hiding it to the tray,
// the icon's reports (a double-click shows the window, the right button
// opens the File menu at the pointer) and the menu commands.
#include <windowsx.h>

#include "app/main_window.h"
#include "menu_at_pointer.h"

namespace rtrillex {

void Form1::HideToTray() {
  ShowWindow(hwnd(), SW_HIDE);
  SetFileMenuVisible(false);
  trayIcon_->Show(icons_.small());
  modal_ = false;  // a modal showing ends when the window goes back to the tray
}

void Form1::SetFileMenuVisible(bool visible) {
  HMENU bar = GetMenu(hwnd());
  if (visible && detachedFileMenu_) {
    InsertMenuW(bar, 0, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(fileMenu_),
                std::wstring(main_window::kFileMenu).c_str());
    detachedFileMenu_.release();  // the bar owns it again
  } else if (!visible && !detachedFileMenu_) {
    RemoveMenu(bar, 0, MF_BYPOSITION);
    detachedFileMenu_.reset(fileMenu_);
  }
  DrawMenuBar(hwnd());
}

bool Form1::IsGenuineMouseMove(LPARAM lParam) const {
  // The icon reports as mouse moves whose coordinates are the mouse message;
  // a real move has the pointer's own place, where the message was taken from.
  const DWORD at = GetMessagePos();
  POINT pointer{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  ScreenToClient(hwnd(), &pointer);
  return pointer.x == GET_X_LPARAM(lParam) && pointer.y == GET_Y_LPARAM(lParam);
}

void Form1::Form_MouseMove(std::int32_t trayMessage) {
  // The report is read as the mouse message it carries, whatever the
  // screen's density: turned into twips and back it would not survive a
  // fractional twips per pixel (8.57 at 168 dpi, 7.5 at 192 dpi).
  switch (ActionFor(trayMessage)) {
    case TrayAction::ShowMainWindow:
      SetFileMenuVisible(true);
      ShowWindow(hwnd(), SW_SHOW);
      SetForegroundWindow(hwnd());
      break;
    case TrayAction::OpenMenu:
      OpenFileMenuAtPointer();
      break;
    case TrayAction::None:
      break;
  }
}

void Form1::OpenFileMenuAtPointer() {
  // A second report while the menu is open opens no second menu.
  const UINT command = OpenMenuAtPointer(hwnd(), fileMenu_, [this] {
    ProcessPendingMessages();
    // A message handled just now may have ended the program.
    if (ending_ || !exists()) return false;
    SetFileMenuVisible(true);
    return true;
  }).command;
  if (ending_ || !exists()) return;  // ended while the menu was open
  // The chosen command has run when the menu call returns.
  if (command) OnCommand(static_cast<int>(command), 0);
}

void Form1::ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Form1::mnuMain_Click() {
  // Shown modally only from the tray; while the window is visible nothing happens.
  if (IsWindowVisible(hwnd()) || modal_) return;
  modal_ = true;
  if (form3_.exists()) EnableWindow(form3_.hwnd(), FALSE);
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
  MSG message{};
  while (modal_ && exists()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));  // the program is ending: pass it on
      break;
    }
    if (got < 0) break;  // no message came: the outer loop takes over
    if (!TranslateDialogMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  modal_ = false;
  if (form3_.exists()) EnableWindow(form3_.hwnd(), TRUE);
}

void Form1::mnuVer_Click() {
  // Also while the main window is shown modally: the version window is
  // modeless and the modal showing goes on undisturbed.
  form3_.Show();
}

void Form1::cmdToTask_Click() {
  cmdSet_Click();
  HideToTray();
}

void Form1::lblGoToTask_Click() { cmdToTask_Click(); }

bool Form1::TranslateDialogMessage(MSG& message) {
  if (searchWindow_.TranslateKey(message)) return true;
  if (phraseEditor_.TranslateKey(message)) return true;
  if (sharingWindow_.TranslateKey(message)) return true;
  // Enter and Delete belong to the history list before the dialog keys take them.
  if (message.message == WM_KEYDOWN && exists() && message.hwnd == Control(ControlId::List1) &&
      OnHistoryListKey(message.wParam))
    return true;
  if (form3_.exists() && (message.hwnd == form3_.hwnd() || IsChild(form3_.hwnd(), message.hwnd)))
    return IsDialogMessageW(form3_.hwnd(), &message) != FALSE;
  return exists() && IsDialogMessageW(hwnd(), &message) != FALSE;
}

}  // namespace rtrillex
