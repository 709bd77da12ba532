// Text of character and memo columns: the tables hold 8-bit text in the
// Windows-1252 code page, as they always did; CSV files hold UTF-8. These
// convert between the two and say exactly where a text cannot be converted.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace payxref::db {

// One UTF-8 sequence at `at`, which is advanced past it; nothing (and `at`
// unchanged) when the bytes there are not valid UTF-8 (overlong forms,
// surrogates and values above U+10FFFF included).
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& at);

struct Windows1252Result {
    enum class Fault { None, InvalidUtf8, Nul, NoWindows1252Form };
    std::string text;           // the 8-bit text, when Fault::None
    Fault fault = Fault::None;
    std::size_t character = 0;  // the faulty character, from 1
    char32_t codePoint = 0;     // for NoWindows1252Form and Nul
    unsigned char byte = 0;     // the first byte that is not UTF-8, for InvalidUtf8
};

// UTF-8 to Windows-1252, one byte per character. The five bytes the code
// page leaves unassigned stand for the C1 controls of the same value, so
// that every byte a table holds comes back as it was.
Windows1252Result Utf8ToWindows1252(std::string_view utf8);

// Windows-1252 to UTF-8; every byte has a character.
std::string Windows1252ToUtf8(std::string_view bytes);

// A text for a message: in quotes, cut after `maxCharacters` characters with
// "…" marking the cut; control characters and bytes that are not UTF-8 shown
// as \xNN.
std::string QuoteForMessage(std::string_view text, std::size_t maxCharacters = 60);

}  // namespace payxref::db
