// Decimal: a 128-bit scaled integer parsed from and written as text, with
// round-half-even when a scale is reduced.
#include <charconv>
#include <limits>
#include <system_error>

#include "framework/currency.h"
#include "framework/exceptions.h"
#include "framework/int128_text.h"

namespace fw {

namespace detail {

u128 Pow10(int exponent) {
    u128 result = 1;
    for (int i = 0; i < exponent; ++i) result *= 10;
    return result;
}

std::string DigitsOf(u128 magnitude) {
    if (magnitude == 0) return "0";
    std::string reversed;
    while (magnitude != 0) {
        reversed += static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    }
    return {reversed.rbegin(), reversed.rend()};
}

i128 DivideRoundHalfEven(i128 value, u128 divisor) {
    const u128 magnitude = Magnitude(value);
    u128 quotient = magnitude / divisor;
    const u128 remainder = magnitude % divisor;
    const u128 rest = divisor - remainder;  // remainder*2 compared with divisor, overflow-free
    if (remainder > rest || (remainder == rest && (quotient & 1) != 0)) ++quotient;
    return value < 0 ? -static_cast<i128>(quotient) : static_cast<i128>(quotient);
}

}  // namespace detail

namespace {

using detail::i128;
using detail::u128;

constexpr u128 kMaxMagnitude = static_cast<u128>(std::numeric_limits<i128>::max());

[[noreturn]] void ThrowBcdOverflow() { throw EOverflow("BCD overflow"); }

[[noreturn]] void ThrowInvalid(const std::string& text) {
    throw EConvertError(Format("'%s' is not a valid BCD value", {text}));
}

// Significant digits and a power of ten: value = digits * 10^exponent.
struct DecimalText {
    bool negative = false;
    std::string digits;
    long exponent = 0;
};

// Reads [-+]digits[.digits][e[-+]digits]; the exponent only when allowed.
bool ReadDecimalText(std::string_view text, bool allowExponent, DecimalText& out) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) out.negative = text[i++] == '-';
    bool anyDigit = false;
    long fractionDigits = 0;
    bool inFraction = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            anyDigit = true;
            if (!(out.digits.empty() && c == '0')) out.digits += c;
            if (inFraction) ++fractionDigits;
        } else if (c == '.' && !inFraction) {
            inFraction = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return false;
    long exponent = 0;
    if (i < text.size() && allowExponent && (text[i] == 'e' || text[i] == 'E')) {
        const char* first = text.data() + i + 1;
        const char* last = text.data() + text.size();
        if (first != last && *first == '+') ++first;
        const auto [end, error] = std::from_chars(first, last, exponent);
        if (error != std::errc{} || end != last) return false;
        i = text.size();
    }
    if (i != text.size()) return false;
    out.exponent = exponent - fractionDigits;
    return true;
}

// Builds the value, rounding away digits beyond the largest scale.
Decimal FromText(const DecimalText& text) {
    std::string digits = text.digits;
    long exponent = text.exponent;
    if (digits.empty()) return Decimal{};
    bool roundUp = false;
    if (exponent < -Decimal::MaxScale) {
        const long drop = -Decimal::MaxScale - exponent;
        exponent = -Decimal::MaxScale;
        const long keep = static_cast<long>(digits.size()) - drop;
        if (keep < 0) {
            digits.clear();  // the first dropped digit is a leading zero
        } else {
            const char first = digits[static_cast<std::size_t>(keep)];
            const bool restNonZero =
                digits.find_first_not_of('0', static_cast<std::size_t>(keep) + 1) != std::string::npos;
            digits.resize(static_cast<std::size_t>(keep));
            const bool lastOdd = !digits.empty() && ((digits.back() - '0') & 1) != 0;
            roundUp = first > '5' || (first == '5' && (restNonZero || lastOdd));
        }
    }
    if (exponent > 0) {
        if (digits.size() + static_cast<std::size_t>(exponent) > 39) ThrowBcdOverflow();
        digits.append(static_cast<std::size_t>(exponent), '0');
        exponent = 0;
    }
    u128 magnitude = 0;
    for (const char c : digits) {
        const auto digit = static_cast<u128>(c - '0');
        if (magnitude > (kMaxMagnitude - digit) / 10) ThrowBcdOverflow();
        magnitude = magnitude * 10 + digit;
    }
    if (roundUp) {
        if (magnitude == kMaxMagnitude) ThrowBcdOverflow();
        ++magnitude;
    }
    const i128 unscaled = text.negative ? -static_cast<i128>(magnitude) : static_cast<i128>(magnitude);
    return Decimal::FromUnscaled(unscaled, static_cast<int>(-exponent));
}

