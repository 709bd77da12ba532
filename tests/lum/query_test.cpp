// A query's statement and cursor: moving the query to another connection,
// a cursor released when reading about it fails, and the extra index files
// opened on the result.
#include <functional>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

class QueryStatement : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPractice(dirA, {{1, "I", 10.0, "AAA00001"}}, {});
        BuildPractice(dirB, {{1, "I", 10.0, "BBB00001"}, {2, "S", 20.0, "BBB00002"}}, {});
        a.connection->SetConnectPath(dirA.path() + "\\ZTDDF.LDD");
        b.root.SetName("frmOther");
        b.connection->SetName("LumConnectionB");
        b.connection->SetConnectPath(dirB.path() + "\\ZTDDF.LDD");
        a.table->SetMasterSource(nullptr);  // the search's table would look for its master fields
        a.query->SetSQL({"SELECT [Chart Number] FROM ZTTRN ORDER BY [Chart Number]"});
    }
    std::vector<std::string> Charts() {
        std::vector<std::string> charts;
        lum::TLumQuery& q = *a.query;
        for (q.MoveToFirst(); !q.AtEnd(); q.MoveToNext())
            charts.push_back(q.FieldNamed("Chart Number").ValueAsVariant().AsString());
        return charts;
    }
    TempDir dirA, dirB;
    Components a, b;
};

// Moved through DatabaseName, the query runs on the connection it now names,
// also while the old one stays connected; the old statement is released.
TEST_F(QueryStatement, MovedToAnotherConnectionItReadsThatDatabase) {
    lum::TLumQuery& q = *a.query;
    q.SetActive(true);
    EXPECT_EQ(Charts(), std::vector<std::string>{"AAA00001"});
    const LUMHANDLE old = q.StatementHandle();
    q.SetActive(false);
    q.SetDatabaseName("LumConnectionB");
    EXPECT_EQ(q.LumConnection(), b.connection);
    EXPECT_TRUE(a.connection->IsConnected());
    UNSIGNED16 type = 0;
    EXPECT_NE(lum::DefaultEngine().LumGetHandleType(old, &type), 0u) << "the old statement is still open";
    q.SetActive(true);
    EXPECT_EQ(Charts(), (std::vector<std::string>{"BBB00001", "BBB00002"}));
    q.SetActive(false);

    // Given the other connection directly, the same holds.
    q.SetLumConnection(a.connection);
    q.SetActive(true);
    EXPECT_EQ(Charts(), std::vector<std::string>{"AAA00001"});
}

// Whatever fails after the engine handed back a cursor, the cursor is closed.
const LumFunctions* realEngine = &lum::DefaultEngine();
LUMHANDLE lastCursor = 0;
const char* failingStep = "";
UNSIGNED32 Fail() {
    realEngine->LumSetLastError(LUM_ERR_DAMAGED, "Injected failure");
    return LUM_ERR_DAMAGED;
}

LumFunctions FailingAfterExecution() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumExecuteSQL = [](LUMHANDLE statement, LUMHANDLE* cursor) {
        const UNSIGNED32 rc = realEngine->LumExecuteSQL(statement, cursor);
        lastCursor = *cursor;
        return rc;
    };
    engine.LumSqlPeekStatement = [](LUMHANDLE cursor, UNSIGNED16* live) {
        if (std::string(failingStep) == "peek") return Fail();
        const UNSIGNED32 rc = realEngine->LumSqlPeekStatement(cursor, live);
        *live = 1;  // so that the character type is read
        return rc;
    };
    engine.LumGetTableCharType = [](LUMHANDLE cursor, UNSIGNED16* type) {
        if (std::string(failingStep) == "character type") return Fail();
        return realEngine->LumGetTableCharType(cursor, type);
    };
    engine.LumGetRecordCount = [](LUMHANDLE handle, UNSIGNED16 filter, UNSIGNED32* count) {
        if (std::string(failingStep) == "count") return Fail();
        return realEngine->LumGetRecordCount(handle, filter, count);
    };
    engine.LumGetTableType = [](LUMHANDLE cursor, UNSIGNED16* type) {
        if (std::string(failingStep) == "table type") return Fail();
        return realEngine->LumGetTableType(cursor, type);
    };
    return engine;
}

