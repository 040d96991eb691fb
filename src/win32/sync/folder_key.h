// The synced folder's key on Windows: made once by the first PC, wrapped in
// the folder's `key` file under a key derived from the person's passphrase
// (PBKDF2-HMAC-SHA256, then AES-256-GCM, both by CNG), and joined by every
// other PC with the same passphrase. Each PC then keeps the folder key
// protected for its user by DPAPI, so that the passphrase is never stored.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "aes_gcm_key.h"
#include "sync_key_file.h"

namespace rtrillex {

// The fewest the core accepts; more only slows every join.
inline constexpr std::uint32_t kFolderKeyIterations = kFewestKeyIterations;
inline constexpr std::size_t kFolderKeySaltBytes = 16;

struct FolderKey {
  Id16 keyId{};
  AesKeyBytes key;
};

struct MadeFolderKey {
  FolderKey key;
  Bytes keyFileBytes;  // the `key` file to write into the synced folder
};

// A fresh random key, id and salt, wrapped under the passphrase. nullopt:
// the system refused, or the passphrase is not whole UTF-16 (a lone
// surrogate could never be typed again on another PC), or the iterations
// are outside what ReadKeyFile accepts.
std::optional<MadeFolderKey> MakeFolderKey(std::wstring_view passphrase,
                                           std::uint32_t iterations = kFolderKeyIterations);

enum class FolderKeyJoin {
  Joined,
  WrongPassphrase,   // the wrapped key does not open under it: another passphrase, or a changed byte
  Damaged,           // cut short or garbled; a sync engine may still be writing it
  UnsafeParameters,  // never derived: too few iterations, too many, or too short a salt
  NewerFormat,
  NotKeyFile,
  SystemFailed,      // CNG refused; may pass
};

struct JoinedFolderKey {
  FolderKeyJoin result = FolderKeyJoin::SystemFailed;
  FolderKey key;  // when Joined
};

JoinedFolderKey JoinFolderKey(ByteSpan keyFileBytes, std::wstring_view passphrase);

// The folder key protected for this Windows user, to keep in the settings.
std::optional<Bytes> ProtectFolderKey(const FolderKey& key);

enum class FolderKeyUnprotect {
  Opened,
  WrongKey,  // another user's or machine's, or changed: join again with the passphrase
  NotNow,    // the system could not unprotect it this time: try again later
};

struct UnprotectedFolderKey {
  FolderKeyUnprotect result = FolderKeyUnprotect::WrongKey;
  FolderKey key;  // when Opened
};

UnprotectedFolderKey UnprotectFolderKey(ByteSpan protectedKey);

}  // namespace rtrillex
