// Running a statement: a SELECT's rows kept as a table with the types of
// their columns, and INSERT, UPDATE and DELETE run on their table's writer.
#include "engine/src/statement.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>

#include "engine/sql/functions.h"
#include "engine/sql/translate.h"
#include "engine/src/cursor.h"
#include "engine/src/error.h"
#include "engine/src/group_split.h"
#include "engine/src/layout.h"
#include "engine/src/record_locks.h"
#include "engine/src/result_rows.h"
#include "engine/src/sqlite_db.h"
#include "engine/src/statement_run.h"
#include "engine/src/table_store.h"
#include "engine/src/table_writer.h"
#include "engine/src/text.h"

namespace lce {

namespace {

std::optional<ColumnDef> parseDeclared(const char* decl) {
    if (!decl) return std::nullopt;
    const std::string_view d(decl);
    const auto pos = d.find("LCE_");
    if (pos == std::string_view::npos) return std::nullopt;
    ColumnDef def;
    std::int64_t parts[3] = {0, 0, 0};
    std::size_t p = pos + 4;
    for (int k = 0; k < 3; ++k) {
        const auto end = d.find_first_not_of("0123456789", p);
        const auto num = parseInteger(d.substr(p, end == std::string_view::npos ? std::string_view::npos : end - p));
        if (!num) return std::nullopt;
        parts[k] = *num;
        if (end == std::string_view::npos || d[end] != '_') break;
        p = end + 1;
    }
    def.type = static_cast<std::uint16_t>(parts[0]);
    def.length = static_cast<std::uint32_t>(parts[1]);
    def.decimals = static_cast<std::uint16_t>(parts[2]);
    if (!isKnownType(def.type)) return std::nullopt;
    return def;
}

Value cellValue(std::uint16_t type, const Cell& c) {
    if (c.type == SQLITE_NULL) return Value::null();
    const std::int64_t asInt = c.type == SQLITE_FLOAT ? static_cast<std::int64_t>(std::llround(c.d)) : c.i;
    const double asDouble = c.type == SQLITE_INTEGER ? static_cast<double>(c.i) : c.d;
    switch (kindOf(type)) {
        case Value::Kind::Integer: return Value::ofInteger(asInt);
        case Value::Kind::Double:
            return Value::ofDouble(c.type == SQLITE_TEXT ? parseDouble(c.s).value_or(0) : asDouble);
        case Value::Kind::Scaled: return Value::ofScaled(asInt);
        case Value::Kind::Date: return Value::ofDate(asInt);
        case Value::Kind::Time: return Value::ofTime(static_cast<std::uint32_t>(asInt));
        case Value::Kind::Timestamp:
            return Value::ofTimestamp(asInt / 86400000, static_cast<std::uint32_t>(asInt % 86400000));
        case Value::Kind::Logical: return Value::ofLogical(asInt != 0);
        case Value::Kind::Memo:
            return Value::ofMemo(c.type == SQLITE_TEXT || c.type == SQLITE_BLOB ? std::string(c.s)
                                                                                : std::to_string(asInt));
        case Value::Kind::Binary: return Value::ofBinary(std::string(c.s));
        case Value::Kind::Text:
            if (c.type == SQLITE_TEXT || c.type == SQLITE_BLOB) return Value::ofText(std::string(c.s));
            return Value::ofText(c.type == SQLITE_INTEGER ? std::to_string(c.i) : formatDouble(c.d));
        default: return Value::null();
    }
}

sql::Translation translateOrFail(const std::string& text) {
    try {
        return sql::Translate(text);
    } catch (const sql::TranslateError& e) {
        // The translator's message names the token and where it stands.
        failSql(e.nativeError(), e.what(), text);
    }
}

// The definition of the source column a select item names, looked up in the
// tables it may come from.
std::optional<ColumnDef> sourceColumn(const sql::SelectItem& item, const sql::Translation& t, const Stores& stores) {
    for (std::size_t idx : item.candidates) {
        if (idx >= t.sources.size()) continue;
        auto it = stores.find(upper(t.sources[idx].name));
        if (it == stores.end()) continue;
        const int col = it->second->column(item.column.column);
        if (col >= 0) return it->second->layout().columns()[static_cast<std::size_t>(col)].def;
    }
    return std::nullopt;
}

// The type of a result column: COUNT and AVG have their own; otherwise the
// source column's, widened where the values or the aggregate need it, else
// the type the values alone give.
ColumnDef resultType(sql::ItemKind kind, const std::optional<ColumnDef>& source, const ColumnDef& byValues) {
    ColumnDef def = byValues;
    if (kind == sql::ItemKind::Count) {
        def = ColumnDef{};
        def.type = byValues.type == kLongInteger ? kLongInteger : kInteger;
    } else if (kind == sql::ItemKind::Avg) {
        def = ColumnDef{};
        def.type = kDouble;
    } else if (source) {
        def = *source;
        if (kind == sql::ItemKind::Sum || kind == sql::ItemKind::Min || kind == sql::ItemKind::Max) {
            switch (kindOf(def.type)) {
                case Value::Kind::Integer: def.type = byValues.type == kLongInteger ? kLongInteger : kInteger; break;
                case Value::Kind::Double:
                    if (def.type == kNumeric || kind == sql::ItemKind::Sum)
                        def.type = def.type == kCurrencyDouble ? kCurrencyDouble : kDouble;
                    break;
                case Value::Kind::Scaled: break;
                default:
                    if (kind == sql::ItemKind::Sum) def = byValues;
                    break;
            }
            if (def.type == kDouble && source->type == kCurrencyDouble) def.type = kCurrencyDouble;
        }
        if (isCharacterType(def.type) && byValues.type == kCharacter)
            def.length = std::max(def.length, byValues.length);
        if (kindOf(def.type) == Value::Kind::Integer && byValues.type == kLongInteger) def.type = kLongInteger;
    }
    def.nullable = true;
    def.permissions = 0;
    return def;
}

// The name SQLite gives a result column, made a valid field name (not empty,
// not starting "__", at most 128 characters) unique within the result.
std::string resultColumnName(sqlite3_stmt* raw, int c, const TableSchema& schema) {
    std::string name = sqlite3_column_name(raw, c) ? sqlite3_column_name(raw, c) : "";
    if (name.empty()) name = "EXPR_" + std::to_string(c + 1);
    if (name.rfind("__", 0) == 0) name = "X" + name;
    if (name.size() > 128) name.resize(128);
    std::string unique = name;
    for (int k = 2; schema.columnIndex(unique) >= 0; ++k) unique = name + "_" + std::to_string(k);
    return unique;
}

TableSchema resultSchema(const sql::Translation& t, const Stores& stores, sqlite3_stmt* raw, const ResultRows& rows) {
    const int columns = sqlite3_column_count(raw);
    // Column types come from the source columns where the select list names one.
    const bool itemsMatch = t.columns.size() == static_cast<std::size_t>(columns) &&
                            std::none_of(t.columns.begin(), t.columns.end(), [](const sql::SelectItem& it) {
                                return it.kind == sql::ItemKind::AllColumns;
                            });
    TableSchema schema;
    schema.tableType = kLdt;
    for (int c = 0; c < columns; ++c) {
        const auto uc = static_cast<std::size_t>(c);
        const sql::SelectItem* item = itemsMatch ? &t.columns[uc] : nullptr;
        std::optional<ColumnDef> source;
        if (item && item->hasColumn) source = sourceColumn(*item, t, stores);
        if (!source && (!item || item->kind == sql::ItemKind::Column || item->kind == sql::ItemKind::Expression))
            source = parseDeclared(sqlite3_column_decltype(raw, c));
        ColumnDef def = resultType(item ? item->kind : sql::ItemKind::Column, source, rows.typeFromValues(uc));
        def.name = resultColumnName(raw, c, schema);
        schema.columns.push_back(def);
    }
    return schema;
}

// The result rows as an in-memory LDT table.
std::shared_ptr<TableStore> materialize(const TableSchema& schema, const ResultRows& rows) {
    auto store = TableStore::createInMemory(schema);
    const std::vector<ColumnDef>& columns = store->schema().columns;
    store->fill(rows.size(), [&](std::size_t r, Row& row) {
        for (std::size_t c = 0; c < row.size(); ++c) row[c] = cellValue(columns[c].type, rows.cell(r, c));
    });
    return store;
}

// A cursor over the result, owned by the connection; returns its handle.
std::uint32_t openResultCursor(Connection& conn, std::shared_ptr<TableStore> store, const std::string& collation) {
    Cursor::Options options;
    options.openOptions = 2;
    options.collation = collation;
    options.sqlResult = true;
    auto cursor = std::make_shared<Cursor>(std::move(store), options);
    const std::uint32_t h = HandleRegistry::instance().add(cursor);
    cursor->registerIndexes();
    conn.adopt(h);
    return h;
}

// ---- Statements that change a table ------------------------------------------

// The objects a changing statement adds to its table's writer connection for
// the time it runs: views of the other tables it reads (their files attached
// read-only), the triggers that note the records it changes, and the
// progress handler of its time-out. Removed again however it ends.
class ChangeRun {
public:
    explicit ChangeRun(const Db& db) : db_(db) {}
    ChangeRun(const ChangeRun&) = delete;
    ChangeRun& operator=(const ChangeRun&) = delete;
    ~ChangeRun() {
        dropTriggers();
        for (const std::string& view : views_)
            sqlite3_exec(db_.get(), ("DROP VIEW IF EXISTS temp." + quoteIdent(view)).c_str(), nullptr, nullptr,
                         nullptr);
        sqlite3_exec(db_.get(), "DELETE FROM temp.lce_changed", nullptr, nullptr, nullptr);
    }

