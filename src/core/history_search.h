// Finding copies in the history by what the person types. The typed text and
// the entries are compared folded: case, full-width and half-width forms do
// not count, so that "ｸﾘｯﾌﾟ" finds "クリップ" and "ａｂｃ" finds "ABC".
// Entries are read in place as they are folded: a search copies nothing and
// reads a megabyte entry once per word.
#pragma once

#include <cstddef>
#include <bitset>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "history.h"

namespace rtrillex {

// The typed text, cut into words at blanks (space, tab, ideographic space)
// and folded. No words (empty or blank-only text) matches every entry.
class SearchQuery {
 public:
  SearchQuery() = default;
  explicit SearchQuery(std::wstring_view typed);

  bool MatchesEverything() const { return words_.empty(); }
  // True when each entry this query matches is matched by `other` as well,
  // so that this query's matches can be looked for among `other`'s alone.
  bool Narrows(const SearchQuery& other) const;

 private:
  friend bool MatchesAnyOf(std::initializer_list<std::wstring_view> parts, const SearchQuery& query);

  struct Word {
    std::wstring folded;
    // For each length of a matched beginning, the longest proper beginning
    // that ends it too: where the search goes on after a mismatch.
    std::vector<std::size_t> fallback;
    // The characters of the Basic Multilingual Plane that may begin the word
    // once folded: the search skips every other one without folding it.
    std::bitset<0x10000> mayBegin;
  };
  static Word WordFrom(std::wstring_view typedWord);
  static bool MayBegin(const Word& word, wchar_t c);
  static bool Finds(std::wstring_view text, const Word& word);

  std::vector<Word> words_;
};

// Every word of the query is found in the folded entry.
bool Matches(std::wstring_view entry, const SearchQuery& query);
// Every word is found in one of the parts (a label, a text, a picture's
// words), read in place rather than joined into a copy.
bool MatchesAnyOf(std::initializer_list<std::wstring_view> parts, const SearchQuery& query);
// An entry with what it holds besides its text: a picture is found by its
// own words too (画像, image, its size), which its tag line lacks.
bool EntryMatches(std::wstring_view entry, const AttachmentPtr& attachment, const SearchQuery& query);

// The ids of the history lines whose entry (the text after the time stamp)
// matches, newest first.
std::vector<HistoryId> MatchingIds(const History& history, const SearchQuery& query);

// The same list, looked for among `shown` when `query` narrows `shownQuery`:
// `shown` is the list found for `shownQuery`, kept up to date as lines came
// and went. Lines gone since are left out.
std::vector<HistoryId> MatchingIds(const History& history, const SearchQuery& query,
                                   const std::vector<HistoryId>& shown, const SearchQuery& shownQuery);

// Whether the line with that id matches: false when it is gone.
bool LineMatches(const History& history, HistoryId id, const SearchQuery& query);

}  // namespace rtrillex
