// AES-256-GCM through CNG, sealing as nonce | ciphertext | tag with a fresh
// random 96-bit nonce each time. Used for the kept history's texts and for
// the synced folder's key file and records.
#pragma once

#include <windows.h>

#include <bcrypt.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sync_bytes.h"

namespace rtrillex {

inline constexpr std::size_t kAesKeyBytes = 32;    // AES-256
inline constexpr std::size_t kGcmNonceBytes = 12;  // GCM's own size: no hashing of the nonce
inline constexpr std::size_t kGcmTagBytes = 16;
inline constexpr std::size_t kGcmOverhead = kGcmNonceBytes + kGcmTagBytes;

// A key in the clear, wiped however its scope is left.
struct AesKeyBytes {
  std::array<std::uint8_t, kAesKeyBytes> bytes{};

  AesKeyBytes() = default;
  AesKeyBytes(const AesKeyBytes&) = default;
  AesKeyBytes& operator=(const AesKeyBytes&) = default;
  ~AesKeyBytes() { SecureZeroMemory(bytes.data(), bytes.size()); }
};

// False: the system's generator refused.
bool RandomBytes(std::uint8_t* out, std::size_t size);

class AesGcmKey {
 public:
  AesGcmKey() = default;
  AesGcmKey(const AesGcmKey&) = delete;
  AesGcmKey& operator=(const AesGcmKey&) = delete;
  ~AesGcmKey();

  // False, and no key in use: not 32 bytes, or CNG refused.
  bool Use(const std::uint8_t* key, std::size_t size);
  void Drop();
  bool ready() const { return key_ != nullptr; }

  // nullopt: no key, too large for CNG, or the system refused.
  std::optional<Bytes> Seal(ByteSpan plain, ByteSpan associated) const;
  // Opens into `out`, which holds OpenedSize(sealed) bytes. False: another
  // key, other associated data, a changed byte, or too short to be sealed.
  bool OpenInto(ByteSpan sealed, ByteSpan associated, std::uint8_t* out) const;
  std::optional<Bytes> Open(ByteSpan sealed, ByteSpan associated) const;

  static std::size_t OpenedSize(ByteSpan sealed) {
    return sealed.size < kGcmOverhead ? 0 : sealed.size - kGcmOverhead;
  }

 private:
  bool OpenAlgorithm();

  // Opened once for every seal of this key.
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_KEY_HANDLE key_ = nullptr;
};

}  // namespace rtrillex
