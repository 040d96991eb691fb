#include "clipboard_watch.h"

#include <limits>
#include <new>

#include "number_text.h"
#include "popup_window_layout.h"
#include "run_guard.h"

namespace rtrillex {
namespace {

constexpr int kToneMilliseconds = 150;
constexpr std::int16_t kTickLimit = std::numeric_limits<std::int16_t>::max();
// Another viewer reading the same change holds the clipboard open for a
// moment; a change is read at once and then tried again for about a second
// (40 ticks of 25 ms) before its text counts as unreadable.
constexpr int kSnapshotAttempts = 41;

}  // namespace

bool ClipboardWatch::SwitchIsOn(std::wstring_view key) {
  // A switch is on only when it reads as the integer 1; text that is no
  // number (a missing key gives the empty text) counts as off.
  const std::optional<std::int16_t> value = TextToInt16(s_.settings.Read(setting::kSwitchSection, key));
  return value && *value == 1;
}

void ClipboardWatch::ChangeClipBoard() {
  // A notification that comes while a reaction reads the clipboard (a read
  // of a text rendered on request lets messages in) is taken up after it.
  if (reacting_) {
    changeHeard_ = true;
    return;
  }
  HearChange();  // a newer change wins over one still waiting for the clipboard
  ReactToPendingChange();
  ClearIfDue();
}

void ClipboardWatch::HearChange() {
  pending_ = PendingChange{s_.clipboard.SequenceNumber(), kSnapshotAttempts};
}

void ClipboardWatch::ReactToPendingChange() {
  RunUnlessBusy(reacting_, [this] {
    while (pending_) {
      const PendingChange change = *pending_;
      pending_.reset();
      // Copied over since: the newer copy has a reaction of its own.
      if (s_.clipboard.SequenceNumber() != change.sequence) break;
      const std::optional<ClipboardSnapshot> snapshot = TakeSnapshot(change.attemptsLeft <= 1);
      if (!snapshot) {
        pending_ = PendingChange{change.sequence, change.attemptsLeft - 1};
        break;
      }
      changeHeard_ = false;
      React(*snapshot);
      // A change heard meanwhile that the snapshot has not already seen.
      if (changeHeard_ && s_.clipboard.SequenceNumber() != snapshot->sequence) HearChange();
    }
  });
  UpdateRetryTimer();
}

std::optional<ClipboardSnapshot> ClipboardWatch::TakeSnapshot(bool lastAttempt) {
  ClipboardSnapshot snapshot;
  bool complete = false;
  const bool opened = s_.clipboard.ReadInSession([&] { complete = ReadSnapshot(snapshot); });
  if (opened && complete) return snapshot;
  if (!lastAttempt) return std::nullopt;
  // Held for too long: what can be seen from outside is the copy, and a
  // text that could not be read leaves an entry of its own, empty.
  if (!opened) ReadSnapshot(snapshot);
  snapshot.text.clear();
  return snapshot;
}

// True when everything the reaction needs was read.
bool ClipboardWatch::ReadSnapshot(ClipboardSnapshot& snapshot) {
  snapshot.sequence = s_.clipboard.SequenceNumber();
  snapshot.formatMask = 0;
  for (const auto& [format, weight] : kFormatWeights)
    if (s_.clipboard.HasFormat(format)) snapshot.formatMask += weight;
  // A copy marked as not to be monitored is treated as if nothing known were on the clipboard.
  if (s_.clipboard.AsksNotToBeMonitored()) snapshot.formatMask = 0;
  if (ReactionTo(snapshot.formatMask).kind != ChangeKind::Text) return true;
  try {
    std::optional<std::wstring> text = s_.clipboard.ReadText();
    if (!text) return false;
    snapshot.text = std::move(*text);
  } catch (const std::bad_alloc&) {
    snapshot.text.clear();  // too large to hold: recorded as a text that could not be read
  }
  return true;
}

void ClipboardWatch::React(const ClipboardSnapshot& snapshot) {
  const bool beep = SwitchIsOn(setting::kBeep);
  const bool comment = SwitchIsOn(setting::kComment);
  const bool clear = SwitchIsOn(setting::kClear);
  const int toneLength = beep ? kToneMilliseconds : 0;
  const ChangeReaction reaction = ReactionTo(snapshot.formatMask);
  if (reaction.kind == ChangeKind::Text) {
    ReactToText(reaction, snapshot.text, toneLength, comment, clear);
    return;
  }
  if (reaction.addsHistoryLine) {
    for (int tone : reaction.tones)
      if (tone) s_.tones.Beep(tone, toneLength);
    AppendHistoryLine(reaction.tag);
  }
  s_.window.SetCurrentContent(reaction.tag);
}

void ClipboardWatch::ReactToText(const ChangeReaction& reaction, const std::wstring& text, int toneLength,
                                 bool comment, bool clear) {
  for (int tone : reaction.tones) s_.tones.Beep(tone, toneLength);

  // The popup goes beside the pointer, whole on the pointer's monitor,
  // whether or not it will be shown; placing it creates it if need be.
  const ScreenPoint pointer = s_.pointer.Position();
  const PixelSize size{TwipsToPixels(popup_window::kWidthTwips, s_.scale.x),
                       TwipsToPixels(popup_window::kHeightTwips, s_.scale.y)};
  const PixelRect place = PlaceBesidePointer(pointer, size, s_.pointer.WorkAreaAt(pointer));
  s_.popup.SetTop(static_cast<float>(place.top) * s_.scale.y);
  s_.popup.SetLeft(static_cast<float>(place.left) * s_.scale.x);
  ViewTicks = 0;
  s_.window.SetTimerEnabled(WatchTimer::View, true);

  AppendHistoryLine(text);
  if (comment) {
    s_.popup.SetCaption(text);
    s_.popup.Show();
  }
  if (clear) {
    ClearTicks = 0;
    s_.window.SetTimerEnabled(WatchTimer::Clear, true);
    clearDue_ = false;  // this copy's own countdown replaces one still waiting
  }
  s_.window.SetCurrentContent(text);
}

void ClipboardWatch::AppendHistoryLine(std::wstring_view entry) {
  try {
    s_.window.AppendHistoryLine(HistoryLine(s_.clock.Now(), entry));
  } catch (const std::bad_alloc&) {
    // A copy too large to keep a second time is left out of the history;
    // the rest of the reaction goes on.
  }
}

void ClipboardWatch::Retry_Timer() {
  if (reacting_) return;  // a tick let in during a reaction: the next one comes soon
  ReactToPendingChange();
  ClearIfDue();
}

void ClipboardWatch::ClearIfDue() {
  // Waits for a change still being read: emptying now would take that copy
  // from the clipboard before it is recorded.
  if (clearDue_ && !pending_ && !reacting_) {
    clearDue_ = false;  // emptying comes back at once as a change of its own
    if (!s_.clipboard.Empty()) clearDue_ = true;
  }
  UpdateRetryTimer();
}

void ClipboardWatch::UpdateRetryTimer() {
  const bool needed = pending_.has_value() || clearDue_;
  if (needed == retryTimerOn_) return;
  retryTimerOn_ = needed;
  s_.window.SetTimerEnabled(WatchTimer::Retry, needed);
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
    // A clipboard held by another program is emptied as soon as it is free.
    clearDue_ = true;
    ClearIfDue();
    StopTimer2();
    ClearTicks = 0;
  }
}

void ClipboardWatch::List1_DblClick() {
  const std::optional<std::wstring> line = s_.window.SelectedHistoryLine();
  if (!line) return;  // no line selected: the clipboard stays as it is
  PutBack(*line);
}

void ClipboardWatch::PutBack(std::wstring_view historyLine) {
  // Emptied and filled in one go: viewers never see an empty clipboard between.
  s_.clipboard.PutText(EntryIn(historyLine));
}

void ClipboardWatch::StopTimer() { s_.window.SetTimerEnabled(WatchTimer::View, false); }
void ClipboardWatch::StopTimer2() { s_.window.SetTimerEnabled(WatchTimer::Clear, false); }

}  // namespace rtrillex
