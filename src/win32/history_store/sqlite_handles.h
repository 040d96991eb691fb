// Owners of SQLite's connection, statement and transaction handles, and the
// few calls the stores make through them.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>

#include "entry_cipher.h"

namespace rtrillex {

struct ConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

// Opens `path` (UTF-8); on failure `error` holds SQLite's extended code.
Connection OpenConnection(const std::string& path, int flags, int& error);

// Runs SQL without results; SQLite's result code.
int Execute(sqlite3* db, const char* sql);

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

class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(statement_); }

  // SQLite's result code from preparing: SQLITE_OK, or why not.
  int prepared() const { return prepared_; }

  void Bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }
  // The bytes are copied: they may go before the statement runs.
  void Bind(int index, ByteView bytes);

  // SQLITE_ROW, SQLITE_DONE or an error; an unprepared statement gives its
  // preparing error.
  int Step();

  std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
  std::string Text(int column) const;
  ByteView Blob(int column) const;

 private:
  sqlite3_stmt* statement_ = nullptr;
  int prepared_ = SQLITE_OK;
};

}  // namespace rtrillex
