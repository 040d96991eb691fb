// What the text popup "rGlimmet" looks like: a borderless light-blue box
// with one self-sizing label in its top-left corner.
#pragma once

#include <cstddef>
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
// dozen characters. The label gets at most this much of it (ShownPart).
inline constexpr std::size_t kMaxShownLines = 16;
inline constexpr std::size_t kMaxShownColumns = 256;

}  // namespace rtrillex::popup_window
