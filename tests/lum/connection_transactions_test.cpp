// A connection's transactions and savepoints: refused without a connection,
// the engine calls and events each makes and in which order, the exception
// each failure raises, and a transaction begun and rolled back on a real
// practice, whose engine counts transactions.
#include "data/lum/errors.h"
#include "tests/lum/fixture.h"
#include "tests/lum/recording_engine.h"

namespace lumtest {
namespace {

using Calls = std::vector<std::string>;

// A query that notes when the connection asks it to drop a pending edit.
class NotingQuery : public lum::TLumQuery {
public:
    using lum::TLumQuery::TLumQuery;
    void CancelPendingEdit() override { Log().calls.push_back("CancelPendingEdit " + Name()); }
};

// The class and message of what `run` raises.
std::string RaisedBy(const std::function<void()>& run) {
    try {
        run();
    } catch (const fw::Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "(no exception)";
}

class Transactions : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPractice(dir, {{1, "I", -50.0}, {2, "A", 50.0}}, {{1, 2, 50.0}});
        conn.SetConnectPath(dir.path() + "\\ZTDDF.LDD");
        LUMTEST_RECORD(engine, LumBeginTransaction);
        LUMTEST_RECORD(engine, LumCommitTransaction);
        LUMTEST_RECORD(engine, LumRollbackTransaction);
        LUMTEST_RECORD(engine, LumRollbackTransaction80);
        LUMTEST_RECORD(engine, LumCreateSavepoint);
        LUMTEST_RECORD(engine, LumInTransaction);
        LUMTEST_RECORD(engine, LumGetTransactionCount);
        conn.SetEngine(engine);
        const auto note = [](const char* event) {
            return [event](lum::TLumConnection&) { Log().calls.emplace_back(event); };
        };
        conn.BeforeCommit = note("BeforeCommit");
        conn.AfterCommit = note("AfterCommit");
        conn.BeforeRollback = note("BeforeRollback");
        conn.AfterRollback = note("AfterRollback");
        pending.SetName("pending");
        pending.SetLumConnection(&conn);
        Log().Clear();
    }
    void TearDown() override { Log().Clear(); }

    TempDir dir;
    Components c;
    lum::TLumConnection& conn = *c.connection;
    LumFunctions engine = lum::DefaultEngine();
    NotingQuery pending;
};

TEST_F(Transactions, WithoutAConnectionEachIsRefusedWithoutAWordToTheEngine) {
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"BeginTransaction", [&] { conn.BeginTransaction(); }},
        {"Commit", [&] { conn.Commit(); }},
        {"Rollback", [&] { conn.Rollback(); }},
        {"InTransaction", [&] { conn.InTransaction(); }},
        {"TransactionCount", [&] { conn.TransactionCount(); }},
        {"CreateSavepoint", [&] { conn.CreateSavepoint("first"); }},
        {"RollbackToSavepoint", [&] { conn.RollbackToSavepoint("first"); }},
        {"RollbackToSavepoint without a name", [&] { conn.RollbackToSavepoint(""); }},
    };
    for (const auto& [name, run] : operations) {
        SCOPED_TRACE(name);
        EXPECT_EQ(RaisedBy(run), "LumConnectionError: No connection to Lumen server.");
        EXPECT_FALSE(conn.IsConnected());
    }
    EXPECT_EQ(Log().calls, Calls{});
}

