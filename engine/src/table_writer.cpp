// The writer of a table file: the statements that change a record's field
// columns, image and keys together, the write scopes, and the file's part in
// its connection's transaction.
#include "engine/src/table_writer.h"

#include <cmath>

#include "engine/src/error.h"
#include "engine/src/image_codec.h"
#include "engine/src/keys.h"
#include "engine/src/text.h"
#include "engine/src/transactions.h"
#include "engine/src/value_text.h"

namespace lce {

namespace {

constexpr char kDeletedFlag = '*';
constexpr std::size_t kManyRecords = 32;

std::string savepointName(std::size_t index) { return "lce_sp" + std::to_string(index + 1); }

// Runs SQL whose failure is already being handled (undoing a write).
void quietly(const Db& db, const char* sql) noexcept { sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr); }

// The value of a field column as "records" holds it (see bindValue), checked
// against the column's kind: an SQL statement may have stored anything.
Value columnValue(const ColumnDef& def, const Stmt& s, int i) {
    if (s.isNull(i)) return Value::null();
    const int type = s.type(i);
    using K = Value::Kind;
    const K kind = kindOf(def.type);
    if (type == SQLITE_TEXT && kind != K::Text && kind != K::Memo && kind != K::Binary)
        return valueFromText(def, s.text(i));
    const std::int64_t asInt = type == SQLITE_FLOAT ? static_cast<std::int64_t>(std::llround(s.real(i))) : s.integer(i);
    switch (kind) {
        case K::Integer: return type == SQLITE_FLOAT ? Value::ofDouble(s.real(i)) : Value::ofInteger(asInt);
        case K::Double: return Value::ofDouble(s.real(i));
        case K::Scaled: return Value::ofScaled(asInt);
        case K::Date: return Value::ofDate(asInt);
        case K::Time: return Value::ofTime(static_cast<std::uint32_t>(asInt));
        case K::Timestamp: return Value::ofTimestamp(asInt / 86400000, static_cast<std::uint32_t>(asInt % 86400000));
        case K::Logical: return Value::ofLogical(asInt != 0);
        case K::Memo: return Value::ofMemo(s.text(i));
        case K::Binary: return Value::ofBinary(std::string(s.blob(i)));
        case K::Text:
            if (type == SQLITE_INTEGER) return Value::ofText(std::to_string(s.integer(i)));
            if (type == SQLITE_FLOAT) return Value::ofText(formatDouble(s.real(i)));
            return Value::ofText(s.text(i));
        default: return Value::null();
    }
}

}  // namespace

WritableTable::WritableTable(std::shared_ptr<TableStore> store, RecordLocks locks)
    : store_(std::move(store)), locks_(std::move(locks)) {}

WritableTable::~WritableTable() = default;

// ---- Scopes ---------------------------------------------------------------

WritableTable::Scope::Scope(WritableTable& table, Transactions& transactions, Kind kind)
    : use_(table.store_->exclusiveUse()),
      table_(table),
      transactions_(transactions),
      inTransaction_(transactions.active()) {
    TableStore& store = *table_.store_;
    const Db& db = store.db();
    table_.prepare();
    table_.written_ = false;
    if (inTransaction_) {
        if (!table_.joined_) transactions.join(table_.shared_from_this());
        store.noteWrite();
        savepoint_ = kind == Kind::Statement || table_.conditionalUnique_;
        if (savepoint_) table_.run(table_.savepoint_, "SAVEPOINT lce_write");
        return;
    }
    store.beginWriting();
    try {
        db.exec("BEGIN IMMEDIATE");
    } catch (...) {
        store.endWriting();
        throw;
    }
}

WritableTable::Scope::~Scope() {
    if (!open_) return;
    TableStore& store = *table_.store_;
    if (inTransaction_) {
        if (savepoint_) {
            store.noteWrite();
            quietly(store.db(), "ROLLBACK TO lce_write; RELEASE lce_write");
        } else if (table_.written_) {
            // Part of a record may be written: nothing of the transaction stays.
            try {
                transactions_.rollback();
            } catch (...) {
                table_.rollbackTransaction();
            }
        }
        store.noteWrite();
        return;
    }
    store.noteWrite();  // reads running inside the write end before it is undone
    quietly(store.db(), "ROLLBACK");
    table_.locks_.releaseWriteHolds();
    table_.detachAll();
    store.endWriting();
}

void WritableTable::Scope::commit() {
    TableStore& store = *table_.store_;
    if (inTransaction_) {
        if (savepoint_) table_.run(table_.release_, "RELEASE lce_write");
        store.noteWrite();
        open_ = false;
        return;
    }
    store.noteWrite();  // running reads end before the commit
    store.db().exec("COMMIT");
    open_ = false;
    table_.locks_.releaseWriteHolds();
    table_.detachAll();
    store.endWriting();
}