TEST_F(QueryStatement, AFailureAfterExecutionClosesTheCursor) {
    const LumFunctions engine = FailingAfterExecution();
    lum::TLumQuery& q = *a.query;
    q.SetEngine(engine);
    for (const char* step : {"peek", "character type", "count", "table type"}) {
        SCOPED_TRACE(step);
        failingStep = step;
        lastCursor = 0;
        try {
            q.SetActive(true);
            FAIL() << "no exception";
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_DAMAGED));
            EXPECT_NE(e.Message().find("Injected failure"), std::string::npos) << e.Message();
        }
        EXPECT_FALSE(q.Active());
        ASSERT_NE(lastCursor, 0u);
        UNSIGNED16 type = 0;
        EXPECT_NE(realEngine->LumGetHandleType(lastCursor, &type), 0u) << "the cursor is still open";
    }
    failingStep = "";
    q.SetActive(true);
    EXPECT_EQ(Charts(), std::vector<std::string>{"AAA00001"});
    q.SetActive(false);
    q.SetEngine(lum::DefaultEngine());
}

// Each extra index file is opened on the result in the database's folder; a
// failure closes the cursor.
std::vector<std::string> openedIndexes;
bool failIndex = false;

TEST_F(QueryStatement, ExtraIndexFilesAreOpenedOnTheResult) {
    LumFunctions engine = FailingAfterExecution();
    engine.LumOpenIndex = [](LUMHANDLE, const char* name, LUMHANDLE* handles, UNSIGNED16* count) -> UNSIGNED32 {
        openedIndexes.push_back(name + std::string(":") + std::to_string(*count));
        if (failIndex) return Fail();
        (void)handles;
        *count = 0;
        return 0;
    };
    lum::TLumQuery& q = *a.query;
    q.SetEngine(engine);
    q.SetIndexFiles({"EXTRA1.IDX", "EXTRA2.IDX"});
    failingStep = "";
    openedIndexes.clear();
    q.SetActive(true);
    const std::string folder = dirA.path();
    EXPECT_EQ(openedIndexes, (std::vector<std::string>{folder + "\\EXTRA1.IDX:256", folder + "\\EXTRA2.IDX:256"}));
    q.SetActive(false);

    failIndex = true;
    openedIndexes.clear();
    lastCursor = 0;
    EXPECT_THROW(q.SetActive(true), lum::ELUMDatabaseError);
    EXPECT_EQ(openedIndexes.size(), 1u);
    UNSIGNED16 type = 0;
    EXPECT_NE(realEngine->LumGetHandleType(lastCursor, &type), 0u) << "the cursor is still open";
    failIndex = false;
    q.SetEngine(lum::DefaultEngine());
}

TEST(QueryProvider, TheTableIsTheFirstNameAfterFrom) {
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT * FROM ZTTRN", "ZTTRN"},
        {"select a\r\nfrom [ZT TRN] t where a = 1", "ZT TRN"},
        {"SELECT x FROM practice.ZTTRN;", "practice.ZTTRN"},
        {"SELECT x FROM \"ZTPAX\";", "ZTPAX"},
        {"SELECT '-- FROM X' /* from Y */ FROM ZTPAX", "ZTPAX"},
        {"SELECT (SELECT 1 FROM A) FROM B", "A"},
        {"SELECT 1", ""},
    };
    lum::TLumQuery query;
    for (const auto& [text, table] : cases) {
        SCOPED_TRACE(text);
        query.PSSetCommandText(text);
        EXPECT_EQ(query.PSGetTableName(), table);
    }
    query.PSSetCommandText("SELECT a\r\nFROM t\n");
    EXPECT_EQ(query.SQL(), (std::vector<std::string>{"SELECT a", "FROM t"}));
}

