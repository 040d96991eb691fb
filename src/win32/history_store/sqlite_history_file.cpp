#include "sqlite_history_file.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <new>
#include <utility>

#include "history_files.h"
#include "utf8_text.h"

namespace rtrillex {
namespace {

// Long enough to wait out another connection's commit, short enough that the
// writer never stalls on a file another program keeps locked.
constexpr int kBusyMilliseconds = 200;

// The log's size kept beside the database: a larger commit empties it at
// once, so that a huge copy is not on the disk twice until the next one.
constexpr std::size_t kLogLimitBytes = 1 << 20;

constexpr auto kLargestKey = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

// What a failed call says of the file: one that is not a database of ours or
// is damaged can never be read, while anything else (locked, no room, no
// right to write) may pass.
bool MeansUnreadable(int code) {
  switch (code & 0xFF) {
    case SQLITE_ERROR:  // a table missing
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
      return true;
    default:
      return false;
  }
}

// What the file's first bytes say, before SQLite is let near it: a file that
// is no database at all, or that another program marked as its own, is set
// aside untouched (SQLite would take a log beside it for the database's and
// delete it on closing).
enum class Header { Plausible, Foreign, CannotRead };
Header ReadHeader(const std::string& path, std::int32_t ours) {
  constexpr std::size_t kSize = 100;  // SQLite's database header
  const std::optional<std::string> head = ReadHead(path, kSize);
  if (!head) return Header::CannotRead;
  if (head->empty()) return Header::Plausible;
  if (head->size() < kSize || head->compare(0, 16, std::string("SQLite format 3", 16)) != 0) return Header::Foreign;
  std::uint32_t application = 0;
  for (std::size_t i = 68; i < 72; ++i) application = (application << 8) | static_cast<std::uint8_t>((*head)[i]);
  // 0 is every database's that sets none, ours too until its first commit.
  const bool foreign = application != 0 && application != static_cast<std::uint32_t>(ours);
  return foreign ? Header::Foreign : Header::Plausible;
}

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

// One transaction that is rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db), begun_(Execute(db, "BEGIN IMMEDIATE") == SQLITE_OK) {}
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() {
    if (begun_) Execute(db_, "ROLLBACK");
  }
  bool begun() const { return begun_; }
  bool Commit() {
    if (!begun_ || Execute(db_, "COMMIT") != SQLITE_OK) return false;
    begun_ = false;
    return true;
  }

 private:
  sqlite3* db_;
  bool begun_;
};

// A pragma's single value, or SQLite's error code.
bool ReadNumber(sqlite3* db, const char* sql, std::int64_t& value, int& error) {
  Statement statement(db, sql);
  error = statement.Step();
  if (error != SQLITE_ROW) return false;
  value = statement.Int(0);
  return true;
}

}  // namespace

SqliteHistoryFile::SqliteHistoryFile(std::string path, EntryCipher& cipher, Clock clock)
    : path_(std::move(path)), cipher_(cipher), clock_(std::move(clock)) {}

HistoryStore::Opened SqliteHistoryFile::Open(std::size_t newest) {
  db_.reset();
  truncationOwed_ = false;
  fileKeyInUse_ = false;
  version_ = kSchemaVersion;
  pictures_.Forget();
  Opened opened;
  opened.result = OpenOrMake(newest, opened);
  if (opened.result == OpenResult::Failed) {
    db_.reset();
    opened.entries.clear();
  } else {
    opened.nextKey = NextKey();
  }
  return opened;
}

