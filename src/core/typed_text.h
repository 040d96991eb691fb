// What the readers of typed settings text share. A Japanese input method
// types full-width forms ("６０", "Ｃｔｒｌ＋Ｖ") where the settings expect
// ASCII: they are read as their ASCII forms.
#pragma once

#include <string_view>

namespace rtrillex {

// The ASCII form of a full-width character (U+FF01-U+FF5E mirror ASCII
// 0x21-0x7E) or of the ideographic space; any other character unchanged.
constexpr wchar_t AsciiFormOf(wchar_t c) {
  constexpr wchar_t kFullWidthFirst = 0xFF01, kFullWidthLast = 0xFF5E, kFullWidthOffset = 0xFF01 - 0x21;
  constexpr wchar_t kIdeographicSpace = 0x3000;
  if (c == kIdeographicSpace) return L' ';
  if (c < kFullWidthFirst || c > kFullWidthLast) return c;
  return static_cast<wchar_t>(c - kFullWidthOffset);
}

constexpr bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
constexpr bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

constexpr std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace rtrillex
