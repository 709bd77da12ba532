// SQL statements: the search's query on a small practice, result names and
// types, parameters and the 7200 errors.
#include <algorithm>
#include <map>
#include <tuple>

#include "tests/common/search_statement.h"
#include "tests/engine/fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

std::string searchText() { return testing_search::SearchStatement(); }

class PracticeSql : public ::testing::Test {
protected:
    void SetUp() override {
        auto dd = lce::Dictionary::create(dir.path("ZTDDF.LDD"));
        dd.addUser("user", "brindlex");
        lce::TableSchema trn;
        trn.columns = {col("Entry Number", 15), col("Transaction Type", 4, 1), col("Amount", 10), col("Money", 18)};
        lce::IndexDef ix;
        ix.name = "IDXENTRYNUMBER";
        ix.fields = {"ENTRY NUMBER"};
        trn.indexes = {ix};
        {
            auto t = lce::TableFile::create(dir.path("ZTTRN.LDT"), trn);
            const std::tuple<const char*, Value> rows[] = {
                {"A", Value::ofDouble(100)},  // 1: a charge
                {"I", Value::ofDouble(-50)},  // 2: payment, applied 50 (sign flip)
                {"K", Value::ofDouble(100)},  // 3: over-applied 112.5, plus a dangling application
                {"S", Value::ofDouble(20)},   // 4: payment without application
                {" ", Value::ofDouble(5)},    // 5: blank type named as payment reference
                {"T", Value::null()},         // 6: payment without amount
            };
            for (const auto& [type, amount] : rows)
                t.append({Value::null(), Value::ofText(type), amount, Value::ofScaled(12345)});
        }
        lce::TableSchema pax;
        pax.columns = {col("Payment Reference", 11), col("Charge Reference", 11), col("Payment Amount", 10)};
        {
            auto t = lce::TableFile::create(dir.path("ZTPAX.LDT"), pax);
            const double apps[][3] = {{2, 1, 50}, {3, 1, 60}, {3, 1, 52.5}, {3, 99, 10}, {5, 1, 5}, {6, 1, 7}};
            for (const auto& a : apps)
                t.append({Value::ofInteger(static_cast<int>(a[0])), Value::ofInteger(static_cast<int>(a[1])),
                          Value::ofDouble(a[2])});
        }
        dd.addTable({"ZTTRN", "ZTTRN.LDT", 3, {}});
        dd.addTable({"ZTPAX", "ZTPAX.LDT", 3, {}});
        ASSERT_EQ(LumConnect60(dir.path("ZTDDF.LDD").c_str(), 3, "user", "brindlex", 0, &conn), 0u) << lastErrorText();
        ASSERT_EQ(LumCreateSQLStatement(conn, &stmt), 0u);
    }
    void TearDown() override { LumDisconnect(conn); }

    // Rows of a cursor as text per column, in cursor order.
    std::vector<std::vector<std::string>> rows(LUMHANDLE cursor) {
        std::vector<std::vector<std::string>> out;
        UNSIGNED16 n = 0;
        LumGetNumFields(cursor, &n);
        LumGotoBOF(cursor);
        for (LumSkip(cursor, 1);; LumSkip(cursor, 1)) {
            UNSIGNED16 eof = 0;
            LumAtEOF(cursor, &eof);
            if (eof) break;
            std::vector<std::string> row;
            for (UNSIGNED16 c = 1; c <= n; ++c) {
                char buf[100];
                UNSIGNED32 len = sizeof buf;
                EXPECT_EQ(LumGetField(cursor, LUM_FIELD_NUMBER(c), reinterpret_cast<UNSIGNED8*>(buf), &len, 0), 0u);
                UNSIGNED16 isNull = 0;
                LumIsNull(cursor, LUM_FIELD_NUMBER(c), &isNull);
                row.push_back(isNull ? "<null>" : std::string(buf, len));
            }
            out.push_back(row);
        }
        return out;
    }

    TempDir dir;
    LUMHANDLE conn = 0, stmt = 0;
};

