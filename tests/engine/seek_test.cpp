// Seeks in an index order: raw and text keys, soft and hard, whole and
// partial keys, inside scopes, on ascending and descending indexes, and the
// refusals of handles and arguments that cannot seek.
#include <cstdlib>

#include "tests/engine/fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

lce::IndexDef def(const std::string& name, std::vector<std::string> fields, bool descending = false) {
    lce::IndexDef d;
    d.name = name;
    d.fields = std::move(fields);
    d.descending = descending;
    return d;
}

// S.LDT: N and Name, in record order (20 Delta), (10 Beta), (30 Gamma),
// (20 alpha), (null Omega); indexes on N, on Name, on (Name, N) and on N
// descending.
class SeekTest : public ::testing::Test {
protected:
    void SetUp() override {
        lce::TableSchema schema;
        schema.columns = {col("N", 11), col("Name", 4, 20)};
        schema.indexes = {def("ByN", {"N"}), def("ByName", {"Name"}), def("ByNameN", {"Name", "N"}),
                          def("ByNDesc", {"N"}, true)};
        {
            auto t = lce::TableFile::create(dir.path("S.LDT"), schema);
            t.append({Value::ofInteger(20), Value::ofText("Delta")});
            t.append({Value::ofInteger(10), Value::ofText("Beta")});
            t.append({Value::ofInteger(30), Value::ofText("Gamma")});
            t.append({Value::ofInteger(20), Value::ofText("alpha")});
            t.append({Value::null(), Value::ofText("Omega")});
        }
        ASSERT_EQ(LumConnect60(dir.path().c_str(), 3, nullptr, nullptr, 0, &conn), 0u) << lastErrorText();
        table = openTable(conn, "S.LDT");
    }
    void TearDown() override {
        if (table) LumCloseTable(table);
        if (conn) LumDisconnect(conn);
    }

    LUMHANDLE index(const char* name) {
        LUMHANDLE h = 0;
        EXPECT_EQ(LumGetIndexHandle(table, name, &h), 0u) << lastErrorText();
        return h;
    }
    // A raw key of the values given as text for the leading segments.
    std::string rawKey(LUMHANDLE ix, const std::vector<std::pair<const char*, const char*>>& values) {
        EXPECT_EQ(LumInitRawKey(ix), 0u) << lastErrorText();
        for (const auto& [field, text] : values) {
            const auto* bytes = reinterpret_cast<const UNSIGNED8*>(text);
            const UNSIGNED32 rc = text == nullptr
                                      ? LumSetEmpty(ix, field)
                                      : LumSetField(ix, field, bytes, static_cast<UNSIGNED32>(strlen(text)));
            EXPECT_EQ(rc, 0u) << lastErrorText();
        }
        std::string key(300, '\0');
        UNSIGNED16 length = static_cast<UNSIGNED16>(key.size());
        EXPECT_EQ(LumBuildRawKey(ix, reinterpret_cast<UNSIGNED8*>(key.data()), &length), 0u) << lastErrorText();
        key.resize(length);
        return key;
    }
    // The current record's number, 0 after the last.
    UNSIGNED32 recno() {
        UNSIGNED16 eof = 0;
        EXPECT_EQ(LumAtEOF(table, &eof), 0u);
        if (eof) return 0;
        UNSIGNED32 r = 0;
        EXPECT_EQ(LumGetRecordNum(table, 2, &r), 0u) << lastErrorText();
        return r;
    }

    TempDir dir;
    LUMHANDLE conn = 0, table = 0;
};

