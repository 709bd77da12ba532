// FormatGeneral15: numbers as text with 15 significant digits, exponent form for
// very large and very small values, the locale's decimal separator.
#include <charconv>
#include <cmath>
#include <string>

#include "framework/format.h"

namespace fw {

// The general format with 15 significant digits:
//  1. Take the value with 18 significant digits, rounded to nearest. Keep the
//     first 15; when the 16th is 5 or more, round the 15-digit magnitude up
//     (which may carry into a new leading digit). Drop trailing zeros. The
//     digits d1..dn and exponent E give the value as 0.d1...dn x 10^E.
//  2. Zero is "0"; a negative value starts with "-"; no thousands separators.
//  3. E > 15 or E < -3: d1[<sep>d2...dn]E[-]|E-1|.
//  4. E <= 0: "0", the separator, -E zeros, the digits.
//  5. Otherwise the first E digits (zero-padded), then <sep> and the rest.
// The 18-digit step comes first on purpose: it can turn a 16th digit of 4
// followed by 9s into a 5, and so round up where a direct rounding would not.
std::string FormatGeneral15(long double value, const FormatSettings& settings) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";

    char buffer[64];
    // d.ddddddddddddddddde[+-]xx: 18 significant digits, correctly rounded.
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 17);
    const std::string text(buffer, result.ptr);
    std::string digits = text.substr(0, 1) + text.substr(2, 17);
    const char* exponentText = text.c_str() + text.find('e') + 1;
    if (*exponentText == '+') ++exponentText;
    int exponent = 0;
    std::from_chars(exponentText, text.c_str() + text.size(), exponent);
    ++exponent;

    const bool roundUp = digits[15] >= '5';
    digits.resize(15);
    if (roundUp) {
        int i = 14;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') digits[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) {
            digits.insert(digits.begin(), '1');
            ++exponent;
        } else {
            ++digits[static_cast<std::size_t>(i)];
        }
    }
    digits.erase(digits.find_last_not_of('0') + 1);

    const char separator = settings.DecimalSeparator;
    const auto count = static_cast<int>(digits.size());
    std::string out = value < 0 ? "-" : "";
    if (exponent > 15 || exponent < -3) {
        out += digits[0];
        if (count > 1) {
            out += separator;
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent - 1);
    } else if (exponent <= 0) {
        out += '0';
        out += separator;
        out.append(static_cast<std::size_t>(-exponent), '0');
        out += digits;
    } else {
        const auto whole = static_cast<std::size_t>(exponent);
        if (digits.size() <= whole) {
            out += digits;
            out.append(whole - digits.size(), '0');
        } else {
            out.append(digits, 0, whole);
            out += separator;
            out.append(digits, whole);
        }
    }
    return out;
}

}  // namespace fw
