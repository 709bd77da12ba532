// Field values to and from the text of a CSV cell, by column type; character
// columns converted between UTF-8 and Windows-1252.
#include "tools/cells.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "framework/format.h"
#include "framework/text_compare.h"
#include "tools/text_1252.h"

namespace payxref::db {
namespace {

bool IsCharacter(std::uint16_t type) {
    return type == lce::kCharacter || type == lce::kCiCharacter || type == lce::kVarChar;
}
bool IsMemo(std::uint16_t type) { return type == lce::kMemo || type == lce::kVarMemo; }
bool IsBinary(std::uint16_t type) {
    return type == lce::kBinary || type == lce::kImage || type == lce::kRaw || type == lce::kVarBinary ||
           type == lce::kBlob51 || type == lce::kBlob52;
}

// A number in the one form every numeric column takes (see cells.h).
struct NumberText {
    bool negative = false;
    std::string_view unsignedText;  // without the sign, as from_chars takes it
    std::string_view whole;
    std::string_view fraction;
    bool point = false;
    bool exponent = false;
};

bool AllDigits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::optional<NumberText> SplitNumber(std::string_view text, bool allowExponent) {
    NumberText n;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        n.negative = text[0] == '-';
        text.remove_prefix(1);
    }
    n.unsignedText = text;
    if (allowExponent) {
        const std::size_t e = text.find_first_of("eE");
        if (e != std::string_view::npos) {
            std::string_view power = text.substr(e + 1);
            if (!power.empty() && (power[0] == '-' || power[0] == '+')) power.remove_prefix(1);
            if (power.empty() || !AllDigits(power)) return std::nullopt;
            n.exponent = true;
            text = text.substr(0, e);
        }
    }
    const std::size_t dot = text.find('.');
    n.point = dot != std::string_view::npos;
    n.whole = text.substr(0, dot);
    n.fraction = n.point ? text.substr(dot + 1) : std::string_view{};
    if (n.whole.empty() && n.fraction.empty()) return std::nullopt;
    if (!AllDigits(n.whole) || !AllDigits(n.fraction)) return std::nullopt;
    return n;
}

std::int64_t ParseInteger(std::string_view text, std::int64_t low, std::int64_t high) {
    const auto n = SplitNumber(text, false);
    if (!n || n->point) throw CellError("is not a whole number");
    std::uint64_t magnitude = 0;
    const char* end = n->whole.data() + n->whole.size();
    const auto [ptr, ec] = std::from_chars(n->whole.data(), end, magnitude);
    if (ec == std::errc::result_out_of_range || magnitude > std::uint64_t{1} << 63) throw CellError("is out of range");
    if (ec != std::errc() || ptr != end) throw CellError("is not a whole number");
    // In unsigned arithmetic, so that the lowest 64-bit value is reached without overflow.
    const auto value = static_cast<std::int64_t>(n->negative ? ~magnitude + 1 : magnitude);
    if (!n->negative && magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        throw CellError("is out of range");
    if (value < low || value > high) throw CellError("is out of range");
    return value;
}

double ParseDouble(std::string_view text) {
    const auto n = SplitNumber(text, true);
    if (!n) throw CellError("is not a number");
    double value = 0;
    const char* end = n->unsignedText.data() + n->unsignedText.size();
    const auto [ptr, ec] = std::from_chars(n->unsignedText.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) throw CellError("is not a number");
    return n->negative ? -value : value;
}

// Decimal text with up to four decimals as an exact count of ten-thousandths.
std::int64_t ParseScaled(std::string_view text) {
    const auto n = SplitNumber(text, false);
    if (!n) throw CellError("is not a number");
    const bool negative = n->negative;
    const std::string_view whole = n->whole;
    const std::string_view fraction = n->fraction;
    if (fraction.size() > 4) throw CellError("has more than four decimals");
    // The money column's null pattern is the lowest 64-bit value; stay above it.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (const char c : whole) {
        if (value > (kMax - (c - '0')) / 10) throw CellError("is out of range");
        value = value * 10 + (c - '0');
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const int digit = i < fraction.size() ? fraction[i] - '0' : 0;
        if (value > (kMax - digit) / 10) throw CellError("is out of range");
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

int Digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) throw CellError("");
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') throw CellError("");
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

std::int64_t ParseDate(std::string_view text) {
    try {
        if (text.size() != 10 || text[4] != '-' || text[7] != '-') throw CellError("");
        const int year = Digits(text, 0, 4);
        const int month = Digits(text, 5, 2);
        const int day = Digits(text, 8, 2);
        if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
            throw CellError("");
        }
        return JulianDay(year, month, day);
    } catch (const CellError&) {
        throw CellError("is not a date (YYYY-MM-DD)");
    }
}

// HH:MM:SS[.fff] as milliseconds since midnight.
std::uint32_t ParseTime(std::string_view text) {
    if (text.size() != 8 && text.size() != 12) throw CellError("");
    if (text[2] != ':' || text[5] != ':') throw CellError("");
    const int hours = Digits(text, 0, 2);
    const int minutes = Digits(text, 3, 2);
    const int seconds = Digits(text, 6, 2);
    int millis = 0;
    if (text.size() == 12) {
        if (text[8] != '.') throw CellError("");
        millis = Digits(text, 9, 3);
    }
    if (hours > 23 || minutes > 59 || seconds > 59) throw CellError("");
    return static_cast<std::uint32_t>(((hours * 60 + minutes) * 60 + seconds) * 1000 + millis);
}

bool ParseLogical(std::string_view text) {
    const std::string lower = fw::AsciiLowerCase(text);
    if (lower == "t" || lower == "y" || lower == "1" || lower == "true") return true;
    if (lower == "f" || lower == "n" || lower == "0" || lower == "false") return false;
    throw CellError("is not a logical value (T/F, Y/N, 1/0, true/false)");
}

std::string ParseHex(std::string_view text) {
    if (text.size() % 2 != 0) throw CellError("is not hexadecimal bytes");
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (ec != std::errc() || ptr != text.data() + i + 2) throw CellError("is not hexadecimal bytes");
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

std::string CodePointName(char32_t cp) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string digits;
    for (; cp != 0 || digits.size() < 4; cp >>= 4) digits.insert(digits.begin(), kHex[cp & 15]);
    return "U+" + digits;
}

// A cell of a character or memo column as the table holds it.
std::string ToTableText(std::string_view utf8) {
    using Fault = Windows1252Result::Fault;
    Windows1252Result r = Utf8ToWindows1252(utf8);
    const std::string at = "at character " + std::to_string(r.character);
    switch (r.fault) {
        case Fault::None: return std::move(r.text);
        case Fault::InvalidUtf8: throw CellError("is not UTF-8 text (" + at + ")");
        case Fault::Nul: throw CellError("holds a NUL character (" + at + ")");
        case Fault::NoWindows1252Form: {
            std::string character;
            std::size_t from = 0;
            std::size_t k = 0;
            // The character itself, as it stood in the cell.
            while (k + 1 < r.character) {
                NextUtf8(utf8, from);
                ++k;
            }
            std::size_t to = from;
            NextUtf8(utf8, to);
            character = std::string(utf8.substr(from, to - from));
            throw CellError("holds " + character + " (" + CodePointName(r.codePoint) + ", " + at +
                            "), which has no Windows-1252 form");
        }
    }
    return {};
}

std::string TwoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

std::string FormatDate(std::int64_t julianDay) {
    int year = 0;
    int month = 0;
    int day = 0;
    CivilDate(julianDay, year, month, day);
    std::string y = std::to_string(year);
    while (y.size() < 4) y.insert(y.begin(), '0');
    return y + "-" + TwoDigits(month) + "-" + TwoDigits(day);
}

std::string FormatTime(std::uint32_t millis) {
    const std::uint32_t seconds = millis / 1000;
    std::string text = TwoDigits(static_cast<int>(seconds / 3600)) + ":" +
                       TwoDigits(static_cast<int>(seconds / 60 % 60)) + ":" + TwoDigits(static_cast<int>(seconds % 60));
    if (millis % 1000 != 0) {
        std::string fraction = std::to_string(millis % 1000);
        while (fraction.size() < 3) fraction.insert(fraction.begin(), '0');
        text += "." + fraction;
    }
    return text;
}

std::string FormatDouble(double value) {
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, ptr) : std::string();
}