TEST_F(Transactions, EachRunsItsEngineCallWithCommitAndRollbackInsideTheirSteps) {
    struct Step {
        const char* name;
        std::function<void()> run;
        Calls calls;
    };
    const Calls rollback = {"BeforeRollback", "CancelPendingEdit pending", "LumRollbackTransaction", "AfterRollback"};
    const Step steps[] = {
        {"begin", [&] { conn.BeginTransaction(); }, {"LumBeginTransaction"}},
        {"a savepoint", [&] { conn.CreateSavepoint("first"); }, {"LumCreateSavepoint(\"first\")"}},
        {"back to it", [&] { conn.RollbackToSavepoint("first"); }, {"LumRollbackTransaction80(\"first\")"}},
        {"the question", [&] { conn.InTransaction(); }, {"LumInTransaction"}},
        {"the count", [&] { conn.TransactionCount(); }, {"LumGetTransactionCount"}},
        {"back without a name is a rollback", [&] { conn.RollbackToSavepoint(""); }, rollback},
        {"begin again", [&] { conn.BeginTransaction(); }, {"LumBeginTransaction"}},
        {"commit", [&] { conn.Commit(); }, {"BeforeCommit", "LumCommitTransaction", "AfterCommit"}},
        {"begin once more", [&] { conn.BeginTransaction(); }, {"LumBeginTransaction"}},
        {"rollback", [&] { conn.Rollback(); }, rollback},
    };
    conn.SetIsConnected(true);
    for (const Step& x : steps) {
        SCOPED_TRACE(x.name);
        // A statement kept for reuse; commit and rollback close it first.
        conn.ExecuteSQL("SELECT * FROM ZTPAX", nullptr, nullptr, true);
        ASSERT_EQ(conn.CachedStatementCount(), 1u);
        Log().calls.clear();
        x.run();
        EXPECT_EQ(Log().calls, x.calls);
        const bool ends = x.calls.front() == "BeforeCommit" || x.calls.front() == "BeforeRollback";
        EXPECT_EQ(conn.CachedStatementCount(), ends ? 0u : 1u);
    }
}

TEST_F(Transactions, FailuresOfTheEngineRaiseWhatEachOperationReportsWith) {
    struct Case {
        const char* entry;
        std::function<void()> run;
        const char* exception;
        Calls calls;
    };
    const Case cases[] = {
        {"LumBeginTransaction", [&] { conn.BeginTransaction(); }, "LumError", {"LumBeginTransaction"}},
        {"LumCommitTransaction", [&] { conn.Commit(); }, "LumError", {"BeforeCommit", "LumCommitTransaction"}},
        {"LumRollbackTransaction",
         [&] { conn.Rollback(); },
         "LumError",
         {"BeforeRollback", "CancelPendingEdit pending", "LumRollbackTransaction"}},
        {"LumCreateSavepoint",
         [&] { conn.CreateSavepoint("first"); },
         "ELUMDatabaseError",
         {"LumCreateSavepoint(\"first\")"}},
        {"LumRollbackTransaction80",
         [&] { conn.RollbackToSavepoint("first"); },
         "ELUMDatabaseError",
         {"LumRollbackTransaction80(\"first\")"}},
        {"LumInTransaction", [&] { conn.InTransaction(); }, "ELUMDatabaseError", {"LumInTransaction"}},
        {"LumGetTransactionCount", [&] { conn.TransactionCount(); }, "ELUMDatabaseError", {"LumGetTransactionCount"}},
    };
    conn.SetIsConnected(true);
    for (const Case& x : cases) {
        SCOPED_TRACE(x.entry);
        Log().calls.clear();
        Log().failing = {{x.entry, LUM_ERR_TRANSACTION}};
        // Without a dataset the message is the engine's text alone.
        EXPECT_EQ(RaisedBy(x.run), std::string(x.exception) + ": " + InjectedText(x.entry));
        EXPECT_EQ(Log().calls, x.calls) << "a failure ends the steps";
    }
    Log().failing = {{"LumCreateSavepoint", LUM_ERR_TRANSACTION}};
    try {
        conn.CreateSavepoint("first");
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, LUM_ERR_TRANSACTION);
    }
}

