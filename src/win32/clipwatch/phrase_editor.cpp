#include "phrase_editor.h"

#include <algorithm>
#include <string>

#include "control_layout.h"
#include "controls.h"
#include "history_marks.h"
#include "text.h"

namespace rtrillex {
namespace {

constexpr wchar_t kClassName[] = L"rTrillexPhrases";
constexpr wchar_t kWindowText[] = L"定型文の編集";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kClientWidth = 560, kClientHeight = 340;  // pixels at 96 dpi
constexpr wchar_t kNoticeTitle[] = L"rTrillex";
constexpr wchar_t kDeleteQuestion[] = L"この定型文を削除しますか？\n\n";

enum ControlId : int {
  kListId = 100,  // clear of IDOK and IDCANCEL
  kNameLabelId,
  kNameId,
  kTextLabelId,
  kTextId,
  kAddId,
  kSeparatorId,
  kUpId,
  kDownId,
  kDeleteId,
  kCloseId = IDCANCEL,  // Escape, as in a dialog
};

struct ButtonPlace {
  ControlId id;
  const wchar_t* caption;
  int left;  // pixels at 96 dpi; the row is at the bottom
};
constexpr ButtonPlace kButtons[] = {
    {kAddId, L"追加(&A)", 8},     {kSeparatorId, L"区切り線(&L)", 94}, {kUpId, L"上へ(&U)", 180},
    {kDownId, L"下へ(&D)", 266},  {kDeleteId, L"削除(&X)", 352},     {kCloseId, L"閉じる", 472},
};
constexpr int kButtonWidth = 80, kButtonHeight = 26, kButtonTop = 306;

// An edit control breaks lines only at CR LF: a copy's lone LFs are shown
// as breaks too. The text is only written back once the person changed it.
std::wstring WithWindowsLineBreaks(const std::wstring& text) {
  std::wstring shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) shown += L'\r';
    shown += text[i];
  }
  return shown;
}

bool Modified(HWND edit) { return SendMessageW(edit, EM_GETMODIFY, 0, 0) != 0; }

}  // namespace

bool AskToDeletePhrase(HWND owner, const Phrase& phrase) {
  const std::wstring question = kDeleteQuestion + phrase.label;
  return MessageBoxW(owner, question.c_str(), kNoticeTitle,
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_TOPMOST) == IDYES;
}

// In tab order: the list, the label, the text, then the buttons.
void PhraseEditor::Create() {
  if (!CreateForm(kClassName, kWindowText, kWindowStyle, kClientWidth, kClientHeight)) return;
  // No data of its own: the rows are drawn from the list, however long.
  list_ = AddControl(L"LISTBOX", L"",
                     WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_NODATA | LBS_NOINTEGRALHEIGHT,
                     kListId, {8, 8, 258, 298});
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, MeasureText(nullptr, font(), L"Ｍg").cy + ScaledFrom96(4));
  AddControl(L"STATIC", L"名前(&N):", 0, kNameLabelId, {268, 8, 552, 24});
  name_ = AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kNameId, {268, 26, 552, 50});
  AddControl(L"STATIC", L"内容(&T):", 0, kTextLabelId, {268, 58, 552, 74});
  text_ = AddControl(L"EDIT", L"", WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, kTextId,
                     {268, 76, 552, 298});
  // A phrase may be far longer than an edit control takes by default.
  SendMessageW(text_, EM_SETLIMITTEXT, 0, 0);
  for (const ButtonPlace& button : kButtons)
    AddControl(L"BUTTON", button.caption, WS_TABSTOP | BS_PUSHBUTTON, button.id,
               {button.left, kButtonTop, button.left + kButtonWidth, kButtonTop + kButtonHeight});
}

void PhraseEditor::Show() {
  if (!exists()) {
    Create();
    if (!exists()) return;
    Fill(phrases_.empty() ? 0 : phrases_.At(0).id);
  }
  ShowWindow(hwnd(), IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd());
  SetFocus(list_);
}

