// Whether a grouped SELECT runs as two halves at once, one on each core, and
// where they divide. A half holds the rows whose first grouping column lies
// below a bound (or is null), the other the rest; every group lies wholly in
// one half, so the halves' rows together are the statement's rows, and each
// half is ordered by the grouping terms, so the lower one's come first.
// Worth it only for large tables, and only for an integer column whose
// smallest and largest values are read at the ends of an SQL index, not by
// a scan.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/sql/translate.h"
#include "engine/src/sqlite_db.h"
#include "engine/src/table_store.h"

namespace lce {

// The fewest records of the grouping column's table for a split: below it,
// the second connection costs more than the half it saves. The environment
// variable LCE_SPLIT_MIN_RECORDS (0 .. 10^12) changes it for a run.
inline constexpr std::int64_t kSplitMinRecords = 20000;
std::int64_t splitMinRecords();

// Where the statement's table of a source is attached, and its store.
struct SplitSource {
    std::string schema;
    std::shared_ptr<TableStore> store;
};
using SourceLookup = std::function<std::optional<SplitSource>(const std::string& tableName)>;

// The bound as an SQL literal, read on db (the statement's connection, in its
// read transaction), or nothing when the statement is better run whole.
std::optional<std::string> splitBound(const Db& db, const sql::Translation& t, const SourceLookup& sources);

}  // namespace lce
