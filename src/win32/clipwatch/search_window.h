// The search window: a small topmost window at the pointer, opened from the
// menu of recent copies, with a one-line search box over the history lines
// that hold every word typed, newest first. Up, Down, Page Up and Page Down
// move in the list while the box keeps the keys; Enter or a double-click
// chooses; Escape closes and gives the keyboard back, as does a choice.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "handle.h"
#include "history.h"
#include "history_search.h"
#include "keyboard_owner.h"
#include "window.h"

namespace rtrillex {

class SearchWindow : public Window {
 public:
  // `chosen` gets the chosen line and the window that had the keyboard before.
  using ChooseHandler = std::function<void(HistoryId line, const KeyboardOwner& previous)>;
  SearchWindow(const History& history, ChooseHandler chosen) : history_(history), chosen_(std::move(chosen)) {}

  // Opens at the pointer with `typed` in the box; `previous` gets the
  // keyboard back when the window closes.
  void Open(std::wstring_view typed, const KeyboardOwner& previous);
  // The history changed: the list follows it.
  void OnHistoryChanged();
  // The box's keys for the list, from the message loop; true when taken.
  bool TranslateKey(const MSG& message);
  void Close();
  // Closes it as Escape does: the keyboard goes back where it was.
  void CloseAndGiveBack();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Create();
  void Search(bool historyChanged);
  void FitRowsToThumbnails();
  std::optional<HistoryId> SelectedLine() const;
  void Choose();
  void MoveSelection(int lines);
  void DrawLine(const DRAWITEMSTRUCT& item) const;

  const History& history_;
  ChooseHandler chosen_;
  KeyboardOwner previous_;
  HWND box_ = nullptr;
  HWND list_ = nullptr;
  UniqueFont font_;
  int lineHeight_ = 0;
  int rowHeight_ = 0;        // the list's: a line's, or a thumbnail's while pictures are listed
  int thumbnailColumn_ = 0;  // where the lines' text starts
  std::vector<HistoryId> shown_;  // the list's lines, newest first
  SearchQuery shownQuery_;         // what they were found for
  bool closing_ = false;
};

}  // namespace rtrillex
