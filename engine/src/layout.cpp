// A table's record layout built from its schema by the shared record format, and
// the encoding and decoding of field values in its images.
#include "engine/src/layout.h"

#include <bit>
#include <cmath>
#include <limits>

#include "data/engine/record_format.h"
#include "engine/src/bytes.h"
#include "engine/src/error.h"
#include "engine/src/text.h"

static_assert(std::endian::native == std::endian::little, "record images are little-endian");

namespace lce {

Value::Kind kindOf(std::uint16_t type) {
    switch (type) {
        case kLogical: return Value::Kind::Logical;
        case kNumeric:
        case kDouble:
        case kCurrencyDouble: return Value::Kind::Double;
        case kDate:
        case kCompactDate: return Value::Kind::Date;
        case kCharacter:
        case kCiCharacter:
        case kVarChar: return Value::Kind::Text;
        case kMemo:
        case kVarMemo: return Value::Kind::Memo;
        case kInteger:
        case kShortInteger:
        case kAutoIncrement:
        case kLongInteger: return Value::Kind::Integer;
        case kTime: return Value::Kind::Time;
        case kTimestamp:
        case kModTime: return Value::Kind::Timestamp;
        case kMoney: return Value::Kind::Scaled;
        default: return Value::Kind::Binary;
    }
}

bool isCharacterType(std::uint16_t t) { return record_format::IsCharacterType(t); }
bool isBlobType(std::uint16_t t) { return record_format::IsBlobType(t); }
bool isKnownType(std::uint16_t t) { return record_format::IsKnownType(t); }

namespace {

namespace rf = record_format;

std::string columnText(const std::string& name) { return "column \"" + name + "\""; }

unsigned char* bytes(char* p) { return reinterpret_cast<unsigned char*>(p); }
const unsigned char* bytes(const char* p) { return reinterpret_cast<const unsigned char*>(p); }

}  // namespace

RecordLayout RecordLayout::build(TableSchema& schema) {
    RecordLayout layout;
    layout.tableType_ = schema.tableType;
    layout.charType_ = schema.charType;
    if (!rf::IsKnownTableType(schema.tableType))
        fail(kErrInvalidArgument, "Unknown table type " + std::to_string(schema.tableType));
    if (schema.columns.empty()) fail(kErrInvalidArgument, "A table needs at least one column");
    std::uint32_t offset = rf::FirstColumnOffset(schema.tableType);
    int bits = 0;
    for (std::size_t i = 0; i < schema.columns.size(); ++i) {
        ColumnDef& def = schema.columns[i];
        if (def.name.empty() || def.name.size() > 128)
            fail(kErrInvalidArgument, "Invalid column name \"" + def.name + "\"");
        if (def.name.rfind("__", 0) == 0)
            fail(kErrInvalidArgument, "Column names may not start with \"__\": " + def.name);
        for (std::size_t j = 0; j < i; ++j)
            if (equalsIgnoringCase(schema.columns[j].name, def.name))
                fail(kErrInvalidArgument, "Duplicate column name \"" + def.name + "\"");
        if (!rf::TypeAllowed(schema.tableType, def.type))
            fail(kErrInvalidArgument, "Column type " + std::to_string(def.type) + " of " + columnText(def.name) +
                                          " is not supported for table type " + std::to_string(schema.tableType));
        if (const std::uint32_t fixed = rf::FixedSize(schema.tableType, def.type)) def.length = fixed;
        if (def.length == 0 || def.length > 65000)
            fail(kErrInvalidArgument, "Invalid length of " + columnText(def.name));
        if (def.type != kNumeric) def.decimals = 0;
        if (def.type == kNumeric && (def.length > 32 || def.decimals + 2u > def.length) && def.decimals != 0)
            fail(kErrInvalidArgument, "Invalid decimals of " + columnText(def.name));
        if (!rf::MayBeNullable(schema.tableType)) def.nullable = false;  // DBF has no null flags
        ColumnLayout col;
        col.def = def;
        col.offset = offset;
        col.size = rf::ImageExtent(schema.tableType, def.type, def.length);
        if (rf::HasFullFlag(schema.tableType, def.type)) col.fullBit = bits++;
        if (rf::HasNullFlag(schema.tableType, def.nullable)) col.nullBit = bits++;
        offset += col.size;
        layout.columns_.push_back(col);
    }
    layout.flagsOffset_ = offset;
    layout.flagsSize_ = static_cast<std::uint32_t>((bits + 7) / 8);
    layout.recordSize_ = offset + layout.flagsSize_;
    layout.nullImage_.assign(layout.recordSize_, '\0');
    if (rf::FirstColumnOffset(schema.tableType) > 0) layout.nullImage_[0] = ' ';  // not deleted
    for (std::size_t c = 0; c < layout.columns_.size(); ++c) layout.encode(layout.nullImage_, c, Value::null());
    return layout;
}

int RecordLayout::find(std::string_view name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (equalsIgnoringCase(columns_[i].def.name, name)) return static_cast<int>(i);
    return -1;
}

Value RecordLayout::normalize(std::size_t c, const Value& v) const {
    Value out;
    normalizeInto(c, v, out);
    return out;
}

// Writes into out in place: a load reuses one row for every record, so the
// text of each column keeps its storage from the record before.
void RecordLayout::normalizeInto(std::size_t c, const Value& v, Value& out) const {
    using K = Value::Kind;
    const auto set = [&out](K kind, std::int64_t integer = 0, double real = 0, std::uint32_t millis = 0) {
        out.kind = kind;
        out.integer = integer;
        out.real = real;
        out.millis = millis;
        out.text.clear();
    };
    const auto setBytes = [&](K kind, std::string_view bytes) {
        set(kind);
        out.text.assign(bytes);
    };
    if (v.isNull()) {
        out = v;
        return;
    }
    const ColumnDef& def = columns_[c].def;
    const auto mismatch = [&]() {
        fail(kErrInvalidArgument,
             "Value does not fit " + columnText(def.name) + " of type " + std::to_string(def.type));
    };
    switch (kindOf(def.type)) {
        case K::Logical:
            if (v.kind == K::Logical)
                out = v;
            else if (v.kind == K::Integer)
                set(K::Logical, v.integer != 0 ? 1 : 0);
            else
                mismatch();
            return;
        case K::Double: {
            double d = 0;
            if (v.kind == K::Double)
                d = v.real;
            else if (v.kind == K::Integer)
                d = static_cast<double>(v.integer);
            else if (v.kind == K::Scaled)
                d = static_cast<double>(v.integer) / 10000.0;
            else
                mismatch();
            if (!std::isfinite(d)) mismatch();
            if (def.type == kNumeric) {
                const std::string text = formatFixed(d, def.decimals);
                if (text.size() > def.length)
                    fail(kErrInvalidArgument, "Numeric value " + text + " does not fit " + columnText(def.name));
            }
            set(K::Double, 0, d);
            return;
        }
        case K::Date:
            if ((v.kind != K::Date && v.kind != K::Timestamp) || v.integer <= 0 || v.integer > 0x7FFFFFFF) mismatch();
            set(K::Date, v.integer);
            return;
        case K::Text: {
            if (v.kind != K::Text && v.kind != K::Memo) mismatch();
            const std::string_view text = def.type == kVarChar ? std::string_view(v.text) : trimTrailingBlanks(v.text);
            if (text.size() > def.length)
                fail(kErrInvalidArgument, "Text of " + std::to_string(text.size()) + " characters is longer than " +
                                              columnText(def.name) + " (" + std::to_string(def.length) + ")");
            setBytes(K::Text, text);
            return;
        }
        case K::Memo:
            if (v.kind != K::Memo && v.kind != K::Text) mismatch();
            setBytes(K::Memo, v.text);
            return;
        case K::Binary:
            if (v.kind != K::Binary && v.kind != K::Text) mismatch();
            if ((def.type == kRaw || def.type == kVarBinary) && v.text.size() > def.length)
                fail(kErrInvalidArgument, "Value is longer than " + columnText(def.name));
            setBytes(K::Binary, v.text);
            return;
        case K::Integer: {
            std::int64_t i = 0;
            if (v.kind == K::Integer)
                i = v.integer;
            else if (v.kind == K::Double && std::nearbyint(v.real) == v.real && std::fabs(v.real) < 9.2e18)
                i = static_cast<std::int64_t>(v.real);
            else
                mismatch();
            std::int64_t lo = std::numeric_limits<std::int32_t>::min() + 1,
                         hi = std::numeric_limits<std::int32_t>::max();
            if (def.type == kShortInteger) {
                lo = -32767;
                hi = 32767;
            }
            if (def.type == kAutoIncrement) {
                lo = 0;
                hi = 0x7FFFFFFE;
            }
            if (def.type == kLongInteger) {
                lo = std::numeric_limits<std::int64_t>::min() + 1;
                hi = std::numeric_limits<std::int64_t>::max();
            }
            if (i < lo || i > hi)
                fail(kErrInvalidArgument,
                     "Integer " + std::to_string(i) + " is out of range for " + columnText(def.name));
            set(K::Integer, i);
            return;
        }
        case K::Time:
            if ((v.kind != K::Time && v.kind != K::Integer) || v.integer < 0 || v.integer >= 86400000) mismatch();
            set(K::Time, v.integer);
            return;
        case K::Timestamp:
            if ((v.kind != K::Timestamp && v.kind != K::Date) || v.integer <= 0 || v.integer > 0x7FFFFFFF ||
                v.millis >= 86400000)
                mismatch();
            set(K::Timestamp, v.integer, 0, v.kind == K::Timestamp ? v.millis : 0);
            return;
        case K::Scaled:
            if (v.kind == K::Scaled)
                out = v;
            else if (v.kind == K::Integer)
                set(K::Scaled, v.integer * 10000);
            else if (v.kind == K::Double && std::isfinite(v.real) && std::fabs(v.real) < 9.2e14)
                set(K::Scaled, std::llround(v.real * 10000.0));
            else
                mismatch();
            return;
        default: mismatch();
    }
}

void RecordLayout::setFlag(std::string& image, int bit, bool on) const {
    char& byte = image[flagsOffset_ + static_cast<std::uint32_t>(bit) / 8];
    const char mask = static_cast<char>(1 << (bit % 8));
    byte = on ? static_cast<char>(byte | mask) : static_cast<char>(byte & ~mask);
}

void RecordLayout::encode(std::string& image, std::size_t c, const Value& v) const {
    const ColumnLayout& col = columns_[c];
    if (col.nullBit >= 0) setFlag(image, col.nullBit, v.isNull());
    switch (col.def.type) {
        case kLogical:
        case kNumeric:
        case kDate:
        case kCompactDate: encodeTextForm(image.data() + col.offset, col, v); return;
        case kCharacter:
        case kCiCharacter:
        case kVarChar:
        case kVarBinary:
        case kRaw: encodeCharacters(image, col, v); return;
        default: encodeBinary(image.data() + col.offset, col, v); return;
    }
}

// Logicals, numbers and dates: characters on DBF and VFP, dates as Julian
// day numbers on LDT, compact dates packed in 3 bytes.
void RecordLayout::encodeTextForm(char* p, const ColumnLayout& col, const Value& v) const {
    const ColumnDef& def = col.def;
    const std::uint32_t len = def.length;
    const bool null = v.isNull();
    switch (def.type) {
        case kLogical: *p = null ? ' ' : (v.integer ? 'T' : 'F'); return;
        case kNumeric: {
            std::memset(p, null && tableType_ == kLdt ? 0 : ' ', len);
            if (null) return;
            const std::string text = formatFixed(v.real, def.decimals);
            std::memcpy(p + (len - text.size()), text.data(), text.size());
            return;
        }
        case kDate:
            if (rf::DatesAreJulianDays(tableType_)) {
                putLE<std::int32_t>(p, null ? 0 : static_cast<std::int32_t>(v.integer));
            } else if (null) {
                std::memset(p, ' ', len);
            } else {
                std::memcpy(p, compactFromJulian(v.integer).data(), rf::DateTextSize);
            }
            return;
        case kCompactDate: {
            if (null) {
                std::memset(p, 0, len);
                return;
            }
            rf::CivilDate date;
            dateFromJulian(v.integer, date.Year, date.Month, date.Day);
            rf::PackCompactDate(date, bytes(p));
            return;
        }
        default: return;
    }
}

// Fixed and variable character and byte columns; a null LDT column is zeros
// (and the variable length's null marker), a null DBF or VFP text is blanks.
void RecordLayout::encodeCharacters(std::string& image, const ColumnLayout& col, const Value& v) const {
    const ColumnDef& def = col.def;
    char* p = image.data() + col.offset;
    const std::uint32_t len = def.length;
    const bool null = v.isNull();
    const bool ldt = tableType_ == kLdt;
    const bool text = def.type != kVarBinary && def.type != kRaw;
    const std::string value = null ? std::string() : (text && charType_ == kOem ? ansiToOem(v.text) : v.text);
    char padding = 0;  // bytes and LDT variable text are zero-filled
    if (def.type == kCharacter || def.type == kCiCharacter) padding = null && ldt ? 0 : ' ';
    if (def.type == kVarChar && !ldt) padding = ' ';
    std::memset(p, padding, len);
    std::memcpy(p, value.data(), value.size());
    if (!rf::IsVariableType(def.type)) return;
    if (ldt && null) {
        putLE<std::uint16_t>(p + len, rf::NoLengthNull);
        return;
    }
    const bool full = rf::PutVariableLength(tableType_, bytes(p), len, value.size());
    if (col.fullBit >= 0) setFlag(image, col.fullBit, full);
}

// Binary numbers, times and blob flags; LDT marks nulls with reserved values,
// DBF and VFP with zeros (VFP adding its null flag).
void RecordLayout::encodeBinary(char* p, const ColumnLayout& col, const Value& v) const {
    const bool null = v.isNull();
    const bool ldt = tableType_ == kLdt;
    switch (col.def.type) {
        case kDouble:
        case kCurrencyDouble:
            if (null && ldt)
                std::memcpy(p, rf::DoubleNullBytes, 8);
            else
                putLE<double>(p, null ? 0.0 : v.real);
            return;
        case kInteger:
            putLE<std::uint32_t>(p, null ? (ldt ? rf::Int32Null : 0u) : static_cast<std::uint32_t>(v.integer));
            return;
        case kAutoIncrement:
            putLE<std::uint32_t>(p, null ? (ldt ? rf::AllOnes32Null : 0u) : static_cast<std::uint32_t>(v.integer));
            return;
        case kShortInteger:
            putLE<std::uint16_t>(p, null ? (ldt ? rf::Int16Null : 0) : static_cast<std::uint16_t>(v.integer));
            return;
        case kTime: putLE<std::uint32_t>(p, null ? rf::AllOnes32Null : static_cast<std::uint32_t>(v.integer)); return;
        case kTimestamp:
        case kModTime:
            putLE<std::uint32_t>(p, null ? 0u : static_cast<std::uint32_t>(v.integer));
            putLE<std::uint32_t>(p + 4, null ? 0u : rf::StoredMillis(tableType_, v.millis));
            return;
        case kMoney:
        case kLongInteger:
            putLE<std::uint64_t>(p, null ? rf::Int64Null : static_cast<std::uint64_t>(v.integer));
            return;
        default:
            // A blob's value lives in the table's SQL column; the image holds whether there is one.
            if (rf::IsBlobType(col.def.type)) putLE<std::uint32_t>(p, null ? 0u : 1u);
            return;
    }
}

bool RecordLayout::vfpFlag(std::string_view image, int bit) const {
    if (bit < 0 || flagsOffset_ + static_cast<std::uint32_t>(bit) / 8 >= image.size()) return false;
    return (static_cast<unsigned char>(image[flagsOffset_ + static_cast<std::uint32_t>(bit) / 8]) >> (bit % 8)) & 1;
}

bool RecordLayout::isNull(std::string_view image, std::size_t c) const {
    const ColumnLayout& col = columns_[c];
    const std::size_t available = image.size() > col.offset ? image.size() - col.offset : 0;
    if (rf::MatchesNullPattern(rf::NullPatternOf(tableType_, col.def.type), bytes(image.data() + col.offset),
                               col.def.length, available))
        return true;
    return col.nullBit >= 0 && vfpFlag(image, col.nullBit);
}

Value RecordLayout::decode(std::string_view image, std::size_t c) const {
    const ColumnLayout& col = columns_[c];
    const std::size_t available = image.size() > col.offset ? image.size() - col.offset : 0;
    return decodeColumn(c, image.data() + col.offset, available, col.nullBit >= 0 && vfpFlag(image, col.nullBit),
                        vfpFlag(image, col.fullBit));
}

Value RecordLayout::decodeColumn(std::size_t c, const char* p, std::size_t available, bool nullFlag,
                                 bool fullFlag) const {
    const ColumnLayout& col = columns_[c];
    if (nullFlag ||
        rf::MatchesNullPattern(rf::NullPatternOf(tableType_, col.def.type), bytes(p), col.def.length, available))
        return Value::null();
    const std::uint32_t len = col.def.length;
    auto ansi = [&](std::string_view t) { return charType_ == kOem ? oemToAnsi(t) : std::string(t); };
    switch (col.def.type) {
        case kLogical: {
            const char ch = *p;
            return Value::ofLogical(ch == 'T' || ch == 't' || ch == 'Y' || ch == 'y' || ch == '1');
        }
        case kNumeric: {
            const auto d = parseDouble(std::string_view(p, len));
            return d ? Value::ofDouble(*d) : Value::ofDouble(0.0);
        }
        case kDate: {
            if (rf::DatesAreJulianDays(tableType_)) return Value::ofDate(getLE<std::int32_t>(p));
            const auto jd = julianFromCompact(std::string_view(p, rf::DateTextSize));
            return jd ? Value::ofDate(*jd) : Value::null();
        }
        case kCharacter:
        case kCiCharacter: return Value::ofText(ansi(trimTrailingBlanks(std::string_view(p, len))));
        case kVarChar:
        case kVarBinary: {
            const std::size_t n = rf::VariableLength(tableType_, bytes(p), len, fullFlag);
            if (col.def.type == kVarChar) return Value::ofText(ansi(std::string_view(p, n)));
            return Value::ofBinary(std::string(p, n));
        }
        case kCompactDate: {
            const rf::CivilDate date = rf::UnpackCompactDate(bytes(p));
            return Value::ofDate(julianFromDate(date.Year, date.Month, date.Day));
        }
        case kDouble:
        case kCurrencyDouble: return Value::ofDouble(getLE<double>(p));
        case kInteger: return Value::ofInteger(getLE<std::int32_t>(p));
        case kAutoIncrement: return Value::ofInteger(getLE<std::uint32_t>(p));
        case kShortInteger: return Value::ofInteger(getLE<std::int16_t>(p));
        case kTime: return Value::ofTime(getLE<std::uint32_t>(p));
        case kTimestamp:
        case kModTime:
            return Value::ofTimestamp(getLE<std::uint32_t>(p),
                                      rf::MillisOfStored(tableType_, getLE<std::uint32_t>(p + 4)));
        case kRaw: return Value::ofBinary(std::string(p, len));
        case kMoney: return Value::ofScaled(getLE<std::int64_t>(p));
        case kLongInteger: return Value::ofInteger(getLE<std::int64_t>(p));
        default: return Value::null();  // blob contents are not part of the image
    }
}

}  // namespace lce
