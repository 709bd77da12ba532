// Finding a practice's dictionary and the table files it names.
#include "tools/practice_files.h"

#include <stdexcept>

#include "tools/schema.h"

namespace payxref::db {

std::filesystem::path TableFilePath(const std::filesystem::path& folder, const std::string& table) {
    const std::filesystem::path dictionaryPath = folder / kDictionaryName;
    if (!std::filesystem::exists(dictionaryPath)) {
        throw std::runtime_error("no practice dictionary " + dictionaryPath.string());
    }
    const lce::Dictionary dictionary = lce::Dictionary::open(dictionaryPath.string());
    for (const lce::Dictionary::TableEntry& entry : dictionary.tables()) {
        const std::filesystem::path written(table);
        if (EqualsIgnoringCase(entry.name, table) || EqualsIgnoringCase(entry.file, table) ||
            (written.has_extension() && EqualsIgnoringCase(entry.name, written.stem().string()))) {
            return folder / entry.file;
        }
    }
    throw std::runtime_error("the dictionary " + dictionaryPath.string() + " has no table \"" + table + "\"");
}

}  // namespace payxref::db
