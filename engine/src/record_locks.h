// Locks of a table that hold across processes: open-file-description byte
// range locks (fcntl F_OFD_SETLK) on the table's lock file NAME.LDT.lck. The
// kernel drops them when the file description closes, so a process that ends
// (however it ends) releases every lock it held, and two descriptions in one
// process conflict like two processes do.
//
// Bytes of the lock file (nothing is ever written into it):
//   0          the open byte: each table handle that is not read-only holds a
//              shared lock on it while it is open (when the file exists), an
//              exclusive open holds it exclusively;
//   1          the append byte: an append holds it shared while it runs, the
//              table lock exclusively;
//   16 + n     record n: exclusive while the record is locked;
//   16 ..      the table lock: exclusive over every record byte at once.
// The lock file is created by the first write, lock or exclusive open of
// the table and is never removed (removing it while another process holds it
// open would let a third process lock a new file instead of the held one).
// Opening and reading never create it; a read-only handle only takes its
// shared open byte when the file exists.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace lce {

class LockFile {
public:
    // The lock file of a table file. With create, makes it when missing
    // (kErrNoRights when the folder does not allow it); without, returns
    // null when there is none.
    static std::unique_ptr<LockFile> open(const std::string& tablePath, bool create);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Length 0: to the end of every possible offset. False when another
    // description holds a conflicting lock.
    bool tryLock(std::int64_t start, std::int64_t length, bool exclusive);
    void unlock(std::int64_t start, std::int64_t length);
    const std::string& path() const { return path_; }

    static constexpr std::int64_t kOpenByte = 0;
    static constexpr std::int64_t kAppendByte = 1;
    static constexpr std::int64_t kRecordBase = 16;

private:
    LockFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
};

// The open byte of one table handle: shared for an ordinary open, exclusive
// for an exclusive one. Fails kErrLocked naming the table when another
// handle's open conflicts.
class OpenLock {
public:
    static std::unique_ptr<OpenLock> take(const std::string& tablePath, bool exclusive);

private:
    explicit OpenLock(std::unique_ptr<LockFile> file) : file_(std::move(file)) {}
    std::unique_ptr<LockFile> file_;
};

// The record and table locks a connection holds on one table, with the
// handle that took each explicit one, and the locks writes take for
// themselves until their transaction ends.
class RecordLocks {
public:
    RecordLocks(std::unique_ptr<LockFile> file, std::string tableName);

    void lockRecord(std::int64_t recno, std::uint32_t owner);
    void unlockRecord(std::int64_t recno);
    bool recordLocked(std::int64_t recno) const;
    void lockTable(std::uint32_t owner);
    void unlockTable();
    bool tableLocked() const { return tableOwner_ != 0; }
    // Releases every explicit lock the handle took.
    void releaseOwner(std::uint32_t owner);

    // The locks a write takes for itself: the record's (kErrLocked when
    // another connection holds it or the table) and the append byte.
    void holdRecordForWrite(std::int64_t recno);
    void holdForAppend();
    // Tries to hold every record at once (a statement that changes many);
    // false when another holds one of them, which is then asked one by one.
    bool tryHoldAllForWrite();
    // Ends the locks writes took for themselves (their transaction ended).
    void releaseWriteHolds();

private:
    [[noreturn]] void conflict(const std::string& what) const;
    void unlockRecordByte(std::int64_t recno);
    // Releases the record bytes except those of records still locked.
    void releaseRecordsExcept(const std::set<std::int64_t>& kept);

    std::unique_ptr<LockFile> file_;
    std::string table_;
    std::map<std::int64_t, std::uint32_t> records_;  // explicit record locks and their handle
    std::uint32_t tableOwner_ = 0;
    std::set<std::int64_t> writeHolds_;
    bool appendHeld_ = false;
    bool allHeld_ = false;  // every record byte, for a write
};

}  // namespace lce
