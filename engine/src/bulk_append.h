// Loading a new table on two threads. Appending a record is two halves of
// about equal cost: normalizing its values, building its image and its keys,
// and packing the image and writing its rows through SQLite. While a table created by
// this process is filled in one transaction (its indexes are built at
// commit, so no append can fail on a duplicate key), the caller's thread
// does the first half of each record and hands it to a worker that does the
// second, up to a few hundred records behind.
// The worker alone uses the table's connection while it runs: the owner
// calls finish() before anything else reads or writes the table. A failure
// of the worker is thrown by a later append (the next one that waits for
// room) or by finish(); the records after it are not written, and the
// transaction is to be rolled back.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/src/table_store.h"

namespace lce {

class BulkAppend {
public:
    // Starts the worker; the store must be loading (TableStore::bulkLoading).
    explicit BulkAppend(TableStore& store);
    BulkAppend(const BulkAppend&) = delete;
    BulkAppend& operator=(const BulkAppend&) = delete;
    // Stops the worker; records not written yet are dropped (the owner rolls
    // the transaction back or has called finish()).
    ~BulkAppend();

    // Queues a record; returns its record number.
    std::int64_t append(const Row& row);
    // Returns once every queued record is written.
    void finish();

private:
    void work();
    void publish(std::unique_lock<std::mutex>& lock);
    void waitForWorker(std::unique_lock<std::mutex>& lock, std::size_t left);

    TableStore& store_;
    // A ring of records: the caller fills the slot after the last queued
    // one, the worker writes from the first queued one.
    std::vector<TableStore::PreparedRecord> slots_;
    std::size_t first_ = 0;   // the worker's next slot
    std::size_t queued_ = 0;  // slots filled and not yet written
    std::int64_t nextRecno_ = 0;
    // The caller's side, without the lock: slots it may fill, the next one,
    // and how many it filled and has not queued yet.
    std::size_t free_ = 0, next_ = 0, filled_ = 0;
    std::mutex mutex_;
    std::condition_variable queuedMore_, wroteSome_;
    bool stopping_ = false;
    bool flushing_ = false;  // finish() waits for every queued record
    bool workerWaiting_ = false, callerWaiting_ = false;
    std::string packed_;  // the worker's: the image being written, packed
    std::exception_ptr failure_;
    std::thread worker_;
};

}  // namespace lce
