#include "text_excerpt.h"

#include "main_window_layout.h"
#include "popup_window_layout.h"

#include <gtest/gtest.h>

namespace rtrillex {
namespace {

TEST(ShownPart, KeepsShortTextsWhole) {
  for (const wchar_t* text : {L"", L"one line", L"二行\r\nの文", L"a\nb\rc\r\n", L"😀 & ☆"})
    EXPECT_EQ(ShownPart(text, 16, 256), text);
}

TEST(ShownPart, CutsLinesAndLineCountButKeepsBreaks) {
  EXPECT_EQ(ShownPart(L"abcdef\r\nxy\nlast", 2, 3), L"abc\r\nxy\n");
  EXPECT_EQ(ShownPart(L"\r\n\r\nthird", 2, 3), L"\r\n\r\n");
  EXPECT_EQ(ShownPart(L"abc", 1, 3), L"abc");
  // A line too long to read to its end is the last one shown: a copy of
  // megabytes in one line is not read whole for a few characters.
  EXPECT_EQ(ShownPart(L"abcdefghij\r\nxy", 2, 2), L"ab");
  EXPECT_EQ(ShownPart(L"abcdefgh\r\nxy", 2, 2), L"ab\r\n");
}

TEST(ShownPart, NeverSplitsASurrogatePair) {
  // Spelled as UTF-16 code units, as Windows holds an emoji.
  const std::wstring text = {L'a', L'b', wchar_t(0xD83D), wchar_t(0xDE00), L'c'};
  EXPECT_EQ(ShownPart(text, 1, 3), L"ab");
  EXPECT_EQ(ShownPart(text, 1, 4), text.substr(0, 4));
  EXPECT_EQ(Beginning(text, 3), L"ab");
  EXPECT_EQ(Beginning(text, 4), text.substr(0, 4));
  EXPECT_EQ(Beginning(text, 99), text);
}

TEST(ShownPart, StaysSmallForHugeTexts) {
  using namespace popup_window;
  const std::wstring huge(10'000'000, L'x');
  EXPECT_EQ(ShownPart(huge, kMaxShownLines, kMaxShownColumns).size(), kMaxShownColumns);
  std::wstring manyLines;
  for (int i = 0; i < 100000; ++i) manyLines += L"line\r\n";
  EXPECT_EQ(ShownPart(manyLines, kMaxShownLines, kMaxShownColumns).size(), kMaxShownLines * 6);
}

TEST(ShownPartMarked, EndsACutTextWithTheMarkerOnALineOfItsOwn) {
  EXPECT_EQ(ShownPartMarked(L"short\r\n", 2, 10, L"[cut]"), L"short\r\n");
  EXPECT_EQ(ShownPartMarked(L"abcdef", 1, 3, L"[cut]"), L"abc\r\n[cut]");
  EXPECT_EQ(ShownPartMarked(L"a\nb\nc", 2, 3, L"[cut]"), L"a\nb\n[cut]");
  // The current-content box: a one-line copy of megabytes shows its beginning, marked.
  const std::wstring huge(10'000'000, L'x');
  const std::wstring shown = main_window::CurrentContentShown(huge);
  EXPECT_EQ(shown.substr(0, 100), huge.substr(0, 100));
  EXPECT_LT(shown.size(), 2000u);
  EXPECT_EQ(shown.substr(shown.size() - main_window::kCutMarker.size()), main_window::kCutMarker);
}

}  // namespace
}  // namespace rtrillex
