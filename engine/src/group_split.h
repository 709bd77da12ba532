// Whether a grouped SELECT runs as two halves at once, one on each core, and
// where they divide. A half holds the rows whose first grouping column lies
// below a bound (or is null), the other the rest; every group lies wholly in
// one half, so the halves' rows together are the statement's rows, and each
// half is ordered by the grouping terms, so the lower one's come first.
// Worth it only for large tables, and only for an integer column whose
// smallest and largest values are read at the ends of an SQL index, not by
// a scan.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/translate.h"
#include "engine/src/sqlite_db.h"
#include "engine/src/statement_run.h"
#include "engine/src/table_store.h"

namespace lce {

// The fewest records of the grouping column's table for a split: below it,
// the second connection costs more than the half it saves. The environment
// variable LCE_SPLIT_MIN_RECORDS (0 .. 10^12) changes it for a run.
inline constexpr std::int64_t kSplitMinRecords = 20000;
std::int64_t splitMinRecords();

// The bound as an SQL literal, read on db (the statement's connection, its
// tables attached as statement_run.h attaches them), or nothing when the
// statement is better run whole.
std::optional<std::string> splitBound(const Db& db, const sql::Translation& t, const Stores& stores);

struct Halves {
    std::string lower, upper;  // the two statements' SQLite texts
};

// Ends a connection's read transaction however the statement ends.
class ReadTransaction {
public:
    explicit ReadTransaction(const Db& db) : db_(db) {}
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;
    ~ReadTransaction() { end(); }

    // Begins it and takes the shared lock of every attached table, failing
    // as a statement that reads them would.
    void begin(std::size_t tables, const Stores& stores, const std::string& text);
    // A read transaction changes nothing: ending it cannot fail in a way that matters.
    void end() noexcept;

private:
    const Db& db_;
    bool open_ = false;
};

// A grouped SELECT in two halves at once. The second half runs on a
// connection of its own, on another thread. Both read one state of the
// tables: the first connection's read transaction holds every table's
// shared lock before the second begins its own, so no writer can commit in
// between; when the second cannot take its locks at once (a writer waits
// for them), the statement runs whole on the first.
class SplitSelect {
public:
    // db: the statement's connection, with the tables attached (statement_run.h).
    SplitSelect(const Db& db, const sql::Translation& t, const Stores& stores, const std::string& text)
        : db_(db), t_(t), stores_(stores), text_(text), read_(db) {}

    // The two halves' texts, or nothing: the statement runs whole. Begins
    // the first connection's read transaction once a bound is found.
    std::optional<Halves> halves(std::chrono::milliseconds lockWait);
    // Steps the lower half (stmt, prepared on the first connection, its
    // parameters bound) here and the upper one on the second connection;
    // the rows are the lower's, then the upper's. A failure of either half
    // stops the other and is the statement's.
    ResultRows run(sqlite3_stmt* stmt, const Halves& halves, const std::vector<std::optional<Value>>& parameters,
                   std::uint32_t limit);
    // The tables' locks are let go once the rows are read.
    void endReads() noexcept;

private:
    bool openSecond(std::chrono::milliseconds lockWait);

    const Db& db_;
    const sql::Translation& t_;
    const Stores& stores_;
    const std::string& text_;
    ReadTransaction read_;
    std::optional<Db> second_;
    std::optional<ReadTransaction> secondRead_;  // declared after second_: ends first
};

}  // namespace lce
