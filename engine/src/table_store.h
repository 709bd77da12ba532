// A table file (NAME.LDT): an SQLite database holding the catalog (columns,
// indexes, table type, character type, collation) and three tables keyed by
// the record number (__recno). "records" has one SQL-visible column per
// field, named as the field, for the SQL engine. "lce_images" holds the
// packed record images (__rec, see image_codec.h) on their own, so the
// engine's navigation reads a few hundred bytes a record and never the
// field columns. The order-preserving keys of the indexes live in the narrow
// table "lce_keys" (__recno, __k1, __k2, ...), each with an SQLite index, so
// an index is built by scanning a few hundred bytes a row.
// Writing. Every write goes through the one writer of the file on its
// connection (WritableTable, table_writer.h), which changes a record's rows
// of the three tables together in one SQLite transaction: the field columns
// first, then the packed image and the keys derived from the same normalized
// values (a key of a conditional index is null where the record does not
// meet the condition). SQL INSERT, UPDATE and DELETE change "records" on the
// writer's connection; TEMP triggers note the record numbers they touch and
// the writer derives images and keys for those before the statement's
// transaction ends, so the three tables agree after every statement. A
// unique index refuses a duplicate key through its SQLite UNIQUE index; the
// writer names the index and rolls the write back whole. The last
// auto-increment number given is kept in lce_meta ("next_autoinc") so the
// number of a removed record is not given again. Locks between processes
// are byte-range locks on the lock file beside the table (record_locks.h).
// A store opened for writing (openForWriting) reads in read transactions
// like a read-only one between writes; a write transaction replaces the
// read transaction while it lasts (beginWriting .. endWriting).
// Opening for reading uses SQLite's read-only mode: the file is never
// created or changed, nor any file beside it (see Db's read-only mode); its
// SHARED lock is held only while calls use the table (see read_reaper.h),
// never against other readers. A writer's lock is waited for up to the
// store's lock wait (the connection's SQL time-out, else 10 s), then named.
// What a reader sees while another program writes: a read transaction
// lasts while calls use the table, at most kReadMaxHold, and every call of
// one read sees the rows committed when it began; a later call may begin a
// new read and see rows committed meanwhile (a record found by an index may
// since have changed or gone). Each of the three tables' rows of a record
// are written in one transaction, so a read never sees part of a record.
// Opening checks the catalog against the columns and counts records and
// key rows; stored images are checked where they are read.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/lce_builder.h"
#include "engine/src/layout.h"
#include "engine/src/memory_images.h"
#include "engine/src/sqlite_db.h"

namespace lce {

struct IndexInfo {
    IndexDef def;
    std::vector<std::size_t> segments;  // column positions of the segments
    std::string keyColumn;              // "__k1", ...
    std::uint32_t keyLength = 0;        // greatest key length in bytes
};

// Binds a value to a statement parameter the way a field column of
// "records" holds it: dates as Julian days, timestamps as milliseconds from
// Julian day 0, money in ten-thousandths, logicals as 0 or 1.
void bindValue(Stmt& stmt, int i, const Value& v);

class TableStore : public std::enable_shared_from_this<TableStore> {
public:
    // Held by every call that reads a table opened read-only: keeps its read
    // transaction open and other threads (the reaper) off its connection.
    class ReadLease {
    public:
        explicit ReadLease(const TableStore* store) : store_(store) {}
        ReadLease(ReadLease&& other) noexcept : store_(other.store_) { other.store_ = nullptr; }
        ReadLease(const ReadLease&) = delete;
        ReadLease& operator=(const ReadLease&) = delete;
        ReadLease& operator=(ReadLease&&) = delete;
        ~ReadLease();

    private:
        const TableStore* store_;
    };

