// What one record of a PC's journal says, before it is sealed: a copy to
// share (a text or a picture), a removal of one, a clear-all, or the whole
// ordered set of fixed phrases.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sync_bytes.h"

namespace rtrillex {

using EntryId = Id16;

enum class RecordKind : std::uint8_t {
  Unknown = 0,  // written by a later version: read, authenticated, left alone
  Text = 1,
  Picture = 2,
  Files = 3,    // paths mean nothing on another PC: never shown, still read
  Removal = 4,  // the entry `target` is gone, wherever it was copied
  ClearAll = 5, // every entry ordered at or before this record is gone
  Phrases = 6,  // the whole set of fixed phrases, in order
};

enum class PhraseKind : std::uint8_t { Text = 1, Picture = 2, Files = 3, Separator = 4 };

struct SharedPhrase {
  PhraseKind kind = PhraseKind::Text;
  std::string label;  // UTF-8
  std::string text;   // UTF-8; a file phrase's paths, one a line
  std::shared_ptr<const Bytes> png;  // Picture

  bool operator==(const SharedPhrase& other) const;
};

struct SyncRecord {
  RecordKind kind = RecordKind::Text;
  EntryId id{};  // random, made by the writing PC; the entry's id for a copy
  // The writing PC's clock, shown as it is, whatever it was.
  std::uint64_t recordedMs = 0;
  // Where it sorts among every PC's records: see NextOrderingTime.
  std::uint64_t orderingMs = 0;
  std::string text;                  // Text: UTF-8; Files: paths, one a line
  std::shared_ptr<const Bytes> png;  // Picture
  EntryId target{};                  // Removal
  std::vector<SharedPhrase> phrases; // Phrases
};

// The largest text or picture a record carries; the journal allows a little
// more for the record's own fields and the seal.
inline constexpr std::size_t kLargestSharedData = 64u << 20;

Bytes EncodeRecord(const SyncRecord& record);
// nullopt for bytes that are not one whole record (cut, or a size past its
// limit): only a bug or a forged key can give such bytes that authenticate.
std::optional<SyncRecord> DecodeRecord(ByteSpan bytes);

}  // namespace rtrillex
