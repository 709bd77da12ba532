// Small owning helpers around an in-memory SQLite database for the SQL tests.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lce::sql::testing {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using DbPtr = std::unique_ptr<sqlite3, CloseDb>;
using StmtPtr = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

inline DbPtr OpenMemoryDb() {
    sqlite3* raw = nullptr;
    if (sqlite3_open(":memory:", &raw) != SQLITE_OK) {
        sqlite3_close(raw);
        throw std::runtime_error("cannot open an in-memory database");
    }
    return DbPtr(raw);
}

inline void Exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message != nullptr ? message : "?";
        sqlite3_free(message);
        throw std::runtime_error(text + " in: " + sql);
    }
}

inline StmtPtr Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK) {
        throw std::runtime_error(std::string(sqlite3_errmsg(db)) + " in: " + sql);
    }
    return StmtPtr(raw);
}

// The single value of a one-row, one-column query, as text; nullopt for NULL.
inline std::optional<std::string> Scalar(sqlite3* db, const std::string& sql) {
    const StmtPtr stmt = Prepare(db, sql);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) throw std::runtime_error("no row: " + sql);
    if (sqlite3_column_type(stmt.get(), 0) == SQLITE_NULL) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)));
}

}  // namespace lce::sql::testing
