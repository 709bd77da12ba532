#pragma once
// How datasets find their connection: the process-wide lists of live
// connections and datasets, each behind its own lock.
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <thread>
#include <vector>

namespace lum {

class TLumConnection;
class TLumDataSet;

template <class T>
class Registry {
public:
    void Add(T& item) {
        const std::lock_guard lock(mutex_);
        items_.push_back(&item);
    }
    void Remove(T& item) {
        const std::lock_guard lock(mutex_);
        std::erase(items_, &item);
    }
    // Visits every item in registration order under the lock.
    void ForEach(const std::function<void(T&)>& visit) {
        const std::lock_guard lock(mutex_);
        for (T* item : items_) visit(*item);
    }
    // Searches in passes under one lock: each pass visits the items in
    // registration order, and the first item a pass accepts ends the search.
    T* FindInPasses(std::initializer_list<std::function<bool(T&)>> passes) {
        const std::lock_guard lock(mutex_);
        for (const auto& accepts : passes)
            for (T* item : items_)
                if (accepts(*item)) return item;
        return nullptr;
    }

private:
    std::mutex mutex_;
    std::vector<T*> items_;
};

// Every live connection, in creation order, with the thread that created it.
class ConnectionRegistry : public Registry<TLumConnection> {
public:
    static ConnectionRegistry& Instance();
};

// Every live dataset of the layer.
class DataSetRegistry : public Registry<TLumDataSet> {
public:
    static DataSetRegistry& Instance();
};

}  // namespace lum
