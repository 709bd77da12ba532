#pragma once
// The engine connections shared per folder by datasets that have no
// connection component: one per folder (and engine table), made on first use
// and disconnected when the program ends.
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "data/lum/engine.h"

namespace lum {

// The engine table is kept by value: the connection is disconnected at exit
// through the table it was made with, whoever made that table.
struct TDynamicConn {
    LumFunctions Engine{};
    LUMHANDLE Handle = 0;
    std::string Path;
};

class TDynamicConnList {
public:
    static TDynamicConnList& Instance();

    // The handle of the folder's shared connection, connecting it the first
    // time; the path compares without regard to case. An engine failure to
    // connect raises ELUMDatabaseError with the engine's text alone; 0 when
    // the new connection cannot be listed (it is disconnected again).
    LUMHANDLE Acquire(const LumFunctions& engine, const std::string& path);
    // Disconnects every listed connection and empties the list; what the end
    // of the program runs. Raises the first engine failure after all were tried.
    void DisconnectAll();
    std::size_t Count();

private:
    TDynamicConnList() = default;
    // Registered once, after the engine has made its first connection (and so
    // after this list and the engine's own state exist), so it runs at exit
    // before either goes.
    void DisconnectAtExit();

    std::mutex mutex_;
    std::vector<TDynamicConn> connections_;
    bool exitHookRegistered_ = false;
};

}  // namespace lum
