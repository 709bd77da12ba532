// Locating a practice's dictionary and its tables in a folder.
#pragma once

#include <filesystem>
#include <string>

#include "engine/lce_builder.h"

namespace payxref::db {

inline constexpr const char* kDictionaryName = "ZTDDF.LDD";

// The table file of a dictionary table (name matched ignoring case, with or
// without its file extension). Throws std::runtime_error naming table and dictionary.
std::filesystem::path TableFilePath(const std::filesystem::path& folder, const std::string& table);

}  // namespace payxref::db
