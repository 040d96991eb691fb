// The kept history as its writer sees it: the session's lines it is asked
// to keep or forget, known by their history ids, turned into changes of the
// store under the store's own keys, at most `bound` entries kept. Used on
// the writer's thread only; nothing here waits for the disk but Open and
// Flush.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "history.h"
#include "history_store.h"

namespace rtrillex {

namespace setting {
inline constexpr std::wstring_view kHistorySection = L"History";
inline constexpr std::wstring_view kKeepHistory = L"Keep";
inline constexpr std::wstring_view kKeptEntries = L"Entries";  // read only, never written
inline constexpr std::wstring_view kKeptPictureBytes = L"PictureBytes";  // read only, never written
}  // namespace setting

inline constexpr std::size_t kDefaultKeptEntries = 1000;
inline constexpr std::uint64_t kDefaultKeptPictureBytes = std::uint64_t{256} << 20;
// A picture larger than this as PNG is shown in the session but not kept.
inline constexpr std::size_t kLargestKeptPicture = std::size_t{64} << 20;

// On only for "1": a missing key, "0" or anything else is off.
bool KeepsHistory(std::wstring_view setting);
// A whole number above 0; anything else gives the default.
std::size_t KeptEntriesBound(std::wstring_view setting);
// A whole number of bytes (0 keeps no picture); anything else gives the default.
std::uint64_t KeptPictureBytes(std::wstring_view setting);

class KeptHistory {
 public:
  KeptHistory(HistoryStore& store, std::size_t bound) : store_(store), bound_(bound) {}

  struct Started {
    HistoryStore::OpenResult result = HistoryStore::OpenResult::Failed;
    std::wstring setAsideAs;
    std::vector<KeptEntry> loaded;  // oldest first; their keys go back through Link
    std::vector<KeptArrival> arrivals;
    std::size_t carried = 0;        // as the store's Opened
    std::size_t unreadable = 0;
  };
  // Opens the store and loads what it keeps, newest `bound` at most; tried
  // again by the next Flush while it fails. Nothing is loaded when a
  // clear-all waits: it would only come back on screen to be deleted.
  Started Open();
  bool IsOpen() const { return open_; }

  // The session's own lines, in the order the history changed.
  void Add(HistoryId id, LocalSeconds copiedAt, std::wstring entry, EntryKind kind = EntryKind::Text,
           bool thisPcOnly = false);
  // A picture line's picture, read after its line was added.
  void KeepPicture(HistoryId id, PictureBytes picture);
  void Remove(HistoryId id);
  void Clear();
  // Another PC's copy, kept or forgotten (removed there, or cleared).
  void KeepArrival(KeptArrival arrival);
  void ForgetArrival(const KeptArrival& arrival);
  // The history ids the loaded entries were given, in the same order.
  void Link(const std::vector<HistoryId>& ids, const std::vector<std::uint64_t>& keys);

  // Writes every waiting change in one go; false when the store is not open
  // or refused them: they stay waiting, in order, for the next try. A line
  // the store can never keep is dropped from what waits, so that it holds
  // up nothing else, and is told by TakeNotKept.
  bool Flush();
  bool HasWaiting() const { return !waiting_.empty() || trimOwed_; }
  std::vector<HistoryId> TakeNotKept();

 private:
  HistoryStore& store_;
  std::size_t bound_;
  bool open_ = false;
  std::uint64_t nextKey_ = 1;
  std::map<HistoryId, std::uint64_t> keys_;  // the lines kept, or waiting to be
  // Asked for before the store opened: keys are given once it has.
  struct Request {
    StoreChange change;
    HistoryId id = 0;
  };
  std::vector<Request> waiting_;
  // The store may hold more than the bound (lowered since the last run).
  bool trimOwed_ = false;
  std::vector<HistoryId> notKept_;
  bool KeyFor(Request& request);
  bool TryToWrite(HistoryStore::Applied& applied);
  void DropNotKept(std::size_t request);
};

}  // namespace rtrillex
