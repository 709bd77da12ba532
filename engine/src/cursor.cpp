// Cursor navigation: index-order streams, scopes, counts and record images read
// lazily, each checked against the keys and rows that name it.
#include "engine/src/cursor.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>

#include "engine/src/error.h"
#include "engine/src/image_codec.h"
#include "engine/src/keys.h"
#include "engine/src/record_locks.h"
#include "engine/src/table_writer.h"
#include "engine/src/text.h"
#include "engine/src/value_text.h"

namespace lce {

namespace {
std::atomic<bool> showDeleted{true};
}  // namespace

bool showDeletedRecords() { return showDeleted.load(std::memory_order_relaxed); }
void setShowDeletedRecords(bool show) { showDeleted.store(show, std::memory_order_relaxed); }

std::shared_ptr<Cursor> IndexHandle::cursor() const {
    auto c = cursorIfOpen();
    if (!c) fail(kErrInvalidHandle, "The table of index handle " + std::to_string(handle) + " is closed");
    return c;
}

Cursor::Cursor(std::shared_ptr<TableStore> store, Options options)
    : store_(std::move(store)), options_(std::move(options)) {
    orders_.resize(store_->indexes().size() + 1);
    for (std::size_t i = 1; i < orders_.size(); ++i) orders_[i].staged.resize(store_->indexes()[i - 1].segments.size());
}

Cursor::~Cursor() { dropIndexFileKeys(); }

void Cursor::registerIndexes() {
    for (std::size_t i = 1; i < orders_.size(); ++i)
        orders_[i].handle = HandleRegistry::instance().add(std::make_shared<IndexHandle>(weak_from_this(), i));
}

void Cursor::releaseHandles() {
    for (std::size_t i = 1; i < orders_.size(); ++i)
        if (orders_[i].handle != 0) HandleRegistry::instance().remove(orders_[i].handle);
}

std::string Cursor::name() const { return options_.sqlResult ? std::string("SQL result") : store_->path(); }

const IndexInfo& Cursor::index(std::size_t order) const {
    if (order == 0 || order >= orders_.size()) fail(kErrIndexNotFound, "No index is active on table " + name());
    if (orders_[order].info) return *orders_[order].info;
    return store_->indexes()[order - 1];
}

const std::string& Cursor::keyTable(std::size_t order) {
    static const std::string own = "lce_keys";
    IndexFileKeys* file = orders_.at(order).file.get();
    if (!file) return own;
    if (!orders_[order].open) fail(kErrIndexNotFound, "Index file " + file->path + " is closed on table " + name());
    if (file->keyTable.empty() || !store_->hasTemporaryKeys(file->keyTable)) {
        if (!file->keyTable.empty()) dropStatementsOn(file->keyTable);
        file->keyTable.clear();
        file->keyTable = store_->buildTemporaryKeys(file->indexes);
    }
    return file->keyTable;
}

void Cursor::dropIndexFileKeys() noexcept {
    for (const Order& o : orders_) {
        if (!o.file || o.file->keyTable.empty()) continue;
        const std::string table = std::exchange(o.file->keyTable, std::string());
        try {
            dropStatementsOn(table);
            store_->dropTemporaryKeys(table);
        } catch (...) {
            // The table goes with its connection at the latest.
        }
    }
}

const std::string& Cursor::indexFilePath(std::size_t order) const {
    index(order);
    return orders_[order].file ? orders_[order].file->path : store_->path();
}

bool Cursor::indexFileOpen(const std::string& path) const {
    for (const Order& o : orders_)
        if (o.open && o.file && equalsIgnoringCase(o.file->path, path)) return true;
    return false;
}

std::vector<std::size_t> Cursor::openIndexFile(const std::string& path, const std::vector<IndexDef>& indexes) {
    // Built where the cursor reads, which is the writer's connection once it has one.
    followWriter();
    if (indexFileOpen(path)) fail(kErrIndexFileOpen, "Index file " + path + " is already open on table " + name());
    std::vector<IndexInfo> infos;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const IndexDef& def = indexes[i];
        for (std::size_t o = 1; o < orders_.size(); ++o)
            if (orders_[o].open && equalsIgnoringCase(index(o).def.name, def.name))
                fail(kErrIndexFileOpen, "Index " + def.name + " of index file " + path +
                                            " has the name of an index open on table " + name());
        infos.push_back(store_->describeIndex(def, "__x" + std::to_string(i + 1)));
    }
    auto keys = std::make_shared<IndexFileKeys>(IndexFileKeys{path, store_->buildTemporaryKeys(infos), infos});
    std::vector<std::size_t> opened;
    for (IndexInfo& info : infos) {
        Order o;
        o.file = keys;
        o.staged.resize(info.segments.size());
        o.info = std::make_shared<const IndexInfo>(std::move(info));
        orders_.push_back(std::move(o));
        opened.push_back(orders_.size() - 1);
    }
    for (std::size_t order : opened)
        orders_[order].handle = HandleRegistry::instance().add(std::make_shared<IndexHandle>(weak_from_this(), order));
    return opened;
}