    void addView(const std::string& name) { views_.push_back(name); }

    void watchChanges() {
        db_.exec("CREATE TEMP TABLE IF NOT EXISTS lce_changed(recno INTEGER PRIMARY KEY)");
        db_.exec(
            "CREATE TEMP TRIGGER lce_changed_insert AFTER INSERT ON main.records BEGIN "
            "INSERT OR IGNORE INTO lce_changed VALUES(NEW.__recno); END;"
            "CREATE TEMP TRIGGER lce_changed_update AFTER UPDATE ON main.records BEGIN "
            "INSERT OR IGNORE INTO lce_changed VALUES(OLD.__recno); "
            "INSERT OR IGNORE INTO lce_changed VALUES(NEW.__recno); END;"
            "CREATE TEMP TRIGGER lce_changed_delete AFTER DELETE ON main.records BEGIN "
            "INSERT OR IGNORE INTO lce_changed VALUES(OLD.__recno); END;");
        watching_ = true;
    }

    // The records the statement changed (the triggers end first).
    std::vector<std::int64_t> changed() {
        dropTriggers();
        std::vector<std::int64_t> recnos;
        Stmt q(db_, "SELECT recno FROM temp.lce_changed ORDER BY recno");
        while (q.step()) recnos.push_back(q.integer(0));
        return recnos;
    }

private:
    void dropTriggers() {
        if (!watching_) return;
        watching_ = false;
        sqlite3_exec(db_.get(),
                     "DROP TRIGGER IF EXISTS temp.lce_changed_insert; DROP TRIGGER IF EXISTS temp.lce_changed_update; "
                     "DROP TRIGGER IF EXISTS temp.lce_changed_delete",
                     nullptr, nullptr, nullptr);
    }

