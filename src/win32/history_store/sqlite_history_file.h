// The kept history in one SQLite file, History.db, its texts sealed with a
// key of the file's own (see EntryCipher); the time stamps stay clear.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "entry_cipher.h"
#include "history_store.h"
#include "sqlite_handles.h"

namespace rtrillex {

class SqliteHistoryFile final : public HistoryStore {
 public:
  // Marks a database as ours, whoever else uses SQLite.
  static constexpr std::int32_t kApplicationId = 0x72547278;  // "rTrx"
  // The layout this build writes; a file with a greater one is unreadable to it.
  static constexpr int kSchemaVersion = 1;

  using Clock = std::function<std::time_t()>;

  // `path` is UTF-8; `cipher` outlives the store. `clock` dates the name of
  // a file set aside.
  SqliteHistoryFile(std::string path, EntryCipher& cipher, Clock clock = [] { return std::time(nullptr); });

  Opened Open() override;
  Loaded LoadNewest(std::size_t count) override;
  bool Apply(const std::vector<StoreChange>& changes) override;
  bool DeleteFiles() override;

 private:
  enum class Check { Ours, Blank, Unreadable, Failed };

  OpenResult OpenOrMake(std::wstring& setAsideAs);
  Check OpenExisting();
  Check CheckContents();
  bool CreateNew();
  bool Configure();
  bool Initialize();
  bool ApplyOne(const StoreChange& change, bool& emptyLog);
  void TruncateLog();
  std::uint64_t NextKey();

  std::string path_;
  EntryCipher& cipher_;
  Clock clock_;
  Connection db_;
  // A removal whose traces are still in the log, the last truncation having failed.
  bool truncationOwed_ = false;
};

}  // namespace rtrillex
