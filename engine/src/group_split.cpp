// A grouped SELECT split in two: where, and the two halves run at once.
#include "engine/src/group_split.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <system_error>
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

std::optional<std::string> splitBound(const Db& db, const sql::Translation& t, const Stores& stores) {
    if (!t.split || t.split->candidates.size() != 1 || std::thread::hardware_concurrency() < 2) return std::nullopt;
    const std::size_t index = t.split->candidates.front();
    if (index >= t.sources.size()) return std::nullopt;
    const std::string& table = t.sources[index].name;
    const auto named = std::find_if(t.tables.begin(), t.tables.end(),
                                    [&](const std::string& name) { return equalsIgnoringCase(name, table); });
    if (named == t.tables.end()) return std::nullopt;
    const std::string schema = schemaOf(static_cast<std::size_t>(named - t.tables.begin()));
    const std::string& column = t.split->column.column;
    if (!integerColumn(*stores.at(upper(*named)), column) || !leadsAnIndex(db, schema, column)) return std::nullopt;
    const std::string c = quoteIdent(column), records = schema + ".records";
    Stmt ends(db, "SELECT (SELECT min(" + c + ") FROM " + records + "), (SELECT max(" + c + ") FROM " + records +
                      "), (SELECT max(__recno) FROM " + records + ")");
    if (!ends.step() || ends.isNull(2) || ends.integer(2) < splitMinRecords()) return std::nullopt;
    // A value SQL wrote as text into the column sorts after every number: no middle to take.
    if (ends.type(0) != SQLITE_INTEGER || ends.type(1) != SQLITE_INTEGER) return std::nullopt;
    return integerMiddle(ends.integer(0), ends.integer(1));
}

void ReadTransaction::begin(std::size_t tables, const Stores& stores, const std::string& text) {
    db_.exec("BEGIN");
    open_ = true;
    std::string touch = "SELECT 0";
    for (std::size_t i = 0; i < tables; ++i) touch += " + (SELECT count(*) FROM " + schemaOf(i) + ".sqlite_master)";
    const PreparedStmt stmt = prepareTranslated(db_, touch, stores, text);
    stepAll(db_, stmt.get(), 0, stores, text);
}

void ReadTransaction::end() noexcept {
    if (open_) sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr);
    open_ = false;
}

std::optional<Halves> SplitSelect::halves(std::chrono::milliseconds lockWait) {
    const std::optional<std::string> bound = splitBound(db_, t_, stores_);
    if (!bound) return std::nullopt;
    // Any bound divides the rows rightly; what both halves must share is the
    // state of the tables, held from here on.
    read_.begin(t_.tables.size(), stores_, text_);
    // A reader of a file kept in write-ahead-log mode does not hold
    // writers off: the second connection could see a later state.
    for (std::size_t i = 0; i < t_.tables.size(); ++i) {
        Stmt mode(db_, "PRAGMA " + schemaOf(i) + ".journal_mode");
        if (mode.step() && equalsIgnoringCase(mode.text(0), "wal")) return std::nullopt;
    }
    if (!openSecond(lockWait)) return std::nullopt;
    return Halves{sql::SplitHalf(t_, *bound, true), sql::SplitHalf(t_, *bound, false)};
}

ResultRows SplitSelect::run(sqlite3_stmt* stmt, const Halves& halves,
                            const std::vector<std::optional<Value>>& parameters, std::uint32_t limit) {
    const PreparedStmt upperStmt = prepareTranslated(*second_, halves.upper, stores_, text_);
    bindParameters(upperStmt.get(), parameters);
    std::optional<ResultRows> upper;
    std::exception_ptr upperFailure;
    // The first half to fail stops the other; its failure is the statement's.
    std::atomic<bool> failed{false};
    const auto stepUpper = [&] {
        try {
            upper.emplace(stepAll(*second_, upperStmt.get(), limit, stores_, text_));
        } catch (...) {
            upperFailure = std::current_exception();
            if (!failed.exchange(true)) sqlite3_interrupt(db_.get());
        }
    };
    std::thread worker;
    try {
        worker = std::thread(stepUpper);
    } catch (const std::system_error&) {
        // No thread to be had: the halves one after the other.
    }
    std::optional<ResultRows> lower;
    try {
        lower.emplace(stepAll(db_, stmt, limit, stores_, text_));
    } catch (...) {
        const bool first = !failed.exchange(true);
        if (worker.joinable()) {
            if (first) sqlite3_interrupt(second_->get());
            worker.join();
        }
        if (!first && upperFailure) std::rethrow_exception(upperFailure);
        throw;
    }
    if (worker.joinable()) {
        worker.join();
    } else {
        stepUpper();
    }
    if (upperFailure) std::rethrow_exception(upperFailure);
    lower->append(std::move(*upper));
    return std::move(*lower);
}

void SplitSelect::endReads() noexcept {
    if (secondRead_) secondRead_->end();
    read_.end();
}

bool SplitSelect::openSecond(std::chrono::milliseconds lockWait) {
    try {
        second_.emplace(selectDb(lockWait));
        attachStores(*second_, t_.tables, stores_, text_);
        // It reads half the rows beside the first: a small page cache keeps
        // the statement's memory where one connection had it.
        for (std::size_t i = 0; i < t_.tables.size(); ++i) second_->exec("PRAGMA " + schemaOf(i) + ".cache_size=-512");
        secondRead_.emplace(*second_);
        second_->setLockWait(std::chrono::milliseconds(0));
        secondRead_->begin(t_.tables.size(), stores_, text_);
        second_->setLockWait(lockWait);
        return true;
    } catch (const Error&) {
        // The first connection reads on alone; whatever stopped the
        // second one it meets itself, if it matters to the statement.
        secondRead_.reset();
        second_.reset();
        return false;
    }
}

}  // namespace lce
