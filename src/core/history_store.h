// Where the kept history lives between runs, as the rest of the program sees
// it: entries added, removed, trimmed to a bound and loaded, without SQL or
// any system type. One thread uses a store at a time: the kept history's
// writer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "entry.h"

namespace rtrillex {

// Local time, in seconds since 1970-01-01 00:00:00 of the local calendar
// (counted as if it were UTC): what the person's clock showed at the copy.
using LocalSeconds = std::int64_t;

using PictureBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// One entry as it is kept: the text after the time stamp and TAB of its line
// (a file copy's paths, a picture's tag), what kind of copy it was, and a
// picture's PNG where it was kept.
struct KeptEntry {
  std::uint64_t key = 0;  // the store's own, unique in the file, greater for a later entry
  LocalSeconds copiedAt = 0;
  std::wstring text;
  EntryKind kind = EntryKind::Text;
  PictureBytes picture;  // an equal picture of another entry is the same bytes
  bool thisPcOnly = false;  // its program marked it as not to leave this PC: never shared
};

// A copy another PC shared, kept here so that it stays when its PC's journal
// goes: known by its id on every PC; `data` is the sharing code's own, and
// only sealed and kept here.
struct KeptArrival {
  std::array<std::uint8_t, 16> id{};
  LocalSeconds copiedAt = 0;
  std::string data;
};

// One change, applied with others in one transaction.
struct StoreChange {
  // Clear takes the arrivals too; Trim keeps the newest `keep` of each.
  enum class Kind { Add, Remove, Clear, Trim, KeepPicture, KeepArrival, ForgetArrival };
  Kind kind = Kind::Add;
  std::uint64_t key = 0;      // Add, Remove, KeepPicture
  LocalSeconds copiedAt = 0;  // Add
  std::wstring text;          // Add
  std::size_t keep = 0;       // Trim: the newest `keep` entries stay
  EntryKind entryKind = EntryKind::Text;  // Add
  PictureBytes picture;                   // KeepPicture: entry `key`'s, read after its line
  KeptArrival arrival;                    // KeepArrival; ForgetArrival by its id
  bool thisPcOnly = false;                // Add: see KeptEntry

  static StoreChange Add(std::uint64_t key, LocalSeconds copiedAt, std::wstring text,
                         EntryKind entryKind = EntryKind::Text, bool thisPcOnly = false) {
    return {Kind::Add, key, copiedAt, std::move(text), 0, entryKind, nullptr, {}, thisPcOnly};
  }
  static StoreChange Remove(std::uint64_t key) {
    return {Kind::Remove, key, 0, {}, 0, EntryKind::Text, nullptr, {}, false};
  }
  static StoreChange Clear() { return {Kind::Clear, 0, 0, {}, 0, EntryKind::Text, nullptr, {}, false}; }
  static StoreChange Trim(std::size_t keep) { return {Kind::Trim, 0, 0, {}, keep, EntryKind::Text, nullptr, {}, false}; }
  static StoreChange KeepPicture(std::uint64_t key, PictureBytes picture) {
    return {Kind::KeepPicture, key, 0, {}, 0, EntryKind::Picture, std::move(picture), {}, false};
  }
  static StoreChange Arrival(Kind kind, KeptArrival arrival) {
    return {kind, 0, 0, {}, 0, EntryKind::Text, nullptr, std::move(arrival), false};
  }
};

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  enum class OpenResult {
    Ready,     // opened, or made new where there was none
    SetAside,  // the file could not be read whole: it was renamed aside (setAsideAs) untouched and a new one made
    Failed,    // neither: a folder that cannot be written, a full disk, a file locked by another program,
               // a key that cannot be unprotected yet
  };
  struct Opened {
    OpenResult result = OpenResult::Failed;
    std::uint64_t nextKey = 1;        // greater than every key in the file
    std::vector<KeptEntry> entries;   // the newest ones asked for, oldest first
    std::vector<KeptArrival> arrivals;  // every one kept
    std::wstring setAsideAs;          // SetAside: the file's new name
    // SetAside of a damaged file of ours: the entries that were read whole
    // from it and carried into the new one, and those that could not be.
    std::size_t carried = 0;
    std::size_t unreadable = 0;
  };
  // Opens the store and reads the newest `newest` entries it keeps. A file
  // with any damage, including an entry that does not unseal, is set aside
  // with every entry it still gives whole carried into the new file.
  virtual Opened Open(std::size_t newest) = 0;

  struct Applied {
    enum class Result {
      Done,
      Refused,     // nothing written; the store stays usable and the same changes can be tried again
      CannotKeep,  // nothing written: change number `change` can never be (too large for the store)
    };
    Result result = Result::Refused;
    std::size_t change = 0;
    explicit operator bool() const { return result == Result::Done; }
  };
  // All of `changes` in one transaction, or none of them. What Remove,
  // Clear and Trim take away does not linger in the file.
  virtual Applied Apply(const std::vector<StoreChange>& changes) = 0;

  // Closes the store and deletes its files; false when they are still there.
  virtual bool DeleteFiles() = 0;
};

}  // namespace rtrillex
