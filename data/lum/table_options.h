#pragma once
// TLumTableOptions: the engine settings a dataset opens, counts and filters
// with, and the flags editing, keys and field values follow. The guarded
// settings can change only while the dataset is closed; the read-ahead and the
// filter mode act at once on an open dataset; the rest take effect the next
// time the dataset opens, counts or filters.
#include <cstdint>
#include <string>

#include "framework/reader.h"

namespace lum {

class TLumDataSet;

enum class TLumLockTypes : std::uint8_t { Proprietary, Compatible };
enum class TLumRespectFilters : std::uint8_t { IGNORE_WHEN_COUNTING, RESPECT_WHEN_COUNTING };
enum class TLumRespectScopes : std::uint8_t { IGNORE_SCOPES_WHEN_COUNTING, RESPECT_SCOPES_WHEN_COUNTING };
enum class TLumRecordCacheTypes : std::uint8_t { rcNone, rcStandard, rcAggressive };
enum class TLumLOFTypes : std::uint8_t { atDynamic, atKeySet, atFixed };
enum class TLumRecordLockingModes : std::uint8_t { lmPessimistic, lmOptimistic };
enum class TLumTableCachingOption : std::uint8_t { tcNone, tcReads, tcWrites };

// clang-format off
#define LUM_CHAR_TYPES(X)                                                                                          \
    X(ANSI) X(OEM) X(CZECH_VFP_CI_AS_1250) X(GENERAL_VFP_CI_AS_1250) X(HUNGARY_VFP_CI_AS_1250)                     \
    X(MACHINE_VFP_BIN_1250) X(POLISH_VFP_CI_AS_1250) X(SLOVAK_VFP_CI_AS_1250) X(MACHINE_VFP_BIN_1251)              \
    X(RUSSIAN_VFP_CI_AS_1251) X(DUTCH_VFP_CI_AS_1252) X(GENERAL_VFP_CI_AS_1252) X(GERMAN_VFP_CI_AS_1252)           \
    X(ICELAND_VFP_CI_AS_1252) X(MACHINE_VFP_BIN_1252) X(NORDAN_VFP_CI_AS_1252) X(SPANISH_VFP_CI_AS_1252)           \
    X(SWEFIN_VFP_CI_AS_1252) X(UNIQWT_VFP_CS_AS_1252) X(GREEK_VFP_CI_AS_1253) X(MACHINE_VFP_BIN_1253)              \
    X(GENERAL_VFP_CI_AS_1254) X(MACHINE_VFP_BIN_1254) X(TURKISH_VFP_CI_AS_1254) X(DUTCH_VFP_CI_AS_437)             \
    X(GENERAL_VFP_CI_AS_437) X(GERMAN_VFP_CI_AS_437) X(ICELAND_VFP_CI_AS_437) X(MACHINE_VFP_BIN_437)               \
    X(NORDAN_VFP_CI_AS_437) X(SPANISH_VFP_CI_AS_437) X(SWEFIN_VFP_CI_AS_437) X(UNIQWT_VFP_CS_AS_437)               \
    X(GENERAL_VFP_CI_AS_620) X(MACHINE_VFP_BIN_620) X(POLISH_VFP_CI_AS_620) X(GREEK_VFP_CI_AS_737)                 \
    X(MACHINE_VFP_BIN_737) X(DUTCH_VFP_CI_AS_850) X(GENERAL_VFP_CI_AS_850) X(ICELAND_VFP_CI_AS_850)                \
    X(MACHINE_VFP_BIN_850) X(NORDAN_VFP_CI_AS_850) X(SPANISH_VFP_CI_AS_850) X(SWEFIN_VFP_CI_AS_850)                \
    X(UNIQWT_VFP_CS_AS_850) X(CZECH_VFP_CI_AS_852) X(GENERAL_VFP_CI_AS_852) X(HUNGARY_VFP_CI_AS_852)               \
    X(MACHINE_VFP_BIN_852) X(POLISH_VFP_CI_AS_852) X(SLOVAK_VFP_CI_AS_852) X(GENERAL_VFP_CI_AS_857)                \
    X(MACHINE_VFP_BIN_857) X(TURKISH_VFP_CI_AS_857) X(GENERAL_VFP_CI_AS_861) X(ICELAND_VFP_CI_AS_861)              \
    X(MACHINE_VFP_BIN_861) X(GENERAL_VFP_CI_AS_865) X(MACHINE_VFP_BIN_865) X(NORDAN_VFP_CI_AS_865)                 \
    X(SWEFIN_VFP_CI_AS_865) X(MACHINE_VFP_BIN_866) X(RUSSIAN_VFP_CI_AS_866) X(CZECH_VFP_CI_AS_895)                 \
    X(GENERAL_VFP_CI_AS_895) X(MACHINE_VFP_BIN_895) X(SLOVAK_VFP_CI_AS_895) X(DANISH_LUM_CS_AS_1252)               \
    X(DUTCH_LUM_CS_AS_1252) X(ENGL_AMER_LUM_CS_AS_1252) X(ENGL_CAN_LUM_CS_AS_1252) X(ENGL_UK_LUM_CS_AS_1252)       \
    X(FINNISH_LUM_CS_AS_1252) X(FRENCH_LUM_CS_AS_1252) X(FRENCH_CAN_LUM_CS_AS_1252) X(GERMAN_LUM_CS_AS_1252)       \
    X(ICELANDIC_LUM_CS_AS_1252) X(ITALIAN_LUM_CS_AS_1252) X(NORWEGIAN_LUM_CS_AS_1252)                              \
    X(PORTUGUESE_LUM_CS_AS_1252) X(SPANISH_LUM_CS_AS_1252) X(SPAN_MOD_LUM_CS_AS_1252) X(SWEDISH_LUM_CS_AS_1252)    \
    X(RUSSIAN_LUM_CS_AS_1251) X(ASCII_LUM_CS_AS_1252) X(TURKISH_LUM_CS_AS_1254) X(POLISH_LUM_CS_AS_1250)           \
    X(BALTIC_LUM_CS_AS_1257) X(UKRAINIAN_LUM_CS_AS_1251) X(DUDEN_DE_LUM_CS_AS_1252) X(USA_LUM_CS_AS_437)           \
    X(DANISH_LUM_CS_AS_865) X(DUTCH_LUM_CS_AS_850) X(FINNISH_LUM_CS_AS_865) X(FRENCH_LUM_CS_AS_863)                \
    X(GERMAN_LUM_CS_AS_850) X(GREEK437_LUM_CS_AS_437) X(GREEK851_LUM_CS_AS_851) X(ICELD850_LUM_CS_AS_850)          \
    X(ICELD861_LUM_CS_AS_861) X(ITALIAN_LUM_CS_AS_850) X(NORWEGN_LUM_CS_AS_865) X(PORTUGUE_LUM_CS_AS_860)          \
    X(SPANISH_LUM_CS_AS_852) X(SWEDISH_LUM_CS_AS_865) X(MAZOVIA_LUM_CS_AS_852) X(PC_LATIN_LUM_CS_AS_852)           \
    X(ISOLATIN_LUM_CS_AS_850) X(RUSSIAN_LUM_CS_AS_866) X(NTXCZ852_LUM_CS_AS_852) X(NTXCZ895_LUM_CS_AS_895)         \
    X(NTXSL852_LUM_CS_AS_852) X(NTXSL895_LUM_CS_AS_895) X(NTXHU852_LUM_CS_AS_852) X(NTXPL852_LUM_CS_AS_852)        \
    X(TURKISH_LUM_CS_AS_857) X(BOSNIAN_LUM_CS_AS_775)
// clang-format on

#define LUM_CHAR_TYPE_VALUE(name) name,
enum class TLumCharTypes : std::uint8_t { LUM_CHAR_TYPES(LUM_CHAR_TYPE_VALUE) };
#undef LUM_CHAR_TYPE_VALUE

constexpr int CharTypeCount = 118;
// The collation text of a character type (the value's name, with parentheses
// for the four English and Spanish variants).
const char* CollationNames(TLumCharTypes type);
// The character type of an identifier such as "OEM"; false when unknown.
bool CharTypeOfName(const std::string& name, TLumCharTypes& type);

// A dataset's options as the engine takes them for a statement the connection
// runs on the dataset's behalf: lock type, character type, rights mode and
// table type as engine values, in that order, then the collation.
struct TLumDatasetOptions {
    std::uint16_t LockType = 1;
    std::uint16_t CharType = 1;
    std::uint16_t RightsMode = 1;
    std::uint16_t TableType = 3;
    std::string Collation;
};

class TLumTableOptions {
public:
    explicit TLumTableOptions(TLumDataSet& dataSet);

