#pragma once
// The current practice: the data folder recorded for the current user as the
// value "Current Practice" of the key HKEY_CURRENT_USER\Software\Orvanta, in
// the store file that plays that user's registry (see reg::DefaultStorePath).
#include <filesystem>
#include <memory>
#include <string>

namespace reg {
class Hive;
}

namespace app {

// The recorded folder as stored (a REG_SZ or REG_EXPAND_SZ, not expanded, up
// to its first NUL), or "" when the key or value is missing or the key cannot
// be opened with full access (a store the user may read but not write).
// ERegistryException "Invalid data type for 'Current Practice'" for a value
// of another type; "Failed to get data for 'Current Practice'" when its data
// cannot be read. reg::EStoreError (an ERegistryException) when the store
// is there but cannot be used: not a regular file, unreadable, or beyond the
// store's limits; its message names the file, the fault and the command that
// records a practice. A store without a known header records nothing ("").
// Never writes the store.
std::string ReadCurrentPracticePath();
std::string ReadCurrentPracticePath(std::shared_ptr<const reg::Hive> hive);

// Records `folder` as the REG_SZ "Current Practice", replacing the store file
// at once (a new file renamed over the old one) and keeping its other keys,
// values, comments, encoding and line ends. A missing store is created
// (UTF-16LE with byte-order mark, version 5.00 header, CR LF line ends).
// ERegistryException when the store is read-only, is not a registry file,
// cannot be used (reg::EStoreError, as for reading),
// the folder cannot be stored as a string (line break, NUL, invalid UTF-8),
// or the file cannot be written; the store is then left as it was.
void RecordCurrentPractice(const std::string& folder);
void RecordCurrentPractice(const std::filesystem::path& store, const std::string& folder);

}  // namespace app
