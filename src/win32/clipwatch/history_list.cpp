#include "history_list.h"

#include <algorithm>

#include "history_marks.h"
#include "text.h"
#include "text_excerpt.h"

namespace rtrillex {

void HistoryList::Append(std::wstring line) {
  const std::wstring shown(Beginning(line, kHistoryLineDrawnChars));
  const HistoryId id = history_.Add(std::move(line));
  const LRESULT added = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  if (added == LB_ERR || added == LB_ERRSPACE) {
    history_.Remove(id);  // the list and the history stay in step
    return;
  }
  // Item data is pointer-sized: ids of 32 bits are four billion copies.
  SendMessageW(list_, LB_SETITEMDATA, static_cast<WPARAM>(added), static_cast<LPARAM>(id));
}

std::optional<HistoryList::Selection> HistoryList::Selected() const {
  const LRESULT index = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return std::nullopt;
  const HistoryId id = static_cast<HistoryId>(SendMessageW(list_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
  if (!history_.Find(id)) return std::nullopt;
  return Selection{static_cast<std::size_t>(index), id};
}

std::optional<std::wstring> HistoryList::SelectedLine() const {
  const std::optional<Selection> selected = Selected();
  if (!selected) return std::nullopt;
  return *history_.Find(selected->id);
}

void HistoryList::RemoveSelected() {
  const std::optional<Selection> selected = Selected();
  if (!selected) return;
  // From the history first, so that a line drawn meanwhile is read in step.
  history_.Remove(selected->id);
  SendMessageW(list_, LB_DELETESTRING, selected->index, 0);
  // The next line takes the removed one's place; after the last, the one before it.
  if (!history_.empty()) SendMessageW(list_, LB_SETCURSEL, std::min(selected->index, history_.size() - 1), 0);
}

void HistoryList::Draw(const DRAWITEMSTRUCT& item) const {
  // As the list box draws its own lines, but only as much of a line as its
  // width can show, read where it is kept, and with its breaks and tabs
  // marked: a copy of megabytes drawn or copied whole on every paint takes
  // seconds.
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (const std::wstring* line = history_.Find(static_cast<HistoryId>(item.itemData))) {
    RECT text = area;
    text.left += 1;
    DrawShownRuns(item.hDC, text, HistoryLineRuns(*line), selected, RunText::ListLine);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &area);
}

}  // namespace rtrillex
