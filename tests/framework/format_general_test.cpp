// FormatGeneral15 over a table of values, separators and carries.
#include <gtest/gtest.h>

#include <cmath>

#include "framework/format.h"

namespace {

struct Case {
    const char* what;
    long double value;
    const char* point;  // expected with "." as the decimal separator
    const char* comma;  // expected with ","
};

// The ulp below 30.3, as the search computes it for 30.3 against 10.1 + 20.2.
const long double kRoundingOnly =
    std::fabs(static_cast<long double>(30.3)) - std::fabs(static_cast<long double>(10.1 + 20.2));

const Case kCases[] = {
    {"tiny goes scientific", 1e-5L, "1E-5", "1E-5"},
    {"rounding residue", kRoundingOnly, "3.5527136788005E-15", "3,5527136788005E-15"},
    {"large goes scientific", 1.5e20L, "1.5E20", "1,5E20"},
    {"E = -3 stays fixed", 0.0001L, "0.0001", "0,0001"},
    {"E = -3 with digits", 0.000123L, "0.000123", "0,000123"},
    {"E = -4 with digits", 0.0000123L, "1.23E-5", "1,23E-5"},
    {"half", 0.5L, "0.5", "0,5"},
    {"twelve and a half", 12.5L, "12.5", "12,5"},
    {"hundred", 100.0L, "100", "100"},
    {"zeros padded", 120000.0L, "120000", "120000"},
    {"15-digit whole number", 123456789012345.0L, "123456789012345", "123456789012345"},
    {"largest 15-digit number", 999999999999999.0L, "999999999999999", "999999999999999"},
    {"1E14 in full", 1e14L, "100000000000000", "100000000000000"},
    {"1E15 has 16 digits", 1e15L, "1E15", "1E15"},
    {"1E16", 1e16L, "1E16", "1E16"},
    {"16 digits rounded", 1234567890123456.0L, "1.23456789012346E15", "1,23456789012346E15"},
    {"18 digits rounded", 123456789012345678.0L, "1.23456789012346E17", "1,23456789012346E17"},
    {"negative", -12.5L, "-12.5", "-12,5"},
    {"negative tiny", -1e-5L, "-1E-5", "-1E-5"},
    {"negative large", -1.5e20L, "-1.5E20", "-1,5E20"},
    {"negative whole", -50.0L, "-50", "-50"},
    {"zero", 0.0L, "0", "0"},
    {"negative zero", -0.0L, "0", "0"},
    {"16th digit 4 cut", 1.2345678901234549L, "1.23456789012345", "1,23456789012345"},
    {"16th digit 5 rounds up", 1.2345678901234550L, "1.23456789012346", "1,23456789012346"},
    {"18-digit step turns 4999 into 5", 1.2345678901234549999L, "1.23456789012346", "1,23456789012346"},
    {"round-up carries into a new digit", 0.9999999999999995L, "1", "1"},
    {"carry just below", 0.9999999999999994L, "0.999999999999999", "0,999999999999999"},
    {"carry moves into scientific form", 999999999999999.5L, "1E15", "1E15"},
    {"double sum shows as 0.3", static_cast<long double>(0.1 + 0.2), "0.3", "0,3"},
    {"exponent with three digits", 2.5e-300L, "2.5E-300", "2,5E-300"},
};

TEST(FormatGeneral15, Table) {
    fw::FormatSettings point;
    point.DecimalSeparator = '.';
    fw::FormatSettings comma;
    comma.DecimalSeparator = ',';
    for (const Case& c : kCases) {
        EXPECT_EQ(fw::FormatGeneral15(c.value, point), c.point) << c.what;
        EXPECT_EQ(fw::FormatGeneral15(c.value, comma), c.comma) << c.what;
    }
}

}  // namespace
