// The layer's filters on the practice's transaction table: the Filter text as
// the engine gets it (its own forms, the trailing "*" of a prefix match,
// CONTAINS left alone), the optimised and the plain mode and the switch
// between them, Filtered on an open table, OnFilterRecord, and the engine's
// "no filter" answer. The filter calls are recorded.
#include <memory>
#include <string>
#include <vector>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"
#include "tests/lum/recording_engine.h"
#include "tests/lum/table_cases.h"

namespace lumtest {
namespace {

using Calls = std::vector<std::string>;

LumFunctions FilterEngine() {
    LumFunctions engine = lum::DefaultEngine();
    LUMTEST_RECORD(engine, LumSetFilter);
    LUMTEST_RECORD(engine, LumClearFilter);
    LUMTEST_RECORD(engine, LumSetLOF);
    LUMTEST_RECORD(engine, LumClearLOF);
    LUMTEST_RECORD(engine, LumSetExact22);
    LUMTEST_RECORD(engine, LumExpressionLongToShort);
    LUMTEST_RECORD(engine, LumExpressionShortToLong);
    LUMTEST_RECORD(engine, LumGetRecordCount);
    return engine;
}

// Calls that set or clear the filter or exact matching.
Calls FilterCalls() {
    Calls calls;
    for (const std::string& call : Log().calls)
        if (call.rfind("LumSet", 0) == 0 || call.rfind("LumClear", 0) == 0) calls.push_back(call);
    return calls;
}

class Filters : public ::testing::Test {
protected:
    void SetUp() override {
        Transaction t1{1, "P", 10.0, "AAA00001"}, t2{2, "P", 20.0, "AAB00002"}, t3{3, "I", 30.0, "BBB00003"},
            t4{4, "I", 40.0, "AAA00004"};
        t4.code = "A*B";
        BuildPractice(dir, {t1, t2, t3, t4}, {});
        c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
        table.SetName("tbl");
        table.SetLumConnection(c.connection);
        table.SetTableName("ZTTRN");
        table.SetEngine(engine);
        Log().Clear();
    }
    void TearDown() override { Log().Clear(); }

    std::int64_t Entry() { return table.FieldNamed("Entry Number").ValueAsInteger(); }
    std::vector<std::int64_t> Entries() {
        std::vector<std::int64_t> entries;
        for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext()) entries.push_back(Entry());
        return entries;
    }

    TempDir dir;
    Components c;
    LumFunctions engine = FilterEngine();
    lum::TLumTable table;
};

TEST_F(Filters, TheEngineGetsTheTextInItsOwnFormWithPrefixAsterisksTakenOff) {
    const struct {
        const char* filter;
        const char* engineText;
        Calls exact;  // exact-matching calls before the filter is set
        std::vector<std::int64_t> entries;
    } cases[] = {
        {"[Chart Number] = 'AAA*'", "[Chart Number] = 'AAA'", {"LumSetExact22(0)"}, {1, 4}},
        {"[Chart Number]='AAA00001'", "[Chart Number] = 'AAA00001'", {}, {1}},
        {"[Procedure Code] = 'A*B'", "[Procedure Code] = 'A*B'", {}, {4}},
        {"[Chart Number] = '*' .OR. [Chart Number] = '**'", "[Chart Number] = '*' OR [Chart Number] = '**'", {}, {}},
        {"[Chart Number]='AA*' .or. [Transaction Type]==\"I*\"",
         "[Chart Number] = 'AA' OR [Transaction Type] == \"I\"",
         {"LumSetExact22(0)"},
         {1, 2, 3, 4}},
        {"CONTAINS([Procedure Code], 'A*') AND [Chart Number] = 'AAA*'",
         "CONTAINS([Procedure Code], 'A*') AND [Chart Number] = 'AAA'",
         {"LumSetExact22(0)"},
         {4}},
        {"[Chart Number] = \"AAB*\" AND Amount > 15",
         "[Chart Number] = \"AAB\" AND Amount > 15",
         {"LumSetExact22(0)"},
         {2}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.filter);
        table.SetFilter(k.filter);
        table.SetFiltered(true);
        Log().Clear();
        table.SetActive(true);
        const auto converted = CallsStartingWith("LumExpression");
        ASSERT_EQ(converted.size(), 2u);
        EXPECT_EQ(converted[0], std::string("LumExpressionLongToShort(\"") + k.filter + "\")");
        Calls expected = k.exact;
        expected.push_back(std::string("LumSetLOF(\"") + k.engineText + "\",2)");
        EXPECT_EQ(FilterCalls(), expected);
        EXPECT_EQ(Entries(), k.entries);
        table.SetActive(false);
    }
}

TEST_F(Filters, ChangingTheFilterOfAnOpenTableRestoresExactMatchingAndKeepsAFilterThatFails) {
    table.SetFilter("[Chart Number] = 'AAA*'");
    table.SetFiltered(true);
    table.SetActive(true);
    table.MoveToNext();
    Log().Clear();
    table.SetFilter("[Chart Number] = 'AAA00004'");
    EXPECT_EQ(FilterCalls(),
              (Calls{"LumClearLOF", "LumSetExact22(1)", "LumSetLOF(\"[Chart Number] = 'AAA00004'\",2)"}));
    EXPECT_EQ(Entry(), 4);
    try {
        table.SetFilter("[Chart Number] = ");
        FAIL() << "a filter that does not parse was taken";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_EXPRESSION));
        EXPECT_EQ(std::string(e.what()).rfind("tbl: Invalid expression:", 0), 0u) << e.what();
    }
    EXPECT_EQ(table.Filter(), "[Chart Number] = 'AAA00004'");
    EXPECT_EQ(Entries(), (std::vector<std::int64_t>{4}));
}

