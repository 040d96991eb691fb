// The notification-area icon: its record, the shell calls that add and
// delete it, and the window's icon kept there while the program runs: a
// refused add tried again, and the icon added anew when the shell restarts.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string_view>

#include "tray.h"

namespace rtrillex::Module1 {

// The record of the last fill; all zero until the icon is first added.
extern NotifyIconData TrayData;

// Hands the record to the shell in its ANSI layout; false when the shell refused.
bool ShellNotifyIcon(DWORD message, const NotifyIconData& data);

}  // namespace rtrillex::Module1

namespace rtrillex {

class TrayIcon {
 public:
  // `window` receives the icon's reports and the retry timer `retryTimerId`.
  TrayIcon(HWND window, UINT_PTR retryTimerId);
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Puts `icon` in the notification area, unless it is there already.
  void Show(HICON icon);
  void Remove();
  // A warning in a balloon from the icon, for something the person should
  // know but need not answer.
  void ShowBalloon(std::wstring_view title, std::wstring_view text);
  void OnRetryTimer();
  // True for the message the shell broadcasts when it restarts; the icon
  // then comes back.
  bool OnShellMessage(UINT message);

 private:
  void StartAdding();

  HWND window_;
  UINT_PTR retryTimerId_;
  UINT taskbarCreated_;
  int addAttemptsLeft_ = 0;
};

}  // namespace rtrillex
