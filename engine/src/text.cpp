// The engine's text helpers: paths, case, code pages and Julian day numbers.
#include "engine/src/text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace lce {

std::string normalizePath(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string findFile(const std::string& path) {
    if (fileExists(path)) return path;
    const std::string dir = directoryOf(path);
    const std::string name = fileNameOf(path);
    std::error_code ec;
    std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec);
    if (ec) return {};
    for (const auto& entry : it) {
        const std::string candidate = entry.path().filename().string();
        if (equalsIgnoringCase(candidate, name) && entry.is_regular_file(ec))
            return dir.empty() ? candidate : dir + "/" + candidate;
    }
    return {};
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

static char upperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a == b) return true;  // names mostly come as they were defined
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperChar(a[i]) != upperChar(b[i])) return false;
    return true;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperChar(c);
    return out;
}

namespace {
// Unicode code points of code page 437, bytes 0x80 to 0xFF.
constexpr std::array<std::uint16_t, 128> kCp437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
// Unicode code points of code page 1252, bytes 0x80 to 0x9F (0 = unused).
constexpr std::array<std::uint16_t, 32> kCp1252 = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                   0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::uint16_t ansiCodePoint(unsigned char b) {
    if (b < 0x80 || b >= 0xA0) return b;
    return kCp1252[b - 0x80];
}

int ansiByteFor(std::uint16_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return cp;
    for (int i = 0; i < 32; ++i)
        if (kCp1252[i] == cp && cp != 0) return 0x80 + i;
    return -1;
}
}  // namespace

std::string oemToAnsi(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char b : text) {
        if (b < 0x80) {
            out += static_cast<char>(b);
            continue;
        }
        const int a = ansiByteFor(kCp437[b - 0x80]);
        out += a < 0 ? '?' : static_cast<char>(a);
    }
    return out;
}

std::string ansiToOem(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char b : text) {
        if (b < 0x80) {
            out += static_cast<char>(b);
            continue;
        }
        const std::uint16_t cp = ansiCodePoint(b);
        char mapped = '?';
        for (int i = 0; i < 128 && cp != 0; ++i)
            if (kCp437[i] == cp) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        out += mapped;
    }
    return out;
}

std::int64_t julianFromDate(int year, int month, int day) {
    const std::int64_t a = (14 - month) / 12;
    const std::int64_t y = year + 4800 - a;
    const std::int64_t m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void dateFromJulian(std::int64_t jd, int& year, int& month, int& day) {
    const std::int64_t a = jd + 32044;
    const std::int64_t b = (4 * a + 3) / 146097;
    const std::int64_t c = a - 146097 * b / 4;
    const std::int64_t d = (4 * c + 3) / 1461;
    const std::int64_t e = c - 1461 * d / 4;
    const std::int64_t m = (5 * e + 2) / 153;
    day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    month = static_cast<int>(m + 3 - 12 * (m / 10));
    year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

std::optional<std::int64_t> julianFromCompact(std::string_view text) {
    if (text.size() < 8) return std::nullopt;
    int v[3] = {0, 0, 0};
    const std::size_t widths[3] = {4, 2, 2};
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        const auto part = text.substr(pos, widths[i]);
        auto r = std::from_chars(part.data(), part.data() + part.size(), v[i]);
        if (r.ec != std::errc() || r.ptr != part.data() + part.size()) return std::nullopt;
        pos += widths[i];
    }
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31) return std::nullopt;
    const std::int64_t jd = julianFromDate(v[0], v[1], v[2]);
    int y, m, d;
    dateFromJulian(jd, y, m, d);
    if (y != v[0] || m != v[1] || d != v[2]) return std::nullopt;
    return jd;
}

std::string compactFromJulian(std::int64_t julian) {
    int y, m, d;
    dateFromJulian(julian, y, m, d);
    char buf[16];
    auto put = [&](char* p, int value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            p[i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    put(buf, y < 0 ? 0 : y % 10000, 4);
    put(buf + 4, m, 2);
    put(buf + 6, d, 2);
    return std::string(buf, 8);
}

std::string formatDouble(double value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string formatFixed(double value, int decimals) {
    char buf[512];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return {};
    return std::string(buf, r.ptr);
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return trimTrailingBlanks(text);
}

std::string_view trimTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\0')) text.remove_suffix(1);
    return text;
}

std::optional<double> parseDouble(std::string_view text) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::int64_t v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

}  // namespace lce
