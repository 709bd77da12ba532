// A query's parameters: the markers found in its text, the collection kept
// across text changes, each data type bound through the engine's calls, values
// taken from a master dataset, and the stored parameter properties.
#include <sstream>

#include "data/lum/errors.h"
#include "data/lum/streaming.h"
#include "framework/reader.h"
#include "framework/writer.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using fw::TFieldType;

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ";") + name;
    return text;
}

TEST(ParamParser, FindsMarkersOutsideQuotesAndCommentsAsTheEngineDoes) {
    struct Case {
        const char* text;
        const char* names;
        bool engineAgrees;  // the engine reads the same markers
    };
    const Case cases[] = {
        {"select * from t where a = :a and b = :b", "a;b", true},
        {"select ':x' from t where c = :y", "y", true},
        {"select \":x\", [:w] from t where c = :v", "v", true},
        {"select `:z` from t", "", false},  // the engine has no back-quoted text
        {"select a::b from t where c = :c", "c", false},
        {"-- :x\nselect :y /* :z */ from t where :w = 1", "y;w", true},
        {"f(:a,:b);:c\r\n:d)", "a;b;c;d", true},
        {"select '12:30' from t where x = : y", "", true},
        {"where a = :a or b = :a", "a;a", true},
        {"where a = :Entry_2 + :3", "Entry_2;3", true},
        {"select 'unterminated :x", "", true},
        {"/* unterminated :x", "", true},
        {"", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Joined(lum::ParseParamNames(c.text)), c.names);
        if (!c.engineAgrees) continue;
        char names[256] = {};
        UNSIGNED16 length = sizeof names;
        ASSERT_EQ(lum::DefaultEngine().LumGetSQLStmtParams(c.text, names, &length), 0u);
        EXPECT_EQ(std::string(names), c.names);
    }
}

class QueryParams : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPractice(dir,
                      {
                          {1, "I", 10.0, "AAA00001", 1, 2455000, "PAY01"},
                          {2, "S", 20.0, "BBB00002", 2, 2455001, "PAY02"},
                          {3, "I", 30.0, "CCC00003", 3, 2455002, "PAY03"},
                      },
                      {{1, 2, 5.0}, {1, 3, 2.5}, {3, 2, 7.0}});
        c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
        c.table->SetMasterSource(nullptr);  // the search's table would look for its master fields
    }
    std::vector<std::string> Column(lum::TLumQuery& query, const std::string& field) {
        std::vector<std::string> values;
        for (query.MoveToFirst(); !query.AtEnd(); query.MoveToNext())
            values.push_back(query.FieldNamed(field).ValueAsVariant().AsString());
        return values;
    }
    TempDir dir;
    Components c;
};

TEST_F(QueryParams, ChangingTheTextRebuildsTheParametersKeepingValuesByName) {
    lum::TLumQuery& q = *c.query;
    q.SetSQL({"SELECT [Chart Number] FROM ZTTRN", "WHERE [Transaction Type] = :type AND [Amount] > :least"});
    ASSERT_EQ(q.Params().Count(), 2u);
    EXPECT_EQ(q.Params().Items(0).Name(), "type");
    EXPECT_EQ(q.Params().Items(1).DataType(), TFieldType::ftUnknown);
    EXPECT_FALSE(q.Params().Items(1).Bound());
    q.ParamByName("TYPE").SetAsString("I");
    q.ParamByName("least").SetAsFloat(15);
    q.SetActive(true);
    EXPECT_EQ(Column(q, "Chart Number"), std::vector<std::string>{"CCC00003"});

    // The same text again changes nothing: the query stays open.
    q.SetSQL({"SELECT [Chart Number] FROM ZTTRN", "WHERE [Transaction Type] = :type AND [Amount] > :least"});
    EXPECT_TRUE(q.Active());

    // A new text closes the query; "type" keeps its value, "most" is new.
    q.SetSQL({"SELECT [Chart Number] FROM ZTTRN WHERE [Amount] < :most AND [Transaction Type] = :type"});
    EXPECT_FALSE(q.Active());
    ASSERT_EQ(q.Params().Count(), 2u);
    EXPECT_EQ(q.Params().Items(0).Name(), "most");
    EXPECT_FALSE(q.Params().Items(0).Bound());
    EXPECT_EQ(q.Params().Items(1).Value().AsString(), "I");
    EXPECT_TRUE(q.Params().Items(1).Bound());
    EXPECT_THROW(q.ParamByName("least"), fw::EDatabaseError);

    // Without ParamCheck the collection stays as it was.
    q.SetParamCheck(false);
    q.SetSQL({"SELECT [Chart Number] FROM ZTTRN WHERE [Entry Number] = :entry"});
    EXPECT_EQ(q.Params().Count(), 2u);
    EXPECT_EQ(q.Params().Items(0).Name(), "most");
}

