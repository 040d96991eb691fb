#include "kept_history.h"

#include "number_text.h"

namespace rtrillex {

bool KeepsHistory(std::wstring_view setting) { return setting == L"1"; }

std::size_t KeptEntriesBound(std::wstring_view setting) {
  std::size_t bound = 0;
  if (setting.empty() || setting.size() > 9) return kDefaultKeptEntries;
  for (wchar_t c : setting) {
    if (c < L'0' || c > L'9') return kDefaultKeptEntries;
    bound = bound * 10 + static_cast<std::size_t>(c - L'0');
  }
  return bound > 0 ? bound : kDefaultKeptEntries;
}

KeptHistory::Started KeptHistory::Open() {
  Started started;
  const HistoryStore::Opened opened = store_.Open();
  started.result = opened.result;
  started.setAsideAs = opened.setAsideAs;
  if (opened.result == HistoryStore::OpenResult::Failed) return started;
  open_ = true;
  nextKey_ = opened.nextKey;
  HistoryStore::Loaded loaded = store_.LoadNewest(bound_);
  started.loaded = std::move(loaded.entries);
  started.skipped = loaded.skipped;
  return started;
}

// The store's key is given at the first try to write (KeyFor).
void KeptHistory::Add(HistoryId id, LocalSeconds copiedAt, std::wstring entry) {
  waiting_.push_back({StoreChange::Add(0, copiedAt, std::move(entry)), id});
}

void KeptHistory::Remove(HistoryId id) { waiting_.push_back({StoreChange::Remove(0), id}); }

void KeptHistory::Clear() {
  // Nothing asked for before a clear-all needs writing first.
  waiting_.clear();
  waiting_.push_back({StoreChange::Clear(), 0});
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
    case StoreChange::Kind::Clear:
      keys_.clear();
      return true;
    case StoreChange::Kind::Trim:
      return true;
  }
  return false;
}

bool KeptHistory::Flush() {
  if (!open_) return false;
  if (waiting_.empty()) return true;
  // Moved out and back rather than copied: an entry can be megabytes.
  std::vector<StoreChange> changes;
  std::vector<std::size_t> from;
  bool added = false;
  for (std::size_t i = 0; i < waiting_.size(); ++i) {
    if (!KeyFor(waiting_[i])) continue;
    added = added || waiting_[i].change.kind == StoreChange::Kind::Add;
    changes.push_back(std::move(waiting_[i].change));
    from.push_back(i);
  }
  if (added) changes.push_back(StoreChange::Trim(bound_));
  if (!store_.Apply(changes)) {
    for (std::size_t i = 0; i < from.size(); ++i) waiting_[from[i]].change = std::move(changes[i]);
    return false;
  }
  waiting_.clear();
  return true;
}

}  // namespace rtrillex