TEST_F(PracticeSql, SearchQueryListsExactlyTheExaminedPaymentsWithNamesAndTypes) {
    ASSERT_EQ(LumPrepareSQL(stmt, searchText().c_str()), 0u) << lastErrorText();
    LUMHANDLE cursor = 0;
    ASSERT_EQ(LumExecuteSQL(stmt, &cursor), 0u) << lastErrorText();
    ASSERT_NE(cursor, 0u);
    const std::pair<const char*, UNSIGNED16> expected[] = {{"Entry Number", 15}, {"Amount", 10}, {"PayTotal", 10}};
    UNSIGNED16 n = 0;
    LumGetNumFields(cursor, &n);
    ASSERT_EQ(n, 3);
    for (UNSIGNED16 c = 1; c <= 3; ++c) {
        char name[130];
        UNSIGNED16 len = sizeof name;
        ASSERT_EQ(LumGetFieldName(cursor, c, name, &len), 0u);
        EXPECT_STREQ(name, expected[c - 1].first);
        UNSIGNED16 type = 0;
        LumGetFieldType(cursor, LUM_FIELD_NUMBER(c), &type);
        EXPECT_EQ(type, expected[c - 1].second) << name;
    }
    auto got = rows(cursor);
    std::sort(got.begin(), got.end(), [](const auto& a, const auto& b) { return std::stoi(a[0]) < std::stoi(b[0]); });
    const std::vector<std::vector<std::string>> want = {
        {"2", "-50", "50"}, {"3", "100", "112.5"}, {"6", "<null>", "7"}};
    EXPECT_EQ(got, want);
    UNSIGNED32 count = 0;
    ASSERT_EQ(LumGetRecordCount(cursor, 3, &count), 0u);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(LumGetRecordCount(stmt, 2, &count), 0u);
    EXPECT_EQ(count, 3u);
    UNSIGNED16 live = 1, type = 0;
    LumSqlPeekStatement(cursor, &live);
    EXPECT_EQ(live, 0);
    LumGetHandleType(stmt, &type);
    EXPECT_EQ(type, 4);
    LumGetTableType(cursor, &type);
    EXPECT_EQ(type, 3);
    // The cursor supports bookmarks and record numbers like a table.
    LumGotoBottom(cursor);
    UNSIGNED32 rec = 0;
    LumGetRecordNum(cursor, 2, &rec);
    EXPECT_EQ(rec, 3u);
    EXPECT_EQ(LumCloseTable(cursor), 0u);
}

TEST_F(PracticeSql, AggregatesKeepTheTypeOfTheirArgument) {
    LUMHANDLE cursor = 0;
    ASSERT_EQ(LumExecuteSQLDirect(stmt,
                                  "SELECT Sum([Money]) M, Count(*) C, Max([Transaction Type]) T, Sum([Entry Number]) S "
                                  "FROM ZTTRN",
                                  &cursor),
              0u)
        << lastErrorText();
    const UNSIGNED16 types[] = {18, 11, 4, 11};
    for (UNSIGNED16 c = 1; c <= 4; ++c) {
        UNSIGNED16 type = 0;
        LumGetFieldType(cursor, LUM_FIELD_NUMBER(c), &type);
        EXPECT_EQ(type, types[c - 1]) << c;
    }
    EXPECT_EQ(rows(cursor), (std::vector<std::vector<std::string>>{{"7.4070", "6", "T", "21"}}));
}

