// Persistent and calculated fields of a table: calculated values computed
// before or after the record filter handler as LumCalcFieldsBeforeFilter
// says, recalculated on writes with AutoCalcFields, and persistent fields
// that keep their objects across close and open.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using lce::Value;

// N.LDT: Name and Count for counts 1 to 4.
void BuildCounts(const TempDir& dir) {
    lce::TableSchema schema;
    schema.tableType = LUM_LDT;
    lce::ColumnDef name;
    name.name = "Name";
    name.type = LUM_STRING;
    name.length = 8;
    lce::ColumnDef count;
    count.name = "Count";
    count.type = LUM_INTEGER;
    schema.columns = {name, count};
    auto file = lce::TableFile::create(dir.path("N.LDT"), schema);
    for (int i = 1; i <= 4; ++i) file.append({Value::ofText("n" + std::to_string(i)), Value::ofInteger(i)});
}

// The table with persistent fields Name, Count and the calculated Twice
// (Count times two), counting the calculations.
struct CountTable {
    explicit CountTable(const TempDir& dir, const std::string& extraField = "") {
        connection.SetConnectPath(dir.path());
        table.SetName("tblCalc");
        table.SetLumConnection(&connection);
        table.SetTableName("N.LDT");
        table.AddField(std::make_unique<lum::TLumStringField>(table, fw::TFieldType::ftString, "Name", 8, 0));
        table.AddField(std::make_unique<fw::TIntegerField>(table, fw::TFieldType::ftInteger, "Count", 0, 0));
        auto twice = std::make_unique<fw::TIntegerField>(table, fw::TFieldType::ftInteger, "Twice", 0, 0);
        twice->SetFieldKind(fw::TFieldKind::fkCalculated);
        table.AddField(std::move(twice));
        if (!extraField.empty())
            table.AddField(std::make_unique<fw::TIntegerField>(table, fw::TFieldType::ftInteger, extraField, 0, 0));
        table.OnCalcFields = [this](fw::TDataSet& d) {
            ++calculations;
            d.FieldNamed("Twice").SetValueAsInteger(d.FieldNamed("Count").ValueAsInteger() * 2);
        };
    }
    lum::TLumConnection connection;
    lum::TLumTable table;
    int calculations = 0;
};

std::vector<std::pair<int, int>> CountsAndTwice(lum::TLumTable& table) {
    std::vector<std::pair<int, int>> rows;
    for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext())
        rows.emplace_back(table.FieldNamed("Count").ValueAsInteger(), table.FieldNamed("Twice").ValueAsInteger());
    return rows;
}

// The filter handler keeps odd counts and notes whether it could read Twice.
TEST(CalculatedFields, ComputedBeforeTheFilterHandlerOnlyWhenTheOptionSaysSo) {
    struct Case {
        bool beforeFilter;
        std::vector<bool> twiceSeenByFilter;
    };
    const Case cases[] = {{false, {false, false, false, false}}, {true, {true, true, true, true}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.beforeFilter ? "before" : "after");
        TempDir dir;
        BuildCounts(dir);
        CountTable t(dir);
        t.table.LumTableOptions().SetLumCalcFieldsBeforeFilter(c.beforeFilter);
        std::vector<bool> seen;
        t.table.OnFilterRecord = [&](fw::TDataSet& d, bool& accept) {
            seen.push_back(!d.FieldNamed("Twice").IsNull());
            if (!d.FieldNamed("Twice").IsNull()) {
                EXPECT_EQ(d.FieldNamed("Twice").ValueAsInteger(), d.FieldNamed("Count").ValueAsInteger() * 2);
            }
            accept = d.FieldNamed("Count").ValueAsInteger() % 2 == 1;
        };
        t.table.SetFiltered(true);
        t.table.SetActive(true);
        seen.clear();
        t.calculations = 0;
        EXPECT_EQ(CountsAndTwice(t.table), (std::vector<std::pair<int, int>>{{1, 2}, {3, 6}}));
        EXPECT_EQ(seen, c.twiceSeenByFilter);
        // Before the filter every record offered is calculated; after it only the accepted ones.
        EXPECT_EQ(t.calculations, c.beforeFilter ? 4 : 2);
        t.table.SetFiltered(false);
        EXPECT_EQ(CountsAndTwice(t.table), (std::vector<std::pair<int, int>>{{1, 2}, {2, 4}, {3, 6}, {4, 8}}));
    }
}

