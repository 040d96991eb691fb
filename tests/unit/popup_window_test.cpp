#include "popup_window_layout.h"

#include <gtest/gtest.h>

namespace rtrillex::popup_window {
namespace {

TEST(ShownPart, KeepsShortTextsWhole) {
  for (const wchar_t* text : {L"", L"one line", L"二行\r\nの文", L"a\nb\rc\r\n", L"😀 & ☆"})
    EXPECT_EQ(ShownPart(text), text);
}

TEST(ShownPart, CutsLinesAndLineCountButKeepsBreaks) {
  EXPECT_EQ(ShownPart(L"abcdef\r\nxy\nlast", 2, 3), L"abc\r\nxy\n");
  EXPECT_EQ(ShownPart(L"\r\n\r\nthird", 2, 3), L"\r\n\r\n");
  EXPECT_EQ(ShownPart(L"abc", 1, 3), L"abc");
}

TEST(ShownPart, NeverSplitsASurrogatePair) {
  // Spelled as UTF-16 code units, as Windows holds an emoji.
  const std::wstring text = {L'a', L'b', wchar_t(0xD83D), wchar_t(0xDE00), L'c'};
  EXPECT_EQ(ShownPart(text, 1, 3), L"ab");
  EXPECT_EQ(ShownPart(text, 1, 4), text.substr(0, 4));
}

TEST(ShownPart, StaysSmallForHugeTexts) {
  const std::wstring huge(10'000'000, L'x');
  EXPECT_EQ(ShownPart(huge).size(), kMaxShownColumns);
  std::wstring manyLines;
  for (int i = 0; i < 100000; ++i) manyLines += L"line\r\n";
  EXPECT_EQ(ShownPart(manyLines).size(), kMaxShownLines * 6);
}

}  // namespace
}  // namespace rtrillex::popup_window
