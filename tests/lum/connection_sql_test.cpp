// Statements a connection runs itself: results and counts on a real practice,
// the engine calls of each run and the cache of kept statements, refusals as
// the layer's errors, and the application id sent to the server.
#include <functional>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"
#include "tests/lum/recording_engine.h"

namespace lumtest {
namespace {

using Calls = std::vector<std::string>;

class ConnectionSql : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPractice(dir, {{1, "I", -50.0, "AAA00002"}, {2, "A", 50.0, "AAA00001"}, {3, "K", 10.0, "BBB00001"}},
                      {{1, 2, 50.0}});
        conn.SetConnectPath(dir.path() + "\\ZTDDF.LDD");
        Log().Clear();
    }
    void TearDown() override { Log().Clear(); }

    // The statement entries of the engine, recorded.
    void Record() {
        LUMTEST_RECORD(engine, LumCreateSQLStatement);
        LUMTEST_RECORD(engine, LumStmtSetTableReadOnly);
        LUMTEST_RECORD(engine, LumStmtSetTableCollation);
        LUMTEST_RECORD(engine, LumStmtSetTableLockType);
        LUMTEST_RECORD(engine, LumStmtSetTableCharType);
        LUMTEST_RECORD(engine, LumStmtSetTableRights);
        LUMTEST_RECORD(engine, LumStmtSetTableType);
        LUMTEST_RECORD(engine, LumPrepareSQL);
        LUMTEST_RECORD(engine, LumSetString);
        LUMTEST_RECORD(engine, LumExecuteSQL);
        LUMTEST_RECORD(engine, LumExecuteSQLDirect);
        LUMTEST_RECORD(engine, LumGetRecordCount);
        LUMTEST_RECORD(engine, LumCloseSQLStatement);
        LUMTEST_RECORD(engine, LumCloseTable);
        conn.SetEngine(engine);
    }

    TempDir dir;
    Components c;
    lum::TLumConnection& conn = *c.connection;
    LumFunctions engine = lum::DefaultEngine();
};

// The first column of every row of a result, without trailing blanks.
std::vector<std::string> FirstColumn(const lum::TLumSQLCursor& cursor) {
    const LumFunctions& engine = lum::DefaultEngine();
    std::vector<std::string> values;
    for (engine.LumGotoTop(cursor.Handle());; engine.LumSkip(cursor.Handle(), 1)) {
        UNSIGNED16 eof = 0;
        engine.LumAtEOF(cursor.Handle(), &eof);
        if (eof != 0) break;
        char buffer[100] = {};
        UNSIGNED32 length = sizeof buffer;
        EXPECT_EQ(
            engine.LumGetField(cursor.Handle(), LUM_FIELD_NUMBER(1), reinterpret_cast<UNSIGNED8*>(buffer), &length, 0),
            0u);
        std::string value(buffer, length);
        value.erase(value.find_last_not_of(' ') + 1);
        values.push_back(value);
    }
    return values;
}

TEST_F(ConnectionSql, StatementsRunOnTheConnectionAndHandBackTheirCursor) {
    const std::string byChart = "SELECT [Chart Number] FROM ZTTRN ORDER BY [Chart Number]";
    struct Case {
        const char* name;
        std::string sql;
        std::function<void(lum::TParams&)> params;
        bool wantsCursor;
        std::uint32_t count;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"a cursor", byChart, nullptr, true, 3, {"AAA00001", "AAA00002", "BBB00001"}},
        {"no cursor: only the count", byChart, nullptr, false, 3, {}},
        {"a text parameter",
         "SELECT [Chart Number] FROM ZTTRN WHERE [Chart Number] = :chart",
         [](lum::TParams& p) { p.Add("chart").SetAsString("AAA00002"); },
         true,
         1,
         {"AAA00002"}},
        {"parameters of several types",
         "SELECT [Chart Number] FROM ZTTRN WHERE [Amount] > :least AND [Entry Number] <> :entry ORDER BY 1",
         [](lum::TParams& p) {
             p.Add("least").SetAsFloat(-60.0);
             p.Add("entry").SetAsInteger(3);
         },
         true,
         2,
         {"AAA00001", "AAA00002"}},
        {"a statement without rows", "execute procedure sp_setapplicationid('x')", nullptr, true, 0, {}},
        // Changes answer the count of records changed and no cursor; the
        // SELECT after them reads what they wrote.
        {"an UPDATE with a parameter",
         "UPDATE ZTTRN SET [Chart Number] = 'CCC00001' WHERE [Entry Number] = :entry",
         [](lum::TParams& p) { p.Add("entry").SetAsInteger(3); },
         true,
         1,
         {}},
        {"an INSERT", "INSERT INTO ZTTRN ([Chart Number]) VALUES ('AAA00000')", nullptr, true, 1, {}},
        {"a DELETE", "DELETE FROM ZTTRN WHERE [Amount] = 50", nullptr, false, 1, {}},
        {"the changes read back", byChart, nullptr, true, 3, {"AAA00000", "AAA00002", "CCC00001"}},
    };
    EXPECT_FALSE(conn.IsConnected());
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        lum::TParams params;
        if (x.params) x.params(params);
        lum::TLumSQLCursor cursor;
        EXPECT_EQ(conn.ExecuteSQL(x.sql, &params, x.wantsCursor ? &cursor : nullptr), x.count);
        EXPECT_TRUE(conn.IsConnected()) << "connected on demand";
        if (x.wantsCursor && !x.rows.empty()) {
            ASSERT_TRUE(cursor);
            EXPECT_EQ(FirstColumn(cursor), x.rows);
        } else {
            EXPECT_FALSE(cursor);
        }
    }
}

