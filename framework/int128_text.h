#pragma once
// Helpers for the 128-bit scaled integers behind Decimal.
#include <string>

namespace fw::detail {

using i128 = __int128;
using u128 = unsigned __int128;

// 10^exponent for exponent 0..38.
u128 Pow10(int exponent);
// Decimal digits of a magnitude, without sign ("0" for zero).
std::string DigitsOf(u128 magnitude);
constexpr u128 Magnitude(i128 value) { return value < 0 ? -static_cast<u128>(value) : static_cast<u128>(value); }
// value / divisor rounded to the nearest integer, an exact half to even.
i128 DivideRoundHalfEven(i128 value, u128 divisor);

}  // namespace fw::detail
