// The main window's side of sharing copies with the person's other PCs:
// set up in the sharing window, this PC's copies handed to the synced
// folder's worker as they are made, removed there when the person removes
// them, and what the other PCs share kept for the menu of recent copies;
// the fixed phrases kept the same on every PC; lines of this PC's removed
// on another PC removed here too.
#include <algorithm>
#include <chrono>
#include <map>
#include <set>
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
constexpr wchar_t kKeyReplaced[] =
    L"共有フォルダーの鍵が新しくなっています。この PC のコピーは届きません。「ほかの PC と共有...」で合言葉をもう一度入力してください。";
constexpr wchar_t kCannotWriteJournal[] = L"共有フォルダーに書き込めません。後でもう一度試みます。";
constexpr wchar_t kRecordDropped[] = L"大きすぎるため、ほかの PC と共有できないコピーがありました。この PC にだけ残ります。";
constexpr wchar_t kFolderNotAllowed[] =
    L"共有フォルダーが rTrillex のフォルダーの中にあるため、共有しません(履歴のファイルが同期されてしまいます)。";
// The worker's key could not be read at log-on: tried again this often.
constexpr UINT kKeyRetryMilliseconds = 10000;

std::uint64_t UnixMsNow() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

// What this PC shows of a shared copy, from `now` on: its text, or its
// picture by the tag a picture's line has, with the size its PNG gives.
ArrivedCopy ArrivedFrom(const SharedEntry& entry, LocalSeconds now) {
  ArrivedCopy copy;
  copy.id = entry.id;
  copy.pcName = FromUtf8(entry.pcName);
  copy.copiedAt = LocalSecondsOf(entry.recordedMs);
  copy.placedAt = ArrivedPlace(LocalSecondsOf(entry.place.orderingMs), now);
  if (entry.kind == RecordKind::Picture) {
    copy.text = std::wstring(kImageTag);
    copy.attachment = KeptAttachment(EntryKind::Picture, copy.text, entry.png);
  } else {
    copy.text = FromUtf8(entry.text);
  }
  return copy;
}

// A fixed phrase as the other PCs get it; none for what stays on this PC: a
// file list (its paths are this PC's) and a picture too large to share.
std::optional<SharedPhrase> SharedFrom(const Phrase& phrase, std::uint64_t largestPicture) {
  if (phrase.separator) return SharedPhrase{PhraseKind::Separator, {}, {}, nullptr};
  switch (phrase.kind()) {
    case EntryKind::Text:
      return SharedPhrase{PhraseKind::Text, ToUtf8(phrase.label), ToUtf8(phrase.text), nullptr};
    case EntryKind::Picture: {
      const PictureBytes& png = phrase.attachment->picture.png;
      if (!png || png->size() > largestPicture) return std::nullopt;
      return SharedPhrase{PhraseKind::Picture, ToUtf8(phrase.label), ToUtf8(phrase.text), png};
    }
    case EntryKind::Files:
      break;
  }
  return std::nullopt;
}

std::optional<Phrase> PhraseFrom(const SharedPhrase& shared) {
  KeptPhrase kept;
  kept.label = FromUtf8(shared.label);
  kept.text = FromUtf8(shared.text);
  switch (shared.kind) {
    case PhraseKind::Separator:
      kept.separator = true;
      break;
    case PhraseKind::Text:
      break;
    case PhraseKind::Picture:
      if (!shared.png) return std::nullopt;
      kept.kind = EntryKind::Picture;
      kept.picture = shared.png;
      break;
    case PhraseKind::Files:  // another PC's paths
      return std::nullopt;
  }
  return PhraseFrom(kept);
}

}  // namespace

