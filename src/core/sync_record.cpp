#include "sync_record.h"

#include <utility>

namespace rtrillex {
namespace {

constexpr std::size_t kMostPhrases = 100000;

bool SameBytes(const std::shared_ptr<const Bytes>& a, const std::shared_ptr<const Bytes>& b) {
  const bool aEmpty = !a || a->empty();
  const bool bEmpty = !b || b->empty();
  if (aEmpty || bEmpty) return aEmpty == bEmpty;
  return *a == *b;
}

ByteSpan SpanOf(const std::shared_ptr<const Bytes>& bytes) { return bytes ? ByteSpan(*bytes) : ByteSpan(); }

bool ReadPng(ByteReader& reader, std::shared_ptr<const Bytes>& png) {
  Bytes bytes;
  if (!reader.Sized(kLargestSharedData, bytes)) return false;
  png = bytes.empty() ? nullptr : std::make_shared<const Bytes>(std::move(bytes));
  return true;
}

void WritePhrases(ByteWriter& writer, const std::vector<SharedPhrase>& phrases) {
  writer.U32(static_cast<std::uint32_t>(phrases.size()));
  for (const SharedPhrase& phrase : phrases) {
    writer.U8(static_cast<std::uint8_t>(phrase.kind));
    writer.Sized(phrase.label);
    writer.Sized(phrase.text);
    writer.Sized(SpanOf(phrase.png));
  }
}

bool KnownPhraseKind(std::uint8_t kind) {
  return kind >= static_cast<std::uint8_t>(PhraseKind::Text) && kind <= static_cast<std::uint8_t>(PhraseKind::Separator);
}

bool ReadPhrases(ByteReader& reader, std::vector<SharedPhrase>& phrases) {
  std::uint32_t count = 0;
  if (!reader.U32(count) || count > kMostPhrases) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    SharedPhrase phrase;
    std::uint8_t kind = 0;
    if (!reader.U8(kind) || !KnownPhraseKind(kind)) return false;
    phrase.kind = static_cast<PhraseKind>(kind);
    if (!reader.Sized(kLargestSharedData, phrase.label) || !reader.Sized(kLargestSharedData, phrase.text) ||
        !ReadPng(reader, phrase.png)) {
      return false;
    }
    phrases.push_back(std::move(phrase));
  }
  return true;
}

RecordKind KindFrom(std::uint8_t value) {
  if (value < static_cast<std::uint8_t>(RecordKind::Text) || value > static_cast<std::uint8_t>(RecordKind::Phrases)) {
    return RecordKind::Unknown;
  }
  return static_cast<RecordKind>(value);
}

bool ReadBody(ByteReader& reader, SyncRecord& record) {
  switch (record.kind) {
    case RecordKind::Text:
    case RecordKind::Files:
      return reader.Sized(kLargestSharedData, record.text);
    case RecordKind::Picture:
      return ReadPng(reader, record.png);
    case RecordKind::Removal:
      return reader.Id(record.target);
    case RecordKind::ClearAll:
      return true;
    case RecordKind::Phrases:
      return ReadPhrases(reader, record.phrases);
    case RecordKind::Unknown:
      break;
  }
  return true;
}

}  // namespace

bool SharedPhrase::operator==(const SharedPhrase& other) const {
  return kind == other.kind && label == other.label && text == other.text && SameBytes(png, other.png);
}

Bytes EncodeRecord(const SyncRecord& record) {
  ByteWriter writer;
  writer.U8(static_cast<std::uint8_t>(record.kind));
  writer.Id(record.id);
  writer.U64(record.recordedMs);
  writer.U64(record.orderingMs);
  switch (record.kind) {
    case RecordKind::Text:
    case RecordKind::Files:
      writer.Sized(record.text);
      break;
    case RecordKind::Picture:
      writer.Sized(SpanOf(record.png));
      break;
    case RecordKind::Removal:
      writer.Id(record.target);
      break;
    case RecordKind::Phrases:
      WritePhrases(writer, record.phrases);
      break;
    case RecordKind::ClearAll:
    case RecordKind::Unknown:
      break;
  }
  return writer.Take();
}

std::optional<SyncRecord> DecodeRecord(ByteSpan bytes) {
  ByteReader reader(bytes);
  SyncRecord record;
  std::uint8_t kind = 0;
  if (!reader.U8(kind) || !reader.Id(record.id) || !reader.U64(record.recordedMs) || !reader.U64(record.orderingMs)) {
    return std::nullopt;
  }
  record.kind = KindFrom(kind);
  if (!ReadBody(reader, record)) return std::nullopt;
  // A later version's kind may carry anything after the common fields.
  if (record.kind != RecordKind::Unknown && !reader.AtEnd()) return std::nullopt;
  return record;
}

}  // namespace rtrillex