// A marker the query has no parameter for, or one nobody gave a type and
// value, never runs as a null.
TEST_F(QueryParams, AMarkerWithoutAValueFailsInsteadOfReadingAsNull) {
    lum::TLumQuery& q = *c.query;
    struct Case {
        const char* name;
        bool paramCheck;
        bool typed;
        const char* mentions;
    };
    const Case cases[] = {
        {"no parameter for the marker", false, false, "Parameter 1 (:type)"},
        {"parameter never set", true, false, "qryPay: The field named: 'type' has the DataType of ftUnknown"},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        q.SetParamCheck(x.paramCheck);
        q.SetSQL({});
        q.Params().Clear();
        q.SetSQL({"SELECT [Chart Number] FROM ZTTRN WHERE [Transaction Type] = :type"});
        try {
            q.SetActive(true);
            FAIL() << "no exception";
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_NE(e.Message().find(x.mentions), std::string::npos) << e.Message();
        }
        EXPECT_FALSE(q.Active());
    }
    // Set empty, the parameter is a null: no type matches it.
    q.SetParamCheck(true);
    q.ParamByName("type").SetAsString("I");
    q.ParamByName("type").Clear();
    q.SetActive(true);
    EXPECT_TRUE(Column(q, "Chart Number").empty());
}

// Each data type reaches the engine through its own call, at its ordinal.
const LumFunctions* realEngine = &lum::DefaultEngine();
std::vector<std::string> bindCalls;
std::string Ordinal(LUMFIELD field) { return std::to_string(reinterpret_cast<std::uintptr_t>(field)); }
std::string Le32(const UNSIGNED8* p) {
    return std::to_string(
        static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24));
}

LumFunctions RecordingBinds() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumSetEmpty = [](LUMHANDLE h, LUMFIELD f) {
        bindCalls.push_back("Empty(" + Ordinal(f) + ")");
        return realEngine->LumSetEmpty(h, f);
    };
    engine.LumSetString = [](LUMHANDLE h, LUMFIELD f, const char* text, UNSIGNED32 length) {
        bindCalls.push_back("String(" + Ordinal(f) + "," + std::string(text, length) + "," + std::to_string(length) +
                            ")");
        return realEngine->LumSetString(h, f, text, length);
    };
    engine.LumSetDouble = [](LUMHANDLE h, LUMFIELD f, double value) {
        std::ostringstream text;
        text << "Double(" << Ordinal(f) << "," << value << ")";
        bindCalls.push_back(text.str());
        return realEngine->LumSetDouble(h, f, value);
    };
    engine.LumSetLogical = [](LUMHANDLE h, LUMFIELD f, UNSIGNED16 value) {
        bindCalls.push_back("Logical(" + Ordinal(f) + "," + std::to_string(value) + ")");
        return realEngine->LumSetLogical(h, f, value);
    };
    engine.LumSetJulian = [](LUMHANDLE h, LUMFIELD f, SIGNED32 day) {
        bindCalls.push_back("Julian(" + Ordinal(f) + "," + std::to_string(day) + ")");
        return realEngine->LumSetJulian(h, f, day);
    };
    engine.LumSetMilliseconds = [](LUMHANDLE h, LUMFIELD f, SIGNED32 ms) {
        bindCalls.push_back("Milliseconds(" + Ordinal(f) + "," + std::to_string(ms) + ")");
        return realEngine->LumSetMilliseconds(h, f, ms);
    };
    engine.LumSetTimeStampRaw = [](LUMHANDLE h, LUMFIELD f, const UNSIGNED8* raw, UNSIGNED32 length) {
        bindCalls.push_back("TimeStamp(" + Ordinal(f) + "," + Le32(raw) + "," + Le32(raw + 4) + "," +
                            std::to_string(length) + ")");
        return realEngine->LumSetTimeStampRaw(h, f, raw, length);
    };
    engine.LumSetBinary = [](LUMHANDLE h, LUMFIELD f, UNSIGNED16 type, UNSIGNED32 total, UNSIGNED32 offset,
                             const UNSIGNED8* data, UNSIGNED32 length) {
        bindCalls.push_back("Binary(" + Ordinal(f) + "," + std::to_string(type) + "," + std::to_string(total) + "," +
                            std::to_string(offset) + "," + std::string(reinterpret_cast<const char*>(data), length) +
                            ")");
        return realEngine->LumSetBinary(h, f, type, total, offset, data, length);
    };
    return engine;
}

