#include "hot_key.h"

#include <gtest/gtest.h>

namespace rtrillex {
namespace {

// Expected values spelled in Win32's numbers (MOD_ALT 1, MOD_CONTROL 2,
// MOD_SHIFT 4, MOD_WIN 8, VK_F1 0x70...), as RegisterHotKey takes them.
struct ReadableText {
  const wchar_t* text;
  HotKey hotKey;
};

const ReadableText kReadable[] = {
    {L"Ctrl+Alt+V", {0x2 | 0x1, 0x56}},
    {L"Alt+Shift+H", {0x1 | 0x4, 0x48}},
    {L"Shift+Alt+H", {0x1 | 0x4, 0x48}},
    {L"Ctrl+Shift+F12", {0x2 | 0x4, 0x7B}},
    {L"control + ALT + v", {0x2 | 0x1, 0x56}},
    {L"  Win+1\t", {0x8, 0x31}},
    {L"Ctrl+Alt+0", {0x2 | 0x1, 0x30}},
    {L"Ctrl+F", {0x2, 0x46}},
    {L"F1", {0, 0x70}},
    {L"Shift+F24", {0x4, 0x87}},
    {L"Alt+Space", {0x1, 0x20}},
    {L"Win+Del", {0x8, 0x2E}},
    {L"Ctrl+Alt+PgDn", {0x2 | 0x1, 0x22}},
    {L"Ctrl+Win+Left", {0x2 | 0x8, 0x25}},
    {L"Ｃｔｒｌ＋Ａｌｔ＋Ｖ", {0x2 | 0x1, 0x56}},
    {L"ｃｔｒｌ\u3000＋\u3000ｈ", {0x2, 0x48}},
};

TEST(ParseHotKey, ReadsModifiersInAnyOrderThenOneKey) {
  for (const ReadableText& readable : kReadable) {
    const std::optional<HotKey> read = ParseHotKey(readable.text);
    ASSERT_TRUE(read.has_value()) << testing::PrintToString(std::wstring(readable.text));
    EXPECT_EQ(read->modifiers, readable.hotKey.modifiers) << testing::PrintToString(std::wstring(readable.text));
    EXPECT_EQ(read->virtualKey, readable.hotKey.virtualKey) << testing::PrintToString(std::wstring(readable.text));
  }
}

TEST(ParseHotKey, RefusesKeysTakenFromTypingAndTextsItCannotRead) {
  for (const wchar_t* text : {
           // A key that types or edits, alone or with Shift only.
           L"V", L"Shift+V", L"7", L"Shift+Space", L"Shift+Insert", L"Delete", L"Home",
           // Not one combination.
           L"Ctrl+Ctrl+V", L"Ctrl+Control+V", L"Ctrl+V+B", L"V+Ctrl", L"Ctrl+Alt", L"Ctrl+", L"+V", L"Ctrl++V",
           L"Ctrl-Alt-V", L"Ctrl Alt V",
           // Keys this program does not name.
           L"Ctrl+VV", L"Ctrl+F0", L"Ctrl+F25", L"Ctrl+F01", L"Ctrl+あ", L"Ctrl+\u00C4", L"Strg+V", L"Ctrl+Enter"})
    EXPECT_EQ(ParseHotKey(text), std::nullopt) << testing::PrintToString(std::wstring(text));
}

TEST(HistoryHotKeyFromSetting, AbsentMeansCtrlAltVAndEmptyMeansOff) {
  const std::optional<HotKey> absent = HistoryHotKeyFromSetting(std::nullopt);
  ASSERT_TRUE(absent.has_value());
  EXPECT_EQ(absent->modifiers, 0x2u | 0x1u);
  EXPECT_EQ(absent->virtualKey, 0x56u);

  for (const wchar_t* off : {L"", L"   ", L"\t", L"\u3000", L"unreadable"})
    EXPECT_EQ(HistoryHotKeyFromSetting(off), std::nullopt) << testing::PrintToString(std::wstring(off));
  EXPECT_EQ(HistoryHotKeyFromSetting(L"Alt+Shift+H"), (HotKey{0x1 | 0x4, 0x48}));
}

TEST(PasteChoiceFromSetting, OnlyTheNumberZeroTurnsThePasteOff) {
  EXPECT_TRUE(PasteChoiceFromSetting(std::nullopt));
  for (const wchar_t* on : {L"1", L"", L"yes", L"2"})
    EXPECT_TRUE(PasteChoiceFromSetting(on)) << testing::PrintToString(std::wstring(on));
  for (const wchar_t* off : {L"0", L" 0 ", L"０"})
    EXPECT_FALSE(PasteChoiceFromSetting(off)) << testing::PrintToString(std::wstring(off));
}

TEST(HotKeyText, WritesModifiersInOneOrderAndTheKeysName) {
  EXPECT_EQ(HotKeyText(kDefaultHistoryHotKey), L"Ctrl+Alt+V");
  EXPECT_EQ(HotKeyText(*ParseHotKey(L"shift+alt+h")), L"Alt+Shift+H");
  EXPECT_EQ(HotKeyText(*ParseHotKey(L"Ｓｈｉｆｔ＋Ｃｏｎｔｒｏｌ＋ｆ１２")), L"Ctrl+Shift+F12");
  EXPECT_EQ(HotKeyText(*ParseHotKey(L"Win+Shift+Alt+Ctrl+PgDn")), L"Ctrl+Alt+Shift+Win+PageDown");
  EXPECT_EQ(HotKeyText(*ParseHotKey(L"F1")), L"F1");
}

TEST(HotKeyText, IsReadBackAsTheSameCombinationForEveryKeyNamed) {
  int named = 0;
  for (unsigned code = 0; code <= 0xFF; ++code) {
    const HotKey hotKey = {key::kControl | key::kWin, code};
    const std::optional<HotKey> readBack = ParseHotKey(HotKeyText(hotKey));
    if (!readBack) continue;
    EXPECT_EQ(*readBack, hotKey) << "code " << code;
    ++named;
  }
  EXPECT_EQ(named, 26 + 10 + 24 + 11);  // letters, digits, F1-F24, the named keys
}

}  // namespace
}  // namespace rtrillex
