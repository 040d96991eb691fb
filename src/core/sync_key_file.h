// The synced folder's key file, `key`: the folder key wrapped with a key
// derived from the person's passphrase, and what it takes to derive it
// again. Only its layout is here; deriving and wrapping are the Windows
// side's (PBKDF2-HMAC-SHA256 and AES-256-GCM).
#pragma once

#include <cstdint>
#include <string_view>

#include "sync_bytes.h"

namespace rtrillex {

inline constexpr std::string_view kKeyFileMagic = "rTrillexK";
inline constexpr std::uint16_t kKeyFileFormat = 1;
inline constexpr std::uint8_t kPbkdf2HmacSha256 = 1;
inline constexpr std::uint8_t kWrapAes256Gcm = 1;
// Below this a stolen folder's passphrase falls too fast; above the most, a
// forged key file would hold every PC for hours before the passphrase fails.
inline constexpr std::uint32_t kFewestKeyIterations = 600'000;
inline constexpr std::uint32_t kMostKeyIterations = 50'000'000;
inline constexpr std::size_t kShortestSalt = 16;
inline constexpr std::size_t kLongestSalt = 64;
inline constexpr std::size_t kLongestWrappedKey = 1024;

struct KeyFile {
  Id16 keyId{};  // random, made with the key: a journal names the key it is sealed with
  std::uint8_t kdf = kPbkdf2HmacSha256;
  std::uint32_t iterations = kFewestKeyIterations;
  Bytes salt;
  std::uint8_t wrapMethod = kWrapAes256Gcm;
  Bytes wrappedKey;  // sealed with KeyFileAssociatedData as associated data
};

Bytes KeyFileBytes(const KeyFile& key);
// Everything in the file before the wrapped key, bound into its seal so that
// none of it (the iterations, say) can be changed without the key failing.
Bytes KeyFileAssociatedData(const KeyFile& key);

enum class KeyFileStatus {
  Read,
  Damaged,           // cut short or garbled; an engine may still be writing it: read it again later
  UnsafeParameters,  // too few iterations, too many, or too short a salt: never used
  NewerFormat,       // a later version's, or a method this one does not know
  NotKeyFile,
};

struct KeyFileRead {
  KeyFileStatus status = KeyFileStatus::NotKeyFile;
  KeyFile key;  // when Read
};

KeyFileRead ReadKeyFile(ByteSpan bytes);

}  // namespace rtrillex