// Whatever is refused, the caller hears it as the layer's error, and no
// statement is left open.
TEST_F(ConnectionSql, RefusalsReachTheCallerAsTheLayersErrorAndCloseTheStatement) {
    Record();
    struct Case {
        const char* name;
        std::string sql;
        std::function<void(lum::TParams&)> params;
        std::uint32_t code;
        std::string message;  // the whole message, or a part of an engine text
        bool whole;
    };
    const Case cases[] = {
        {"a change of an unknown column", "UPDATE ZTTRN SET [No Such] = 0", nullptr, LUM_ERR_SQL, "No Such", false},
        {"a change of a table the dictionary lacks, with parameters", "DELETE FROM NOSUCH WHERE [Entry Number] = :e",
         [](lum::TParams& p) { p.Add("e").SetAsInteger(1); }, LUM_ERR_SQL, "Table not found: NOSUCH", false},
        {"an unknown column", "SELECT [No Such] FROM ZTTRN", nullptr, LUM_ERR_SQL, "No Such", false},
        {"a parameter without a type", "SELECT * FROM ZTTRN WHERE [Entry Number] = :e",
         [](lum::TParams& p) { p.Add("e"); }, lum::LayerErrorCode,
         "The field named: 'e' has the DataType of ftUnknown, which is invalid.", true},
        {"a parameter of a type no statement takes", "SELECT * FROM ZTTRN WHERE [Entry Number] = :e",
         [](lum::TParams& p) { p.Add("e", fw::TFieldType::ftADT).SetValue(fw::Variant(std::int64_t{1})); },
         lum::LayerErrorCode, "The field named: 'e' has a DataType that is not supported.", true},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        Log().calls.clear();
        lum::TParams params;
        if (x.params) x.params(params);
        lum::TLumSQLCursor cursor;
        try {
            conn.ExecuteSQL(x.sql, &params, &cursor);
            FAIL() << "no exception";
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_EQ(e.EngineErrorCode, x.code);
            EXPECT_TRUE(e.DataSetName.empty());
            if (x.whole) {
                EXPECT_EQ(e.Message(), x.message);
            } else {
                EXPECT_EQ(e.Message().rfind("Error 7200: ", 0), 0u) << "the engine's text alone: " << e.Message();
                EXPECT_NE(e.Message().find(x.message), std::string::npos) << e.Message();
                EXPECT_EQ(e.Message().find("readonly"), std::string::npos) << e.Message();
            }
        }
        EXPECT_FALSE(cursor);
        EXPECT_EQ(CallsStartingWith("LumCreateSQLStatement").size(), 1u);
        EXPECT_EQ(CallsStartingWith("LumCloseSQLStatement").size(), 1u);
    }
}

