// Moves through the generic dataset, over records held in memory: where each
// move lands and what the end flags say, the same with windows of one and of
// several record buffers, and what the events and links hear.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "tests/framework/memory_dataset.h"

namespace memtest {
namespace {

// Runs moves written as "first", "last", "next", "prior" or a signed count
// for MoveBy; returns what the last move gave (MoveBy's count, else 0).
int RunMoves(fw::TDataSet& d, const std::string& moves) {
    std::istringstream words(moves);
    std::string word;
    int result = 0;
    while (words >> word) {
        result = 0;
        if (word == "first") {
            d.MoveToFirst();
        } else if (word == "last") {
            d.MoveToLast();
        } else if (word == "next") {
            d.MoveToNext();
        } else if (word == "prior") {
            d.MoveToPrior();
        } else {
            result = d.MoveBy(std::stoi(word));
        }
    }
    return result;
}

TEST(DataSetNavigation, MovesLandWhereTheySayWithAnyWindow) {
    struct Case {
        const char* name;
        int rows;
        const char* moves;
        std::int32_t current;
        bool bof, eof;
        int moved;
    };
    const Case cases[] = {
        {"opened", 5, "", 1, true, false, 0},
        {"next", 5, "next", 2, false, false, 0},
        {"last", 5, "last", 5, false, true, 0},
        {"last then prior", 5, "last prior", 4, false, false, 0},
        {"a move before the first does nothing", 5, "first -1", 1, true, false, 0},
        {"back onto the first is not yet the beginning", 5, "next -1", 1, false, false, -1},
        {"one more back is", 5, "next prior -1", 1, true, false, 0},
        {"past the last record", 5, "4 1", 5, false, true, 0},
        {"a long move forward stops at the last", 5, "+10", 5, false, true, 4},
        {"a long move back stops at the first", 5, "last -10", 1, true, false, -4},
        {"no move", 5, "next 0", 2, false, false, 0},
        {"back and forth", 5, "last -2 +3", 5, false, true, 2},
        {"first after last", 5, "last first", 1, true, false, 0},
        {"to the middle from both ends", 5, "last -2", 3, false, false, -2},
        {"one record: last", 1, "last", 1, false, true, 0},
        {"one record: next", 1, "1", 1, false, true, 0},
        {"empty: last", 0, "last", -1, true, true, 0},
        {"empty: by one", 0, "1", -1, true, true, 0},
        {"empty: back", 0, "-1", -1, true, true, 0},
    };
    for (const std::size_t window : {1u, 2u, 3u, 10u}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", window " + std::to_string(window));
            Watched w(Numbered(c.rows), window);
            w.data.Open();
            EXPECT_EQ(RunMoves(w.data, c.moves), c.moved);
            EXPECT_EQ(w.data.CurrentId(), c.current);
            EXPECT_EQ(w.data.AtBeginning(), c.bof);
            EXPECT_EQ(w.data.AtEnd(), c.eof);
        }
    }
}

TEST(DataSetNavigation, ReadingForwardAndBackwardSeesEveryVisibleRecordOnce) {
    for (const bool filtered : {false, true}) {
        for (const std::size_t window : {1u, 3u, 10u}) {
            SCOPED_TRACE(std::string(filtered ? "odd IDs only" : "all") + ", window " + std::to_string(window));
            Watched w(Numbered(7), window);
            Memory& d = w.data;
            d.OnFilterRecord = [](fw::TDataSet& ds, bool& accept) {
                accept = ds.FieldNamed("ID").ValueAsInteger() % 2 == 1;
            };
            d.SetFiltered(filtered);
            d.Open();
            std::vector<std::int32_t> forward, backward;
            for (d.MoveToFirst(); !d.AtEnd(); d.MoveToNext()) forward.push_back(d.CurrentId());
            for (d.MoveToLast(); !d.AtBeginning(); d.MoveToPrior()) backward.push_back(d.CurrentId());
            const std::vector<std::int32_t> all =
                filtered ? std::vector<std::int32_t>{1, 3, 5, 7} : std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7};
            EXPECT_EQ(forward, all);
            EXPECT_EQ(backward, std::vector<std::int32_t>(all.rbegin(), all.rend()));
        }
    }
}

