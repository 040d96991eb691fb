// Conversions between the text that users type or that the settings file
// holds and the numbers the program computes with. Text that is no number,
// or a number out of range, gives std::nullopt: callers decide what that means.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rtrillex {

// A decimal number with optional blanks around it, an optional sign,
// digits with an optional '.' fraction and an optional exponent ("1.5e2").
// The full-width forms that a Japanese input method types ("０．５", "－１",
// the ideographic space) count as their ASCII forms.
std::optional<double> ParseDecimal(std::wstring_view text);

// Rounds to the nearest integer, a tie going to the even neighbour (2.5 -> 2).
double RoundHalfEven(double value);

// The text as a 16-bit integer, rounded halves to even ("2.5" -> 2, "3.5" -> 4).
std::optional<std::int16_t> TextToInt16(std::wstring_view text);

// The text as a single-precision number.
std::optional<float> TextToSingle(std::wstring_view text);

// True when the text, read as a decimal number, equals 1 ("1", "01", "1.0", " 1 ").
bool TextEqualsOne(std::wstring_view text);

std::wstring IntToText(long long value);

// Plain ASCII digits only, at most `mostDigits` of them, as the settings
// that count things are written; nothing else reads as a number.
std::optional<std::uint64_t> DigitsValue(std::wstring_view text, std::size_t mostDigits);

}  // namespace rtrillex
