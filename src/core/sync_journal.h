// A PC's journal in the synced folder: only that PC writes it, only ever by
// appending, and every other PC reads it as the sync engine brings it in,
// possibly cut short mid-record or garbled. A header in the clear, then
// records, each a u32 length and the record sealed with the folder's key.
// The seal's associated data is the header and the record's sequence number,
// so that a record moved to another place, another PC's journal or under
// another PC name does not open.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record_sealer.h"
#include "sync_record.h"

namespace rtrillex {

using InstallationId = Id16;

inline constexpr std::string_view kJournalMagic = "rTrillexJ";
inline constexpr std::uint16_t kJournalFormat = 1;
inline constexpr std::uint8_t kSealAes256Gcm = 1;
inline constexpr std::size_t kLongestPcName = 1024;
// A length past this is damage, not a record still on its way: the largest
// data, its fields and the seal fit well inside.
inline constexpr std::size_t kLargestSealedRecord = kLargestSharedData + (1u << 20);

struct JournalHeader {
  std::uint16_t format = kJournalFormat;
  std::uint8_t sealMethod = kSealAes256Gcm;
  Id16 keyId{};
  InstallationId installation{};
  std::string pcName;  // UTF-8, as the PC was named when it began sharing
};

// The bytes a new journal starts with, sealed with `sealer`'s key.
Bytes JournalHeaderBytes(const InstallationId& installation, std::string_view pcName, const RecordSealer& sealer);

// The bytes to append to the journal that starts with `header`, in one
// write: a record is never split over writes nor are earlier bytes touched.
// Sequence numbers go 1, 2, 3... in the journal. nullopt: the sealer
// refused, or the record is too large to share.
std::optional<Bytes> AppendRecordBytes(const RecordSealer& sealer, const Bytes& header, std::uint64_t sequence,
                                       const SyncRecord& record);

enum class JournalStatus {
  UpToDate,     // every record there was read
  // Ends in part of a header or record: the sync is still under way. A
  // length garbled into one claiming more than is there looks the same;
  // only the bytes that come later (or never do) tell them apart.
  Waiting,
  Damaged,      // a whole record that does not open or decode: read up to it, nothing after it
  NewerFormat,  // a later version's journal, or one sealed in a way this one does not know
  OtherKey,     // sealed with another folder key
  NotJournal,
  // Its PC wrote it anew (see sync_compaction.h): the bytes the last read
  // ended with are no longer there. Read it again from a fresh state; its
  // records are known by id, so none shows twice.
  Replaced,
};

// Where reading a journal got to; a fresh state reads it from its start.
struct JournalReadState {
  std::uint64_t offset = 0;  // bytes accepted so far, the header's included
  std::uint64_t nextSequence = 1;
  Bytes headerBytes;  // as read: bound into every record's seal
  JournalHeader header;
  bool problemReported = false;
  // The last bytes accepted (a record's seal ends in its tag): found again
  // before `offset` in a journal that was only appended to since.
  Bytes tail;
};

// Where the next read of the journal starts: a little before state.offset,
// at the tail it checks.
std::uint64_t ReadStart(const JournalReadState& state);

struct JournalRecord {
  std::uint64_t sequence = 0;
  SyncRecord record;
  std::uint64_t bytes = 0;  // what it takes in the journal, its length included
};

struct JournalRead {
  JournalStatus status = JournalStatus::UpToDate;
  // Neither UpToDate nor Waiting, and the first read that found it so at
  // this place: a journal read again and again as it stays is reported once.
  bool reportNow = false;
  std::vector<JournalRecord> records;  // the new ones, in order
  JournalReadState state;              // to read on from later
};

// Reads what `state` has not read yet: `bytesFromReadStart` are the
// journal's bytes from ReadStart(state) to its end. Replaced when they do
// not begin with the state's tail; a journal now shorter than ReadStart
// was replaced too.
JournalRead ReadJournal(ByteSpan bytesFromReadStart, const RecordSealer& sealer, JournalReadState state);

// The ordering time of a PC's next record: after everything it has written
// or read (`previous`, the greatest ordering time it knows), and its clock's
// time when that is later. A PC whose clock is behind still puts its new
// copy on top; one whose clock is ahead only moves everyone's times on.
std::uint64_t NextOrderingTime(std::uint64_t previous, std::uint64_t nowMs);

}  // namespace rtrillex
