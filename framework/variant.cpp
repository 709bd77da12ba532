// Variant comparisons, differences and conversions as the search relies on them,
// with the runtime's conversion messages.
#include "framework/variant.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "framework/exceptions.h"
#include "framework/format.h"
#include "framework/int128_text.h"
#include "framework/text_compare.h"

namespace fw {

namespace {

[[noreturn]] void ThrowCast(VarType from, VarType to) {
    throw EVariantTypeCastError(
        Format("Could not convert variant of type (%s) into type (%s)", {VarTypeName(from), VarTypeName(to)}));
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool ParseDouble(std::string_view text, double& value) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

bool ParseInteger(std::string_view text, std::int64_t& value) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

// A double rounded to the nearest integer, an exact half to even.
std::int64_t RoundToInteger(double value) {
    if (std::isnan(value)) throw EConvertError("Invalid floating point operation");
    const double rounded = std::nearbyint(value);  // the default mode rounds half to even
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) {
        throw EOverflow("Floating point overflow");
    }
    return static_cast<std::int64_t>(rounded);
}

// A decimal rounded to the nearest integer, an exact half to even.
std::int64_t ToInteger(const Decimal& d) {
    const detail::i128 whole = detail::DivideRoundHalfEven(d.Unscaled(), detail::Pow10(d.DecimalScale()));
    if (whole > std::numeric_limits<std::int64_t>::max() || whole < std::numeric_limits<std::int64_t>::min()) {
        throw EOverflow("Floating point overflow");
    }
    return static_cast<std::int64_t>(whole);
}

}  // namespace

const char* VarTypeName(VarType type) {
    switch (type) {
        case VarType::Empty: return "Empty";
        case VarType::Null: return "Null";
        case VarType::Integer: return "Int64";
        case VarType::Double: return "Double";
        case VarType::Currency: return "Currency";
        case VarType::DateTime: return "Date";
        case VarType::String: return "String";
        case VarType::Boolean: return "Boolean";
        case VarType::Decimal: return "FMTBcd";
    }
    return "Unknown";
}

Variant Variant::Null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
}

Variant Variant::FromDateTime(double dateTime) {
    Variant v;
    v.value_ = DateTag{dateTime};
    return v;
}

VarType Variant::Type() const {
    // The order of the alternatives follows VarType.
    return static_cast<VarType>(value_.index());
}

double Variant::AsDouble() const {
    switch (Type()) {
        case VarType::Empty: return 0;
        case VarType::Integer: return static_cast<double>(std::get<std::int64_t>(value_));
        case VarType::Double: return std::get<double>(value_);
        case VarType::Currency: return std::get<Currency>(value_).ToDouble();
        case VarType::DateTime: return std::get<DateTag>(value_).value;
        case VarType::Decimal: return std::get<Decimal>(value_).ToDouble();
        case VarType::Boolean: return std::get<bool>(value_) ? -1.0 : 0.0;  // True is -1, as in the classic runtime
        case VarType::String: {
            double value = 0;
            if (ParseDouble(std::get<std::string>(value_), value)) return value;
            break;
        }
        case VarType::Null: break;
    }
    ThrowCast(Type(), VarType::Double);
}

long double Variant::AsLongDouble() const {
    switch (Type()) {
        case VarType::Currency: return std::get<Currency>(value_).ToLongDouble();
        case VarType::Decimal: return std::get<Decimal>(value_).ToLongDouble();
        case VarType::Integer: return static_cast<long double>(std::get<std::int64_t>(value_));
        default: return AsDouble();
    }
}

std::int64_t Variant::AsInteger() const {
    switch (Type()) {
        case VarType::Empty: return 0;
        case VarType::Integer: return std::get<std::int64_t>(value_);
        case VarType::Boolean: return std::get<bool>(value_) ? -1 : 0;
        case VarType::Double: return RoundToInteger(std::get<double>(value_));
        case VarType::DateTime: return RoundToInteger(std::get<DateTag>(value_).value);
        case VarType::Currency: return ToInteger(Decimal::FromCurrency(std::get<Currency>(value_)));
        case VarType::Decimal: return ToInteger(std::get<Decimal>(value_));
        case VarType::String: {
            std::int64_t value = 0;
            if (ParseInteger(std::get<std::string>(value_), value)) return value;
            double d = 0;
            if (ParseDouble(std::get<std::string>(value_), d)) return RoundToInteger(d);
            break;
        }
        case VarType::Null: break;
    }
    ThrowCast(Type(), VarType::Integer);
}

Currency Variant::AsCurrency() const {
    switch (Type()) {
        case VarType::Empty: return Currency{};
        case VarType::Integer: return Currency::FromInteger(std::get<std::int64_t>(value_));
        case VarType::Double: return Currency::FromDouble(std::get<double>(value_));
        case VarType::DateTime: return Currency::FromDouble(std::get<DateTag>(value_).value);
        case VarType::Currency: return std::get<Currency>(value_);
        case VarType::Decimal: return std::get<Decimal>(value_).ToCurrency();
        case VarType::Boolean: return Currency::FromInteger(AsInteger());
        case VarType::String: {
            const std::string text(Trimmed(std::get<std::string>(value_)));
            try {
                return Decimal::Parse(text).ToCurrency();
            } catch (const EConvertError&) {
                double value = 0;
                if (ParseDouble(text, value)) return Currency::FromDouble(value);
            }
            break;
        }
        case VarType::Null: break;
    }
    ThrowCast(Type(), VarType::Currency);
}

