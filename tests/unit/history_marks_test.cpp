#include "history_marks.h"

#include "clipboard_change.h"

#include <gtest/gtest.h>

namespace rtrillex {
namespace {

const std::wstring kStamp = L"12:34:56\t";
// An emoji as Windows holds it: a surrogate pair.
const std::wstring kEmoji = {wchar_t(0xD83D), wchar_t(0xDE00)};

ShownRun Text(std::wstring text) { return {std::move(text), false}; }
ShownRun Mark(std::wstring text) { return {std::move(text), true}; }
std::wstring MenuLabel(std::size_t position, std::wstring_view entry) {
  return JoinedText(MenuLabelRuns(position, entry));
}

TEST(HistoryLineRuns, MarksEachBreakAndTabOfTheEntryButNotTheStampsTab) {
  EXPECT_EQ(HistoryLineRuns(kStamp + L"one\r\ntwo\rthree\nfour\tfive"),
            (ShownRuns{Text(kStamp + L"one"), Mark(L"↓"), Text(L"two"), Mark(L"↓"), Text(L"three"), Mark(L"↓"),
                       Text(L"four"), Mark(L"→"), Text(L"five")}));
  // Breaks in a row are one run; LF CR and CR CR LF are two breaks each.
  EXPECT_EQ(HistoryLineRuns(kStamp + L"\r\n\r\n\t"), (ShownRuns{Text(kStamp), Mark(L"↓↓→")}));
  EXPECT_EQ(JoinedText(HistoryLineRuns(kStamp + L"a\n\rb\r\r\nc")), kStamp + L"a↓↓b↓↓c");
}

TEST(HistoryLineRuns, LeavesTextWithoutBreaksAsStored) {
  const std::vector<std::wstring> entries = {L"", L"plain", L"Tom & Jerry", L"[画像COPY]", L"＆ ☆ " + kEmoji};
  for (const std::wstring& entry : entries)
    EXPECT_EQ(HistoryLineRuns(kStamp + entry), (ShownRuns{Text(kStamp + entry)}));
}

TEST(HistoryLineRuns, DrawsABoundedBeginningOfAHugeLine) {
  const std::wstring huge = kStamp + std::wstring(10'000'000, L'x');
  EXPECT_EQ(JoinedText(HistoryLineRuns(huge)), huge.substr(0, kHistoryLineDrawnChars));

  std::wstring manyBreaks = kStamp;
  for (int i = 0; i < 1'000'000; ++i) manyBreaks += L"a\r\n\t";
  const ShownRuns runs = HistoryLineRuns(manyBreaks);
  EXPECT_EQ(JoinedText(runs).size(), kHistoryLineDrawnChars);
  EXPECT_LE(runs.size(), kHistoryLineDrawnChars);
}

TEST(HistoryLineRuns, CountsACrLfAsOneShownCharacterAndKeepsSurrogatePairsWhole) {
  const std::size_t room = kHistoryLineDrawnChars - kStamp.size();
  std::wstring breaks;
  for (std::size_t i = 0; i < room - 2; ++i) breaks += L"\r\n";
  // The pair fills the last two places exactly.
  EXPECT_EQ(JoinedText(HistoryLineRuns(kStamp + breaks + kEmoji + L"z")),
            kStamp + std::wstring(room - 2, kLineBreakMark) + kEmoji);
  // One break more, and the pair no longer fits: it is left out whole.
  EXPECT_EQ(JoinedText(HistoryLineRuns(kStamp + breaks + L"\r\n" + kEmoji)),
            kStamp + std::wstring(room - 1, kLineBreakMark));
}

TEST(MenuLabel, NumbersTheFirstTenOneToNineThenZero) {
  EXPECT_EQ(MenuLabel(0, L"a"), L"&1 a");
  EXPECT_EQ(MenuLabel(8, L"a"), L"&9 a");
  EXPECT_EQ(MenuLabel(9, L"a"), L"&0 a");
  EXPECT_EQ(MenuLabel(10, L"a"), L"a");
  EXPECT_EQ(MenuLabel(19, L"a"), L"a");
}

TEST(MenuLabel, MarksBreaksAndDoublesAmpersands) {
  EXPECT_EQ(MenuLabelRuns(0, L"Tom & Jerry\r\n\tsaid &"),
            (ShownRuns{Text(L"&1 Tom && Jerry"), Mark(L"↓→"), Text(L"said &&")}));
  for (std::wstring_view tag : {kImageTag, kTextAndImageTag, kRichTextTag})
    EXPECT_EQ(MenuLabel(2, tag), L"&3 " + std::wstring(tag));
}

TEST(MenuLabel, CutsAtFiftyShownCharactersWithAnEllipsis) {
  const std::wstring fifty(kMenuLabelChars, L'x');
  EXPECT_EQ(MenuLabelRuns(10, fifty), (ShownRuns{Text(fifty)}));
  EXPECT_EQ(MenuLabelRuns(10, fifty + L"y"), (ShownRuns{Text(fifty), Mark(L"…")}));
  // What is counted is what shows: one '&', one mark for CR LF.
  EXPECT_EQ(MenuLabel(10, std::wstring(kMenuLabelChars, L'&')), std::wstring(2 * kMenuLabelChars, L'&'));
  EXPECT_EQ(MenuLabel(10, fifty.substr(1) + L"\r\n"), fifty.substr(1) + L"↓");
  // A surrogate pair that does not fit is left out whole.
  EXPECT_EQ(MenuLabel(10, fifty.substr(2) + kEmoji), fifty.substr(2) + kEmoji);
  EXPECT_EQ(MenuLabel(10, fifty.substr(1) + kEmoji), fifty.substr(1) + L"…");
  EXPECT_EQ(MenuLabel(0, std::wstring(10'000'000, L'x')).size(), 3 + kMenuLabelChars + 1);
}

TEST(MenuLabel, ShowsAnEmptyEntryAsANote) {
  EXPECT_EQ(MenuLabelRuns(0, L""), (ShownRuns{Text(L"&1 "), Mark(std::wstring(kEmptyEntryNote))}));
}

TEST(EarlierDayMark, DatesOnlyLinesOfAnEarlierDayInTheMenuAndTheSearch) {
  const CalendarDate today{2026, 12, 8};
  EXPECT_EQ(EarlierDayMark(ToLocalSeconds(today, {0, 0, 0}), today), L"");
  EXPECT_EQ(EarlierDayMark(ToLocalSeconds({2026, 12, 7}, {23, 59, 59}), today), L"2026/12/07");
  EXPECT_EQ(EarlierDayMark(0, today), L"");  // no known date
  EXPECT_EQ(MenuLabelRuns(0, L"a&b", L"2026/12/07"), (ShownRuns{Text(L"&1 "), Mark(L"2026/12/07 "), Text(L"a&&b")}));
  EXPECT_EQ(JoinedText(HistoryLineRuns(kStamp + L"x", L"2026/12/07")), L"2026/12/07 " + kStamp + L"x");
}

}  // namespace
}  // namespace rtrillex
