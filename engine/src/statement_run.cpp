// Running translated SQL on a statement's own connection.
#include "engine/src/statement_run.h"

#include "engine/sql/functions.h"
#include "engine/src/error.h"
#include "engine/src/layout.h"
#include "engine/src/statement.h"
#include "engine/src/text.h"

namespace lce {

namespace {

int progressAbort(void* deadline) {
    const auto* d = static_cast<const std::chrono::steady_clock::time_point*>(deadline);
    return std::chrono::steady_clock::now() > *d ? 1 : 0;
}

// SQLite's own parser has a smaller stack than the dialect's nesting limit
// allows for some forms (nested EXISTS, derived tables): that refusal is said
// in the engine's words, with what to do.
std::string preparationFailure(const std::string& sqliteMessage) {
    if (sqliteMessage.find("parser stack overflow") != std::string::npos ||
        sqliteMessage.find("too many") != std::string::npos || sqliteMessage.find("too big") != std::string::npos)
        return "the statement is too complex for the SQL engine (" + sqliteMessage +
               "); write it with fewer nested sub-queries, derived tables or parentheses";
    return sqliteMessage;
}

void bindParameter(sqlite3_stmt* raw, int i, const std::optional<Value>& v) {
    if (!v || v->isNull()) {
        sqlite3_bind_null(raw, i);
        return;
    }
    switch (v->kind) {
        case Value::Kind::Double: sqlite3_bind_double(raw, i, v->real); break;
        case Value::Kind::Text:
        case Value::Kind::Memo:
            sqlite3_bind_text(raw, i, v->text.data(), static_cast<int>(v->text.size()), SQLITE_TRANSIENT);
            break;
        case Value::Kind::Binary:
            sqlite3_bind_blob(raw, i, v->text.data(), static_cast<int>(v->text.size()), SQLITE_TRANSIENT);
            break;
        case Value::Kind::Timestamp: sqlite3_bind_int64(raw, i, v->integer * 86400000 + v->millis); break;
        default: sqlite3_bind_int64(raw, i, v->integer); break;
    }
}

// Interrupts the statement's SQLite connection once the time-out has passed,
// for as long as it lives; no time-out (0) sets nothing.
class Deadline {
public:
    Deadline(const Db& db, std::uint32_t limit)
        : db_(db), at_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limit)), set_(limit != 0) {
        if (set_) sqlite3_progress_handler(db_.get(), 10000, progressAbort, &at_);
    }
    ~Deadline() {
        if (set_) sqlite3_progress_handler(db_.get(), 0, nullptr, nullptr);
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

private:
    const Db& db_;
    std::chrono::steady_clock::time_point at_;
    bool set_;
};

}  // namespace

bool isFileState(std::uint32_t code) {
    switch (code) {
        case kErrLocked:
        case kErrNeedsWriter:
        case kErrDamaged:
        case kErrNotATable:
        case kErrFileNotFound: return true;
        default: return false;
    }
}

// A failure of the statement's SQLite connection that is the state of one
// of the attached tables. SQLite does not say which one: a write left half
// done names the table it lies beside; a lock or damage names them all.
void failOnTables(const Db& db, const Stores& stores) {
    const int rc = sqlite3_extended_errcode(db.get());
    std::string files;
    for (const auto& [name, store] : stores) {
        FileFailure f;
        if (!describeFileFailure(rc, store->path(), FileKind::Table, db.lockWait(), f)) continue;
        if (f.code == kErrNeedsWriter || stores.size() == 1) fail(f.code, f.text);
        files += (files.empty() ? "" : ", ") + store->path();
    }
    if (files.empty()) return;
    if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED)
        fail(kErrLocked, "One of the table files " + files + " is locked by another program (waited " +
                             secondsText(db.lockWait()) +
                             "); try again when the practice's software has finished writing");
    if ((rc & 0xFF) == SQLITE_IOERR)
        fail(kErrDamaged, "One of the table files " + files +
                              " could not be read; check the disk or network share, then try again; if it persists, "
                              "restore the file from the practice's backup");
    fail(kErrDamaged, "One of the table files " + files +
                          " is damaged; restore it from the practice's backup or have the practice's software repair "
                          "it");
}

