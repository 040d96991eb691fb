// The system-wide key combination that opens the menu of recent copies,
// read from Setting.ini ([HotKey] History=Ctrl+Alt+V) and written as text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rtrillex {

// The modifier bits and virtual-key codes have Win32's values (MOD_ALT,
// MOD_CONTROL, MOD_SHIFT, MOD_WIN and VK_* in WinUser.h): the window side
// passes them to RegisterHotKey unchanged.
namespace key {
inline constexpr unsigned kAlt = 0x1;
inline constexpr unsigned kControl = 0x2;
inline constexpr unsigned kShift = 0x4;
inline constexpr unsigned kWin = 0x8;

// 'A'-'Z' and '0'-'9' are their own ASCII codes.
inline constexpr unsigned kF1 = 0x70;
inline constexpr unsigned kF24 = 0x87;
inline constexpr unsigned kSpace = 0x20;
inline constexpr unsigned kPageUp = 0x21;    // VK_PRIOR
inline constexpr unsigned kPageDown = 0x22;  // VK_NEXT
inline constexpr unsigned kEnd = 0x23;
inline constexpr unsigned kHome = 0x24;
inline constexpr unsigned kLeft = 0x25;
inline constexpr unsigned kUp = 0x26;
inline constexpr unsigned kRight = 0x27;
inline constexpr unsigned kDown = 0x28;
inline constexpr unsigned kInsert = 0x2D;
inline constexpr unsigned kDelete = 0x2E;
}  // namespace key

struct HotKey {
  unsigned modifiers;   // key::kAlt | key::kControl | ...
  unsigned virtualKey;  // 'V', key::kF12, ...
  bool operator==(const HotKey& other) const {
    return modifiers == other.modifiers && virtualKey == other.virtualKey;
  }
};

inline constexpr HotKey kDefaultHistoryHotKey = {key::kControl | key::kAlt, 'V'};

// The combination a text names, or std::nullopt for none: an empty text (or
// blanks only) and a text that cannot be read alike.
//
// Modifiers (Ctrl or Control, Alt, Shift, Win) come in any order, then
// exactly one key (A-Z, 0-9, F1-F24, Space, Insert or Ins, Delete or Del,
// Home, End, PageUp or PgUp, PageDown or PgDn, Left, Up, Right, Down),
// joined by '+', in any case, with blanks around the parts; full-width forms
// count as ASCII. A modifier named twice, a second key, or a key other than
// F1-F24 without Ctrl, Alt or Win (it would take that key from typing in
// every program) makes the text unreadable.
std::optional<HotKey> ParseHotKey(std::wstring_view text);

// The History key's combination from its stored value: an absent key means
// the default, anything else is read by ParseHotKey.
std::optional<HotKey> HistoryHotKeyFromSetting(const std::optional<std::wstring>& stored);

// Whether an entry chosen from the menu of recent copies is also pasted
// where the person was typing: yes unless the stored value is the number 0.
bool PasteChoiceFromSetting(const std::optional<std::wstring>& stored);

// A combination ParseHotKey gives, as it reads it back: modifiers in the
// order Ctrl, Alt, Shift, Win, then the key ("Ctrl+Alt+V", "Shift+F12").
std::wstring HotKeyText(HotKey hotKey);

}  // namespace rtrillex
