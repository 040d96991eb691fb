#include "history_search.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "clipboard_change.h"

namespace rtrillex {
namespace {

struct MatchCase {
  const wchar_t* entry;
  const wchar_t* typed;
  bool matches;
};

void ExpectMatches(const std::vector<MatchCase>& cases) {
  for (const MatchCase& c : cases) {
    EXPECT_EQ(Matches(c.entry, SearchQuery(c.typed)), c.matches)
        << "entry " << testing::PrintToString(std::wstring(c.entry)) << ", typed "
        << testing::PrintToString(std::wstring(c.typed));
  }
}

TEST(HistorySearch, WidthsCaseAndSoundMarksDoNotCount) {
  ExpectMatches({
      // Full-width and half-width forms, typed either way round.
      {L"ABC", L"ＡＢＣ", true},
      {L"ＡＢＣ", L"ABC", true},
      {L"カタカナ", L"ｶﾀｶﾅ", true},
      {L"ｶﾀｶﾅ", L"カタカナ", true},
      {L"123", L"１２３", true},
      {L"１２３", L"123", true},
      {L"（株）", L"(株)", true},
      {L"「ﾃｽﾄ」。", L"｢テスト｣｡", true},
      // A half-width kana and its sound mark are one full-width character.
      {L"ガギ", L"ｶﾞｷﾞ", true},
      {L"ｶﾞｷﾞ", L"ガギ", true},
      {L"パピプペポ", L"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", true},
      {L"ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞ", L"バビブベボ", true},
      {L"ヴァイオリン", L"ｳﾞｧｲｵﾘﾝ", true},
      {L"ﾃﾞｰﾀﾍﾞｰｽ", L"データベース", true},
      {L"ﾂﾞﾄﾞ", L"ヅド", true},
      // Words that start or end beside a combined mark.
      {L"ﾃﾞｰﾀﾍﾞｰｽ", L"ーﾀﾍﾞ", true},
      {L"ﾃﾞｰﾀﾍﾞｰｽ", L"ﾍﾞ", true},
      {L"ｶｶﾞ", L"カガ", true},
      {L"ｶｶﾞ", L"カカ", false},
      {L"ﾃﾞｰﾀ", L"テ", false},
      {L"データ", L"ﾃ", false},
      // A mark with nothing to combine with stays a mark of its own.
      {L"ﾞﾟ", L"゛゜", true},
      {L"ｱﾞ", L"ア゛", true},
      {L"ﾊﾞﾟ", L"バ゜", true},
      {L"ﾀﾟ", L"タ゜", true},
      // Case, of ASCII, full-width and Latin-1 letters.
      {L"abc", L"ABC", true},
      {L"ABC", L"ａｂｃ", true},
      {L"ａｂｃ", L"Abc", true},
      {L"Ｃｌｉｐ", L"cLIP", true},
      {L"ÉCOLE ÀÞ", L"école àþ", true},
      {L"2×3", L"2÷3", false},
      {L"ß", L"SS", false},
  });
}

TEST(HistorySearch, EveryWordMustBeFoundAnywhereAndNoWordsFindsEverything) {
  const wchar_t* entry = L"copy the history\tto the clipboard";
  ExpectMatches({
      {entry, L"clipboard history", true},
      {entry, L"history clipboard", true},
      {entry, L"history　clipboard", true},
      {entry, L"\thistory\t clipboard ", true},
      {entry, L"clip board", true},
      {entry, L"y\tt", true},
      {entry, L"history paste", false},
      {entry, L"clipboards", false},
      {entry, L"clipboard　ｘ", false},
      {entry, L"", true},
      {entry, L" \t　 ", true},
      {L"", L"　", true},
      {L"", L"a", false},
      // A word that almost starts again inside a near miss.
      {L"aaab", L"aab", true},
      {L"abababc", L"ababc", true},
      {L"abcabd abcab", L"abcabd", true},
      {L"aabaaabaaaa", L"aabaaaa", true},
      {L"clipboar", L"clipboard", false},
  });
}

TEST(HistorySearch, AMegabyteEntryIsSearchedToItsEnd) {
  std::wstring entry(1 << 20, L'ﾃ');  // each one an almost-beginning of the word
  for (std::size_t i = 1; i < entry.size(); i += 7) entry[i] = L'ﾞ';
  const SearchQuery query(L"デテータ");
  EXPECT_FALSE(Matches(entry, query));
  entry.replace(entry.size() - 5, 5, L"ﾃﾞﾃｰﾀ");
  EXPECT_TRUE(Matches(entry, query));
  entry.back() = L'ﾁ';
  EXPECT_FALSE(Matches(entry, query));
}

TEST(HistorySearch, LinesAreListedNewestFirstAndARemovedOneGoes) {
  History history;
  const HistoryId first = history.Add(HistoryLine({9, 0, 0}, L"Clipboard one"));
  const HistoryId second = history.Add(HistoryLine({9, 0, 1}, L"nothing"));
  const HistoryId third = history.Add(HistoryLine({9, 0, 2}, L"ｸﾘｯﾌﾟﾎﾞｰﾄﾞ CLIPBOARD"));
  const HistoryId fourth = history.Add(HistoryLine({9, 0, 3}, L"ｃｌｉｐｂｏａｒｄ"));

  EXPECT_EQ(MatchingIds(history, SearchQuery(L"clipboard")), (std::vector<HistoryId>{fourth, third, first}));
  EXPECT_EQ(MatchingIds(history, SearchQuery(L" ")), (std::vector<HistoryId>{fourth, third, second, first}));
  // The time stamp is no part of the entry.
  EXPECT_TRUE(MatchingIds(history, SearchQuery(L"09:00")).empty());

  EXPECT_TRUE(history.Remove(third));
  EXPECT_EQ(MatchingIds(history, SearchQuery(L"clipboard")), (std::vector<HistoryId>{fourth, first}));
  EXPECT_FALSE(LineMatches(history, third, SearchQuery(L"clipboard")));
  EXPECT_FALSE(LineMatches(history, second, SearchQuery(L"clipboard")));
  const HistoryId fifth = history.Add(HistoryLine({9, 0, 4}, L"one more clipboard"));
  EXPECT_TRUE(LineMatches(history, fifth, SearchQuery(L"clipboard")));
}

TEST(HistorySearch, LookingAmongTheShownLinesFindsWhatASearchOfAllFinds) {
  History history;
  for (const wchar_t* entry : {L"client", L"clipboard", L"データ", L"テスト", L"abc dex", L"abc def", L"cd ab",
                               L"abcd", L"xab", L"ｸﾘｯﾌﾟ"})
    history.Add(HistoryLine({10, 0, 0}, entry));
  struct Step {
    const wchar_t* shownTyped;
    const wchar_t* typed;
  };
  const Step steps[] = {
      {L"c", L"cl"},         {L"cl", L"cli"},     {L"clip", L"cli"},       {L"", L"d"},
      {L"d", L""},           {L"ﾃ", L"ﾃﾞ"},       {L"abc def", L"abc de"}, {L"ab", L"ab cd"},
      {L"cd ab", L"abcd"},   {L"ab", L"xab"},     {L"ab", L"a"},           {L"ｸﾘ", L"クリッ"},
      {L"clip", L"clip x"},  {L"x", L"ｘ x"},
  };
  for (const Step& step : steps) {
    const SearchQuery shownQuery(step.shownTyped), query(step.typed);
    const std::vector<HistoryId> shown = MatchingIds(history, shownQuery);
    EXPECT_EQ(MatchingIds(history, query, shown, shownQuery), MatchingIds(history, query))
        << testing::PrintToString(std::wstring(step.shownTyped)) << " then "
        << testing::PrintToString(std::wstring(step.typed));
  }

  // A shown line removed before the next key is not listed again.
  const SearchQuery shownQuery(L"cli"), query(L"clip");
  const std::vector<HistoryId> shown = MatchingIds(history, shownQuery);
  ASSERT_EQ(shown.size(), 2u);
  history.Remove(shown.front());
  EXPECT_EQ(MatchingIds(history, query, shown, shownQuery), MatchingIds(history, query));
}

// The reference: each string folded on its own (a half-width kana takes the
// sound mark after it when the pair has one full-width form), then found.
std::wstring ReferenceFold(std::wstring_view text) {
  static const std::map<wchar_t, wchar_t> single = {
      {L'A', L'a'}, {L'Ａ', L'a'}, {L'ａ', L'a'}, {L'B', L'b'}, {L'Ｂ', L'b'}, {L'É', L'é'}, {L'ｶ', L'カ'},
      {L'ﾊ', L'ハ'}, {L'ｳ', L'ウ'}, {L'ｰ', L'ー'}, {L'ﾞ', L'゛'}, {L'ﾟ', L'゜'}, {L'　', L' '}};
  static const std::map<std::wstring, wchar_t> pairs = {
      {L"ｶﾞ", L'ガ'}, {L"ﾊﾞ", L'バ'}, {L"ﾊﾟ", L'パ'}, {L"ｳﾞ", L'ヴ'}};
  std::wstring folded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i + 1 < text.size()) {
      const auto pair = pairs.find(std::wstring(text.substr(i, 2)));
      if (pair != pairs.end()) {
        folded += pair->second;
        ++i;
        continue;
      }
    }
    const auto one = single.find(text[i]);
    folded += one == single.end() ? text[i] : one->second;
  }
  return folded;
}

