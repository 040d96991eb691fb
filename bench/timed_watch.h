// The program's clipboard watch, run on the program's own services with
// every call into them timed: where the time of one reaction goes.
#pragma once

#include "app/main_window.h"
#include "clipboard_watch.h"
#include "clipwatch/popup_window.h"
#include "clipwatch/system_clipboard.h"
#include "clipwatch/system_services.h"
#include "desktop.h"
#include "settings/profile_settings_file.h"
#include "step_timer.h"

namespace bench {

class TimedClipboard : public rtrillex::Clipboard {
 public:
  TimedClipboard(rtrillex::Clipboard& real, StepTimer& timer) : real_(real), timer_(timer) {}
  bool ReadInSession(const std::function<void()>& read) override {
    return timer_.Time("clipboard opened and closed", [&] { return real_.ReadInSession(read); });
  }
  std::uint32_t SequenceNumber() override {
    return timer_.Time("sequence numbers", [&] { return real_.SequenceNumber(); });
  }
  bool HasFormat(rtrillex::ClipboardFormat format) override {
    return timer_.Time("format tests", [&] { return real_.HasFormat(format); });
  }
  bool AsksNotToBeMonitored() override {
    return timer_.Time("not-to-be-monitored marks", [&] { return real_.AsksNotToBeMonitored(); });
  }
  std::optional<std::wstring> ReadText() override {
    return timer_.Time("text read", [&] { return real_.ReadText(); });
  }
  EmptyResult EmptyIfStill(std::uint32_t seen) override { return real_.EmptyIfStill(seen); }
  std::optional<std::vector<std::wstring>> ReadFiles() override { return real_.ReadFiles(); }
  PutResult PutIfStill(std::uint32_t seen, const rtrillex::PutContent& content, std::uint32_t& put) override {
    return real_.PutIfStill(seen, content, put);
  }

 private:
  rtrillex::Clipboard& real_;
  StepTimer& timer_;
};

class TimedSettings : public rtrillex::SettingsFile {
 public:
  TimedSettings(rtrillex::SettingsFile& real, StepTimer& timer) : real_(real), timer_(timer) {}
  std::wstring Read(std::wstring_view section, std::wstring_view key) override {
    return timer_.Time("Setting.ini reads", [&] { return real_.Read(section, key); });
  }
  void Write(std::wstring_view section, std::wstring_view key, std::wstring_view value) override {
    real_.Write(section, key, value);
  }

 private:
  rtrillex::SettingsFile& real_;
  StepTimer& timer_;
};

class TimedTones : public rtrillex::Tones {
 public:
  TimedTones(rtrillex::Tones& real, StepTimer& timer) : real_(real), timer_(timer) {}
  void Beep(int frequency, int milliseconds) override {
    timer_.Time("tones of no length", [&] { real_.Beep(frequency, milliseconds); });
  }

 private:
  rtrillex::Tones& real_;
  StepTimer& timer_;
};

class TimedPointer : public rtrillex::Pointer {
 public:
  TimedPointer(rtrillex::Pointer& real, StepTimer& timer) : real_(real), timer_(timer) {}
  rtrillex::ScreenPoint Position() override {
    return timer_.Time("pointer position", [&] { return real_.Position(); });
  }
  rtrillex::PixelRect WorkAreaAt(rtrillex::ScreenPoint point) override {
    return timer_.Time("work area at the pointer", [&] { return real_.WorkAreaAt(point); });
  }

 private:
  rtrillex::Pointer& real_;
  StepTimer& timer_;
};

class TimedClock : public rtrillex::Clock {
 public:
  TimedClock(rtrillex::Clock& real, StepTimer& timer) : real_(real), timer_(timer) {}
  rtrillex::LocalSeconds Now() override {
    return timer_.Time("time of day", [&] { return real_.Now(); });
  }

