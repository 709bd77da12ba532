// Conformance of the table operations on real table files.
#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <set>

#include "tests/engine/fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

std::string hex(const std::string& bytes) {
    static const char* d = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += d[b >> 4];
        out += d[b & 15];
    }
    return out;
}

struct Opened {
    LUMHANDLE conn = 0, table = 0;
    ~Opened() {
        if (table) LumCloseTable(table);
        if (conn) LumDisconnect(conn);
    }
};

void openFolder(const TempDir& dir, const std::string& name, UNSIGNED16 type, Opened& o) {
    ASSERT_EQ(LumConnect60(dir.path().c_str(), 3, nullptr, nullptr, 0, &o.conn), 0u) << lastErrorText();
    o.table = openTable(o.conn, name, type);
}

std::string columnBytes(LUMHANDLE table, UNSIGNED16 column) {
    UNSIGNED32 size = 0, offset = 0, length = 0;
    EXPECT_EQ(LumGetRecordLength(table, &size), 0u);
    std::string image(size, '\0');
    EXPECT_EQ(LumGetRecord(table, reinterpret_cast<UNSIGNED8*>(image.data()), &size), 0u) << lastErrorText();
    LumGetFieldOffset(table, LUM_FIELD_NUMBER(column), &offset);
    LumGetFieldLength(table, LUM_FIELD_NUMBER(column), &length);
    return image.substr(offset, length);
}

// One column type on one table type: the stored bytes, the null answer and
// the text the engine gives for a value.
struct EncodingCase {
    const char* label;
    std::uint16_t tableType;
    std::uint16_t type;
    std::uint32_t length;
    std::uint16_t decimals;
    Value value;
    bool null;
    const char* bytes;  // hex of the column bytes, "" = not checked
    const char* text;   // LumGetField, nullptr = not checked
};

