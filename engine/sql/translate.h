// Translator of the practice's SQL dialect into SQLite SQL.
//
// The dialect is what the practice's tools send: lines joined by CR LF,
// identifiers in brackets ("[Entry Number]") or double quotes, table aliases
// with or without AS, comma joins and JOIN ... ON, WHERE, GROUP BY, HAVING,
// ORDER BY, UNION, the aggregates SUM/COUNT/MIN/MAX/AVG, a column alias without
// AS, POSITION(a IN b), string literals in apostrophes ('' for one apostrophe),
// ":name" and "?" parameter markers, and comments ("--" and "/* */").
//
// The translation is done on tokens by a small recursive-descent parser, so a
// bracket, quote, comment or keyword inside a literal never confuses it.
//
// How tables reach SQLite: every table name in the statement is handed to the
// caller's TableResolver once per distinct name (case-insensitive), before the
// SQLite text is produced. The resolver returns the SQLite table expression to
// use, for example "\"t1\".\"rows\"" for a table file ATTACHed as schema t1;
// it throws to refuse a name (unknown table), and that exception leaves
// Translate unchanged. Without a resolver a table is emitted as its quoted name
// ("ZTTRN"). Every table source is emitted with an alias - the one written, or
// else the table name without folder and extension - so qualified column
// references ("pay.[Amount]", "ZTPAX.[Payment Reference]") keep working:
//   ZTTRN pay      ->  <resolved ZTTRN> AS "pay"
//   ZTPAX          ->  <resolved ZTPAX> AS "ZTPAX"
//
// Columns are emitted as quoted identifiers with the names as written
// ("pay"."Entry Number"), so the SQLite tables must name their columns by the
// field names. Character values must compare without trailing blanks: declare
// character columns with a collation that ignores them (SQLite's built-in
// RTRIM, or the collations registered by functions.h).
//
// POSITION(a IN b) becomes lce_position(a, b), registered by
// RegisterPracticeFunctions (functions.h): 0 for an empty or all-blank a.
//
// Parameter markers become numbered SQLite parameters ?1, ?2, ... in order of
// appearance; each occurrence is its own parameter, also when a name repeats,
// so the caller binds by the same 1-based ordinals as the dialect.
//
// Every select-list item of a SELECT gets an explicit output name (AS "..."):
// its alias, or the bare column name for a column reference, or "EXPR_n"
// (n = the item's 1-based position) for any other expression.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lce::sql {

// Native error numbers that Translate reports (the engine shows them as
// "NativeError = N;"). SQLite's own errors keep SQLite's codes.
inline constexpr int kNativeSyntaxError = 2115;
inline constexpr int kNativeUnsupported = 2116;
inline constexpr int kNativeTooComplex = 2117;  // past one of the limits below

// Limits that keep the work of a translation bounded whatever the text:
// the levels of nesting (parentheses, sub-queries, NOT, signs, CASE and
// function calls, each one level) the parser descends through - beyond it a
// statement would run the stack out - and the table sources of one SELECT
// (SQLite joins at most 64 tables).
inline constexpr std::size_t kMaxNesting = 200;
inline constexpr std::size_t kMaxJoinedTables = 64;
// The longest stretch of a token that a message quotes; the rest is cut.
inline constexpr std::size_t kMaxQuotedToken = 60;

class TranslateError : public std::runtime_error {
public:
    TranslateError(int nativeError, std::string message, std::string token)
        : std::runtime_error(std::move(message)), nativeError_(nativeError), token_(std::move(token)) {}
    int nativeError() const { return nativeError_; }
    // The token near which the problem was found, as written; empty at the end.
    const std::string& token() const { return token_; }

private:
    int nativeError_;
    std::string token_;
};

enum class StatementKind { Select, Insert, Update, Delete };

// What a select-list item is, so the engine can give the result column a type.
enum class ItemKind {
    Column,  // a plain column reference: column set
    Sum,     // SUM(arg): column set when arg is a plain column reference
    Count,   // COUNT(*) or COUNT(arg): always an integer
    Min,
    Max,
    Avg,
    Expression,  // anything else (literal, arithmetic, other function, ...)
    AllColumns,  // "*" or "alias.*": SQLite expands it; names come from SQLite
};

struct ColumnRef {
    std::string qualifier;  // table alias or table name as written; empty when unqualified
    std::string column;     // column name as written, without brackets
};

// One table source of the statement (FROM, JOIN, INTO, UPDATE, DELETE FROM).
struct TableSource {
    std::string name;    // table name as written (may carry an extension or a path)
    std::string alias;   // alias used in the SQLite text
    bool outer = false;  // true when it belongs to the outermost query
};

struct SelectItem {
    std::string name;  // output column name
    ItemKind kind = ItemKind::Expression;
    bool hasColumn = false;  // column below is meaningful
    ColumnRef column;        // Column: the column; aggregates: their plain column argument
    // Indexes into Translation::sources of the outer query that may hold the
    // column: the one the qualifier names, or every outer source when unqualified.
    std::vector<std::size_t> candidates;
};

// How a grouped SELECT can be run as two halves, each over the rows on one
// side of a value of its first grouping term: set for a single SELECT (no
// UNION, ORDER BY, TOP or DISTINCT) whose first GROUP BY term is a plain
// column. Every group lies wholly in one half, so the halves' rows together
// are the statement's rows.
struct GroupSplit {
    ColumnRef column;                     // the first grouping term
    std::vector<std::size_t> candidates;  // outer sources that may hold it, as for SelectItem
    std::string columnSql;                // its SQLite text
    std::string groupBy;                  // the GROUP BY list's SQLite text
    std::size_t whereBegin = 0;           // offset in sql of the WHERE condition (hasWhere)
    std::size_t groupByAt = 0;            // offset in sql of " GROUP BY"
    bool hasWhere = false;
};

struct Translation {
    std::string sql;  // SQLite SQL text
    StatementKind kind = StatementKind::Select;
    std::vector<TableSource> sources;     // every table source in order of appearance
    std::vector<std::string> tables;      // distinct table names (case-insensitive), first spelling
    std::vector<std::string> parameters;  // marker names in order, without ':'; "" for '?'
    std::vector<SelectItem> columns;      // select list of the outermost SELECT (empty otherwise)
    std::optional<GroupSplit> split;
};

// The SQLite text of one half of a split statement: the rows whose first
// grouping term is below the literal bound (or null), or the rest, each
// half ordered by the grouping terms so the lower half's rows come first.
std::string SplitHalf(const Translation& t, const std::string& boundLiteral, bool lower);

// Called once per distinct table name; returns the SQLite table expression.
using TableResolver = std::function<std::string(const std::string& tableName)>;

// Translates one statement (an optional trailing ';' is allowed).
// Throws TranslateError for syntax errors ("syntax error near ..."),
// unsupported statements, statements past the limits above ("SQL statement
// nested too deeply (more than 200 levels) near ..."), and whatever the
// resolver throws. A token quoted in a message is cut to kMaxQuotedToken bytes.
Translation Translate(std::string_view text, const TableResolver& resolver = {});

// Parameter markers in order of appearance, found by the tokenizer alone:
// accepts any text, never throws (an unterminated literal ends the scan).
std::vector<std::string> ScanParameters(std::string_view text);

}  // namespace lce::sql
