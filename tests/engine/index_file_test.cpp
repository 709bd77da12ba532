// Separate index files: their orders match the same definitions kept in the
// table file, opening them is refused with a code of its own for each fault,
// closing one closes the whole file, and none of it changes the folder.
#include <fstream>

#include "tests/engine/fixture.h"
#include "tests/engine/second_process.h"

using namespace lcetest;
using lce::Value;

namespace {

lce::IndexDef def(const std::string& name, std::vector<std::string> fields) {
    lce::IndexDef d;
    d.name = name;
    d.fields = std::move(fields);
    return d;
}

// The table's own indexes; an index file repeats them under names with "X".
std::vector<lce::IndexDef> ownIndexes() {
    lce::IndexDef desc = def("ByNDesc", {"N"});
    desc.descending = true;
    lce::IndexDef small = def("Small", {"N"});
    small.condition = "\"N\" < 3";
    lce::IndexDef unique = def("ByCode", {"Code", "N"});
    unique.unique = true;
    return {def("ByN", {"N"}), desc, unique, small};
}

std::vector<lce::IndexDef> renamed(std::vector<lce::IndexDef> defs) {
    for (lce::IndexDef& d : defs) d.name = "X" + d.name;
    return defs;
}

std::vector<LUMHANDLE> openIndexFile(LUMHANDLE table, const std::string& path, UNSIGNED32 expected = 0) {
    std::vector<LUMHANDLE> handles(256);
    UNSIGNED16 count = static_cast<UNSIGNED16>(handles.size());
    const UNSIGNED32 rc = LumOpenIndex(table, path.c_str(), handles.data(), &count);
    EXPECT_EQ(rc, expected) << lastErrorText();
    handles.resize(rc == 0 ? count : 0);
    return handles;
}

std::string indexFileName(LUMHANDLE index, UNSIGNED16 option) {
    char name[260] = {};
    UNSIGNED16 length = sizeof name;
    EXPECT_EQ(LumGetIndexFilename(index, option, name, &length), 0u) << lastErrorText();
    return name;
}

UNSIGNED16 indexCount(LUMHANDLE table) {
    UNSIGNED16 n = 0;
    EXPECT_EQ(LumGetNumIndexes(table, &n), 0u);
    return n;
}

// IX.LDT: Code and N, rows (B1, 3), (A, null), (B2, 1), (C, 3), ("", null),
// (B1, 2), its own four indexes, and IXEXTRA.LDI holding the same four.
class IndexFiles : public ::testing::Test {
protected:
    void SetUp() override {
        lce::TableSchema schema;
        schema.columns = {col("Code", 4, 3), col("N", 11)};
        schema.indexes = ownIndexes();
        {
            auto t = lce::TableFile::create(dir.path("IX.LDT"), schema);
            const std::pair<const char*, Value> rows[] = {{"B1", Value::ofInteger(3)}, {"A", Value::null()},
                                                          {"B2", Value::ofInteger(1)}, {"C", Value::ofInteger(3)},
                                                          {"", Value::null()},         {"B1", Value::ofInteger(2)}};
            for (const auto& [code, n] : rows) t.append({Value::ofText(code), n});
        }
        lce::createIndexFile(dir.path("IXEXTRA.LDI"), renamed(ownIndexes()));
        ASSERT_EQ(LumConnect60(dir.path().c_str(), 3, nullptr, nullptr, 0, &conn), 0u) << lastErrorText();
        table = openTable(conn, "IX");
    }
    void TearDown() override {
        LumCloseTable(table);
        LumDisconnect(conn);
    }
    LUMHANDLE own(const std::string& name) {
        LUMHANDLE h = 0;
        EXPECT_EQ(LumGetIndexHandle(table, name.c_str(), &h), 0u) << lastErrorText();
        return h;
    }
    TempDir dir;
    LUMHANDLE conn = 0, table = 0;
};

TEST_F(IndexFiles, AnIndexFileOrdersAsTheSameIndexInTheTableFile) {
    const std::vector<LUMHANDLE> extra = openIndexFile(table, dir.path("ixextra.ldi"));
    ASSERT_EQ(extra.size(), 4u);
    EXPECT_EQ(indexCount(table), 8);
    const std::vector<lce::IndexDef> defs = ownIndexes();
    for (std::size_t i = 0; i < defs.size(); ++i) {
        SCOPED_TRACE(defs[i].name);
        const LUMHANDLE mine = own(defs[i].name);
        EXPECT_EQ(recordNumbers(table, extra[i]), recordNumbers(table, mine));
        char name[64] = {};
        UNSIGNED16 length = sizeof name;
        ASSERT_EQ(LumGetIndexName(extra[i], name, &length), 0u);
        EXPECT_EQ(std::string(name), "X" + defs[i].name);
        UNSIGNED32 flags = 0, ownFlags = 0;
        LumGetIndexFlags(extra[i], &flags);
        LumGetIndexFlags(mine, &ownFlags);
        EXPECT_EQ(flags, ownFlags);
        UNSIGNED32 count = 0, ownCount = 0;
        ASSERT_EQ(LumGetRecordCount(extra[i], 3, &count), 0u) << lastErrorText();
        LumGetRecordCount(mine, 3, &ownCount);
        EXPECT_EQ(count, ownCount);
        EXPECT_EQ(indexFileName(extra[i], 2), "IXEXTRA.LDI");
        EXPECT_EQ(indexFileName(extra[i], 1), dir.path("IXEXTRA.LDI"));
        EXPECT_EQ(indexFileName(mine, 2), "IX.LDT");
        // The handle is found by its name like the table's own.
        LUMHANDLE byName = 0;
        ASSERT_EQ(LumGetIndexHandle(table, ("x" + defs[i].name).c_str(), &byName), 0u);
        EXPECT_EQ(byName, extra[i]);
    }
}

TEST_F(IndexFiles, ScopesKeysAndPositionsWorkOnAnIndexFilesOrder) {
    const std::vector<LUMHANDLE> extra = openIndexFile(table, dir.path("IXEXTRA.LDI"));
    ASSERT_EQ(extra.size(), 4u);
    const LUMHANDLE byN = extra[0];
    ASSERT_EQ(LumInitRawKey(byN), 0u);
    const std::int32_t three = 3;
    ASSERT_EQ(LumSetFieldRaw(byN, "N", reinterpret_cast<const UNSIGNED8*>(&three), 4), 0u) << lastErrorText();
    UNSIGNED8 key[64];
    UNSIGNED16 length = sizeof key;
    ASSERT_EQ(LumBuildRawKey(byN, key, &length), 0u);
    for (UNSIGNED16 end : {1, 2}) ASSERT_EQ(LumSetScope(byN, end, key, length, 1), 0u) << lastErrorText();
    EXPECT_EQ(recordNumbers(table, byN), (std::vector<UNSIGNED32>{1, 4}));
    UNSIGNED32 count = 0;
    ASSERT_EQ(LumGetRecordCount(byN, 3, &count), 0u);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(LumClearAllScopes(table), 0u);
    ASSERT_EQ(LumGotoRecord(table, 3), 0u);
    UNSIGNED32 number = 0;
    ASSERT_EQ(LumGetKeyNum(byN, 2, &number), 0u) << lastErrorText();
    EXPECT_EQ(number, 3u);
    ASSERT_EQ(LumSetRelKeyPos(byN, 1.0), 0u);
    LumGetRecordNum(table, 2, &number);
    EXPECT_EQ(number, 4u);
}

TEST_F(IndexFiles, EachFaultOfOpeningHasItsCodeAndOpensNothing) {
    std::ofstream(dir.path("NOTES.TXT")) << "not an index file";
    {
        lce::TableSchema other;
        other.columns = {col("Other", 11)};
        lce::TableFile::create(dir.path("OTHER.LDT"), other);
    }
    lce::createIndexFile(dir.path("CLASH.LDI"), {def("ByN", {"N"})});
    lce::createIndexFile(dir.path("UNKNOWN.LDI"), {def("ByCity", {"City"})});
    lce::createIndexFile(dir.path("TWO.LDI"), {def("One", {"N"}), def("Two", {"Code"})});
    struct Case {
        const char* file;
        UNSIGNED32 code;
        const char* inText;
    };
    const Case cases[] = {
        {"MISSING.LDI", LUM_ERR_FILE_NOT_FOUND, "MISSING.LDI not found"},
        {"NOTES.TXT", LUM_ERR_NOT_AN_INDEX_FILE, "not an index file"},
        {"OTHER.LDT", LUM_ERR_NOT_AN_INDEX_FILE, "not an index file"},
        {"CLASH.LDI", LUM_ERR_INDEX_FILE_OPEN, "ByN"},
        {"UNKNOWN.LDI", LUM_ERR_FIELD_NOT_FOUND, "City"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        openIndexFile(table, dir.path(c.file), c.code);
        EXPECT_NE(lastErrorText().find(c.inText), std::string::npos) << lastErrorText();
        EXPECT_EQ(indexCount(table), 4);
    }
    // Opened once, the same file is refused a second time.
    ASSERT_EQ(openIndexFile(table, dir.path("IXEXTRA.LDI")).size(), 4u);
    openIndexFile(table, dir.path("IXEXTRA.LDI"), LUM_ERR_INDEX_FILE_OPEN);
    // Too little room: the count needed comes back and nothing is opened.
    LUMHANDLE one[1] = {0};
    UNSIGNED16 room = 1;
    EXPECT_EQ(LumOpenIndex(table, dir.path("TWO.LDI").c_str(), one, &room), LUM_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(room, 2);
    EXPECT_EQ(indexCount(table), 8);
    // A name with the table's own stem gives the table's own indexes.
    const std::vector<LUMHANDLE> mine = openIndexFile(table, dir.path("IX.LDI"));
    EXPECT_EQ(mine, (std::vector<LUMHANDLE>{own("ByN"), own("ByNDesc"), own("ByCode"), own("Small")}));
}

TEST_F(IndexFiles, ClosingOneIndexClosesItsWholeFileAndTheRestGoesOn) {
    const LUMHANDLE byN = own("ByN");
    // Walking the table's own order while the file comes and goes.
    ASSERT_EQ(LumGotoTop(byN), 0u);
    ASSERT_EQ(LumSkip(byN, 2), 0u);  // record 3
    std::vector<LUMHANDLE> extra = openIndexFile(table, dir.path("IXEXTRA.LDI"));
    ASSERT_EQ(extra.size(), 4u);
    ASSERT_EQ(LumCloseIndex(extra[2]), 0u) << lastErrorText();
    EXPECT_EQ(indexCount(table), 4);
    for (const LUMHANDLE gone : extra) {
        UNSIGNED16 segments = 0;
        EXPECT_EQ(LumGetNumSegments(gone, &segments), LUM_ERR_INVALID_HANDLE);
    }
    EXPECT_EQ(LumSkip(byN, 1), 0u) << lastErrorText();
    UNSIGNED32 record = 0;
    LumGetRecordNum(table, 2, &record);
    EXPECT_EQ(record, 6u);
    // Opened again, the file gives new handles and the same orders.
    extra = openIndexFile(table, dir.path("IXEXTRA.LDI"));
    ASSERT_EQ(extra.size(), 4u);
    EXPECT_EQ(recordNumbers(table, extra[1]), recordNumbers(table, own("ByNDesc")));
    // Closing one of the table's own indexes closes that order alone.
    ASSERT_EQ(LumCloseIndex(own("Small")), 0u);
    EXPECT_EQ(indexCount(table), 7);
}

TEST_F(IndexFiles, AnIndexFileWorksOnAnSqlResult) {
    LUMHANDLE statement = 0, cursor = 0;
    ASSERT_EQ(LumCreateSQLStatement(conn, &statement), 0u);
    ASSERT_EQ(LumExecuteSQLDirect(statement, "SELECT Code, N FROM IX", &cursor), 0u) << lastErrorText();
    const std::vector<LUMHANDLE> extra = openIndexFile(cursor, dir.path("IXEXTRA.LDI"));
    ASSERT_EQ(extra.size(), 4u);
    EXPECT_EQ(recordNumbers(cursor, extra[0]), recordNumbers(table, own("ByN")));
    LumCloseTable(cursor);
    LumCloseSQLStatement(statement);
}

TEST_F(IndexFiles, OpeningReadingAndClosingLeaveTheFolderAsItWas) {
    const auto before = snapshot(dir.path());
    for (int round = 0; round < 2; ++round) {
        const std::vector<LUMHANDLE> extra = openIndexFile(table, dir.path("IXEXTRA.LDI"));
        ASSERT_EQ(extra.size(), 4u);
        recordNumbers(table, extra[0]);
        ASSERT_EQ(LumCloseIndex(extra[0]), 0u);
    }
    openIndexFile(table, dir.path("IXEXTRA.LDI"));
    LumCloseTable(table);
    table = 0;
    EXPECT_TRUE(snapshot(dir.path()) == before) << fileNames(snapshot(dir.path()));
}

namespace {

UNSIGNED32 setCode(LUMHANDLE table, const std::string& code) {
    return LumSetField(table, "Code", reinterpret_cast<const UNSIGNED8*>(code.data()),
                       static_cast<UNSIGNED32>(code.size()));
}

UNSIGNED32 setN(LUMHANDLE table, std::int32_t n) {
    return LumSetFieldRaw(table, "N", reinterpret_cast<const UNSIGNED8*>(&n), sizeof n);
}

UNSIGNED32 run(LUMHANDLE conn, const char* sql) {
    LUMHANDLE statement = 0, cursor = 0;
    EXPECT_EQ(LumCreateSQLStatement(conn, &statement), 0u);
    const UNSIGNED32 rc = LumExecuteSQLDirect(statement, sql, &cursor);
    LumCloseSQLStatement(statement);
    return rc;
}

// The records of the index file's XByN order within N 1..2 (a scope).
std::vector<UNSIGNED32> scopedOneToTwo(LUMHANDLE table, LUMHANDLE byN) {
    UNSIGNED8 low[16], high[16];
    UNSIGNED16 lowLength = sizeof low, highLength = sizeof high;
    EXPECT_EQ(LumInitRawKey(byN), 0u);
    EXPECT_EQ(setN(byN, 1), 0u) << lastErrorText();
    EXPECT_EQ(LumBuildRawKey(byN, low, &lowLength), 0u);
    EXPECT_EQ(setN(byN, 2), 0u);
    EXPECT_EQ(LumBuildRawKey(byN, high, &highLength), 0u);
    EXPECT_EQ(LumSetScope(byN, 1, low, lowLength, 1), 0u) << lastErrorText();
    EXPECT_EQ(LumSetScope(byN, 2, high, highLength, 1), 0u) << lastErrorText();
    std::vector<UNSIGNED32> records = recordNumbers(table, byN);
    UNSIGNED32 count = 0;
    EXPECT_EQ(LumGetRecordCount(byN, 3, &count), 0u) << lastErrorText();
    EXPECT_EQ(count, records.size());
    LumClearAllScopes(table);
    return records;
}

}  // namespace

// Writes through the connection - record edits on one handle, SQL - reach
// the index file's orders of every handle of the table on it, also of one
// that opened the file before the first write: new records appear in order
// and in scope, removed ones are gone, each order as its twin in the table
// file. A rollback takes the writes back out of them, also when the file was
// opened inside the transaction.
TEST_F(IndexFiles, WritesThroughTheConnectionReachTheIndexFilesOrders) {
    const LUMHANDLE other = openTable(conn, "IX");
    const std::vector<LUMHANDLE> otherExtra = openIndexFile(other, dir.path("IXEXTRA.LDI"));
    ASSERT_EQ(otherExtra.size(), 4u);
    std::vector<LUMHANDLE> extra = openIndexFile(table, dir.path("IXEXTRA.LDI"));
    ASSERT_EQ(extra.size(), 4u);
    EXPECT_EQ(recordNumbers(other, otherExtra[0]), (std::vector<UNSIGNED32>{2, 5, 3, 6, 1, 4}));

    ASSERT_EQ(LumAppendRecord(table), 0u) << lastErrorText();  // record 7: D, 0
    ASSERT_EQ(setCode(table, "D"), 0u) << lastErrorText();
    ASSERT_EQ(setN(table, 0), 0u) << lastErrorText();
    ASSERT_EQ(LumWriteRecord(table), 0u) << lastErrorText();
    ASSERT_EQ(LumGotoRecord(table, 2), 0u) << lastErrorText();  // A: null -> 5
    ASSERT_EQ(setN(table, 5), 0u) << lastErrorText();
    ASSERT_EQ(LumWriteRecord(table), 0u) << lastErrorText();
    ASSERT_EQ(LumGotoRecord(table, 4), 0u) << lastErrorText();  // C, 3 removed
    ASSERT_EQ(LumDeleteRecord(table), 0u) << lastErrorText();
    ASSERT_EQ(LumWriteRecord(table), 0u) << lastErrorText();
    ASSERT_EQ(run(conn, "INSERT INTO IX (Code, N) VALUES ('E', 2)"), 0u) << lastErrorText();  // record 8
    ASSERT_EQ(run(conn, "UPDATE IX SET N = 1 WHERE Code = 'B1' AND N = 3"), 0u) << lastErrorText();
    ASSERT_EQ(run(conn, "DELETE FROM IX WHERE Code = 'B2'"), 0u) << lastErrorText();

    const std::vector<lce::IndexDef> defs = ownIndexes();
    const auto expectTwins = [&](LUMHANDLE handle, const std::vector<LUMHANDLE>& orders) {
        for (std::size_t i = 0; i < defs.size(); ++i) {
            SCOPED_TRACE(defs[i].name);
            LUMHANDLE mine = 0;
            ASSERT_EQ(LumGetIndexHandle(handle, defs[i].name.c_str(), &mine), 0u);
            EXPECT_EQ(recordNumbers(handle, orders[i]), recordNumbers(handle, mine));
            UNSIGNED32 count = 0, ownCount = 0;
            ASSERT_EQ(LumGetRecordCount(orders[i], 3, &count), 0u) << lastErrorText();
            LumGetRecordCount(mine, 3, &ownCount);
            EXPECT_EQ(count, ownCount);
        }
    };
    const std::vector<UNSIGNED32> byN = {5, 7, 1, 6, 8, 2};  // N: null, 0, 1, 2, 2, 5
    for (const auto& [handle, orders] : {std::pair{table, extra}, std::pair{other, otherExtra}}) {
        SCOPED_TRACE(handle == table ? "the handle that wrote" : "another handle");
        EXPECT_EQ(recordNumbers(handle, orders[0]), byN);
        EXPECT_EQ(recordNumbers(handle, orders[3]), (std::vector<UNSIGNED32>{7, 1, 6, 8})) << "N < 3";
        EXPECT_EQ(scopedOneToTwo(handle, orders[0]), (std::vector<UNSIGNED32>{1, 6, 8}));
        expectTwins(handle, orders);
    }

    // Inside a transaction the handles read its writes; a rollback takes
    // them out again, also of a file opened after the transaction's first write.
    ASSERT_EQ(LumBeginTransaction(conn), 0u) << lastErrorText();
    ASSERT_EQ(run(conn, "INSERT INTO IX (Code, N) VALUES ('F', 1)"), 0u) << lastErrorText();  // record 9
    ASSERT_EQ(LumCloseIndex(extra[0]), 0u) << lastErrorText();
    extra = openIndexFile(table, dir.path("IXEXTRA.LDI"));
    ASSERT_EQ(extra.size(), 4u);
    ASSERT_EQ(run(conn, "DELETE FROM IX WHERE Code = 'E'"), 0u) << lastErrorText();
    ASSERT_EQ(LumGotoRecord(table, 7), 0u) << lastErrorText();  // beside the orders of the closed file
    ASSERT_EQ(LumDeleteRecord(table), 0u) << lastErrorText();
    ASSERT_EQ(LumWriteRecord(table), 0u) << lastErrorText();
    EXPECT_EQ(recordNumbers(table, extra[0]), (std::vector<UNSIGNED32>{5, 1, 9, 6, 2}));
    EXPECT_EQ(scopedOneToTwo(table, extra[0]), (std::vector<UNSIGNED32>{1, 9, 6}));
    EXPECT_EQ(scopedOneToTwo(other, otherExtra[0]), (std::vector<UNSIGNED32>{1, 9, 6}));
    ASSERT_EQ(LumRollbackTransaction(conn), 0u) << lastErrorText();
    for (const auto& [handle, orders] : {std::pair{table, extra}, std::pair{other, otherExtra}}) {
        SCOPED_TRACE(handle == table ? "the file opened in the transaction" : "the file opened before");
        EXPECT_EQ(recordNumbers(handle, orders[0]), byN);
        EXPECT_EQ(scopedOneToTwo(handle, orders[0]), (std::vector<UNSIGNED32>{1, 6, 8}));
        expectTwins(handle, orders);
    }
    LumCloseTable(other);
}

TEST(IndexFileBuilder, DefinitionsAreCheckedAndAnExistingFileIsKept) {
    TempDir dir;
    lce::createIndexFile(dir.path("A.LDI"), {def("One", {"N"})});
    struct Case {
        const char* label;
        const char* file;
        std::vector<lce::IndexDef> defs;
        std::uint32_t code;
    };
    const Case cases[] = {
        {"the file exists", "A.LDI", {def("Two", {"N"})}, LUM_ERR_FILE_EXISTS},
        {"no name", "B.LDI", {def("", {"N"})}, LUM_ERR_INVALID_ARGUMENT},
        {"no fields", "B.LDI", {def("One", {})}, LUM_ERR_INVALID_ARGUMENT},
        {"a duplicate name", "B.LDI", {def("One", {"N"}), def("ONE", {"M"})}, LUM_ERR_INVALID_ARGUMENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            lce::createIndexFile(dir.path(c.file), c.defs);
            ADD_FAILURE() << "no exception";
        } catch (const lce::Error& e) {
            EXPECT_EQ(e.code(), c.code);
        }
        EXPECT_FALSE(std::filesystem::exists(dir.path("B.LDI")));
    }
}

}  // namespace