TEST_F(QueryParams, EachDataTypeIsBoundByItsOwnEngineCall) {
    const LumFunctions engine = RecordingBinds();
    lum::TLumQuery& q = *c.query;
    q.SetEngine(engine);
    q.SetSQL({"SELECT [Chart Number] FROM ZTTRN WHERE [Procedure Code] = :first OR [Procedure Code] = :p"});
    struct Case {
        const char* name;
        std::function<void(lum::TParam&)> set;
        const char* call;     // the second parameter's; "" none
        const char* failure;  // "" the query opens
    };
    const Case cases[] = {
        {"string", [](lum::TParam& p) { p.SetAsString("PAY02"); }, "String(2,PAY02,5)", ""},
        {"integer", [](lum::TParam& p) { p.SetAsInteger(-42); }, "String(2,-42,3)", ""},
        {"large integer", [](lum::TParam& p) { p.SetAsLargeInt(123456789012); }, "String(2,123456789012,12)", ""},
        {"memo", [](lum::TParam& p) { p.SetAsMemo("a b"); }, "String(2,a b,3)", ""},
        {"boolean", [](lum::TParam& p) { p.SetAsBoolean(true); }, "Logical(2,1)", ""},
        {"float", [](lum::TParam& p) { p.SetAsFloat(2.5); }, "Double(2,2.5)", ""},
        {"currency", [](lum::TParam& p) { p.SetAsCurrency(-1.25); }, "Double(2,-1.25)", ""},
        {"date drops the time", [](lum::TParam& p) { p.SetAsDate(40000.75); }, "Julian(2,2455019)", ""},
        {"time rounds to ms", [](lum::TParam& p) { p.SetAsTime(0.5 + 0.4 / 86400000); }, "Milliseconds(2,43200000)",
         ""},
        {"date-time", [](lum::TParam& p) { p.SetAsDateTime(40000.25); }, "TimeStamp(2,2455019,21600000,8)", ""},
        {"time stamp",
         [](lum::TParam& p) {
             p.SetAsDateTime(2.0);
             p.SetDataType(TFieldType::ftTimeStamp);
         },
         "TimeStamp(2,2415021,0,8)", ""},
        {"blob", [](lum::TParam& p) { p.SetAsBlob("ab"); }, "Binary(2,6,2,0,ab)", ""},
        {"null of a type", [](lum::TParam& p) { p.SetAsInteger(1), p.Clear(); }, "Empty(2)", ""},
        {"null of a type not bound", [](lum::TParam& p) { p.SetDataType(TFieldType::ftVariant), p.Clear(); },
         "Empty(2)", ""},
        {"variant is left to the engine",
         [](lum::TParam& p) {
             p.SetDataType(TFieldType::ftVariant);
             p.SetValue(std::int64_t{3});
         },
         "", "Parameter 2 (:p) of the statement has no value"},
        {"unknown",
         [](lum::TParam& p) {
             p.SetDataType(TFieldType::ftUnknown);
             p.SetValue(fw::Variant::Null());
             p.SetDataType(TFieldType::ftUnknown);
         },
         "", "qryPay: The field named: 'p' has the DataType of ftUnknown, which is invalid."},
        {"unsupported",
         [](lum::TParam& p) {
             p.SetValue(std::int64_t{3});
             p.SetDataType(TFieldType::ftADT);
         },
         "", "qryPay: The field named: 'p' has a DataType that is not supported."},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        q.SetActive(false);
        q.Params().Items(0).SetAsString("PAY01");
        x.set(q.Params().Items(1));
        bindCalls.clear();
        std::string failure;
        try {
            q.SetActive(true);
        } catch (const lum::ELUMDatabaseError& e) {
            failure = e.Message();
        }
        std::vector<std::string> expected = {"String(1,PAY01,5)"};
        if (*x.call != '\0') expected.push_back(x.call);
        EXPECT_EQ(bindCalls, expected);
        EXPECT_NE(failure.find(x.failure), std::string::npos) << failure;
        EXPECT_EQ(failure.empty(), *x.failure == '\0') << failure;
    }
    // Binding stops at the first parameter that fails.
    q.SetActive(false);
    q.Params().Items(0).SetDataType(TFieldType::ftArray);
    q.Params().Items(1).SetAsString("PAY02");
    bindCalls.clear();
    EXPECT_THROW(q.SetActive(true), lum::ELUMDatabaseError);
    EXPECT_TRUE(bindCalls.empty());
    q.SetEngine(lum::DefaultEngine());
}

