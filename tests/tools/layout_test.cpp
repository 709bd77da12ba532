// The practice's built-in layout and the JSON schema format.
#include "tools/schema.h"

#include <gtest/gtest.h>

#include <string>

namespace payxref::db {
namespace {

const TableLayout& Table(const char* name) {
    const TableLayout* table = FindTable(DefaultLayout(), name);
    if (table == nullptr) throw std::runtime_error(std::string("no table ") + name);
    return *table;
}

TEST(DefaultLayout, TransactionTableHasThe122FieldsInStoredOrder) {
    const lce::TableSchema& s = Table("ZTTRN").schema;
    ASSERT_EQ(s.columns.size(), 122u);
    struct Field {
        std::size_t number;  // 1-based stored position
        const char* name;
        std::uint16_t type;
        std::uint32_t length;  // character columns only
    };
    // One or more of every field type, and the ends of the list.
    const Field fields[] = {
        {1, "Chart Number", lce::kCharacter, 8},
        {2, "Case Number", lce::kInteger, 0},
        {3, "Entry Number", lce::kAutoIncrement, 0},
        {5, "Date From", lce::kDate, 0},
        {10, "Procedure Code", lce::kCharacter, 10},
        {11, "Transaction Type", lce::kCharacter, 1},
        {24, "Amount", lce::kDouble, 0},
        {26, "Diagnosis 1", lce::kLogical, 0},
        {55, "Documentation", lce::kMemo, 0},
        {72, "Unapplied Amount", lce::kCurrencyDouble, 0},
        {73, "Date Modified", lce::kTimestamp, 0},
        {87, "Copayment_Expected_Amount", lce::kMoney, 0},
        {88, "Copayment_Amount_Paid", lce::kMoney, 0},
        {89, "Primary_RunID", lce::kCharacter, 38},
        {118, "NDCCode", lce::kCharacter, 48},
        {119, "NDCUnitPrice", lce::kMoney, 0},
        {120, "NDCUnitCount", lce::kDouble, 0},
        {122, "NDCPrescriptionNumber", lce::kCharacter, 30},
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.name);
        const lce::ColumnDef& c = s.columns[f.number - 1];
        EXPECT_EQ(c.name, f.name);
        EXPECT_EQ(c.type, f.type);
        if (f.type == lce::kCharacter) {
            EXPECT_EQ(c.length, f.length);
        }
    }
    int money = 0;
    for (const lce::ColumnDef& c : s.columns) {
        money += c.type == lce::kMoney;
        EXPECT_TRUE(c.type != lce::kCharacter || c.length > 0) << c.name;
    }
    EXPECT_EQ(money, 3);
}

TEST(DefaultLayout, TransactionTableHasThe24Indexes) {
    const lce::TableSchema& s = Table("ZTTRN").schema;
    ASSERT_EQ(s.indexes.size(), 24u);
    EXPECT_EQ(s.indexes[0].name, "IDXENTRY NUMBER");
    EXPECT_EQ(s.indexes[0].fields, std::vector<std::string>{"CC ENTRY NUMBER"});
    EXPECT_EQ(s.indexes[7].name, "IDXENTRYNUMBER");
    EXPECT_EQ(s.indexes[7].fields, std::vector<std::string>{"ENTRY NUMBER"});
    EXPECT_EQ(s.indexes[8].name, "PRIMARY");
    EXPECT_EQ(s.indexes[8].fields,
              (std::vector<std::string>{"CHART NUMBER", "CASE NUMBER", "ENTRY NUMBER", "TOOTH NUMBER"}));
    EXPECT_EQ(s.indexes[23].name, "IDXUBGROUP");
    EXPECT_EQ(s.indexes[23].fields.size(), 8u);
    int unique = 0;
    for (const lce::IndexDef& i : s.indexes) unique += i.unique;
    EXPECT_EQ(unique, 2);
    EXPECT_TRUE(s.indexes[22].unique);  // IDXCHARTCASESERVDT
}

TEST(DefaultLayout, ApplicationTableAndUser) {
    const TableLayout& pax = Table("ztpax");
    EXPECT_EQ(pax.file, "ZTPAX.LDT");
    const auto type = [&](const char* name) {
        return pax.schema.columns.at(FindColumn(pax.schema, name).value()).type;
    };
    EXPECT_EQ(type("Payment Reference"), lce::kInteger);
    EXPECT_EQ(type("Charge Reference"), lce::kInteger);
    EXPECT_EQ(type("Payment Amount"), lce::kDouble);
    std::vector<std::vector<std::string>> indexed;
    for (const lce::IndexDef& i : pax.schema.indexes) indexed.push_back(i.fields);
    EXPECT_NE(std::find(indexed.begin(), indexed.end(), std::vector<std::string>{"PAYMENT REFERENCE"}), indexed.end());
    EXPECT_NE(std::find(indexed.begin(), indexed.end(), std::vector<std::string>{"CHARGE REFERENCE"}), indexed.end());
    ASSERT_EQ(DefaultLayout().users.size(), 1u);
    EXPECT_EQ(DefaultLayout().users[0].name, "user");
    EXPECT_EQ(DefaultLayout().users[0].password, "brindlex");
    EXPECT_EQ(DefaultLayout().dictionary, "ZTDDF.LDD");
    EXPECT_EQ(Table("ZTTRN.LDT").name, "ZTTRN");
}

TEST(ParseLayout, ReadsEveryPartOfTheFormat) {
    const PracticeLayout layout = ParseLayout(R"({
      "dictionary": "OTHER.LDD",
      "tables": [{
        "name": "T", "tableType": 4, "charType": 2, "collation": "GERMAN",
        "properties": {"213": "BYCODE"},
        "columns": [
          {"name": "Code", "type": "cicharacter", "length": 6, "nullable": false},
          {"name": "Price", "type": 2, "length": 10, "decimals": 2, "permissions": 4},
          {"name": "Seen", "type": "Timestamp"}],
        "indexes": [
          {"name": "BYCODE", "fields": ["code"], "unique": true, "candidate": true},
          {"name": "BYBOTH", "fields": "PRICE;CODE", "descending": true, "condition": "Price > 0",
           "pageSize": 1024}]}],
      "users": [{"name": "a", "password": "p", "groups": ["staff", "admin"]}]})",
                                              "test");
    EXPECT_EQ(layout.dictionary, "OTHER.LDD");
    const TableLayout& t = layout.tables.at(0);
    EXPECT_EQ(t.file, "T.LDT");
    EXPECT_EQ(t.schema.tableType, 4);
    EXPECT_EQ(t.schema.charType, 2);
    EXPECT_EQ(t.schema.collation, "GERMAN");
    EXPECT_EQ(t.properties.at(213), "BYCODE");
    EXPECT_EQ(t.schema.columns[0].type, lce::kCiCharacter);
    EXPECT_FALSE(t.schema.columns[0].nullable);
    EXPECT_EQ(t.schema.columns[1].type, lce::kNumeric);
    EXPECT_EQ(t.schema.columns[1].decimals, 2);
    EXPECT_EQ(t.schema.columns[1].permissions, 4);
    EXPECT_EQ(t.schema.columns[2].type, lce::kTimestamp);
    EXPECT_TRUE(t.schema.indexes[0].unique && t.schema.indexes[0].candidate);
    EXPECT_EQ(t.schema.indexes[1].fields, (std::vector<std::string>{"PRICE", "CODE"}));
    EXPECT_TRUE(t.schema.indexes[1].descending);
    EXPECT_EQ(t.schema.indexes[1].condition, "Price > 0");
    EXPECT_EQ(t.schema.indexes[1].pageSize, 1024u);
    EXPECT_EQ(layout.users.at(0).groups, (std::vector<std::string>{"staff", "admin"}));
}

