#include "history_keeper.h"

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

class Lock {
 public:
  explicit Lock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Lock() { ReleaseSRWLockExclusive(&lock_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

struct HistoryKeeper::Shared {
  std::string path;  // UTF-8
  std::size_t bound;
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
      Lock held(lock);
      reports.push_back(std::move(report));
    }
    PostMessageW(window, reportMessage, 0, 0);
  }
};

HistoryKeeper::HistoryKeeper(const std::wstring& path, std::size_t bound, HWND window, UINT reportMessage)
    : shared_(std::make_shared<Shared>()) {
  shared_->path = ToUtf8(path);
  shared_->bound = bound;
  shared_->window = window;
  shared_->reportMessage = reportMessage;
  thread_ = CreateThread(nullptr, 0, Run, shared_.get(), 0, nullptr);
}

HistoryKeeper::~HistoryKeeper() {
  if (!thread_) return;
  {
    Lock held(shared_->lock);
    if (shared_->ending == Shared::Ending::No) shared_->ending = Shared::Ending::Write;
  }
  WakeConditionVariable(&shared_->wake);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

void HistoryKeeper::Ask(std::function<void(KeptHistory&)> request) {
  {
    Lock held(shared_->lock);
    shared_->requests.push_back(std::move(request));
  }
  WakeConditionVariable(&shared_->wake);
}

void HistoryKeeper::Add(HistoryId id, LocalSeconds copiedAt, std::wstring entry) {
  Ask([id, copiedAt, entry = std::move(entry)](KeptHistory& kept) mutable { kept.Add(id, copiedAt, std::move(entry)); });
}

void HistoryKeeper::Remove(HistoryId id) {
  Ask([id](KeptHistory& kept) { kept.Remove(id); });
}

void HistoryKeeper::Clear() {
  Ask([](KeptHistory& kept) { kept.Clear(); });
}

void HistoryKeeper::Link(std::vector<HistoryId> ids, std::vector<std::uint64_t> keys) {
  Ask([ids = std::move(ids), keys = std::move(keys)](KeptHistory& kept) { kept.Link(ids, keys); });
}

bool HistoryKeeper::StopAndDelete() {
  if (!thread_) return false;
  {
    Lock held(shared_->lock);
    shared_->ending = Shared::Ending::Delete;
  }
  WakeConditionVariable(&shared_->wake);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
  Lock held(shared_->lock);
  return shared_->deleted;
}

std::vector<HistoryKeeper::Report> HistoryKeeper::TakeReports() {
  std::vector<Report> reports;
  Lock held(shared_->lock);
  reports.swap(shared_->reports);
  return reports;
}

namespace {

// The writer's side: opens the store, then writes what is asked for.
class Writer {
 public:
  Writer(const std::string& path, std::size_t bound) : file_(path, cipher_), kept_(file_, bound) {}

  // False when the store could not be opened; what it loaded goes to `tell`.
  template <typename Tell>
  bool Open(Tell&& tell) {
    KeptHistory::Started started = kept_.Open();
    using Kind = HistoryKeeper::Report::Kind;
    if (started.result == HistoryStore::OpenResult::Failed) return false;
    if (started.result == HistoryStore::OpenResult::SetAside) {
      HistoryKeeper::Report report;
      report.kind = Kind::SetAside;
      report.setAsideAs = std::move(started.setAsideAs);
      tell(std::move(report));
    }
    HistoryKeeper::Report loaded;
    loaded.kind = Kind::Loaded;
    loaded.loaded = std::move(started.loaded);
    tell(std::move(loaded));
    return true;
  }
  KeptHistory& kept() { return kept_; }
  bool Delete() { return file_.DeleteFiles(); }

 private:
  WindowsEntryCipher cipher_;
  SqliteHistoryFile file_;
  KeptHistory kept_;
};

}  // namespace

DWORD WINAPI HistoryKeeper::Run(void* parameter) {
  Shared& shared = *static_cast<Shared*>(parameter);
  Writer writer(shared.path, shared.bound);
  const auto tell = [&](Report report) { shared.Tell(std::move(report)); };
  bool toldCannotWrite = false;
  const auto cannotWrite = [&] {
    if (toldCannotWrite) return;  // a clear word once, not at every retry
    toldCannotWrite = true;
    Report report;
    report.kind = Report::Kind::CannotWrite;
    tell(std::move(report));
  };
  bool open = writer.Open(tell);
  if (!open) cannotWrite();
  bool failing = !open;
  for (;;) {
    std::vector<std::function<void(KeptHistory&)>> requests;
    Shared::Ending ending;
    {
      Lock held(shared.lock);
      if (shared.requests.empty() && shared.ending == Shared::Ending::No)
        SleepConditionVariableSRW(&shared.wake, &shared.lock, failing ? kRetryMilliseconds : INFINITE, 0);
      ending = shared.ending;
    }
    if (ending == Shared::Ending::Delete) {
      const bool deleted = writer.Delete();
      Lock held(shared.lock);
      shared.deleted = deleted;
      return 0;
    }
    if (ending == Shared::Ending::No) Sleep(kGatherMilliseconds);
    {
      Lock held(shared.lock);
      requests.swap(shared.requests);
      ending = shared.ending;
    }
    for (auto& request : requests) request(writer.kept());
    if (!open) open = writer.Open(tell);
    failing = !writer.kept().Flush();
    if (failing) cannotWrite();
    if (ending == Shared::Ending::Write) return 0;
  }
}

}  // namespace rtrillex
