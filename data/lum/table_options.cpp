// TLumTableOptions: each option's guard, stored name and engine value.
#include "data/lum/table_options.h"

#include <array>

#include "data/lum/dataset.h"
#include "data/lum/errors.h"
#include "framework/stored_property.h"

namespace lum {

namespace {

#define LUM_CHAR_TYPE_NAME(name) #name,
constexpr std::array<const char*, CharTypeCount> kCharTypeNames = {LUM_CHAR_TYPES(LUM_CHAR_TYPE_NAME)};
#undef LUM_CHAR_TYPE_NAME

}  // namespace

const char* CollationNames(TLumCharTypes type) {
    switch (type) {
        case TLumCharTypes::ENGL_AMER_LUM_CS_AS_1252: return "ENGL(AMER)_LUM_CS_AS_1252";
        case TLumCharTypes::ENGL_CAN_LUM_CS_AS_1252: return "ENGL(CAN)_LUM_CS_AS_1252";
        case TLumCharTypes::ENGL_UK_LUM_CS_AS_1252: return "ENGL(UK)_LUM_CS_AS_1252";
        case TLumCharTypes::SPAN_MOD_LUM_CS_AS_1252: return "SPAN(MOD)_LUM_CS_AS_1252";
        default: return kCharTypeNames.at(static_cast<std::size_t>(type));
    }
}

bool CharTypeOfName(const std::string& name, TLumCharTypes& type) {
    const auto index = fw::IndexOfName(name, kCharTypeNames);
    if (index) type = static_cast<TLumCharTypes>(*index);
    return index.has_value();
}

TLumTableOptions::TLumTableOptions(TLumDataSet& dataSet) : dataSet_(dataSet) {}

void TLumTableOptions::CheckClosed() const {
    if (dataSet_.Active()) RaiseLayerError(&dataSet_, "Table must not be Active.");
}

void TLumTableOptions::SetLumLockType(TLumLockTypes value) {
    CheckClosed();
    lockType_ = value;
}

void TLumTableOptions::SetLumCharType(TLumCharTypes value) {
    CheckClosed();
    const TLumTableTypes table = dataSet_.TableType();
    if ((table == TLumTableTypes::ttLumCDX || table == TLumTableTypes::ttLumNTX) && value != TLumCharTypes::ANSI &&
        value != TLumCharTypes::OEM) {
        RaiseLayerError(&dataSet_, "ttLumCDX and ttLumNTX table types only support an LumCharType of ANSI or OEM.");
    }
    if (static_cast<int>(value) >= CharTypeCount) RaiseLayerError(&dataSet_, "Invalid or unknown character type.");
    charType_ = value;
}

void TLumTableOptions::SetLumRightsCheck(bool value) {
    CheckClosed();
    rightsCheck_ = value;
}

void TLumTableOptions::SetLumOptimizedFilters(bool value) {
    if (value == optimizedFilters_) return;
    const bool previous = optimizedFilters_;
    optimizedFilters_ = value;
    // A closed or loading dataset applies the mode the next time it filters.
    if (!dataSet_.Active() || dataSet_.Loading()) return;
    try {
        dataSet_.FilterModeChanged(previous);
    } catch (...) {
        optimizedFilters_ = previous;
        throw;
    }
}

void TLumTableOptions::SetLumIndexPageSize(std::uint16_t value) {
    if (value > 8192) throw fw::EConvertError("Invalid property value: LumIndexPageSize");
    indexPageSize_ = value;
}

void TLumTableOptions::SetLumRecordCache(TLumRecordCacheTypes value) {
    if (dataSet_.Active()) {
        static constexpr std::uint16_t kRecords[] = {0, 10, 100};
        dataSet_.ApplyRecordCache(kRecords[static_cast<int>(value)]);
    }
    recordCache_ = value;
}

void TLumTableOptions::SetLumCachingOption(TLumTableCachingOption value) {
    CheckClosed();
    cachingOption_ = value;
}

std::uint32_t TLumTableOptions::CachingOptionBits() const {
    switch (cachingOption_) {
        case TLumTableCachingOption::tcReads: return 0x20000000;
        case TLumTableCachingOption::tcWrites: return 0x40000000;
        default: return 0;
    }
}

std::uint16_t TLumTableOptions::CountMode() const {
    std::uint16_t mode = 2;
    if (filterOptions_ == TLumRespectFilters::RESPECT_WHEN_COUNTING) {
        mode = 1;
    } else if (scopeOptions_ == TLumRespectScopes::RESPECT_SCOPES_WHEN_COUNTING) {
        mode = 3;
    }
    return freshRecordCount_ ? static_cast<std::uint16_t>(mode + 4) : mode;
}

std::uint16_t TLumTableOptions::LOFOptionBits() const {
    static constexpr std::uint16_t kTypeBits[] = {0, 4, 8};
    return static_cast<std::uint16_t>(kTypeBits[static_cast<int>(lofType_)] + (lofResolveImmediate_ ? 1 : 2));
}

TLumDatasetOptions TLumTableOptions::DatasetOptions() const {
    return {EngineLockType(), EngineCharType(), EngineRightsMode(), dataSet_.OpenTableType(), dataSet_.CollationName()};
}

void TLumTableOptions::SetStoredProperty(const std::string& name, const fw::PropertyValue& value) {
    static constexpr std::array<const char*, 2> kLockTypes = {"Proprietary", "Compatible"};
    static constexpr std::array<const char*, 2> kFilters = {"IGNORE_WHEN_COUNTING", "RESPECT_WHEN_COUNTING"};
    static constexpr std::array<const char*, 2> kScopes = {"IGNORE_SCOPES_WHEN_COUNTING",
                                                           "RESPECT_SCOPES_WHEN_COUNTING"};
    static constexpr std::array<const char*, 3> kCaches = {"rcNone", "rcStandard", "rcAggressive"};
    static constexpr std::array<const char*, 3> kCaching = {"tcNone", "tcReads", "tcWrites"};
    static constexpr std::array<const char*, 3> kLOFTypes = {"atDynamic", "atKeySet", "atFixed"};
    static constexpr std::array<const char*, 2> kLockingModes = {"lmPessimistic", "lmOptimistic"};
    const std::string path = "LumTableOptions." + name;
    if (name == "LumLockType") return SetLumLockType(fw::EnumOf<TLumLockTypes>(value, kLockTypes, path));
    if (name == "LumCharType") return SetLumCharType(fw::EnumOf<TLumCharTypes>(value, kCharTypeNames, path));
    if (name == "LumFilterOptions") return SetLumFilterOptions(fw::EnumOf<TLumRespectFilters>(value, kFilters, path));
    if (name == "LumFreshRecordCount") return SetLumFreshRecordCount(fw::Stored<bool>(value, path));
    if (name == "LumScopeOptions") return SetLumScopeOptions(fw::EnumOf<TLumRespectScopes>(value, kScopes, path));
    if (name == "LumLOFResolveImmediate") return SetLumLOFResolveImmediate(fw::Stored<bool>(value, path));
    if (name == "LumRightsCheck") return SetLumRightsCheck(fw::Stored<bool>(value, path));
    if (name == "LumOptimizedFilters") return SetLumOptimizedFilters(fw::Stored<bool>(value, path));
    if (name == "LumIndexPageSize") {
        const long long number = fw::Stored<long long>(value, path);
        if (number < 0 || number > 8192) fw::RaiseInvalidPropertyValue(path);
        return SetLumIndexPageSize(static_cast<std::uint16_t>(number));
    }
    if (name == "LumRecordCache") return SetLumRecordCache(fw::EnumOf<TLumRecordCacheTypes>(value, kCaches, path));
    if (name == "LumLOFType") return SetLumLOFType(fw::EnumOf<TLumLOFTypes>(value, kLOFTypes, path));
    if (name == "LumAutoKeyFieldCount") return SetLumAutoKeyFieldCount(fw::Stored<bool>(value, path));
    if (name == "LumCalcFieldsBeforeFilter") return SetLumCalcFieldsBeforeFilter(fw::Stored<bool>(value, path));
    if (name == "LumRecordLockingMode") {
        return SetLumRecordLockingMode(fw::EnumOf<TLumRecordLockingModes>(value, kLockingModes, path));
    }
    if (name == "LumPreserveSpaces") return SetLumPreserveSpaces(fw::Stored<bool>(value, path));
    if (name == "LumNumericsAsFloats") return SetLumNumericsAsFloats(fw::Stored<bool>(value, path));
    if (name == "LumCollation") return SetLumCollation(fw::Stored<std::string>(value, path));
    if (name == "LumCachingOption") {
        return SetLumCachingOption(fw::EnumOf<TLumTableCachingOption>(value, kCaching, path));
    }
    throw fw::EConvertError(fw::Format("Unknown property: %s", {path}));
}

}  // namespace lum
