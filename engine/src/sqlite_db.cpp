#include "engine/src/sqlite_db.h"


#include "engine/src/error.h"

namespace lce {

namespace {
std::string uriFor(const std::string& path, const char* mode) {
  std::string uri = "file:";
  for (char c : path) {
    switch (c) {
      case '?': uri += "%3f"; break;
      case '#': uri += "%23"; break;
      case '%': uri += "%25"; break;
      default: uri += c;
    }
  }
  uri += "?mode=";
  uri += mode;
  return uri;
}
}  // namespace

Db::Db(const std::string& path, Mode mode) : path_(path) {
  sqlite3* raw = nullptr;
  int flags = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
  std::string name;
  switch (mode) {
    case Mode::ReadOnly: flags |= SQLITE_OPEN_READONLY; name = uriFor(path, "ro"); break;
    case Mode::ReadWrite: flags |= SQLITE_OPEN_READWRITE; name = uriFor(path, "rw"); break;
    case Mode::Create: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; name = uriFor(path, "rwc"); break;
    case Mode::Memory: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY; name = ":memory:"; break;
  }
  const int rc = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) {
    const std::string msg = raw ? sqlite3_errmsg(raw) : "out of memory";
    db_.reset();
    fail(rc == SQLITE_CANTOPEN ? kErrFileNotFound : kErrDamaged, "Cannot open file " + path + ": " + msg);
  }
  sqlite3_extended_result_codes(raw, 0);
  sqlite3_busy_timeout(raw, 2000);
}

void Db::exec(const std::string& sql) const {
  char* err = nullptr;
  if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "unknown error";
    sqlite3_free(err);
    const int rc = sqlite3_errcode(db_.get());
    fail(rc == SQLITE_NOTADB ? kErrNotATable : rc == SQLITE_CORRUPT ? kErrDamaged : kErrWriteFailed,
         msg + " (file " + path_ + ")");
  }
}

void Db::raise(std::uint32_t code, const std::string& what) const {
  fail(code, what + ": " + sqlite3_errmsg(db_.get()) + " (file " + path_ + ")");
}

Stmt::Stmt(const Db& db, const std::string& sql) : db_(&db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v3(db.get(), sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw,
                         nullptr) != SQLITE_OK) {
    const int rc = sqlite3_errcode(db.get());
    db.raise(rc == SQLITE_NOTADB ? kErrNotATable : rc == SQLITE_CORRUPT ? kErrDamaged : kErrSql,
             "Cannot read table catalog");
  }
  stmt_.reset(raw);
}

bool Stmt::step() {
  ++generation_;
  const int rc = sqlite3_step(stmt_.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const int code = sqlite3_errcode(db_->get());
  const std::string msg = sqlite3_errmsg(db_->get());
  sqlite3_reset(stmt_.get());
  fail(code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? kErrDamaged
       : code == SQLITE_CONSTRAINT                     ? kErrWriteFailed
       : code == SQLITE_READONLY                       ? kErrReadOnly
                                                       : kErrWriteFailed,
       msg + " (file " + db_->path() + ")");
}

void Stmt::reset() {
  ++generation_;
  sqlite3_reset(stmt_.get());
  sqlite3_clear_bindings(stmt_.get());
}
void Stmt::bindNull(int i) { sqlite3_bind_null(stmt_.get(), i); }
void Stmt::bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_.get(), i, v); }
void Stmt::bind(int i, double v) { sqlite3_bind_double(stmt_.get(), i, v); }
void Stmt::bindText(int i, std::string_view v) {
  sqlite3_bind_text(stmt_.get(), i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}
void Stmt::bindBlob(int i, const void* data, std::size_t size) {
  static const char empty = 0;
  sqlite3_bind_blob(stmt_.get(), i, size ? data : &empty, static_cast<int>(size), SQLITE_TRANSIENT);
}

std::string Stmt::text(int col) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), col));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), col))) : std::string();
}

std::string_view Stmt::blob(int col) const {
  const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), col));
  return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), col)))
           : std::string_view();
}

std::string quoteIdent(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string quoteLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

}  // namespace lce