// ---- The connection's transaction -------------------------------------------

void WritableTable::join(std::size_t savepoints) {
    const auto use = store_->exclusiveUse();
    store_->beginWriting();
    try {
        store_->db().exec("BEGIN IMMEDIATE");
        for (std::size_t i = 0; i < savepoints; ++i) store_->db().exec("SAVEPOINT " + savepointName(i));
    } catch (...) {
        quietly(store_->db(), "ROLLBACK");
        store_->endWriting();
        throw;
    }
    joined_ = true;
}

void WritableTable::savepoint(std::size_t index) {
    const auto use = store_->exclusiveUse();
    store_->db().exec("SAVEPOINT " + savepointName(index));
}

void WritableTable::rollbackTo(std::size_t index) {
    const auto use = store_->exclusiveUse();
    store_->noteWrite();
    store_->db().exec("ROLLBACK TO " + savepointName(index));
    store_->forgetLostTemporaryKeys();
}

void WritableTable::commitTransaction() {
    const auto use = store_->exclusiveUse();
    store_->noteWrite();
    store_->db().exec("COMMIT");
    joined_ = false;
    locks_.releaseWriteHolds();
    detachAll();
    store_->endWriting();
}

void WritableTable::rollbackTransaction() noexcept {
    if (!joined_) return;
    const auto use = store_->exclusiveUse();
    store_->noteWrite();
    quietly(store_->db(), "ROLLBACK");
    store_->forgetLostTemporaryKeys();
    joined_ = false;
    locks_.releaseWriteHolds();
    detachAll();
    store_->endWriting();
}

std::string WritableTable::attachedSchema(const std::string& uri) const {
    const auto it = attached_.find(uri);
    return it == attached_.end() ? std::string() : it->second;
}

std::string WritableTable::noteAttached(const std::string& uri) {
    const std::string schema = "lce_r" + std::to_string(attached_.size() + 1);
    attached_[uri] = schema;
    return schema;
}

void WritableTable::detachAll() noexcept {
    for (const auto& [uri, schema] : attached_) quietly(store_->db(), ("DETACH DATABASE " + schema).c_str());
    attached_.clear();
}

// ---- Writes ------------------------------------------------------------------

void WritableTable::prepare() {
    if (prepared_) return;
    const Db& db = store_->db();
    const auto& cols = store_->layout().columns();
    std::string names, values, sets;
    for (std::size_t c = 0; c < cols.size(); ++c) {
        const std::string n = std::to_string(c + 1);
        const std::string name = quoteIdent(cols[c].def.name);
        names += (c ? ", " : "") + name;
        values += (c ? ", ?" : "?") + n;
        sets += (c ? ", " : "") + name + " = ?" + n;
    }
    const std::string last = "?" + std::to_string(cols.size() + 1);
    insertRow_ = Stmt(db, "INSERT INTO records(" + names + ") VALUES(" + values + ")");
    updateRow_ = Stmt(db, "UPDATE records SET " + sets + " WHERE __recno = " + last);
    readRow_ = Stmt(db, "SELECT " + names + " FROM records WHERE __recno = ?1");
    deleteRow_ = Stmt(db, "DELETE FROM records WHERE __recno = ?1");
    upsertImage_ = Stmt(db,
                        "INSERT INTO lce_images(__recno, __rec) VALUES(?1, ?2) "
                        "ON CONFLICT(__recno) DO UPDATE SET __rec = excluded.__rec");
    deleteImage_ = Stmt(db, "DELETE FROM lce_images WHERE __recno = ?1");
    for (const auto& c : cols)
        if (c.def.type == kAutoIncrement && !readAutoInc_)
            readAutoInc_ = Stmt(db, "SELECT " + quoteIdent(c.def.name) + " FROM records WHERE __recno = ?1");
    const auto& indexes = store_->indexes();
    conditions_.clear();
    if (!indexes.empty()) {
        std::string keys = "__recno", keyValues = "?1", keySets;
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            const std::string& k = indexes[i].keyColumn;
            keys += ", " + k;
            keyValues += ", ?" + std::to_string(i + 2);
            keySets += (i ? ", " : "") + k + " = excluded." + k;
        }
        upsertKeys_ = Stmt(db, "INSERT INTO lce_keys(" + keys + ") VALUES(" + keyValues +
                                   ") ON CONFLICT(__recno) DO UPDATE SET " + keySets);
        deleteKeys_ = Stmt(db, "DELETE FROM lce_keys WHERE __recno = ?1");
        for (const IndexInfo& ix : indexes) {
            conditions_.emplace_back(ix.def.condition.empty() ? Stmt()
                                                              : Stmt(db, "SELECT coalesce((" + ix.def.condition +
                                                                             "), 0) FROM records WHERE __recno = ?1"));
            conditionalUnique_ = conditionalUnique_ || (ix.def.unique && !ix.def.condition.empty());
            uniqueProbes_.emplace_back(
                ix.def.unique && ix.def.condition.empty()
                    ? Stmt(db, "SELECT __recno FROM lce_keys WHERE " + ix.keyColumn + " = ?1 AND __recno <> ?2 LIMIT 1")
                    : Stmt());
        }
    }
    prepared_ = true;
}

