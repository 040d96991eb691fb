#include "sync_keeper.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <new>
#include <set>
#include <utility>

#include "aes_gcm_sealer.h"
#include "arrived_copies.h"
#include "exclusive_lock.h"
#include "handle.h"
#include "journal_files.h"

namespace rtrillex {
namespace {

// The folder is listed this often even without a change notice (a network
// share sends none), and a journal that would not open or take a record is
// tried again.
constexpr DWORD kRoundMilliseconds = 2000;
// At the end, how long records still waiting are tried for a folder that is
// gone before they are given up.
constexpr ULONGLONG kLastWritesMilliseconds = 5000;
constexpr DWORD kLastWritesRetryMilliseconds = 200;
// How long a record given by the window waits before it is written, with
// whatever else comes meanwhile: the copy's own reaction (its line, its
// tones) does not share the machine with the write and the reading of the
// folder that follows it, and a burst of copies goes out in one round.
constexpr DWORD kGatherMilliseconds = 100;

constexpr DWORD kNoticeFilter =
    FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE;

struct ChangeNoticeTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindCloseChangeNotification(h); }
};
using UniqueChangeNotice = UniqueHandle<ChangeNoticeTraits>;

std::uint64_t NowMs() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return UnixMs(now);
}

// Random, so that no two PCs ever make the same. Should the system's
// generator refuse, this installation's id with a time and a count still
// makes one nobody else makes.
EntryId NewEntryId(const InstallationId& installation) {
  EntryId id{};
  if (RandomBytes(id.data(), id.size())) return id;
  static std::atomic<std::uint32_t> made{0};
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  const std::uint64_t time = static_cast<std::uint64_t>(ticks.QuadPart);
  const std::uint32_t count = ++made;
  id = installation;
  for (int byte = 0; byte < 8; ++byte) id[byte] ^= static_cast<std::uint8_t>(time >> (8 * byte));
  for (int byte = 0; byte < 4; ++byte) id[8 + byte] ^= static_cast<std::uint8_t>(count >> (8 * byte));
  return id;
}

// This PC's word, in its journal, that the entry `target` is removed everywhere.
SyncRecord RemovalOf(const EntryId& target, const InstallationId& installation) {
  SyncRecord removal;
  removal.kind = RecordKind::Removal;
  removal.id = NewEntryId(installation);
  removal.recordedMs = NowMs();
  removal.target = target;
  return removal;
}

std::wstring Widened(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::wstring FileName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SamePlace(const std::optional<RecordPlace>& a, const std::optional<RecordPlace>& b) {
  if (!a || !b) return !a && !b;
  return !(*a < *b) && !(*b < *a);
}

bool SamePcs(const std::vector<SyncPc>& a, const std::vector<SyncPc>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const SyncPc& x, const SyncPc& y) {
    return x.name == y.name && x.installation == y.installation && x.changedMs == y.changedMs &&
           x.thisPc == y.thisPc;
  });
}

}  // namespace

