// Record writes through the C operations: editing and appending every column
// type on every table type, unique indexes, rights, deletion flags, locks
// held by another process, and reading that leaves the folder as it was.
#include <sys/stat.h>

#include <cstring>
#include <functional>

#include "data/engine/record_format.h"
#include "engine/src/cursor.h"
#include "engine/src/statement.h"
#include "tests/engine/write_fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

struct Session {
    LUMHANDLE conn = 0, table = 0;
    Session(const TempDir& dir, const std::string& name, UNSIGNED32 options = 0, UNSIGNED16 rights = 1) {
        EXPECT_EQ(LumConnect60(dir.path().c_str(), 3, nullptr, nullptr, 0, &conn), 0u) << lastErrorText();
        EXPECT_EQ(LumOpenTable90(conn, name.c_str(), nullptr, 0, 1, 1, rights, options, "", &table), 0u)
            << lastErrorText();
    }
    ~Session() {
        if (table) LumCloseTable(table);
        if (conn) LumDisconnect(conn);
    }
};

std::string recordImage(LUMHANDLE table) {
    UNSIGNED32 size = 0;
    LumGetRecordLength(table, &size);
    std::string image(size, '\0');
    EXPECT_EQ(LumGetRecord(table, reinterpret_cast<UNSIGNED8*>(image.data()), &size), 0u) << lastErrorText();
    return image;
}

std::string fieldText(LUMHANDLE table, const char* field) {
    char buf[300];
    UNSIGNED32 len = sizeof buf;
    if (LumGetField(table, field, reinterpret_cast<UNSIGNED8*>(buf), &len, 0) != 0) return "<" + lastErrorText() + ">";
    return std::string(buf, len);
}

UNSIGNED32 setText(LUMHANDLE t, const char* field, const std::string& text) {
    return LumSetField(t, field, reinterpret_cast<const UNSIGNED8*>(text.data()), static_cast<UNSIGNED32>(text.size()));
}

using Setter = std::function<UNSIGNED32(LUMHANDLE)>;

Setter text(std::string v) {
    return [v](LUMHANDLE t) { return setText(t, "F", v); };
}
Setter string(std::string v) {
    return [v](LUMHANDLE t) { return LumSetString(t, "F", v.data(), static_cast<UNSIGNED32>(v.size())); };
}
Setter real(double v) {
    return [v](LUMHANDLE t) { return LumSetDouble(t, "F", v); };
}
Setter logical(bool v) {
    return [v](LUMHANDLE t) { return LumSetLogical(t, "F", v ? 1 : 0); };
}
Setter julian(SIGNED32 v) {
    return [v](LUMHANDLE t) { return LumSetJulian(t, "F", v); };
}
Setter millis(SIGNED32 v) {
    return [v](LUMHANDLE t) { return LumSetMilliseconds(t, "F", v); };
}
Setter stamp(std::int32_t day, std::uint32_t ms) {
    return [day, ms](LUMHANDLE t) {
        UNSIGNED8 raw[8];
        std::memcpy(raw, &day, 4);
        std::memcpy(raw + 4, &ms, 4);
        return LumSetTimeStampRaw(t, "F", raw, 8);
    };
}
Setter binary(std::string v) {
    return [v](LUMHANDLE t) {
        return LumSetBinary(t, "F", 0, static_cast<UNSIGNED32>(v.size()), 0,
                            reinterpret_cast<const UNSIGNED8*>(v.data()), static_cast<UNSIGNED32>(v.size()));
    };
}
Setter nullValue() {
    return [](LUMHANDLE t) { return LumSetNull(t, "F"); };
}
Setter empty() {
    return [](LUMHANDLE t) { return LumSetEmpty(t, "F"); };
}
// The column's bytes as the engine holds them for the expected value.
Setter rawFrom(const std::string* bytes) {
    return [bytes](LUMHANDLE t) {
        return LumSetFieldRaw(t, "F", reinterpret_cast<const UNSIGNED8*>(bytes->data()),
                              static_cast<UNSIGNED32>(bytes->size()));
    };
}

struct RoundTrip {
    const char* label;
    std::uint16_t tableType, type;
    std::uint32_t length;
    std::uint16_t decimals;
    Value initial;   // the record before the edit
    Value expected;  // what the builder writes for the same record
    Setter set;
};

lce::TableSchema oneColumn(const RoundTrip& c) {
    lce::TableSchema schema;
    schema.tableType = c.tableType;
    schema.columns = {col("F", c.type, c.length, c.decimals)};
    if (!record_format::IsBlobType(c.type)) {
        lce::IndexDef byF;
        byF.name = "ByF";
        byF.fields = {"F"};
        schema.indexes = {byF};
    }
    return schema;
}

}  // namespace

