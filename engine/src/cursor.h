// A table or SQL cursor: one position in a table store, moved in natural
// (record number) order or in the order of one of its indexes, with top and
// bottom scopes per index that restrict navigation, visibility and counting.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/src/filter.h"
#include "engine/src/handles.h"
#include "engine/src/read_ahead.h"
#include "engine/src/table_store.h"

namespace lce {

class Cursor;
class Connection;
class OpenLock;
class WritableTable;

// Whether navigation shows NTX, CDX and VFP records that carry the deletion
// flag: one setting for the process (LumShowDeleted), yes by default.
bool showDeletedRecords();
void setShowDeletedRecords(bool show);

// The handle of one index order of a cursor; order i of the cursor is
// index i - 1 of its table.
class IndexHandle : public Object {
public:
    IndexHandle(std::weak_ptr<Cursor> cursor, std::size_t order) : cursor_(std::move(cursor)), order_(order) {}
    HandleType handleType() const override { return HandleType::Index; }
    std::shared_ptr<Cursor> cursor() const;
    std::shared_ptr<Cursor> cursorIfOpen() const noexcept { return cursor_.lock(); }
    std::size_t order() const { return order_; }

private:
    std::weak_ptr<Cursor> cursor_;
    std::size_t order_;
};

class Cursor : public Object, public std::enable_shared_from_this<Cursor> {
public:
    struct Options {
        std::uint32_t openOptions = 0;  // as LumGetTableOpenOptions reports them
        std::string collation;
        bool sqlResult = false;
        bool checkRights = true;  // column permissions are enforced on writes
        std::weak_ptr<Connection> connection;
        // The connection's count of writers made (Connection::writerGenerationCounter).
        std::shared_ptr<const std::atomic<std::uint64_t>> writerGeneration;
    };
    // Bits of openOptions.
    static constexpr std::uint32_t kExclusive = 1, kReadOnly = 2, kMayUpdate = 0x20, kMayInsert = 0x40;
    Cursor(std::shared_ptr<TableStore> store, Options options);
    ~Cursor() override;
    HandleType handleType() const override { return options_.sqlResult ? HandleType::Cursor : HandleType::Table; }

    // Registers the index handles; call once after the cursor got its handle.
    void registerIndexes();
    void releaseHandles();

    const TableStore& store() const { return *store_; }
    const Options& options() const { return options_; }
    std::string name() const;  // for messages
    std::uint32_t indexHandle(std::size_t order) const { return orders_.at(order).handle; }
    std::size_t orderCount() const { return orders_.size(); }
    bool orderOpen(std::size_t order) const { return orders_.at(order).open; }
    void closeOrder(std::size_t order) { orders_.at(order).open = false; }
    const IndexInfo& index(std::size_t order) const;

    // Index files (index_file.h): opens the indexes defined in the file at
    // path as new orders, their keys built over the table's rows, and
    // registers their handles; returns the new orders. Fails
    // kErrIndexFileOpen when the file or one of its index names is open.
    std::vector<std::size_t> openIndexFile(const std::string& path, const std::vector<IndexDef>& indexes);
    bool indexFileOpen(const std::string& path) const;
    bool fromIndexFile(std::size_t order) const { return orders_.at(order).file != nullptr; }
    // Closes every order of the index file that `order` came from.
    void closeIndexFile(std::size_t order);
    // The file the order's index lives in: its index file or the table file.
    const std::string& indexFilePath(std::size_t order) const;

    // Navigation; order 0 is the natural order.
    void gotoTop(std::size_t order);
    void gotoBottom(std::size_t order);
    void gotoBOF();
    void gotoEOF();
    void skip(std::size_t order, std::int64_t count);
    void gotoRecord(std::int64_t recno);  // fails with kErrRecordNotFound when there is none
    bool atBOF() const { return bof_; }
    bool atEOF() const { return eof_; }
    bool hasRecord() const { return onRecord_; }
    void requireRecord() const;  // fails kErrNoCurrentRecord when there is no current record
    std::int64_t recno() const { return recno_; }
    // The current record's image; fails kErrNoCurrentRecord when there is none. Navigation
    // only notes where the stored image is: it is unpacked when first asked for.
    const std::string& image() const;
    // Writes the current record's image (layout().recordSize() bytes) to dst,
    // unpacked once and kept for the field reads that follow.
    void copyImage(char* dst) const;
    void refresh();

    bool isVisible(std::size_t order);
    std::int64_t count(std::size_t order, std::uint16_t mode);
    std::int64_t keyNumber(std::size_t order, std::uint16_t mode);
    void gotoKeyPosition(std::size_t order, double fraction);
    // Goes to the first record of the order whose key is not below `key`
    // (raw key bytes, possibly of fewer segments) within the scopes; true when
    // that record's key begins with `key`. Without such a record, and with
    // `hard` when the record found does not match, the cursor goes after the
    // last record (seek.cpp).
    bool seek(std::size_t order, const std::string& key, bool hard);

    // Scopes (raw key bytes as LumBuildRawKey gives them).
    void setScope(std::size_t order, std::uint16_t which, std::string key);
    const std::optional<std::string>& scope(std::size_t order, std::uint16_t which) const;
    void clearScope(std::size_t order, std::uint16_t which);
    void clearAllScopes();

