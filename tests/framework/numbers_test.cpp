// Currency and Decimal: rounding, range and text round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "framework/currency.h"
#include "framework/exceptions.h"

namespace {

using fw::Currency;
using fw::Decimal;

TEST(Currency, FromDoubleRoundsTheExactValueToTheNearestTenThousandth) {
    const struct {
        double value;
        std::int64_t raw;
    } cases[] = {
        {1.2345, 12345},
        {1.23449999, 12345},
        {1.23444, 12344},
        {-1.23456, -12346},
        {12.34, 123400},
        // 0.00005 and 1.00005 lie just above the half in binary: a product
        // formed in double precision would read them as ties.
        {0.00005, 1},
        {1.00005, 10001},
        {0.00004999, 0},
        // Exact ties (binary fractions) go to the even neighbour.
        {0.03125, 312},
        {0.09375, 938},
        {-0.03125, -312},
        {-0.09375, -938},
        {1e-300, 0},
        {-0.0, 0},
        {922337203685477.5, 9223372036854775000},
        {-922337203685477.5, -9223372036854775000},
    };
    for (const auto& c : cases) EXPECT_EQ(Currency::FromDouble(c.value).Raw(), c.raw) << c.value;
}

TEST(Currency, OutOfRangeAndNaNRaise) {
    for (const double value :
         {922337203685477.6, -922337203685477.6, 1e300, -1e300, std::numeric_limits<double>::infinity()}) {
        try {
            Currency::FromDouble(value);
            ADD_FAILURE() << value;
        } catch (const fw::EOverflow& e) {
            EXPECT_STREQ(e.what(), "Floating point overflow");
        }
    }
    try {
        Currency::FromDouble(std::nan(""));
        ADD_FAILURE();
    } catch (const fw::EConvertError& e) {
        EXPECT_STREQ(e.what(), "Invalid floating point operation");
    }
    EXPECT_EQ(Currency::FromInteger(922337203685477).Raw(), 9223372036854770000);
    EXPECT_THROW(Currency::FromInteger(922337203685478), fw::EOverflow);
    EXPECT_THROW(Currency::FromInteger(-922337203685478), fw::EOverflow);
}

TEST(Decimal, ParseAndTextRoundTrip) {
    const struct {
        const char* text;
        const char* written;
    } cases[] = {
        {"-123.4500", "-123.4500"},
        {"0", "0"},
        {"-0.05", "-0.05"},
        {".5", "0.5"},
        {"+7", "7"},
        {"007.10", "7.10"},
        {"170141183460469231731687303715884105727", "170141183460469231731687303715884105727"},
        {"0.000000000000000000000000000001", "0.000000000000000000000000000001"},
        // Beyond 30 decimals the value is rounded, an exact half to even.
        {"0.0000000000000000000000000000015", "0.000000000000000000000000000002"},
        {"0.0000000000000000000000000000025", "0.000000000000000000000000000002"},
        {"0.00000000000000000000000000000250001", "0.000000000000000000000000000003"},
    };
    for (const auto& c : cases) EXPECT_EQ(Decimal::Parse(c.text).ToString(), c.written) << c.text;
    EXPECT_EQ(Decimal::Parse("-12.5").ToString(','), "-12,5");
}

TEST(Decimal, BadTextAndOverflowRaise) {
    for (const char* text : {"", "-", "1,5", "1e5", "12a", " 1", "1.2.3"}) {
        try {
            Decimal::Parse(text);
            ADD_FAILURE() << text;
        } catch (const fw::EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid BCD value");
        }
    }
    EXPECT_THROW(Decimal::Parse("170141183460469231731687303715884105728"), fw::EOverflow);
    EXPECT_THROW(Decimal::FromDouble(1e300), fw::EOverflow);
    EXPECT_THROW(Decimal::FromDouble(std::nan("")), fw::EConvertError);
}

TEST(Decimal, ComparesValuesExactlyAcrossScales) {
    const auto d = [](const char* text) { return Decimal::Parse(text); };
    EXPECT_EQ(d("1.5"), d("1.50000"));
    EXPECT_EQ(d("-0.0"), d("0"));
    EXPECT_LT(d("-0.5"), d("0.3"));
    EXPECT_LT(d("-1"), d("-0.999999999999999999999999999999"));
    EXPECT_GT(d("-0.5"), d("-1"));
    EXPECT_LT(d("0.999999999999999999999999999999"), d("1"));
    // Bringing these to one scale would overflow 128 bits.
    EXPECT_GT(d("170141183460469231731687303715884105727"), d("1.000000000000000000000000000001"));
    EXPECT_LT(d("-170141183460469231731687303715884105727"), d("-0.000000000000000000000000000001"));
    EXPECT_EQ(Decimal::FromUnscaled(12345, 2), d("123.45"));
    EXPECT_EQ(Decimal::FromUnscaled(5, -3), d("5000"));
}

TEST(Decimal, FromDoubleTakesTheShortestText) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0.1, "0.1"},      {0.1 + 0.2, "0.30000000000000004"},
                 {1e-5, "0.00001"}, {1.5e20, "150000000000000000000"},
                 {-30.3, "-30.3"},  {100, "100"}};
    for (const auto& c : cases) EXPECT_EQ(Decimal::FromDouble(c.value), Decimal::Parse(c.text)) << c.text;
}

TEST(Decimal, ConvertsToCurrencyAndDouble) {
    const struct {
        const char* text;
        std::optional<std::int64_t> raw;  // nullopt: overflow
    } cases[] = {{"1.23456", 12346},
                 {"0.00005", 0},
                 {"0.00015", 2},
                 {"-0.00015", -2},
                 {"0.000051", 1},
                 {"12", 120000},
                 {"922337203685477.5807", 9223372036854775807},
                 {"922337203685477.5808", std::nullopt},
                 {"1000000000000000", std::nullopt}};
    for (const auto& c : cases) {
        if (c.raw) {
            EXPECT_EQ(Decimal::Parse(c.text).ToCurrency().Raw(), *c.raw) << c.text;
        } else {
            EXPECT_THROW(Decimal::Parse(c.text).ToCurrency(), fw::EOverflow) << c.text;
        }
    }
    EXPECT_EQ(Decimal::FromCurrency(Currency::FromRaw(-12345)), Decimal::Parse("-1.2345"));
    EXPECT_EQ(Decimal::Parse("30.3").ToDouble(), 30.3);
    EXPECT_EQ(Decimal::Parse("0.30000000000000004").ToDouble(), 0.1 + 0.2);
    EXPECT_EQ(Decimal::Parse("-12.5").ToLongDouble(), -12.5L);
}

}  // namespace