// The list as the phrases stand, with `selected` selected where it is.
void PhraseEditor::Fill(PhraseId selected) {
  SendMessageW(list_, LB_SETCOUNT, phrases_.size(), 0);
  const std::size_t position = phrases_.PositionOf(selected);
  SendMessageW(list_, LB_SETCURSEL, position < phrases_.size() ? static_cast<WPARAM>(position) : static_cast<WPARAM>(-1),
               0);
  InvalidateRect(list_, nullptr, TRUE);
  if (SelectedId() != editing_) ShowSelected();
  EnableFields();
}

void PhraseEditor::OnPhrasesChanged() {
  if (!exists()) return;
  // The row selected may now hold another phrase: the one being typed into
  // stays selected wherever it went.
  Fill(phrases_.Find(editing_) ? editing_ : SelectedId());
}

PhraseId PhraseEditor::SelectedId() const {
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<std::size_t>(selected) >= phrases_.size()) return 0;
  return phrases_.At(static_cast<std::size_t>(selected)).id;
}

// The fields show the selected phrase. A picture's or file list's text is
// its tag or its paths: shown, not edited. So is a text holding a NUL, which
// an edit control would cut short.
void PhraseEditor::ShowSelected() {
  editing_ = SelectedId();
  const Phrase* phrase = phrases_.Find(editing_);
  SetWindowTextW(name_, phrase && !phrase->separator ? phrase->label.c_str() : L"");
  SetWindowTextW(text_, phrase ? WithWindowsLineBreaks(phrase->text).c_str() : L"");
  const bool textEditable = phrase && !phrase->separator && phrase->kind() == EntryKind::Text &&
                            phrase->text.find(L'\0') == std::wstring::npos;
  SendMessageW(text_, EM_SETREADONLY, !textEditable, 0);
}

void PhraseEditor::EnableFields() {
  const Phrase* phrase = phrases_.Find(SelectedId());
  const bool named = phrase && !phrase->separator;
  EnableWindow(name_, named);
  EnableWindow(text_, named);
  const std::size_t position = phrases_.PositionOf(SelectedId());
  EnableWindow(GetDlgItem(hwnd(), kUpId), phrase && position > 0);
  EnableWindow(GetDlgItem(hwnd(), kDownId), phrase && position + 1 < phrases_.size());
  EnableWindow(GetDlgItem(hwnd(), kDeleteId), phrase != nullptr);
}

// What was typed into the fields goes into the phrase they show, and is
// written; a label left blank, or following its text, is shown as it now is.
void PhraseEditor::ApplyEdits() {
  if (!exists() || !phrases_.Find(editing_)) return;
  bool changed = false;
  if (Modified(name_)) changed |= phrases_.Rename(editing_, GetWindowTextOf(name_));
  if (Modified(text_)) changed |= phrases_.EditText(editing_, GetWindowTextOf(text_));
  SendMessageW(name_, EM_SETMODIFY, FALSE, 0);
  SendMessageW(text_, EM_SETMODIFY, FALSE, 0);
  if (!changed) return;
  const Phrase* phrase = phrases_.Find(editing_);
  if (GetWindowTextOf(name_) != phrase->label) SetWindowTextW(name_, phrase->label.c_str());
  SavePhrase(editing_);
  InvalidateRect(list_, nullptr, TRUE);
}

void PhraseEditor::SavePhrase(PhraseId id, bool withOrder) {
  const Phrase* phrase = phrases_.Find(id);
  if (!phrase) return;
  std::vector<PhraseChange> changes{PhraseChange::Put(KeptFrom(*phrase), phrases_.PositionOf(id))};
  // One put in the middle leaves the others' positions as they were.
  if (withOrder) changes.push_back(PhraseChange::Order(phrases_.Ids()));
  save_(std::move(changes));
}

// An empty phrase after the selected one, to be typed into at once.
void PhraseEditor::AddPhrase() {
  ApplyEdits();
  const PhraseId selected = SelectedId();
  const PhraseId added = phrases_.AddText(L"", L"", selected ? selected : PhraseList::kAtEnd);
  SavePhrase(added, true);
  Fill(added);
  SetFocus(text_);
}

void PhraseEditor::AddSeparator() {
  ApplyEdits();
  const PhraseId selected = SelectedId();
  const PhraseId added = phrases_.AddSeparator(selected ? selected : PhraseList::kAtEnd);
  SavePhrase(added, true);
  Fill(added);
  SetFocus(list_);  // a separator has nothing to type
}