TEST(ParseLayout, RefusesUnsoundSchemasNamingTheProblem) {
    struct Case {
        const char* json;
        const char* message;
    };
    const Case cases[] = {
        {"{", "not valid JSON"},
        {"[]", "must be an object"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "a", "type": "text"}]}]})", "unknown type \"text\""},
        {R"({"tables": [{"name": "T", "columns": [{"name": "a", "type": 19}]}]})", "unknown type 19"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "a", "type": "character"}]}]})", "needs a length"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "a", "type": 11}, {"name": "A", "type": 11}]}]})",
         "column \"A\" appears twice"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "a", "type": 11}],
             "indexes": [{"name": "I", "fields": "A;B"}]}]})",
         "names no column \"B\""},
        {R"({"tables": [{"name": "T", "columns": [{"name": "a", "type": 11}], "properties": {"x": "1"}}]})",
         "property \"x\" is no property number"},
        {R"({"tables": [{"name": "T", "columns": []}]})", "non-empty list"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "a", "type": 11}]},
                        {"name": "t", "columns": [{"name": "a", "type": 11}]}]})",
         "table \"t\": appears twice"},
        {R"({"tables": [], "users": [{"name": "u"}]})", "user \"u\": missing \"password\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        try {
            ParseLayout(c.json, "bad.json");
            ADD_FAILURE() << "accepted";
        } catch (const SchemaError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("bad.json: ", 0), 0u) << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
        }
    }
}

}  // namespace
}  // namespace payxref::db
