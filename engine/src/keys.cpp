// Building order-preserving index keys from field values, segment by segment.
#include "engine/src/keys.h"

#include <bit>
#include <cstring>

#include "engine/src/layout.h"
#include "engine/src/text.h"

namespace lce {

namespace {
void appendBig(std::string& key, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) key += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void appendSigned(std::string& key, std::int64_t v) { appendBig(key, static_cast<std::uint64_t>(v) ^ (1ull << 63), 8); }
void appendEscaped(std::string& key, const std::string& bytes) {
    for (char ch : bytes) {
        if (ch == 0 || ch == 1) {
            key += '\x01';
            key += static_cast<char>(ch + 1);
        } else {
            key += ch;
        }
    }
}
}  // namespace

void appendKeySegment(std::string& key, std::uint16_t type, const Value& v, bool partial) {
    bool empty = v.isNull();
    if (!empty && kindOf(type) == Value::Kind::Text) empty = v.text.find_first_not_of(' ') == std::string::npos;
    if (empty) {
        key += '\x00';
        return;
    }
    key += '\x01';
    switch (kindOf(type)) {
        case Value::Kind::Logical: key += static_cast<char>(v.integer ? 1 : 0); break;
        case Value::Kind::Integer:
        case Value::Kind::Scaled: appendSigned(key, v.integer); break;
        case Value::Kind::Double: {
            std::uint64_t bits = std::bit_cast<std::uint64_t>(v.real == 0.0 ? 0.0 : v.real);
            bits = (bits & (1ull << 63)) ? ~bits : bits ^ (1ull << 63);
            appendBig(key, bits, 8);
            break;
        }
        case Value::Kind::Date: appendSigned(key, v.integer); break;
        case Value::Kind::Time: appendBig(key, static_cast<std::uint64_t>(v.integer), 4); break;
        case Value::Kind::Timestamp:
            appendSigned(key, v.integer);
            appendBig(key, v.millis, 4);
            break;
        case Value::Kind::Text: {
            std::string text = type == kCiCharacter ? upper(v.text) : v.text;
            if (!partial)
                while (!text.empty() && text.back() == ' ') text.pop_back();
            appendEscaped(key, text);
            if (!partial) key += '\x00';
            break;
        }
        default:
            appendEscaped(key, v.text);
            if (!partial) key += '\x00';
            break;
    }
}

std::uint32_t maxSegmentLength(std::uint16_t type, std::uint32_t length) {
    switch (kindOf(type)) {
        case Value::Kind::Logical: return 2;
        case Value::Kind::Time: return 5;
        case Value::Kind::Timestamp: return 13;
        case Value::Kind::Text:
        case Value::Kind::Binary:
        case Value::Kind::Memo: return 2 + 2 * length;
        default: return 9;
    }
}

void invertKey(std::string& key) {
    for (char& ch : key) ch = static_cast<char>(~static_cast<unsigned char>(ch));
}

std::string prefixSuccessor(const std::string& prefix) {
    std::string s = prefix;
    while (!s.empty() && static_cast<unsigned char>(s.back()) == 0xFF) s.pop_back();
    if (s.empty()) return s;
    s.back() = static_cast<char>(static_cast<unsigned char>(s.back()) + 1);
    return s;
}

}  // namespace lce
