// The JSON schema format of payxref-db: reading and checking a layout, and the
// practice's own layout built into the tool.
#include "tools/schema.h"

#include <nlohmann/json.hpp>

#include "framework/text_compare.h"

#include "tools/practice_schema_text.h"

namespace payxref::db {
namespace {

using nlohmann::json;

struct TypeName {
    std::string_view name;
    std::uint16_t code;
};

constexpr TypeName kTypeNames[] = {
    {"logical", lce::kLogical},
    {"numeric", lce::kNumeric},
    {"date", lce::kDate},
    {"character", lce::kCharacter},
    {"memo", lce::kMemo},
    {"binary", lce::kBinary},
    {"image", lce::kImage},
    {"varmemo", lce::kVarMemo},
    {"compactdate", lce::kCompactDate},
    {"double", lce::kDouble},
    {"integer", lce::kInteger},
    {"shortinteger", lce::kShortInteger},
    {"time", lce::kTime},
    {"timestamp", lce::kTimestamp},
    {"autoinc", lce::kAutoIncrement},
    {"raw", lce::kRaw},
    {"curdouble", lce::kCurrencyDouble},
    {"money", lce::kMoney},
    {"cicharacter", lce::kCiCharacter},
    {"longinteger", lce::kLongInteger},
    {"modtime", lce::kModTime},
    {"varchar", lce::kVarChar},
    {"varbinary", lce::kVarBinary},
    {"blob51", lce::kBlob51},
    {"blob52", lce::kBlob52},
};

bool KnownTypeCode(std::int64_t code) {
    for (const TypeName& t : kTypeNames) {
        if (t.code == code) return true;
    }
    return false;
}

class Reader {
public:
    explicit Reader(std::string origin) : origin_(std::move(origin)) {}

    [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
        throw SchemaError(origin_ + ": " + where + ": " + what);
    }

    const json& Member(const json& object, const char* key, const std::string& where) const {
        if (!object.contains(key)) Fail(where, std::string("missing \"") + key + "\"");
        return object.at(key);
    }

    std::string Text(const json& object, const char* key, const std::string& where,
                     std::optional<std::string> fallback = std::nullopt) const {
        if (!object.contains(key)) {
            if (fallback) return *fallback;
            Fail(where, std::string("missing \"") + key + "\"");
        }
        const json& value = object.at(key);
        if (!value.is_string()) Fail(where, std::string("\"") + key + "\" must be text");
        return value.get<std::string>();
    }

    std::int64_t Number(const json& object, const char* key, const std::string& where, std::int64_t fallback,
                        std::int64_t low, std::int64_t high) const {
        if (!object.contains(key)) return fallback;
        const json& value = object.at(key);
        if (!value.is_number_integer()) Fail(where, std::string("\"") + key + "\" must be a whole number");
        const auto n = value.get<std::int64_t>();
        if (n < low || n > high) {
            Fail(where, std::string("\"") + key + "\" is out of range (" + std::to_string(n) + ")");
        }
        return n;
    }

    bool Flag(const json& object, const char* key, const std::string& where, bool fallback) const {
        if (!object.contains(key)) return fallback;
        const json& value = object.at(key);
        if (!value.is_boolean()) Fail(where, std::string("\"") + key + "\" must be true or false");
        return value.get<bool>();
    }

    lce::ColumnDef Column(const json& c, const std::string& where) const {
        if (!c.is_object()) Fail(where, "a column must be an object");
        lce::ColumnDef column;
        column.name = Text(c, "name", where);
        const std::string at = where + ", column \"" + column.name + "\"";
        const json& type = Member(c, "type", at);
        if (type.is_string()) {
            const auto code = ColumnTypeFromName(type.get<std::string>());
            if (!code) Fail(at, "unknown type \"" + type.get<std::string>() + "\"");
            column.type = *code;
        } else if (type.is_number_integer() && KnownTypeCode(type.get<std::int64_t>())) {
            column.type = static_cast<std::uint16_t>(type.get<std::int64_t>());
        } else {
            Fail(at, "unknown type " + type.dump());
        }
        const bool sized = column.type == lce::kNumeric || column.type == lce::kCharacter || column.type == lce::kRaw ||
                           column.type == lce::kCiCharacter || column.type == lce::kVarChar ||
                           column.type == lce::kVarBinary;
        column.length = static_cast<std::uint32_t>(Number(c, "length", at, 0, 0, 65535));
        if (sized && column.length == 0) Fail(at, "needs a length");
        column.decimals = static_cast<std::uint16_t>(Number(c, "decimals", at, 0, 0, 255));
        column.nullable = Flag(c, "nullable", at, true);
        column.permissions = static_cast<std::uint8_t>(Number(c, "permissions", at, 6, 0, 255));
        return column;
    }

    lce::IndexDef Index(const json& i, const std::string& where, const lce::TableSchema& schema) const {
        if (!i.is_object()) Fail(where, "an index must be an object");
        lce::IndexDef index;
        index.name = Text(i, "name", where);
        const std::string at = where + ", index \"" + index.name + "\"";
        const json& fields = Member(i, "fields", at);
        if (fields.is_string()) {
            std::string_view rest = fields.get_ref<const std::string&>();
            while (!rest.empty()) {
                const std::size_t semicolon = rest.find(';');
                index.fields.emplace_back(rest.substr(0, semicolon));
                rest = semicolon == std::string_view::npos ? std::string_view{} : rest.substr(semicolon + 1);
            }
        } else if (fields.is_array()) {
            for (const json& f : fields) {
                if (!f.is_string()) Fail(at, "field names must be text");
                index.fields.push_back(f.get<std::string>());
            }
        } else {
            Fail(at, "\"fields\" must be text or a list");
        }
        if (index.fields.empty()) Fail(at, "has no fields");
        for (const std::string& f : index.fields) {
            if (!FindColumn(schema, f)) Fail(at, "names no column \"" + f + "\"");
        }
        index.unique = Flag(i, "unique", at, false);
        index.descending = Flag(i, "descending", at, false);
        index.primary = Flag(i, "primary", at, false);
        index.candidate = Flag(i, "candidate", at, false);
        index.condition = Text(i, "condition", at, std::string());
        index.pageSize = static_cast<std::uint32_t>(Number(i, "pageSize", at, 512, 512, 65536));
        return index;
    }

