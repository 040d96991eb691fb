#include "sync_journal.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace rtrillex {
namespace {

constexpr std::size_t kLengthBytes = 4;
// As long as a seal's tag: no other bytes a PC writes there match by chance.
constexpr std::size_t kTailBytes = 16;

void KeepTail(const std::uint8_t* end, std::size_t available, JournalReadState& state) {
  const std::size_t size = std::min(available, kTailBytes);
  state.tail.assign(end - size, end);
}

Bytes AssociatedData(const Bytes& header, std::uint64_t sequence) {
  ByteWriter writer;
  writer.Raw(header);
  writer.U64(sequence);
  return writer.Take();
}

bool StartsAsMagic(ByteSpan bytes) {
  const std::size_t count = std::min(bytes.size, kJournalMagic.size());
  return count == 0 || std::memcmp(bytes.data, kJournalMagic.data(), count) == 0;
}

// Reads the header at the journal's start into `state`; any status but
// UpToDate stops the read.
JournalStatus ReadHeader(ByteSpan bytes, const RecordSealer& sealer, JournalReadState& state) {
  if (!StartsAsMagic(bytes)) return JournalStatus::NotJournal;
  ByteReader reader(bytes);
  ByteSpan magic;
  JournalHeader header;
  if (!reader.Raw(kJournalMagic.size(), magic) || !reader.U16(header.format)) return JournalStatus::Waiting;
  if (header.format == 0) return JournalStatus::NotJournal;
  // A later format may lay out everything after its number differently.
  if (header.format > kJournalFormat) return JournalStatus::NewerFormat;
  if (!reader.U8(header.sealMethod) || !reader.Id(header.keyId) || !reader.Id(header.installation)) {
    return JournalStatus::Waiting;
  }
  std::uint32_t nameSize = 0;
  ByteSpan name;
  if (!reader.U32(nameSize)) return JournalStatus::Waiting;
  if (nameSize > kLongestPcName) return JournalStatus::Damaged;
  if (!reader.Raw(nameSize, name)) return JournalStatus::Waiting;
  if (header.sealMethod != kSealAes256Gcm) return JournalStatus::NewerFormat;
  if (header.keyId != sealer.keyId()) return JournalStatus::OtherKey;
  header.pcName.assign(reinterpret_cast<const char*>(name.data), name.size);
  const std::size_t headerSize = bytes.size - reader.left();
  state.headerBytes.assign(bytes.data, bytes.data + headerSize);
  state.header = std::move(header);
  state.offset = headerSize;
  KeepTail(bytes.data + headerSize, headerSize, state);
  return JournalStatus::UpToDate;
}

bool AllZero(const std::uint8_t* begin, const std::uint8_t* end) {
  return std::all_of(begin, end, [](std::uint8_t byte) { return byte == 0; });
}

// Some copiers (a copy to a network share among them) set a file's size
// first and fill it in order: what is not written yet reads as zeros. A
// record that does not open is taken for one on its way, not for damage,
// when it ends in zeros (a seal ends in its tag, which is all zeros once in
// four billion) and only zeros follow it.
bool NotWrittenYet(ByteSpan bytes, std::size_t recordEnd) {
  constexpr std::size_t kZeroEnd = 4;
  return recordEnd >= kZeroEnd && AllZero(bytes.data + recordEnd - kZeroEnd, bytes.data + bytes.size);
}

// Reads one record at the start of `bytes`; `used` is its size with its length.
JournalStatus ReadRecord(ByteSpan bytes, const RecordSealer& sealer, const JournalReadState& state,
                         std::vector<JournalRecord>& records, std::size_t& used) {
  ByteReader reader(bytes);
  std::uint32_t length = 0;
  if (!reader.U32(length)) return JournalStatus::Waiting;
  if (length == 0 && AllZero(bytes.data, bytes.data + bytes.size)) return JournalStatus::Waiting;
  if (length == 0 || length > kLargestSealedRecord) return JournalStatus::Damaged;
  ByteSpan sealed;
  if (!reader.Raw(length, sealed)) return JournalStatus::Waiting;
  const std::optional<Bytes> plain = sealer.Open(sealed, AssociatedData(state.headerBytes, state.nextSequence));
  if (!plain) return NotWrittenYet(bytes, kLengthBytes + length) ? JournalStatus::Waiting : JournalStatus::Damaged;
  std::optional<SyncRecord> record = DecodeRecord(*plain);
  if (!record) return JournalStatus::Damaged;
  used = kLengthBytes + length;
  records.push_back({state.nextSequence, std::move(*record), used});
  return JournalStatus::UpToDate;
}

JournalStatus ReadRecords(ByteSpan bytes, const RecordSealer& sealer, JournalReadState& state,
                          std::vector<JournalRecord>& records) {
  std::size_t at = 0;
  while (at < bytes.size) {
    std::size_t used = 0;
    const JournalStatus status = ReadRecord(ByteSpan(bytes.data + at, bytes.size - at), sealer, state, records, used);
    if (status != JournalStatus::UpToDate) return status;
    at += used;
    state.offset += used;
    ++state.nextSequence;
    KeepTail(bytes.data + at, used, state);
  }
  return JournalStatus::UpToDate;
}

// At most kLongestPcName bytes, never ending inside a character.
std::string_view ShortenedPcName(std::string_view name) {
  if (name.size() <= kLongestPcName) return name;
  std::size_t size = kLongestPcName;
  while (size > 0 && (static_cast<std::uint8_t>(name[size]) & 0xC0) == 0x80) --size;
  return name.substr(0, size);
}

}  // namespace

