#pragma once
// Conversions between the encodings a store file may use and the UTF-8 text
// the rest of the program works with. Invalid input gives no result rather
// than a guess, so a damaged line or value can be left out.
#include <optional>
#include <string>
#include <string_view>

namespace reg {

bool IsValidUtf8(std::string_view text);

// UTF-16LE bytes (an even count, surrogates paired) to UTF-8; NULs are kept.
std::optional<std::string> Utf16LeToUtf8(std::string_view bytes);

// UTF-8 to UTF-16LE bytes; nothing when the text is not valid UTF-8.
std::optional<std::string> Utf8ToUtf16Le(std::string_view text);

// 8-bit text in the Windows ANSI code page (Western, 1252) to UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace reg
