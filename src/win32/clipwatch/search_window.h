// The search window: a small topmost window at the pointer, opened from the
// menu of recent copies, with a one-line search box over the history lines
// that hold every word typed, newest first, after the fixed phrases that
// hold them. Up, Down, Page Up and Page Down move in the list while the box
// keeps the keys; Enter or a double-click chooses; Ctrl+P, or a right
// click's offer, pins a line or unpins a phrase; Shift+Delete removes a line
// (another PC's copy on every PC); Escape closes and gives the keyboard back, as does a
// choice.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arrived_copies.h"
#include "handle.h"
#include "history.h"
#include "history_search.h"
#include "phrase_list.h"
#include "keyboard_owner.h"
#include "window.h"

namespace rtrillex {

class SearchWindow : public Window {
 public:
  // A row of the list: a fixed phrase (listed first), a history line, or a
  // copy another PC shared.
  struct Row {
    bool isPhrase = false;
    std::uint64_t id = 0;  // a PhraseId or a HistoryId
    std::optional<Id16> arrived;  // the shared copy's id, for such a row
  };
  // `chosen` gets the chosen row and the window that had the keyboard
  // before; `pinned` the row Ctrl+P was pressed on.
  using ChooseHandler = std::function<void(Row row, const KeyboardOwner& previous)>;
  using PinHandler = std::function<void(Row row)>;
  // `removed` the row Shift+Delete was pressed on (Delete alone edits the box).
  using RemoveHandler = std::function<void(Row row)>;
  SearchWindow(const History& history, const PhraseList& phrases, const std::vector<ArrivedCopy>& arrived,
               ChooseHandler chosen, PinHandler pinned, RemoveHandler removed)
      : history_(history),
        phrases_(phrases),
        arrived_(arrived),
        chosen_(std::move(chosen)),
        pinned_(std::move(pinned)),
        removed_(std::move(removed)) {}

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
  std::optional<Row> SelectedRow() const;
  std::optional<Row> RowAt(std::size_t row) const;
  void DrawPhrase(const DRAWITEMSTRUCT& item, RECT text, PhraseId id) const;
  void DrawArrived(const DRAWITEMSTRUCT& item, RECT text, const ArrivedCopy& copy) const;
  void Choose();
  void OfferPin(LPARAM screenPoint);
  void MoveSelection(int lines);
  void DrawLine(const DRAWITEMSTRUCT& item) const;

  const History& history_;
  const PhraseList& phrases_;
  const std::vector<ArrivedCopy>& arrived_;
  ChooseHandler chosen_;
  PinHandler pinned_;
  RemoveHandler removed_;
  KeyboardOwner previous_;
  HWND box_ = nullptr;
  HWND list_ = nullptr;
  UniqueFont font_;
  int lineHeight_ = 0;
  int rowHeight_ = 0;        // the list's: a line's, or a thumbnail's while pictures are listed
  int thumbnailColumn_ = 0;  // where the lines' text starts
  std::vector<PhraseId> shownPhrases_;  // the list's first rows, in their order
  std::vector<HistoryId> shown_;  // this PC's lines found, newest first
  // The list's rows after the phrases: those lines among the shared copies
  // found, newest first; a shared copy by its place in `arrived`, searched
  // anew whenever that list changes (OnHistoryChanged).
  std::vector<RecentCopy> shownCopies_;
  SearchQuery shownQuery_;         // what they were found for
  bool closing_ = false;
};

}  // namespace rtrillex
