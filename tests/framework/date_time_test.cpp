// Dates: encoding, decoding and formatting across the calendar's range.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "framework/exceptions.h"
#include "framework/format.h"

namespace {

fw::FormatSettings WithDateSeparator(char separator) {
    fw::FormatSettings settings;
    settings.DateSeparator = separator;
    return settings;
}

TEST(DateTime, EncodesDaysSinceTheEndOf1899) {
    const struct {
        int year, month, day;
        double value;
    } cases[] = {{1899, 12, 30, 0},    {1899, 12, 29, -1},  {1900, 1, 1, 2},
                 {1900, 3, 1, 61},     {1970, 1, 1, 25569}, {2011, 3, 15, 40617},
                 {2000, 2, 29, 36585}, {1, 1, 1, -693593},  {9999, 12, 31, 2958465}};
    for (const auto& c : cases) {
        EXPECT_EQ(fw::EncodeDate(c.year, c.month, c.day), c.value) << c.year << "-" << c.month << "-" << c.day;
        int y = 0, m = 0, d = 0;
        fw::DecodeDate(c.value, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.year * 10000 + c.month * 100 + c.day) << c.value;
    }
}

TEST(DateTime, DecodeInvertsEncodeAcrossTheRange) {
    for (long day = -693593; day <= 2958465; day += 997) {
        int y = 0, m = 0, d = 0;
        fw::DecodeDate(static_cast<double>(day), y, m, d);
        ASSERT_EQ(fw::EncodeDate(y, m, d), static_cast<double>(day));
    }
}

TEST(DateTime, InvalidArgumentsRaise) {
    const int dates[][3] = {{1900, 2, 29}, {2011, 13, 1}, {2011, 4, 31}, {0, 1, 1}, {10000, 1, 1}, {2011, 1, 0}};
    for (const auto& d : dates) {
        try {
            fw::EncodeDate(d[0], d[1], d[2]);
            ADD_FAILURE() << d[0] << "-" << d[1] << "-" << d[2];
        } catch (const fw::EConvertError& e) {
            EXPECT_EQ(e.Message(), "Invalid argument to date encode");
        }
    }
    EXPECT_THROW(fw::EncodeTime(24, 0, 0, 0), fw::EConvertError);
    EXPECT_THROW(fw::EncodeTime(0, 60, 0, 0), fw::EConvertError);
    EXPECT_THROW(fw::FormatDateTime("dd", std::nan(""), {}), fw::EConvertError);
}

TEST(DateTime, TimeOfDayIsTheFractionsMagnitude) {
    EXPECT_EQ(fw::EncodeTime(6, 0, 0, 0), 0.25);
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {40617.25, "03/15/2011 06:00:00.000"},
        {fw::EncodeDate(2011, 3, 15) + fw::EncodeTime(13, 5, 9, 45), "03/15/2011 13:05:09.045"},
        // Before day 0 the integer part is the day and the fraction counts forward.
        {-1.25, "12/29/1899 06:00:00.000"},
        {-0.5, "12/30/1899 12:00:00.000"},
        // A time that rounds to a full day is the next midnight.
        {40617.9999999999, "03/16/2011 00:00:00.000"},
        {-1.9999999999, "12/30/1899 00:00:00.000"},
    };
    const fw::FormatSettings settings;
    for (const auto& c : cases) {
        EXPECT_EQ(fw::FormatDateTime("mm/dd/yyyy hh:nn:ss.zzz", c.value, settings), c.text) << c.value;
    }
    int h = 0, n = 0, s = 0, ms = 0;
    fw::DecodeTime(fw::EncodeTime(23, 59, 59, 999), h, n, s, ms);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 235959999);
}

TEST(FormatDateTime, SearchDatePatternUsesTheLocaleSeparator) {
    const double march15 = fw::EncodeDate(2011, 3, 15);
    const struct {
        double value;
        char separator;
        const char* text;
    } cases[] = {
        {march15, '/', "03/15/2011"},
        {march15, '.', "03.15.2011"},
        {march15, '-', "03-15-2011"},
        {march15, '\0', "03152011"},
        {0, '/', "12/30/1899"},
        {0, '.', "12.30.1899"},
        {fw::EncodeDate(7, 1, 2), '/', "01/02/0007"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fw::FormatDateTime("mm/dd/yyyy", c.value, WithDateSeparator(c.separator)), c.text) << c.text;
    }
}

TEST(FormatDateTime, PatternElements) {
    fw::FormatSettings settings;
    settings.TimeSeparator = '.';
    const double value = fw::EncodeDate(2011, 3, 5) + fw::EncodeTime(7, 4, 9, 5);
    const struct {
        const char* pattern;
        const char* text;
    } cases[] = {
        {"d/m/yy", "5/3/11"},
        {"DD/MM/YYYY", "05/03/2011"},
        {"h:n:s z", "7.4.9 5"},
        {"hh:nn:ss zzz", "07.04.09 005"},
        {"'on' dd \"at\" hh", "on 05 at 07"},
        {"yyyy'-unterminated", "2011-unterminated"},
    };
    for (const auto& c : cases) EXPECT_EQ(fw::FormatDateTime(c.pattern, value, settings), c.text) << c.pattern;
}

}  // namespace
