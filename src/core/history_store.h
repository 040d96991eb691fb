// Where the kept history lives between runs, as the rest of the program sees
// it: entries added, removed, trimmed to a bound and loaded, without SQL or
// any system type. One thread uses a store at a time: the kept history's
// writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rtrillex {

// Local time, in seconds since 1970-01-01 00:00:00 of the local calendar
// (counted as if it were UTC): what the person's clock showed at the copy.
using LocalSeconds = std::int64_t;

// One entry as it is kept: the text after the time stamp and TAB of its line.
struct KeptEntry {
  std::uint64_t key = 0;  // the store's own, unique in the file, greater for a later entry
  LocalSeconds copiedAt = 0;
  std::wstring text;
};

// One change, applied with others in one transaction.
struct StoreChange {
  enum class Kind { Add, Remove, Clear, Trim };
  Kind kind = Kind::Add;
  std::uint64_t key = 0;      // Add, Remove
  LocalSeconds copiedAt = 0;  // Add
  std::wstring text;          // Add
  std::size_t keep = 0;       // Trim: the newest `keep` entries stay

  static StoreChange Add(std::uint64_t key, LocalSeconds copiedAt, std::wstring text) {
    return {Kind::Add, key, copiedAt, std::move(text), 0};
  }
  static StoreChange Remove(std::uint64_t key) { return {Kind::Remove, key, 0, {}, 0}; }
  static StoreChange Clear() { return {Kind::Clear, 0, 0, {}, 0}; }
  static StoreChange Trim(std::size_t keep) { return {Kind::Trim, 0, 0, {}, keep}; }
};

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  enum class OpenResult {
    Ready,     // opened, or made new where there was none
    SetAside,  // the file could not be read: it was renamed aside (setAsideAs) and a new one made
    Failed,    // neither: a folder that cannot be written, a full disk, a file locked by another program
  };
  struct Opened {
    OpenResult result = OpenResult::Failed;
    std::uint64_t nextKey = 1;  // greater than every key in the file
    std::wstring setAsideAs;    // the unreadable file's new name
  };
  virtual Opened Open() = 0;

  struct Loaded {
    std::vector<KeptEntry> entries;  // oldest first
    std::size_t skipped = 0;         // entries that could not be read (did not decrypt)
  };
  // The newest `count` entries at most; only once Open said Ready or SetAside.
  virtual Loaded LoadNewest(std::size_t count) = 0;

  // All of `changes` in one transaction, or none of them (false: the store
  // stays usable and the same changes can be tried again). What Remove,
  // Clear and Trim take away does not linger in the file.
  virtual bool Apply(const std::vector<StoreChange>& changes) = 0;

  // Closes the store and deletes its files; false when they are still there.
  virtual bool DeleteFiles() = 0;
};

}  // namespace rtrillex
