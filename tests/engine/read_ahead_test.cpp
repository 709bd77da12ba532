// A forward stream read ahead on a second thread: the rows it gives are the
// statement's own, a failure comes where the statement would meet it, and
// its read ends with the table's, so writers are not held off.
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/src/read_ahead.h"
#include "engine/src/table_store.h"
#include "tests/engine/fixture.h"
#include "tests/engine/second_process.h"

using namespace lcetest;
using lce::Value;

namespace {

// The stream of the index ByN (its keys in column __k1) as a cursor runs it
// from a row on: record number, packed image, key.
constexpr const char* kStream =
    "SELECT k.__recno, r.__rec, k.__k1 FROM lce_keys AS k LEFT JOIN lce_images AS r ON r.__recno = k.__recno "
    "WHERE k.__k1 >= ?3 AND (k.__k1, k.__recno) > (?1, ?2) ORDER BY k.__k1, k.__recno";

struct Row {
    std::int64_t recno;
    std::string image, key;
    bool operator==(const Row&) const = default;
};

Row rowOf(const lce::Stmt& s) { return {s.integer(0), std::string(s.blob(1)), std::string(s.blob(2))}; }

class ReadAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Keys with ties and gaps, appended out of order, more rows than the ring holds.
        auto t = lce::TableFile::create(path(), numberedSchema());
        lce::TableFile::Transaction fill(t);
        for (int i = 0; i < 1500; ++i)
            t.append({Value::ofInteger((i * 7919) % 1000), Value::ofText("row " + std::to_string(i))});
        fill.commit();
    }
    std::string path() const { return dir.path("T.LDT"); }

    // Every row of the stream from its first, stepped by the statement itself.
    std::vector<Row> allRows(const lce::TableStore& store) const {
        lce::Stmt s(store.db(), kStream);
        s.bindKey(1, "");
        s.bind(2, std::int64_t{0});
        s.bindKey(3, "");
        std::vector<Row> rows;
        while (s.step()) rows.push_back(rowOf(s));
        return rows;
    }

    TempDir dir;
};

TEST_F(ReadAheadTest, GivesTheStatementsOwnRowsFromWhereItStood) {
    auto store = lce::TableStore::open(path(), false);
    const auto lease = store->reading();
    const std::vector<Row> expected = allRows(*store);
    ASSERT_EQ(expected.size(), 1500u);

    for (std::size_t before : {std::size_t{1}, std::size_t{700}, std::size_t{1499}, std::size_t{1500}}) {
        SCOPED_TRACE(before);
        lce::Stmt s(store->db(), kStream);
        s.bindKey(1, "");
        s.bind(2, std::int64_t{0});
        s.bindKey(3, "");
        std::vector<Row> rows;
        while (rows.size() < before && s.step()) rows.push_back(rowOf(s));
        s.readAhead(lce::ReadAhead::start(store, kStream, s.blob(2), s.integer(0)));
        ASSERT_TRUE(s.readingAhead());
        // The row it stood on is still its own until it steps.
        EXPECT_EQ(rowOf(s), rows.back());
        while (s.step()) rows.push_back(rowOf(s));
        EXPECT_FALSE(s.step());
        EXPECT_EQ(rows, expected);
        // A reset goes back to the statement's own rows.
        s.reset();
        EXPECT_FALSE(s.readingAhead());
        s.bindKey(1, "");
        s.bind(2, std::int64_t{0});
        s.bindKey(3, "");
        ASSERT_TRUE(s.step());
        EXPECT_EQ(rowOf(s), expected.front());
    }
}

TEST_F(ReadAheadTest, AFailureComesWhereTheStatementMeetsIt) {
    // Overflows at the 600th record in key order.
    auto store = lce::TableStore::open(path(), false);
    const auto lease = store->reading();
    const std::vector<Row> all = allRows(*store);
    const std::string failing = "SELECT k.__recno, CASE WHEN k.__recno = " + std::to_string(all[599].recno) +
                                " THEN abs(-9223372036854775807 - 1) ELSE 0 END, k.__k1 FROM lce_keys AS k "
                                "WHERE (k.__k1, k.__recno) > (?1, ?2) ORDER BY k.__k1, k.__recno";
    const auto run = [&](bool ahead, std::string& error) {
        lce::Stmt s(store->db(), failing);
        s.bindKey(1, "");
        s.bind(2, std::int64_t{0});
        int rows = 0;
        try {
            while (s.step()) {
                if (++rows == 10 && ahead) {
                    s.readAhead(lce::ReadAhead::start(store, failing, s.blob(2), s.integer(0)));
                    EXPECT_TRUE(s.readingAhead());
                }
            }
        } catch (const lce::Error& e) {
            error = e.what();
        }
        return rows;
    };
    std::string own, ahead;
    EXPECT_EQ(run(false, own), 599);
    EXPECT_EQ(run(true, ahead), 599);
    EXPECT_NE(own.find("integer overflow"), std::string::npos) << own;
    EXPECT_EQ(ahead, own);
}