Decimal Variant::AsDecimal() const {
    switch (Type()) {
        case VarType::Empty: return Decimal{};
        case VarType::Integer: return Decimal::FromInteger(std::get<std::int64_t>(value_));
        case VarType::Double: return Decimal::FromDouble(std::get<double>(value_));
        case VarType::DateTime: return Decimal::FromDouble(std::get<DateTag>(value_).value);
        case VarType::Currency: return Decimal::FromCurrency(std::get<Currency>(value_));
        case VarType::Decimal: return std::get<Decimal>(value_);
        case VarType::Boolean: return Decimal::FromInteger(AsInteger());
        case VarType::String: {
            const std::string text(Trimmed(std::get<std::string>(value_)));
            try {
                return Decimal::Parse(text);
            } catch (const EConvertError&) {
                double value = 0;
                if (ParseDouble(text, value)) return Decimal::FromDouble(value);
            }
            break;
        }
        case VarType::Null: break;
    }
    ThrowCast(Type(), VarType::Decimal);
}

bool Variant::AsBoolean() const {
    switch (Type()) {
        case VarType::Empty: return false;
        case VarType::Boolean: return std::get<bool>(value_);
        case VarType::Integer: return std::get<std::int64_t>(value_) != 0;
        case VarType::Double: return std::get<double>(value_) != 0;
        case VarType::DateTime: return std::get<DateTag>(value_).value != 0;
        case VarType::Currency: return std::get<Currency>(value_).Raw() != 0;
        case VarType::Decimal: return std::get<Decimal>(value_).Unscaled() != 0;
        case VarType::String: {
            const std::string_view text = Trimmed(std::get<std::string>(value_));
            if (SameText(text, "True")) return true;
            if (SameText(text, "False")) return false;
            double value = 0;
            if (ParseDouble(text, value)) return value != 0;
            break;
        }
        case VarType::Null: break;
    }
    ThrowCast(Type(), VarType::Boolean);
}

namespace {

// Plain decimal text without trailing fraction zeros.
std::string ShortDecimalText(const Decimal& d) {
    std::string text = d.ToString('.');
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

}  // namespace

std::string Variant::AsString() const {
    const FormatSettings plain;  // "." and the default date and time formats
    switch (Type()) {
        case VarType::Empty: return {};
        case VarType::String: return std::get<std::string>(value_);
        case VarType::Integer: return std::to_string(std::get<std::int64_t>(value_));
        case VarType::Double: return FormatGeneral15(std::get<double>(value_), plain);
        case VarType::Currency: return ShortDecimalText(Decimal::FromCurrency(std::get<Currency>(value_)));
        case VarType::Decimal: return ShortDecimalText(std::get<Decimal>(value_));
        case VarType::Boolean: return std::get<bool>(value_) ? "True" : "False";
        case VarType::DateTime: {
            const double value = std::get<DateTag>(value_).value;
            std::string text = FormatDateTime(plain.ShortDateFormat, value, plain);
            if (value != std::trunc(value)) text += " " + FormatDateTime(plain.LongTimeFormat, value, plain);
            return text;
        }
        case VarType::Null: break;
    }
    ThrowCast(Type(), VarType::String);
}

namespace {

bool Differ(const Variant& a, const Variant& b);

// Empty stands for the zero value of the other side's kind.
Variant ZeroLike(const Variant& other) {
    return other.Type() == VarType::String ? Variant(std::string{}) : Variant(std::int64_t{0});
}

bool IsNonFiniteDouble(const Variant& v) {
    return (v.Type() == VarType::Double || v.Type() == VarType::DateTime) && !std::isfinite(v.AsDouble());
}

bool Differ(const Variant& a, const Variant& b) {
    const VarType ta = a.Type();
    const VarType tb = b.Type();
    if (ta == VarType::Null || tb == VarType::Null) return !(ta == VarType::Null && tb == VarType::Null);
    if (ta == VarType::Empty && tb == VarType::Empty) return false;
    if (ta == VarType::Empty) return Differ(ZeroLike(b), b);
    if (tb == VarType::Empty) return Differ(a, ZeroLike(a));
    if (ta == VarType::String && tb == VarType::String) return a.AsString() != b.AsString();
    if (ta == VarType::Boolean && tb == VarType::Boolean) return a.AsBoolean() != b.AsBoolean();
    const auto either = [&](VarType t) { return ta == t || tb == t; };
    if (either(VarType::Decimal) || either(VarType::Currency)) {
        // A NaN or an infinity has no fixed-point value; it differs from every number.
        if (IsNonFiniteDouble(a) || IsNonFiniteDouble(b)) return true;
        try {
            if (either(VarType::Decimal)) return a.AsDecimal() != b.AsDecimal();
            return a.AsCurrency() != b.AsCurrency();
        } catch (const EOverflow&) {
            return true;  // a number beyond the fixed-point range cannot equal a fixed-point value
        }
    }
    if (either(VarType::Double) || either(VarType::DateTime) || either(VarType::String)) {
        return a.AsDouble() != b.AsDouble();
    }
    return a.AsInteger() != b.AsInteger();  // integers and Booleans
}

}  // namespace

bool VarNotEqual(const Variant& a, const Variant& b) { return Differ(a, b); }

long double VarAbsDifference(const Variant& a, const Variant& b) {
    const long double left = a.AsDouble();
    const long double right = b.AsDouble();
    return std::fabs(left) - std::fabs(right);
}

}  // namespace fw