TEST_F(QueryStatement, TheDefaultOrderNamesTheOrderByFieldsOfTheResult) {
    lum::TLumQuery& q = *a.query;
    struct Case {
        const char* orderBy;
        const char* fields;
        const char* descending;
    };
    const Case cases[] = {
        {"ORDER BY [Amount] DESC, pay.[Chart Number]", "Amount;Chart Number", "Amount"},
        {"ORDER BY 2, [Chart Number] ASC", "Chart Number", ""},
        {"ORDER BY [Entry Number] DESC", "", ""},  // not a field of the result
        {"", "", ""},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.orderBy);
        q.SetSQL({"SELECT pay.[Chart Number], [Amount] FROM ZTTRN pay", x.orderBy});
        q.SetActive(true);
        const lum::TLumQueryOrder order = q.PSGetDefaultOrder();
        EXPECT_EQ(order.Fields, x.fields);
        EXPECT_EQ(order.DescFields, x.descending);
    }
}

// The statement calls of each run, as the engine receives them.
std::vector<std::string> statementCalls;

LumFunctions RecordingStatements() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumCreateSQLStatement = [](LUMHANDLE connection, LUMHANDLE* statement) {
        statementCalls.push_back("Create");
        return realEngine->LumCreateSQLStatement(connection, statement);
    };
    engine.LumSetSQLTimeout = [](LUMHANDLE handle, UNSIGNED32 timeout) {
        statementCalls.push_back("Timeout(" + std::to_string(timeout) + ")");
        return realEngine->LumSetSQLTimeout(handle, timeout);
    };
    engine.LumStmtSetTableReadOnly = [](LUMHANDLE statement, UNSIGNED16 readOnly) {
        statementCalls.push_back("ReadOnly(" + std::to_string(readOnly) + ")");
        return realEngine->LumStmtSetTableReadOnly(statement, readOnly);
    };
    engine.LumStmtSetTableType = [](LUMHANDLE statement, UNSIGNED16 type) {
        statementCalls.push_back("Type(" + std::to_string(type) + ")");
        return realEngine->LumStmtSetTableType(statement, type);
    };
    engine.LumPrepareSQL = [](LUMHANDLE statement, const char* text) {
        statementCalls.push_back("Prepare");
        return realEngine->LumPrepareSQL(statement, text);
    };
    return engine;
}

TEST_F(QueryStatement, TheStatementIsMadeOnceAndItsOptionsSentOnEveryRun) {
    const LumFunctions engine = RecordingStatements();
    lum::TLumQuery& q = *a.query;
    q.SetEngine(engine);
    using Calls = std::vector<std::string>;
    struct Case {
        const char* name;
        std::function<void()> before;
        Calls calls;
    };
    const Case cases[] = {
        {"first run", [] {}, {"Create", "ReadOnly(1)", "Type(3)", "Prepare"}},
        {"again on the same connection", [] {}, {"ReadOnly(1)", "Type(3)", "Prepare"}},
        {"live, CDX",
         [&] { q.SetRequestLive(true), q.SetSourceTableType(lum::TLumTableTypes::ttLumCDX); },
         {"ReadOnly(2)", "Type(2)", "Prepare"}},
        {"a read-only connection wins",
         [&] { a.connection->SetReadOnly(true); },
         {"ReadOnly(2)", "ReadOnly(1)", "Type(2)", "Prepare"}},
        {"a time-out goes at once",
         [&] { q.SetSQLTimeout(500); },
         {"Timeout(500)", "ReadOnly(2)", "ReadOnly(1)", "Type(2)", "Prepare"}},
        {"after reconnecting, a new statement with its time-out",
         [&] {
             a.connection->SetIsConnected(false);
             q.SetRequestLive(false), a.connection->SetReadOnly(false);
             q.SetSourceTableType(lum::TLumTableTypes::ttLumDefault);
         },
         {"Create", "Timeout(500)", "ReadOnly(1)", "Type(1)", "Prepare"}},
        {"VFP", [&] { q.SetSourceTableType(lum::TLumTableTypes::ttLumVFP); }, {"ReadOnly(1)", "Type(4)", "Prepare"}},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        statementCalls.clear();
        x.before();
        q.SetActive(true);
        q.SetActive(false);
        EXPECT_EQ(statementCalls, x.calls);
    }
    q.SetEngine(lum::DefaultEngine());
}

