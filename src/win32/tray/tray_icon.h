// The notification-area icon's record and the shell calls that add and
// delete the icon.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "tray.h"

namespace rtrillex::Module1 {

// The record of the last fill; all zero until the icon is first added.
extern NotifyIconData TrayData;

// Hands the record to the shell in its ANSI layout; false when the shell refused.
bool ShellNotifyIcon(DWORD message, const NotifyIconData& data);

}  // namespace rtrillex::Module1
