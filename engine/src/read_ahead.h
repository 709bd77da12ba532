// Reading a long forward index stream ahead on a second core. A
// master-detail loop moves a detail cursor through its index scope after
// scope; stepping SQLite there (the next key, its record's image) is most of
// what the detail costs, and the second core is idle. A read-ahead runs the
// same stream from the row the cursor stands on, on a connection of its own
// on another thread, and keeps the rows it read in a ring the cursor's
// statement takes them from (Stmt::step reads the ring instead of SQLite).
//
// The rows must be those the cursor's own statement would give: the
// read-ahead begins its read transaction while the table's connection holds
// its own, so no writer can commit in between and both read one state of the
// file. It is only started in that state, and it is cancelled when the
// table's read ends (TableStore::endRead: a write of this process, the read
// reaper, a read held too long): its own read ends before the table's
// writers can go on. The cursor never steps a stream into a later read
// (the table's read epoch), so the rows it takes are always of its read.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/src/sqlite_db.h"

namespace lce {

class TableStore;

// One value of a row read ahead as SQLite typed it; bytes hold a text or
// blob (a row's values are read back as the types they have).
struct AheadValue {
    int type = SQLITE_NULL;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes;
};

// When a forward index stream reads ahead: once it has read `after` rows
// (0: never), and, when paced, only if its reader spent at least kPace a row
// on them. Reading a row ahead and handing it over costs about half a
// microsecond on the other core: a reader quicker than that would wait for
// the rows it used to read itself. 256 rows, paced; the environment variable
// LCE_READ_AHEAD_AFTER (0 .. 10^12) sets another count, without the pace.
struct ReadAheadRule {
    static constexpr std::uint64_t kAfter = 256;
    static constexpr std::chrono::nanoseconds kPace{1000};
    std::uint64_t after = kAfter;
    bool paced = true;
    // Whether a stream that has read `rows` rows since `since` reads ahead now.
    bool due(std::uint64_t rows, std::chrono::steady_clock::time_point since) const;
};
ReadAheadRule readAheadRule();

class ReadAhead {
public:
    using Value = AheadValue;
    static constexpr int kMaxColumns = 4;
    using Row = std::array<Value, kMaxColumns>;

    // Starts reading `sql` on the table's file, its parameters ?1 (and ?3,
    // where it has one) `key` (an index key) and ?2 `recno`, with store's read transaction held by the
    // calling thread. Nothing when it cannot start at once (a writer waits
    // for the file, no second thread or connection to be had): the caller
    // steps on by itself.
    static std::unique_ptr<ReadAhead> start(std::shared_ptr<const TableStore> store, const std::string& sql,
                                            std::string_view key, std::int64_t recno);
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    ~ReadAhead();

    // Moves to the next row read ahead, waiting for it when the reader is
    // behind; false past the last. A failure of the reader's (a damaged
    // page) is thrown here, where the statement itself would have met it.
    bool next();
    // The row next() moved to; none before the first.
    const Row* current() const { return current_; }

    // Stops the reader and ends its read transaction; safe from any thread,
    // more than once. Rows not yet taken stay, but no more come.
    void cancel() noexcept;

private:
    ReadAhead(std::shared_ptr<const TableStore> store, std::unique_ptr<Db> db, std::unique_ptr<Stmt> stmt);
    void read() noexcept;
    void readRows();
    bool waitForRoom();
    Row& slot(std::uint64_t n) { return ring_[n % ring_.size()]; }

    std::shared_ptr<const TableStore> store_;
    std::unique_ptr<Db> db_;
    std::unique_ptr<Stmt> stmt_;
    int columns_ = 0;
    std::vector<Row> ring_;
    // Rows written (by the reader) and rows given back (by the taker): the
    // slots between are the reader's to leave alone, the current row's too.
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> released_{0};
    std::uint64_t taken_ = 0;  // the taker's: rows moved to so far
    const Row* current_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};  // the reader has stopped: no more rows come
    std::atomic<bool> readerWaits_{false}, takerWaits_{false};
    std::exception_ptr failure_;  // the reader's, set before done_
    bool finished_ = false;       // the reader met the last row; set before done_
    bool cancelled_ = false;      // under control_
    std::mutex mutex_;            // for the waits
    std::condition_variable wake_;
    std::mutex control_;  // cancel() and the destructor
    std::thread reader_;
};

}  // namespace lce
