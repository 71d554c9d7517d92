// Phase and percentage on a terminal while slow work runs.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace vorlane {

class ProgressMeter {
public:
    using Clock = std::function<double()>;  // seconds, never decreasing

    // Shows nothing unless enabled (standard error is a terminal) and the
    // work has run for delay seconds; then redraws one line on out at most
    // ten times a second. clock defaults to a monotonic clock.
    ProgressMeter(std::FILE* out, bool enabled, Clock clock = {}, double delay = 1.0);
    ~ProgressMeter();
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;

    // phase with fraction done (clamped to 0..1).
    void Report(std::string_view phase, double fraction);
    // phase alone, for work that reports no progress (writing the output):
    // drawn at once, never skipped as too soon, once the delay has passed.
    void Announce(std::string_view phase);
    // Clears the line if anything was shown, so later messages start clean.
    void Finish();

private:
    // Control characters in phase (a file name) are shown escaped.
    void Draw(std::string_view phase, const std::string& amount, double now);

    std::FILE* out_;
    bool enabled_;
    Clock clock_;
    double start_;
    double delay_;
    double lastDrawn_ = -1.0;
    std::size_t shownWidth_ = 0;
};

}  // namespace vorlane