Bytes JournalHeaderBytes(const InstallationId& installation, std::string_view pcName, const RecordSealer& sealer) {
  ByteWriter writer;
  writer.Raw(kJournalMagic);
  writer.U16(kJournalFormat);
  writer.U8(kSealAes256Gcm);
  writer.Id(sealer.keyId());
  writer.Id(installation);
  writer.Sized(ShortenedPcName(pcName));
  return writer.Take();
}

std::optional<Bytes> AppendRecordBytes(const RecordSealer& sealer, const Bytes& header, std::uint64_t sequence,
                                       const SyncRecord& record) {
  const Bytes plain = EncodeRecord(record);
  // What every reader would refuse as damage (a text past the limit) is
  // never written.
  if (!DecodeRecord(plain)) return std::nullopt;
  std::optional<Bytes> sealed = sealer.Seal(plain, AssociatedData(header, sequence));
  if (!sealed || sealed->empty() || sealed->size() > kLargestSealedRecord) return std::nullopt;
  ByteWriter writer;
  writer.Sized(*sealed);
  return writer.Take();
}

std::uint64_t ReadStart(const JournalReadState& state) { return state.offset - state.tail.size(); }

JournalRead ReadJournal(ByteSpan bytesFromReadStart, const RecordSealer& sealer, JournalReadState state) {
  JournalRead read;
  const std::size_t tail = state.tail.size();
  if (bytesFromReadStart.size < tail || !std::equal(state.tail.begin(), state.tail.end(), bytesFromReadStart.data)) {
    read.status = JournalStatus::Replaced;
    read.state = std::move(state);
    return read;
  }
  ByteSpan rest(bytesFromReadStart.data + tail, bytesFromReadStart.size - tail);
  if (state.offset == 0) {
    read.status = ReadHeader(rest, sealer, state);
    const std::size_t headerSize = state.headerBytes.size();  // 0 while the header is not whole
    rest = ByteSpan(rest.data + headerSize, rest.size - headerSize);
  }
  if (read.status == JournalStatus::UpToDate) read.status = ReadRecords(rest, sealer, state, read.records);
  const bool problem = read.status != JournalStatus::UpToDate && read.status != JournalStatus::Waiting;
  // Records read on before it mean the problem is at a new place, news again.
  read.reportNow = problem && (!state.problemReported || !read.records.empty());
  state.problemReported = problem;
  read.state = std::move(state);
  return read;
}

std::uint64_t NextOrderingTime(std::uint64_t previous, std::uint64_t nowMs) {
  if (previous == std::numeric_limits<std::uint64_t>::max()) return previous;
  return std::max(previous + 1, nowMs);
}

}  // namespace rtrillex