 private:
  rtrillex::Clock& real_;
  StepTimer& timer_;
};

class TimedPopup : public rtrillex::TextPopup {
 public:
  TimedPopup(rtrillex::TextPopup& real, StepTimer& timer) : real_(real), timer_(timer) {}
  void SetTop(float twips) override {
    timer_.Time("popup placed", [&] { real_.SetTop(twips); });
  }
  void SetLeft(float twips) override {
    timer_.Time("popup placed", [&] { real_.SetLeft(twips); });
  }
  void SetCaption(std::wstring_view text) override {
    timer_.Time("popup caption", [&] { real_.SetCaption(text); });
  }
  void Show() override {
    timer_.Time("popup shown", [&] { real_.Show(); });
  }
  void Unload() override { real_.Unload(); }

 private:
  rtrillex::TextPopup& real_;
  StepTimer& timer_;
};

class TimedWindow : public rtrillex::WatchWindow {
 public:
  TimedWindow(rtrillex::WatchWindow& real, StepTimer& timer) : real_(real), timer_(timer) {}
  // The bench hands the looks to this watch itself; the main window's are its own watch's.
  void QueueLook() override {}
  void AppendHistoryLine(std::wstring line, rtrillex::LocalSeconds copiedAt, rtrillex::AttachmentPtr attachment) override {
    timer_.Time("history list line", [&] { real_.AppendHistoryLine(std::move(line), copiedAt, std::move(attachment)); });
  }
  void QueuePictureRead(std::uint32_t sequence) override { real_.QueuePictureRead(sequence); }
  bool ReadingPicture() override { return real_.ReadingPicture(); }
  void SetCurrentContent(std::wstring_view text) override {
    timer_.Time("current-content box", [&] { real_.SetCurrentContent(text); });
  }
  void SetTimerEnabled(rtrillex::WatchTimer timer, bool enabled) override {
    timer_.Time("timers", [&] { real_.SetTimerEnabled(timer, enabled); });
  }
  std::wstring DurationText(rtrillex::WatchTimer timer) override { return real_.DurationText(timer); }
  std::optional<std::wstring> SelectedHistoryLine() override { return real_.SelectedHistoryLine(); }

 private:
  rtrillex::WatchWindow& real_;
  StepTimer& timer_;
};

// A second clipboard watch beside the main window's own, on the same kind
// of services (a popup of its own, the main window's history and box). It
// reacts to each copy once, as the main window's own watch does.
class TimedWatch {
 public:
  explicit TimedWatch(rtrillex::Form1& form)
      : clipboard_(form),
        timedClipboard_(clipboard_, timer_),
        timedSettings_(settings_, timer_),
        timedTones_(tones_, timer_),
        timedPointer_(pointer_, timer_),
        timedClock_(clock_, timer_),
        timedPopup_(popup_, timer_),
        timedWindow_(form, timer_),
        watch_({timedClipboard_, timedSettings_, timedTones_, timedPointer_, timedClock_, timedPopup_,
                timedWindow_, rtrillex::ScreenTwipsPerPixel()}) {}
  ~TimedWatch() { popup_.Unload(); }

  // A look at the clipboard, as the message loop hands it to the watch.
  void Look() {
    timer_.Time("the watch's own work", [&] { watch_.LookAtClipboard(); });
  }
  StepTimer& timer() { return timer_; }
  // As the popup's timer does a moment after it showed.
  void ClosePopup() { popup_.Unload(); }

 private:
  StepTimer timer_;
  rtrillex::SystemClipboard clipboard_;
  rtrillex::ProfileSettingsFile settings_;
  rtrillex::SystemTones tones_;
  rtrillex::SystemPointer pointer_;
  rtrillex::SystemClock clock_;
  rtrillex::Form2 popup_;
  TimedClipboard timedClipboard_;
  TimedSettings timedSettings_;
  TimedTones timedTones_;
  TimedPointer timedPointer_;
  TimedClock timedClock_;
  TimedPopup timedPopup_;
  TimedWindow timedWindow_;
  rtrillex::ClipboardWatch watch_;
};

}  // namespace bench
