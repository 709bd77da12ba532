// Field reads: each value is fetched from the dataset in its type's value format
// and converted to the kind asked for, with the conversion errors of the runtime.
#include "framework/dataset/field.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "framework/dataset/dataset.h"
#include "framework/dataset/field_text.h"
#include "framework/exceptions.h"

namespace fw {

namespace {

constexpr double MsPerDay = 86400000.0;

std::int32_t RoundHalfEven(double value) {
    const double rounded = std::nearbyint(value);  // the default mode rounds half to even
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max())) {
        throw EOverflow("Floating point overflow");
    }
    return static_cast<std::int32_t>(rounded);
}

[[noreturn]] void RaiseOutOfRange(const TField& field) {
    throw EOverflow(Format("Value of field '%s' is out of range", {field.DisplayName()}));
}

// A fixed-point value rounded to the nearest integer, an exact half to even;
// one beyond 32 bits is out of the field's range rather than wrapped.
std::int32_t FieldInteger(const Decimal& value, const TField& field) {
    const std::int64_t wide = Variant(value).AsInteger();  // a currency value always fits 64 bits
    if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max()) {
        RaiseOutOfRange(field);
    }
    return static_cast<std::int32_t>(wide);
}

// The same for a floating-point value.
std::int32_t FieldInteger(double value, const TField& field) {
    const double rounded = std::nearbyint(value);  // the default mode rounds half to even
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max())) {
        RaiseOutOfRange(field);
    }
    return static_cast<std::int32_t>(rounded);
}

// A fixed-point value as plain text without trailing zeros.
std::string DecimalText(const Decimal& value, char separator) {
    std::string text = value.ToString(separator);
    if (text.find(separator) != std::string::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == separator) text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

}  // namespace

double DateTimeFromTimeStamp(std::int64_t dayNumber, std::int64_t milliseconds) {
    if (dayNumber <= 0 || milliseconds < 0) {
        throw EConvertError(
            Format("'%d.%d' is not a valid timestamp", {std::to_string(dayNumber), std::to_string(milliseconds)}));
    }
    const double days = static_cast<double>(dayNumber - DateDelta);
    const double time = static_cast<double>(milliseconds) / MsPerDay;
    return dayNumber < DateDelta ? days - time : days + time;
}

std::string DateTimeText(double value, const FormatSettings& settings) {
    std::string text = FormatDateTime(settings.ShortDateFormat, value, settings);
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(value, h, n, s, ms);
    if (h != 0 || n != 0 || s != 0 || ms != 0) text += " " + FormatDateTime(settings.LongTimeFormat, value, settings);
    return text;
}

TField::TField(TDataSet& dataSet, TFieldType type, std::string name, std::int32_t size, std::int32_t fieldNo)
    : dataSet_(dataSet), type_(type), name_(std::move(name)), size_(size), fieldNo_(fieldNo) {}

std::size_t TField::DataSize() const {
    using T = TFieldType;
    switch (type_) {
        case T::ftString:
        case T::ftFixedChar: return static_cast<std::size_t>(size_) + 1;
        case T::ftSmallint:
        case T::ftBoolean:
        case T::ftWord: return 2;
        case T::ftInteger:
        case T::ftAutoInc:
        case T::ftDate:
        case T::ftTime: return 4;
        case T::ftFloat:
        case T::ftCurrency:
        case T::ftDateTime:
        case T::ftLargeint: return 8;
        case T::ftBCD:
        case T::ftFMTBcd: return sizeof(Decimal);
        case T::ftBytes: return static_cast<std::size_t>(size_);
        case T::ftVarBytes: return static_cast<std::size_t>(size_) + 2;
        default: return 0;
    }
}

bool TField::ReadData(void* buffer) const { return dataSet_.GetFieldData(*this, buffer); }
bool TField::IsNull() const { return !ReadData(nullptr); }

void TField::AccessError(const char* typeName) const {
    throw EDatabaseError(Format("Cannot access field '%s' as type %s", {DisplayName(), typeName}));
}

