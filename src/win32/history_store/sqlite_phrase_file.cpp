#include "sqlite_phrase_file.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "utf8_text.h"

namespace rtrillex {
namespace {

constexpr auto kLargestId = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
// The kind column: an entry's kind, or this for a separator.
constexpr std::int64_t kSeparator = 3;

// A row's id, which of its texts, and its kind, bound to the sealed text:
// a label taken for a text, a text moved to another row or a row whose kind
// was changed no longer unseals. Its position is not bound, so that a move
// rewrites nothing sealed.
std::array<std::uint8_t, 10> RowData(std::uint64_t id, char field, std::int64_t kind) {
  std::array<std::uint8_t, 10> data{};
  for (int i = 0; i < 8; ++i) data[i] = static_cast<std::uint8_t>(id >> (8 * i));
  data[8] = static_cast<std::uint8_t>(field);
  data[9] = static_cast<std::uint8_t>(kind);
  return data;
}

ByteView View(const std::array<std::uint8_t, 10>& data) { return {data.data(), data.size()}; }

std::int64_t KindOf(const KeptPhrase& phrase) {
  return phrase.separator ? kSeparator : static_cast<std::int64_t>(phrase.kind);
}

SealedDatabase::Layout LayoutOfPhrases() {
  return {SqlitePhraseFile::kApplicationId, SqlitePhraseFile::kSchemaVersion,
          std::string("CREATE TABLE phrases(id INTEGER PRIMARY KEY, position INTEGER NOT NULL, kind INTEGER NOT NULL,"
                      " label BLOB NOT NULL, text BLOB NOT NULL, picture INTEGER);") +
              KeptPictures::kTable};
}

}  // namespace

SqlitePhraseFile::SqlitePhraseFile(std::string path, EntryCipher& cipher, Clock clock)
    : cipher_(cipher), file_(std::move(path), cipher, LayoutOfPhrases(), std::move(clock)) {
  // Each picture is one the person chose to keep: none gives way to another.
  pictures_.LimitBytes(std::numeric_limits<std::uint64_t>::max());
}

PhraseStore::Opened SqlitePhraseFile::Open() {
  pictures_.Forget();
  Opened opened;
  opened.result = OpenOrMake(opened);
  if (opened.result == OpenResult::Failed || opened.result == OpenResult::Newer) {
    file_.Close();
    opened.phrases.clear();
  } else {
    opened.nextId = NextId();
  }
  return opened;
}

PhraseStore::OpenResult SqlitePhraseFile::OpenOrMake(Opened& opened) {
  switch (file_.Open()) {
    case SealedDatabase::Found::Made:
      return OpenResult::Ready;
    case SealedDatabase::Found::Ours:
      break;
    case SealedDatabase::Found::Failed:
      return OpenResult::Failed;
    case SealedDatabase::Found::Newer:
      // Its phrases are the person's still: kept for the build that wrote them.
      file_.Release();
      return OpenResult::Newer;
    case SealedDatabase::Found::Foreign:
      return StartOver({}, opened);
    case SealedDatabase::Found::Damaged:
      return StartOver(file_.keyInUse() ? ReadAll() : Read{}, opened);
  }
  Read read = ReadAll();
  if (!read.whole) return StartOver(std::move(read), opened);
  if (!file_.Configure()) return OpenResult::Failed;
  opened.phrases = std::move(read.phrases);
  return OpenResult::Ready;
}

std::uint64_t SqlitePhraseFile::NextId() {
  Statement largest(file_.db(), "SELECT coalesce(max(id), 0) FROM phrases");
  if (largest.Step() != SQLITE_ROW) return 1;
  return static_cast<std::uint64_t>(largest.Int(0)) + 1;
}

SqlitePhraseFile::Read SqlitePhraseFile::ReadAll() {
  Read read;
  std::vector<std::pair<std::int64_t, KeptPhrase>> placed;
  const bool whole = file_.ReadDown(
      "SELECT f.id, f.position, f.kind, f.label, f.text, f.picture, p.sealed FROM phrases f"
      " LEFT JOIN pictures p ON p.id = f.picture WHERE f.id <= ? ORDER BY f.id DESC",
      "SELECT id, position, kind, label, text FROM phrases WHERE id <= ? ORDER BY id DESC LIMIT 1",
      [&](const Statement& row) {
        KeptPhrase phrase;
        read.whole = PhraseOf(row, phrase) && read.whole;
        if (phrase.id) {
          placed.emplace_back(row.Int(1), std::move(phrase));
        } else {
          ++read.unreadable;
        }
        return true;
      });
  read.whole = read.whole && whole;
  // Phrases at equal positions stay in the order they were made.
  std::sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.id < b.second.id;
  });
  for (auto& [position, phrase] : placed) read.phrases.push_back(std::move(phrase));
  return read;
}

