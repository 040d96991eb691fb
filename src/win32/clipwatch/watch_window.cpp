// The main window's side of the clipboard watch: its place in the viewer
// chain, the history list and the menu of recent copies, the current-content
// box, the watch's timers and the duration boxes they read.
#include "app/main_window.h"
#include "text.h"

namespace rtrillex {
namespace {

// By WatchTimer: Timer1, Timer2 and the retries of a busy clipboard.
constexpr UINT_PTR kTimerIds[] = {kTimer1, kTimer2, kClipboardRetryTimer, kClipboardSlowRetryTimer};
constexpr UINT kTimerIntervals[] = {100, 1000, 25, 1000};  // milliseconds

std::size_t TimerIndex(WatchTimer timer) { return static_cast<std::size_t>(timer); }

}  // namespace

void Form1::OnTimer(UINT_PTR id) {
  if (id == kTimerIds[0] && timerEnabled_[0]) watch_.Timer1_Timer();
  if (id == kTimerIds[1] && timerEnabled_[1]) watch_.Timer2_Timer();
  if ((id == kTimerIds[2] && timerEnabled_[2]) || (id == kTimerIds[3] && timerEnabled_[3])) watch_.Retry_Timer();
}

void Form1::QueueLook() { PostMessageW(hwnd(), kLookAtClipboardMessage, 0, 0); }

void Form1::AppendHistoryLine(std::wstring line, LocalSeconds copiedAt, AttachmentPtr attachment) {
  lastAppended_.reset();
  const std::optional<HistoryId> id = historyList_.Append(std::move(line), copiedAt, std::move(attachment));
  lastAppended_ = id;
  // Shared first: a copy marked as not to leave this PC is kept with that mark.
  if (id) ShareLine(*id, *historyList_.history().Find(*id));
  if (id) KeepLine(*id, copiedAt, *historyList_.history().Find(*id));
  searchWindow_.OnHistoryChanged();
}

void Form1::SetCurrentContent(std::wstring_view shown) { currentContent_.Show(shown); }

void Form1::SetTimerEnabled(WatchTimer timer, bool enabled) {
  const std::size_t i = TimerIndex(timer);
  if (enabled == timerEnabled_[i]) return;  // a running timer keeps its rhythm
  timerEnabled_[i] = enabled;
  if (enabled)
    SetTimer(hwnd(), kTimerIds[i], kTimerIntervals[i], nullptr);
  else
    KillTimer(hwnd(), kTimerIds[i]);
}

std::wstring Form1::DurationText(WatchTimer timer) {
  return GetWindowTextOf(Control(timer == WatchTimer::View ? ControlId::txtViewTime : ControlId::txtClrTime));
}

std::optional<std::wstring> Form1::SelectedHistoryLine() { return historyList_.SelectedLine(); }

void Form1::OnHotKey(int id) {
  if (ending_ || !recentCopies_.IsItsHotKey(id)) return;
  // The menu comes back to where the person was typing before the search.
  searchWindow_.CloseAndGiveBack();
  const RecentCopiesMenu::Choice chosen = recentCopies_.Open(hwnd());
  if (ending_ || !exists()) return;  // ended while the menu was open
  if (chosen.line) PutBackAndPaste(*chosen.line, chosen.previous);
  if (chosen.phrase) PutPhraseBackAndPaste(*chosen.phrase, chosen.previous);
  if (chosen.arrived) PutArrivedBackAndPaste(*chosen.arrived, chosen.previous);
  if (chosen.search) searchWindow_.Open(*chosen.search, chosen.previous);
  if (chosen.remove || chosen.removeArrived) {
    if (chosen.remove) RemoveLine(*chosen.remove);
    if (chosen.removeArrived) RemoveArrived(*chosen.removeArrived);
    OnHotKey(id);  // open again, showing the change
    return;
  }
  if (chosen.pin || chosen.unpin) {
    if (chosen.pin) {
      if (const std::wstring* line = historyList_.history().Find(*chosen.pin))
        TogglePin(std::wstring(EntryIn(*line)), historyList_.history().AttachmentOf(*chosen.pin));
    } else {
      Unpin(*chosen.unpin);
      // The question took the front: the keys go back before the menu opens
      // again, or the menu would give them to this window.
      GiveKeyboardBack(chosen.previous);
    }
    // Open again, showing the change, over the window that had the keyboard.
    OnHotKey(id);
  }
}

void Form1::PutBackAndPaste(HistoryId line, const KeyboardOwner& previous) {
  const std::wstring* text = historyList_.history().Find(line);
  if (!text) return;  // removed while it was on show
  // Chosen from the menu or the search: the entry whole, files as files.
  watch_.PutBack(*text, historyList_.history().AttachmentOf(line));
  if (recentCopies_.PastesChoice()) pasteBack_->Start(previous.window);
}

bool Form1::OnHistoryListKey(WPARAM key) {
  switch (key) {
    case VK_RETURN:
      watch_.List1_DblClick();
      return true;
    case VK_DELETE:
      if (const std::optional<HistoryId> removed = historyList_.SelectedId()) RemoveLine(*removed);
      return true;
  }
  return false;
}

}  // namespace rtrillex
