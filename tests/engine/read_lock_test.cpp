// Read transactions held across calls, their release for writers, and the
// packed record images they read.
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "engine/src/image_codec.h"
#include "engine/src/table_store.h"
#include "tests/engine/fixture.h"
#include "tests/engine/second_process.h"

using namespace lcetest;
using lce::Value;

namespace {

std::vector<UNSIGNED32> restOfOrder(LUMHANDLE table, LUMHANDLE order) {
    std::vector<UNSIGNED32> out;
    for (;;) {
        EXPECT_EQ(LumSkip(order, 1), 0u) << lastErrorText();
        UNSIGNED16 eof = 0;
        LumAtEOF(table, &eof);
        if (eof) return out;
        UNSIGNED32 recno = 0;
        LumGetRecordNum(table, 0, &recno);
        out.push_back(recno);
    }
}

TEST(EngineReadLock, AnIdleReaderLetsWritersInAndThenSeesTheirRows) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("T.LDT"), numberedSchema());
        for (int n : {10, 20, 30, 40, 50}) t.append({Value::ofInteger(n), Value::ofText("row")});
    }
    LUMHANDLE conn = 0, table = 0, byN = 0;
    ASSERT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
    table = openTable(conn, "T.LDT");
    ASSERT_EQ(LumGetIndexHandle(table, "BYN", &byN), 0u);
    // Mid-scan: the cursor's statement and its read transaction are open.
    ASSERT_EQ(LumGotoTop(byN), 0u);
    ASSERT_EQ(LumSkip(byN, 1), 0u);
    UNSIGNED32 recno = 0;
    LumGetRecordNum(table, 0, &recno);
    ASSERT_EQ(recno, 2u);

    // The writer waits at most its lock wait (10 s) for the reader's lock;
    // it gets in because the idle reader's transaction is ended for it.
    {
        auto writer = lce::TableFile::openForAppend(dir.path("T.LDT"));
        EXPECT_NO_THROW(writer.append({Value::ofInteger(25), Value::ofText("new")}));
    }
    // The scan goes on from where it stood and sees the new row.
    EXPECT_EQ(restOfOrder(table, byN), (std::vector<UNSIGNED32>{6, 3, 4, 5}));
    UNSIGNED32 count = 0;
    ASSERT_EQ(LumGetRecordCount(table, 2 | 4, &count), 0u);
    EXPECT_EQ(count, 6u);

    // A reader in use keeps reading the same rows, also across a release.
    ASSERT_EQ(LumGotoTop(byN), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(restOfOrder(table, byN), (std::vector<UNSIGNED32>{2, 6, 3, 4, 5}));
    LumCloseTable(table);
    LumDisconnect(conn);
}

TEST(EngineReadLock, ADamagedStoredImageIsAClearError) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("T.LDT"), numberedSchema());
        for (int n : {1, 2, 3}) t.append({Value::ofInteger(n), Value::ofText("x")});
    }
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(dir.path("T.LDT").c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, "UPDATE lce_images SET __rec = x'05' WHERE __recno = 2", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    LUMHANDLE conn = 0;
    ASSERT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
    const LUMHANDLE table = openTable(conn, "T.LDT");
    EXPECT_EQ(LumGotoRecord(table, 1), 0u);
    EXPECT_EQ(LumGotoRecord(table, 2), 7017u);
    EXPECT_NE(lastErrorText().find("Record 2"), std::string::npos) << lastErrorText();
    EXPECT_NE(lastErrorText().find("T.LDT"), std::string::npos) << lastErrorText();
    // Navigation reads no image: it passes the damaged record, reading it fails.
    UNSIGNED8 image[256];
    UNSIGNED32 len = sizeof image;
    ASSERT_EQ(LumGotoTop(table), 0u);
    ASSERT_EQ(LumSkip(table, 1), 0u);
    UNSIGNED32 recno = 0;
    LumGetRecordNum(table, 0, &recno);
    EXPECT_EQ(recno, 2u);
    EXPECT_EQ(LumGetRecord(table, image, &len), 7017u);
    EXPECT_NE(lastErrorText().find("Record 2"), std::string::npos) << lastErrorText();
    UNSIGNED8 text[32];
    UNSIGNED32 textLen = sizeof text;
    EXPECT_EQ(LumGetField(table, "Name", text, &textLen, 0), 7017u);
    ASSERT_EQ(LumSkip(table, 1), 0u);
    len = sizeof image;
    EXPECT_EQ(LumGetRecord(table, image, &len), 0u) << lastErrorText();
    LumCloseTable(table);
    LumDisconnect(conn);
}

// Opening a table reads its file's header; a descriptor of the file closed
// outside SQLite would let go of the locks this process holds on it, so
// another program could write under a read in progress.
TEST(EngineReadLock, OpeningATableAgainKeepsTheLocksOfAReadInProgress) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("T.LDT"), numberedSchema());
        for (int n : {1, 2, 3}) t.append({Value::ofInteger(n), Value::ofText("x")});
    }
    auto first = lce::TableStore::open(dir.path("T.LDT"), false);
    const auto lease = first->reading();
    lce::Stmt read(first->db(), "SELECT count(*) FROM lce_images");
    ASSERT_TRUE(read.step());
    ASSERT_EQ(tryLock(dir.path("T.LDT")), 3);
    auto second = lce::TableStore::open(dir.path("T.LDT"), false);
    EXPECT_EQ(tryLock(dir.path("T.LDT")), 3);
}

