#include "history_search.h"

#include <algorithm>

#include "clipboard_change.h"
#include "typed_text.h"

namespace rtrillex {
namespace {

constexpr wchar_t kHalfWidthKanaFirst = 0xFF61, kHalfWidthKanaLast = 0xFF9F;
constexpr wchar_t kHalfWidthVoicedMark = 0xFF9E, kHalfWidthSemiVoicedMark = 0xFF9F;

// The full-width forms of U+FF61..U+FF9F, in that order.
constexpr std::wstring_view kFullWidthKana =
    L"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
static_assert(kFullWidthKana.size() == kHalfWidthKanaLast - kHalfWidthKanaFirst + 1);

bool IsHalfWidthKana(wchar_t c) { return c >= kHalfWidthKanaFirst && c <= kHalfWidthKanaLast; }

// In Unicode's katakana block カ..チ and ツ..ト are each followed by their
// voiced form, ハ..ホ by their voiced and semi-voiced forms.
bool IsEvery(wchar_t kana, wchar_t first, wchar_t last, int step) {
  return kana >= first && kana <= last && (kana - first) % step == 0;
}
bool IsHaRow(wchar_t kana) { return IsEvery(kana, L'ハ', L'ホ', 3); }

// 0 when the kana has no voiced form.
wchar_t VoicedFormOf(wchar_t kana) {
  switch (kana) {
    case L'ウ': return L'ヴ';
    case L'ワ': return L'ヷ';
    case L'ヲ': return L'ヺ';
    default: break;
  }
  const bool followedByIt = IsEvery(kana, L'カ', L'チ', 2) || IsEvery(kana, L'ツ', L'ト', 2) || IsHaRow(kana);
  return followedByIt ? static_cast<wchar_t>(kana + 1) : 0;
}

// 0 when the kana has no semi-voiced form.
wchar_t SemiVoicedFormOf(wchar_t kana) { return IsHaRow(kana) ? static_cast<wchar_t>(kana + 2) : 0; }

// ASCII and Latin-1 letters; × sits among the Latin-1 capitals but is none.
wchar_t LowerCaseOf(wchar_t c) {
  constexpr wchar_t kMultiplicationSign = 0xD7;
  const bool isCapital = (c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != kMultiplicationSign);
  return isCapital ? static_cast<wchar_t>(c + 0x20) : c;
}

// A text read folded, one character at a time. A half-width kana and the
// sound mark after it are read as one character, so the reader looks one
// character ahead.
class FoldedReader {
 public:
  explicit FoldedReader(std::wstring_view text) : text_(text) {}

  bool AtEnd() const { return next_ == text_.size(); }
  wchar_t Peek() const { return text_[next_]; }
  void Skip() { ++next_; }

  wchar_t Next() {
    const wchar_t c = text_[next_++];
    if (IsHalfWidthKana(c)) return FullWidthKanaFrom(c);
    return LowerCaseOf(AsciiFormOf(c));
  }

 private:
  wchar_t FullWidthKanaFrom(wchar_t halfWidth) {
    const wchar_t kana = kFullWidthKana[halfWidth - kHalfWidthKanaFirst];
    if (AtEnd()) return kana;
    wchar_t combined = 0;
    if (text_[next_] == kHalfWidthVoicedMark) combined = VoicedFormOf(kana);
    if (text_[next_] == kHalfWidthSemiVoicedMark) combined = SemiVoicedFormOf(kana);
    if (combined == 0) return kana;
    ++next_;
    return combined;
  }

