#include "history_list.h"

#include <algorithm>

#include "history_marks.h"
#include "text.h"
#include "text_excerpt.h"

namespace rtrillex {

std::optional<HistoryId> HistoryList::Append(std::wstring line, LocalSeconds copiedAt, AttachmentPtr attachment) {
  const std::wstring shown(Beginning(line, kHistoryLineDrawnChars));
  const HistoryId id = history_.Add(std::move(line), copiedAt, std::move(attachment));
  const LRESULT added = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  if (added == LB_ERR || added == LB_ERRSPACE) {
    history_.Remove(id);  // the list and the history stay in step
    return std::nullopt;
  }
  // Item data is pointer-sized: the history's ids fit in 32 bits.
  SendMessageW(list_, LB_SETITEMDATA, static_cast<WPARAM>(added), static_cast<LPARAM>(id));
  return id;
}

std::vector<HistoryId> HistoryList::InsertOlder(std::vector<History::OlderLine> older) {
  std::vector<std::wstring> shown;
  for (const History::OlderLine& line : older) shown.emplace_back(Beginning(line.line, kHistoryLineDrawnChars));
  std::vector<HistoryId> ids = history_.InsertOlder(std::move(older));
  // Drawn once, after the last line is in.
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const LRESULT added = SendMessageW(list_, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(shown[i].c_str()));
    if (added == LB_ERR || added == LB_ERRSPACE) {
      // The list is full: the older lines that did not fit go from the history too.
      for (std::size_t gone = i; gone < ids.size(); ++gone) history_.Remove(ids[gone]);
      ids.resize(i);
      break;
    }
    SendMessageW(list_, LB_SETITEMDATA, static_cast<WPARAM>(added), static_cast<LPARAM>(ids[i]));
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  return ids;
}

void HistoryList::Clear() {
  history_.Clear();
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
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

std::optional<HistoryId> HistoryList::SelectedId() const {
  const std::optional<Selection> selected = Selected();
  if (!selected) return std::nullopt;
  return selected->id;
}

bool HistoryList::Remove(HistoryId id) {
  // The list holds the lines in the history's order.
  const std::size_t index = history_.PositionOf(id);
  if (index == history_.size()) return false;
  if (static_cast<HistoryId>(SendMessageW(list_, LB_GETITEMDATA, index, 0)) != id) return false;
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  // From the history first, so that a line drawn meanwhile is read in step.
  history_.Remove(id);
  SendMessageW(list_, LB_DELETESTRING, index, 0);
  // The next line takes the removed one's place; after the last, the one before it.
  if (selected == static_cast<LRESULT>(index) && !history_.empty())
    SendMessageW(list_, LB_SETCURSEL, std::min(index, history_.size() - 1), 0);
  return true;
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
