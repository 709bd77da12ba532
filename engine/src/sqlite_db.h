// Owning wrappers for sqlite3 connections and statements. Every failure is
// turned into lce::Error with a text that names the file the database is.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lce {

class Db {
 public:
  enum class Mode { ReadOnly, ReadWrite, Create, Memory };
  Db() = default;
  // Opens path; ReadOnly uses mode=ro and never creates or changes the file.
  Db(const std::string& path, Mode mode);

  sqlite3* get() const { return db_.get(); }
  explicit operator bool() const { return static_cast<bool>(db_); }
  const std::string& path() const { return path_; }

  void exec(const std::string& sql) const;
  // Throws an error whose text is "what" + SQLite's message + the file.
  [[noreturn]] void raise(std::uint32_t code, const std::string& what) const;

 private:
  struct Close {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  };
  std::unique_ptr<sqlite3, Close> db_;
  std::string path_;
};

class Stmt {
 public:
  Stmt() = default;
  Stmt(const Db& db, const std::string& sql);

  explicit operator bool() const { return static_cast<bool>(stmt_); }
  sqlite3_stmt* get() const { return stmt_.get(); }

  // true: a row is ready; false: done. Errors throw.
  bool step();
  void reset();
  // Changes with every step and reset: a column value read at one
  // generation is valid while the generation stays the same.
  std::uint64_t generation() const { return generation_; }
  void bindNull(int i);
  void bind(int i, std::int64_t v);
  void bind(int i, double v);
  void bindText(int i, std::string_view v);
  void bindBlob(int i, const void* data, std::size_t size);

  std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_.get(), col); }
  double real(int col) const { return sqlite3_column_double(stmt_.get(), col); }
  std::string text(int col) const;
  std::string_view blob(int col) const;
  bool isNull(int col) const { return sqlite3_column_type(stmt_.get(), col) == SQLITE_NULL; }
  int type(int col) const { return sqlite3_column_type(stmt_.get(), col); }

 private:
  struct Finalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
  };
  std::unique_ptr<sqlite3_stmt, Finalize> stmt_;
  const Db* db_ = nullptr;
  std::uint64_t generation_ = 0;
};

// Quotes an identifier for SQL ("Entry Number" -> "\"Entry Number\"").
std::string quoteIdent(std::string_view name);
std::string quoteLiteral(std::string_view text);

}  // namespace lce
