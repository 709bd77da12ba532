#pragma once
// Aliases of the lum.ini file: where the file is found, how its [Databases]
// entries ("folder" or "folder;letter") read, and the bounded reader behind
// them. A lookup never raises: a missing, unreadable or damaged file reads as
// no alias.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "data/lum/table_types.h"

namespace lum {

// The table type an alias names: a connection keeps "none given" apart.
enum class TLumAliasTableType : std::uint8_t { atUnspecified, atCDX, atNTX, atLDT, atVFP };

// Limits of the reader: a larger file, a longer line or more lines than
// these reads as damaged.
inline constexpr std::size_t kMaxLumIniBytes = 1024 * 1024;
inline constexpr std::size_t kMaxLumIniLineBytes = 64 * 1024;
inline constexpr std::size_t kMaxLumIniLines = 100000;

// The file that aliases are read from: the folder named by the environment
// variable "lumini_path" when it holds a lum.ini; else the first lum.ini in
// the folder of the executable, the current folder and each folder of PATH;
// else the bare name "lum.ini".
std::string FindLumIni();

// The value of `key` in `section` of the initialization file `file`, with
// section and key compared without regard to case; nothing when the file,
// the section or the key is absent, or the file cannot be read or is damaged.
std::optional<std::string> ReadIniValue(const std::string& file, const std::string& section, const std::string& key);

// An alias of lum.ini as a connection reads it: the folder, and the type a
// letter after ";" names ("N", "C", "L", "V"; none or another unspecified).
struct TLumAlias {
    std::string Path;
    TLumAliasTableType TableType = TLumAliasTableType::atUnspecified;
};
// The alias, or nothing when lum.ini has no entry for it or the entry names
// no folder.
std::optional<TLumAlias> LookUpAlias(const std::string& alias);

// The table type a dataset takes from an alias: LDT unless the letter names
// NTX, CDX or VFP.
TLumTableTypes DataSetTableType(TLumAliasTableType type);
// The table type a dataset takes from its connection's alias type; nothing
// when the alias gives none.
std::optional<TLumTableTypes> SpecifiedTableType(TLumAliasTableType type);

}  // namespace lum