TEST(EngineRecords, NullPatternAndEncodingOfEveryColumnType) {
    const EncodingCase cases[] = {
        {"ldt char value", 3, 4, 10, 0, Value::ofText("A1234"), false, "41313233342020202020", "A1234     "},
        {"ldt char blanks is not null", 3, 4, 3, 0, Value::ofText("   "), false, "202020", "   "},
        {"ldt char null is zeros", 3, 4, 3, 0, Value::null(), true, "000000", ""},
        {"ldt integer", 3, 11, 0, 0, Value::ofInteger(-2), false, "feffffff", "-2"},
        {"ldt integer null", 3, 11, 0, 0, Value::null(), true, "00000080", ""},
        {"ldt date 2000-01-01", 3, 3, 0, 0, Value::ofDate(2451545), false, "59682500", "20000101"},
        {"ldt date null", 3, 3, 0, 0, Value::null(), true, "00000000", ""},
        {"ldt double null pattern", 3, 10, 0, 0, Value::null(), true, "2000000000000080", ""},
        {"ldt double zero is a value", 3, 10, 0, 0, Value::ofDouble(0.0), false, "0000000000000000", "0"},
        {"ldt currency double", 3, 17, 0, 0, Value::ofDouble(12.5), false, "", "12.5"},
        {"ldt money", 3, 18, 0, 0, Value::ofScaled(1234567), false, "87d6120000000000", "123.4567"},
        {"ldt money null", 3, 18, 0, 0, Value::null(), true, "0000000000000080", ""},
        {"ldt logical", 3, 1, 0, 0, Value::ofLogical(true), false, "54", "T"},
        {"ldt logical null is blank", 3, 1, 0, 0, Value::null(), true, "20", ""},
        {"ldt short integer null", 3, 12, 0, 0, Value::null(), true, "0080", ""},
        {"ldt autoinc null", 3, 15, 0, 0, Value::ofInteger(7), false, "07000000", "7"},
        {"ldt time", 3, 13, 0, 0, Value::ofTime(3723004), false, "fcce3800", "01:02:03.004"},
        {"ldt time null", 3, 13, 0, 0, Value::null(), true, "ffffffff", ""},
        {"ldt timestamp", 3, 14, 0, 0, Value::ofTimestamp(2451545, 5), false, "5968250005000000",
         "20000101 00:00:00.005"},
        {"ldt timestamp null", 3, 14, 0, 0, Value::null(), true, "0000000000000000", ""},
        {"ldt numeric", 3, 2, 8, 2, Value::ofDouble(-3.5), false, "2020202d332e3530", "-3.50"},
        {"ldt numeric null", 3, 2, 4, 0, Value::null(), true, "00000000", ""},
        {"ldt compact date", 3, 9, 0, 0, Value::ofDate(2451545), false, "0fa021", "20000101"},
        {"ldt ci character", 3, 20, 2, 0, Value::ofText("ab"), false, "6162", "ab"},
        {"ldt 64-bit integer", 3, 21, 0, 0, Value::ofInteger(-1), false, "ffffffffffffffff", "-1"},
        {"ldt raw", 3, 16, 3, 0, Value::ofBinary(std::string("\x01\x02", 2)), false, "010200", nullptr},
        {"ldt varchar", 3, 23, 4, 0, Value::ofText("ab"), false, "61620000", "ab"},
        {"ldt varchar null", 3, 23, 4, 0, Value::null(), true, "", ""},
        {"ldt memo", 3, 5, 0, 0, Value::ofMemo("long text"), false, "01000000", "long text"},
        {"ldt memo null", 3, 5, 0, 0, Value::null(), true, "00000000", ""},
        {"cdx char blanks are null", 2, 4, 3, 0, Value::ofText(""), true, "202020", ""},
        {"cdx date as text", 2, 3, 0, 0, Value::ofDate(2451545), false, "3230303030313031", "20000101"},
        {"cdx numeric", 2, 2, 5, 1, Value::ofDouble(2.5), false, "2020322e35", "2.5"},
        {"cdx logical", 2, 1, 0, 0, Value::ofLogical(false), false, "46", "F"},
        {"cdx integer never null", 2, 11, 0, 0, Value::ofInteger(0), false, "00000000", "0"},
        {"ntx double", 1, 10, 0, 0, Value::ofDouble(1.0), false, "000000000000f03f", "1"},
        {"vfp integer null by flag", 4, 11, 0, 0, Value::null(), true, "00000000", ""},
        {"vfp integer value", 4, 11, 0, 0, Value::ofInteger(5), false, "05000000", "5"},
        {"vfp date null is blanks", 4, 3, 0, 0, Value::null(), true, "2020202020202020", ""},
        {"vfp timestamp stores ms - 1", 4, 14, 0, 0, Value::ofTimestamp(2451545, 6), false, "5968250005000000",
         "20000101 00:00:00.006"},
        {"vfp varchar", 4, 23, 4, 0, Value::ofText("ab"), false, "61622002", "ab"},
        {"vfp currency", 4, 17, 0, 0, Value::ofDouble(-1.25), false, "", "-1.25"},
        {"cdx char null is blanks", 2, 4, 3, 0, Value::null(), true, "202020", ""},
        {"ntx numeric null is blanks", 1, 2, 4, 0, Value::null(), true, "20202020", ""},
        {"cdx timestamp", 2, 14, 0, 0, Value::ofTimestamp(2451545, 5), false, "5968250005000000",
         "20000101 00:00:00.005"},
        {"cdx timestamp null is day 0", 2, 14, 0, 0, Value::null(), true, "0000000000000000", ""},
        {"ntx raw null is zeros", 1, 16, 2, 0, Value::null(), true, "0000", ""},
        {"cdx autoinc", 2, 15, 0, 0, Value::ofInteger(3), false, "03000000", "3"},
        {"cdx memo-like null", 2, 8, 0, 0, Value::null(), true, "00000000", ""},
        {"vfp char null is blanks", 4, 4, 3, 0, Value::null(), true, "202020", ""},
        {"vfp logical null is blank", 4, 1, 0, 0, Value::null(), true, "20", ""},
        {"vfp numeric null is blanks", 4, 2, 3, 0, Value::null(), true, "202020", ""},
        {"vfp varchar full", 4, 23, 2, 0, Value::ofText("ab"), false, "6162", "ab"},
        {"vfp varchar null", 4, 23, 4, 0, Value::null(), true, "20202000", ""},
        {"vfp varbinary", 4, 24, 4, 0, Value::ofBinary(std::string("\x01", 1)), false, "01000001", nullptr},
        {"vfp memo-like null", 4, 8, 0, 0, Value::null(), true, "00000000", ""},
        {"ldt varbinary null", 3, 24, 2, 0, Value::null(), true, "0000", ""},
    };
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        lce::TableSchema schema;
        schema.tableType = c.tableType;
        schema.columns = {col("F", c.type, c.length, c.decimals)};
        {
            auto t = lce::TableFile::create(dir.path("T.LDT"), schema);
            t.append({c.value});
        }
        Opened o;
        openFolder(dir, "T.LDT", c.tableType, o);
        ASSERT_EQ(LumGotoTop(o.table), 0u) << lastErrorText();
        UNSIGNED16 isNull = 9;
        ASSERT_EQ(LumIsNull(o.table, LUM_FIELD_NUMBER(1), &isNull), 0u) << lastErrorText();
        EXPECT_EQ(isNull != 0, c.null);
        if (*c.bytes) {
            EXPECT_EQ(hex(columnBytes(o.table, 1)), c.bytes);
        }
        if (c.text) {
            char buf[200];
            UNSIGNED32 len = sizeof buf;
            ASSERT_EQ(LumGetField(o.table, "f", reinterpret_cast<UNSIGNED8*>(buf), &len, 0), 0u) << lastErrorText();
            EXPECT_EQ(std::string(buf, len), c.text);
        }
        if (c.tableType == 4 && (c.type == 11)) {
            UNSIGNED32 size = 0;
            LumGetRecordLength(o.table, &size);
            std::string image(size, '\0');
            LumGetRecord(o.table, reinterpret_cast<UNSIGNED8*>(image.data()), &size);
            UNSIGNED16 nullFlag = 9;
            ASSERT_EQ(LumAccessVfpSystemField(o.table, LUM_FIELD_NUMBER(1), reinterpret_cast<UNSIGNED8*>(image.data()),
                                              1, &nullFlag),
                      0u);
            EXPECT_EQ(nullFlag != 0, c.null);
        }
    }
}

