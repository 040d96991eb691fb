// How the history list and the menu of recent copies show an entry: each
// line break (CR LF, CR or LF) and each tab as a visible mark in a colour of
// its own. Only what is drawn changes; the stored line stays byte for byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "local_time.h"

namespace rtrillex {

// In code page 932, so that every font the program uses has it.
inline constexpr wchar_t kLineBreakMark = L'\u2193';  // ↓
inline constexpr wchar_t kTabMark = L'\u2192';        // →
inline constexpr wchar_t kCutMark = L'\u2026';        // …

// A piece of shown text. Neighbouring runs differ in `isMark`; mark runs hold
// what is not the entry's own text (the marks, "…", the empty entry's note)
// and are drawn in the marks' colour, the others in the text colour.
struct ShownRun {
  std::wstring text;
  bool isMark;
  bool operator==(const ShownRun& other) const { return text == other.text && isMark == other.isMark; }
};
using ShownRuns = std::vector<ShownRun>;

std::wstring JoinedText(const ShownRuns& runs);

// At most this many characters of a history line are drawn: more never fits
// the list's width, and a line can hold megabytes.
inline constexpr std::size_t kHistoryLineDrawnChars = 1024;

// The history line as the list draws it: its beginning of at most
// kHistoryLineDrawnChars shown characters, the time stamp and its TAB as
// they are (the list aligns on that TAB), the entry's breaks and tabs as
// marks. Reads only that beginning of the line.
// `date`, if not empty, goes before the time stamp (a line of an earlier day).
ShownRuns HistoryLineRuns(std::wstring_view historyLine, std::wstring_view date = {});

inline constexpr std::size_t kMenuMostEntries = 20;
inline constexpr std::size_t kMenuLabelChars = 50;
inline constexpr std::wstring_view kNoHistoryItem = L"（履歴はありません）";
inline constexpr std::wstring_view kEmptyEntryNote = L"（空のテキスト）";

// The menu item for an entry at `position` in the menu (0 for the newest):
// "&1 " to "&9 " and "&0 " before the first ten so that a digit picks one,
// nothing before the others; then the entry's beginning of at most
// kMenuLabelChars shown characters with its breaks and tabs marked, and "…"
// when cut. Each '&' of the entry is doubled so that only the digit is an
// accelerator. `entry` is read in place, as far as the label goes.
// `date`, if not empty, goes between the number and the entry, as a mark.
ShownRuns MenuLabelRuns(std::size_t position, std::wstring_view entry, std::wstring_view date = {});
// Its two parts, for an item that draws something between them (a picture's
// thumbnail): the number, and the rest.
ShownRuns MenuNumberRuns(std::size_t position);
// A fixed phrase's item: its access key (none for 0), then its label.
ShownRuns MenuPhraseRuns(wchar_t accessKey, std::wstring_view label);
ShownRuns MenuEntryRuns(std::wstring_view entry, std::wstring_view date = {});

// The date shown beside a line copied on an earlier day than `today`
// ("yyyy/mm/dd"); empty for today's lines and lines of no known date.
std::wstring EarlierDayMark(LocalSeconds copiedAt, CalendarDate today);

}  // namespace rtrillex
