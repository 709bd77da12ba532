#pragma once
// Case as the system uses it. Most names compare ignoring the case of ASCII
// letters, and upper-casing touches those letters only, so the 8-bit
// Windows-1252 text the tables hold keeps its other bytes whatever the C
// library's locale is. Field and column names compare as the system's locale
// does, with every Windows-1252 letter and its case partner (AnsiSameText).
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

// The lower-case partner of a Windows-1252 letter, as the system's locale
// pairs them: A-Z, the accented capitals 0xC0-0xDE (but 0xD7, the
// multiplication sign) and the four capitals of 0x80-0x9F (Š, Œ, Ž, Ÿ). Every
// other byte, lower-case letters without a capital (ß, µ, ª, º) included, is
// its own partner.
constexpr char AnsiLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) return static_cast<char>(u + 0x20);
    switch (u) {
        case 0x8A:
        case 0x8C:
        case 0x8E: return static_cast<char>(u + 0x10);
        case 0x9F: return static_cast<char>(0xFF);
        default: return c;
    }
}

// Names of fields and columns compare ignoring case as the system's locale
// does for 8-bit text: every Windows-1252 letter equals its case partner, and
// nothing else is folded (no accents dropped, no "ß" against "SS").
constexpr bool AnsiSameText(std::string_view a, std::string_view b) {
    // Most names are written as they were defined: equal bytes need no folding.
    if (a.size() != b.size()) return false;
    if (a == b) return true;
    return std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AnsiLower(x) == AnsiLower(y); });
}

}  // namespace fw