TEST(CalculatedFields, WritesRecalculateOnlyWithAutoCalcFields) {
    for (const bool autoCalc : {true, false}) {
        SCOPED_TRACE(autoCalc ? "auto" : "manual");
        TempDir dir;
        BuildCounts(dir);
        CountTable t(dir);
        t.table.SetAutoCalcFields(autoCalc);
        t.table.SetActive(true);
        t.table.MoveToFirst();
        t.table.Edit();
        t.table.FieldNamed("Count").SetValueAsInteger(10);
        EXPECT_EQ(t.table.FieldNamed("Twice").ValueAsInteger(), autoCalc ? 20 : 2);
        t.table.Post();
        // Read again after posting: calculated from the stored record.
        EXPECT_EQ(t.table.FieldNamed("Twice").ValueAsInteger(), 20);
    }
}

// L.LDT: the words of counts 1 to 3.
void BuildWords(const TempDir& dir) {
    lce::TableSchema schema;
    schema.tableType = LUM_LDT;
    lce::ColumnDef count;
    count.name = "Number";
    count.type = LUM_INTEGER;
    lce::ColumnDef word;
    word.name = "Word";
    word.type = LUM_STRING;
    word.length = 8;
    schema.columns = {count, word};
    auto file = lce::TableFile::create(dir.path("L.LDT"), schema);
    for (const auto& [n, w] : {std::pair{1, "one"}, {2, "two"}, {3, "three"}})
        file.append({Value::ofInteger(n), Value::ofText(w)});
}

TEST(LookupFields, TakeTheValueOfTheMatchingRecordOfAnotherTable) {
    TempDir dir;
    BuildCounts(dir);
    BuildWords(dir);
    CountTable t(dir);
    lum::TLumTable words;
    words.SetLumConnection(&t.connection);
    words.SetTableName("L.LDT");
    auto word = std::make_unique<lum::TLumStringField>(t.table, fw::TFieldType::ftString, "CountWord", 8, 0);
    word->SetFieldKind(fw::TFieldKind::fkLookup);
    word->SetLookupDataSet(&words);
    word->SetKeyFields("Count");
    word->SetLookupKeyFields("Number");
    word->SetLookupResultField("Word");
    t.table.AddField(std::move(word));
    words.SetActive(true);
    words.MoveToFirst();
    words.MoveToNext();
    t.table.SetActive(true);
    std::vector<std::string> found;
    for (t.table.MoveToFirst(); !t.table.AtEnd(); t.table.MoveToNext()) {
        fw::TField& lookup = t.table.FieldNamed("CountWord");
        found.push_back(lookup.IsNull() ? "(null)" : lookup.ValueAsText());
    }
    EXPECT_EQ(found, (std::vector<std::string>{"one", "two", "three", "(null)"}));
    EXPECT_EQ(words.FieldNamed("Word").ValueAsText(), "two") << "the lookup table stays on its record";
    t.table.SetActive(false);  // before the lookup table goes
}

TEST(PersistentFields, KeepTheirObjectsAndValuesAcrossCloseAndOpen) {
    TempDir dir;
    BuildCounts(dir);
    CountTable t(dir);
    fw::TField* count = &t.table.FieldNamed("Count");
    fw::TField* twice = &t.table.FieldNamed("Twice");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        t.table.SetActive(true);
        ASSERT_EQ(t.table.FieldCount(), 3u);
        EXPECT_EQ(&t.table.FieldNamed("Count"), count);
        EXPECT_EQ(&t.table.FieldNamed("Twice"), twice);
        t.table.MoveToFirst();
        t.table.MoveToNext();
        EXPECT_EQ(count->ValueAsInteger(), 2);
        EXPECT_EQ(twice->ValueAsInteger(), 4);
        EXPECT_EQ(t.table.FieldNamed("Name").ValueAsText(), "n2");
        t.table.SetActive(false);
    }
}

TEST(PersistentFields, AFieldWithoutItsColumnStopsTheOpen) {
    TempDir dir;
    BuildCounts(dir);
    CountTable t(dir, "Missing");
    try {
        t.table.SetActive(true);
        ADD_FAILURE() << "opened";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tblCalc: Field 'Missing' not found");
    }
    EXPECT_FALSE(t.table.Active());
    EXPECT_EQ(t.table.CursorHandle(), lum::NoHandle);
}

}  // namespace
}  // namespace lumtest
