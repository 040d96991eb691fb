// Little-endian bytes for the files the synced folder holds. They come from
// other PCs and a sync engine that may cut or garble them, so every read is
// checked against what is left before a byte is taken.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bytes.h"

namespace rtrillex {

// 16 random bytes, made by the caller: an installation, a folder key, an entry.
using Id16 = std::array<std::uint8_t, 16>;

class ByteWriter {
 public:
  void U8(std::uint8_t value) { bytes_.push_back(value); }
  void U16(std::uint16_t value) { Little(value, 2); }
  void U32(std::uint32_t value) { Little(value, 4); }
  void U64(std::uint64_t value) { Little(value, 8); }
  void Raw(ByteSpan bytes);
  void Raw(std::string_view text);
  void Id(const Id16& id) { Raw(ByteSpan(id.data(), id.size())); }
  // A u32 length, then the bytes.
  void Sized(ByteSpan bytes);
  void Sized(std::string_view text);

  const Bytes& bytes() const { return bytes_; }
  Bytes Take() { return std::move(bytes_); }

 private:
  void Little(std::uint64_t value, int count);
  Bytes bytes_;
};

// Each read fails, and every read after it, once the bytes run out or a
// size is past its limit; the caller checks ok() (or a read's result) and
// never sees a value taken from beyond the end.
class ByteReader {
 public:
  explicit ByteReader(ByteSpan bytes) : bytes_(bytes) {}

  bool U8(std::uint8_t& value);
  bool U16(std::uint16_t& value);
  bool U32(std::uint32_t& value);
  bool U64(std::uint64_t& value);
  bool Id(Id16& id);
  bool Raw(std::size_t count, ByteSpan& bytes);
  // A u32 length of at most `most`, then the bytes.
  bool Sized(std::size_t most, Bytes& bytes);
  bool Sized(std::size_t most, std::string& text);

  bool ok() const { return ok_; }
  std::size_t left() const { return ok_ ? bytes_.size - at_ : 0; }
  bool AtEnd() const { return ok_ && at_ == bytes_.size; }

 private:
  bool Little(int count, std::uint64_t& value);
  bool Fail() { return ok_ = false; }

  ByteSpan bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace rtrillex
