#include "command_line/terminal_text.h"

#include <gtest/gtest.h>

namespace {

TEST(EscapeControls, EscapesControlsAndBrokenUtf8AndKeepsTheRest)
{
    const char* cases[][2] = {
        // é, € and an emoji
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82"},
        {"a\x1b[31mb\t\x7f", "a\\x1b[31mb\\x09\\x7f"},
        {"c1 \xc2\x9b stray \x9b\xff", "c1 \\xc2\\x9b stray \\x9b\\xff"},  // U+009B is the one-byte CSI
        {"cut \xe2\x82 overlong \xc0\xaf", "cut \\xe2\\x82 overlong \\xc0\\xaf"},
    };
    for (const auto& c : cases) EXPECT_EQ(vorlane::EscapeControls(c[0]), c[1]) << c[0];
}

}  // namespace
