#include "phrase_list.h"

#include <algorithm>
#include <utility>

#include "text_excerpt.h"
#include "typed_text.h"

namespace rtrillex {
namespace {

constexpr std::size_t kLabelLength = 30;
constexpr std::size_t kAccessKeys = 26;

// A Japanese input method types the ideographic space, which trims as a blank.
bool IsLabelBlank(wchar_t c) { return IsBlank(AsciiFormOf(c)); }

std::wstring_view Trimmed(std::wstring_view line) {
  while (!line.empty() && IsLabelBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsLabelBlank(line.back())) line.remove_suffix(1);
  return line;
}

std::wstring Shortened(std::wstring_view line) {
  if (line.size() <= kLabelLength) return std::wstring(line);
  return std::wstring(Beginning(line, kLabelLength - 1)) + L"…";
}

// A picture is the same by its bytes, whichever copy holds them; one still
// being read is the same only as itself.
bool SameAttachment(const AttachmentPtr& a, const AttachmentPtr& b) {
  const EntryKind kind = a ? a->kind : EntryKind::Text;
  if (kind != (b ? b->kind : EntryKind::Text)) return false;
  switch (kind) {
    case EntryKind::Text:
      return true;
    case EntryKind::Files:
      return a->files == b->files;
    case EntryKind::Picture: {
      if (a == b) return true;
      const auto& mine = a->picture.png;
      const auto& theirs = b->picture.png;
      return mine && theirs && (mine == theirs || *mine == *theirs);
    }
  }
  return false;
}

}  // namespace

std::wstring DefaultLabel(std::wstring_view text, const AttachmentPtr& attachment) {
  if (attachment && attachment->kind != EntryKind::Text) return AttachmentLabel(*attachment);
  // Only the first line that is not blank is read: a phrase may be megabytes.
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find_first_of(L"\r\n", start), text.size());
    const std::wstring_view line = Trimmed(text.substr(start, end - start));
    if (!line.empty()) return Shortened(line);
    start = end + 1;
  }
  return L"（空白）";
}

PhraseList::PhraseList(std::vector<Phrase> phrases, PhraseId nextId)
    : phrases_(std::move(phrases)), nextId_(std::max<PhraseId>(nextId, 1)) {
  for (const Phrase& phrase : phrases_) nextId_ = std::max(nextId_, phrase.id + 1);
}

PhraseId PhraseList::Append(Phrase phrase) {
  phrase.id = nextId_++;
  phrases_.push_back(std::move(phrase));
  return phrases_.back().id;
}

PhraseId PhraseList::Pin(std::wstring text, AttachmentPtr attachment) {
  std::wstring label = DefaultLabel(text, attachment);
  return Append({0, false, std::move(label), std::move(text), std::move(attachment)});
}

PhraseId PhraseList::FindPinned(std::wstring_view text, const AttachmentPtr& attachment) const {
  for (const Phrase& phrase : phrases_) {
    if (!phrase.separator && phrase.text == text && SameAttachment(phrase.attachment, attachment)) return phrase.id;
  }
  return 0;
}

PhraseId PhraseList::Insert(Phrase phrase, PhraseId after) {
  if (after == kAtEnd) return Append(std::move(phrase));
  const std::size_t position = PositionOf(after);
  if (position == size()) return 0;
  const PhraseId id = Append(std::move(phrase));
  std::rotate(phrases_.begin() + static_cast<std::ptrdiff_t>(position) + 1, phrases_.end() - 1, phrases_.end());
  return id;
}

PhraseId PhraseList::AddText(std::wstring label, std::wstring text, PhraseId after) {
  if (Trimmed(label).empty()) label = DefaultLabel(text, nullptr);
  return Insert({0, false, std::move(label), std::move(text), nullptr}, after);
}

PhraseId PhraseList::AddSeparator(PhraseId after) { return Insert({0, true, {}, {}, nullptr}, after); }

bool PhraseList::Rename(PhraseId id, std::wstring label) {
  Phrase* phrase = FindMutable(id);
  if (!phrase || phrase->separator) return false;
  phrase->label = Trimmed(label).empty() ? DefaultLabel(phrase->text, phrase->attachment) : std::move(label);
  return true;
}

// A label the person never gave (still the start of the text) changes with
// the text: a phrase added empty and then typed in is named by what it says.
bool PhraseList::EditText(PhraseId id, std::wstring text) {
  Phrase* phrase = FindMutable(id);
  if (!phrase || phrase->separator || phrase->kind() != EntryKind::Text) return false;
  const bool labelFollows = phrase->label == DefaultLabel(phrase->text, nullptr);
  phrase->text = std::move(text);
  if (labelFollows) phrase->label = DefaultLabel(phrase->text, nullptr);
  return true;
}

bool PhraseList::Swap(std::size_t position, std::size_t other) {
  if (position >= size() || other >= size()) return false;
  std::swap(phrases_[position], phrases_[other]);
  return true;
}

bool PhraseList::MoveUp(PhraseId id) {
  const std::size_t position = PositionOf(id);
  return position > 0 && Swap(position, position - 1);
}

bool PhraseList::MoveDown(PhraseId id) {
  const std::size_t position = PositionOf(id);
  return Swap(position, position + 1);
}