    TLumLockTypes LumLockType() const { return lockType_; }
    void SetLumLockType(TLumLockTypes value);  // guarded
    TLumCharTypes LumCharType() const { return charType_; }
    // Guarded; CDX and NTX tables take only ANSI or OEM; ordinals above 117 are refused.
    void SetLumCharType(TLumCharTypes value);
    TLumRespectFilters LumFilterOptions() const { return filterOptions_; }
    void SetLumFilterOptions(TLumRespectFilters value) { filterOptions_ = value; }
    bool LumFreshRecordCount() const { return freshRecordCount_; }
    void SetLumFreshRecordCount(bool value) { freshRecordCount_ = value; }
    TLumRespectScopes LumScopeOptions() const { return scopeOptions_; }
    void SetLumScopeOptions(TLumRespectScopes value) { scopeOptions_ = value; }
    bool LumLOFResolveImmediate() const { return lofResolveImmediate_; }
    void SetLumLOFResolveImmediate(bool value) { lofResolveImmediate_ = value; }
    bool LumRightsCheck() const { return rightsCheck_; }
    void SetLumRightsCheck(bool value);  // guarded
    // Whether filters go through the engine's optimised filter. Changing it on
    // an open dataset that is not loading lets the dataset move its filter to
    // the new mode; when that fails the old value stays.
    bool LumOptimizedFilters() const { return optimizedFilters_; }
    void SetLumOptimizedFilters(bool value);
    // The page size of the table's first index once the dataset has opened;
    // the stored value is never sent to the engine.
    std::uint16_t LumIndexPageSize() const { return indexPageSize_; }
    void SetLumIndexPageSize(std::uint16_t value);
    TLumRecordCacheTypes LumRecordCache() const { return recordCache_; }
    // On an open dataset the engine's read-ahead changes at once.
    void SetLumRecordCache(TLumRecordCacheTypes value);
    TLumLOFTypes LumLOFType() const { return lofType_; }
    void SetLumLOFType(TLumLOFTypes value) { lofType_ = value; }
    bool LumAutoKeyFieldCount() const { return autoKeyFieldCount_; }
    void SetLumAutoKeyFieldCount(bool value) { autoKeyFieldCount_ = value; }
    bool LumCalcFieldsBeforeFilter() const { return calcFieldsBeforeFilter_; }
    void SetLumCalcFieldsBeforeFilter(bool value) { calcFieldsBeforeFilter_ = value; }
    // Pessimistic: editing locks the record; optimistic: a check value taken
    // when editing starts is compared under a lock when posting.
    TLumRecordLockingModes LumRecordLockingMode() const { return recordLockingMode_; }
    void SetLumRecordLockingMode(TLumRecordLockingModes value) { recordLockingMode_ = value; }
    bool LumPreserveSpaces() const { return preserveSpaces_; }
    void SetLumPreserveSpaces(bool value) { preserveSpaces_ = value; }
    bool LumNumericsAsFloats() const { return numericsAsFloats_; }
    void SetLumNumericsAsFloats(bool value) { numericsAsFloats_ = value; }
    const std::string& LumCollation() const { return collation_; }
    void SetLumCollation(const std::string& value) { collation_ = value; }
    TLumTableCachingOption LumCachingOption() const { return cachingOption_; }
    void SetLumCachingOption(TLumTableCachingOption value);  // guarded

