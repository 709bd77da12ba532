// Record numbers, bookmarks and the version text of the layer's datasets, on a
// practice whose ZTTRN holds 200 transactions stored in reverse entry order
// (record r has entry 201 - r), so that the natural order and the order of
// the entry-number index differ; the engine calls are recorded, and some of
// them answered by the test.
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "data/lum/errors.h"
#include "framework/dataset/data_link.h"
#include "tests/lum/fixture.h"
#include "tests/lum/recording_engine.h"

namespace lumtest {
namespace {

using Calls = std::vector<std::string>;
using fw::TBookmark;
using lum::TLumSequencedLevel;

constexpr int RecordCount = 200;
constexpr const char* EntryIndex = "IDXENTRYNUMBER";

// Answers the test gives in place of the engine, when set.
std::optional<UNSIGNED32> fakeCount;
std::optional<UNSIGNED16> fakeAtEnd;
std::optional<UNSIGNED16> fakeDeleted;
UNSIGNED16 fakeShowDeleted = 1;
UNSIGNED32 versionMajor = 0;
UNSIGNED32 versionMinor = 0;
char versionLetter = ' ';

std::string Shown(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

// The engine with the calls of positioning and of bookmark checks recorded.
LumFunctions RecordingEngine() {
    LumFunctions engine = lum::DefaultEngine();
    LUMTEST_RECORD(engine, LumGotoRecord);
    LUMTEST_RECORD(engine, LumGotoTop);
    LUMTEST_RECORD(engine, LumGotoBookmark);
    LUMTEST_RECORD(engine, LumCompareBookmarks);
    LUMTEST_RECORD(engine, LumGetRecordNum);
    LUMTEST_RECORD(engine, LumGetVersion);
    engine.LumSkip = [](LUMHANDLE handle, SIGNED32 count) {
        Log().calls.push_back("LumSkip(" + std::to_string(count) + ")");
        return lum::DefaultEngine().LumSkip(handle, count);
    };
    engine.LumSetRelKeyPos = [](LUMHANDLE index, double fraction) {
        Log().calls.push_back("LumSetRelKeyPos(" + Shown(fraction) + ")");
        return lum::DefaultEngine().LumSetRelKeyPos(index, fraction);
    };
    engine.LumGetRecordCount = [](LUMHANDLE handle, UNSIGNED16 mode, UNSIGNED32* count) -> UNSIGNED32 {
        Log().calls.push_back("LumGetRecordCount(" + std::to_string(mode) + ")");
        if (!fakeCount) return lum::DefaultEngine().LumGetRecordCount(handle, mode, count);
        *count = *fakeCount;
        return 0;
    };
    engine.LumAtEOF = [](LUMHANDLE handle, UNSIGNED16* atEnd) -> UNSIGNED32 {
        Log().calls.emplace_back("LumAtEOF");
        if (Log().failing.count("LumAtEOF") != 0)
            return lum::DefaultEngine().LumSetLastError(LUM_ERR_INVALID_HANDLE, InjectedText("LumAtEOF").c_str());
        if (!fakeAtEnd) return lum::DefaultEngine().LumAtEOF(handle, atEnd);
        *atEnd = *fakeAtEnd;
        return 0;
    };
    engine.LumIsRecordDeleted = [](LUMHANDLE handle, UNSIGNED16* deleted) -> UNSIGNED32 {
        Log().calls.emplace_back("LumIsRecordDeleted");
        if (Log().failing.count("LumIsRecordDeleted") != 0)
            return lum::DefaultEngine().LumSetLastError(LUM_ERR_INVALID_HANDLE,
                                                        InjectedText("LumIsRecordDeleted").c_str());
        if (!fakeDeleted) return lum::DefaultEngine().LumIsRecordDeleted(handle, deleted);
        *deleted = *fakeDeleted;
        return 0;
    };
    engine.LumGetDeleted = [](UNSIGNED16* show) -> UNSIGNED32 {
        Log().calls.emplace_back("LumGetDeleted");
        *show = fakeShowDeleted;
        return 0;
    };
    return engine;
}

LumFunctions VersionEngine() {
    LumFunctions engine = RecordingEngine();
    engine.LumGetVersion = [](UNSIGNED32* major, UNSIGNED32* minor, char* letter, char*, UNSIGNED16*) -> UNSIGNED32 {
        *major = versionMajor;
        *minor = versionMinor;
        *letter = versionLetter;
        return 0;
    };
    return engine;
}

// The calls before the first fetch that reads the window: those that position.
Calls PositioningCalls() {
    Calls calls;
    for (const std::string& call : Log().calls) {
        if (call == "LumAtEOF") break;
        calls.push_back(call);
    }
    return calls;
}

TBookmark BookmarkOf(std::uint32_t record) {
    TBookmark bookmark(4);
    std::memcpy(bookmark.data(), &record, 4);
    return bookmark;
}

template <class E>
std::string MessageOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const E& e) {
        return e.what();
    }
    return "(no exception)";
}

// A link that keeps a window of five records.
class FiveRecords : public fw::TDataLink {
public:
    std::size_t BufferCount() const override { return 5; }
};

class Bookmarks : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<Transaction> transactions;
        for (int entry = RecordCount; entry >= 1; --entry) transactions.push_back({entry, "I", entry * 1.0});
        BuildPractice(dir, transactions, {});
        c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
        table.SetName("tbl");
        table.SetLumConnection(c.connection);
        table.SetTableName("ZTTRN");
        ResetFakes();
    }
    void TearDown() override {
        ResetFakes();
        Log().Clear();
    }
    static void ResetFakes() {
        fakeCount.reset();
        fakeAtEnd.reset();
        fakeDeleted.reset();
        fakeShowDeleted = 1;
    }
    // Opens the table in the order of the index (none: natural order), recorded.
    void Open(const std::string& index = "") {
        table.SetIndexName(index);
        table.SetEngine(engine);
        table.SetActive(true);
        Log().Clear();
    }
    std::int32_t Entry() { return table.FieldNamed("Entry Number").ValueAsInteger(); }

    TempDir dir;
    Components c;
    LumFunctions engine = RecordingEngine();
    lum::TLumTable table;
};

