#include "search_window.h"

#include <windowsx.h>

#include <algorithm>
#include <optional>

#include "clipwatch/recent_copies.h"
#include "clipwatch/system_services.h"
#include "desktop.h"
#include "history_marks.h"
#include "history_search.h"
#include "pictures/thumbnail.h"
#include "pointer_placement.h"
#include "text.h"

namespace rtrillex {
namespace {

constexpr wchar_t kClassName[] = L"rTrillexSearch";
constexpr wchar_t kWindowText[] = L"履歴を検索";
constexpr int kWidth = 480, kHeight = 320;  // pixels at 96 dpi
constexpr int kBoxId = 1, kListId = 2;
constexpr wchar_t kPhraseMark[] = L"定型文";

int Scaled(int pixelsAt96) { return MulDiv(pixelsAt96, ScreenDotsPerInchY(), 96); }

}  // namespace

void SearchWindow::Create() {
  RegisterWindowClass(kClassName, reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1));
  font_ = CreateMenuFont();
  SIZE letter = MeasureText(nullptr, font_.get(), L"Ｍg");
  lineHeight_ = letter.cy + Scaled(4);
  // A tool window has no taskbar button; it is in front only while it is used.
  CreateOwnedWindow(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, kWindowText, WS_POPUP | WS_BORDER, 0, 0,
                    Scaled(kWidth), Scaled(kHeight), nullptr);
  if (!exists()) return;
  RECT client;
  GetClientRect(hwnd(), &client);
  const int margin = Scaled(4);
  const int boxHeight = lineHeight_ + Scaled(6);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  box_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, margin, margin,
                         client.right - 2 * margin, boxHeight, hwnd(),
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBoxId)), instance, nullptr);
  // No data of its own: the lines are drawn from the history, however many.
  const int listTop = 2 * margin + boxHeight;
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_NODATA |
                              LBS_NOINTEGRALHEIGHT,
                          margin, listTop, client.right - 2 * margin, client.bottom - listTop - margin, hwnd(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
  SendMessageW(box_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  rowHeight_ = lineHeight_;
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, rowHeight_);
}

void SearchWindow::Open(std::wstring_view typed, const KeyboardOwner& previous) {
  if (!exists()) Create();
  if (!exists()) return;
  previous_ = previous;
  closing_ = false;
  POINT pointer;
  GetCursorPos(&pointer);
  RECT frame;
  GetWindowRect(hwnd(), &frame);
  const PixelRect place = PlaceBesidePointer({pointer.x, pointer.y}, {frame.right - frame.left, frame.bottom - frame.top},
                                             WorkAreaAt(pointer));
  SetWindowPos(hwnd(), HWND_TOPMOST, place.left, place.top, 0, 0, SWP_NOSIZE);
  SetWindowTextW(box_, std::wstring(typed).c_str());
  Search(true);
  SendMessageW(box_, EM_SETSEL, typed.size(), static_cast<LPARAM>(typed.size()));
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
  SetFocus(box_);
}

std::optional<SearchWindow::Row> SearchWindow::SelectedRow() const {
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (selected < 0) return std::nullopt;
  return RowAt(static_cast<std::size_t>(selected));
}

std::optional<SearchWindow::Row> SearchWindow::RowAt(std::size_t row) const {
  if (row < shownPhrases_.size()) return Row{true, shownPhrases_[row], std::nullopt};
  if (row - shownPhrases_.size() >= shownCopies_.size()) return std::nullopt;
  const RecentCopy& copy = shownCopies_[row - shownPhrases_.size()];
  if (!copy.arrived) return Row{false, copy.id, std::nullopt};
  const auto index = static_cast<std::size_t>(copy.id);
  if (index >= arrived_.size()) return std::nullopt;
  return Row{false, 0, arrived_[index].id};
}