std::string TField::ValueAsText() const { AccessError("String"); }
std::int32_t TField::ValueAsInteger() const { AccessError("Integer"); }
double TField::ValueAsFloat() const { AccessError("Float"); }
double TField::ValueAsDateTime() const { AccessError("DateTime"); }
Variant TField::ValueAsVariant() const { AccessError("Variant"); }

// --- TStringField ---------------------------------------------------------

std::string TStringField::ValueAsText() const {
    std::vector<char> buffer(DataSize() + 1, '\0');
    if (!ReadData(buffer.data())) return {};
    return std::string(buffer.data());
}

std::int32_t TStringField::ValueAsInteger() const {
    const std::string text = ValueAsText();
    const std::string_view digits = TrimBlanks(text);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) {
        throw EConvertError(Format("'%s' is not a valid integer value", {text}));
    }
    return value;
}

double TStringField::ValueAsFloat() const {
    const std::string text = ValueAsText();
    double value = 0;
    if (!ParseFloatText(text, DataSet().Settings(), value)) {
        throw EConvertError(Format("'%s' is not a valid floating point value", {text}));
    }
    return value;
}

double TStringField::ValueAsDateTime() const {
    const std::string text = ValueAsText();
    double value = 0;
    if (!ParseDateTimeText(text, DataSet().Settings(), value)) {
        throw EConvertError(Format("'%s' is not a valid date and time", {text}));
    }
    return value;
}

Variant TStringField::ValueAsVariant() const {
    std::vector<char> buffer(DataSize() + 1, '\0');
    if (!ReadData(buffer.data())) return Variant::Null();
    return Variant(std::string(buffer.data()));
}

// --- integers -------------------------------------------------------------

bool TIntegerField::Read(std::int32_t& value) const {
    if (DataType() == TFieldType::ftSmallint) {
        std::int16_t small = 0;
        if (!ReadData(&small)) return false;
        value = small;
        return true;
    }
    return ReadData(&value);
}

std::string TIntegerField::ValueAsText() const {
    std::int32_t value = 0;
    return Read(value) ? std::to_string(value) : std::string();
}

std::int32_t TIntegerField::ValueAsInteger() const {
    std::int32_t value = 0;
    return Read(value) ? value : 0;
}

double TIntegerField::ValueAsFloat() const { return ValueAsInteger(); }

Variant TIntegerField::ValueAsVariant() const {
    std::int32_t value = 0;
    return Read(value) ? Variant(value) : Variant::Null();
}

// --- TBooleanField --------------------------------------------------------

std::string TBooleanField::ValueAsText() const {
    std::int16_t value = 0;
    if (!ReadData(&value)) return {};
    return value != 0 ? "True" : "False";
}

Variant TBooleanField::ValueAsVariant() const {
    std::int16_t value = 0;
    if (!ReadData(&value)) return Variant::Null();
    return Variant(value != 0);
}

// --- TFloatField ----------------------------------------------------------

std::string TFloatField::ValueAsText() const {
    double value = 0;
    if (!ReadData(&value)) return {};
    return FormatGeneral15(value, DataSet().Settings());
}

std::int32_t TFloatField::ValueAsInteger() const {
    double value = 0;
    return ReadData(&value) ? RoundHalfEven(value) : 0;
}

double TFloatField::ValueAsFloat() const {
    double value = 0;
    return ReadData(&value) ? value : 0;
}

Variant TFloatField::ValueAsVariant() const {
    double value = 0;
    return ReadData(&value) ? Variant(value) : Variant::Null();
}

// --- fixed point ----------------------------------------------------------

bool TBCDField::ReadDecimal(Decimal& value) const { return ReadData(&value); }

// Reads convert to a currency value; EOverflow names the field when it does not fit.
namespace {
Currency ToFieldCurrency(const Decimal& value, const TField& field) {
    try {
        return value.ToCurrency();
    } catch (const EOverflow&) {
        RaiseOutOfRange(field);
    }
}
}  // namespace

