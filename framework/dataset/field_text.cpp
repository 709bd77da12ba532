// Numbers, dates and times read from text as the user types them: the reads
// of text fields as numbers or dates and the writes of text into number and
// date fields share these rules.
#include "framework/dataset/field_text.h"

#include <charconv>
#include <string>
#include <vector>

#include "framework/exceptions.h"

namespace fw {

namespace {

// Reads one unsigned run of digits at `pos`.
bool ReadNumber(std::string_view text, std::size_t& pos, int& out) {
    const auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), out);
    if (error != std::errc{} || end == text.data() + pos) return false;
    pos = static_cast<std::size_t>(end - text.data());
    return true;
}

// The date at the start of the text, in the order of the short date format;
// `pos` ends after it.
bool ReadDate(std::string_view text, const FormatSettings& settings, std::size_t& pos, double& value) {
    std::vector<int> parts;
    int n = 0;
    if (!ReadNumber(text, pos, n)) return false;
    parts.push_back(n);
    const char separator = settings.DateSeparator != '\0' ? settings.DateSeparator : '/';
    while (parts.size() < 3 && pos < text.size() && text[pos] == separator) {
        ++pos;
        if (!ReadNumber(text, pos, n)) return false;
        parts.push_back(n);
    }
    if (parts.size() != 3) return false;
    // Order of day, month and year in the short date format.
    int day = 0, month = 0, year = 0;
    int slot = 0;
    for (char c : settings.ShortDateFormat) {
        const char l = static_cast<char>(c | 0x20);
        if ((l == 'd' || l == 'm' || l == 'y') && slot < 3) {
            if (l == 'd' && day == 0)
                day = parts[slot++];
            else if (l == 'm' && month == 0)
                month = parts[slot++];
            else if (l == 'y' && year == 0)
                year = parts[slot++];
        }
    }
    if (slot != 3) {
        month = parts[0];
        day = parts[1];
        year = parts[2];
    }
    try {
        value = EncodeDate(year, month, day);
    } catch (const EConvertError&) {
        return false;
    }
    return true;
}

// The time from `pos` to the end of the text: hours and minutes, optionally seconds.
bool ReadTime(std::string_view text, const FormatSettings& settings, std::size_t pos, double& value) {
    int hms[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        if (!ReadNumber(text, pos, hms[count])) return false;
        ++count;
        if (pos < text.size() && text[pos] == settings.TimeSeparator) {
            ++pos;
        } else {
            break;
        }
    }
    if (pos != text.size() || count < 2) return false;
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return false;
    value = EncodeTime(hms[0], hms[1], hms[2], 0);
    return true;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool ParseIntegerText(std::string_view text, std::int64_t& value) {
    const std::string_view digits = TrimBlanks(text);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && error == std::errc{} && end == digits.data() + digits.size();
}

bool NormalizeDecimalText(std::string_view text, const FormatSettings& settings, std::string& normal) {
    normal.assign(TrimBlanks(text));
    for (char& c : normal)
        if (c == settings.DecimalSeparator) c = '.';
    return !normal.empty();
}

bool ParseFloatText(std::string_view text, const FormatSettings& settings, double& value) {
    std::string normal;
    if (!NormalizeDecimalText(text, settings, normal)) return false;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    return error == std::errc{} && end == normal.data() + normal.size();
}

bool ParseDateTimeText(std::string_view text, const FormatSettings& settings, double& value) {
    text = TrimBlanks(text);
    std::size_t pos = 0;
    if (!ReadDate(text, settings, pos, value)) return false;
    if (pos == text.size()) return true;
    if (text[pos] != ' ') return false;
    double time = 0;
    if (!ReadTime(text, settings, pos + 1, time)) return false;
    value += (value < 0 ? -1 : 1) * time;
    return true;
}

bool ParseDateText(std::string_view text, const FormatSettings& settings, double& value) {
    text = TrimBlanks(text);
    std::size_t pos = 0;
    return ReadDate(text, settings, pos, value) && pos == text.size();
}

bool ParseTimeText(std::string_view text, const FormatSettings& settings, double& value) {
    return ReadTime(TrimBlanks(text), settings, 0, value);
}

}  // namespace fw