// Edit the one record and append a second with a setter, close, open again:
// both records hold the image, field column and key the engine writes itself
// for the expected value (a table the builder made with it).
TEST(EngineWrites, EditAndAppendRoundTripOfEveryColumnTypeOnEveryTableType) {
    std::string rawDouble;
    const RoundTrip cases[] = {
        {"ldt char", 3, 4, 10, 0, Value::ofText("x"), Value::ofText("Smith"), text("Smith")},
        {"ldt char by string", 3, 4, 10, 0, Value::null(), Value::ofText("Jones"), string("Jones  ")},
        {"ldt char empty", 3, 4, 4, 0, Value::ofText("ab"), Value::ofText(""), empty()},
        {"ldt char null", 3, 4, 4, 0, Value::ofText("ab"), Value::null(), nullValue()},
        {"ldt ci char", 3, 20, 5, 0, Value::null(), Value::ofText("aBc"), text("aBc")},
        {"ldt integer", 3, 11, 0, 0, Value::ofInteger(1), Value::ofInteger(-42), text("-42")},
        {"ldt integer null", 3, 11, 0, 0, Value::ofInteger(1), Value::null(), nullValue()},
        {"ldt integer empty", 3, 11, 0, 0, Value::ofInteger(1), Value::ofInteger(0), empty()},
        {"ldt short integer", 3, 12, 0, 0, Value::null(), Value::ofInteger(7), real(7.0)},
        {"ldt 64-bit integer", 3, 21, 0, 0, Value::null(), Value::ofInteger(-5000000000), text("-5000000000")},
        {"ldt double", 3, 10, 0, 0, Value::null(), Value::ofDouble(2.25), real(2.25)},
        {"ldt double raw", 3, 10, 0, 0, Value::null(), Value::ofDouble(-8.5), rawFrom(&rawDouble)},
        {"ldt currency double", 3, 17, 0, 0, Value::null(), Value::ofDouble(12.5), real(12.5)},
        {"ldt numeric", 3, 2, 8, 2, Value::null(), Value::ofDouble(-3.5), real(-3.5)},
        {"ldt money", 3, 18, 0, 0, Value::null(), Value::ofScaled(1234567), text("123.4567")},
        {"ldt date", 3, 3, 0, 0, Value::null(), Value::ofDate(2451545), julian(2451545)},
        {"ldt date empty is null", 3, 3, 0, 0, Value::ofDate(2451545), Value::null(), empty()},
        {"ldt compact date", 3, 9, 0, 0, Value::null(), Value::ofDate(2451546), text("20000102")},
        {"ldt time", 3, 13, 0, 0, Value::null(), Value::ofTime(3723004), millis(3723004)},
        {"ldt timestamp", 3, 14, 0, 0, Value::null(), Value::ofTimestamp(2451545, 5), stamp(2451545, 5)},
        {"ldt modtime", 3, 22, 0, 0, Value::null(), Value::ofTimestamp(2451600, 1000), stamp(2451600, 1000)},
        {"ldt logical", 3, 1, 0, 0, Value::ofLogical(false), Value::ofLogical(true), logical(true)},
        {"ldt raw", 3, 16, 3, 0, Value::null(), Value::ofBinary(std::string("\x01\x02\x03", 3)),
         binary(std::string("\x01\x02\x03", 3))},
        {"ldt varchar", 3, 23, 6, 0, Value::null(), Value::ofText("ab"), text("ab")},
        {"ldt varbinary", 3, 24, 4, 0, Value::null(), Value::ofBinary(std::string("\x09", 1)),
         binary(std::string("\x09", 1))},
        {"ldt memo", 3, 5, 0, 0, Value::ofMemo("old"), Value::ofMemo("a long memo text"), text("a long memo text")},
        {"ldt binary", 3, 6, 0, 0, Value::null(), Value::ofBinary(std::string("\0\1\2", 3)),
         binary(std::string("\0\1\2", 3))},
        {"ldt image", 3, 7, 0, 0, Value::null(), Value::ofBinary("PNG"), binary("PNG")},
        {"ldt memo-like", 3, 8, 0, 0, Value::null(), Value::ofMemo("notes"), string("notes")},
        {"cdx char", 2, 4, 8, 0, Value::null(), Value::ofText("ABC"), text("ABC")},
        {"cdx char empty", 2, 4, 8, 0, Value::ofText("ABC"), Value::null(), empty()},
        {"cdx numeric", 2, 2, 5, 1, Value::null(), Value::ofDouble(2.5), real(2.5)},
        {"cdx numeric null", 2, 2, 5, 1, Value::ofDouble(2.5), Value::null(), nullValue()},
        {"cdx date", 2, 3, 0, 0, Value::null(), Value::ofDate(2451545), julian(2451545)},
        {"cdx logical", 2, 1, 0, 0, Value::null(), Value::ofLogical(false), logical(false)},
        {"cdx integer", 2, 11, 0, 0, Value::null(), Value::ofInteger(99), text("99")},
        {"cdx double", 2, 10, 0, 0, Value::null(), Value::ofDouble(1.5), real(1.5)},
        {"cdx timestamp", 2, 14, 0, 0, Value::null(), Value::ofTimestamp(2451545, 5), stamp(2451545, 5)},
        {"cdx memo", 2, 5, 0, 0, Value::null(), Value::ofMemo("memo"), text("memo")},
        {"ntx char", 1, 4, 3, 0, Value::null(), Value::ofText("NTX"), text("NTX")},
        {"ntx numeric", 1, 2, 4, 0, Value::null(), Value::ofDouble(12), text("12")},
        {"ntx date", 1, 3, 0, 0, Value::null(), Value::ofDate(2451600), text("20000225")},
        {"ntx raw", 1, 16, 2, 0, Value::null(), Value::ofBinary("ok"), binary("ok")},
        {"vfp integer", 4, 11, 0, 0, Value::null(), Value::ofInteger(5), real(5)},
        {"vfp integer null flag", 4, 11, 0, 0, Value::ofInteger(5), Value::null(), nullValue()},
        {"vfp char", 4, 4, 3, 0, Value::null(), Value::ofText("v"), text("v")},
        {"vfp varchar", 4, 23, 4, 0, Value::null(), Value::ofText("ab"), text("ab")},
        {"vfp varchar full", 4, 23, 2, 0, Value::null(), Value::ofText("ab"), text("ab")},
        {"vfp varbinary", 4, 24, 4, 0, Value::null(), Value::ofBinary(std::string("\x01", 1)),
         binary(std::string("\x01", 1))},
        {"vfp currency", 4, 17, 0, 0, Value::null(), Value::ofDouble(-1.25), real(-1.25)},
        {"vfp date", 4, 3, 0, 0, Value::ofDate(2451545), Value::ofDate(2451546), julian(2451546)},
        {"vfp timestamp", 4, 14, 0, 0, Value::null(), Value::ofTimestamp(2451545, 6), stamp(2451545, 6)},
        {"vfp logical", 4, 1, 0, 0, Value::null(), Value::ofLogical(true), text("T")},
        {"vfp memo", 4, 5, 0, 0, Value::null(), Value::ofMemo("vfp memo"), text("vfp memo")},
    };
    // The bytes of -8.5 in an LDT double column, for the raw setter.
    rawDouble.assign("\0\0\0\0\0\0\x21\xc0", 8);
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const lce::TableSchema schema = oneColumn(c);
        {
            auto ref = lce::TableFile::create(dir.path("REF.LDT"), schema);
            ref.append({c.expected});
            auto t = lce::TableFile::create(dir.path("T.LDT"), schema);
            t.append({c.initial});
        }
        std::string expectedImage;
        {
            Session ref(dir, "REF.LDT", 2);
            ASSERT_EQ(LumGotoTop(ref.table), 0u) << lastErrorText();
            expectedImage = recordImage(ref.table);
        }
        {
            Session s(dir, "T.LDT");
            ASSERT_EQ(LumGotoTop(s.table), 0u) << lastErrorText();
            ASSERT_EQ(c.set(s.table), 0u) << lastErrorText();
            EXPECT_EQ(recordImage(s.table), expectedImage) << "the pending image";
            ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
            ASSERT_EQ(LumAppendRecord(s.table), 0u) << lastErrorText();
            ASSERT_EQ(c.set(s.table), 0u) << lastErrorText();
            ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
            UNSIGNED32 recno = 0;
            LumGetRecordNum(s.table, 2, &recno);
            EXPECT_EQ(recno, 2u);
        }
        Session s(dir, "T.LDT", 2);
        for (UNSIGNED32 r : {1u, 2u}) {
            ASSERT_EQ(LumGotoRecord(s.table, r), 0u) << lastErrorText();
            EXPECT_EQ(recordImage(s.table), expectedImage) << "record " << r;
            EXPECT_EQ(fieldText(s.table, "F"),
                      [&] {
                          Session ref(dir, "REF.LDT", 2);
                          LumGotoTop(ref.table);
                          return fieldText(ref.table, "F");
                      }())
                << "record " << r;
        }
        const std::string columns = "SELECT F FROM records ORDER BY __recno";
        const auto refColumn = storedRows(dir.path("REF.LDT"), columns);
        ASSERT_EQ(refColumn.size(), 1u);
        EXPECT_EQ(storedRows(dir.path("T.LDT"), columns), std::vector<std::string>(2, refColumn.front()));
        if (!schema.indexes.empty()) {
            const std::string keys = "SELECT __k1 FROM lce_keys ORDER BY __recno";
            EXPECT_EQ(storedRows(dir.path("T.LDT"), keys),
                      std::vector<std::string>(2, storedRows(dir.path("REF.LDT"), keys).front()));
        }
    }
}

