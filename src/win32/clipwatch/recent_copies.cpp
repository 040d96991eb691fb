// The history within reach of the keyboard: the menu of recent copies that a
// system-wide key combination opens at the pointer, and the keys of the
// history list (Enter copies a line again, Delete removes it).
#include "app/main_window.h"
#include "clipboard_change.h"
#include "history_marks.h"
#include "text.h"

namespace rtrillex {
namespace {

constexpr int kHistoryHotKeyId = 1;
// Command ids of the menu's items, apart from the menu bar's.
constexpr UINT kFirstRecentCopy = 0x7000;
constexpr int kMenuTextMargin = 6;  // pixels left and right of an item's text

UniqueFont CreateMenuFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return UniqueFont();
  return UniqueFont(CreateFontIndirectW(&metrics.lfMenuFont));
}

}  // namespace

void Form1::RegisterHistoryHotKey() {
  // Read here only, never written: the first-run file stays as it always was.
  const std::optional<HotKey> combination =
      HistoryHotKeyFromSetting(settingsFile_.ReadIfPresent(setting::kHotKeySection, setting::kHistoryHotKey));
  if (combination) historyHotKey_.emplace(hwnd(), kHistoryHotKeyId, *combination);
}

void Form1::OnHotKey(int id) {
  if (id == kHistoryHotKeyId) OpenRecentCopiesMenu();
}

void Form1::OpenRecentCopiesMenu() {
  if (menuOpen_ || ending_) return;  // one menu at a time
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  // Newest first; a chosen item maps back to its line, which stays where it
  // is while the menu is open (copies meanwhile only add lines after it).
  const std::vector<std::size_t> lines = MenuLineIndices(history_.size());
  recentCopyLabels_.clear();
  for (std::size_t position = 0; position < lines.size(); ++position) {
    recentCopyLabels_.push_back(MenuLabelRuns(position, EntryIn(history_[lines[position]])));
    AppendMenuW(menu.get(), MF_OWNERDRAW, kFirstRecentCopy + position, nullptr);
  }
  if (lines.empty()) AppendMenuW(menu.get(), MF_STRING | MF_GRAYED, 0, std::wstring(kNoHistoryItem).c_str());

  menuOpen_ = true;
  recentCopiesMenu_ = menu.get();
  menuFont_ = CreateMenuFont();
  // Without the foreground the menu would not close on a click elsewhere.
  SetForegroundWindow(hwnd());
  POINT pointer;
  GetCursorPos(&pointer);
  const UINT command =
      static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                       pointer.x, pointer.y, 0, hwnd(), nullptr));
  menuOpen_ = false;
  recentCopiesMenu_ = nullptr;
  recentCopyLabels_.clear();
  if (ending_ || !exists()) return;  // ended while the menu was open
  PostMessageW(hwnd(), WM_NULL, 0, 0);  // the menu's foreground rule: let the switch finish
  if (command < kFirstRecentCopy || command - kFirstRecentCopy >= lines.size()) return;
  const std::size_t line = lines[command - kFirstRecentCopy];
  if (line < history_.size()) watch_.PutBack(history_[line]);
}

const ShownRuns* Form1::RecentCopyLabel(UINT commandId) const {
  if (!recentCopiesMenu_ || commandId < kFirstRecentCopy) return nullptr;
  const std::size_t position = commandId - kFirstRecentCopy;
  return position < recentCopyLabels_.size() ? &recentCopyLabels_[position] : nullptr;
}

bool Form1::MeasureRecentCopy(MEASUREITEMSTRUCT& item) {
  const ShownRuns* label = RecentCopyLabel(item.itemID);
  if (!label) return false;
  WindowDC dc(hwnd());
  SelectedObject font(dc.get(), menuFont_.get());
  const std::wstring text = JoinedText(*label);
  RECT extent{};
  DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent, DT_SINGLELINE | DT_CALCRECT);
  item.itemWidth = static_cast<UINT>(extent.right + 2 * kMenuTextMargin);
  item.itemHeight = static_cast<UINT>(std::max<LONG>(extent.bottom + 4, GetSystemMetrics(SM_CYMENU)));
  return true;
}

bool Form1::DrawRecentCopy(const DRAWITEMSTRUCT& item) {
  const ShownRuns* label = RecentCopyLabel(item.itemID);
  if (!label) return false;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
  SelectedObject font(item.hDC, menuFont_.get());
  area.left += kMenuTextMargin;
  DrawShownRuns(item.hDC, area, *label, selected, RunText::MenuItem);
  return true;
}

LRESULT Form1::OnMenuChar(wchar_t typed) const {
  // Owner-drawn items have no mnemonic of their own: a digit picks the item
  // its number names, 1 to 9 and then 0 for the tenth.
  if (typed < L'0' || typed > L'9') return MAKELRESULT(0, MNC_IGNORE);
  const std::size_t position = typed == L'0' ? 9 : static_cast<std::size_t>(typed - L'1');
  if (position >= recentCopyLabels_.size()) return MAKELRESULT(0, MNC_IGNORE);
  return MAKELRESULT(position, MNC_EXECUTE);
}

bool Form1::OnHistoryListKey(WPARAM key) {
  switch (key) {
    case VK_RETURN:
      watch_.List1_DblClick();
      return true;
    case VK_DELETE:
      DeleteSelectedHistoryLine();
      return true;
  }
  return false;
}

void Form1::DeleteSelectedHistoryLine() {
  // Only from the history: the clipboard keeps what it holds.
  const std::optional<std::size_t> selected = SelectedHistoryIndex();
  if (!selected) return;
  const std::size_t index = *selected;
  // From the history first, so that a line drawn meanwhile is read in step.
  history_.erase(history_.begin() + static_cast<std::ptrdiff_t>(index));
  const HWND list = Control(ControlId::List1);
  SendMessageW(list, LB_DELETESTRING, index, 0);
  // The next line takes the removed one's place; after the last, the one before it.
  if (!history_.empty()) SendMessageW(list, LB_SETCURSEL, std::min(index, history_.size() - 1), 0);
}

}  // namespace rtrillex
