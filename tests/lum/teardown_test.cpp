// Tearing down the search's components while the detail table cannot read a
// record, as on a practice with a damaged index page: whatever goes (the
// window, the master's data source, the master query, the connection),
// nothing escapes, and a detail that stays is no longer kept to a range.
#include <functional>
#include <memory>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

// Once set, every step that reads or moves to a record fails as on a damaged file.
bool readsFail = false;

UNSIGNED32 Damaged() {
    lum::DefaultEngine().LumSetLastError(LUM_ERR_DAMAGED, "File ZTTRN.LDT is damaged");
    return LUM_ERR_DAMAGED;
}

LumFunctions FailingReads() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumIsRecordVisible = [](LUMHANDLE h, UNSIGNED16* visible) -> UNSIGNED32 {
        return readsFail ? Damaged() : lum::DefaultEngine().LumIsRecordVisible(h, visible);
    };
    engine.LumSkip = [](LUMHANDLE h, SIGNED32 records) -> UNSIGNED32 {
        return readsFail ? Damaged() : lum::DefaultEngine().LumSkip(h, records);
    };
    engine.LumGotoTop = [](LUMHANDLE h) -> UNSIGNED32 {
        return readsFail ? Damaged() : lum::DefaultEngine().LumGotoTop(h);
    };
    engine.LumGotoBOF = [](LUMHANDLE h) -> UNSIGNED32 {
        return readsFail ? Damaged() : lum::DefaultEngine().LumGotoBOF(h);
    };
    engine.LumGotoBookmark = [](LUMHANDLE h, UNSIGNED32 bookmark) -> UNSIGNED32 {
        return readsFail ? Damaged() : lum::DefaultEngine().LumGotoBookmark(h, bookmark);
    };
    engine.LumGetRecord = [](LUMHANDLE h, UNSIGNED8* record, UNSIGNED32* length) -> UNSIGNED32 {
        return readsFail ? Damaged() : lum::DefaultEngine().LumGetRecord(h, record, length);
    };
    return engine;
}

class Teardown : public ::testing::Test {
protected:
    void SetUp() override {
        readsFail = false;
        BuildPractice(dir,
                      {{1, "I", -50.0, "PAT00001", 1, 2451545, "PAY01"},
                       {2, "A", 100.0, "CHG00002", 1, 2451546, "99213"},
                       {3, "K", 20.0, "PAT00003", 2, 2451547, "ADJ"}},
                      {{1, 2, 20}});
        OpenSearch();
    }
    // The components as a search leaves them, the detail on the first payment.
    void OpenSearch() {
        readsFail = false;
        c = std::make_unique<Components>();
        c->connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
        c->table->SetEngine(engine);
        c->query->SetActive(true);
        c->table->SetActive(true);
        c->query->MoveToFirst();  // the table is now kept to the first payment's entry
        EXPECT_EQ(c->table->FieldNamed("Entry Number").ValueAsInteger(),
                  c->query->FieldNamed("Entry Number").ValueAsInteger());
        readsFail = true;
    }
    void TearDown() override { readsFail = false; }

    std::vector<std::int32_t> TableEntries() {
        std::vector<std::int32_t> entries;
        for (c->table->MoveToFirst(); !c->table->AtEnd(); c->table->MoveToNext())
            entries.push_back(c->table->FieldNamed("Entry Number").ValueAsInteger());
        return entries;
    }

    TempDir dir;
    const LumFunctions engine = FailingReads();
    std::unique_ptr<Components> c;
};

TEST_F(Teardown, NothingEscapesWhateverGoesWhileTheDetailCannotRead) {
    struct Case {
        const char* what;
        std::function<void(std::unique_ptr<Components>&)> destroy;
        bool detailStays;  // and then reads the whole table
    };
    const Case cases[] = {
        {"the window with all its components", [](auto& c) { c.reset(); }, false},
        // Told first that the connection goes, the datasets let go of it.
        {"the master's data source", [](auto& c) { c->root.DestroyOwned(*c->dsQryChg); }, true},
        {"the master query", [](auto& c) { c->root.DestroyOwned(*c->query); }, true},
        {"the connection", [](auto& c) { c->root.DestroyOwned(*c->connection); }, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        if (!c) OpenSearch();
        EXPECT_NO_THROW(test.destroy(c));
        readsFail = false;
        if (test.detailStays) {
            // Its range went with the master, without a read.
            ASSERT_TRUE(c->table->Active());
            EXPECT_EQ(TableEntries(), (std::vector<std::int32_t>{1, 2, 3}));
        }
        c.reset();
    }
}

TEST_F(Teardown, AMasterClosedByHandReportsTheDetailsFailureYetCloses) {
    // Not a teardown: the caller hears of the failed re-read, and the master
    // is closed all the same, its cursor released.
    EXPECT_THROW(c->query->Close(), lum::ELUMDatabaseError);
    EXPECT_FALSE(c->query->Active());
    EXPECT_EQ(c->query->CursorHandle(), lum::NoHandle);
    readsFail = false;
    c->query->Open();
    EXPECT_TRUE(c->query->Active());
}

}  // namespace
}  // namespace lumtest
