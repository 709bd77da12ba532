// Variant comparisons, differences and conversions as the search uses them.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "framework/exceptions.h"
#include "framework/format.h"
#include "framework/variant.h"

namespace {

using fw::Currency;
using fw::Decimal;
using fw::Variant;

Variant Cur(std::int64_t raw) { return Variant(Currency::FromRaw(raw)); }
Variant Dec(const char* text) { return Variant(Decimal::Parse(text)); }
Variant Int(std::int64_t v) { return Variant(v); }

struct Case {
    const char* what;
    Variant amount;
    Variant total;
    bool differ;
    std::optional<std::string> difference;  // as the search writes it, when it is computed
};

const Case kCases[] = {
    {"sign flip", Variant(-50.0), Variant(50.0), true, "0"},
    {"rounding only", Variant(30.3), Variant(10.1 + 20.2), true, "3.5527136788005E-15"},
    {"over-applied", Variant(100.0), Variant(112.5), true, "-12.5"},
    {"settled doubles", Variant(75.25), Variant(75.25), false, "0"},
    {"both null", Variant::Null(), Variant::Null(), false, std::nullopt},
    // Currency against a double: the double is rounded to four decimals first.
    {"currency equals its double", Cur(12345), Variant(1.2345), false, "0"},
    {"double rounds up onto the currency", Cur(12345), Variant(1.23449999), false, std::nullopt},
    {"double rounds down away from it", Cur(12345), Variant(1.23444), true, std::nullopt},
    {"just above the half rounds up", Cur(1), Variant(0.00005), false, std::nullopt},
    {"exact tie goes to even (down)", Cur(312), Variant(0.03125), false, std::nullopt},
    {"exact tie, odd neighbour differs", Cur(313), Variant(0.03125), true, std::nullopt},
    {"exact tie goes to even (up)", Variant(0.09375), Cur(938), false, std::nullopt},
    {"currency against a huge double", Cur(10000), Variant(1e300), true, std::nullopt},
    {"currency against NaN", Cur(10000), Variant(std::nan("")), true, std::nullopt},
    {"currency and integer equal", Cur(120000), Int(12), false, "0"},
    {"currency and integer differ", Cur(120001), Int(12), true, std::nullopt},
    {"currency difference", Cur(1000000), Variant(112.5), true, "-12.5"},
    // Integer against double: as doubles, so 2^53 + 1 meets 2^53.
    {"integer equals double", Int(3), Variant(3.0), false, "0"},
    {"integer against a nearby double", Int(3), Variant(3.0000000000000004), true, std::nullopt},
    {"integer widened to double", Int(9007199254740993), Variant(9007199254740992.0), false, std::nullopt},
    {"integers as integers", Int(9007199254740993), Int(9007199254740992), true, std::nullopt},
    {"integers equal", Int(-7), Variant(std::int32_t{-7}), false, "0"},
    // Decimals compare exactly with anything numeric.
    {"decimal against its double", Dec("0.1"), Variant(0.1), false, std::nullopt},
    {"decimal against a double sum", Dec("0.3"), Variant(0.1 + 0.2), true, std::nullopt},
    {"decimal against currency", Dec("1.23450"), Cur(12345), false, std::nullopt},
    {"decimal not rounded to currency", Dec("1.23456"), Cur(12346), true, std::nullopt},
    {"decimal against integer", Dec("12.000"), Int(12), false, std::nullopt},
    {"decimal difference", Dec("100"), Dec("112.5"), true, "-12.5"},
    {"date-time counts as a double", Variant::FromDateTime(40617.5), Variant(40617.5), false, std::nullopt},
};

TEST(VariantComparison, Table) {
    const fw::FormatSettings settings;
    for (const Case& c : kCases) {
        EXPECT_EQ(fw::VarNotEqual(c.amount, c.total), c.differ) << c.what;
        EXPECT_EQ(fw::VarNotEqual(c.total, c.amount), c.differ) << c.what << " (swapped)";
        if (c.difference) {
            EXPECT_EQ(fw::FormatGeneral15(fw::VarAbsDifference(c.amount, c.total), settings), *c.difference) << c.what;
        }
    }
}

TEST(VariantComparison, OneNullDiffersAndCannotBeSubtracted) {
    for (const auto& [amount, total] :
         {std::pair{Variant(10.0), Variant::Null()}, std::pair{Variant::Null(), Cur(5)}}) {
        EXPECT_TRUE(fw::VarNotEqual(amount, total));
        try {
            fw::VarAbsDifference(amount, total);
            ADD_FAILURE() << "no exception";
        } catch (const fw::EVariantTypeCastError& e) {
            EXPECT_EQ(e.Message(), "Could not convert variant of type (Null) into type (Double)");
        }
    }
}

TEST(VariantConversion, NumbersAndText) {
    EXPECT_EQ(Cur(-12345).AsDouble(), -1.2345);
    EXPECT_EQ(Cur(15000).AsInteger(), 2);  // 1.5 to even
    EXPECT_EQ(Cur(25000).AsInteger(), 2);  // 2.5 to even
    EXPECT_EQ(Cur(-25001).AsInteger(), -3);
    EXPECT_EQ(Variant(2.5).AsInteger(), 2);
    EXPECT_EQ(Dec("-3.5").AsInteger(), -4);
    EXPECT_EQ(Variant(1.23449999).AsCurrency().Raw(), 12345);
    EXPECT_EQ(Variant("12.34").AsCurrency().Raw(), 123400);
    EXPECT_EQ(Variant(" 42 ").AsInteger(), 42);
    EXPECT_EQ(Variant("1.5E3").AsDouble(), 1500.0);
    EXPECT_EQ(Variant().AsDouble(), 0.0);
    EXPECT_EQ(Variant().AsString(), "");
    EXPECT_EQ(Variant(true).AsInteger(), -1);
    EXPECT_TRUE(Variant("true").AsBoolean());

    EXPECT_EQ(Variant(12.5).AsString(), "12.5");
    EXPECT_EQ(Cur(123400).AsString(), "12.34");
    EXPECT_EQ(Dec("-7.500").AsString(), "-7.5");
    EXPECT_EQ(Int(-3).AsString(), "-3");
    EXPECT_EQ(Variant::FromDateTime(40617.25).AsString(), "03/15/2011 06:00:00");
    EXPECT_EQ(Variant::FromDateTime(40617).AsString(), "03/15/2011");

    const struct {
        Variant value;
        const char* message;
    } failures[] = {
        {Variant("abc"), "Could not convert variant of type (String) into type (Double)"},
        {Variant::Null(), "Could not convert variant of type (Null) into type (Double)"},
    };
    for (const auto& f : failures) {
        try {
            f.value.AsDouble();
            ADD_FAILURE() << f.message;
        } catch (const fw::EVariantTypeCastError& e) {
            EXPECT_EQ(e.Message(), f.message);
        }
    }
    EXPECT_THROW(Variant::Null().AsString(), fw::EVariantTypeCastError);
    EXPECT_THROW(Variant::Null().AsInteger(), fw::EVariantTypeCastError);
    EXPECT_THROW(Variant(1e300).AsInteger(), fw::EOverflow);
}

TEST(VariantType, KindsAndNames) {
    EXPECT_EQ(Variant().Type(), fw::VarType::Empty);
    EXPECT_EQ(Variant::Null().Type(), fw::VarType::Null);
    EXPECT_EQ(Variant(std::int32_t{1}).Type(), fw::VarType::Integer);
    EXPECT_EQ(Cur(1).Type(), fw::VarType::Currency);
    EXPECT_EQ(Variant::FromDateTime(1).Type(), fw::VarType::DateTime);
    EXPECT_EQ(Dec("1").Type(), fw::VarType::Decimal);
    EXPECT_EQ(Variant("x").Type(), fw::VarType::String);
    EXPECT_EQ(Variant(false).Type(), fw::VarType::Boolean);
    EXPECT_STREQ(fw::VarTypeName(fw::VarType::Integer), "Int64");
    EXPECT_STREQ(fw::VarTypeName(fw::VarType::Decimal), "FMTBcd");
}

TEST(Format, FillsPlaceholdersInOrder) {
    EXPECT_EQ(fw::Format("Field '%s' not found", {"Amount"}), "Field 'Amount' not found");
    EXPECT_EQ(fw::Format("%s: %d%% of %d", {"Bar", "50", "7"}), "Bar: 50% of 7");
    EXPECT_EQ(fw::Format("no argument for %s", {}), "no argument for %s");
}

}  // namespace
