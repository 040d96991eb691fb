#include "clipboard_watch.h"

#include <limits>

#include "number_text.h"

namespace rtrillex {
namespace {

constexpr int kToneMilliseconds = 150;
constexpr int kPointerOffsetX = 10;
constexpr int kPointerOffsetY = -25;
constexpr std::int16_t kTickLimit = std::numeric_limits<std::int16_t>::max();
// Another viewer reading the same change holds the clipboard open for a
// moment; a text is tried again for about a second (40 ticks of 25 ms) before
// it counts as unreadable.
constexpr int kTextReadAttempts = 40;

}  // namespace

bool ClipboardWatch::SwitchIsOn(std::wstring_view key) {
  // A switch is on only when it reads as the integer 1; text that is no
  // number (a missing key gives the empty text) counts as off.
  const std::optional<std::int16_t> value = TextToInt16(s_.settings.Read(setting::kSwitchSection, key));
  return value && *value == 1;
}

void ClipboardWatch::ChangeClipBoard() {
  ForgetPendingText();  // a newer copy wins over a text still being retried
  const bool beep = SwitchIsOn(setting::kBeep);
  const bool comment = SwitchIsOn(setting::kComment);
  const bool clear = SwitchIsOn(setting::kClear);

  std::int32_t formatMask = 0;
  for (const auto& [format, weight] : kFormatWeights)
    if (s_.clipboard.HasFormat(format)) formatMask += weight;
  // A copy marked as not to be monitored is treated as if nothing known were on the clipboard.
  if (s_.clipboard.AsksNotToBeMonitored()) formatMask = 0;

  const int toneLength = beep ? kToneMilliseconds : 0;
  const ChangeReaction reaction = ReactionTo(formatMask);
  if (reaction.kind == ChangeKind::Text) {
    ReactToText(reaction, toneLength, comment, clear);
    return;
  }
  if (reaction.addsHistoryLine) {
    for (int tone : reaction.tones)
      if (tone) s_.tones.Beep(tone, toneLength);
    s_.window.AppendHistoryLine(HistoryLine(s_.clock.Now(), reaction.tag));
  }
  s_.window.SetCurrentContent(reaction.tag);
}

void ClipboardWatch::ReactToText(const ChangeReaction& reaction, int toneLength, bool comment, bool clear) {
  for (int tone : reaction.tones) s_.tones.Beep(tone, toneLength);

  // The popup's corner goes 10 pixels right of and 25 above the pointer,
  // whether or not it will be shown; placing it creates it if need be.
  const ScreenPoint pointer = s_.pointer.Position();
  const int y = pointer.y + kPointerOffsetY;
  const int x = pointer.x + kPointerOffsetX;
  s_.popup.SetTop(static_cast<float>(y) * s_.scale.y);
  s_.popup.SetLeft(static_cast<float>(x) * s_.scale.x);
  ViewTicks = 0;
  s_.window.SetTimerEnabled(WatchTimer::View, true);

  if (const std::optional<std::wstring> text = s_.clipboard.ReadText()) {
    ShowText(*text, comment, clear);
    return;
  }
  // Not readable yet: the rest waits, and the program keeps answering meanwhile.
  pendingText_ = TextToShow{comment, clear, kTextReadAttempts};
  s_.window.SetTimerEnabled(WatchTimer::TextRetry, true);
}

void ClipboardWatch::TextRetry_Timer() {
  if (!pendingText_) {  // a tick already queued when the text was given up
    s_.window.SetTimerEnabled(WatchTimer::TextRetry, false);
    return;
  }
  const std::optional<std::wstring> text = s_.clipboard.ReadText();
  if (!text && --pendingText_->attemptsLeft > 0) return;
  const TextToShow pending = *pendingText_;
  ForgetPendingText();
  // A text that still cannot be read leaves an entry of its own, empty.
  ShowText(text.value_or(std::wstring()), pending.comment, pending.clear);
}

void ClipboardWatch::ForgetPendingText() {
  if (!pendingText_) return;
  pendingText_.reset();
  s_.window.SetTimerEnabled(WatchTimer::TextRetry, false);
}

void ClipboardWatch::ShowText(const std::wstring& text, bool comment, bool clear) {
  s_.window.AppendHistoryLine(HistoryLine(s_.clock.Now(), text));
  if (comment) {
    s_.popup.SetCaption(text);
    s_.popup.Show();
  }
  if (clear) {
    ClearTicks = 0;
    s_.window.SetTimerEnabled(WatchTimer::Clear, true);
  }
  s_.window.SetCurrentContent(text);
}

void ClipboardWatch::Timer1_Timer() {
  // The popup's lifetime counts in tenths of a second, compared exactly.
  const std::optional<float> seconds = TextToSingle(s_.window.DurationText(WatchTimer::View));
  // A box with no number can never be reached, nor a count at the 16-bit
  // limit passed: the timer stops rather than wake the program for nothing.
  // The popup then stays until the next copy, as with a lifetime of 0.
  if (!seconds || ViewTicks == kTickLimit) {
    StopTimer();
    ViewTicks = 0;
    return;
  }
  const float limit = *seconds * 10.0f;
  ++ViewTicks;
  if (static_cast<float>(ViewTicks) == limit) {
    s_.popup.Unload();
    StopTimer();
    ViewTicks = 0;
  }
}

void ClipboardWatch::Timer2_Timer() {
  const std::optional<std::int16_t> limit = TextToInt16(s_.window.DurationText(WatchTimer::Clear));
  // As above; a number beyond 16 bits can never be reached either.
  if (!limit || ClearTicks == kTickLimit) {
    StopTimer2();
    ClearTicks = 0;
    return;
  }
  ++ClearTicks;
  if (ClearTicks == *limit) {
    s_.clipboard.Empty();  // comes back at once as a change of its own
    StopTimer2();
    ClearTicks = 0;
  }
}

void ClipboardWatch::List1_DblClick() {
  const std::optional<std::wstring> line = s_.window.SelectedHistoryLine();
  if (!line) return;  // no line selected: the clipboard stays as it is
  s_.clipboard.Empty();
  s_.clipboard.PutText(EntryOf(*line));
}

void ClipboardWatch::StopTimer() { s_.window.SetTimerEnabled(WatchTimer::View, false); }
void ClipboardWatch::StopTimer2() { s_.window.SetTimerEnabled(WatchTimer::Clear, false); }

}  // namespace rtrillex