TEST(DataSetNavigation, LinksHearTheDistanceOfAScrollAndEventsFramePerformedMoves) {
    struct Case {
        const char* name;
        std::size_t window;
        const char* before;  // moves not listened to
        const char* moves;
        Log heard;
    };
    const Case cases[] = {
        {"next", 1, "", "next", {"link:check", "BeforeScroll", "link:scrolled:1", "AfterScroll"}},
        {"by two, then back",
         1,
         "",
         "2 prior",
         {"link:check", "BeforeScroll", "link:scrolled:2", "AfterScroll", "link:check", "BeforeScroll",
          "link:scrolled:-1", "AfterScroll"}},
        {"within a window", 3, "", "2", {"link:check", "BeforeScroll", "link:scrolled:2", "AfterScroll"}},
        {"a full window shifts", 3, "2", "next", {"link:check", "BeforeScroll", "link:scrolled:1", "AfterScroll"}},
        {"the ends read the window anew",
         3,
         "",
         "last first",
         {"link:check", "BeforeScroll", "link:changed", "AfterScroll", "link:check", "BeforeScroll", "link:changed",
          "AfterScroll"}},
        {"a move that finds no record is still told",
         1,
         "4",
         "next",
         {"link:check", "BeforeScroll", "link:scrolled:0", "AfterScroll"}},
        {"at the end already: only BeforeScroll",
         1,
         "last",
         "next 5",
         {"link:check", "BeforeScroll", "link:check", "BeforeScroll"}},
        {"no move", 1, "", "0", {"link:check", "BeforeScroll"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Watched w(Numbered(5), c.window);
        w.data.Open();
        RunMoves(w.data, c.before);
        w.data.Trace();
        w.data.log.clear();
        RunMoves(w.data, c.moves);
        EXPECT_EQ(w.data.log, c.heard);
    }
}

TEST(DataSetNavigation, AReadThatFailsStillEndsTheMoveAndTheNextOneWorks) {
    Watched w(Numbered(3));
    Memory& d = w.data;
    d.Open();
    d.Trace();
    d.log.clear();
    d.failing.insert("FetchRecord");
    try {
        d.MoveToNext();
        ADD_FAILURE() << "the read did not fail";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "FetchRecord failed");
    }
    EXPECT_EQ(d.log, (Log{"link:check", "BeforeScroll", "link:scrolled:0", "AfterScroll"}));
    EXPECT_EQ(d.CurrentId(), 1);
    d.failing.clear();
    d.MoveToNext();
    EXPECT_EQ(d.CurrentId(), 2);
    d.MoveToNext();
    EXPECT_EQ(d.CurrentId(), 3);
}

// A read that fails while the window fills beyond the active record goes to
// the application's exception hook when one is installed, and the move keeps
// the records read; without a hook the move raises it.
TEST(DataSetNavigation, AFailureReadingAheadGoesToTheApplicationsHook) {
    struct Case {
        const char* name;
        bool hook;
    };
    for (const Case k : {Case{"no hook", false}, Case{"a hook", true}}) {
        SCOPED_TRACE(k.name);
        Watched w(Numbered(6), 5);
        Memory& d = w.data;
        d.Open();
        std::vector<std::string> handed;
        if (k.hook) {
            fw::SetApplicationExceptionHook([&handed](std::exception_ptr failure) {
                try {
                    std::rethrow_exception(failure);
                } catch (const fw::Exception& e) {
                    handed.push_back(e.Message());
                }
            });
        }
        d.fetchesBeforeFailure = 2;  // the first record and one more, then the read fails
        std::string raised;
        try {
            d.MoveToFirst();
        } catch (const fw::EDatabaseError& e) {
            raised = e.Message();
        }
        fw::SetApplicationExceptionHook(nullptr);
        d.fetchesBeforeFailure = -1;
        EXPECT_EQ(raised, k.hook ? "" : "read failed");
        EXPECT_EQ(handed, k.hook ? std::vector<std::string>{"read failed"} : std::vector<std::string>{});
        EXPECT_EQ(d.CurrentId(), 1);
        if (k.hook) {
            d.MoveToNext();
            EXPECT_EQ(d.CurrentId(), 2);
        }
    }
}

}  // namespace
}  // namespace memtest
