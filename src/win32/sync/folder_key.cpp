#include "folder_key.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <string>

#include "user_protection.h"

namespace rtrillex {
namespace {

// Mixed into DPAPI's protection: another program of the same user that
// unprotects blobs blindly does not open the folder key without knowing it.
constexpr std::string_view kEntropy = "rTrillex synced folder key v1";
constexpr std::size_t kProtectedBytes = sizeof(Id16) + kAesKeyBytes;

// The passphrase as UTF-8, wiped however the scope is left.
class SecretUtf8 {
 public:
  SecretUtf8() = default;
  SecretUtf8(const SecretUtf8&) = delete;
  SecretUtf8& operator=(const SecretUtf8&) = delete;
  ~SecretUtf8() { SecureZeroMemory(text_.data(), text_.size()); }

  // False for UTF-16 that is not whole: a lone surrogate, which the
  // conversion would otherwise turn into U+FFFD and so match other passphrases.
  bool From(std::wstring_view passphrase) {
    if (passphrase.empty()) return true;
    const int units = static_cast<int>(passphrase.size());
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, passphrase.data(), units, nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) return false;
    text_.assign(static_cast<std::size_t>(size), '\0');
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, passphrase.data(), units, text_.data(), size,
                               nullptr, nullptr) == size;
  }

  PUCHAR data() { return reinterpret_cast<PUCHAR>(text_.data()); }
  ULONG size() const { return static_cast<ULONG>(text_.size()); }

 private:
  std::string text_;
};

class HmacSha256Provider {
 public:
  HmacSha256Provider() {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                    BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
      handle_ = nullptr;
    }
  }
  HmacSha256Provider(const HmacSha256Provider&) = delete;
  HmacSha256Provider& operator=(const HmacSha256Provider&) = delete;
  ~HmacSha256Provider() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// The key that wraps the folder key, derived from the passphrase with the
// key file's salt and iterations.
bool DeriveWrappingKey(std::wstring_view passphrase, const KeyFile& file, AesGcmKey& wrapping) {
  SecretUtf8 utf8;
  HmacSha256Provider hmac;
  if (!utf8.From(passphrase) || !hmac.get()) return false;
  static std::uint8_t none = 0;  // CNG refuses a null password even when empty
  AesKeyBytes derived;
  Bytes salt = file.salt;
  return BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(hmac.get(), utf8.size() ? utf8.data() : &none, utf8.size(),
                                              salt.data(), static_cast<ULONG>(salt.size()), file.iterations,
                                              derived.bytes.data(), static_cast<ULONG>(derived.bytes.size()),
                                              0)) &&
         wrapping.Use(derived.bytes.data(), derived.bytes.size());
}

FolderKeyJoin JoinResultOf(KeyFileStatus status) {
  switch (status) {
    case KeyFileStatus::Read: return FolderKeyJoin::Joined;
    case KeyFileStatus::Damaged: return FolderKeyJoin::Damaged;
    case KeyFileStatus::UnsafeParameters: return FolderKeyJoin::UnsafeParameters;
    case KeyFileStatus::NewerFormat: return FolderKeyJoin::NewerFormat;
    case KeyFileStatus::NotKeyFile: break;
  }
  return FolderKeyJoin::NotKeyFile;
}

}  // namespace

std::optional<MadeFolderKey> MakeFolderKey(std::wstring_view passphrase, std::uint32_t iterations) {
  // A key file that every PC, this one too, would refuse to join.
  if (iterations < kFewestKeyIterations || iterations > kMostKeyIterations) return std::nullopt;
  MadeFolderKey made;
  KeyFile file;
  file.iterations = iterations;
  file.salt.resize(kFolderKeySaltBytes);
  if (!RandomBytes(made.key.key.bytes.data(), made.key.key.bytes.size()) ||
      !RandomBytes(made.key.keyId.data(), made.key.keyId.size()) || !RandomBytes(file.salt.data(), file.salt.size())) {
    return std::nullopt;
  }
  file.keyId = made.key.keyId;
  AesGcmKey wrapping;
  if (!DeriveWrappingKey(passphrase, file, wrapping)) return std::nullopt;
  std::optional<Bytes> wrapped =
      wrapping.Seal(ByteSpan(made.key.key.bytes.data(), made.key.key.bytes.size()), KeyFileAssociatedData(file));
  if (!wrapped) return std::nullopt;
  file.wrappedKey = std::move(*wrapped);
  made.keyFileBytes = KeyFileBytes(file);
  return made;
}

JoinedFolderKey JoinFolderKey(ByteSpan keyFileBytes, std::wstring_view passphrase) {
  JoinedFolderKey joined;
  const KeyFileRead read = ReadKeyFile(keyFileBytes);
  joined.result = JoinResultOf(read.status);
  if (joined.result != FolderKeyJoin::Joined) return joined;
  // Only a bug or a forgery wraps anything but one key: nothing to derive for.
  if (AesGcmKey::OpenedSize(read.key.wrappedKey) != kAesKeyBytes) {
    joined.result = FolderKeyJoin::Damaged;
    return joined;
  }
  AesGcmKey wrapping;
  if (!DeriveWrappingKey(passphrase, read.key, wrapping)) {
    // A passphrase that is not whole UTF-16 never made a key file.
    SecretUtf8 probe;
    joined.result = probe.From(passphrase) ? FolderKeyJoin::SystemFailed : FolderKeyJoin::WrongPassphrase;
    return joined;
  }
  if (!wrapping.OpenInto(read.key.wrappedKey, KeyFileAssociatedData(read.key), joined.key.key.bytes.data())) {
    joined.result = FolderKeyJoin::WrongPassphrase;
    return joined;
  }
  joined.key.keyId = read.key.keyId;
  return joined;
}

std::optional<Bytes> ProtectFolderKey(const FolderKey& key) {
  std::array<std::uint8_t, kProtectedBytes> secret{};
  std::copy(key.keyId.begin(), key.keyId.end(), secret.begin());
  std::copy(key.key.bytes.begin(), key.key.bytes.end(), secret.begin() + sizeof(Id16));
  std::optional<Bytes> protectedKey =
      ProtectForUser(ByteSpan(secret.data(), secret.size()), kEntropy, L"rTrillex synced folder");
  SecureZeroMemory(secret.data(), secret.size());
  return protectedKey;
}

UnprotectedFolderKey UnprotectFolderKey(ByteSpan protectedKey) {
  UnprotectedFolderKey unprotected;
  std::array<std::uint8_t, kProtectedBytes> secret{};
  switch (UnprotectForUser(protectedKey, kEntropy, secret.data(), secret.size())) {
    case Unprotected::Opened:
      unprotected.result = FolderKeyUnprotect::Opened;
      std::copy(secret.begin(), secret.begin() + sizeof(Id16), unprotected.key.keyId.begin());
      std::copy(secret.begin() + sizeof(Id16), secret.end(), unprotected.key.key.bytes.begin());
      break;
    case Unprotected::WrongKey:
      unprotected.result = FolderKeyUnprotect::WrongKey;
      break;
    case Unprotected::NotNow:
      unprotected.result = FolderKeyUnprotect::NotNow;
      break;
  }
  SecureZeroMemory(secret.data(), secret.size());
  return unprotected;
}

}  // namespace rtrillex
