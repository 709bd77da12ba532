// Choosing the bound that splits a grouped SELECT in two.
#include "engine/src/group_split.h"

#include <cstdlib>
#include <thread>

#include "engine/src/layout.h"
#include "engine/src/text.h"

namespace lce {

namespace {

bool integerColumn(const TableStore& store, const std::string& name) {
    const int col = store.column(name);
    return col >= 0 && kindOf(store.layout().columns()[static_cast<std::size_t>(col)].def.type) == Value::Kind::Integer;
}

// An SQL index leads with the column: its ends give the smallest and largest value at once.
bool leadsAnIndex(const Db& db, const std::string& schema, const std::string& column) {
    Stmt q(db,
           "SELECT 1 FROM pragma_index_list('records', ?1) AS l JOIN pragma_index_info(l.name, ?1) AS i "
           "WHERE i.seqno = 0 AND i.name = ?2 COLLATE NOCASE LIMIT 1");
    q.bindText(1, schema);
    q.bindText(2, column);
    return q.step();
}

// The middle of [lo, hi] such that both halves hold a value.
std::optional<std::string> integerMiddle(std::int64_t lo, std::int64_t hi) {
    if (hi <= lo) return std::nullopt;
    const std::uint64_t span = static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo);
    const std::int64_t mid = static_cast<std::int64_t>(static_cast<std::uint64_t>(lo) + span / 2 + span % 2);
    return std::to_string(mid);
}

}  // namespace

std::int64_t splitMinRecords() {
    const char* text = std::getenv("LCE_SPLIT_MIN_RECORDS");
    if (!text) return kSplitMinRecords;
    const std::optional<std::int64_t> n = parseInteger(text);
    return n && *n >= 0 && *n <= 1'000'000'000'000 ? *n : kSplitMinRecords;
}

std::optional<std::string> splitBound(const Db& db, const sql::Translation& t, const SourceLookup& sources) {
    if (!t.split || t.split->candidates.size() != 1 || std::thread::hardware_concurrency() < 2) return std::nullopt;
    const std::size_t index = t.split->candidates.front();
    if (index >= t.sources.size()) return std::nullopt;
    const std::optional<SplitSource> source = sources(t.sources[index].name);
    const std::string& column = t.split->column.column;
    if (!source || !integerColumn(*source->store, column) || !leadsAnIndex(db, source->schema, column))
        return std::nullopt;
    const std::string c = quoteIdent(column), records = source->schema + ".records";
    Stmt ends(db, "SELECT (SELECT min(" + c + ") FROM " + records + "), (SELECT max(" + c + ") FROM " + records +
                      "), (SELECT max(__recno) FROM " + records + ")");
    if (!ends.step() || ends.isNull(2) || ends.integer(2) < splitMinRecords()) return std::nullopt;
    // A value SQL wrote as text into the column sorts after every number: no middle to take.
    if (ends.type(0) != SQLITE_INTEGER || ends.type(1) != SQLITE_INTEGER) return std::nullopt;
    return integerMiddle(ends.integer(0), ends.integer(1));
}

}  // namespace lce
