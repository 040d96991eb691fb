#include "recent_copies.h"

#include <algorithm>

#include "clipboard_change.h"
#include "desktop.h"
#include "clipwatch/system_services.h"
#include "menu_at_pointer.h"
#include "pictures/thumbnail.h"
#include "text.h"

namespace rtrillex {
namespace {

constexpr int kHotKeyId = 1;
// Command ids of the menu's items, apart from the menu bar's.
constexpr UINT kFirstRecentCopy = 0x7000;
constexpr UINT kSearchCommand = 0x7100;
constexpr UINT kMorePhrasesCommand = 0x7101;
constexpr UINT kPinCommand = 1;  // the right click's offer
constexpr UINT kFirstPhrase = 0x7200;  // and on, by position in the phrases shown
constexpr WPARAM kPinKey = 'P';  // with Ctrl
// No mnemonic: every letter typed in the menu starts a search already.
constexpr wchar_t kSearchItem[] = L"履歴を検索...";
// The phrases beyond the menu's are in the search, listed first.
constexpr wchar_t kMorePhrasesItem[] = L"定型文をすべて表示...";
constexpr int kMenuTextMargin = 6;  // pixels left and right of an item's text
constexpr wchar_t kHeightSample[] = L"Ｍあg";  // as tall as a line of any entry


}  // namespace

const wchar_t* PinOfferCaption(bool onPhrase) {
  return onPhrase ? L"定型文から削除...\tCtrl+P" : L"定型文にする\tCtrl+P";
}

void RecentCopiesMenu::RegisterHotKey(HWND window, ProfileSettingsFile& settings) {
  const std::optional<HotKey> combination =
      HistoryHotKeyFromSetting(settings.ReadIfPresent(setting::kHotKeySection, setting::kHistoryHotKey));
  if (combination) hotKey_.emplace(window, kHotKeyId, *combination);
  pastesChoice_ = PasteChoiceFromSetting(settings.ReadIfPresent(setting::kHotKeySection, setting::kPasteChoice));
}

bool RecentCopiesMenu::IsItsHotKey(int id) const { return hotKey_ && id == kHotKeyId; }

RecentCopiesMenu::Choice RecentCopiesMenu::Open(HWND owner) {
  if (MenuAtPointerIsOpen()) return {};  // one menu at a time
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) return {};
  AppendPhrases(menu.get());
  // Newest first, each item known by its line's id: a line removed while
  // the menu is open is simply gone when it is chosen.
  shown_ = NewestCopies(history_, arrived_, kMenuMostEntries);
  labels_.clear();
  thumbnails_.clear();
  shownArrived_.clear();
  thumbnailColumn_ = 0;
  // A picture not read yet keeps room for a screenshot's thumbnail; one
  // wider than that when it comes is scaled down into the column.
  const auto thumbnailHeight = static_cast<int>(ThumbnailHeightAt(ScreenDotsPerInchY()));
  const int pendingWidth = thumbnailHeight * 16 / 9;
  const CalendarDate today = LocalToday();
  for (std::size_t position = 0; position < shown_.size(); ++position) {
    if (shown_[position].arrived) {
      const ArrivedCopy& copy = arrived_[static_cast<std::size_t>(shown_[position].id)];
      shownArrived_.push_back(copy.id);
      labels_.push_back(ArrivedLabel(position, copy, today));
      thumbnails_.emplace_back();
      AppendMenuW(menu.get(), MF_OWNERDRAW, kFirstRecentCopy + position, nullptr);
      continue;
    }
    shownArrived_.emplace_back();
    const HistoryId id = shown_[position].id;
    // Files and pictures by their label (a picture with its time and its
    // thumbnail), texts by their beginning.
    const std::wstring& line = *history_.Find(id);
    const AttachmentPtr attachment = history_.AttachmentOf(id);
    std::wstring label = attachment ? AttachmentLabel(*attachment) : std::wstring();
    const std::wstring date = EarlierDayMark(history_.CopiedAtOf(id), today);
    Thumbnail thumbnail;
    if (attachment && attachment->kind == EntryKind::Picture) {
      label += L"  " + line.substr(0, kHistoryPrefixLength - 1);
      thumbnail = {true, MenuNumberRuns(position)};
      const std::shared_ptr<const Pixels>& pixels = attachment->picture.thumbnail;
      const int width = pixels ? static_cast<int>(pixels->width) : pendingWidth;
      thumbnailColumn_ = std::max(thumbnailColumn_, width);
      labels_.push_back(MenuEntryRuns(label, date));
    } else {
      labels_.push_back(MenuLabelRuns(position, attachment ? std::wstring_view(label) : EntryIn(line), date));
    }
    thumbnails_.push_back(std::move(thumbnail));
    AppendMenuW(menu.get(), MF_OWNERDRAW, kFirstRecentCopy + position, nullptr);
  }
  if (shown_.empty()) AppendMenuW(menu.get(), MF_STRING | MF_GRAYED, 0, std::wstring(kNoHistoryItem).c_str());
  AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu.get(), MF_STRING, kSearchCommand, kSearchItem);

  menu_ = menu.get();
  font_ = CreateMenuFont();
  typedSearch_.reset();
  // The search that a typed letter or the last item opens takes the keyboard
  // straight from the menu.
  const MenuKeyHook pinKey([this](const MSG& message) { return OnMenuKey(message); });
  const MenuChoice menuChoice = OpenMenuAtPointer(owner, menu.get(), nullptr, [this](UINT command) {
    return command == kSearchCommand || command == kMorePhrasesCommand || (command == 0 && typedSearch_.has_value());
  });
  menu_ = nullptr;
  labels_.clear();
  thumbnails_.clear();
  phraseLabels_.clear();
  Choice choice;
  choice.previous = menuChoice.previous;
  const UINT command = menuChoice.command;
  if (command >= kFirstRecentCopy && command - kFirstRecentCopy < shown_.size() &&
      shown_[command - kFirstRecentCopy].arrived)
    choice.arrived = shownArrived_[command - kFirstRecentCopy];
  else if (command >= kFirstRecentCopy && command - kFirstRecentCopy < shown_.size())
    choice.line = shown_[command - kFirstRecentCopy].id;
  else if (command >= kFirstPhrase && command - kFirstPhrase < shownPhrases_.size())
    choice.phrase = shownPhrases_[command - kFirstPhrase];
  else if (command == 0 && removing_ && shown_[*removing_].arrived)
    choice.removeArrived = shownArrived_[*removing_];
  else if (command == 0 && removing_)
    choice.remove = shown_[*removing_].id;
  else if (command == 0 && pinAsked_ && OnOwnLine())
    choice.pin = shown_[selected_ - kFirstRecentCopy].id;
  else if (command == 0 && pinAsked_ && selected_ >= kFirstPhrase && selected_ - kFirstPhrase < shownPhrases_.size())
    choice.unpin = shownPhrases_[selected_ - kFirstPhrase];
  else if (command == kSearchCommand || command == kMorePhrasesCommand)
    choice.search = L"";
  else if (command == 0 && offerAsked_)
    OfferPin(owner, choice);
  else if (typedSearch_)
    choice.search = std::move(typedSearch_);
  typedSearch_.reset();
  shown_.clear();
  shownPhrases_.clear();
  return choice;
}