// An auto-increment column numbers appended records after the greatest
// number given, and a number of a removed record is not given again.
TEST(EngineWrites, AutoIncrementNumbersAreNotGivenTwice) {
    TempDir dir;
    lce::TableSchema schema;
    schema.columns = {col("Id", 15), col("Name", 4, 8)};
    {
        auto t = lce::TableFile::create(dir.path("A.LDT"), schema);
        t.append({Value::null(), Value::ofText("one")});
        t.append({Value::ofInteger(10), Value::ofText("ten")});
    }
    {
        Session s(dir, "A.LDT");
        ASSERT_EQ(LumAppendRecord(s.table), 0u) << lastErrorText();
        ASSERT_EQ(setText(s.table, "Name", "eleven"), 0u) << lastErrorText();
        EXPECT_EQ(fieldText(s.table, "Id"), "") << "numbered when written";
        ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
        EXPECT_EQ(fieldText(s.table, "Id"), "11");
        ASSERT_EQ(LumDeleteRecord(s.table), 0u) << lastErrorText();
        ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
    }
    Session s(dir, "A.LDT");
    const auto cursor = lce::HandleRegistry::instance().get<lce::Cursor>(s.table, "table");
    EXPECT_EQ(cursor->lastAutoIncrement(), 0);
    ASSERT_EQ(LumAppendRecord(s.table), 0u) << lastErrorText();
    ASSERT_EQ(setText(s.table, "Name", "next"), 0u) << lastErrorText();
    ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
    EXPECT_EQ(fieldText(s.table, "Id"), "12");
    EXPECT_EQ(cursor->lastAutoIncrement(), 12) << "kept for the last auto-increment value of the handle";
    // An SQL INSERT numbers its records the same way and keeps the last.
    LUMHANDLE stmt = 0, none = 0;
    ASSERT_EQ(LumCreateSQLStatement(s.conn, &stmt), 0u);
    ASSERT_EQ(LumExecuteSQLDirect(stmt, "INSERT INTO A ([Name]) VALUES ('x'), ('y')", &none), 0u) << lastErrorText();
    EXPECT_EQ(lce::HandleRegistry::instance().get<lce::Statement>(stmt, "statement")->lastAutoIncrement(), 14);
    EXPECT_EQ(storedRows(dir.path("A.LDT"), "SELECT Id FROM records WHERE Name IN ('x', 'y') ORDER BY Id"),
              (std::vector<std::string>{"1:13|", "1:14|"}));
    expectConsistent(dir.path("A.LDT"));
}

