// Helpers shared by the C operations: the guard that turns exceptions into
// codes and per-thread error texts, output of text and flags, and handle and
// field lookup.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "data/engine/lce32.h"
#include "engine/src/connection.h"
#include "engine/src/cursor.h"
#include "engine/src/error.h"
#include "engine/src/handles.h"

namespace lce::api {

// A body returns nothing (success unless it throws) or a code: an ordinary
// answer of a navigation loop (no such segment, no more records) comes back
// through answer() without the cost of an exception on every row.
template <typename F>
UNSIGNED32 guarded(F&& body) noexcept {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
            body();
            return 0;
        } else {
            return body();
        }
    } catch (const Error& e) {
        setLastError(e.code(), e.what());
        return e.code();
    } catch (const std::bad_alloc&) {
        setLastError(kErrWriteFailed, "Out of memory");
        return kErrWriteFailed;
    } catch (const std::exception& e) {
        setLastError(kErrWriteFailed, std::string("Internal error: ") + e.what());
        return kErrWriteFailed;
    } catch (...) {
        setLastError(kErrWriteFailed, "Internal error");
        return kErrWriteFailed;
    }
}

// A failure code that callers meet as an answer (the end of a loop): noted
// for LumGetLastError like a raised one, and returned from a guarded body.
inline UNSIGNED32 answer(std::uint32_t code, const std::string& text) {
    setLastError(code, text);
    return code;
}

template <typename T>
T& out(T* p, const char* what) {
    if (!p) fail(kErrInvalidArgument, std::string("Missing output argument: ") + what);
    return *p;
}

inline std::string in(const char* p, const char* what) {
    if (!p) fail(kErrInvalidArgument, std::string("Missing argument: ") + what);
    return p;
}

// Copies text with its terminating zero; kErrBufferTooSmall (with the length needed) when
// the buffer is too small.
inline void copyText(const std::string& text, char* buf, UNSIGNED16* len) {
    UNSIGNED16& n = out(len, "length");
    if (!buf) fail(kErrInvalidArgument, "Missing text buffer");
    if (text.size() + 1 > n) {
        const std::size_t needed = text.size();
        n = static_cast<UNSIGNED16>(std::min<std::size_t>(needed, 0xFFFF));
        fail(kErrBufferTooSmall,
             "Buffer of " + std::to_string(n) + " bytes is too small for " + std::to_string(needed + 1));
    }
    std::memcpy(buf, text.data(), text.size());
    buf[text.size()] = '\0';
    n = static_cast<UNSIGNED16>(text.size());
}

inline void copyBytes(const std::string& bytes, UNSIGNED8* buf, UNSIGNED32* len) {
    UNSIGNED32& n = out(len, "length");
    if (!buf) fail(kErrInvalidArgument, "Missing buffer");
    if (bytes.size() > n) {
        const std::size_t needed = bytes.size();
        n = static_cast<UNSIGNED32>(needed);
        fail(kErrBufferTooSmall, "Buffer is too small for " + std::to_string(needed) + " bytes");
    }
    std::memcpy(buf, bytes.data(), bytes.size());
    n = static_cast<UNSIGNED32>(bytes.size());
}

// A table or cursor handle, or an index handle with its order.
struct Target {
    std::shared_ptr<Cursor> cursor;
    std::size_t order = 0;
};

// Every call of a navigation loop looks its handle up: the handle type
// tells the class, so no dynamic cast is needed, and the cursor is taken
// under the registry's lock without an owner of the handle object.
struct Resolved {
    Target target;
    HandleType type{};
};

inline Resolved resolveTarget(LUMHANDLE h) {
    return HandleRegistry::instance().resolve(h, [](const std::shared_ptr<Object>& object) {
        Resolved r;
        if (!object) return r;
        r.type = object->handleType();
        switch (r.type) {
            case HandleType::Index: {
                const auto& ix = static_cast<const IndexHandle&>(*object);
                r.target = {ix.cursorIfOpen(), ix.order()};
                break;
            }
            case HandleType::Table:
            case HandleType::Cursor: r.target = {std::static_pointer_cast<Cursor>(object), 0}; break;
            default: break;
        }
        return r;
    });
}

[[noreturn]] inline void indexTableClosed(LUMHANDLE h) {
    fail(kErrInvalidHandle, "The table of index handle " + std::to_string(h) + " is closed");
}

inline Target target(LUMHANDLE h) {
    Resolved r = resolveTarget(h);
    if (r.target.cursor) return std::move(r.target);
    if (r.type == HandleType::Index) indexTableClosed(h);
    fail(kErrInvalidHandle, "Invalid table or index handle " + std::to_string(h));
}

inline std::shared_ptr<Cursor> cursorOf(LUMHANDLE h) { return target(h).cursor; }

inline Target indexTarget(LUMHANDLE h) {
    Resolved r = resolveTarget(h);
    if (r.type != HandleType::Index) fail(kErrInvalidHandle, "Invalid index handle " + std::to_string(h));
    if (!r.target.cursor) indexTableClosed(h);
    return std::move(r.target);
}

inline std::shared_ptr<Connection> connectionOf(LUMHANDLE h) {
    return HandleRegistry::instance().get<Connection>(h, "connection");
}

// Column position of a field given by name or number.
inline std::size_t columnOf(const Cursor& c, LUMFIELD field) {
    const auto n = reinterpret_cast<std::uintptr_t>(field);
    const auto count = c.store().layout().columns().size();
    if (n == 0) fail(kErrInvalidArgument, "No field given for table " + c.name());
    if (n < 0x10000) {
        if (n > count)
            fail(kErrFieldNotFound, "Column " + std::to_string(n) + " does not exist in table " + c.name() +
                                        " (it has " + std::to_string(count) + ")");
        return n - 1;
    }
    const int i = c.store().column(field);
    if (i < 0) fail(kErrFieldNotFound, std::string("Column \"") + field + "\" not found in table " + c.name());
    return static_cast<std::size_t>(i);
}

inline void flag(UNSIGNED16* p, bool v) { out(p, "flag") = v ? 1 : 0; }

}  // namespace lce::api
