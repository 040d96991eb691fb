// Damage done to a file as a failing disk or an interrupted copy would do it.
#pragma once

#include <cstdint>
#include <string>

#include "temp_folder.h"

namespace rtrillex {

// The file's first two thirds only.
inline void CutShort(const std::string& utf8Path) {
  const std::string whole = ReadFile(utf8Path);
  WriteFile(utf8Path, whole.substr(0, whole.size() * 2 / 3));
}

// `count` bits flipped at places `seed` picks, past the first 8 KiB (a
// database's header and schema), the same places for the same seed.
inline void FlipBits(const std::string& utf8Path, int count, std::uint32_t seed) {
  std::string whole = ReadFile(utf8Path);
  for (int flip = 0; flip < count; ++flip) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t at = 8192 + (seed >> 8) % (whole.size() - 8192);
    whole[at] = static_cast<char>(whole[at] ^ (1 << (seed % 8)));
  }
  WriteFile(utf8Path, whole);
}

}  // namespace rtrillex