TEST_F(QueryParams, AStringParameterSelectsItsRows) {
    lum::TLumQuery& q = *c.query;
    q.SetSQL({"SELECT [Chart Number] FROM ZTTRN WHERE [Transaction Type] = :type ORDER BY [Chart Number]"});
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"I", {"AAA00001", "CCC00003"}}, {"S", {"BBB00002"}}, {"K", {}}};
    for (const auto& [type, charts] : cases) {
        SCOPED_TRACE(type);
        q.SetActive(false);
        q.ParamByName("type").SetAsString(type);
        q.SetActive(true);
        EXPECT_EQ(Column(q, "Chart Number"), charts);
    }
}

// A detail query takes its unbound parameters from the master's current
// record and runs again as the master moves.
TEST_F(QueryParams, ADetailQueryFollowsItsMastersRecord) {
    lum::TLumQuery& master = c.root.CreateOwned<lum::TLumQuery>();
    master.SetName("qryMaster");
    master.SetLumConnection(c.connection);
    master.SetSQL({"SELECT [Entry Number] AS EntryNo FROM ZTTRN ORDER BY [Entry Number]"});
    fw::TDataSource& source = c.root.CreateOwned<fw::TDataSource>();
    source.SetDataSet(&master);
    lum::TLumQuery& q = *c.query;
    q.SetSQL({"SELECT [Payment Amount], [Payment Reference] AS EntryNo FROM ZTPAX",
              "WHERE [Payment Reference] = :EntryNo ORDER BY [Payment Amount]"});
    q.SetDataSource(&source);
    master.SetActive(true);
    q.SetActive(true);
    EXPECT_FALSE(q.Params().Items(0).Bound());
    const std::vector<std::vector<std::string>> perEntry = {{"2.5", "5"}, {}, {"7"}};
    std::size_t entry = 0;
    for (master.MoveToFirst(); !master.AtEnd(); master.MoveToNext(), ++entry) {
        SCOPED_TRACE(entry + 1);
        ASSERT_LT(entry, perEntry.size());
        EXPECT_TRUE(q.Active());
        EXPECT_EQ(Column(q, "Payment Amount"), perEntry[entry]);
    }
    EXPECT_EQ(entry, perEntry.size());
    // The parameter pairs the master's field with the query's of its name.
    const auto links = q.GetDetailLinkFields();
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].first, &master.FieldNamed("EntryNo"));
    EXPECT_EQ(links[0].second, &q.FieldNamed("EntryNo"));

    // A parameter bound by hand keeps its value whatever the master says.
    q.SetActive(false);
    q.ParamByName("EntryNo").SetAsInteger(3);
    q.SetActive(true);
    master.MoveToFirst();
    EXPECT_EQ(Column(q, "Payment Amount"), std::vector<std::string>{"7"});

    // A parameter the master has no field for names it.
    q.SetActive(false);
    q.SetSQL({"SELECT [Payment Amount] FROM ZTPAX WHERE [Payment Reference] = :Missing"});
    try {
        q.SetActive(true);
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "qryMaster: Field 'Missing' not found");
    }
    EXPECT_FALSE(q.Active());
}