Row WritableTable::normalized(const Row& values) { return store_->normalizedRow(values); }

void WritableTable::writeColumns(Stmt& stmt, const Row& row, std::int64_t recno) {
    written_ = true;
    stmt.reset();
    for (std::size_t c = 0; c < row.size(); ++c) bindValue(stmt, static_cast<int>(c + 1), row[c]);
    if (recno) stmt.bind(static_cast<int>(row.size() + 1), recno);
    stmt.step();
}

// The key of index i, or none when the record does not meet its condition
// (the field columns are written already).
std::optional<std::string> WritableTable::conditionalKey(std::size_t i, std::int64_t recno, const Row& row) {
    if (i < conditions_.size() && conditions_[i]) {
        Stmt& cond = conditions_[i];
        cond.reset();
        cond.bind(1, recno);
        if (!cond.step() || cond.integer(0) == 0) return std::nullopt;
    }
    return store_->keyFor(i, row);
}

void WritableTable::writeImageAndKeys(std::int64_t recno, const Row& row, bool deleted) {
    std::string image = store_->recordImage(row);
    if (deleted && store_->layout().tableType() != kLdt) image[0] = kDeletedFlag;
    const std::string packed = packImage(image);
    upsertImage_.reset();
    upsertImage_.bind(1, recno);
    upsertImage_.bindBlob(2, packed.data(), packed.size());
    upsertImage_.step();
    store_->writeTemporaryKeys(recno, row);
    if (!upsertKeys_) return;
    upsertKeys_.reset();
    upsertKeys_.bind(1, recno);
    for (std::size_t i = 0; i < store_->indexes().size(); ++i) {
        const auto key = conditionalKey(i, recno, row);
        if (key)
            upsertKeys_.bindKey(static_cast<int>(i + 2), *key);
        else
            upsertKeys_.bindNull(static_cast<int>(i + 2));
    }
    try {
        upsertKeys_.step();
    } catch (const Error& e) {
        duplicate(recno, row, e);
    }
}

void WritableTable::failDuplicate(std::size_t index, std::int64_t other, const Row& row) {
    const IndexInfo& ix = store_->indexes()[index];
    std::string values;
    for (std::size_t c : ix.segments) {
        const ColumnDef& def = store_->layout().columns()[c].def;
        values += (values.empty() ? "" : ", ") + def.name + " = \"" +
                  std::string(trimTrailingBlanks(textOfValue(def, row[c]))) + "\"";
    }
    fail(kErrDuplicateKey, "Cannot write the record to table " + store_->path() + ": the unique index " + ix.def.name +
                               " holds " + values + " already (record " + std::to_string(other) +
                               "); give the record other values");
}

void WritableTable::checkUnique(std::int64_t recno, const Row& row) {
    for (std::size_t i = 0; i < uniqueProbes_.size(); ++i) {
        Stmt& probe = uniqueProbes_[i];
        if (!probe) continue;
        const std::string key = store_->keyFor(i, row);
        probe.reset();
        probe.bindKey(1, key);
        probe.bind(2, recno);
        if (probe.step()) {
            const std::int64_t other = probe.integer(0);
            probe.reset();
            failDuplicate(i, other, row);
        }
    }
}

// A key write failed: when a unique index holds the key for another record,
// says which index, values and record; otherwise passes the failure on.
void WritableTable::duplicate(std::int64_t recno, const Row& row, const Error& cause) {
    const auto& indexes = store_->indexes();
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const IndexInfo& ix = indexes[i];
        if (!ix.def.unique) continue;
        const auto key = conditionalKey(i, recno, row);
        if (!key) continue;
        Stmt q(store_->db(), "SELECT __recno FROM lce_keys WHERE " + ix.keyColumn + " = ?1 AND __recno <> ?2 LIMIT 1");
        q.bindKey(1, *key);
        q.bind(2, recno);
        if (q.step()) failDuplicate(i, q.integer(0), row);
    }
    throw cause;
}

