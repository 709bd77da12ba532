#pragma once
// The registry editor's export format, as the store of the current user's
// registry. A file is read the way the editor imports it: key sections and
// value lines in order, later lines overriding earlier ones, "[-key]" and
// "name"=- removing. Only keys under HKEY_CURRENT_USER count. Whatever is not
// understood leaves that key or value out. A store beyond the limits below
// is refused as a whole (EStoreError), so that a damaged or hostile file
// costs at most time and memory in proportion to those limits.
//
// The document keeps every physical line as the raw bytes it was read from,
// so that an edit can change a few lines and write everything else back
// byte for byte, in the encoding and with the line ends it had.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/exceptions.h"

namespace reg {

// What a store may hold. The registry itself nests keys at most 512 deep.
inline constexpr std::size_t kMaxStoreBytes = 16 * 1024 * 1024;
inline constexpr std::size_t kMaxStoreLineBytes = 64 * 1024;
inline constexpr std::size_t kMaxStoreLines = 65536;
inline constexpr std::size_t kMaxKeyDepth = 512;

// A store that cannot be used: not a regular file, unreadable, or beyond the
// limits. The message says which and what to do; ParseStore's message names
// only the fault (a line number, a limit), the file reader adds the file.
class EStoreError : public fw::ERegistryException {
public:
    using fw::ERegistryException::ERegistryException;
    const char* ClassName() const noexcept override { return "EStoreError"; }
};

// Value types, with the numbers the registry gives them.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;
constexpr std::uint32_t REG_QWORD = 11;

enum class Encoding { Utf8, Utf8Bom, Utf16Le };
// "Windows Registry Editor Version 5.00": string data in hex is UTF-16LE.
// "REGEDIT4": string data in hex is 8-bit.
enum class Format { Version5, Regedit4 };

inline constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view kRegedit4Header = "REGEDIT4";

// A value as the 8-bit registry interface returns it: string types as UTF-8
// (their NULs kept), everything else as the stored bytes.
struct Value {
    std::uint32_t type = REG_NONE;
    std::string data;
};

struct ValueEntry {
    Value value;
    std::size_t firstLine = 0;  // the physical lines that define it: [firstLine, endLine)
    std::size_t endLine = 0;
};

struct KeyEntry {
    std::map<std::string, ValueEntry> values;  // by ASCII-lower-cased name; "" is the default value
    // The line after the last line of the key's most recent section, where
    // a new value for it can go; none for a key that exists only as a parent.
    std::optional<std::size_t> sectionEnd;
};

struct Line {
    std::string raw;                  // the bytes of the line in the file's encoding
    std::string rawEnd;               // its line end, as bytes; empty for a last line without one
    std::optional<std::string> text;  // UTF-8; none when the bytes are not valid in the encoding
};

struct Document {
    Encoding encoding = Encoding::Utf8;
    std::optional<Format> format;  // none when the header is missing or unknown
    std::vector<Line> lines;
    std::string lineEnd = "\r\n";  // the style of the first line end met, as text
    // Keys below HKEY_CURRENT_USER by ASCII-lower-cased path ("" is the hive's
    // root, "software\\orvanta" a subkey). A key's parents exist too but are
    // not listed unless a line names them, so that a deep path costs its
    // length once rather than once per level; FindKey answers for them.
    std::map<std::string, KeyEntry> keys;

    // The key, listed or a parent of one (an entry with no values and no
    // section); nullptr when the key does not exist.
    const KeyEntry* FindKey(std::string_view path) const;
};

// Registry names compare ignoring case; ASCII folding is what this store does.
std::string FoldCase(std::string_view name);

// The document of a store's bytes, in time linear in their count. EStoreError
// when they exceed kMaxStoreBytes or kMaxStoreLines, a line is longer than
// kMaxStoreLineBytes, or a key is nested deeper than kMaxKeyDepth.
Document ParseStore(std::string_view bytes);

// The document's bytes: byte-order mark, then every line with its line end.
std::string SerializeStore(const Document& document);

// UTF-8 text as bytes of the document's encoding; none when not encodable.
std::optional<std::string> EncodeLine(const Document& document, std::string_view text);

// "name" with backslashes and quotes escaped, as a value line writes a string.
std::string QuoteString(std::string_view text);

}  // namespace reg
