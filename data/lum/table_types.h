#pragma once
// Table formats a dataset can ask the engine for.
#include <cstdint>

namespace lum {

enum class TLumTableTypes : std::uint8_t { ttLumCDX, ttLumNTX, ttLumLDT, ttLumDefault, ttLumVFP };
// The stored identifiers of the table types, in the enum's order.
inline constexpr const char* kTableTypeNames[] = {"ttLumCDX", "ttLumNTX", "ttLumLDT", "ttLumDefault", "ttLumVFP"};

// The engine code a table opens with: CDX 2, NTX 1, VFP 4, LDT and Default 3.
constexpr std::uint16_t OpenTableTypeCode(TLumTableTypes type) {
    switch (type) {
        case TLumTableTypes::ttLumCDX: return 2;
        case TLumTableTypes::ttLumNTX: return 1;
        case TLumTableTypes::ttLumVFP: return 4;
        default: return 3;
    }
}

// The engine code a query's statement gets: LDT 3, CDX 2, VFP 4, NTX and Default 1.
constexpr std::uint16_t StatementTableTypeCode(TLumTableTypes type) {
    switch (type) {
        case TLumTableTypes::ttLumLDT: return 3;
        case TLumTableTypes::ttLumCDX: return 2;
        case TLumTableTypes::ttLumVFP: return 4;
        default: return 1;
    }
}

// The table type for an engine code: 2 CDX, 1 NTX, 4 VFP, anything else LDT.
constexpr TLumTableTypes TableTypeOfCode(std::uint16_t code) {
    switch (code) {
        case 2: return TLumTableTypes::ttLumCDX;
        case 1: return TLumTableTypes::ttLumNTX;
        case 4: return TLumTableTypes::ttLumVFP;
        default: return TLumTableTypes::ttLumLDT;
    }
}

}  // namespace lum
