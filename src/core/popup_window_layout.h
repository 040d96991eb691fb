// What the text popup "rGlimmet" looks like: a borderless light-blue box
// with one self-sizing label in its top-left corner.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "units.h"

namespace rtrillex::popup_window {

inline constexpr std::wstring_view kWindowText = L"rGlimmet";
inline constexpr int kWidthTwips = 1845;
inline constexpr int kHeightTwips = 600;
inline constexpr std::wstring_view kInitialCaption = L"☆";
inline constexpr Colour kBackground = Rgb(192, 192, 255);
inline constexpr Colour kText = Rgb(0, 0, 255);
inline constexpr int kLabelId = 1;

// The popup shows only the top-left corner of a text: a few lines of a few
// dozen characters. The label gets at most this much of it, so that a copy
// of megabytes costs no more to show than one of a few lines.
inline constexpr std::size_t kMaxShownLines = 16;
inline constexpr std::size_t kMaxShownColumns = 256;

// The first `maxLines` lines of `text`, each cut to `maxColumns` characters
// (never inside a surrogate pair), with the line breaks kept as they were.
std::wstring ShownPart(std::wstring_view text, std::size_t maxLines = kMaxShownLines,
                       std::size_t maxColumns = kMaxShownColumns);

}  // namespace rtrillex::popup_window
