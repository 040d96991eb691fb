// The main window's side of sharing copies with the person's other PCs:
// set up in the sharing window, this PC's copies handed to the synced
// folder's worker as they are made, removed there when the person removes
// them, and what the other PCs share kept for the menu of recent copies.
#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <utility>

#include "app/main_window.h"
#include "clipboard_change.h"
#include "journal_files.h"
#include "local_time.h"
#include "utf8_text.h"

namespace rtrillex {
namespace {

constexpr wchar_t kNoticeTitle[] = L"rTrillex";
constexpr wchar_t kKeyLost[] =
    L"ほかの PC との共有の鍵を開けません。「ほかの PC と共有...」で合言葉をもう一度入力してください。";
constexpr wchar_t kFolderMissing[] = L"共有フォルダーが見つかりません。見つかるまで待ちます。";
constexpr wchar_t kFolderBack[] = L"共有フォルダーが見つかりました。共有を続けます。";
constexpr wchar_t kJournalDamaged[] = L"ほかの PC の共有ファイルの一部を読めません: ";
constexpr wchar_t kJournalNewer[] = L"ほかの PC の共有ファイルは新しい版の rTrillex で書かれているため、読みません: ";
constexpr wchar_t kJournalOtherKey[] = L"共有フォルダーに、別の合言葉で書かれたファイルがあります。読みません。";
constexpr wchar_t kCannotWriteJournal[] = L"共有フォルダーに書き込めません。後でもう一度試みます。";
// The worker's key could not be read at log-on: tried again this often.
constexpr UINT kKeyRetryMilliseconds = 10000;

std::uint64_t UnixMsNow() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

// Another PC's clock reading, as this PC's local time.
LocalSeconds LocalSecondsOf(std::uint64_t unixMs) {
  const std::optional<SYSTEMTIME> time = LocalTimeOf(unixMs);
  if (!time) return 0;
  return ToLocalSeconds({time->wYear, time->wMonth, time->wDay}, {time->wHour, time->wMinute, time->wSecond});
}

// What this PC shows of a shared copy: its text, or its picture by the tag a
// picture's line has, with the size its PNG gives.
ArrivedCopy ArrivedFrom(const SharedEntry& entry) {
  ArrivedCopy copy;
  copy.id = entry.id;
  copy.pcName = FromUtf8(entry.pcName);
  copy.copiedAt = LocalSecondsOf(entry.recordedMs);
  if (entry.kind == RecordKind::Picture) {
    copy.text = std::wstring(kImageTag);
    copy.attachment = KeptAttachment(EntryKind::Picture, copy.text, entry.png);
  } else {
    copy.text = FromUtf8(entry.text);
  }
  return copy;
}

}  // namespace

void Form1::StartSharingIfAsked() {
  syncSettings_ = LoadSyncSettings(settingsFile_);
  if (!syncSettings_.on || !syncSettings_.installation || syncSettings_.protectedKey.empty()) return;
  const UnprotectedFolderKey kept = UnprotectFolderKey(syncSettings_.protectedKey);
  switch (kept.result) {
    case FolderKeyUnprotect::Opened:
      StartSharing(kept.key);
      break;
    case FolderKeyUnprotect::WrongKey:
      trayIcon_->ShowBalloon(kNoticeTitle, kKeyLost);
      break;
    case FolderKeyUnprotect::NotNow:
      // At log-on the user's keys may not be ready yet.
      SetTimer(hwnd(), kSyncKeyRetryTimer, kKeyRetryMilliseconds, nullptr);
      break;
  }
}

void Form1::OnSyncKeyRetryTimer() {
  KillTimer(hwnd(), kSyncKeyRetryTimer);
  if (!syncKeeper_) StartSharingIfAsked();
}

void Form1::StartSharing(const FolderKey& key) {
  syncKeeper_.reset();
  ForgetArrived();
  sharedIds_.clear();
  picturesToShare_.clear();
  syncPcs_.clear();
  syncProblem_.clear();
  told_ = {};
  syncKeeper_.emplace(SyncSetup{syncSettings_.folder, *syncSettings_.installation, ToUtf8(syncSettings_.pcName), key},
                      hwnd(), kSyncKeeperMessage);
}

void Form1::mnuSharing_Click() {
  sharingWindow_.Show(syncSettings_);
  sharingWindow_.ShowPcs(syncPcs_);
  sharingWindow_.ShowProblem(syncProblem_);
}

// Chosen in the sharing window: kept in Setting.ini, and the worker started
// anew with them, or stopped.
void Form1::OnSharingApplied(const SyncSettings& settings, const std::optional<FolderKey>& key) {
  syncSettings_ = settings;
  SaveSyncSettings(settingsFile_, settings);
  syncKeeper_.reset();
  ForgetArrived();
  sharedIds_.clear();
  if (settings.on && key) StartSharing(*key);
}

// This PC's copy, as its line was made: a text at once, a picture once it
// has been read (ShareReadPicture). A file list stays here: its paths mean
// nothing on another PC.
void Form1::ShareLine(HistoryId id, std::wstring_view line) {
  if (!syncKeeper_ || !clipboard_.LastCopyMayBeShared()) return;
  // Another PC's copy put back here is on every PC already.
  if (arrivedPutBack_ && EntryIn(line) == *arrivedPutBack_) {
    arrivedPutBack_.reset();
    return;
  }
  const AttachmentPtr attachment = historyList_.history().AttachmentOf(id);
  if (attachment) {
    if (attachment->kind == EntryKind::Picture) picturesToShare_.insert(id);
    return;
  }
  sharedIds_[id] = syncKeeper_->ShareText(ToUtf8(EntryIn(line)), UnixMsNow());
}

void Form1::ShareReadPicture(HistoryId id, const PictureBytes& png) {
  if (!syncKeeper_ || picturesToShare_.erase(id) == 0 || !png) return;
  if (png->size() > syncSettings_.pictureBytes) return;  // too large to share: stays on this PC
  sharedIds_[id] = syncKeeper_->SharePicture(png, UnixMsNow());
}

// The person removed it here: it goes on every PC.
void Form1::UnshareLine(HistoryId id) {
  const auto shared = sharedIds_.find(id);
  if (shared == sharedIds_.end()) return;
  if (syncKeeper_) syncKeeper_->Remove(shared->second);
  sharedIds_.erase(shared);
}

void Form1::UnshareAll() {
  sharedIds_.clear();
  picturesToShare_.clear();
  ForgetArrived();
  if (syncKeeper_) syncKeeper_->ClearAll();
}

void Form1::OnSyncReports() {
  if (!syncKeeper_) return;
  for (SyncKeeper::Report& report : syncKeeper_->TakeReports()) {
    switch (report.kind) {
      case SyncKeeper::Report::Kind::Shared:
        OnCopiesArrived(report.entries);
        break;
      case SyncKeeper::Report::Kind::Pcs:
        syncPcs_ = std::move(report.pcs);
        sharingWindow_.ShowPcs(syncPcs_);
        break;
      case SyncKeeper::Report::Kind::FolderMissing:
        TellSharing(told_.folderMissing, kFolderMissing);
        break;
      case SyncKeeper::Report::Kind::FolderBack:
        if (std::exchange(told_.folderMissing, false)) TellSharing(told_.folderBack, kFolderBack);
        told_.folderBack = false;
        syncProblem_.clear();
        sharingWindow_.ShowProblem(syncProblem_);
        break;
      case SyncKeeper::Report::Kind::Damaged:
        TellSharing(told_.damaged, kJournalDamaged + report.detail);
        break;
      case SyncKeeper::Report::Kind::Newer:
        TellSharing(told_.newer, kJournalNewer + report.detail);
        break;
      case SyncKeeper::Report::Kind::OtherKey:
        TellSharing(told_.otherKey, kJournalOtherKey);
        break;
      case SyncKeeper::Report::Kind::CannotWrite:
        TellSharing(told_.cannotWrite, kCannotWriteJournal);
        break;
    }
  }
}

// The search lists them by their place in the list: it looks again.
void Form1::ForgetArrived() {
  arrived_.clear();
  searchWindow_.OnHistoryChanged();
}

// Each copy is converted once, however often the list is told again: a
// shared text may be megabytes.
void Form1::OnCopiesArrived(const std::vector<SharedEntry>& entries) {
  std::map<Id16, ArrivedCopy> known;
  for (ArrivedCopy& copy : arrived_) known.emplace(copy.id, std::move(copy));
  std::vector<ArrivedCopy> arrived;
  arrived.reserve(entries.size());
  for (const SharedEntry& entry : entries) {
    const auto found = known.find(entry.id);
    arrived.push_back(found != known.end() ? std::move(found->second) : ArrivedFrom(entry));
  }
  arrived_ = std::move(arrived);
  searchWindow_.OnHistoryChanged();  // an open search lists them at once
}

// Chosen in the menu: put back and pasted as any entry, and recorded as a
// copy of this PC's, but not shared again.
void Form1::PutArrivedBackAndPaste(const Id16& id, const KeyboardOwner& previous) {
  const auto found =
      std::find_if(arrived_.begin(), arrived_.end(), [&](const ArrivedCopy& copy) { return copy.id == id; });
  if (found == arrived_.end()) return;  // removed on its PC while the menu was open
  if (!found->attachment) arrivedPutBack_ = found->text;
  watch_.PutEntryBack(found->text, found->attachment);
  if (recentCopies_.PastesChoice()) pasteBack_->Start(previous.window);
}

// A problem in a balloon once, and in the sharing window while it stands.
void Form1::TellSharing(bool& told, const std::wstring& text) {
  syncProblem_ = text;
  sharingWindow_.ShowProblem(text);
  if (std::exchange(told, true)) return;
  trayIcon_->ShowBalloon(kNoticeTitle, text);
}

}  // namespace rtrillex