void PhraseEditor::Move(bool up) {
  ApplyEdits();
  const PhraseId selected = SelectedId();
  if (!(up ? phrases_.MoveUp(selected) : phrases_.MoveDown(selected))) return;
  save_({PhraseChange::Order(phrases_.Ids())});
  Fill(selected);
}

void PhraseEditor::DeleteSelected() {
  ApplyEdits();
  const PhraseId selected = SelectedId();
  const Phrase* phrase = phrases_.Find(selected);
  if (!phrase) return;
  // A separator holds nothing to lose: it goes without a question.
  if (!phrase->separator && !AskToDeletePhrase(hwnd(), *phrase)) return;
  const std::size_t position = phrases_.PositionOf(selected);
  if (!phrases_.Remove(selected)) return;
  save_({PhraseChange::Remove(selected)});
  Fill(phrases_.empty() ? 0 : phrases_.At(std::min(position, phrases_.size() - 1)).id);
  SetFocus(list_);
}

void PhraseEditor::Close() {
  if (!exists()) return;
  ApplyEdits();
  editing_ = 0;  // the fields losing the focus as they go have nothing more to give
  DestroyOwnedWindow();
}

bool PhraseEditor::TranslateKey(MSG& message) {
  if (!exists() || (message.hwnd != hwnd() && !IsChild(hwnd(), message.hwnd))) return false;
  const bool keyDown = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
  const bool alt = message.message == WM_SYSKEYDOWN;
  if (keyDown && alt && (message.wParam == VK_UP || message.wParam == VK_DOWN)) {
    Move(message.wParam == VK_UP);
    return true;
  }
  if (keyDown && !alt && message.hwnd == list_ && message.wParam == VK_DELETE) {
    DeleteSelected();
    return true;
  }
  // The multi-line text wants every key; Tab still moves on (Ctrl+Tab types
  // one) and Escape still closes.
  if (message.message == WM_KEYDOWN && message.hwnd == text_ && GetKeyState(VK_CONTROL) >= 0) {
    if (message.wParam == VK_TAB) {
      FocusControl(GetNextDlgTabItem(hwnd(), text_, GetKeyState(VK_SHIFT) < 0));
      return true;
    }
    if (message.wParam == VK_ESCAPE) {
      Close();
      return true;
    }
  }
  return IsDialogMessageW(hwnd(), &message) != FALSE;
}

void PhraseEditor::OnCommand(int id, int notification) {
  switch (id) {
    case kListId:
      if (notification == LBN_SELCHANGE) {
        ApplyEdits();
        ShowSelected();
        EnableFields();
      }
      break;
    case kNameId:
    case kTextId:
      if (notification == EN_KILLFOCUS) ApplyEdits();
      break;
    case kAddId:
      AddPhrase();
      break;
    case kSeparatorId:
      AddSeparator();
      break;
    case kUpId:
    case kDownId:
      Move(id == kUpId);
      break;
    case kDeleteId:
      DeleteSelected();
      break;
    case IDOK:  // Enter in the label: taken
      ApplyEdits();
      break;
    case kCloseId:
      Close();
      break;
  }
}

// A phrase as the menu shows it, with its access key; a separator as a line.
void PhraseEditor::DrawRow(const DRAWITEMSTRUCT& item) const {
  if (item.itemID >= phrases_.size()) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const Phrase& phrase = phrases_.At(item.itemID);
  if (phrase.separator) {
    const int middle = (area.top + area.bottom) / 2;
    RECT line{area.left + ScaledFrom96(4), middle, area.right - ScaledFrom96(4), middle + 1};
    FillRect(item.hDC, &line, GetSysColorBrush(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT));
  } else {
    RECT text = area;
    text.left += 2;
    // Drawn as a menu item is, its access key underlined.
    DrawShownRuns(item.hDC, text, MenuPhraseRuns(AccessKey(phrases_, item.itemID), phrase.label), selected,
                  RunText::MenuItem);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &area);
}

LRESULT PhraseEditor::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_DRAWITEM:
      DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CLOSE:
      Close();
      return 0;
  }
  return FormWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace rtrillex
