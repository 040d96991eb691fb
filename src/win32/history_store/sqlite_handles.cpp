#include "sqlite_handles.h"

namespace rtrillex {

Connection OpenConnection(const std::string& path, int flags, int& error) {
  sqlite3* raw = nullptr;
  error = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_EXRESCODE, nullptr);
  // SQLite hands back a connection even when opening fails: it must be closed.
  Connection db(raw);
  if (error != SQLITE_OK) db.reset();
  return db;
}

int Execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

Statement::Statement(sqlite3* db, const char* sql) {
  prepared_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
}

void Statement::Bind(int index, ByteView bytes) {
  // SQLite takes an empty blob from a null pointer as NULL, which the schema refuses.
  static const std::uint8_t kNone = 0;
  sqlite3_bind_blob64(statement_, index, bytes.size ? bytes.data : &kNone, bytes.size, SQLITE_TRANSIENT);
}

int Statement::Step() { return prepared_ == SQLITE_OK ? sqlite3_step(statement_) : prepared_; }

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))) : std::string();
}

ByteView Statement::Blob(int column) const {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
  return {data, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

}  // namespace rtrillex