namespace {

// Two records with N unique (index ByN) and a plain index on Name.
void makeUniqueTable(const TempDir& dir, std::uint16_t tableType) {
    lce::TableSchema schema = numberedSchema();
    schema.tableType = tableType;
    schema.indexes[0].unique = true;
    lce::IndexDef byName;
    byName.name = "ByName";
    byName.fields = {"Name"};
    schema.indexes.push_back(byName);
    auto t = lce::TableFile::create(dir.path("U.LDT"), schema);
    t.append({Value::ofInteger(1), Value::ofText("one")});
    t.append({Value::ofInteger(2), Value::ofText("two")});
}

}  // namespace

// A write that would give a unique index a key it holds is refused with its
// own code, names the index and writes nothing: not the record, nor its
// image, nor a key of another index.
TEST(EngineWrites, AUniqueIndexRefusesADuplicateAndNothingIsHalfWritten) {
    for (std::uint16_t type : {std::uint16_t{3}, std::uint16_t{2}}) {
        SCOPED_TRACE(type);
        TempDir dir;
        makeUniqueTable(dir, type);
        const auto before = storedRows(dir.path("U.LDT"), "SELECT * FROM lce_images");
        Session s(dir, "U.LDT");
        ASSERT_EQ(LumAppendRecord(s.table), 0u);
        setText(s.table, "N", "2");
        setText(s.table, "Name", "another");
        EXPECT_EQ(LumWriteRecord(s.table), static_cast<UNSIGNED32>(LUM_ERR_DUPLICATE_KEY));
        EXPECT_NE(lastErrorText().find("ByN"), std::string::npos) << lastErrorText();
        EXPECT_NE(lastErrorText().find("U.LDT"), std::string::npos) << lastErrorText();
        ASSERT_EQ(LumCancelUpdate(s.table), 0u);
        // Changing a record into a duplicate is refused the same way.
        ASSERT_EQ(LumGotoRecord(s.table, 1), 0u);
        setText(s.table, "Name", "changed");
        setText(s.table, "N", "2");
        EXPECT_EQ(LumWriteRecord(s.table), static_cast<UNSIGNED32>(LUM_ERR_DUPLICATE_KEY));
        ASSERT_EQ(LumCancelUpdate(s.table), 0u);
        EXPECT_EQ(fieldText(s.table, "Name"), "one                 ");
        EXPECT_EQ(storedRows(dir.path("U.LDT"), "SELECT * FROM lce_images"), before);
        expectConsistent(dir.path("U.LDT"));
        // The same values without the clash are written.
        setText(s.table, "N", "3");
        EXPECT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
        expectConsistent(dir.path("U.LDT"));
        // Inside a transaction the refused write leaves the others of it.
        ASSERT_EQ(LumBeginTransaction(s.conn), 0u);
        for (const char* n : {"4", "4"}) {
            ASSERT_EQ(LumAppendRecord(s.table), 0u);
            setText(s.table, "N", n);
            const UNSIGNED32 rc = LumWriteRecord(s.table);
            if (rc != 0) {
                EXPECT_EQ(rc, static_cast<UNSIGNED32>(LUM_ERR_DUPLICATE_KEY));
                LumCancelUpdate(s.table);
            }
        }
        ASSERT_EQ(LumCommitTransaction(s.conn), 0u) << lastErrorText();
        EXPECT_EQ(storedCount(dir.path("U.LDT"), "records"), 3);
        expectConsistent(dir.path("U.LDT"));
    }
}

