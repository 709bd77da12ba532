// Table files in use by another program and files left damaged or half
// written: locks are waited for and then named, each state of a file has
// its own code and text, the engine's structures are checked against each
// other where they are read, and reading leaves the folder as it was.
#include <sqlite3.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "tests/engine/fixture.h"
#include "tests/engine/second_process.h"

using namespace lcetest;
using lce::Value;

namespace {

constexpr int kRows = 40;

// T.LDT with kRows records (N descending, so index order differs from
// record order) in a dictionary ZTDDF.LDD with the user "user".
void makePractice(const TempDir& dir) {
    {
        auto t = lce::TableFile::create(dir.path("T.LDT"), numberedSchema());
        lce::TableFile::Transaction all(t);
        for (int n = kRows; n >= 1; --n) t.append({Value::ofInteger(n), Value::ofText("row " + std::to_string(n))});
        all.commit();
    }
    auto dd = lce::Dictionary::create(dir.path("ZTDDF.LDD"));
    dd.addUser("user", "pw");
    dd.addTable({"T", "T.LDT", 3, {}});
}

void sql(const std::string& file, const std::string& statement) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

struct Outcome {
    UNSIGNED32 code = 0;
    std::string text;
    std::vector<std::string> names;  // Name of every record read, in the order read
};

// Reads every record of T in index order, then in record order, through a
// dictionary connection; stops at the first failure.
Outcome readAll(const TempDir& dir, UNSIGNED32 sqlTimeout = 0) {
    Outcome out;
    LUMHANDLE conn = 0, table = 0, byN = 0;
    auto failed = [&](UNSIGNED32 rc) {
        if (rc == 0) return false;
        out.code = rc;
        out.text = lastErrorText();
        return true;
    };
    if (failed(LumConnect60(dir.path("ZTDDF.LDD").c_str(), 1, "user", "pw", 0, &conn))) return out;
    if (sqlTimeout) LumSetSQLTimeout(conn, sqlTimeout);
    const bool ok = !failed(LumOpenTable90(conn, "T", nullptr, LUM_LDT, 1, 1, 1, 0, "ANSI", &table)) &&
                    !failed(LumGetIndexHandle(table, "BYN", &byN));
    for (const LUMHANDLE order : {byN, table}) {
        if (!ok || out.code || failed(LumGotoTop(order))) break;
        for (;;) {
            UNSIGNED16 eof = 0;
            LumAtEOF(table, &eof);
            if (eof) break;
            UNSIGNED8 text[32] = {};
            UNSIGNED32 len = sizeof text;
            if (failed(LumGetField(table, "Name", text, &len, 0)) || failed(LumSkip(order, 1))) break;
            out.names.emplace_back(reinterpret_cast<const char*>(text), len);
        }
    }
    if (table) LumCloseTable(table);
    LumDisconnect(conn);
    return out;
}

std::vector<std::string> expectedNames() {
    std::vector<std::string> names;
    auto name = [](int n) {
        std::string s = "row " + std::to_string(n);
        return s + std::string(20 - s.size(), ' ');
    };
    for (int n = 1; n <= kRows; ++n) names.push_back(name(n));  // index order
    for (int n = kRows; n >= 1; --n) names.push_back(name(n));  // record order
    return names;
}

UNSIGNED32 countBySql(LUMHANDLE conn, UNSIGNED32 statementTimeout, std::string& error) {
    LUMHANDLE stmt = 0, cursor = 0;
    EXPECT_EQ(LumCreateSQLStatement(conn, &stmt), 0u);
    if (statementTimeout) LumSetSQLTimeout(stmt, statementTimeout);
    const UNSIGNED32 rc = LumExecuteSQLDirect(stmt, "SELECT count(*) FROM T", &cursor);
    if (rc) error = lastErrorText();
    LumCloseSQLStatement(stmt);
    return rc;
}

TEST(EngineFileStates, ALockHeldForAWhileIsWaitedForAndTheReadIsComplete) {
    TempDir dir;
    makePractice(dir);
    struct Case {
        const char* what;
        const char* lockedFile;
    };
    const Case cases[] = {{"table locked before it is opened", "T.LDT"},
                          {"dictionary locked before the connection", "ZTDDF.LDD"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LockHolder lock(dir.path(c.lockedFile), 1000);
        ASSERT_TRUE(lock.locked());
        const Outcome o = readAll(dir);
        EXPECT_EQ(o.code, 0u) << o.text;
        EXPECT_EQ(o.names, expectedNames());
    }
    // A statement reading a locked table waits as well.
    LUMHANDLE conn = 0;
    ASSERT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
    LockHolder lock(dir.path("T.LDT"), 1000);
    ASSERT_TRUE(lock.locked());
    std::string error;
    EXPECT_EQ(countBySql(conn, 0, error), 0u) << error;
    LumDisconnect(conn);
}

TEST(EngineFileStates, AReadThatMeetsALockMidScanWaitsAndGoesOn) {
    TempDir dir;
    makePractice(dir);
    LUMHANDLE conn = 0, byN = 0;
    ASSERT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
    const LUMHANDLE table = openTable(conn, "T.LDT");
    ASSERT_EQ(LumGetIndexHandle(table, "BYN", &byN), 0u);
    ASSERT_EQ(LumGotoTop(byN), 0u);
    ASSERT_EQ(LumSkip(byN, 9), 0u);
    std::vector<UNSIGNED32> numbers;
    {
        // The writer gets its lock once the idle scan's read has been ended;
        // the scan's next step waits for the writer's commit.
        LockHolder lock(dir.path("T.LDT"), 1000);
        ASSERT_TRUE(lock.locked());
        for (;;) {
            UNSIGNED16 eof = 0;
            LumAtEOF(table, &eof);
            if (eof) break;
            UNSIGNED32 recno = 0;
            ASSERT_EQ(LumGetRecordNum(table, 0, &recno), 0u) << lastErrorText();
            numbers.push_back(recno);
            ASSERT_EQ(LumSkip(byN, 1), 0u) << lastErrorText();
        }
    }
    ASSERT_EQ(numbers.size(), static_cast<std::size_t>(kRows - 9));
    for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<UNSIGNED32>(kRows - 9 - i));
    LumCloseTable(table);
    LumDisconnect(conn);
}

void expectLockMessage(UNSIGNED32 rc, const std::string& text, const std::string& file) {
    EXPECT_EQ(rc, static_cast<UNSIGNED32>(LUM_ERR_LOCKED)) << text;
    EXPECT_NE(text.find(file), std::string::npos) << text;
    EXPECT_NE(text.find("is locked by another program (waited 0.3 s); try again"), std::string::npos) << text;
    EXPECT_EQ(text.find("damaged"), std::string::npos) << text;
    EXPECT_EQ(text.find("database is locked"), std::string::npos) << text;
}

TEST(EngineFileStates, ALockHeldPastTheSqlTimeOutIsNamedAsALock) {
    TempDir dir;
    makePractice(dir);
    LockHolder lock(dir.path("T.LDT"), 1500);
    ASSERT_TRUE(lock.locked());
    {
        SCOPED_TRACE("table opened through a connection with a time-out");
        const Outcome o = readAll(dir, 300);
        expectLockMessage(o.code, o.text, "T.LDT");
    }
    LUMHANDLE conn = 0;
    ASSERT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
    std::string error;
    {
        SCOPED_TRACE("statement with its own time-out");
        expectLockMessage(countBySql(conn, 300, error), error, "T.LDT");
    }
    {
        SCOPED_TRACE("statement on a connection with a time-out");
        ASSERT_EQ(LumSetSQLTimeout(conn, 300), 0u);
        expectLockMessage(countBySql(conn, 0, error), error, "T.LDT");
    }
    LumDisconnect(conn);
}

TEST(EngineFileStates, ADictionaryLockedPastTheConnectionsTimeOutIsNamedAsALock) {
    TempDir dir;
    makePractice(dir);
    LUMHANDLE conn = 0, table = 0;
    ASSERT_EQ(LumConnect60(dir.path("ZTDDF.LDD").c_str(), 1, "user", "pw", 0, &conn), 0u) << lastErrorText();
    ASSERT_EQ(LumSetSQLTimeout(conn, 300), 0u);
    LockHolder lock(dir.path("ZTDDF.LDD"), 1000);
    ASSERT_TRUE(lock.locked());
    // Opening a table by name looks it up in the dictionary.
    const UNSIGNED32 rc = LumOpenTable90(conn, "T", nullptr, LUM_LDT, 1, 1, 1, 0, "ANSI", &table);
    expectLockMessage(rc, lastErrorText(), "Data dictionary " + dir.path("ZTDDF.LDD"));
    LumDisconnect(conn);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool folderTakesFiles(const std::string& folder) { return ::access(folder.c_str(), W_OK) == 0; }

TEST(EngineFileStates, EachStateOfAFileIsNamedAndReadingLeavesTheFolderAsItWas) {
    const std::string lead = "Open the practice once in its own software";
    struct Case {
        const char* what;
        std::function<void(const TempDir&)> harm;
        UNSIGNED32 code;                    // 0: every record is read
        std::vector<std::string> mentions;  // in the error text
    };
    const std::string noise(5000, '\x5a');
    const Case cases[] = {
        {"an image row deleted",
         [](const TempDir& d) { sql(d.path("T.LDT"), "DELETE FROM lce_images WHERE __recno = 7"); },
         LUM_ERR_DAMAGED,
         {"Record 7 of table", "T.LDT", "stored image is missing", "backup"}},
        {"a key row deleted",
         [](const TempDir& d) { sql(d.path("T.LDT"), "DELETE FROM lce_keys WHERE __recno = 7"); },
         LUM_ERR_DAMAGED,
         {"T.LDT is damaged", "40 records but index keys for 39", "backup"}},
        {"a field's catalog row deleted",
         [](const TempDir& d) { sql(d.path("T.LDT"), "DELETE FROM lce_columns WHERE name = 'Name'"); },
         LUM_ERR_DAMAGED,
         {"T.LDT is damaged", "catalog of fields"}},
        {"an index's catalog row deleted",
         [](const TempDir& d) { sql(d.path("T.LDT"), "DELETE FROM lce_indexes"); },
         LUM_ERR_DAMAGED,
         {"T.LDT is damaged", "catalog of indexes"}},
        {"page headers overwritten",
         [](const TempDir& d) {
             std::fstream f(d.path("T.LDT"), std::ios::in | std::ios::out | std::ios::binary);
             for (std::streamoff page = 1; page < 4; ++page) {
                 f.seekp(page * 16384);
                 f.put('\xff');
             }
         },
         LUM_ERR_DAMAGED,
         {"T.LDT is damaged", "backup"}},
        {"cut short",
         [](const TempDir& d) {
             std::filesystem::resize_file(d.path("T.LDT"), std::filesystem::file_size(d.path("T.LDT")) - 16384);
         },
         LUM_ERR_DAMAGED,
         {"T.LDT is damaged", "backup"}},
        {"not a table",
         [&](const TempDir& d) { writeFile(d.path("T.LDT"), noise); },
         LUM_ERR_NOT_A_TABLE,
         {"T.LDT is not a table file"}},
        {"not a dictionary",
         [&](const TempDir& d) { writeFile(d.path("ZTDDF.LDD"), noise); },
         LUM_ERR_NOT_A_DICTIONARY,
         {"ZTDDF.LDD is not a data dictionary"}},
        {"left mid-write: a hot journal beside it",
         [](const TempDir& d) { runWriter("stop-mid-write", d.path("T.LDT")); },
         LUM_ERR_NEEDS_WRITER,
         {"T.LDT was left mid-write", "T.LDT-journal", lead}},
        {"a write-ahead log without its shared memory",
         [&](const TempDir& d) { writeFile(d.path("T.LDT-wal"), noise); },
         LUM_ERR_NEEDS_WRITER,
         {"T.LDT was left mid-write", "T.LDT-wal", lead}},
        {"an empty write-ahead log", [](const TempDir& d) { writeFile(d.path("T.LDT-wal"), ""); }, 0, {}},
        {"a write-ahead log left with its shared memory",
         [](const TempDir& d) { runWriter("stop-mid-wal", d.path("T.LDT")); },
         0,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        makePractice(dir);
        c.harm(dir);
        const auto before = snapshot(dir.path());
        const Outcome o = readAll(dir);
        EXPECT_EQ(o.code, c.code) << o.text;
        for (const std::string& m : c.mentions) EXPECT_NE(o.text.find(m), std::string::npos) << o.text;
        if (c.code == 0) {
            EXPECT_EQ(o.names, expectedNames());
        }
        const auto after = snapshot(dir.path());
        EXPECT_EQ(fileNames(after), fileNames(before));
        EXPECT_TRUE(after == before) << "a file of the folder changed";
    }
}

// A record whose image is missing is met in every way a record is reached:
// by number, in an index's order (see above) and in record order, where the
// scan of the images alone would pass it by.
TEST(EngineFileStates, ARecordWithoutItsImageIsDamageWhereverItIsReached) {
    TempDir dir;
    makePractice(dir);
    sql(dir.path("T.LDT"), "DELETE FROM lce_images WHERE __recno = 7");
    LUMHANDLE conn = 0;
    ASSERT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
    const LUMHANDLE table = openTable(conn, "T.LDT");
    EXPECT_EQ(LumGotoRecord(table, 7), static_cast<UNSIGNED32>(LUM_ERR_DAMAGED));
    EXPECT_NE(lastErrorText().find("Record 7 of table"), std::string::npos) << lastErrorText();
    EXPECT_EQ(LumGotoRecord(table, 99), static_cast<UNSIGNED32>(LUM_ERR_RECORD_NOT_FOUND)) << lastErrorText();
    EXPECT_EQ(LumGotoTop(table), static_cast<UNSIGNED32>(LUM_ERR_DAMAGED));
    EXPECT_NE(lastErrorText().find("40 records but stored images for 39"), std::string::npos) << lastErrorText();
    UNSIGNED32 count = 0;
    EXPECT_EQ(LumGetRecordCount(table, 2, &count), static_cast<UNSIGNED32>(LUM_ERR_DAMAGED));
    LumCloseTable(table);
    LumDisconnect(conn);
}

// A file in write-ahead-log mode that no program has open holds all its
// rows; reading it in place would create its log and shared memory. In a
// folder that takes no files it is read as it is; elsewhere it is refused.
TEST(EngineFileStates, AWriteAheadLogTableIsReadOnlyWhereThatCreatesNothing) {
    TempDir dir;
    makePractice(dir);
    ASSERT_TRUE(runWriter("wal-mode", dir.path("T.LDT")));
    const auto before = snapshot(dir.path());
    std::filesystem::permissions(dir.path(),
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    const bool readOnlyFolder = !folderTakesFiles(dir.path());  // not so for root
    const Outcome o = readAll(dir);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    if (readOnlyFolder) {
        EXPECT_EQ(o.code, 0u) << o.text;
        EXPECT_EQ(o.names, expectedNames());
    } else {
        EXPECT_EQ(o.code, static_cast<UNSIGNED32>(LUM_ERR_NEEDS_WRITER)) << o.text;
        EXPECT_NE(o.text.find("T.LDT is kept in write-ahead-log mode"), std::string::npos) << o.text;
    }
    EXPECT_EQ(o.text.find("damaged"), std::string::npos) << o.text;
    EXPECT_TRUE(snapshot(dir.path()) == before) << fileNames(snapshot(dir.path()));
}

}  // namespace