TEST_F(SeekTest, LandsOnTheFirstKeyNotBelowTheOneSought) {
    struct Case {
        const char* label;
        const char* index;
        // Raw: field/value pairs (nullptr value: empty); text: the first entry's value.
        std::vector<std::pair<const char*, const char*>> values;
        UNSIGNED16 kind;
        UNSIGNED16 seekType;
        bool found;
        UNSIGNED32 recno;  // 0: after the last record
    };
    const Case cases[] = {
        {"whole key, first of two equal keys", "ByN", {{"N", "20"}}, LUM_RAWKEY, LUM_SOFTSEEK, true, 1},
        {"missing key, soft: the next key", "ByN", {{"N", "25"}}, LUM_RAWKEY, LUM_SOFTSEEK, false, 3},
        {"missing key, hard: after the last", "ByN", {{"N", "25"}}, LUM_RAWKEY, LUM_HARDSEEK, false, 0},
        {"above every key, soft", "ByN", {{"N", "99"}}, LUM_RAWKEY, LUM_SOFTSEEK, false, 0},
        {"found, hard", "ByN", {{"N", "30"}}, LUM_RAWKEY, LUM_HARDSEEK, true, 3},
        {"empty value finds the null key", "ByN", {{"N", nullptr}}, LUM_RAWKEY, LUM_SOFTSEEK, true, 5},
        {"text key is a prefix", "ByName", {{"Name", "Ga"}}, LUM_STRINGKEY, LUM_SOFTSEEK, true, 3},
        {"text key, no prefix, soft", "ByName", {{"Name", "Gb"}}, LUM_STRINGKEY, LUM_SOFTSEEK, false, 5},
        {"text key, no prefix, hard", "ByName", {{"Name", "Gb"}}, LUM_STRINGKEY, LUM_HARDSEEK, false, 0},
        {"text is case sensitive", "ByName", {{"Name", "ALPHA"}}, LUM_STRINGKEY, LUM_HARDSEEK, false, 0},
        {"whole text value is no prefix of a longer one",
         "ByName",
         {{"Name", "Gam"}},
         LUM_RAWKEY,
         LUM_HARDSEEK,
         false,
         0},
        {"partial key of two segments", "ByNameN", {{"Name", "alpha"}}, LUM_RAWKEY, LUM_SOFTSEEK, true, 4},
        {"two segments", "ByNameN", {{"Name", "Delta"}, {"N", "20"}}, LUM_RAWKEY, LUM_HARDSEEK, true, 1},
        {"two segments, second differs",
         "ByNameN",
         {{"Name", "Delta"}, {"N", "21"}},
         LUM_RAWKEY,
         LUM_HARDSEEK,
         false,
         0},
        {"descending: the next key is the smaller", "ByNDesc", {{"N", "25"}}, LUM_RAWKEY, LUM_SOFTSEEK, false, 1},
        {"descending, found", "ByNDesc", {{"N", "10"}}, LUM_RAWKEY, LUM_SOFTSEEK, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const LUMHANDLE ix = index(c.index);
        std::string key = c.kind == LUM_RAWKEY ? rawKey(ix, c.values) : std::string(c.values.front().second);
        ASSERT_EQ(LumGotoTop(table), 0u);
        UNSIGNED16 found = 7;
        ASSERT_EQ(LumSeek(ix, reinterpret_cast<const UNSIGNED8*>(key.data()), static_cast<UNSIGNED16>(key.size()),
                          c.kind, c.seekType, &found),
                  0u)
            << lastErrorText();
        EXPECT_EQ(found, c.found ? 1 : 0);
        EXPECT_EQ(recno(), c.recno);
    }
}

TEST_F(SeekTest, ASkipGoesOnInTheOrderFromTheRecordFound) {
    const LUMHANDLE ix = index("ByN");
    const std::string key = rawKey(ix, {{"N", "20"}});
    UNSIGNED16 found = 0;
    ASSERT_EQ(LumSeek(ix, reinterpret_cast<const UNSIGNED8*>(key.data()), static_cast<UNSIGNED16>(key.size()),
                      LUM_RAWKEY, LUM_SOFTSEEK, &found),
              0u);
    std::vector<UNSIGNED32> seen{recno()};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(LumSkip(ix, 1), 0u) << lastErrorText();
        seen.push_back(recno());
    }
    EXPECT_EQ(seen, (std::vector<UNSIGNED32>{1, 4, 3, 0}));
    ASSERT_EQ(LumSeek(ix, reinterpret_cast<const UNSIGNED8*>(key.data()), static_cast<UNSIGNED16>(key.size()),
                      LUM_RAWKEY, LUM_SOFTSEEK, &found),
              0u);
    ASSERT_EQ(LumSkip(ix, -1), 0u) << lastErrorText();
    EXPECT_EQ(recno(), 2u);
}

TEST_F(SeekTest, StaysInsideTheScopes) {
    const LUMHANDLE ix = index("ByN");
    const std::string twenty = rawKey(ix, {{"N", "20"}});
    ASSERT_EQ(LumSetScope(ix, LUM_TOP, reinterpret_cast<const UNSIGNED8*>(twenty.data()),
                          static_cast<UNSIGNED16>(twenty.size()), LUM_RAWKEY),
              0u);
    ASSERT_EQ(LumSetScope(ix, LUM_BOTTOM, reinterpret_cast<const UNSIGNED8*>(twenty.data()),
                          static_cast<UNSIGNED16>(twenty.size()), LUM_RAWKEY),
              0u);
    struct Case {
        const char* value;
        UNSIGNED16 seekType;
        bool found;
        UNSIGNED32 recno;
    };
    const Case cases[] = {
        {"10", LUM_SOFTSEEK, false, 1},  // below the top: the scope's first record
        {"20", LUM_HARDSEEK, true, 1},
        {"30", LUM_SOFTSEEK, false, 0},  // beyond the bottom: nothing in the scope
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string key = rawKey(ix, {{"N", c.value}});
        UNSIGNED16 found = 7;
        ASSERT_EQ(LumSeek(ix, reinterpret_cast<const UNSIGNED8*>(key.data()), static_cast<UNSIGNED16>(key.size()),
                          LUM_RAWKEY, c.seekType, &found),
                  0u)
            << lastErrorText();
        EXPECT_EQ(found, c.found ? 1 : 0);
        EXPECT_EQ(recno(), c.recno);
    }
}

TEST_F(SeekTest, RefusesWhatCannotSeek) {
    const LUMHANDLE ix = index("ByN");
    const UNSIGNED8 key[] = {0x01};
    UNSIGNED16 found = 0;
    struct Case {
        const char* label;
        LUMHANDLE handle;
        UNSIGNED16 kind;
        UNSIGNED16 seekType;
        UNSIGNED16* found;
        UNSIGNED32 code;
    };
    const Case cases[] = {
        {"the table's natural order", table, LUM_RAWKEY, LUM_SOFTSEEK, &found, LUM_ERR_INDEX_NOT_FOUND},
        {"an unknown handle", 987654, LUM_RAWKEY, LUM_SOFTSEEK, &found, LUM_ERR_INVALID_HANDLE},
        {"a seek type of none", ix, LUM_RAWKEY, 9, &found, LUM_ERR_INVALID_ARGUMENT},
        {"a key type of none", ix, 9, LUM_SOFTSEEK, &found, LUM_ERR_INVALID_ARGUMENT},
        {"no found flag", ix, LUM_RAWKEY, LUM_SOFTSEEK, nullptr, LUM_ERR_INVALID_ARGUMENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(LumSeek(c.handle, key, sizeof key, c.kind, c.seekType, c.found), c.code);
        EXPECT_EQ(lastErrorCode(), c.code);
        EXPECT_FALSE(lastErrorText().empty());
    }
}

}  // namespace