// Writes down every notice a link of the query's data source hears.
class Listener : public fw::TDataLink {
public:
    std::vector<std::string> Heard;

protected:
    void ActiveChanged() override { Heard.push_back(Active() ? "active" : "inactive"); }
    void RecordChanged(fw::TField* field) override { Heard.push_back(field != nullptr ? "field" : "record"); }
    void DataSetChanged() override { Heard.push_back("changed"); }
    void DataSetScrolled(int) override { Heard.push_back("scrolled"); }
    void LayoutChanged() override { Heard.push_back("layout"); }
};

bool refuseExecution = false;

// Running again as its master moves, the query keeps its controls disabled:
// those who show or follow it hear one notice per move, never that it closed,
// and the table that follows it lands on the record of its new rows. A failed
// run leaves the query closed, and they hear just that.
TEST_F(QueryParams, ARunAgainForTheMasterIsToldOnceToThoseWhoFollowTheQuery) {
    lum::TLumQuery& master = c.root.CreateOwned<lum::TLumQuery>();
    master.SetName("qryMaster");
    master.SetLumConnection(c.connection);
    master.SetSQL({"SELECT [Entry Number] AS EntryNo FROM ZTTRN ORDER BY [Entry Number]"});
    fw::TDataSource& source = c.root.CreateOwned<fw::TDataSource>();
    source.SetDataSet(&master);
    lum::TLumQuery& q = *c.query;
    LumFunctions engine = lum::DefaultEngine();
    engine.LumExecuteSQL = [](LUMHANDLE statement, LUMHANDLE* cursor) {
        if (refuseExecution) return realEngine->LumSetLastError(LUM_ERR_CALLER_TEXT, "Execution refused.");
        return realEngine->LumExecuteSQL(statement, cursor);
    };
    q.SetEngine(engine);
    q.SetSQL({"SELECT [Payment Reference] AS [Entry Number], [Payment Amount] FROM ZTPAX",
              "WHERE [Payment Reference] = :EntryNo ORDER BY [Payment Amount]"});
    q.SetDataSource(&source);
    c.table->SetMasterSource(c.dsQryChg);  // follows the query, as in the search
    c.table->SetMasterFields("Entry Number");
    Listener listener;
    listener.SetDataSource(c.dsQryChg);
    master.SetActive(true);
    q.SetActive(true);
    c.table->SetActive(true);

    struct Case {
        const char* name;
        std::function<void()> move;
        std::vector<std::string> amounts;
        const char* chart;  // of the table's record
    };
    const Case cases[] = {
        {"first entry", [&] { master.MoveToFirst(); }, {"2.5", "5"}, "AAA00001"},
        {"an entry without applications", [&] { master.MoveToNext(); }, {}, ""},
        {"third entry", [&] { master.MoveToNext(); }, {"7"}, "CCC00003"},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        listener.Heard.clear();
        x.move();
        EXPECT_EQ(listener.Heard, std::vector<std::string>{"layout"});
        EXPECT_FALSE(q.ControlsDisabled());
        ASSERT_TRUE(q.Active());
        EXPECT_EQ(c.table->FieldNamed("Chart Number").ValueAsText(), x.chart);
        EXPECT_EQ(Column(q, "Payment Amount"), x.amounts);
    }

    refuseExecution = true;
    listener.Heard.clear();
    try {
        master.MoveToFirst();
        ADD_FAILURE() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "qryPay: Execution refused.");
    }
    refuseExecution = false;
    EXPECT_EQ(listener.Heard, std::vector<std::string>{"inactive"});
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(q.ControlsDisabled());
    q.SetEngine(lum::DefaultEngine());
}