// Navigation only notes where the current record's image is stored; it is
// read when asked for, from the cursor's statement while that still stands
// on the record, else looked up again (the reaper ends idle reads, which
// resets the statement).
TEST(EngineReadLock, TheRecordReadIsTheOneNavigatedToAlsoAfterItsReadEnded) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("T.LDT"), numberedSchema());
        for (const auto& [n, name] : {std::pair{30, "thirty"}, {10, "ten"}, {20, "twenty"}})
            t.append({Value::ofInteger(n), Value::ofText(name)});
    }
    LUMHANDLE conn = 0, byN = 0;
    ASSERT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
    const LUMHANDLE table = openTable(conn, "T.LDT");
    ASSERT_EQ(LumGetIndexHandle(table, "BYN", &byN), 0u);
    UNSIGNED32 size = 0, offset = 0;
    ASSERT_EQ(LumGetRecordLength(table, &size), 0u);
    ASSERT_EQ(LumGetFieldOffset(table, "Name", &offset), 0u);
    struct Case {
        const char* what;
        LUMHANDLE order;
        bool idle;  // wait until the reaper has ended the read before reading
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"index order", byN, false, {"ten", "twenty", "thirty"}},
        {"index order, read ended", byN, true, {"ten", "twenty", "thirty"}},
        {"natural order", table, false, {"thirty", "ten", "twenty"}},
        {"natural order, read ended", table, true, {"thirty", "ten", "twenty"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(LumGotoTop(c.order), 0u);
        for (const std::string& name : c.names) {
            if (c.idle) std::this_thread::sleep_for(std::chrono::milliseconds(80));
            std::string image(size + 8, '#');
            UNSIGNED32 len = static_cast<UNSIGNED32>(image.size());
            ASSERT_EQ(LumGetRecord(table, reinterpret_cast<UNSIGNED8*>(image.data()), &len), 0u) << lastErrorText();
            EXPECT_EQ(len, size);
            EXPECT_EQ(image.substr(offset, name.size() + 1), name + " ");
            EXPECT_EQ(image.substr(size), std::string(8, '#'));
            UNSIGNED8 text[32];
            UNSIGNED32 textLen = sizeof text;
            ASSERT_EQ(LumGetField(table, "Name", text, &textLen, 0), 0u) << lastErrorText();
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(text)), name + std::string(20 - name.size(), ' '));
            ASSERT_EQ(LumSkip(c.order, 1), 0u) << lastErrorText();
        }
        UNSIGNED16 eof = 0;
        LumAtEOF(table, &eof);
        EXPECT_TRUE(eof);
    }
    LumCloseTable(table);
    LumDisconnect(conn);
}

TEST(EngineImageCodec, PackedImagesUnpackToTheSameBytes) {
    auto distinct = [](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(i % 251);
        return s;
    };
    // Lengths around the limits of one token: literals of 255/256 bytes, runs
    // of 7/8 bytes (shorter ones stay literal) and 255/256/262/263 bytes.
    const std::string cases[] = {
        "",
        "a",
        "ab",
        "aaa",
        std::string(1000, ' '),                             // runs longer than one token
        std::string(2, '\0') + "x" + std::string(2, '\0'),  // pairs stay literal
        std::string(300, 'x') + std::string(129, 'y') + std::string(131, 'z'),
        distinct(700),  // literals longer than one token
        distinct(14) + std::string(7, 'r') + distinct(15) + std::string(8, 's') + "t",
        distinct(255) + std::string(255, 'u') + distinct(256) + std::string(256, 'v'),
        std::string(262, 'w') + "x" + std::string(263, 'y') + "zz",
        "x" + std::string(8, ' ') + "y" + std::string(2, ' '),
    };
    for (const std::string& image : cases) {
        SCOPED_TRACE(image.size());
        const std::string packed = lce::packImage(image);
        std::string back;
        ASSERT_TRUE(lce::unpackImage(packed, image.size(), back));
        EXPECT_EQ(back, image);
        // Unpacking into a buffer of exactly the image's size leaves the bytes
        // after it alone.
        std::string buffer(image.size() + 64, '#');
        ASSERT_TRUE(lce::unpackImage(packed, buffer.data(), image.size()));
        EXPECT_EQ(buffer.substr(0, image.size()), image);
        EXPECT_EQ(buffer.substr(image.size()), std::string(64, '#'));
        if (!packed.empty()) {
            EXPECT_FALSE(lce::unpackImage(packed.substr(0, packed.size() - 1), image.size(), back));
            EXPECT_FALSE(lce::unpackImage(packed, image.size() + 1, back));
            EXPECT_FALSE(lce::unpackImage(packed, image.size() - 1, back));
        }
    }
    EXPECT_LT(lce::packImage(std::string(1000, ' ')).size(), 20u);
}

TEST(EngineImageCodec, DamagedCodesAreRefusedWithoutWritingPastTheImage) {
    struct Case {
        const char* what;
        std::string packed;
    };
    const Case cases[] = {
        {"token cut after its first byte", std::string(1, '\x00')},
        {"run byte missing", std::string("\x00\x05", 2)},
        {"literal shorter than its length", std::string("\x03\x00"
                                                        "ab",
                                                        4)},
        {"run past the image", std::string("\x00\xFF"
                                           "x",
                                           3)},
        {"literal past the image", std::string("\x09\x00"
                                               "123456789",
                                               11) +
                                       '\0'},
        {"image too short", std::string("\x02\x00"
                                        "ab",
                                        4) +
                                '\0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string buffer(8 + 64, '#');
        EXPECT_FALSE(lce::unpackImage(c.packed, buffer.data(), 8));
        EXPECT_EQ(buffer.substr(8), std::string(64, '#'));
    }
}

}  // namespace
