#include "number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace rtrillex {
namespace {

TEST(TextToInt16, RoundsHalvesToEven) {
  EXPECT_EQ(TextToInt16(L"2.5"), 2);
  EXPECT_EQ(TextToInt16(L"3.5"), 4);
  EXPECT_EQ(TextToInt16(L"0.5"), 0);
  EXPECT_EQ(TextToInt16(L"1.5"), 2);
  EXPECT_EQ(TextToInt16(L"-2.5"), -2);
  EXPECT_EQ(TextToInt16(L"-3.5"), -4);
  EXPECT_EQ(TextToInt16(L"2.4999"), 2);
  EXPECT_EQ(TextToInt16(L"2.5001"), 3);
}

TEST(TextToInt16, AcceptsBlanksSignsFractionsAndExponents) {
  EXPECT_EQ(TextToInt16(L"60"), 60);
  EXPECT_EQ(TextToInt16(L"  7 "), 7);
  EXPECT_EQ(TextToInt16(L"\t7"), 7);
  EXPECT_EQ(TextToInt16(L"+12"), 12);
  EXPECT_EQ(TextToInt16(L"-12"), -12);
  EXPECT_EQ(TextToInt16(L"007"), 7);
  EXPECT_EQ(TextToInt16(L".9"), 1);
  EXPECT_EQ(TextToInt16(L"9."), 9);
  EXPECT_EQ(TextToInt16(L"1e2"), 100);
  EXPECT_EQ(TextToInt16(L"25E-1"), 2);
}

TEST(TextToInt16, RejectsTextThatIsNoNumber) {
  for (const wchar_t* text : {L"", L"   ", L"abc", L"1a", L"a1", L"1 2", L"-", L".", L"1e", L"--1", L"1,5", L"0x10", L"inf", L"nan"})
    EXPECT_FALSE(TextToInt16(text).has_value()) << "accepted \"" << testing::PrintToString(std::wstring(text)) << '"';
}

TEST(TextToInt16, ReadsWhatTheJapaneseInputMethodTypes) {
  // Full-width digits, sign, point and blanks stand for their ASCII forms.
  EXPECT_EQ(TextToInt16(L"６０"), 60);
  EXPECT_EQ(TextToInt16(L"\u3000１\u3000"), 1);
  EXPECT_EQ(TextToInt16(L"－２．５"), -2);
  EXPECT_EQ(TextToInt16(L"＋３．５"), 4);
  EXPECT_EQ(TextToInt16(L"１ｅ２"), 100);
  EXPECT_EQ(TextToSingle(L"０．３"), 0.3f);
  EXPECT_TRUE(TextEqualsOne(L"１"));
  for (const wchar_t* text : {L"１，５", L"一", L"３秒", L"１　２"})
    EXPECT_FALSE(TextToInt16(text).has_value()) << testing::PrintToString(std::wstring(text));
}

TEST(TextToInt16, RejectsValuesOutsideSixteenBits) {
  EXPECT_EQ(TextToInt16(L"32767"), 32767);
  EXPECT_EQ(TextToInt16(L"-32768"), -32768);
  EXPECT_EQ(TextToInt16(L"32767.5"), std::nullopt);  // rounds to 32768
  EXPECT_EQ(TextToInt16(L"32768"), std::nullopt);
  EXPECT_EQ(TextToInt16(L"-32769"), std::nullopt);
  EXPECT_EQ(TextToInt16(L"1e300"), std::nullopt);
}

TEST(TextToSingle, ReadsSinglePrecision) {
  EXPECT_EQ(TextToSingle(L"1"), 1.0f);
  EXPECT_EQ(TextToSingle(L" 0.3 "), 0.3f);
  EXPECT_EQ(TextToSingle(L"-0.15"), -0.15f);
  // Ten times the single-precision value of "0.3" is exactly three tenths' count.
  EXPECT_EQ(*TextToSingle(L"0.3") * 10.0f, 3.0f);
  EXPECT_EQ(TextToSingle(L""), std::nullopt);
  EXPECT_EQ(TextToSingle(L"one"), std::nullopt);
  EXPECT_EQ(TextToSingle(L"1e39"), std::nullopt);  // beyond single precision
}

TEST(TextEqualsOne, ComparesAsNumbers) {
  for (const wchar_t* on : {L"1", L"01", L"1.0", L" 1 ", L"+1", L"1e0", L"10e-1"})
    EXPECT_TRUE(TextEqualsOne(on)) << testing::PrintToString(std::wstring(on));
  for (const wchar_t* off : {L"0", L"2", L"-1", L"0.5", L"1.5", L"", L"yes", L"1x", L"one"})
    EXPECT_FALSE(TextEqualsOne(off)) << testing::PrintToString(std::wstring(off));
}

TEST(IntToText, WritesPlainDecimal) {
  EXPECT_EQ(IntToText(0), L"0");
  EXPECT_EQ(IntToText(60), L"60");
  EXPECT_EQ(IntToText(-5), L"-5");
}

}  // namespace
}  // namespace rtrillex