TEST_F(QueryParams, ADataSourceLeadingBackToTheQueryIsRefused) {
    lum::TLumQuery& other = c.root.CreateOwned<lum::TLumQuery>();
    other.SetName("qryOther");
    fw::TDataSource& ofQuery = c.root.CreateOwned<fw::TDataSource>();
    ofQuery.SetDataSet(c.query);
    fw::TDataSource& ofOther = c.root.CreateOwned<fw::TDataSource>();
    ofOther.SetDataSet(&other);
    fw::TDataSource& ofTable = *c.dsQryChg;  // the search's source of the query; the table follows it
    fw::TDataSource& tableSource = c.root.CreateOwned<fw::TDataSource>();
    tableSource.SetDataSet(c.table);
    struct Case {
        const char* name;
        lum::TLumQuery* query;
        fw::TDataSource* source;
        bool refused;
    };
    other.SetDataSource(&ofQuery);         // other follows the query
    c.table->SetMasterSource(c.dsQryChg);  // the table follows the query
    const Case cases[] = {
        {"itself", c.query, &ofQuery, true},
        {"a query that follows it", c.query, &ofOther, true},
        {"a table whose master is it", c.query, &tableSource, true},
        {"its own master's source", &other, &ofTable, false},
        {"none", c.query, nullptr, false},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        fw::TDataSource* before = x.query->DataSource();
        try {
            x.query->SetDataSource(x.source);
            EXPECT_FALSE(x.refused);
            EXPECT_EQ(x.query->DataSource(), x.source);
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_TRUE(x.refused);
            EXPECT_EQ(e.Message(), x.query->Name() + ": Circular Data Link");
            EXPECT_EQ(x.query->DataSource(), before);
        }
    }
}

// The table's master source is refused the same way, through a query that
// follows the table; a refused source leaves the old one.
TEST_F(QueryParams, AMasterSourceLeadingBackToTheTableIsRefused) {
    fw::TDataSource& tableSource = c.root.CreateOwned<fw::TDataSource>();
    tableSource.SetDataSet(c.table);
    lum::TLumQuery& follower = c.root.CreateOwned<lum::TLumQuery>();
    follower.SetName("qryFollower");
    follower.SetDataSource(&tableSource);
    fw::TDataSource& ofFollower = c.root.CreateOwned<fw::TDataSource>();
    ofFollower.SetDataSet(&follower);
    fw::TDataSource* const before = c.table->MasterSource();
    for (fw::TDataSource* source : {&tableSource, &ofFollower}) {
        try {
            c.table->SetMasterSource(source);
            ADD_FAILURE() << "no exception";
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.table->Name() + ": Circular Data Link");
        }
        EXPECT_EQ(c.table->MasterSource(), before);
    }
}

// A stored description naming the query's parameter properties loads.
TEST(QueryStoredParams, TheStoredParameterPropertiesLoad) {
    fw::TComponent root;
    root.SetName("frm");
    fw::StoredWindow description;
    description.Components.push_back({"TLumQuery", "qryMaster", {}});
    description.Components.push_back({"TDataSource", "dsMaster", {{"DataSet", fw::ComponentRef{"qryMaster"}}}});
    description.Components.push_back(
        {"TLumQuery",
         "qry",
         {{"SQL.Strings",
           std::vector<std::string>{"SELECT * FROM ZTTRN WHERE [Amount] > :least AND [Date From] = :day"}},
          {"ParamCheck", false},
          {"DataSource", fw::ComponentRef{"dsMaster"}},
          {"Data", std::string("\x01\x00\x02", 3)},
          {"WaitCursor", fw::Ident{"crSQLWait"}},
          {"ParamData", std::vector<std::string>{"least", "day"}},
          {"ParamData.least.DataType", fw::Ident{"ftFloat"}},
          {"ParamData.least.ParamType", fw::Ident{"ptInput"}},
          {"ParamData.least.Value", 2.5},
          {"ParamData.1.DataType", fw::Ident{"ftDate"}}}});
    fw::TReader reader;
    lum::RegisterLumClasses(reader);
    reader.Read(root, description);
    auto* q = dynamic_cast<lum::TLumQuery*>(root.FindComponent("qry"));
    ASSERT_NE(q, nullptr);
    EXPECT_FALSE(q->ParamCheck());
    EXPECT_EQ(q->DataSource(), root.FindComponent("dsMaster"));
    ASSERT_TRUE(q->StoredData().has_value());
    EXPECT_EQ(*q->StoredData(), std::string("\x01\x00\x02", 3));
    ASSERT_EQ(q->Params().Count(), 2u);
    EXPECT_EQ(q->Params().Items(0).DataType(), TFieldType::ftFloat);
    EXPECT_EQ(q->Params().Items(0).Value().AsDouble(), 2.5);
    EXPECT_TRUE(q->Params().Items(0).Bound());
    EXPECT_EQ(q->Params().Items(1).DataType(), TFieldType::ftDate);
    EXPECT_FALSE(q->Params().Items(1).Bound());

    // The statement blob goes with the text it was made for.
    q->SetSQL({"SELECT * FROM ZTPAX"});
    EXPECT_FALSE(q->StoredData().has_value());

    struct Case {
        const char* path;
        fw::PropertyValue value;
    };
    const Case refused[] = {
        {"WaitCursor", std::string("crHourGlass")},
        {"ParamData.nosuch.Value", 1LL},
        {"ParamData.7.DataType", fw::Ident{"ftFloat"}},
        {"ParamData.least.DataType", fw::Ident{"ftNoSuch"}},
        {"Data", 3LL},
    };
    q->SetStoredProperty("ParamData", std::vector<std::string>{"least"});
    q->SetStoredProperty("WaitCursor", -11LL);
    for (const Case& x : refused) {
        SCOPED_TRACE(x.path);
        EXPECT_THROW(q->SetStoredProperty(x.path, x.value), fw::EConvertError);
    }
}

