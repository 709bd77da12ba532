// The dataset framework's bookmarks over rows held in memory: which records
// give a bookmark, the move to a bookmark with the window read anew around
// it, and the window read around the cursor with its fallbacks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/dataset/data_link.h"
#include "framework/dataset/data_source.h"
#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"

namespace {

using fw::RecordBuffer;
using fw::TBookmark;
using fw::TBookmarkFlag;
using fw::TFetchMode;
using fw::TFetchResult;
using Fetches = std::vector<std::string>;

// Rows 0..count-1 whose value is ten times the row. A buffer holds the
// value, the row and the bookmark flag; a bookmark is the row's 4 bytes.
// Every fetch is noted.
class Rows : public fw::TDataSet {
public:
    explicit Rows(std::int32_t count) : count_(count) { SetName("Rows"); }
    ~Rows() override { CloseQuietly(); }

    Fetches fetches;
    std::int32_t Value() const {
        std::int32_t value = -1;
        if (const RecordBuffer* active = ActiveBuffer()) std::memcpy(&value, active->data(), 4);
        return value;
    }
    // The cursor put on a row (count: after the last) and the window read around it.
    void ReadAround(std::int32_t row, bool exact) {
        pos_ = row;
        ReadWindowAroundCursor(exact);
    }
    static TBookmark BookmarkOf(std::int32_t row) {
        TBookmark bookmark(4);
        std::memcpy(bookmark.data(), &row, 4);
        return bookmark;
    }

