#include "sqlite_history_file.h"

#include <algorithm>
#include <array>
#include <limits>
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

HistoryStore::Opened SqliteHistoryFile::Open() {
  db_.reset();
  truncationOwed_ = false;
  Opened opened;
  opened.result = OpenOrMake(opened.setAsideAs);
  if (opened.result == OpenResult::Failed) {
    db_.reset();
  } else {
    opened.nextKey = NextKey();
  }
  return opened;
}

HistoryStore::OpenResult SqliteHistoryFile::OpenOrMake(std::wstring& setAsideAs) {
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
      return OpenResult::Ready;
    case Check::Blank:
      return Initialize() ? OpenResult::Ready : OpenResult::Failed;
    case Check::Failed:
      return OpenResult::Failed;
    case Check::Unreadable:
      break;
  }
  // Closed first: Windows renames no open file.
  db_.reset();
  const std::optional<std::string> name = MoveAside(path_, clock_());
  if (!name) return OpenResult::Failed;
  setAsideAs = FromUtf8(*name);
  return CreateNew() ? OpenResult::SetAside : OpenResult::Failed;
}

SqliteHistoryFile::Check SqliteHistoryFile::OpenExisting() {
  switch (ReadHeader(path_, kApplicationId)) {
    case Header::CannotRead:
      return Check::Failed;
    case Header::Foreign:
      return Check::Unreadable;
    case Header::Plausible:
      break;
  }
  int error = SQLITE_OK;
  db_ = OpenConnection(path_, SQLITE_OPEN_READWRITE, error);
  if (!db_) return MeansUnreadable(error) ? Check::Unreadable : Check::Failed;
  sqlite3_busy_timeout(db_.get(), kBusyMilliseconds);
  const Check contents = CheckContents();
  if (contents != Check::Ours) return contents;
  // Only now that the file is known to be ours is anything in it changed.
  return Configure() ? Check::Ours : Check::Failed;
}

SqliteHistoryFile::Check SqliteHistoryFile::CheckContents() {
  sqlite3* db = db_.get();
  const auto failure = [](int error) { return MeansUnreadable(error) ? Check::Unreadable : Check::Failed; };
  std::int64_t application = 0;
  std::int64_t version = 0;
  std::int64_t objects = 0;
  int error = SQLITE_OK;
  if (!ReadNumber(db, "PRAGMA application_id", application, error) ||
      !ReadNumber(db, "PRAGMA user_version", version, error) ||
      !ReadNumber(db, "SELECT count(*) FROM sqlite_schema", objects, error)) {
    return failure(error);
  }
  // What a crash between making the file and its first commit leaves.
  if (application == 0 && version == 0 && objects == 0) return Check::Blank;
  if (application != kApplicationId || version != kSchemaVersion) return Check::Unreadable;

  Statement check(db, "PRAGMA quick_check(1)");
  error = check.Step();
  if (error != SQLITE_ROW) return failure(error);
  if (check.Text(0) != "ok") return Check::Unreadable;

  Statement key(db, "SELECT protected FROM file_key WHERE id = 1");
  error = key.Step();
  if (error == SQLITE_DONE) return Check::Unreadable;
  if (error != SQLITE_ROW) return failure(error);
  if (!cipher_.UseKey(key.Blob(0))) return Check::Unreadable;

  Statement entries(db, "SELECT count(*) FROM entries WHERE 0");
  error = entries.Step();
  return error == SQLITE_ROW ? Check::Ours : failure(error);
}

bool SqliteHistoryFile::CreateNew() {
  int error = SQLITE_OK;
  db_ = OpenConnection(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
  if (!db_) return false;
  sqlite3_busy_timeout(db_.get(), kBusyMilliseconds);
  if (Initialize()) return true;
  db_.reset();
  return false;
}

bool SqliteHistoryFile::Configure() {
  sqlite3* db = db_.get();
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
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
              "CREATE TABLE entries(key INTEGER PRIMARY KEY, copied_at INTEGER NOT NULL, sealed BLOB NOT NULL);"
              "CREATE TABLE file_key(id INTEGER PRIMARY KEY CHECK (id = 1), protected BLOB NOT NULL);") !=
          SQLITE_OK) {
    return false;
  }
  Statement insert(db, "INSERT INTO file_key(id, protected) VALUES (1, ?)");
  insert.Bind(1, *protectedKey);
  return insert.Step() == SQLITE_DONE && transaction.Commit();
}

