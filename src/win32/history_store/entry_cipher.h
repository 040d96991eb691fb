// How the kept history's texts are sealed: one key per file, kept in the
// file only in protected form, and each text sealed with what ties it to its
// row. The store sees no system type; Windows' implementation protects the
// key with DPAPI and seals with AES-GCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bytes.h"

namespace rtrillex {

// Bytes borrowed for one call, such as a blob SQLite holds.
using ByteView = ByteSpan;

class EntryCipher {
 public:
  virtual ~EntryCipher() = default;

  // A fresh random key for a new file, used from now on; what comes back is
  // that key protected, to keep in the file. nullopt: no key was made.
  virtual std::optional<Bytes> MakeKey() = 0;

  // Uses the key a file keeps in protected form; unless Used, no key is in
  // use. WrongKey: it never opens here (another user or machine, or a
  // tampered blob). NotNow: the system could not unprotect it this time (at
  // log-on the user's keys may not be ready yet), and may later.
  enum class KeyUse { Used, WrongKey, NotNow };
  virtual KeyUse UseKey(ByteView protectedKey) = 0;

  // The text sealed with the key in use, as nonce | ciphertext | tag; the
  // associated data must be given again, unchanged, to unseal it.
  virtual std::optional<Bytes> Seal(std::string_view utf8, ByteView associated) const = 0;

  // nullopt: another key, other associated data, or a changed byte.
  virtual std::optional<std::string> Unseal(ByteView sealed, ByteView associated) const = 0;
};

}  // namespace rtrillex