    // Key staging on an index order.
    void initRawKey(std::size_t order);
    void stage(std::size_t order, std::size_t column, Value value);
    std::string buildRawKey(std::size_t order) const;
    std::string textKey(std::size_t order, std::string_view text) const;

    // Whether column c of the current record is empty: null, or text and
    // bytes of blanks only. A memo or binary value is looked at where it is
    // stored, without a copy.
    bool fieldIsEmpty(std::size_t c) const;
    Value fieldValue(std::size_t column) const;  // current record

    // Filters and expressions (filter.cpp): navigation passes over records
    // that do not meet the plain and the optimised filter, count mode 1
    // counts those that do. Setting one fails kErrExpression or
    // kErrFieldNotFound and keeps what was set; clearing one that is not set
    // fails kErrNoFilter. Exact matching (on by default) makes "=" on text
    // compare whole values instead of prefixes.
    void setFilter(bool optimized, const std::string& text);
    void clearFilter(bool optimized);
    void setExact(bool exact);
    // Whether the current record meets the expression.
    bool evaluate(const std::string& text);
    // The expression in the short or the long form, its fields checked.
    std::string convertExpression(const std::string& text, bool toShort) const;

    // Record editing (cursor_edit.cpp): changes wait in the pending image
    // until writeRecord; moving the cursor writes them first.
    void appendRecord();
    void setFieldValue(std::size_t column, const Value& value);
    // An empty value for the column's type (blanks, 0, false), null where the
    // type has none.
    void setFieldEmpty(std::size_t column);
    void markDeleted(bool deleted);
    void writeRecord();
    void cancelUpdate();
    bool editing() const { return edit_.has_value(); }
    // The auto-increment value of the record this handle appended last (0: none).
    std::int64_t lastAutoIncrement() const { return lastAutoIncrement_; }
    bool isDeleted() const;
    // Locks (the table's lock file, shared by the connection's handles).
    void lockRecord(std::int64_t recno);
    void unlockRecord(std::int64_t recno);  // 0: every record lock of this handle
    bool recordLocked(std::int64_t recno);
    void lockTable();
    void unlockTable();
    bool tableLocked();
    void setOpenLock(std::unique_ptr<OpenLock> lock);
    // Reads through the connection's writer of the table once there is one
    // (see cursor_edit.cpp); navigation calls it, and opening.
    void followWriter();
    // Writes pending changes and releases the handle's locks (closing).
    void close();

private:
    // The pending changes of the current record or of a new one.
    struct Edit {
        bool append = false;
        std::optional<bool> deleted;  // LumDeleteRecord / LumRecallRecord
        std::string image;
        std::map<std::size_t, Value> blobs;  // changed memo and blob columns
        // Where the cursor stood before an append (restored by cancelling).
        std::int64_t previous = 0;
        bool previousOnRecord = false, previousBof = true, previousEof = false;
    };
    WritableTable& writer();
    void switchStore(std::shared_ptr<TableStore> store);
    void beforeMove();
    void syncWrites() const;
    Row pendingRow() const;
    void landOnWritten(std::int64_t recno);
    bool hiddenAsDeleted(std::string_view packed) const;

    // The keys of an index file's orders: a temporary table shared by them
    // on the connection the cursor reads through, where the table's writer
    // keeps them in step with the records. Built again when the cursor moves
    // to the writer's connection or a rollback took the table away; empty
    // until built.
    struct IndexFileKeys {
        std::string path;
        std::string keyTable;
        std::vector<IndexInfo> indexes;
    };
    struct Order {
        std::uint32_t handle = 0;
        bool open = true;
        // Set for an order of an index file, with the order's description.
        std::shared_ptr<IndexFileKeys> file;
        std::shared_ptr<const IndexInfo> info;
        std::optional<std::string> top, bottom;
        // Where the bottom scope ends: the least key above every key that
        // begins with `bottom` (empty: no end).
        std::string bottomEnd;
        std::vector<std::optional<Value>> staged;  // per segment
        // The statements of startStream over the table's own keys, by
        // streamVariant: built once, as a master-detail link starts one per row.
        std::array<std::string, 8> streamSql;
        // Their statements in statements_, found without a look-up by text;
        // forgotten whenever statements_ loses entries.
        std::array<Stmt*, 8> streamStmt{};
    };
    enum class Dir { Forward, Backward };
    struct Stream {
        std::size_t order = 0;
        Dir dir = Dir::Forward;
        std::int64_t last = 0;
        Stmt* stmt = nullptr;
        std::uint64_t epoch = 0;  // the table's read in which the statement runs
        bool pending = false;     // the statement stands on a row not yet taken
        bool ended = false;       // the statement has no rows left
        bool parkable = false;    // a forward index stream not bounded in SQL
    };
    // A forward index stream left when its scope changed, standing on the
    // record the cursor read last (whose key is `key`). A master-detail link
    // sets ascending scopes row after row: the next scope usually begins a
    // few keys further on, and stepping there is cheaper than a new search.
    struct Parked {
        std::size_t order = 0;
        Stmt* stmt = nullptr;
        std::uint64_t generation = 0;
        std::uint64_t epoch = 0;
        std::string key;
    };
    // Steps a parked stream takes towards a new scope before a new search is
    // cheaper.
    static constexpr int kResumeSteps = 32;

