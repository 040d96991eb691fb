// Where the fixed phrases live between runs, as the rest of the program sees
// it: phrases put, removed and put in order, and loaded, without SQL or any
// system type. Unlike the kept history, nothing here is ever trimmed or
// cleared: the person made each phrase on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "entry.h"
#include "history_store.h"

namespace rtrillex {

struct KeptPhrase {
  std::uint64_t id = 0;
  bool separator = false;
  std::wstring label;
  std::wstring text;  // as a history line's entry holds it
  EntryKind kind = EntryKind::Text;
  PictureBytes picture;  // a picture's PNG
};

// One change, applied with others in one transaction.
struct PhraseChange {
  enum class Kind { Put, Remove, Order };
  Kind kind = Kind::Put;
  KeptPhrase phrase;                // Put: inserted, or replacing the phrase with its id
  std::size_t position = 0;         // Put: where it stands
  std::uint64_t id = 0;             // Remove
  std::vector<std::uint64_t> ids;   // Order: every phrase, in its new order

  static PhraseChange Put(KeptPhrase phrase, std::size_t position) {
    return {Kind::Put, std::move(phrase), position, 0, {}};
  }
  static PhraseChange Remove(std::uint64_t id) { return {Kind::Remove, {}, 0, id, {}}; }
  // Positions only: moving a phrase rewrites neither its texts nor its picture.
  static PhraseChange Order(std::vector<std::uint64_t> ids) { return {Kind::Order, {}, 0, 0, std::move(ids)}; }
};

class PhraseStore {
 public:
  virtual ~PhraseStore() = default;

  enum class OpenResult {
    Ready,     // opened, or made new where there was none
    SetAside,  // could not be read whole: renamed aside (setAsideAs) untouched, a new one made
    Newer,     // written by a newer rTrillex: left as it is, and nothing is written to it
    Failed,    // neither, this time: locked by another program, a key not ready yet, a full disk
  };
  struct Opened {
    OpenResult result = OpenResult::Failed;
    std::uint64_t nextId = 1;          // greater than every id in the file
    std::vector<KeptPhrase> phrases;   // in menu order
    std::wstring setAsideAs;           // SetAside: the file's new name
    // SetAside of a damaged file of ours: the phrases read whole from it and
    // carried into the new one, and those that could not be.
    std::size_t carried = 0;
    std::size_t unreadable = 0;
  };
  virtual Opened Open() = 0;

  // As the kept history's: all of `changes` or none of them.
  using Applied = HistoryStore::Applied;
  virtual Applied Apply(const std::vector<PhraseChange>& changes) = 0;
};

}  // namespace rtrillex
