// Filters of a cursor and the cursor's side of them: which records
// navigation passes over, count mode 1, and the evaluation and conversion of
// expressions on a table (LumEvalLogicalExpr, the long and short forms).
// The plain and the optimised filter are one SQLite condition over
// "records": navigation asks it of each record it reaches by record number
// (the primary key), and a filtered count is one SELECT count(*) with the
// condition, which SQLite answers through the column indexes of "records"
// where one fits.
#include "engine/src/filter.h"

#include "engine/src/cursor.h"
#include "engine/src/error.h"
#include "engine/src/table_store.h"
#include "engine/src/text.h"

namespace lce {

void Filters::bindParams(Stmt& stmt, const expr::Compiled& compiled) {
    for (std::size_t i = 0; i < compiled.params.size(); ++i)
        bindValue(stmt, kFirstParam + static_cast<int>(i), compiled.params[i]);
}

void Filters::compile(const Tree& plain, const Tree& optimized, bool exact, const expr::ColumnLookup& columns) {
    expr::Compiled combined;
    for (const Tree& tree : {optimized, plain}) {
        if (!tree) continue;
        expr::Compiled part =
            expr::translate(*tree, columns, exact, kFirstParam + static_cast<int>(combined.params.size()));
        combined.sql += combined.sql.empty() ? part.sql : " AND " + part.sql;
        for (Value& v : part.params) combined.params.push_back(std::move(v));
    }
    // Only a successful translation replaces what was there.
    compiled_ = std::move(combined);
    plain_ = plain;
    optimized_ = optimized;
    exact_ = exact;
}

void Filters::set(bool optimized, const std::string& text, const expr::ColumnLookup& columns) {
    Tree tree = expr::parse(text);
    compile(optimized ? plain_ : tree, optimized ? tree : optimized_, exact_, columns);
}

void Filters::clear(bool optimized, const expr::ColumnLookup& columns) {
    compile(optimized ? plain_ : Tree(), optimized ? Tree() : optimized_, exact_, columns);
}

void Filters::setExact(bool exact, const expr::ColumnLookup& columns) { compile(plain_, optimized_, exact, columns); }

// ---- the cursor's side ---------------------------------------------------------

expr::ColumnLookup Cursor::columnLookup() const {
    return [store = store_](std::string_view name) -> std::optional<expr::ColumnRef> {
        const int i = store->column(trimBlanks(name));
        if (i < 0) return std::nullopt;
        const ColumnDef& def = store->layout().columns()[static_cast<std::size_t>(i)].def;
        return expr::ColumnRef{def.name, def.type};
    };
}

Stmt& Cursor::conditionStatement(const std::string& sql) const {
    try {
        return statement(sql);
    } catch (const Error& e) {
        if (e.code() != kErrSql) throw;
        // SQLite refuses a condition only for its size.
        fail(kErrExpression, "Invalid expression: it is too complex to evaluate; split it into smaller expressions");
    }
}

void Cursor::setFilter(bool optimized, const std::string& text) {
    followWriter();
    store_->fillColumnsFromImages();
    Filters next = filters_;
    next.set(optimized, text, columnLookup());
    {
        const auto lease = store_->reading();
        conditionStatement("SELECT 1 FROM records WHERE records.__recno = ?1 AND " + next.condition());
    }
    replaceFilters(std::move(next));
}

void Cursor::replaceFilters(Filters next) {
    // The statements of the condition replaced are not asked again.
    const std::string previous = filters_.condition();
    filters_ = std::move(next);
    if (!previous.empty() && previous != filters_.condition()) dropStatementsOn(previous);
    stream_.reset();
}

void Cursor::clearFilter(bool optimized) {
    if (!filters_.has(optimized))
        fail(kErrNoFilter,
             std::string("No ") + (optimized ? "optimized filter" : "filter") + " is set on table " + name());
    Filters next = filters_;
    next.clear(optimized, columnLookup());
    replaceFilters(std::move(next));
}

void Cursor::setExact(bool exact) {
    Filters next = filters_;
    next.setExact(exact, columnLookup());
    replaceFilters(std::move(next));
}

bool Cursor::filteredOut(std::int64_t recno) const {
    if (!filters_.active()) return false;
    Stmt& q = conditionStatement("SELECT 1 FROM records WHERE records.__recno = ?1 AND " + filters_.condition());
    filters_.bind(q);
    q.bind(1, recno);
    const bool meets = q.step();
    q.reset();
    return !meets;
}

std::int64_t Cursor::filteredCount(std::size_t order) {
    const auto lease = store_->reading();
    std::string sql;
    if (order == 0) {
        sql = "SELECT count(*) FROM records WHERE " + filters_.condition();
    } else {
        const std::string& k = index(order).keyColumn;
        sql = "SELECT count(*) FROM " + keyTable(order) + " AS k JOIN records ON records.__recno = k.__recno WHERE " +
              scopeClause(order, "k." + k) + " AND " + filters_.condition();
    }
    Stmt& q = conditionStatement(sql);
    if (order != 0) bindScope(q, order);
    filters_.bind(q);
    q.step();
    const std::int64_t n = q.integer(0);
    q.reset();
    return n;
}

std::int64_t Cursor::filteredKeyNumber(std::size_t order) {
    const auto lease = store_->reading();
    if (order == 0) {
        Stmt& q =
            conditionStatement("SELECT count(*) FROM records WHERE records.__recno <= ?2 AND " + filters_.condition());
        filters_.bind(q);
        q.bind(2, recno_);
        q.step();
        const std::int64_t n = q.integer(0);
        q.reset();
        return n;
    }
    const auto key = currentKey(order);
    if (!key) return 0;
    const std::string& k = index(order).keyColumn;
    Stmt& q = conditionStatement(
        "SELECT count(*) FROM " + keyTable(order) + " AS k JOIN records ON records.__recno = k.__recno WHERE " +
        scopeClause(order, "k." + k) + " AND (k." + k + ", k.__recno) <= (?1, ?2) AND " + filters_.condition());
    bindScope(q, order);
    filters_.bind(q);
    q.bindKey(1, *key);
    q.bind(2, recno_);
    q.step();
    const std::int64_t n = q.integer(0);
    q.reset();
    return n;
}

bool Cursor::evaluate(const std::string& text) {
    followWriter();
    requireRecord();
    store_->fillColumnsFromImages();
    const auto tree = expr::parse(text);
    const expr::Compiled c = expr::translate(*tree, columnLookup(), filters_.exact(), Filters::kFirstParam);
    const auto lease = store_->reading();
    const std::string sql = "SELECT coalesce(" + c.sql + ", 0) FROM records WHERE records.__recno = ?1";
    // One expression is usually asked of many records in turn; only its statement is kept.
    if (!lastEvaluation_.empty() && lastEvaluation_ != sql) dropStatementsOn(lastEvaluation_);
    lastEvaluation_ = sql;
    Stmt& q = conditionStatement(sql);
    Filters::bindParams(q, c);
    q.bind(1, recno_);
    const bool meets = q.step() && q.integer(0) != 0;
    q.reset();
    return meets;
}

std::string Cursor::convertExpression(const std::string& text, bool toShort) const {
    const auto tree = expr::parse(text);
    expr::checkFields(*tree, columnLookup());
    return toShort ? expr::printShort(*tree) : expr::printLong(*tree);
}

}  // namespace lce
