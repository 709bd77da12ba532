// Index files: creating one with its definitions, and reading them back
// read-only and bounded (the design is described in index_file.h).
#include "engine/src/index_file.h"

#include <filesystem>

#include "engine/src/error.h"
#include "engine/src/sqlite_db.h"
#include "engine/src/text.h"

namespace lce {

namespace {

constexpr const char* kFormat = "lce-index";
constexpr const char* kVersion = "1";

std::string joinFields(const std::vector<std::string>& fields) {
    std::string joined;
    for (const std::string& f : fields) joined += (joined.empty() ? "" : ";") + f;
    return joined;
}

std::vector<std::string> splitFields(const std::string& fields) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto semi = fields.find(';', start);
        parts.push_back(fields.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
        if (semi == std::string::npos) return parts;
        start = semi + 1;
    }
}

void checkDefinitions(const std::vector<IndexDef>& indexes, const std::string& path) {
    if (indexes.size() > kMaxIndexFileIndexes)
        fail(kErrInvalidArgument,
             "Index file " + path + " would hold more than " + std::to_string(kMaxIndexFileIndexes) + " indexes");
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const IndexDef& d = indexes[i];
        if (d.name.empty()) fail(kErrInvalidArgument, "An index of index file " + path + " has no name");
        if (d.fields.empty() || d.fields.size() > kMaxIndexSegments)
            fail(kErrInvalidArgument, "Index " + d.name + " of index file " + path + " needs 1 to " +
                                          std::to_string(kMaxIndexSegments) + " fields");
        for (std::size_t j = 0; j < i; ++j)
            if (equalsIgnoringCase(indexes[j].name, d.name))
                fail(kErrInvalidArgument, "Duplicate index name \"" + d.name + "\" in index file " + path);
    }
}

// The one format row, read as a table file's is: a file of another kind
// says it is not an index file, a locked or damaged one says so.
void checkFormat(const Db& db, const std::string& path) {
    const std::string notOurs = "File " + path + " is not an index file; check the name of the index file to open";
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db.get(), "SELECT value FROM lce_meta WHERE key='format'", -1, &raw, nullptr);
    const int stepped = rc == SQLITE_OK ? sqlite3_step(raw) : rc;
    const auto* value = stepped == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)) : nullptr;
    const bool ours = value && std::string_view(value) == kFormat;
    sqlite3_finalize(raw);
    if (ours) return;
    if (stepped == SQLITE_ROW || stepped == SQLITE_DONE) fail(kErrNotAnIndexFile, notOurs);
    db.failAs(kErrNotAnIndexFile, notOurs);
}

// A text of the file within its bound.
std::string boundedText(const Stmt& row, int column, const std::string& damaged) {
    std::string text = row.text(column);
    if (text.size() > kMaxIndexFileText) fail(kErrDamaged, damaged + " (a text is too long)");
    return text;
}

}  // namespace

void createIndexFile(const std::string& rawPath, const std::vector<IndexDef>& indexes) {
    const std::string path = normalizePath(rawPath);
    checkDefinitions(indexes, path);
    if (fileExists(path)) fail(kErrFileExists, "Index file " + path + " exists already");
    try {
        Db db(path, Db::Mode::Create, defaultLockWait(), FileKind::Index);
        db.exec("BEGIN");
        db.exec("CREATE TABLE lce_meta(key TEXT PRIMARY KEY, value TEXT)");
        db.exec(std::string("INSERT INTO lce_meta VALUES('format', '") + kFormat + "'), ('version', '" + kVersion +
                "')");
        db.exec(
            "CREATE TABLE lce_indexes(no INTEGER PRIMARY KEY, name TEXT NOT NULL, fields TEXT, is_unique INTEGER, "
            "descending INTEGER, is_primary INTEGER, candidate INTEGER, condition TEXT, page_size INTEGER)");
        Stmt insert(db, "INSERT INTO lce_indexes VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        std::int64_t no = 1;
        for (const IndexDef& d : indexes) {
            insert.reset();
            insert.bind(1, no++);
            insert.bindText(2, d.name);
            insert.bindText(3, joinFields(d.fields));
            insert.bind(4, static_cast<std::int64_t>(d.unique));
            insert.bind(5, static_cast<std::int64_t>(d.descending));
            insert.bind(6, static_cast<std::int64_t>(d.primary));
            insert.bind(7, static_cast<std::int64_t>(d.candidate));
            insert.bindText(8, d.condition);
            insert.bind(9, static_cast<std::int64_t>(d.pageSize));
            insert.step();
        }
        db.exec("COMMIT");
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        std::filesystem::remove(path + "-journal", ec);
        throw;
    }
}

std::vector<IndexDef> readIndexFile(const std::string& rawPath, std::chrono::milliseconds lockWait) {
    const std::string given = normalizePath(rawPath);
    const std::string path = findFile(given);
    if (path.empty()) fail(kErrFileNotFound, "Index file " + given + " not found");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        fail(kErrNotAnIndexFile, "File " + path + " is not an index file; check the name of the index file to open");
    const Db db(path, Db::Mode::ReadOnly, lockWait, FileKind::Index);
    // One read for the format, the version and the definitions.
    db.exec("BEGIN");
    checkFormat(db, path);
    const std::string damaged = "Index file " + path + " is damaged";
    std::vector<IndexDef> indexes;
    try {
        Stmt version(db, "SELECT value FROM lce_meta WHERE key='version'");
        const std::string found = version.step() ? version.text(0) : std::string();
        if (found != kVersion)
            fail(kErrNotAnIndexFile, "Index file " + path + " has format version " + found +
                                         "; this engine reads version " + kVersion + " (make the file again)");
        Stmt rows(db,
                  "SELECT name, fields, is_unique, descending, is_primary, candidate, condition, page_size "
                  "FROM lce_indexes ORDER BY no");
        while (rows.step()) {
            if (indexes.size() == kMaxIndexFileIndexes)
                fail(kErrDamaged, damaged + " (more than " + std::to_string(kMaxIndexFileIndexes) + " indexes)");
            IndexDef d;
            d.name = boundedText(rows, 0, damaged);
            d.fields = splitFields(boundedText(rows, 1, damaged));
            d.unique = rows.integer(2) != 0;
            d.descending = rows.integer(3) != 0;
            d.primary = rows.integer(4) != 0;
            d.candidate = rows.integer(5) != 0;
            d.condition = boundedText(rows, 6, damaged);
            d.pageSize = static_cast<std::uint32_t>(rows.integer(7));
            indexes.push_back(std::move(d));
        }
    } catch (const Error& e) {
        switch (e.code()) {
            case kErrNotAnIndexFile:
            case kErrDamaged:
            case kErrLocked:
            case kErrNeedsWriter:
            case kErrFileNotFound: throw;
            default: fail(kErrDamaged, damaged + " (" + e.what() + ")");
        }
    }
    try {
        checkDefinitions(indexes, path);
    } catch (const Error& e) {
        fail(kErrDamaged, damaged + " (" + e.what() + ")");
    }
    return indexes;
}

}  // namespace lce