// What a query writes of its statement blob and parameters loads into
// another query as the same values; written again, it is the same text.
fw::StoredProperties Written(const lum::TLumQuery& query) {
    fw::TWriter writer;
    query.WriteStoredProperties(writer);
    return writer.Properties();
}

lum::TLumQuery& Loaded(fw::TComponent& root, const fw::StoredProperties& written) {
    fw::StoredWindow description;
    fw::StoredProperties properties = {
        {"SQL.Strings", std::vector<std::string>{"SELECT * FROM ZTTRN WHERE [Amount] > :a OR [Amount] < :a"}},
        {"ParamCheck", false}};
    properties.insert(properties.end(), written.begin(), written.end());
    description.Components.push_back({"TLumQuery", "qry", properties});
    fw::TReader reader;
    lum::RegisterLumClasses(reader);
    reader.Read(root, description);
    return dynamic_cast<lum::TLumQuery&>(*root.FindComponent("qry"));
}

TEST(QueryStoredParams, WrittenParametersAndBlobLoadAsTheSameValues) {
    using fw::Variant;
    using fw::VarType;
    struct Case {
        const char* name;
        TFieldType type;
        std::function<void(lum::TParam&)> set;
        VarType kind;  // of the value read back; Null when none is written
        const char* text;
    };
    const Case cases[] = {
        {"string", TFieldType::ftString, [](lum::TParam& p) { p.SetAsString("I'm \"here\""); }, VarType::String,
         "I'm \"here\""},
        {"integer", TFieldType::ftInteger, [](lum::TParam& p) { p.SetAsInteger(-2147483647 - 1); }, VarType::Integer,
         "-2147483648"},
        {"large integer", TFieldType::ftLargeint, [](lum::TParam& p) { p.SetAsLargeInt(123456789012345); },
         VarType::Integer, "123456789012345"},
        {"float", TFieldType::ftFloat, [](lum::TParam& p) { p.SetAsFloat(0.1); }, VarType::Double, "0.1"},
        {"currency beyond a double's digits", TFieldType::ftCurrency,
         [](lum::TParam& p) { p.SetValue(fw::Currency::FromRaw(9223372036854775807)); }, VarType::Currency,
         "922337203685477.5807"},
        {"fixed point", TFieldType::ftBCD,
         [](lum::TParam& p) {
             p.SetDataType(TFieldType::ftBCD);
             p.SetValue(fw::Decimal::Parse("-12345678901234567890.123456789"));
         },
         VarType::Decimal, "-12345678901234567890.123456789"},
        {"date", TFieldType::ftDate, [](lum::TParam& p) { p.SetAsDate(36526); }, VarType::DateTime, "36526"},
        {"date-time", TFieldType::ftDateTime, [](lum::TParam& p) { p.SetAsDateTime(40000.25); }, VarType::DateTime,
         "40000.25"},
        {"boolean", TFieldType::ftBoolean, [](lum::TParam& p) { p.SetAsBoolean(true); }, VarType::Boolean, "True"},
        {"bound null: no value", TFieldType::ftInteger, [](lum::TParam& p) { p.SetAsInteger(1), p.Clear(); },
         VarType::Null, ""},
        {"a master's value is not its own", TFieldType::ftString,
         [](lum::TParam& p) {
             p.SetAsString("x");
             p.SetBound(false);
         },
         VarType::Null, ""},
        {"untyped, without a value", TFieldType::ftUnknown, [](lum::TParam&) {}, VarType::Null, ""},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        fw::TComponent first, second;
        lum::TLumQuery& q = Loaded(first, {});
        q.Params().Clear();
        q.Params().Add("a").SetAsString("kept");
        x.set(q.Params().Add("a"));  // a name may repeat: the second is addressed by its index
        const fw::StoredProperties written = Written(q);
        lum::TLumQuery& back = Loaded(second, written);
        ASSERT_EQ(back.Params().Count(), 2u);
        EXPECT_EQ(back.Params().Items(0).Value().AsString(), "kept");
        const lum::TParam& p = back.Params().Items(1);
        EXPECT_EQ(p.Name(), "a");
        EXPECT_EQ(p.DataType(), x.type);
        EXPECT_EQ(p.Value().Type(), x.kind);
        EXPECT_EQ(p.Bound(), x.kind != VarType::Null);
        if (x.kind == VarType::Boolean) {
            EXPECT_TRUE(p.Value().AsBoolean());
        } else if (x.kind == VarType::DateTime) {
            EXPECT_EQ(p.Value().AsDouble(), std::stod(x.text));
        } else if (x.kind != VarType::Null) {
            EXPECT_EQ(p.Value().AsString(), x.text);
        }
        EXPECT_EQ(Written(back), written);
        EXPECT_FALSE(back.StoredData().has_value());
    }

    // The statement blob goes back as it came, bytes included; none is not written.
    fw::TComponent first, second;
    const std::string blob("\x00\x01\xFF\r\n", 5);
    const fw::StoredProperties written = Written(Loaded(first, {{"Data", blob}}));
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.front().first, "Data");
    lum::TLumQuery& back = Loaded(second, written);
    ASSERT_TRUE(back.StoredData().has_value());
    EXPECT_EQ(*back.StoredData(), blob);
}

