// The process-wide handle registry: every engine object the C operations
// hand out (connections, tables, indexes, statements, searches) is kept here
// under a 32-bit handle, behind its own lock. Lookups return shared owners,
// so an object stays alive for the call that uses it even when another
// thread closes its handle meanwhile.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "engine/src/error.h"

namespace lce {

enum class HandleType : std::uint16_t {
    Connection = 1,
    Table = 2,
    Index = 3,
    Statement = 4,
    Cursor = 5,
    DictionaryConnection = 6,
    Search = 7,
};

class Object {
public:
    virtual ~Object() = default;
    virtual HandleType handleType() const = 0;
    std::uint32_t handle = 0;
};

// The registry's lock. Its sections are a few dozen instructions (a map
// look-up, a pointer copy) taken once by every engine call, where a mutex's
// own locking cost as much as the look-up; a holder preempted meanwhile
// makes the others yield rather than spin on.
class SpinLock {
public:
    void lock() noexcept {
        while (flag_.test_and_set(std::memory_order_acquire)) {
            for (int spins = 0; flag_.test(std::memory_order_relaxed); ++spins)
                if (spins >= 64) std::this_thread::yield();
        }
    }
    void unlock() noexcept { flag_.clear(std::memory_order_release); }

private:
    std::atomic_flag flag_;
};

class HandleRegistry {
public:
    static HandleRegistry& instance() {
        static HandleRegistry registry;
        return registry;
    }

    std::uint32_t add(std::shared_ptr<Object> object);
    void remove(std::uint32_t handle);
    std::shared_ptr<Object> find(std::uint32_t handle) const;

    // Calls resolve(object) under the lock, object empty when the handle is
    // unknown, and returns its result: a call takes what it needs (an owner
    // of the object or of what it points to) with one copy of an owner where
    // find() and a conversion take two or three. resolve must be short and
    // must not call the registry.
    template <typename Resolve>
    auto resolve(std::uint32_t handle, Resolve&& resolve) const {
        std::lock_guard lock(lock_);
        return resolve(lookUp(handle));
    }

    template <typename T>
    std::shared_ptr<T> get(std::uint32_t handle, const char* what) const {
        auto object = std::dynamic_pointer_cast<T>(find(handle));
        if (!object) fail(kErrInvalidHandle, std::string("Invalid ") + what + " handle " + std::to_string(handle));
        return object;
    }

private:
    const std::shared_ptr<Object>& lookUp(std::uint32_t handle) const;

    mutable SpinLock lock_;
    std::unordered_map<std::uint32_t, std::shared_ptr<Object>> objects_;
    std::uint32_t next_ = 0x1000;
    // The handles looked up last (a navigation loop uses two or three over
    // and over), pointing at their map entries: those stay where they are
    // until erased, and remove() forgets them first.
    struct Recent {
        std::uint32_t handle = 0;
        const std::shared_ptr<Object>* object = nullptr;
    };
    mutable std::array<Recent, 16> recent_{};
};

}  // namespace lce
