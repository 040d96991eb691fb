#include "file_drop.h"

namespace rtrillex {
namespace {

// DROPFILES: the offset of the list, a point, a flag, and whether the
// paths are UTF-16.
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kListOffsetAt = 0;
constexpr std::size_t kWideAt = 16;

std::uint32_t ReadUint32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void WriteUint32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Paths of `unit` bytes a character from `at`, up to the empty one that ends
// the list; `take` turns the bytes of one path into its text.
template <typename Take>
std::optional<std::vector<std::wstring>> ReadPaths(const std::uint8_t* data, std::size_t size, std::size_t at,
                                                   std::size_t unit, Take take) {
  std::vector<std::wstring> paths;
  const auto isNul = [&](std::size_t i) { return data[i] == 0 && (unit == 1 || data[i + 1] == 0); };
  for (std::size_t start = at;;) {
    std::size_t end = start;
    while (end + unit <= size && !isNul(end)) end += unit;
    if (end + unit > size) return std::nullopt;  // no NUL before the end: cut short
    if (end == start) break;                       // the empty path ends the list
    paths.push_back(take(start, end));
    start = end + unit;
  }
  if (paths.empty()) return std::nullopt;
  return paths;
}

}  // namespace

std::optional<std::vector<std::wstring>> FilesFromDropBlock(
    const std::uint8_t* data, std::size_t size, const std::function<std::wstring(std::string_view)>& fromAnsi) {
  if (!data || size < kHeaderSize) return std::nullopt;
  const std::uint32_t listAt = ReadUint32(data + kListOffsetAt);
  if (listAt < kHeaderSize || listAt >= size) return std::nullopt;
  if (ReadUint32(data + kWideAt) != 0) {
    return ReadPaths(data, size, listAt, 2, [&](std::size_t start, std::size_t end) {
      std::wstring path;
      for (std::size_t i = start; i < end; i += 2) path += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
      return path;
    });
  }
  return ReadPaths(data, size, listAt, 1, [&](std::size_t start, std::size_t end) {
    return fromAnsi(std::string_view(reinterpret_cast<const char*>(data + start), end - start));
  });
}

std::vector<std::uint8_t> DropBlockFromFiles(const std::vector<std::wstring>& files) {
  std::vector<std::uint8_t> block(kHeaderSize);
  WriteUint32(block, kListOffsetAt, static_cast<std::uint32_t>(kHeaderSize));
  WriteUint32(block, kWideAt, 1);
  const auto append = [&block](std::uint32_t unit) {
    block.push_back(static_cast<std::uint8_t>(unit));
    block.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (const std::wstring& path : files) {
    for (wchar_t c : path) {
      auto unit = static_cast<std::uint32_t>(c);
      if (unit > 0xFFFF) {  // where wchar_t is 32 bits: as a surrogate pair
        unit -= 0x10000;
        append(0xD800 + (unit >> 10));
        unit = 0xDC00 + (unit & 0x3FF);
      }
      append(unit);
    }
    append(0);
  }
  append(0);
  return block;
}

}  // namespace rtrillex
