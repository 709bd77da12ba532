// Fuzz target: the SQL dialect translator. Any text ends in a translation or
// a TranslateError; the parameter scan never throws.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/sql/translate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    lce::sql::ScanParameters(text);
    try {
        // With a resolver the statement is parsed a second time with the
        // resolved tables; both passes must agree on the parameters.
        const lce::sql::Translation plain = lce::sql::Translate(text);
        const lce::sql::Translation resolved =
            lce::sql::Translate(text, [](const std::string& name) { return "\"s\".\"" + name + "\""; });
        if (plain.parameters != resolved.parameters) __builtin_trap();
    } catch (const lce::sql::TranslateError&) {}
    return 0;
}
