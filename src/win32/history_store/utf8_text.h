// The kept texts are UTF-8 in the file, whatever wchar_t is: UTF-16 on
// Windows, UTF-32 elsewhere (where the store is tested).
#pragma once

#include <string>
#include <string_view>

namespace rtrillex {

// A lone surrogate, which a clipboard text can hold, becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// A malformed sequence becomes U+FFFD.
std::wstring FromUtf8(std::string_view utf8);

}  // namespace rtrillex
