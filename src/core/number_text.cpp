#include "number_text.h"

#include "typed_text.h"

#include <cmath>
#include <limits>

namespace rtrillex {
namespace {

// Only what a number is made of is translated; any other full-width
// character stays as it is and makes the text no number.
wchar_t AsciiForm(wchar_t c) {
  const wchar_t ascii = AsciiFormOf(c);
  const bool numberPart = IsBlank(ascii) || IsDigit(ascii) || ascii == L'+' || ascii == L'-' || ascii == L'.' ||
                          ascii == L'e' || ascii == L'E';
  return numberPart ? ascii : c;
}

std::wstring AsciiForms(std::wstring_view text) {
  std::wstring ascii(text);
  for (wchar_t& c : ascii) c = AsciiForm(c);
  return ascii;
}

// Copies the longest run of digits at `pos` into `out`; returns how many.
std::size_t TakeDigits(std::wstring_view text, std::size_t& pos, std::string& out) {
  std::size_t count = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    out += static_cast<char>(text[pos++]);
    ++count;
  }
  return count;
}

}  // namespace

std::optional<double> ParseDecimal(std::wstring_view typed) {
  const std::wstring normalised = AsciiForms(typed);
  const std::wstring_view text = TrimBlanks(normalised);
  std::string ascii;  // the accepted characters, for strtod
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) ascii += static_cast<char>(text[pos++]);

  std::size_t digits = TakeDigits(text, pos, ascii);
  if (pos < text.size() && text[pos] == L'.') {
    ascii += '.';
    ++pos;
    digits += TakeDigits(text, pos, ascii);
  }
  if (digits == 0) return std::nullopt;

  if (pos < text.size() && (text[pos] == L'e' || text[pos] == L'E')) {
    ascii += 'e';
    ++pos;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) ascii += static_cast<char>(text[pos++]);
    if (TakeDigits(text, pos, ascii) == 0) return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;

  const double value = std::strtod(ascii.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction < 0.5) return floor;
  if (fraction > 0.5) return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::optional<std::int16_t> TextToInt16(std::wstring_view text) {
  const std::optional<double> value = ParseDecimal(text);
  if (!value) return std::nullopt;
  const double rounded = RoundHalfEven(*value);
  if (rounded < std::numeric_limits<std::int16_t>::min() || rounded > std::numeric_limits<std::int16_t>::max())
    return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

std::optional<float> TextToSingle(std::wstring_view text) {
  const std::optional<double> value = ParseDecimal(text);
  if (!value || std::fabs(*value) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(*value);
}

bool TextEqualsOne(std::wstring_view text) {
  const std::optional<double> value = ParseDecimal(text);
  return value && *value == 1.0;
}

std::wstring IntToText(long long value) { return std::to_wstring(value); }

std::optional<std::uint64_t> DigitsValue(std::wstring_view text, std::size_t mostDigits) {
  if (text.empty() || text.size() > mostDigits) return std::nullopt;
  std::uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return value;
}

}  // namespace rtrillex
