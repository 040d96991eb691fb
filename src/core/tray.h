// The notification-area icon: the record handed to the shell, and what the
// icon's mouse reports mean.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace rtrillex {

inline constexpr std::size_t kTipLength = 64;
inline constexpr std::size_t kNotifyRecordBytes = 88;
inline constexpr std::int32_t kTrayIconId = 1;
inline constexpr std::int32_t kTrayFlags = 7;              // message, icon and tip
inline constexpr std::int32_t kTrayCallbackMessage = 512;  // reported as mouse moves
inline constexpr std::wstring_view kTrayTip = L"rTrillex";

// The notify-icon record as the program keeps it. All zero, with a tip of
// 64 NULs, until it is first filled.
struct NotifyIconData {
  std::int32_t cbSize = 0;
  std::int32_t hWnd = 0;
  std::int32_t uID = 0;
  std::int32_t uFlags = 0;
  std::int32_t uCallbackMessage = 0;
  std::int32_t hIcon = 0;
  std::wstring szTip = std::wstring(kTipLength, L'\0');
};

// The record for the main window and its icon: the tip is "rTrillex", one
// NUL that ends it for the shell, then spaces to 64 characters.
NotifyIconData FillTrayData(std::int32_t window, std::int32_t icon);

// The 88-byte record in the shell's ANSI layout, little-endian: six 32-bit
// fields, then the tip's 64 bytes in the ANSI code page.
std::array<std::uint8_t, kNotifyRecordBytes> AnsiLayout(
    const NotifyIconData& data, const std::function<std::string(std::wstring_view)>& toAnsi);

enum class TrayAction { None, ShowMainWindow, OpenMenu };

// The icon reports as a mouse move whose lParam is the mouse message that
// happened over it. A left double-click shows the main window; pressing the
// right button opens the menu; hovering, single clicks and the right
// button's release do nothing.
TrayAction ActionFor(std::int32_t trayMessage);

}  // namespace rtrillex
