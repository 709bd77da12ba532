#pragma once
// Table formats a dataset can ask the engine for.
#include <cstdint>

#include "data/engine/lce32.h"

namespace lum {

enum class TLumTableTypes : std::uint8_t { ttLumCDX, ttLumNTX, ttLumLDT, ttLumDefault, ttLumVFP };
// The stored identifiers of the table types, in the enum's order.
inline constexpr const char* kTableTypeNames[] = {"ttLumCDX", "ttLumNTX", "ttLumLDT", "ttLumDefault", "ttLumVFP"};

// The engine code a table opens with: CDX 2, NTX 1, VFP 4, LDT and Default 3.
constexpr std::uint16_t OpenTableTypeCode(TLumTableTypes type) {
    switch (type) {
        case TLumTableTypes::ttLumCDX: return LUM_CDX;
        case TLumTableTypes::ttLumNTX: return LUM_NTX;
        case TLumTableTypes::ttLumVFP: return LUM_VFP;
        default: return LUM_LDT;
    }
}

// The engine code a query's statement gets: LDT 3, CDX 2, VFP 4, NTX and Default 1.
constexpr std::uint16_t StatementTableTypeCode(TLumTableTypes type) {
    switch (type) {
        case TLumTableTypes::ttLumLDT: return LUM_LDT;
        case TLumTableTypes::ttLumCDX: return LUM_CDX;
        case TLumTableTypes::ttLumVFP: return LUM_VFP;
        default: return LUM_NTX;
    }
}

// The table type for an engine code: 2 CDX, 1 NTX, 4 VFP, anything else LDT.
constexpr TLumTableTypes TableTypeOfCode(std::uint16_t code) {
    switch (code) {
        case LUM_CDX: return TLumTableTypes::ttLumCDX;
        case LUM_NTX: return TLumTableTypes::ttLumNTX;
        case LUM_VFP: return TLumTableTypes::ttLumVFP;
        default: return TLumTableTypes::ttLumLDT;
    }
}

}  // namespace lum
