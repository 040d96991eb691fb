// The kept texts are UTF-8 in the file, whatever wchar_t is: UTF-16 on
// Windows, UTF-32 elsewhere (where the store is tested). A clipboard text is
// any run of UTF-16 units, so a lone surrogate (half of a pair cut off by the
// program that copied it) is written as its own three bytes, as if it were a
// character, and read back as itself: the text comes back exactly as copied.
#pragma once

#include <string>
#include <string_view>

namespace rtrillex {

std::string ToUtf8(std::wstring_view text);

// A malformed sequence becomes U+FFFD; an encoded lone surrogate becomes itself.
std::wstring FromUtf8(std::string_view utf8);

}  // namespace rtrillex