TEST_F(ConnectionSql, EachRunMakesItsStatementAsAskedAndKeptStatementsAreReused) {
    Record();
    const std::string sql = "SELECT [Chart Number] FROM ZTTRN";
    const std::string prepare = "LumPrepareSQL(\"" + sql + "\")";
    const std::string direct = "LumExecuteSQLDirect(\"" + sql + "\")";
    const std::string lower = "select [Chart Number] from zttrn";
    lum::TLumSQLCursor cursor;
    struct Step {
        const char* name;
        std::function<void()> run;
        Calls calls;
        std::size_t cached;
    };
    const Step steps[] = {
        {"not kept: closed afterwards, its cursor too",
         [&] { conn.ExecuteSQL(sql); },
         {"LumCreateSQLStatement", prepare, direct, "LumGetRecordCount(2)", "LumCloseTable", "LumCloseSQLStatement"},
         0},
        {"a cursor asked for: read-only, the cursor handed back",
         [&] { conn.ExecuteSQL(sql, nullptr, &cursor); },
         {"LumCreateSQLStatement", "LumStmtSetTableReadOnly(1)", prepare, direct, "LumGetRecordCount(2)",
          "LumCloseSQLStatement"},
         0},
        {"kept: stays open in the cache",
         [&] { conn.ExecuteSQL(sql, nullptr, nullptr, true); },
         {"LumCreateSQLStatement", prepare, direct, "LumGetRecordCount(2)", "LumCloseTable"},
         1},
        {"kept again, the text in other case: reused",
         [&] { conn.ExecuteSQL(lower, nullptr, nullptr, true); },
         {"LumExecuteSQLDirect(\"" + lower + "\")", "LumGetRecordCount(2)", "LumCloseTable"},
         1},
        {"kept with a cursor: another statement, read-only; the cursor it replaces is closed",
         [&] { conn.ExecuteSQL(sql, nullptr, &cursor, true); },
         {"LumCreateSQLStatement", "LumStmtSetTableReadOnly(1)", prepare, direct, "LumGetRecordCount(2)",
          "LumCloseTable"},
         2},
        {"parameters are bound by position and the prepared text runs",
         [&] {
             lum::TParams params;
             params.Add("chart").SetAsString("AAA00001");
             conn.ExecuteSQL("SELECT * FROM ZTTRN WHERE [Chart Number] = :chart", &params);
         },
         {"LumCreateSQLStatement", "LumPrepareSQL(\"SELECT * FROM ZTTRN WHERE [Chart Number] = :chart\")",
          "LumSetString(#1,\"AAA00001\")", "LumExecuteSQL", "LumGetRecordCount(2)", "LumCloseTable",
          "LumCloseSQLStatement"},
         2},
        {"the connection's collation",
         [&] {
             conn.SetLumCollation("GENERAL_VFP_CI_AS_1252");
             conn.ExecuteSQL(sql);
         },
         {"LumCreateSQLStatement", "LumStmtSetTableCollation(\"GENERAL_VFP_CI_AS_1252\")", prepare, direct,
          "LumGetRecordCount(2)", "LumCloseTable", "LumCloseSQLStatement"},
         2},
        {"a dataset's options, its collation after the connection's",
         [&] {
             conn.ExecuteSQLWithOptions(sql, {0, 2, 2, 4, "MACHINE_VFP_BIN_1252"}, nullptr, nullptr, true);
         },
         {"LumCreateSQLStatement", "LumStmtSetTableCollation(\"GENERAL_VFP_CI_AS_1252\")", "LumStmtSetTableLockType(0)",
          "LumStmtSetTableCharType(2)", "LumStmtSetTableRights(2)", "LumStmtSetTableType(4)",
          "LumStmtSetTableCollation(\"MACHINE_VFP_BIN_1252\")", prepare, direct, "LumGetRecordCount(2)",
          "LumCloseTable"},
         3},
        {"the same options: reused; other options: another statement",
         [&] {
             conn.SetLumCollation("");
             conn.ExecuteSQLWithOptions(sql, {0, 2, 2, 4, "MACHINE_VFP_BIN_1252"}, nullptr, nullptr, true);
             conn.ExecuteSQLWithOptions(sql, {1, 1, 1, 3, ""}, nullptr, nullptr, true);
         },
         {direct, "LumGetRecordCount(2)", "LumCloseTable", "LumCreateSQLStatement", "LumStmtSetTableLockType(1)",
          "LumStmtSetTableCharType(1)", "LumStmtSetTableRights(1)", "LumStmtSetTableType(3)", prepare, direct,
          "LumGetRecordCount(2)", "LumCloseTable"},
         4},
        {"closing the cache closes every kept statement",
         [&] { conn.CloseCachedStatements(); },
         {"LumCloseSQLStatement", "LumCloseSQLStatement", "LumCloseSQLStatement", "LumCloseSQLStatement"},
         0},
        {"disconnecting closes the kept statements",
         [&] {
             conn.ExecuteSQL(sql, nullptr, nullptr, true);
             Log().calls.clear();
             conn.SetIsConnected(false);
         },
         {"LumCloseSQLStatement"},
         0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        Log().calls.clear();
        step.run();
        EXPECT_EQ(Log().calls, step.calls);
        EXPECT_EQ(conn.CachedStatementCount(), step.cached);
    }
}

TEST_F(ConnectionSql, TheCountIsZeroWhenTheEngineHasNone) {
    Record();
    Log().failing["LumGetRecordCount"] = LUM_ERR_NO_ROW_COUNT;
    EXPECT_EQ(conn.ExecuteSQL("SELECT * FROM ZTTRN"), 0u);
    Log().failing["LumGetRecordCount"] = LUM_ERR_INVALID_HANDLE;
    try {
        conn.ExecuteSQL("SELECT * FROM ZTTRN");
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_INVALID_HANDLE));
        EXPECT_EQ(e.Message(), InjectedText("LumGetRecordCount"));
    }
    EXPECT_EQ(CallsStartingWith("LumCreateSQLStatement").size(), CallsStartingWith("LumCloseSQLStatement").size());
}

