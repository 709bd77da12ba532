// Opening, creating and reading a data dictionary: its tables, users and their
// salted password hashes, and its properties.
#include "engine/src/dictionary_store.h"

#include <filesystem>
#include <random>

#include "engine/src/error.h"
#include "engine/src/sha256.h"
#include "engine/src/text.h"

namespace lce {

namespace {
constexpr const char* kFormat = "lce-dictionary";
constexpr int kHashRounds = 2000;

std::string hashPassword(const std::string& salt, const std::string& password) {
    std::string h = sha256(salt + password);
    for (int i = 0; i < kHashRounds; ++i) h = sha256(h + salt);
    return toHex(h);
}

std::string newSalt() {
    std::random_device rd;
    std::string salt;
    for (int i = 0; i < 16; ++i) salt += static_cast<char>(rd() & 0xFF);
    return toHex(salt);
}

// Constant-time comparison, so the time of a refused login tells nothing.
bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}
}  // namespace

DictionaryStore DictionaryStore::create(const std::string& rawPath) {
    const std::string path = normalizePath(rawPath);
    if (fileExists(path)) fail(kErrFileExists, "Dictionary " + path + " exists already");
    DictionaryStore store;
    store.path_ = path;
    store.db_ = Db(path, Db::Mode::Create);
    try {
        store.db_.exec(
            "BEGIN;"
            "CREATE TABLE lce_meta(key TEXT PRIMARY KEY, value TEXT);"
            "INSERT INTO lce_meta VALUES('format', 'lce-dictionary'), ('version', '1');"
            "CREATE TABLE dd_tables(name TEXT PRIMARY KEY COLLATE NOCASE, file TEXT NOT NULL, table_type INTEGER);"
            "CREATE TABLE dd_table_properties(table_name TEXT COLLATE NOCASE, property INTEGER, value TEXT,"
            " PRIMARY KEY(table_name, property));"
            "CREATE TABLE dd_field_properties(table_name TEXT COLLATE NOCASE, field_name TEXT COLLATE NOCASE,"
            " property INTEGER, value TEXT, PRIMARY KEY(table_name, field_name, property));"
            "CREATE TABLE dd_users(name TEXT PRIMARY KEY COLLATE NOCASE, salt TEXT, hash TEXT, groups TEXT);"
            "COMMIT;");
    } catch (...) {
        store.db_ = Db();
        std::error_code ec;
        std::filesystem::remove(path, ec);
        throw;
    }
    return store;
}

DictionaryStore DictionaryStore::open(const std::string& rawPath, bool writable) {
    const std::string given = normalizePath(rawPath);
    const std::string path = findFile(given);
    if (path.empty()) fail(kErrFileNotFound, "Data dictionary " + given + " not found");
    const std::string notOurs =
        "File " + path + " is not a data dictionary; check that the folder holds the practice's database";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) fail(kErrNotADictionary, notOurs);
    DictionaryStore store;
    store.path_ = path;
    store.db_ = Db(path, writable ? Db::Mode::ReadWrite : Db::Mode::ReadOnly, defaultLockWait(), FileKind::Dictionary);
    sqlite3_stmt* raw = nullptr;
    const int rc =
        sqlite3_prepare_v2(store.db_.get(), "SELECT value FROM lce_meta WHERE key='format'", -1, &raw, nullptr);
    const int stepped = rc == SQLITE_OK ? sqlite3_step(raw) : rc;
    const auto* v = stepped == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)) : nullptr;
    const bool ok = v && std::string_view(v) == kFormat;
    sqlite3_finalize(raw);
    if (!ok) {
        // A locked, damaged or half-written dictionary says so; a file of
        // another program has no such table or row.
        if (stepped == SQLITE_ROW || stepped == SQLITE_DONE) fail(kErrNotADictionary, notOurs);
        store.db_.failAs(kErrNotADictionary, notOurs);
    }
    try {
        Stmt probe(store.db_, "SELECT name, file, table_type FROM dd_tables LIMIT 0");
        Stmt probe2(store.db_, "SELECT name, salt, hash, groups FROM dd_users LIMIT 0");
    } catch (const Error& e) {
        if (e.code() == kErrLocked || e.code() == kErrNeedsWriter) throw;
        fail(kErrDamaged,
             "Data dictionary " + path +
                 " is damaged; restore it from the practice's backup or have the practice's software repair it");
    }
    return store;
}