void WritableTable::saveAutoIncrement() {
    if (!store_->nextAutoInc_) return;
    if (!saveAutoInc_)
        saveAutoInc_ = Stmt(store_->db(),
                            "INSERT INTO lce_meta(key, value) VALUES('next_autoinc', ?1) "
                            "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    saveAutoInc_.reset();
    saveAutoInc_.bindText(1, std::to_string(*store_->nextAutoInc_));
    saveAutoInc_.step();
}

void WritableTable::run(Stmt& stmt, const char* sql) {
    if (!stmt) stmt = Stmt(store_->db(), sql);
    stmt.reset();
    stmt.step();
}

std::int64_t WritableTable::insert(const Row& values) {
    prepare();
    locks_.holdForAppend();
    const Row row = normalized(values);
    checkUnique(0, row);
    writeColumns(insertRow_, row, 0);
    const std::int64_t recno = sqlite3_last_insert_rowid(store_->db().get());
    writeImageAndKeys(recno, row, false);
    saveAutoIncrement();
    return recno;
}

void WritableTable::update(std::int64_t recno, const Row& values, bool deleted) {
    prepare();
    locks_.holdRecordForWrite(recno);
    const Row row = normalized(values);
    checkUnique(recno, row);
    writeColumns(updateRow_, row, recno);
    if (sqlite3_changes(store_->db().get()) == 0) {
        written_ = false;  // an update of no row changed nothing
        fail(kErrRecordNotFound, "Record " + std::to_string(recno) + " of table " + store_->path() +
                                     " no longer exists; read the table again");
    }
    writeImageAndKeys(recno, row, deleted);
    saveAutoIncrement();
}

void WritableTable::erase(std::int64_t recno) {
    prepare();
    locks_.holdRecordForWrite(recno);
    written_ = true;
    for (Stmt* s : {&deleteRow_, &deleteImage_, &deleteKeys_}) {
        if (!*s) continue;
        s->reset();
        s->bind(1, recno);
        s->step();
    }
    store_->eraseTemporaryKeys(recno);
}

std::int64_t WritableTable::autoIncrementOf(std::int64_t recno) {
    prepare();
    if (!readAutoInc_) return 0;
    readAutoInc_.reset();
    readAutoInc_.bind(1, recno);
    const std::int64_t value = readAutoInc_.step() ? readAutoInc_.integer(0) : 0;
    readAutoInc_.reset();
    return value;
}

Row WritableTable::rowFromColumns(std::int64_t recno, Stmt& stmt) {
    const auto& cols = store_->layout().columns();
    Row row(cols.size());
    for (std::size_t c = 0; c < cols.size(); ++c) {
        try {
            row[c] = columnValue(cols[c].def, stmt, static_cast<int>(c));
        } catch (const Error& e) {
            fail(e.code(),
                 std::string(e.what()) + " (record " + std::to_string(recno) + " of table " + store_->path() + ")");
        }
    }
    return row;
}

bool WritableTable::markedDeleted(std::int64_t recno) {
    if (store_->layout().tableType() == kLdt) return false;
    Stmt q(store_->db(), "SELECT substr(__rec, 3, 1) FROM lce_images WHERE __recno = ?1");
    q.bind(1, recno);
    return q.step() && q.text(0) == std::string(1, kDeletedFlag);
}

void WritableTable::refresh(const std::vector<std::int64_t>& recnos) {
    prepare();
    // One lock for a statement that changed many records, if none is held elsewhere.
    if (recnos.size() > kManyRecords) locks_.tryHoldAllForWrite();
    for (std::int64_t recno : recnos) {
        locks_.holdRecordForWrite(recno);
        readRow_.reset();
        readRow_.bind(1, recno);
        if (!readRow_.step()) {
            for (Stmt* s : {&deleteImage_, &deleteKeys_}) {
                if (!*s) continue;
                s->reset();
                s->bind(1, recno);
                s->step();
            }
            store_->eraseTemporaryKeys(recno);
            continue;
        }
        const Row given = rowFromColumns(recno, readRow_);
        readRow_.reset();
        Row row;
        try {
            row = normalized(given);
        } catch (const Error& e) {
            fail(e.code(), std::string(e.what()) + " (record " + std::to_string(recno) + ")");
        }
        // The columns hold the values as the table stores them (numbers given,
        // text trimmed), so SQL and the images agree.
        if (!(row == given)) writeColumns(updateRow_, row, recno);
        writeImageAndKeys(recno, row, markedDeleted(recno));
    }
    saveAutoIncrement();
}

}  // namespace lce
