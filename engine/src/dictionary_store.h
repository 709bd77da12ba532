// A data dictionary file (.LDD): an SQLite database with the catalog of its
// tables (name, file relative to the dictionary's folder, table type,
// properties) and its users (name, salted password hash, groups).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/lce_builder.h"
#include "engine/src/sqlite_db.h"

namespace lce {

class DictionaryStore {
public:
    static DictionaryStore create(const std::string& path);
    static DictionaryStore open(const std::string& path, bool writable);

    const std::string& path() const { return path_; }
    std::string folder() const;
    void setLockWait(std::chrono::milliseconds wait) { db_.setLockWait(wait); }

    void addUser(const std::string& name, const std::string& password, const std::vector<std::string>& groups);
    // True when the user exists and the password matches.
    bool checkLogin(const std::string& name, const std::string& password) const;
    std::optional<std::string> userGroups(const std::string& name) const;  // ";"-joined
    std::vector<std::string> users() const;

    void addTable(const Dictionary::TableEntry& table);
    // Finds a table by name; a name with a file extension (".LDT") also finds
    // the table without it.
    std::optional<Dictionary::TableEntry> findTable(const std::string& name) const;
    std::vector<Dictionary::TableEntry> tables() const;
    // Gives the table `from` the name `to` and the file `file`, with its
    // properties and its fields' properties, in one transaction (the store must be opened writable).
    void renameTable(const std::string& from, const std::string& to, const std::string& file);
    void setTableProperty(const std::string& table, std::uint16_t property, const std::string& value);
    void removeTableProperty(const std::string& table, std::uint16_t property);
    // Properties of a table's field (its default value, for one), by field
    // name in any case.
    std::optional<std::string> fieldProperty(const std::string& table, const std::string& field,
                                             std::uint16_t property) const;
    void setFieldProperty(const std::string& table, const std::string& field, std::uint16_t property,
                          const std::string& value);

private:
    bool hasFieldProperties() const;
    Db db_;
    std::string path_;
};

}  // namespace lce