bool ReferenceMatches(std::wstring_view entry, std::wstring_view typed) {
  const std::wstring haystack = ReferenceFold(entry);
  std::wstring word;
  for (std::size_t i = 0; i <= typed.size(); ++i) {
    const bool blank = i == typed.size() || typed[i] == L' ' || typed[i] == L'\t' || typed[i] == L'　';
    if (!blank) {
      word += typed[i];
    } else if (!word.empty()) {
      if (haystack.find(ReferenceFold(word)) == std::wstring::npos) return false;
      word.clear();
    }
  }
  return true;
}

TEST(HistorySearch, AgreesWithFoldingBothThenFindingOnRandomText) {
  // Letters in every width and case, kana with their sound marks either way,
  // blanks, and both halves of a surrogate pair as well as a character past
  // 16 bits; then a few letters only, so that words overlap themselves.
  const std::wstring wide = L"aAａＡbＢÉéカｶガﾞﾟハﾊパバウｳヴーｰ゛゜ \t　x" + std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)} +
                            std::wstring(1, static_cast<wchar_t>(sizeof(wchar_t) > 2 ? 0x1F600 : 0xDE00));
  std::mt19937 random(20240611);
  for (const std::wstring& alphabet : {wide, std::wstring(L"aＡｶﾞガ ")}) {
    const auto text = [&](std::size_t maxLength) {
      std::wstring t(random() % (maxLength + 1), L' ');
      for (wchar_t& c : t) c = alphabet[random() % alphabet.size()];
      return t;
    };
    History history;
    std::vector<std::wstring> entries;
    for (int i = 0; i < 200; ++i) {
      entries.push_back(text(12));
      history.Add(HistoryLine({10, 0, 0}, entries.back()));
    }
    int mismatches = 0;
    std::wstring previous;
    SearchQuery previousQuery;
    for (int q = 0; q < 200 && mismatches < 5; ++q) {
      // Half the queries a piece of an entry, so that many match; every third
      // the last one and a key more, looked for among the last one's matches.
      const std::wstring& source = entries[random() % entries.size()];
      const std::size_t from = source.empty() ? 0 : random() % source.size();
      std::wstring typed = q % 2 ? source.substr(from, 1 + random() % 5) : text(4);
      if (q % 3 == 0) typed = previous + text(1);
      SearchQuery query(typed);
      for (const std::wstring& entry : entries) {
        if (Matches(entry, query) != ReferenceMatches(entry, typed) && ++mismatches <= 5)
          ADD_FAILURE() << "entry " << testing::PrintToString(entry) << ", typed " << testing::PrintToString(typed);
      }
      EXPECT_EQ(MatchingIds(history, query, MatchingIds(history, previousQuery), previousQuery),
                MatchingIds(history, query))
          << testing::PrintToString(previous) << " then " << testing::PrintToString(typed);
      previous = typed;
      previousQuery = std::move(query);
    }
  }
}

}  // namespace
}  // namespace rtrillex
