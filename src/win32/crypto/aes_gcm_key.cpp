#include "aes_gcm_key.h"

#include <cstring>
#include <limits>

namespace rtrillex {
namespace {

bool FitsUlong(std::size_t size) { return size <= std::numeric_limits<ULONG>::max(); }

// CNG refuses a null buffer even for no bytes.
PUCHAR Buffer(const std::uint8_t* data) {
  static std::uint8_t none = 0;
  return data ? const_cast<PUCHAR>(data) : &none;
}

BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO ModeInfo(const std::uint8_t* nonce, ByteSpan associated, std::uint8_t* tag) {
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = const_cast<PUCHAR>(nonce);
  info.cbNonce = kGcmNonceBytes;
  info.pbAuthData = Buffer(associated.data);
  info.cbAuthData = static_cast<ULONG>(associated.size);
  info.pbTag = tag;
  info.cbTag = kGcmTagBytes;
  return info;
}

}  // namespace

bool RandomBytes(std::uint8_t* out, std::size_t size) {
  return FitsUlong(size) &&
         BCRYPT_SUCCESS(BCryptGenRandom(nullptr, Buffer(out), static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

AesGcmKey::~AesGcmKey() {
  Drop();
  if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
}

bool AesGcmKey::OpenAlgorithm() {
  if (algorithm_) return true;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0))) return false;
  const auto* mode = reinterpret_cast<const UCHAR*>(BCRYPT_CHAIN_MODE_GCM);
  if (!BCRYPT_SUCCESS(BCryptSetProperty(algorithm, BCRYPT_CHAINING_MODE, const_cast<PUCHAR>(mode),
                                        sizeof BCRYPT_CHAIN_MODE_GCM, 0))) {
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return false;
  }
  algorithm_ = algorithm;
  return true;
}

bool AesGcmKey::Use(const std::uint8_t* key, std::size_t size) {
  Drop();
  if (size != kAesKeyBytes || !OpenAlgorithm()) return false;
  // CNG keeps its own copy of the key, in memory it allocates and wipes.
  BCRYPT_KEY_HANDLE made = nullptr;
  if (!BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(algorithm_, &made, nullptr, 0, const_cast<PUCHAR>(key),
                                                 static_cast<ULONG>(size), 0))) {
    return false;
  }
  key_ = made;
  return true;
}

void AesGcmKey::Drop() {
  if (key_) BCryptDestroyKey(key_);
  key_ = nullptr;
}

std::optional<Bytes> AesGcmKey::Seal(ByteSpan plain, ByteSpan associated) const {
  if (!key_ || !FitsUlong(plain.size + kGcmOverhead) || !FitsUlong(associated.size)) return std::nullopt;
  const auto size = static_cast<ULONG>(plain.size);
  Bytes sealed(kGcmNonceBytes + size + kGcmTagBytes);
  std::uint8_t* nonce = sealed.data();
  std::uint8_t* body = nonce + kGcmNonceBytes;
  if (!RandomBytes(nonce, kGcmNonceBytes)) return std::nullopt;
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = ModeInfo(nonce, associated, body + size);
  ULONG written = 0;
  if (!BCRYPT_SUCCESS(BCryptEncrypt(key_, Buffer(plain.data), size, &info, nullptr, 0, Buffer(body), size,
                                    &written, 0)) ||
      written != size) {
    return std::nullopt;
  }
  return sealed;
}

bool AesGcmKey::OpenInto(ByteSpan sealed, ByteSpan associated, std::uint8_t* out) const {
  if (!key_ || sealed.size < kGcmOverhead || !FitsUlong(sealed.size) || !FitsUlong(associated.size)) return false;
  const auto size = static_cast<ULONG>(OpenedSize(sealed));
  const std::uint8_t* nonce = sealed.data;
  const std::uint8_t* body = nonce + kGcmNonceBytes;
  // CNG reads the tag from the info, which only takes a writable pointer.
  std::array<std::uint8_t, kGcmTagBytes> tag{};
  std::memcpy(tag.data(), body + size, kGcmTagBytes);
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = ModeInfo(nonce, associated, tag.data());
  ULONG written = 0;
  return BCRYPT_SUCCESS(BCryptDecrypt(key_, Buffer(body), size, &info, nullptr, 0, Buffer(out), size, &written, 0)) &&
         written == size;
}

std::optional<Bytes> AesGcmKey::Open(ByteSpan sealed, ByteSpan associated) const {
  Bytes plain(OpenedSize(sealed));
  if (!OpenInto(sealed, associated, plain.data())) return std::nullopt;
  return plain;
}

}  // namespace rtrillex