    TableLayout Table(const json& t, std::size_t position) const {
        const std::string where0 = "table " + std::to_string(position + 1);
        if (!t.is_object()) Fail(where0, "a table must be an object");
        TableLayout table;
        table.name = Text(t, "name", where0);
        const std::string where = "table \"" + table.name + "\"";
        table.file = Text(t, "file", where, table.name + ".LDT");
        table.schema.tableType = static_cast<std::uint16_t>(Number(t, "tableType", where, lce::kLdt, 1, 4));
        table.schema.charType = static_cast<std::uint16_t>(Number(t, "charType", where, lce::kAnsi, 1, 2));
        table.schema.collation = Text(t, "collation", where, std::string());
        if (t.contains("properties")) {
            const json& props = t.at("properties");
            if (!props.is_object()) Fail(where, "\"properties\" must be an object");
            for (const auto& [key, value] : props.items()) {
                std::uint16_t id = 0;
                try {
                    const unsigned long n = std::stoul(key);
                    if (n > 65535 || std::to_string(n) != key) throw std::out_of_range(key);
                    id = static_cast<std::uint16_t>(n);
                } catch (const std::exception&) {
                    Fail(where, "property \"" + key + "\" is no property number");
                }
                if (!value.is_string()) Fail(where, "property " + key + " must be text");
                table.properties[id] = value.get<std::string>();
            }
        }
        const json& columns = Member(t, "columns", where);
        if (!columns.is_array() || columns.empty()) Fail(where, "\"columns\" must be a non-empty list");
        for (const json& c : columns) {
            lce::ColumnDef column = Column(c, where);
            if (FindColumn(table.schema, column.name)) Fail(where, "column \"" + column.name + "\" appears twice");
            table.schema.columns.push_back(std::move(column));
        }
        if (t.contains("indexes")) {
            const json& indexes = t.at("indexes");
            if (!indexes.is_array()) Fail(where, "\"indexes\" must be a list");
            for (const json& i : indexes) {
                lce::IndexDef index = Index(i, where, table.schema);
                for (const lce::IndexDef& other : table.schema.indexes) {
                    if (EqualsIgnoringCase(other.name, index.name)) {
                        Fail(where, "index \"" + index.name + "\" appears twice");
                    }
                }
                table.schema.indexes.push_back(std::move(index));
            }
        }
        return table;
    }

    PracticeLayout Layout(std::string_view text) const {
        json doc;
        try {
            doc = json::parse(text);
        } catch (const json::parse_error& e) {
            throw SchemaError(origin_ + ": not valid JSON: " + e.what());
        }
        if (!doc.is_object()) Fail("document", "must be an object");
        PracticeLayout layout;
        layout.dictionary = Text(doc, "dictionary", "document", layout.dictionary);
        const json& tables = Member(doc, "tables", "document");
        if (!tables.is_array()) Fail("document", "\"tables\" must be a list");
        for (std::size_t i = 0; i < tables.size(); ++i) {
            TableLayout table = Table(tables[i], i);
            if (FindTable(layout, table.name)) Fail("table \"" + table.name + "\"", "appears twice");
            layout.tables.push_back(std::move(table));
        }
        if (doc.contains("users")) {
            const json& users = doc.at("users");
            if (!users.is_array()) Fail("document", "\"users\" must be a list");
            for (const json& u : users) {
                if (!u.is_object()) Fail("users", "a user must be an object");
                UserLayout user;
                user.name = Text(u, "name", "users");
                user.password = Text(u, "password", "user \"" + user.name + "\"");
                if (u.contains("groups")) {
                    for (const json& g : u.at("groups")) {
                        if (!g.is_string()) Fail("user \"" + user.name + "\"", "groups must be text");
                        user.groups.push_back(g.get<std::string>());
                    }
                }
                layout.users.push_back(std::move(user));
            }
        }
        return layout;
    }

private:
    std::string origin_;
};

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return fw::SameText(a, b); }

std::optional<std::uint16_t> ColumnTypeFromName(std::string_view name) {
    for (const TypeName& t : kTypeNames) {
        if (EqualsIgnoringCase(t.name, name)) return t.code;
    }
    return std::nullopt;
}

std::optional<std::size_t> FindColumn(const lce::TableSchema& schema, std::string_view name) {
    for (std::size_t i = 0; i < schema.columns.size(); ++i) {
        if (EqualsIgnoringCase(schema.columns[i].name, name)) return i;
    }
    return std::nullopt;
}

const TableLayout* FindTable(const PracticeLayout& layout, std::string_view name) {
    for (const TableLayout& t : layout.tables) {
        if (EqualsIgnoringCase(t.name, name) || EqualsIgnoringCase(t.file, name)) return &t;
    }
    return nullptr;
}

PracticeLayout ParseLayout(std::string_view json, const std::string& origin) { return Reader(origin).Layout(json); }

const PracticeLayout& DefaultLayout() {
    // Parsed once; the built-in text is known to be sound (a test parses it).
    static const PracticeLayout layout = ParseLayout(kPracticeSchemaJson, "built-in practice schema");
    return layout;
}

}  // namespace payxref::db
