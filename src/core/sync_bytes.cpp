#include "sync_bytes.h"

#include <algorithm>

namespace rtrillex {

void ByteWriter::Little(std::uint64_t value, int count) {
  for (int i = 0; i < count; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Out of line: inlined into a writer GCC 12 knows to be empty, the insert
// draws a false -Wstringop-overflow.
void ByteWriter::Raw(ByteSpan bytes) {
  if (bytes.size != 0) bytes_.insert(bytes_.end(), bytes.data, bytes.data + bytes.size);
}

void ByteWriter::Raw(std::string_view text) {
  Raw(ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void ByteWriter::Sized(ByteSpan bytes) {
  U32(static_cast<std::uint32_t>(bytes.size));
  Raw(bytes);
}

void ByteWriter::Sized(std::string_view text) {
  U32(static_cast<std::uint32_t>(text.size()));
  Raw(text);
}

bool ByteReader::Little(int count, std::uint64_t& value) {
  if (left() < static_cast<std::size_t>(count)) return Fail();
  value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes_.data[at_ + static_cast<std::size_t>(i)];
  at_ += static_cast<std::size_t>(count);
  return true;
}

bool ByteReader::U8(std::uint8_t& value) {
  std::uint64_t wide = 0;
  if (!Little(1, wide)) return false;
  value = static_cast<std::uint8_t>(wide);
  return true;
}

bool ByteReader::U16(std::uint16_t& value) {
  std::uint64_t wide = 0;
  if (!Little(2, wide)) return false;
  value = static_cast<std::uint16_t>(wide);
  return true;
}

bool ByteReader::U32(std::uint32_t& value) {
  std::uint64_t wide = 0;
  if (!Little(4, wide)) return false;
  value = static_cast<std::uint32_t>(wide);
  return true;
}

bool ByteReader::U64(std::uint64_t& value) { return Little(8, value); }

bool ByteReader::Raw(std::size_t count, ByteSpan& bytes) {
  if (left() < count) return Fail();
  bytes = ByteSpan(bytes_.data + at_, count);
  at_ += count;
  return true;
}

bool ByteReader::Id(Id16& id) {
  ByteSpan bytes;
  if (!Raw(id.size(), bytes)) return false;
  std::copy(bytes.data, bytes.data + bytes.size, id.begin());
  return true;
}

bool ByteReader::Sized(std::size_t most, Bytes& bytes) {
  std::uint32_t size = 0;
  ByteSpan span;
  if (!U32(size)) return false;
  if (size > most) return Fail();
  if (!Raw(size, span)) return false;
  bytes.assign(span.data, span.data + span.size);
  return true;
}

bool ByteReader::Sized(std::size_t most, std::string& text) {
  std::uint32_t size = 0;
  ByteSpan span;
  if (!U32(size)) return false;
  if (size > most) return Fail();
  if (!Raw(size, span)) return false;
  text.assign(reinterpret_cast<const char*>(span.data), span.size);
  return true;
}

}  // namespace rtrillex
