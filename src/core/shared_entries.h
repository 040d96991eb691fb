// The copies every PC shares through the synced folder, merged from their
// journals: the same on every PC whatever order the journals are read in.
//
// Records sort by their place: ordering time, then installation id, then
// sequence, so that ties fall the same way everywhere. A copy is known by
// its id: one read twice (a conflict copy of a journal, a journal read anew)
// counts once. A removal hides its copy on every PC, whether it is read
// before or after the copy; a clear-all hides every copy placed at or before
// it and none after.
//
// Fixed phrases travel as the whole ordered set in one record, the latest
// placed set winning. Records per phrase with an order of their own would
// need rules for an order naming phrases not read yet, or a phrase moved on
// one PC while removed on another; a whole set is always a list some PC
// really had. Phrases are few and small, so writing them whole is cheap.
//
// Nothing read is let go when a journal leaves the folder: whether its PC's
// copies stay is the caller's to decide, by starting anew or not.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sync_journal.h"

namespace rtrillex {

struct RecordPlace {
  std::uint64_t orderingMs = 0;
  InstallationId installation{};
  std::uint64_t sequence = 0;

  bool operator<(const RecordPlace& other) const;
};

struct SharedEntry {
  EntryId id{};
  RecordKind kind = RecordKind::Text;  // Text or Picture
  std::string pcName;                  // the PC it was copied on
  RecordPlace place;
  std::uint64_t recordedMs = 0;        // that PC's clock, shown as it is
  std::string text;
  std::shared_ptr<const Bytes> png;
};

// Another PC's copy as this PC keeps it in its own history file, so that it
// stays when its journal goes; nullopt for bytes that are not one.
std::string EncodeKeptEntry(const SharedEntry& entry);
std::optional<SharedEntry> DecodeKeptEntry(std::string_view bytes);

class SharedEntries {
 public:
  // Records as ReadJournal gave them from a journal with that header; a
  // conflict copy is given as one more journal. True when what Visible()
  // or Phrases() gives may have changed.
  bool Add(const JournalHeader& journal, const std::vector<JournalRecord>& records);

  // The copies still shown, newest first; valid until the next Add (a
  // text may be megabytes: not copied for each look).
  std::vector<const SharedEntry*> Visible() const;
  // The latest shared set of fixed phrases, in order; nullptr while none was.
  const std::vector<SharedPhrase>* Phrases() const;
  // The greatest ordering time read: what this PC's next record goes after.
  std::uint64_t LatestOrderingTime() const { return latest_; }
  // The copies hidden since the last call by a removal or a clear-all, each
  // once, whether it was read before or after what hid it: a PC takes its
  // own lines away when another PC removed them.
  std::vector<SharedEntry> TakeHidden();

 private:
  bool AddRecord(const JournalHeader& journal, const JournalRecord& record);
  bool AddEntry(const JournalHeader& journal, const RecordPlace& place, const SyncRecord& record);
  bool Remove(const EntryId& target);
  bool ClearThrough(std::uint64_t orderingMs);
  bool SetPhrases(const RecordPlace& place, const std::vector<SharedPhrase>& phrases);
  void Hide(SharedEntry entry);

  std::map<EntryId, SharedEntry> entries_;
  std::set<EntryId> removed_;  // kept, for a copy read after its removal
  std::set<EntryId> hiddenIds_;  // told by TakeHidden once, however often read
  std::vector<SharedEntry> hidden_;
  std::optional<std::uint64_t> clearedThrough_;
  std::optional<RecordPlace> phrasesPlace_;
  std::vector<SharedPhrase> phrases_;
  std::uint64_t latest_ = 0;
};

}  // namespace rtrillex
