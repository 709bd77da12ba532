// Running translated SQL on a connection of a statement's own: the table
// files it reads opened and attached read-only under views named as the
// tables, parameters bound, rows stepped within the time-out, and a failure
// named as the state of a table where it is one.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/src/connection.h"
#include "engine/src/error.h"
#include "engine/src/result_rows.h"
#include "engine/src/sqlite_db.h"
#include "engine/src/table_store.h"

namespace lce {

// The native error of an SQL failure on a missing table: the code of a missing file.
inline constexpr int kNativeTableNotFound = kErrFileNotFound;

// The tables a statement reads, by upper-case name as written.
using Stores = std::map<std::string, std::shared_ptr<TableStore>>;
using PreparedStmt = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// Codes that are a table file's own state (locked, left mid-write, damaged,
// not ours, missing): their errors say what to do and pass on unchanged.
bool isFileState(std::uint32_t code);

// Raises the state of one of the attached tables when the connection's last
// failure is one; returns otherwise.
void failOnTables(const Db& db, const Stores& stores);

// Opens a table the statement names, for reading its records.
std::shared_ptr<TableStore> openTable(const Connection& conn, const std::string& name,
                                      std::chrono::milliseconds lockWait, const std::string& text);
void attachTable(const Db& db, const TableStore& store, const std::string& schema, const std::string& name,
                 const std::string& text);
// A view named as the table over its records' field columns, so the
// translated SQL reads the table by the name the statement gave it.
void createView(const Db& db, const TableStore& store, const std::string& schema, const std::string& name);

// The schema a table of the statement is attached as: t1, t2, ... in the
// order the statement first names them.
std::string schemaOf(std::size_t i);
// Attaches the opened tables to a connection of the statement, each under
// its schema and a view named as the table.
void attachStores(const Db& db, const std::vector<std::string>& tables, const Stores& stores, const std::string& text);
// Opens the tables and attaches them.
Stores attachTables(const Db& db, const Connection& conn, const std::vector<std::string>& tables,
                    std::chrono::milliseconds lockWait, const std::string& text);
// A connection for a SELECT: an in-memory database with the practice's functions.
Db selectDb(std::chrono::milliseconds lockWait);

PreparedStmt prepareTranslated(const Db& db, const std::string& translated, const Stores& stores,
                               const std::string& text);
// Every parameter has been given a value (execute checks it first).
void bindParameters(sqlite3_stmt* raw, const std::vector<std::optional<Value>>& parameters);
// Steps the statement to its end within the time-out (0: none), keeping every row.
ResultRows stepAll(const Db& db, sqlite3_stmt* raw, std::uint32_t limit, const Stores& stores, const std::string& text);

}  // namespace lce
