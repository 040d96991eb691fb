#include "windows_entry_cipher.h"

#include <wincrypt.h>

#include <array>
#include <cstring>
#include <limits>
#include <memory>

namespace rtrillex {
namespace {

constexpr std::size_t kKeyBytes = 32;    // AES-256
constexpr std::size_t kNonceBytes = 12;  // GCM's own size: no hashing of the nonce
constexpr std::size_t kTagBytes = 16;

// Mixed into DPAPI's protection: another program of the same user that
// unprotects blobs blindly does not open this key without knowing it.
constexpr char kEntropy[] = "rTrillex kept history key v1";

// Key bytes in the clear, wiped however the scope is left.
struct KeyBytes {
  std::array<std::uint8_t, kKeyBytes> bytes{};
  KeyBytes() = default;
  KeyBytes(const KeyBytes&) = delete;
  KeyBytes& operator=(const KeyBytes&) = delete;
  ~KeyBytes() { SecureZeroMemory(bytes.data(), bytes.size()); }
};

// DPAPI's output, which the system allocated; wiped first when it held a key.
struct LocalBlob {
  DATA_BLOB blob{};
  bool secret = false;
  LocalBlob() = default;
  LocalBlob(const LocalBlob&) = delete;
  LocalBlob& operator=(const LocalBlob&) = delete;
  ~LocalBlob() {
    if (!blob.pbData) return;
    if (secret) SecureZeroMemory(blob.pbData, blob.cbData);
    LocalFree(blob.pbData);
  }
};

DATA_BLOB EntropyBlob() {
  return {static_cast<DWORD>(sizeof kEntropy - 1), reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
}

bool FitsUlong(std::size_t size) { return size <= std::numeric_limits<ULONG>::max(); }

// CNG refuses a null buffer even for no bytes.
PUCHAR Buffer(const std::uint8_t* data) {
  static std::uint8_t none = 0;
  return data ? const_cast<PUCHAR>(data) : &none;
}

BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO ModeInfo(const std::uint8_t* nonce, ByteView associated, std::uint8_t* tag) {
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = const_cast<PUCHAR>(nonce);
  info.cbNonce = kNonceBytes;
  info.pbAuthData = Buffer(associated.data);
  info.cbAuthData = static_cast<ULONG>(associated.size);
  info.pbTag = tag;
  info.cbTag = kTagBytes;
  return info;
}

// What DPAPI says of a blob that will never open here: made for another
// user or machine, or changed. Anything else (its service not answering yet
// at log-on, no memory) may pass, and the file is kept for a later try.
bool MeansWrongKey(DWORD error) {
  const auto code = static_cast<HRESULT>(error);
  return error == ERROR_INVALID_DATA || code == HRESULT_FROM_WIN32(ERROR_INVALID_DATA) ||
         code == NTE_BAD_KEY_STATE /* another user's or machine's key */ || code == NTE_BAD_DATA ||
         code == NTE_BAD_KEY || code == NTE_BAD_SIGNATURE;
}

}  // namespace

WindowsEntryCipher::~WindowsEntryCipher() {
  DropKey();
  if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
}

bool WindowsEntryCipher::OpenAlgorithm() {
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

bool WindowsEntryCipher::SetKey(const std::uint8_t* key, std::size_t size) {
  DropKey();
  if (size != kKeyBytes || !OpenAlgorithm()) return false;
  // CNG keeps its own copy of the key, in memory it allocates and wipes.
  return BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(algorithm_, &key_, nullptr, 0, const_cast<PUCHAR>(key),
                                                   static_cast<ULONG>(size), 0));
}

void WindowsEntryCipher::DropKey() {
  if (key_) BCryptDestroyKey(key_);
  key_ = nullptr;
}

std::optional<Bytes> WindowsEntryCipher::MakeKey() {
  KeyBytes key;
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, key.bytes.data(), kKeyBytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return std::nullopt;
  }
  DATA_BLOB clear{static_cast<DWORD>(kKeyBytes), key.bytes.data()};
  DATA_BLOB entropy = EntropyBlob();
  LocalBlob protectedKey;
  if (!CryptProtectData(&clear, L"rTrillex", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                        &protectedKey.blob) ||
      !SetKey(key.bytes.data(), kKeyBytes)) {
    return std::nullopt;
  }
  return Bytes(protectedKey.blob.pbData, protectedKey.blob.pbData + protectedKey.blob.cbData);
}

EntryCipher::KeyUse WindowsEntryCipher::UseKey(ByteView protectedKey) {
  DropKey();
  if (!FitsUlong(protectedKey.size)) return KeyUse::WrongKey;
  DATA_BLOB stored{static_cast<DWORD>(protectedKey.size), Buffer(protectedKey.data)};
  DATA_BLOB entropy = EntropyBlob();
  LocalBlob clear;
  clear.secret = true;
  if (!CryptUnprotectData(&stored, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &clear.blob)) {
    return MeansWrongKey(GetLastError()) ? KeyUse::WrongKey : KeyUse::NotNow;
  }
  if (clear.blob.cbData != kKeyBytes) return KeyUse::WrongKey;
  return SetKey(clear.blob.pbData, clear.blob.cbData) ? KeyUse::Used : KeyUse::NotNow;
}

std::optional<Bytes> WindowsEntryCipher::Seal(std::string_view utf8, ByteView associated) const {
  if (!key_ || !FitsUlong(utf8.size() + kNonceBytes + kTagBytes) || !FitsUlong(associated.size)) return std::nullopt;
  const auto size = static_cast<ULONG>(utf8.size());
  Bytes sealed(kNonceBytes + size + kTagBytes);
  std::uint8_t* nonce = sealed.data();
  std::uint8_t* body = nonce + kNonceBytes;
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, nonce, kNonceBytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return std::nullopt;
  }
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = ModeInfo(nonce, associated, body + size);
  ULONG written = 0;
  const auto* clear = reinterpret_cast<const std::uint8_t*>(utf8.data());
  if (!BCRYPT_SUCCESS(BCryptEncrypt(key_, Buffer(clear), size, &info, nullptr, 0, body, size, &written, 0)) ||
      written != size) {
    return std::nullopt;
  }
  return sealed;
}

std::optional<std::string> WindowsEntryCipher::Unseal(ByteView sealed, ByteView associated) const {
  if (!key_ || sealed.size < kNonceBytes + kTagBytes || !FitsUlong(sealed.size) || !FitsUlong(associated.size)) {
    return std::nullopt;
  }
  const auto size = static_cast<ULONG>(sealed.size - kNonceBytes - kTagBytes);
  const std::uint8_t* nonce = sealed.data;
  const std::uint8_t* body = nonce + kNonceBytes;
  // CNG reads the tag from the info, which only takes a writable pointer.
  std::array<std::uint8_t, kTagBytes> tag{};
  std::memcpy(tag.data(), body + size, kTagBytes);
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = ModeInfo(nonce, associated, tag.data());
  std::string text(size, '\0');
  auto* out = reinterpret_cast<std::uint8_t*>(text.data());
  ULONG written = 0;
  if (!BCRYPT_SUCCESS(BCryptDecrypt(key_, Buffer(body), size, &info, nullptr, 0, out, size,
                                    &written, 0)) ||
      written != size) {
    return std::nullopt;
  }
  return text;
}

}  // namespace rtrillex