    // The row of one of the cursor's statements that holds the current
    // record (image in column 1, key of keyOrder_ in keyColumn): valid while
    // that statement has not moved and the table's read has not ended.
    struct Source {
        Stmt* stmt = nullptr;
        std::uint64_t generation = 0;
        std::uint64_t epoch = 0;
        int keyColumn = -1;
    };

    Stmt& statement(const std::string& sql) const;
    // The table holding the order's keys; an index file's are built first
    // where they are not there.
    const std::string& keyTable(std::size_t order);
    // Drops the keys of every index file on the store read through.
    void dropIndexFileKeys() noexcept;
    // Forgets the statements that read `table` and where the cursor came from.
    void dropStatementsOn(const std::string& table);
    void noteSource(Stmt& stmt, int keyColumn);
    // The current record comes from no statement: its image, key and the
    // keys of a removed record are read again when asked for.
    void forgetSource();
    bool sourceValid() const;
    // The stored image of the current record; needs a read lease.
    std::string_view packedImage() const;
    // The current record's row of the statement kept for reading memo or
    // blob column c (TableStore::blobSql), null when it has none; needs a
    // read lease.
    Stmt* storedBlob(std::size_t c) const;
    [[noreturn]] void damaged() const;
    bool stepStream();
    // A forward index stream long enough reads on ahead on another thread
    // (read_ahead.h), from the row it stands on.
    void readAheadIfLong(Stmt& stream);
    void startStream(std::size_t order, Dir dir, bool fromCurrent);
    // Ends the running stream, parking it when the cursor stands on the
    // record it read last in a forward index order.
    void parkStream();
    // Goes on with the parked stream of `order` to the first key not below
    // the order's top scope; false when a new search is needed.
    bool resumeParked(std::size_t order);
    // Whether the order's statements bound the bottom scope in SQL (backward
    // streams: forward streams stop at it themselves, so they can be parked).
    bool boundedInSql(std::size_t order, bool forward) const;
    const std::string& streamSql(std::size_t order, bool forward, bool fromCurrent);
    // The statement of streamSql, reset.
    Stmt& streamStatement(std::size_t order, bool forward, bool fromCurrent);
    void forgetStreamStatements();
    void landed(bool found, Dir dir, bool fromEnd);
    // Record order over a result its store still holds in memory
    // (TableStore::memoryRows), with no filter and nothing being edited: the
    // cursor moves by number without SQL.
    bool inMemory(std::size_t order) const;
    // Lands on record `recno` of the memory rows, or past the end in `dir`
    // when there is none; true when it landed on a record.
    bool stepInMemory(std::int64_t recno, Dir dir, bool fromEnd);
    std::optional<std::string> currentKey(std::size_t order);
    // The same without a copy, valid until the cursor moves or looks up another key.
    const std::optional<std::string>& currentKeyRef(std::size_t order);
    std::string scopeClause(std::size_t order, const std::string& keyColumn) const;
    void bindScope(Stmt& stmt, std::size_t order) const;
    bool inScope(std::size_t order, const std::optional<std::string>& key) const;
    // Filters (filter.cpp).
    expr::ColumnLookup columnLookup() const;
    Stmt& conditionStatement(const std::string& sql) const;
    bool filteredOut(std::int64_t recno) const;
    std::int64_t filteredCount(std::size_t order);
    std::int64_t filteredKeyNumber(std::size_t order);
    void replaceFilters(Filters next);

    std::shared_ptr<TableStore> store_;
    Options options_;
    std::vector<Order> orders_;
    mutable std::map<std::string, Stmt> statements_;
    std::optional<Stream> stream_;
    std::optional<Parked> parked_;
    bool bof_ = true, eof_ = false, onRecord_ = false;
    std::int64_t recno_ = 0;
    Source source_;
    mutable bool imageReady_ = false;
    mutable std::string image_;
    std::optional<std::string> key_;          // key of the current record in keyOrder_ once read
    std::optional<std::string> lookedUpKey_;  // a key of another order, read by currentKeyRef
    std::size_t keyOrder_ = 0;
    mutable std::map<std::string, std::int64_t> counts_;
    std::optional<Edit> edit_;
    std::shared_ptr<WritableTable> writer_;
    std::unique_ptr<OpenLock> openLock_;
    mutable std::uint64_t seenWrites_ = 0;
    std::uint64_t seenWriterGeneration_ = 0;
    std::int64_t lastAutoIncrement_ = 0;
    // Keys of a record this cursor removed, per order, so a skip goes on from
    // where it stood.
    std::vector<std::optional<std::string>> removedKeys_;
    Filters filters_;
    std::string lastEvaluation_;  // the statement of the expression evaluated last
    ReadAheadRule readAhead_ = readAheadRule();
    std::chrono::steady_clock::time_point streamStartedAt_;  // when the running stream started
};

}  // namespace lce
