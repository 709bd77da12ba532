// Table files: creating, opening with consistency checks, appending records with
// their images and keys, and the read transactions of read-only tables.
#include "engine/src/table_store.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "engine/src/error.h"
#include "engine/src/image_codec.h"
#include "engine/src/keys.h"
#include "engine/src/read_ahead.h"
#include "engine/src/read_reaper.h"
#include "engine/src/text.h"

namespace lce {

namespace {

constexpr const char* kFormat = "lce-table";
// Version 3: packed images in "lce_images", index keys in "lce_keys", the
// field columns in "records", 16 KB pages.
// Version 4 stores index keys as text, which SQLite sorts and compares
// faster than blobs (the same bytes in the same order); version 3 files,
// their keys blobs, are read and written as they are.
constexpr const char* kVersion = "4";
constexpr const char* kBlobKeysVersion = "3";
// Larger pages than SQLite's 4 KB default: a record row of a wide table
// wastes less of a page and a scan crosses fewer page boundaries.
constexpr int kPageSize = 16384;

const char* affinityOf(std::uint16_t type) {
    switch (kindOf(type)) {
        case Value::Kind::Double: return "REAL";
        case Value::Kind::Text:
        case Value::Kind::Memo: return "TEXT";
        case Value::Kind::Binary: return "BLOB";
        default: return "INTEGER";
    }
}

// A reader walks an index and looks records up in key order, so it touches
// each page about once: a small page cache does, the system's file cache
// holds the rest, and the table is not mapped (mapped pages count in the
// process's memory for as long as it runs).
constexpr const char* kReadCache = "PRAGMA cache_size=-4096";
constexpr const char* kWriteCache = "PRAGMA cache_size=-65536";

void setupPragmas(const Db& db, bool writable) {
    db.exec(writable ? kWriteCache : kReadCache);
    if (writable) db.exec("PRAGMA synchronous=NORMAL");
    db.exec("PRAGMA mmap_size=0");
}

// The SQL engine joins on reference numbers: it gets a plain index on the
// field of every one-field index over an integer field. Other lookups go
// through the engine's own keys (each extra index costs the bulk load).
bool wantsColumnIndex(const IndexInfo& ix, const RecordLayout& layout) {
    return ix.segments.size() == 1 && kindOf(layout.columns()[ix.segments.front()].def.type) == Value::Kind::Integer;
}

// A savepoint that is rolled back unless released (does nothing when not
// wanted).
class Savepoint {
public:
    Savepoint(const Db& db, bool wanted) : db_(wanted ? &db : nullptr) {
        if (db_) db_->exec("SAVEPOINT lce_append");
    }
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    ~Savepoint() {
        if (db_) sqlite3_exec(db_->get(), "ROLLBACK TO lce_append; RELEASE lce_append", nullptr, nullptr, nullptr);
    }
    void release() {
        if (!db_) return;
        db_->exec("RELEASE lce_append");
        db_ = nullptr;
    }

private:
    const Db* db_;
};

}  // namespace

namespace {

// An append's statements get every parameter bound again for each record:
// a reset that keeps the old bindings spares clearing a hundred of them.
void resetKeepingBindings(Stmt& stmt) { sqlite3_reset(stmt.get()); }

// How a field column holds a value (see table_store.h); inPlace: the
// value's bytes stay unchanged until the statement has stepped.
void bindColumnValue(Stmt& stmt, int i, const Value& v, bool inPlace) {
    using K = Value::Kind;
    switch (v.kind) {
        case K::Null: stmt.bindNull(i); break;
        case K::Double: stmt.bind(i, v.real); break;
        case K::Text:
        case K::Memo: stmt.bindBytes(i, v.text, true, inPlace); break;
        case K::Binary: stmt.bindBytes(i, v.text, false, inPlace); break;
        case K::Timestamp: stmt.bind(i, v.integer * 86400000 + static_cast<std::int64_t>(v.millis)); break;
        default: stmt.bind(i, v.integer); break;
    }
}

}  // namespace

void bindValue(Stmt& stmt, int i, const Value& v) { bindColumnValue(stmt, i, v, false); }

std::string TableStore::declaredType(const ColumnDef& def) {
    return std::string(affinityOf(def.type)) + " LCE_" + std::to_string(def.type) + "_" + std::to_string(def.length) +
           "_" + std::to_string(def.decimals);
}

std::shared_ptr<TableStore> TableStore::create(const std::string& rawPath, TableSchema schema) {
    const std::string path = normalizePath(rawPath);
    if (fileExists(path)) fail(kErrFileExists, "Table file " + path + " exists already");
    std::shared_ptr<TableStore> store(new TableStore());
    store->path_ = path;
    store->writable_ = true;
    // Validate before the file is made so a bad schema leaves nothing behind.
    TableSchema checked = schema;
    RecordLayout::build(checked);
    store->db_ = Db(path, Db::Mode::Create);
    store->createdHere_ = true;
    try {
        store->initialize(std::move(schema));
    } catch (...) {
        store.reset();
        std::error_code ec;
        std::filesystem::remove(path, ec);
        std::filesystem::remove(path + "-journal", ec);
        throw;
    }
    return store;
}

std::shared_ptr<TableStore> TableStore::createInMemory(TableSchema schema) {
    std::shared_ptr<TableStore> store(new TableStore());
    store->path_ = ":memory:";
    store->writable_ = true;
    store->db_ = Db("", Db::Mode::Memory);
    store->imagesOnly_ = std::none_of(schema.columns.begin(), schema.columns.end(),
                                      [](const ColumnDef& c) { return isBlobType(c.type); });
    store->initialize(std::move(schema));
    return store;
}

void TableStore::initialize(TableSchema schema) {
    db_.setTextKeys(true);
    layout_ = RecordLayout::build(schema);
    schema_ = std::move(schema);
    prepareIndexes();
    db_.exec("PRAGMA page_size=" + std::to_string(kPageSize));
    setupPragmas(db_, true);
    db_.exec("BEGIN");
    try {
        db_.exec("CREATE TABLE lce_meta(key TEXT PRIMARY KEY, value TEXT)");
        db_.exec(
            "CREATE TABLE lce_columns(no INTEGER PRIMARY KEY, name TEXT NOT NULL, type INTEGER, length INTEGER, "
            "decimals INTEGER, nullable INTEGER, permissions INTEGER)");
        db_.exec(
            "CREATE TABLE lce_indexes(no INTEGER PRIMARY KEY, name TEXT NOT NULL, fields TEXT, is_unique INTEGER, "
            "descending INTEGER, is_primary INTEGER, candidate INTEGER, condition TEXT, page_size INTEGER)");
        {
            Stmt meta(db_, "INSERT INTO lce_meta VALUES(?1, ?2)");
            const std::pair<const char*, std::string> entries[] = {{"format", kFormat},
                                                                   {"version", kVersion},
                                                                   {"table_type", std::to_string(schema_.tableType)},
                                                                   {"char_type", std::to_string(schema_.charType)},
                                                                   {"collation", schema_.collation}};
            for (const auto& [k, v] : entries) {
                meta.reset();
                meta.bindText(1, k);
                meta.bindText(2, v);
                meta.step();
            }
        }
        db_.exec("CREATE TABLE lce_images(__recno INTEGER PRIMARY KEY, __rec BLOB NOT NULL)");
        std::string create = "CREATE TABLE records(__recno INTEGER PRIMARY KEY";
        if (!indexes_.empty()) {
            std::string keys = "CREATE TABLE lce_keys(__recno INTEGER PRIMARY KEY";
            for (const IndexInfo& ix : indexes_) keys += ", " + ix.keyColumn + " BLOB";
            db_.exec(keys + ")");
        }
        Stmt col(db_, "INSERT INTO lce_columns VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        int no = 1;
        for (const ColumnLayout& c : layout_.columns()) {
            const ColumnDef& d = c.def;
            create += ", " + quoteIdent(d.name) + " " + declaredType(d);
            if (isCharacterType(d.type)) create += " COLLATE RTRIM";
            col.reset();
            col.bind(1, static_cast<std::int64_t>(no++));
            col.bindText(2, d.name);
            col.bind(3, static_cast<std::int64_t>(d.type));
            col.bind(4, static_cast<std::int64_t>(d.length));
            col.bind(5, static_cast<std::int64_t>(d.decimals));
            col.bind(6, static_cast<std::int64_t>(d.nullable));
            col.bind(7, static_cast<std::int64_t>(d.permissions));
            col.step();
        }
        db_.exec(create + ")");
        Stmt ixs(db_, "INSERT INTO lce_indexes VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        no = 1;
        for (const IndexInfo& ix : indexes_) {
            std::string fields;
            for (const std::string& f : ix.def.fields) fields += (fields.empty() ? "" : ";") + f;
            ixs.reset();
            ixs.bind(1, static_cast<std::int64_t>(no++));
            ixs.bindText(2, ix.def.name);
            ixs.bindText(3, fields);
            ixs.bind(4, static_cast<std::int64_t>(ix.def.unique));
            ixs.bind(5, static_cast<std::int64_t>(ix.def.descending));
            ixs.bind(6, static_cast<std::int64_t>(ix.def.primary));
            ixs.bind(7, static_cast<std::int64_t>(ix.def.candidate));
            ixs.bindText(8, ix.def.condition);
            ixs.bind(9, static_cast<std::int64_t>(ix.def.pageSize));
            ixs.step();
            if (!ix.def.condition.empty()) {
                try {
                    Stmt check(db_, "SELECT count(*) FROM records WHERE (" + ix.def.condition + ")");
                } catch (const Error&) {
                    fail(kErrInvalidArgument, "Invalid condition of index " + ix.def.name + ": " + ix.def.condition);
                }
            }
        }
        createSqlIndexes();
        db_.exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TableStore::prepareIndexes() {
    indexes_.clear();
    for (std::size_t i = 0; i < schema_.indexes.size(); ++i) {
        const IndexDef& def = schema_.indexes[i];
        if (def.name.empty()) fail(kErrInvalidArgument, "An index needs a name");
        for (std::size_t j = 0; j < i; ++j)
            if (equalsIgnoringCase(schema_.indexes[j].name, def.name))
                fail(kErrInvalidArgument, "Duplicate index name \"" + def.name + "\"");
        indexes_.push_back(describeIndex(def, "__k" + std::to_string(i + 1)));
    }
}

IndexInfo TableStore::describeIndex(const IndexDef& def, std::string keyColumn) const {
    if (def.fields.empty()) fail(kErrInvalidArgument, "Index " + def.name + " has no segments");
    IndexInfo info;
    info.def = def;
    info.keyColumn = std::move(keyColumn);
    for (const std::string& f : def.fields) {
        const int c = layout_.find(std::string(trimBlanks(f)));
        if (c < 0) fail(kErrFieldNotFound, "Index " + def.name + " names the unknown field \"" + f + "\"");
        const ColumnDef& cd = layout_.columns()[static_cast<std::size_t>(c)].def;
        if (isBlobType(cd.type)) fail(kErrInvalidArgument, "Index " + def.name + " cannot use the blob field " + f);
        info.segments.push_back(static_cast<std::size_t>(c));
        info.keyLength += maxSegmentLength(cd.type, cd.length);
    }
    return info;
}

std::string TableStore::buildTemporaryKeys(const std::vector<IndexInfo>& indexes) {
    // "lce_x<n>_keys": no name is part of another, so the statements on one
    // can be told by their text.
    const auto lease = reading();
    // Temporary tables of this connection stay in memory: no file anywhere.
    // Set once, before the first: a change of the setting drops them all.
    if (temporaryKeyTables_ == 0) db_.exec("PRAGMA temp_store=MEMORY");
    const std::string table = "lce_x" + std::to_string(++temporaryKeyTables_) + "_keys";
    for (const IndexInfo& ix : indexes) {
        if (ix.def.condition.empty()) continue;
        try {
            Stmt check(db_, "SELECT count(*) FROM records WHERE (" + ix.def.condition + ")");
        } catch (const Error&) {
            fail(kErrInvalidArgument, "Invalid condition of index " + ix.def.name + ": " + ix.def.condition);
        }
    }
    // All of it in one savepoint: the keys are there in full or not at all.
    Savepoint whole(db_, true);
    std::string create = "CREATE TEMP TABLE " + table + "(__recno INTEGER PRIMARY KEY";
    std::string insertSql = "INSERT INTO temp." + table + " VALUES(?1";
    int n = 2;
    for (const IndexInfo& ix : indexes) {
        create += ", " + ix.keyColumn + " BLOB";
        insertSql += ", ?" + std::to_string(n++);
    }
    db_.exec(create + ")");
    {
        Stmt insert(db_, insertSql + ")");
        Stmt rows(db_, "SELECT __recno, __rec FROM lce_images ORDER BY __recno");
        std::string image;
        while (rows.step()) {
            const std::int64_t recno = rows.integer(0);
            unpack(recno, rows.blob(1), image);
            insert.reset();
            insert.bind(1, recno);
            n = 2;
            for (const IndexInfo& ix : indexes) {
                std::string key;
                for (std::size_t c : ix.segments)
                    appendKeySegment(key, layout_.columns()[c].def.type, layout_.decode(image, c));
                if (ix.def.descending) invertKey(key);
                insert.bindKey(n++, key);
            }
            insert.step();
        }
    }
    std::string sql;
    for (const IndexInfo& ix : indexes) {
        if (!ix.def.condition.empty())
            sql += "UPDATE temp." + table + " SET " + ix.keyColumn + " = NULL WHERE NOT coalesce((SELECT (" +
                   ix.def.condition + ") FROM records WHERE records.__recno = " + table + ".__recno), 0);";
        sql += "CREATE INDEX temp." + table + ix.keyColumn + " ON " + table + "(" + ix.keyColumn + ");";
    }
    if (!sql.empty()) db_.exec(sql);
    whole.release();
    keepTemporaryKeys("temp." + table, indexes);
    return "temp." + table;
}

void TableStore::keepTemporaryKeys(const std::string& table, const std::vector<IndexInfo>& indexes) {
    TemporaryKeys keys;
    keys.table = table;
    keys.indexes = indexes;
    std::string columns = "__recno", values = "?1", sets;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const std::string& k = indexes[i].keyColumn;
        columns += ", " + k;
        values += ", ?" + std::to_string(i + 2);
        sets += (i ? ", " : "") + k + " = excluded." + k;
    }
    keys.upsert = Stmt(db_, "INSERT INTO " + table + "(" + columns + ") VALUES(" + values +
                                ") ON CONFLICT(__recno) DO UPDATE SET " + sets);
    keys.erase = Stmt(db_, "DELETE FROM " + table + " WHERE __recno = ?1");
    for (const IndexInfo& ix : indexes)
        keys.conditions.emplace_back(ix.def.condition.empty() ? Stmt()
                                                              : Stmt(db_, "SELECT coalesce((" + ix.def.condition +
                                                                              "), 0) FROM records WHERE __recno = ?1"));
    temporaryKeys_.push_back(std::move(keys));
}

void TableStore::dropTemporaryKeys(const std::string& table) {
    const auto lease = reading();
    std::erase_if(temporaryKeys_, [&](const TemporaryKeys& k) { return k.table == table; });
    // SQLite drops no table while a statement of the connection is running:
    // they stop here, and the new epoch tells the cursor not to go on with them.
    resetRunningStatements();
    ++readEpoch_;
    db_.exec("DROP TABLE IF EXISTS " + table);
}

void TableStore::writeTemporaryKeys(std::int64_t recno, const Row& row) {
    for (TemporaryKeys& keys : temporaryKeys_) {
        keys.upsert.reset();
        keys.upsert.bind(1, recno);
        for (std::size_t i = 0; i < keys.indexes.size(); ++i) {
            const int at = static_cast<int>(i + 2);
            Stmt& condition = keys.conditions[i];
            if (condition) {
                condition.reset();
                condition.bind(1, recno);
                const bool meets = condition.step() && condition.integer(0) != 0;
                condition.reset();
                if (!meets) {
                    keys.upsert.bindNull(at);
                    continue;
                }
            }
            const std::string key = keyOf(keys.indexes[i], row);
            keys.upsert.bindKey(at, key);
        }
        keys.upsert.step();
    }
}

void TableStore::eraseTemporaryKeys(std::int64_t recno) {
    for (TemporaryKeys& keys : temporaryKeys_) {
        keys.erase.reset();
        keys.erase.bind(1, recno);
        keys.erase.step();
    }
}

bool TableStore::hasTemporaryKeys(const std::string& table) const {
    return std::any_of(temporaryKeys_.begin(), temporaryKeys_.end(),
                       [&](const TemporaryKeys& k) { return k.table == table; });
}

void TableStore::forgetLostTemporaryKeys() noexcept {
    if (temporaryKeys_.empty()) return;
    try {
        Stmt exists(db_, "SELECT 1 FROM temp.sqlite_master WHERE type = 'table' AND name = ?1");
        std::erase_if(temporaryKeys_, [&](const TemporaryKeys& k) {
            exists.reset();
            exists.bindText(1, std::string_view(k.table).substr(std::string_view("temp.").size()));
            return !exists.step();
        });
    } catch (...) {
        // Not known to be there: the cursors build their keys again.
        temporaryKeys_.clear();
    }
}

void TableStore::resetRunningStatements() const {
    sqlite3* db = db_.get();
    for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s))
        if (sqlite3_stmt_busy(s)) sqlite3_reset(s);
}

std::string TableStore::sqlIndexes(bool create) const {
    std::string sql;
    std::vector<bool> done(layout_.columns().size(), false);
    for (std::size_t i = 0; i < indexes_.size(); ++i) {
        const IndexInfo& ix = indexes_[i];
        const std::string name = "lce_k" + std::to_string(i + 1);
        if (create)
            sql += std::string("CREATE ") + (ix.def.unique ? "UNIQUE " : "") + "INDEX " + name + " ON lce_keys(" +
                   ix.keyColumn + ")" + (ix.def.condition.empty() ? "" : " WHERE " + ix.keyColumn + " IS NOT NULL") +
                   ";";
        else
            sql += "DROP INDEX IF EXISTS " + name + ";";
        const std::size_t first = ix.segments.front();
        if (wantsColumnIndex(ix, layout_) && !done[first]) {
            done[first] = true;
            const std::string cname = "lce_c" + std::to_string(first + 1);
            if (create)
                sql += "CREATE INDEX " + cname + " ON records(" + quoteIdent(layout_.columns()[first].def.name) + ");";
            else
                sql += "DROP INDEX IF EXISTS " + cname + ";";
        }
    }
    return sql;
}

// SQLite sorts each index's keys within the cache's budget. A budget of a
// few pages of keys lets it sort them in runs on its worker threads, which
// took a third off building the indexes of a million records against
// sorting them all in one run in memory, and it bounds the memory used.
void TableStore::buildIndexes() {
    db_.exec("PRAGMA cache_size=-2048; PRAGMA threads=2");
    try {
        createSqlIndexes();
    } catch (...) {
        sqlite3_exec(db_.get(), kWriteCache, nullptr, nullptr, nullptr);
        throw;
    }
    db_.exec(kWriteCache);
}

void TableStore::createSqlIndexes() {
    const std::string sql = sqlIndexes(true);
    if (!sql.empty()) db_.exec(sql);
}

void TableStore::dropSqlIndexes() {
    const std::string sql = sqlIndexes(false);
    if (!sql.empty()) db_.exec(sql);
}

std::shared_ptr<TableStore> TableStore::open(const std::string& rawPath, bool writable,
                                             std::chrono::milliseconds lockWait, Checks checks) {
    const std::string given = normalizePath(rawPath);
    const std::string path = findFile(given);
    if (path.empty())
        fail(kErrFileNotFound,
             "Table file " + given + " not found; check that the folder holds the whole practice's database");
    std::shared_ptr<TableStore> store(new TableStore());
    store->path_ = path;
    store->writable_ = writable;
    store->leased_ = !writable;
    const std::string notOurs =
        "File " + path + " is not a table file; check that the folder holds the practice's database";
    std::error_code ec;
    const auto fileSize = std::filesystem::is_regular_file(path, ec) ? std::filesystem::file_size(path, ec) : 0;
    if (ec || fileSize < 512) fail(kErrNotATable, notOurs);
    store->db_ = Db(path, writable ? Db::Mode::ReadWrite : Db::Mode::ReadOnly, lockWait, FileKind::Table);
    const std::string damaged = "Table file " + path + " is damaged";
    const std::string restore = "; restore it from the practice's backup or have the practice's software repair it";
    {
        // A file shorter than its header says has been cut off (pages of a
        // write-ahead log beside it are not in the file yet).
        const std::int64_t pages = store->pragmaInteger("page_count", notOurs);
        const std::int64_t pageSize = store->pragmaInteger("page_size", notOurs);
        const bool logBeside = fileExists(path + "-wal");
        if (pageSize <= 0 || (!logBeside && static_cast<std::int64_t>(fileSize) < pages * pageSize) ||
            static_cast<std::int64_t>(fileSize) % pageSize != 0)
            fail(kErrDamaged, damaged + " (truncated)" + restore);
    }
    // Before the checks: they read through the page cache set here.
    setupPragmas(store->db_, writable);
    try {
        // One read for the catalog and the checks: a writer's commit between
        // two counts would make them differ.
        const auto lease = store->reading();
        store->loadCatalog();
        store->checkStructures(checks);
    } catch (const Error& e) {
        switch (e.code()) {
            case kErrNotATable:
            case kErrDamaged:
            case kErrLocked:
            case kErrNeedsWriter:
            case kErrFileNotFound: throw;
            default: fail(kErrDamaged, damaged + " (" + e.what() + ")" + restore);
        }
    }
    return store;
}

std::int64_t TableStore::pragmaInteger(const std::string& name, const std::string& notOurs) const {
    sqlite3_stmt* raw = nullptr;
    std::int64_t value = -1;
    if (sqlite3_prepare_v2(db_.get(), ("PRAGMA " + name).c_str(), -1, &raw, nullptr) == SQLITE_OK &&
        sqlite3_step(raw) == SQLITE_ROW)
        value = sqlite3_column_int64(raw, 0);
    const bool failed = value < 0;
    // The error stays readable until the statement is finalized.
    if (failed && raw) sqlite3_reset(raw);
    sqlite3_finalize(raw);
    if (failed) db_.failAs(kErrNotATable, notOurs);
    return value;
}

void TableStore::loadCatalog() {
    {
        const std::string notOurs =
            "File " + path_ + " is not a table file; check that the folder holds the practice's database";
        sqlite3_stmt* raw = nullptr;
        const int rc =
            sqlite3_prepare_v2(db_.get(), "SELECT value FROM lce_meta WHERE key='format'", -1, &raw, nullptr);
        const int stepped = rc == SQLITE_OK ? sqlite3_step(raw) : rc;
        const auto* value =
            stepped == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)) : nullptr;
        const bool ok = value && std::string_view(value) == kFormat;
        sqlite3_finalize(raw);
        if (!ok) {
            // A file of another program has no such table (SQLITE_ERROR) or no
            // such row; a locked, damaged or half-written file says so.
            if (stepped == SQLITE_ROW || stepped == SQLITE_DONE) fail(kErrNotATable, notOurs);
            db_.failAs(kErrNotATable, notOurs);
        }
    }
    TableSchema schema;
    {
        Stmt meta(db_, "SELECT key, value FROM lce_meta");
        std::string version;
        while (meta.step()) {
            const std::string k = meta.text(0), v = meta.text(1);
            if (k == "version")
                version = v;
            else if (k == "table_type")
                schema.tableType = static_cast<std::uint16_t>(parseInteger(v).value_or(0));
            else if (k == "char_type")
                schema.charType = static_cast<std::uint16_t>(parseInteger(v).value_or(1));
            else if (k == "collation")
                schema.collation = v;
        }
        if (version != kVersion && version != kBlobKeysVersion)
            fail(kErrNotATable, "Table file " + path_ + " has format version " + version +
                                    "; this engine reads versions " + kBlobKeysVersion + " and " + kVersion +
                                    " (build the table again)");
        db_.setTextKeys(version == kVersion);
    }
    {
        Stmt cols(db_, "SELECT name, type, length, decimals, nullable, permissions FROM lce_columns ORDER BY no");
        while (cols.step()) {
            ColumnDef d;
            d.name = cols.text(0);
            d.type = static_cast<std::uint16_t>(cols.integer(1));
            d.length = static_cast<std::uint32_t>(cols.integer(2));
            d.decimals = static_cast<std::uint16_t>(cols.integer(3));
            d.nullable = cols.integer(4) != 0;
            d.permissions = static_cast<std::uint8_t>(cols.integer(5));
            schema.columns.push_back(d);
        }
    }
    {
        Stmt ixs(db_,
                 "SELECT name, fields, is_unique, descending, is_primary, candidate, condition, page_size "
                 "FROM lce_indexes ORDER BY no");
        while (ixs.step()) {
            IndexDef d;
            d.name = ixs.text(0);
            const std::string fields = ixs.text(1);
            std::size_t start = 0;
            while (start <= fields.size()) {
                const auto semi = fields.find(';', start);
                d.fields.push_back(fields.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
                if (semi == std::string::npos) break;
                start = semi + 1;
            }
            d.unique = ixs.integer(2) != 0;
            d.descending = ixs.integer(3) != 0;
            d.primary = ixs.integer(4) != 0;
            d.candidate = ixs.integer(5) != 0;
            d.condition = ixs.text(6);
            d.pageSize = static_cast<std::uint32_t>(ixs.integer(7));
            schema.indexes.push_back(d);
        }
    }
    layout_ = RecordLayout::build(schema);
    schema_ = std::move(schema);
    prepareIndexes();
    // Fails early on a file whose records table is missing.
    Stmt probe(db_, "SELECT __recno FROM records LIMIT 0");
    Stmt probeImages(db_, "SELECT __recno, __rec FROM lce_images LIMIT 0");
    if (!indexes_.empty()) {
        std::string keys = "SELECT __recno";
        for (const IndexInfo& ix : indexes_) keys += ", " + ix.keyColumn;
        Stmt probeKeys(db_, keys + " FROM lce_keys LIMIT 0");
    }
}

// The engine's structures checked against each other, cheaply enough for
// every open: the catalog against the columns of "records" and of
// "lce_keys", and the count of records against that of index key rows
// (both answered from a narrow SQLite index: about 2 ms on 1 000 000
// records, 35 ms when the file is not in the system's cache). Stored images are checked
// where they are read (see checkImages and the cursor's reads).
void TableStore::checkStructures(Checks checks) const {
    const std::string damaged = "Table file " + path_ + " is damaged: ";
    const std::string restore = "; restore it from the practice's backup or have the practice's software repair it";
    {
        Stmt info(db_, "SELECT name, type FROM pragma_table_info('records') ORDER BY cid");
        bool same = info.step() && info.text(0) == "__recno";
        for (const ColumnLayout& c : layout_.columns())
            same = same && info.step() && equalsIgnoringCase(info.text(0), c.def.name) &&
                   info.text(1) == declaredType(c.def);
        if (!same || info.step())
            fail(kErrDamaged, damaged + "its catalog of fields does not match its records" + restore);
    }
    {
        // No lce_keys table at all for a table without indexes.
        Stmt info(db_, "SELECT count(*) FROM pragma_table_info('lce_keys')");
        info.step();
        if (info.integer(0) != (indexes_.empty() ? 0 : static_cast<std::int64_t>(indexes_.size()) + 1))
            fail(kErrDamaged, damaged + "its catalog of indexes does not match its index keys" + restore);
    }
    if (indexes_.empty() || checks == Checks::Catalog) return;
    const std::int64_t records = count("records"), keys = count("lce_keys");
    if (records != keys)
        fail(kErrDamaged, damaged + "it holds " + std::to_string(records) + " records but index keys for " +
                              std::to_string(keys) + restore);
}

std::int64_t TableStore::count(const char* table) const {
    Stmt q(db_, std::string("SELECT count(*) FROM ") + table);
    q.step();
    return q.integer(0);
}

void TableStore::checkImages() const {
    if (imagesChecked_ || imagesOnly_) return;
    const auto lease = reading();
    const std::int64_t records = count("records"), images = count("lce_images");
    if (records != images)
        fail(kErrDamaged, "Table file " + path_ + " is damaged: it holds " + std::to_string(records) +
                              " records but stored images for " + std::to_string(images) +
                              "; restore it from the practice's backup or have the practice's software repair it");
    imagesChecked_ = true;
}

void TableStore::missingImage(std::int64_t recno) const {
    fail(kErrDamaged, "Record " + std::to_string(recno) + " of table " + path_ +
                          " is damaged: its stored image is missing; restore the table from the practice's backup or "
                          "have the practice's software repair it");
}

bool TableStore::hasRecord(std::int64_t recno) const {
    const auto lease = reading();
    Stmt q(db_,
           imagesOnly_ ? "SELECT 1 FROM lce_images WHERE __recno = ?1" : "SELECT 1 FROM records WHERE __recno = ?1");
    q.bind(1, recno);
    return q.step();
}

std::string TableStore::keyFor(std::size_t i, const Row& row) const { return keyOf(indexes_[i], row); }

std::string TableStore::keyOf(const IndexInfo& ix, const Row& row) const {
    std::string key;
    appendKey(key, ix, row);
    return key;
}

void TableStore::appendKey(std::string& out, const IndexInfo& ix, const Row& row) const {
    const std::size_t start = out.size();
    for (std::size_t c : ix.segments) appendKeySegment(out, layout_.columns()[c].def.type, row[c]);
    if (ix.def.descending) invertKey(out, start);
}

namespace {

// The value a column that may not be null takes for a null one, if its
// kind has an empty value.
std::optional<Value> emptyValue(std::uint16_t type) {
    switch (kindOf(type)) {
        case Value::Kind::Text: return Value::ofText("");
        case Value::Kind::Logical: return Value::ofLogical(false);
        case Value::Kind::Double: return Value::ofDouble(0);
        case Value::Kind::Integer: return Value::ofInteger(0);
        case Value::Kind::Scaled: return Value::ofScaled(0);
        default: return std::nullopt;
    }
}

}  // namespace

std::int64_t TableStore::append(const Row& input) {
    if (!writable_) fail(kErrReadOnly, "Table " + path_ + " is open read-only");
    const std::string packed = packRecord(input);
    const Row& row = appendRow_;
    if (!insert_) prepareAppend();
    // A record is a row in each of three tables: outside a transaction of the
    // caller's they go in together or not at all.
    Savepoint whole(db_, !inTransaction_);
    const std::int64_t recno = insertRecord(row, packed);
    applyIndexConditions(recno);
    whole.release();
    return recno;
}

void TableStore::fill(std::size_t count, const std::function<void(std::size_t, Row&)>& next) {
    Row input(layout_.columns().size());
    if (imagesOnly_ && indexes_.empty() && lastRecno_ == 0) {
        MemoryImages images;
        images.reserve(count);
        memoryPacked_ = layout_.recordSize() > kPlainMemoryImage;
        for (std::size_t r = 0; r < count; ++r) {
            next(r, input);
            if (memoryPacked_)
                images.add(packRecord(input));
            else
                images.add(plainRecord(input));
        }
        memory_ = std::move(images);
        lastRecno_ = static_cast<std::int64_t>(count);
        return;
    }
    // A result with memo or blob columns, or one in SQL already.
    const std::int64_t numbered = lastRecno_;
    begin();
    try {
        for (std::size_t r = 0; r < count; ++r) {
            next(r, input);
            append(input);
        }
    } catch (...) {
        rollback();
        lastRecno_ = numbered;
        throw;
    }
    commit();
}

bool TableStore::memoryRecord(std::int64_t recno, std::string& image) const {
    const std::string_view held = memory_.image(static_cast<std::size_t>(recno - 1));
    if (memoryPacked_) return unpackImage(held, layout_.recordSize(), image);
    if (held.size() != layout_.recordSize()) return false;
    image.assign(held);
    return true;
}

void TableStore::spillMemory() const {
    // Taken out first: the writes below read the store again.
    MemoryImages images = std::move(memory_);
    memory_ = MemoryImages();
    try {
        // lce_images holds packed images; the statements below bind them in place.
        MemoryImages packed;
        if (!memoryPacked_) {
            packed.reserve(images.size());
            for (std::size_t i = 0; i < images.size(); ++i) packed.add(packImage(images.image(i)));
        }
        const MemoryImages& stored = memoryPacked_ ? images : packed;
        // The images only move from memory into SQL: the table's content
        // stays what it was, so readers see a const store.
        const_cast<TableStore*>(this)->insertImages(stored.size(), [&](std::size_t i) { return stored.image(i); });
    } catch (...) {
        memory_ = std::move(images);
        throw;
    }
}

// Record i + 1's packed image, for i below count, into an empty lce_images:
// 64 rows per INSERT (SQLite allows 32766 parameters), in one transaction.
void TableStore::insertImages(std::size_t count, const std::function<std::string_view(std::size_t)>& image) {
    constexpr std::size_t kBatch = 64;
    begin();
    try {
        std::size_t r = 0;
        if (count >= kBatch) {
            std::string sql = "INSERT INTO lce_images(__recno, __rec) VALUES";
            for (std::size_t i = 0; i < kBatch; ++i) sql += (i == 0 ? "(?, ?)" : ", (?, ?)");
            Stmt batch(db_, sql);
            for (; r + kBatch <= count; r += kBatch) {
                for (std::size_t i = 0; i < kBatch; ++i) {
                    batch.bind(static_cast<int>(2 * i + 1), static_cast<std::int64_t>(r + i + 1));
                    batch.bindBytes(static_cast<int>(2 * i + 2), image(r + i), false, true);
                }
                batch.step();
                resetKeepingBindings(batch);
            }
        }
        Stmt single(db_, "INSERT INTO lce_images(__recno, __rec) VALUES(?1, ?2)");
        for (; r < count; ++r) {
            single.bind(1, static_cast<std::int64_t>(r + 1));
            single.bindBytes(2, image(r), false, true);
            single.step();
            single.reset();
        }
    } catch (...) {
        rollback();
        throw;
    }
    commit();
}

// The row's values as the columns store them: normalized, auto-increment
// numbers given, and in an LDT table a null where none may be made empty.
Row TableStore::normalizedRow(const Row& input) {
    Row row;
    normalizeInto(input, row);
    return row;
}

void TableStore::normalizeInto(const Row& input, Row& row) {
    const auto& cols = layout_.columns();
    if (input.size() != cols.size())
        fail(kErrInvalidArgument, "Row has " + std::to_string(input.size()) + " values, table " + path_ + " has " +
                                      std::to_string(cols.size()) + " columns");
    row.resize(cols.size());
    for (std::size_t c = 0; c < cols.size(); ++c) {
        try {
            layout_.normalizeInto(c, input[c], row[c]);
        } catch (const Error& e) {
            fail(e.code(), std::string(e.what()) + " in table " + path_);
        }
        if (cols[c].def.type == kAutoIncrement) {
            autoIncrement(cols[c].def, row[c]);
        } else if (row[c].isNull() && !cols[c].def.nullable && layout_.tableType() == kLdt) {
            if (auto empty = emptyValue(cols[c].def.type)) row[c] = std::move(*empty);
        }
    }
}

// A null auto-increment value takes the next number; a given one moves the
// next number past it. The first append starts after the greatest stored.
void TableStore::autoIncrement(const ColumnDef& def, Value& value) {
    if (!nextAutoInc_) nextAutoInc_ = firstAutoIncrement(def);
    if (value.isNull())
        value = Value::ofInteger((*nextAutoInc_)++);
    else if (value.integer >= *nextAutoInc_)
        nextAutoInc_ = value.integer + 1;
}

std::int64_t TableStore::firstAutoIncrement(const ColumnDef& def) const {
    Stmt max(db_, "SELECT max(" + quoteIdent(def.name) + ") FROM records");
    max.step();
    const std::int64_t next = max.isNull(0) ? 1 : max.integer(0) + 1;
    // Numbers of records since deleted are not given again.
    Stmt given(db_, "SELECT value FROM lce_meta WHERE key = 'next_autoinc'");
    return given.step() ? std::max(next, parseInteger(given.text(0)).value_or(0)) : next;
}

std::string TableStore::recordImage(const Row& row) const {
    std::string image;
    recordImageInto(row, image);
    return image;
}

const std::string& TableStore::plainRecord(const Row& input) {
    // The buffers of the last record are used again: no allocation per
    // record for the row and its image.
    normalizeInto(input, appendRow_);
    recordImageInto(appendRow_, appendImage_);
    return appendImage_;
}

std::string TableStore::packRecord(const Row& input) { return packImage(plainRecord(input)); }

void TableStore::recordImageInto(const Row& row, std::string& image) const {
    image.assign(layout_.nullImage());
    for (std::size_t c = 0; c < row.size(); ++c) layout_.encode(image, c, row[c]);
}

// The statements of an append, prepared once: the field columns, the
// image, the index keys, and the clearing of a key whose condition the
// record does not meet.
void TableStore::prepareAppend() {
    std::string sql = "INSERT INTO records(__recno";
    std::string values = "?1";
    int n = 2;
    for (const ColumnLayout& c : layout_.columns()) {
        sql += ", " + quoteIdent(c.def.name);
        values += ", ?" + std::to_string(n++);
    }
    insert_ = Stmt(db_, sql + ") VALUES(" + values + ")");
    boundNull_.assign(layout_.columns().size(), false);
    insertImage_ = Stmt(db_, "INSERT INTO lce_images(__recno, __rec) VALUES(?1, ?2)");
    if (!indexes_.empty()) {
        std::string keys = "INSERT INTO lce_keys(__recno", keyValues = "?1";
        n = 2;
        for (const IndexInfo& ix : indexes_) {
            keys += ", " + ix.keyColumn;
            keyValues += ", ?" + std::to_string(n++);
        }
        insertKeys_ = Stmt(db_, keys + ") VALUES(" + keyValues + ")");
    }
    conditionUpdates_.clear();
    for (const IndexInfo& ix : indexes_)
        conditionUpdates_.emplace_back(
            ix.def.condition.empty()
                ? Stmt()
                : Stmt(db_, "UPDATE lce_keys SET " + ix.keyColumn + " = NULL WHERE __recno = ?1 AND NOT coalesce((" +
                                "SELECT (" + ix.def.condition + ") FROM records WHERE __recno = ?1), 0)"));
}

// Writes the record's field columns, its packed image and its index keys;
// returns its record number.
std::int64_t TableStore::insertRecord(const Row& row, const std::string& packed) {
    appendKeys(row, appendKeys_, keyEnds_);
    return writeRows(0, row, packed, appendKeys_, keyEnds_);
}

// All the record's keys in one buffer, bound once it is complete (it may
// move while it grows).
void TableStore::appendKeys(const Row& row, std::string& keys, std::vector<std::size_t>& ends) const {
    keys.clear();
    ends.resize(indexes_.size());
    for (std::size_t i = 0; i < indexes_.size(); ++i) {
        appendKey(keys, indexes_[i], row);
        ends[i] = keys.size();
    }
}

std::int64_t TableStore::writeRows(std::int64_t recno, const Row& row, std::string_view packed, std::string_view keys,
                                   const std::vector<std::size_t>& keyEnds) {
    resetKeepingBindings(insert_);
    if (!imagesOnly_) {
        if (recno != 0)
            insert_.bind(1, recno);
        else
            insert_.bindNull(1);
        // Most fields of a wide table stay null from one record to the next:
        // a null bound already is left as it is.
        for (std::size_t c = 0; c < row.size(); ++c) {
            const bool null = row[c].isNull();
            if (!(null && boundNull_[c])) bindColumnValue(insert_, static_cast<int>(c) + 2, row[c], true);
            boundNull_[c] = null;
        }
    }
    try {
        if (imagesOnly_) {
            recno = recno != 0 ? recno : lastRecno_ + 1;
            lastRecno_ = recno;
        } else {
            insert_.step();
            recno = sqlite3_last_insert_rowid(db_.get());
        }
        resetKeepingBindings(insertImage_);
        insertImage_.bind(1, recno);
        insertImage_.bindBytes(2, packed, false, true);
        insertImage_.step();
        if (insertKeys_) {
            resetKeepingBindings(insertKeys_);
            insertKeys_.bind(1, recno);
            std::size_t start = 0;
            for (std::size_t i = 0; i < indexes_.size(); ++i) {
                insertKeys_.bindKeyInPlace(static_cast<int>(i) + 2, keys.substr(start, keyEnds[i] - start));
                start = keyEnds[i];
            }
            insertKeys_.step();
        }
    } catch (const Error& e) {
        fail(e.code(), std::string("Cannot append to table ") + path_ + ": " + e.what());
    }
    return recno;
}

std::int64_t TableStore::beginBulkAppend() {
    if (!bulkLoading()) fail(kErrTransaction, "No load of a new table is in progress on table " + path_);
    if (!insert_) prepareAppend();
    // The numbers the records table would give, and the first automatic
    // value, found while the caller's thread alone uses the connection.
    for (const ColumnLayout& c : layout_.columns())
        if (c.def.type == kAutoIncrement && !nextAutoInc_) nextAutoInc_ = firstAutoIncrement(c.def);
    // Every record has its image, so its number is in lce_images.
    Stmt last(db_, "SELECT coalesce(max(__recno), 0) FROM lce_images");
    last.step();
    return std::max(last.integer(0), lastRecno_);
}

void TableStore::prepareRecord(const Row& input, std::int64_t recno, PreparedRecord& out) {
    normalizeInto(input, out.row);
    recordImageInto(out.row, out.image);
    appendKeys(out.row, out.keys, out.keyEnds);
    out.recno = recno;
}

void TableStore::writeRecord(const PreparedRecord& record, std::string& packed) {
    packImageInto(record.image, packed);
    writeRows(record.recno, record.row, packed, record.keys, record.keyEnds);
    applyIndexConditions(record.recno);
}

void TableStore::applyIndexConditions(std::int64_t recno) {
    for (Stmt& upd : conditionUpdates_) {
        if (!upd) continue;
        upd.reset();
        upd.bind(1, recno);
        upd.step();
    }
}

// A table this process created and is filling while empty: nothing of the
// file is worth keeping if the process dies, so the load skips the syncs
// and journals only in memory (a rollback still works).
void TableStore::bulkPragmas(bool on) {
    if (on) {
        db_.exec("PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF");
    } else {
        sqlite3_exec(db_.get(), "PRAGMA journal_mode=DELETE; PRAGMA synchronous=NORMAL; PRAGMA temp_store=0", nullptr,
                     nullptr, nullptr);
    }
}

void TableStore::begin() {
    if (inTransaction_) fail(kErrTransaction, "A transaction is already active on table " + path_);
    // Filling an empty table is quicker with the indexes built once at commit.
    const bool empty = rowCount() == 0;
    const bool bulk = empty && createdHere_;
    if (bulk) bulkPragmas(true);
    try {
        db_.exec("BEGIN IMMEDIATE");
    } catch (...) {
        if (bulk) bulkPragmas(false);
        throw;
    }
    inTransaction_ = true;
    rebuildIndexesAtCommit_ = empty && !indexes_.empty();
    bulk_ = bulk;
    if (rebuildIndexesAtCommit_) {
        insert_ = Stmt();
        insertImage_ = Stmt();
        insertKeys_ = Stmt();
        conditionUpdates_.clear();
        dropSqlIndexes();
    }
}

void TableStore::commit() {
    if (!inTransaction_) fail(kErrTransaction, "No transaction is active on table " + path_);
    try {
        if (rebuildIndexesAtCommit_) {
            insert_ = Stmt();
            insertImage_ = Stmt();
            insertKeys_ = Stmt();
            conditionUpdates_.clear();
            buildIndexes();
        }
        db_.exec("COMMIT");
    } catch (...) {
        rollback();
        throw;
    }
    inTransaction_ = false;
    rebuildIndexesAtCommit_ = false;
    if (bulk_) bulkPragmas(false);
    bulk_ = false;
}

void TableStore::rollback() {
    if (!inTransaction_) return;
    insert_ = Stmt();
    insertImage_ = Stmt();
    insertKeys_ = Stmt();
    conditionUpdates_.clear();
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    inTransaction_ = false;
    rebuildIndexesAtCommit_ = false;
    if (bulk_) bulkPragmas(false);
    bulk_ = false;
    nextAutoInc_.reset();
}

std::string TableStore::blobSql(std::size_t c) const {
    return "SELECT " + quoteIdent(layout_.columns()[c].def.name) + " FROM records WHERE __recno = ?1";
}

Value TableStore::blobOf(const Stmt& read, std::size_t c) const {
    if (read.isNull(0)) return Value::null();
    if (kindOf(layout_.columns()[c].def.type) == Value::Kind::Memo) return Value::ofMemo(read.text(0));
    return Value::ofBinary(std::string(read.blob(0)));
}

Value TableStore::blobValue(std::int64_t recno, std::size_t c) const {
    const auto lease = reading();
    Stmt q(db_, blobSql(c));
    q.bind(1, recno);
    return q.step() ? blobOf(q, c) : Value::null();
}

void TableStore::fillColumnsFromImages() {
    spill();
    if (!imagesOnly_) return;
    std::string sql = "INSERT INTO records(__recno";
    std::string values = "?1";
    int n = 2;
    for (const ColumnLayout& c : layout_.columns()) {
        sql += ", " + quoteIdent(c.def.name);
        values += ", ?" + std::to_string(n++);
    }
    Stmt insert(db_, sql + ") VALUES(" + values + ")");
    Stmt images(db_, "SELECT __recno, __rec FROM lce_images ORDER BY __recno");
    std::string image;
    while (images.step()) {
        const std::int64_t recno = images.integer(0);
        unpack(recno, images.blob(1), image);
        const Row row = decodeRow(recno, image);
        insert.reset();
        insert.bind(1, recno);
        for (std::size_t c = 0; c < row.size(); ++c) bindValue(insert, static_cast<int>(c) + 2, row[c]);
        insert.step();
    }
    imagesOnly_ = false;
}

Row TableStore::decodeRow(std::int64_t recno, std::string_view image) const {
    Row row(layout_.columns().size());
    for (std::size_t c = 0; c < row.size(); ++c) {
        const std::uint16_t t = layout_.columns()[c].def.type;
        row[c] =
            isBlobType(t) ? (layout_.isNull(image, c) ? Value::null() : blobValue(recno, c)) : layout_.decode(image, c);
    }
    return row;
}

std::int64_t TableStore::rowCount() const {
    const auto lease = reading();
    return count("lce_images");
}

void TableStore::unpack(std::int64_t recno, std::string_view packed, std::string& image) const {
    if (!unpackImage(packed, layout_.recordSize(), image))
        fail(kErrDamaged, "Record " + std::to_string(recno) + " of table " + path_ + " is damaged");
}

TableStore::~TableStore() {
    if (readHeld_) endRead();
}

TableStore::ReadLease::~ReadLease() {
    if (!store_) return;
    if (--store_->readDepth_ == 0) store_->readLastUse_ = coarseNow();
    store_->readMutex_.unlock();
}

TableStore::ReadLease TableStore::reading() const {
    spill();
    if (!leased_) return ReadLease(nullptr);
    readMutex_.lock();
    ReadLease lease(this);
    // Inside a write transaction reads see it, uncommitted writes included.
    if (readDepth_++ > 0 || writing_) return lease;
    const auto now = coarseNow();
    // A table in continuous use still lets writers in now and then.
    if (readHeld_ && now - readSince_ > kReadMaxHold) endRead();
    if (!readHeld_) {
        db_.exec("BEGIN");
        readHeld_ = true;
        readSince_ = now;
        if (!readWatched_) {
            readWatched_ = true;
            ReadReaper::instance().watch(weak_from_this());
        }
    }
    return lease;
}

void TableStore::addReadAhead(ReadAhead* ahead) const {
    const std::lock_guard lock(readAheadsMutex_);
    readAheads_.push_back(ahead);
}

void TableStore::removeReadAhead(ReadAhead* ahead) const noexcept {
    const std::lock_guard lock(readAheadsMutex_);
    std::erase(readAheads_, ahead);
}

void TableStore::endRead() const {
    {
        // Their reads end first: the writers this read let in wait for none.
        const std::lock_guard lock(readAheadsMutex_);
        for (ReadAhead* ahead : readAheads_) ahead->cancel();
    }
    sqlite3* db = db_.get();
    resetRunningStatements();
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    readHeld_ = false;
    ++readEpoch_;
}

std::shared_ptr<TableStore> TableStore::openForWriting(const std::string& path, std::chrono::milliseconds lockWait) {
    auto store = open(path, true, lockWait);
    store->leased_ = true;
    // Each write inside a transaction is a savepoint: its journal of the
    // pages it changes stays in memory instead of a temporary file.
    store->db_.exec("PRAGMA temp_store=MEMORY");
    return store;
}

void TableStore::beginWriting() {
    std::lock_guard lock(readMutex_);
    if (readHeld_) endRead();
    writing_ = true;
}

void TableStore::endWriting() {
    std::lock_guard lock(readMutex_);
    writing_ = false;
    nextAutoInc_.reset();  // another program may append before the next write
    ++readEpoch_;
    ++writeEpoch_;
}

void TableStore::noteWrite() {
    std::lock_guard lock(readMutex_);
    // Statements stepping over the rows just changed start again where their
    // cursors stand.
    sqlite3* db = db_.get();
    for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s))
        if (sqlite3_stmt_busy(s)) sqlite3_reset(s);
    ++readEpoch_;
    ++writeEpoch_;
}

bool TableStore::endReadIfIdle(std::chrono::steady_clock::time_point now) const {
    std::unique_lock lock(readMutex_, std::try_to_lock);
    if (!lock) return false;
    if (readHeld_ && readDepth_ == 0 && (now - readLastUse_ >= kReadIdle || now - readSince_ >= kReadMaxHold))
        endRead();
    if (readHeld_) return false;
    readWatched_ = false;
    return true;
}

}  // namespace lce