std::uint64_t SqliteHistoryFile::NextKey() {
  Statement largest(db_.get(), "SELECT coalesce(max(key), 0) FROM entries");
  if (largest.Step() != SQLITE_ROW) return 1;
  return static_cast<std::uint64_t>(largest.Int(0)) + 1;
}

HistoryStore::Loaded SqliteHistoryFile::LoadNewest(std::size_t count) {
  Loaded loaded;
  if (!db_) return loaded;
  Statement newest(db_.get(), "SELECT key, copied_at, sealed FROM entries ORDER BY key DESC LIMIT ?");
  newest.Bind(1, static_cast<std::int64_t>(std::min<std::uint64_t>(count, kLargestKey)));
  while (newest.Step() == SQLITE_ROW) {
    const auto key = static_cast<std::uint64_t>(newest.Int(0));
    const LocalSeconds copiedAt = newest.Int(1);
    const std::optional<std::string> text = cipher_.Unseal(newest.Blob(2), View(AssociatedData(key, copiedAt)));
    if (!text) {
      ++loaded.skipped;
      continue;
    }
    loaded.entries.push_back({key, copiedAt, FromUtf8(*text)});
  }
  std::reverse(loaded.entries.begin(), loaded.entries.end());
  return loaded;
}

bool SqliteHistoryFile::Apply(const std::vector<StoreChange>& changes) {
  if (!db_) return false;
  Transaction transaction(db_.get());
  if (!transaction.begun()) return false;
  bool emptyLog = false;
  for (const StoreChange& change : changes) {
    if (!ApplyOne(change, emptyLog)) return false;
  }
  if (!transaction.Commit()) return false;
  if (emptyLog || truncationOwed_) TruncateLog();
  return true;
}

// `emptyLog` is set when the change removed text or added more than the log
// should keep.
bool SqliteHistoryFile::ApplyOne(const StoreChange& change, bool& emptyLog) {
  sqlite3* db = db_.get();
  switch (change.kind) {
    case StoreChange::Kind::Add: {
      if (change.key > kLargestKey) return false;
      const std::optional<Bytes> sealed =
          cipher_.Seal(ToUtf8(change.text), View(AssociatedData(change.key, change.copiedAt)));
      if (!sealed) return false;
      Statement insert(db, "INSERT INTO entries(key, copied_at, sealed) VALUES (?, ?, ?)");
      insert.Bind(1, static_cast<std::int64_t>(change.key));
      insert.Bind(2, change.copiedAt);
      insert.Bind(3, *sealed);
      emptyLog = emptyLog || sealed->size() > kLogLimitBytes;
      return insert.Step() == SQLITE_DONE;
    }
    case StoreChange::Kind::Remove: {
      if (change.key > kLargestKey) return true;  // never stored
      Statement remove(db, "DELETE FROM entries WHERE key = ?");
      remove.Bind(1, static_cast<std::int64_t>(change.key));
      if (remove.Step() != SQLITE_DONE) return false;
      break;
    }
    case StoreChange::Kind::Clear:
      if (Execute(db, "DELETE FROM entries") != SQLITE_OK) return false;
      break;
    case StoreChange::Kind::Trim: {
      Statement trim(db, "DELETE FROM entries WHERE key NOT IN (SELECT key FROM entries ORDER BY key DESC LIMIT ?)");
      trim.Bind(1, static_cast<std::int64_t>(std::min<std::uint64_t>(change.keep, kLargestKey)));
      if (trim.Step() != SQLITE_DONE) return false;
      break;
    }
  }
  emptyLog = emptyLog || sqlite3_changes(db) > 0;
  return true;
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