std::string FormatScaled(std::int64_t value) {
    const bool negative = value < 0;
    // Negate in unsigned arithmetic so the lowest value cannot overflow.
    const std::uint64_t magnitude =
        negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    std::string text = std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000);
    while (fraction.size() < 4) fraction.insert(fraction.begin(), '0');
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    return negative ? "-" + text : text;
}

}  // namespace

std::int64_t JulianDay(int year, int month, int day) {
    return static_cast<std::int64_t>(fw::EncodeDate(year, month, day)) + fw::JulianDayOfDateTimeZero;
}

void CivilDate(std::int64_t julianDay, int& year, int& month, int& day) {
    fw::DecodeDate(static_cast<double>(julianDay - fw::JulianDayOfDateTimeZero), year, month, day);
}

lce::Value ParseCell(std::string_view text, bool quoted, const lce::ColumnDef& column) {
    const std::uint16_t type = column.type;
    if (text.empty()) {
        if (quoted && IsCharacter(type)) return lce::Value::ofText("");
        if (quoted && IsMemo(type)) return lce::Value::ofMemo("");
        return lce::Value::null();
    }
    if (IsCharacter(type)) {
        std::string stored = ToTableText(text);
        if (stored.size() > column.length) {
            throw CellError("is longer than the column's " + std::to_string(column.length) + " characters");
        }
        return lce::Value::ofText(std::move(stored));
    }
    if (IsMemo(type)) return lce::Value::ofMemo(ToTableText(text));
    if (IsBinary(type)) return lce::Value::ofBinary(ParseHex(text));
    switch (type) {
        case lce::kLogical: return lce::Value::ofLogical(ParseLogical(text));
        case lce::kNumeric:
        case lce::kDouble:
        case lce::kCurrencyDouble: return lce::Value::ofDouble(ParseDouble(text));
        case lce::kInteger:  // the lowest value is the column's null pattern
            return lce::Value::ofInteger(ParseInteger(text, -2147483647, 2147483647));
        case lce::kAutoIncrement: return lce::Value::ofInteger(ParseInteger(text, 0, 2147483647));
        case lce::kShortInteger: return lce::Value::ofInteger(ParseInteger(text, -32767, 32767));
        case lce::kLongInteger:
            return lce::Value::ofInteger(ParseInteger(text, std::numeric_limits<std::int64_t>::min() + 1,
                                                      std::numeric_limits<std::int64_t>::max()));
        case lce::kMoney: return lce::Value::ofScaled(ParseScaled(text));
        case lce::kDate:
        case lce::kCompactDate: return lce::Value::ofDate(ParseDate(text));
        case lce::kTime: try { return lce::Value::ofTime(ParseTime(text));
            } catch (const CellError&) {
                throw CellError("is not a time (HH:MM:SS[.fff])");
            }
        case lce::kTimestamp:
        case lce::kModTime:
            try {
                if (text.size() < 19 || text[10] != ' ') throw CellError("");
                return lce::Value::ofTimestamp(ParseDate(text.substr(0, 10)), ParseTime(text.substr(11)));
            } catch (const CellError&) {
                throw CellError("is not a timestamp (YYYY-MM-DD HH:MM:SS[.fff])");
            }
        default: throw CellError("cannot be imported into a column of engine type " + std::to_string(type));
    }
}

