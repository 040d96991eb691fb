#include "sealed_database.h"

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

// A pragma's single value, or SQLite's error code.
bool ReadNumber(sqlite3* db, const char* sql, std::int64_t& value, int& error) {
  Statement statement(db, sql);
  error = statement.Step();
  if (error != SQLITE_ROW) return false;
  value = statement.Int(0);
  return true;
}

}  // namespace

SealedDatabase::SealedDatabase(std::string path, EntryCipher& cipher, Layout layout, Clock clock)
    : path_(std::move(path)), cipher_(cipher), layout_(layout), clock_(std::move(clock)) {}

SealedDatabase::Found SealedDatabase::Open() {
  db_.reset();
  truncationOwed_ = false;
  keyInUse_ = false;
  version_ = layout_.version;
  switch (FileAt(path_)) {
    case Presence::Unknown:
      return Found::Failed;
    case Presence::Missing:
      return CreateNew() ? Found::Made : Found::Failed;
    case Presence::Present:
      break;
  }
  const Found found = OpenExisting();
  if (found == Found::Failed) db_.reset();
  return found;
}

SealedDatabase::Found SealedDatabase::OpenExisting() {
  switch (ReadHeader(path_, layout_.applicationId)) {
    case Header::CannotRead:
      return Found::Failed;
    case Header::Foreign:
      return Found::Foreign;
    case Header::Plausible:
      break;
  }
  hadLog_ = FileAt(path_ + "-wal") != Presence::Missing;
  hadIndex_ = FileAt(path_ + "-shm") != Presence::Missing;
  int error = SQLITE_OK;
  db_ = OpenConnection(path_, SQLITE_OPEN_READWRITE, error);
  if (!db_) return MeansUnreadable(error) ? Found::Foreign : Found::Failed;
  // Until the file is known whole, closing must not fold the log into it: a
  // damaged file is set aside as it was found. And a file cut short is read
  // as far as it goes (SQLite refuses it whole, without this, for the pages
  // its header promises); nothing in the schema is written.
  sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_WRITABLE_SCHEMA, 1, nullptr);
  sqlite3_busy_timeout(db_.get(), kBusyMilliseconds);
  sqlite3_limit(db_.get(), SQLITE_LIMIT_LENGTH, valueLimit_);
  const Found found = CheckContents();
  if (found != Found::Made) return found;
  return Initialize() ? Found::Made : Found::Failed;
}

// The key is taken before the pages are checked, so that what a damaged
// file still holds can be read with it. Made: a blank file, still to be laid out.
SealedDatabase::Found SealedDatabase::CheckContents() {
  sqlite3* db = db_.get();
  const auto failure = [](int error) { return MeansUnreadable(error) ? Found::Damaged : Found::Failed; };
  std::int64_t application = 0;
  std::int64_t version = 0;
  std::int64_t objects = 0;
  int error = SQLITE_OK;
  if (!ReadNumber(db, "PRAGMA application_id", application, error) ||
      !ReadNumber(db, "PRAGMA user_version", version, error)) {
    return failure(error);
  }
  if (application != 0 && application != layout_.applicationId) return Found::Foreign;
  if (version > layout_.version) return application == layout_.applicationId ? Found::Newer : Found::Foreign;
  if (!ReadNumber(db, "SELECT count(*) FROM sqlite_schema", objects, error)) return failure(error);
  // What a crash between making the file and its first commit leaves.
  if (application == 0 && version == 0 && objects == 0) return Found::Made;
  if (application != layout_.applicationId || version < 1) return Found::Foreign;
  version_ = version;

  Statement key(db, "SELECT protected FROM file_key WHERE id = 1");
  error = key.Step();
  if (error == SQLITE_DONE) return Found::Damaged;
  if (error != SQLITE_ROW) return failure(error);
  switch (cipher_.UseKey(key.Blob(0))) {
    case EntryCipher::KeyUse::Used:
      keyInUse_ = true;
      break;
    case EntryCipher::KeyUse::WrongKey:
      return Found::Foreign;  // nothing in it can be read here
    case EntryCipher::KeyUse::NotNow:
      return Found::Failed;  // kept as it is, for a later try
  }

  Statement check(db, "PRAGMA quick_check(1)");
  error = check.Step();
  if (error != SQLITE_ROW) return failure(error);
  return check.Text(0) == "ok" ? Found::Ours : Found::Damaged;
}

