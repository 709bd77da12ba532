#pragma once
// Variant: a dynamically typed value as the datasets hand it out.
#include <cstdint>
#include <string>
#include <variant>

#include "currency.h"

namespace fw {

enum class VarType { Empty, Null, Integer, Double, Currency, DateTime, String, Boolean, Decimal };

// The type names used in conversion messages: "Empty", "Null", "Int64",
// "Double", "Currency", "Date", "String", "Boolean", "FMTBcd".
const char* VarTypeName(VarType type);

class Variant {
public:
    Variant() = default;  // Empty
    static Variant Null();
    Variant(std::int32_t v) : value_(std::int64_t{v}) {}
    Variant(std::int64_t v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(Currency v) : value_(v) {}
    Variant(Decimal v) : value_(v) {}
    Variant(bool v) : value_(v) {}
    Variant(std::string v) : value_(std::move(v)) {}
    Variant(const char* v) : value_(std::string(v)) {}
    static Variant FromDateTime(double dateTime);

    VarType Type() const;
    bool IsNull() const { return Type() == VarType::Null; }
    bool IsEmpty() const { return Type() == VarType::Empty; }

    // Booleans convert as in the classic runtime: True is -1. Numbers round
    // to integers half to even. Strings are read with "." as separator.
    // Conversions raise EVariantTypeCastError
    // "Could not convert variant of type (%s) into type (%s)" when impossible
    // (Null and Empty into a number, for instance; Empty reads as 0 / "").
    double AsDouble() const;
    long double AsLongDouble() const;
    std::int64_t AsInteger() const;
    Currency AsCurrency() const;
    Decimal AsDecimal() const;
    bool AsBoolean() const;
    std::string AsString() const;  // numbers written with "." as separator

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct DateTag {
        double value;
    };
    std::variant<std::monostate, NullTag, std::int64_t, double, Currency, DateTag, std::string, bool, Decimal> value_;
};

// The not-equal comparison the search uses:
//  both Null equal; exactly one Null differs; double with double exactly;
//  currency with a double or an integer through currency; decimal with any
//  number exactly as decimals; integer with double as doubles; integer with
//  integer as integers; date-time counts as a double.
// A double that has no fixed-point value (NaN, infinite, beyond the currency or
// decimal range) differs from every currency or decimal instead of raising.
// Also: Empty reads as 0 (or "" against a string); two strings compare as
// text, two Booleans as Booleans; a string against a number as doubles.
bool VarNotEqual(const Variant& a, const Variant& b);

// |a| - |b| in extended precision, each converted to a double first.
long double VarAbsDifference(const Variant& a, const Variant& b);

}  // namespace fw