HistoryStore::OpenResult SqliteHistoryFile::OpenOrMake(std::size_t newest, Opened& opened) {
  switch (FileAt(path_)) {
    case Presence::Unknown:
      return OpenResult::Failed;
    case Presence::Missing:
      return CreateNew() ? OpenResult::Ready : OpenResult::Failed;
    case Presence::Present:
      break;
  }
  switch (OpenExisting()) {
    case Check::Ours:
      break;
    case Check::Blank:
      return Initialize() ? OpenResult::Ready : OpenResult::Failed;
    case Check::Failed:
      return OpenResult::Failed;
    case Check::NotOurs:
      return StartOver({}, opened);
    case Check::Damaged:
      // What can still be read is read with the key the file gave, if any.
      return StartOver(fileKeyInUse_ ? ReadNewest(newest) : Read{}, opened);
  }
  Read read = ReadNewest(newest);
  if (!read.whole) return StartOver(std::move(read), opened);
  // Whole: from now on it is written, and closing may fold the log in.
  if (!Configure() || (version_ < kSchemaVersion && !Migrate())) return OpenResult::Failed;
  opened.entries.assign(std::make_move_iterator(read.entries.rbegin()), std::make_move_iterator(read.entries.rend()));
  return OpenResult::Ready;
}

SqliteHistoryFile::Check SqliteHistoryFile::OpenExisting() {
  switch (ReadHeader(path_, kApplicationId)) {
    case Header::CannotRead:
      return Check::Failed;
    case Header::Foreign:
      return Check::NotOurs;
    case Header::Plausible:
      break;
  }
  hadLog_ = FileAt(path_ + "-wal") != Presence::Missing;
  hadIndex_ = FileAt(path_ + "-shm") != Presence::Missing;
  int error = SQLITE_OK;
  db_ = OpenConnection(path_, SQLITE_OPEN_READWRITE, error);
  if (!db_) return MeansUnreadable(error) ? Check::NotOurs : Check::Failed;
  // Until the file is known whole, closing must not fold the log into it: a
  // damaged file is set aside as it was found. And a file cut short is read
  // as far as it goes (SQLite refuses it whole, without this, for the pages
  // its header promises); nothing in the schema is written.
  sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_WRITABLE_SCHEMA, 1, nullptr);
  sqlite3_busy_timeout(db_.get(), kBusyMilliseconds);
  sqlite3_limit(db_.get(), SQLITE_LIMIT_LENGTH, entryLimit_);
  return CheckContents();
}

// The key is taken before the pages are checked, so that what a damaged
// file still holds can be read with it.
SqliteHistoryFile::Check SqliteHistoryFile::CheckContents() {
  sqlite3* db = db_.get();
  const auto failure = [](int error) { return MeansUnreadable(error) ? Check::Damaged : Check::Failed; };
  std::int64_t application = 0;
  std::int64_t version = 0;
  std::int64_t objects = 0;
  int error = SQLITE_OK;
  if (!ReadNumber(db, "PRAGMA application_id", application, error) ||
      !ReadNumber(db, "PRAGMA user_version", version, error)) {
    return failure(error);
  }
  // Another program's database, or one a newer rTrillex laid out otherwise.
  if ((application != 0 && application != kApplicationId) || version > kSchemaVersion) return Check::NotOurs;
  if (!ReadNumber(db, "SELECT count(*) FROM sqlite_schema", objects, error)) return failure(error);
  // What a crash between making the file and its first commit leaves.
  if (application == 0 && version == 0 && objects == 0) return Check::Blank;
  if (application != kApplicationId || version < 1) return Check::NotOurs;
  version_ = version;

  Statement key(db, "SELECT protected FROM file_key WHERE id = 1");
  error = key.Step();
  if (error == SQLITE_DONE) return Check::Damaged;
  if (error != SQLITE_ROW) return failure(error);
  switch (cipher_.UseKey(key.Blob(0))) {
    case EntryCipher::KeyUse::Used:
      fileKeyInUse_ = true;
      break;
    case EntryCipher::KeyUse::WrongKey:
      return Check::NotOurs;  // nothing in it can be read here
    case EntryCipher::KeyUse::NotNow:
      return Check::Failed;  // kept as it is, for a later try
  }

  Statement check(db, "PRAGMA quick_check(1)");
  error = check.Step();
  if (error != SQLITE_ROW) return failure(error);
  return check.Text(0) == "ok" ? Check::Ours : Check::Damaged;
}

