// Fixed phrases (定型文): what the person keeps on purpose, pinned from the
// history or typed in, in the order the person gives them. A list of its
// own rather than a mark on history lines, so that no rule of the history
// (its bound, clear-all, the auto-clear, keeping switched off) can reach it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "entry.h"
#include "history_search.h"
#include "phrase_store.h"

namespace rtrillex {

using PhraseId = std::uint64_t;

struct Phrase {
  PhraseId id = 0;
  bool separator = false;  // a line drawn in the menu: no label, no text
  std::wstring label;
  // As a history line's entry holds it: a file copy's paths, a picture's tag.
  std::wstring text;
  AttachmentPtr attachment;  // null for a text

  EntryKind kind() const { return attachment ? attachment->kind : EntryKind::Text; }
};

// What the menu shows of a text: its first line that is not blank, trimmed
// and cut to about 30 characters; a file copy or a picture by its label.
std::wstring DefaultLabel(std::wstring_view text, const AttachmentPtr& attachment);

class PhraseList {
 public:
  PhraseList() = default;
  // As the store kept them, in order; new ids go on from `nextId` (or past
  // the greatest id here, if that is greater).
  PhraseList(std::vector<Phrase> phrases, PhraseId nextId);

  // Appends a copy of a history entry, labelled by DefaultLabel.
  PhraseId Pin(std::wstring text, AttachmentPtr attachment);
  // The phrase equal to that entry (same kind, text, picture, files), so
  // that the key that pinned it unpins it; 0 when none is.
  PhraseId FindPinned(std::wstring_view text, const AttachmentPtr& attachment) const;
  // Both go after phrase `after`, or at the end for kAtEnd; 0 when `after`
  // is gone.
  static constexpr PhraseId kAtEnd = 0;
  // A text typed in; an empty label gives the default one.
  PhraseId AddText(std::wstring label, std::wstring text, PhraseId after = kAtEnd);
  PhraseId AddSeparator(PhraseId after = kAtEnd);

  // False for a phrase that is gone, or one that has no such thing (a
  // separator's label, a picture's text). A blank label gives the default
  // one, and a default label follows the text as it is edited.
  bool Rename(PhraseId id, std::wstring label);
  bool EditText(PhraseId id, std::wstring text);
  // False at the end it would go past, and for a phrase that is gone.
  bool MoveUp(PhraseId id);
  bool MoveDown(PhraseId id);
  bool Remove(PhraseId id);

  // nullptr when gone; valid until the list changes.
  const Phrase* Find(PhraseId id) const;
  // size() when gone.
  std::size_t PositionOf(PhraseId id) const;
  const Phrase& At(std::size_t position) const { return phrases_[position]; }
  const std::vector<Phrase>& phrases() const { return phrases_; }
  std::size_t size() const { return phrases_.size(); }
  bool empty() const { return phrases_.empty(); }
  // The ids in menu order, as the store's Order takes them.
  std::vector<PhraseId> Ids() const;

  // The set another PC shared, taken in: `arrived` in its order, each phrase
  // keeping the id of an equal one here (its label as it came). A phrase
  // here that is not in `arrived` was removed there if `known` (the set in
  // force when this PC last shared or took one) holds it; if not, it was
  // added here since, and stays, after the phrase it followed. The changes
  // for the store; `keptHere` is set when such a phrase stayed, and the set
  // as it now stands is to be shared in turn.
  std::vector<PhraseChange> TakeShared(const std::vector<Phrase>& arrived, const std::vector<Phrase>& known,
                                       bool& keptHere);
  PhraseId nextId() const { return nextId_; }

 private:
  PhraseId Append(Phrase phrase);
  PhraseId Insert(Phrase phrase, PhraseId after);
  Phrase* FindMutable(PhraseId id);
  bool Swap(std::size_t position, std::size_t other);

  std::vector<Phrase> phrases_;
  PhraseId nextId_ = 1;
};

// The phrase as the store keeps it, and back: a file list from its paths, a
// picture with the size its PNG gives (its thumbnail is made later).
KeptPhrase KeptFrom(const Phrase& phrase);
Phrase PhraseFrom(const KeptPhrase& kept);

// The access key of the phrase at `position`: 'A', 'B', ... for the first 26
// phrases in menu order, separators not counted; 0 for a separator and
// every phrase after Z (the recent copies keep the digits).
wchar_t AccessKey(const PhraseList& list, std::size_t position);

// As many phrases as have an access key: the menu stays the size it was.
inline constexpr std::size_t kPhrasesInMenu = 26;

// What the menu shows: the first `count` items of the list (separators
// among them), and whether a "more" item leads to the rest.
struct MenuPhrases {
  std::size_t count = 0;
  bool more = false;
};
// At most `most` phrases besides separators; a separator that would end the
// section is left out, the menu drawing its own line there.
MenuPhrases PhrasesInMenu(const PhraseList& list, std::size_t most = kPhrasesInMenu);

// The ids of the phrases whose label, text or picture words match, in menu
// order; separators never do.
std::vector<PhraseId> MatchingPhrases(const PhraseList& list, const SearchQuery& query);

}  // namespace rtrillex
