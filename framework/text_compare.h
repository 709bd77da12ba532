#pragma once
// ASCII case as the system uses it: names compare ignoring the case of ASCII
// letters, and upper-casing touches those letters only, so the 8-bit
// Windows-1252 text the tables hold keeps its other bytes whatever the C
// library's locale is.
#include <algorithm>
#include <string>
#include <string_view>

namespace fw {

constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string AsciiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

inline std::string AsciiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AsciiUpper(c);
    return out;
}

constexpr bool SameText(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

}  // namespace fw