// The result's column types come from the values of all its rows: a text as
// wide as the widest, a 64-bit integer where one value needs it, nulls kept.
TEST_F(PracticeSql, ResultColumnsTakeTheirTypesFromAllRowsAndAreReachedByRecordNumber) {
    LUMHANDLE cursor = 0;
    ASSERT_EQ(LumExecuteSQLDirect(stmt,
                                  "SELECT [Entry Number] E, CASE WHEN [Entry Number] = 5 THEN 'longest' "
                                  "WHEN [Entry Number] = 2 THEN NULL ELSE 'x' END T, "
                                  "CASE WHEN [Entry Number] = 3 THEN 5000000000 ELSE [Entry Number] END B "
                                  "FROM ZTTRN",
                                  &cursor),
              0u)
        << lastErrorText();
    const UNSIGNED16 types[] = {15, lce::kCharacter, lce::kLongInteger};
    for (UNSIGNED16 c = 1; c <= 3; ++c) {
        UNSIGNED16 type = 0;
        LumGetFieldType(cursor, LUM_FIELD_NUMBER(c), &type);
        EXPECT_EQ(type, types[c - 1]) << c;
    }
    UNSIGNED32 length = 0;
    LumGetFieldLength(cursor, LUM_FIELD_NUMBER(2), &length);
    EXPECT_EQ(length, 7u);
    auto got = rows(cursor);
    std::sort(got.begin(), got.end(), [](const auto& a, const auto& b) { return std::stoi(a[0]) < std::stoi(b[0]); });
    const std::string x = "x      ";  // blank padded to the widest
    const std::vector<std::vector<std::string>> want = {{"1", x, "1"}, {"2", "<null>", "2"},  {"3", x, "5000000000"},
                                                        {"4", x, "4"}, {"5", "longest", "5"}, {"6", x, "6"}};
    EXPECT_EQ(got, want);
    for (UNSIGNED32 rec = 1; rec <= 6; ++rec) EXPECT_EQ(LumGotoRecord(cursor, rec), 0u) << rec;
    EXPECT_EQ(LumGotoRecord(cursor, 7), static_cast<UNSIGNED32>(LUM_ERR_RECORD_NOT_FOUND));
    EXPECT_EQ(LumCloseTable(cursor), 0u);
}

// A result of a few hundred rows keeps every row, in the statement's order,
// each under its own record number.
// A result is held in memory while it is read in record order, and written
// into SQL (in batches of 64 rows) once a filter needs it there. Both read
// the same, in both directions and by record number, and a cursor keeps its
// place across the move; a narrow record is held as it is, a wide one packed.
TEST_F(PracticeSql, ALargeResultKeepsEveryRowInOrder) {
    const std::string wide(70, 'w');
    for (const std::string& extra : {std::string(), wide}) {
        SCOPED_TRACE(extra.empty() ? "narrow records" : "wide records");
        LUMHANDLE cursor = 0;
        const std::string sql = "SELECT t.[Entry Number] E, p.[Payment Reference] P, q.[Charge Reference] C" +
                                (extra.empty() ? std::string() : ", '" + extra + "' W") +
                                " FROM ZTTRN t, ZTPAX p, ZTPAX q ORDER BY E, P, C";
        ASSERT_EQ(LumExecuteSQLDirect(stmt, sql.c_str(), &cursor), 0u) << lastErrorText();
        std::vector<std::vector<std::string>> want;
        for (int e = 1; e <= 6; ++e) {
            for (int p : {2, 3, 3, 3, 5, 6}) {
                for (int c : {1, 1, 1, 1, 1, 99}) {
                    want.push_back({std::to_string(e), std::to_string(p), std::to_string(c)});
                    if (!extra.empty()) want.back().push_back(extra);
                }
            }
        }
        std::stable_sort(want.begin(), want.end(), [](const auto& a, const auto& b) {
            return std::make_tuple(std::stoi(a[0]), std::stoi(a[1]), std::stoi(a[2])) <
                   std::make_tuple(std::stoi(b[0]), std::stoi(b[1]), std::stoi(b[2]));
        });
        const auto field = [&](int column) {
            char buf[20];
            UNSIGNED32 len = sizeof buf;
            EXPECT_EQ(LumGetField(cursor, LUM_FIELD_NUMBER(column), reinterpret_cast<UNSIGNED8*>(buf), &len, 0), 0u);
            return std::string(buf, len);
        };
        const auto recordNumber = [&] {
            UNSIGNED32 rec = 0;
            EXPECT_EQ(LumGetRecordNum(cursor, 0, &rec), 0u);
            return rec;
        };
        const auto readAll = [&](const char* when) {
            SCOPED_TRACE(when);
            EXPECT_EQ(rows(cursor), want);
            UNSIGNED32 count = 0;
            EXPECT_EQ(LumGetRecordCount(cursor, 1, &count), 0u);
            EXPECT_EQ(count, want.size());
            // Backwards from the last record, and past the first.
            ASSERT_EQ(LumGotoBottom(cursor), 0u);
            for (std::size_t i = want.size(); i >= 1; --i) {
                ASSERT_EQ(recordNumber(), i);
                EXPECT_EQ(field(3), want[i - 1][2]) << i;
                ASSERT_EQ(LumSkip(cursor, -1), 0u);
            }
            UNSIGNED16 bof = 0, eof = 0;
            LumAtBOF(cursor, &bof);
            LumAtEOF(cursor, &eof);
            EXPECT_TRUE(bof && !eof);
            for (UNSIGNED32 rec : {1u, 64u, 65u, 128u, 129u, 192u, 193u, 216u}) {
                ASSERT_EQ(LumGotoRecord(cursor, rec), 0u) << rec;
                EXPECT_EQ(field(3), want[rec - 1][2]) << rec;
            }
            EXPECT_EQ(LumGotoRecord(cursor, 217), static_cast<UNSIGNED32>(LUM_ERR_RECORD_NOT_FOUND));
            EXPECT_EQ(LumGotoRecord(cursor, 0), static_cast<UNSIGNED32>(LUM_ERR_RECORD_NOT_FOUND));
            LumAtEOF(cursor, &eof);
            EXPECT_TRUE(eof);
            ASSERT_EQ(LumGotoTop(cursor), 0u);
            ASSERT_EQ(LumSkip(cursor, 100), 0u);
            EXPECT_EQ(recordNumber(), 101u);
            EXPECT_EQ(LumSkip(cursor, 200), 0u);
            LumAtEOF(cursor, &eof);
            EXPECT_TRUE(eof);
        };
        readAll("held in memory");

        // A filter moves the rows into SQL while the cursor stands on record 100.
        ASSERT_EQ(LumGotoRecord(cursor, 100), 0u);
        ASSERT_EQ(LumSetFilter(cursor, "E = 3"), 0u) << lastErrorText();
        EXPECT_EQ(recordNumber(), 100u);
        EXPECT_EQ(field(3), want[99][2]);
        ASSERT_EQ(LumSkip(cursor, 1), 0u);
        EXPECT_EQ(recordNumber(), 101u);
        EXPECT_EQ(field(1), "3");
        UNSIGNED32 count = 0;
        ASSERT_EQ(LumGetRecordCount(cursor, 1, &count), 0u);
        EXPECT_EQ(count, 36u);
        ASSERT_EQ(LumClearFilter(cursor), 0u);
        readAll("written into SQL");
        EXPECT_EQ(LumCloseTable(cursor), 0u);
    }
}

