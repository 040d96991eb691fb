// What the program does on every clipboard change, on the ticks of its two
// timers (popup lifetime, auto-clear) and on a double-click in the history.
// The windows, the clipboard and the system come in through small interfaces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "clipboard_change.h"
#include "settings.h"
#include "units.h"

namespace rtrillex {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual bool HasFormat(ClipboardFormat format) = 0;
  // True when the copying program asked clipboard monitors to leave this
  // copy alone (password managers do, for secrets).
  virtual bool AsksNotToBeMonitored() = 0;
  // The plain text; nullopt when it cannot be read at this moment (another
  // program holds the clipboard open, or its text is not delivered yet).
  virtual std::optional<std::wstring> ReadText() = 0;
  virtual void Empty() = 0;
  virtual void PutText(std::wstring_view text) = 0;
};

class Tones {
 public:
  virtual ~Tones() = default;
  virtual void Beep(int frequency, int milliseconds) = 0;  // returns when the tone has ended
};

struct ScreenPoint {
  int x, y;
};

class Pointer {
 public:
  virtual ~Pointer() = default;
  virtual ScreenPoint Position() = 0;  // in screen pixels
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimeOfDay Now() = 0;  // local time
};

// The text popup beside the pointer. Each call creates it first if it was unloaded.
class TextPopup {
 public:
  virtual ~TextPopup() = default;
  virtual void SetTop(float twips) = 0;
  virtual void SetLeft(float twips) = 0;
  virtual void SetCaption(std::wstring_view text) = 0;
  virtual void Show() = 0;
  virtual void Unload() = 0;
};

// The popup's lifetime (100 ms), the auto-clear delay (1000 ms), and the
// retry of a text the clipboard would not give at once (every 25 ms).
enum class WatchTimer { View, Clear, TextRetry };

// The parts of the main window the watch reads and writes.
class WatchWindow {
 public:
  virtual ~WatchWindow() = default;
  virtual void AppendHistoryLine(const std::wstring& line) = 0;
  virtual void SetCurrentContent(std::wstring_view text) = 0;
  virtual void SetTimerEnabled(WatchTimer timer, bool enabled) = 0;
  // The duration box of the timer: txtViewTime or txtClrTime, as typed.
  virtual std::wstring DurationText(WatchTimer timer) = 0;
  // The selected history line; nullopt when no line is selected.
  virtual std::optional<std::wstring> SelectedHistoryLine() = 0;
};

struct WatchServices {
  Clipboard& clipboard;
  SettingsFile& settings;
  Tones& tones;
  Pointer& pointer;
  Clock& clock;
  TextPopup& popup;
  WatchWindow& window;
  TwipsPerPixel scale;
};

class ClipboardWatch {
 public:
  explicit ClipboardWatch(const WatchServices& services) : s_(services) {}

  void ChangeClipBoard();
  void Timer1_Timer();
  void Timer2_Timer();
  void TextRetry_Timer();
  void List1_DblClick();
  void StopTimer();
  void StopTimer2();

  std::int16_t ViewTicks = 0;   // Timer1 ticks since the last text copy
  std::int16_t ClearTicks = 0;  // Timer2 ticks since the last text copy with auto-clear on

 private:
  // What a text copy still has to do once its text is read.
  struct TextToShow {
    bool comment, clear;
    int attemptsLeft;
  };

  bool SwitchIsOn(std::wstring_view key);
  void ReactToText(const ChangeReaction& reaction, int toneLength, bool comment, bool clear);
  void ShowText(const std::wstring& text, bool comment, bool clear);
  void ForgetPendingText();

  std::optional<TextToShow> pendingText_;  // while the clipboard's text is retried

  WatchServices s_;
};

}  // namespace rtrillex
