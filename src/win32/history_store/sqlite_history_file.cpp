#include "sqlite_history_file.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <utility>

#include "utf8_text.h"

namespace rtrillex {
namespace {

constexpr auto kLargestKey = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

// A row's key and time stamp, bound to its sealed text so that a text moved
// to another row no longer unseals.
std::array<std::uint8_t, 16> AssociatedData(std::uint64_t key, LocalSeconds copiedAt) {
  std::array<std::uint8_t, 16> data{};
  const auto at = static_cast<std::uint64_t>(copiedAt);
  for (int i = 0; i < 8; ++i) {
    data[i] = static_cast<std::uint8_t>(key >> (8 * i));
    data[8 + i] = static_cast<std::uint8_t>(at >> (8 * i));
  }
  return data;
}

ByteView View(const std::array<std::uint8_t, 16>& data) { return {data.data(), data.size()}; }

// Other PCs' copies, by their id, sealed with it.
constexpr char kArrivalsTable[] =
    "CREATE TABLE arrivals(id BLOB PRIMARY KEY, copied_at INTEGER NOT NULL, sealed BLOB NOT NULL)";

SealedDatabase::Layout LayoutOfHistory() {
  return {SqliteHistoryFile::kApplicationId, SqliteHistoryFile::kSchemaVersion,
          std::string("CREATE TABLE entries(key INTEGER PRIMARY KEY, copied_at INTEGER NOT NULL, sealed BLOB NOT NULL,"
                      " kind INTEGER NOT NULL DEFAULT 0, picture INTEGER, this_pc_only INTEGER NOT NULL DEFAULT 0);") +
              KeptPictures::kTable + ";" + kArrivalsTable};
}

}  // namespace

SqliteHistoryFile::SqliteHistoryFile(std::string path, EntryCipher& cipher, Clock clock)
    : cipher_(cipher), file_(std::move(path), cipher, LayoutOfHistory(), std::move(clock)) {}

HistoryStore::Opened SqliteHistoryFile::Open(std::size_t newest) {
  pictures_.Forget();
  Opened opened;
  opened.result = OpenOrMake(newest, opened);
  if (opened.result == OpenResult::Failed) {
    file_.Close();
    opened.entries.clear();
  } else {
    opened.nextKey = NextKey();
  }
  return opened;
}

HistoryStore::OpenResult SqliteHistoryFile::OpenOrMake(std::size_t newest, Opened& opened) {
  switch (file_.Open()) {
    case SealedDatabase::Found::Made:
      return OpenResult::Ready;
    case SealedDatabase::Found::Ours:
      break;
    case SealedDatabase::Found::Failed:
      return OpenResult::Failed;
    case SealedDatabase::Found::Foreign:
    case SealedDatabase::Found::Newer:  // its history is of no use to this build
      return StartOver({}, opened);
    case SealedDatabase::Found::Damaged:
      // What can still be read is read with the key the file gave, if any.
      return StartOver(file_.keyInUse() ? ReadNewest(newest) : Read{}, opened);
  }
  Read read = ReadNewest(newest);
  // Another PC's copy that does not unseal is left out: its PC's journal
  // still holds it, and the file is not damaged for want of it.
  if (file_.version() >= 3) ReadArrivals(opened.arrivals);
  if (!read.whole) return StartOver(std::move(read), opened);
  if (!file_.Configure() || (file_.version() < kSchemaVersion && !Migrate())) return OpenResult::Failed;
  opened.entries.assign(std::make_move_iterator(read.entries.rbegin()), std::make_move_iterator(read.entries.rend()));
  return OpenResult::Ready;
}

// A file of an earlier layout, whole, brought up to this one: the first's
// entries are texts, and a later version of it can keep pictures; the
// second's keep no other PC's copies; the third's no copy marked as not to
// leave this PC.
bool SqliteHistoryFile::Migrate() {
  sqlite3* db = file_.db();
  Transaction transaction(db);
  if (!transaction.begun()) return false;
  const std::string version = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
  const bool pictures = file_.version() >= 2 ||
                        (Execute(db, "ALTER TABLE entries ADD COLUMN kind INTEGER NOT NULL DEFAULT 0") == SQLITE_OK &&
                         Execute(db, "ALTER TABLE entries ADD COLUMN picture INTEGER") == SQLITE_OK &&
                         Execute(db, KeptPictures::kTable) == SQLITE_OK);
  const bool arrivals = file_.version() >= 3 || Execute(db, kArrivalsTable) == SQLITE_OK;
  const bool marks = Execute(db, "ALTER TABLE entries ADD COLUMN this_pc_only INTEGER NOT NULL DEFAULT 0") == SQLITE_OK;
  return pictures && arrivals && marks && Execute(db, version.c_str()) == SQLITE_OK && transaction.Commit();
}

void SqliteHistoryFile::ReadArrivals(std::vector<KeptArrival>& arrivals) {
  Statement rows(file_.db(), "SELECT id, copied_at, sealed FROM arrivals ORDER BY copied_at");
  while (rows.Step() == SQLITE_ROW) {
    KeptArrival arrival;
    const ByteView id = rows.Blob(0);
    if (id.size != arrival.id.size()) continue;
    std::copy(id.data, id.data + id.size, arrival.id.begin());
    arrival.copiedAt = rows.Int(1);
    std::optional<std::string> data = cipher_.Unseal(rows.Blob(2), View(arrival.id));
    if (!data) continue;
    arrival.data = std::move(*data);
    arrivals.push_back(std::move(arrival));
  }
}

Written SqliteHistoryFile::KeepArrival(const KeptArrival& arrival, bool& emptyLog) {
  const int limit = sqlite3_limit(file_.db(), SQLITE_LIMIT_LENGTH, -1);
  if (arrival.data.size() > static_cast<std::size_t>(limit)) return Written::CannotKeep;
  const std::optional<Bytes> sealed = cipher_.Seal(arrival.data, View(arrival.id));
  if (!sealed) return Written::Failed;
  emptyLog = emptyLog || sealed->size() > (1u << 20);
  Statement insert(file_.db(), "INSERT OR REPLACE INTO arrivals(id, copied_at, sealed) VALUES (?, ?, ?)");
  insert.Bind(1, View(arrival.id));
  insert.Bind(2, arrival.copiedAt);
  insert.Bind(3, *sealed);
  return SealedDatabase::WrittenBy(insert.Step());
}

std::uint64_t SqliteHistoryFile::NextKey() {
  Statement largest(file_.db(), "SELECT coalesce(max(key), 0) FROM entries");
  if (largest.Step() != SQLITE_ROW) return 1;
  return static_cast<std::uint64_t>(largest.Int(0)) + 1;
}

SqliteHistoryFile::Read SqliteHistoryFile::ReadNewest(std::size_t newest) {
  Read read;
  if (newest == 0) return read;
  // The first layout has neither kinds nor pictures, the first three no marks.
  const std::string sql =
      file_.version() < 2
          ? "SELECT key, copied_at, sealed, 0, NULL, NULL, 0 FROM entries WHERE key <= ? ORDER BY key DESC"
          : std::string("SELECT e.key, e.copied_at, e.sealed, e.kind, e.picture, p.sealed, ") +
                (file_.version() >= 4 ? "e.this_pc_only" : "0") +
                " FROM entries e LEFT JOIN pictures p ON p.id = e.picture WHERE e.key <= ? ORDER BY e.key DESC";
  const char* seek = "SELECT key, copied_at, sealed FROM entries WHERE key <= ? ORDER BY key DESC LIMIT 1";
  const bool whole = file_.ReadDown(sql.c_str(), seek, [&](const Statement& row) {
    KeptEntry entry = EntryOf(row, read.whole);
    if (entry.key) {
      read.entries.push_back(std::move(entry));
    } else {
      ++read.unreadable;
    }
    return read.entries.size() < newest;
  });
  read.whole = read.whole && whole;
  return read;
}

// A row's entry; key 0 when its text does not unseal. A picture that does not
// unseal leaves its entry a tag line. Either way the file is not `whole`.
KeptEntry SqliteHistoryFile::EntryOf(const Statement& row, bool& whole) {
  KeptEntry entry;
  const auto key = static_cast<std::uint64_t>(row.Int(0));
  const LocalSeconds copiedAt = row.Int(1);
  // The key and time are sealed with the text: a changed one does not unseal.
  const std::optional<std::string> text = cipher_.Unseal(row.Blob(2), View(AssociatedData(key, copiedAt)));
  if (!text) {
    whole = false;
    return entry;
  }
  entry = {key, copiedAt, FromUtf8(*text), EntryKind::Text, nullptr};
  const std::int64_t kind = row.Int(3);
  if (kind == static_cast<std::int64_t>(EntryKind::Picture) || kind == static_cast<std::int64_t>(EntryKind::Files))
    entry.kind = static_cast<EntryKind>(kind);
  entry.thisPcOnly = row.Int(6) != 0;
  if (row.IsNull(4)) return entry;
  entry.picture = pictures_.Read(row.Int(4), row.Blob(5));
  whole = whole && entry.picture != nullptr;
  return entry;
}

// The file is moved aside untouched, with its log, and a new one is made
// holding what was read whole from it.
HistoryStore::OpenResult SqliteHistoryFile::StartOver(Read carried, Opened& opened) {
  if (!file_.StartOver(opened.setAsideAs)) return OpenResult::Failed;
  pictures_.Forget();  // the set-aside file's
  opened.unreadable = carried.unreadable;
  if (!carried.entries.empty() && Carry(carried.entries)) {
    opened.carried = carried.entries.size();
    opened.entries.assign(std::make_move_iterator(carried.entries.rbegin()),
                          std::make_move_iterator(carried.entries.rend()));
  }
  return OpenResult::SetAside;
}

// Sealed anew with the new file's key, under their own keys and times.
bool SqliteHistoryFile::Carry(const std::vector<KeptEntry>& entries) {
  Transaction transaction(file_.db());
  if (!transaction.begun()) return false;
  bool emptyLog = false;
  for (const KeptEntry& entry : entries) {
    if (Insert(entry.key, entry.copiedAt, entry.text, entry.kind, entry.thisPcOnly, emptyLog) != Written::Done ||
        !pictures_.Keep(file_.db(), entry.key, entry.picture))
      return false;
  }
  return pictures_.Tidy(file_.db()) && transaction.Commit();
}

HistoryStore::Applied SqliteHistoryFile::Apply(const std::vector<StoreChange>& changes) {
  bool tidy = false;
  return file_.Apply(
      changes.size(),
      [&](std::size_t i, bool& emptyLog) {
        tidy = tidy || changes[i].kind != StoreChange::Kind::Add;
        return ApplyOne(changes[i], emptyLog);
      },
      // Pictures no entry shows any more, and beyond the bound, go with the rest.
      [&] { return !tidy || pictures_.Tidy(file_.db()); });
}

Written SqliteHistoryFile::Insert(std::uint64_t key, LocalSeconds copiedAt, std::wstring_view text, EntryKind kind,
                                  bool thisPcOnly, bool& emptyLog) {
  if (key > kLargestKey) return Written::Failed;
  Bytes sealed;
  const Written written = file_.Seal(text, View(AssociatedData(key, copiedAt)), sealed, emptyLog);
  if (written != Written::Done) return written;
  Statement insert(file_.db(), "INSERT INTO entries(key, copied_at, sealed, kind, this_pc_only) VALUES (?, ?, ?, ?, ?)");
  insert.Bind(1, static_cast<std::int64_t>(key));
  insert.Bind(2, copiedAt);
  insert.Bind(3, sealed);
  insert.Bind(4, static_cast<std::int64_t>(kind));
  insert.Bind(5, std::int64_t{thisPcOnly ? 1 : 0});
  return SealedDatabase::WrittenBy(insert.Step());
}

// `emptyLog` is set when the change removed text or added more than the log
// should keep.
Written SqliteHistoryFile::ApplyOne(const StoreChange& change, bool& emptyLog) {
  sqlite3* db = file_.db();
  const int changedBefore = sqlite3_total_changes(db);
  switch (change.kind) {
    case StoreChange::Kind::Add:
      return Insert(change.key, change.copiedAt, change.text, change.entryKind, change.thisPcOnly, emptyLog);
    case StoreChange::Kind::KeepPicture:
      if (change.key > kLargestKey) return Written::Done;  // never stored
      return pictures_.Keep(db, change.key, change.picture) ? Written::Done : Written::Failed;
    case StoreChange::Kind::Remove: {
      if (change.key > kLargestKey) return Written::Done;  // never stored
      Statement remove(db, "DELETE FROM entries WHERE key = ?");
      remove.Bind(1, static_cast<std::int64_t>(change.key));
      if (remove.Step() != SQLITE_DONE) return Written::Failed;
      break;
    }
    case StoreChange::Kind::Clear:
      if (Execute(db, "DELETE FROM entries") != SQLITE_OK || Execute(db, "DELETE FROM arrivals") != SQLITE_OK)
        return Written::Failed;
      break;
    case StoreChange::Kind::Trim: {
      const auto keep = static_cast<std::int64_t>(std::min<std::uint64_t>(change.keep, kLargestKey));
      Statement trim(db, "DELETE FROM entries WHERE key NOT IN (SELECT key FROM entries ORDER BY key DESC LIMIT ?)");
      trim.Bind(1, keep);
      if (trim.Step() != SQLITE_DONE) return Written::Failed;
      Statement arrivals(db, "DELETE FROM arrivals WHERE id NOT IN"
                             " (SELECT id FROM arrivals ORDER BY copied_at DESC LIMIT ?)");
      arrivals.Bind(1, keep);
      if (arrivals.Step() != SQLITE_DONE) return Written::Failed;
      break;
    }
    case StoreChange::Kind::KeepArrival:
      return KeepArrival(change.arrival, emptyLog);
    case StoreChange::Kind::ForgetArrival: {
      Statement forget(db, "DELETE FROM arrivals WHERE id = ?");
      forget.Bind(1, View(change.arrival.id));
      if (forget.Step() != SQLITE_DONE) return Written::Failed;
      break;
    }
  }
  emptyLog = emptyLog || sqlite3_total_changes(db) != changedBefore;
  return Written::Done;
}

bool SqliteHistoryFile::DeleteFiles() { return file_.Delete(); }

}  // namespace rtrillex