// False when any of it does not unseal; `phrase.id` stays 0 when its label
// or text does not (a picture that does not leaves a phrase without it).
bool SqlitePhraseFile::PhraseOf(const Statement& row, KeptPhrase& phrase) {
  const auto id = static_cast<std::uint64_t>(row.Int(0));
  const std::int64_t kind = row.Int(2);
  const std::optional<std::string> label = cipher_.Unseal(row.Blob(3), View(RowData(id, 'l', kind)));
  const std::optional<std::string> text = cipher_.Unseal(row.Blob(4), View(RowData(id, 't', kind)));
  if (!label || !text) return false;
  phrase.id = id;
  phrase.separator = kind == kSeparator;
  phrase.label = FromUtf8(*label);
  phrase.text = FromUtf8(*text);
  if (kind == static_cast<std::int64_t>(EntryKind::Picture) || kind == static_cast<std::int64_t>(EntryKind::Files))
    phrase.kind = static_cast<EntryKind>(kind);
  if (row.IsNull(5)) return true;
  phrase.picture = pictures_.Read(row.Int(5), row.Blob(6));
  return phrase.picture != nullptr;
}

// The file is moved aside untouched, and a new one is made holding every
// phrase read whole from it, in its order.
PhraseStore::OpenResult SqlitePhraseFile::StartOver(Read carried, Opened& opened) {
  if (!file_.StartOver(opened.setAsideAs)) return OpenResult::Failed;
  pictures_.Forget();  // the set-aside file's
  opened.unreadable = carried.unreadable;
  std::vector<PhraseChange> puts;
  for (std::size_t i = 0; i < carried.phrases.size(); ++i) puts.push_back(PhraseChange::Put(carried.phrases[i], i));
  if (!puts.empty() && Apply(puts)) {
    opened.carried = carried.phrases.size();
    opened.phrases = std::move(carried.phrases);
  }
  return OpenResult::SetAside;
}

PhraseStore::Applied SqlitePhraseFile::Apply(const std::vector<PhraseChange>& changes) {
  return file_.Apply(
      changes.size(), [&](std::size_t i, bool& emptyLog) { return ApplyOne(changes[i], emptyLog); },
      // Pictures no phrase shows any more go with the rest.
      [&] { return pictures_.Tidy(file_.db()); });
}

Written SqlitePhraseFile::ApplyOne(const PhraseChange& change, bool& emptyLog) {
  sqlite3* db = file_.db();
  switch (change.kind) {
    case PhraseChange::Kind::Put:
      return Put(change.phrase, change.position, emptyLog);
    case PhraseChange::Kind::Remove: {
      if (change.id > kLargestId) return Written::Done;  // never stored
      Statement remove(db, "DELETE FROM phrases WHERE id = ?");
      remove.Bind(1, static_cast<std::int64_t>(change.id));
      if (remove.Step() != SQLITE_DONE) return Written::Failed;
      emptyLog = emptyLog || sqlite3_changes(db) > 0;
      return Written::Done;
    }
    case PhraseChange::Kind::Order:
      for (std::size_t position = 0; position < change.ids.size(); ++position) {
        if (change.ids[position] > kLargestId) continue;
        Statement order(db, "UPDATE phrases SET position = ? WHERE id = ?");
        order.Bind(1, static_cast<std::int64_t>(position));
        order.Bind(2, static_cast<std::int64_t>(change.ids[position]));
        if (order.Step() != SQLITE_DONE) return Written::Failed;
      }
      return Written::Done;
  }
  return Written::Failed;
}

// A phrase put again replaces the one with its id: what it held is removed
// as a removal's is, and its picture, when the same bytes, stays as it was.
Written SqlitePhraseFile::Put(const KeptPhrase& phrase, std::size_t position, bool& emptyLog) {
  if (phrase.id == 0 || phrase.id > kLargestId) return Written::CannotKeep;
  const std::int64_t kind = KindOf(phrase);
  Bytes label;
  Bytes text;
  Written written = file_.Seal(phrase.label, View(RowData(phrase.id, 'l', kind)), label, emptyLog);
  if (written == Written::Done) written = file_.Seal(phrase.text, View(RowData(phrase.id, 't', kind)), text, emptyLog);
  if (written != Written::Done) return written;
  sqlite3* db = file_.db();
  Statement remove(db, "DELETE FROM phrases WHERE id = ?");
  remove.Bind(1, static_cast<std::int64_t>(phrase.id));
  if (remove.Step() != SQLITE_DONE) return Written::Failed;
  emptyLog = emptyLog || sqlite3_changes(db) > 0;
  Statement insert(db, "INSERT INTO phrases(id, position, kind, label, text) VALUES (?, ?, ?, ?, ?)");
  insert.Bind(1, static_cast<std::int64_t>(phrase.id));
  insert.Bind(2, static_cast<std::int64_t>(std::min<std::uint64_t>(position, kLargestId)));
  insert.Bind(3, kind);
  insert.Bind(4, label);
  insert.Bind(5, text);
  written = SealedDatabase::WrittenBy(insert.Step());
  if (written != Written::Done || phrase.separator) return written;
  return pictures_.Keep(db, phrase.id, phrase.picture) ? Written::Done : Written::Failed;
}

}  // namespace rtrillex