TEST(EngineRecords, OemCharactersAreConvertedToAnsi) {
    TempDir dir;
    lce::TableSchema schema;
    schema.charType = lce::kOem;
    schema.columns = {col("Name", 4, 4)};
    {
        auto t = lce::TableFile::create(dir.path("O.LDT"), schema);
        t.append({Value::ofText("M\xE4r")});  // "Mär" in code page 1252
    }
    Opened o;
    openFolder(dir, "O.LDT", 3, o);
    LumGotoTop(o.table);
    EXPECT_EQ(hex(columnBytes(o.table, 1)), "4d847220");  // 0x84 is ä in code page 437
    char buf[5];
    UNSIGNED32 len = sizeof buf;
    ASSERT_EQ(LumGetField(o.table, LUM_FIELD_NUMBER(1), reinterpret_cast<UNSIGNED8*>(buf), &len, 0), 0u);
    EXPECT_EQ(std::string(buf, len), "M\xE4r ");
    EXPECT_EQ(buf[4], '\0');
    UNSIGNED16 charType = 0;
    LumGetTableCharType(o.table, &charType);
    EXPECT_EQ(charType, 2);
}

// How a file stores its index keys: as text (this engine's files), or as
// blobs (files of the format version before, still read and written).
enum class StoredKeys { Text, Blob };

// Turns a table file of this engine into one of the version before: its
// keys blobs, its version 3.
void storeKeysAsBlobs(const std::string& path, int indexes) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    std::string sql = "UPDATE lce_meta SET value = '3' WHERE key = 'version'; UPDATE lce_keys SET ";
    for (int i = 1; i <= indexes; ++i)
        sql += (i > 1 ? ", " : "") + std::string("__k") + std::to_string(i) + " = CAST(__k" + std::to_string(i) +
               " AS BLOB)";
    EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
    sqlite3_close(raw);
}

// The storage classes of the keys of a table file ("blob", "text", "null").
std::set<std::string> keyStorage(const std::string& path, int indexes) {
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    std::set<std::string> out;
    for (int i = 1; i <= indexes; ++i) {
        sqlite3_stmt* q = nullptr;
        const std::string sql = "SELECT DISTINCT typeof(__k" + std::to_string(i) + ") FROM lce_keys";
        EXPECT_EQ(sqlite3_prepare_v2(raw, sql.c_str(), -1, &q, nullptr), SQLITE_OK);
        while (q && sqlite3_step(q) == SQLITE_ROW) out.insert(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)));
        sqlite3_finalize(q);
    }
    sqlite3_close(raw);
    return out;
}

// A table whose index on N has ties and nulls: N = 3, null, 1, 3, null, 2;
// its keys stored either way.
class IndexedTable : public ::testing::TestWithParam<StoredKeys> {
protected:
    void SetUp() override {
        lce::TableSchema schema;
        schema.columns = {col("Code", 4, 3), col("N", 11)};
        lce::IndexDef byN;
        byN.name = "ByN";
        byN.fields = {"n"};
        lce::IndexDef byNDesc = byN;
        byNDesc.name = "ByNDesc";
        byNDesc.descending = true;
        lce::IndexDef byCode;
        byCode.name = "BYCODE";
        byCode.fields = {"CODE", "N"};
        byCode.pageSize = 1024;
        lce::IndexDef evens;
        evens.name = "Small";
        evens.fields = {"N"};
        evens.condition = "\"N\" < 3";
        schema.indexes = {byN, byNDesc, byCode, evens};
        auto t = lce::TableFile::create(dir.path("IX.LDT"), schema);
        const std::pair<const char*, Value> rows[] = {{"B1", Value::ofInteger(3)}, {"A", Value::null()},
                                                      {"B2", Value::ofInteger(1)}, {"C", Value::ofInteger(3)},
                                                      {"", Value::null()},         {"B1", Value::ofInteger(2)}};
        for (const auto& [code, n] : rows) t.append({Value::ofText(code), n});
        if (GetParam() == StoredKeys::Blob) storeKeysAsBlobs(dir.path("IX.LDT"), 4);
        openFolder(dir, "IX", 3, o);
        for (const char* name : {"BYN", "BYNDESC", "BYCODE", "SMALL"}) {
            LUMHANDLE h = 0;
            ASSERT_EQ(LumGetIndexHandle(o.table, name, &h), 0u) << lastErrorText();
            ix.push_back(h);
        }
    }
    std::string rawKeyN(const Value& n) {
        EXPECT_EQ(LumInitRawKey(ix[0]), 0u);
        if (n.isNull()) {
            EXPECT_EQ(LumSetEmpty(ix[0], "N"), 0u) << lastErrorText();
        } else {
            const std::int32_t v = static_cast<std::int32_t>(n.integer);
            EXPECT_EQ(LumSetFieldRaw(ix[0], "N", reinterpret_cast<const UNSIGNED8*>(&v), 4), 0u) << lastErrorText();
        }
        UNSIGNED8 key[100];
        UNSIGNED16 len = sizeof key;
        EXPECT_EQ(LumBuildRawKey(ix[0], key, &len), 0u) << lastErrorText();
        return std::string(reinterpret_cast<char*>(key), len);
    }
    void scopeN(const Value& n) {
        const std::string key = rawKeyN(n);
        for (UNSIGNED16 end : {1, 2})
            ASSERT_EQ(LumSetScope(ix[0], end, reinterpret_cast<const UNSIGNED8*>(key.data()),
                                  static_cast<UNSIGNED16>(key.size()), 1),
                      0u)
                << lastErrorText();
    }
    TempDir dir;
    Opened o;
    std::vector<LUMHANDLE> ix;
};

