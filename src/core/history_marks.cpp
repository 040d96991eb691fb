#include "history_marks.h"

#include "clipboard_change.h"
#include "text_excerpt.h"

#include <algorithm>

namespace rtrillex {
namespace {

constexpr std::wstring_view kMarkedChars = L"\r\n\t";
constexpr std::size_t kNumberedEntries = 10;

void Append(ShownRuns& runs, std::wstring_view text, bool isMark) {
  if (text.empty()) return;
  if (!runs.empty() && runs.back().isMark == isMark)
    runs.back().text += text;
  else
    runs.push_back({std::wstring(text), isMark});
}

wchar_t MarkFor(wchar_t c) { return c == L'\t' ? kTabMark : kLineBreakMark; }

// CR LF is one line break, drawn as one mark.
std::size_t MarkedLength(std::wstring_view text) { return text.substr(0, 2) == L"\r\n" ? 2 : 1; }

// Appends the beginning of `text` of at most `maxChars` shown characters,
// reading no further; returns whether that was all of it.
bool AppendMarked(ShownRuns& runs, std::wstring_view text, std::size_t maxChars) {
  for (std::size_t shown = 0; !text.empty() && shown < maxChars;) {
    const std::wstring_view room = Beginning(text, maxChars - shown);
    if (room.empty()) break;  // only a surrogate pair would follow, and it does not fit
    const std::size_t plain = std::min(room.find_first_of(kMarkedChars), room.size());
    if (plain > 0) {
      Append(runs, room.substr(0, plain), false);
      text.remove_prefix(plain);
      shown += plain;
    } else {
      const wchar_t mark = MarkFor(text.front());
      Append(runs, {&mark, 1}, true);
      text.remove_prefix(MarkedLength(text));
      ++shown;
    }
  }
  return text.empty();
}

std::wstring DoubledAmpersands(std::wstring_view text) {
  std::wstring doubled;
  for (wchar_t c : text) {
    if (c == L'&') doubled += L'&';
    doubled += c;
  }
  return doubled;
}

std::wstring AcceleratorPrefix(std::size_t position) {
  const wchar_t digit = static_cast<wchar_t>(L'0' + (position + 1) % 10);
  return {L'&', digit, L' '};
}

}  // namespace

std::wstring JoinedText(const ShownRuns& runs) {
  std::wstring text;
  for (const ShownRun& run : runs) text += run.text;
  return text;
}

ShownRuns HistoryLineRuns(std::wstring_view historyLine, std::wstring_view date) {
  const std::wstring_view entry = EntryIn(historyLine);
  const std::wstring_view timeStamp = historyLine.substr(0, historyLine.size() - entry.size());
  ShownRuns runs;
  if (!date.empty()) Append(runs, std::wstring(date) + L' ', false);
  Append(runs, timeStamp, false);
  AppendMarked(runs, entry, kHistoryLineDrawnChars - timeStamp.size());
  return runs;
}

ShownRuns MenuLabelRuns(std::size_t position, std::wstring_view entry, std::wstring_view date) {
  ShownRuns runs = MenuNumberRuns(position);
  for (ShownRun& run : MenuEntryRuns(entry, date)) Append(runs, std::move(run.text), run.isMark);
  return runs;
}

ShownRuns MenuNumberRuns(std::size_t position) {
  ShownRuns runs;
  if (position < kNumberedEntries) Append(runs, AcceleratorPrefix(position), false);
  return runs;
}

ShownRuns MenuPhraseRuns(wchar_t accessKey, std::wstring_view label) {
  ShownRuns runs;
  if (accessKey) Append(runs, std::wstring{L'&', accessKey, L' '}, false);
  for (ShownRun& run : MenuEntryRuns(label)) Append(runs, std::move(run.text), run.isMark);
  return runs;
}

ShownRuns MenuEntryRuns(std::wstring_view entry, std::wstring_view date) {
  ShownRuns runs;
  if (!date.empty()) Append(runs, std::wstring(date) + L' ', true);
  if (entry.empty()) {
    Append(runs, kEmptyEntryNote, true);
    return runs;
  }
  ShownRuns marked;
  const bool whole = AppendMarked(marked, entry, kMenuLabelChars);
  for (const ShownRun& run : marked) Append(runs, run.isMark ? run.text : DoubledAmpersands(run.text), run.isMark);
  if (!whole) Append(runs, {&kCutMark, 1}, true);
  return runs;
}

std::wstring EarlierDayMark(LocalSeconds copiedAt, CalendarDate today) {
  if (copiedAt == 0) return {};
  const CalendarDate day = DateOf(copiedAt);
  return day == today ? std::wstring() : DateText(day);
}

}  // namespace rtrillex
