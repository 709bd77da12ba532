// Blob values in pieces: LumSetBinary puts a memo or binary value together
// from parts written at offsets (in any order), LumGetBinary reads it back
// from an offset, and the refusals of pieces that do not fit. Renaming a
// dictionary table with LumRenameTable, and its refusals.
#include <filesystem>
#include <string>

#include "tests/engine/fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

struct Session {
    LUMHANDLE conn = 0, table = 0;
    Session(const std::string& path, const char* name) {
        EXPECT_EQ(LumConnect60(path.c_str(), 3, "user", "pw", 0, &conn), 0u) << lastErrorText();
        if (name) {
            EXPECT_EQ(LumOpenTable90(conn, name, nullptr, 0, 1, 1, 1, 0, "", &table), 0u) << lastErrorText();
        }
    }
    ~Session() {
        if (table) LumCloseTable(table);
        if (conn) LumDisconnect(conn);
    }
};

UNSIGNED32 setPiece(LUMHANDLE table, const char* field, const std::string& whole, std::size_t offset,
                    std::size_t length) {
    return LumSetBinary(table, field, 0, static_cast<UNSIGNED32>(whole.size()), static_cast<UNSIGNED32>(offset),
                        reinterpret_cast<const UNSIGNED8*>(whole.data() + offset), static_cast<UNSIGNED32>(length));
}

std::string readFrom(LUMHANDLE table, const char* field, UNSIGNED32 offset, UNSIGNED32 length) {
    std::string bytes(length, '\0');
    UNSIGNED32 n = length;
    EXPECT_EQ(LumGetBinary(table, field, offset, reinterpret_cast<UNSIGNED8*>(bytes.data()), &n), 0u)
        << lastErrorText();
    bytes.resize(n);
    return bytes;
}

}  // namespace

TEST(EngineBlobs, PiecesAtOffsetsMakeTheWholeValueOnEveryTableType) {
    std::string value;
    for (int i = 0; i < 300000; ++i) value.push_back(static_cast<char>(i % 253));  // zero bytes included
    for (const UNSIGNED16 tableType : {LUM_NTX, LUM_CDX, LUM_LDT, LUM_VFP}) {
        for (const UNSIGNED16 type : {LUM_MEMO, LUM_BINARY}) {
            SCOPED_TRACE(std::to_string(tableType) + "/" + std::to_string(type));
            TempDir dir;
            lce::TableSchema schema;
            schema.tableType = tableType;
            schema.columns = {col("B", type)};
            lce::TableFile::create(dir.path("T.LDT"), schema).append({Value::null()});
            {
                Session s(dir.path(), "T.LDT");
                ASSERT_EQ(LumGotoTop(s.table), 0u);
                // The end first, then the start, then the middle.
                ASSERT_EQ(setPiece(s.table, "B", value, 200000, 100000), 0u) << lastErrorText();
                ASSERT_EQ(setPiece(s.table, "B", value, 0, 100000), 0u) << lastErrorText();
                ASSERT_EQ(setPiece(s.table, "B", value, 100000, 100000), 0u) << lastErrorText();
                ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
            }
            Session s(dir.path(), "T.LDT");
            ASSERT_EQ(LumGotoTop(s.table), 0u);
            UNSIGNED32 length = 0;
            ASSERT_EQ(LumGetBinaryLength(s.table, "B", &length), 0u);
            EXPECT_EQ(length, value.size());
            EXPECT_TRUE(readFrom(s.table, "B", 0, length) == value);
            EXPECT_EQ(readFrom(s.table, "B", 299990, 100), value.substr(299990));
            EXPECT_EQ(readFrom(s.table, "B", 400000, 10), "") << "past the end";
        }
    }
}

