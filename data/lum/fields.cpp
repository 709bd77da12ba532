// Decoding and encoding field values in record images by the shared record
// format, the null rules per table type, and the layer's field classes.
#include "data/lum/fields.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "data/engine/record_format.h"
#include "data/lum/errors.h"
#include "framework/dataset/dataset.h"
#include "framework/format.h"
#include "framework/text_compare.h"

namespace lum {

namespace rf = record_format;
using fw::TFieldType;

int TLCEFieldDefs::IndexOf(const std::string& name) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (fw::AnsiSameText(items_[i].ColumnName, name)) return static_cast<int>(i);
    return -1;
}

TLumBCDField::TLumBCDField(fw::TDataSet& dataSet, fw::TFieldType type, std::string name, std::int32_t size,
                           std::int32_t fieldNo)
    : fw::TBCDField(dataSet, type, std::move(name), size, fieldNo) {
    if (!dataSet.Loading()) SetCurrencyDisplay(true);
}

namespace {

template <class T>
T Load(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <class T>
void Store(std::uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

// Whether the column lies inside the image, with the length of a variable LDT column.
bool InsideImage(const RecordContext& context, const TLCEFieldDef& column, std::size_t imageSize) {
    return static_cast<std::size_t>(column.ColumnOffset) +
               rf::ImageExtent(context.TableType, column.EngineType, column.ColumnLength) <=
           imageSize;
}

// A VFP system-field flag of the column (LUM_VFP_...) for this image.
bool VfpFlag(const RecordContext& context, const TLCEFieldDef& column, const std::uint8_t* image, UNSIGNED16 option) {
    if (context.WrittenFlags != nullptr && column.ColumnNumber >= 1 &&
        column.ColumnNumber <= context.WrittenFlags->size()) {
        const std::uint8_t written = (*context.WrittenFlags)[column.ColumnNumber - 1u];
        if ((written & WrittenFlagSet) != 0)
            return (written & (option == LUM_VFP_NULL_FLAG ? WrittenFlagNull : WrittenFlagFull)) != 0;
    }
    UNSIGNED16 flag = 0;
    CheckLCEResult(context.Engine, context.DataSet,
                   context.Engine.LumAccessVfpSystemField(context.CursorHandle, LUM_FIELD_NUMBER(column.ColumnNumber),
                                                          image, option, &flag));
    return flag != 0;
}

std::string_view TrimLeft(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

// Text with trailing blanks (and anything after a zero byte) removed.
std::string CharacterValue(const std::uint8_t* p, std::size_t n) {
    std::string text(reinterpret_cast<const char*>(p), n);
    const auto nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    const auto last = text.find_last_not_of(' ');
    text.resize(last == std::string::npos ? 0 : last + 1);
    return text;
}

void WriteText(void* buffer, const std::string& text) { std::memcpy(buffer, text.c_str(), text.size() + 1); }

std::int32_t JulianFromText(const RecordContext& context, const std::string& text) {
    double julian = 0;
    CheckLCEResult(
        context.Engine, context.DataSet,
        context.Engine.LumConvertStringToJulian(text.c_str(), static_cast<UNSIGNED16>(text.size()), &julian));
    return static_cast<std::int32_t>(std::trunc(julian) - JulianDayOfDayOne);
}

// Civil date of a Julian day number.
void CivilFromJulian(std::int64_t julian, int& year, int& month, int& day) {
    fw::DecodeDate(static_cast<double>(julian - fw::JulianDayOfDateTimeZero), year, month, day);
}

std::string Digits(long value, int width) {
    std::string text = std::to_string(value < 0 ? -value : value);
    while (static_cast<int>(text.size()) < width) text.insert(text.begin(), '0');
    return text.substr(text.size() - static_cast<std::size_t>(width));
}

}  // namespace

bool IsRawValueNull(const RecordContext& context, const TLCEFieldDef& column, const std::uint8_t* image,
                    std::size_t imageSize) {
    if (!InsideImage(context, column, imageSize)) return true;
    const rf::NullPattern pattern = rf::NullPatternOf(context.TableType, column.EngineType);
    if (rf::MatchesNullPattern(pattern, image + column.ColumnOffset, column.ColumnLength,
                               imageSize - column.ColumnOffset))
        return true;
    // VFP: a column the pattern leaves with a value is null by its null flag.
    return rf::HasNullFlag(context.TableType, column.Nullable != 0) &&
           VfpFlag(context, column, image, LUM_VFP_NULL_FLAG);
}

bool DecodeFieldValue(const RecordContext& context, const TLCEFieldDef& column, TFieldType fieldType,
                      const std::uint8_t* image, std::size_t imageSize, void* buffer) {
    if (IsRawValueNull(context, column, image, imageSize)) return false;
    if (buffer == nullptr) return true;
    const std::uint8_t* p = image + column.ColumnOffset;
    const std::size_t len = column.ColumnLength;
    auto* out = static_cast<std::uint8_t*>(buffer);
    switch (column.EngineType) {
        case LUM_LOGICAL: {
            const char c = static_cast<char>(p[0]);
            const bool yes = c == '1' || c == 'T' || c == 'Y' || c == 't' || c == 'y';
            Store<std::int16_t>(out, yes ? -1 : 0);
            break;
        }
        case LUM_NUMERIC: {
            // Numeric text; a text that does not convert reads as 0.
            const std::string text(reinterpret_cast<const char*>(p), len);
            const std::string_view value = TrimLeft(text.c_str());
            if (fieldType == TFieldType::ftSmallint) {
                std::int32_t n = 0;
                std::from_chars(value.data(), value.data() + value.size(), n);
                Store<std::int16_t>(out, static_cast<std::int16_t>(n));
            } else if (fieldType == TFieldType::ftBCD || fieldType == TFieldType::ftFMTBcd) {
                fw::Decimal d;
                try {
                    std::string clean(value);
                    while (!clean.empty() && clean.back() == ' ') clean.pop_back();
                    d = fw::Decimal::Parse(clean);
                } catch (const fw::Exception&) {
                    d = fw::Decimal();
                }
                Store(out, d);
            } else {
                double d = 0;
                std::string_view number = value;
                if (!number.empty() && number.front() == '+') number.remove_prefix(1);
                if (std::from_chars(number.data(), number.data() + number.size(), d).ec != std::errc{}) d = 0;
                Store(out, d);
            }
            break;
        }
        case LUM_DATE:
            if (rf::DatesAreJulianDays(context.TableType)) {
                Store<std::int32_t>(out, static_cast<std::int32_t>(Load<std::int32_t>(p) - JulianDayOfDayOne));
            } else {
                Store<std::int32_t>(out, JulianFromText(context, std::string(reinterpret_cast<const char*>(p), len)));
            }
            break;
        case LUM_STRING:
        case LUM_CISTRING: WriteText(out, CharacterValue(p, len)); break;
        case LUM_COMPACTDATE: {
            const rf::CivilDate date = rf::UnpackCompactDate(p);
            Store<std::int32_t>(
                out, JulianFromText(context, Digits(date.Year, 4) + Digits(date.Month, 2) + Digits(date.Day, 2)));
            break;
        }
        case LUM_DOUBLE:
        case LUM_CURDOUBLE: std::memcpy(out, p, 8); break;
        case LUM_INTEGER:
        case LUM_AUTOINC:
        case LUM_TIME: std::memcpy(out, p, 4); break;
        case LUM_SHORTINT: std::memcpy(out, p, 2); break;
        case LUM_TIMESTAMP:
        case LUM_MODTIME: {
            const auto day = static_cast<std::int64_t>(Load<std::uint32_t>(p));
            const std::uint32_t stored = Load<std::uint32_t>(p + 4);
            const auto ms = static_cast<std::int64_t>(rf::MillisOfStored(context.TableType, stored));
            const double value = static_cast<double>(day - JulianDayOfDayOne) * 86400000.0 + static_cast<double>(ms);
            Store(out, value < 0 ? 0.0 : value);
            break;
        }
        case LUM_RAW: std::memcpy(out, p, len); break;
        case LUM_MONEY: Store(out, fw::Decimal::FromUnscaled(Load<std::int64_t>(p), 4)); break;
        case LUM_LONGLONG: Store(out, fw::Decimal::FromUnscaled(Load<std::int64_t>(p), 0)); break;
        case LUM_VARCHAR:
        case LUM_VARBINARY: {
            const bool full = rf::HasFullFlag(context.TableType, column.EngineType) &&
                              VfpFlag(context, column, image, LUM_VFP_FULL_FLAG);
            const std::size_t length = rf::VariableLength(context.TableType, p, len, full);
            if (column.EngineType == LUM_VARBINARY) {
                std::memset(out, 0, len + 2);
                Store<std::uint16_t>(out, static_cast<std::uint16_t>(length));
                std::memcpy(out + 2, p, length);
            } else {
                std::memset(out, 0, len + 1);
                WriteText(out, CharacterValue(p, length));
            }
            break;
        }
        default: break;
    }
    return true;
}

std::uint16_t EncodeFieldValue(const RecordContext& context, const TLCEFieldDef& column, TFieldType fieldType,
                               std::uint8_t* image, std::size_t imageSize, const void* buffer) {
    if (!InsideImage(context, column, imageSize)) return 1;
    std::uint8_t* p = image + column.ColumnOffset;
    const std::size_t len = column.ColumnLength;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    const auto dayNumber = [&] { return static_cast<std::int64_t>(Load<std::int32_t>(in)); };
    switch (column.EngineType) {
        case LUM_LOGICAL: p[0] = Load<std::int16_t>(in) != 0 ? 'T' : 'F'; break;
        case LUM_NUMERIC: {
            std::string text;
            if (fieldType == TFieldType::ftSmallint) {
                text = std::to_string(Load<std::int16_t>(in));
            } else {
                const fw::Decimal d = (fieldType == TFieldType::ftBCD || fieldType == TFieldType::ftFMTBcd)
                                          ? Load<fw::Decimal>(in)
                                          : fw::Decimal::FromDouble(Load<double>(in));
                // Exactly the column's decimals, halves rounded away from zero.
                __int128 unscaled = d.Unscaled();
                int scale = d.DecimalScale();
                while (scale > column.Decimals) {
                    const __int128 rest = unscaled % 10;
                    unscaled /= 10;
                    if (rest >= 5) ++unscaled;
                    if (rest <= -5) --unscaled;
                    --scale;
                }
                text = fw::Decimal::FromUnscaled(unscaled, scale).ToString('.');
                if (column.Decimals > 0) {
                    auto dot = text.find('.');
                    if (dot == std::string::npos) {
                        text += '.';
                        dot = text.size() - 1;
                    }
                    while (text.size() - dot - 1 < column.Decimals) text += '0';
                }
            }
            if (text.size() > len) RaiseLayerError(context.DataSet, "Numeric out of range.");
            std::memset(p, ' ', len);
            std::memcpy(p + len - text.size(), text.data(), text.size());
            break;
        }
        case LUM_DATE:
            if (rf::DatesAreJulianDays(context.TableType)) {
                Store<std::int32_t>(p, static_cast<std::int32_t>(dayNumber() + JulianDayOfDayOne));
            } else {
                int y = 0, m = 0, d = 0;
                CivilFromJulian(dayNumber() + JulianDayOfDayOne, y, m, d);
                const std::string text = Digits(y, 4) + Digits(m, 2) + Digits(d, 2);
                std::memcpy(p, text.data(), std::min<std::size_t>(len, rf::DateTextSize));
            }
            break;
        case LUM_STRING:
        case LUM_CISTRING: {
            const std::string text(reinterpret_cast<const char*>(in));
            const std::size_t n = std::min(text.size(), len);
            std::memset(p, ' ', len);
            std::memcpy(p, text.data(), n);
            return static_cast<std::uint16_t>(n);
        }
        case LUM_COMPACTDATE: {
            rf::CivilDate date;
            CivilFromJulian(dayNumber() + JulianDayOfDayOne, date.Year, date.Month, date.Day);
            rf::PackCompactDate(date, p);
            break;
        }
        case LUM_DOUBLE:
        case LUM_CURDOUBLE: std::memcpy(p, in, 8); break;
        case LUM_INTEGER:
        case LUM_AUTOINC:
        case LUM_TIME: std::memcpy(p, in, 4); break;
        case LUM_SHORTINT: std::memcpy(p, in, 2); break;
        case LUM_TIMESTAMP:
        case LUM_MODTIME: {
            const double total = Load<double>(in);
            const auto ms = static_cast<std::int64_t>(std::llround(total));
            Store<std::uint32_t>(p, static_cast<std::uint32_t>(ms / 86400000 + JulianDayOfDayOne));
            const auto millis = static_cast<std::uint32_t>(ms % 86400000);
            Store<std::uint32_t>(p + 4, rf::StoredMillis(context.TableType, millis));
            break;
        }
        case LUM_RAW: std::memcpy(p, in, len); break;
        case LUM_MONEY: Store<std::int64_t>(p, Load<fw::Decimal>(in).ToCurrency().Raw()); break;
        case LUM_LONGLONG: Store<std::int64_t>(p, fw::Variant(Load<fw::Decimal>(in)).AsInteger()); break;
        case LUM_VARCHAR: {
            const std::string text(reinterpret_cast<const char*>(in));
            const std::size_t n = std::min(text.size(), len);
            std::memset(p, 0, len);
            std::memcpy(p, text.data(), n);
            rf::PutVariableLength(context.TableType, p, len, n);
            return static_cast<std::uint16_t>(n);
        }
        case LUM_VARBINARY: {
            const std::size_t n = std::min<std::size_t>(Load<std::uint16_t>(in), len);
            std::memset(p, 0, len);
            std::memcpy(p, in + 2, n);
            rf::PutVariableLength(context.TableType, p, len, n);
            break;
        }
        default: break;
    }
    return 1;
}

}  // namespace lum