void Cursor::closeIndexFile(std::size_t order) {
    const std::shared_ptr<IndexFileKeys> keys = orders_.at(order).file;
    if (!keys) return;
    for (Order& o : orders_) {
        if (o.file != keys || !o.open) continue;
        o.open = false;
        HandleRegistry::instance().remove(o.handle);
        o.handle = 0;
    }
    if (stream_ && orders_[stream_->order].file == keys) stream_.reset();
    if (keyOrder_ != 0 && orders_[keyOrder_].file == keys) key_.reset();
    if (keys->keyTable.empty()) return;
    const std::string table = std::exchange(keys->keyTable, std::string());
    dropStatementsOn(table);
    store_->dropTemporaryKeys(table);
}

void Cursor::dropStatementsOn(const std::string& table) {
    for (auto it = statements_.begin(); it != statements_.end();) {
        if (it->first.find(table) == std::string::npos) {
            ++it;
            continue;
        }
        if (source_.stmt == &it->second) source_ = Source{};
        if (stream_ && stream_->stmt == &it->second) stream_.reset();
        forgetStreamStatements();
        it = statements_.erase(it);
    }
}

Stmt& Cursor::statement(const std::string& sql) const {
    auto it = statements_.find(sql);
    if (it == statements_.end()) it = statements_.emplace(sql, Stmt(store_->db(), sql)).first;
    it->second.reset();
    return it->second;
}

std::string Cursor::scopeClause(std::size_t order, const std::string& k) const {
    std::string where = k + " >= ?3";
    const Order& o = orders_[order];
    if (!o.bottomEnd.empty()) where += " AND " + k + " < ?4";
    return where;
}

void Cursor::bindScope(Stmt& stmt, std::size_t order) const {
    const Order& o = orders_[order];
    if (o.top)
        stmt.bindKey(3, *o.top);
    else
        stmt.bindKey(3, "");
    if (!o.bottomEnd.empty()) stmt.bindKey(4, o.bottomEnd);
}

void Cursor::noteSource(Stmt& stmt, int keyColumn) {
    forgetSource();
    source_ = Source{&stmt, stmt.generation(), store_->readEpoch(), keyColumn};
}

void Cursor::forgetSource() {
    source_ = Source{};
    imageReady_ = false;
    key_.reset();
    removedKeys_.clear();
}

// NTX, CDX and VFP records with the deletion flag, while they are hidden.
// The flag is the image's first byte, which a packed image holds at offset
// 2 (image_codec.h: the first token's literal or, without one, its run).
bool Cursor::hiddenAsDeleted(std::string_view packed) const {
    return store_->layout().tableType() != kLdt && packed.size() > 2 && packed[2] == '*' && !showDeletedRecords();
}

bool Cursor::sourceValid() const {
    return source_.stmt && source_.stmt->generation() == source_.generation && source_.epoch == store_->readEpoch();
}

