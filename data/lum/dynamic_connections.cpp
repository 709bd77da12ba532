// The shared per-folder engine connections of datasets without a connection
// component, and their disconnection when the program ends.
#include "data/lum/dynamic_connections.h"

#include <cstdlib>
#include <optional>

#include "data/lum/errors.h"
#include "framework/component.h"
#include "framework/text_compare.h"

namespace lum {

TDynamicConnList& TDynamicConnList::Instance() {
    static TDynamicConnList list;
    return list;
}

LUMHANDLE TDynamicConnList::Acquire(const LumFunctions& engine, const std::string& path) {
    const std::lock_guard lock(mutex_);
    for (const TDynamicConn& entry : connections_)
        if (entry.Engine.LumConnect == engine.LumConnect && fw::SameText(entry.Path, path)) return entry.Handle;
    LUMHANDLE handle = 0;
    CheckLCEResult(engine, nullptr, engine.LumConnect(path.c_str(), &handle));
    try {
        connections_.push_back(TDynamicConn{engine, handle, path});
        DisconnectAtExit();
    } catch (...) {
        // Without a place in the list nothing would ever disconnect it.
        engine.LumDisconnect(handle);
        return 0;
    }
    return handle;
}

void TDynamicConnList::DisconnectAll() {
    std::vector<TDynamicConn> connections;
    {
        const std::lock_guard lock(mutex_);
        connections.swap(connections_);
    }
    std::optional<ELUMDatabaseError> failure;
    for (const TDynamicConn& entry : connections) {
        try {
            CheckLCEResult(entry.Engine, nullptr, entry.Engine.LumDisconnect(entry.Handle));
        } catch (const ELUMDatabaseError& e) {
            if (!failure) failure.emplace(e);
        }
    }
    if (failure) throw *failure;
}

std::size_t TDynamicConnList::Count() {
    const std::lock_guard lock(mutex_);
    return connections_.size();
}

void TDynamicConnList::DisconnectAtExit() {
    if (exitHookRegistered_) return;
    // Nothing can report at exit; the process is going anyway.
    if (std::atexit([] { fw::Quietly([] { Instance().DisconnectAll(); }); }) != 0) return;
    exitHookRegistered_ = true;
}

}  // namespace lum