// ---- record numbers -----------------------------------------------------------

TEST_F(Bookmarks, SettingTheRecordNumberPositionsAsTheOrderAndSequencingSay) {
    struct Case {
        const char* name;
        const char* index;
        bool sequenced;
        TLumSequencedLevel level;
        std::int32_t number;
        std::optional<UNSIGNED32> count;  // the engine's count, else the real one
        Calls positioning;
        std::int32_t entry;
        std::int32_t recordNumber;
    };
    const auto standard = TLumSequencedLevel::slStandard;
    const auto exact = TLumSequencedLevel::slExact;
    const Case cases[] = {
        {"natural order: the engine's record", "", false, standard, 5, {}, {"LumGotoRecord"}, 196, 5},
        {"natural order, sequenced, past the end: counted from the top, the last record",
         "",
         true,
         standard,
         250,
         {},
         {"LumGotoRecord", "LumGotoTop", "LumSkip(249)"},
         1,
         200},
        {"sequenced exactly on an index: counted from the top of its order",
         EntryIndex,
         true,
         exact,
         10,
         {},
         {"LumGotoTop", "LumSkip(9)"},
         10,
         10},
        {"an index: past the count is the last key position",
         EntryIndex,
         false,
         standard,
         250,
         {},
         {"LumGetRecordCount(2)", "LumSetRelKeyPos(1)"},
         200,
         1},
        {"an index: the count itself is the last key position",
         EntryIndex,
         false,
         standard,
         200,
         {},
         {"LumGetRecordCount(2)", "LumSetRelKeyPos(1)"},
         200,
         1},
        {"an index the engine counts no records of: the first key position",
         EntryIndex,
         false,
         standard,
         5,
         0u,
         {"LumGetRecordCount(2)", "LumSetRelKeyPos(0)"},
         1,
         200},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        table.SetActive(false);
        table.SetSequenced(x.sequenced);
        table.SetSequencedLevel(x.level);
        Open(x.index);
        Calls events;
        table.BeforeScroll = [&](fw::TDataSet&) { events.emplace_back("BeforeScroll"); };
        table.AfterScroll = [&](fw::TDataSet&) { events.emplace_back("AfterScroll"); };
        fakeCount = x.count;
        table.SetRecordNumber(x.number);
        fakeCount.reset();
        EXPECT_EQ(PositioningCalls(), x.positioning);
        EXPECT_EQ(events, (Calls{"BeforeScroll", "AfterScroll"}));
        EXPECT_EQ(Entry(), x.entry);
        EXPECT_EQ(table.RecordNumber(), x.recordNumber);
        EXPECT_FALSE(table.AtEnd());
        table.BeforeScroll = table.AfterScroll = nullptr;
    }
}

TEST_F(Bookmarks, AFilteredDataSetCountsTheNumberFromTheTop) {
    // Physical record numbers say nothing about the records a filter lets through.
    table.SetFiltered(true);
    Open();
    table.SetRecordNumber(5);
    EXPECT_EQ(PositioningCalls(), (Calls{"LumGotoTop", "LumSkip(4)"}));
    EXPECT_EQ(table.RecordNumber(), 5);
}

