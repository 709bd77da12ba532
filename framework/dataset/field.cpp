// Field reads: each value is fetched from the dataset in its type's value format
// and converted to the kind asked for, with the conversion errors of the runtime.
#include "framework/dataset/field.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"

namespace fw {

namespace {

constexpr double MsPerDay = 86400000.0;

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

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

// Reads a date (and an optional time) written in the order of the short date
// format with the date separator, as the user would type it.
bool ParseDateTime(std::string_view text, const FormatSettings& settings, double& value) {
    text = Trimmed(text);
    std::vector<int> parts;
    std::size_t pos = 0;
    const auto number = [&](int& out) {
        const auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), out);
        if (error != std::errc{} || end == text.data() + pos) return false;
        pos = static_cast<std::size_t>(end - text.data());
        return true;
    };
    int n = 0;
    if (!number(n)) return false;
    parts.push_back(n);
    const char separator = settings.DateSeparator != '\0' ? settings.DateSeparator : '/';
    while (parts.size() < 3 && pos < text.size() && text[pos] == separator) {
        ++pos;
        if (!number(n)) return false;
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
    if (pos == text.size()) return true;
    if (text[pos] != ' ') return false;
    ++pos;
    int hms[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        if (!number(hms[count])) return false;
        ++count;
        if (pos < text.size() && text[pos] == settings.TimeSeparator) {
            ++pos;
        } else {
            break;
        }
    }
    if (pos != text.size() || count < 2) return false;
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return false;
    value += (value < 0 ? -1 : 1) * EncodeTime(hms[0], hms[1], hms[2], 0);
    return true;
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
void TField::WriteData(const void* buffer) { dataSet_.SetFieldData(*this, buffer); }
bool TField::IsNull() const { return !ReadData(nullptr); }
void TField::Clear() { WriteData(nullptr); }

void TField::AccessError(const char* typeName) const {
    throw EDatabaseError(Format("Cannot access field '%s' as type %s", {DisplayName(), typeName}));
}

std::string TField::ValueAsText() const { AccessError("String"); }
std::int32_t TField::ValueAsInteger() const { AccessError("Integer"); }
double TField::ValueAsFloat() const { AccessError("Float"); }
double TField::ValueAsDateTime() const { AccessError("DateTime"); }
Variant TField::ValueAsVariant() const { AccessError("Variant"); }
void TField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) {
        Clear();
        return;
    }
    AccessError("Variant");
}

// --- TStringField ---------------------------------------------------------

std::string TStringField::ValueAsText() const {
    std::vector<char> buffer(DataSize() + 1, '\0');
    if (!ReadData(buffer.data())) return {};
    return std::string(buffer.data());
}

std::int32_t TStringField::ValueAsInteger() const {
    const std::string text = ValueAsText();
    const std::string_view digits = Trimmed(text);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) {
        throw EConvertError(Format("'%s' is not a valid integer value", {text}));
    }
    return value;
}

double TStringField::ValueAsFloat() const {
    const std::string text = ValueAsText();
    std::string normal(Trimmed(text));
    for (char& c : normal)
        if (c == DataSet().Settings().DecimalSeparator) c = '.';
    double value = 0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (normal.empty() || error != std::errc{} || end != normal.data() + normal.size()) {
        throw EConvertError(Format("'%s' is not a valid floating point value", {text}));
    }
    return value;
}

double TStringField::ValueAsDateTime() const {
    const std::string text = ValueAsText();
    double value = 0;
    if (!ParseDateTime(text, DataSet().Settings(), value)) {
        throw EConvertError(Format("'%s' is not a valid date and time", {text}));
    }
    return value;
}

Variant TStringField::ValueAsVariant() const {
    std::vector<char> buffer(DataSize() + 1, '\0');
    if (!ReadData(buffer.data())) return Variant::Null();
    return Variant(std::string(buffer.data()));
}

void TStringField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    std::string text = value.AsString();
    if (text.size() > static_cast<std::size_t>(Size())) text.resize(static_cast<std::size_t>(Size()));
    WriteData(text.c_str());
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

void TIntegerField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    const std::int64_t wide = value.AsInteger();
    if (DataType() == TFieldType::ftSmallint) {
        if (wide < std::numeric_limits<std::int16_t>::min() || wide > std::numeric_limits<std::int16_t>::max()) {
            throw EDatabaseError(
                Format("%s is not a valid value for field '%s'", {std::to_string(wide), DisplayName()}));
        }
        const auto small = static_cast<std::int16_t>(wide);
        return WriteData(&small);
    }
    if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max()) {
        throw EDatabaseError(Format("%s is not a valid value for field '%s'", {std::to_string(wide), DisplayName()}));
    }
    const auto narrow = static_cast<std::int32_t>(wide);
    WriteData(&narrow);
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

void TBooleanField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    const std::int16_t flag = value.AsBoolean() ? -1 : 0;
    WriteData(&flag);
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

void TFloatField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    const double number = value.AsDouble();
    WriteData(&number);
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

void TBCDField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    const Decimal number = value.AsDecimal();
    WriteData(&number);
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
        default: {
            std::string text = FormatDateTime(settings.ShortDateFormat, value, settings);
            int h = 0, n = 0, s = 0, ms = 0;
            DecodeTime(value, h, n, s, ms);
            if (h != 0 || n != 0 || s != 0 || ms != 0)
                text += " " + FormatDateTime(settings.LongTimeFormat, value, settings);
            return text;
        }
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

void TDateTimeField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    const double dateTime = value.AsDouble();
    const double whole = std::trunc(dateTime);
    const std::int64_t ms = std::llround(std::fabs(dateTime - whole) * MsPerDay);
    const auto day = static_cast<std::int64_t>(whole) + DateDelta;
    switch (DataType()) {
        case TFieldType::ftDate: {
            const auto d = static_cast<std::int32_t>(day);
            return WriteData(&d);
        }
        case TFieldType::ftTime: {
            const auto t = static_cast<std::int32_t>(ms % 86400000);
            return WriteData(&t);
        }
        default: {
            const double total = static_cast<double>(day) * MsPerDay + static_cast<double>(ms);
            return WriteData(&total);
        }
    }
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