std::string TBCDField::ValueAsText() const {
    Decimal value;
    if (!ReadDecimal(value)) return {};
    return DecimalText(Decimal::FromCurrency(ToFieldCurrency(value, *this)), DataSet().Settings().DecimalSeparator);
}

std::int32_t TBCDField::ValueAsInteger() const {
    Decimal value;
    if (!ReadDecimal(value)) return 0;
    return FieldInteger(Decimal::FromCurrency(ToFieldCurrency(value, *this)), *this);
}

double TBCDField::ValueAsFloat() const {
    Decimal value;
    return ReadDecimal(value) ? ToFieldCurrency(value, *this).ToDouble() : 0;
}

Variant TBCDField::ValueAsVariant() const {
    Decimal value;
    return ReadDecimal(value) ? Variant(ToFieldCurrency(value, *this)) : Variant::Null();
}

std::string TFMTBCDField::ValueAsText() const {
    Decimal value;
    return ReadDecimal(value) ? DecimalText(value, DataSet().Settings().DecimalSeparator) : std::string();
}

std::int32_t TFMTBCDField::ValueAsInteger() const {
    Decimal value;
    return ReadDecimal(value) ? FieldInteger(value.ToDouble(), *this) : 0;
}

double TFMTBCDField::ValueAsFloat() const {
    Decimal value;
    return ReadDecimal(value) ? value.ToDouble() : 0;
}

Variant TFMTBCDField::ValueAsVariant() const {
    Decimal value;
    return ReadDecimal(value) ? Variant(value) : Variant::Null();
}

// --- dates and times ------------------------------------------------------

bool TDateTimeField::ReadDateTime(double& value) const {
    switch (DataType()) {
        case TFieldType::ftDate: {
            std::int32_t day = 0;
            if (!ReadData(&day)) return false;
            value = DateTimeFromTimeStamp(day, 0);
            return true;
        }
        case TFieldType::ftTime: {
            std::int32_t ms = 0;
            if (!ReadData(&ms)) return false;
            if (ms < 0) DateTimeFromTimeStamp(DateDelta, ms);  // raises
            value = ms / MsPerDay;
            return true;
        }
        default: {
            double total = 0;
            if (!ReadData(&total)) return false;
            const double rounded = std::round(total);
            const auto ms = static_cast<std::int64_t>(rounded);
            const std::int64_t perDay = 86400000;
            std::int64_t day = ms / perDay;
            std::int64_t rest = ms % perDay;
            if (rest < 0) {
                rest += perDay;
                --day;
            }
            value = DateTimeFromTimeStamp(day, rest);
            return true;
        }
    }
}

std::string TDateTimeField::ValueAsText() const {
    double value = 0;
    if (!ReadDateTime(value)) return {};
    const FormatSettings& settings = DataSet().Settings();
    switch (DataType()) {
        case TFieldType::ftDate: return FormatDateTime(settings.ShortDateFormat, value, settings);
        case TFieldType::ftTime: return FormatDateTime(settings.LongTimeFormat, value, settings);
        default: return DateTimeText(value, settings);
    }
}

double TDateTimeField::ValueAsFloat() const { return ValueAsDateTime(); }

double TDateTimeField::ValueAsDateTime() const {
    double value = 0;
    return ReadDateTime(value) ? value : 0;
}

Variant TDateTimeField::ValueAsVariant() const {
    double value = 0;
    return ReadDateTime(value) ? Variant::FromDateTime(value) : Variant::Null();
}

// --- bytes ----------------------------------------------------------------

std::string TBytesField::ValueAsText() const {
    std::vector<std::uint8_t> buffer(DataSize());
    if (!ReadData(buffer.data())) return {};
    if (DataType() == TFieldType::ftVarBytes) {
        std::uint16_t length = 0;
        std::memcpy(&length, buffer.data(), 2);
        return std::string(reinterpret_cast<const char*>(buffer.data()) + 2,
                           std::min<std::size_t>(length, buffer.size() - 2));
    }
    return std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size());
}

Variant TBytesField::ValueAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant(ValueAsText());
}

}  // namespace fw
