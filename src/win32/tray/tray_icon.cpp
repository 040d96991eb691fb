#include "tray_icon.h"

#include <cstring>

#include "text.h"

namespace rtrillex::Module1 {

NotifyIconData TrayData;

bool ShellNotifyIcon(DWORD message, const NotifyIconData& data) {
  const auto record = AnsiLayout(data, [](std::wstring_view tip) { return ToAnsi(tip); });
#if defined(_WIN64)
  // A 64-bit build has wider handles: the same fields go into the shell's
  // own first-version record for this word size.
  NOTIFYICONDATAA wide{};
  wide.cbSize = data.cbSize ? NOTIFYICONDATAA_V1_SIZE : 0;
  wide.hWnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(data.hWnd));
  wide.uID = static_cast<UINT>(data.uID);
  wide.uFlags = static_cast<UINT>(data.uFlags);
  wide.uCallbackMessage = static_cast<UINT>(data.uCallbackMessage);
  wide.hIcon = reinterpret_cast<HICON>(static_cast<INT_PTR>(data.hIcon));
  std::memcpy(wide.szTip, &record[24], kTipLength);
  return Shell_NotifyIconA(message, &wide) != FALSE;
#else
  // On 32-bit Windows the 88 bytes are exactly the shell's first-version record.
  static_assert(sizeof(NOTIFYICONDATAA) >= kNotifyRecordBytes, "the shell's record holds the 88-byte layout");
  NOTIFYICONDATAA shellRecord{};
  std::memcpy(&shellRecord, record.data(), record.size());
  return Shell_NotifyIconA(message, &shellRecord) != FALSE;
#endif
}

}  // namespace rtrillex::Module1

namespace rtrillex {
namespace {

constexpr UINT kRetryMilliseconds = 2000;
constexpr int kAddAttempts = 5;

std::int32_t HandleBits(const void* handle) {
  // Window and icon handles carry 32 significant bits, also on 64-bit Windows.
  return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(handle));
}

}  // namespace

TrayIcon::TrayIcon(HWND window, UINT_PTR retryTimerId)
    : window_(window), retryTimerId_(retryTimerId), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {}

void TrayIcon::Show(HICON icon) {
  Module1::TrayData = FillTrayData(HandleBits(window_), HandleBits(icon));
  // An icon that is already there needs no add (the shell would refuse it);
  // one that has gone, or was never added, is added again.
  if (!Module1::ShellNotifyIcon(NIM_MODIFY, Module1::TrayData)) StartAdding();
}

void TrayIcon::StartAdding() {
  // The shell may not be up yet at logon: a refused add is tried again a
  // few times, then the timer stops.
  addAttemptsLeft_ = kAddAttempts;
  SetTimer(window_, retryTimerId_, kRetryMilliseconds, nullptr);
  OnRetryTimer();
}

void TrayIcon::OnRetryTimer() {
  const bool added = Module1::ShellNotifyIcon(NIM_ADD, Module1::TrayData);
  if (added || --addAttemptsLeft_ <= 0) KillTimer(window_, retryTimerId_);
}

void TrayIcon::Remove() {
  KillTimer(window_, retryTimerId_);
  // A record never filled (a copy that quit at start-up) names no icon.
  if (Module1::TrayData.cbSize) Module1::ShellNotifyIcon(NIM_DELETE, Module1::TrayData);
}

bool TrayIcon::OnShellMessage(UINT message) {
  if (!taskbarCreated_ || message != taskbarCreated_) return false;
  // The shell restarted and forgot every icon.
  if (Module1::TrayData.cbSize) StartAdding();
  return true;
}

void TrayIcon::ShowBalloon(std::wstring_view title, std::wstring_view text) {
  NOTIFYICONDATAW balloon{};
  balloon.cbSize = sizeof balloon;
  balloon.hWnd = window_;
  balloon.uID = static_cast<UINT>(kTrayIconId);
  balloon.uFlags = NIF_INFO;
  balloon.dwInfoFlags = NIIF_WARNING;
  title.copy(balloon.szInfoTitle, std::size(balloon.szInfoTitle) - 1);
  text.copy(balloon.szInfo, std::size(balloon.szInfo) - 1);
  Shell_NotifyIconW(NIM_MODIFY, &balloon);
}

}  // namespace rtrillex