bool SqliteHistoryFile::CreateNew() {
  int error = SQLITE_OK;
  db_ = OpenConnection(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
  if (!db_) return false;
  sqlite3_busy_timeout(db_.get(), kBusyMilliseconds);
  sqlite3_limit(db_.get(), SQLITE_LIMIT_LENGTH, entryLimit_);
  if (Initialize()) return true;
  db_.reset();
  return false;
}

bool SqliteHistoryFile::Configure() {
  sqlite3* db = db_.get();
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_WRITABLE_SCHEMA, 0, nullptr);
  // WAL: a power cut never leaves the file unreadable, and with synchronous
  // NORMAL a killed process loses nothing it committed. Deleted text is
  // overwritten with zeros rather than left in free pages. The log is cut
  // back to kLogLimitBytes when it starts over: else one huge copy would
  // leave it that size beside the database until the exit.
  Statement journal(db, "PRAGMA journal_mode = WAL");
  if (journal.Step() != SQLITE_ROW || journal.Text(0) != "wal") return false;
  return Execute(db, "PRAGMA synchronous = NORMAL") == SQLITE_OK &&
         Execute(db, "PRAGMA secure_delete = ON") == SQLITE_OK &&
         Execute(db, ("PRAGMA journal_size_limit = " + std::to_string(kLogLimitBytes)).c_str()) == SQLITE_OK;
}

bool SqliteHistoryFile::Initialize() {
  const std::optional<Bytes> protectedKey = cipher_.MakeKey();
  if (!protectedKey || !Configure()) return false;
  sqlite3* db = db_.get();
  Transaction transaction(db);
  if (!transaction.begun()) return false;
  const std::string header = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                             "; PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
  if (Execute(db, header.c_str()) != SQLITE_OK ||
      Execute(db,
              "CREATE TABLE entries(key INTEGER PRIMARY KEY, copied_at INTEGER NOT NULL, sealed BLOB NOT NULL,"
              " kind INTEGER NOT NULL DEFAULT 0, picture INTEGER);"
              "CREATE TABLE file_key(id INTEGER PRIMARY KEY CHECK (id = 1), protected BLOB NOT NULL);") != SQLITE_OK ||
      Execute(db, KeptPictures::kTable) != SQLITE_OK) {
    return false;
  }
  version_ = kSchemaVersion;
  Statement insert(db, "INSERT INTO file_key(id, protected) VALUES (1, ?)");
  insert.Bind(1, *protectedKey);
  return insert.Step() == SQLITE_DONE && transaction.Commit();
}

// A file of the first layout, whole, brought up to this one: its entries
// are texts, and a later version of it can keep pictures.
bool SqliteHistoryFile::Migrate() {
  sqlite3* db = db_.get();
  Transaction transaction(db);
  if (!transaction.begun()) return false;
  const std::string version = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
  if (Execute(db, "ALTER TABLE entries ADD COLUMN kind INTEGER NOT NULL DEFAULT 0") != SQLITE_OK ||
      Execute(db, "ALTER TABLE entries ADD COLUMN picture INTEGER") != SQLITE_OK ||
      Execute(db, KeptPictures::kTable) != SQLITE_OK || Execute(db, version.c_str()) != SQLITE_OK ||
      !transaction.Commit())
    return false;
  version_ = kSchemaVersion;
  return true;
}

std::uint64_t SqliteHistoryFile::NextKey() {
  Statement largest(db_.get(), "SELECT coalesce(max(key), 0) FROM entries");
  if (largest.Step() != SQLITE_ROW) return 1;
  return static_cast<std::uint64_t>(largest.Int(0)) + 1;
}