TEST_F(Bookmarks, OnAnIndexOf200RecordsTheNumberIsARelativeKeyPosition) {
    Open(EntryIndex);
    table.SetRecordNumber(100);
    EXPECT_EQ(PositioningCalls(), (Calls{"LumGetRecordCount(2)", "LumSetRelKeyPos(0.5)"}));
    // The record the table stands on is the one halfway along the index.
    LUMHANDLE index = 0;
    ASSERT_EQ(lum::DefaultEngine().LumGetIndexHandle(table.CursorHandle(), EntryIndex, &index), 0u);
    double position = -1;
    ASSERT_EQ(lum::DefaultEngine().LumGetRelKeyPos(index, &position), 0u);
    EXPECT_NEAR(position, 0.5, 0.5 / (RecordCount - 1));
    EXPECT_NEAR(Entry(), RecordCount / 2, 1);
}

TEST_F(Bookmarks, ANumberTheEngineHasNoRecordForFailsUnlessSequenced) {
    Open();
    Calls events;
    table.BeforeScroll = [&](fw::TDataSet&) { events.emplace_back("BeforeScroll"); };
    table.AfterScroll = [&](fw::TDataSet&) { events.emplace_back("AfterScroll"); };
    try {
        table.SetRecordNumber(250);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, LUM_ERR_RECORD_NOT_FOUND);
        EXPECT_EQ(std::string(e.what()).rfind("tbl: Record 250 ", 0), 0u) << e.what();
    }
    EXPECT_EQ(PositioningCalls(), Calls{"LumGotoRecord"});
    EXPECT_EQ(events, Calls{"BeforeScroll"});
}

TEST_F(Bookmarks, TheRecordNumberIsTheOneReadWithTheActiveRecord) {
    const std::string closed = "tbl: Cannot perform this operation on a closed dataset";
    EXPECT_EQ(MessageOf<fw::EDatabaseError>([&] { table.RecordNumber(); }), closed);
    EXPECT_EQ(MessageOf<fw::EDatabaseError>([&] { table.SetRecordNumber(1); }), closed);

    // A window of five: the cursor stands on the fifth record, the first is active.
    fw::TDataSource source;
    source.SetDataSet(&table);
    FiveRecords link;
    link.SetDataSource(&source);
    Open();
    table.MoveToFirst();
    Log().Clear();
    EXPECT_EQ(table.RecordNumber(), 1);
    table.MoveToNext();
    EXPECT_EQ(table.RecordNumber(), 2);
    EXPECT_EQ(Log().calls, Calls{}) << "read from the buffers";
    link.SetDataSource(nullptr);

    lum::TLumTable empty;
    empty.SetName("empty");
    empty.SetLumConnection(c.connection);
    empty.SetTableName("ZTPAX");
    empty.SetActive(true);
    EXPECT_EQ(empty.RecordNumber(), 0);
}

// A copy of the current record is the engine's image of the active record,
// though the cursor stands further on after filling the window; none for an
// empty dataset or a record not yet stored.
TEST_F(Bookmarks, TheCurrentRecordIsCopiedFromTheActiveRecord) {
    const auto imageOf = [&](UNSIGNED32 record) {
        LUMHANDLE other = 0;
        const std::string path = dir.path("ZTTRN.LDT");
        EXPECT_EQ(LumOpenTable90(c.connection->ConnectionHandle(), path.c_str(), nullptr, 3, 1, 1, 1, 2, "", &other),
                  0u);
        EXPECT_EQ(LumGotoRecord(other, record), 0u);
        std::vector<std::uint8_t> image(table.RecordSize());
        UNSIGNED32 length = table.RecordSize();
        EXPECT_EQ(LumGetRecord(other, image.data(), &length), 0u);
        LumCloseTable(other);
        return image;
    };
    fw::TDataSource source;
    source.SetDataSet(&table);
    FiveRecords link;
    link.SetDataSource(&source);
    Open(EntryIndex);
    table.MoveToFirst();
    table.MoveToNext();
    ASSERT_EQ(Entry(), 2);
    std::vector<std::uint8_t> image;
    ASSERT_TRUE(table.GetCurrentRecord(image));
    EXPECT_EQ(image, imageOf(RecordCount - 1)) << "entry 2 is record 199";
    EXPECT_EQ(Entry(), 2);

    table.Append();
    EXPECT_FALSE(table.GetCurrentRecord(image));
    table.Cancel();
    link.SetDataSource(nullptr);

    lum::TLumTable empty;
    empty.SetLumConnection(c.connection);
    empty.SetTableName("ZTPAX");
    empty.SetActive(true);
    EXPECT_FALSE(empty.GetCurrentRecord(image));
}

