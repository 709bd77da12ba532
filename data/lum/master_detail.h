#pragma once
// Key buffers: a record image of key values with one marker per column, as a
// detail dataset builds the range that keeps it on its master's record.
#include <cstdint>
#include <string>
#include <vector>

namespace lum {

struct KeyBuffer {
    bool Changed = false;                // the key has been set
    std::int32_t FieldCount = 0;         // key fields given; 0: every segment, unset ones empty
    std::uint32_t Size = 0;              // record image + markers + header
    std::vector<std::uint8_t> Image;     // key values in the engine's record layout
    std::vector<std::uint16_t> Markers;  // per column: 0xFFFF not set, else set

    static constexpr std::uint16_t NotSet = 0xFFFF;
    // Equal in flag, field count, size and image; the markers are not compared.
    bool SameKey(const KeyBuffer& other) const {
        return Changed == other.Changed && FieldCount == other.FieldCount && Size == other.Size && Image == other.Image;
    }
};

// A segment of an index: the field the engine names for it and that field's
// position in the engine's field descriptions (-1: not among them).
struct SegmentName {
    std::string Name;
    int Column = -1;
};

enum class KeyKind : std::uint8_t { SearchKey, RangeStartKey, RangeEndKey, AppliedStartKey, AppliedEndKey, SavedKey };

// Bytes of a raw key built for a scope.
constexpr std::uint16_t RawKeyAreaSize = 4083;

}  // namespace lum
