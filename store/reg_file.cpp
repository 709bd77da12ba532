// Reading and writing the registry editor's export format within the
// store's limits (size, lines, line length, key depth).
#include "store/reg_file.h"

#include <charconv>

#include "framework/text_codec.h"

namespace reg {
namespace {

constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kRoot = "hkey_current_user";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

[[noreturn]] void Refuse(const std::string& what) { throw EStoreError(what); }

std::string LineLimitText() { return std::to_string(kMaxStoreLineBytes / 1024) + " KiB"; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && FoldCase(s.substr(0, prefix.size())) == prefix;
}

// Splits the bytes after the byte-order mark into physical lines; CR LF, LF
// and a lone CR each end a line. UTF-16LE is split on whole code units.
// Refuses more than kMaxStoreLines lines or a line over kMaxStoreLineBytes.
std::vector<Line> SplitLines(std::string_view body, Encoding encoding) {
    const std::size_t unit = encoding == Encoding::Utf16Le ? 2 : 1;
    const auto at = [&](std::size_t i) -> int {
        if (i + unit > body.size()) return -1;
        if (unit == 1) return static_cast<unsigned char>(body[i]);
        if (body[i + 1] != '\0') return 0x100;  // not an ASCII unit
        return static_cast<unsigned char>(body[i]);
    };
    std::vector<Line> lines;
    std::size_t begin = 0;
    std::size_t i = 0;
    const auto finish = [&](std::size_t contentEnd, std::size_t next) {
        if (lines.size() == kMaxStoreLines) Refuse("it has more than " + std::to_string(kMaxStoreLines) + " lines");
        if (contentEnd - begin > kMaxStoreLineBytes)
            Refuse("line " + std::to_string(lines.size() + 1) + " is longer than " + LineLimitText());
        Line line;
        line.raw = std::string(body.substr(begin, contentEnd - begin));
        line.rawEnd = std::string(body.substr(contentEnd, next - contentEnd));
        lines.push_back(std::move(line));
        begin = next;
    };
    while (i + unit <= body.size()) {
        // A line that never ends is refused as soon as it is too long.
        if (i - begin > kMaxStoreLineBytes)
            Refuse("line " + std::to_string(lines.size() + 1) + " is longer than " + LineLimitText());
        const int c = at(i);
        if (c == '\n') {
            finish(i, i + unit);
        } else if (c == '\r') {
            const std::size_t next = at(i + unit) == '\n' ? i + 2 * unit : i + unit;
            finish(i, next);
            i = next;
            continue;
        }
        i += unit;
    }
    if (begin < body.size()) finish(body.size(), body.size());
    for (Line& line : lines) {
        if (encoding == Encoding::Utf16Le)
            line.text = fw::Utf16LeToUtf8(line.raw);
        else if (fw::IsValidUtf8(line.raw))
            line.text = line.raw;
    }
    return lines;
}

// A damaged line that would have been a key line still ends the section
// before it, so its values cannot land in the wrong key.
bool LooksLikeKeyLine(const Line& line, Encoding encoding) {
    const std::size_t unit = encoding == Encoding::Utf16Le ? 2 : 1;
    for (std::size_t i = 0; i + unit <= line.raw.size(); i += unit) {
        const char c = line.raw[i];
        if (unit == 2 && line.raw[i + 1] != '\0') return false;
        if (IsBlank(c)) continue;
        return c == '[';
    }
    return false;
}

// Strips a comment (";" outside quotes) and a continuation backslash.
struct Scanned {
    std::string_view content;
    bool continued = false;
};

Scanned ScanLine(std::string_view text) {
    bool inQuote = false;
    std::size_t end = text.size();
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (inQuote) {
            if (c == '\\')
                ++k;
            else if (c == '"')
                inQuote = false;
        } else if (c == '"') {
            inQuote = true;
        } else if (c == ';') {
            end = k;
            break;
        }
    }
    Scanned s{text.substr(0, end), false};
    while (!s.content.empty() && IsBlank(s.content.back())) s.content.remove_suffix(1);
    if (!inQuote && !s.content.empty() && s.content.back() == '\\') {
        s.continued = true;
        s.content.remove_suffix(1);
    }
    return s;
}

// A quoted string at the start of `s`, with \\ and \" escapes; `s` is left
// after the closing quote. Nothing for any other escape or a missing quote.
std::optional<std::string> TakeQuoted(std::string_view& s) {
    if (s.empty() || s.front() != '"') return std::nullopt;
    std::string out;
    for (std::size_t k = 1; k < s.size(); ++k) {
        const char c = s[k];
        if (c == '"') {
            s.remove_prefix(k + 1);
            return out;
        }
        if (c == '\\') {
            if (k + 1 >= s.size() || (s[k + 1] != '\\' && s[k + 1] != '"')) return std::nullopt;
            out += s[++k];
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view digits, std::size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
    std::uint32_t v = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return v;
}

// "01,ab,ff" (blanks allowed around items, a final empty item tolerated).
std::optional<std::string> ParseHexBytes(std::string_view list) {
    std::string out;
    list = Trim(list);
    if (list.empty()) return out;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = Trim(list.substr(0, comma));
        if (item.empty()) {
            if (comma == std::string_view::npos && !out.empty()) return out;  // "01,02,"
            return std::nullopt;
        }
        const auto byte = ParseHexNumber(item, 2);
        if (!byte) return std::nullopt;
        out += static_cast<char>(*byte);
        if (comma == std::string_view::npos) return out;
        list.remove_prefix(comma + 1);
    }
}

bool IsStringType(std::uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The data after "=". A "-" (remove the value) gives a value of no data and
// the sentinel type below.
constexpr std::uint32_t kRemoveValue = 0xFFFFFFFF;

std::optional<Value> ParseData(std::string_view data, Format format) {
    data = Trim(data);
    if (data == "-") return Value{kRemoveValue, {}};
    if (!data.empty() && data.front() == '"') {
        auto text = TakeQuoted(data);
        if (!text || !Trim(data).empty()) return std::nullopt;
        text->push_back('\0');
        return Value{REG_SZ, std::move(*text)};
    }
    if (StartsWithNoCase(data, "dword:")) {
        const auto v = ParseHexNumber(Trim(data.substr(6)), 8);
        if (!v) return std::nullopt;
        std::string bytes;
        for (int k = 0; k < 4; ++k) bytes += static_cast<char>((*v >> (8 * k)) & 0xFF);
        return Value{REG_DWORD, std::move(bytes)};
    }
    std::uint32_t type = REG_BINARY;
    if (StartsWithNoCase(data, "hex:")) {
        data.remove_prefix(4);
    } else if (StartsWithNoCase(data, "hex(")) {
        const std::size_t close = data.find("):");
        if (close == std::string_view::npos) return std::nullopt;
        const auto t = ParseHexNumber(data.substr(4, close - 4), 8);
        if (!t || *t == kRemoveValue) return std::nullopt;
        type = *t;
        data.remove_prefix(close + 2);
    } else {
        return std::nullopt;
    }
    auto bytes = ParseHexBytes(data);
    if (!bytes) return std::nullopt;
    if (IsStringType(type)) {
        if (format == Format::Version5) {
            bytes = fw::Utf16LeToUtf8(*bytes);
            if (!bytes) return std::nullopt;
        } else if (!fw::IsValidUtf8(*bytes)) {
            bytes = fw::Windows1252ToUtf8(*bytes);
        }
    }
    return Value{type, std::move(*bytes)};
}

// The path below HKEY_CURRENT_USER of a bracketed key name; none for another
// hive or a malformed name (empty parts). Refuses a key nested deeper than
// kMaxKeyDepth, naming its line (`lineNumber`, from 1).
std::optional<std::string> KeyPathBelowRoot(std::string_view name, std::size_t lineNumber) {
    const std::size_t slash = name.find('\\');
    if (FoldCase(name.substr(0, slash)) != kRoot) return std::nullopt;
    if (slash == std::string_view::npos) return std::string();
    const std::string_view rest = name.substr(slash + 1);
    std::size_t start = 0;
    std::size_t depth = 0;
    while (true) {
        if (++depth > kMaxKeyDepth)
            Refuse("line " + std::to_string(lineNumber) + " names a key nested deeper than " +
                   std::to_string(kMaxKeyDepth) + " levels");
        const std::size_t next = rest.find('\\', start);
        const std::string_view part = rest.substr(start, next - start);
        if (part.empty()) return std::nullopt;
        if (next == std::string_view::npos) break;
        start = next + 1;
    }
    return std::string(rest);
}

std::string ParentPath(const std::string& folded) {
    const std::size_t slash = folded.rfind('\\');
    return slash == std::string::npos ? std::string() : folded.substr(0, slash);
}

class Parser {
public:
    explicit Parser(Document& doc) : doc_(doc) {}

    void Run(std::size_t first) {
        std::size_t i = first;
        const std::size_t n = doc_.lines.size();
        while (i < n) {
            const std::size_t start = i;
            std::string content;
            bool damaged = false;
            while (i < n) {
                const Line& line = doc_.lines[i++];
                if (!line.text) {
                    damaged = true;
                    break;
                }
                const Scanned s = ScanLine(*line.text);
                content += content.empty() ? s.content : Trim(s.content);
                if (!s.continued) break;
            }
            if (damaged) {
                if (LooksLikeKeyLine(doc_.lines[start], doc_.encoding)) current_ = nullptr;
                continue;
            }
            Logical(Trim(content), start, i);
        }
    }

private:
    void Logical(std::string_view content, std::size_t first, std::size_t end) {
        if (content.empty()) return;
        if (content.front() == '[') {
            KeyLine(content, first + 1, end);
            return;
        }
        if (!current_) return;
        current_->sectionEnd = end;
        ValueLine(content, first, end);
    }

    void KeyLine(std::string_view content, std::size_t lineNumber, std::size_t end) {
        current_ = nullptr;
        if (content.back() != ']') return;
        std::string_view name = content.substr(1, content.size() - 2);
        const bool remove = !name.empty() && name.front() == '-';
        if (remove) name.remove_prefix(1);
        const auto path = KeyPathBelowRoot(name, lineNumber);
        if (!path) return;
        const std::string folded = FoldCase(*path);
        if (remove) {
            RemoveKey(folded);
            return;
        }
        // Its parents exist through it (see Document::keys).
        doc_.keys[""];
        KeyEntry& key = doc_.keys[folded];
        key.sectionEnd = end;
        current_ = &key;
    }

    void RemoveKey(const std::string& folded) {
        if (folded.empty()) {  // the hive's root itself cannot go; its content can
            doc_.keys.clear();
            return;
        }
        const bool existed = doc_.FindKey(folded) != nullptr;
        doc_.keys.erase(folded);
        // The keys below it sort together right after folded + "\\".
        const std::string below = folded + "\\";
        auto it = doc_.keys.lower_bound(below);
        while (it != doc_.keys.end() && it->first.starts_with(below)) it = doc_.keys.erase(it);
        // Its parent stays, also when it existed only through this key.
        if (existed) doc_.keys[ParentPath(folded)];
    }

    void ValueLine(std::string_view content, std::size_t first, std::size_t end) {
        std::string name;
        if (content.front() == '@') {
            content.remove_prefix(1);
        } else {
            auto quoted = TakeQuoted(content);
            if (!quoted) return;
            name = std::move(*quoted);
        }
        content = Trim(content);
        if (content.empty() || content.front() != '=') return;
        auto& values = current_->values;
        const std::string folded = FoldCase(name);
        auto value = ParseData(content.substr(1), *doc_.format);
        if (!value) {
            // A definition that cannot be read replaces what came before it
            // with nothing, as the value is then not known.
            values.erase(folded);
            return;
        }
        if (value->type == kRemoveValue) {
            values.erase(folded);
            return;
        }
        values[folded] = ValueEntry{std::move(*value), first, end};
    }

    Document& doc_;
    // The key of the section being read. Held by address, not by path, so
    // that a value line costs its own length and not the key's; no key is
    // erased while a section is open.
    KeyEntry* current_ = nullptr;
};

}  // namespace

std::string FoldCase(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

const KeyEntry* Document::FindKey(std::string_view path) const {
    static const KeyEntry kParentOnly;
    const std::string folded = FoldCase(path);
    if (const auto it = keys.find(folded); it != keys.end()) return &it->second;
    if (folded.empty()) return nullptr;  // the root is listed whenever it exists
    const std::string below = folded + "\\";
    const auto child = keys.lower_bound(below);
    return child != keys.end() && child->first.starts_with(below) ? &kParentOnly : nullptr;
}

Document ParseStore(std::string_view bytes) {
    if (bytes.size() > kMaxStoreBytes)
        Refuse("it is larger than " + std::to_string(kMaxStoreBytes / (1024 * 1024)) + " MiB");
    Document doc;
    if (bytes.starts_with(kUtf16Bom)) {
        doc.encoding = Encoding::Utf16Le;
        bytes.remove_prefix(kUtf16Bom.size());
    } else if (bytes.starts_with(kUtf8Bom)) {
        doc.encoding = Encoding::Utf8Bom;
        bytes.remove_prefix(kUtf8Bom.size());
    }
    doc.lines = SplitLines(bytes, doc.encoding);
    for (const Line& line : doc.lines) {
        if (line.rawEnd.empty()) continue;
        const bool wide = doc.encoding == Encoding::Utf16Le;
        const std::size_t units = wide ? line.rawEnd.size() / 2 : line.rawEnd.size();
        doc.lineEnd = units == 2 ? "\r\n" : (line.rawEnd[0] == '\n' ? "\n" : "\r");
        break;
    }
    std::size_t i = 0;
    while (i < doc.lines.size() && doc.lines[i].text && Trim(*doc.lines[i].text).empty()) ++i;
    if (i == doc.lines.size() || !doc.lines[i].text) return doc;
    const std::string_view header = Trim(*doc.lines[i].text);
    if (header == kVersion5Header)
        doc.format = Format::Version5;
    else if (header == kRegedit4Header)
        doc.format = Format::Regedit4;
    else
        return doc;
    Parser(doc).Run(i + 1);
    return doc;
}

std::string SerializeStore(const Document& document) {
    std::string out;
    if (document.encoding == Encoding::Utf16Le) out += kUtf16Bom;
    if (document.encoding == Encoding::Utf8Bom) out += kUtf8Bom;
    for (const Line& line : document.lines) out += line.raw + line.rawEnd;
    return out;
}

std::optional<std::string> EncodeLine(const Document& document, std::string_view text) {
    if (document.encoding == Encoding::Utf16Le) return fw::Utf8ToUtf16Le(text);
    if (!fw::IsValidUtf8(text)) return std::nullopt;
    return std::string(text);
}

std::string QuoteString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace reg
