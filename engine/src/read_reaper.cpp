// The reaper thread that ends idle or long-held read transactions of read-only tables.
#include "engine/src/read_reaper.h"

#include "engine/src/table_store.h"

namespace lce {

ReadReaper& ReadReaper::instance() {
    static ReadReaper reaper;
    return reaper;
}

ReadReaper::~ReadReaper() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ReadReaper::watch(std::weak_ptr<const TableStore> store) {
    std::lock_guard lock(mutex_);
    stores_.push_back(std::move(store));
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    wake_.notify_all();
}

void ReadReaper::run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (stores_.empty()) {
            wake_.wait(lock, [this] { return stop_ || !stores_.empty(); });
            continue;
        }
        wake_.wait_for(lock, kReadIdle / 2, [this] { return stop_; });
        if (stop_) break;
        std::vector<std::weak_ptr<const TableStore>> watched;
        watched.swap(stores_);
        lock.unlock();
        // Stores are checked outside the lock: ending a read may take a moment,
        // and watch() is called by the threads that use the tables.
        std::vector<std::weak_ptr<const TableStore>> still;
        const auto now = coarseNow();
        for (auto& w : watched) {
            auto store = w.lock();
            if (store && !store->endReadIfIdle(now)) still.push_back(std::move(w));
        }
        lock.lock();
        for (auto& w : still) stores_.push_back(std::move(w));
    }
}

}  // namespace lce
