// The terminal progress bar. The clock is read only every few rows and the
// line redrawn only every tenth of a second, so the bar costs the search
// nothing it could measure.
#include "search/terminal_progress.h"

#include <algorithm>
#include <cmath>
#include <ostream>

namespace app {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
// Rows between two readings of the clock.
constexpr unsigned kRowsPerClockReading = 64;
constexpr int kBarWidth = 30;

}  // namespace

std::string ProgressLine(double position, double max, double seconds) {
    const double share = max > 0 ? std::clamp(position / max, 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>(share * kBarWidth);
    const long percent = static_cast<long>(share * 100);
    const long rate = seconds > 0 ? std::lround(position / seconds) : 0;
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] " + std::to_string(percent) +
           "%  " + std::to_string(static_cast<long>(position)) + " of " + std::to_string(static_cast<long>(max)) +
           " rows, " + std::to_string(rate) + " rows/s";
}

TerminalProgress::TerminalProgress(std::ostream& terminal, Clock clock)
    : terminal_(terminal), clock_(std::move(clock)), start_(clock_()), drawn_(start_) {}

TerminalProgress::~TerminalProgress() {
    try {
        Finish();
    } catch (...) {
        // A terminal that fails while the bar is wiped leaves a line behind, nothing worse.
    }
}

void TerminalProgress::SetMax(double max) {
    max_ = max;
    start_ = clock_();
    drawn_ = start_;
}

void TerminalProgress::SetPosition(double position) {
    position_ = position;
    if (++moves_ % kRowsPerClockReading != 0) return;
    const auto now = clock_();
    if (now - drawn_ >= kRedrawEvery) Draw(now);
}

void TerminalProgress::Draw(std::chrono::steady_clock::time_point now) {
    drawn_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const std::string line = ProgressLine(position_, max_, seconds);
    // Blanks cover what is left of a longer line drawn before.
    terminal_ << '\r' << line << std::string(shown_ > line.size() ? shown_ - line.size() : 0, ' ') << std::flush;
    shown_ = std::max(shown_, line.size());
}

void TerminalProgress::Finish() {
    if (shown_ == 0) return;
    terminal_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
    shown_ = 0;
}

}  // namespace app
