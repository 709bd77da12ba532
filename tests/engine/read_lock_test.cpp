// Read transactions held across calls, their release for writers, and the
// packed record images they read.
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "engine/src/image_codec.h"
#include "tests/engine/fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

lce::TableSchema numberedSchema() {
  lce::TableSchema schema;
  schema.columns = {col("N", 11), col("Name", 4, 20)};
  lce::IndexDef byN;
  byN.name = "ByN";
  byN.fields = {"N"};
  schema.indexes = {byN};
  return schema;
}

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

  // The writer waits at most its busy time-out (2 s) for the reader's lock;
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
    ASSERT_EQ(sqlite3_exec(raw, "UPDATE records SET __rec = x'05' WHERE __recno = 2", nullptr, nullptr, nullptr),
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
  LumCloseTable(table);
  LumDisconnect(conn);
}

TEST(EngineImageCodec, PackedImagesUnpackToTheSameBytes) {
  const std::string cases[] = {
      "",
      "a",
      "ab",
      "aaa",
      std::string(1000, ' '),                       // runs longer than one code
      std::string(2, '\0') + "x" + std::string(2, '\0'),  // pairs stay literal
      std::string(300, 'x') + std::string(129, 'y') + std::string(131, 'z'),
  };
  std::string alternating;
  for (int i = 0; i < 700; ++i) alternating += static_cast<char>(i % 251);  // literals longer than one code
  for (const std::string& image : {cases[0], cases[1], cases[2], cases[3], cases[4], cases[5], cases[6], alternating}) {
    SCOPED_TRACE(image.size());
    const std::string packed = lce::packImage(image);
    std::string back;
    ASSERT_TRUE(lce::unpackImage(packed, image.size(), back));
    EXPECT_EQ(back, image);
    if (!packed.empty()) {
      EXPECT_FALSE(lce::unpackImage(packed.substr(0, packed.size() - 1), image.size(), back));
      EXPECT_FALSE(lce::unpackImage(packed, image.size() + 1, back));
    }
  }
  EXPECT_LT(lce::packImage(std::string(1000, ' ')).size(), 20u);
}

}  // namespace