// ---- bookmarks ----------------------------------------------------------------

TEST_F(Bookmarks, ABookmarkFindsItsRecordAgainInTheIndexOrder) {
    EXPECT_EQ(table.Bookmark(), TBookmark{}) << "closed";
    Open(EntryIndex);
    table.SetRecordNumber(50);  // by key position: near entry 50
    const std::int32_t entry = Entry();
    const TBookmark bookmark = table.Bookmark();
    EXPECT_EQ(bookmark, BookmarkOf(static_cast<std::uint32_t>(RecordCount + 1 - entry))) << "the record's own number";
    table.MoveToFirst();
    ASSERT_EQ(Entry(), 1);
    Log().Clear();
    table.GotoBookmark(bookmark);
    EXPECT_EQ(Entry(), entry);
    EXPECT_EQ(Log().calls.front(), "LumGotoBookmark");
    table.MoveToNext();
    EXPECT_EQ(Entry(), entry + 1) << "the index order goes on from it";
}

TEST_F(Bookmarks, ABookmarkOfARecordThatIsGoneIsNotFound) {
    Open();
    table.MoveToNext();
    try {
        table.GotoBookmark(BookmarkOf(999));
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "tbl: Record not found");
        EXPECT_EQ(dynamic_cast<const lum::ELUMDatabaseError*>(&e), nullptr) << "the engine's answer is no failure";
    }
    EXPECT_EQ(Entry(), RecordCount - 1) << "still on its record";
}

TEST_F(Bookmarks, AbsentBookmarksSortLastAndPresentOnesAsTheEngineSays) {
    Open();
    const TBookmark none, third = BookmarkOf(3), fifth = BookmarkOf(5), fifthAgain = BookmarkOf(5);
    struct Case {
        const char* name;
        const TBookmark& first;
        const TBookmark& second;
        int result;
        Calls calls;
    };
    const Case cases[] = {
        {"both absent", none, none, 0, {}},
        {"only the first absent", none, fifth, 1, {}},
        {"only the second absent", fifth, none, -1, {}},
        {"before", third, fifth, -1, {"LumCompareBookmarks"}},
        {"after", fifth, third, 1, {"LumCompareBookmarks"}},
        {"the same", fifth, fifthAgain, 0, {"LumCompareBookmarks"}},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        Log().Clear();
        EXPECT_EQ(table.CompareBookmarkPair(x.first, x.second), x.result);
        EXPECT_EQ(Log().calls, x.calls);
    }
    Log().failing = {{"LumCompareBookmarks", LUM_ERR_INVALID_ARGUMENT}};
    EXPECT_EQ(MessageOf<lum::ELUMDatabaseError>([&] { table.CompareBookmarkPair(third, fifth); }),
              "tbl: " + InjectedText("LumCompareBookmarks"));
}

TEST_F(Bookmarks, ABookmarkIsValidWhileTheEngineReachesItsRecord) {
    struct Case {
        const char* name;
        TBookmark bookmark;
        std::map<std::string, UNSIGNED32> failing;
        std::optional<UNSIGNED16> atEnd;
        bool valid;
        Calls calls;
    };
    const Case cases[] = {
        {"a record", BookmarkOf(7), {}, {}, true, {"LumGotoBookmark", "LumAtEOF"}},
        {"no bookmark", {}, {}, {}, false, {}},
        {"a record that is gone", BookmarkOf(999), {}, {}, false, {"LumGotoBookmark"}},
        {"the engine cannot go there",
         BookmarkOf(7),
         {{"LumGotoBookmark", LUM_ERR_INVALID_HANDLE}},
         {},
         false,
         {"LumGotoBookmark"}},
        {"the engine cannot say where it is",
         BookmarkOf(7),
         {{"LumAtEOF", LUM_ERR_INVALID_HANDLE}},
         {},
         false,
         {"LumGotoBookmark", "LumAtEOF"}},
        {"the engine stands after the last record", BookmarkOf(7), {}, 1, false, {"LumGotoBookmark", "LumAtEOF"}},
    };
    table.SetEngine(engine);
    Log().Clear();
    EXPECT_FALSE(table.IsBookmarkValid(BookmarkOf(7))) << "closed";
    EXPECT_EQ(Log().calls, Calls{}) << "closed";
    Open();
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        Log().Clear();
        Log().failing = x.failing;
        fakeAtEnd = x.atEnd;
        EXPECT_EQ(table.IsBookmarkValid(x.bookmark), x.valid);
        EXPECT_EQ(Log().calls, x.calls);
    }
}

