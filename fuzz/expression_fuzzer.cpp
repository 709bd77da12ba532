// Fuzz target: the engine's expression language. Any text ends in a tree or
// an lce::Error; a tree's long and short forms parse back to trees that print
// the same, and its translation (exact matching on and off) ends in SQL or an
// lce::Error.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "engine/lce_builder.h"
#include "engine/src/expression.h"

namespace {

// Every name is a column; its first letter chooses the type, so that every
// kind of comparison and function is reached.
std::optional<lce::expr::ColumnRef> anyColumn(std::string_view name) {
    static constexpr std::uint16_t kTypes[] = {lce::kCharacter, lce::kCiCharacter, lce::kInteger,   lce::kMoney,
                                               lce::kDouble,    lce::kDate,        lce::kTimestamp, lce::kTime,
                                               lce::kLogical,   lce::kMemo,        lce::kBinary};
    const auto pick = name.empty() ? 0u : static_cast<unsigned char>(name.front()) % std::size(kTypes);
    return lce::expr::ColumnRef{std::string(name), kTypes[pick]};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto tree = lce::expr::parse(text);
        const std::string longForm = lce::expr::printLong(*tree);
        const std::string shortForm = lce::expr::printShort(*tree);
        const auto fromLong = lce::expr::parse(longForm);
        const auto fromShort = lce::expr::parse(shortForm);
        if (lce::expr::printLong(*fromLong) != longForm || lce::expr::printLong(*fromShort) != longForm ||
            lce::expr::printShort(*fromLong) != shortForm)
            __builtin_trap();
        lce::expr::translate(*tree, anyColumn, true, 10);
        lce::expr::translate(*tree, anyColumn, false, 10);
    } catch (const lce::Error&) {}
    return 0;
}
