// Dates as days since 30 December 1899: civil-calendar conversions, encoding and
// decoding, and date formatting with the locale's separator.
#include <cmath>
#include <string>

#include "framework/exceptions.h"
#include "framework/format.h"
#include "framework/text_compare.h"

namespace fw {

namespace {

constexpr long kMillisecondsPerDay = 86'400'000;

// Days since 1 January 1970 in the proleptic Gregorian calendar.
constexpr long DaysFromCivil(long year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(long days, int& year, int& month, int& day) {
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr long kDayZero = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// The calendar day (integer part) and the time of day in milliseconds (the
// fraction's absolute value): -1.25 is 29 December 1899, 06:00. A time that
// rounds to a full day is midnight of the next calendar day.
struct DayAndTime {
    long day;
    long milliseconds;
};

DayAndTime Split(double dateTime) {
    if (!std::isfinite(dateTime) || std::fabs(dateTime) > 1e9) {
        throw EConvertError("Invalid argument to date decode");
    }
    const double whole = std::trunc(dateTime);
    DayAndTime result{static_cast<long>(whole),
                      static_cast<long>(std::nearbyint(std::fabs(dateTime - whole) * kMillisecondsPerDay))};
    if (result.milliseconds >= kMillisecondsPerDay) {
        ++result.day;
        result.milliseconds = 0;
    }
    return result;
}

std::string Padded(long value, std::size_t width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

}  // namespace

double EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        throw EConvertError("Invalid argument to date encode");
    }
    return static_cast<double>(DaysFromCivil(year, month, day) - kDayZero);
}

void DecodeDate(double dateTime, int& year, int& month, int& day) {
    CivilFromDays(Split(dateTime).day + kDayZero, year, month, day);
}

double EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999) {
        throw EConvertError("Invalid argument to time encode");
    }
    const long total = ((hour * 60L + minute) * 60L + second) * 1000L + millisecond;
    return static_cast<double>(total) / kMillisecondsPerDay;
}

void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& millisecond) {
    long ms = Split(dateTime).milliseconds;
    millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    second = static_cast<int>(ms % 60);
    ms /= 60;
    minute = static_cast<int>(ms % 60);
    hour = static_cast<int>(ms / 60);
}

std::string FormatDateTime(const std::string& pattern, double dateTime, const FormatSettings& settings) {
    const DayAndTime parts = Split(dateTime);
    int year = 0, month = 0, day = 0;
    CivilFromDays(parts.day + kDayZero, year, month, day);
    const long ms = parts.milliseconds;
    const long hour = ms / 3'600'000, minute = ms / 60'000 % 60, second = ms / 1000 % 60, millisecond = ms % 1000;

    std::string out;
    std::size_t i = 0;
    const auto run = [&](char letter, std::size_t most) {
        std::size_t n = 0;
        while (i + n < pattern.size() && n < most && AsciiLower(pattern[i + n]) == letter) ++n;
        i += n;
        return n;
    };
    while (i < pattern.size()) {
        const char c = pattern[i];
        switch (AsciiLower(c)) {
            case 'd': out += Padded(day, run('d', 2)); break;
            case 'm': out += Padded(month, run('m', 2)); break;
            case 'h': out += Padded(hour, run('h', 2)); break;
            case 'n': out += Padded(minute, run('n', 2)); break;
            case 's': out += Padded(second, run('s', 2)); break;
            case 'y':
                if (run('y', 4) <= 2) {
                    out += Padded(year % 100, 2);
                } else {
                    out += Padded(year, 4);
                }
                break;
            case 'z': out += Padded(millisecond, run('z', 3) == 3 ? 3 : 1); break;
            case '/':
                if (settings.DateSeparator != '\0') out += settings.DateSeparator;
                ++i;
                break;
            case ':':
                if (settings.TimeSeparator != '\0') out += settings.TimeSeparator;
                ++i;
                break;
            case '\'':
            case '"': {
                const std::size_t end = pattern.find(c, i + 1);
                const std::size_t stop = end == std::string::npos ? pattern.size() : end;
                out.append(pattern, i + 1, stop - i - 1);
                i = end == std::string::npos ? pattern.size() : end + 1;
                break;
            }
            default: out += c; ++i;
        }
    }
    return out;
}

}  // namespace fw
