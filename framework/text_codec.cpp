// The code page table and the UTF-8 / UTF-16LE / Windows-1252 conversions
// declared in text_codec.h.
#include "framework/text_codec.h"

#include <array>

namespace fw {
namespace {

// Code points of the bytes 0x80..0x9F; 0 marks the five unassigned bytes,
// taken as the C1 controls of the same value.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0) return kHigh[byte - 0x80];
    return byte;
}

std::optional<unsigned char> ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    for (std::size_t k = 0; k < kHigh.size(); ++k) {
        const char32_t mapped = kHigh[k] != 0 ? kHigh[k] : static_cast<char32_t>(0x80 + k);
        if (mapped == cp) return static_cast<unsigned char>(0x80 + k);
    }
    return std::nullopt;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (at + extra >= text.size()) return std::nullopt;
    for (std::size_t k = 1; k <= extra; ++k) {
        const unsigned char c = byte(at + k);
        if ((c & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    at += extra + 1;
    return cp;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size())
        if (!NextUtf8(text, at)) return false;
    return true;
}

std::optional<std::string> Utf16LeToUtf8(std::string_view bytes) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t k) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    };
    const std::size_t count = bytes.size() / 2;
    for (std::size_t k = 0; k < count; ++k) {
        const char16_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (k + 1 >= count) return std::nullopt;
            const char16_t low = unit(k + 1);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
            ++k;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return std::nullopt;
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::optional<std::string> Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    std::size_t at = 0;
    while (at < text.size()) {
        const auto cp = NextUtf8(text, at);
        if (!cp) return std::nullopt;
        if (*cp >= 0x10000) {
            const char32_t v = *cp - 0x10000;
            put(0xD800 + (v >> 10));
            put(0xDC00 + (v & 0x3FF));
        } else {
            put(*cp);
        }
    }
    return out;
}

Windows1252Result Utf8ToWindows1252(std::string_view utf8) {
    using Fault = Windows1252Result::Fault;
    Windows1252Result result;
    result.text.reserve(utf8.size());
    std::size_t at = 0;
    std::size_t character = 0;
    while (at < utf8.size()) {
        ++character;
        const std::size_t start = at;
        const auto cp = NextUtf8(utf8, at);
        Fault fault = Fault::None;
        std::optional<unsigned char> byte;
        if (!cp)
            fault = Fault::InvalidUtf8;
        else if (*cp == 0)
            fault = Fault::Nul;
        else if (!(byte = ByteOf(*cp)))
            fault = Fault::NoWindows1252Form;
        if (fault != Fault::None) {
            Windows1252Result failed;
            failed.fault = fault;
            failed.character = character;
            failed.codePoint = cp.value_or(0);
            failed.byte = static_cast<unsigned char>(utf8[start]);
            return failed;
        }
        result.text += static_cast<char>(*byte);
    }
    return result;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace fw
