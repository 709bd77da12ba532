// Field values as text for LumGetField, and text parsed back into values.
#include "engine/src/value_text.h"

#include <charconv>
#include <cmath>

#include "engine/src/error.h"
#include "engine/src/layout.h"
#include "engine/src/text.h"

namespace lce {

namespace {
std::optional<std::int64_t> parseDate(std::string_view t) {
    t = trimBlanks(t);
    int y = 0, m = 0, d = 0;
    auto num = [](std::string_view s, int& out) {
        auto r = std::from_chars(s.data(), s.data() + s.size(), out);
        return r.ec == std::errc() && r.ptr == s.data() + s.size();
    };
    if (t.size() == 8 && t.find_first_not_of("0123456789") == std::string_view::npos) return julianFromCompact(t);
    if (t.size() == 10 && t[4] == '-' && t[7] == '-') {
        if (!num(t.substr(0, 4), y) || !num(t.substr(5, 2), m) || !num(t.substr(8, 2), d)) return std::nullopt;
    } else if (t.size() == 10 && t[2] == '/' && t[5] == '/') {
        if (!num(t.substr(0, 2), m) || !num(t.substr(3, 2), d) || !num(t.substr(6, 4), y)) return std::nullopt;
    } else {
        return std::nullopt;
    }
    const std::string compact =
        std::to_string(10000 + y).substr(1) + std::to_string(100 + m).substr(1) + std::to_string(100 + d).substr(1);
    return julianFromCompact(compact);
}

std::optional<std::uint32_t> parseTime(std::string_view t) {
    t = trimBlanks(t);
    if (t.size() < 8 || t[2] != ':' || t[5] != ':') return std::nullopt;
    int h = 0, mi = 0, s = 0, ms = 0;
    auto num = [](std::string_view p, int& out) {
        auto r = std::from_chars(p.data(), p.data() + p.size(), out);
        return r.ec == std::errc() && r.ptr == p.data() + p.size();
    };
    if (!num(t.substr(0, 2), h) || !num(t.substr(3, 2), mi) || !num(t.substr(6, 2), s)) return std::nullopt;
    if (t.size() > 8) {
        if (t[8] != '.' || t.size() > 12 || t.size() == 9) return std::nullopt;
        std::string frac(t.substr(9));
        while (frac.size() < 3) frac += '0';
        if (!num(frac, ms)) return std::nullopt;
    }
    if (h > 23 || mi > 59 || s > 59) return std::nullopt;
    return static_cast<std::uint32_t>(((h * 60 + mi) * 60 + s) * 1000 + ms);
}

std::string two(int v) { return std::to_string(100 + v).substr(1); }
}  // namespace

Value valueFromText(const ColumnDef& def, std::string_view text) {
    auto bad = [&]() -> Value {
        fail(kErrInvalidArgument, "The text '" + std::string(text) + "' is not a valid value for field " + def.name);
    };
    switch (kindOf(def.type)) {
        case Value::Kind::Text: return Value::ofText(std::string(text));
        case Value::Kind::Memo: return Value::ofMemo(std::string(text));
        case Value::Kind::Binary: return Value::ofBinary(std::string(text));
        case Value::Kind::Logical: {
            const auto t = trimBlanks(text);
            if (t.empty()) return Value::null();
            const char c = upper(t.substr(0, 1))[0];
            if (c == 'T' || c == 'Y' || c == '1') return Value::ofLogical(true);
            if (c == 'F' || c == 'N' || c == '0') return Value::ofLogical(false);
            return bad();
        }
        case Value::Kind::Integer: {
            if (trimBlanks(text).empty()) return Value::null();
            if (auto i = parseInteger(text)) return Value::ofInteger(*i);
            return bad();
        }
        case Value::Kind::Double: {
            if (trimBlanks(text).empty()) return Value::null();
            if (auto d = parseDouble(text)) return Value::ofDouble(*d);
            return bad();
        }
        case Value::Kind::Scaled: {
            if (trimBlanks(text).empty()) return Value::null();
            if (auto d = parseDouble(text))
                return Value::ofScaled(static_cast<std::int64_t>(std::llround(*d * 10000.0)));
            return bad();
        }
        case Value::Kind::Date: {
            if (trimBlanks(text).empty()) return Value::null();
            if (auto jd = parseDate(text.substr(0, std::min<std::size_t>(text.size(), 10)))) return Value::ofDate(*jd);
            return bad();
        }
        case Value::Kind::Time: {
            if (auto ms = parseTime(text)) return Value::ofTime(*ms);
            return trimBlanks(text).empty() ? Value::null() : bad();
        }
        case Value::Kind::Timestamp: {
            const auto t = trimBlanks(text);
            if (t.empty()) return Value::null();
            const auto space = t.find_first_of(" T");
            const auto datePart = t.substr(0, space);
            const auto jd = parseDate(datePart);
            if (!jd) return bad();
            std::uint32_t ms = 0;
            if (space != std::string_view::npos) {
                const auto tm = parseTime(t.substr(space + 1));
                if (!tm) return bad();
                ms = *tm;
            }
            return Value::ofTimestamp(*jd, ms);
        }
        default: return bad();
    }
}

std::string textOfValue(const ColumnDef& def, const Value& v) {
    if (v.isNull()) return {};
    switch (v.kind) {
        case Value::Kind::Text: {
            std::string t = v.text;
            if (def.type != kVarChar && t.size() < def.length) t.append(def.length - t.size(), ' ');
            return t;
        }
        case Value::Kind::Memo:
        case Value::Kind::Binary: return v.text;
        case Value::Kind::Logical: return v.integer ? "T" : "F";
        case Value::Kind::Integer: return std::to_string(v.integer);
        case Value::Kind::Double:
            return def.type == kNumeric ? formatFixed(v.real, def.decimals) : formatDouble(v.real);
        case Value::Kind::Scaled: {
            const std::int64_t a = v.integer < 0 ? -v.integer : v.integer;
            std::string frac = std::to_string(10000 + a % 10000).substr(1);
            return (v.integer < 0 ? "-" : "") + std::to_string(a / 10000) + "." + frac;
        }
        case Value::Kind::Date: return compactFromJulian(v.integer);
        case Value::Kind::Time: {
            const auto ms = static_cast<int>(v.integer);
            return two(ms / 3600000) + ":" + two(ms / 60000 % 60) + ":" + two(ms / 1000 % 60) + "." +
                   std::to_string(1000 + ms % 1000).substr(1);
        }
        case Value::Kind::Timestamp: {
            const auto ms = static_cast<int>(v.millis);
            return compactFromJulian(v.integer) + " " + two(ms / 3600000) + ":" + two(ms / 60000 % 60) + ":" +
                   two(ms / 1000 % 60) + "." + std::to_string(1000 + ms % 1000).substr(1);
        }
        default: return {};
    }
}

}  // namespace lce
