// An engine function table for tests: the entries a test names note each
// call in one log and pass it on to the linked engine, and any entry can be
// made to fail with a code of the test's choosing, the engine recording the
// failure's text as its own would.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "data/lum/engine.h"

namespace lumtest {

struct EngineLog {
    std::vector<std::string> calls;
    // Entry name -> code it answers instead of calling the engine.
    std::map<std::string, UNSIGNED32> failing;
    void Clear() {
        calls.clear();
        failing.clear();
    }
};

inline EngineLog& Log() {
    static EngineLog log;
    return log;
}

// The text an injected failure leaves as the engine's latest.
inline std::string InjectedText(const std::string& entry) { return "Injected failure of " + entry; }

// An argument as the log shows it: 16-bit values (options, modes, types)
// and input texts; handles, buffers and other values are left out, as they
// differ from run to run.
inline void AppendArgument(std::string& shown, UNSIGNED16 value) {
    shown += (shown.empty() ? "" : ",") + std::to_string(value);
}
inline void AppendArgument(std::string& shown, const char* text) {
    const auto number = reinterpret_cast<std::uintptr_t>(text);
    std::string item = text == nullptr    ? "null"
                       : number < 0x10000 ? "#" + std::to_string(number)
                                          : '"' + std::string(text) + '"';
    shown += (shown.empty() ? "" : ",") + item;
}
template <typename T>
void AppendArgument(std::string&, T) {}

template <auto Member, typename F>
struct Recorder;

template <auto Member, typename R, typename... A>
struct Recorder<Member, R (*)(A...)> {
    static inline const char* name = "";
    static R Call(A... args) {
        std::string shown;
        (AppendArgument(shown, args), ...);
        Log().calls.push_back(std::string(name) + (shown.empty() ? "" : "(" + shown + ")"));
        const auto failing = Log().failing.find(name);
        if (failing != Log().failing.end())
            return lum::DefaultEngine().LumSetLastError(failing->second, InjectedText(name).c_str());
        return (lum::DefaultEngine().*Member)(args...);
    }
};

// Makes `entry` of `engine` a recorded one.
#define LUMTEST_RECORD(engine, entry)                                                                \
    do {                                                                                             \
        using RecorderOf = ::lumtest::Recorder<&LumFunctions::entry, decltype(LumFunctions::entry)>; \
        RecorderOf::name = #entry;                                                                   \
        (engine).entry = &RecorderOf::Call;                                                          \
    } while (false)

// The calls of the log whose name starts with `prefix`, in order.
inline std::vector<std::string> CallsStartingWith(const std::string& prefix) {
    std::vector<std::string> calls;
    for (const std::string& call : Log().calls)
        if (call.rfind(prefix, 0) == 0) calls.push_back(call);
    return calls;
}

}  // namespace lumtest
