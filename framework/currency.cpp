// Currency: conversions from doubles rounded from their exact binary value, and
// the checks that keep values within 64 bits.
#include <cmath>
#include <cstdint>
#include <limits>

#include "framework/currency.h"
#include "framework/exceptions.h"

namespace fw {

namespace {

using u128 = unsigned __int128;

constexpr u128 kMaxPositive = static_cast<u128>(std::numeric_limits<std::int64_t>::max());
constexpr u128 kMaxNegative = kMaxPositive + 1;  // |INT64_MIN|

[[noreturn]] void ThrowOverflow() { throw EOverflow("Floating point overflow"); }

}  // namespace

// The double is split into its exact integer mantissa and binary exponent, so
// value * 10 000 is formed without any intermediate rounding. The result is the
// nearest integer to that exact product; only a product ending in exactly .5
// (a binary fraction such as 0.03125) is a tie, and it goes to the even raw
// value: 0.03125 -> 0.0312, 0.09375 -> 0.0938.
Currency Currency::FromDouble(double value) {
    if (std::isnan(value)) throw EConvertError("Invalid floating point operation");
    if (std::isinf(value)) ThrowOverflow();
    if (value == 0) return Currency{};

    const bool negative = std::signbit(value);
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);  // [0.5, 1)
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = exponent - 53;  // |value| = mantissa * 2^shift exactly
    const u128 product = static_cast<u128>(mantissa) * static_cast<u128>(Scale);  // < 2^67
    const u128 limit = negative ? kMaxNegative : kMaxPositive;

    u128 magnitude = 0;
    if (shift >= 0) {
        if (shift >= 64 || product > (limit >> shift)) ThrowOverflow();
        magnitude = product << shift;
    } else {
        const int drop = -shift;
        if (drop < 100) {
            const u128 one = 1;
            const u128 quotient = product >> drop;
            const u128 remainder = product & ((one << drop) - 1);
            const u128 half = one << (drop - 1);
            magnitude = quotient;
            if (remainder > half || (remainder == half && (quotient & 1) != 0)) ++magnitude;
        }  // else the product is far below one half: it rounds to 0
    }
    if (magnitude > limit) ThrowOverflow();
    const std::int64_t raw =
        negative ? static_cast<std::int64_t>(-static_cast<__int128>(magnitude)) : static_cast<std::int64_t>(magnitude);
    return FromRaw(raw);
}

Currency Currency::FromInteger(std::int64_t value) {
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / Scale;
    if (value > limit || value < -limit) ThrowOverflow();
    return FromRaw(value * Scale);
}

}  // namespace fw
