// The payment search's statement, translated and run on a small fixture that
// holds the cases the search must get right.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "engine/sql/functions.h"
#include "engine/sql/translate.h"
#include "tests/common/search_statement.h"
#include "tests/sql/sqlite_db.h"

namespace lce::sql {
namespace {

using testing::Exec;
using testing::OpenMemoryDb;
using testing::Prepare;

using testing_search::SearchStatement;

// Tables as the engine's views show them: character values without trailing
// blanks (blanks only = ''), doubles as REAL.
void BuildFixture(sqlite3* db) {
    Exec(db,
         "CREATE TABLE ZTTRN(\"Entry Number\" INTEGER PRIMARY KEY, \"Transaction Type\" TEXT,"
         " \"Amount\" REAL, \"Chart Number\" TEXT);"
         "CREATE TABLE ZTPAX(\"Payment Reference\" INTEGER, \"Charge Reference\" INTEGER,"
         " \"Payment Amount\" REAL);"
         // charges
         "INSERT INTO ZTTRN VALUES (100, 'A', 200.0, 'C1'), (101, 'B', 80.0, 'C1'),"
         " (102, 'A', 40.0, 'C2');"
         // 1: settled exactly by two applications
         "INSERT INTO ZTTRN VALUES (1, 'I', 100.0, 'C1');"
         "INSERT INTO ZTPAX VALUES (1, 100, 60.0), (1, 101, 40.0);"
         // 2: one application counts, the other names a charge that is gone
         "INSERT INTO ZTTRN VALUES (2, 'J', 50.0, 'C1');"
         "INSERT INTO ZTPAX VALUES (2, 100, 30.0), (2, 999, 20.0);"
         // 3: a payment without any application
         "INSERT INTO ZTTRN VALUES (3, 'K', 70.0, 'C2');"
         // 4: rounding only: 10.1 + 20.2 against 30.3
         "INSERT INTO ZTTRN VALUES (4, 'V', 30.3, 'C2');"
         "INSERT INTO ZTPAX VALUES (4, 102, 10.1), (4, 102, 20.2);"
         // 5: its only application names a missing charge
         "INSERT INTO ZTTRN VALUES (5, 'L', 20.0, 'C2');"
         "INSERT INTO ZTPAX VALUES (5, 998, 20.0);"
         // a charge named as payment reference is never examined
         "INSERT INTO ZTPAX VALUES (101, 100, 5.0);"
         // blank, lower-case and null types are no payment letters
         "INSERT INTO ZTTRN VALUES (6, '', 10.0, 'C3'), (7, 'i', 10.0, 'C3'), (8, NULL, 10.0, 'C3');"
         "INSERT INTO ZTPAX VALUES (6, 100, 10.0), (7, 100, 10.0), (8, 100, 10.0);"
         // 9: over-applied with a sign flip
         "INSERT INTO ZTTRN VALUES (9, 'S', -50.0, 'C3');"
         "INSERT INTO ZTPAX VALUES (9, 100, 50.0), (9, 101, 12.5);");
}

using Row = std::tuple<long long, double, double>;

TEST(SearchStatement, YieldsOneRowPerAppliedPayment) {
    const testing::DbPtr db = OpenMemoryDb();
    ASSERT_EQ(RegisterPracticeFunctions(db.get()), SQLITE_OK);
    BuildFixture(db.get());

    const Translation t = Translate(SearchStatement());
    EXPECT_EQ(t.tables, (std::vector<std::string>{"ZTTRN", "ZTPAX"}));
    EXPECT_TRUE(t.parameters.empty());
    const testing::StmtPtr stmt = Prepare(db.get(), t.sql);

    ASSERT_EQ(sqlite3_column_count(stmt.get()), 3);
    EXPECT_STREQ(sqlite3_column_name(stmt.get(), 0), "Entry Number");
    EXPECT_STREQ(sqlite3_column_name(stmt.get(), 1), "Amount");
    EXPECT_STREQ(sqlite3_column_name(stmt.get(), 2), "PayTotal");

    std::vector<Row> rows;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        EXPECT_EQ(sqlite3_column_type(stmt.get(), 2), SQLITE_FLOAT);  // a sum of doubles
        rows.emplace_back(sqlite3_column_int64(stmt.get(), 0), sqlite3_column_double(stmt.get(), 1),
                          sqlite3_column_double(stmt.get(), 2));
    }
    std::sort(rows.begin(), rows.end());
    const std::vector<Row> expected = {
        {1, 100.0, 100.0},
        {2, 50.0, 30.0},         // the application to charge 999 is not counted
        {4, 30.3, 10.1 + 20.2},  // exactly the double sum, one unit below 30.3
        {9, -50.0, 62.5},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_NE(std::get<2>(rows[2]), 30.3);
}

// What the engine needs to type the result columns.
TEST(SearchStatement, SelectListNamesTheSourceColumns) {
    const Translation t = Translate(SearchStatement());
    ASSERT_EQ(t.columns.size(), 3u);
    ASSERT_EQ(t.sources.size(), 3u);

    EXPECT_EQ(t.columns[0].kind, ItemKind::Column);
    EXPECT_EQ(t.columns[0].column.column, "Entry Number");
    EXPECT_EQ(t.columns[0].candidates, (std::vector<std::size_t>{0}));
    EXPECT_EQ(t.sources[0].name, "ZTTRN");

    EXPECT_EQ(t.columns[1].kind, ItemKind::Column);
    EXPECT_EQ(t.columns[1].column.column, "Amount");

    EXPECT_EQ(t.columns[2].kind, ItemKind::Sum);
    EXPECT_TRUE(t.columns[2].hasColumn);
    EXPECT_EQ(t.columns[2].column.column, "Payment Amount");
    EXPECT_EQ(t.columns[2].candidates, (std::vector<std::size_t>{0, 1, 2}));
}

// A plain translation of POSITION to instr would list the blank type.
TEST(SearchStatement, InstrTranslationWouldListTheBlankType) {
    const testing::DbPtr db = OpenMemoryDb();
    ASSERT_EQ(RegisterPracticeFunctions(db.get()), SQLITE_OK);
    BuildFixture(db.get());
    std::string naive = Translate(SearchStatement()).sql;
    const std::string call = "lce_position(\"pay\".\"Transaction Type\", 'IJKLMNOSTUV')";
    const std::size_t at = naive.find(call);
    ASSERT_NE(at, std::string::npos) << naive;
    naive.replace(at, call.size(), "instr('IJKLMNOSTUV', \"pay\".\"Transaction Type\")");
    const testing::StmtPtr stmt = Prepare(db.get(), naive);
    bool blankListed = false;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        blankListed = blankListed || sqlite3_column_int64(stmt.get(), 0) == 6;
    }
    EXPECT_TRUE(blankListed);
}

// Each marker is its own ordinal, also when a name repeats.
TEST(SearchStatement, ParametersBindByOrdinal) {
    const testing::DbPtr db = OpenMemoryDb();
    ASSERT_EQ(RegisterPracticeFunctions(db.get()), SQLITE_OK);
    BuildFixture(db.get());
    const Translation t = Translate(
        "Select [Entry Number] From ZTTRN\r\nWhere [Amount] > :limit and [Amount] < :limit\r\n"
        "and [Transaction Type] = :type\r\nOrder By 1\r\n");
    ASSERT_EQ(t.parameters, (std::vector<std::string>{"limit", "limit", "type"}));
    const testing::StmtPtr stmt = Prepare(db.get(), t.sql);
    ASSERT_EQ(sqlite3_bind_parameter_count(stmt.get()), 3);
    sqlite3_bind_double(stmt.get(), 1, 20.0);
    sqlite3_bind_double(stmt.get(), 2, 90.0);
    sqlite3_bind_text(stmt.get(), 3, "J", -1, SQLITE_STATIC);
    std::vector<long long> entries;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) entries.push_back(sqlite3_column_int64(stmt.get(), 0));
    EXPECT_EQ(entries, std::vector<long long>{2});
}

}  // namespace
}  // namespace lce::sql
