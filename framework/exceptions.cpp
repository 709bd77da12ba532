// The runtime's exception classes and the placeholder formatting of their messages.
#include "framework/exceptions.h"

namespace fw {

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 16);
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            out += c;
            continue;
        }
        const char directive = pattern[i + 1];
        if (directive == '%') {
            out += '%';
            ++i;
        } else if ((directive == 's' || directive == 'd') && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            // Unknown directive, or no argument left for it: keep it visible.
            out += c;
        }
    }
    return out;
}

namespace {
ExceptionHook& InstalledHook() {
    static ExceptionHook hook;
    return hook;
}
}  // namespace

void SetApplicationExceptionHook(ExceptionHook hook) { InstalledHook() = std::move(hook); }

const ExceptionHook& ApplicationExceptionHook() { return InstalledHook(); }

}  // namespace fw