TEST_F(QueryStatement, RefusalsOfTheQueryItself) {
    lum::TLumQuery& q = *a.query;
    struct Case {
        const char* name;
        std::function<void()> act;
        const char* message;
    };
    const Case cases[] = {
        {"NTX without a dictionary connection",
         [&] {
             q.SetDatabaseName("");
             q.SetSourceTableType(lum::TLumTableTypes::ttLumNTX);
         },
         "qryPay: The TLumQuery component does not support the NTX table type"},
        {"no connection at all", [&] { q.SetActive(true); },
         "qryPay: The DatabaseName property has not been assigned a value."},
        {"preparing while open",
         [&] {
             q.SetLumConnection(a.connection);
             q.SetActive(true);
             q.PrepareStatement();
         },
         "qryPay: Cannot perform this operation on an open dataset"},
        {"freeing while open", [&] { q.FreeStatement(); }, "qryPay: Cannot perform this operation on an open dataset"},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        try {
            x.act();
            FAIL() << "no exception";
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_EQ(e.Message(), x.message);
        }
    }
    EXPECT_EQ(q.SourceTableType(), lum::TLumTableTypes::ttLumLDT);
    EXPECT_TRUE(q.Active());
}

// The last auto-increment value is asked of the statement for a query and of
// the cursor for a table; nothing held, nothing asked. The engine's answer
// comes back as it is: 0 where nothing was inserted, the number the engine
// gave after an INSERT of the query or an append to the table; a failure
// comes through the check.
std::vector<LUMHANDLE> autoincAsked;
UNSIGNED32 autoincAnswer = 0;
bool autoincFails = false;

TEST_F(QueryStatement, TheLastAutoIncrementValueIsAskedOfTheStatement) {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumGetLastAutoinc = [](LUMHANDLE handle, UNSIGNED32* value) {
        autoincAsked.push_back(handle);
        if (autoincFails) return Fail();
        const UNSIGNED32 rc = realEngine->LumGetLastAutoinc(handle, value);
        if (rc == 0 && autoincAnswer != 0) *value = autoincAnswer;
        return rc;
    };
    lum::TLumQuery& q = *a.query;
    lum::TLumTable& t = *a.table;
    q.SetEngine(engine);
    t.SetEngine(engine);
    struct Case {
        const char* name;
        lum::TLumDataSet& dataSet;
        std::function<void()> before;
        bool asked;
        UNSIGNED32 answer;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"query without a statement", q, [] {}, false, 0, 0},
        {"query after a SELECT", q, [&] { q.SetActive(true); }, true, 0, 0},
        {"closed query, statement kept", q, [&] { q.SetActive(false); }, true, 0, 0},
        {"the engine's value as it is", q, [] {}, true, 41, 41},
        {"query after an INSERT", q,
         [&] {
             q.SetSQL({"INSERT INTO ZTTRN ([Chart Number]) VALUES ('AAA00002')"});
             q.ExecSQL();
         },
         true, 0, 2},
        {"closed table", t, [] {}, false, 0, 0},
        {"open table", t, [&] { t.SetActive(true); }, true, 0, 0},
        {"open table after an append to its cursor", t,
         [&] {
             ASSERT_EQ(realEngine->LumAppendRecord(t.CursorHandle()), 0u);
             ASSERT_EQ(realEngine->LumSetField(t.CursorHandle(), "Chart Number",
                                               reinterpret_cast<const UNSIGNED8*>("AAA00003"), 8),
                       0u);
             ASSERT_EQ(realEngine->LumWriteRecord(t.CursorHandle()), 0u);
         },
         true, 0, 3},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        x.before();
        autoincAsked.clear();
        autoincAnswer = x.answer;
        EXPECT_EQ(x.dataSet.LastAutoinc(), x.expected);
        const LUMHANDLE handle = &x.dataSet == &q ? q.StatementHandle() : t.CursorHandle();
        EXPECT_EQ(autoincAsked, x.asked ? std::vector<LUMHANDLE>{handle} : std::vector<LUMHANDLE>{});
    }
    autoincAnswer = 0;
    autoincFails = true;
    try {
        q.LastAutoinc();
        ADD_FAILURE() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "qryPay: Injected failure");
    }
    autoincFails = false;
    t.SetActive(false);
    q.SetEngine(lum::DefaultEngine());
    t.SetEngine(lum::DefaultEngine());
}

}  // namespace
}  // namespace lumtest
