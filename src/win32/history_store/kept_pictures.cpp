#include "kept_pictures.h"

#include <algorithm>
#include <array>

namespace rtrillex {
namespace {

// The picture's id, and a mark no text row has, sealed with it: a picture
// moved to another row, or taken for a text, no longer unseals.
std::array<std::uint8_t, 9> PictureRow(std::int64_t id) {
  std::array<std::uint8_t, 9> data{};
  for (int i = 0; i < 8; ++i) data[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(id) >> (8 * i));
  data[8] = 'p';
  return data;
}

std::int64_t NextId(sqlite3* db) {
  Statement largest(db, "SELECT coalesce(max(id), 0) FROM pictures");
  return largest.Step() == SQLITE_ROW ? largest.Int(0) + 1 : 0;
}

}  // namespace

void KeptPictures::Forget() { known_.clear(); }

std::int64_t KeptPictures::KnownId(const PictureBytes& picture) {
  known_.erase(std::remove_if(known_.begin(), known_.end(), [](const auto& known) { return known.first.expired(); }),
               known_.end());
  for (const auto& [bytes, id] : known_)
    if (bytes.lock() == picture) return id;
  return 0;
}

bool KeptPictures::Keep(sqlite3* db, std::uint64_t key, const PictureBytes& picture) {
  if (!picture) return true;
  std::int64_t id = KnownId(picture);
  if (id) {
    Statement stored(db, "SELECT 1 FROM pictures WHERE id = ?");
    stored.Bind(1, id);
    if (stored.Step() != SQLITE_ROW) id = 0;  // gone with the last entry that showed it
  }
  if (!id) {
    id = NextId(db);
    const std::array<std::uint8_t, 9> row = PictureRow(id);
    const std::string_view png(reinterpret_cast<const char*>(picture->data()), picture->size());
    const std::optional<Bytes> sealed = cipher_.Seal(png, {row.data(), row.size()});
    if (!id || !sealed) return false;
    Statement insert(db, "INSERT INTO pictures(id, sealed) VALUES (?, ?)");
    insert.Bind(1, id);
    insert.Bind(2, *sealed);
    if (insert.Step() != SQLITE_DONE) return false;
    known_.emplace_back(picture, id);
  }
  Statement show(db, ("UPDATE " + owners_ + " SET picture = ? WHERE " + ownerKey_ + " = ?").c_str());
  show.Bind(1, id);
  show.Bind(2, static_cast<std::int64_t>(key));
  return show.Step() == SQLITE_DONE;
}

bool KeptPictures::Tidy(sqlite3* db) {
  const std::string unshown =
      "DELETE FROM pictures WHERE id NOT IN (SELECT picture FROM " + owners_ + " WHERE picture IS NOT NULL)";
  if (Execute(db, unshown.c_str()) != SQLITE_OK) return false;
  for (;;) {
    Statement total(db, "SELECT coalesce(sum(length(sealed)), 0) FROM pictures");
    if (total.Step() != SQLITE_ROW) return false;
    if (static_cast<std::uint64_t>(total.Int(0)) <= largestBytes_) return true;
    if (!DropOldest(db)) return false;
  }
}

// The picture of the oldest row that shows one, from every row that does.
bool KeptPictures::DropOldest(sqlite3* db) {
  Statement oldest(
      db, ("SELECT picture FROM " + owners_ + " WHERE picture IS NOT NULL ORDER BY " + ownerKey_ + " LIMIT 1").c_str());
  if (oldest.Step() != SQLITE_ROW) return false;
  const std::int64_t id = oldest.Int(0);
  Statement hide(db, ("UPDATE " + owners_ + " SET picture = NULL WHERE picture = ?").c_str());
  hide.Bind(1, id);
  Statement drop(db, "DELETE FROM pictures WHERE id = ?");
  drop.Bind(1, id);
  return hide.Step() == SQLITE_DONE && drop.Step() == SQLITE_DONE;
}

PictureBytes KeptPictures::Read(std::int64_t id, ByteView sealed) {
  for (const auto& [bytes, knownId] : known_)
    if (knownId == id)
      if (PictureBytes held = bytes.lock()) return held;
  const std::array<std::uint8_t, 9> row = PictureRow(id);
  std::optional<std::string> png = cipher_.Unseal(sealed, {row.data(), row.size()});
  if (!png) return nullptr;
  auto picture = std::make_shared<const std::vector<std::uint8_t>>(png->begin(), png->end());
  known_.emplace_back(picture, id);
  return picture;
}

}  // namespace rtrillex