bool SealedDatabase::CreateNew() {
  int error = SQLITE_OK;
  db_ = OpenConnection(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
  if (!db_) return false;
  sqlite3_busy_timeout(db_.get(), kBusyMilliseconds);
  sqlite3_limit(db_.get(), SQLITE_LIMIT_LENGTH, valueLimit_);
  if (Initialize()) return true;
  db_.reset();
  return false;
}

bool SealedDatabase::Configure() {
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

bool SealedDatabase::Initialize() {
  const std::optional<Bytes> protectedKey = cipher_.MakeKey();
  if (!protectedKey || !Configure()) return false;
  sqlite3* db = db_.get();
  Transaction transaction(db);
  if (!transaction.begun()) return false;
  const std::string header = "PRAGMA application_id = " + std::to_string(layout_.applicationId) +
                             "; PRAGMA user_version = " + std::to_string(layout_.version) + ";";
  if (Execute(db, header.c_str()) != SQLITE_OK ||
      Execute(db, "CREATE TABLE file_key(id INTEGER PRIMARY KEY CHECK (id = 1), protected BLOB NOT NULL)") !=
          SQLITE_OK ||
      Execute(db, layout_.tables.c_str()) != SQLITE_OK) {
    return false;
  }
  version_ = layout_.version;
  keyInUse_ = true;
  Statement insert(db, "INSERT INTO file_key(id, protected) VALUES (1, ?)");
  insert.Bind(1, *protectedKey);
  return insert.Step() == SQLITE_DONE && transaction.Commit();
}

void SealedDatabase::Release() {
  // What the reading made beside the file (an empty log and its index) is not the file's.
  if (!db_) return;
  db_.reset();
  if (!hadLog_) DeleteFileAt(path_ + "-wal");
  if (!hadIndex_) DeleteFileAt(path_ + "-shm");
}

bool SealedDatabase::StartOver(std::wstring& movedTo) {
  // Closed first: Windows renames no open file.
  Release();
  const std::optional<std::string> name = MoveAside(path_, clock_());
  if (!name) return false;
  movedTo = FromUtf8(*name);
  return CreateNew();
}

bool SealedDatabase::Delete() {
  db_.reset();
  return DeleteWithCompanions(path_);
}

// Row by row from the greatest key, so that a damaged page costs only the
// rows on it.
bool SealedDatabase::ReadDown(const char* sql, const char* seek, const std::function<bool(const Statement&)>& take) {
  std::int64_t below = std::numeric_limits<std::int64_t>::max();
  bool whole = true;
  for (;;) {
    Statement rows(db_.get(), sql);
    rows.Bind(1, below);
    int step = SQLITE_ROW;
    while ((step = rows.Step()) == SQLITE_ROW) {
      below = rows.Int(0) - 1;
      if (!take(rows)) return whole;
    }
    if (step == SQLITE_DONE) return whole;
    whole = false;
    const std::optional<std::int64_t> readable = ReadableBelow(seek, below);
    if (!readable) return whole;
    below = *readable;
  }
}

// The greatest key from which the rows read again, below `failed` where
// they did not: stepped down by doubling, then narrowed by halving.
std::optional<std::int64_t> SealedDatabase::ReadableBelow(const char* seek, std::int64_t failed) {
  std::int64_t fine = failed;
  for (std::int64_t step = 1;; step *= 2) {
    if (failed <= 0) return std::nullopt;
    fine = failed > step ? failed - step : 0;
    if (SeeksFine(seek, fine)) break;
    failed = fine;
  }
  while (failed - fine > 1) {
    const std::int64_t middle = fine + (failed - fine) / 2;
    (SeeksFine(seek, middle) ? fine : failed) = middle;
  }
  return fine;
}

bool SealedDatabase::SeeksFine(const char* seek, std::int64_t at) {
  Statement row(db_.get(), seek);
  row.Bind(1, at);
  const int step = row.Step();
  return step == SQLITE_ROW || step == SQLITE_DONE;
}

Written SealedDatabase::Seal(std::wstring_view text, ByteView associated, Bytes& sealed, bool& emptyLog) const {
  const int limit = sqlite3_limit(db_.get(), SQLITE_LIMIT_LENGTH, -1);
  // A text beyond what the file can hold is refused before it is converted
  // and sealed: at up to 3 bytes a unit, such a copy would need gigabytes.
  if (text.size() > static_cast<std::size_t>(limit)) return Written::CannotKeep;
  std::optional<Bytes> result;
  try {
    result = cipher_.Seal(ToUtf8(text), associated);
  } catch (const std::bad_alloc&) {
    return Written::CannotKeep;  // this text is too large for the memory left, every time
  }
  if (!result) return Written::Failed;
  if (result->size() > static_cast<std::size_t>(limit)) return Written::CannotKeep;
  emptyLog = emptyLog || result->size() > kLogLimitBytes;
  sealed = std::move(*result);
  return Written::Done;
}

Written SealedDatabase::WrittenBy(int step) {
  if (step == SQLITE_DONE) return Written::Done;
  return (step & 0xFF) == SQLITE_TOOBIG ? Written::CannotKeep : Written::Failed;
}

SealedDatabase::Applied SealedDatabase::Apply(std::size_t count,
                                              const std::function<Written(std::size_t i, bool& emptyLog)>& write,
                                              const std::function<bool()>& tidy) {
  Applied applied;
  sqlite3* db = db_.get();
  if (!db) return applied;
  Transaction transaction(db);
  if (!transaction.begun()) return applied;
  bool emptyLog = false;
  for (std::size_t i = 0; i < count; ++i) {
    switch (write(i, emptyLog)) {
      case Written::Done:
        continue;
      case Written::Failed:
        return applied;
      case Written::CannotKeep:
        return {Applied::Result::CannotKeep, i};
    }
  }
  const int changedBefore = sqlite3_total_changes(db);
  if (!tidy()) return applied;
  emptyLog = emptyLog || sqlite3_total_changes(db) != changedBefore;
  if (!transaction.Commit()) return applied;
  Committed(emptyLog);
  return {Applied::Result::Done, 0};
}

// Removed text leaves no copy behind: secure_delete zeroes it in the pages,
// and emptying the log afterwards drops the frames that held it.
void SealedDatabase::Committed(bool emptyLog) {
  if (!emptyLog && !truncationOwed_) return;
  truncationOwed_ = sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) !=
                    SQLITE_OK;
}

}  // namespace rtrillex
