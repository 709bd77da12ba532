// What a statement keeps of its current row: the row's own values until it
// moves, and nothing once the statement is reset, whether through the
// statement or behind its back (the end of a read resets every statement of
// the connection).
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "engine/src/error.h"
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

namespace {

// A write that finds the disk full says so in the engine's words, naming the
// file, whether it fails in a statement's step or in a script. The file may
// grow by only a few pages here, as on a disk with no room left.
TEST(Statement, AFullDiskIsNamedInTheEnginesWords) {
    const std::string path = testing::TempDir() + "full_disk_test.LDT";
    std::remove(path.c_str());
    {
        lce::Db db(path, lce::Db::Mode::Create);
        db.exec("PRAGMA page_size=4096; CREATE TABLE t(b BLOB); PRAGMA max_page_count=8");
        lce::Stmt insert(db, "INSERT INTO t VALUES(zeroblob(3000))");
        const auto check = [&](const std::function<void()>& write) {
            try {
                for (int i = 0; i < 100; ++i) write();
                ADD_FAILURE() << "the writes did not fail";
            } catch (const lce::Error& e) {
                const std::string text = e.what();
                EXPECT_EQ(e.code(), lce::kErrWriteFailed);
                EXPECT_NE(text.find(path + " could not be written: the disk that holds it is full"), std::string::npos)
                    << text;
                EXPECT_EQ(text.find("database or disk is full"), std::string::npos) << text;
            }
        };
        check([&] {
            insert.reset();
            insert.step();
        });
        check([&] { db.exec("INSERT INTO t VALUES(zeroblob(3000))"); });
    }
    std::remove(path.c_str());
}

}  // namespace
