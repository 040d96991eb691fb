// A folder key for tests: the plain bytes XORed with a stream from the key,
// then a tag over key, associated data and plain bytes. Not secret, but its
// tag is a real check: another key, other associated data or any changed
// byte does not open.
#pragma once

#include <initializer_list>

#include "record_sealer.h"

namespace rtrillex {

class StandInSealer : public RecordSealer {
 public:
  explicit StandInSealer(std::uint8_t key = 1) : key_(key) { keyId_.fill(key); }

  bool sealFails = false;

  Id16 keyId() const override { return keyId_; }

  std::optional<Bytes> Seal(ByteSpan plain, ByteSpan associated) const override {
    if (sealFails) return std::nullopt;
    Bytes sealed(plain.data, plain.data + plain.size);
    Mask(sealed);
    AppendTag(sealed, Tag(associated, plain));
    return sealed;
  }

  std::optional<Bytes> Open(ByteSpan sealed, ByteSpan associated) const override {
    if (sealed.size < kTagSize) return std::nullopt;
    Bytes plain(sealed.data, sealed.data + sealed.size - kTagSize);
    Mask(plain);
    Bytes expected;
    AppendTag(expected, Tag(associated, plain));
    if (!std::equal(expected.begin(), expected.end(), sealed.data + plain.size())) return std::nullopt;
    return plain;
  }

 private:
  static constexpr std::size_t kTagSize = 8;

  void Mask(Bytes& bytes) const {
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] ^= static_cast<std::uint8_t>(key_ * 31u + i * 7u);
  }
  // FNV-1a over the parts, each part's size mixed in so that bytes cannot
  // move from one part to the next.
  std::uint64_t Tag(ByteSpan associated, ByteSpan plain) const {
    std::uint64_t hash = 0xcbf29ce484222325u;
    const auto mix = [&hash](std::uint8_t byte) { hash = (hash ^ byte) * 0x100000001b3u; };
    const std::uint8_t key[] = {key_};
    for (const ByteSpan& part : {ByteSpan(key, 1), associated, plain}) {
      for (std::size_t i = 0; i < part.size; ++i) mix(part.data[i]);
      for (int i = 0; i < 8; ++i) mix(static_cast<std::uint8_t>(part.size >> (8 * i)));
    }
    return hash;
  }
  static void AppendTag(Bytes& bytes, std::uint64_t tag) {
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(tag >> (8 * i)));
  }

  std::uint8_t key_;
  Id16 keyId_{};
};

}  // namespace rtrillex