    static std::shared_ptr<TableStore> create(const std::string& path, TableSchema schema);
    // A table in memory (an SQL result). Without memo or blob columns it
    // keeps the packed images alone: nothing reads its field columns.
    static std::shared_ptr<TableStore> createInMemory(TableSchema schema);
    // What opening checks: the catalog against the columns of the records
    // (all the SQL engine reads), or that and the count of index key rows
    // against the records (for navigation, which reads the keys).
    enum class Checks { Catalog, Full };
    // Waits up to lockWait for another program's lock on the file.
    static std::shared_ptr<TableStore> open(const std::string& path, bool writable,
                                            std::chrono::milliseconds lockWait = defaultLockWait(),
                                            Checks checks = Checks::Full);
    // Opens a table for the engine's writer (see table_writer.h): writable,
    // and reading in read transactions like a read-only table between writes.
    static std::shared_ptr<TableStore> openForWriting(const std::string& path, std::chrono::milliseconds lockWait);

    const TableSchema& schema() const { return schema_; }
    const RecordLayout& layout() const { return layout_; }
    const std::vector<IndexInfo>& indexes() const { return indexes_; }
    // The SQLite connection; a result still held in memory is written into
    // it first (see spill), as whatever asks means to read the table in SQL.
    const Db& db() const {
        spill();
        return db_;
    }
    const std::string& path() const { return path_; }
    bool writable() const { return writable_; }
    // Column index by name ignoring case, -1 when there is none.
    int column(std::string_view name) const { return layout_.find(name); }

    // Appends a row (one value per column). Returns the record number.
    std::int64_t append(const Row& row);
    // Fills a new in-memory result with `count` rows; `next` puts row i's
    // values into the row it is given. A result without memo or blob columns
    // is kept as record images in memory (see memoryRows), anything else goes
    // into SQL in one transaction.
    void fill(std::size_t count, const std::function<void(std::size_t, Row&)>& next);
    // A result read in record order only (as a search reads its query) is
    // never written into SQL: its cursors move over the images held here,
    // numbered from 1. Whatever needs SQL (a filter, an index, a count by
    // key, a write) writes them into lce_images first, through reading() or
    // db(), and the store goes on as any other. 0 once written, or when the
    // result was never held in memory.
    std::int64_t memoryRows() const { return static_cast<std::int64_t>(memory_.size()); }
    // The image of record `recno` (1 .. memoryRows()) into image; false
    // when what is held of it does not unpack to a record.
    bool memoryRecord(std::int64_t recno, std::string& image) const;
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return inTransaction_; }

    // A transaction filling a table this process created, empty at its
    // start: the indexes are built at commit, so no append meets a key.
    // Its appends may run on two threads (see bulk_append.h).
    bool bulkLoading() const { return bulk_ && rebuildIndexesAtCommit_; }
    // A record ready to be written: its normalized values, its image and its
    // keys (one after the other, each index's ending at keyEnds[i]).
    struct PreparedRecord {
        std::int64_t recno = 0;
        Row row;
        std::string image, keys;
        std::vector<std::size_t> keyEnds;
    };
    // Readies a bulk load's appends; returns the last record number given.
    std::int64_t beginBulkAppend();
    // The two halves of a bulk load's append: all but SQLite, then the
    // record's rows. Only the first touches the store's own state, only the
    // second its connection.
    void prepareRecord(const Row& input, std::int64_t recno, PreparedRecord& out);
    // The image is packed here, on the writer's side: packed is its buffer.
    void writeRecord(const PreparedRecord& record, std::string& packed);

    // Key of a row of normalized values for index i (before inversion of a
    // descending index: the returned key is final).
    std::string keyFor(std::size_t i, const Row& normalized) const;
    // The value of a memo or blob column of a record.
    Value blobValue(std::int64_t recno, std::size_t c) const;
    // The statement that reads it (the record number as ?1), and the value
    // from a row of that statement.
    std::string blobSql(std::size_t c) const;
    Value blobOf(const Stmt& read, std::size_t c) const;
    Row decodeRow(std::int64_t recno, std::string_view image) const;
    std::int64_t rowCount() const;
    // Unpacks a stored record image; a damaged one fails naming the record.
    void unpack(std::int64_t recno, std::string_view packed, std::string& image) const;
    // Once per store, before the first scan in record-number order: every
    // record has its stored image (a scan of the images would pass a missing
    // one without a word). Fails kErrDamaged.
    void checkImages() const;
    // A record an index or the records name whose image is missing (kErrDamaged).
    [[noreturn]] void missingImage(std::int64_t recno) const;
    // Whether the records table holds the record (a missing image is then
    // damage, not a record deleted meanwhile).
    bool hasRecord(std::int64_t recno) const;
    // An SQL result kept as images alone gets its field columns from them
    // the first time a condition (a filter, an expression) asks for them.
    void fillColumnsFromImages();