void Form1::StartSharingIfAsked() {
  syncSettings_ = LoadSyncSettings(settingsFile_);
  if (!syncSettings_.on || !syncSettings_.installation || syncSettings_.protectedKey.empty()) return;
  // A folder written into Setting.ini by hand is held to what the sharing
  // window allows: History.db and the settings never go to a synced folder.
  if (!IsFolderAllowed(syncSettings_.folder, ProgramDirectory())) {
    trayIcon_->ShowBalloon(kNoticeTitle, kFolderNotAllowed);
    return;
  }
  const UnprotectedFolderKey kept = UnprotectFolderKey(syncSettings_.protectedKey);
  switch (kept.result) {
    case FolderKeyUnprotect::Opened:
      StartSharing(kept.key);
      break;
    case FolderKeyUnprotect::WrongKey:
      // Kept by another user or on another machine: a copy of this
      // installation's settings. Joined again in the sharing window, it
      // starts a journal of its own.
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
  sharedPhrases_ = {};
  syncKeeper_.emplace(
      SyncSetup{syncSettings_.folder, *syncSettings_.installation, ToUtf8(syncSettings_.pcName), key, keptBound_},
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
  sharedPhrases_ = {};
  if (settings.on && key) StartSharing(*key);
}

// This PC's copy, as its line was made: a text at once, a picture once it
// has been read (ShareReadPicture). A file list stays here: its paths mean
// nothing on another PC.
void Form1::ShareLine(HistoryId id, std::wstring_view line) {
  const AttachmentPtr attachment = historyList_.history().AttachmentOf(id);
  // Marked by its program, or put back from a line that was: kept with the
  // mark, so that it stays on this PC after a restart too.
  if (!clipboard_.LastCopyMayBeShared() || (!attachment && MarkedThisPcOnly(EntryIn(line)))) {
    thisPcOnly_.insert(id);
    return;
  }
  if (!syncKeeper_) return;
  // Another PC's copy put back here is on every PC already.
  if (arrivedPutBack_ && EntryIn(line) == *arrivedPutBack_) {
    arrivedPutBack_.reset();
    return;
  }
  if (attachment) {
    if (attachment->kind == EntryKind::Picture) picturesToShare_.emplace(id, UnixMsNow());
    return;
  }
  sharedIds_[id] = syncKeeper_->ShareText(ToUtf8(EntryIn(line)), UnixMsNow());
}

// A text its program marked as not to leave this PC stays so when it is put
// back from the history, which records it as a copy of rTrillex's own.
bool Form1::MarkedThisPcOnly(std::wstring_view entry) {
  const History& history = historyList_.history();
  for (auto it = thisPcOnly_.begin(); it != thisPcOnly_.end();) {
    const std::wstring* line = history.Find(*it);
    if (!line) {
      it = thisPcOnly_.erase(it);  // deleted: no longer to be put back
      continue;
    }
    if (!history.AttachmentOf(*it) && EntryIn(*line) == entry) return true;
    ++it;
  }
  return false;
}

void Form1::ShareReadPicture(HistoryId id, const PictureBytes& png) {
  const auto waiting = picturesToShare_.find(id);
  if (!syncKeeper_ || waiting == picturesToShare_.end()) return;
  const std::uint64_t copiedMs = waiting->second;  // shown as copied then, however long the reading took
  picturesToShare_.erase(waiting);
  if (!png || png->size() > syncSettings_.pictureBytes) return;  // too large to share: stays on this PC
  sharedIds_[id] = syncKeeper_->SharePicture(png, copiedMs);
}

// The person removed it here: it goes on every PC. Called while the line
// is still in the list: a line of an earlier run, or of before sharing was
// last started, is known to the worker only by what it holds and its time.
void Form1::UnshareLine(HistoryId id) {
  if (picturesToShare_.erase(id) != 0) return;  // removed before its picture was read: never shared
  const auto shared = sharedIds_.find(id);
  if (shared != sharedIds_.end()) {
    if (syncKeeper_) syncKeeper_->Remove(shared->second);
    sharedIds_.erase(shared);
    return;
  }
  if (!syncKeeper_) return;
  const History& history = historyList_.history();
  const std::wstring* line = history.Find(id);
  if (!line) return;
  OwnCopy copy;
  copy.copiedAt = history.CopiedAtOf(id);
  if (const AttachmentPtr attachment = history.AttachmentOf(id)) {
    if (attachment->kind != EntryKind::Picture || !attachment->picture.png) return;  // a file list is never shared
    copy.kind = RecordKind::Picture;
    copy.png = attachment->picture.png;
  } else {
    copy.text = ToUtf8(EntryIn(*line));
  }
  syncKeeper_->RemoveOwnCopy(std::move(copy));
}

void Form1::UnshareAll() {
  sharedIds_.clear();
  keptArrivals_.clear();  // History.db cleared them with the rest
  picturesToShare_.clear();
  ForgetArrived();
  if (syncKeeper_) syncKeeper_->ClearAll();
}

void Form1::OnSyncReports() {
  if (!syncKeeper_) return;
  for (SyncKeeper::Report& report : syncKeeper_->TakeReports()) {
    switch (report.kind) {
      case SyncKeeper::Report::Kind::Shared:
        OnSharedReport(report);
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
      case SyncKeeper::Report::Kind::KeyReplaced:
        TellSharing(told_.keyReplaced, kKeyReplaced);
        break;
      case SyncKeeper::Report::Kind::CannotWrite:
        TellSharing(told_.cannotWrite, kCannotWriteJournal);
        break;
      case SyncKeeper::Report::Kind::WritingAgain:
        // A later failure is news again; this one is over.
        told_.cannotWrite = false;
        if (syncProblem_ == kCannotWriteJournal) syncProblem_.clear();
        sharingWindow_.ShowProblem(syncProblem_);
        break;
      case SyncKeeper::Report::Kind::RecordDropped: {
        bool toldEach = false;  // each is one copy lost to the other PCs
        TellSharing(toldEach, kRecordDropped);
        break;
      }
    }
  }
}

// The search lists them by their place in the list: it looks again.
void Form1::ForgetArrived() {
  sharedNow_.clear();
  arrived_.clear();
  searchWindow_.OnHistoryChanged();
}

// What the folder shares now and what History.db keeps, newest first. Each
// copy is converted once, however often the list is told again: a shared
// text may be megabytes.
void Form1::ShowArrived() {
  std::vector<const SharedEntry*> entries;
  if (syncKeeper_) {
    std::set<EntryId> inFolder;
    for (const SharedEntry& entry : sharedNow_) {
      entries.push_back(&entry);
      inFolder.insert(entry.id);
    }
    for (const auto& [id, entry] : keptArrivals_) {
      if (inFolder.count(id) == 0) entries.push_back(&entry);
    }
  }
  std::sort(entries.begin(), entries.end(), [](const SharedEntry* a, const SharedEntry* b) { return b->place < a->place; });
  std::map<Id16, ArrivedCopy> known;
  for (ArrivedCopy& copy : arrived_) known.emplace(copy.id, std::move(copy));
  std::vector<ArrivedCopy> arrived;
  arrived.reserve(entries.size());
  const LocalSeconds now = LocalSecondsOf(UnixMsNow());
  for (const SharedEntry* entry : entries) {
    const auto found = known.find(entry->id);
    arrived.push_back(found != known.end() ? std::move(found->second) : ArrivedFrom(*entry, now));
  }
  // A copy shown before its ordering time goes lower than the order of
  // places gave it.
  SortByPlace(arrived);
  arrived_ = std::move(arrived);
  searchWindow_.OnHistoryChanged();  // an open search lists them at once
}

// Kept in History.db with this PC's copies, when it keeps them. Trimmed
// there by their place, as the menu lists them: the newest copies of a PC
// whose clock is behind are not the first to go.
void Form1::KeepArrivals(const std::vector<SharedEntry>& entries) {
  if (!keeper_) return;
  const LocalSeconds now = LocalSecondsOf(UnixMsNow());
  for (const SharedEntry& entry : entries) {
    if (keptArrivals_.count(entry.id) != 0) continue;
    keptArrivals_.emplace(entry.id, entry);
    keeper_->KeepArrival({entry.id, ArrivedPlace(LocalSecondsOf(entry.place.orderingMs), now), EncodeKeptEntry(entry)});
  }
}

void Form1::ForgetArrivals(const std::vector<EntryId>& removed, std::optional<std::uint64_t> clearedThroughMs) {
  std::vector<EntryId> gone = removed;
  for (const auto& [id, entry] : keptArrivals_) {
    if (clearedThroughMs && entry.place.orderingMs <= *clearedThroughMs) gone.push_back(id);
  }
  for (const EntryId& id : gone) {
    if (keptArrivals_.erase(id) != 0 && keeper_) keeper_->ForgetArrival({id, 0, {}});
  }
}

// Read from History.db: shown with what the folder shares.
void Form1::OnArrivalsKept(const std::vector<KeptArrival>& kept) {
  for (const KeptArrival& arrival : kept) {
    if (std::optional<SharedEntry> entry = DecodeKeptEntry(arrival.data)) keptArrivals_.emplace(entry->id, std::move(*entry));
  }
  ShowArrived();
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

void Form1::OnSharedReport(SyncKeeper::Report& report) {
  ForgetArrivals(report.removedIds, report.clearedThroughMs);
  KeepArrivals(report.entries);
  sharedNow_ = std::move(report.entries);
  ShowArrived();
  RemoveLinesRemovedElsewhere(report.removedHere);
  if (report.firstRead || report.phrases) OnSharedPhrases(std::move(report.phrases), report.firstRead);
}

// Another PC removed copies of this PC's, or cleared them all: their lines
// go here too. A line of this run is known by its id; one kept from an
// earlier run by what it holds and its time.
void Form1::RemoveLinesRemovedElsewhere(const std::vector<SharedEntry>& removed) {
  if (removed.empty()) return;
  std::vector<HistoryId> lines;
  std::vector<std::pair<const SharedEntry*, std::wstring>> earlier;  // with a text's as it is shown
  for (const SharedEntry& entry : removed) {
    const auto shared = std::find_if(sharedIds_.begin(), sharedIds_.end(),
                                     [&](const auto& line) { return line.second == entry.id; });
    if (shared != sharedIds_.end()) {
      lines.push_back(shared->first);
      sharedIds_.erase(shared);
    } else {
      earlier.emplace_back(&entry, entry.kind == RecordKind::Text ? FromUtf8(entry.text) : std::wstring());
    }
  }
  const History& history = historyList_.history();
  for (std::size_t i = 0; i < history.size() && !earlier.empty(); ++i) {
    if (sharedIds_.count(history.IdAt(i)) != 0) continue;
    const auto same = std::find_if(earlier.begin(), earlier.end(), [&](const auto& entry) {
      return LineHolds(i, *entry.first, entry.second);
    });
    if (same == earlier.end()) continue;
    lines.push_back(history.IdAt(i));
    earlier.erase(same);
  }
  for (const HistoryId line : lines) DropLine(line);
}

// Whether the history's line at `position` is this PC's copy `entry`.
bool Form1::LineHolds(std::size_t position, const SharedEntry& entry, const std::wstring& text) const {
  const History& history = historyList_.history();
  if (!CopiedAtAbout(history.CopiedAtAt(position), LocalSecondsOf(entry.recordedMs))) return false;
  const AttachmentPtr& attachment = history.AttachmentAt(position);
  if (entry.kind == RecordKind::Text) return !attachment && EntryIn(history.LineAt(position)) == text;
  return attachment && attachment->kind == EntryKind::Picture && attachment->picture.png && entry.png &&
         *attachment->picture.png == *entry.png;
}

// Delete in the history list, the menu of recent copies or the search.
void Form1::RemoveLine(HistoryId id) {
  UnshareLine(id);
  DropLine(id);
}

// Gone here; on the other PCs already, or never there.
void Form1::DropLine(HistoryId id) {
  if (historyList_.Remove(id)) ForgetLine(id);
  searchWindow_.OnHistoryChanged();
}

// Another PC's copy: gone on every PC.
void Form1::RemoveArrived(const Id16& id) {
  const auto found =
      std::find_if(arrived_.begin(), arrived_.end(), [&](const ArrivedCopy& copy) { return copy.id == id; });
  if (found == arrived_.end()) return;
  arrived_.erase(found);
  sharedNow_.erase(std::remove_if(sharedNow_.begin(), sharedNow_.end(), [&](const SharedEntry& now) { return now.id == id; }),
                   sharedNow_.end());
  ForgetArrivals({id}, std::nullopt);
  if (syncKeeper_) syncKeeper_->Remove(id);
  searchWindow_.OnHistoryChanged();
}

// The set in force in the folder: at the first read, whoever shared it (or
// none yet), and whenever another PC's set wins since. Taken only once
// Phrases.db was read, or what it holds would be lost beside them.
void Form1::OnSharedPhrases(std::optional<std::vector<SharedPhrase>> phrases, bool firstRead) {
  if (!phrasesLoaded_) {
    sharedPhrases_.firstReadWaiting |= firstRead;
    if (phrases) sharedPhrases_.waiting = std::move(phrases);
    return;
  }
  sharedPhrases_.folderRead = true;
  if (phrases)
    TakeSharedPhrases(*phrases);
  else if (firstRead && !phrases_.empty())
    SharePhrases();
}

void Form1::TakeSharedPhrases(const std::vector<SharedPhrase>& arrived) {
  std::vector<Phrase> taken;
  for (const SharedPhrase& shared : arrived) {
    std::optional<Phrase> phrase = PhraseFrom(shared);
    if (!phrase) continue;
    if (phrase->kind() == EntryKind::Picture)
      phrase->attachment = PictureAttachment(pictureShelf_.Share(phrase->attachment->picture));
    taken.push_back(std::move(*phrase));
  }
  bool keptHere = false;
  std::vector<PhraseChange> changes = phrases_.TakeShared(taken, sharedPhrases_.known, keptHere);
  if (phraseKeeper_) phraseKeeper_->Apply(std::move(changes));
  OnPhrasesChanged();
  sharedPhrases_.known = std::move(taken);
  if (keptHere) SharePhrases();
}

// The phrases as they now stand, to every PC.
void Form1::SharePhrases() {
  if (!syncKeeper_ || !phrasesLoaded_ || !sharedPhrases_.folderRead) return;
  std::vector<SharedPhrase> shared;
  std::vector<Phrase> known;
  for (const Phrase& phrase : phrases_.phrases()) {
    if (std::optional<SharedPhrase> one = SharedFrom(phrase, syncSettings_.pictureBytes)) {
      shared.push_back(std::move(*one));
      known.push_back(phrase);
    }
  }
  syncKeeper_->SharePhrases(std::move(shared));
  sharedPhrases_.known = std::move(known);
}

// A problem in a balloon once, and in the sharing window while it stands.
void Form1::TellSharing(bool& told, const std::wstring& text) {
  syncProblem_ = text;
  sharingWindow_.ShowProblem(text);
  if (std::exchange(told, true)) return;
  trayIcon_->ShowBalloon(kNoticeTitle, text);
}

}  // namespace rtrillex
