// Byte-range locks on a table's lock file: opening it, taking and releasing
// ranges, and the record, table and open locks built on them.
#include "engine/src/record_locks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/src/error.h"
#include "engine/src/text.h"

namespace lce {

namespace {

int openLockFile(const std::string& path, bool create) {
    const int flags = O_CLOEXEC | (create ? O_CREAT : 0);
    int fd = ::open(path.c_str(), O_RDWR | flags, 0666);
    // A lock file this user may only read (or on a read-only disk) still
    // carries shared locks.
    if (fd < 0 && errno != ENOENT && !create) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

}  // namespace

std::unique_ptr<LockFile> LockFile::open(const std::string& tablePath, bool create) {
    const std::string path = tablePath + ".lck";
    int fd = openLockFile(path, false);
    if (fd < 0 && errno == ENOENT && create) fd = openLockFile(path, true);
    if (fd >= 0) return std::unique_ptr<LockFile>(new LockFile(fd, path));
    if (errno == ENOENT && !create) return nullptr;
    fail(kErrNoRights, "Cannot " + std::string(create ? "create or open" : "open") + " the lock file " + path +
                           " of table " + tablePath + " (" + std::strerror(errno) +
                           "); ask for the right to change files in the practice folder");
}

LockFile::~LockFile() { ::close(fd_); }

bool LockFile::tryLock(std::int64_t start, std::int64_t length, bool exclusive) {
    struct flock fl {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    if (errno == EBADF)
        fail(kErrNoRights, "The lock file " + path_ + " may only be read by this user; ask for the right to change it");
    fail(kErrWriteFailed, "Cannot lock " + path_ + " (" + std::strerror(errno) + ")");
}

void LockFile::unlock(std::int64_t start, std::int64_t length) {
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    ::fcntl(fd_, F_OFD_SETLK, &fl);  // releasing never conflicts
}

std::unique_ptr<OpenLock> OpenLock::take(const std::string& tablePath, bool exclusive) {
    std::unique_ptr<LockFile> file;
    try {
        file = LockFile::open(tablePath, exclusive);
    } catch (const Error&) {
        // A lock file that cannot even be read keeps no reader out: reading
        // goes on; writing, which needs it, says why it cannot.
        if (exclusive) throw;
    }
    if (!file) return nullptr;  // nobody has written or locked the table yet
    if (!file->tryLock(LockFile::kOpenByte, 1, exclusive))
        fail(kErrLocked, exclusive ? "Table " + tablePath +
                                         " is open in another program or connection; it cannot be opened "
                                         "exclusively until they close it"
                                   : "Table " + tablePath +
                                         " is open exclusively in another program or connection; try again when it "
                                         "has closed the table");
    return std::unique_ptr<OpenLock>(new OpenLock(std::move(file)));
}

RecordLocks::RecordLocks(std::unique_ptr<LockFile> file, std::string tableName)
    : file_(std::move(file)), table_(std::move(tableName)) {}

void RecordLocks::conflict(const std::string& what) const {
    fail(kErrLocked, what + " of table " + table_ +
                         " is locked by another user or connection; try again when they have finished with it");
}

void RecordLocks::lockRecord(std::int64_t recno, std::uint32_t owner) {
    if (records_.count(recno)) return;
    // The table lock covers every record already.
    if (!tableLocked() && !allHeld_ && !writeHolds_.count(recno) &&
        !file_->tryLock(LockFile::kRecordBase + recno, 1, true))
        conflict("Record " + std::to_string(recno));
    records_[recno] = owner;
}

void RecordLocks::unlockRecordByte(std::int64_t recno) {
    // Inside a held table lock, releasing one byte would open a hole in it.
    if (!tableLocked() && !allHeld_ && !writeHolds_.count(recno)) file_->unlock(LockFile::kRecordBase + recno, 1);
}

void RecordLocks::unlockRecord(std::int64_t recno) {
    if (records_.erase(recno)) unlockRecordByte(recno);
}

bool RecordLocks::recordLocked(std::int64_t recno) const { return tableLocked() || records_.count(recno) > 0; }

void RecordLocks::lockTable(std::uint32_t owner) {
    if (tableLocked()) return;
    if (!file_->tryLock(LockFile::kAppendByte, 1, true)) conflict("An append");
    if (!file_->tryLock(LockFile::kRecordBase, 0, true)) {
        if (!appendHeld_) file_->unlock(LockFile::kAppendByte, 1);
        conflict("A record");
    }
    tableOwner_ = owner;
}

// Releases the record bytes between the records still locked one way or
// another; those stay locked without a gap in which another could take them.
void RecordLocks::releaseRecordsExcept(const std::set<std::int64_t>& kept) {
    std::int64_t from = LockFile::kRecordBase;
    for (std::int64_t recno : kept) {
        const std::int64_t at = LockFile::kRecordBase + recno;
        if (at > from) file_->unlock(from, at - from);
        from = at + 1;
    }
    file_->unlock(from, 0);
}

void RecordLocks::unlockTable() {
    if (!tableLocked()) return;
    tableOwner_ = 0;
    if (!allHeld_) {
        std::set<std::int64_t> kept(writeHolds_);
        for (const auto& [recno, owner] : records_) kept.insert(recno);
        releaseRecordsExcept(kept);
    }
    if (appendHeld_)
        file_->tryLock(LockFile::kAppendByte, 1, false);  // back to the shared hold of the running append
    else
        file_->unlock(LockFile::kAppendByte, 1);
}

void RecordLocks::releaseOwner(std::uint32_t owner) {
    for (auto it = records_.begin(); it != records_.end();) {
        if (it->second != owner) {
            ++it;
            continue;
        }
        const std::int64_t recno = it->first;
        it = records_.erase(it);
        unlockRecordByte(recno);
    }
    if (tableOwner_ == owner) unlockTable();
}

void RecordLocks::holdRecordForWrite(std::int64_t recno) {
    if (tableLocked() || allHeld_ || records_.count(recno) || writeHolds_.count(recno)) return;
    if (!file_->tryLock(LockFile::kRecordBase + recno, 1, true)) conflict("Record " + std::to_string(recno));
    writeHolds_.insert(recno);
}

void RecordLocks::holdForAppend() {
    if (tableLocked() || appendHeld_) return;
    if (!file_->tryLock(LockFile::kAppendByte, 1, false))
        fail(kErrLocked, "Table " + table_ +
                             " is locked by another user or "
                             "connection; try again when they "
                             "have finished with it");
    appendHeld_ = true;
}

bool RecordLocks::tryHoldAllForWrite() {
    if (tableLocked() || allHeld_) return true;
    if (!file_->tryLock(LockFile::kRecordBase, 0, true)) return false;
    allHeld_ = true;
    return true;
}

void RecordLocks::releaseWriteHolds() {
    if (allHeld_) {
        allHeld_ = false;
        if (!tableLocked()) {
            std::set<std::int64_t> kept;
            for (const auto& [recno, owner] : records_) kept.insert(recno);
            releaseRecordsExcept(kept);
        }
    }
    const std::set<std::int64_t> holds = std::move(writeHolds_);
    writeHolds_.clear();
    for (std::int64_t recno : holds)
        if (!tableLocked() && !records_.count(recno)) file_->unlock(LockFile::kRecordBase + recno, 1);
    if (appendHeld_ && !tableLocked()) file_->unlock(LockFile::kAppendByte, 1);
    appendHeld_ = false;
}

}  // namespace lce
