#include "tools/progress_meter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "command_line/terminal_text.h"

namespace vorlane {

namespace {

double SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ProgressMeter::ProgressMeter(std::FILE* out, bool enabled, Clock clock, double delay)
    : out_(out), enabled_(enabled), clock_(clock ? std::move(clock) : Clock(SteadySeconds)), delay_(delay)
{
    start_ = clock_();
}

ProgressMeter::~ProgressMeter()
{
    Finish();
}

void ProgressMeter::Report(std::string_view phase, double fraction)
{
    if (!enabled_) return;
    const double now = clock_();
    if (now - start_ < delay_ || (lastDrawn_ >= 0.0 && now - lastDrawn_ < 0.1)) return;
    const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100.0));
    Draw(phase, " " + std::to_string(percent) + "%", now);
}

void ProgressMeter::Announce(std::string_view phase)
{
    if (!enabled_) return;
    const double now = clock_();
    if (now - start_ < delay_) return;
    Draw(phase, "", now);
}

void ProgressMeter::Draw(std::string_view phase, const std::string& amount, double now)
{
    lastDrawn_ = now;
    std::string line = "vorlane-merge: " + EscapeControls(std::string(phase)) + amount;
    const std::size_t width = line.size();
    // note: pad over the longer line drawn before.
    if (width < shownWidth_) line.append(shownWidth_ - width, ' ');
    shownWidth_ = std::max(shownWidth_, width);
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
}

void ProgressMeter::Finish()
{
    if (shownWidth_ == 0) return;
    std::fprintf(out_, "\r%s\r", std::string(shownWidth_, ' ').c_str());
    std::fflush(out_);
    shownWidth_ = 0;
    lastDrawn_ = -1.0;
}

}  // namespace vorlane