std::string_view Cursor::packedImage() const {
    if (sourceValid()) return source_.stmt->blob(1);
    // The statement has moved on or the read ended: look the record up again.
    Stmt& q = statement("SELECT __recno, __rec FROM lce_images WHERE __recno = ?2");
    q.bind(2, recno_);
    if (!q.step()) {
        if (store_->hasRecord(recno_)) store_->missingImage(recno_);
        fail(kErrRecordNotFound, "Record " + std::to_string(recno_) + " does not exist in table " + name());
    }
    return q.blob(1);
}

void Cursor::damaged() const {
    fail(kErrDamaged, "Record " + std::to_string(recno_) + " of table " + name() + " is damaged");
}

std::optional<std::string> Cursor::currentKey(std::size_t order) { return currentKeyRef(order); }

const std::optional<std::string>& Cursor::currentKeyRef(std::size_t order) {
    static const std::optional<std::string> none;
    if (!onRecord_ || order == 0) return none;
    if (!removedKeys_.empty()) return order < removedKeys_.size() ? removedKeys_[order] : none;
    if (keyOrder_ == order) {
        if (key_) return key_;
        if (source_.keyColumn >= 0 && sourceValid() && !source_.stmt->isNull(source_.keyColumn)) {
            key_ = std::string(source_.stmt->blob(source_.keyColumn));
            return key_;
        }
    }
    const IndexInfo& ix = index(order);
    Stmt& q = statement("SELECT " + ix.keyColumn + " FROM " + keyTable(order) + " WHERE __recno = ?1");
    q.bind(1, recno_);
    lookedUpKey_.reset();
    if (q.step() && !q.isNull(0)) lookedUpKey_ = std::string(q.blob(0));
    return lookedUpKey_;
}

void Cursor::startStream(std::size_t order, Dir dir, bool fromCurrent) {
    std::string sql;
    const bool fwd = dir == Dir::Forward;
    std::optional<std::string> key;
    if (order == 0) {
        store_->checkImages();
        sql = "SELECT __recno, __rec FROM lce_images";
        if (fromCurrent) sql += fwd ? " WHERE __recno > ?2" : " WHERE __recno < ?2";
        sql += fwd ? " ORDER BY __recno" : " ORDER BY __recno DESC";
    } else {
        if (fromCurrent) {
            key = currentKey(order);
            if (!key) fromCurrent = false;  // the record is not in this order: start at its end
        }
        if (fwd && !fromCurrent && resumeParked(order)) return;
    }
    parked_.reset();
    Stmt& stmt = order == 0 ? statement(sql) : streamStatement(order, fwd, fromCurrent);
    streamStartedAt_ = std::chrono::steady_clock::now();
    if (order != 0) bindScope(stmt, order);
    if (fromCurrent) {
        if (key) stmt.bindKey(1, *key);
        stmt.bind(2, recno_);
    }
    stream_ = Stream{order, dir, 0, &stmt, store_->readEpoch(), false, false, fwd && order != 0};
}

bool Cursor::boundedInSql(std::size_t order, bool forward) const {
    return !forward && !orders_[order].bottomEnd.empty();
}

void Cursor::parkStream() {
    if (!stream_) return;
    // The reaper may end the table's read (and reset its statements) between
    // two calls: the stream is read with the reaper kept off.
    const auto use = store_->exclusiveUse();
    if (stream_->parkable && !orders_[stream_->order].file && onRecord_ && stream_->last == recno_ &&
        stream_->epoch == store_->readEpoch() && sourceValid() && source_.stmt == stream_->stmt &&
        !stream_->stmt->isNull(2)) {
        Stmt& s = *stream_->stmt;
        parked_ = Parked{stream_->order, &s, s.generation(), stream_->epoch, std::string(s.blob(2))};
    }
    stream_.reset();
}

