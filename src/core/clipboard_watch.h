// What the program does on every clipboard change, on the ticks of its two
// timers (popup lifetime, auto-clear) and on a double-click in the history.
// The windows, the clipboard and the system come in through small interfaces.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clipboard_change.h"
#include "entry.h"
#include "history_store.h"
#include "pointer_placement.h"
#include "settings.h"
#include "units.h"

namespace rtrillex {

// What a put-back puts on the clipboard: the entry's text, or what its
// attachment holds (files, a picture) when it has one.
struct PutContent {
  std::wstring text;
  AttachmentPtr attachment;
};

// The clipboard as the watch reads it. A copy is read in one session, so
// that everything read belongs to the same copy.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Opens the clipboard once, without waiting, calls `read` while it is open
  // and closes it again; false when another program holds it open.
  virtual bool ReadInSession(const std::function<void()>& read) = 0;
  // A number that changes with every change of the clipboard's content.
  virtual std::uint32_t SequenceNumber() = 0;
  virtual bool HasFormat(ClipboardFormat format) = 0;
  // True when the copying program asked clipboard monitors to leave this
  // copy alone (password managers do, for secrets), or when that cannot be
  // told outside a session.
  virtual bool AsksNotToBeMonitored() = 0;
  // The plain text; nullopt outside a session, or when the text is listed
  // but not delivered (yet).
  virtual std::optional<std::wstring> ReadText() = 0;
  // The full paths of a file copy; nullopt outside a session, or when the
  // list is not delivered or does not read.
  virtual std::optional<std::vector<std::wstring>> ReadFiles() = 0;
  enum class EmptyResult { Emptied, Held, Changed };
  // Empties the clipboard if its sequence number is still `seen`. Held:
  // another program holds it open; Changed: it holds a newer copy. Either
  // way nothing changed.
  virtual EmptyResult EmptyIfStill(std::uint32_t seen) = 0;
  enum class PutResult { Put, Held, Changed, Failed };
  // Empties the clipboard and puts `content` on it, as one change, if its
  // sequence number is still `seen`. Held and Changed as above: nothing
  // changed. Failed: the text could not be put, and the clipboard may have
  // been emptied. Put: `put` is the sequence number the clipboard has with
  // the text on it, known before another program could copy (the notice of
  // the change goes round other programs before this returns).
  virtual PutResult PutIfStill(std::uint32_t seen, const PutContent& content, std::uint32_t& put) = 0;
};

class Tones {
 public:
  virtual ~Tones() = default;
  virtual void Beep(int frequency, int milliseconds) = 0;  // returns when the tone has ended
};

class Pointer {
 public:
  virtual ~Pointer() = default;
  virtual ScreenPoint Position() = 0;  // in screen pixels
  // The work area (the screen less its taskbars) of the monitor that holds
  // `point`, or of the nearest one, in screen pixels.
  virtual PixelRect WorkAreaAt(ScreenPoint point) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalSeconds Now() = 0;  // local date and time
};

// The text popup beside the pointer. Each call creates it first if it was unloaded.
class TextPopup {
 public:
  virtual ~TextPopup() = default;
  virtual void SetTop(float twips) = 0;
  virtual void SetLeft(float twips) = 0;
  // What the popup shows of the copy (its beginning, ShownPart).
  virtual void SetCaption(std::wstring_view shown) = 0;
  virtual void Show() = 0;
  virtual void Unload() = 0;
};

// The popup's lifetime (100 ms), the auto-clear delay (1000 ms), and the
// retry of what a busy clipboard would not allow at once: every 25 ms, or
// every second for a clear that waits for a clipboard held for long.
enum class WatchTimer { View, Clear, Retry, SlowRetry };

