// The per-thread last error and the raising of lce::Error.
#include "engine/src/error.h"

namespace lce {

void fail(std::uint32_t code, const std::string& text) { throw Error(code, text); }

LastError& lastError() {
    thread_local LastError error;
    return error;
}

void setLastError(std::uint32_t code, const std::string& text) {
    LastError& e = lastError();
    e.code = code;
    e.text = text;
}

}  // namespace lce
