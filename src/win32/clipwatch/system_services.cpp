#include "system_services.h"

#include <windows.h>

namespace rtrillex {

void SystemTones::Beep(int frequency, int milliseconds) {
  ::Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(milliseconds));
}

ScreenPoint SystemPointer::Position() {
  POINT at{0, 0};
  GetCursorPos(&at);
  return {at.x, at.y};
}

TimeOfDay SystemClock::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wHour, now.wMinute, now.wSecond};
}

}  // namespace rtrillex
