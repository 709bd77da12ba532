#pragma once
// The headless search's progress on a terminal: one line on standard error
// with a bar, the percentage and the rows per second, redrawn at most every
// tenth of a second and wiped when the search ends.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>

#include "search/contracts.h"

namespace app {

// The bar's text for `position` of `max` rows after `seconds`.
std::string ProgressLine(double position, double max, double seconds);

class TerminalProgress : public IProgressBar {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit TerminalProgress(std::ostream& terminal, Clock clock = &std::chrono::steady_clock::now);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    double Position() const override { return position_; }
    void SetPosition(double position) override;
    void SetMax(double max) override;
    // Wipes the bar's line; called before anything else goes to the terminal.
    void Finish();

private:
    void Draw(std::chrono::steady_clock::time_point now);

    std::ostream& terminal_;
    Clock clock_;
    double position_ = 0;
    double max_ = 0;
    std::chrono::steady_clock::time_point start_{};
    std::chrono::steady_clock::time_point drawn_{};
    unsigned moves_ = 0;
    std::size_t shown_ = 0;  // characters of the line on screen
};

}  // namespace app
