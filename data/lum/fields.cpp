#include "data/lum/fields.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "data/lum/errors.h"
#include "framework/dataset/dataset.h"
#include "framework/format.h"
#include "framework/text_compare.h"

namespace lum {

using fw::TFieldType;

int TLCEFieldDefs::IndexOf(const std::string& name) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (fw::SameText(items_[i].ColumnName, name)) return static_cast<int>(i);
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

bool AllBytes(const std::uint8_t* p, std::size_t n, bool blankToo) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0 && !(blankToo && p[i] == ' ')) return false;
    return true;
}

bool AllBlank(const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != ' ') return false;
    return true;
}

// Bytes a column occupies in the image, including the length of variable columns.
std::size_t Extent(const TLCEFieldDef& column) {
    return column.ColumnLength + ((column.EngineType == 23 || column.EngineType == 24) ? 2u : 0u);
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

void WriteText(void* buffer, const std::string& text) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

std::int32_t JulianFromText(const RecordContext& context, const std::string& text) {
    double julian = 0;
    CheckLCEResult(context.Engine, context.DataSet,
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
    if (static_cast<std::size_t>(column.ColumnOffset) + Extent(column) > imageSize) return true;
    const std::uint8_t* p = image + column.ColumnOffset;
    const std::size_t len = column.ColumnLength;
    const std::uint16_t type = column.EngineType;
    if (context.TableType == 3) {
        switch (type) {
            case 1: return len < 1 || p[0] == ' ';
            case 2: case 3: case 4: case 9: case 16: case 20: return AllBytes(p, len, false);
            case 5: case 6: case 7: case 8: case 51: case 52: return len < 4 || Load<std::uint32_t>(p) == 0;
            case 10: case 17:
                return len >= 8 && Load<std::uint32_t>(p) == 0x00000020u && Load<std::uint32_t>(p + 4) == 0x80000000u;
            case 11: return len >= 4 && Load<std::uint32_t>(p) == 0x80000000u;
            case 12: return len >= 2 && Load<std::uint16_t>(p) == 0x8000u;
            case 13: case 15: return len >= 4 && Load<std::uint32_t>(p) == 0xFFFFFFFFu;
            case 14: case 22: return len >= 4 && Load<std::uint32_t>(p) == 0;
            case 18: case 21: return len >= 8 && Load<std::uint64_t>(p) == 0x8000000000000000ull;
            case 23: case 24: {
                const auto length = Load<std::uint16_t>(p + len);
                return length == 0xFFFF || length == 0;
            }
            default: return true;
        }
    }
    if (context.TableType == 4) {
        bool null = false;
        switch (type) {
            case 1: case 2: case 3: null = AllBlank(p, len); break;
            case 5: case 6: case 7: case 14: null = len >= 4 && Load<std::uint32_t>(p) == 0; break;
            default: break;
        }
        if (null) return true;
        if (!column.Nullable) return false;
        UNSIGNED16 flag = 0;
        CheckLCEResult(context.Engine, context.DataSet,
                       context.Engine.LumAccessVfpSystemField(context.CursorHandle, LUM_FIELD_NUMBER(column.ColumnNumber),
                                                              image, 1, &flag));
        return flag != 0;
    }
    switch (type) {
        case 1: case 2: case 4: return AllBytes(p, len, true);
        case 3: return len == 4 ? Load<std::uint32_t>(p) == 0 : AllBytes(p, len, true);
        case 5: case 6: case 7: case 8: return len < 4 || Load<std::uint32_t>(p) == 0;
        case 9: return AllBytes(p, len, false);
        case 10: case 11: case 12: case 17: return false;
        default: return true;
    }
}

bool DecodeFieldValue(const RecordContext& context, const TLCEFieldDef& column, TFieldType fieldType,
                      const std::uint8_t* image, std::size_t imageSize, void* buffer) {
    if (IsRawValueNull(context, column, image, imageSize)) return false;
    if (buffer == nullptr) return true;
    const std::uint8_t* p = image + column.ColumnOffset;
    const std::size_t len = column.ColumnLength;
    auto* out = static_cast<std::uint8_t*>(buffer);
    switch (column.EngineType) {
        case 1: {
            const char c = static_cast<char>(p[0]);
            const bool yes = c == '1' || c == 'T' || c == 'Y' || c == 't' || c == 'y';
            Store<std::int16_t>(out, yes ? -1 : 0);
            break;
        }
        case 2: {
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
        case 3:
            if (len == 4) {
                Store<std::int32_t>(out, static_cast<std::int32_t>(Load<std::int32_t>(p) - JulianDayOfDayOne));
            } else {
                Store<std::int32_t>(out, JulianFromText(context, std::string(reinterpret_cast<const char*>(p), len)));
            }
            break;
        case 4: case 20: WriteText(out, CharacterValue(p, len)); break;
        case 9: {
            const int year = p[0] * 128 + p[1] / 2;
            const int month = (p[1] % 2) * 8 + p[2] / 32;
            const int day = p[2] % 32;
            Store<std::int32_t>(out, JulianFromText(context, Digits(year, 4) + Digits(month, 2) + Digits(day, 2)));
            break;
        }
        case 10: case 17: std::memcpy(out, p, 8); break;
        case 11: case 15: case 13: std::memcpy(out, p, 4); break;
        case 12: std::memcpy(out, p, 2); break;
        case 14: case 22: {
            const auto day = static_cast<std::int64_t>(Load<std::uint32_t>(p));
            auto ms = static_cast<std::int64_t>(Load<std::uint32_t>(p + 4));
            if (context.TableType == 4 && ms != 0) ++ms;
            const double value = static_cast<double>(day - JulianDayOfDayOne) * 86400000.0 + static_cast<double>(ms);
            Store(out, value < 0 ? 0.0 : value);
            break;
        }
        case 16: std::memcpy(out, p, len); break;
        case 18: Store(out, fw::Decimal::FromUnscaled(Load<std::int64_t>(p), 4)); break;
        case 21: Store(out, fw::Decimal::FromUnscaled(Load<std::int64_t>(p), 0)); break;
        case 23: case 24: {
            std::size_t length = 0;
            if (context.TableType == 4) {
                UNSIGNED16 full = 0;
                CheckLCEResult(context.Engine, context.DataSet,
                               context.Engine.LumAccessVfpSystemField(context.CursorHandle,
                                                                      LUM_FIELD_NUMBER(column.ColumnNumber), image, 4, &full));
                length = full != 0 ? len : (len > 0 ? p[len - 1] : 0);
            } else {
                length = Load<std::uint16_t>(p + len);
            }
            length = std::min(length, len);  // never past the column's capacity
            if (column.EngineType == 24) {
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
    if (static_cast<std::size_t>(column.ColumnOffset) + Extent(column) > imageSize) return 1;
    std::uint8_t* p = image + column.ColumnOffset;
    const std::size_t len = column.ColumnLength;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    const auto dayNumber = [&] { return static_cast<std::int64_t>(Load<std::int32_t>(in)); };
    switch (column.EngineType) {
        case 1: p[0] = Load<std::int16_t>(in) != 0 ? 'T' : 'F'; break;
        case 2: {
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
        case 3:
            if (len == 4) {
                Store<std::int32_t>(p, static_cast<std::int32_t>(dayNumber() + JulianDayOfDayOne));
            } else {
                int y = 0, m = 0, d = 0;
                CivilFromJulian(dayNumber() + JulianDayOfDayOne, y, m, d);
                const std::string text = Digits(y, 4) + Digits(m, 2) + Digits(d, 2);
                std::memcpy(p, text.data(), std::min<std::size_t>(len, 8));
            }
            break;
        case 4: case 20: {
            const std::string text(reinterpret_cast<const char*>(in));
            const std::size_t n = std::min(text.size(), len);
            std::memset(p, ' ', len);
            std::memcpy(p, text.data(), n);
            return static_cast<std::uint16_t>(n);
        }
        case 9: {
            int y = 0, m = 0, d = 0;
            CivilFromJulian(dayNumber() + JulianDayOfDayOne, y, m, d);
            p[0] = static_cast<std::uint8_t>(y / 128);
            p[1] = static_cast<std::uint8_t>((y % 128) * 2 + m / 8);
            p[2] = static_cast<std::uint8_t>((m % 8) * 32 + d);
            break;
        }
        case 10: case 17: std::memcpy(p, in, 8); break;
        case 11: case 15: case 13: std::memcpy(p, in, 4); break;
        case 12: std::memcpy(p, in, 2); break;
        case 14: case 22: {
            const double total = Load<double>(in);
            const auto ms = static_cast<std::int64_t>(std::llround(total));
            Store<std::uint32_t>(p, static_cast<std::uint32_t>(ms / 86400000 + JulianDayOfDayOne));
            Store<std::uint32_t>(p + 4, static_cast<std::uint32_t>(ms % 86400000));
            break;
        }
        case 16: std::memcpy(p, in, len); break;
        case 18: Store<std::int64_t>(p, Load<fw::Decimal>(in).ToCurrency().Raw()); break;
        case 21: Store<std::int64_t>(p, fw::Variant(Load<fw::Decimal>(in)).AsInteger()); break;
        case 23: {
            const std::string text(reinterpret_cast<const char*>(in));
            const std::size_t n = std::min(text.size(), len);
            std::memset(p, 0, len);
            std::memcpy(p, text.data(), n);
            Store<std::uint16_t>(p + len, static_cast<std::uint16_t>(n));
            return static_cast<std::uint16_t>(n);
        }
        case 24: {
            const std::size_t n = std::min<std::size_t>(Load<std::uint16_t>(in), len);
            std::memset(p, 0, len);
            std::memcpy(p, in + 2, n);
            Store<std::uint16_t>(p + len, static_cast<std::uint16_t>(n));
            break;
        }
        default: break;
    }
    return 1;
}

}  // namespace lum
