#include "sharing_window.h"

#include <shlobj.h>

#include <string>

#include "control_layout.h"
#include "controls.h"
#include "folder_key_work.h"
#include "journal_files.h"
#include "local_time.h"
#include "sync_folder.h"
#include "text.h"
#include "utf8_text.h"

namespace rtrillex {
namespace {

constexpr wchar_t kClassName[] = L"rTrillexSharing";
constexpr wchar_t kWindowText[] = L"ほかの PC と共有";
constexpr wchar_t kNoticeTitle[] = L"rTrillex";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr int kClientWidth = 460, kClientHeight = 334;  // pixels at 96 dpi
constexpr UINT kKeyWorkDone = WM_APP + 1;

enum ControlId : int {
  kFolderLabelId = 100,  // clear of IDOK and IDCANCEL
  kFolderId,
  kBrowseId,
  kPassphraseLabelId,
  kPassphraseId,
  kConfirmationLabelId,
  kConfirmationId,
  kNameLabelId,
  kNameId,
  kOnId,
  kPcsLabelId,
  kPcsId,
  kProblemId,
};

constexpr wchar_t kNoFolder[] = L"共有するフォルダーを選んでください。";
constexpr wchar_t kFolderGone[] = L"そのフォルダーが見つかりません。";
constexpr wchar_t kFolderRefused[] =
    L"rTrillex のフォルダーやその中のフォルダーでは共有できません(履歴のファイルが同期されてしまいます)。";
constexpr wchar_t kNoPassphrase[] = L"合言葉を入力してください。";
constexpr wchar_t kConfirmationDiffers[] =
    L"このフォルダーで初めて共有します。確認のため、同じ合言葉を 2 回入力してください。";
constexpr wchar_t kWrongPassphrase[] = L"合言葉が違います。このフォルダーでほかの PC が使っている合言葉を入力してください。";
constexpr wchar_t kKeyFileUnreadable[] =
    L"フォルダーの鍵のファイル (rTrillex\\key) を読めません。同期が終わってからもう一度試してください。";
constexpr wchar_t kKeyFileNewer[] = L"フォルダーの鍵のファイルは新しい版の rTrillex で作られています。";
constexpr wchar_t kCannotMakeKey[] = L"フォルダーに鍵のファイルを作れません。";
constexpr wchar_t kSystemRefused[] = L"暗号化の準備ができませんでした。もう一度試してください。";
constexpr wchar_t kOwnJournalStays[] =
    L"この PC のファイルを削除できませんでした。ほかのプログラムが使っているかもしれません。後で共有フォルダーから削除してください。";
constexpr wchar_t kDeleteOwnJournal[] =
    L"共有をやめました。この PC が共有フォルダーに書いたファイルを削除しますか？\n\n"
    L"ほかの PC のファイルと、すでに届いたコピーはそのまま残ります。";
constexpr wchar_t kThisPc[] = L"(この PC)";

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

std::wstring ShownTime(std::uint64_t unixMs) {
  const std::optional<SYSTEMTIME> time = unixMs == 0 ? std::nullopt : LocalTimeOf(unixMs);
  if (!time) return L"";
  wchar_t shown[32];
  wsprintfW(shown, L"%04u/%02u/%02u %02u:%02u", time->wYear, time->wMonth, time->wDay, time->wHour, time->wMinute);
  return shown;
}

const wchar_t* WhyNot(FolderKeyOutcome outcome) {
  switch (outcome) {
    case FolderKeyOutcome::NeedsConfirmation:
      return kConfirmationDiffers;
    case FolderKeyOutcome::WrongPassphrase:
      return kWrongPassphrase;
    case FolderKeyOutcome::KeyFileNewer:
      return kKeyFileNewer;
    case FolderKeyOutcome::KeyFileUnreadable:
      return kKeyFileUnreadable;
    case FolderKeyOutcome::CannotMakeKey:
      return kCannotMakeKey;
    default:
      return kSystemRefused;
  }
}

}  // namespace

// In tab order: each label before its field, so that its access key reaches it.
void SharingWindow::Create() {
  if (!CreateForm(kClassName, kWindowText, kWindowStyle, kClientWidth, kClientHeight)) return;
  AddControl(L"STATIC", L"共有フォルダー(&F):", 0, kFolderLabelId, {12, 15, 132, 31});
  folder_ = AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kFolderId, {136, 12, 364, 34});
  AddControl(L"BUTTON", L"参照(&B)...", WS_TABSTOP | BS_PUSHBUTTON, kBrowseId, {370, 11, 448, 35});
  AddControl(L"STATIC", L"合言葉(&P):", 0, kPassphraseLabelId, {12, 47, 132, 63});
  passphrase_ = AddControl(L"EDIT", L"", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, kPassphraseId, {136, 44, 364, 66});
  AddControl(L"STATIC", L"合言葉の確認(&C):", 0, kConfirmationLabelId, {12, 79, 132, 95});
  confirmation_ =
      AddControl(L"EDIT", L"", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, kConfirmationId, {136, 76, 364, 98});
  AddControl(L"STATIC", L"(初回のみ)", 0, 0, {370, 79, 448, 95});
  AddControl(L"STATIC", L"この PC の名前(&N):", 0, kNameLabelId, {12, 111, 132, 127});
  name_ = AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kNameId, {136, 108, 364, 130});
  on_ = AddControl(L"BUTTON", L"ほかの PC と共有する(&S)", WS_TABSTOP | BS_AUTOCHECKBOX, kOnId, {12, 140, 364, 160});
  AddControl(L"STATIC", L"フォルダーにある PC(&L):", 0, kPcsLabelId, {12, 170, 448, 186});
  pcs_ = AddControl(L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_USETABSTOPS, kPcsId,
                    {12, 188, 448, 260});
  problem_ = AddControl(L"STATIC", L"", 0, kProblemId, {12, 266, 448, 296});
  ok_ = AddControl(L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, {286, 302, 362, 326});
  AddControl(L"BUTTON", L"キャンセル", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, {372, 302, 448, 326});
}