INSTANTIATE_TEST_SUITE_P(Keys, IndexedTable, ::testing::Values(StoredKeys::Text, StoredKeys::Blob),
                         [](const ::testing::TestParamInfo<StoredKeys>& info) {
                             return info.param == StoredKeys::Text ? std::string("AsText") : std::string("AsBlobs");
                         });

// A record appended to the file goes into its key order, its keys stored as
// the file stores the others.
TEST_P(IndexedTable, AnAppendedRecordKeepsTheFilesKeyStorage) {
    const std::set<std::string> stored{GetParam() == StoredKeys::Text ? "text" : "blob", "null"};
    EXPECT_EQ(keyStorage(dir.path("IX.LDT"), 4), stored);
    {
        auto t = lce::TableFile::openForAppend(dir.path("IX.LDT"));
        t.append({Value::ofText("B15"), Value::ofInteger(2)});
    }
    EXPECT_EQ(keyStorage(dir.path("IX.LDT"), 4), stored);
    EXPECT_EQ(recordNumbers(o.table, ix[0]), (std::vector<UNSIGNED32>{2, 5, 3, 6, 7, 1, 4}));
    EXPECT_EQ(recordNumbers(o.table, ix[2]), (std::vector<UNSIGNED32>{5, 2, 6, 1, 7, 3, 4}));
    EXPECT_EQ(recordNumbers(o.table, ix[3]), (std::vector<UNSIGNED32>{3, 6, 7}));
}