struct SyncKeeper::Shared {
  SyncSetup setup;  // never changed once the thread runs
  HWND window = nullptr;
  UINT reportMessage = 0;
  // Auto-reset: set for each record queued and at the end, so that one wait
  // covers both it and the folder's change notice.
  UniqueKernelObject work{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  SRWLOCK lock = SRWLOCK_INIT;
  // Guarded by `lock`. Only the thread takes records off the front; a
  // deque's elements stay where they are as others are added at its back.
  std::deque<SyncRecord> outgoing;
  std::vector<OwnCopy> ownCopiesToRemove;
  std::vector<Report> reports;
  bool ending = false;
  // Sets of phrases queued by the window, and taken off the queue by the
  // thread: a set another PC shared, told before this PC's latest was
  // written and read back, may be older than it, and is not told.
  std::uint64_t phrasesQueued = 0;
  std::uint64_t phrasesDone = 0;

  void Tell(Report report) {
    {
      ExclusiveLock held(lock);
      reports.push_back(std::move(report));
    }
    if (window) PostMessageW(window, reportMessage, 0, 0);
  }

  EntryId Queue(SyncRecord record) {
    const EntryId id = record.id;
    {
      ExclusiveLock held(lock);
      outgoing.push_back(std::move(record));
    }
    SetEvent(work.get());
    return id;
  }
};

SyncKeeper::SyncKeeper(SyncSetup setup, HWND window, UINT reportMessage) : shared_(std::make_shared<Shared>()) {
  shared_->setup = std::move(setup);
  shared_->window = window;
  shared_->reportMessage = reportMessage;
  thread_ = CreateThread(nullptr, 0, Run, shared_.get(), 0, nullptr);
}

SyncKeeper::~SyncKeeper() {
  if (!thread_) return;
  {
    ExclusiveLock held(shared_->lock);
    shared_->ending = true;
  }
  SetEvent(shared_->work.get());
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

EntryId SyncKeeper::ShareText(std::string utf8, std::uint64_t recordedMs) {
  SyncRecord record;
  record.kind = RecordKind::Text;
  record.id = NewEntryId(shared_->setup.installation);
  record.recordedMs = recordedMs;
  record.text = std::move(utf8);
  return shared_->Queue(std::move(record));
}

EntryId SyncKeeper::SharePicture(std::shared_ptr<const Bytes> png, std::uint64_t recordedMs) {
  SyncRecord record;
  record.kind = RecordKind::Picture;
  record.id = NewEntryId(shared_->setup.installation);
  record.recordedMs = recordedMs;
  record.png = std::move(png);
  return shared_->Queue(std::move(record));
}

void SyncKeeper::Remove(const EntryId& id) { shared_->Queue(RemovalOf(id, shared_->setup.installation)); }

void SyncKeeper::RemoveOwnCopy(OwnCopy copy) {
  {
    ExclusiveLock held(shared_->lock);
    shared_->ownCopiesToRemove.push_back(std::move(copy));
  }
  SetEvent(shared_->work.get());
}

void SyncKeeper::ClearAll() {
  SyncRecord record;
  record.kind = RecordKind::ClearAll;
  record.id = NewEntryId(shared_->setup.installation);
  record.recordedMs = NowMs();
  shared_->Queue(std::move(record));
}

void SyncKeeper::SharePhrases(std::vector<SharedPhrase> phrases) {
  SyncRecord record;
  record.kind = RecordKind::Phrases;
  record.id = NewEntryId(shared_->setup.installation);
  record.recordedMs = NowMs();
  record.phrases = std::move(phrases);
  {
    ExclusiveLock held(shared_->lock);
    ++shared_->phrasesQueued;
  }
  shared_->Queue(std::move(record));
}

std::vector<SyncKeeper::Report> SyncKeeper::TakeReports() {
  ExclusiveLock held(shared_->lock);
  for (Report& report : shared_->reports) {
    if (report.phrasesAfter < shared_->phrasesQueued) report.phrases.reset();
  }
  return std::exchange(shared_->reports, {});
}

// The thread's side: this PC's journal written in order, then every journal
// in the folder (this PC's too, so that its removals and clear-alls count)
// read on from where the last read stopped and merged.
class SyncKeeper::Worker {
 public:
  explicit Worker(Shared& shared) : shared_(shared), setup_(shared.setup) {}

  void Run() {
    for (;;) {
      const bool ending = Ending();
      try {
        RemoveOwnCopiesAsked();
        WriteIfAble();
        if (ending) {
          WriteLastRecords();
          return;
        }
        ReadFolder();
      } catch (const std::bad_alloc&) {
        // No memory for this round's work (a large record, late in a day of
        // a 32-bit process): done again at the next, as a file not ready.
        if (ending) return;
      }
      WaitForWork();
    }
  }

 private:
  enum class JournalState { Closed, Open, Unusable };
  using Report = SyncKeeper::Report;

  // Where reading one journal file got to, and the listing it was read at.
  struct FileProgress {
    JournalReadState journal;
    std::uint64_t listedSize = 0;
    std::uint64_t listedChangedMs = 0;
    bool read = false;
  };

  bool Ending() {
    ExclusiveLock held(shared_.lock);
    return shared_.ending;
  }

  bool NothingWaits() {
    ExclusiveLock held(shared_.lock);
    return shared_.outgoing.empty();
  }

  void WaitForWork() {
    const HANDLE handles[2] = {shared_.work.get(), notice_.get()};
    const DWORD count = notice_ ? 2 : 1;
    const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, kRoundMilliseconds);
    if (woke == WAIT_OBJECT_0 + 1 && !FindNextChangeNotification(notice_.get())) notice_.reset();
    if (woke == WAIT_OBJECT_0 && !Ending()) Sleep(kGatherMilliseconds);
  }

  // --- Writing ---

  void WriteIfAble() {
    if (!FolderThere() || !SealerReady()) return;
    LetGoOfDeletedJournal();
    if (journalState_ == JournalState::Closed && (!journalDeleted_ || !NothingWaits())) OpenJournal();
    if (journalState_ == JournalState::Open) WriteWhatWaits();
    if (journalState_ == JournalState::Unusable) DropWhatWaits();
  }

  // This PC's journal is another folder's or a later version's, left as it
  // is for the whole run: what waits would never be written, and would only
  // pile up (texts of megabytes among them).
  void DropWhatWaits() {
    ExclusiveLock held(shared_.lock);
    for (const SyncRecord& record : shared_.outgoing) {
      if (record.kind == RecordKind::Phrases) ++shared_.phrasesDone;
    }
    shared_.outgoing.clear();
  }

  // A gone folder is said once, and its coming back once.
  bool FolderThere() {
    const bool present = SyncFolderPresent(setup_.folder);
    if (present == !missing_) return present;
    missing_ = !present;
    if (missing_) {
      CloseJournal();
      journalDeleted_ = false;  // opened again as soon as the folder is back
      notice_.reset();
      files_.clear();  // whatever comes back is read anew
      Tell(Report::Kind::FolderMissing, {});
    } else {
      Tell(Report::Kind::FolderBack, {});
    }
    return present;
  }

  bool SealerReady() {
    if (!sealer_ || !sealer_->ready()) sealer_ = std::make_unique<AesGcmSealer>(setup_.key);
    if (sealer_->ready()) return true;
    TellCannotWrite();
    return false;
  }

  void OpenJournal() {
    switch (journal_.Open(setup_.folder, setup_.installation, setup_.pcName, *sealer_)) {
      case OwnJournalOpen::Opened:
        if (!CompactOnce()) return;  // opened again at the next round
        journalState_ = JournalState::Open;
        journalDeleted_ = false;
        files_.erase(journal_.path());  // read back whole, as it now is
        return;
      case OwnJournalOpen::FolderMissing:
        return;  // said by FolderThere at the next round
      case OwnJournalOpen::Unusable:
        // Left as it is: the person starts anew or joins the folder again.
        journalState_ = JournalState::Unusable;
        Tell(ProblemKind(journal_.unusableStatus()), Widened(setup_.pcName));
        return;
      case OwnJournalOpen::Failed:
        TellCannotWrite();
        return;
    }
  }

  // Once a run, as the journal is first opened and before this run's
  // records go into it: rarely. False when the journal was left closed.
  bool CompactOnce() {
    if (std::exchange(compactionTried_, true)) return true;
    journal_.Compact(*sealer_, setup_.copiesKept);
    return journal_.isOpen();
  }

  // Deleted under the open handle (the person removing the synced folder),
  // the journal would take records nobody ever reads, and keep the deletion
  // from ending: let go of, and made anew only once there is something to write.
  void LetGoOfDeletedJournal() {
    if (journalState_ != JournalState::Open || !journal_.Deleted()) return;
    CloseJournal();
    journalDeleted_ = true;
  }

  void CloseJournal() {
    if (journalState_ == JournalState::Open) journalState_ = JournalState::Closed;
    journal_ = OwnJournal();
  }

  void WriteWhatWaits() {
    for (;;) {
      SyncRecord* record = nullptr;
      {
        ExclusiveLock held(shared_.lock);
        if (shared_.outgoing.empty()) break;
        record = &shared_.outgoing.front();
      }
      record->orderingMs =
          NextOrderingTime(std::max(journal_.lastOrderingMs(), merged_.LatestOrderingTime()), NowMs());
      switch (journal_.Append(*sealer_, *record)) {
        case JournalAppend::Appended:
        case JournalAppend::AppendedNotFlushed:
          if (std::exchange(writeFailing_, false)) Tell(Report::Kind::WritingAgain, {});
          break;
        case JournalAppend::Later:
          TellCannotWrite();
          return;
        case JournalAppend::FolderMissing:
          return;
        case JournalAppend::Refused:
          // Never to be written, however often tried: it would hold back
          // everything after it. Said for each, as each is one lost.
          Tell(Report::Kind::RecordDropped, {});
          break;
      }
      if (record->kind == RecordKind::Phrases) toldPhrasesPlace_.reset();  // another PC's set may still win
      ExclusiveLock held(shared_.lock);
      if (record->kind == RecordKind::Phrases) ++shared_.phrasesDone;
      shared_.outgoing.pop_front();
    }
  }

  // Known only by what they hold: looked for among this PC's records once
  // its journal was read with the rest of the folder, and queued as any
  // removal. Each takes one record, for a text copied twice in a second.
  void RemoveOwnCopiesAsked() {
    if (!toldOnce_) return;
    std::vector<OwnCopy> asked;
    {
      ExclusiveLock held(shared_.lock);
      asked = std::exchange(shared_.ownCopiesToRemove, {});
    }
    if (asked.empty()) return;
    std::set<EntryId> taken;
    const std::vector<const SharedEntry*> visible = merged_.Visible();
    for (const OwnCopy& copy : asked) {
      for (const SharedEntry* entry : visible) {
        if (entry->place.installation != setup_.installation || taken.count(entry->id) != 0 ||
            !SameCopy(*entry, copy))
          continue;
        taken.insert(entry->id);
        shared_.Queue(RemovalOf(entry->id, setup_.installation));
        break;
      }
    }
  }

  static bool SameCopy(const SharedEntry& entry, const OwnCopy& copy) {
    if (entry.kind != copy.kind || !CopiedAtAbout(copy.copiedAt, LocalSecondsOf(entry.recordedMs))) return false;
    if (copy.kind == RecordKind::Text) return entry.text == copy.text;
    return entry.png && copy.png && *entry.png == *copy.png;
  }

  // What the window gave before the end, tried for a while if the folder is
  // gone; an exit is not held up for long.
  void WriteLastRecords() {
    const ULONGLONG giveUpAt = GetTickCount64() + kLastWritesMilliseconds;
    while (!NothingWaits() && journalState_ != JournalState::Unusable && GetTickCount64() < giveUpAt) {
      Sleep(kLastWritesRetryMilliseconds);
      WriteIfAble();
    }
  }

  // --- Reading ---

  void ReadFolder() {
    if (missing_ || !sealer_ || !sealer_->ready()) return;
    SyncFolderListing listing = ListSyncFolder(setup_.folder, setup_.installation);
    if (listing.outcome != ListingOutcome::Listed) return;
    WatchFolder();
    CheckFolderKey();
    std::vector<ListedFile> files = std::move(listing.journals);
    // One this PC would not open was said so already, and is left alone.
    if (listing.ownJournal && journalState_ != JournalState::Unusable) files.push_back(*listing.ownJournal);
    ForgetFilesGone(files);
    for (const ListedFile& file : files) {
      if (!file.onDisk) continue;
      try {
        ReadJournalFile(file);
      } catch (const std::bad_alloc&) {
        // Read on from where it got to at the next round; the others now.
      }
    }
    TellShared();
    TellPcs(files);
  }

  void CheckFolderKey() {
    const std::optional<Id16> named = FolderKeyIdIn(setup_.folder);
    if (!named) return;
    const bool replaced = *named != setup_.key.keyId;
    if (replaced && !keyReplaced_) Tell(Report::Kind::KeyReplaced, {});
    keyReplaced_ = replaced;
  }

  void WatchFolder() {
    if (notice_) return;
    const std::wstring files = SyncFilesFolder(setup_.folder);
    notice_.reset(FindFirstChangeNotificationW(files.c_str(), FALSE, kNoticeFilter));
  }

  // Their records stay merged: a journal moved away is no removal.
  void ForgetFilesGone(const std::vector<ListedFile>& listed) {
    for (auto it = files_.begin(); it != files_.end();) {
      const bool there = std::any_of(listed.begin(), listed.end(),
                                     [&](const ListedFile& file) { return file.path == it->first; });
      it = there ? std::next(it) : files_.erase(it);
    }
  }

  void ReadJournalFile(const ListedFile& listed) {
    FileProgress& file = files_[listed.path];
    // Unchanged since the last read: nothing new, even at a tail still on its way.
    if (file.read && file.listedSize == listed.size && file.listedChangedMs == listed.changedMs) return;
    std::size_t most = std::min(setup_.firstReadBytes, kMostReadAtOnce);
    for (;;) {
      const std::uint64_t start = ReadStart(file.journal);
      FileRead bytes = ReadFrom(listed.path, start, most);
      if (bytes.outcome == FileReadOutcome::Later) return;  // listed as changed still: tried next round
      if (bytes.outcome == FileReadOutcome::Gone) {
        files_.erase(listed.path);
        return;
      }
      JournalRead read;
      read.status = JournalStatus::Replaced;
      if (bytes.outcome == FileReadOutcome::Read) read = ReadJournal(bytes.bytes, *sealer_, file.journal);
      if (read.status == JournalStatus::Replaced) {
        file.journal = JournalReadState();  // its records are known by id: none shows twice
        continue;
      }
      // Merged before the place is moved on: records a merge cut short by
      // a lack of memory are read again, and known ids show nothing twice.
      Merge(read.state.header, read.records);
      file.journal = std::move(read.state);
      if (read.reportNow) Tell(ProblemKind(read.status), PcNameOf(file.journal, listed.path));
      // A read that ends inside a record goes on from that record while the
      // file goes on, a larger one when the record did not fit.
      const bool readOn = read.status == JournalStatus::UpToDate || read.status == JournalStatus::Waiting;
      if (!bytes.more || !readOn) break;
      if (ReadStart(file.journal) == start) {
        if (most == kMostReadAtOnce) break;  // no record is larger: there is nothing more to read
        most = std::min(most * 2, kMostReadAtOnce);
      }
    }
    file.read = true;
    file.listedSize = listed.size;
    file.listedChangedMs = listed.changedMs;
  }

  void Merge(const JournalHeader& header, const std::vector<JournalRecord>& records) {
    if (records.empty()) return;
    if (merged_.Add(header, records)) sharedChanged_ = true;
    for (const JournalRecord& record : records) {
      if (record.record.kind == RecordKind::Removal) {
        removedIds_.push_back(record.record.target);
        if (header.installation == setup_.installation) removedByThisPc_.insert(record.record.target);
      } else if (record.record.kind == RecordKind::ClearAll) {
        clearedThroughMs_ = std::max(clearedThroughMs_.value_or(0), record.record.orderingMs);
      }
    }
    // Which PC shared the phrases in force, by the merge's own rule: the latest place wins.
    for (const JournalRecord& record : records) {
      if (record.record.kind != RecordKind::Phrases) continue;
      const RecordPlace place{record.record.orderingMs, header.installation, record.sequence};
      if (!phrasesPlace_ || *phrasesPlace_ < place) phrasesPlace_ = place;
    }
  }

  void TellShared() {
    std::vector<SharedEntry> removedHere = OwnCopiesHidden();
    const bool first = !toldOnce_;
    const bool removals = !removedIds_.empty() || clearedThroughMs_.has_value();
    if (!sharedChanged_ && removedHere.empty() && !removals && !first) return;
    std::vector<const SharedEntry*> others;
    for (const SharedEntry* entry : merged_.Visible()) {
      if (entry->place.installation != setup_.installation) others.push_back(entry);
    }
    std::vector<EntryId> ids;
    for (const SharedEntry* entry : others) ids.push_back(entry->id);
    const bool newPhrases = phrasesPlace_ && (first || (phrasesPlace_->installation != setup_.installation &&
                                                        !SamePlace(phrasesPlace_, toldPhrasesPlace_)));
    if (!first && ids == toldIds_ && !newPhrases && removedHere.empty() && !removals) {
      sharedChanged_ = false;
      return;
    }

    Report report;
    report.kind = Report::Kind::Shared;
    report.firstRead = first;
    for (const SharedEntry* entry : others) report.entries.push_back(*entry);
    if (newPhrases) report.phrases = *merged_.Phrases();
    report.removedHere = std::move(removedHere);
    report.removedIds = std::exchange(removedIds_, {});
    report.clearedThroughMs = std::exchange(clearedThroughMs_, std::nullopt);
    {
      ExclusiveLock held(shared_.lock);
      report.phrasesAfter = shared_.phrasesDone;
    }
    // Only now: a report that could not be made for a lack of memory is
    // made again at the next round.
    sharedChanged_ = false;
    toldOnce_ = true;
    toldIds_ = std::move(ids);
    toldPhrasesPlace_ = phrasesPlace_;
    shared_.Tell(std::move(report));
  }

  std::vector<SharedEntry> OwnCopiesHidden() {
    std::vector<SharedEntry> hidden = merged_.TakeHidden();
    // Removed here, its line went with it.
    hidden.erase(std::remove_if(hidden.begin(), hidden.end(),
                                [&](const SharedEntry& entry) {
                                  return entry.place.installation != setup_.installation ||
                                         removedByThisPc_.count(entry.id) != 0;
                                }),
                 hidden.end());
    return hidden;
  }

  void TellPcs(const std::vector<ListedFile>& listed) {
    std::map<InstallationId, SyncPc> pcs;
    SyncPc& own = pcs[setup_.installation];
    own = {setup_.pcName, setup_.installation, 0, true};
    for (const ListedFile& file : listed) {
      const auto read = files_.find(file.path);
      if (read == files_.end() || read->second.journal.headerBytes.empty()) continue;  // its header not here yet
      const JournalHeader& header = read->second.journal.header;
      SyncPc& pc = pcs[header.installation];
      pc.installation = header.installation;
      pc.thisPc = header.installation == setup_.installation;
      // A conflict copy's name is the journal's own, older perhaps.
      if (pc.name.empty() || file.file.kind != SyncFileKind::JournalConflictCopy) {
        if (!pc.thisPc) pc.name = header.pcName;
      }
      pc.changedMs = std::max(pc.changedMs, file.changedMs);
    }
    std::vector<SyncPc> seen;
    for (auto& [installation, pc] : pcs) seen.push_back(std::move(pc));
    if (SamePcs(seen, toldPcs_)) return;
    toldPcs_ = seen;
    Report report;
    report.kind = Report::Kind::Pcs;
    report.pcs = std::move(seen);
    shared_.Tell(std::move(report));
  }

  // --- Reports ---

  static Report::Kind ProblemKind(JournalStatus status) {
    switch (status) {
      case JournalStatus::NewerFormat: return Report::Kind::Newer;
      case JournalStatus::OtherKey: return Report::Kind::OtherKey;
      default: return Report::Kind::Damaged;
    }
  }

  // The PC's name once its header was read; its file's name before.
  static std::wstring PcNameOf(const JournalReadState& journal, const std::wstring& path) {
    return journal.headerBytes.empty() ? FileName(path) : Widened(journal.header.pcName);
  }

  // Once for a stretch of failures, not at every retry.
  void TellCannotWrite() {
    if (writeFailing_) return;
    writeFailing_ = true;
    Tell(Report::Kind::CannotWrite, {});
  }

  void Tell(Report::Kind kind, std::wstring detail) {
    Report report;
    report.kind = kind;
    report.detail = std::move(detail);
    shared_.Tell(std::move(report));
  }

  Shared& shared_;
  const SyncSetup& setup_;
  std::unique_ptr<AesGcmSealer> sealer_;
  OwnJournal journal_;
  JournalState journalState_ = JournalState::Closed;
  bool journalDeleted_ = false;
  bool compactionTried_ = false;
  bool missing_ = false;
  bool keyReplaced_ = false;
  bool writeFailing_ = false;
  UniqueChangeNotice notice_;
  std::map<std::wstring, FileProgress> files_;  // by path
  SharedEntries merged_;
  bool sharedChanged_ = false;
  std::set<EntryId> removedByThisPc_;
  // Read since the last report: for copies kept here whose journal is gone.
  std::vector<EntryId> removedIds_;
  std::optional<std::uint64_t> clearedThroughMs_;
  std::optional<RecordPlace> phrasesPlace_;
  // What the window was last told.
  bool toldOnce_ = false;
  std::vector<EntryId> toldIds_;
  std::optional<RecordPlace> toldPhrasesPlace_;
  std::vector<SyncPc> toldPcs_;
};

DWORD WINAPI SyncKeeper::Run(void* shared) {
  Worker(*static_cast<Shared*>(shared)).Run();
  return 0;
}

}  // namespace rtrillex