// Unscaled value as "digits e-scale", the exact value in a form from_chars reads.
std::string ScientificText(const Decimal& d) {
    std::string text = d.Unscaled() < 0 ? "-" : "";
    text += detail::DigitsOf(detail::Magnitude(d.Unscaled()));
    text += "e-" + std::to_string(d.DecimalScale());
    return text;
}

}  // namespace

Decimal Decimal::FromUnscaled(__int128 unscaled, int scale) {
    if (scale > MaxScale) {
        unscaled = detail::DivideRoundHalfEven(unscaled, detail::Pow10(scale - MaxScale));
        scale = MaxScale;
    }
    for (; scale < 0; ++scale) {
        if (detail::Magnitude(unscaled) > kMaxMagnitude / 10) ThrowBcdOverflow();
        unscaled *= 10;
    }
    Decimal d;
    d.unscaled_ = unscaled;
    d.scale_ = scale;
    return d;
}

Decimal Decimal::FromDouble(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    DecimalText parsed;
    if (error != std::errc{} || !ReadDecimalText(text, true, parsed)) {
        // NaN and infinities have no decimal value.
        throw EConvertError("Invalid floating point operation");
    }
    return FromText(parsed);
}

Decimal Decimal::Parse(const std::string& text) {
    DecimalText parsed;
    if (!ReadDecimalText(text, false, parsed)) ThrowInvalid(text);
    return FromText(parsed);
}

double Decimal::ToDouble() const {
    const std::string text = ScientificText(*this);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

long double Decimal::ToLongDouble() const {
    const std::string text = ScientificText(*this);
    long double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

Currency Decimal::ToCurrency() const {
    i128 raw = unscaled_;
    if (scale_ > 4) {
        raw = detail::DivideRoundHalfEven(raw, detail::Pow10(scale_ - 4));
    } else {
        for (int s = scale_; s < 4; ++s) {
            if (detail::Magnitude(raw) > kMaxMagnitude / 10) throw EOverflow("Floating point overflow");
            raw *= 10;
        }
    }
    if (raw > std::numeric_limits<std::int64_t>::max() || raw < std::numeric_limits<std::int64_t>::min()) {
        throw EOverflow("Floating point overflow");
    }
    return Currency::FromRaw(static_cast<std::int64_t>(raw));
}

std::string Decimal::ToString(char decimalSeparator) const {
    std::string digits = detail::DigitsOf(detail::Magnitude(unscaled_));
    const auto scale = static_cast<std::size_t>(scale_);
    if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
    if (scale > 0) digits.insert(digits.size() - scale, 1, decimalSeparator);
    return unscaled_ < 0 ? "-" + digits : digits;
}

// Compares integer parts first, then the fractions brought to the largest
// scale; neither step can overflow, whatever the two scales are.
std::strong_ordering Decimal::operator<=>(const Decimal& other) const {
    const auto parts = [](const Decimal& d) {
        const i128 unit = static_cast<i128>(detail::Pow10(d.scale_));
        const i128 whole = d.unscaled_ / unit;
        const i128 fraction = (d.unscaled_ % unit) * static_cast<i128>(detail::Pow10(MaxScale - d.scale_));
        return std::pair{whole, fraction};
    };
    const auto [wholeA, fractionA] = parts(*this);
    const auto [wholeB, fractionB] = parts(other);
    if (wholeA != wholeB) return wholeA < wholeB ? std::strong_ordering::less : std::strong_ordering::greater;
    if (fractionA != fractionB)
        return fractionA < fractionB ? std::strong_ordering::less : std::strong_ordering::greater;
    return std::strong_ordering::equal;
}

}  // namespace fw
