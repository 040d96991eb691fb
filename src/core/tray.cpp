#include "tray.h"

#include <algorithm>
#include <cstring>

namespace rtrillex {
namespace {

constexpr std::int32_t kRecordSize = static_cast<std::int32_t>(kNotifyRecordBytes);
constexpr std::int32_t kLeftDoubleClick = 515;
constexpr std::int32_t kRightButtonDown = 516;

void PutInt32(std::uint8_t* at, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace

NotifyIconData FillTrayData(std::int32_t window, std::int32_t icon) {
  NotifyIconData data;
  data.cbSize = kRecordSize;
  data.hWnd = window;
  data.uID = kTrayIconId;
  data.uFlags = kTrayFlags;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = icon;
  std::wstring tip(kTrayTip);
  tip += L'\0';
  tip.resize(kTipLength, L' ');
  data.szTip = tip;
  return data;
}

std::array<std::uint8_t, kNotifyRecordBytes> AnsiLayout(
    const NotifyIconData& data, const std::function<std::string(std::wstring_view)>& toAnsi) {
  std::array<std::uint8_t, kNotifyRecordBytes> record{};
  const std::int32_t fields[] = {data.cbSize, data.hWnd, data.uID, data.uFlags, data.uCallbackMessage, data.hIcon};
  for (std::size_t i = 0; i < std::size(fields); ++i) PutInt32(&record[4 * i], fields[i]);
  const std::string tip = toAnsi(data.szTip);
  std::memcpy(&record[24], tip.data(), std::min(tip.size(), kTipLength));
  return record;
}

TrayAction ActionFor(std::int32_t trayMessage) {
  switch (trayMessage) {
    case kLeftDoubleClick:
      return TrayAction::ShowMainWindow;
    case kRightButtonDown:
      return TrayAction::OpenMenu;
    default:
      return TrayAction::None;
  }
}

}  // namespace rtrillex
