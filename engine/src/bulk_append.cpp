#include "engine/src/bulk_append.h"

#include <algorithm>

namespace lce {
namespace {

// Enough records to keep both threads busy through the uneven cost of
// single records; few enough that the ring stays small.
constexpr std::size_t kSlots = 256;
// A thread that waits is woken for half a ring of work, not for every
// record: waking one costs a system call on both sides.
constexpr std::size_t kHalf = kSlots / 2;
// The worker gives slots back a few at a time.
constexpr std::size_t kBatch = 16;

}  // namespace

BulkAppend::BulkAppend(TableStore& store) : store_(store), slots_(kSlots) {
    nextRecno_ = store_.beginBulkAppend();
    worker_ = std::thread([this] { work(); });
}

BulkAppend::~BulkAppend() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queuedMore_.notify_all();
    try {
        if (worker_.joinable()) worker_.join();
    } catch (...) {
        // Joining fails only when the thread is gone already.
    }
}

std::int64_t BulkAppend::append(const Row& row) {
    if (free_ == 0) {
        std::unique_lock lock(mutex_);
        publish(lock);
        if (queued_ == slots_.size()) waitForWorker(lock, kHalf);
        free_ = slots_.size() - queued_;
        next_ = (first_ + queued_) % slots_.size();
    }
    // The slots after the queued ones are the caller's until it queues them:
    // the worker reads queued slots only.
    store_.prepareRecord(row, nextRecno_ + 1, slots_[next_]);
    ++nextRecno_;
    next_ = (next_ + 1) % slots_.size();
    --free_;
    if (++filled_ == kBatch) {
        std::unique_lock lock(mutex_);
        publish(lock);
    }
    return nextRecno_;
}

// Queues the records filled since the last time; wakes a waiting worker
// once it has half a ring to write. The lock is let go before the worker is
// woken, or it would wake only to wait for the lock.
void BulkAppend::publish(std::unique_lock<std::mutex>& lock) {
    queued_ += filled_;
    filled_ = 0;
    const bool wake = workerWaiting_ && (queued_ >= kHalf || flushing_);
    if (wake) {
        workerWaiting_ = false;
        lock.unlock();
        queuedMore_.notify_one();
        lock.lock();
    }
}

void BulkAppend::finish() {
    std::unique_lock lock(mutex_);
    flushing_ = true;
    publish(lock);
    lock.unlock();
    queuedMore_.notify_one();
    lock.lock();
    free_ = 0;
    try {
        waitForWorker(lock, 0);
    } catch (...) {
        flushing_ = false;
        throw;
    }
    flushing_ = false;
}

// Waits until no more than `left` records are queued; throws the worker's
// failure.
void BulkAppend::waitForWorker(std::unique_lock<std::mutex>& lock, std::size_t left) {
    while (!failure_ && queued_ > left) {
        callerWaiting_ = true;
        wroteSome_.wait(lock);
    }
    callerWaiting_ = false;
    if (failure_) std::rethrow_exception(failure_);
}

void BulkAppend::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!stopping_ && queued_ < kHalf && !(flushing_ && queued_ > 0)) {
            workerWaiting_ = true;
            queuedMore_.wait(lock);
        }
        workerWaiting_ = false;
        if (stopping_) return;
        const std::size_t count = std::min(queued_, kBatch);
        const std::size_t at = first_;
        lock.unlock();
        try {
            for (std::size_t i = 0; i < count; ++i) store_.writeRecord(slots_[(at + i) % slots_.size()], packed_);
        } catch (...) {
            lock.lock();
            failure_ = std::current_exception();
            wroteSome_.notify_all();
            return;
        }
        lock.lock();
        first_ = (at + count) % slots_.size();
        queued_ -= count;
        if (callerWaiting_ && queued_ <= kHalf) {
            callerWaiting_ = false;
            lock.unlock();
            wroteSome_.notify_all();
            lock.lock();
        }
    }
}

}  // namespace lce