// The first phrases, each known by its id, and a line below them.
void RecentCopiesMenu::AppendPhrases(HMENU menu) {
  shownPhrases_.clear();
  phraseLabels_.clear();
  selected_ = 0;
  pinAsked_ = false;
  offerAsked_ = false;
  removing_.reset();
  const MenuPhrases shown = PhrasesInMenu(phrases_);
  for (std::size_t position = 0; position < shown.count; ++position) {
    const Phrase& phrase = phrases_.At(position);
    shownPhrases_.push_back(phrase.id);
    phraseLabels_.push_back(MenuPhraseRuns(AccessKey(phrases_, position), phrase.label));
    if (phrase.separator)
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_OWNERDRAW, kFirstPhrase + position, nullptr);
  }
  if (shown.more) AppendMenuW(menu, MF_STRING, kMorePhrasesCommand, kMorePhrasesItem);
  if (shown.count > 0) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  firstCopyPosition_ = shown.count > 0 ? shown.count + (shown.more ? 2 : 1) : 0;
}

// The item under the keyboard is one of this PC's lines (which may be
// pinned; another PC's copy is pinned there).
bool RecentCopiesMenu::OnOwnLine() const {
  const std::size_t position = selected_ - kFirstRecentCopy;
  return selected_ >= kFirstRecentCopy && position < shown_.size() && !shown_[position].arrived;
}