TEST_F(Filters, FilteredAndTheFilterModeActOnAnOpenTableAndCountsRespectThem) {
    table.LumTableOptions().SetLumOptimizedFilters(false);
    table.LumTableOptions().SetLumFilterOptions(lum::TLumRespectFilters::RESPECT_WHEN_COUNTING);
    table.SetFilter("[Transaction Type] = 'I'");
    table.SetActive(true);
    EXPECT_EQ(Entries(), (std::vector<std::int64_t>{1, 2, 3, 4}));
    EXPECT_EQ(table.CountRecords(), 4);
    Log().Clear();
    table.SetFiltered(true);
    EXPECT_EQ(FilterCalls(), (Calls{"LumSetFilter(\"[Transaction Type] = 'I'\")"}));
    EXPECT_EQ(Entry(), 3);  // moved to the first record
    EXPECT_EQ(table.CountRecords(), 2);
    table.MoveToNext();
    ASSERT_EQ(Entry(), 4);
    Log().Clear();
    table.LumTableOptions().SetLumOptimizedFilters(true);
    EXPECT_EQ(FilterCalls(), (Calls{"LumClearFilter", "LumSetLOF(\"[Transaction Type] = 'I'\",2)"}));
    EXPECT_EQ(Entry(), 3);
    EXPECT_EQ(Entries(), (std::vector<std::int64_t>{3, 4}));
    Log().Clear();
    table.SetFiltered(false);
    EXPECT_EQ(FilterCalls(), (Calls{"LumClearLOF"}));
    EXPECT_EQ(table.CountRecords(), 4);
    EXPECT_EQ(Entries(), (std::vector<std::int64_t>{1, 2, 3, 4}));
    // Without a Filter text nothing is set, and clearing what is not there is no failure.
    table.SetFilter("");
    table.SetFiltered(true);
    EXPECT_NO_THROW(table.SetFiltered(false));
    EXPECT_EQ(table.CountRecords(), 4);
}

TEST_F(Filters, OnFilterRecordDecidesWhileFilteredTogetherWithTheFilterText) {
    std::vector<std::int64_t> offered;
    table.OnFilterRecord = [&](fw::TDataSet& ds, bool& accept) {
        const std::int64_t entry = ds.FieldNamed("Entry Number").ValueAsInteger();
        offered.push_back(entry);
        accept = entry != 3;
    };
    table.SetActive(true);
    EXPECT_EQ(Entries(), (std::vector<std::int64_t>{1, 2, 3, 4}));
    EXPECT_TRUE(offered.empty());
    table.SetFiltered(true);
    EXPECT_EQ(Entries(), (std::vector<std::int64_t>{1, 2, 4}));
    offered.clear();
    table.SetFilter("[Transaction Type] = 'I'");
    EXPECT_EQ(Entries(), (std::vector<std::int64_t>{4}));
    // The handler sees only the records the engine's filter lets through.
    for (const std::int64_t entry : offered) EXPECT_TRUE(entry == 3 || entry == 4) << entry;
}