// Rights: a table opened read-only, a table file marked read-only, a column
// without the update or insert permission, and an SQL result refuse writes;
// ignoring rights lets the column be written.
TEST(EngineWrites, WritesWithoutTheRightAreRefused) {
    TempDir dir;
    lce::TableSchema schema = numberedSchema();
    schema.columns[1].permissions = 4;  // Name: insert only
    {
        auto t = lce::TableFile::create(dir.path("P.LDT"), schema);
        t.append({Value::ofInteger(1), Value::ofText("one")});
        auto ro = lce::TableFile::create(dir.path("RO.LDT"), numberedSchema());
        ro.append({Value::ofInteger(1), Value::ofText("one")});
    }
    ::chmod(dir.path("RO.LDT").c_str(), 0444);
    struct Case {
        const char* label;
        const char* table;
        UNSIGNED32 options;
        UNSIGNED16 rights;
        const char* field;
        bool append;
        UNSIGNED32 rc;
        UNSIGNED32 openOptions;
    };
    const Case cases[] = {
        {"opened read-only", "P.LDT", 2, 1, "N", false, LUM_ERR_READ_ONLY, 2},
        {"file marked read-only", "RO.LDT", 0, 1, "N", false, LUM_ERR_NO_RIGHTS, 0},
        {"column without update permission", "P.LDT", 0, 1, "Name", false, LUM_ERR_NO_RIGHTS, 0x60},
        {"column with insert permission on append", "P.LDT", 0, 1, "Name", true, 0, 0x60},
        {"rights ignored", "P.LDT", 0, 2, "Name", false, 0, 0x60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Session s(dir, c.table, c.options, c.rights);
        UNSIGNED32 options = 99;
        LumGetTableOpenOptions(s.table, &options);
        EXPECT_EQ(options, c.openOptions);
        if (c.append) {
            ASSERT_EQ(LumAppendRecord(s.table), 0u) << lastErrorText();
        } else {
            ASSERT_EQ(LumGotoTop(s.table), 0u);
        }
        EXPECT_EQ(setText(s.table, c.field, "7"), c.rc) << lastErrorText();
        if (c.rc) {
            EXPECT_NE(lastErrorText().find(c.table), std::string::npos) << lastErrorText();
            EXPECT_EQ(LumWriteRecord(s.table), 0u) << "nothing pending";
        } else {
            EXPECT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("RO.LDT.lck")));
    // The result of an SQL statement is no table to change.
    Session s(dir, "P.LDT");
    LUMHANDLE stmt = 0, cursor = 0;
    ASSERT_EQ(LumCreateSQLStatement(s.conn, &stmt), 0u);
    ASSERT_EQ(LumExecuteSQLDirect(stmt, "SELECT N FROM P", &cursor), 0u) << lastErrorText();
    ASSERT_EQ(LumGotoTop(cursor), 0u);
    EXPECT_EQ(LumSetDouble(cursor, "N", 5), static_cast<UNSIGNED32>(LUM_ERR_READ_ONLY));
    EXPECT_EQ(LumAppendRecord(cursor), static_cast<UNSIGNED32>(LUM_ERR_READ_ONLY));
    LumCloseSQLStatement(stmt);
}

// NTX, CDX and VFP records keep their place with the deletion flag, which
// navigation skips while deleted records are hidden; an LDT record is
// removed, and a skip goes on from where it stood.
TEST(EngineWrites, DeletedRecordsAreFlaggedOrRemovedAndSkipsGoOn) {
    for (std::uint16_t type : {std::uint16_t{1}, std::uint16_t{2}, std::uint16_t{4}, std::uint16_t{3}}) {
        SCOPED_TRACE(type);
        TempDir dir;
        lce::TableSchema schema = numberedSchema();
        schema.tableType = type;
        {
            auto t = lce::TableFile::create(dir.path("D.LDT"), schema);
            for (int n : {30, 10, 20}) t.append({Value::ofInteger(n), Value::ofText("r" + std::to_string(n))});
        }
        Session s(dir, "D.LDT");
        LUMHANDLE byN = 0;
        ASSERT_EQ(LumGetIndexHandle(s.table, "ByN", &byN), 0u);
        ASSERT_EQ(LumGotoTop(byN), 0u);
        ASSERT_EQ(LumSkip(byN, 1), 0u);  // N = 20, record 3
        ASSERT_EQ(LumDeleteRecord(s.table), 0u) << lastErrorText();
        ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
        ASSERT_EQ(LumSkip(byN, 1), 0u) << lastErrorText();
        EXPECT_EQ(fieldText(s.table, "N"), "30") << "the skip goes on after the deleted record";
        expectConsistent(dir.path("D.LDT"));
        const bool flagged = type != 3;
        const std::vector<UNSIGNED32> inOrder =
            flagged ? std::vector<UNSIGNED32>{2, 3, 1} : std::vector<UNSIGNED32>{2, 1};
        EXPECT_EQ(recordNumbers(s.table, byN), inOrder);
        if (!flagged) continue;
        ASSERT_EQ(LumGotoRecord(s.table, 3), 0u);
        UNSIGNED16 deleted = 0;
        ASSERT_EQ(LumIsRecordDeleted(s.table, &deleted), 0u);
        EXPECT_EQ(deleted, 1);
        EXPECT_EQ(recordImage(s.table)[0], '*');
        ASSERT_EQ(LumShowDeleted(0), 0u);
        UNSIGNED16 shown = 9;
        LumGetDeleted(&shown);
        EXPECT_EQ(shown, 0);
        EXPECT_EQ(recordNumbers(s.table, byN), (std::vector<UNSIGNED32>{2, 1}));
        EXPECT_EQ(recordNumbers(s.table, s.table), (std::vector<UNSIGNED32>{1, 2}));
        // Recalled, it shows again.
        ASSERT_EQ(LumGotoRecord(s.table, 3), 0u);
        ASSERT_EQ(LumRecallRecord(s.table), 0u);
        ASSERT_EQ(LumWriteRecord(s.table), 0u);
        EXPECT_EQ(recordNumbers(s.table, byN), (std::vector<UNSIGNED32>{2, 3, 1}));
        LumShowDeleted(1);
        expectConsistent(dir.path("D.LDT"));
    }
}

// A pending append that is cancelled leaves no record and the cursor where
// it stood; pending changes are written when the cursor moves on.
TEST(EngineWrites, PendingChangesAreWrittenOnMovingAndDroppedOnCancel) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("N.LDT"), numberedSchema());
        t.append({Value::ofInteger(1), Value::ofText("one")});
        t.append({Value::ofInteger(2), Value::ofText("two")});
    }
    Session s(dir, "N.LDT");
    ASSERT_EQ(LumGotoRecord(s.table, 2), 0u);
    ASSERT_EQ(LumAppendRecord(s.table), 0u);
    setText(s.table, "N", "3");
    ASSERT_EQ(LumCancelUpdate(s.table), 0u);
    UNSIGNED32 recno = 0, count = 0;
    LumGetRecordNum(s.table, 2, &recno);
    EXPECT_EQ(recno, 2u);
    LumGetRecordCount(s.table, 6, &count);
    EXPECT_EQ(count, 2u);
    setText(s.table, "Name", "second");
    ASSERT_EQ(LumGotoTop(s.table), 0u) << lastErrorText();
    ASSERT_EQ(LumGotoRecord(s.table, 2), 0u);
    EXPECT_EQ(fieldText(s.table, "Name"), "second              ");
    expectConsistent(dir.path("N.LDT"));
}