std::string FormatCell(const lce::Value& value, const lce::ColumnDef& column, bool& quoted) {
    quoted = false;
    using Kind = lce::Value::Kind;
    switch (value.kind) {
        case Kind::Null: return {};
        case Kind::Text:
        case Kind::Memo: quoted = value.text.empty(); return Windows1252ToUtf8(value.text);
        case Kind::Binary: {
            static constexpr char kHex[] = "0123456789ABCDEF";
            std::string text;
            for (const char c : value.text) {
                const auto byte = static_cast<unsigned char>(c);
                text.push_back(kHex[byte >> 4]);
                text.push_back(kHex[byte & 15]);
            }
            return text;
        }
        case Kind::Integer: return std::to_string(value.integer);
        case Kind::Double: return FormatDouble(value.real);
        case Kind::Scaled:
            if (column.type == lce::kMoney) return FormatScaled(value.integer);
            return FormatDouble(static_cast<double>(value.integer) / 10000.0);
        case Kind::Logical: return value.integer != 0 ? "T" : "F";
        case Kind::Date: return FormatDate(value.integer);
        case Kind::Timestamp: return FormatDate(value.integer) + " " + FormatTime(value.millis);
        case Kind::Time: return FormatTime(static_cast<std::uint32_t>(value.integer));
    }
    return {};
}

}  // namespace payxref::db