// Transactions that nest and savepoints, counted on a real practice.
TEST_F(Transactions, ATransactionBegunAndRolledBackOnAPractice) {
    lum::TLumTable table;
    table.SetLumConnection(&conn);
    table.SetTableName("ZTTRN");
    table.SetIndexName("IDXENTRYNUMBER");
    table.SetActive(true);
    table.MoveToNext();
    ASSERT_EQ(table.FieldNamed("Entry Number").ValueAsInteger(), 2);

    EXPECT_FALSE(conn.InTransaction());
    EXPECT_EQ(conn.TransactionCount(), 0u);
    conn.BeginTransaction();
    EXPECT_TRUE(conn.InTransaction());
    EXPECT_EQ(conn.TransactionCount(), 1u);
    conn.BeginTransaction();
    EXPECT_EQ(conn.TransactionCount(), 2u);
    conn.CreateSavepoint("first");
    conn.RollbackToSavepoint("first");
    // The engine's own texts, which go on to name the connection.
    const std::string unknown = RaisedBy([&] { conn.RollbackToSavepoint("second"); });
    EXPECT_EQ(unknown.rfind("ELUMDatabaseError: Savepoint second does not exist", 0), 0u) << unknown;
    conn.Rollback();
    EXPECT_FALSE(conn.InTransaction());
    EXPECT_EQ(conn.TransactionCount(), 0u);
    EXPECT_TRUE(table.Active());
    EXPECT_EQ(table.FieldNamed("Entry Number").ValueAsInteger(), 2) << "refreshed on its record";

    const std::string refused = RaisedBy([&] { conn.Commit(); });
    EXPECT_EQ(refused.rfind("LumError: No transaction is active on connection", 0), 0u) << refused;
}

// The amounts of ZTTRN in entry order and the applications of ZTPAX, read
// afresh through tables of their own.
struct Ledger {
    std::vector<double> amounts;
    std::size_t applications = 0;
    bool operator==(const Ledger&) const = default;
};

Ledger ReadLedger(lum::TLumConnection& conn) {
    Ledger ledger;
    lum::TLumTable trn;
    trn.SetLumConnection(&conn);
    trn.SetTableName("ZTTRN");
    trn.SetIndexName("IDXENTRYNUMBER");
    trn.SetActive(true);
    for (; !trn.AtEnd(); trn.MoveToNext()) ledger.amounts.push_back(trn.FieldNamed("Amount").ValueAsFloat());
    lum::TLumTable pax;
    pax.SetLumConnection(&conn);
    pax.SetTableName("ZTPAX");
    pax.SetActive(true);
    for (; !pax.AtEnd(); pax.MoveToNext()) ++ledger.applications;
    return ledger;
}

// Edits on two tables of one dictionary: a rollback undoes both, a commit
// keeps both, and a savepoint undoes only what followed it.
TEST_F(Transactions, ARollbackUndoesEditsOnTwoTablesAndACommitKeepsThem) {
    const auto editBoth = [&](double amount) {
        lum::TLumTable trn;
        trn.SetLumConnection(&conn);
        trn.SetTableName("ZTTRN");
        trn.SetIndexName("IDXENTRYNUMBER");
        trn.SetActive(true);
        trn.Edit();
        trn.FieldNamed("Amount").SetValueAsFloat(amount);
        trn.Post();
        lum::TLumTable pax;
        pax.SetLumConnection(&conn);
        pax.SetTableName("ZTPAX");
        pax.SetActive(true);
        pax.Append();
        pax.FieldNamed("Payment Reference").SetValueAsInteger(2);
        pax.FieldNamed("Charge Reference").SetValueAsInteger(1);
        pax.FieldNamed("Payment Amount").SetValueAsFloat(amount);
        pax.Post();
    };
    const Ledger before = ReadLedger(conn);
    ASSERT_EQ(before, (Ledger{{-50.0, 50.0}, 1}));

    conn.BeginTransaction();
    editBoth(-75.0);
    EXPECT_EQ(ReadLedger(conn), (Ledger{{-75.0, 50.0}, 2})) << "the connection sees its own edits";
    conn.Rollback();
    EXPECT_EQ(ReadLedger(conn), before);

    conn.BeginTransaction();
    editBoth(-60.0);
    conn.CreateSavepoint("edited");
    editBoth(-99.0);
    conn.RollbackToSavepoint("edited");
    conn.Commit();
    const Ledger committed{{-60.0, 50.0}, 2};
    EXPECT_EQ(ReadLedger(conn), committed);

    // And another connection, opened afresh, reads the same.
    Components other;
    other.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
    EXPECT_EQ(ReadLedger(*other.connection), committed);
}

}  // namespace
}  // namespace lumtest
