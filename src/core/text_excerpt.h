// The beginning of a long text, for the small windows that show copied
// text: a few lines of a few dozen characters cost nothing to lay out,
// where a copy of megabytes would hold the program up.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rtrillex {

// The first `maxLines` lines of `text`, each cut to `maxColumns` characters
// (never inside a surrogate pair), with the line breaks kept as they were.
// Reads at most `maxLines` * (`maxColumns` + 2) characters: a line that
// goes on past them is the last one shown.
std::wstring ShownPart(std::wstring_view text, std::size_t maxLines, std::size_t maxColumns);

// At most the first `maxChars` characters, never ending inside a surrogate pair.
std::wstring_view Beginning(std::wstring_view text, std::size_t maxChars);

// ShownPart, followed by a line holding `marker` when anything was left out.
std::wstring ShownPartMarked(std::wstring_view text, std::size_t maxLines, std::size_t maxColumns,
                             std::wstring_view marker);

}  // namespace rtrillex