    bool GetFieldData(const fw::TField&, void*) const override { return false; }
    // Read-only: a write is refused through either hook a framework asks
    // writes of (neither is marked, as only one of them overrides).
    void SetFieldData(fw::TField&, const void*) { throw fw::EDatabaseError("read only"); }
    void InternalSetFieldData(fw::TField&, const void*) { throw fw::EDatabaseError("read only"); }

protected:
    void OpenEngineCursor() override {
        open_ = true;
        pos_ = -1;
    }
    void CloseEngineCursor() override { open_ = false; }
    bool CursorIsOpen() const override { return open_; }
    TFetchResult FetchRecord(RecordBuffer& buffer, TFetchMode mode) override {
        static const char* const names[] = {"Current", "Next", "Prior"};
        fetches.emplace_back(names[static_cast<int>(mode)]);
        if (mode == TFetchMode::Next && ++pos_ >= count_) {
            pos_ = count_;
            return TFetchResult::HitEnd;
        }
        if (mode == TFetchMode::Prior && --pos_ < 0) {
            pos_ = -1;
            return TFetchResult::HitBeginning;
        }
        if (pos_ < 0 || pos_ >= count_) return TFetchResult::Failed;
        const std::int32_t value = pos_ * 10;
        std::memcpy(buffer.data(), &value, 4);
        std::memcpy(buffer.data() + 4, &pos_, 4);
        buffer[8] = static_cast<std::uint8_t>(TBookmarkFlag::Current);
        return TFetchResult::Ok;
    }
    void SeekBeforeFirst() override { pos_ = -1; }
    void SeekAfterLast() override { pos_ = count_; }
    void PositionOnBuffer(const RecordBuffer& buffer) override { std::memcpy(&pos_, buffer.data() + 4, 4); }
    std::size_t RecordBufferSize() const override { return 9; }
    TBookmarkFlag BookmarkFlagOf(const RecordBuffer& buffer) const override {
        return static_cast<TBookmarkFlag>(buffer[8]);
    }
    void SetBookmarkFlag(RecordBuffer& buffer, TBookmarkFlag flag) override {
        buffer[8] = static_cast<std::uint8_t>(flag);
    }
    TBookmark BookmarkDataOf(const RecordBuffer& buffer) const override {
        return TBookmark(buffer.begin() + 4, buffer.begin() + 8);
    }
    void PositionOnBookmark(const TBookmark& bookmark) override { std::memcpy(&pos_, bookmark.data(), 4); }

private:
    std::int32_t count_;
    std::int32_t pos_ = -1;
    bool open_ = false;
};

// A link that wants a window of `count` records.
class WindowLink : public fw::TDataLink {
public:
    explicit WindowLink(std::size_t count) : count_(count) {}
    std::size_t BufferCount() const override { return count_; }

private:
    std::size_t count_;
};

// Rows shown through a link that wants a window of five records.
struct Shown {
    explicit Shown(std::int32_t count) : rows(count) {
        source.SetDataSet(&rows);
        link.SetDataSource(&source);
    }
    ~Shown() { link.SetDataSource(nullptr); }
    Rows rows;
    fw::TDataSource source;
    WindowLink link{5};
};

// Moves forward until a move needs a fetch; the values passed on the way.
std::vector<std::int32_t> BufferedAfter(Rows& rows) {
    std::vector<std::int32_t> values;
    for (;;) {
        rows.fetches.clear();
        rows.MoveToNext();
        if (!rows.fetches.empty()) return values;
        values.push_back(rows.Value());
    }
}

TEST(DataSetBookmarks, OnlyARecordOfTheCursorGivesABookmark) {
    Rows rows(3);
    EXPECT_EQ(rows.GetBookmark(), TBookmark{}) << "closed";
    rows.Open();
    EXPECT_EQ(rows.Bookmark(), Rows::BookmarkOf(0));
    rows.MoveToNext();
    rows.MoveToNext();
    rows.MoveToNext();
    ASSERT_TRUE(rows.AtEnd());
    EXPECT_EQ(rows.Bookmark(), Rows::BookmarkOf(2)) << "the last record stays active past the end";
    Rows none(0);
    none.Open();
    EXPECT_EQ(none.GetBookmark(), TBookmark{}) << "empty";
}

TEST(DataSetBookmarks, GoingToABookmarkReadsTheWindowWithItsRecordInTheMiddle) {
    struct Case {
        const char* name;
        std::int32_t row;
        Fetches fetches;
        std::vector<std::int32_t> buffered;  // the records after it already in the window
    };
    const Case cases[] = {
        {"two records before it, two after", 10, {"Current", "Prior", "Prior", "Next", "Next"}, {110, 120}},
        {"only one record before it", 1, {"Current", "Prior", "Prior", "Next", "Next", "Next"}, {20, 30, 40}},
        {"the last record", 19, {"Current", "Prior", "Prior", "Next"}, {}},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        Shown shown(20);
        Rows& rows = shown.rows;
        rows.Open();
        Fetches events;
        rows.BeforeScroll = [&](fw::TDataSet&) { events.emplace_back("BeforeScroll"); };
        rows.AfterScroll = [&](fw::TDataSet&) { events.emplace_back("AfterScroll"); };
        rows.fetches.clear();
        rows.GotoBookmark(Rows::BookmarkOf(x.row));
        EXPECT_EQ(rows.Value(), x.row * 10);
        EXPECT_FALSE(rows.AtBeginning());
        EXPECT_FALSE(rows.AtEnd());
        EXPECT_EQ(rows.fetches, x.fetches);
        EXPECT_EQ(events, (Fetches{"BeforeScroll", "AfterScroll"}));
        rows.BeforeScroll = rows.AfterScroll = nullptr;
        EXPECT_EQ(BufferedAfter(rows), x.buffered);
    }
}

TEST(DataSetBookmarks, ABookmarkWhoseRecordIsGoneLeavesTheWindowAsItWas) {
    Rows rows(5);
    rows.Open();
    rows.MoveToNext();
    bool scrolled = false;
    rows.AfterScroll = [&](fw::TDataSet&) { scrolled = true; };
    try {
        rows.GotoBookmark(Rows::BookmarkOf(7));
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Rows: Record not found");
    }
    EXPECT_FALSE(scrolled);
    EXPECT_EQ(rows.Value(), 10);
    rows.AfterScroll = nullptr;
    rows.MoveToNext();
    EXPECT_EQ(rows.Value(), 20) << "the cursor is brought back to the active record";

    rows.fetches.clear();
    rows.GotoBookmark({});
    EXPECT_EQ(rows.Value(), 20);
    EXPECT_TRUE(rows.fetches.empty()) << "no bookmark, no move";
}

TEST(DataSetBookmarks, TheWindowAroundTheCursorFallsBackToTheNextThenThePriorRecord) {
    struct Case {
        const char* name;
        std::int32_t count;
        std::int32_t cursor;
        std::int32_t value;  // -1: no record
        Fetches fetches;
    };
    const Case cases[] = {
        {"on a record", 3, 1, 10, {"Current"}},
        {"before the first", 3, -1, 0, {"Current", "Next"}},
        {"after the last", 3, 3, 20, {"Current", "Next", "Prior"}},
        {"no records", 0, 0, -1, {"Current", "Next", "Prior"}},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        Rows rows(x.count);
        rows.Open();
        rows.fetches.clear();
        rows.ReadAround(x.cursor, false);
        EXPECT_EQ(rows.Value(), x.value);
        EXPECT_EQ(rows.fetches, x.fetches);
        EXPECT_EQ(rows.AtEnd(), x.value < 0);
    }
}

}  // namespace
