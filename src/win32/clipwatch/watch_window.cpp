// The main window's side of the clipboard watch: its place in the viewer
// chain, the history list, the current-content box, the two timers and the
// duration boxes they read.
#include "app/main_window.h"
#include "history_marks.h"
#include "text.h"
#include "text_excerpt.h"
#include "viewer_hook.h"

namespace rtrillex {
namespace {

// By WatchTimer: Timer1, Timer2 and the retries of a busy clipboard.
constexpr UINT_PTR kTimerIds[] = {kTimer1, kTimer2, kClipboardRetryTimer, kClipboardSlowRetryTimer};
constexpr UINT kTimerIntervals[] = {100, 1000, 25, 1000};  // milliseconds

std::size_t TimerIndex(WatchTimer timer) { return static_cast<std::size_t>(timer); }

void RunChangeHandler(HWND window) {
  if (auto* form = dynamic_cast<Form1*>(Window::FromHandle(window))) form->ChangeClipBoard();
}

}  // namespace

void Form1::JoinViewerChain() {
  // Joining sends this window a first notification; the hook is not yet in
  // place, so what is on the clipboard at start-up causes nothing.
  NextViewer = SetClipboardViewer(hwnd());
  inViewerChain_ = true;
  Module1::StartHook(hwnd(), RunChangeHandler);
}

void Form1::LeaveViewerChain() {
  Module1::EndHook(hwnd());
  if (!inViewerChain_) return;
  ChangeClipboardChain(hwnd(), NextViewer);
  inViewerChain_ = false;
}

// The chain's notifications are passed on without waiting for the next
// viewer: one that hangs must not stop this program's own work.
void Form1::OnDrawClipboard(WPARAM wParam, LPARAM lParam) {
  if (NextViewer) SendNotifyMessageW(NextViewer, WM_DRAWCLIPBOARD, wParam, lParam);
}

void Form1::OnChangeClipboardChain(HWND leaving, HWND next) {
  if (leaving == NextViewer)
    NextViewer = next;
  else if (NextViewer)
    SendNotifyMessageW(NextViewer, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(leaving),
                       reinterpret_cast<LPARAM>(next));
}

void Form1::OnTimer(UINT_PTR id) {
  if (id == kTimerIds[0] && timerEnabled_[0]) watch_.Timer1_Timer();
  if (id == kTimerIds[1] && timerEnabled_[1]) watch_.Timer2_Timer();
  if ((id == kTimerIds[2] && timerEnabled_[2]) || (id == kTimerIds[3] && timerEnabled_[3])) watch_.Retry_Timer();
}

void Form1::QueueLook() { PostMessageW(hwnd(), kLookAtClipboardMessage, 0, 0); }

void Form1::AppendHistoryLine(std::wstring line) {
  // A copy too large to keep throws before anything is stored.
  const std::wstring shown(Beginning(line, kHistoryLineDrawnChars));
  history_.push_back(std::move(line));
  const LRESULT added =
      SendMessageW(Control(ControlId::List1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  if (added == LB_ERR || added == LB_ERRSPACE) history_.pop_back();  // the list and the history stay in step
}

void Form1::SetCurrentContent(std::wstring_view text) {
  SetWindowTextW(Control(ControlId::txtCurCB), main_window::CurrentContentShown(text).c_str());
}

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

std::optional<std::wstring> Form1::SelectedHistoryLine() {
  const std::optional<std::size_t> selected = SelectedHistoryIndex();
  if (!selected) return std::nullopt;
  return history_[*selected];
}

std::optional<std::size_t> Form1::SelectedHistoryIndex() {
  const LRESULT selected = SendMessageW(Control(ControlId::List1), LB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<std::size_t>(selected) >= history_.size()) return std::nullopt;
  return static_cast<std::size_t>(selected);
}

void Form1::DrawHistoryLine(const DRAWITEMSTRUCT& item) {
  // As the list box draws its own lines, but only as much of a line as its
  // width can show, read where it is kept, and with its breaks and tabs
  // marked: a copy of megabytes drawn or copied whole on every paint takes
  // seconds.
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID < history_.size()) {
    RECT text = area;
    text.left += 1;
    DrawShownRuns(item.hDC, text, HistoryLineRuns(history_[item.itemID]), selected, RunText::ListLine);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &area);
}

}  // namespace rtrillex
