#pragma once
// Text encodings at the edges of the system. Inside it, text is 8-bit
// Windows-1252 (the tables) or UTF-8 (files we read and write, the window);
// the settings store may also hold UTF-16LE. These conversions are the one
// place that knows the code page; invalid input gives no result rather than a
// guess, and says where it went wrong.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// One UTF-8 sequence at `at`, which is advanced past it; nothing (and `at`
// unchanged) when the bytes there are not valid UTF-8 (overlong forms,
// surrogates and values above U+10FFFF included).
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& at);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

bool IsValidUtf8(std::string_view text);

// UTF-16LE bytes (an even count, surrogates paired) to UTF-8; NULs are kept.
std::optional<std::string> Utf16LeToUtf8(std::string_view bytes);

// UTF-8 to UTF-16LE bytes; nothing when the text is not valid UTF-8.
std::optional<std::string> Utf8ToUtf16Le(std::string_view text);

struct Windows1252Result {
    enum class Fault { None, InvalidUtf8, Nul, NoWindows1252Form };
    std::string text;  // the 8-bit text, when Fault::None
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

}  // namespace fw
