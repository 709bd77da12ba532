// Field writes: each value is converted to the value format of the field's
// type and handed to the dataset, whose SetFieldData checks the state first.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "framework/dataset/dataset.h"
#include "framework/dataset/field.h"
#include "framework/dataset/field_text.h"
#include "framework/exceptions.h"

namespace fw {

namespace {

constexpr double MsPerDay = 86400000.0;

bool Blank(const std::string& text) { return TrimBlanks(text).empty(); }

[[noreturn]] void RaiseInvalidValue(const std::string& value, const TField& field) {
    throw EDatabaseError(Format("%s is not a valid value for field '%s'", {value, field.DisplayName()}));
}

}  // namespace

void TField::WriteData(const void* buffer) { dataSet_.SetFieldData(*this, buffer); }
void TField::Clear() { WriteData(nullptr); }

void TField::SetValueAsText(const std::string&) { AccessError("String"); }
void TField::SetValueAsInteger(std::int32_t) { AccessError("Integer"); }
void TField::SetValueAsFloat(double) { AccessError("Float"); }
void TField::SetValueAsDateTime(double) { AccessError("DateTime"); }
void TField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    AccessError("Variant");
}

Variant TField::OldValue() const { return dataSet_.StateFieldValue(TDataSetState::dsOldValue, *this); }
Variant TField::NewValue() const { return dataSet_.StateFieldValue(TDataSetState::dsNewValue, *this); }
void TField::SetNewValue(const Variant& value) { dataSet_.SetStateFieldValue(TDataSetState::dsNewValue, *this, value); }

// --- TStringField ---------------------------------------------------------

void TStringField::SetValueAsText(const std::string& text) {
    if (text.size() <= static_cast<std::size_t>(Size())) return WriteData(text.c_str());
    const std::string cut = text.substr(0, static_cast<std::size_t>(Size()));
    WriteData(cut.c_str());
}

void TStringField::SetValueAsInteger(std::int32_t value) { SetValueAsText(std::to_string(value)); }

void TStringField::SetValueAsFloat(double value) { SetValueAsText(FormatGeneral15(value, DataSet().Settings())); }

void TStringField::SetValueAsDateTime(double value) { SetValueAsText(DateTimeText(value, DataSet().Settings())); }

void TStringField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    SetValueAsText(value.AsString());
}

// --- integers -------------------------------------------------------------

void TIntegerField::WriteInteger(std::int64_t value) {
    if (DataType() == TFieldType::ftSmallint) {
        if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max()) {
            RaiseInvalidValue(std::to_string(value), *this);
        }
        const auto small = static_cast<std::int16_t>(value);
        return WriteData(&small);
    }
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        RaiseInvalidValue(std::to_string(value), *this);
    }
    const auto narrow = static_cast<std::int32_t>(value);
    WriteData(&narrow);
}

void TIntegerField::SetValueAsText(const std::string& text) {
    if (Blank(text)) return Clear();
    std::int64_t value = 0;
    if (!ParseIntegerText(text, value)) throw EConvertError(Format("'%s' is not a valid integer value", {text}));
    WriteInteger(value);
}

void TIntegerField::SetValueAsInteger(std::int32_t value) { WriteInteger(value); }

void TIntegerField::SetValueAsFloat(double value) {
    const double rounded = std::nearbyint(value);  // the default mode rounds half to even
    if (!(rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        RaiseInvalidValue(FormatGeneral15(value, DataSet().Settings()), *this);
    }
    WriteInteger(static_cast<std::int64_t>(rounded));
}

void TIntegerField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    WriteInteger(value.AsInteger());
}

// --- TBooleanField --------------------------------------------------------