    const Db& db_;
    std::vector<std::string> views_;
    bool watching_ = false;
};

// An INSERT without a column list names every field column ("records"
// also holds the record number).
std::string withColumnList(const std::string& sql, const std::string& target, const TableStore& store) {
    const std::string prefix = "INSERT INTO " + target;
    if (sql.rfind(prefix, 0) != 0 || sql.compare(prefix.size(), 3, " (\"") == 0) return sql;
    std::string columns;
    for (const ColumnLayout& c : store.layout().columns())
        columns += (columns.empty() ? "" : ", ") + quoteIdent(c.def.name);
    return prefix + " (" + columns + ")" + sql.substr(prefix.size());
}

// A table file marked read-only (no write permission bit) refuses changes
// when rights are checked.
void checkRights(const TableStore& store, std::uint16_t rights) {
    if (rights == 2) return;
    std::error_code ec;
    const auto perms = std::filesystem::status(store.path(), ec).permissions();
    using P = std::filesystem::perms;
    if (!ec && (perms & (P::owner_write | P::group_write | P::others_write)) == P::none)
        fail(kErrNoRights, "Table " + store.path() +
                               " is marked read-only for this user; ask the practice's administrator for the right "
                               "to change it");
}

}  // namespace

// Runs INSERT, UPDATE or DELETE on the writer of its table (table_writer.h):
// inside the connection's transaction when one is active, else in one of its
// own; the records it changed get their images and keys before it ends.
std::int64_t Statement::executeChange(Connection& conn, const sql::Translation& first, std::uint32_t limit,
                                      std::chrono::milliseconds lockWait) {
    const std::string targetName = first.sources.front().name;
    Connection::TableTarget target;
    try {
        target = conn.resolveTable(targetName, 0);
    } catch (const Error& e) {
        if (e.code() == kErrNotInDictionary)
            failSql(kNativeTableNotFound, "Table not found: " + targetName + " (" + e.what() + ")", text_);
        throw;
    }
    std::shared_ptr<WritableTable> table;
    try {
        // Opened for reading first: a missing or foreign file is named the
        // way a SELECT names it, before anything is created beside it.
        const auto probe = openTable(conn, targetName, lockWait, text_);
        checkRights(*probe, rights);
        table = conn.writableTable(probe->path());
    } catch (const Error& e) {
        if (e.code() == kErrSql || isFileState(e.code()) || e.code() == kErrNoRights) throw;
        failSql(static_cast<int>(e.code()), "Cannot open table " + targetName + " for writing: " + e.what(), text_);
    }
    const Db& db = table->store()->db();
    // Refused while another program or connection has the table open exclusively.
    const auto openLock = OpenLock::take(table->path(), false);
    WritableTable::Scope scope(*table, conn.transactions(), WritableTable::Scope::Kind::Statement);
    if (!table->sqlReady()) {
        if (sql::RegisterPracticeFunctions(db.get()) != SQLITE_OK) db.raise(kErrSql, "Cannot register SQL functions");
        // A name in double quotes is a column, never a text literal.
        sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        table->setSqlReady();
    }
    ChangeRun run(db);
    Stores stores;
    stores[upper(targetName)] = table->store();
    for (const std::string& name : first.tables) {
        if (equalsIgnoringCase(name, targetName)) continue;
        std::shared_ptr<TableStore> store = openTable(conn, name, lockWait, text_);
        const std::string schema = table->attachedSchema(store->db().uri());
        if (schema.empty()) {
            const std::string fresh = table->noteAttached(store->db().uri());
            attachTable(db, *store, fresh, name, text_);
            createView(db, *store, fresh, name);
        } else {
            createView(db, *store, schema, name);
        }
        run.addView(name);
        stores[upper(name)] = store;
    }
    // The table changed is "records" itself; where the statement reads it
    // again (a sub-query, INSERT ... SELECT) it reads a view of its fields.
    const std::string targetSql = "\"main\".\"records\"";
    const std::string readView = "lce_target";
    createView(db, *table->store(), "main", readView);
    run.addView(readView);
    sql::Translation t;
    try {
        t = sql::Translate(text_, [&](const std::string& name) {
            return quoteIdent(equalsIgnoringCase(name, targetName) ? readView : name);
        });
    } catch (const sql::TranslateError& e) {
        failSql(e.nativeError(), e.what(), text_);
    }
    const auto at = t.sql.find(quoteIdent(readView));
    if (at != std::string::npos) t.sql.replace(at, quoteIdent(readView).size(), targetSql);
    run.watchChanges();
    std::int64_t changes = 0;
    {
        const PreparedStmt stmt =
            prepareTranslated(db, withColumnList(t.sql, targetSql, *table->store()), stores, text_);
        bindParameters(stmt.get(), parameters_);
        stepAll(db, stmt.get(), limit, stores, text_);
        changes = sqlite3_changes(db.get());
    }
    const std::vector<std::int64_t> changedRecords = run.changed();
    table->refresh(changedRecords);
    if (first.kind == sql::StatementKind::Insert && !changedRecords.empty())
        lastAutoIncrement_ = table->autoIncrementOf(changedRecords.back());
    scope.commit();
    return changes;
}

void failSql(int native, const std::string& message, const std::string& sql) {
    std::string shown = sql.substr(0, 200);
    for (char& ch : shown)
        if (ch == '\r' || ch == '\n') ch = ' ';
    fail(kErrSql, "Error " + std::to_string(kErrSql) + ": SQL statement failed. NativeError = " +
                      std::to_string(native) + "; " + message + " -- Statement: " + shown);
}

std::shared_ptr<Connection> Statement::connection() const {
    auto c = connection_.lock();
    if (!c) fail(kErrConnectionGone, "The connection of statement " + std::to_string(handle) + " is closed");
    return c;
}

void Statement::prepare(const std::string& sql) {
    connection();
    procedure_ = parseProcedureCall(sql);
    parameterNames_ = procedure_ ? procedure_->parameterNames : translateOrFail(sql).parameters;
    text_ = sql;
    prepared_ = true;
    parameters_.assign(parameterNames_.size(), std::nullopt);
    rowCount_.reset();
}

void Statement::setParameter(const char* field, Value value) {
    if (!prepared_) fail(kErrInvalidArgument, "Statement " + std::to_string(handle) + " has no prepared SQL text");
    std::size_t index = 0;
    const auto asNumber = reinterpret_cast<std::uintptr_t>(field);
    if (asNumber == 0) fail(kErrInvalidArgument, "No parameter given");
    if (asNumber < 0x10000) {
        index = asNumber;
    } else {
        const std::string name(field[0] == ':' ? field + 1 : field);
        for (std::size_t i = 0; i < parameterNames_.size() && index == 0; ++i)
            if (equalsIgnoringCase(parameterNames_[i], name)) index = i + 1;
        if (index == 0) fail(kErrFieldNotFound, "The statement has no parameter named " + name);
    }
    if (index < 1 || index > parameters_.size())
        fail(kErrFieldNotFound, "The statement has no parameter " + std::to_string(index) + " (it has " +
                                    std::to_string(parameters_.size()) + ")");
    parameters_[index - 1] = std::move(value);
}

// A marker without a value would otherwise read as null and quietly change
// what the statement selects.
void Statement::failOnUnsetParameter() const {
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        if (parameters_[i]) continue;
        const std::string named = parameterNames_[i].empty() ? "" : " (:" + parameterNames_[i] + ")";
        fail(kErrInvalidArgument, "Parameter " + std::to_string(i + 1) + named +
                                      " of the statement has no value; set one, or set it empty for null, "
                                      "before executing");
    }
}

