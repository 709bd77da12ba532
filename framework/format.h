#pragma once
// Number and date formatting with the user's regional settings. Nothing here
// depends on the C library's current locale.
#include <string>

namespace fw {

struct FormatSettings {
    char DecimalSeparator = '.';
    // The date separator is one character or none ('\0').
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "MM/dd/yyyy";
    std::string LongTimeFormat = "hh:nn:ss";

    // Reads the user's locale from the environment (LC_ALL, LC_NUMERIC,
    // LC_TIME, LANG): LC_NUMERIC's radix character and LC_TIME's date and time
    // formats through nl_langinfo. The locales are opened with newlocale, so
    // the C library's current locale is never changed; a category whose
    // locale is not installed reads as the C locale.
    static FormatSettings FromEnvironment();

    // The settings for a radix character and strftime-style date and time
    // formats: the separators are the first character of each format that is
    // neither a conversion nor a letter or digit ("%d.%m.%Y" -> '.', "%F" ->
    // '-', none -> '\0'); the formats become patterns for FormatDateTime
    // ("%d.%m.%Y" -> "dd/MM/yyyy", "%H:%M:%S" -> "hh:nn:ss"). An empty format
    // keeps the default.
    static FormatSettings FromLanginfo(const std::string& radix, const std::string& dateFormat,
                                       const std::string& timeFormat);
};

// The general number format with 15 significant digits (see the comment in
// format_general.cpp for the exact rule).
std::string FormatGeneral15(long double value, const FormatSettings& settings);

// Date-time values count days since 30 December 1899 in the proleptic Gregorian
// calendar. The integer part is the day and the fraction's absolute value the
// time, so -1.25 is 29 December 1899, 06:00. A time that rounds to a full day
// (to the millisecond) reads as midnight of the next day.
double EncodeDate(int year, int month, int day);  // EConvertError for an invalid date
void DecodeDate(double dateTime, int& year, int& month, int& day);
double EncodeTime(int hour, int minute, int second, int millisecond);
void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& millisecond);

// An engine date is a Julian day number; day 0 of the date-time scale is 2415019.
constexpr long JulianDayOfDateTimeZero = 2415019;

// Formats with a pattern of d, dd, m, mm, yy, yyyy, h, hh, n, nn, s, ss, z, zzz
// (letters in either case; m is always the month, n the minute), "/" (the date
// separator, nothing when it is '\0'), ":" (the time separator) and literals
// in single or double quotes; any other character stands for itself.
// EConvertError for a value that is not a finite date-time.
std::string FormatDateTime(const std::string& pattern, double dateTime, const FormatSettings& settings);

}  // namespace fw
