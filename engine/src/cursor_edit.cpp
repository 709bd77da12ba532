// Record editing on a table cursor: the pending image of the current or a
// new record, writing it through the table's writer, deletion flags, and the
// record and table locks of the handle.
#include <cstring>

#include "engine/src/connection.h"
#include "engine/src/cursor.h"
#include "engine/src/error.h"
#include "engine/src/record_locks.h"
#include "engine/src/table_writer.h"

namespace lce {

namespace {

// The empty value of a column's type, where it has one.
Value emptyOf(std::uint16_t type) {
    switch (kindOf(type)) {
        case Value::Kind::Text: return Value::ofText("");
        case Value::Kind::Memo: return Value::ofMemo("");
        case Value::Kind::Binary: return isBlobType(type) ? Value::null() : Value::ofBinary("");
        case Value::Kind::Logical: return Value::ofLogical(false);
        case Value::Kind::Double: return Value::ofDouble(0);
        case Value::Kind::Integer: return Value::ofInteger(0);
        case Value::Kind::Scaled: return Value::ofScaled(0);
        default: return Value::null();
    }
}

}  // namespace

WritableTable& Cursor::writer() {
    if (writer_) return *writer_;
    if (options_.sqlResult)
        fail(kErrReadOnly, "The result of an SQL statement cannot be changed; change the tables it reads");
    if (options_.openOptions & kReadOnly)
        fail(kErrReadOnly, "Table " + name() + " is open read-only; open it without the read-only option to change it");
    if (!(options_.openOptions & (kMayUpdate | kMayInsert)))
        fail(kErrNoRights, "Table " + name() +
                               " is marked read-only for this user; ask the practice's administrator for the right "
                               "to change it");
    auto conn = options_.connection.lock();
    if (!conn)
        fail(kErrConnectionGone, "The connection of table " + name() + " is closed; connect again and open the table");
    auto table = conn->writableTable(store_->path());
    // Opened before the table had its lock file: the open byte now keeps an
    // exclusive open elsewhere out, and fails while there is one.
    if (!openLock_) openLock_ = OpenLock::take(store_->path(), false);
    // Reads go through the writer's database from now on, so they see this
    // connection's writes also inside its transaction.
    switchStore(table->store());
    writer_ = std::move(table);
    return *writer_;
}

void Cursor::switchStore(std::shared_ptr<TableStore> store) {
    if (store == store_) return;
    if (onRecord_ && !edit_) {
        // The key of the current record in the order the cursor reads, so a
        // skip goes on from it in the new store.
        if (keyOrder_ != 0 && !key_) key_ = currentKey(keyOrder_);
    }
    stream_.reset();
    source_ = Source{};
    forgetStreamStatements();
    statements_.clear();
    // Index files' keys are built again on the new store when first read.
    dropIndexFileKeys();
    store_ = std::move(store);
    imageReady_ = false;
    counts_.clear();
    seenWrites_ = store_->writeEpoch();
}

void Cursor::syncWrites() const {
    if (seenWrites_ == store_->writeEpoch()) return;
    seenWrites_ = store_->writeEpoch();
    imageReady_ = false;
    counts_.clear();
}

void Cursor::beforeMove() {
    if (edit_) writeRecord();
    followWriter();
}

// Once the connection writes the table, every handle of it on the connection
// reads through the writer, so it sees the connection's own writes also
// inside its transaction (read-only handles still may not write).
void Cursor::followWriter() {
    // Every call passes here: the counter is read without taking the connection.
    if (writer_ || options_.sqlResult || !options_.writerGeneration) return;
    const std::uint64_t generation = options_.writerGeneration->load(std::memory_order_acquire);
    if (generation == seenWriterGeneration_) return;
    const auto conn = options_.connection.lock();
    if (!conn) return;
    seenWriterGeneration_ = generation;
    if (auto table = conn->findWritable(store_->path())) switchStore(table->store());
}

bool Cursor::isDeleted() const {
    if (store_->layout().tableType() == kLdt || !onRecord_) return false;
    const std::string& img = image();
    return !img.empty() && img[0] == '*';
}

void Cursor::appendRecord() {
    beforeMove();
    writer();
    if (!(options_.openOptions & kMayInsert))
        fail(kErrNoRights, "Insert permission not granted on table " + name() +
                               "; ask the practice's administrator for the right to add records");
    Edit edit;
    edit.append = true;
    edit.image = store_->layout().nullImage();
    edit.previous = recno_;
    edit.previousOnRecord = onRecord_;
    edit.previousBof = bof_;
    edit.previousEof = eof_;
    edit_ = std::move(edit);
    stream_.reset();
    onRecord_ = true;
    bof_ = eof_ = false;
    recno_ = 0;
    key_.reset();
    removedKeys_.clear();
}

void Cursor::setFieldValue(std::size_t c, const Value& value) {
    requireRecord();
    writer();
    const RecordLayout& layout = store_->layout();
    const ColumnDef& def = layout.columns()[c].def;
    const bool inserting = edit_ && edit_->append;
    const std::uint8_t needed = inserting ? 4 : 2;
    if (options_.checkRights && !(def.permissions & needed))
        fail(kErrNoRights, std::string(inserting ? "Insert" : "Update") + " permission not granted on field " +
                               def.name + " of table " + name() +
                               "; ask the practice's administrator for the right to change it");
    Value v;
    try {
        v = layout.normalize(c, value);
    } catch (const Error& e) {
        fail(e.code(), std::string(e.what()) + " in table " + name() + "; give a value that fits the field");
    }
    if (!edit_) {
        Edit edit;
        edit.image = image();
        edit_ = std::move(edit);
    }
    if (isBlobType(def.type)) edit_->blobs[c] = v;
    layout.encode(edit_->image, c, v);
}

void Cursor::setFieldEmpty(std::size_t c) { setFieldValue(c, emptyOf(store_->layout().columns()[c].def.type)); }

void Cursor::markDeleted(bool deleted) {
    requireRecord();
    writer();
    if (!edit_) {
        Edit edit;
        edit.image = image();
        edit_ = std::move(edit);
    }
    if (edit_->append && deleted) {
        cancelUpdate();  // a record never written is simply dropped
        return;
    }
    edit_->deleted = deleted;
    if (store_->layout().tableType() != kLdt) edit_->image[0] = deleted ? '*' : ' ';
}

// The pending record as values: columns from the pending image, memos and
// blobs as changed or as stored.
Row Cursor::pendingRow() const {
    Row row(store_->layout().columns().size());
    for (std::size_t c = 0; c < row.size(); ++c) row[c] = fieldValue(c);
    return row;
}

void Cursor::landOnWritten(std::int64_t recno) {
    edit_.reset();
    stream_.reset();
    key_.reset();
    imageReady_ = false;
    counts_.clear();
    gotoRecord(recno);
}

void Cursor::writeRecord() {
    if (!edit_) return;
    WritableTable& w = writer();
    auto conn = options_.connection.lock();
    if (!conn)
        fail(kErrConnectionGone, "The connection of table " + name() + " is closed; connect again and open the table");
    const bool ldt = store_->layout().tableType() == kLdt;
    if (!edit_->append && edit_->deleted.value_or(false) && ldt) {
        // The keys of the removed record let a skip go on from its place.
        std::vector<std::optional<std::string>> keys(orders_.size());
        {
            const auto lease = store_->reading();
            for (std::size_t o = 1; o < orders_.size(); ++o)
                if (orders_[o].open) keys[o] = currentKey(o);
        }
        WritableTable::Scope scope(w, conn->transactions(), WritableTable::Scope::Kind::Record);
        w.erase(recno_);
        scope.commit();
        edit_.reset();
        stream_.reset();
        imageReady_ = false;
        counts_.clear();
        removedKeys_ = std::move(keys);
        keyOrder_ = 0;
        key_.reset();
        return;
    }
    const Row row = pendingRow();
    const bool deleted = !ldt && !edit_->image.empty() && edit_->image[0] == '*';
    WritableTable::Scope scope(w, conn->transactions(), WritableTable::Scope::Kind::Record);
    std::int64_t recno = recno_;
    const bool appended = edit_->append;
    if (appended)
        recno = w.insert(row);
    else
        w.update(recno, row, deleted);
    scope.commit();
    if (appended) lastAutoIncrement_ = w.autoIncrementOf(recno);
    landOnWritten(recno);
}

void Cursor::cancelUpdate() {
    if (!edit_) return;
    const Edit edit = std::move(*edit_);
    edit_.reset();
    imageReady_ = false;
    if (!edit.append) return;
    recno_ = edit.previous;
    onRecord_ = false;
    bof_ = edit.previousBof;
    eof_ = edit.previousEof;
    if (edit.previousOnRecord) {
        try {
            gotoRecord(edit.previous);
        } catch (const Error&) {
            gotoEOF();
        }
    }
}

// ---- Locks ---------------------------------------------------------------------

void Cursor::lockRecord(std::int64_t recno) {
    if (recno == 0) {
        requireRecord();
        recno = recno_;
    }
    if (recno <= 0)
        fail(kErrRecordNotFound,
             "A new record of table " + name() + " has no lock of its own; write it first, then lock it");
    writer().locks().lockRecord(recno, handle);
}

void Cursor::unlockRecord(std::int64_t recno) {
    if (!writer_) return;
    if (recno == 0)
        writer_->locks().releaseOwner(handle);
    else
        writer_->locks().unlockRecord(recno);
}

bool Cursor::recordLocked(std::int64_t recno) {
    if (recno == 0) {
        requireRecord();
        recno = recno_;
    }
    return writer_ && writer_->locks().recordLocked(recno);
}

void Cursor::lockTable() { writer().locks().lockTable(handle); }

void Cursor::unlockTable() {
    if (writer_) writer_->locks().unlockTable();
}

bool Cursor::tableLocked() { return writer_ && writer_->locks().tableLocked(); }

void Cursor::setOpenLock(std::unique_ptr<OpenLock> lock) { openLock_ = std::move(lock); }

void Cursor::close() {
    std::optional<Error> failure;
    try {
        writeRecord();
    } catch (const Error& e) {
        failure = e;
        edit_.reset();
    }
    if (writer_) writer_->locks().releaseOwner(handle);
    openLock_.reset();
    if (failure) throw *failure;
}

}  // namespace lce
