// Ends the read transactions of idle tables. A table opened read-only keeps
// one read transaction (SQLite's SHARED lock) across the calls that use it,
// so a lookup does not pay for taking and dropping the file lock and for
// revalidating its page cache every time. Held locks keep writers from
// committing, so this process-wide reaper ends every read that has been idle
// for kReadIdle or held for kReadMaxHold; the next call begins a new one and
// sees what was written meanwhile.
#pragma once

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lce {

class TableStore;

inline constexpr std::chrono::milliseconds kReadIdle{50};
inline constexpr std::chrono::milliseconds kReadMaxHold{250};

// The time of the last clock tick (a few milliseconds fine at most): enough
// for the reaper's limits and far cheaper than the exact clock, which a
// read lease would otherwise ask twice per call.
inline std::chrono::steady_clock::time_point coarseNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return std::chrono::steady_clock::time_point(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
}

class ReadReaper {
public:
    static ReadReaper& instance();
    ~ReadReaper();
    // Watches a store that has begun a read transaction.
    void watch(std::weak_ptr<const TableStore> store);

private:
    ReadReaper() = default;
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::weak_ptr<const TableStore>> stores_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace lce