  std::wstring_view text_;
  std::size_t next_ = 0;
};

std::wstring Folded(std::wstring_view text) {
  std::wstring folded;
  for (FoldedReader reader(text); !reader.AtEnd();) folded += reader.Next();
  return folded;
}

bool IsWordBreak(wchar_t c) { return IsBlank(AsciiFormOf(c)); }

// Whether `c`, read first, can fold to `first`. Every half-width kana may:
// with the sound mark after it, it folds to another character.
bool MayFoldTo(wchar_t c, wchar_t first) { return IsHalfWidthKana(c) || LowerCaseOf(AsciiFormOf(c)) == first; }

constexpr std::size_t kPlaneSize = 0x10000;

}  // namespace

SearchQuery::SearchQuery(std::wstring_view typed) {
  std::size_t start = 0;
  for (std::size_t end = 0; end <= typed.size(); ++end) {
    if (end < typed.size() && !IsWordBreak(typed[end])) continue;
    if (end > start) words_.push_back(WordFrom(typed.substr(start, end - start)));
    start = end + 1;
  }
}

SearchQuery::Word SearchQuery::WordFrom(std::wstring_view typedWord) {
  Word word{Folded(typedWord), {}, {}};
  for (std::size_t c = 0; c < kPlaneSize; ++c)
    word.mayBegin[c] = MayFoldTo(static_cast<wchar_t>(c), word.folded.front());
  const std::wstring& w = word.folded;
  word.fallback.assign(w.size(), 0);
  std::size_t matched = 0;
  for (std::size_t i = 1; i < w.size(); ++i) {
    while (matched > 0 && w[i] != w[matched]) matched = word.fallback[matched - 1];
    if (w[i] == w[matched]) ++matched;
    word.fallback[i] = matched;
  }
  return word;
}

bool SearchQuery::Narrows(const SearchQuery& other) const {
  // An entry holding one of this query's words holds every part of it.
  return std::all_of(other.words_.begin(), other.words_.end(), [this](const Word& theirs) {
    return std::any_of(words_.begin(), words_.end(),
                       [&theirs](const Word& mine) { return mine.folded.find(theirs.folded) != std::wstring::npos; });
  });
}

bool SearchQuery::MayBegin(const Word& word, wchar_t c) {
  const auto code = static_cast<std::size_t>(c);
  return code < kPlaneSize ? word.mayBegin[code] : MayFoldTo(c, word.folded.front());
}

bool SearchQuery::Finds(std::wstring_view text, const Word& word) {
  // Knuth-Morris-Pratt: after a mismatch the search goes on from the word's
  // fallback, never back in the text, so each word costs one pass.
  const std::wstring& w = word.folded;
  std::size_t matched = 0;
  for (FoldedReader reader(text); !reader.AtEnd();) {
    // Between matches most characters cannot begin the word: skipped unfolded.
    if (matched == 0) {
      while (!reader.AtEnd() && !MayBegin(word, reader.Peek())) reader.Skip();
      if (reader.AtEnd()) break;
    }
    const wchar_t c = reader.Next();
    while (matched > 0 && w[matched] != c) matched = word.fallback[matched - 1];
    if (w[matched] == c && ++matched == w.size()) return true;
  }
  return false;
}

bool MatchesAnyOf(std::initializer_list<std::wstring_view> parts, const SearchQuery& query) {
  return std::all_of(query.words_.begin(), query.words_.end(), [parts](const SearchQuery::Word& word) {
    return std::any_of(parts.begin(), parts.end(),
                       [&word](std::wstring_view part) { return SearchQuery::Finds(part, word); });
  });
}

bool Matches(std::wstring_view entry, const SearchQuery& query) { return MatchesAnyOf({entry}, query); }

bool EntryMatches(std::wstring_view entry, const AttachmentPtr& attachment, const SearchQuery& query) {
  const std::wstring words = attachment ? AttachmentSearchText(*attachment) : std::wstring();
  return MatchesAnyOf({entry, words}, query);
}

std::vector<HistoryId> MatchingIds(const History& history, const SearchQuery& query) {
  std::vector<HistoryId> ids;
  for (std::size_t position = history.size(); position-- > 0;) {
    if (EntryMatches(EntryIn(history.LineAt(position)), history.AttachmentAt(position), query))
      ids.push_back(history.IdAt(position));
  }
  return ids;
}

std::vector<HistoryId> MatchingIds(const History& history, const SearchQuery& query,
                                   const std::vector<HistoryId>& shown, const SearchQuery& shownQuery) {
  if (!query.Narrows(shownQuery)) return MatchingIds(history, query);
  std::vector<HistoryId> ids;
  for (HistoryId id : shown) {
    if (LineMatches(history, id, query)) ids.push_back(id);
  }
  return ids;
}

bool LineMatches(const History& history, HistoryId id, const SearchQuery& query) {
  const std::wstring* line = history.Find(id);
  return line != nullptr && EntryMatches(EntryIn(*line), history.AttachmentOf(id), query);
}

}  // namespace rtrillex
