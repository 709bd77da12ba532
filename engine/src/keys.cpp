// Building order-preserving index keys from field values, segment by segment.
#include "engine/src/keys.h"

#include <bit>
#include <cstring>

#include "engine/src/layout.h"
#include "engine/src/text.h"

namespace lce {

namespace {
// Big-endian, the bytes gathered first and appended at once (keys are built
// for every record a bulk load appends).
void appendBig(std::string& key, std::uint64_t v, int bytes) {
    char out[8];
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<char>((v >> (8 * (bytes - 1 - i))) & 0xFF);
    key.append(out, static_cast<std::size_t>(bytes));
}
void appendSigned(std::string& key, std::int64_t v) { appendBig(key, static_cast<std::uint64_t>(v) ^ (1ull << 63), 8); }
// Bytes 0 and 1 become 1 1 and 1 2; stretches without them go in whole.
void appendEscaped(std::string& key, std::string_view bytes) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char ch = bytes[i];
        if (ch != 0 && ch != 1) continue;
        key.append(bytes.data() + from, i - from);
        key += '\x01';
        key += static_cast<char>(ch + 1);
        from = i + 1;
    }
    key.append(bytes.data() + from, bytes.size() - from);
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
            std::string upperText;
            std::string_view text = v.text;
            if (type == kCiCharacter) text = upperText = upper(v.text);
            if (!partial)
                while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
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

void invertKey(std::string& key, std::size_t from) {
    for (std::size_t i = from; i < key.size(); ++i) key[i] = static_cast<char>(~static_cast<unsigned char>(key[i]));
}

std::string prefixSuccessor(const std::string& prefix) {
    std::string s = prefix;
    while (!s.empty() && static_cast<unsigned char>(s.back()) == 0xFF) s.pop_back();
    if (s.empty()) return s;
    s.back() = static_cast<char>(static_cast<unsigned char>(s.back()) + 1);
    return s;
}

}  // namespace lce