TEST_F(ConnectionSql, TheApplicationIdGoesToTheServerAtConnectAndWhenItChanges) {
    Record();
    const Calls sent = [](const std::string& id) {
        return Calls{"LumCreateSQLStatement",
                     "LumPrepareSQL(\"execute procedure sp_setapplicationid(:FAppID)\")",
                     "LumSetString(#1,\"" + id + "\")",
                     "LumExecuteSQL",
                     "LumGetRecordCount(2)",
                     "LumCloseSQLStatement"};
    }("Payment Cross Reference");
    int afterConnect = 0;
    conn.AfterConnect = [&](lum::TLumConnection&) { ++afterConnect; };
    struct Step {
        const char* name;
        std::function<void()> run;
        Calls calls;
        std::string stored;
    };
    const Step steps[] = {
        {"not connected: only stored",
         [&] { conn.SetApplicationID("Payment Cross Reference"); },
         {},
         "Payment Cross Reference"},
        {"sent when connecting", [&] { conn.SetIsConnected(true); }, sent, "Payment Cross Reference"},
        {"the same id: nothing sent",
         [&] { conn.SetApplicationID("Payment Cross Reference"); },
         {},
         "Payment Cross Reference"},
        {"read from a stored description while connected: sent at once",
         [&] { conn.SetStoredProperty("ApplicationID", fw::PropertyValue{std::string("second")}); },
         {"LumCreateSQLStatement", "LumPrepareSQL(\"execute procedure sp_setapplicationid(:FAppID)\")",
          "LumSetString(#1,\"second\")", "LumExecuteSQL", "LumGetRecordCount(2)", "LumCloseSQLStatement"},
         "second"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        Log().calls.clear();
        step.run();
        EXPECT_EQ(CallsStartingWith("Lum"), step.calls);
        EXPECT_EQ(conn.ApplicationID(), step.stored);
        EXPECT_EQ(conn.ReadServerApplicationID(), step.stored) << "the server's";
    }
    EXPECT_EQ(afterConnect, 1);

    // A change the server refuses keeps the old id, on both sides.
    Log().failing["LumExecuteSQL"] = LUM_ERR_SQL;
    EXPECT_THROW(conn.SetApplicationID("third"), lum::ELUMDatabaseError);
    EXPECT_EQ(conn.ApplicationID(), "second");
    Log().failing.clear();
    EXPECT_EQ(conn.ReadServerApplicationID(), "second");

    // A refusal while connecting fails the connect.
    conn.SetIsConnected(false);
    EXPECT_EQ(conn.ReadServerApplicationID(), "second") << "the stored one while not connected";
    Log().failing["LumExecuteSQL"] = LUM_ERR_SQL;
    EXPECT_THROW(conn.SetIsConnected(true), lum::ELUMDatabaseError);
    EXPECT_FALSE(conn.IsConnected());
    EXPECT_EQ(conn.ConnectionHandle(), 0u);
    EXPECT_EQ(afterConnect, 1);
    Log().failing.clear();

    // Without an id nothing is sent.
    conn.SetApplicationID("");
    Log().calls.clear();
    conn.SetIsConnected(true);
    EXPECT_TRUE(CallsStartingWith("LumPrepareSQL").empty());
    EXPECT_EQ(conn.ReadServerApplicationID(), "");
}

}  // namespace
}  // namespace lumtest
