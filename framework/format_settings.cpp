// The user's decimal and date separators read from the locale of the environment
// without changing the process's own locale.
#include <langinfo.h>
#include <locale.h>

#include <string>
#include <string_view>
#include <vector>

#include "framework/format.h"

namespace fw {

namespace {

enum class Part { Date, Time };

bool IsAsciiAlnum(unsigned char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

// Replaces the composite conversions by their parts.
std::string Expanded(std::string_view format) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        switch (format[i + 1]) {
            case 'F': out += "%Y-%m-%d"; break;
            case 'D': out += "%m/%d/%y"; break;
            case 'T': out += "%H:%M:%S"; break;
            case 'R': out += "%H:%M"; break;
            case 'r': out += "%I:%M:%S %p"; break;
            default: out.append(format, i, 2); break;
        }
        ++i;
    }
    return out;
}

struct Conversion {
    char letter = 0;        // 0 for a literal byte
    bool unpadded = false;  // the "-" flag
    char literal = 0;
};

std::vector<Conversion> Tokens(std::string_view format) {
    std::vector<Conversion> tokens;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            tokens.push_back({0, false, format[i]});
            continue;
        }
        Conversion c;
        std::size_t j = i + 1;
        while (j < format.size() && std::string_view("_-0^#").find(format[j]) != std::string_view::npos) {
            c.unpadded = c.unpadded || format[j] == '-';
            ++j;
        }
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
        if (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
        if (j == format.size()) break;
        c.letter = format[j];
        if (c.letter == '%') {
            c = {0, false, '%'};
        }
        tokens.push_back(c);
        i = j;
    }
    return tokens;
}

// The first character of the format that is neither a conversion nor a letter or digit.
char FirstSeparator(const std::vector<Conversion>& tokens) {
    for (const Conversion& t : tokens) {
        const auto c = static_cast<unsigned char>(t.literal);
        if (t.letter == 0 && c < 0x80 && !IsAsciiAlnum(c)) return t.literal;
    }
    return '\0';
}

std::string PatternFor(char letter, bool unpadded, Part part) {
    if (part == Part::Date) {
        switch (letter) {
            case 'd': return unpadded ? "d" : "dd";
            case 'e': return "d";
            case 'm':
            case 'b':
            case 'B':
            case 'h': return unpadded ? "M" : "MM";
            case 'Y':
            case 'G': return "yyyy";
            case 'y':
            case 'g': return "yy";
            default: return {};  // weekday names and the like have no pattern letter
        }
    }
    switch (letter) {
        case 'H':
        case 'I': return unpadded ? "h" : "hh";
        case 'k':
        case 'l': return "h";
        case 'M': return unpadded ? "n" : "nn";
        case 'S': return unpadded ? "s" : "ss";
        default: return {};  // the AM/PM marker has no pattern letter
    }
}

// A literal byte as the date-time pattern reads it back unchanged.
std::string LiteralFor(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"') return "'\"'";
    if (IsAsciiAlnum(u) || u >= 0x80 || c == '/' || c == ':' || c == '\'') return "\"" + std::string(1, c) + "\"";
    return std::string(1, c);
}

std::string Pattern(const std::vector<Conversion>& tokens, char separator, Part part) {
    std::string out;
    for (const Conversion& t : tokens) {
        if (t.letter != 0) {
            out += PatternFor(t.letter, t.unpadded, part);
        } else if (separator != '\0' && t.literal == separator) {
            out += part == Part::Date ? '/' : ':';
        } else {
            out += LiteralFor(t.literal);
        }
    }
    const auto last = out.find_last_not_of(' ');
    out.erase(last == std::string::npos ? 0 : last + 1);
    return out;
}

// A locale of one category from the environment, or the C locale.
class CategoryLocale {
public:
    explicit CategoryLocale(int mask) : locale_(newlocale(mask, "", nullptr)) {
        if (locale_ == nullptr) locale_ = newlocale(mask, "C", nullptr);
    }
    ~CategoryLocale() {
        if (locale_ != nullptr) freelocale(locale_);
    }
    CategoryLocale(const CategoryLocale&) = delete;
    CategoryLocale& operator=(const CategoryLocale&) = delete;
    std::string Info(nl_item item) const {
        const char* text = locale_ != nullptr ? nl_langinfo_l(item, locale_) : nullptr;
        return text != nullptr ? text : "";
    }

private:
    locale_t locale_;
};

}  // namespace

FormatSettings FormatSettings::FromLanginfo(const std::string& radix, const std::string& dateFormat,
                                            const std::string& timeFormat) {
    FormatSettings settings;
    // A multi-byte radix character (some locales use one) cannot be a one-byte separator.
    settings.DecimalSeparator = radix.size() == 1 ? radix[0] : '.';
    if (!dateFormat.empty()) {
        const auto tokens = Tokens(Expanded(dateFormat));
        settings.DateSeparator = FirstSeparator(tokens);
        settings.ShortDateFormat = Pattern(tokens, settings.DateSeparator, Part::Date);
    }
    if (!timeFormat.empty()) {
        const auto tokens = Tokens(Expanded(timeFormat));
        settings.TimeSeparator = FirstSeparator(tokens);
        settings.LongTimeFormat = Pattern(tokens, settings.TimeSeparator, Part::Time);
    }
    return settings;
}

FormatSettings FormatSettings::FromEnvironment() {
    const CategoryLocale numeric(LC_NUMERIC_MASK);
    const CategoryLocale time(LC_TIME_MASK);
    return FromLanginfo(numeric.Info(RADIXCHAR), time.Info(D_FMT), time.Info(T_FMT));
}

}  // namespace fw