// Two processes on one table: a record locked by the other is neither
// locked nor written here (pessimistic), a record the other changed is seen
// changed when it is locked and read again (optimistic), and the locks of a
// process that dies are gone with it; so is its exclusive open.
TEST(EngineWrites, LocksHoldAcrossProcessesAndEndWithTheirProcess) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("L.LDT"), numberedSchema());
        t.append({Value::ofInteger(1), Value::ofText("one")});
        t.append({Value::ofInteger(2), Value::ofText("two")});
    }
    Session s(dir, "L.LDT");
    const UNSIGNED32 locked = LUM_ERR_LOCKED;
    {
        Editor other("lock", dir.path(), "L.LDT 1");
        ASSERT_TRUE(other.locked()) << other.line();
        EXPECT_EQ(LumLockRecord(s.table, 1), locked);
        EXPECT_NE(lastErrorText().find("Record 1"), std::string::npos) << lastErrorText();
        ASSERT_EQ(LumGotoRecord(s.table, 1), 0u);
        setText(s.table, "Name", "mine");
        EXPECT_EQ(LumWriteRecord(s.table), locked);
        ASSERT_EQ(LumCancelUpdate(s.table), 0u);
        EXPECT_EQ(LumLockTable(s.table), locked);
        EXPECT_EQ(LumLockRecord(s.table, 2), 0u) << "other records stay free";
        ASSERT_EQ(LumUnlockRecord(s.table, 2), 0u);
        other.release();
    }
    ASSERT_EQ(LumLockRecord(s.table, 1), 0u) << lastErrorText();
    {
        Editor other("edit", dir.path(), "L.LDT 1 Name theirs");
        EXPECT_EQ(other.line().rfind("error " + std::to_string(locked), 0), 0u) << other.line();
    }
    ASSERT_EQ(LumUnlockRecord(s.table, 1), 0u);
    // Optimistic: read, the other writes, lock and read again.
    ASSERT_EQ(LumGotoRecord(s.table, 1), 0u);
    const std::string seen = recordImage(s.table);
    {
        Editor other("edit", dir.path(), "L.LDT 1 Name theirs");
        EXPECT_EQ(other.line().rfind("written", 0), 0u) << other.line();
    }
    ASSERT_EQ(LumLockRecord(s.table, 0), 0u) << lastErrorText();
    ASSERT_EQ(LumRefreshRecord(s.table), 0u);
    EXPECT_NE(recordImage(s.table), seen) << "the change of the other process shows";
    EXPECT_EQ(fieldText(s.table, "Name"), "theirs              ");
    ASSERT_EQ(LumUnlockRecord(s.table, 0), 0u);
    // A process that dies holding locks.
    {
        Editor other("lock-table", dir.path(), "L.LDT");
        ASSERT_TRUE(other.locked()) << other.line();
        EXPECT_EQ(LumLockRecord(s.table, 2), locked);
        other.kill();
    }
    EXPECT_EQ(LumLockRecord(s.table, 2), 0u) << lastErrorText();
    EXPECT_EQ(LumLockTable(s.table), 0u) << lastErrorText();
    UNSIGNED16 isLocked = 0;
    LumIsTableLocked(s.table, &isLocked);
    EXPECT_EQ(isLocked, 1);
    ASSERT_EQ(LumUnlockTable(s.table), 0u);
    LumIsRecordLocked(s.table, 2, &isLocked);
    EXPECT_EQ(isLocked, 1) << "the record lock outlives the table lock";
    ASSERT_EQ(LumUnlockRecord(s.table, 0), 0u);
    // An exclusive open: refused while the table is open here, and keeping
    // this process out (open, record writes, SQL) until it ends.
    {
        Editor refusedExclusive("exclusive", dir.path(), "L.LDT");
        EXPECT_EQ(refusedExclusive.line().rfind("error " + std::to_string(locked), 0), 0u) << refusedExclusive.line();
    }
    ASSERT_EQ(LumCloseTable(s.table), 0u);
    s.table = 0;
    {
        Editor other("exclusive", dir.path(), "L.LDT");
        ASSERT_TRUE(other.locked()) << other.line();
        LUMHANDLE t2 = 0;
        EXPECT_EQ(LumOpenTable90(s.conn, "L.LDT", nullptr, 0, 1, 1, 1, 0, "", &t2), locked);
        EXPECT_EQ(LumOpenTable90(s.conn, "L.LDT", nullptr, 0, 1, 1, 1, 2, "", &t2), locked);
        LUMHANDLE stmt = 0, none = 0;
        ASSERT_EQ(LumCreateSQLStatement(s.conn, &stmt), 0u);
        EXPECT_EQ(LumExecuteSQLDirect(stmt, "UPDATE L SET [Name] = 'x'", &none), locked) << lastErrorText();
        LumCloseSQLStatement(stmt);
        other.kill();
    }
    LUMHANDLE t2 = 0;
    ASSERT_EQ(LumOpenTable90(s.conn, "L.LDT", nullptr, 0, 1, 1, 1, 1, "", &t2), 0u) << lastErrorText();
    Editor refused("lock", dir.path(), "L.LDT 1");
    EXPECT_EQ(refused.line().rfind("error " + std::to_string(locked), 0), 0u) << refused.line();
    LumCloseTable(t2);
    expectConsistent(dir.path("L.LDT"));
}

