// Table text to UTF-8 through the store's code-page table, and back through
// the inverse of that same table, so the two directions always agree.
#include "search/table_text.h"

#include <map>

#include "app/registry/text_codec.h"

namespace app {
namespace {

// The UTF-8 form of each of the 256 bytes, mapped back to the byte.
const std::map<std::string, char, std::less<>>& BytesByUtf8() {
    static const std::map<std::string, char, std::less<>> table = [] {
        std::map<std::string, char, std::less<>> built;
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            built.emplace(reg::Cp1252ToUtf8(std::string_view(&byte, 1)), byte);
        }
        return built;
    }();
    return table;
}

// Bytes of the UTF-8 sequence led by `lead` (valid text assumed).
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

}  // namespace

std::string Utf8FromTableText(std::string_view bytes) { return reg::Cp1252ToUtf8(bytes); }

std::optional<std::string> TableTextFromUtf8(std::string_view utf8) {
    if (!reg::IsValidUtf8(utf8)) return std::nullopt;
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(utf8[at]));
        const auto found = BytesByUtf8().find(utf8.substr(at, length));
        if (found == BytesByUtf8().end()) return std::nullopt;
        out += found->second;
        at += length;
    }
    return out;
}

}  // namespace app