std::shared_ptr<TableStore> openTable(const Connection& conn, const std::string& name,
                                      std::chrono::milliseconds lockWait, const std::string& text) {
    Connection::TableTarget target;
    try {
        target = conn.resolveTable(name, 0);
        // The statement reads the records alone: their catalog is checked,
        // the index keys are not its business.
        return TableStore::open(target.file, false, lockWait, TableStore::Checks::Catalog);
    } catch (const Error& e) {
        if (e.code() == kErrNotInDictionary || (e.code() == kErrFileNotFound && findFile(target.file).empty()))
            failSql(kNativeTableNotFound, "Table not found: " + name + " (" + e.what() + ")", text);
        // A table's own state (locked, left mid-write, damaged, not ours) is
        // no fault of the statement: its error says what to do.
        if (isFileState(e.code())) throw;
        failSql(static_cast<int>(e.code()), "Cannot open table " + name + ": " + e.what(), text);
    }
}

void attachTable(const Db& db, const TableStore& store, const std::string& schema, const std::string& name,
                 const std::string& text) {
    Stmt attach(db, "ATTACH DATABASE ?1 AS " + schema);
    // Attached the way the store opened it: nothing is created beside it.
    attach.bindText(1, store.db().uri());
    try {
        attach.step();
    } catch (const Error& e) {
        if (isFileState(e.code())) throw;
        failSql(SQLITE_CANTOPEN, "Cannot attach table " + name + ": " + e.what(), text);
    }
}

void createView(const Db& db, const TableStore& store, const std::string& schema, const std::string& name) {
    std::string view = "CREATE TEMP VIEW " + quoteIdent(name) + " AS SELECT ";
    bool first = true;
    for (const ColumnLayout& c : store.layout().columns()) {
        view += (first ? "" : ", ") + quoteIdent(c.def.name);
        first = false;
    }
    db.exec(view + " FROM " + schema + ".records");
}

std::string schemaOf(std::size_t i) { return "t" + std::to_string(i + 1); }

void attachStores(const Db& db, const std::vector<std::string>& tables, const Stores& stores, const std::string& text) {
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const TableStore& store = *stores.at(upper(tables[i]));
        attachTable(db, store, schemaOf(i), tables[i], text);
        createView(db, store, schemaOf(i), tables[i]);
    }
}

Stores attachTables(const Db& db, const Connection& conn, const std::vector<std::string>& tables,
                    std::chrono::milliseconds lockWait, const std::string& text) {
    Stores stores;
    for (const std::string& name : tables) stores[upper(name)] = openTable(conn, name, lockWait, text);
    attachStores(db, tables, stores, text);
    return stores;
}

Db selectDb(std::chrono::milliseconds lockWait) {
    Db db("", Db::Mode::Memory, lockWait);
    // A name in double quotes is always a column: SQLite would otherwise read
    // an unknown one as a text literal and answer it for every row.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    if (sql::RegisterPracticeFunctions(db.get()) != SQLITE_OK) db.raise(kErrSql, "Cannot register SQL functions");
    return db;
}

PreparedStmt prepareTranslated(const Db& db, const std::string& translated, const Stores& stores,
                               const std::string& text) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), translated.c_str(), static_cast<int>(translated.size()), &raw, nullptr) !=
        SQLITE_OK) {
        failOnTables(db, stores);
        failSql(sqlite3_errcode(db.get()), preparationFailure(sqlite3_errmsg(db.get())), text);
    }
    return PreparedStmt(raw, sqlite3_finalize);
}

void bindParameters(sqlite3_stmt* raw, const std::vector<std::optional<Value>>& parameters) {
    const int count = sqlite3_bind_parameter_count(raw);
    for (int i = 1; i <= count; ++i)
        bindParameter(raw, i, i <= static_cast<int>(parameters.size()) ? parameters[i - 1] : std::nullopt);
}

ResultRows stepAll(const Db& db, sqlite3_stmt* raw, std::uint32_t limit, const Stores& stores,
                   const std::string& text) {
    const Deadline deadline(db, limit);
    ResultRows rows(sqlite3_column_count(raw));
    for (;;) {
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) {
            const int code = sqlite3_errcode(db.get());
            if (code != SQLITE_INTERRUPT) failOnTables(db, stores);
            const std::string msg =
                code == SQLITE_INTERRUPT ? "the statement ran longer than its time-out" : sqlite3_errmsg(db.get());
            failSql(code, msg, text);
        }
        rows.add(raw);
    }
    return rows;
}

}  // namespace lce
