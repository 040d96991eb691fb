// Bytes as the program's files and ciphers pass them: owned, or borrowed for
// one call without copying what may be megabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rtrillex {

using Bytes = std::vector<std::uint8_t>;

struct ByteSpan {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;

  ByteSpan() = default;
  ByteSpan(const std::uint8_t* bytes, std::size_t count) : data(bytes), size(count) {}
  ByteSpan(const Bytes& bytes) : data(bytes.data()), size(bytes.size()) {}  // NOLINT: implicit on purpose
};

}  // namespace rtrillex
