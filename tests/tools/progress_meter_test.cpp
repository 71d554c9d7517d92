#include "tools/progress_meter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Everything the meter wrote, from a temporary file.
std::string Written(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    return text;
}

TEST(ProgressMeter, ShowsPhaseAndPercentOnlyOnATerminalAfterTheDelay)
{
    const struct {
        const char* name;
        bool terminal;
        double startedAgo;
        const char* shows;
    } cases[] = {
        {"not a terminal", false, 5.0, ""},
        {"quick work", true, 0.5, ""},
        {"slow work", true, 1.5, "\rvorlane-merge: overlay 45%\r                          \r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        double now = 0.0;
        {
            vorlane::ProgressMeter meter(file, c.terminal, [&] { return now; });
            now = c.startedAgo;
            meter.Report("overlay", 0.456);
        }
        EXPECT_EQ(Written(file), c.shows);
        std::fclose(file);
    }
}

// Redrawing a shorter line must not leave the tail of the longer one.
TEST(ProgressMeter, ThrottlesRedrawsAndPadsShorterLines)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    double now = 0.0;
    vorlane::ProgressMeter meter(file, true, [&] { return now; });
    now = 2.0;
    meter.Report("validating", 1.0);
    now = 2.05;
    meter.Report("overlay", 0.1);  // too soon: skipped
    now = 2.2;
    meter.Report("faces", 2.0);    // clamped to 100%
    meter.Finish();
    EXPECT_EQ(Written(file), "\rvorlane-merge: validating 100%\rvorlane-merge: faces 100%     \r" +
                                 std::string(30, ' ') + "\r");
    std::fclose(file);
}

// The last phase's 100% must not stay on screen while the output is written.
TEST(ProgressMeter, AnnouncesTheWriteAtOnceWithItsNameEscaped)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    double now = 0.0;
    vorlane::ProgressMeter meter(file, true, [&] { return now; });
    now = 2.0;
    meter.Report("positions", 1.0);
    now = 2.01;
    meter.Announce("writing o\x1b.glb");
    meter.Finish();
    EXPECT_EQ(Written(file), "\rvorlane-merge: positions 100%\rvorlane-merge: writing o\\x1b.glb\r" +
                                 std::string(32, ' ') + "\r");
    std::fclose(file);
}

}  // namespace