// A copy another PC shared: numbered as any, then its PC's name (and its
// date, from an earlier day) as a mark; a picture by its size.
ShownRuns RecentCopiesMenu::ArrivedLabel(std::size_t position, const ArrivedCopy& copy, const CalendarDate& today) {
  const std::wstring date = EarlierDayMark(copy.copiedAt, today);
  const std::wstring mark = L"[" + copy.pcName + L"]" + (date.empty() ? L"" : L" " + date);
  const std::wstring label = copy.attachment ? AttachmentLabel(*copy.attachment) : std::wstring();
  return MenuLabelRuns(position, copy.attachment ? std::wstring_view(label) : std::wstring_view(copy.text), mark);
}

// A right click on a copy offers to pin it, on a phrase to delete it, as
// Ctrl+P does; taken, the menu comes back showing the change.
void RecentCopiesMenu::OfferPin(HWND owner, Choice& choice) const {
  const bool onCopy = OnOwnLine();
  const bool onPhrase = selected_ >= kFirstPhrase && selected_ - kFirstPhrase < shownPhrases_.size();
  if (!onCopy && !onPhrase) return;
  UniqueMenu offer(CreatePopupMenu());
  if (!offer) return;
  AppendMenuW(offer.get(), MF_STRING, kPinCommand, PinOfferCaption(onPhrase));
  const MenuChoice taken = OpenMenuAtPointer(owner, offer.get());
  choice.previous = taken.previous;
  if (taken.command != kPinCommand)
    return;
  if (onCopy)
    choice.pin = shown_[selected_ - kFirstRecentCopy].id;
  else
    choice.unpin = shownPhrases_[selected_ - kFirstPhrase];
}

// Ctrl+P on an item: the menu closes, and the window pins it (or unpins a
// phrase) and opens the menu again. The menu gives no character of a key
// with Ctrl, so the key is taken before the menu sees it.
bool RecentCopiesMenu::OnMenuKey(const MSG& message) {
  if (message.message == WM_RBUTTONUP && selected_ != 0) {
    offerAsked_ = true;
    EndMenu();
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_DELETE) {
    if (selected_ < kFirstRecentCopy || selected_ - kFirstRecentCopy >= shown_.size()) return true;
    removing_ = selected_ - kFirstRecentCopy;  // the selection may move as the menu closes
    EndMenu();
    return true;
  }
  if (message.message != WM_KEYDOWN || message.wParam != kPinKey || GetKeyState(VK_CONTROL) >= 0) return false;
  if (selected_ == 0) return true;
  pinAsked_ = true;
  EndMenu();
  return true;
}

void RecentCopiesMenu::OnMenuSelect(HMENU menu, UINT item, UINT flags) {
  if (menu_ && menu == menu_) selected_ = (flags & (MF_POPUP | MF_SEPARATOR)) || flags == 0xFFFF ? 0 : item;
}

const ShownRuns* RecentCopiesMenu::Label(UINT commandId) const {
  if (!menu_ || commandId < kFirstRecentCopy) return nullptr;
  if (commandId >= kFirstPhrase) {
    const std::size_t position = commandId - kFirstPhrase;
    return position < phraseLabels_.size() ? &phraseLabels_[position] : nullptr;
  }
  const std::size_t position = commandId - kFirstRecentCopy;
  return position < labels_.size() ? &labels_[position] : nullptr;
}

const RecentCopiesMenu::Thumbnail* RecentCopiesMenu::ThumbnailOf(UINT commandId) const {
  if (!menu_ || commandId < kFirstRecentCopy || commandId >= kFirstPhrase) return nullptr;
  const std::size_t position = commandId - kFirstRecentCopy;
  return position < thumbnails_.size() && thumbnails_[position].isPicture ? &thumbnails_[position] : nullptr;
}

std::shared_ptr<const Pixels> RecentCopiesMenu::PixelsOf(UINT commandId) const {
  const std::size_t position = commandId - kFirstRecentCopy;
  const AttachmentPtr attachment =
      position < shown_.size() && !shown_[position].arrived ? history_.AttachmentOf(shown_[position].id) : nullptr;
  return attachment && attachment->kind == EntryKind::Picture ? attachment->picture.thumbnail : nullptr;
}

void RecentCopiesMenu::OnPicturesRead() const {
  if (const HWND window = OpenMenuWindow(menu_)) InvalidateRect(window, nullptr, FALSE);
}