void SharingWindow::Show(const SyncSettings& settings) {
  if (!exists()) Create();
  if (!exists()) return;
  if (keyWork_) {  // what was typed is being used: left as it is
    SetForegroundWindow(hwnd());
    return;
  }
  settings_ = settings;
  SetWindowTextW(folder_, settings.folder.c_str());
  SetWindowTextW(passphrase_, L"");
  SetWindowTextW(confirmation_, L"");
  SetWindowTextW(name_, settings.pcName.empty() ? ComputerName().c_str() : settings.pcName.c_str());
  SendMessageW(on_, BM_SETCHECK, settings.on ? BST_CHECKED : BST_UNCHECKED, 0);
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
  SetFocus(settings.folder.empty() ? folder_ : passphrase_);
}

void SharingWindow::ShowPcs(const std::vector<SyncPc>& pcs) {
  if (!exists()) return;
  SendMessageW(pcs_, LB_RESETCONTENT, 0, 0);
  for (const SyncPc& pc : pcs) {
    const std::wstring row =
        FromUtf8(pc.name) + (pc.thisPc ? std::wstring(L" ") + kThisPc : L"") + L"\t" + ShownTime(pc.changedMs);
    SendMessageW(pcs_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  }
}

void SharingWindow::ShowProblem(const std::wstring& problem) {
  if (exists()) SetWindowTextW(problem_, problem.c_str());
}

void SharingWindow::Tell(const wchar_t* text) const {
  MessageBoxW(hwnd(), text, kNoticeTitle, MB_OK | MB_ICONWARNING);
}

void SharingWindow::Browse() {
  BROWSEINFOW browse{};
  browse.hwndOwner = hwnd();
  browse.lpszTitle = L"共有に使うフォルダー(同期ソフトが同期しているフォルダー)を選んでください。";
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return;
  wchar_t path[MAX_PATH] = {};
  if (SHGetPathFromIDListW(chosen, path)) SetWindowTextW(folder_, path);
  CoTaskMemFree(chosen);
}

// The key kept for this user serves as long as the folder is the same and
// its key file still names that key; otherwise the passphrase is needed.
std::optional<FolderKey> SharingWindow::KeptKey() const {
  if (settings_.protectedKey.empty()) return std::nullopt;
  UnprotectedFolderKey kept = UnprotectFolderKey(settings_.protectedKey);
  if (kept.result != FolderKeyUnprotect::Opened) return std::nullopt;
  return std::move(kept.key);
}

std::optional<FolderKey> SharingWindow::KeptKeyFor(const std::wstring& folder) const {
  if (folder != settings_.folder) return std::nullopt;
  std::optional<FolderKey> kept = KeptKey();
  const std::optional<Id16> named = kept ? FolderKeyIdIn(folder) : std::nullopt;
  if (!named || *named != kept->keyId) return std::nullopt;
  return kept;
}

bool SharingWindow::SameKeyAsKept(const FolderKey& key) const {
  const std::optional<FolderKey> kept = KeptKey();
  return kept && kept->keyId == key.keyId;
}

void SharingWindow::Apply() {
  if (keyWork_) return;  // OK again while the key is worked out
  SyncSettings chosen = settings_;
  chosen.folder = GetWindowTextOf(folder_);
  chosen.pcName = GetWindowTextOf(name_);
  chosen.on = SendMessageW(on_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (!chosen.on) {
    TurnOff();
    return;
  }
  if (chosen.folder.empty()) return Tell(kNoFolder);
  if (!SyncFolderPresent(chosen.folder)) return Tell(kFolderGone);
  if (!IsFolderAllowed(chosen.folder, programFolder_)) return Tell(kFolderRefused);
  const std::wstring passphrase = GetWindowTextOf(passphrase_);
  if (passphrase.empty()) {
    if (const std::optional<FolderKey> kept = KeptKeyFor(chosen.folder)) return Finish(chosen, *kept);
    Tell(kNoPassphrase);
    SetFocus(passphrase_);
    return;
  }
  keyWork_ = std::make_unique<FolderKeyWork>(chosen.folder, passphrase, GetWindowTextOf(confirmation_) == passphrase,
                                             hwnd(), kKeyWorkDone);
  if (!keyWork_->Started()) {
    keyWork_.reset();
    return Tell(kSystemRefused);
  }
  waiting_ = chosen;
  EnableWindow(ok_, FALSE);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void SharingWindow::OnKeyWorkDone() {
  if (!keyWork_) return;
  const FolderKeyResult result = keyWork_->Take();
  keyWork_.reset();
  EnableWindow(ok_, TRUE);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  if (result.outcome == FolderKeyOutcome::Joined || result.outcome == FolderKeyOutcome::Made)
    return Finish(waiting_, result.key);
  Tell(WhyNot(result.outcome));
  if (result.outcome == FolderKeyOutcome::NeedsConfirmation) SetFocus(confirmation_);
}

// The key in hand: kept for this user, the settings applied, the window closed.
void SharingWindow::Finish(SyncSettings chosen, const FolderKey& key) {
  // A journal is sealed under one key. Under another key (a folder made
  // anew, or settings carried over from another machine whose kept key no
  // longer opens here) this PC starts a journal of its own, never one that
  // the other key, or the other machine, still writes.
  if (!SameKeyAsKept(key)) chosen.installation.reset();
  std::optional<Bytes> kept = ProtectFolderKey(key);
  if (!kept) return Tell(kSystemRefused);
  chosen.protectedKey = std::move(*kept);
  if (!chosen.installation) {
    InstallationId installation;
    if (!RandomBytes(installation.data(), installation.size())) return Tell(kSystemRefused);
    chosen.installation = installation;
  }
  if (chosen.pcName.empty()) chosen.pcName = ComputerName();
  applied_(chosen, key);
  Close();
}

// Sharing stops here; what this PC wrote stays for the others unless the
// person deletes it, and nothing of the others' is touched.
void SharingWindow::TurnOff() {
  SyncSettings chosen = settings_;
  chosen.on = false;
  applied_(chosen, std::nullopt);
  if (settings_.on && settings_.installation &&
      MessageBoxW(hwnd(), kDeleteOwnJournal, kNoticeTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
    if (!DeleteOwnJournal(settings_.folder, *settings_.installation)) Tell(kOwnJournalStays);
  }
  Close();
}

void SharingWindow::Close() {
  keyWork_.reset();  // its key, if it came, is not wanted any more
  if (!exists()) return;
  // The passphrase typed does not outlive the window.
  SetWindowTextW(passphrase_, L"");
  SetWindowTextW(confirmation_, L"");
  DestroyOwnedWindow();
}

bool SharingWindow::TranslateKey(MSG& message) {
  if (!exists() || (message.hwnd != hwnd() && !IsChild(hwnd(), message.hwnd))) return false;
  return IsDialogMessageW(hwnd(), &message) != FALSE;
}

LRESULT SharingWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kBrowseId:
          Browse();
          break;
        case IDOK:
          Apply();
          break;
        case IDCANCEL:
          Close();
          break;
      }
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case kKeyWorkDone:
      OnKeyWorkDone();
      return 0;
    case WM_SETCURSOR:
      if (keyWork_) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
  }
  return FormWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace rtrillex
