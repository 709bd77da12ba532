#pragma once
// Exact fixed-point numbers: Currency (four decimals in 64 bits) and Decimal
// (a 128-bit scaled integer, at least 32 significant digits).
#include <compare>
#include <cstdint>
#include <string>

namespace fw {

struct FormatSettings;

class Currency {
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Currency() = default;
    // The value times 10 000, as stored.
    static constexpr Currency FromRaw(std::int64_t raw) {
        Currency c;
        c.raw_ = raw;
        return c;
    }
    // Rounds the double's exact binary value to the nearest 0.0001; an exact
    // tie (only binary fractions such as 0.03125 are ties) goes to the even
    // neighbour. Raises EOverflow "Floating point overflow" outside the 64-bit
    // range or for an infinity, EConvertError "Invalid floating point
    // operation" for NaN.
    static Currency FromDouble(double value);
    static Currency FromInteger(std::int64_t value);  // EOverflow when out of range

    constexpr std::int64_t Raw() const { return raw_; }
    double ToDouble() const { return static_cast<double>(raw_) / Scale; }
    long double ToLongDouble() const { return static_cast<long double>(raw_) / Scale; }

    constexpr auto operator<=>(const Currency&) const = default;

private:
    std::int64_t raw_ = 0;
};

class Decimal {
public:
    static constexpr int MaxScale = 30;

    constexpr Decimal() = default;
    // value = unscaled / 10^scale. A scale above MaxScale is rounded to it (ties
    // to even); a negative scale is multiplied out (EOverflow "BCD overflow"
    // when it does not fit).
    static Decimal FromUnscaled(__int128 unscaled, int scale);
    static Decimal FromInteger(std::int64_t value) { return FromUnscaled(value, 0); }
    static Decimal FromCurrency(Currency c) { return FromUnscaled(c.Raw(), 4); }
    // The double's shortest round-trip decimal text taken exactly (0.1 is 0.1);
    // EConvertError for NaN and infinities, EOverflow beyond 128 bits.
    static Decimal FromDouble(double value);
    // Parses "-123.4500" (decimal separator ".", no exponent); EConvertError
    // "'%s' is not a valid BCD value" on bad text, EOverflow beyond 128 bits.
    // Digits beyond MaxScale decimals are rounded, ties to even.
    static Decimal Parse(const std::string& text);

    __int128 Unscaled() const { return unscaled_; }
    int DecimalScale() const { return scale_; }
    double ToDouble() const;
    long double ToLongDouble() const;
    // Rounds to four decimals (ties to even); EOverflow when out of range.
    Currency ToCurrency() const;
    // Plain decimal text, no exponent, with the given decimal separator.
    std::string ToString(char decimalSeparator = '.') const;

    // Exact comparison of the values, whatever their scales.
    std::strong_ordering operator<=>(const Decimal& other) const;
    bool operator==(const Decimal& other) const { return (*this <=> other) == 0; }

private:
    __int128 unscaled_ = 0;
    int scale_ = 0;
};

}  // namespace fw
