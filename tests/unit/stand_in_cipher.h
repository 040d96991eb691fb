// A cipher for tests: deterministic, and each text stays readable inside its
// sealed form so that a test can look for it among a file's bytes. Its tags
// are real checks all the same: another key, other associated data or a
// changed byte does not unseal, and another user's key does not open.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "entry_cipher.h"

namespace rtrillex {

class StandInCipher : public EntryCipher {
 public:
  explicit StandInCipher(std::uint8_t user = 1) : user_(user) {}

  int keysOpened = 0;       // UseKey calls
  bool sealFails = false;  // as when the system refuses
  int notReadyFor = 0;     // UseKey calls that find the user's keys not ready yet, as at log-on

  std::optional<Bytes> MakeKey() override {
    key_ = 0x5EED0000u + ++keysMade_ * 7919u;
    hasKey_ = true;
    Bytes blob = {'K', user_};
    Append(blob, key_);
    Append(blob, Hash(1, {ByteView(blob)}));
    return blob;
  }

  KeyUse UseKey(ByteView blob) override {
    ++keysOpened;
    hasKey_ = false;
    if (notReadyFor > 0) {
      --notReadyFor;
      return KeyUse::NotNow;
    }
    hasKey_ = blob.size == 18 && blob.data[0] == 'K' && blob.data[1] == user_ &&
              Read(blob.data + 10) == Hash(1, {ByteView(blob.data, 10)});
    if (hasKey_) key_ = Read(blob.data + 2);
    return hasKey_ ? KeyUse::Used : KeyUse::WrongKey;
  }

  std::optional<Bytes> Seal(std::string_view text, ByteView associated) const override {
    if (!hasKey_ || sealFails) return std::nullopt;
    Bytes sealed;
    Append(sealed, ++nonces_);
    Append(sealed, 0u);  // the nonce is 12 bytes, as AES-GCM's
    sealed.insert(sealed.end(), text.begin(), text.end());
    AppendTag(sealed, associated);
    return sealed;
  }

  std::optional<std::string> Unseal(ByteView sealed, ByteView associated) const override {
    if (!hasKey_ || sealed.size < 28) return std::nullopt;
    Bytes expected(sealed.data, sealed.data + sealed.size - 16);
    AppendTag(expected, associated);
    if (!std::equal(expected.begin(), expected.end(), sealed.data)) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(sealed.data + 12), sealed.size - 28);
  }

 private:
  static void Append(Bytes& bytes, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  static void Append(Bytes& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  static std::uint64_t Read(const std::uint8_t* bytes) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
  }
  // FNV-1a over the parts, each part's size mixed in so that bytes cannot
  // move from one part to the next.
  static std::uint64_t Hash(std::uint64_t seed, std::initializer_list<ByteView> parts) {
    std::uint64_t hash = 0xcbf29ce484222325u ^ seed;
    const auto mix = [&hash](std::uint8_t byte) { hash = (hash ^ byte) * 0x100000001b3u; };
    for (const ByteView& part : parts) {
      for (std::size_t i = 0; i < part.size; ++i) mix(part.data[i]);
      for (int i = 0; i < 8; ++i) mix(static_cast<std::uint8_t>(part.size >> (8 * i)));
    }
    return hash;
  }
  void AppendTag(Bytes& sealed, ByteView associated) const {
    Bytes key;
    Append(key, key_);
    const ByteView body(sealed);
    Append(sealed, Hash(2, {ByteView(key), associated, body}));
    Append(sealed, Hash(3, {ByteView(key), associated, ByteView(sealed.data(), body.size)}));
  }

  std::uint8_t user_;
  std::uint64_t key_ = 0;
  bool hasKey_ = false;
  int keysMade_ = 0;
  mutable std::uint64_t nonces_ = 0;
};

}  // namespace rtrillex
