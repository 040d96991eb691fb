// The kept history in one SQLite file, History.db, its texts sealed with a
// key of the file's own (see EntryCipher); the time stamps stay clear.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "entry_cipher.h"
#include "history_store.h"
#include "kept_pictures.h"
#include "sealed_database.h"

namespace rtrillex {

class SqliteHistoryFile final : public HistoryStore {
 public:
  // Marks a database as ours, whoever else uses SQLite.
  static constexpr std::int32_t kApplicationId = 0x72547278;  // "rTrx"
  // The layout this build writes; a file with a greater one is unreadable to
  // it. 2: the entries' kinds and their pictures (a file of 1 is brought up
  // to 2 when it opens).
  static constexpr int kSchemaVersion = 4;

  using Clock = SealedDatabase::Clock;

  // `path` is UTF-8; `cipher` outlives the store. `clock` dates the name of
  // a file set aside.
  SqliteHistoryFile(std::string path, EntryCipher& cipher, Clock clock = [] { return std::time(nullptr); });

  Opened Open(std::size_t newest) override;
  Applied Apply(const std::vector<StoreChange>& changes) override;
  bool DeleteFiles() override;

  // The most bytes one sealed entry may take; SQLite's own limit unless
  // lowered (a test cannot make a gigabyte text).
  void LimitEntryBytes(int bytes) { file_.LimitValueBytes(bytes); }
  // The most bytes the kept pictures take in all.
  void LimitPictureBytes(std::uint64_t bytes) { pictures_.LimitBytes(bytes); }

 private:
  // Entries read newest first; `whole` is false when anything on the way
  // could not be read: a damaged page, or an entry that did not unseal.
  struct Read {
    std::vector<KeptEntry> entries;  // newest first
    std::size_t unreadable = 0;
    bool whole = true;
  };

  OpenResult OpenOrMake(std::size_t newest, Opened& opened);
  Read ReadNewest(std::size_t newest);
  OpenResult StartOver(Read carried, Opened& opened);
  bool Carry(const std::vector<KeptEntry>& entries);
  bool Migrate();
  void ReadArrivals(std::vector<KeptArrival>& arrivals);
  Written KeepArrival(const KeptArrival& arrival, bool& emptyLog);
  KeptEntry EntryOf(const Statement& row, bool& whole);
  Written Insert(std::uint64_t key, LocalSeconds copiedAt, std::wstring_view text, EntryKind kind, bool thisPcOnly,
                 bool& emptyLog);
  Written ApplyOne(const StoreChange& change, bool& emptyLog);
  std::uint64_t NextKey();

  EntryCipher& cipher_;
  SealedDatabase file_;
  KeptPictures pictures_{cipher_, "entries", "key"};
};

}  // namespace rtrillex