// Row by row from the newest, so that a damaged page costs only the rows on
// it: past one that cannot be read, the reading goes on below it.
SqliteHistoryFile::Read SqliteHistoryFile::ReadNewest(std::size_t newest) {
  Read read;
  std::int64_t below = std::numeric_limits<std::int64_t>::max();
  // The first layout has neither kinds nor pictures.
  const char* sql = version_ >= 2 ? "SELECT e.key, e.copied_at, e.sealed, e.kind, e.picture, p.sealed FROM entries e"
                                    " LEFT JOIN pictures p ON p.id = e.picture WHERE e.key <= ? ORDER BY e.key DESC"
                                  : "SELECT key, copied_at, sealed, 0, NULL, NULL FROM entries"
                                    " WHERE key <= ? ORDER BY key DESC";
  while (read.entries.size() < newest) {
    Statement rows(db_.get(), sql);
    rows.Bind(1, below);
    int step = SQLITE_ROW;
    while (read.entries.size() < newest && (step = rows.Step()) == SQLITE_ROW) {
      below = rows.Int(0) - 1;
      KeptEntry entry = EntryOf(rows, read.whole);
      if (entry.key) {
        read.entries.push_back(std::move(entry));
      } else {
        ++read.unreadable;
      }
    }
    if (step == SQLITE_DONE || read.entries.size() >= newest) break;
    read.whole = false;
    const std::optional<std::int64_t> readable = ReadableBelow(below);
    if (!readable) break;
    below = *readable;
  }
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
  if (row.IsNull(4)) return entry;
  entry.picture = pictures_.Read(row.Int(4), row.Blob(5));
  whole = whole && entry.picture != nullptr;
  return entry;
}

// The greatest key from which the rows read again, below `failed` where
// they did not: stepped down by doubling, then narrowed by halving.
std::optional<std::int64_t> SqliteHistoryFile::ReadableBelow(std::int64_t failed) {
  std::int64_t fine = failed;
  for (std::int64_t step = 1;; step *= 2) {
    if (failed <= 0) return std::nullopt;
    fine = failed > step ? failed - step : 0;
    if (SeeksFine(fine)) break;
    failed = fine;
  }
  while (failed - fine > 1) {
    const std::int64_t middle = fine + (failed - fine) / 2;
    (SeeksFine(middle) ? fine : failed) = middle;
  }
  return fine;
}

bool SqliteHistoryFile::SeeksFine(std::int64_t at) {
  Statement row(db_.get(), "SELECT key, copied_at, sealed FROM entries WHERE key <= ? ORDER BY key DESC LIMIT 1");
  row.Bind(1, at);
  const int step = row.Step();
  return step == SQLITE_ROW || step == SQLITE_DONE;
}

// The file is moved aside untouched, with its log, and a new one is made
// holding what was read whole from it.
HistoryStore::OpenResult SqliteHistoryFile::StartOver(Read carried, Opened& opened) {
  // Closed first: Windows renames no open file. What the reading made beside
  // it (an empty log and its index) is not the file's and goes.
  if (db_) {
    db_.reset();
    if (!hadLog_) DeleteFileAt(path_ + "-wal");
    if (!hadIndex_) DeleteFileAt(path_ + "-shm");
  }
  const std::optional<std::string> name = MoveAside(path_, clock_());
  if (!name) return OpenResult::Failed;
  opened.setAsideAs = FromUtf8(*name);
  if (!CreateNew()) return OpenResult::Failed;
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
  Transaction transaction(db_.get());
  if (!transaction.begun()) return false;
  bool emptyLog = false;
  for (const KeptEntry& entry : entries) {
    if (Insert(entry.key, entry.copiedAt, entry.text, entry.kind, emptyLog) != Written::Done ||
        !pictures_.Keep(db_.get(), entry.key, entry.picture))
      return false;
  }
  return pictures_.Tidy(db_.get()) && transaction.Commit();
}

