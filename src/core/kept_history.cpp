#include "kept_history.h"

#include <cstddef>
#include <utility>

#include "number_text.h"

namespace rtrillex {

bool KeepsHistory(std::wstring_view setting) { return setting == L"1"; }

std::size_t KeptEntriesBound(std::wstring_view setting) {
  const std::uint64_t bound = DigitsValue(setting, 9).value_or(0);
  return bound > 0 ? static_cast<std::size_t>(bound) : kDefaultKeptEntries;
}

std::uint64_t KeptPictureBytes(std::wstring_view setting) {
  return DigitsValue(setting, 15).value_or(kDefaultKeptPictureBytes);
}

KeptHistory::Started KeptHistory::Open() {
  Started started;
  // A clear-all is always first in what waits.
  const bool clearWaits = !waiting_.empty() && waiting_.front().change.kind == StoreChange::Kind::Clear;
  HistoryStore::Opened opened = store_.Open(clearWaits ? 0 : bound_);
  started.result = opened.result;
  started.setAsideAs = std::move(opened.setAsideAs);
  if (opened.result == HistoryStore::OpenResult::Failed) return started;
  open_ = true;
  nextKey_ = opened.nextKey;
  started.loaded = std::move(opened.entries);
  if (!clearWaits) started.arrivals = std::move(opened.arrivals);
  started.carried = opened.carried;
  started.unreadable = opened.unreadable;
  trimOwed_ = !clearWaits && started.loaded.size() >= bound_;
  return started;
}

// The store's key is given at the first try to write (KeyFor).
void KeptHistory::Add(HistoryId id, LocalSeconds copiedAt, std::wstring entry, EntryKind kind, bool thisPcOnly) {
  waiting_.push_back({StoreChange::Add(0, copiedAt, std::move(entry), kind, thisPcOnly), id});
}

void KeptHistory::KeepPicture(HistoryId id, PictureBytes picture) {
  waiting_.push_back({StoreChange::KeepPicture(0, std::move(picture)), id});
}

void KeptHistory::Remove(HistoryId id) { waiting_.push_back({StoreChange::Remove(0), id}); }

void KeptHistory::Clear() {
  // Nothing asked for before a clear-all needs writing first, and no line
  // kept so far is kept after it. Forgotten now, not at each try to write:
  // a line added after the clear has its key by then.
  waiting_.clear();
  keys_.clear();
  waiting_.push_back({StoreChange::Clear(), 0});
}

void KeptHistory::KeepArrival(KeptArrival arrival) {
  waiting_.push_back({StoreChange::Arrival(StoreChange::Kind::KeepArrival, std::move(arrival)), 0});
}

void KeptHistory::ForgetArrival(const KeptArrival& arrival) {
  waiting_.push_back({StoreChange::Arrival(StoreChange::Kind::ForgetArrival, {arrival.id, 0, {}}), 0});
}

void KeptHistory::Link(const std::vector<HistoryId>& ids, const std::vector<std::uint64_t>& keys) {
  for (std::size_t i = 0; i < ids.size() && i < keys.size(); ++i) keys_[ids[i]] = keys[i];
}

// The store's key of a request, given on its first try; false for a line
// that is not kept (made before the history was kept, or trimmed).
bool KeptHistory::KeyFor(Request& request) {
  switch (request.change.kind) {
    case StoreChange::Kind::Add:
      if (!request.change.key) request.change.key = keys_[request.id] = nextKey_++;
      return true;
    case StoreChange::Kind::Remove: {
      if (request.change.key) return true;
      const auto kept = keys_.find(request.id);
      if (kept == keys_.end()) return false;
      request.change.key = kept->second;
      keys_.erase(kept);
      return true;
    }
    case StoreChange::Kind::KeepPicture: {
      if (request.change.key) return true;
      const auto kept = keys_.find(request.id);
      if (kept == keys_.end()) return false;  // its line is gone, or not kept
      request.change.key = kept->second;
      return true;
    }
    case StoreChange::Kind::Clear:
    case StoreChange::Kind::Trim:
    case StoreChange::Kind::KeepArrival:
    case StoreChange::Kind::ForgetArrival:
      return true;
  }
  return false;
}

bool KeptHistory::Flush() {
  if (!open_) return false;
  for (;;) {
    HistoryStore::Applied applied;
    if (TryToWrite(applied)) return true;
    if (applied.result != HistoryStore::Applied::Result::CannotKeep) return false;
  }
}

// One try; on CannotKeep the change that can never be written is dropped,
// so that the next try writes the rest.
bool KeptHistory::TryToWrite(HistoryStore::Applied& applied) {
  if (waiting_.empty() && !trimOwed_) return true;
  // Moved out and back rather than copied: an entry can be megabytes.
  std::vector<StoreChange> changes;
  std::vector<std::size_t> from;
  bool added = false;
  for (std::size_t i = 0; i < waiting_.size(); ++i) {
    if (!KeyFor(waiting_[i])) continue;
    added = added || waiting_[i].change.kind == StoreChange::Kind::Add ||
            waiting_[i].change.kind == StoreChange::Kind::KeepArrival;
    changes.push_back(std::move(waiting_[i].change));
    from.push_back(i);
  }
  if (added || trimOwed_) changes.push_back(StoreChange::Trim(bound_));
  applied = store_.Apply(changes);
  if (applied) {
    waiting_.clear();
    trimOwed_ = false;
    return true;
  }
  for (std::size_t i = 0; i < from.size(); ++i) waiting_[from[i]].change = std::move(changes[i]);
  if (applied.result == HistoryStore::Applied::Result::CannotKeep) {
    const StoreChange::Kind kind =
        applied.change < from.size() ? waiting_[from[applied.change]].change.kind : StoreChange::Kind::Clear;
    if (kind == StoreChange::Kind::Add) {
      DropNotKept(from[applied.change]);
    } else if (kind == StoreChange::Kind::KeepArrival) {
      // Shown this session still; its PC's journal holds it.
      waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(from[applied.change]));
    } else {
      applied.result = HistoryStore::Applied::Result::Refused;  // not one it can drop: tried again later
    }
  }
  return false;
}

void KeptHistory::DropNotKept(std::size_t request) {
  const HistoryId id = waiting_[request].id;
  keys_.erase(id);  // a later Delete of its line has nothing to remove
  notKept_.push_back(id);
  waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(request));
}

std::vector<HistoryId> KeptHistory::TakeNotKept() { return std::exchange(notKept_, {}); }

}  // namespace rtrillex