void TBooleanField::SetValueAsText(const std::string& text) {
    if (text.empty()) return Clear();
    // The start of a display text, compared ignoring case; "False" is tried first.
    const auto starts = [&text](const char* display) {
        const std::string shown(display);
        if (text.size() > shown.size()) return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto a = static_cast<unsigned char>(text[i]);
            const auto b = static_cast<unsigned char>(shown[i]);
            if (std::tolower(a) != std::tolower(b)) return false;
        }
        return true;
    };
    std::int16_t flag = 0;
    if (starts("False")) {
        flag = 0;
    } else if (starts("True")) {
        flag = -1;
    } else {
        throw EDatabaseError(Format("'%s' is not a valid boolean value for field '%s'", {text, DisplayName()}));
    }
    WriteData(&flag);
}

void TBooleanField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    const std::int16_t flag = value.AsBoolean() ? -1 : 0;
    WriteData(&flag);
}

// --- TFloatField ----------------------------------------------------------

void TFloatField::SetValueAsText(const std::string& text) {
    if (Blank(text)) return Clear();
    double value = 0;
    if (!ParseFloatText(text, DataSet().Settings(), value)) {
        throw EConvertError(Format("'%s' is not a valid floating point value", {text}));
    }
    SetValueAsFloat(value);
}

void TFloatField::SetValueAsInteger(std::int32_t value) { SetValueAsFloat(value); }

void TFloatField::SetValueAsFloat(double value) { WriteData(&value); }

void TFloatField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    SetValueAsFloat(value.AsDouble());
}

// --- fixed point ----------------------------------------------------------

void TBCDField::SetValueAsText(const std::string& text) {
    if (Blank(text)) return Clear();
    std::string normal;
    Decimal value;
    try {
        NormalizeDecimalText(text, DataSet().Settings(), normal);
        value = Decimal::Parse(normal);
    } catch (const EConvertError&) {
        throw EConvertError(Format("'%s' is not a valid floating point value", {text}));
    }
    WriteData(&value);
}

void TBCDField::SetValueAsInteger(std::int32_t value) {
    const Decimal number = Decimal::FromInteger(value);
    WriteData(&number);
}

void TBCDField::SetValueAsFloat(double value) {
    const Decimal number = Decimal::FromDouble(value);
    WriteData(&number);
}

void TBCDField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    const Decimal number = value.AsDecimal();
    WriteData(&number);
}

// --- dates and times ------------------------------------------------------

void TDateTimeField::SetValueAsText(const std::string& text) {
    if (Blank(text)) return Clear();
    const FormatSettings& settings = DataSet().Settings();
    double value = 0;
    switch (DataType()) {
        case TFieldType::ftDate:
            if (!ParseDateText(text, settings, value)) {
                throw EConvertError(Format("'%s' is not a valid date", {text}));
            }
            break;
        case TFieldType::ftTime:
            if (!ParseTimeText(text, settings, value)) {
                throw EConvertError(Format("'%s' is not a valid time", {text}));
            }
            break;
        default:
            if (!ParseDateTimeText(text, settings, value)) {
                throw EConvertError(Format("'%s' is not a valid date and time", {text}));
            }
            break;
    }
    SetValueAsDateTime(value);
}

void TDateTimeField::SetValueAsFloat(double value) { SetValueAsDateTime(value); }

void TDateTimeField::SetValueAsDateTime(double dateTime) {
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

void TDateTimeField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    SetValueAsDateTime(value.AsDouble());
}

// --- bytes ----------------------------------------------------------------

void TBytesField::SetValueAsText(const std::string& text) {
    const std::size_t size = static_cast<std::size_t>(Size());
    const std::size_t length = std::min(text.size(), size);
    std::vector<std::uint8_t> buffer(DataSize(), 0);
    if (DataType() == TFieldType::ftVarBytes) {
        const auto stored = static_cast<std::uint16_t>(length);
        std::memcpy(buffer.data(), &stored, 2);
        std::memcpy(buffer.data() + 2, text.data(), length);
    } else {
        std::memcpy(buffer.data(), text.data(), length);
    }
    WriteData(buffer.data());
}

void TBytesField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull()) return Clear();
    SetValueAsText(value.AsString());
}

}  // namespace fw