HistoryStore::Applied SqliteHistoryFile::Apply(const std::vector<StoreChange>& changes) {
  Applied applied;
  if (!db_) return applied;
  Transaction transaction(db_.get());
  if (!transaction.begun()) return applied;
  bool emptyLog = false;
  bool tidy = false;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    tidy = tidy || changes[i].kind != StoreChange::Kind::Add;
    switch (ApplyOne(changes[i], emptyLog)) {
      case Written::Done:
        continue;
      case Written::Failed:
        return applied;
      case Written::CannotKeep:
        return {Applied::Result::CannotKeep, i};
    }
  }
  // Pictures no entry shows any more, and beyond the bound, go with the rest.
  const int changedBefore = sqlite3_total_changes(db_.get());
  if (tidy && !pictures_.Tidy(db_.get())) return applied;
  emptyLog = emptyLog || sqlite3_total_changes(db_.get()) != changedBefore;
  if (!transaction.Commit()) return applied;
  if (emptyLog || truncationOwed_) TruncateLog();
  return {Applied::Result::Done, 0};
}

SqliteHistoryFile::Written SqliteHistoryFile::Insert(std::uint64_t key, LocalSeconds copiedAt, std::wstring_view text,
                                                     EntryKind kind, bool& emptyLog) {
  if (key > kLargestKey) return Written::Failed;
  const int limit = sqlite3_limit(db_.get(), SQLITE_LIMIT_LENGTH, -1);
  // A text beyond what the store can hold is refused before it is converted
  // and sealed: at up to 3 bytes a unit, such a copy would need gigabytes.
  if (text.size() > static_cast<std::size_t>(limit)) return Written::CannotKeep;
  std::optional<Bytes> sealed;
  try {
    sealed = cipher_.Seal(ToUtf8(text), View(AssociatedData(key, copiedAt)));
  } catch (const std::bad_alloc&) {
    return Written::CannotKeep;  // this text is too large for the memory left, every time
  }
  if (!sealed) return Written::Failed;
  if (sealed->size() > static_cast<std::size_t>(limit)) return Written::CannotKeep;
  Statement insert(db_.get(), "INSERT INTO entries(key, copied_at, sealed, kind) VALUES (?, ?, ?, ?)");
  insert.Bind(1, static_cast<std::int64_t>(key));
  insert.Bind(2, copiedAt);
  insert.Bind(3, *sealed);
  insert.Bind(4, static_cast<std::int64_t>(kind));
  emptyLog = emptyLog || sealed->size() > kLogLimitBytes;
  const int step = insert.Step();
  if (step == SQLITE_DONE) return Written::Done;
  return (step & 0xFF) == SQLITE_TOOBIG ? Written::CannotKeep : Written::Failed;
}

// `emptyLog` is set when the change removed text or added more than the log
// should keep.
SqliteHistoryFile::Written SqliteHistoryFile::ApplyOne(const StoreChange& change, bool& emptyLog) {
  sqlite3* db = db_.get();
  switch (change.kind) {
    case StoreChange::Kind::Add:
      return Insert(change.key, change.copiedAt, change.text, change.entryKind, emptyLog);
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
      if (Execute(db, "DELETE FROM entries") != SQLITE_OK) return Written::Failed;
      break;
    case StoreChange::Kind::Trim: {
      Statement trim(db, "DELETE FROM entries WHERE key NOT IN (SELECT key FROM entries ORDER BY key DESC LIMIT ?)");
      trim.Bind(1, static_cast<std::int64_t>(std::min<std::uint64_t>(change.keep, kLargestKey)));
      if (trim.Step() != SQLITE_DONE) return Written::Failed;
      break;
    }
  }
  emptyLog = emptyLog || sqlite3_changes(db) > 0;
  return Written::Done;
}

// Removed text leaves no copy behind: secure_delete zeroes it in the pages,
// and emptying the log afterwards drops the frames that held it.
void SqliteHistoryFile::TruncateLog() {
  truncationOwed_ = sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) !=
                    SQLITE_OK;
}

bool SqliteHistoryFile::DeleteFiles() {
  db_.reset();
  return DeleteWithCompanions(path_);
}

}  // namespace rtrillex
