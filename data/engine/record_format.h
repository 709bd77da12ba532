// The record image of each table type, described once: which column types a
// table type holds, the bytes each column takes, the byte patterns that mean
// null and the packed forms both sides read. The engine writes images by it;
// the access layer reads the images the engine hands out by it.
//
// LDT images are binary. DBF (NTX, CDX) and VFP images start with a
// deletion-flag byte and hold logicals, numbers and dates as text; VFP images
// end with a system field of flag bits (null flags, "variable column is
// full" flags), which the engine reads for the layer (LumAccessVfpSystemField).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "data/engine/lce32.h"

namespace record_format {

// ---- Table types and column types ---------------------------------------

constexpr bool IsLdt(std::uint16_t tableType) { return tableType == LUM_LDT; }
constexpr bool IsVfp(std::uint16_t tableType) { return tableType == LUM_VFP; }
constexpr bool IsKnownTableType(std::uint16_t tableType) { return tableType >= LUM_NTX && tableType <= LUM_VFP; }

constexpr bool IsKnownType(std::uint16_t type) {
    return (type >= LUM_LOGICAL && type <= LUM_MONEY) || (type >= LUM_CISTRING && type <= LUM_VARBINARY) ||
           type == LUM_BLOB51 || type == LUM_BLOB52;
}
constexpr bool IsCharacterType(std::uint16_t type) {
    return type == LUM_STRING || type == LUM_CISTRING || type == LUM_VARCHAR;
}
// Columns whose value lives outside the image; the image holds a 32-bit flag.
constexpr bool IsBlobType(std::uint16_t type) {
    return (type >= LUM_MEMO && type <= LUM_VARCHAR_MEMO) || type == LUM_BLOB51 || type == LUM_BLOB52;
}
// Variable columns: a capacity and a length kept beside it.
constexpr bool IsVariableType(std::uint16_t type) { return type == LUM_VARCHAR || type == LUM_VARBINARY; }

// The column types a table of that type holds: every known type on LDT, the
// DBF set on NTX and CDX, and the DBF set with the variable columns on VFP.
constexpr bool TypeAllowed(std::uint16_t tableType, std::uint16_t type) {
    if (IsLdt(tableType)) return IsKnownType(type);
    switch (type) {
        case LUM_LOGICAL:
        case LUM_NUMERIC:
        case LUM_DATE:
        case LUM_STRING:
        case LUM_MEMO:
        case LUM_BINARY:
        case LUM_IMAGE:
        case LUM_VARCHAR_MEMO:
        case LUM_DOUBLE:
        case LUM_INTEGER:
        case LUM_SHORTINT:
        case LUM_TIMESTAMP:
        case LUM_AUTOINC:
        case LUM_RAW:
        case LUM_CURDOUBLE: return true;
        case LUM_VARCHAR:
        case LUM_VARBINARY: return IsVfp(tableType);
        default: return false;
    }
}

// ---- Sizes ----------------------------------------------------------------

// Dates: a 32-bit Julian day number on LDT, eight characters CCYYMMDD elsewhere.
constexpr bool DatesAreJulianDays(std::uint16_t tableType) { return IsLdt(tableType); }
constexpr std::uint32_t DateTextSize = 8;

// Bytes of a column of a fixed-size type; 0 when the definition gives the length.
constexpr std::uint32_t FixedSize(std::uint16_t tableType, std::uint16_t type) {
    switch (type) {
        case LUM_LOGICAL: return 1;
        case LUM_DATE: return DatesAreJulianDays(tableType) ? 4 : DateTextSize;
        case LUM_MEMO:
        case LUM_BINARY:
        case LUM_IMAGE:
        case LUM_VARCHAR_MEMO:
        case LUM_BLOB51:
        case LUM_BLOB52: return 4;
        case LUM_COMPACTDATE: return 3;
        case LUM_DOUBLE:
        case LUM_CURDOUBLE:
        case LUM_TIMESTAMP:
        case LUM_MODTIME:
        case LUM_MONEY:
        case LUM_LONGLONG: return 8;
        case LUM_INTEGER:
        case LUM_AUTOINC:
        case LUM_TIME: return 4;
        case LUM_SHORTINT: return 2;
        default: return 0;
    }
}

// Bytes the image holds after a column's capacity: the 16-bit length of a
// variable column on LDT. VFP keeps that length in the column's last byte
// (or its "full" flag), so nothing follows there.
constexpr std::uint32_t LengthSuffixSize(std::uint16_t tableType, std::uint16_t type) {
    return IsLdt(tableType) && IsVariableType(type) ? 2 : 0;
}
// Bytes the column takes in the image for a capacity (its defined length).
constexpr std::uint32_t ImageExtent(std::uint16_t tableType, std::uint16_t type, std::uint32_t capacity) {
    return capacity + LengthSuffixSize(tableType, type);
}
// Offset of the first column: DBF and VFP images start with the deletion flag.
constexpr std::uint32_t FirstColumnOffset(std::uint16_t tableType) { return IsLdt(tableType) ? 0 : 1; }
// VFP: a variable column has a "full" flag, a nullable column a null flag.
constexpr bool HasNullFlag(std::uint16_t tableType, bool nullable) { return IsVfp(tableType) && nullable; }
constexpr bool HasFullFlag(std::uint16_t tableType, std::uint16_t type) {
    return IsVfp(tableType) && IsVariableType(type);
}
// Only LDT and VFP columns may be null; DBF columns are empty instead.
constexpr bool MayBeNullable(std::uint16_t tableType) { return IsLdt(tableType) || IsVfp(tableType); }

// ---- Null patterns ----------------------------------------------------------

// How a null shows in a column's bytes.
enum class NullPattern : std::uint8_t {
    Never,         // the bytes always hold a value (VFP: the null flag may still say null)
    Always,        // a type the table type does not hold: no value to read
    BlankFirst,    // the first byte is a blank
    AllZero,       // every byte is 0
    AllBlank,      // every byte is a blank
    BlankOrZero,   // every byte is 0 or a blank
    Zero32,        // the first 32 bits are 0 (blob flag, timestamp day)
    DoubleMarker,  // the 8 bytes 20 00 00 00 00 00 00 80
    Min32,         // 32 bits 0x80000000
    Min16,         // 16 bits 0x8000
    AllOnes32,     // 32 bits 0xFFFFFFFF
    Min64,         // 64 bits 0x8000000000000000
    NoLength,      // the 16-bit length after the capacity is 0xFFFF or 0
};

// The marker an LDT double or currency double holds for null.
constexpr unsigned char DoubleNullBytes[8] = {0x20, 0, 0, 0, 0, 0, 0, 0x80};
constexpr std::uint32_t Int32Null = 0x80000000u;
constexpr std::uint16_t Int16Null = 0x8000u;
constexpr std::uint32_t AllOnes32Null = 0xFFFFFFFFu;
constexpr std::uint64_t Int64Null = 0x8000000000000000ull;
constexpr std::uint16_t NoLengthNull = 0xFFFFu;  // written for null; a length of 0 reads as null too

// LDT: a null is a reserved value of the column's own bytes.
constexpr NullPattern LdtNullPattern(std::uint16_t type) {
    switch (type) {
        case LUM_LOGICAL: return NullPattern::BlankFirst;
        case LUM_NUMERIC:
        case LUM_DATE:
        case LUM_STRING:
        case LUM_COMPACTDATE:
        case LUM_RAW:
        case LUM_CISTRING: return NullPattern::AllZero;
        case LUM_DOUBLE:
        case LUM_CURDOUBLE: return NullPattern::DoubleMarker;
        case LUM_INTEGER: return NullPattern::Min32;
        case LUM_SHORTINT: return NullPattern::Min16;
        case LUM_TIME:
        case LUM_AUTOINC: return NullPattern::AllOnes32;
        case LUM_TIMESTAMP:
        case LUM_MODTIME: return NullPattern::Zero32;
        case LUM_MONEY:
        case LUM_LONGLONG: return NullPattern::Min64;
        case LUM_VARCHAR:
        case LUM_VARBINARY: return NullPattern::NoLength;
        default: return IsBlobType(type) ? NullPattern::Zero32 : NullPattern::Always;
    }
}

// VFP: the pattern decides first; a column it leaves with a value is null
// when its null flag is set.
constexpr NullPattern VfpNullPattern(std::uint16_t type) {
    switch (type) {
        case LUM_LOGICAL:
        case LUM_NUMERIC:
        case LUM_DATE: return NullPattern::AllBlank;
        case LUM_TIMESTAMP: return NullPattern::Zero32;
        default: return IsBlobType(type) ? NullPattern::Zero32 : NullPattern::Never;
    }
}

// DBF has no null flags: text forms are null when blank, binary numbers
// always hold a value, a timestamp is null on day 0, raw bytes when all zero
// and a blob when its flag is 0.
constexpr NullPattern DbfNullPattern(std::uint16_t type) {
    switch (type) {
        case LUM_LOGICAL:
        case LUM_NUMERIC:
        case LUM_STRING:
        case LUM_DATE: return NullPattern::BlankOrZero;
        case LUM_DOUBLE:
        case LUM_INTEGER:
        case LUM_SHORTINT:
        case LUM_CURDOUBLE:
        case LUM_AUTOINC: return NullPattern::Never;
        case LUM_TIMESTAMP: return NullPattern::Zero32;
        case LUM_RAW:
        case LUM_COMPACTDATE: return NullPattern::AllZero;
        default: return IsBlobType(type) ? NullPattern::Zero32 : NullPattern::Always;
    }
}

constexpr NullPattern NullPatternOf(std::uint16_t tableType, std::uint16_t type) {
    if (IsLdt(tableType)) return LdtNullPattern(type);
    if (IsVfp(tableType)) return VfpNullPattern(type);
    return DbfNullPattern(type);
}

// Bytes of the column the pattern looks at (past the capacity for NoLength).
constexpr std::size_t PatternSize(NullPattern pattern, std::size_t capacity) {
    switch (pattern) {
        case NullPattern::BlankFirst: return 1;
        case NullPattern::Min16: return 2;
        case NullPattern::Zero32:
        case NullPattern::Min32:
        case NullPattern::AllOnes32: return 4;
        case NullPattern::DoubleMarker:
        case NullPattern::Min64: return 8;
        case NullPattern::NoLength: return capacity + 2;
        default: return capacity;
    }
}

static_assert(std::endian::native == std::endian::little, "record images are little-endian");

template <class T>
T LoadLE(const unsigned char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Whether the column's bytes hold the pattern's null. `column` points at the
// column and `available` bytes from there may be read; a column too short for
// its pattern holds no readable value and is null.
inline bool MatchesNullPattern(NullPattern pattern, const unsigned char* column, std::size_t capacity,
                               std::size_t available) {
    if (pattern == NullPattern::Never) return false;
    if (pattern == NullPattern::Always) return true;
    const std::size_t size = PatternSize(pattern, capacity);
    if (size > available || size > capacity + (pattern == NullPattern::NoLength ? 2 : 0)) return true;
    const auto every = [&](auto accepted) {
        for (std::size_t i = 0; i < capacity; ++i)
            if (!accepted(column[i])) return false;
        return true;
    };
    switch (pattern) {
        case NullPattern::BlankFirst: return column[0] == ' ';
        case NullPattern::AllZero: return every([](unsigned char c) { return c == 0; });
        case NullPattern::AllBlank: return every([](unsigned char c) { return c == ' '; });
        case NullPattern::BlankOrZero: return every([](unsigned char c) { return c == 0 || c == ' '; });
        case NullPattern::Zero32: return LoadLE<std::uint32_t>(column) == 0;
        case NullPattern::DoubleMarker: return std::memcmp(column, DoubleNullBytes, 8) == 0;
        case NullPattern::Min32: return LoadLE<std::uint32_t>(column) == Int32Null;
        case NullPattern::Min16: return LoadLE<std::uint16_t>(column) == Int16Null;
        case NullPattern::AllOnes32: return LoadLE<std::uint32_t>(column) == AllOnes32Null;
        case NullPattern::Min64: return LoadLE<std::uint64_t>(column) == Int64Null;
        case NullPattern::NoLength: {
            const auto length = LoadLE<std::uint16_t>(column + capacity);
            return length == NoLengthNull || length == 0;
        }
        default: return true;
    }
}

// ---- Packed values ----------------------------------------------------------

struct CivilDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
};

// Compact dates: 3 bytes holding year (15 bits), month (4 bits) and day
// (5 bits), high bits first.
constexpr CivilDate UnpackCompactDate(const unsigned char* p) {
    return {p[0] * 128 + p[1] / 2, (p[1] % 2) * 8 + p[2] / 32, p[2] % 32};
}
constexpr void PackCompactDate(const CivilDate& date, unsigned char* p) {
    p[0] = static_cast<unsigned char>(date.Year / 128);
    p[1] = static_cast<unsigned char>((date.Year % 128) * 2 + date.Month / 8);
    p[2] = static_cast<unsigned char>((date.Month % 8) * 32 + date.Day);
}

// VFP images keep a timestamp's time part one millisecond short (0 stays 0).
constexpr std::uint32_t StoredMillis(std::uint16_t tableType, std::uint32_t millis) {
    return IsVfp(tableType) && millis > 0 ? millis - 1 : millis;
}
constexpr std::uint32_t MillisOfStored(std::uint16_t tableType, std::uint32_t stored) {
    return IsVfp(tableType) && stored != 0 ? stored + 1 : stored;
}

// Length of a variable column's value: LDT keeps it after the capacity; VFP
// in the column's last byte unless the "full" flag says the value fills the
// column. Never more than the capacity.
inline std::size_t VariableLength(std::uint16_t tableType, const unsigned char* column, std::size_t capacity,
                                  bool full) {
    std::size_t length = 0;
    if (IsLdt(tableType))
        length = LoadLE<std::uint16_t>(column + capacity);
    else
        length = full ? capacity : (capacity > 0 ? column[capacity - 1] : 0);
    return length < capacity ? length : capacity;
}

// Writes a variable column's length where VariableLength reads it. Returns
// whether the value fills the column (VFP then sets the column's "full" flag
// and keeps the last byte as data).
inline bool PutVariableLength(std::uint16_t tableType, unsigned char* column, std::size_t capacity,
                              std::size_t length) {
    if (IsLdt(tableType)) {
        const auto stored = static_cast<std::uint16_t>(length);
        std::memcpy(column + capacity, &stored, sizeof stored);
        return length == capacity;
    }
    if (length >= capacity) return true;
    column[capacity - 1] = static_cast<unsigned char>(length);
    return false;
}

}  // namespace record_format
