// Table text to UTF-8 and back, through the kernel's one Windows-1252 codec,
// so the command line, the outputs and the import agree on every character.
#include "search/table_text.h"

#include "framework/text_codec.h"

namespace app {

std::string Utf8FromTableText(std::string_view bytes) { return fw::Windows1252ToUtf8(bytes); }

std::optional<std::string> TableTextFromUtf8(std::string_view utf8) {
    fw::Windows1252Result converted = fw::Utf8ToWindows1252(utf8);
    if (converted.fault != fw::Windows1252Result::Fault::None) return std::nullopt;
    return std::move(converted.text);
}

}  // namespace app