std::string DictionaryStore::folder() const { return directoryOf(path_); }

void DictionaryStore::addUser(const std::string& name, const std::string& password,
                              const std::vector<std::string>& groups) {
    if (name.empty()) fail(kErrInvalidArgument, "A user needs a name");
    std::string joined;
    for (const std::string& g : groups) joined += (joined.empty() ? "" : ";") + g;
    const std::string salt = newSalt();
    Stmt q(db_, "INSERT INTO dd_users VALUES(?1, ?2, ?3, ?4)");
    q.bindText(1, name);
    q.bindText(2, salt);
    q.bindText(3, hashPassword(salt, password));
    q.bindText(4, joined);
    try {
        q.step();
    } catch (const Error&) {
        fail(kErrInvalidArgument, "User " + name + " exists already in dictionary " + path_);
    }
}

bool DictionaryStore::checkLogin(const std::string& name, const std::string& password) const {
    Stmt q(db_, "SELECT salt, hash FROM dd_users WHERE name = ?1");
    q.bindText(1, name);
    if (!q.step()) {
        hashPassword("unknown-user", password);  // same work as for a known user
        return false;
    }
    return sameText(hashPassword(q.text(0), password), q.text(1));
}

std::optional<std::string> DictionaryStore::userGroups(const std::string& name) const {
    Stmt q(db_, "SELECT groups FROM dd_users WHERE name = ?1");
    q.bindText(1, name);
    if (!q.step()) return std::nullopt;
    return q.text(0);
}

std::vector<std::string> DictionaryStore::users() const {
    std::vector<std::string> out;
    Stmt q(db_, "SELECT name FROM dd_users ORDER BY rowid");
    while (q.step()) out.push_back(q.text(0));
    return out;
}

void DictionaryStore::addTable(const Dictionary::TableEntry& t) {
    if (t.name.empty() || t.file.empty()) fail(kErrInvalidArgument, "A dictionary table needs a name and a file");
    Stmt q(db_, "INSERT INTO dd_tables VALUES(?1, ?2, ?3)");
    q.bindText(1, t.name);
    q.bindText(2, normalizePath(t.file));
    q.bind(3, static_cast<std::int64_t>(t.tableType));
    try {
        q.step();
    } catch (const Error&) {
        fail(kErrInvalidArgument, "Table " + t.name + " exists already in dictionary " + path_);
    }
    for (const auto& [prop, value] : t.properties) setTableProperty(t.name, prop, value);
}

std::optional<Dictionary::TableEntry> DictionaryStore::findTable(const std::string& rawName) const {
    auto lookup = [&](const std::string& name) -> std::optional<Dictionary::TableEntry> {
        Stmt q(db_, "SELECT name, file, table_type FROM dd_tables WHERE name = ?1");
        q.bindText(1, name);
        if (!q.step()) return std::nullopt;
        Dictionary::TableEntry t;
        t.name = q.text(0);
        t.file = q.text(1);
        t.tableType = static_cast<std::uint16_t>(q.integer(2));
        Stmt p(db_, "SELECT property, value FROM dd_table_properties WHERE table_name = ?1");
        p.bindText(1, t.name);
        while (p.step()) t.properties[static_cast<std::uint16_t>(p.integer(0))] = p.text(1);
        return t;
    };
    if (auto t = lookup(rawName)) return t;
    const auto dot = rawName.find_last_of('.');
    if (dot != std::string::npos && dot > 0 && rawName.find_first_of("/\\", dot) == std::string::npos)
        return lookup(rawName.substr(0, dot));
    return std::nullopt;
}

