#include "sync_compaction.h"

#include <algorithm>
#include <set>

namespace rtrillex {
namespace {

bool IsCopy(RecordKind kind) {
  return kind == RecordKind::Text || kind == RecordKind::Picture || kind == RecordKind::Files;
}

// The record of `kind` placed last: by ordering time, then by sequence.
std::optional<std::size_t> Latest(const std::vector<JournalRecord>& records, RecordKind kind) {
  std::optional<std::size_t> latest;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].record.kind != kind) continue;
    if (!latest || records[i].record.orderingMs >= records[*latest].record.orderingMs) latest = i;
  }
  return latest;
}

}  // namespace

std::optional<std::vector<std::size_t>> RecordsToKeep(const std::vector<JournalRecord>& records,
                                                      std::size_t copiesKept) {
  const bool fromALaterVersion = std::any_of(records.begin(), records.end(), [](const JournalRecord& record) {
    return record.record.kind == RecordKind::Unknown;
  });
  if (fromALaterVersion) return std::nullopt;

  const std::optional<std::size_t> clearAll = Latest(records, RecordKind::ClearAll);
  const std::optional<std::size_t> phrases = Latest(records, RecordKind::Phrases);
  const auto cleared = [&](const JournalRecord& record) {
    return clearAll && record.record.orderingMs <= records[*clearAll].record.orderingMs;
  };
  std::set<EntryId> removed;
  for (const JournalRecord& record : records) {
    if (record.record.kind == RecordKind::Removal) removed.insert(record.record.target);
  }

  std::vector<bool> keep(records.size(), false);
  std::size_t copies = 0;
  for (std::size_t i = records.size(); i-- > 0;) {  // newest copies first
    const SyncRecord& record = records[i].record;
    if (IsCopy(record.kind)) {
      keep[i] = !cleared(records[i]) && removed.count(record.id) == 0 && copies < copiesKept;
      if (keep[i]) ++copies;
    } else if (record.kind == RecordKind::Removal) {
      keep[i] = !cleared(records[i]);
    } else {
      keep[i] = i == clearAll || i == phrases;
    }
  }

  std::vector<std::size_t> kept;
  std::uint64_t allBytes = 0, droppedBytes = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    allBytes += records[i].bytes;
    if (keep[i]) kept.push_back(i);
    else droppedBytes += records[i].bytes;
  }
  if (droppedBytes < kLeastBytesWorthCompacting || droppedBytes * 2 < allBytes) return std::nullopt;
  return kept;
}

}  // namespace rtrillex