TEST_F(PracticeSql, ParametersBindByOrdinal) {
    const char* sql = "SELECT [Amount] FROM ZTTRN WHERE [Entry Number] = :entry";
    char names[64];
    UNSIGNED16 len = sizeof names;
    ASSERT_EQ(LumGetSQLStmtParams(sql, names, &len), 0u);
    EXPECT_STREQ(names, "entry");
    len = sizeof names;
    EXPECT_EQ(LumGetSQLStmtParams("select 'unterminated", names, &len), 0u);
    ASSERT_EQ(LumPrepareSQL(stmt, sql), 0u) << lastErrorText();
    ASSERT_EQ(LumSetString(stmt, LUM_FIELD_NUMBER(1), "3", 1), 0u) << lastErrorText();
    EXPECT_EQ(LumSetString(stmt, LUM_FIELD_NUMBER(2), "3", 1), 5020u);
    LUMHANDLE cursor = 0;
    ASSERT_EQ(LumExecuteSQL(stmt, &cursor), 0u) << lastErrorText();
    EXPECT_EQ(rows(cursor), (std::vector<std::vector<std::string>>{{"100"}}));
}

// A marker left without a value refuses to run rather than read as null; an
// empty value is the way to ask for null.
TEST_F(PracticeSql, AParameterWithoutAValueStopsTheExecution) {
    const char* sql = "SELECT [Amount] FROM ZTTRN WHERE [Entry Number] = :entry OR [Transaction Type] = :type";
    struct Case {
        const char* name;
        bool setEntry, setType, emptyType;
        UNSIGNED32 rc;
        const char* mentions;  // in the failure's text
        std::size_t rows;
    };
    const Case cases[] = {
        {"none set", false, false, false, LUM_ERR_INVALID_ARGUMENT, "Parameter 1 (:entry)", 0},
        {"second unset", true, false, false, LUM_ERR_INVALID_ARGUMENT, "Parameter 2 (:type)", 0},
        {"second empty", true, true, true, 0, "", 1},
        {"both set", true, true, false, 0, "", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(LumPrepareSQL(stmt, sql), 0u) << lastErrorText();
        if (c.setEntry) {
            ASSERT_EQ(LumSetString(stmt, LUM_FIELD_NUMBER(1), "3", 1), 0u);
        }
        if (c.setType && c.emptyType) {
            ASSERT_EQ(LumSetEmpty(stmt, ":type"), 0u);
        }
        if (c.setType && !c.emptyType) {
            ASSERT_EQ(LumSetString(stmt, "type", "S", 1), 0u);
        }
        LUMHANDLE cursor = 0;
        const UNSIGNED32 rc = LumExecuteSQL(stmt, &cursor);
        EXPECT_EQ(rc, c.rc) << lastErrorText();
        if (rc != 0) {
            EXPECT_NE(lastErrorText().find(c.mentions), std::string::npos) << lastErrorText();
            EXPECT_EQ(cursor, 0u);
            continue;
        }
        EXPECT_EQ(rows(cursor).size(), c.rows);
        LumCloseTable(cursor);
    }
}

TEST_F(PracticeSql, ErrorsCarryNativeErrorAndNameWhatIsMissing) {
    struct Case {
        const char* sql;
        const char* mentions;
    };
    const Case cases[] = {{"SELECT [Amount] FROM NOSUCH", "NOSUCH"},
                          {"SELECT pay.[No Such Column] FROM ZTTRN pay", "No Such Column"},
                          {"SELECT [No Such Column] FROM ZTTRN", "No Such Column"},
                          {"SELECT FROM WHERE", "NativeError = "},
                          {"DELETE FROM NOSUCH", "NOSUCH"},
                          {"UPDATE ZTTRN SET [No Such Column] = 1", "No Such Column"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        LUMHANDLE cursor = 0;
        const UNSIGNED32 rc = LumExecuteSQLDirect(stmt, c.sql, &cursor);
        EXPECT_EQ(rc, 7200u);
        const std::string text = lastErrorText();
        EXPECT_NE(text.find("Error 7200:"), std::string::npos) << text;
        EXPECT_NE(text.find("NativeError = "), std::string::npos) << text;
        EXPECT_NE(text.find(c.mentions), std::string::npos) << text;
    }
    // SQLite's parser takes fewer nested sub-queries than the dialect: said
    // in the engine's words with what to do. A syntax error names its token once.
    std::string nested = "SELECT [Amount] FROM ZTTRN WHERE ";
    for (int i = 0; i < 30; ++i) nested += "EXISTS (SELECT [Payment Reference] FROM ZTPAX WHERE ";
    nested += "[Payment Reference] = 1" + std::string(30, ')');
    const std::pair<std::string, std::string> worded[] = {{nested, "too complex for the SQL engine"},
                                                          {"SELECT FROM WHERE", "near"}};
    for (const auto& [sql, mentions] : worded) {
        LUMHANDLE cursor = 0;
        EXPECT_EQ(LumExecuteSQLDirect(stmt, sql.c_str(), &cursor), 7200u);
        const std::string text = lastErrorText();
        const auto at = text.find(mentions);
        EXPECT_NE(at, std::string::npos) << text;
        EXPECT_EQ(text.find(mentions, at + 1), std::string::npos) << text;
    }
    UNSIGNED32 count = 0;
    LUMHANDLE fresh = 0;
    LumCreateSQLStatement(conn, &fresh);
    EXPECT_EQ(LumGetRecordCount(fresh, 2, &count), 5117u);
    EXPECT_EQ(LumCloseSQLStatement(fresh), 0u);
    EXPECT_EQ(LumCloseSQLStatement(fresh), 5106u);
}

// The last auto-increment value is that of the last record the handle
// inserted: a statement's last INSERT (its last row), a table's last append,
// also asked through one of its indexes. Handles that inserted nothing - a
// fresh statement, one that ran a SELECT or an UPDATE, one whose INSERT went
// to a table without an auto-increment column, an SQL cursor, another table
// handle of the same table - answer 0; a handle of another kind or a closed
// one is refused.
TEST_F(PracticeSql, TheLastAutoIncrementValueIsThatOfTheHandlesLastInsert) {
    LUMHANDLE fresh = 0, cursor = 0, inserter = 0, updater = 0, noAutoinc = 0, table = 0, index = 0, other = 0,
              closed = 0, none = 0;
    ASSERT_EQ(LumCreateSQLStatement(conn, &fresh), 0u);
    ASSERT_EQ(LumExecuteSQLDirect(stmt, "SELECT [Entry Number] FROM ZTTRN", &cursor), 0u) << lastErrorText();
    ASSERT_EQ(LumCreateSQLStatement(conn, &inserter), 0u);
    ASSERT_EQ(LumExecuteSQLDirect(inserter, "INSERT INTO ZTTRN ([Transaction Type]) VALUES ('I'), ('J')", &none), 0u)
        << lastErrorText();
    ASSERT_EQ(LumCreateSQLStatement(conn, &updater), 0u);
    ASSERT_EQ(LumExecuteSQLDirect(updater, "UPDATE ZTTRN SET [Amount] = 1 WHERE [Entry Number] = 1", &none), 0u)
        << lastErrorText();
    ASSERT_EQ(LumCreateSQLStatement(conn, &noAutoinc), 0u);
    ASSERT_EQ(LumExecuteSQLDirect(noAutoinc, "INSERT INTO ZTPAX ([Payment Reference]) VALUES (7)", &none), 0u)
        << lastErrorText();
    ASSERT_EQ(LumOpenTable90(conn, "ZTTRN", nullptr, 0, 1, 1, 1, 0, "ANSI", &table), 0u) << lastErrorText();
    ASSERT_EQ(LumGetIndexHandle(table, "IDXENTRYNUMBER", &index), 0u) << lastErrorText();
    ASSERT_EQ(LumAppendRecord(table), 0u) << lastErrorText();
    ASSERT_EQ(LumSetField(table, "Transaction Type", reinterpret_cast<const UNSIGNED8*>("K"), 1), 0u)
        << lastErrorText();
    ASSERT_EQ(LumWriteRecord(table), 0u) << lastErrorText();
    ASSERT_EQ(LumOpenTable90(conn, "ZTTRN", nullptr, 0, 1, 1, 1, 0, "ANSI", &other), 0u) << lastErrorText();
    ASSERT_EQ(LumCreateSQLStatement(conn, &closed), 0u);
    ASSERT_EQ(LumCloseSQLStatement(closed), 0u);
    struct Case {
        const char* name;
        LUMHANDLE handle;
        UNSIGNED32 rc;
        UNSIGNED32 value;
    };
    const Case cases[] = {
        {"statement never run", fresh, 0, 0},
        {"statement after a SELECT", stmt, 0, 0},
        {"SQL cursor", cursor, 0, 0},
        {"statement of an INSERT of two records", inserter, 0, 8},
        {"statement of an UPDATE", updater, 0, 0},
        {"INSERT into a table without auto-increment", noAutoinc, 0, 0},
        {"table after an append", table, 0, 9},
        {"index of that table", index, 0, 9},
        {"another handle of the table", other, 0, 0},
        {"connection", conn, 5018, 77},
        {"closed statement", closed, 5018, 77},
        {"no handle", 0, 5018, 77},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UNSIGNED32 value = 77;
        EXPECT_EQ(LumGetLastAutoinc(c.handle, &value), c.rc);
        EXPECT_EQ(value, c.value);
    }
    EXPECT_EQ(LumGetLastAutoinc(stmt, nullptr), 5012u);
    EXPECT_EQ(LumGetFunctions()->LumGetLastAutoinc, &LumGetLastAutoinc);
    // The appended record and the inserted ones hold the values answered.
    LUMHANDLE check = 0;
    ASSERT_EQ(LumExecuteSQLDirect(stmt,
                                  "SELECT [Entry Number], [Transaction Type] FROM ZTTRN WHERE [Entry Number] > 6 "
                                  "ORDER BY [Entry Number]",
                                  &check),
              0u)
        << lastErrorText();
    EXPECT_EQ(rows(check), (std::vector<std::vector<std::string>>{{"7", "I"}, {"8", "J"}, {"9", "K"}}));
    LumCloseTable(check);
    LumCloseTable(cursor);
    LumCloseTable(other);
    LumCloseTable(table);
}

}  // namespace
