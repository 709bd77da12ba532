// Finding lum.ini and reading its [Databases] aliases. The file comes from
// outside, so it is read within fixed limits: a regular file only (opening
// cannot block on a FIFO), at most kMaxLumIniBytes, in one linear pass.
#include "data/lum/lum_ini.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "framework/bounded_file.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

namespace fs = std::filesystem;

constexpr const char* kIniName = "lum.ini";
// The longest full name the search hands back, as the system's search-path
// buffer holds (261 characters with the terminator).
constexpr std::size_t kMaxFoundNameLength = 260;

bool IsRegularFile(const fs::path& file) {
    std::error_code ec;
    return fs::is_regular_file(file, ec);
}

// The bytes of a regular file within the size limit; nothing otherwise.
std::optional<std::string> ReadBoundedFile(const std::string& file) {
    fw::BoundedRead read = fw::ReadBoundedFile(file, kMaxLumIniBytes);
    if (read.refusal != fw::BoundedRead::Refusal::None) return std::nullopt;
    return std::move(read.bytes);
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A value in matching quotes stands for the text between them.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The value of section/key in the text of an initialization file, or nothing;
// also nothing for damaged text (a NUL byte, too many or too long lines).
std::optional<std::string> FindValue(std::string_view text, const std::string& section, const std::string& key) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    std::optional<std::string> found;
    bool inSection = false;
    std::size_t lines = 0;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        if (++lines > kMaxLumIniLines || end - begin > kMaxLumIniLineBytes) return std::nullopt;
        std::string_view line = text.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            inSection =
                fw::SameText(Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1)), section);
            continue;
        }
        const auto equals = line.find('=');
        // The whole text is still checked against the limits once a value is found.
        if (!inSection || found || equals == std::string_view::npos) continue;
        if (fw::SameText(Trim(line.substr(0, equals)), key))
            found = std::string(Unquote(Trim(line.substr(equals + 1))));
    }
    return found;
}

// The first lum.ini in the folder of the executable, the current folder and
// each folder of PATH.
std::optional<std::string> SearchLumIni() {
    std::vector<fs::path> folders;
    std::error_code ec;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) folders.push_back(executable.parent_path());
    const fs::path current = fs::current_path(ec);
    if (!ec) folders.push_back(current);
    if (const char* path = std::getenv("PATH"); path != nullptr) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const std::string_view folder = rest.substr(0, colon);
            if (!folder.empty()) folders.emplace_back(std::string(folder));
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (const fs::path& folder : folders) {
        const fs::path candidate = folder / kIniName;
        if (candidate.string().size() <= kMaxFoundNameLength && IsRegularFile(candidate)) return candidate.string();
    }
    return std::nullopt;
}

}  // namespace

std::string FindLumIni() {
    if (const char* folder = std::getenv("lumini_path"); folder != nullptr && *folder != '\0') {
        const fs::path named = fs::path(folder) / kIniName;
        if (IsRegularFile(named)) return named.string();
    }
    if (std::optional<std::string> found = SearchLumIni()) return *found;
    return kIniName;
}

std::optional<std::string> ReadIniValue(const std::string& file, const std::string& section, const std::string& key) {
    const std::optional<std::string> bytes = ReadBoundedFile(file);
    if (!bytes) return std::nullopt;
    return FindValue(*bytes, section, key);
}

std::optional<TLumAlias> LookUpAlias(const std::string& alias) {
    if (alias.empty()) return std::nullopt;
    const std::optional<std::string> value = ReadIniValue(FindLumIni(), "Databases", alias);
    if (!value) return std::nullopt;
    TLumAlias found;
    found.Path = *value;
    const auto semicolon = found.Path.find(';');
    if (semicolon != std::string::npos) {
        const char letter = semicolon + 1 < found.Path.size() ? fw::AsciiUpper(found.Path[semicolon + 1]) : '\0';
        switch (letter) {
            case 'N': found.TableType = TLumAliasTableType::atNTX; break;
            case 'C': found.TableType = TLumAliasTableType::atCDX; break;
            case 'L': found.TableType = TLumAliasTableType::atLDT; break;
            case 'V': found.TableType = TLumAliasTableType::atVFP; break;
            default: break;
        }
        found.Path.erase(semicolon);
    }
    if (found.Path.empty()) return std::nullopt;
    return found;
}

TLumTableTypes DataSetTableType(TLumAliasTableType type) {
    switch (type) {
        case TLumAliasTableType::atNTX: return TLumTableTypes::ttLumNTX;
        case TLumAliasTableType::atCDX: return TLumTableTypes::ttLumCDX;
        case TLumAliasTableType::atVFP: return TLumTableTypes::ttLumVFP;
        default: return TLumTableTypes::ttLumLDT;
    }
}

std::optional<TLumTableTypes> SpecifiedTableType(TLumAliasTableType type) {
    if (type == TLumAliasTableType::atUnspecified) return std::nullopt;
    return DataSetTableType(type);
}

}  // namespace lum