TEST(EngineBlobs, PiecesThatDoNotFitAreRefusedAndChangeNothing) {
    TempDir dir;
    lce::TableSchema schema;
    schema.columns = {col("B", LUM_BINARY)};
    lce::TableFile::create(dir.path("T.LDT"), schema).append({Value::ofBinary("kept")});
    Session s(dir.path(), "T.LDT");
    ASSERT_EQ(LumGotoTop(s.table), 0u);
    const std::string bytes = "0123456789";
    struct Case {
        const char* label;
        UNSIGNED32 total, offset, length;
        UNSIGNED32 code;
    };
    const Case cases[] = {
        {"ends past the total", 10, 8, 5, LUM_ERR_INVALID_ARGUMENT},
        {"starts past the total", 10, 11, 0, LUM_ERR_INVALID_ARGUMENT},
        {"total above the largest value", 0x7FFFFFFF, 0, 1, LUM_ERR_INVALID_ARGUMENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(LumSetBinary(s.table, "B", 0, c.total, c.offset, reinterpret_cast<const UNSIGNED8*>(bytes.data()),
                               c.length),
                  c.code);
        EXPECT_EQ(readFrom(s.table, "B", 0, 100), "kept");
    }
    // A statement parameter takes its value in one piece.
    LUMHANDLE stmt = 0;
    ASSERT_EQ(LumCreateSQLStatement(s.conn, &stmt), 0u);
    ASSERT_EQ(LumPrepareSQL(stmt, "SELECT * FROM \"T.LDT\" WHERE B = ?"), 0u) << lastErrorText();
    EXPECT_EQ(LumSetBinary(stmt, LUM_FIELD_NUMBER(1), 0, 10, 5, reinterpret_cast<const UNSIGNED8*>(bytes.data()), 5),
              static_cast<UNSIGNED32>(LUM_ERR_NOT_SUPPORTED));
    LumCloseSQLStatement(stmt);
}

class RenameInDictionary : public ::testing::Test {
protected:
    void SetUp() override {
        auto dd = lce::Dictionary::create(dir.path("D.LDD"));
        dd.addUser("user", "pw");
        lce::TableSchema schema;
        schema.columns = {col("N", LUM_INTEGER)};
        lce::TableFile::create(dir.path("OLD.LDT"), schema).append({Value::ofInteger(7)});
        lce::TableFile::create(dir.path("TAKEN.LDT"), schema);
        dd.addTable({"OLD", "OLD.LDT", 3, {{LUM_DD_TABLE_DEFAULT_INDEX, "BYN"}}});
        dd.addTable({"TAKEN", "TAKEN.LDT", 3, {}});
        dd.setFieldProperty("OLD", "N", LUM_DD_FIELD_DEFAULT, "5");
    }
    TempDir dir;
};

TEST_F(RenameInDictionary, TheFileAndTheEntryWithItsPropertiesTakeTheNewName) {
    Session s(dir.path("D.LDD"), nullptr);
    ASSERT_EQ(LumRenameTable(s.conn, "OLD", "NEW.LDT"), 0u) << lastErrorText();
    EXPECT_FALSE(std::filesystem::exists(dir.path("OLD.LDT")));
    EXPECT_TRUE(std::filesystem::exists(dir.path("NEW.LDT")));
    char property[200] = {};
    UNSIGNED16 length = sizeof property;
    ASSERT_EQ(LumDDGetTableProperty(s.conn, "NEW", LUM_DD_TABLE_DEFAULT_INDEX, property, &length), 0u)
        << lastErrorText();
    EXPECT_STREQ(property, "BYN");
    length = sizeof property;
    ASSERT_EQ(LumDDGetFieldProperty(s.conn, "NEW", "N", LUM_DD_FIELD_DEFAULT, property, &length), 0u)
        << lastErrorText();
    EXPECT_STREQ(property, "5");
    LUMHANDLE table = 0;
    EXPECT_EQ(LumOpenTable90(s.conn, "OLD", nullptr, 0, 1, 1, 1, 0, "", &table),
              static_cast<UNSIGNED32>(LUM_ERR_NOT_IN_DICTIONARY));
    ASSERT_EQ(LumOpenTable90(s.conn, "NEW", nullptr, 0, 1, 1, 1, 0, "", &table), 0u) << lastErrorText();
    UNSIGNED32 count = 0;
    EXPECT_EQ(LumGetRecordCount(table, 2, &count), 0u);
    EXPECT_EQ(count, 1u);
    LumCloseTable(table);
}

// The connection wrote the table before: its writer of the old file goes,
// and writes under the new name reach the renamed file.
TEST_F(RenameInDictionary, WritesBeforeAndAfterTheRenameBothStay) {
    const auto setN = [](LUMHANDLE table, SIGNED32 n) {
        const std::string text = std::to_string(n);
        EXPECT_EQ(LumSetField(table, "N", reinterpret_cast<const UNSIGNED8*>(text.data()),
                              static_cast<UNSIGNED32>(text.size())),
                  0u)
            << lastErrorText();
        EXPECT_EQ(LumWriteRecord(table), 0u) << lastErrorText();
    };
    Session s(dir.path("D.LDD"), nullptr);
    LUMHANDLE table = 0;
    ASSERT_EQ(LumOpenTable90(s.conn, "OLD", nullptr, 0, 1, 1, 1, 0, "", &table), 0u) << lastErrorText();
    ASSERT_EQ(LumAppendRecord(table), 0u);
    setN(table, 8);
    LumCloseTable(table);
    ASSERT_EQ(LumRenameTable(s.conn, "OLD", "NEW"), 0u) << lastErrorText();
    ASSERT_EQ(LumOpenTable90(s.conn, "NEW", nullptr, 0, 1, 1, 1, 0, "", &table), 0u) << lastErrorText();
    ASSERT_EQ(LumAppendRecord(table), 0u);
    setN(table, 9);
    LumCloseTable(table);
    Session reader(dir.path("D.LDD"), "NEW");
    UNSIGNED32 count = 0;
    EXPECT_EQ(LumGetRecordCount(reader.table, 2, &count), 0u);
    EXPECT_EQ(count, 3u);
    EXPECT_FALSE(std::filesystem::exists(dir.path("OLD.LDT")));
    EXPECT_FALSE(std::filesystem::exists(dir.path("OLD.LDT.lck")));
}

TEST_F(RenameInDictionary, RefusalsLeaveTheTableAsItWas) {
    Session s(dir.path("D.LDD"), "OLD");
    Session freeTables(dir.path(), nullptr);
    struct Case {
        const char* label;
        LUMHANDLE conn;
        const char* from;
        const char* to;
        UNSIGNED32 code;
    };
    const Case cases[] = {
        {"open on the connection", s.conn, "OLD", "NEW", LUM_ERR_LOCKED},
        {"name taken", s.conn, "OLD", "TAKEN", LUM_ERR_FILE_EXISTS},
        {"not in the dictionary", s.conn, "NONE", "NEW", LUM_ERR_NOT_IN_DICTIONARY},
        {"a name with a folder", s.conn, "OLD", "sub/NEW", LUM_ERR_INVALID_ARGUMENT},
        {"free table", freeTables.conn, "OLD.LDT", "NEW.LDT", LUM_ERR_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(LumRenameTable(c.conn, c.from, c.to), c.code);
        EXPECT_TRUE(std::filesystem::exists(dir.path("OLD.LDT")));
        EXPECT_FALSE(std::filesystem::exists(dir.path("NEW.LDT")));
    }
}

// A memo or binary value is empty when it is null or holds blanks only, as a
// text column is; long values are looked at whole (a blank stretch longer than
// a page before the first other byte), and a record being edited answers
// with its pending value.
TEST(EngineBlobs, EmptinessOfMemoAndBinaryValues) {
    const std::string longBlanks(40000, ' ');
    struct Case {
        const char* name;
        Value value;
        bool empty;
    };
    const Case cases[] = {
        {"null", Value::null(), true},
        {"no bytes", Value::ofMemo(""), true},
        {"blanks", Value::ofMemo("    "), true},
        {"a letter", Value::ofMemo("x"), false},
        {"a letter between blanks", Value::ofMemo("  x  "), false},
        {"long blanks", Value::ofMemo(longBlanks), true},
        {"long blanks, then a letter", Value::ofMemo(longBlanks + "x"), false},
        {"a zero byte", Value::ofMemo(std::string(1, '\0')), false},
    };
    for (const UNSIGNED16 type : {LUM_MEMO, LUM_BINARY}) {
        SCOPED_TRACE(type == LUM_MEMO ? "memo" : "binary");
        TempDir dir;
        lce::TableSchema schema;
        schema.columns = {col("B", type)};
        {
            auto t = lce::TableFile::create(dir.path("T.LDT"), schema);
            for (const Case& c : cases)
                t.append({c.value.isNull() || type == LUM_MEMO ? c.value : Value::ofBinary(c.value.text)});
        }
        Session s(dir.path(), "T.LDT");
        ASSERT_EQ(LumGotoTop(s.table), 0u);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            UNSIGNED16 empty = 2;
            ASSERT_EQ(LumIsEmpty(s.table, "B", &empty), 0u) << lastErrorText();
            EXPECT_EQ(empty, c.empty ? 1 : 0);
            ASSERT_EQ(LumSkip(s.table, 1), 0u);
        }
        // Being edited: the pending value counts, not the stored one.
        ASSERT_EQ(LumGotoTop(s.table), 0u);
        ASSERT_EQ(LumSetString(s.table, "B", "y", 1), 0u) << lastErrorText();
        UNSIGNED16 empty = 2;
        ASSERT_EQ(LumIsEmpty(s.table, "B", &empty), 0u) << lastErrorText();
        EXPECT_EQ(empty, 0);
        LumCancelUpdate(s.table);
    }
}
