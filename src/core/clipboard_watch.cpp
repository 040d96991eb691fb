#include "clipboard_watch.h"

#include <limits>
#include <new>

#include "local_time.h"
#include "main_window_layout.h"
#include "number_text.h"
#include "popup_window_layout.h"
#include "run_guard.h"
#include "text_excerpt.h"

namespace rtrillex {
namespace {

constexpr int kToneMilliseconds = 150;
constexpr std::int16_t kTickLimit = std::numeric_limits<std::int16_t>::max();
// Another viewer reading the same change holds the clipboard open for a
// moment; a change is read at once and then tried again for about a second
// (40 ticks of 25 ms) before its text counts as unreadable.
constexpr int kSnapshotAttempts = 41;
// A re-copy is the user's own command: tried as long as a read is.
constexpr int kPutAttempts = 41;
// A clipboard still held after a second of fast retries (a program that
// hangs with it open) is tried about once a second from then on.
constexpr int kFastClearAttempts = 40;

}  // namespace

ClipboardWatch::ClipboardWatch(const WatchServices& services)
    : seen_(services.clipboard.SequenceNumber()), s_(services) {}

bool ClipboardWatch::SwitchIsOn(std::wstring_view key) {
  // A switch is on only when it reads as the integer 1; text that is no
  // number (a missing key gives the empty text) counts as off.
  const std::optional<std::int16_t> value = TextToInt16(s_.settings.Read(setting::kSwitchSection, key));
  return value && *value == 1;
}

void ClipboardWatch::ChangeClipBoard() {
  // The notice may come inside a reaction (a text rendered on request lets
  // messages in) or inside the program's own re-copy or clear: looked into
  // from the message loop, never nested in them.
  s_.window.QueueLook();
}

void ClipboardWatch::LookAtClipboard() {
  RunUnlessBusy(reacting_, [this] {
    const std::uint32_t current = s_.clipboard.SequenceNumber();
    if (current == seen_) {
      waiting_.reset();  // a late notice of a copy already reacted to
      return;
    }
    // The number may have moved for the picture being read, not for a new
    // copy: looked at again once the read tells which.
    if (s_.window.ReadingPicture()) {
      lookAfterPictureRead_ = true;
      return;
    }
    // A newer copy wins over one still waiting for the clipboard.
    if (!waiting_ || waiting_->sequence != current) waiting_ = WaitingCopy{current, kSnapshotAttempts};
    std::optional<ClipboardSnapshot> snapshot = TakeSnapshot(waiting_->attemptsLeft <= 1);
    if (!snapshot) {
      --waiting_->attemptsLeft;
      return;
    }
    waiting_.reset();
    seen_ = snapshot->sequence;
    // A re-copy asked for while this copy waited replaces it once it is
    // recorded; a text rendered for the read moved the number on.
    if (pendingPut_ && pendingPut_->sequence == current) pendingPut_->sequence = seen_;
    React(std::move(*snapshot));
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
  // text that could not be read leaves an entry of its own, empty; files
  // that could not be read leave nothing.
  if (!opened) ReadSnapshot(snapshot);
  snapshot.text.clear();
  snapshot.files.clear();
  return snapshot;
}

// True when everything the reaction needs was read.
bool ClipboardWatch::ReadSnapshot(ClipboardSnapshot& snapshot) {
  snapshot.formatMask = 0;
  for (const auto& [format, weight] : kFormatWeights)
    if (s_.clipboard.HasFormat(format)) snapshot.formatMask += weight;
  // A picture offered only as PNG is a picture all the same.
  constexpr std::int32_t kDibWeight = 4;
  if (snapshot.formatMask == 0 && s_.clipboard.HasFormat(ClipboardFormat::Png)) snapshot.formatMask = kDibWeight;
  // A copy marked as not to be monitored is treated as if nothing known were on the clipboard.
  const bool secret = s_.clipboard.AsksNotToBeMonitored();
  if (secret) snapshot.formatMask = 0;
  bool complete = true;
  snapshot.files.clear();
  if (snapshot.formatMask == 0 && !secret && s_.clipboard.HasFormat(ClipboardFormat::Files)) {
    std::optional<std::vector<std::wstring>> files = s_.clipboard.ReadFiles();
    complete = files.has_value();
    if (files) snapshot.files = std::move(*files);
  }
  if (ReactionTo(snapshot.formatMask).kind == ChangeKind::Text) {
    try {
      std::optional<std::wstring> text = s_.clipboard.ReadText();
      complete = text.has_value();
      if (text) snapshot.text = std::move(*text);
    } catch (const std::bad_alloc&) {
      snapshot.text.clear();  // too large to hold: recorded as a text that could not be read
    }
  }
  // Taken last, also when the text did not come: a text rendered on request
  // for this read is the same copy, and a copy given up on is one seen.
  snapshot.sequence = s_.clipboard.SequenceNumber();
  return complete;
}

void ClipboardWatch::React(ClipboardSnapshot snapshot) {
  const bool beep = SwitchIsOn(setting::kBeep);
  const bool comment = SwitchIsOn(setting::kComment);
  const bool clear = SwitchIsOn(setting::kClear);
  const int toneLength = beep ? kToneMilliseconds : 0;
  const ChangeReaction reaction = ReactionTo(snapshot.formatMask);
  if (reaction.kind == ChangeKind::Text) {
    ReactToText(reaction, std::move(snapshot.text), toneLength, comment, clear);
    return;
  }
  if (!snapshot.files.empty()) {
    ReactToFiles(std::move(snapshot.files));
    return;
  }
  if (reaction.addsHistoryLine) {
    for (int tone : reaction.tones)
      if (tone) s_.tones.Beep(tone, toneLength);
    if (reaction.kind == ChangeKind::Image && snapshot.sequence == putSequence_ && putPicture_) {
      // A picture put back is the one put, not read again: a large one is
      // rendered only when a program asks for it.
      AppendHistoryLine(std::wstring(reaction.tag), putPicture_);
    } else if (reaction.kind == ChangeKind::Image) {
      // Its line first, the picture itself read afterwards.
      if (AppendHistoryLine(std::wstring(reaction.tag), PictureAttachment({})))
        s_.window.QueuePictureRead(snapshot.sequence);
    } else {
      AppendHistoryLine(std::wstring(reaction.tag));
    }
  }
  s_.window.SetCurrentContent(main_window::CurrentContentShown(reaction.tag));
}

void ClipboardWatch::ReactToText(const ChangeReaction& reaction, std::wstring text, int toneLength, bool comment,
                                 bool clear) {
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

  // What the popup and the box show is only the text's beginning: taken
  // before the text itself goes into the history line, without a copy.
  const std::wstring caption =
      comment ? ShownPart(text, popup_window::kMaxShownLines, popup_window::kMaxShownColumns) : std::wstring();
  const std::wstring content = main_window::CurrentContentShown(text);
  AppendHistoryLine(std::move(text));
  if (comment) {
    s_.popup.SetCaption(caption);
    s_.popup.Show();
  }
  if (clear) {
    ClearTicks = 0;
    s_.window.SetTimerEnabled(WatchTimer::Clear, true);
    clearAttempts_.reset();  // this copy's own countdown replaces one still waiting
  }
  s_.window.SetCurrentContent(content);
}

// A file copy makes no tone, no popup and no countdown, as any copy without
// text; its line holds its paths, and the files go with it.
void ClipboardWatch::ReactToFiles(std::vector<std::wstring> files) {
  std::wstring entry = FilesEntry(files);
  const std::wstring content = main_window::CurrentContentShown(entry);
  AppendHistoryLine(std::move(entry), FilesAttachment(std::move(files)));
  s_.window.SetCurrentContent(content);
}

bool ClipboardWatch::AppendHistoryLine(std::wstring entry, AttachmentPtr attachment) {
  try {
    const LocalSeconds now = s_.clock.Now();
    s_.window.AppendHistoryLine(HistoryLineFrom(TimeOfDayOf(now), std::move(entry)), now, std::move(attachment));
    return true;
  } catch (const std::bad_alloc&) {
    // A copy too large to keep a second time is left out of the history;
    // the rest of the reaction goes on.
    return false;
  }
}

void ClipboardWatch::Retry_Timer() {
  LookAtClipboard();
  TryPutBack();
  ClearIfDue();
}

void ClipboardWatch::ClearIfDue() {
  if (clearAttempts_ && !reacting_) {
    // Only a copy already reacted to is emptied: a newer one, still to be
    // read, gets its reaction first (and a text its own countdown).
    switch (s_.clipboard.EmptyIfStill(seen_)) {
      case Clipboard::EmptyResult::Emptied:
        clearAttempts_.reset();  // the emptying comes back as a change of its own
        break;
      case Clipboard::EmptyResult::Held:
        ++*clearAttempts_;
        break;
      case Clipboard::EmptyResult::Changed:
        s_.window.QueueLook();
        break;
    }
  }
  UpdateRetryTimer();
}

void ClipboardWatch::UpdateRetryTimer() {
  RetryPace pace = RetryPace::Off;
  if (waiting_ || pendingPut_ || (clearAttempts_ && *clearAttempts_ < kFastClearAttempts))
    pace = RetryPace::Fast;
  else if (clearAttempts_)
    pace = RetryPace::Slow;
  if (pace == retryPace_) return;
  if (retryPace_ != RetryPace::Off)
    s_.window.SetTimerEnabled(retryPace_ == RetryPace::Fast ? WatchTimer::Retry : WatchTimer::SlowRetry, false);
  retryPace_ = pace;
  if (pace != RetryPace::Off)
    s_.window.SetTimerEnabled(pace == RetryPace::Fast ? WatchTimer::Retry : WatchTimer::SlowRetry, true);
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
    clearAttempts_ = 0;
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

void ClipboardWatch::PutBack(std::wstring_view historyLine, AttachmentPtr attachment) {
  PutEntryBack(std::wstring(EntryIn(historyLine)), std::move(attachment));
}

void ClipboardWatch::PutEntryBack(std::wstring entry, AttachmentPtr attachment) {
  // A copy already made, whose notice is still queued or which waits for a
  // held clipboard, gets its history line before it is replaced.
  const std::uint32_t asked = s_.clipboard.SequenceNumber();
  LookAtClipboard();
  // The copy the person saw when asking, recorded now or still waiting; a
  // text rendered for its read moved the number on.
  const std::uint32_t saw = s_.clipboard.SequenceNumber() == seen_ ? seen_ : asked;
  // The newest request wins over one still waiting for the clipboard.
  pendingPut_ = PendingPut{PutContent{std::move(entry), std::move(attachment)}, saw, kPutAttempts};
  lastPutBack_ = PutBackState::Waiting;
  TryPutBack();
  UpdateRetryTimer();
}

void ClipboardWatch::TryPutBack() {
  if (!pendingPut_) return;
  // A copy not yet recorded waits for its look (bounded by its own
  // attempts); so does the re-copy that would replace it.
  if (s_.clipboard.SequenceNumber() != seen_) return;
  // A copy made after the request is what the user wants now: it stays.
  if (seen_ != pendingPut_->sequence) {
    EndPutBack(PutBackState::GivenUp);
    return;
  }
  // Emptied and filled in one go: viewers never see an empty clipboard
  // between. Compared inside the clipboard session, so that no copy comes in
  // between unrecorded.
  switch (s_.clipboard.PutIfStill(seen_, pendingPut_->content, putSequence_)) {
    case Clipboard::PutResult::Put:
      putPicture_ = pendingPut_->content.attachment;
      if (putPicture_ && putPicture_->kind != EntryKind::Picture) putPicture_.reset();
      EndPutBack(PutBackState::Made);
      break;
    case Clipboard::PutResult::Held:
      if (--pendingPut_->attemptsLeft == 0) EndPutBack(PutBackState::GivenUp);
      break;
    case Clipboard::PutResult::Changed:
      s_.window.QueueLook();
      EndPutBack(PutBackState::GivenUp);
      break;
    case Clipboard::PutResult::Failed:
      EndPutBack(PutBackState::GivenUp);
      break;
  }
}

void ClipboardWatch::EndPutBack(PutBackState outcome) {
  lastPutBack_ = outcome;
  pendingPut_.reset();
}

void ClipboardWatch::PictureRead(std::uint32_t was, std::uint32_t now) {
  if (seen_ == was && was != now) {  // else a newer copy has been seen since
    seen_ = now;
    if (pendingPut_ && pendingPut_->sequence == was) pendingPut_->sequence = now;
    if (waiting_ && waiting_->sequence == now) waiting_.reset();
    UpdateRetryTimer();
  }
  if (std::exchange(lookAfterPictureRead_, false)) s_.window.QueueLook();
}

ClipboardWatch::PutBackState ClipboardWatch::LastPutBack() {
  // Whatever is copied after the re-copy is not what the person chose.
  if (lastPutBack_ == PutBackState::Made && s_.clipboard.SequenceNumber() != putSequence_)
    lastPutBack_ = PutBackState::Replaced;
  return lastPutBack_;
}

void ClipboardWatch::StopTimer() { s_.window.SetTimerEnabled(WatchTimer::View, false); }
void ClipboardWatch::StopTimer2() { s_.window.SetTimerEnabled(WatchTimer::Clear, false); }

}  // namespace rtrillex
