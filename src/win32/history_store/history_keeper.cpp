#include "history_keeper.h"

#include "exclusive_lock.h"

#include "kept_history.h"
#include "sqlite_history_file.h"
#include "utf8_text.h"
#include "windows_entry_cipher.h"

namespace rtrillex {
namespace {

// A burst of copies is written in one transaction: each waits this long at
// most, well within the second a copy may take to reach the disk.
constexpr DWORD kGatherMilliseconds = 100;
// A file that could not be opened or written is tried again this often.
constexpr DWORD kRetryMilliseconds = 5000;

}  // namespace

struct HistoryKeeper::Shared {
  std::string path;  // UTF-8
  std::size_t bound;
  std::uint64_t pictureBytes;
  HWND window;
  UINT reportMessage;
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
  // Guarded by `lock`:
  std::vector<std::function<void(KeptHistory&)>> requests;
  std::vector<Report> reports;
  enum class Ending { No, Write, Delete } ending = Ending::No;
  bool deleted = false;

  void Tell(Report report) {
    {
      ExclusiveLock held(lock);
      reports.push_back(std::move(report));
    }
    PostMessageW(window, reportMessage, 0, 0);
  }
};

HistoryKeeper::HistoryKeeper(const std::wstring& path, std::size_t bound, std::uint64_t pictureBytes, HWND window,
                             UINT reportMessage)
    : shared_(std::make_shared<Shared>()) {
  shared_->path = ToUtf8(path);
  shared_->bound = bound;
  shared_->pictureBytes = pictureBytes;
  shared_->window = window;
  shared_->reportMessage = reportMessage;
  thread_ = CreateThread(nullptr, 0, Run, shared_.get(), 0, nullptr);
}

HistoryKeeper::~HistoryKeeper() {
  if (!thread_) return;
  {
    ExclusiveLock held(shared_->lock);
    if (shared_->ending == Shared::Ending::No) shared_->ending = Shared::Ending::Write;
  }
  WakeConditionVariable(&shared_->wake);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

void HistoryKeeper::Ask(std::function<void(KeptHistory&)> request) {
  {
    ExclusiveLock held(shared_->lock);
    shared_->requests.push_back(std::move(request));
  }
  WakeConditionVariable(&shared_->wake);
}

void HistoryKeeper::Add(HistoryId id, LocalSeconds copiedAt, std::wstring entry, EntryKind kind, bool thisPcOnly) {
  Ask([id, copiedAt, entry = std::move(entry), kind, thisPcOnly](KeptHistory& kept) mutable {
    kept.Add(id, copiedAt, std::move(entry), kind, thisPcOnly);
  });
}

void HistoryKeeper::KeepPicture(HistoryId id, PictureBytes picture) {
  Ask([id, picture = std::move(picture)](KeptHistory& kept) mutable { kept.KeepPicture(id, std::move(picture)); });
}

void HistoryKeeper::Remove(HistoryId id) {
  Ask([id](KeptHistory& kept) { kept.Remove(id); });
}

void HistoryKeeper::Clear() {
  Ask([](KeptHistory& kept) { kept.Clear(); });
}

void HistoryKeeper::KeepArrival(KeptArrival arrival) {
  Ask([arrival = std::move(arrival)](KeptHistory& kept) mutable { kept.KeepArrival(std::move(arrival)); });
}

void HistoryKeeper::ForgetArrival(const KeptArrival& arrival) {
  Ask([id = arrival.id](KeptHistory& kept) { kept.ForgetArrival({id, 0, {}}); });
}

void HistoryKeeper::Link(std::vector<HistoryId> ids, std::vector<std::uint64_t> keys) {
  Ask([ids = std::move(ids), keys = std::move(keys)](KeptHistory& kept) { kept.Link(ids, keys); });
}

bool HistoryKeeper::StopAndDelete() {
  if (!thread_) return false;
  {
    ExclusiveLock held(shared_->lock);
    shared_->ending = Shared::Ending::Delete;
  }
  WakeConditionVariable(&shared_->wake);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
  ExclusiveLock held(shared_->lock);
  return shared_->deleted;
}

std::vector<HistoryKeeper::Report> HistoryKeeper::TakeReports() {
  std::vector<Report> reports;
  ExclusiveLock held(shared_->lock);
  reports.swap(shared_->reports);
  return reports;
}

// The writer's side: opens the store, then writes what is asked for until
// it is told to end.
class HistoryKeeper::Writer {
 public:
  explicit Writer(Shared& shared) : shared_(shared), file_(shared.path, cipher_), kept_(file_, shared.bound) {
    file_.LimitPictureBytes(shared.pictureBytes);
  }

  void Run() {
    Open();
    for (;;) {
      const Shared::Ending ending = WaitForWork();
      if (ending == Shared::Ending::Delete) {
        Delete();
        return;
      }
      // A burst of copies is gathered into one transaction.
      if (ending == Shared::Ending::No) Sleep(kGatherMilliseconds);
      if (WriteWhatWaits() == Shared::Ending::Write) return;
    }
  }

 private:
  void Open() {
    KeptHistory::Started started = kept_.Open();
    if (started.result == HistoryStore::OpenResult::Failed) {
      TellCannotWrite();
      return;
    }
    if (started.result == HistoryStore::OpenResult::SetAside) {
      Report report;
      report.kind = Report::Kind::SetAside;
      report.setAsideAs = std::move(started.setAsideAs);
      report.carried = started.carried;
      report.unreadable = started.unreadable;
      shared_.Tell(std::move(report));
    }
    Report loaded;
    loaded.kind = Report::Kind::Loaded;
    loaded.loaded = std::move(started.loaded);
    loaded.arrivals = std::move(started.arrivals);
    shared_.Tell(std::move(loaded));
  }

  // Until something is asked for, the keeper ends, or it is time to try a
  // failed write again.
  Shared::Ending WaitForWork() {
    ExclusiveLock held(shared_.lock);
    if (shared_.requests.empty() && shared_.ending == Shared::Ending::No)
      SleepConditionVariableSRW(&shared_.wake, &shared_.lock, failing_ ? kRetryMilliseconds : INFINITE, 0);
    return shared_.ending;
  }

  Shared::Ending WriteWhatWaits() {
    std::vector<std::function<void(KeptHistory&)>> requests;
    Shared::Ending ending;
    {
      ExclusiveLock held(shared_.lock);
      requests.swap(shared_.requests);
      ending = shared_.ending;
    }
    for (auto& request : requests) request(kept_);
    if (!kept_.IsOpen()) Open();
    failing_ = !kept_.Flush();
    TellNotKept();
    if (failing_) TellCannotWrite();
    return ending;
  }

  void TellNotKept() {
    std::vector<HistoryId> ids = kept_.TakeNotKept();
    if (ids.empty()) return;
    Report report;
    report.kind = Report::Kind::NotKept;
    report.notKept = std::move(ids);
    shared_.Tell(std::move(report));
  }

  void Delete() {
    const bool deleted = file_.DeleteFiles();
    ExclusiveLock held(shared_.lock);
    shared_.deleted = deleted;
  }

  void TellCannotWrite() {
    failing_ = true;
    if (toldCannotWrite_) return;  // a clear word once, not at every retry
    toldCannotWrite_ = true;
    Report report;
    report.kind = Report::Kind::CannotWrite;
    shared_.Tell(std::move(report));
  }

  Shared& shared_;
  WindowsEntryCipher cipher_;
  SqliteHistoryFile file_;
  KeptHistory kept_;
  bool failing_ = false;
  bool toldCannotWrite_ = false;
};

DWORD WINAPI HistoryKeeper::Run(void* shared) {
  Writer(*static_cast<Shared*>(shared)).Run();
  return 0;
}

}  // namespace rtrillex
