// The fixed phrases in a SQLite file of their own, Phrases.db beside
// History.db: kept whether or not the history is, and never deleted with it.
// Labels, texts (a file copy's paths among them) and pictures are sealed as
// History.db's entries are, with a key of this file's own; ids, kinds and
// positions stay clear, so that putting phrases in order rewrites nothing
// sealed.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "entry_cipher.h"
#include "kept_pictures.h"
#include "phrase_store.h"
#include "sealed_database.h"

namespace rtrillex {

class SqlitePhraseFile final : public PhraseStore {
 public:
  static constexpr wchar_t kFileName[] = L"Phrases.db";
  static constexpr std::int32_t kApplicationId = 0x72547250;  // "rTrP"
  // The layout this build writes; a file with a greater one is left alone.
  static constexpr int kSchemaVersion = 1;

  using Clock = SealedDatabase::Clock;

  // `path` is UTF-8; `cipher` outlives the store and serves no other file.
  // `clock` dates the name of a file set aside.
  SqlitePhraseFile(std::string path, EntryCipher& cipher, Clock clock = [] { return std::time(nullptr); });

  Opened Open() override;
  Applied Apply(const std::vector<PhraseChange>& changes) override;

 private:
  struct Read {
    std::vector<KeptPhrase> phrases;  // in menu order
    std::size_t unreadable = 0;
    bool whole = true;
  };

  OpenResult OpenOrMake(Opened& opened);
  Read ReadAll();
  bool PhraseOf(const Statement& row, KeptPhrase& phrase);
  OpenResult StartOver(Read carried, Opened& opened);
  Written Put(const KeptPhrase& phrase, std::size_t position, bool& emptyLog);
  Written ApplyOne(const PhraseChange& change, bool& emptyLog);
  std::uint64_t NextId();

  EntryCipher& cipher_;
  SealedDatabase file_;
  KeptPictures pictures_{cipher_, "phrases", "id"};
};

}  // namespace rtrillex
