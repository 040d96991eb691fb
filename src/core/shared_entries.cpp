#include "shared_entries.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace rtrillex {

bool RecordPlace::operator<(const RecordPlace& other) const {
  return std::tie(orderingMs, installation, sequence) < std::tie(other.orderingMs, other.installation, other.sequence);
}

namespace {
constexpr std::uint8_t kKeptEntryVersion = 1;
}  // namespace

std::string EncodeKeptEntry(const SharedEntry& entry) {
  SyncRecord record;
  record.kind = entry.kind;
  record.id = entry.id;
  record.recordedMs = entry.recordedMs;
  record.orderingMs = entry.place.orderingMs;
  record.text = entry.text;
  record.png = entry.png;
  ByteWriter writer;
  writer.U8(kKeptEntryVersion);
  writer.Sized(entry.pcName);
  writer.Id(entry.place.installation);
  writer.U64(entry.place.sequence);
  writer.Sized(EncodeRecord(record));
  const Bytes& bytes = writer.bytes();
  return std::string(bytes.begin(), bytes.end());
}

std::optional<SharedEntry> DecodeKeptEntry(std::string_view bytes) {
  ByteReader reader(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  std::uint8_t version = 0;
  SharedEntry entry;
  Bytes encoded;
  if (!reader.U8(version) || version != kKeptEntryVersion || !reader.Sized(kLongestPcName, entry.pcName) ||
      !reader.Id(entry.place.installation) || !reader.U64(entry.place.sequence) ||
      !reader.Sized(bytes.size(), encoded) || !reader.AtEnd())
    return std::nullopt;
  std::optional<SyncRecord> record = DecodeRecord(encoded);
  if (!record || (record->kind != RecordKind::Text && record->kind != RecordKind::Picture)) return std::nullopt;
  entry.id = record->id;
  entry.kind = record->kind;
  entry.recordedMs = record->recordedMs;
  entry.place.orderingMs = record->orderingMs;
  entry.text = std::move(record->text);
  entry.png = std::move(record->png);
  return entry;
}

bool SharedEntries::Add(const JournalHeader& journal, const std::vector<JournalRecord>& records) {
  bool changed = false;
  for (const JournalRecord& record : records) changed = AddRecord(journal, record) || changed;
  return changed;
}

bool SharedEntries::AddRecord(const JournalHeader& journal, const JournalRecord& record) {
  const SyncRecord& data = record.record;
  const RecordPlace place{data.orderingMs, journal.installation, record.sequence};
  latest_ = std::max(latest_, data.orderingMs);
  switch (data.kind) {
    case RecordKind::Text:
    case RecordKind::Picture:
      return AddEntry(journal, place, data);
    case RecordKind::Removal:
      return Remove(data.target);
    case RecordKind::ClearAll:
      return ClearThrough(data.orderingMs);
    case RecordKind::Phrases:
      return SetPhrases(place, data.phrases);
    case RecordKind::Files:    // paths of another PC's disks
    case RecordKind::Unknown:  // a later version's
      break;
  }
  return false;
}

bool SharedEntries::AddEntry(const JournalHeader& journal, const RecordPlace& place, const SyncRecord& record) {
  SharedEntry entry{record.id, record.kind, journal.pcName, place, record.recordedMs, record.text, record.png};
  if (removed_.count(record.id) != 0 || (clearedThrough_ && place.orderingMs <= *clearedThrough_)) {
    Hide(std::move(entry));
    return false;
  }
  const auto known = entries_.find(record.id);
  // The same id twice at different places (a copied installation): the
  // earlier place wins, on every PC alike.
  if (known != entries_.end() && !(place < known->second.place)) return false;
  entries_[record.id] = std::move(entry);
  return true;
}

bool SharedEntries::Remove(const EntryId& target) {
  removed_.insert(target);
  const auto found = entries_.find(target);
  if (found == entries_.end()) return false;
  Hide(std::move(found->second));
  entries_.erase(found);
  return true;
}

void SharedEntries::Hide(SharedEntry entry) {
  if (!hiddenIds_.insert(entry.id).second) return;
  hidden_.push_back(std::move(entry));
}

std::vector<SharedEntry> SharedEntries::TakeHidden() { return std::exchange(hidden_, {}); }

bool SharedEntries::ClearThrough(std::uint64_t orderingMs) {
  if (clearedThrough_ && *clearedThrough_ >= orderingMs) return false;
  clearedThrough_ = orderingMs;
  const std::size_t before = entries_.size();
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.place.orderingMs > orderingMs) {
      ++it;
      continue;
    }
    Hide(std::move(it->second));
    it = entries_.erase(it);
  }
  return entries_.size() != before;
}

bool SharedEntries::SetPhrases(const RecordPlace& place, const std::vector<SharedPhrase>& phrases) {
  if (phrasesPlace_ && !(*phrasesPlace_ < place)) return false;
  phrasesPlace_ = place;
  phrases_ = phrases;
  return true;
}

std::vector<const SharedEntry*> SharedEntries::Visible() const {
  std::vector<const SharedEntry*> visible;
  visible.reserve(entries_.size());
  for (const auto& [id, entry] : entries_) visible.push_back(&entry);
  std::sort(visible.begin(), visible.end(),
            [](const SharedEntry* a, const SharedEntry* b) { return b->place < a->place; });
  return visible;
}

const std::vector<SharedPhrase>* SharedEntries::Phrases() const { return phrasesPlace_ ? &phrases_ : nullptr; }

}  // namespace rtrillex