std::uint32_t Statement::execute() {
    auto conn = connection();
    if (!prepared_) fail(kErrInvalidArgument, "Statement " + std::to_string(handle) + " has no prepared SQL text");
    failOnUnsetParameter();
    if (procedure_) return runProcedure(*conn);
    const sql::Translation t = translateOrFail(text_);
    // The statement's time-out, else the connection's, also bounds each wait
    // for another program's lock on a table it reads.
    ranInHalves_ = false;
    const std::uint32_t limit = timeout ? timeout : conn->sqlTimeout();
    const std::chrono::milliseconds lockWait = limit ? std::chrono::milliseconds(limit) : defaultLockWait();
    if (t.kind != sql::StatementKind::Select) {
        rowCount_ = executeChange(*conn, t, limit, lockWait);
        return 0;
    }
    const Db db = selectDb(lockWait);
    const Stores stores = attachTables(db, *conn, t.tables, lockWait, text_);
    SplitSelect split(db, t, stores, text_);
    const std::optional<Halves> halves = split.halves(lockWait);
    const PreparedStmt stmt = prepareTranslated(db, halves ? halves->lower : t.sql, stores, text_);
    bindParameters(stmt.get(), parameters_);
    const ResultRows rows =
        halves ? split.run(stmt.get(), *halves, parameters_, limit) : stepAll(db, stmt.get(), limit, stores, text_);
    ranInHalves_ = halves.has_value();
    split.endReads();
    if (sqlite3_column_count(stmt.get()) == 0) {
        rowCount_ = sqlite3_changes(db.get());
        return 0;
    }
    auto store = materialize(resultSchema(t, stores, stmt.get(), rows), rows);
    rowCount_ = static_cast<std::int64_t>(rows.size());
    return openResultCursor(*conn, std::move(store), collation);
}