bool Cursor::resumeParked(std::size_t order) {
    const std::optional<Parked> parked = std::exchange(parked_, std::nullopt);
    const std::optional<std::string>& top = orders_[order].top;
    // Only a stream standing before the new scope's first key can go on to
    // it: the records it passed then all lie below that key.
    if (!parked || parked->order != order || parked->epoch != store_->readEpoch() ||
        parked->stmt->generation() != parked->generation || !top || !(parked->key < *top))
        return false;
    Stmt& s = *parked->stmt;
    for (int i = 0; i < kResumeSteps; ++i) {
        if (!s.step()) {
            stream_ = Stream{order, Dir::Forward, 0, &s, store_->readEpoch(), false, true, true};
            return true;
        }
        if (!s.isNull(2) && !(s.blob(2) < std::string_view(*top))) {
            stream_ = Stream{order, Dir::Forward, 0, &s, store_->readEpoch(), true, false, true};
            return true;
        }
    }
    return false;
}

const std::string& Cursor::streamSql(std::size_t order, bool forward, bool fromCurrent) {
    Order& o = orders_[order];
    const bool bounded = boundedInSql(order, forward);
    const std::size_t variant = (forward ? 1 : 0) | (fromCurrent ? 2 : 0) | (bounded ? 4 : 0);
    // An index file's key table may be built again under another name.
    if (!o.file && !o.streamSql[variant].empty()) return o.streamSql[variant];
    const std::string& k = index(order).keyColumn;
    // The key table leads: its index gives the order, the record follows by
    // number. A key whose record has no image gives a null image (damage
    // named where it is met) instead of being passed over.
    std::string sql = "SELECT k.__recno, r.__rec, k." + k + " FROM " + keyTable(order) +
                      " AS k LEFT JOIN lce_images AS r ON r.__recno = k.__recno WHERE k." + k + " >= ?3";
    if (bounded) sql += " AND k." + k + " < ?4";
    if (fromCurrent)
        sql += forward ? " AND (k." + k + ", k.__recno) > (?1, ?2)" : " AND (k." + k + ", k.__recno) < (?1, ?2)";
    sql += forward ? " ORDER BY k." + k + ", k.__recno" : " ORDER BY k." + k + " DESC, k.__recno DESC";
    o.streamSql[variant] = std::move(sql);
    return o.streamSql[variant];
}

Stmt& Cursor::streamStatement(std::size_t order, bool forward, bool fromCurrent) {
    Order& o = orders_[order];
    const std::string& sql = streamSql(order, forward, fromCurrent);
    // An index file's statements are looked up by their text, as its key table may change name.
    if (o.file) return statement(sql);
    const bool bounded = boundedInSql(order, forward);
    Stmt*& cached = o.streamStmt[(forward ? 1 : 0) | (fromCurrent ? 2 : 0) | (bounded ? 4 : 0)];
    if (cached) {
        cached->reset();
        return *cached;
    }
    cached = &statement(sql);
    return *cached;
}

void Cursor::forgetStreamStatements() {
    for (Order& o : orders_) o.streamStmt.fill(nullptr);
    parked_.reset();
}

bool Cursor::stepStream() {
    Stmt& s = *stream_->stmt;
    if (stream_->ended) {
        stream_.reset();
        return false;
    }
    // A forward index stream is not bounded in SQL: it ends at the bottom scope here.
    static const std::string noEnd;
    const std::string& end =
        stream_->dir == Dir::Forward && stream_->order != 0 ? orders_[stream_->order].bottomEnd : noEnd;
    bool pending = std::exchange(stream_->pending, false);
    do {
        if (!pending && !s.step()) {
            stream_.reset();
            return false;
        }
        pending = false;
        if (!end.empty() && !s.isNull(2) && !(s.blob(2) < std::string_view(end))) {
            stream_.reset();
            return false;
        }
    } while ((!s.isNull(1) && hiddenAsDeleted(s.blob(1))) || filteredOut(s.integer(0)));
    recno_ = s.integer(0);
    if (stream_->order != 0 && s.isNull(1)) store_->missingImage(recno_);
    noteSource(s, stream_->order != 0 ? 2 : -1);
    keyOrder_ = stream_->order;
    stream_->last = recno_;
    readAheadIfLong(s);
    return true;
}

