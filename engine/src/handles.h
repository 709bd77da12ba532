// The process-wide handle registry: every engine object the C operations
// hand out (connections, tables, indexes, statements, searches) is kept here
// under a 32-bit handle, behind its own lock. Lookups return shared owners,
// so an object stays alive for the call that uses it even when another
// thread closes its handle meanwhile.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
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

class HandleRegistry {
public:
    static HandleRegistry& instance();

    std::uint32_t add(std::shared_ptr<Object> object);
    void remove(std::uint32_t handle);
    std::shared_ptr<Object> find(std::uint32_t handle) const;

    template <typename T>
    std::shared_ptr<T> get(std::uint32_t handle, const char* what) const {
        auto object = std::dynamic_pointer_cast<T>(find(handle));
        if (!object) fail(kErrInvalidHandle, std::string("Invalid ") + what + " handle " + std::to_string(handle));
        return object;
    }

private:
    mutable std::mutex mutex_;
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
