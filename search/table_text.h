#pragma once
// The tables hold 8-bit text in the Windows-1252 code page; the command line
// and the CSV and JSON outputs use UTF-8. These convert between the two.
#include <optional>
#include <string>
#include <string_view>

namespace app {

// Table text as UTF-8; every byte has a character.
std::string Utf8FromTableText(std::string_view bytes);

// UTF-8 as table text; nothing when the text is not UTF-8 or holds a
// character the code page lacks.
std::optional<std::string> TableTextFromUtf8(std::string_view utf8);

}  // namespace app