    // Begins (or continues) the read transaction of a read-only table.
    ReadLease reading() const;
    // Counts the read transactions ended so far: a statement stepped before
    // the current count was reset when its read ended.
    std::uint64_t readEpoch() const { return readEpoch_; }
    // Ends the read transaction when it is idle or held too long; true when
    // none is held any more (the reaper stops watching). Never blocks.
    bool endReadIfIdle(std::chrono::steady_clock::time_point now) const;
    // The writer's side (table_writer.h): a write transaction replaces the
    // read transaction while it lasts; every write resets the running reads
    // (readEpoch) and counts in writeEpoch, so cursors read again what they
    // had kept of the table.
    // Keeps other threads (readers, the reaper) off the SQLite connection
    // while a write uses it; the same thread may read meanwhile.
    std::unique_lock<std::recursive_mutex> exclusiveUse() const { return std::unique_lock(readMutex_); }
    void beginWriting();
    void endWriting();
    bool writing() const { return writing_; }
    void noteWrite();
    std::uint64_t writeEpoch() const { return writeEpoch_; }
    // Whether a stream of this table may be read ahead (read_ahead.h): a
    // table file read in a read transaction the calling thread holds (under
    // reading()), not being written.
    bool canReadAhead() const { return leased_ && readHeld_ && !writing_ && memory_.empty(); }
    // The read-aheads of this table's streams, cancelled when its read ends.
    void addReadAhead(ReadAhead* ahead) const;
    void removeReadAhead(ReadAhead* ahead) const noexcept;
    ~TableStore();

    // The index of a definition over this table's fields, its keys in
    // keyColumn; fails kErrFieldNotFound for a field the table lacks.
    IndexInfo describeIndex(const IndexDef& def, std::string keyColumn) const;
    // Builds the keys of indexes defined outside the table file (index
    // files) over the current rows, into a temporary in-memory table of this
    // connection with a column per index (keyColumn) and __recno; returns the
    // table's name. Nothing is written to any file.
    std::string buildTemporaryKeys(const std::vector<IndexInfo>& indexes);
    // Drops such a table; the statements that read it must be finalized first.
    void dropTemporaryKeys(const std::string& table);
    // The writer keeps those keys in step with the records, in the same
    // transaction as the record's own keys (the temporary tables belong to
    // this connection, so a rollback undoes both): a record written (its
    // normalized values, the field columns written already) or removed.
    void writeTemporaryKeys(std::int64_t recno, const Row& row);
    void eraseTemporaryKeys(std::int64_t recno);
    // Whether such a table is there still. A rollback of the transaction it
    // was built in takes it away; the writer then calls
    // forgetLostTemporaryKeys, and the cursor builds the keys again.
    bool hasTemporaryKeys(const std::string& table) const;
    void forgetLostTemporaryKeys() noexcept;

