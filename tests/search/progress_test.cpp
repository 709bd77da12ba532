// The terminal progress bar: its text, and that it is redrawn only once a
// tenth of a second has passed and wiped at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "search/terminal_progress.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(TerminalProgress, TheLineShowsTheShareTheRowsAndTheRate) {
    EXPECT_EQ(app::ProgressLine(50, 200, 2.0), "[#######-----------------------] 25%  50 of 200 rows, 25 rows/s");
    EXPECT_EQ(app::ProgressLine(0, 0, 0), "[------------------------------] 0%  0 of 0 rows, 0 rows/s");
    EXPECT_EQ(app::ProgressLine(300, 300, 0.5), "[##############################] 100%  300 of 300 rows, 600 rows/s");
}

TEST(TerminalProgress, RedrawsAtMostEveryTenthOfASecondAndWipesItsLine) {
    Clock::time_point now{};
    std::ostringstream terminal;
    {
        app::TerminalProgress bar(terminal, [&] { return now; });
        bar.SetMax(1000);
        const auto advance = [&](int rows) {
            for (int i = 0; i < rows; ++i) bar.SetPosition(bar.Position() + 1);
        };
        advance(640);  // no time has passed: nothing drawn
        EXPECT_EQ(terminal.str(), "");
        now += std::chrono::milliseconds(150);
        advance(64);
        const std::string first = terminal.str();
        EXPECT_EQ(first, "\r" + app::ProgressLine(704, 1000, 0.15));
        now += std::chrono::milliseconds(50);
        advance(200);  // within the tenth of a second: not redrawn
        EXPECT_EQ(terminal.str(), first);
        now += std::chrono::milliseconds(60);
        advance(64);
        const std::string drawn = terminal.str();
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), '\r'), 2);
        terminal.str("");
    }
    // Gone from the screen when the bar goes.
    const std::string wipe = terminal.str();
    ASSERT_GE(wipe.size(), 2u);
    EXPECT_EQ(wipe.front(), '\r');
    EXPECT_EQ(wipe.back(), '\r');
    EXPECT_EQ(wipe.find_first_not_of(" \r"), std::string::npos);
}

}  // namespace