TEST_P(IndexedTable, IndexOrderPutsNullsFirstAndTiesInRecordOrder) {
    EXPECT_EQ(recordNumbers(o.table, o.table), (std::vector<UNSIGNED32>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(recordNumbers(o.table, ix[0]), (std::vector<UNSIGNED32>{2, 5, 3, 6, 1, 4}));
    EXPECT_EQ(recordNumbers(o.table, ix[1]), (std::vector<UNSIGNED32>{1, 4, 6, 3, 2, 5}));
    // Empty code orders first like null; then B1 (N 2 before 3), B2, C.
    EXPECT_EQ(recordNumbers(o.table, ix[2]), (std::vector<UNSIGNED32>{5, 2, 6, 1, 3, 4}));
    // A conditional index holds only the rows that satisfy its condition.
    EXPECT_EQ(recordNumbers(o.table, ix[3]), (std::vector<UNSIGNED32>{3, 6}));
    // Backwards from the end and across BOF.
    ASSERT_EQ(LumGotoBottom(ix[0]), 0u);
    UNSIGNED32 rec = 0;
    LumGetRecordNum(o.table, 2, &rec);
    EXPECT_EQ(rec, 4u);
    EXPECT_EQ(LumSkip(ix[0], -5), 0u);
    LumGetRecordNum(o.table, 2, &rec);
    EXPECT_EQ(rec, 2u);
    EXPECT_EQ(LumSkip(ix[0], -1), 0u);
    UNSIGNED16 bof = 0, eof = 1;
    LumAtBOF(o.table, &bof);
    LumAtEOF(o.table, &eof);
    EXPECT_TRUE(bof);
    EXPECT_FALSE(eof);
    EXPECT_EQ(LumSkip(ix[0], 1), 0u);
    LumGetRecordNum(o.table, 2, &rec);
    EXPECT_EQ(rec, 2u);
}

TEST_P(IndexedTable, ScopesRestrictNavigationVisibilityAndCounting) {
    struct Case {
        const char* label;
        Value n;
        std::vector<UNSIGNED32> records;
    };
    const Case cases[] = {{"value with a tie", Value::ofInteger(3), {1, 4}},
                          {"single value", Value::ofInteger(2), {6}},
                          {"empty key finds the nulls", Value::null(), {2, 5}},
                          {"no such value", Value::ofInteger(9), {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        scopeN(c.n);
        ASSERT_EQ(LumGotoBOF(ix[0]), 0u);
        std::vector<UNSIGNED32> got;
        for (LumSkip(ix[0], 1);;) {
            UNSIGNED16 eof = 0;
            LumAtEOF(o.table, &eof);
            if (eof) break;
            UNSIGNED32 rec = 0;
            LumGetRecordNum(o.table, 2, &rec);
            got.push_back(rec);
            LumSkip(ix[0], 1);
        }
        EXPECT_EQ(got, c.records);
        UNSIGNED32 count = 0;
        ASSERT_EQ(LumGetRecordCount(ix[0], 3, &count), 0u);
        EXPECT_EQ(count, c.records.size());
        ASSERT_EQ(LumGetRecordCount(ix[0], 3 + 4, &count), 0u);
        EXPECT_EQ(count, c.records.size());
        ASSERT_EQ(LumGetRecordCount(ix[0], 2, &count), 0u);
        EXPECT_EQ(count, 6u);
        // A record outside the scope is not visible on the index.
        ASSERT_EQ(LumGotoRecord(o.table, 3), 0u);
        UNSIGNED16 visible = 9;
        ASSERT_EQ(LumIsRecordVisible(ix[0], &visible), 0u);
        EXPECT_EQ(visible, 0);
        ASSERT_EQ(LumIsRecordVisible(o.table, &visible), 0u);
        EXPECT_EQ(visible, 1);
    }
    UNSIGNED8 buf[64];
    UNSIGNED16 len = sizeof buf;
    EXPECT_EQ(LumGetScope(ix[0], 1, buf, &len), 0u);
    EXPECT_EQ(LumClearScope(ix[0], 1), 0u);
    len = sizeof buf;
    EXPECT_EQ(LumGetScope(ix[0], 1, buf, &len), 5038u);
    EXPECT_EQ(LumClearScope(ix[0], 1), 5038u);
    EXPECT_EQ(LumClearAllScopes(o.table), 0u);
    len = sizeof buf;
    EXPECT_EQ(LumGetScope(ix[0], 2, buf, &len), 5038u);
}

TEST_P(IndexedTable, TextScopeKeyIsAPrefixOfTheFirstSegment) {
    const char* b = "B";
    ASSERT_EQ(LumSetScope(ix[2], 1, reinterpret_cast<const UNSIGNED8*>(b), 1, 2), 0u) << lastErrorText();
    ASSERT_EQ(LumSetScope(ix[2], 2, reinterpret_cast<const UNSIGNED8*>(b), 1, 2), 0u);
    EXPECT_EQ(recordNumbers(o.table, ix[2]), (std::vector<UNSIGNED32>{6, 1, 3}));
    const char* b1 = "B1";
    ASSERT_EQ(LumSetScope(ix[2], 2, reinterpret_cast<const UNSIGNED8*>(b1), 2, 2), 0u);
    EXPECT_EQ(recordNumbers(o.table, ix[2]), (std::vector<UNSIGNED32>{6, 1}));
}

TEST_P(IndexedTable, BookmarksAndRecordNumbers) {
    ASSERT_EQ(LumGotoTop(ix[0]), 0u);
    LumSkip(ix[0], 2);  // record 3
    UNSIGNED32 len = 0;
    ASSERT_EQ(LumGetBookmarkLength(ix[0], &len), 0u);
    ASSERT_EQ(len, 4u);
    UNSIGNED8 bm[4], bm2[4];
    ASSERT_EQ(LumGetBookmark60(ix[0], bm, &len), 0u);
    std::uint32_t first = 0;
    std::memcpy(&first, bm, 4);
    EXPECT_EQ(first, 3u);
    UNSIGNED32 key = 0;
    ASSERT_EQ(LumGetKeyNum(ix[0], 2, &key), 0u);
    EXPECT_EQ(key, 3u);
    double pos = -1;
    ASSERT_EQ(LumGetRelKeyPos(ix[0], &pos), 0u);
    EXPECT_DOUBLE_EQ(pos, 0.4);
    LumGotoBottom(o.table);
    ASSERT_EQ(LumGetBookmark60(o.table, bm2, &len), 0u);
    SIGNED32 cmp = 0;
    ASSERT_EQ(LumCompareBookmarks(bm, bm2, &cmp), 0u);
    EXPECT_LT(cmp, 0);
    ASSERT_EQ(LumGotoBookmark(o.table, first), 0u);
    UNSIGNED32 rec = 0;
    LumGetRecordNum(o.table, 2, &rec);
    EXPECT_EQ(rec, 3u);
    // Skipping on the index continues from the bookmarked record.
    LumSkip(ix[0], 1);
    LumGetRecordNum(o.table, 2, &rec);
    EXPECT_EQ(rec, 6u);
    EXPECT_EQ(LumGotoRecord(o.table, 99), 5022u);
    EXPECT_NE(lastErrorText().find("IX.LDT"), std::string::npos);
    UNSIGNED16 eof = 0;
    LumAtEOF(o.table, &eof);
    EXPECT_TRUE(eof);
    ASSERT_EQ(LumSetRelKeyPos(ix[0], 1.0), 0u);
    LumGetRecordNum(o.table, 2, &rec);
    EXPECT_EQ(rec, 4u);
}

TEST_P(IndexedTable, IndexDescriptionsAndTheToleratedCodes) {
    UNSIGNED16 n = 0;
    ASSERT_EQ(LumGetNumIndexes(o.table, &n), 0u);
    EXPECT_EQ(n, 4);
    LUMHANDLE one[1] = {0};
    n = 1;
    EXPECT_EQ(LumGetAllIndexes(o.table, one, &n), 5005u);
    EXPECT_EQ(one[0], ix[0]);
    char name[64];
    UNSIGNED16 len = sizeof name;
    ASSERT_EQ(LumGetSegmentFieldname(ix[2], 1, name, &len), 0u);
    EXPECT_STREQ(name, "N");
    len = sizeof name;
    EXPECT_EQ(LumGetSegmentFieldname(ix[2], 2, name, &len), 5021u);
    // Answered without raising, and still there for LumGetLastError.
    EXPECT_EQ(lastErrorCode(), 5021u);
    EXPECT_NE(lastErrorText().find("has no segment 2"), std::string::npos) << lastErrorText();
    UNSIGNED16 yes = 0;
    LumIsIndexDescending(ix[1], &yes);
    EXPECT_EQ(yes, 1);
    UNSIGNED32 page = 0;
    LumGetIndexPageSize(ix[2], &page);
    EXPECT_EQ(page, 1024u);
    len = sizeof name;
    ASSERT_EQ(LumGetIndexCondition(ix[3], name, &len), 0u);
    EXPECT_STREQ(name, "\"N\" < 3");
    len = sizeof name;
    EXPECT_EQ(LumGetTableCollation(o.table, name, &len), 5025u);
    LUMHANDLE none = 1;
    ASSERT_EQ(LumGetIndexHandle(o.table, "", &none), 0u);
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(LumGetIndexHandle(o.table, "NOPE", &none), 5021u);
    EXPECT_NE(lastErrorText().find("NOPE"), std::string::npos);
    EXPECT_EQ(LumClearFilter(o.table), 5037u);
    LumGotoBOF(o.table);
    UNSIGNED16 visible = 9;
    EXPECT_EQ(LumIsRecordVisible(o.table, &visible), 5068u);
    EXPECT_EQ(LumRefreshRecord(o.table), 5068u);
}

TEST(EngineErrors, BadHandlesShortBuffersAndWrongArgumentsAreCodes) {
    TempDir dir;
    lce::TableSchema schema;
    schema.columns = {col("A Long Column Name", 11)};
    lce::TableFile::create(dir.path("E.LDT"), schema).append({Value::ofInteger(1)});
    Opened o;
    openFolder(dir, "E.LDT", 3, o);
    UNSIGNED16 flag = 0;
    EXPECT_EQ(LumAtEOF(0xDEAD, &flag), 5018u);
    EXPECT_NE(lastErrorText().find("57005"), std::string::npos);
    EXPECT_EQ(LumGotoTop(o.conn), 5018u);  // a connection is no table
    EXPECT_EQ(LumAtEOF(o.table, nullptr), 5012u);
    char small[4];
    UNSIGNED16 len = sizeof small;
    EXPECT_EQ(LumGetFieldName(o.table, 1, small, &len), 5005u);
    EXPECT_EQ(len, 18);
    len = sizeof small;
    EXPECT_EQ(LumGetFieldName(o.table, 2, small, &len), 5020u);
    EXPECT_EQ(LumGetFieldName(o.table, 0, small, &len), 5020u);
    UNSIGNED16 type = 0;
    EXPECT_EQ(LumGetFieldType(o.table, "missing", &type), 5020u);
    EXPECT_NE(lastErrorText().find("missing"), std::string::npos);
    LumGotoTop(o.table);
    UNSIGNED8 rec[2];
    UNSIGNED32 rlen = sizeof rec;
    EXPECT_EQ(LumGetRecord(o.table, rec, &rlen), 5005u);
    EXPECT_EQ(rlen, 4u);
    EXPECT_EQ(LumCloseTable(o.table), 0u);
    EXPECT_EQ(LumGotoTop(o.table), 5018u);
    o.table = 0;
    EXPECT_EQ(LumSetLastError(5054, "caller text"), 5054u);
    EXPECT_EQ(lastErrorCode(), 5054u);
    EXPECT_EQ(lastErrorText(), "caller text");
}

TEST(EngineErrors, BrokenFilesAndWrongTypesAreClearErrors) {
    TempDir dir;
    lce::TableSchema schema;
    schema.columns = {col("N", 11)};
    {
        auto t = lce::TableFile::create(dir.path("GOOD.LDT"), schema);
        lce::TableFile::Transaction tx(t);
        for (int i = 0; i < 3000; ++i) t.append({Value::ofInteger(i)});
        tx.commit();
    }
    schema.tableType = lce::kCdx;
    lce::TableFile::create(dir.path("CDX.DBF"), schema).append({Value::ofInteger(1)});
    std::filesystem::copy_file(dir.path("GOOD.LDT"), dir.path("CUT.LDT"));
    std::filesystem::resize_file(dir.path("CUT.LDT"), std::filesystem::file_size(dir.path("CUT.LDT")) / 2);
    std::ofstream(dir.path("TEXT.LDT")) << std::string(4096, 'x');
    // A table written by an engine of an older file format.
    std::filesystem::copy_file(dir.path("GOOD.LDT"), dir.path("OLD.LDT"));
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(dir.path("OLD.LDT").c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, "UPDATE lce_meta SET value = '2' WHERE key = 'version'", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    const auto before = std::filesystem::last_write_time(dir.path("GOOD.LDT"));
    LUMHANDLE conn = 0;
    ASSERT_EQ(LumConnect(dir.path().c_str(), &conn), 0u);
    struct Case {
        const char* name;
        UNSIGNED16 type;
        UNSIGNED32 code;
        const char* mentions;
    };
    const Case cases[] = {{"CUT.LDT", 3, 7017, "CUT.LDT"},
                          {"TEXT.LDT", 3, 7016, "TEXT.LDT"},
                          {"CDX.DBF", 3, 5030, "CDX.DBF"},
                          {"MISSING.LDT", 3, 7008, "MISSING.LDT"},
                          {"sub\\GOOD.LDT", 3, 7008, "sub/GOOD.LDT"},
                          {"OLD.LDT", 3, 7016, "OLD.LDT has format version 2; this engine reads versions 3 and 4"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LUMHANDLE t = 0;
        EXPECT_EQ(LumOpenTable90(conn, c.name, nullptr, c.type, 1, 1, 1, 0, "ANSI", &t), c.code);
        EXPECT_NE(lastErrorText().find(c.mentions), std::string::npos) << lastErrorText();
    }
    // Reading opens with both separators and changes nothing, also when the
    // table is opened for writing: the file is opened for writing, and its
    // lock file made, only by the first write.
    const std::string backslashed = dir.path() + "\\GOOD.LDT";
    LUMHANDLE t = 0;
    ASSERT_EQ(LumOpenTable90(conn, backslashed.c_str(), nullptr, 0, 1, 1, 1, 0, "", &t), 0u) << lastErrorText();
    UNSIGNED32 n = 0;
    LumGetRecordCount(t, 2, &n);
    EXPECT_EQ(n, 3000u);
    UNSIGNED32 options = 0;
    LumGetTableOpenOptions(t, &options);
    EXPECT_EQ(options, 0x60u) << "not read-only, may update and insert";
    LumCloseTable(t);
    EXPECT_EQ(std::filesystem::last_write_time(dir.path("GOOD.LDT")), before);
    EXPECT_FALSE(std::filesystem::exists(dir.path("GOOD.LDT-journal")));
    EXPECT_FALSE(std::filesystem::exists(dir.path("GOOD.LDT.lck")));
    LumDisconnect(conn);
}

TEST(EngineBuilder, ATransactionIsAllOrNothing) {
    TempDir dir;
    lce::TableSchema schema;
    schema.columns = {col("Id", 15), col("Name", 4, 3)};
    auto t = lce::TableFile::create(dir.path("B.LDT"), schema);
    t.append({Value::null(), Value::ofText("one")});
    {
        lce::TableFile::Transaction tx(t);
        t.append({Value::null(), Value::ofText("two")});
        EXPECT_THROW(t.append({Value::null(), Value::ofText("too long")}), lce::Error);
    }  // not committed: rolled back
    EXPECT_EQ(t.rowCount(), 1);
    lce::TableFile::Transaction tx(t);
    t.append({Value::null(), Value::ofText("two")});
    tx.commit();
    std::vector<lce::Row> rows;
    lce::TableFile::openForReading(dir.path("B.LDT")).forEachRow([&](std::int64_t, const lce::Row& r) {
        rows.push_back(r);
        return true;
    });
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], Value::ofInteger(2));  // auto-increment assigned
    EXPECT_EQ(rows[1][1], Value::ofText("two"));
}

}  // namespace

namespace {

// A record is stored in three tables of the file; an append that fails (here
// on a unique index) must leave none of its rows behind.
TEST(EngineBuilder, AFailedAppendLeavesNoPartOfTheRecord) {
    TempDir dir;
    lce::TableSchema schema = numberedSchema();
    schema.indexes[0].unique = true;
    {
        auto t = lce::TableFile::create(dir.path("U.LDT"), schema);
        t.append({Value::ofInteger(1), Value::ofText("one")});
        EXPECT_THROW(t.append({Value::ofInteger(1), Value::ofText("again")}), lce::Error);
        t.append({Value::ofInteger(2), Value::ofText("two")});
    }
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(dir.path("U.LDT").c_str(), &raw), SQLITE_OK);
    for (const char* table : {"records", "lce_images", "lce_keys"}) {
        SCOPED_TRACE(table);
        sqlite3_stmt* q = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(raw, (std::string("SELECT count(*) FROM ") + table).c_str(), -1, &q, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(q, 0), 2);
        sqlite3_finalize(q);
    }
    sqlite3_close(raw);
    auto t = lce::TableFile::openForReading(dir.path("U.LDT"));
    std::vector<std::string> names;
    t.forEachRow([&](std::int64_t, const lce::Row& row) {
        names.push_back(row[1].text);
        return true;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
}

// Appends reuse one statement and one buffer of keys from record to record:
// each record must still get its own values, nulls included, in its field
// columns and in its keys (an ascending and a descending index here).
TEST(EngineBuilder, EachAppendedRecordKeepsItsOwnValuesAndKeys) {
    TempDir dir;
    lce::TableSchema schema = numberedSchema();
    lce::IndexDef byName;
    byName.name = "ByName";
    byName.fields = {"Name"};
    lce::IndexDef byNumberDown = byName;
    byNumberDown.name = "ByNumberDown";
    byNumberDown.fields = {"N"};
    byNumberDown.descending = true;
    schema.indexes = {byName, byNumberDown};
    const std::vector<lce::Row> rows = {{Value::ofInteger(3), Value::ofText("carol")},
                                        {Value::null(), Value::null()},
                                        {Value::ofInteger(1), Value::ofText("al")},
                                        {Value::ofInteger(2), Value::null()},
                                        {Value::null(), Value::ofText("bea")}};
    {
        auto t = lce::TableFile::create(dir.path("R.LDT"), schema);
        lce::TableFile::Transaction tx(t);  // the bulk load: indexes built at commit
        for (const lce::Row& row : rows) t.append(row);
        tx.commit();
        t.append({Value::null(), Value::ofText("dan")});  // and one append of its own
    }
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(dir.path("R.LDT").c_str(), &raw), SQLITE_OK);
    const auto column = [&](const char* sql) {
        std::vector<std::string> out;
        sqlite3_stmt* q = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(raw, sql, -1, &q, nullptr), SQLITE_OK);
        while (q && sqlite3_step(q) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
            out.push_back(text ? text : "(null)");
        }
        sqlite3_finalize(q);
        return out;
    };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(column("SELECT N FROM records ORDER BY __recno"), (Texts{"3", "(null)", "1", "2", "(null)", "(null)"}));
    EXPECT_EQ(column("SELECT Name FROM records ORDER BY __recno"),
              (Texts{"carol", "(null)", "al", "(null)", "bea", "dan"}));
    // Nulls first, ties in record order; the descending index puts them last.
    EXPECT_EQ(column("SELECT __recno FROM lce_keys ORDER BY __k1, __recno"), (Texts{"2", "4", "3", "5", "1", "6"}));
    EXPECT_EQ(column("SELECT __recno FROM lce_keys ORDER BY __k2, __recno"), (Texts{"1", "4", "3", "2", "5", "6"}));
    sqlite3_close(raw);
}

}  // namespace

namespace {

// The rows of the three tables of a file, in record order, as text.
std::vector<std::string> storedRows(const std::string& path) {
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    std::vector<std::string> out;
    for (const char* sql : {"SELECT __recno, quote(Id), quote(N), quote(Name) FROM records ORDER BY __recno",
                            "SELECT __recno, hex(__rec) FROM lce_images ORDER BY __recno",
                            "SELECT __recno, hex(__k1), hex(__k2) FROM lce_keys ORDER BY __recno"}) {
        sqlite3_stmt* q = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(raw, sql, -1, &q, nullptr), SQLITE_OK) << sql;
        while (q && sqlite3_step(q) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(q); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(q, i));
                row += std::string(text ? text : "NULL") + "|";
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(q);
    }
    sqlite3_close(raw);
    return out;
}

lce::TableSchema loadSchema() {
    lce::TableSchema schema;
    schema.columns = {col("Id", 15), col("N", 11), col("Name", 4, 20)};
    lce::IndexDef byName;
    byName.name = "ByName";
    byName.fields = {"Name", "N"};
    lce::IndexDef byId = byName;
    byId.name = "ById";
    byId.fields = {"Id"};
    byId.unique = true;
    schema.indexes = {byName, byId};
    return schema;
}

lce::Row loadRow(int i) {
    return {Value::null(), i % 7 == 0 ? Value::null() : Value::ofInteger(i % 13),
            i % 5 == 0 ? Value::null() : Value::ofText("name " + std::to_string(i % 31))};
}

// Loading a new table in one transaction writes its rows on a second thread
// through a ring of a few hundred records. Every record must come out as the
// same rows appended one at a time give: its number, values, image and keys,
// over several turns of the ring, while the caller counts and reads the
// table midway.
TEST(EngineBuilder, ALoadWritesWhatAppendsOneByOneWrite) {
    TempDir dir;
    constexpr int kRows = 600;
    {
        auto one = lce::TableFile::create(dir.path("ONE.LDT"), loadSchema());
        for (int i = 0; i < kRows; ++i) EXPECT_EQ(one.append(loadRow(i)), i + 1);
    }
    auto loaded = lce::TableFile::create(dir.path("LOAD.LDT"), loadSchema());
    lce::TableFile::Transaction tx(loaded);
    for (int i = 0; i < kRows; ++i) {
        ASSERT_EQ(loaded.append(loadRow(i)), i + 1);
        if (i == 300) {
            EXPECT_EQ(loaded.rowCount(), 301);
            std::int64_t last = 0;
            loaded.forEachRow([&](std::int64_t recno, const lce::Row& row) {
                last = recno;
                EXPECT_EQ(row[0], Value::ofInteger(recno));
                return true;
            });
            EXPECT_EQ(last, 301);
        }
    }
    tx.commit();
    const auto expected = storedRows(dir.path("ONE.LDT"));
    ASSERT_EQ(expected.size(), 3u * kRows);
    EXPECT_EQ(storedRows(dir.path("LOAD.LDT")), expected);
}

// A record the worker cannot write (here another program's trigger refuses
// it) fails the load: a later append or the commit throws, and nothing of it
// stays in the table. A load given up with records still queued leaves the
// table empty too.
TEST(EngineBuilder, ALoadThatCannotWriteARecordFailsWhole) {
    TempDir dir;
    auto t = lce::TableFile::create(dir.path("F.LDT"), loadSchema());
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(dir.path("F.LDT").c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw,
                               "CREATE TRIGGER refuse BEFORE INSERT ON records WHEN NEW.Name = 'refused' "
                               "BEGIN SELECT RAISE(ABORT, 'refused'); END",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    std::string message;
    try {
        lce::TableFile::Transaction tx(t);
        for (int i = 0; i < 1000; ++i)
            t.append(i == 300 ? lce::Row{Value::null(), Value::null(), Value::ofText("refused")} : loadRow(i));
        tx.commit();
    } catch (const lce::Error& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("Cannot append to table"), std::string::npos) << message;
    EXPECT_EQ(t.rowCount(), 0);
    {
        lce::TableFile::Transaction tx(t);
        for (int i = 0; i < 100; ++i) t.append(loadRow(i));
    }  // given up
    EXPECT_EQ(t.rowCount(), 0);
    lce::TableFile::Transaction tx(t);
    for (int i = 0; i < 10; ++i) t.append(loadRow(i));
    tx.commit();
    EXPECT_EQ(t.rowCount(), 10);
}

}  // namespace