TEST_F(ReadAheadTest, ItsReadHoldsTheFileAndEndsWithTheTables) {
    auto store = lce::TableStore::open(path(), false);
    lce::Stmt s(store->db(), kStream);
    {
        // Held, the lease keeps the reaper from ending the read meanwhile.
        const auto lease = store->reading();
        s.bindKey(1, "");
        s.bind(2, std::int64_t{0});
        s.bindKey(3, "");
        ASSERT_TRUE(s.step());
        s.readAhead(lce::ReadAhead::start(store, kStream, s.blob(2), s.integer(0)));
        ASSERT_TRUE(s.readingAhead());
        ASSERT_TRUE(s.step());
        // Another program cannot write the file while it is read: starting
        // the read-ahead let go of no lock of the table's.
        EXPECT_EQ(tryLock(path()), 3);
    }
    // The table's read ends (as the reaper ends an idle one): the reader's
    // with it, so a writer gets in at once.
    EXPECT_TRUE(store->endReadIfIdle(std::chrono::steady_clock::now() + std::chrono::hours(1)));
    EXPECT_EQ(tryLock(path()), 0);
    // Its rows belong to a read that has ended: the cursor never steps on
    // into them; the statement, asked anyway, refuses past those read.
    EXPECT_THROW(
        {
            while (s.step()) {}
        },
        std::logic_error);
}

// A detail cursor's scopes one after another, as a master's rows set them,
// with a record written between two of them (so the read ends and the
// stream starts again): the same records read ahead (after two rows) as
// without.
TEST_F(ReadAheadTest, ADetailFollowingItsMasterReadsTheSameRecords) {
    const auto follow = [&](const char* after) {
        const ScopedEnv setting("LCE_READ_AHEAD_AFTER", after);
        const std::string name = std::string("F") + after + ".LDT";
        std::filesystem::copy_file(path(), dir.path(name));
        LUMHANDLE conn = 0, table = 0, byN = 0;
        EXPECT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
        table = openTable(conn, name);
        EXPECT_EQ(LumGetIndexHandle(table, "ByN", &byN), 0u);
        std::vector<std::string> seen;
        for (std::int32_t n = 0; n <= 1002; n += 3) {
            if (n == 501) {
                auto writer = lce::TableFile::openForAppend(dir.path(name));
                writer.append({Value::ofInteger(1002), Value::ofText("written")});
            }
            UNSIGNED8 key[64];
            UNSIGNED16 length = sizeof key;
            EXPECT_EQ(LumInitRawKey(byN), 0u);
            EXPECT_EQ(LumSetFieldRaw(byN, "N", reinterpret_cast<const UNSIGNED8*>(&n), 4), 0u);
            EXPECT_EQ(LumBuildRawKey(byN, key, &length), 0u);
            EXPECT_EQ(LumSetScope(byN, 1, key, length, 1), 0u) << lastErrorText();
            EXPECT_EQ(LumSetScope(byN, 2, key, length, 1), 0u) << lastErrorText();
            // The detail's first record, as a master's row shows it.
            EXPECT_EQ(LumGotoBOF(table), 0u);
            EXPECT_EQ(LumSkip(byN, 1), 0u) << lastErrorText();
            UNSIGNED16 eof = 0;
            LumAtEOF(table, &eof);
            EXPECT_FALSE(eof) << n;
            UNSIGNED32 recno = 0;
            LumGetRecordNum(table, 0, &recno);
            char name[32] = {};
            UNSIGNED32 nameLength = sizeof name;
            EXPECT_EQ(LumGetField(table, "Name", reinterpret_cast<UNSIGNED8*>(name), &nameLength, 0), 0u);
            seen.push_back(std::to_string(n) + " " + std::to_string(recno) + " " + name);
        }
        LumCloseTable(table);
        LumDisconnect(conn);
        return seen;
    };
    const std::vector<std::string> own = follow("0");
    ASSERT_EQ(own.size(), 335u);
    EXPECT_EQ(own.back().substr(0, 17), "1002 1501 written");
    EXPECT_EQ(follow("2"), own);
}

}  // namespace
