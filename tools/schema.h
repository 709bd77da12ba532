// Practice database layouts: the JSON schema format of payxref-db and the
// practice's own layout, which is built into the tool.
//
// Format (the built-in layout, practice_schema.json, is an example):
//   { "dictionary": "ZTDDF.LDD",                      optional, this is the default
//     "tables": [ { "name": "ZTTRN", "file": "ZTTRN.LDT",   file defaults to NAME.LDT
//                   "tableType": 3, "charType": 1, "collation": "",   optional
//                   "properties": { "213": "IDXENTRYNUMBER" },        optional
//                   "columns": [ { "name": "Chart Number", "type": "character" or 4,
//                                  "length": 8, "decimals": 0, "nullable": true,
//                                  "permissions": 6 }, ... ],
//                   "indexes": [ { "name": "PRIMARY", "fields": "A;B" or ["A","B"],
//                                  "unique": false, "descending": false, "primary": false,
//                                  "candidate": false, "condition": "", "pageSize": 512 } ] } ],
//     "users": [ { "name": "user", "password": "brindlex", "groups": ["g"] } ] }
// A column type is an engine type code or its name (see ColumnTypeFromName).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lce_builder.h"

namespace payxref::db {

struct TableLayout {
    std::string name;
    std::string file;
    std::map<std::uint16_t, std::string> properties;
    lce::TableSchema schema;
};

struct UserLayout {
    std::string name;
    std::string password;
    std::vector<std::string> groups;
};

struct PracticeLayout {
    std::string dictionary = "ZTDDF.LDD";
    std::vector<TableLayout> tables;
    std::vector<UserLayout> users;
};

class SchemaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a schema document; `origin` names it in messages. Throws SchemaError.
PracticeLayout ParseLayout(std::string_view json, const std::string& origin);

// The practice's layout: ZTTRN (122 fields, 24 indexes), ZTPAX, user "user".
const PracticeLayout& DefaultLayout();

// Engine type code for a type name ("character", "integer", "autoinc", ...), if known.
std::optional<std::uint16_t> ColumnTypeFromName(std::string_view name);

// Position of a column by name ignoring ASCII case; nullopt when absent.
std::optional<std::size_t> FindColumn(const lce::TableSchema& schema, std::string_view name);

// The table of a layout by name ignoring case (a file extension is allowed).
const TableLayout* FindTable(const PracticeLayout& layout, std::string_view name);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace payxref::db