bool PhraseList::Remove(PhraseId id) {
  const std::size_t position = PositionOf(id);
  if (position == size()) return false;
  phrases_.erase(phrases_.begin() + static_cast<std::ptrdiff_t>(position));
  return true;
}

const Phrase* PhraseList::Find(PhraseId id) const {
  const std::size_t position = PositionOf(id);
  return position == size() ? nullptr : &phrases_[position];
}

Phrase* PhraseList::FindMutable(PhraseId id) {
  const std::size_t position = PositionOf(id);
  return position == size() ? nullptr : &phrases_[position];
}

std::size_t PhraseList::PositionOf(PhraseId id) const {
  const auto found = std::find_if(phrases_.begin(), phrases_.end(), [id](const Phrase& p) { return p.id == id; });
  return static_cast<std::size_t>(found - phrases_.begin());
}

std::vector<PhraseId> PhraseList::Ids() const {
  std::vector<PhraseId> ids;
  ids.reserve(phrases_.size());
  for (const Phrase& phrase : phrases_) ids.push_back(phrase.id);
  return ids;
}

namespace {

bool SamePhrase(const Phrase& a, const Phrase& b) {
  if (a.separator || b.separator) return a.separator == b.separator;
  return a.text == b.text && SameAttachment(a.attachment, b.attachment);
}

// The first phrase of `phrases` equal to `phrase` and not taken yet.
std::size_t FindUntaken(const std::vector<Phrase>& phrases, const std::vector<bool>& taken, const Phrase& phrase) {
  for (std::size_t i = 0; i < phrases.size(); ++i) {
    if (!taken[i] && SamePhrase(phrases[i], phrase)) return i;
  }
  return phrases.size();
}

}  // namespace

std::vector<PhraseChange> PhraseList::TakeShared(const std::vector<Phrase>& arrived, const std::vector<Phrase>& known,
                                                 bool& keptHere) {
  keptHere = false;
  std::vector<PhraseChange> changes;
  // Each arrived phrase, matched to one here or new.
  std::vector<bool> matched(phrases_.size(), false);
  std::vector<Phrase> merged;
  for (const Phrase& phrase : arrived) {
    const std::size_t here = FindUntaken(phrases_, matched, phrase);
    Phrase taken = phrase;
    if (here < phrases_.size()) {
      matched[here] = true;
      taken.id = phrases_[here].id;
      if (phrases_[here].label != phrase.label) changes.push_back(PhraseChange::Put(KeptFrom(taken), merged.size()));
    } else {
      taken.id = nextId_++;
      changes.push_back(PhraseChange::Put(KeptFrom(taken), merged.size()));
    }
    merged.push_back(std::move(taken));
  }
  // What is left here: removed there, or added here since.
  std::vector<bool> knownTaken(known.size(), false);
  std::size_t after = 0;  // where the next phrase kept here goes in `merged`
  for (std::size_t i = 0; i < phrases_.size(); ++i) {
    const Phrase& phrase = phrases_[i];
    if (matched[i]) {
      const auto at = std::find_if(merged.begin(), merged.end(), [&](const Phrase& m) { return m.id == phrase.id; });
      after = static_cast<std::size_t>(at - merged.begin()) + 1;
      continue;
    }
    const std::size_t inKnown = FindUntaken(known, knownTaken, phrase);
    if (inKnown < known.size()) {
      knownTaken[inKnown] = true;
      changes.push_back(PhraseChange::Remove(phrase.id));
      continue;
    }
    keptHere = true;
    merged.insert(merged.begin() + static_cast<std::ptrdiff_t>(after++), phrase);
  }
  phrases_ = std::move(merged);
  changes.push_back(PhraseChange::Order(Ids()));
  return changes;
}

KeptPhrase KeptFrom(const Phrase& phrase) {
  const bool picture = phrase.kind() == EntryKind::Picture;
  return {phrase.id, phrase.separator, phrase.label, phrase.text, phrase.kind(),
          picture ? phrase.attachment->picture.png : nullptr};
}

Phrase PhraseFrom(const KeptPhrase& kept) {
  return {kept.id, kept.separator, kept.label, kept.text, KeptAttachment(kept.kind, kept.text, kept.picture)};
}

wchar_t AccessKey(const PhraseList& list, std::size_t position) {
  if (position >= list.size() || list.At(position).separator) return 0;
  std::size_t before = 0;
  for (std::size_t i = 0; i < position && before < kAccessKeys; ++i) before += list.At(i).separator ? 0 : 1;
  return before < kAccessKeys ? static_cast<wchar_t>(L'A' + before) : 0;
}

MenuPhrases PhrasesInMenu(const PhraseList& list, std::size_t most) {
  MenuPhrases menu;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list.At(i).separator) continue;
    if (shown == most) {
      menu.more = true;
      break;
    }
    ++shown;
    menu.count = i + 1;
  }
  return menu;
}

std::vector<PhraseId> MatchingPhrases(const PhraseList& list, const SearchQuery& query) {
  std::vector<PhraseId> ids;
  for (const Phrase& phrase : list.phrases()) {
    if (phrase.separator) continue;
    const std::wstring words = phrase.attachment ? AttachmentSearchText(*phrase.attachment) : std::wstring();
    if (MatchesAnyOf({phrase.label, phrase.text, words}, query)) ids.push_back(phrase.id);
  }
  return ids;
}

}  // namespace rtrillex
