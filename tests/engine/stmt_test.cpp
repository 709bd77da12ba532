// What a statement keeps of its current row: the row's own values until it
// moves, and nothing once the statement is reset, whether through the
// statement or behind its back (the end of a read resets every statement of
// the connection).
#include <gtest/gtest.h>

#include <string>

#include "engine/src/sqlite_db.h"

namespace {

TEST(Statement, ARowsValuesAreItsOwnAndGoWithTheRow) {
    lce::Db db("", lce::Db::Mode::Memory);
    db.exec("CREATE TABLE t(k BLOB, n INTEGER); INSERT INTO t VALUES(x'6161', 1), (NULL, 2), (x'6363', 3)");
    lce::Stmt s(db, "SELECT k, n FROM t ORDER BY n");
    ASSERT_TRUE(s.step());
    EXPECT_EQ(s.blob(0), "aa");
    EXPECT_FALSE(s.isNull(0));
    EXPECT_EQ(s.blob(0), "aa");  // asked again on the same row
    ASSERT_TRUE(s.step());
    EXPECT_TRUE(s.isNull(0));
    EXPECT_EQ(s.blob(0), "");
    ASSERT_TRUE(s.step());
    EXPECT_EQ(s.blob(0), "cc");
    EXPECT_EQ(s.integer(1), 3);
    // Reset where the statement does not see it: no row, so nothing kept.
    sqlite3_reset(s.get());
    EXPECT_EQ(s.blob(0), "");
    EXPECT_TRUE(s.isNull(0));
    s.reset();
    ASSERT_TRUE(s.step());
    EXPECT_EQ(s.blob(0), "aa");
}

}  // namespace
