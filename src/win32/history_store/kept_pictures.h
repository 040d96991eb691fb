// The kept pictures, in a table of their own beside the rows that show them
// (History.db's entries, Phrases.db's phrases): each kept once however many
// rows show it, sealed as the texts are (bound to its row), and no more
// bytes in all than the person allows: the oldest rows lose their pictures
// first and stay as their tag lines.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "entry_cipher.h"
#include "history_store.h"
#include "sqlite_handles.h"

namespace rtrillex {

class KeptPictures {
 public:
  static constexpr const char* kTable = "CREATE TABLE pictures(id INTEGER PRIMARY KEY, sealed BLOB NOT NULL)";

  // `owners`: the table of the rows that show pictures, in a column
  // `picture`, and that are known by their column `ownerKey`.
  KeptPictures(EntryCipher& cipher, std::string owners, std::string ownerKey)
      : cipher_(cipher), owners_(std::move(owners)), ownerKey_(std::move(ownerKey)) {}
  void LimitBytes(std::uint64_t bytes) { largestBytes_ = bytes; }

  // Another file, or the same opened anew: nothing known of the last.
  void Forget();

  // Within a transaction: `picture` becomes row `key`'s, shared with a row
  // that shows the same picture. False when it could not be written.
  bool Keep(sqlite3* db, std::uint64_t key, const PictureBytes& picture);
  // Within a transaction, after rows went or pictures came: those no row
  // shows go, then the oldest rows' until the bound holds.
  bool Tidy(sqlite3* db);

  // Picture `id` as a loaded row shows it; null when it does not unseal.
  // Rows that show the same picture get the same bytes.
  PictureBytes Read(std::int64_t id, ByteView sealed);

 private:
  std::int64_t KnownId(const PictureBytes& picture);
  bool DropOldest(sqlite3* db);

  EntryCipher& cipher_;
  std::string owners_;
  std::string ownerKey_;
  std::uint64_t largestBytes_ = std::uint64_t{256} << 20;
  // The pictures written or read, by their bytes: a picture copied again is
  // the same bytes (the program holds each once), so it is found here.
  std::vector<std::pair<std::weak_ptr<const std::vector<std::uint8_t>>, std::int64_t>> known_;
};

}  // namespace rtrillex
