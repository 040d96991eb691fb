#include "text_excerpt.h"

#include <algorithm>

namespace rtrillex {
namespace {

bool IsLineBreak(wchar_t c) { return c == L'\r' || c == L'\n'; }
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::wstring ShownPart(std::wstring_view text, std::size_t maxLines, std::size_t maxColumns) {
  // Reads no further than the shown lines and their breaks could reach: a
  // line of megabytes is not read to its end to find the one after it,
  // which then is not shown.
  const std::size_t readable = std::min(text.size(), maxLines * (maxColumns + 2));
  std::wstring shown;
  std::size_t pos = 0;
  for (std::size_t line = 0; line < maxLines && pos < text.size(); ++line) {
    std::size_t end = pos;
    while (end < readable && !IsLineBreak(text[end])) ++end;
    shown += Beginning(text.substr(pos, end - pos), maxColumns);
    pos = end;
    if (pos < text.size() && !IsLineBreak(text[pos])) break;  // the line goes on past what is read
    // Keep the line's own break: CR LF, LF or CR.
    if (pos < text.size() && text[pos] == L'\r') shown += text[pos++];
    if (pos < text.size() && text[pos] == L'\n') shown += text[pos++];
  }
  return shown;
}

std::wstring_view Beginning(std::wstring_view text, std::size_t maxChars) {
  if (text.size() <= maxChars) return text;
  std::size_t cut = maxChars;
  if (cut > 0 && IsHighSurrogate(text[cut - 1])) --cut;
  return text.substr(0, cut);
}

std::wstring ShownPartMarked(std::wstring_view text, std::size_t maxLines, std::size_t maxColumns,
                             std::wstring_view marker) {
  std::wstring shown = ShownPart(text, maxLines, maxColumns);
  if (shown.size() == text.size()) return shown;
  if (!shown.empty() && shown.back() != L'\n' && shown.back() != L'\r') shown += L"\r\n";
  shown += marker;
  return shown;
}

}  // namespace rtrillex