void Cursor::readAheadIfLong(Stmt& s) {
    if (s.readAheadOffered() || !stream_->parkable || !readAhead_.due(s.steps(), streamStartedAt_)) return;
    const std::size_t order = stream_->order;
    if (orders_[order].file || !store_->canReadAhead() || s.isNull(2)) {
        s.readAhead(nullptr);
        return;
    }
    // The stream in its form that goes on after a row: the rows after the
    // current one in the order, as the running stream would give them.
    s.readAhead(ReadAhead::start(store_, streamSql(order, true, true), s.blob(2), s.integer(0)));
}

void Cursor::landed(bool found, Dir dir, bool fromEnd) {
    if (found) {
        onRecord_ = true;
        bof_ = eof_ = false;
        return;
    }
    onRecord_ = false;
    key_.reset();
    if (dir == Dir::Forward) {
        eof_ = true;
        bof_ = fromEnd;  // nothing at all in this order
    } else {
        bof_ = true;
        eof_ = fromEnd;
    }
}

bool Cursor::inMemory(std::size_t order) const {
    return order == 0 && store_->memoryRows() > 0 && !filters_.active() && !edit_;
}

bool Cursor::stepInMemory(std::int64_t recno, Dir dir, bool fromEnd) {
    stream_.reset();
    parked_.reset();
    const bool found = recno >= 1 && recno <= store_->memoryRows();
    if (found) {
        recno_ = recno;
        forgetSource();
        keyOrder_ = 0;
    }
    landed(found, dir, fromEnd);
    return found;
}

void Cursor::gotoTop(std::size_t order) {
    beforeMove();
    if (inMemory(order)) {
        stepInMemory(1, Dir::Forward, true);
        return;
    }
    const auto lease = store_->reading();
    startStream(order, Dir::Forward, false);
    landed(stepStream(), Dir::Forward, true);
}

void Cursor::gotoBottom(std::size_t order) {
    beforeMove();
    if (inMemory(order)) {
        stepInMemory(store_->memoryRows(), Dir::Backward, true);
        return;
    }
    const auto lease = store_->reading();
    startStream(order, Dir::Backward, false);
    landed(stepStream(), Dir::Backward, true);
}

void Cursor::gotoBOF() {
    beforeMove();
    parkStream();
    onRecord_ = false;
    key_.reset();
    bof_ = true;
    eof_ = false;
}

void Cursor::gotoEOF() {
    beforeMove();
    stream_.reset();
    onRecord_ = false;
    key_.reset();
    eof_ = true;
    bof_ = false;
}

void Cursor::skip(std::size_t order, std::int64_t count) {
    beforeMove();
    if (count == 0) {
        if (onRecord_) refresh();
        return;
    }
    const Dir dir = count > 0 ? Dir::Forward : Dir::Backward;
    std::int64_t n = count > 0 ? count : -count;
    if (inMemory(order)) {
        while (n-- > 0) {
            if (onRecord_) {
                if (!stepInMemory(dir == Dir::Forward ? recno_ + 1 : recno_ - 1, dir, false)) return;
            } else {
                if (dir == Dir::Forward ? !bof_ : !eof_) return;  // already past that end
                if (!stepInMemory(dir == Dir::Forward ? 1 : store_->memoryRows(), dir, true)) return;
            }
        }
        return;
    }
    const auto lease = store_->reading();
    while (n-- > 0) {
        bool fromEnd = false;
        if (onRecord_ && stream_ && stream_->order == order && stream_->dir == dir && stream_->last == recno_ &&
            stream_->epoch == store_->readEpoch()) {
            // continue the running stream
        } else if (!onRecord_) {
            if (dir == Dir::Forward ? !bof_ : !eof_) return;  // already past that end
            startStream(order, dir, false);
            fromEnd = true;
        } else {
            startStream(order, dir, true);
        }
        const bool found = stepStream();
        landed(found, dir, fromEnd);
        if (!found) return;
    }
}