    // Engine values derived from the options.
    std::uint16_t EngineLockType() const { return lockType_ == TLumLockTypes::Proprietary ? 1 : 0; }
    std::uint16_t EngineCharType() const { return static_cast<std::uint16_t>(static_cast<int>(charType_) + 1); }
    std::uint16_t EngineRightsMode() const { return rightsCheck_ ? 1 : 2; }
    std::uint32_t CachingOptionBits() const;
    // 1 respect filters, else 3 respect scopes, else 2; plus 4 for a fresh count.
    std::uint16_t CountMode() const;
    // The option bits of an optimised filter: 0 dynamic, 4 key set, 8 fixed;
    // plus 1 to resolve it at once, else 2.
    std::uint16_t LOFOptionBits() const;
    // The options the connection applies to a statement run for the dataset.
    TLumDatasetOptions DatasetOptions() const;

    // A stored property below "LumTableOptions." (e.g. "LumIndexPageSize").
    void SetStoredProperty(const std::string& name, const fw::PropertyValue& value);

private:
    void CheckClosed() const;

    TLumDataSet& dataSet_;
    TLumLockTypes lockType_ = TLumLockTypes::Proprietary;
    TLumCharTypes charType_ = TLumCharTypes::ANSI;
    TLumRespectFilters filterOptions_ = TLumRespectFilters::IGNORE_WHEN_COUNTING;
    bool freshRecordCount_ = false;
    TLumRespectScopes scopeOptions_ = TLumRespectScopes::IGNORE_SCOPES_WHEN_COUNTING;
    bool lofResolveImmediate_ = false;
    bool rightsCheck_ = true;
    bool optimizedFilters_ = true;
    std::uint16_t indexPageSize_ = 0;
    TLumRecordCacheTypes recordCache_ = TLumRecordCacheTypes::rcStandard;
    TLumLOFTypes lofType_ = TLumLOFTypes::atDynamic;
    bool autoKeyFieldCount_ = false;
    bool calcFieldsBeforeFilter_ = false;
    TLumRecordLockingModes recordLockingMode_ = TLumRecordLockingModes::lmPessimistic;
    bool preserveSpaces_ = false;
    bool numericsAsFloats_ = false;
    std::string collation_;
    TLumTableCachingOption cachingOption_ = TLumTableCachingOption::tcNone;
};

}  // namespace lum