// The parts of the main window the watch reads and writes.
class WatchWindow {
 public:
  virtual ~WatchWindow() = default;
  // Calls the watch's LookAtClipboard from the message loop, after the
  // handler under way has returned.
  virtual void QueueLook() = 0;
  // `copiedAt`: the date and time its time stamp shows; `attachment`: what
  // the line holds besides its text, if anything.
  virtual void AppendHistoryLine(std::wstring line, LocalSeconds copiedAt, AttachmentPtr attachment) = 0;
  // The picture of the copy whose line was appended last, which has the
  // sequence number `sequence`, is to be read from the clipboard (later,
  // so that the reaction does not wait for it) and kept with its line.
  virtual void QueuePictureRead(std::uint32_t sequence) = 0;
  // True while a picture is being read from the clipboard on another
  // thread: its program may render it meanwhile, which moves the clipboard's
  // number on without a new copy.
  virtual bool ReadingPicture() = 0;
  // What the current-content box shows of the copy (CurrentContentShown).
  virtual void SetCurrentContent(std::wstring_view shown) = 0;
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

// What the clipboard held at one moment, read in one session.
struct ClipboardSnapshot {
  std::uint32_t sequence = 0;
  std::int32_t formatMask = 0;     // 0 for a copy marked as not to be monitored
  std::wstring text;               // read only for a copy of plain text alone
  std::vector<std::wstring> files;  // read only for a copy of files with none of the four formats
};

// Each copy gets one reaction, made from one snapshot: the tones, the
// history line, the current-content box and the popup all show the same
// copy. A copy is known by the clipboard's sequence number: a notice is only
// a hint to look, and a copy already reacted to is not reacted to again.
// A clipboard held by another program is tried again, the whole snapshot
// each time, without holding the program up.
//
// Reactions run only from LookAtClipboard and Retry_Timer, which the message
// loop calls, and from PutBack, which records a copy already made before it
// replaces it; every other call returns without a reaction, and a change the
// program makes itself (a re-copy, a clear) is reacted to from the loop later.
class ClipboardWatch {
 public:
  explicit ClipboardWatch(const WatchServices& services);

  // A notice of a change: queues a look.
  void ChangeClipBoard();
  void LookAtClipboard();
  void Timer1_Timer();
  void Timer2_Timer();
  void Retry_Timer();
  void List1_DblClick();
  // Puts a history line's entry back on the clipboard, where it comes back
  // as a fresh copy; tried again for a while if the clipboard is held. With
  // an attachment, what it holds is put back instead of the line's text.
  void PutBack(std::wstring_view historyLine, AttachmentPtr attachment = nullptr);
  // The same for an entry that is no history line (a fixed phrase).
  void PutEntryBack(std::wstring entry, AttachmentPtr attachment);
  // Made only while the clipboard still holds what was put back: Replaced
  // once any later copy has taken its place.
  enum class PutBackState { None, Waiting, Made, Replaced, GivenUp };
  PutBackState LastPutBack();
  // The read of copy `was`'s picture has ended with the clipboard's number
  // at `now`: if it moved, its program rendered the picture for the read,
  // the same copy and not a new one. A look put off meanwhile is made.
  void PictureRead(std::uint32_t was, std::uint32_t now);
  void StopTimer();
  void StopTimer2();

  std::int16_t ViewTicks = 0;   // Timer1 ticks since the last text copy
  std::int16_t ClearTicks = 0;  // Timer2 ticks since the last text copy with auto-clear on

 private:
  // A copy not yet reacted to, because the clipboard was held.
  struct WaitingCopy {
    std::uint32_t sequence;
    int attemptsLeft;
  };
  // A re-copy not yet made, because the clipboard was held.
  struct PendingPut {
    PutContent content;
    std::uint32_t sequence;  // the clipboard's when it was asked for: a newer copy cancels it
    int attemptsLeft;
  };
  enum class RetryPace { Off, Fast, Slow };

  std::optional<ClipboardSnapshot> TakeSnapshot(bool lastAttempt);
  bool ReadSnapshot(ClipboardSnapshot& snapshot);
  void React(ClipboardSnapshot snapshot);
  void ReactToText(const ChangeReaction& reaction, std::wstring text, int toneLength, bool comment,
                   bool clear);
  void ReactToFiles(std::vector<std::wstring> files);
  // False when the line could not be kept.
  bool AppendHistoryLine(std::wstring entry, AttachmentPtr attachment = nullptr);
  void TryPutBack();
  void EndPutBack(PutBackState outcome);
  void ClearIfDue();
  void UpdateRetryTimer();
  bool SwitchIsOn(std::wstring_view key);

  std::uint32_t seen_;  // the copy last reacted to; at start, what the clipboard held
  std::optional<WaitingCopy> waiting_;
  std::optional<PendingPut> pendingPut_;
  PutBackState lastPutBack_ = PutBackState::None;
  std::uint32_t putSequence_ = 0;  // the clipboard's once the re-copy was made
  AttachmentPtr putPicture_;       // the re-copy's picture, if it was one
  // Failed attempts of an auto-clear that fell due; nullopt when none is due.
  std::optional<int> clearAttempts_;
  bool reacting_ = false;
  bool lookAfterPictureRead_ = false;  // a look put off while a picture was read
  RetryPace retryPace_ = RetryPace::Off;

  WatchServices s_;
};

}  // namespace rtrillex