    // SQL declaration of a field column; the declared type carries the engine
    // type as "LCE_type_length_decimals" so SQL results can recover it.
    static std::string declaredType(const ColumnDef& def);

private:
    friend class WritableTable;
    TableStore() = default;
    void initialize(TableSchema schema);
    void loadCatalog();
    void checkStructures(Checks checks) const;
    std::int64_t count(const char* table) const;
    std::int64_t pragmaInteger(const std::string& name, const std::string& notOurs) const;
    void prepareIndexes();
    void createSqlIndexes();
    void buildIndexes();  // at the commit of a load into an empty table
    void dropSqlIndexes();
    std::string sqlIndexes(bool create) const;
    void endRead() const;
    void resetRunningStatements() const;
    void bulkPragmas(bool on);
    // The steps of append.
    Row normalizedRow(const Row& input);
    void normalizeInto(const Row& input, Row& row);
    void autoIncrement(const ColumnDef& def, Value& value);
    std::int64_t firstAutoIncrement(const ColumnDef& def) const;
    std::string recordImage(const Row& row) const;
    void recordImageInto(const Row& row, std::string& image) const;
    // The input normalized into appendRow_ and its image, as it is and packed.
    const std::string& plainRecord(const Row& input);
    std::string packRecord(const Row& input);
    void prepareAppend();
    std::int64_t insertRecord(const Row& row, const std::string& packed);
    void appendKeys(const Row& row, std::string& keys, std::vector<std::size_t>& ends) const;
    // recno 0: the records table numbers the record.
    std::int64_t writeRows(std::int64_t recno, const Row& row, std::string_view packed, std::string_view keys,
                           const std::vector<std::size_t>& keyEnds);
    void applyIndexConditions(std::int64_t recno);

    Db db_;
    std::string path_;
    bool writable_ = false;
    TableSchema schema_;
    RecordLayout layout_;
    std::vector<IndexInfo> indexes_;
    Stmt insert_, insertImage_;
    std::vector<Stmt> conditionUpdates_;
    std::optional<std::int64_t> nextAutoInc_;
    bool inTransaction_ = false;
    Stmt insertKeys_;
    // Buffers of append, kept from one record to the next.
    Row appendRow_;
    std::string appendImage_, appendKeys_;
    std::vector<std::size_t> keyEnds_;
    std::vector<bool> boundNull_;  // insert_'s parameters holding a null now
    bool rebuildIndexesAtCommit_ = false;
    bool createdHere_ = false;  // made by this process: bulk loading may skip syncs
    bool bulk_ = false;
    mutable bool imagesChecked_ = false;
    // Only "lce_images" is filled (see createInMemory); lastRecno_ numbers its rows.
    bool imagesOnly_ = false;
    // A result's images while they are held in memory; written into
    // lce_images by spill() when SQL needs them. Images of a few dozen bytes
    // are held as they are: packing saves next to nothing on them and costs
    // a packing and an unpacking a row.
    mutable MemoryImages memory_;
    static constexpr std::uint32_t kPlainMemoryImage = 64;
    bool memoryPacked_ = true;
    // Every read of the store passes here: only a result held in memory
    // costs more than the check.
    void spill() const {
        if (!memory_.empty()) spillMemory();
    }
    void spillMemory() const;
    void insertImages(std::size_t count, const std::function<std::string_view(std::size_t)>& image);
    std::int64_t lastRecno_ = 0;
    std::uint64_t temporaryKeyTables_ = 0;  // names the tables of buildTemporaryKeys
    // The tables of buildTemporaryKeys with the statements that keep them.
    struct TemporaryKeys {
        std::string table;  // "temp.lce_x<n>_keys"
        std::vector<IndexInfo> indexes;
        Stmt upsert, erase;
        std::vector<Stmt> conditions;  // per index: whether a record meets its condition
    };
    std::vector<TemporaryKeys> temporaryKeys_;
    std::string keyOf(const IndexInfo& ix, const Row& row) const;
    void appendKey(std::string& out, const IndexInfo& ix, const Row& row) const;
    void keepTemporaryKeys(const std::string& table, const std::vector<IndexInfo>& indexes);

    // Read transaction of a read-only table (guarded by readMutex_).
    bool leased_ = false;
    mutable std::recursive_mutex readMutex_;
    mutable int readDepth_ = 0;
    mutable bool readHeld_ = false;
    mutable bool readWatched_ = false;
    mutable std::uint64_t readEpoch_ = 0;
    bool writing_ = false;
    std::uint64_t writeEpoch_ = 0;
    mutable std::chrono::steady_clock::time_point readSince_, readLastUse_;
    mutable std::mutex readAheadsMutex_;
    mutable std::vector<ReadAhead*> readAheads_;
};

}  // namespace lce