// Appending through the builder (payxref-db import) holds the table lock: it
// is refused while a user of the engine holds a record lock, and keeps the
// engine's users from locking while it appends.
TEST(EngineWrites, TheBuildersAppendsRespectTheEnginesLocks) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("B.LDT"), numberedSchema());
        t.append({Value::ofInteger(1), Value::ofText("one")});
    }
    Session s(dir, "B.LDT");
    ASSERT_EQ(LumLockRecord(s.table, 1), 0u) << lastErrorText();
    try {
        lce::TableFile::openForAppend(dir.path("B.LDT"));
        ADD_FAILURE() << "appended past a record lock";
    } catch (const lce::Error& e) {
        EXPECT_EQ(e.code(), static_cast<std::uint32_t>(LUM_ERR_LOCKED));
        EXPECT_NE(std::string(e.what()).find("B.LDT"), std::string::npos) << e.what();
    }
    ASSERT_EQ(LumUnlockRecord(s.table, 1), 0u);
    {
        auto t = lce::TableFile::openForAppend(dir.path("B.LDT"));
        EXPECT_EQ(LumLockRecord(s.table, 1), static_cast<UNSIGNED32>(LUM_ERR_LOCKED));
        t.append({Value::ofInteger(2), Value::ofText("two")});
    }
    EXPECT_EQ(LumLockRecord(s.table, 1), 0u) << lastErrorText();
    expectConsistent(dir.path("B.LDT"));
}

