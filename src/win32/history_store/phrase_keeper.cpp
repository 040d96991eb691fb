#include "phrase_keeper.h"

#include <utility>

#include "exclusive_lock.h"
#include "sqlite_phrase_file.h"
#include "utf8_text.h"
#include "windows_entry_cipher.h"

namespace rtrillex {
namespace {

// A file that could not be opened or written is tried again this often.
constexpr DWORD kRetryMilliseconds = 5000;

}  // namespace

struct PhraseKeeper::Shared {
  std::string path;  // UTF-8
  HWND window;
  UINT reportMessage;
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
  // Guarded by `lock`:
  std::vector<std::vector<PhraseChange>> batches;
  std::vector<Report> reports;
  bool ending = false;

  void Tell(Report report) {
    {
      ExclusiveLock held(lock);
      reports.push_back(std::move(report));
    }
    PostMessageW(window, reportMessage, 0, 0);
  }
};

PhraseKeeper::PhraseKeeper(const std::wstring& path, HWND window, UINT reportMessage)
    : shared_(std::make_shared<Shared>()) {
  shared_->path = ToUtf8(path);
  shared_->window = window;
  shared_->reportMessage = reportMessage;
  thread_ = CreateThread(nullptr, 0, Run, shared_.get(), 0, nullptr);
}

PhraseKeeper::~PhraseKeeper() {
  if (!thread_) return;
  {
    ExclusiveLock held(shared_->lock);
    shared_->ending = true;
  }
  WakeConditionVariable(&shared_->wake);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

void PhraseKeeper::Apply(std::vector<PhraseChange> changes) {
  {
    ExclusiveLock held(shared_->lock);
    shared_->batches.push_back(std::move(changes));
  }
  WakeConditionVariable(&shared_->wake);
}

std::vector<PhraseKeeper::Report> PhraseKeeper::TakeReports() {
  ExclusiveLock held(shared_->lock);
  return std::exchange(shared_->reports, {});
}

// The writer's side: opens the file until it opens, then writes the batches
// in order; one that fails stays first in line for the next try.
class PhraseKeeper::Writer {
 public:
  explicit Writer(Shared& shared) : shared_(shared), file_(shared.path, cipher_) {}

  void Run() {
    for (;;) {
      if (state_ == State::Closed) Open();
      const bool ending = WaitForWork();
      if (state_ == State::Open) WriteWhatWaits();
      if (ending) return;
    }
  }

 private:
  enum class State { Closed, Open, Refused };
  using Report = PhraseKeeper::Report;

  void Open() {
    PhraseStore::Opened opened = file_.Open();
    switch (opened.result) {
      case PhraseStore::OpenResult::Failed:
        TellCannotWrite();
        return;
      case PhraseStore::OpenResult::Newer:
        // Left as it is: this version neither reads nor writes it.
        state_ = State::Refused;
        Tell({Report::Kind::Newer, {}, 1, {}, 0, 0});
        return;
      case PhraseStore::OpenResult::SetAside:
        Tell({Report::Kind::SetAside, {}, 1, std::move(opened.setAsideAs), opened.carried, opened.unreadable});
        break;
      case PhraseStore::OpenResult::Ready:
        break;
    }
    state_ = State::Open;
    Tell({Report::Kind::Loaded, std::move(opened.phrases), opened.nextId, {}, 0, 0});
  }

  // Until a batch waits, the keeper ends, or it is time to try again.
  bool WaitForWork() {
    ExclusiveLock held(shared_.lock);
    const bool retrying = state_ == State::Closed || failing_;
    if (shared_.batches.empty() && !shared_.ending)
      SleepConditionVariableSRW(&shared_.wake, &shared_.lock, retrying ? kRetryMilliseconds : INFINITE, 0);
    return shared_.ending;
  }

  void WriteWhatWaits() {
    for (;;) {
      std::vector<PhraseChange> batch;
      {
        ExclusiveLock held(shared_.lock);
        if (shared_.batches.empty()) break;
        batch = shared_.batches.front();
      }
      const PhraseStore::Applied applied = file_.Apply(batch);
      if (applied.result == PhraseStore::Applied::Result::Refused) {
        TellCannotWrite();
        return;
      }
      ExclusiveLock held(shared_.lock);
      std::vector<PhraseChange>& first = shared_.batches.front();
      // A change the file can never hold (beyond its size limit) goes alone; the rest is tried again.
      if (applied.result == PhraseStore::Applied::Result::CannotKeep && applied.change < first.size())
        first.erase(first.begin() + static_cast<std::ptrdiff_t>(applied.change));
      else
        shared_.batches.erase(shared_.batches.begin());
    }
    failing_ = false;
  }

  void TellCannotWrite() {
    failing_ = true;
    if (toldCannotWrite_) return;  // a clear word once, not at every retry
    toldCannotWrite_ = true;
    Tell({Report::Kind::CannotWrite, {}, 1, {}, 0, 0});
  }

  void Tell(Report report) { shared_.Tell(std::move(report)); }

  Shared& shared_;
  WindowsEntryCipher cipher_;  // Phrases.db's own key
  SqlitePhraseFile file_;
  State state_ = State::Closed;
  bool failing_ = false;
  bool toldCannotWrite_ = false;
};

DWORD WINAPI PhraseKeeper::Run(void* shared) {
  Writer(*static_cast<Shared*>(shared)).Run();
  return 0;
}

}  // namespace rtrillex
