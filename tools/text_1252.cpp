// Quoting a text inside one of the tool's messages.
#include "tools/text_1252.h"

namespace payxref::db {
namespace {

std::string HexByte(unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
}

}  // namespace

std::string QuoteForMessage(std::string_view text, std::size_t maxCharacters) {
    std::string out = "\"";
    std::size_t at = 0;
    for (std::size_t shown = 0; at < text.size(); ++shown) {
        if (shown == maxCharacters) {
            out += "\u2026";
            break;
        }
        const std::size_t start = at;
        const auto cp = NextUtf8(text, at);
        if (!cp) {
            out += HexByte(static_cast<unsigned char>(text[at++]));
        } else if (*cp < 0x20 || *cp == 0x7F) {
            out += HexByte(static_cast<unsigned char>(*cp));
        } else {
            out.append(text.substr(start, at - start));
        }
    }
    return out + "\"";
}

}  // namespace payxref::db
