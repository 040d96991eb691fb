// What History.db and Phrases.db have in common: a SQLite file marked as
// ours by an application id and a layout version, its texts sealed with a
// key of its own that the file keeps only in protected form (file_key), and
// the same answer to a file that is not as it should be: a file another
// program made, that another user's key sealed, or that is damaged, is moved
// aside untouched and a new one made in its place; a locked one is left for
// a later try.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "entry_cipher.h"
#include "history_store.h"
#include "sqlite_handles.h"

namespace rtrillex {

// One change written, or why not.
enum class Written {
  Done,
  Failed,      // this time: locked, no room, the system refused to seal
  CannotKeep,  // ever: too large for the file
};

class SealedDatabase {
 public:
  struct Layout {
    std::int32_t applicationId;  // marks the file as ours, whoever else uses SQLite
    std::int64_t version;        // the layout this build writes
    std::string tables;          // SQL that makes its tables, besides file_key
  };
  using Clock = std::function<std::time_t()>;

  // `path` is UTF-8; `cipher` outlives the file and serves no other one (it
  // holds the file's key). `clock` dates the name of a file set aside.
  SealedDatabase(std::string path, EntryCipher& cipher, Layout layout, Clock clock);

  enum class Found {
    Made,     // there was none, or an empty one: made new, ready to write
    Ours,     // ours, its key in use and SQLite's check passed: to be read, then Configure'd
    Damaged,  // ours but not whole: what can be read is, with the key if keyInUse(), then StartOver
    Foreign,  // no database, another program's, or sealed for someone else: StartOver
    Newer,    // ours, of a layout this build does not know
    Failed,   // not this time: locked, unreachable, a key not ready yet
  };
  // Closes what was open and opens the file anew.
  Found Open();
  bool keyInUse() const { return keyInUse_; }
  // The open file's layout.
  std::int64_t version() const { return version_; }
  sqlite3* db() const { return db_.get(); }

  // A file read whole is written from now on, and closing may fold its log in.
  bool Configure();
  void Close() { db_.reset(); }
  // Closes the file as it was found: what the reading made beside it goes.
  void Release();
  // Released, moved aside with its companions (`movedTo` its new name, left
  // as it was when it could not be moved) and made new; false when it was not.
  bool StartOver(std::wstring& movedTo);
  // Closes the file and deletes it with its companions; false when any is still there.
  bool Delete();

  // Rows by their key, from the greatest down: `sql` takes the greatest key
  // to read as its one parameter and gives the key first; each row goes to
  // `take` while it asks for more. Past rows SQLite cannot read the reading
  // goes on below them, found with `seek` (as `sql`, one row). False when
  // anything on the way could not be read.
  bool ReadDown(const char* sql, const char* seek, const std::function<bool(const Statement&)>& take);

  // `text` sealed for the row `associated` describes, within the most bytes
  // a value may take. `emptyLog` is set when it is more than the log should keep.
  Written Seal(std::wstring_view text, ByteView associated, Bytes& sealed, bool& emptyLog) const;
  // What a write's SQLite result code means for it.
  static Written WrittenBy(int step);

  // `count` changes in one transaction, or none: `write` writes change `i`
  // and sets `emptyLog` when it removed text or wrote much; `tidy` runs last
  // (pictures no row shows any more), and what it removes goes as removed
  // text does.
  using Applied = HistoryStore::Applied;
  Applied Apply(std::size_t count, const std::function<Written(std::size_t i, bool& emptyLog)>& write,
                const std::function<bool()>& tidy);

  // The most bytes one value may take; SQLite's own limit unless lowered (a
  // test cannot make a gigabyte text).
  void LimitValueBytes(int bytes) { valueLimit_ = bytes; }

 private:
  Found OpenExisting();
  Found CheckContents();
  bool CreateNew();
  bool Initialize();
  std::optional<std::int64_t> ReadableBelow(const char* seek, std::int64_t failed);
  bool SeeksFine(const char* seek, std::int64_t at);
  void Committed(bool emptyLog);

  std::string path_;
  EntryCipher& cipher_;
  Layout layout_;
  Clock clock_;
  Connection db_;
  int valueLimit_ = -1;
  // Of this Open: the file's key is in use, its layout, and which companions
  // were there before SQLite opened it (a reading makes a log and an index).
  bool keyInUse_ = false;
  std::int64_t version_ = 0;
  bool hadLog_ = false;
  bool hadIndex_ = false;
  // A removal whose traces are still in the log, the last truncation having failed.
  bool truncationOwed_ = false;
};

}  // namespace rtrillex
