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