void Cursor::gotoRecord(std::int64_t recno) {
    beforeMove();
    if (inMemory(0)) {
        if (recno <= 0 || recno > store_->memoryRows()) {
            gotoEOF();
            fail(kErrRecordNotFound, "Record " + std::to_string(recno) + " does not exist in table " + name());
        }
        stepInMemory(recno, Dir::Forward, false);
        image();  // going to a record checks its image at once
        return;
    }
    const auto lease = store_->reading();
    Stmt& q = statement("SELECT __recno, __rec FROM lce_images WHERE __recno = ?2");
    q.bind(2, recno);
    stream_.reset();
    if (recno <= 0 || !q.step()) {
        gotoEOF();
        if (recno > 0 && store_->hasRecord(recno)) store_->missingImage(recno);
        fail(kErrRecordNotFound, "Record " + std::to_string(recno) + " does not exist in table " + name());
    }
    recno_ = recno;
    noteSource(q, -1);
    keyOrder_ = 0;
    onRecord_ = true;
    bof_ = eof_ = false;
    // Going to a record checks its image at once; a damaged one leaves the
    // cursor on the record, whose image cannot be read.
    if (!unpackImage(q.blob(1), store_->layout().recordSize(), image_)) damaged();
    imageReady_ = true;
}

void Cursor::refresh() {
    beforeMove();
    if (!onRecord_) fail(kErrNoCurrentRecord, "There is no current record in table " + name());
    const auto lease = store_->reading();
    const std::int64_t r = recno_;
    const auto saved = stream_;
    gotoRecord(r);
    stream_ = saved;
}

void Cursor::requireRecord() const {
    if (!onRecord_) fail(kErrNoCurrentRecord, "There is no current record in table " + name());
}

const std::string& Cursor::image() const {
    requireRecord();
    if (edit_) return edit_->image;
    syncWrites();
    if (!imageReady_) {
        // Only a table in memory (which has no read to end) is asked about
        // its statement outside a read.
        if (store_->memoryRows() > 0 && !sourceValid()) {
            if (!store_->memoryRecord(recno_, image_)) damaged();
        } else {
            const auto lease = store_->reading();
            if (!unpackImage(packedImage(), store_->layout().recordSize(), image_)) damaged();
        }
        imageReady_ = true;
    }
    return image_;
}

void Cursor::copyImage(char* dst) const {
    requireRecord();
    const std::size_t size = store_->layout().recordSize();
    if (edit_) {
        std::memcpy(dst, edit_->image.data(), size);
        return;
    }
    // Unpacked where the cursor keeps it: a reader of the record asks for
    // its fields (a memo's emptiness, say) right after.
    std::memcpy(dst, image().data(), size);
}

bool Cursor::inScope(std::size_t order, const std::optional<std::string>& key) const {
    if (!key) return false;
    const Order& o = orders_[order];
    if (o.top && *key < *o.top) return false;
    if (!o.bottomEnd.empty() && !(*key < o.bottomEnd)) return false;
    return true;
}

bool Cursor::isVisible(std::size_t order) {
    followWriter();
    if (!onRecord_) fail(kErrNoCurrentRecord, "There is no current record in table " + name());
    if (!showDeletedRecords() && isDeleted()) return false;
    if (inMemory(order)) return true;
    const auto lease = store_->reading();
    if (filteredOut(recno_)) return false;
    if (order == 0) return true;
    return inScope(order, currentKeyRef(order));
}

