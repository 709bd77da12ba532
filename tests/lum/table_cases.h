// The table types the record-image tests run on, each with the letter that
// names it in their cases: NTX, CDX, LDT, and VFP with and without null flags.
#pragma once

#include <cstdint>

#include "data/engine/lce32.h"
#include "data/lum/table_types.h"

namespace lumtest {

struct TableCase {
    char letter;
    std::uint16_t tableType;
    lum::TLumTableTypes openAs;
    bool nullable;  // VFP columns with and without a null flag
};
inline constexpr TableCase tableCases[] = {
    {'N', LUM_NTX, lum::TLumTableTypes::ttLumNTX, false}, {'C', LUM_CDX, lum::TLumTableTypes::ttLumCDX, false},
    {'L', LUM_LDT, lum::TLumTableTypes::ttLumLDT, true},  {'V', LUM_VFP, lum::TLumTableTypes::ttLumVFP, true},
    {'W', LUM_VFP, lum::TLumTableTypes::ttLumVFP, false},
};

}  // namespace lumtest