std::string Statement::textArgument(const ProcedureCall::Argument& argument) const {
    if (!argument.isParameter) return argument.literal;
    const std::optional<Value>& value = parameters_.at(argument.parameter);
    if (!value || value->isNull()) return {};
    if (value->kind != Value::Kind::Text && value->kind != Value::Kind::Memo)
        failSql(sql::kNativeSyntaxError, "the argument of the procedure must be text", text_);
    return value->text;
}

std::uint32_t Statement::runProcedure(Connection& conn) {
    const ProcedureCall& call = *procedure_;
    if (call.kind == ProcedureCall::Kind::SetApplicationId) {
        const std::string id = textArgument(call.arguments.at(0));
        if (id.size() > kMaxApplicationId)
            failSql(sql::kNativeSyntaxError,
                    "an application id has at most " + std::to_string(kMaxApplicationId) + " characters, not " +
                        std::to_string(id.size()),
                    text_);
        conn.setApplicationId(id);
        rowCount_ = 0;
        return 0;
    }
    const std::string id = conn.applicationId();
    TableSchema schema;
    schema.tableType = kLdt;
    ColumnDef column;
    column.name = "ApplicationID";
    column.type = kCharacter;
    column.length = static_cast<std::uint32_t>(std::max<std::size_t>(id.size(), 1));
    schema.columns.push_back(column);
    auto store = TableStore::createInMemory(schema);
    store->begin();
    store->append(Row{Value::ofText(id)});
    store->commit();
    rowCount_ = 1;
    return openResultCursor(conn, std::move(store), collation);
}

}  // namespace lce
