// C operation: renaming a table of a data dictionary. The table file (with
// its lock file) gets the new name beside the old one and the dictionary's
// entry and properties follow it; a table that is open anywhere, or that a
// write left unfinished, keeps its name.
#include <filesystem>

#include "engine/src/api_support.h"
#include "engine/src/record_locks.h"
#include "engine/src/text.h"

using namespace lce;
using namespace lce::api;

namespace {

constexpr std::size_t kMaxTableName = 200;

// The dictionary name a new name gives: without a file extension.
std::string entryNameOf(const std::string& given) {
    if (given.empty() || given.size() > kMaxTableName || given.find_first_of("/\\:*?\"<>|") != std::string::npos)
        fail(kErrInvalidArgument, "\"" + given.substr(0, kMaxTableName) +
                                      "\" is not a valid table name; give a plain name without a folder");
    const auto dot = given.find_last_of('.');
    const std::string name = (dot == std::string::npos || dot == 0) ? given : given.substr(0, dot);
    if (name.empty()) fail(kErrInvalidArgument, "\"" + given + "\" is not a valid table name");
    return name;
}

std::string extensionOf(const std::string& file) {
    const std::string name = fileNameOf(file);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

void renameFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    if (ec)
        fail(kErrWriteFailed,
             "File " + from + " could not be renamed to " + to + "; check that the folder can be written");
}

}  // namespace

extern "C" {

UNSIGNED32 LumRenameTable(LUMHANDLE hConnect, const char* pucTableName, const char* pucNewName) {
    return guarded([&] {
        auto conn = connectionOf(hConnect);
        const std::string oldName = in(pucTableName, "table name");
        const std::string newEntry = entryNameOf(in(pucNewName, "new table name"));
        if (!conn->isDictionary())
            fail(kErrNotSupported,
                 "Table " + oldName + " is a free table; only tables of a data dictionary are renamed");
        if (conn->transactionCount() != 0)
            fail(kErrTransaction,
                 "Table " + oldName + " cannot be renamed inside a transaction; commit or roll back first");
        const auto entry = conn->dictionary().findTable(oldName);
        if (!entry)
            fail(kErrNotInDictionary,
                 "Table " + oldName + " is not in the data dictionary " + conn->dictionary().path());
        if (conn->dictionary().findTable(newEntry))
            fail(kErrFileExists,
                 "Table " + newEntry + " exists already in the data dictionary " + conn->dictionary().path());
        const std::string oldFile = findFile(joinPath(conn->folder(), normalizePath(entry->file)));
        if (oldFile.empty())
            fail(kErrFileNotFound, "Table file " + entry->file + " of table " + entry->name + " not found");
        const std::string relFolder = directoryOf(normalizePath(entry->file));
        const std::string newRel = (relFolder.empty() || relFolder == ".")
                                       ? newEntry + extensionOf(entry->file)
                                       : joinPath(relFolder, newEntry + extensionOf(entry->file));
        const std::string newFile = joinPath(conn->folder(), newRel);
        if (!findFile(newFile).empty())
            fail(kErrFileExists, "File " + newFile + " exists already; choose another name");
        if (fileExists(oldFile + "-journal") || fileExists(oldFile + "-wal"))
            fail(kErrNeedsWriter, "Table " + oldFile +
                                      " was left in the middle of a write; open and close it with the practice's "
                                      "software before renaming it");
        conn->releaseFileForRename(oldFile);
        // Held while the files move: nobody opens the table in between.
        const auto openLock = OpenLock::take(oldFile, true);
        DictionaryStore dictionary = DictionaryStore::open(conn->dictionary().path(), true);
        const bool hasLockFile = fileExists(oldFile + ".lck");
        renameFile(oldFile, newFile);
        try {
            if (hasLockFile) renameFile(oldFile + ".lck", newFile + ".lck");
            dictionary.renameTable(entry->name, newEntry, newRel);
        } catch (...) {
            std::error_code ec;
            if (hasLockFile) std::filesystem::rename(newFile + ".lck", oldFile + ".lck", ec);
            std::filesystem::rename(newFile, oldFile, ec);
            throw;
        }
    });
}

}  // extern "C"
