// One string value changed in a store document, every other line kept.
#include "store/reg_edit.h"

#include <vector>

#include "framework/text_codec.h"

namespace reg {
namespace {

bool Writable(std::string_view text) {
    return fw::IsValidUtf8(text) && text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string ValueLine(std::string_view name, std::string_view text) {
    return (name.empty() ? std::string("@") : QuoteString(name)) + "=" + QuoteString(text);
}

std::optional<Line> MakeLine(const Document& doc, std::string_view text, bool withEnd) {
    auto raw = EncodeLine(doc, text);
    auto end = EncodeLine(doc, doc.lineEnd);
    if (!raw || !end) return std::nullopt;
    return Line{std::move(*raw), withEnd ? std::move(*end) : std::string(), std::string(text)};
}

// True when the bytes read back with exactly that string in force.
bool ReadsBack(const std::string& bytes, std::string_view keyPath, std::string_view name, std::string_view text) {
    const Document doc = ParseStore(bytes);
    const KeyEntry* key = doc.FindKey(keyPath);
    if (key == nullptr) return false;
    const auto it = key->values.find(FoldCase(name));
    if (it == key->values.end()) return false;
    std::string expected(text);
    expected.push_back('\0');
    return it->second.value.type == REG_SZ && it->second.value.data == expected;
}

// Gives the line before `at` a line end, so that a line can follow it.
bool EndLineBefore(Document& doc, std::size_t at) {
    if (at == 0 || !doc.lines[at - 1].rawEnd.empty()) return true;
    auto end = EncodeLine(doc, doc.lineEnd);
    if (!end) return false;
    doc.lines[at - 1].rawEnd = std::move(*end);
    return true;
}

std::optional<std::string> InPlace(Document doc, const KeyEntry& key, std::string_view name, std::string_view text) {
    const auto it = key.values.find(FoldCase(name));
    if (it == key.values.end()) return std::nullopt;
    const ValueEntry& entry = it->second;
    const bool hadEnd = !doc.lines[entry.endLine - 1].rawEnd.empty();
    auto line = MakeLine(doc, ValueLine(name, text), hadEnd);
    if (!line) return std::nullopt;
    // Keep the line end that the replaced definition had, byte for byte.
    if (hadEnd) line->rawEnd = doc.lines[entry.endLine - 1].rawEnd;
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(entry.firstLine),
                    doc.lines.begin() + static_cast<std::ptrdiff_t>(entry.endLine));
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(entry.firstLine), std::move(*line));
    return SerializeStore(doc);
}

std::optional<std::string> IntoSection(Document doc, const KeyEntry& key, std::string_view name,
                                       std::string_view text) {
    if (!key.sectionEnd) return std::nullopt;
    const std::size_t at = *key.sectionEnd;
    if (!EndLineBefore(doc, at)) return std::nullopt;
    auto line = MakeLine(doc, ValueLine(name, text), true);
    if (!line) return std::nullopt;
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(*line));
    return SerializeStore(doc);
}

std::optional<std::string> Appended(Document doc, std::string_view keyPath, std::string_view name,
                                    std::string_view text) {
    const std::size_t at = doc.lines.size();
    if (!EndLineBefore(doc, at)) return std::nullopt;
    const bool lastBlank =
        at == 0 || (doc.lines[at - 1].text && doc.lines[at - 1].text->find_first_not_of(" \t") == std::string::npos);
    std::string section = "[HKEY_CURRENT_USER";
    if (!keyPath.empty()) section += "\\" + std::string(keyPath);
    section += "]";
    // Sections are set apart by an empty line, as the registry editor writes them.
    std::vector<std::string> added;
    if (!lastBlank) added.emplace_back();
    added.push_back(section);
    added.push_back(ValueLine(name, text));
    for (const std::string& t : added) {
        auto line = MakeLine(doc, t, true);
        if (!line) return std::nullopt;
        doc.lines.push_back(std::move(*line));
    }
    return SerializeStore(doc);
}

}  // namespace

std::optional<std::string> WithStringValue(const Document& document, std::string_view keyPath, std::string_view name,
                                           std::string_view text) {
    if (!document.format || !Writable(text) || !Writable(name) || !Writable(keyPath)) return std::nullopt;
    if (const KeyEntry* key = document.FindKey(keyPath)) {
        for (auto attempt : {InPlace(document, *key, name, text), IntoSection(document, *key, name, text)})
            if (attempt && ReadsBack(*attempt, keyPath, name, text)) return attempt;
    }
    auto appended = Appended(document, keyPath, name, text);
    if (appended && ReadsBack(*appended, keyPath, name, text)) return appended;
    return std::nullopt;
}

std::optional<std::string> NewStoreWithStringValue(std::string_view keyPath, std::string_view name,
                                                   std::string_view text) {
    Document doc;
    doc.encoding = Encoding::Utf16Le;
    doc.format = Format::Version5;
    doc.lineEnd = "\r\n";
    auto header = MakeLine(doc, kVersion5Header, true);
    if (!header) return std::nullopt;
    doc.lines.push_back(std::move(*header));
    return WithStringValue(doc, keyPath, name, text);
}

}  // namespace reg
