// A grouped SELECT over a large table runs as two halves at once; its rows
// and their order are those of the statement run whole.
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/src/handles.h"
#include "engine/src/statement.h"
#include "tests/engine/fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

// The least size of a table split, for as long as it lives.
struct SplitFrom : ScopedEnv {
    explicit SplitFrom(const char* records) : ScopedEnv("LCE_SPLIT_MIN_RECORDS", records) {}
};

class SplitSql : public ::testing::Test {
protected:
    void SetUp() override {
        auto dd = lce::Dictionary::create(dir.path("ZTDDF.LDD"));
        dd.addUser("user", "brindlex");
        lce::TableSchema nums;
        nums.columns = {col("K", 11), col("V", 10), col("T", 4, 3)};
        lce::IndexDef byK;
        byK.name = "BYK";
        byK.fields = {"K"};
        lce::IndexDef byV = byK;
        byV.name = "BYV";
        byV.fields = {"V"};
        nums.indexes = {byK, byV};
        {
            auto t = lce::TableFile::create(dir.path("NUMS.LDT"), nums);
            // Nulls, negatives, the ends of the range and groups of several.
            const struct {
                std::optional<int> k;
                double v;
                const char* t;
            } rows[] = {{3, 1.5, "b"},  {std::nullopt, 2, "a"}, {-5, 4, "a"},           {2147483647, 8, "c"},
                        {3, 16, "a"},   {0, 32, "b"},           {-2147483647, 64, "c"}, {std::nullopt, 128, "a"},
                        {-5, 256, "a"}, {12, 512, "b"},         {3, -1, "b"},           {7, 0, "c"}};
            for (const auto& r : rows)
                t.append({r.k ? Value::ofInteger(*r.k) : Value::null(), Value::ofDouble(r.v), Value::ofText(r.t)});
        }
        dd.addTable({"NUMS", "NUMS.LDT", 3, {}});
        ASSERT_EQ(LumConnect60(dir.path("ZTDDF.LDD").c_str(), 3, "user", "brindlex", 0, &conn), 0u) << lastErrorText();
        ASSERT_EQ(LumCreateSQLStatement(conn, &stmt), 0u);
    }
    void TearDown() override { LumDisconnect(conn); }

    struct Run {
        std::vector<std::vector<std::string>> rows;
        bool halves = false;
    };

    // Runs the statement (its one parameter, if any, set to 0) and reads its rows in order.
    Run run(const std::string& sql) {
        Run out;
        EXPECT_EQ(LumPrepareSQL(stmt, sql.c_str()), 0u) << lastErrorText();
        char names[64];
        UNSIGNED16 len = sizeof names;
        if (LumGetSQLStmtParams(sql.c_str(), names, &len) == 0 && len > 0) {
            EXPECT_EQ(LumSetString(stmt, LUM_FIELD_NUMBER(1), "0", 1), 0u) << lastErrorText();
        }
        LUMHANDLE cursor = 0;
        EXPECT_EQ(LumExecuteSQL(stmt, &cursor), 0u) << lastErrorText();
        if (cursor == 0) return out;
        out.halves = lce::HandleRegistry::instance().get<lce::Statement>(stmt, "statement")->ranInHalves();
        UNSIGNED16 n = 0;
        LumGetNumFields(cursor, &n);
        LumGotoTop(cursor);
        for (UNSIGNED16 eof = 0; LumAtEOF(cursor, &eof) == 0 && !eof; LumSkip(cursor, 1)) {
            std::vector<std::string> row;
            for (UNSIGNED16 c = 1; c <= n; ++c) {
                char buf[64];
                UNSIGNED32 size = sizeof buf;
                UNSIGNED16 isNull = 0;
                LumGetField(cursor, LUM_FIELD_NUMBER(c), reinterpret_cast<UNSIGNED8*>(buf), &size, 0);
                LumIsNull(cursor, LUM_FIELD_NUMBER(c), &isNull);
                row.push_back(isNull ? "<null>" : std::string(buf, size));
            }
            out.rows.push_back(row);
        }
        LumCloseTable(cursor);
        return out;
    }

    TempDir dir;
    LUMHANDLE conn = 0, stmt = 0;
};

TEST_F(SplitSql, HalvesGiveTheRowsOfTheWholeInTheSameOrder) {
    struct Case {
        const char* sql;
        bool splits;  // with no least size for a split
    };
    const Case cases[] = {
        {"SELECT K, Count(*) N, Sum(V) S FROM NUMS GROUP BY K", true},
        {"SELECT K, T, Sum(V) S FROM NUMS WHERE V > :lo GROUP BY K, T HAVING Count(*) >= 1", true},
        {"SELECT n.T, Max(m.V) M FROM NUMS n, NUMS m WHERE n.K = m.K GROUP BY n.K, n.T", true},
        // Not an integer column, or none whose ends an SQL index gives: whole.
        {"SELECT T, Count(*) N FROM NUMS GROUP BY T", false},
        {"SELECT V, Count(*) N FROM NUMS GROUP BY V", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        const Run whole = run(c.sql);
        EXPECT_FALSE(whole.halves) << "a table of twelve records is run whole";
        ASSERT_FALSE(whole.rows.empty());
        const SplitFrom always("0");
        const Run split = run(c.sql);
        EXPECT_EQ(split.halves, c.splits);
        EXPECT_EQ(split.rows, whole.rows);
    }
    // The groups, the null one first, each where it belongs.
    const SplitFrom always("0");
    const Run grouped = run(cases[0].sql);
    ASSERT_TRUE(grouped.halves);
    const std::vector<std::vector<std::string>> want = {{"<null>", "2", "130"}, {"-2147483647", "1", "64"},
                                                        {"-5", "2", "260"},     {"0", "1", "32"},
                                                        {"3", "3", "16.5"},     {"7", "1", "0"},
                                                        {"12", "1", "512"},     {"2147483647", "1", "8"}};
    EXPECT_EQ(grouped.rows, want);
}

// A failure in either half fails the statement with the message it has run
// whole; the other half is stopped, not waited for.
TEST_F(SplitSql, AFailingHalfFailsTheStatementAsItFailsWhole) {
    for (const char* side : {"K > 0", "K < 0"}) {
        SCOPED_TRACE(side);
        const std::string sql = std::string("SELECT K, Sum(CASE WHEN ") + side +
                                " THEN 9223372036854775807 ELSE 1 END) S FROM NUMS GROUP BY K";
        std::string messages[2];
        for (int split = 0; split < 2; ++split) {
            const SplitFrom from(split ? "0" : "1000000");
            ASSERT_EQ(LumPrepareSQL(stmt, sql.c_str()), 0u) << lastErrorText();
            LUMHANDLE cursor = 0;
            EXPECT_EQ(LumExecuteSQL(stmt, &cursor), 7200u);
            EXPECT_EQ(cursor, 0u);
            messages[split] = lastErrorText();
        }
        EXPECT_NE(messages[0].find("integer overflow"), std::string::npos) << messages[0];
        EXPECT_EQ(messages[1], messages[0]);
    }
}

}  // namespace