// Calculated fields are worked out before the handler sees a record when
// LumCalcFieldsBeforeFilter says so, else only for the records it accepts.
TEST_F(Filters, CalculatedFieldsComeBeforeOrAfterTheFilterHandlerAsTheOptionSays) {
    table.AddField(std::make_unique<fw::TStringField>(table, fw::TFieldType::ftString, "Chart Number", 8, 1));
    auto seen = std::make_unique<fw::TIntegerField>(table, fw::TFieldType::ftInteger, "Seen", 0, 0);
    seen->SetFieldKind(fw::TFieldKind::fkCalculated);
    table.AddField(std::move(seen));
    std::vector<std::string> events;
    const auto chart = [](fw::TDataSet& ds) { return ds.FieldNamed("Chart Number").ValueAsText(); };
    table.OnCalcFields = [&](fw::TDataSet& ds) { events.push_back("calc " + chart(ds)); };
    table.OnFilterRecord = [&](fw::TDataSet& ds, bool& accept) {
        events.push_back("filter " + chart(ds));
        accept = chart(ds) != "BBB00003";
    };
    table.SetFiltered(true);
    for (const bool before : {true, false}) {
        SCOPED_TRACE(before ? "before" : "after");
        table.LumTableOptions().SetLumCalcFieldsBeforeFilter(before);
        table.SetActive(true);
        events.clear();
        std::vector<std::string> charts;
        for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext()) charts.push_back(chart(table));
        EXPECT_EQ(charts, (std::vector<std::string>{"AAA00001", "AAB00002", "AAA00004"}));
        const std::vector<std::string> expected =
            before ? std::vector<std::string>{"calc AAA00001", "filter AAA00001", "calc AAB00002", "filter AAB00002",
                                              "calc BBB00003", "filter BBB00003", "calc AAA00004", "filter AAA00004"}
                   : std::vector<std::string>{"filter AAA00001", "calc AAA00001",   "filter AAB00002", "calc AAB00002",
                                              "filter BBB00003", "filter AAA00004", "calc AAA00004"};
        EXPECT_EQ(events, expected);
        table.SetActive(false);
    }
}

// Only LDT tables pass the text through the engine's forms; the prefix rule
// and the filter itself work on every table type.
TEST(FilterTableTypes, AFilterSelectsOnEveryTableType) {
    for (const TableCase& t : tableCases) {
        SCOPED_TRACE(std::string(1, t.letter));
        TempDir dir;
        lce::TableSchema schema;
        schema.tableType = t.tableType;
        lce::ColumnDef name, number;
        name.name = "Name";
        name.type = lce::kCharacter;
        name.length = 10;
        number.name = "N";
        number.type = lce::kInteger;
        name.nullable = number.nullable = t.nullable;
        schema.columns = {name, number};
        {
            auto file = lce::TableFile::create(dir.path("T.LDT"), schema);
            const char* names[] = {"Bob", "Alice", "Bobby", "Bo"};
            for (int i = 0; i < 4; ++i) file.append({lce::Value::ofText(names[i]), lce::Value::ofInteger(i + 1)});
        }
        const LumFunctions engine = FilterEngine();
        lum::TLumConnection connection;
        connection.SetConnectPath(dir.path());
        lum::TLumTable table;
        table.SetName("tblT");
        table.SetLumConnection(&connection);
        table.SetTableName("T.LDT");
        table.SetTableType(t.openAs);
        table.SetEngine(engine);
        table.SetFilter("Name = 'Bob*' AND N < 4");
        table.SetFiltered(true);
        Log().Clear();
        table.SetActive(true);
        EXPECT_EQ(CallsStartingWith("LumExpression").size(), t.tableType == LUM_LDT ? 2u : 0u);
        EXPECT_EQ(FilterCalls(), (Calls{"LumSetExact22(0)", "LumSetLOF(\"Name = 'Bob' AND N < 4\",2)"}));
        std::vector<std::int64_t> numbers;
        for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext())
            numbers.push_back(table.FieldNamed("N").ValueAsInteger());
        EXPECT_EQ(numbers, (std::vector<std::int64_t>{1, 3}));
        table.SetActive(false);
        Log().Clear();
    }
}

}  // namespace
}  // namespace lumtest