std::vector<Dictionary::TableEntry> DictionaryStore::tables() const {
    std::vector<Dictionary::TableEntry> out;
    std::vector<std::string> names;
    {
        Stmt q(db_, "SELECT name FROM dd_tables ORDER BY rowid");
        while (q.step()) names.push_back(q.text(0));
    }
    for (const std::string& n : names)
        if (auto t = findTable(n)) out.push_back(*t);
    return out;
}

void DictionaryStore::renameTable(const std::string& from, const std::string& to, const std::string& file) {
    sqlite3_exec(db_.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    try {
        Stmt entry(db_, "UPDATE dd_tables SET name = ?2, file = ?3 WHERE name = ?1");
        entry.bindText(1, from);
        entry.bindText(2, to);
        entry.bindText(3, normalizePath(file));
        entry.step();
        Stmt properties(db_, "UPDATE dd_table_properties SET table_name = ?2 WHERE table_name = ?1");
        properties.bindText(1, from);
        properties.bindText(2, to);
        properties.step();
        if (hasFieldProperties()) {
            Stmt fields(db_, "UPDATE dd_field_properties SET table_name = ?2 WHERE table_name = ?1");
            fields.bindText(1, from);
            fields.bindText(2, to);
            fields.step();
        }
    } catch (...) {
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        fail(kErrWriteFailed, "Data dictionary " + path_ + " could not record the new name of table " + from +
                                  "; check that the folder can be written");
    }
}

void DictionaryStore::setTableProperty(const std::string& table, std::uint16_t property, const std::string& value) {
    if (!findTable(table)) fail(kErrNotInDictionary, "Table " + table + " is not in dictionary " + path_);
    Stmt q(db_, "INSERT OR REPLACE INTO dd_table_properties VALUES(?1, ?2, ?3)");
    q.bindText(1, table);
    q.bind(2, static_cast<std::int64_t>(property));
    q.bindText(3, value);
    q.step();
}

void DictionaryStore::removeTableProperty(const std::string& table, std::uint16_t property) {
    Stmt q(db_, "DELETE FROM dd_table_properties WHERE table_name = ?1 AND property = ?2");
    q.bindText(1, table);
    q.bind(2, static_cast<std::int64_t>(property));
    q.step();
}

// Dictionaries written before field properties existed have no table for
// them: they read as having none, and the first property set adds it.
bool DictionaryStore::hasFieldProperties() const {
    Stmt q(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'dd_field_properties'");
    return q.step();
}

std::optional<std::string> DictionaryStore::fieldProperty(const std::string& table, const std::string& field,
                                                          std::uint16_t property) const {
    if (!hasFieldProperties()) return std::nullopt;
    Stmt q(db_, "SELECT value FROM dd_field_properties WHERE table_name = ?1 AND field_name = ?2 AND property = ?3");
    q.bindText(1, table);
    q.bindText(2, field);
    q.bind(3, static_cast<std::int64_t>(property));
    if (!q.step()) return std::nullopt;
    return q.text(0);
}

void DictionaryStore::setFieldProperty(const std::string& table, const std::string& field, std::uint16_t property,
                                       const std::string& value) {
    const auto entry = findTable(table);
    if (!entry) fail(kErrNotInDictionary, "Table " + table + " is not in dictionary " + path_);
    db_.exec(
        "CREATE TABLE IF NOT EXISTS dd_field_properties(table_name TEXT COLLATE NOCASE,"
        " field_name TEXT COLLATE NOCASE, property INTEGER, value TEXT,"
        " PRIMARY KEY(table_name, field_name, property));");
    Stmt q(db_, "INSERT OR REPLACE INTO dd_field_properties VALUES(?1, ?2, ?3, ?4)");
    q.bindText(1, entry->name);
    q.bindText(2, field);
    q.bind(3, static_cast<std::int64_t>(property));
    q.bindText(4, value);
    q.step();
}

}  // namespace lce
