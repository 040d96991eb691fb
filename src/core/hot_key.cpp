#include "hot_key.h"

#include "number_text.h"
#include "typed_text.h"

#include <vector>

namespace rtrillex {
namespace {

struct KeyName {
  std::wstring_view name;
  unsigned code;
};

// Where a code has two names, the first is the one written.
constexpr KeyName kModifiers[] = {
    {L"Ctrl", key::kControl}, {L"Control", key::kControl}, {L"Alt", key::kAlt},
    {L"Shift", key::kShift},  {L"Win", key::kWin},
};

constexpr KeyName kNamedKeys[] = {
    {L"Space", key::kSpace},
    {L"Insert", key::kInsert},     {L"Ins", key::kInsert},
    {L"Delete", key::kDelete},     {L"Del", key::kDelete},
    {L"Home", key::kHome},         {L"End", key::kEnd},
    {L"PageUp", key::kPageUp},     {L"PgUp", key::kPageUp},
    {L"PageDown", key::kPageDown}, {L"PgDn", key::kPageDown},
    {L"Left", key::kLeft},         {L"Up", key::kUp},
    {L"Right", key::kRight},       {L"Down", key::kDown},
};

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
bool IsFunctionKey(unsigned code) { return code >= key::kF1 && code <= key::kF24; }
wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool SameName(std::wstring_view typed, std::wstring_view name) {
  if (typed.size() != name.size()) return false;
  for (std::size_t i = 0; i < typed.size(); ++i)
    if (Upper(typed[i]) != Upper(name[i])) return false;
  return true;
}

template <std::size_t N>
std::optional<unsigned> CodeNamed(const KeyName (&names)[N], std::wstring_view typed) {
  for (const KeyName& known : names)
    if (SameName(typed, known.name)) return known.code;
  return std::nullopt;
}

// "F1" to "F24", without leading zeros.
std::optional<unsigned> FunctionKeyCode(std::wstring_view typed) {
  if (typed.size() < 2 || typed.size() > 3 || Upper(typed[0]) != L'F' || typed[1] == L'0') return std::nullopt;
  unsigned number = 0;
  for (wchar_t c : typed.substr(1)) {
    if (!IsDigit(c)) return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - L'0');
  }
  if (number > key::kF24 - key::kF1 + 1) return std::nullopt;
  return key::kF1 + number - 1;
}

std::optional<unsigned> KeyCode(std::wstring_view typed) {
  if (typed.size() == 1 && (IsLetter(typed[0]) || IsDigit(typed[0]))) return Upper(typed[0]);
  if (const std::optional<unsigned> function = FunctionKeyCode(typed)) return function;
  return CodeNamed(kNamedKeys, typed);
}

std::wstring KeyText(unsigned code) {
  const bool letterOrDigit = (code >= L'A' && code <= L'Z') || (code >= L'0' && code <= L'9');
  if (letterOrDigit) return std::wstring(1, static_cast<wchar_t>(code));
  if (IsFunctionKey(code)) return L"F" + std::to_wstring(code - key::kF1 + 1);
  for (const KeyName& known : kNamedKeys)
    if (known.code == code) return std::wstring(known.name);
  return std::wstring();
}

// A key that types or moves the caret, held with nothing but Shift, would
// be taken from every program.
bool LeavesTypingAlone(HotKey hotKey) {
  return IsFunctionKey(hotKey.virtualKey) || (hotKey.modifiers & (key::kControl | key::kAlt | key::kWin)) != 0;
}

std::vector<std::wstring_view> TrimmedParts(std::wstring_view text) {
  std::vector<std::wstring_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t plus = text.find(L'+', start);
    parts.push_back(TrimBlanks(text.substr(start, plus - start)));
    if (plus == std::wstring_view::npos) return parts;
    start = plus + 1;
  }
}

}  // namespace

std::optional<HotKey> ParseHotKey(std::wstring_view typed) {
  std::wstring text(typed);
  for (wchar_t& c : text) c = AsciiFormOf(c);
  const std::vector<std::wstring_view> parts = TrimmedParts(text);

  HotKey hotKey = {0, 0};
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    const std::optional<unsigned> modifier = CodeNamed(kModifiers, parts[i]);
    if (!modifier || (hotKey.modifiers & *modifier) != 0) return std::nullopt;
    hotKey.modifiers |= *modifier;
  }
  const std::optional<unsigned> code = KeyCode(parts.back());
  if (!code) return std::nullopt;
  hotKey.virtualKey = *code;
  if (!LeavesTypingAlone(hotKey)) return std::nullopt;
  return hotKey;
}

std::optional<HotKey> HistoryHotKeyFromSetting(const std::optional<std::wstring>& stored) {
  if (!stored) return kDefaultHistoryHotKey;
  return ParseHotKey(*stored);
}

bool PasteChoiceFromSetting(const std::optional<std::wstring>& stored) {
  if (!stored) return true;
  const std::optional<std::int16_t> value = TextToInt16(*stored);
  return !value || *value != 0;
}

std::wstring HotKeyText(HotKey hotKey) {
  std::wstring text;
  unsigned written = 0;
  for (const KeyName& modifier : kModifiers) {
    if ((hotKey.modifiers & modifier.code) == 0 || (written & modifier.code) != 0) continue;
    text += modifier.name;
    text += L'+';
    written |= modifier.code;
  }
  return text + KeyText(hotKey.virtualKey);
}

}  // namespace rtrillex