bool RecentCopiesMenu::Measure(HWND owner, MEASUREITEMSTRUCT& item) const {
  const ShownRuns* label = Label(item.itemID);
  if (!label) return false;
  WindowDC dc(owner);
  SelectedObject font(dc.get(), font_.get());
  const Thumbnail* thumbnail = ThumbnailOf(item.itemID);
  const std::wstring text = JoinedText(*label) + (thumbnail ? JoinedText(thumbnail->number) : std::wstring());
  RECT extent{};
  DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent, DT_SINGLELINE | DT_CALCRECT);
  item.itemWidth = static_cast<UINT>(extent.right + 2 * kMenuTextMargin);
  // One height for every entry, Japanese or not, so that the rows line up.
  RECT line{};
  DrawTextW(dc.get(), kHeightSample, -1, &line, DT_SINGLELINE | DT_CALCRECT);
  item.itemHeight = static_cast<UINT>(std::max<LONG>(line.bottom + 4, GetSystemMetrics(SM_CYMENU)));
  // A picture's row holds its thumbnail.
  if (thumbnail) {
    item.itemWidth += static_cast<UINT>(thumbnailColumn_ + kMenuTextMargin);
    item.itemHeight = std::max<UINT>(item.itemHeight, ThumbnailHeightAt(ScreenDotsPerInchY()) + 4);
  }
  return true;
}

bool RecentCopiesMenu::Draw(const DRAWITEMSTRUCT& item) const {
  const ShownRuns* label = Label(item.itemID);
  if (!label) return false;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
  SelectedObject font(item.hDC, font_.get());
  area.left += kMenuTextMargin;
  if (const Thumbnail* thumbnail = ThumbnailOf(item.itemID)) {
    DrawShownRuns(item.hDC, area, thumbnail->number, selected, RunText::MenuItem);
    // Measured as drawn: the '&' marks the digit, it takes no room.
    const std::wstring number = JoinedText(thumbnail->number);
    RECT numberExtent{};
    DrawTextW(item.hDC, number.c_str(), static_cast<int>(number.size()), &numberExtent, DT_SINGLELINE | DT_CALCRECT);
    area.left += numberExtent.right;
    const auto height = static_cast<int>(ThumbnailHeightAt(ScreenDotsPerInchY()));
    const int top = area.top + (area.bottom - area.top - height) / 2;
    if (const std::shared_ptr<const Pixels> pixels = PixelsOf(item.itemID)) {
      const RECT column{area.left, top, area.left + thumbnailColumn_, top + height};
      DrawThumbnailIn(item.hDC, column, *pixels, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    } else {
      const RECT frame{area.left, top, area.left + height, top + height};
      DrawThumbnailPlaceholder(item.hDC, frame);
    }
    area.left += thumbnailColumn_ + kMenuTextMargin;
  }
  DrawShownRuns(item.hDC, area, *label, selected, RunText::MenuItem);
  return true;
}

std::optional<LRESULT> RecentCopiesMenu::OnMenuChar(HMENU menu, wchar_t typed) {
  if (!menu_ || menu != menu_) return std::nullopt;
  // Owner-drawn items have no mnemonic of their own: a digit picks the item
  // its number names, 1 to 9 and then 0 for the tenth; a phrase's letter
  // picks the phrase.
  if (typed >= L'0' && typed <= L'9') {
    const std::size_t position = typed == L'0' ? 9 : static_cast<std::size_t>(typed - L'1');
    if (position >= labels_.size()) return MAKELRESULT(0, MNC_IGNORE);
    return MAKELRESULT(firstCopyPosition_ + position, MNC_EXECUTE);
  }
  if (typed < L' ') return MAKELRESULT(0, MNC_IGNORE);
  const wchar_t letter = typed >= L'a' && typed <= L'z' ? static_cast<wchar_t>(typed - L'a' + L'A') : typed;
  for (std::size_t position = 0; position < shownPhrases_.size(); ++position)
    if (AccessKey(phrases_, position) == letter) return MAKELRESULT(position, MNC_EXECUTE);
  // Any other character typed starts a search for it, in place of the menu.
  typedSearch_ = std::wstring(1, typed);
  return MAKELRESULT(0, MNC_CLOSE);
}

}  // namespace rtrillex
