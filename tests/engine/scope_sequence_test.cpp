// Scopes set one after another on an index, as a master-detail link sets
// them for every master row: each must find what a fresh search of its
// scope finds, whichever way the scopes follow each other (ascending with
// ties, gaps near and far, the same again, backward), with deleted records
// hidden, a filter set, and a write between two scopes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/engine/fixture.h"

namespace {

using namespace lcetest;
using lce::Value;

struct Stored {
    std::int32_t n;
    UNSIGNED32 recno;
    bool deleted = false;
};

class ScopeSequence : public ::testing::Test {
protected:
    void SetUp() override {
        // N 0..59 twice each but no 40, then 60..159 once each, appended out
        // of key order.
        std::vector<std::int32_t> values;
        for (int i = 0; i < 120; ++i)
            if (i / 2 != 40) values.push_back(i / 2);
        for (int n = 60; n < 160; ++n) values.push_back(n);
        const std::size_t total = values.size();
        std::vector<std::int32_t> appended;
        for (std::size_t i = 0; i < total; ++i) appended.push_back(values[(i * 37) % total]);
        lce::TableSchema schema = numberedSchema();
        schema.tableType = lce::kVfp;
        {
            auto t = lce::TableFile::create(dir.path("S.LDT"), schema);
            for (std::int32_t n : appended) t.append({Value::ofInteger(n), Value::ofText("x")});
        }
        for (std::size_t i = 0; i < appended.size(); ++i)
            stored.push_back({appended[i], static_cast<UNSIGNED32>(i + 1)});
        ASSERT_EQ(LumConnect60(dir.path().c_str(), 3, nullptr, nullptr, 0, &conn), 0u) << lastErrorText();
        ASSERT_EQ(LumOpenTable90(conn, "S.LDT", nullptr, 0, 1, 1, 1, 0, "", &table), 0u) << lastErrorText();
        ASSERT_EQ(LumGetIndexHandle(table, "ByN", &byN), 0u) << lastErrorText();
    }
    void TearDown() override {
        LumShowDeleted(1);
        LumCloseTable(table);
        LumDisconnect(conn);
    }

    std::string key(std::int32_t n) {
        EXPECT_EQ(LumInitRawKey(byN), 0u);
        EXPECT_EQ(LumSetFieldRaw(byN, "N", reinterpret_cast<const UNSIGNED8*>(&n), 4), 0u) << lastErrorText();
        UNSIGNED8 bytes[64];
        UNSIGNED16 length = sizeof bytes;
        EXPECT_EQ(LumBuildRawKey(byN, bytes, &length), 0u) << lastErrorText();
        return std::string(reinterpret_cast<char*>(bytes), length);
    }
    void scope(std::int32_t top, std::int32_t bottom) {
        for (const auto& [which, n] : {std::pair<UNSIGNED16, std::int32_t>{1, top}, {2, bottom}}) {
            const std::string k = key(n);
            ASSERT_EQ(LumSetScope(byN, which, reinterpret_cast<const UNSIGNED8*>(k.data()),
                                  static_cast<UNSIGNED16>(k.size()), 1),
                      0u)
                << lastErrorText();
        }
    }
    // The records the scope shows: all of them from the top, or the first
    // only as a detail reads it, from before the first.
    std::vector<UNSIGNED32> read(bool all) {
        if (all) return recordNumbers(table, byN);
        EXPECT_EQ(LumGotoBOF(table), 0u);
        EXPECT_EQ(LumSkip(byN, 1), 0u) << lastErrorText();
        UNSIGNED16 eof = 0;
        LumAtEOF(table, &eof);
        if (eof) return {};
        UNSIGNED32 recno = 0;
        LumGetRecordNum(table, 2, &recno);
        return {recno};
    }
    // What a search of the stored records finds: in key order, ties by record number.
    std::vector<UNSIGNED32> expected(std::int32_t top, std::int32_t bottom, bool all, std::int32_t filteredOut) const {
        std::vector<Stored> in;
        for (const Stored& s : stored)
            if (s.n >= top && s.n <= bottom && !s.deleted && s.n != filteredOut) in.push_back(s);
        std::sort(in.begin(), in.end(),
                  [](const Stored& a, const Stored& b) { return a.n != b.n ? a.n < b.n : a.recno < b.recno; });
        std::vector<UNSIGNED32> out;
        for (const Stored& s : in) {
            out.push_back(s.recno);
            if (!all) break;
        }
        return out;
    }
    Stored& storedWith(std::int32_t n) {
        return *std::find_if(stored.begin(), stored.end(), [n](const Stored& s) { return s.n == n; });
    }

    TempDir dir;
    LUMHANDLE conn = 0, table = 0, byN = 0;
    std::vector<Stored> stored;
};

TEST_F(ScopeSequence, EachScopeFindsWhatAFreshSearchFinds) {
    // The first record of N 3 and of N 24 deleted and hidden; N 11 filtered out.
    for (std::int32_t n : {3, 24}) {
        Stored& s = storedWith(n);
        ASSERT_EQ(LumGotoRecord(table, s.recno), 0u);
        ASSERT_EQ(LumDeleteRecord(table), 0u) << lastErrorText();
        ASSERT_EQ(LumWriteRecord(table), 0u) << lastErrorText();
        s.deleted = true;
    }
    ASSERT_EQ(LumShowDeleted(0), 0u);
    ASSERT_EQ(LumSetFilter(table, "N <> 11"), 0u) << lastErrorText();

    struct Step {
        const char* what;
        std::int32_t top, bottom;
        bool all;
        std::int32_t rewriteTo = -1;  // before the scope, the record read last gets this N
    };
    const Step steps[] = {
        {"the first key", 0, 0, false},
        {"the next key", 1, 1, false},
        {"a key with its first record deleted", 3, 3, false},
        {"the same key again", 3, 3, false},
        {"the next key, read whole", 4, 4, true},
        {"a key filtered out", 11, 11, false},
        {"the key after it", 12, 12, false},
        {"a key whose other record is deleted", 24, 24, false},
        {"a range read whole", 30, 33, true},
        {"a single key after a range", 34, 34, false},
        {"the key before a missing one", 39, 39, false},
        {"a missing key", 40, 40, false},
        {"the key after it", 41, 41, false},
        {"where ties end and single keys begin", 59, 59, false},
        {"a single key", 60, 60, false},
        {"a key far ahead", 150, 150, false},
        {"after a write to the record read last", 151, 151, false, 10},
        {"a key beyond the last", 200, 200, false},
        {"back to an earlier key", 5, 5, false},
        {"on from there", 6, 6, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.rewriteTo >= 0) {
            UNSIGNED32 recno = 0;
            ASSERT_EQ(LumGetRecordNum(table, 2, &recno), 0u);
            const std::int32_t n = s.rewriteTo;
            ASSERT_EQ(LumSetFieldRaw(table, "N", reinterpret_cast<const UNSIGNED8*>(&n), 4), 0u) << lastErrorText();
            ASSERT_EQ(LumWriteRecord(table), 0u) << lastErrorText();
            for (Stored& st : stored)
                if (st.recno == recno) st.n = n;
        }
        scope(s.top, s.bottom);
        EXPECT_EQ(read(s.all), expected(s.top, s.bottom, s.all, 11));
    }
}

}  // namespace
