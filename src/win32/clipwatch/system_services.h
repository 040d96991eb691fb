// Tones, the mouse pointer and the clock, as the system gives them.
#pragma once

#include "clipboard_watch.h"
#include "local_time.h"

namespace rtrillex {

class SystemTones : public Tones {
 public:
  void Beep(int frequency, int milliseconds) override;
};

class SystemPointer : public Pointer {
 public:
  ScreenPoint Position() override;
  PixelRect WorkAreaAt(ScreenPoint point) override;
};

class SystemClock : public Clock {
 public:
  LocalSeconds Now() override;
};

CalendarDate LocalToday();

}  // namespace rtrillex
