#include "windows_entry_cipher.h"

#include "user_protection.h"

namespace rtrillex {
namespace {

// Mixed into DPAPI's protection: another program of the same user that
// unprotects blobs blindly does not open this key without knowing it.
constexpr std::string_view kEntropy = "rTrillex kept history key v1";

}  // namespace

std::optional<Bytes> WindowsEntryCipher::MakeKey() {
  key_.Drop();
  AesKeyBytes key;
  if (!RandomBytes(key.bytes.data(), key.bytes.size())) return std::nullopt;
  std::optional<Bytes> protectedKey = ProtectForUser(ByteSpan(key.bytes.data(), key.bytes.size()), kEntropy, L"rTrillex");
  if (!protectedKey || !key_.Use(key.bytes.data(), key.bytes.size())) return std::nullopt;
  return protectedKey;
}

EntryCipher::KeyUse WindowsEntryCipher::UseKey(ByteView protectedKey) {
  key_.Drop();
  AesKeyBytes key;
  switch (UnprotectForUser(protectedKey, kEntropy, key.bytes.data(), key.bytes.size())) {
    case Unprotected::Opened:
      return key_.Use(key.bytes.data(), key.bytes.size()) ? KeyUse::Used : KeyUse::NotNow;
    case Unprotected::WrongKey:
      return KeyUse::WrongKey;
    case Unprotected::NotNow:
      break;
  }
  return KeyUse::NotNow;
}

std::optional<Bytes> WindowsEntryCipher::Seal(std::string_view utf8, ByteView associated) const {
  const auto* text = reinterpret_cast<const std::uint8_t*>(utf8.data());
  return key_.Seal(ByteSpan(text, utf8.size()), associated);
}

std::optional<std::string> WindowsEntryCipher::Unseal(ByteView sealed, ByteView associated) const {
  std::string text(AesGcmKey::OpenedSize(sealed), '\0');
  if (!key_.OpenInto(sealed, associated, reinterpret_cast<std::uint8_t*>(text.data()))) {
    return std::nullopt;
  }
  return text;
}

}  // namespace rtrillex