void SearchWindow::Search(bool historyChanged) {
  const std::optional<Row> selected = SelectedRow();
  SearchQuery query(GetWindowTextOf(box_));
  // A key that narrows the search looks only among the lines already listed,
  // which are current unless the history has changed since. The phrases are
  // few: looked through whole.
  shownPhrases_ = MatchingPhrases(phrases_, query);
  shown_ = !historyChanged && query.Narrows(shownQuery_) ? MatchingIds(history_, query, shown_, shownQuery_)
                                                         : MatchingIds(history_, query);
  // The copies the other PCs shared go among them by their time.
  shownCopies_ = MergedByTime(history_, shown_, arrived_, MatchingArrived(arrived_, query), SIZE_MAX);
  shownQuery_ = std::move(query);
  FitRowsToThumbnails();
  const std::size_t rows = shownPhrases_.size() + shownCopies_.size();
  SendMessageW(list_, LB_SETCOUNT, rows, 0);
  // The row that was selected stays so while it is listed; else the first.
  std::size_t selection = 0;
  for (std::size_t row = 0; selected && row < rows; ++row) {
    const std::optional<Row> listed = RowAt(row);
    if (listed && listed->isPhrase == selected->isPhrase && listed->id == selected->id &&
        listed->arrived == selected->arrived) {
      selection = row;
      break;
    }
  }
  if (rows > 0) SendMessageW(list_, LB_SETCURSEL, selection, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

// While pictures are listed, every row is as high as their tallest
// thumbnail, and the lines' text starts after a column as wide as the widest
// (a picture still being read keeps room for a screenshot's).
void SearchWindow::FitRowsToThumbnails() {
  const auto fullHeight = static_cast<int>(ThumbnailHeightAt(ScreenDotsPerInchY()));
  int widest = 0, tallest = 0;
  for (const HistoryId id : shown_) {
    const AttachmentPtr attachment = history_.AttachmentOf(id);
    if (!attachment || attachment->kind != EntryKind::Picture) continue;
    const std::shared_ptr<const Pixels>& thumbnail = attachment->picture.thumbnail;
    widest = std::max(widest, thumbnail ? static_cast<int>(thumbnail->width) : fullHeight * 16 / 9);
    tallest = std::max(tallest, thumbnail ? static_cast<int>(thumbnail->height) : fullHeight);
  }
  thumbnailColumn_ = widest > 0 ? widest + Scaled(4) : 0;
  const int rowHeight = std::max(lineHeight_, tallest > 0 ? tallest + Scaled(4) : 0);
  if (rowHeight == rowHeight_) return;
  rowHeight_ = rowHeight;
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, rowHeight_);
}

void SearchWindow::OnHistoryChanged() {
  if (exists() && IsWindowVisible(hwnd())) Search(true);
}

void SearchWindow::MoveSelection(int lines) {
  const std::size_t rows = shownPhrases_.size() + shownCopies_.size();
  if (rows == 0) return;
  const LRESULT current = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  const LRESULT last = static_cast<LRESULT>(rows) - 1;
  const LRESULT next = std::clamp<LRESULT>(current + lines, 0, last);
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
}

bool SearchWindow::TranslateKey(const MSG& message) {
  if (!exists() || message.hwnd != box_ || message.message != WM_KEYDOWN) return false;
  RECT list;
  GetClientRect(list_, &list);
  const int page = std::max(1, static_cast<int>(list.bottom / std::max(1, rowHeight_)) - 1);
  switch (message.wParam) {
    case VK_UP:
      MoveSelection(-1);
      return true;
    case VK_DOWN:
      MoveSelection(1);
      return true;
    case VK_PRIOR:
      MoveSelection(-page);
      return true;
    case VK_NEXT:
      MoveSelection(page);
      return true;
    case VK_RETURN:
      Choose();
      return true;
    case VK_ESCAPE:
      CloseAndGiveBack();
      return true;
    case 'P':
      if (GetKeyState(VK_CONTROL) >= 0) return false;
      if (const std::optional<Row> row = SelectedRow()) pinned_(*row);
      return true;
    case VK_DELETE:
      if (GetKeyState(VK_SHIFT) >= 0) return false;
      if (const std::optional<Row> row = SelectedRow(); row && !row->isPhrase) removed_(*row);
      return true;
  }
  return false;
}

// A right click on a row selects it and offers what Ctrl+P does; from the
// keyboard (the menu key, Shift+F10) the offer is for the selected row.
void SearchWindow::OfferPin(LPARAM screenPoint) {
  POINT point{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
  if (screenPoint == -1) {
    RECT selected{};
    SendMessageW(list_, LB_GETITEMRECT, SendMessageW(list_, LB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(&selected));
    point = {selected.left + Scaled(8), selected.bottom};
    ClientToScreen(list_, &point);
  } else {
    POINT inList = point;
    ScreenToClient(list_, &inList);
    const LRESULT hit = SendMessageW(list_, LB_ITEMFROMPOINT, 0, MAKELPARAM(inList.x, inList.y));
    if (HIWORD(hit)) return;  // below the last row
    SendMessageW(list_, LB_SETCURSEL, LOWORD(hit), 0);
  }
  const std::optional<Row> row = SelectedRow();
  if (!row) return;
  UniqueMenu offer(CreatePopupMenu());
  if (!offer) return;
  constexpr UINT kPinCommand = 1;
  AppendMenuW(offer.get(), MF_STRING, kPinCommand, PinOfferCaption(row->isPhrase));
  if (TrackPopupMenu(offer.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, point.x, point.y, 0, hwnd(), nullptr) ==
      kPinCommand)
    pinned_(*row);
}

void SearchWindow::Choose() {
  const std::optional<Row> row = SelectedRow();
  if (!row) return;
  const KeyboardOwner previous = previous_;
  CloseAndGiveBack();
  chosen_(*row, previous);
}

void SearchWindow::Close() {
  if (!exists() || closing_) return;
  closing_ = true;  // hiding it takes the front away, which closes it too
  ShowWindow(hwnd(), SW_HIDE);
  shown_.clear();
  shownCopies_.clear();
  shownPhrases_.clear();
  SendMessageW(list_, LB_SETCOUNT, 0, 0);
}

void SearchWindow::CloseAndGiveBack() {
  if (!exists() || !IsWindowVisible(hwnd())) return;
  Close();
  GiveKeyboardBack(previous_);
}

void SearchWindow::DrawLine(const DRAWITEMSTRUCT& item) const {
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const std::size_t phrases = shownPhrases_.size();
  if (item.itemID < phrases) {
    RECT text = area;
    text.left += 2 + thumbnailColumn_;
    text.top += 2 + (rowHeight_ - lineHeight_) / 2;
    DrawPhrase(item, text, shownPhrases_[item.itemID]);
  } else if (item.itemID - phrases < shownCopies_.size() && shownCopies_[item.itemID - phrases].arrived) {
    const auto index = static_cast<std::size_t>(shownCopies_[item.itemID - phrases].id);
    RECT text = area;
    text.left += 2 + thumbnailColumn_;
    text.top += 2 + (rowHeight_ - lineHeight_) / 2;
    if (index < arrived_.size()) DrawArrived(item, text, arrived_[index]);
  } else if (item.itemID - phrases < shownCopies_.size()) {
    const HistoryId id = shownCopies_[item.itemID - phrases].id;
    if (const std::wstring* line = history_.Find(id)) {
      RECT text = area;
      text.left += 2;
      text.top += 2 + (rowHeight_ - lineHeight_) / 2;
      const std::wstring date = EarlierDayMark(history_.CopiedAtOf(id), LocalToday());
      // Files and pictures by their label after the line's time stamp, a
      // picture's thumbnail before it.
      const AttachmentPtr attachment = history_.AttachmentOf(id);
      if (attachment && attachment->kind == EntryKind::Picture) {
        const RECT room{area.left + 2, area.top + 2, area.left + thumbnailColumn_, area.bottom - 2};
        if (attachment->picture.thumbnail)
          DrawThumbnailIn(item.hDC, room, *attachment->picture.thumbnail,
                          GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        else if (!attachment->picture.png && !attachment->picture.tooLarge)
          DrawThumbnailPlaceholder(item.hDC, {room.left, room.top, room.left + room.bottom - room.top, room.bottom});
      }
      text.left += thumbnailColumn_;
      const ShownRuns runs =
          attachment ? HistoryLineRuns(line->substr(0, kHistoryPrefixLength) + AttachmentLabel(*attachment), date)
                     : HistoryLineRuns(*line, date);
      DrawShownRuns(item.hDC, text, runs, selected, RunText::ListLine);
    }
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &area);
}

// Its label after a mark that says what it is, where the lines have their time.
void SearchWindow::DrawPhrase(const DRAWITEMSTRUCT& item, RECT text, PhraseId id) const {
  const Phrase* phrase = phrases_.Find(id);
  if (!phrase) return;
  DrawShownRuns(item.hDC, text, MenuEntryRuns(phrase->label, kPhraseMark), (item.itemState & ODS_SELECTED) != 0,
                RunText::ListLine);
}

// Another PC's copy: its PC's name (and date, from an earlier day) where
// the lines have their time, then its text or its picture's label.
void SearchWindow::DrawArrived(const DRAWITEMSTRUCT& item, RECT text, const ArrivedCopy& copy) const {
  const std::wstring date = EarlierDayMark(copy.copiedAt, LocalToday());
  const std::wstring mark = L"[" + copy.pcName + L"]" + (date.empty() ? L"" : L" " + date);
  const std::wstring label = copy.attachment ? AttachmentLabel(*copy.attachment) : std::wstring();
  DrawShownRuns(item.hDC, text, MenuEntryRuns(copy.attachment ? std::wstring_view(label) : std::wstring_view(copy.text), mark),
                (item.itemState & ODS_SELECTED) != 0, RunText::ListLine);
}

LRESULT SearchWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // A text set while it opens, still hidden, is searched for from scratch there.
      if (LOWORD(wParam) == kBoxId && HIWORD(wParam) == EN_CHANGE && IsWindowVisible(hwnd())) Search(false);
      if (LOWORD(wParam) == kListId && HIWORD(wParam) == LBN_DBLCLK) Choose();
      return 0;
    case WM_DRAWITEM:
      DrawLine(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == list_) OfferPin(lParam);
      return 0;
    case WM_ACTIVATE:
      // Another window taking the front has the keyboard already.
      if (LOWORD(wParam) == WA_INACTIVE) Close();
      return 0;
    case WM_CLOSE:
      CloseAndGiveBack();
      return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace rtrillex
