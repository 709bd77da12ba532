// Writes through SQL and transactions on a small practice dictionary: SQL
// INSERT, UPDATE and DELETE keep the engine's images and keys in step, a
// rollback undoes the writes to two tables, and reading leaves every file of
// the folder as it was, also after another connection wrote.
#include <algorithm>

#include "tests/engine/write_fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

class PracticeWrites : public ::testing::Test {
protected:
    void SetUp() override {
        auto dd = lce::Dictionary::create(dir.path("ZTDDF.LDD"));
        dd.addUser("user", "brindlex");
        lce::TableSchema trn;
        trn.columns = {col("Entry Number", 15), col("Chart", 4, 8), col("Amount", 10)};
        lce::IndexDef entry, chart;
        entry.name = "IDXENTRY";
        entry.fields = {"Entry Number"};
        entry.unique = true;
        chart.name = "BYCHART";
        chart.fields = {"Chart"};
        trn.indexes = {entry, chart};
        {
            auto t = lce::TableFile::create(dir.path("TRN.LDT"), trn);
            t.append({Value::null(), Value::ofText("M1"), Value::ofDouble(5)});
        }
        lce::TableSchema pax;
        pax.tableType = 2;
        pax.columns = {col("Ref", 11), col("Paid", 10)};
        lce::IndexDef ref;
        ref.name = "BYREF";
        ref.fields = {"Ref"};
        pax.indexes = {ref};
        {
            auto t = lce::TableFile::create(dir.path("PAX.DBF"), pax);
            t.append({Value::ofInteger(1), Value::ofDouble(5)});
        }
        dd.addTable({"TRN", "TRN.LDT", 3, {}});
        dd.addTable({"PAX", "PAX.DBF", 2, {}});
        conn = connect();
        ASSERT_EQ(LumCreateSQLStatement(conn, &stmt), 0u);
    }
    void TearDown() override { LumDisconnect(conn); }

    LUMHANDLE connect() {
        LUMHANDLE c = 0;
        EXPECT_EQ(LumConnect60(dir.path("ZTDDF.LDD").c_str(), 3, "user", "brindlex", 0, &c), 0u) << lastErrorText();
        return c;
    }

    UNSIGNED32 run(const std::string& sql) {
        LUMHANDLE cursor = 0;
        const UNSIGNED32 rc = LumExecuteSQLDirect(stmt, sql.c_str(), &cursor);
        EXPECT_EQ(cursor, 0u);
        return rc;
    }

    UNSIGNED32 changed() {
        UNSIGNED32 n = 0;
        EXPECT_EQ(LumGetRecordCount(stmt, 2, &n), 0u) << lastErrorText();
        return n;
    }

    // The value of one field of every record, in the order of an index (or
    // the natural order for an empty name).
    std::vector<std::string> inOrder(LUMHANDLE c, const char* table, const char* index, const char* field) {
        LUMHANDLE t = 0, order = 0;
        EXPECT_EQ(LumOpenTable90(c, table, nullptr, 0, 1, 1, 1, 2, "", &t), 0u) << lastErrorText();
        EXPECT_EQ(LumGetIndexHandle(t, index, &order), 0u);
        std::vector<std::string> values;
        for (UNSIGNED32 r : recordNumbers(t, order ? order : t)) {
            LumGotoRecord(t, r);
            char buf[64];
            UNSIGNED32 len = sizeof buf;
            LumGetField(t, field, reinterpret_cast<UNSIGNED8*>(buf), &len, 0);
            values.emplace_back(buf, len);
        }
        LumCloseTable(t);
        return values;
    }

    TempDir dir;
    LUMHANDLE conn = 0, stmt = 0;
};

}  // namespace