std::int64_t Cursor::count(std::size_t order, std::uint16_t mode) {
    followWriter();
    syncWrites();
    const bool fresh = (mode & 4) != 0;
    const int m = mode & 3;
    if (m == 0) fail(kErrInvalidArgument, "Invalid count mode " + std::to_string(mode));
    if (m == 1 && filters_.active()) return filteredCount(order);
    if (inMemory(order)) return store_->memoryRows();
    const bool useScope = (m == 1 || m == 3) && order != 0;
    std::string cacheKey = std::to_string(order);
    std::string sql = order == 0 ? "SELECT count(*) FROM lce_images" : "SELECT count(*) FROM " + keyTable(order);
    if (order != 0) {
        const std::string& k = index(order).keyColumn;
        if (useScope) {
            const Order& o = orders_[order];
            cacheKey += ":" + o.top.value_or("") + "|" + (o.bottom ? "b" + *o.bottom : std::string());
            sql += " WHERE " + scopeClause(order, k);
        } else {
            sql += " WHERE " + k + " IS NOT NULL";
        }
    }
    if (!fresh) {
        auto it = counts_.find(cacheKey);
        if (it != counts_.end()) return it->second;
    }
    const auto lease = store_->reading();
    if (order == 0) store_->checkImages();
    Stmt& q = statement(sql);
    if (useScope) bindScope(q, order);
    q.step();
    const std::int64_t n = q.integer(0);
    counts_[cacheKey] = n;
    return n;
}

std::int64_t Cursor::keyNumber(std::size_t order, std::uint16_t mode) {
    followWriter();
    if (!onRecord_) fail(kErrNoCurrentRecord, "There is no current record in table " + name());
    if ((mode & 3) == 1 && filters_.active()) return filteredKeyNumber(order);
    const auto lease = store_->reading();
    if (order == 0) {
        Stmt& q = statement("SELECT count(*) FROM lce_images WHERE __recno <= ?2");
        q.bind(2, recno_);
        q.step();
        return q.integer(0);
    }
    const auto key = currentKey(order);
    if (!key) return 0;
    const int m = mode & 3;
    const std::string& k = index(order).keyColumn;
    std::string sql = "SELECT count(*) FROM " + keyTable(order) + " WHERE ";
    if (m == 1 || m == 3)
        sql += scopeClause(order, k) + " AND ";
    else
        sql += k + " >= ?3 AND ";
    sql += "(" + k + ", __recno) <= (?1, ?2)";
    Stmt& q = statement(sql);
    if (m == 1 || m == 3)
        bindScope(q, order);
    else
        q.bindKey(3, "");
    q.bindKey(1, *key);
    q.bind(2, recno_);
    q.step();
    return q.integer(0);
}

void Cursor::gotoKeyPosition(std::size_t order, double fraction) {
    beforeMove();
    if (!(fraction >= 0.0)) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    const auto lease = store_->reading();
    const std::int64_t n = count(order, 3);
    if (n == 0) {
        gotoEOF();
        bof_ = true;
        return;
    }
    const auto offset = static_cast<std::int64_t>(std::llround(fraction * static_cast<double>(n - 1)));
    std::string sql;
    if (order == 0) {
        sql = "SELECT __recno, __rec FROM lce_images ORDER BY __recno LIMIT 1 OFFSET ?5";
    } else {
        const std::string& k = index(order).keyColumn;
        sql = "SELECT k.__recno, r.__rec, k." + k + " FROM " + keyTable(order) +
              " AS k LEFT JOIN lce_images AS r ON r.__recno = k.__recno WHERE " + scopeClause(order, "k." + k) +
              " ORDER BY k." + k + ", k.__recno LIMIT 1 OFFSET ?5";
    }
    Stmt& q = statement(sql);
    if (order != 0) bindScope(q, order);
    q.bind(5, offset);
    stream_ = Stream{order, Dir::Forward, 0, &q, store_->readEpoch()};
    landed(stepStream(), Dir::Forward, true);
    stream_.reset();
}

void Cursor::setScope(std::size_t order, std::uint16_t which, std::string key) {
    index(order);
    Order& o = orders_[order];
    if (which == 1) {
        o.top = std::move(key);
    } else if (which == 2) {
        o.bottomEnd = prefixSuccessor(key);
        o.bottom = std::move(key);
    } else {
        fail(kErrInvalidArgument, "Invalid scope option " + std::to_string(which));
    }
    parkStream();
}