// A record written in a transaction stays locked for other processes until
// the transaction ends; disconnecting in the middle rolls it back.
TEST(EngineWrites, ATransactionKeepsItsRecordsLockedAndDisconnectingRollsItBack) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("X.LDT"), numberedSchema());
        t.append({Value::ofInteger(1), Value::ofText("one")});
        t.append({Value::ofInteger(2), Value::ofText("two")});
    }
    const std::string locked = "error " + std::to_string(LUM_ERR_LOCKED);
    {
        Session s(dir, "X.LDT");
        ASSERT_EQ(LumBeginTransaction(s.conn), 0u);
        ASSERT_EQ(LumGotoRecord(s.table, 1), 0u);
        ASSERT_EQ(setText(s.table, "Name", "first"), 0u);
        ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
        {
            Editor other("lock", dir.path(), "X.LDT 1");
            EXPECT_EQ(other.line().rfind(locked, 0), 0u) << other.line();
        }
        {
            Editor other("lock", dir.path(), "X.LDT 2");
            EXPECT_TRUE(other.locked()) << other.line();
        }
        ASSERT_EQ(LumCommitTransaction(s.conn), 0u) << lastErrorText();
        {
            Editor other("lock", dir.path(), "X.LDT 1");
            EXPECT_TRUE(other.locked()) << other.line();
        }
        ASSERT_EQ(LumBeginTransaction(s.conn), 0u);
        ASSERT_EQ(LumGotoRecord(s.table, 2), 0u);
        ASSERT_EQ(setText(s.table, "Name", "second"), 0u);
        ASSERT_EQ(LumWriteRecord(s.table), 0u) << lastErrorText();
        ASSERT_EQ(LumDisconnect(s.conn), 0u);
        s.conn = s.table = 0;
    }
    Session check(dir, "X.LDT", 2);
    ASSERT_EQ(LumGotoRecord(check.table, 1), 0u);
    EXPECT_EQ(fieldText(check.table, "Name"), "first               ");
    ASSERT_EQ(LumGotoRecord(check.table, 2), 0u);
    EXPECT_EQ(fieldText(check.table, "Name"), "two                 ");
    expectConsistent(dir.path("X.LDT"));
}

// An SQL statement that changes many records holds them all at once: it is
// refused (and changes nothing) while another process locks one of them,
// keeps this connection's own record locks, and releases the rest.
TEST(EngineWrites, ASqlChangeOfManyRecordsMeetsTheLocksOfOthers) {
    TempDir dir;
    {
        auto t = lce::TableFile::create(dir.path("M.LDT"), numberedSchema());
        for (int n = 1; n <= 40; ++n) t.append({Value::ofInteger(n), Value::ofText("r")});
    }
    Session s(dir, "M.LDT");
    LUMHANDLE stmt = 0, none = 0;
    ASSERT_EQ(LumCreateSQLStatement(s.conn, &stmt), 0u);
    const auto before = storedRows(dir.path("M.LDT"), "SELECT * FROM lce_images");
    {
        Editor other("lock", dir.path(), "M.LDT 7");
        ASSERT_TRUE(other.locked()) << other.line();
        EXPECT_EQ(LumExecuteSQLDirect(stmt, "UPDATE M SET [Name] = 'all'", &none),
                  static_cast<UNSIGNED32>(LUM_ERR_LOCKED));
        EXPECT_NE(lastErrorText().find("Record 7"), std::string::npos) << lastErrorText();
        EXPECT_EQ(storedRows(dir.path("M.LDT"), "SELECT * FROM lce_images"), before);
    }
    ASSERT_EQ(LumLockRecord(s.table, 3), 0u) << lastErrorText();
    ASSERT_EQ(LumExecuteSQLDirect(stmt, "UPDATE M SET [Name] = 'all'", &none), 0u) << lastErrorText();
    {
        Editor other("lock", dir.path(), "M.LDT 3");
        EXPECT_EQ(other.line().rfind("error " + std::to_string(LUM_ERR_LOCKED), 0), 0u) << other.line();
    }
    {
        Editor other("lock", dir.path(), "M.LDT 7");
        EXPECT_TRUE(other.locked()) << other.line();
    }
    expectConsistent(dir.path("M.LDT"));
}
