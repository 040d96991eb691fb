#include "utf8_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rtrillex {
namespace {

struct Encoded {
  std::wstring text;
  std::string utf8;
};

TEST(Utf8Text, EncodesEveryPlaneAndALoneSurrogateAsItselfBothWays) {
  const std::vector<Encoded> cases = {
      {L"", ""},
      {L"A\t~", "A\t~"},
      {L"é", "\xC3\xA9"},
      {L"履歴", "\xE5\xB1\xA5\xE6\xAD\xB4"},
      {L"\xFFFF", "\xEF\xBF\xBF"},
      {L"\U00010000", "\xF0\x90\x80\x80"},
      {L"\U0001F389!", "\xF0\x9F\x8E\x89!"},
      {L"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {std::wstring(L"a\xD800" L"b"), "a\xED\xA0\x80" "b"},
      {std::wstring(L"\xDC00\xD83C"), "\xED\xB0\x80\xED\xA0\xBC"},
      {std::wstring(L"\xDBFF"), "\xED\xAF\xBF"},
  };
  for (const Encoded& c : cases) {
    EXPECT_EQ(ToUtf8(c.text), c.utf8);
    EXPECT_EQ(FromUtf8(c.utf8), c.text) << c.utf8;
  }
}

TEST(Utf8Text, DecodesEachMalformedByteAsAReplacementAndKeepsWhatFollows) {
  const std::vector<Encoded> cases = {
      {L"\xFFFD", "\x80"},
      {L"\xFFFD\xFFFD" L"a", "\xC0\xAF" "a"},                // overlong
      {L"\xFFFD\xFFFD\xFFFD\xFFFD", "\xF4\x90\x80\x80"},    // beyond U+10FFFF
      {L"\xFFFD\xFFFD" L"a", "\xE5\xB1" "a"},                // cut short
      {L"x\xFFFD\xFFFD", "x\xF0\x9F"},
      {L"\xFFFD", "\xFF"},
  };
  for (const Encoded& c : cases) EXPECT_EQ(FromUtf8(c.utf8), c.text) << c.utf8;
}

}  // namespace
}  // namespace rtrillex