// INSERT (with and without a column list, from another table, with
// parameters), UPDATE and DELETE: index order, scopes, numbering and the
// stored images agree with the field columns afterwards.
TEST_F(PracticeWrites, SqlChangesKeepIndexOrderScopesAndImagesInStep) {
    ASSERT_EQ(run("INSERT INTO TRN ([Chart], [Amount]) VALUES ('C3', 30), ('A1', 10)"), 0u) << lastErrorText();
    EXPECT_EQ(changed(), 2u);
    ASSERT_EQ(run("INSERT INTO TRN VALUES (NULL, 'B2', 20)"), 0u) << lastErrorText();
    ASSERT_EQ(run("INSERT INTO PAX SELECT t.[Entry Number], t.[Amount] FROM TRN t WHERE t.[Amount] > 15"), 0u)
        << lastErrorText();
    EXPECT_EQ(changed(), 2u);
    ASSERT_EQ(run("UPDATE TRN SET [Chart] = 'Z9' WHERE [Amount] = 10"), 0u) << lastErrorText();
    ASSERT_EQ(run("DELETE FROM TRN WHERE [Chart] = 'B2'"), 0u) << lastErrorText();
    EXPECT_EQ(changed(), 1u);
    ASSERT_EQ(LumPrepareSQL(stmt, "UPDATE PAX SET [Paid] = :paid WHERE [Ref] = :ref"), 0u) << lastErrorText();
    ASSERT_EQ(LumSetDouble(stmt, "paid", 7.5), 0u);
    ASSERT_EQ(LumSetString(stmt, "ref", "1", 1), 0u);
    LUMHANDLE none = 0;
    ASSERT_EQ(LumExecuteSQL(stmt, &none), 0u) << lastErrorText();
    // The table changed, read again by the statement, shows its fields alone.
    ASSERT_EQ(run("INSERT INTO PAX SELECT * FROM PAX WHERE [Ref] = 1"), 0u) << lastErrorText();
    ASSERT_EQ(run("UPDATE TRN SET [Amount] = (SELECT MAX(x.[Amount]) FROM TRN x) WHERE [Chart] = 'M1'"), 0u)
        << lastErrorText();

    EXPECT_EQ(inOrder(conn, "TRN", "BYCHART", "Chart"), (std::vector<std::string>{"C3      ", "M1      ", "Z9      "}));
    EXPECT_EQ(inOrder(conn, "TRN", "IDXENTRY", "Entry Number"), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(inOrder(conn, "PAX", "BYREF", "Paid"), (std::vector<std::string>{"7.5", "7.5", "30", "20"}));
    EXPECT_EQ(inOrder(conn, "TRN", "IDXENTRY", "Amount"), (std::vector<std::string>{"30", "30", "10"}));
    // A scope over the chart index.
    LUMHANDLE t = 0, byChart = 0;
    ASSERT_EQ(LumOpenTable90(conn, "TRN", nullptr, 0, 1, 1, 1, 0, "", &t), 0u);
    ASSERT_EQ(LumGetIndexHandle(t, "BYCHART", &byChart), 0u);
    ASSERT_EQ(LumSetScope(byChart, 1, reinterpret_cast<const UNSIGNED8*>("D"), 1, 2), 0u);
    ASSERT_EQ(LumSetScope(byChart, 2, reinterpret_cast<const UNSIGNED8*>("Y"), 1, 2), 0u);
    EXPECT_EQ(recordNumbers(t, byChart), (std::vector<UNSIGNED32>{1}));
    UNSIGNED32 n = 0;
    LumGetRecordCount(byChart, 3, &n);
    EXPECT_EQ(n, 1u);
    LumCloseTable(t);
    // A statement reads what the statements before it wrote.
    LUMHANDLE cursor = 0;
    ASSERT_EQ(LumExecuteSQLDirect(stmt, "SELECT SUM([Amount]) FROM TRN", &cursor), 0u) << lastErrorText();
    LumGotoTop(cursor);
    char buf[32];
    UNSIGNED32 len = sizeof buf;
    LumGetField(cursor, LUM_FIELD_NUMBER(1), reinterpret_cast<UNSIGNED8*>(buf), &len, 0);
    EXPECT_EQ(std::string(buf, len), "70");
    LumCloseTable(cursor);
    expectConsistent(dir.path("TRN.LDT"));
    expectConsistent(dir.path("PAX.DBF"));
}

// A statement that does not fit the table (text too long, a duplicate in a
// unique index) fails as a whole: no record of it is left.
TEST_F(PracticeWrites, ASqlChangeThatDoesNotFitChangesNothing) {
    ASSERT_EQ(run("INSERT INTO TRN ([Chart], [Amount]) VALUES ('A', 1), ('B', 2)"), 0u) << lastErrorText();
    const auto before = storedRows(dir.path("TRN.LDT"), "SELECT * FROM lce_images");
    struct Case {
        const char* sql;
        UNSIGNED32 rc;
        const char* mentions;
    };
    const Case cases[] = {
        {"INSERT INTO TRN ([Chart]) VALUES ('C'), ('much too long')", LUM_ERR_INVALID_ARGUMENT, "Chart"},
        {"UPDATE TRN SET [Entry Number] = 1", LUM_ERR_DUPLICATE_KEY, "IDXENTRY"},
        {"UPDATE TRN SET [Amount] = 'many'", LUM_ERR_INVALID_ARGUMENT, "Amount"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(run(c.sql), c.rc);
        EXPECT_NE(lastErrorText().find(c.mentions), std::string::npos) << lastErrorText();
        EXPECT_EQ(storedRows(dir.path("TRN.LDT"), "SELECT * FROM lce_images"), before);
        expectConsistent(dir.path("TRN.LDT"));
    }
}

// A transaction over two tables: another connection sees nothing of it
// until it commits; rolling back to a savepoint undoes what came after it,
// rolling back undoes everything, on both tables.
TEST_F(PracticeWrites, ARollbackUndoesTheWritesToTwoTables) {
    const std::string imagesOf = "SELECT * FROM lce_images";
    const auto trnBefore = storedRows(dir.path("TRN.LDT"), imagesOf);
    const auto paxBefore = storedRows(dir.path("PAX.DBF"), imagesOf);
    LUMHANDLE trn = 0, pax = 0;
    ASSERT_EQ(LumOpenTable90(conn, "TRN", nullptr, 0, 1, 1, 1, 0, "", &trn), 0u);
    ASSERT_EQ(LumOpenTable90(conn, "PAX", nullptr, 0, 1, 1, 1, 0, "", &pax), 0u);
    ASSERT_EQ(LumBeginTransaction(conn), 0u);
    UNSIGNED16 in = 0;
    LumInTransaction(conn, &in);
    EXPECT_EQ(in, 1);
    ASSERT_EQ(LumAppendRecord(trn), 0u);
    ASSERT_EQ(LumSetString(trn, "Chart", "T1", 2), 0u);
    ASSERT_EQ(LumWriteRecord(trn), 0u) << lastErrorText();
    ASSERT_EQ(run("UPDATE PAX SET [Paid] = 99"), 0u) << lastErrorText();
    ASSERT_EQ(LumCreateSavepoint(conn, "half", 0), 0u) << lastErrorText();
    ASSERT_EQ(run("INSERT INTO TRN ([Chart]) VALUES ('T2')"), 0u) << lastErrorText();
    ASSERT_EQ(LumGotoTop(pax), 0u);
    ASSERT_EQ(LumDeleteRecord(pax), 0u);
    ASSERT_EQ(LumWriteRecord(pax), 0u) << lastErrorText();
    // This connection reads its own writes; another does not.
    EXPECT_EQ(inOrder(conn, "TRN", "BYCHART", "Chart"), (std::vector<std::string>{"M1      ", "T1      ", "T2      "}));
    const LUMHANDLE other = connect();
    EXPECT_EQ(inOrder(other, "TRN", "BYCHART", "Chart"), (std::vector<std::string>{"M1      "}));
    ASSERT_EQ(LumRollbackTransaction80(conn, "half", 0), 0u) << lastErrorText();
    EXPECT_EQ(inOrder(conn, "TRN", "BYCHART", "Chart"), (std::vector<std::string>{"M1      ", "T1      "}));
    EXPECT_EQ(inOrder(conn, "PAX", "BYREF", "Paid"), (std::vector<std::string>{"99"}));
    UNSIGNED16 deleted = 9;
    ASSERT_EQ(LumGotoTop(pax), 0u);
    LumIsRecordDeleted(pax, &deleted);
    EXPECT_EQ(deleted, 0);
    ASSERT_EQ(LumRollbackTransaction(conn), 0u) << lastErrorText();
    LumInTransaction(conn, &in);
    EXPECT_EQ(in, 0);
    EXPECT_EQ(storedRows(dir.path("TRN.LDT"), imagesOf), trnBefore);
    EXPECT_EQ(storedRows(dir.path("PAX.DBF"), imagesOf), paxBefore);
    EXPECT_EQ(inOrder(conn, "TRN", "BYCHART", "Chart"), (std::vector<std::string>{"M1      "}));
    expectConsistent(dir.path("TRN.LDT"));
    expectConsistent(dir.path("PAX.DBF"));
    // Committed, both tables keep the writes, for every connection.
    ASSERT_EQ(LumBeginTransaction(conn), 0u);
    ASSERT_EQ(LumBeginTransaction(conn), 0u);
    ASSERT_EQ(run("INSERT INTO TRN ([Chart]) VALUES ('K1')"), 0u) << lastErrorText();
    ASSERT_EQ(run("DELETE FROM PAX"), 0u) << lastErrorText();
    ASSERT_EQ(LumCommitTransaction(conn), 0u);
    UNSIGNED32 depth = 0;
    LumGetTransactionCount(conn, &depth);
    EXPECT_EQ(depth, 1u);
    EXPECT_EQ(inOrder(other, "TRN", "BYCHART", "Chart"), (std::vector<std::string>{"M1      "}));
    ASSERT_EQ(LumCommitTransaction(conn), 0u) << lastErrorText();
    EXPECT_EQ(inOrder(other, "TRN", "BYCHART", "Chart"), (std::vector<std::string>{"K1      ", "M1      "}));
    EXPECT_EQ(inOrder(other, "PAX", "BYREF", "Paid"), std::vector<std::string>{});
    EXPECT_EQ(LumCommitTransaction(conn), static_cast<UNSIGNED32>(LUM_ERR_TRANSACTION));
    LumDisconnect(other);
    LumCloseTable(trn);
    LumCloseTable(pax);
    expectConsistent(dir.path("TRN.LDT"));
    expectConsistent(dir.path("PAX.DBF"));
}

// Opening and reading every table (read-only or not, in every order, and
// through SQL) changes no byte of any file of the folder and adds none,
// before any write and after another connection wrote.
TEST_F(PracticeWrites, ReadingLeavesEveryFileOfTheFolderAsItWas) {
    const auto readEverything = [&] {
        const LUMHANDLE reader = connect();
        for (const char* table : {"TRN", "PAX"}) {
            for (UNSIGNED32 options : {0u, 2u}) {
                LUMHANDLE t = 0;
                ASSERT_EQ(LumOpenTable90(reader, table, nullptr, 0, 1, 1, 1, options, "", &t), 0u) << lastErrorText();
                UNSIGNED16 indexes = 0;
                LumGetNumIndexes(t, &indexes);
                for (UNSIGNED16 i = 0; i <= indexes; ++i) {
                    LUMHANDLE order = t;
                    if (i > 0) {
                        LUMHANDLE all[8];
                        UNSIGNED16 n = 8;
                        LumGetAllIndexes(t, all, &n);
                        order = all[i - 1];
                    }
                    for (UNSIGNED32 r : recordNumbers(t, order)) {
                        LumGotoRecord(t, r);
                        UNSIGNED8 image[256];
                        UNSIGNED32 len = sizeof image;
                        EXPECT_EQ(LumGetRecord(t, image, &len), 0u);
                        UNSIGNED16 flag = 0;
                        LumIsRecordDeleted(t, &flag);
                        LumIsRecordLocked(t, 0, &flag);
                    }
                }
                UNSIGNED16 locked = 9;
                LumIsTableLocked(t, &locked);
                EXPECT_EQ(locked, 0);
                LumCloseTable(t);
            }
        }
        LUMHANDLE s = 0, cursor = 0;
        ASSERT_EQ(LumCreateSQLStatement(reader, &s), 0u);
        ASSERT_EQ(LumExecuteSQLDirect(
                      s, "SELECT t.[Chart], p.[Paid] FROM TRN t, PAX p WHERE p.[Ref] = t.[Entry Number]", &cursor),
                  0u)
            << lastErrorText();
        LumDisconnect(reader);
    };
    auto before = snapshot(dir.path());
    readEverything();
    EXPECT_EQ(snapshot(dir.path()), before) << fileNames(snapshot(dir.path()));
    // Another connection writes both tables (and so makes their lock files).
    LUMHANDLE trn = 0;
    ASSERT_EQ(LumOpenTable90(conn, "TRN", nullptr, 0, 1, 1, 1, 0, "", &trn), 0u);
    ASSERT_EQ(LumAppendRecord(trn), 0u);
    ASSERT_EQ(LumWriteRecord(trn), 0u) << lastErrorText();
    ASSERT_EQ(LumLockRecord(trn, 1), 0u) << lastErrorText();
    ASSERT_EQ(run("UPDATE PAX SET [Paid] = 1"), 0u) << lastErrorText();
    before = snapshot(dir.path());
    EXPECT_EQ(fileNames(before), "PAX.DBF PAX.DBF.lck TRN.LDT TRN.LDT.lck ZTDDF.LDD ");
    readEverything();
    EXPECT_EQ(snapshot(dir.path()), before) << fileNames(snapshot(dir.path()));
    LumCloseTable(trn);
}