// The stored forms are bounded: a blob or a parameter list beyond what a
// query holds is refused when read, and a writer stops at its own bound.
TEST(QueryStoredParams, StoredFormsBeyondTheirBoundsAreRefused) {
    lum::TLumQuery q;
    struct Case {
        const char* path;
        fw::PropertyValue value;
    };
    const Case refused[] = {
        {"Data", std::string(lum::TLumQuery::MaxStoredDataBytes + 1, 'x')},
        {"ParamData", std::vector<std::string>(lum::TLumQuery::MaxParams + 1, "p")},
    };
    for (const Case& x : refused) {
        SCOPED_TRACE(x.path);
        try {
            q.SetStoredProperty(x.path, x.value);
            ADD_FAILURE() << "no exception";
        } catch (const fw::EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("Invalid property value: ") + x.path);
        }
    }
    q.SetStoredProperty("Data", std::string(lum::TLumQuery::MaxStoredDataBytes, 'x'));
    q.SetStoredProperty("ParamData", std::vector<std::string>{"p", "q"});
    const Case values[] = {
        {"ParamData.0.DataType", fw::Ident{"ftDate"}},
        {"ParamData.0.Value", std::string("2000-01-01")},  // a date is a number
        {"ParamData.1.DataType", fw::Ident{"ftCurrency"}},
        {"ParamData.1.Value", 1e300},  // beyond a currency
        {"ParamData.1.Value", std::string("ten")},
    };
    for (const Case& x : values) {
        SCOPED_TRACE(x.path);
        try {
            q.SetStoredProperty(x.path, x.value);
            if (std::string(x.path).ends_with("Value")) ADD_FAILURE() << "no exception";
        } catch (const fw::EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("Invalid property value: ") + x.path);
        }
    }

    // The whole blob fits the writer's bound, a smaller bound stops it.
    fw::TWriter small(10, 1000);
    try {
        q.WriteStoredProperties(small);
        ADD_FAILURE() << "no exception";
    } catch (const fw::EConvertError& e) {
        EXPECT_EQ(e.Message(), "Stored properties too large: Data");
    }
    EXPECT_TRUE(small.Properties().empty());
    fw::TWriter enough;
    q.WriteStoredProperties(enough);
    EXPECT_EQ(enough.Properties().size(), 4u);  // Data, ParamData and two types
}

}  // namespace
}  // namespace lumtest
