// The one writer of a table file on a connection. Every write to the table
// through the connection - record editing on any of its table handles and
// SQL INSERT, UPDATE and DELETE - goes through its WritableTable, which
// keeps the three tables of the file (see table_store.h) in step: a record's
// field columns, its packed image and its index keys change together inside
// one SQLite transaction, or not at all.
//
// A write runs in a Scope: outside a transaction of the connection it is a
// transaction of its own (BEGIN IMMEDIATE ... COMMIT); inside one, the file
// joins the connection's transaction at its first write (see transactions.h).
// There an SQL statement is a savepoint, undone whole when it fails. A record
// write checks what can refuse it (its record's lock, unique keys, values
// that do not fit) before it writes anything, so it needs no savepoint, whose
// copies of the pages it changes would cost more than the write; should it
// fail after all once writing began (a full disk), the whole transaction of
// the connection is rolled back rather than leave part of a record.
//
// SQL statements change the field columns alone; TEMP triggers note the
// record numbers they touch, and refresh() then derives images and keys from
// the columns before the statement's transaction ends.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/src/record_locks.h"
#include "engine/src/table_store.h"

namespace lce {

class Transactions;

class WritableTable : public std::enable_shared_from_this<WritableTable> {
public:
    WritableTable(std::shared_ptr<TableStore> store, RecordLocks locks);
    ~WritableTable();
    WritableTable(const WritableTable&) = delete;
    WritableTable& operator=(const WritableTable&) = delete;

    const std::shared_ptr<TableStore>& store() const { return store_; }
    RecordLocks& locks() { return locks_; }
    const std::string& path() const { return store_->path(); }

    // One write: commit() ends it; a scope left without commit() undoes it.
    class Scope {
    public:
        enum class Kind { Record, Statement };
        Scope(WritableTable& table, Transactions& transactions, Kind kind);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        void commit();

    private:
        std::unique_lock<std::recursive_mutex> use_;
        WritableTable& table_;
        Transactions& transactions_;
        bool inTransaction_;
        bool savepoint_ = false;
        bool open_ = true;
    };

    // The writes (inside a Scope). Values come one per column; insert gives
    // the new record's number.
    std::int64_t insert(const Row& values);
    // deleted: the NTX, CDX or VFP record carries the deletion flag.
    void update(std::int64_t recno, const Row& values, bool deleted);
    void erase(std::int64_t recno);
    // Derives images and keys of the records a statement changed from their
    // field columns (records gone lose theirs).
    void refresh(const std::vector<std::int64_t>& recnos);
    // The value of the record's (first) auto-increment column; 0 when the
    // table has none.
    std::int64_t autoIncrementOf(std::int64_t recno);

    // What SQL statements that change the table add to its connection: the
    // practice's functions (once) and the files of other tables they read,
    // attached read-only under schema names that stay while a transaction
    // holds them (SQLite cannot detach a file a transaction has read).
    bool sqlReady() const { return sqlReady_; }
    void setSqlReady() { sqlReady_ = true; }
    std::string attachedSchema(const std::string& uri) const;
    std::string noteAttached(const std::string& uri);

    // The connection's transaction (transactions.h).
    bool joined() const { return joined_; }
    void join(std::size_t savepoints);
    void savepoint(std::size_t index);
    void rollbackTo(std::size_t index);
    void commitTransaction();
    void rollbackTransaction() noexcept;

private:
    void prepare();
    Row normalized(const Row& values);
    void writeColumns(Stmt& stmt, const Row& row, std::int64_t recno);
    void writeImageAndKeys(std::int64_t recno, const Row& row, bool deleted);
    bool markedDeleted(std::int64_t recno);
    std::optional<std::string> conditionalKey(std::size_t index, std::int64_t recno, const Row& row);
    [[noreturn]] void duplicate(std::int64_t recno, const Row& row, const Error& cause);
    // Refuses a row whose key a unique index holds for another record,
    // before anything is written (indexes with a condition are checked by
    // their SQLite index when the keys are written).
    void checkUnique(std::int64_t recno, const Row& row);
    [[noreturn]] void failDuplicate(std::size_t index, std::int64_t other, const Row& row);
    Row rowFromColumns(std::int64_t recno, Stmt& stmt);
    void saveAutoIncrement();
    // Runs a statement without parameters, prepared at its first use.
    void run(Stmt& stmt, const char* sql);

    std::shared_ptr<TableStore> store_;
    RecordLocks locks_;
    void detachAll() noexcept;
    bool joined_ = false;
    bool sqlReady_ = false;
    std::map<std::string, std::string> attached_;  // uri -> schema
    bool prepared_ = false;
    Stmt insertRow_, updateRow_, deleteRow_, upsertImage_, deleteImage_, upsertKeys_, deleteKeys_, readRow_;
    std::vector<Stmt> conditions_;
    Stmt saveAutoInc_, savepoint_, release_, readAutoInc_;
    std::vector<Stmt> uniqueProbes_;  // per index; empty for the others
    bool conditionalUnique_ = false;
    bool written_ = false;  // the current scope has changed the file
};

}  // namespace lce