TEST_F(Bookmarks, CheckingABookmarkLeavesTheCursorWhereTheNextMoveFindsItAgain) {
    Open();
    table.MoveToNext();
    ASSERT_TRUE(table.IsBookmarkValid(BookmarkOf(150)));
    table.MoveToNext();
    EXPECT_EQ(Entry(), RecordCount + 1 - 3);
}

// On DBF tables a deleted record counts only while the engine shows deleted records.
TEST_F(Bookmarks, ADeletedRecordOfADbfTableIsValidOnlyWhileDeletedRecordsShow) {
    TempDir folder;
    lce::TableSchema schema;
    lce::ColumnDef number;
    number.name = "N";
    number.type = lce::kInteger;
    schema.columns = {number};
    schema.tableType = lce::kCdx;
    {
        auto file = lce::TableFile::create(folder.path("CDX.DBF"), schema);
        for (int i = 1; i <= 3; ++i) file.append({lce::Value::ofInteger(i)});
    }
    lum::TLumConnection free;
    free.SetConnectPath(folder.path());
    free.SetLoginPrompt(false);
    lum::TLumTable dbf;
    dbf.SetName("dbf");
    dbf.SetLumConnection(&free);
    dbf.SetTableType(lum::TLumTableTypes::ttLumCDX);
    dbf.SetTableName("CDX.DBF");
    dbf.SetEngine(engine);
    dbf.SetActive(true);
    struct Case {
        const char* name;
        std::optional<UNSIGNED16> deleted;
        UNSIGNED16 showDeleted;
        bool valid;
        Calls calls;
    };
    const Calls reached = {"LumGotoBookmark", "LumAtEOF", "LumIsRecordDeleted"};
    const Case cases[] = {
        {"not deleted", {}, 0, true, reached},
        {"deleted, deleted records shown",
         1,
         1,
         true,
         {"LumGotoBookmark", "LumAtEOF", "LumIsRecordDeleted", "LumGetDeleted"}},
        {"deleted, deleted records hidden",
         1,
         0,
         false,
         {"LumGotoBookmark", "LumAtEOF", "LumIsRecordDeleted", "LumGetDeleted"}},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        Log().Clear();
        fakeDeleted = x.deleted;
        fakeShowDeleted = x.showDeleted;
        EXPECT_EQ(dbf.IsBookmarkValid(BookmarkOf(2)), x.valid);
        EXPECT_EQ(Log().calls, x.calls);
    }
    Log().failing = {{"LumIsRecordDeleted", LUM_ERR_INVALID_HANDLE}};
    EXPECT_EQ(MessageOf<lum::ELUMDatabaseError>([&] { dbf.IsBookmarkValid(BookmarkOf(2)); }),
              "dbf: " + InjectedText("LumIsRecordDeleted"));
}

// ---- version ---------------------------------------------------------------------

TEST_F(Bookmarks, TheVersionNamesTheComponentAndTheEngine) {
    const LumFunctions versions = VersionEngine();
    table.SetEngine(versions);
    struct Case {
        UNSIGNED32 major, minor;
        char letter;
        const char* version;
    };
    const Case cases[] = {
        {1, 0, ' ', "10.0.0.3 (LCE 1.00)"},
        {10, 9, ' ', "10.0.0.3 (LCE 10.09)"},
        {9, 10, 'b', "10.0.0.3 (LCE 9.10b)"},
        {11, 1, 'a', "10.0.0.3 (LCE 11.01a)"},
    };
    for (const Case& x : cases) {
        versionMajor = x.major;
        versionMinor = x.minor;
        versionLetter = x.letter;
        EXPECT_EQ(table.Version(), x.version);
    }
    table.SetVersion("something else");
    table.SetStoredProperty("Version", std::string("10.0.0.3 (LCE 6.20)"));
    EXPECT_EQ(table.Version(), "10.0.0.3 (LCE 11.01a)") << "writing and reading a stored text are ignored";

    table.SetEngine(engine);
    Log().failing = {{"LumGetVersion", LUM_ERR_INVALID_ARGUMENT}};
    EXPECT_EQ(MessageOf<lum::ELUMDatabaseError>([&] { table.Version(); }), "tbl: " + InjectedText("LumGetVersion"));
}

}  // namespace
}  // namespace lumtest