const std::optional<std::string>& Cursor::scope(std::size_t order, std::uint16_t which) const {
    index(order);
    if (which != 1 && which != 2) fail(kErrInvalidArgument, "Invalid scope option " + std::to_string(which));
    return which == 1 ? orders_[order].top : orders_[order].bottom;
}

void Cursor::clearScope(std::size_t order, std::uint16_t which) {
    index(order);
    if (which != 1 && which != 2) fail(kErrInvalidArgument, "Invalid scope option " + std::to_string(which));
    auto& s = which == 1 ? orders_[order].top : orders_[order].bottom;
    if (!s) fail(kErrNoScope, "No scope is set on index " + index(order).def.name + " of table " + name());
    s.reset();
    if (which == 2) orders_[order].bottomEnd.clear();
    parkStream();
}

void Cursor::clearAllScopes() {
    for (Order& o : orders_) {
        o.top.reset();
        o.bottom.reset();
        o.bottomEnd.clear();
    }
    parkStream();
}

void Cursor::initRawKey(std::size_t order) {
    index(order);
    for (auto& s : orders_[order].staged) s.reset();
}

void Cursor::stage(std::size_t order, std::size_t column, Value value) {
    const IndexInfo& ix = index(order);
    for (std::size_t s = 0; s < ix.segments.size(); ++s)
        if (ix.segments[s] == column) {
            orders_[order].staged[s] = store_->layout().normalize(column, value);
            return;
        }
    fail(kErrFieldNotFound, "Field " + store_->layout().columns()[column].def.name + " is not a segment of index " +
                                ix.def.name + " of table " + name());
}

std::string Cursor::buildRawKey(std::size_t order) const {
    const IndexInfo& ix = index(order);
    std::string key;
    for (std::size_t s = 0; s < ix.segments.size(); ++s) {
        const auto& v = orders_[order].staged[s];
        if (!v) break;
        appendKeySegment(key, store_->layout().columns()[ix.segments[s]].def.type, *v);
    }
    if (ix.def.descending) invertKey(key);
    return key;
}

std::string Cursor::textKey(std::size_t order, std::string_view text) const {
    const IndexInfo& ix = index(order);
    const ColumnDef& def = store_->layout().columns()[ix.segments.front()].def;
    std::string key;
    const Value v = valueFromText(def, text);
    appendKeySegment(key, def.type, v, /*partial=*/true);
    if (ix.def.descending) invertKey(key);
    return key;
}

Stmt* Cursor::storedBlob(std::size_t c) const {
    Stmt& q = statement(store_->blobSql(c));
    q.bind(1, recno_);
    return q.step() ? &q : nullptr;
}

bool Cursor::fieldIsEmpty(std::size_t c) const {
    const RecordLayout& layout = store_->layout();
    if (isBlobType(layout.columns()[c].def.type) && !edit_) {
        if (layout.isNull(image(), c)) return true;
        const auto lease = store_->reading();
        const Stmt* q = storedBlob(c);
        return !q || q->isNull(0) || q->blob(0).find_first_not_of(' ') == std::string_view::npos;
    }
    const Value v = fieldValue(c);
    if (v.isNull()) return true;
    return (v.kind == Value::Kind::Text || v.kind == Value::Kind::Memo || v.kind == Value::Kind::Binary) &&
           v.text.find_first_not_of(' ') == std::string::npos;
}

Value Cursor::fieldValue(std::size_t c) const {
    const std::string& img = image();
    const RecordLayout& layout = store_->layout();
    if (edit_ && isBlobType(layout.columns()[c].def.type)) {
        const auto it = edit_->blobs.find(c);
        if (it != edit_->blobs.end()) return it->second;
        if (edit_->append) return Value::null();
    }
    if (isBlobType(layout.columns()[c].def.type)) {
        if (layout.isNull(img, c)) return Value::null();
        const auto lease = store_->reading();
        const Stmt* q = storedBlob(c);
        return q ? store_->blobOf(*q, c) : Value::null();
    }
    return layout.decode(img, c);
}

}  // namespace lce
