#include "tools/terminal_text.h"

#include <gtest/gtest.h>

namespace {

TEST(EscapeControls, EscapesControlsAndBrokenUtf8AndKeepsTheRest)
{
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"plain name.obj", "plain name.obj"},
        {"a\x1b[31mb", "a\\x1b[31mb"},
        {"tab\there\n", "tab\\x09here\\x0a"},
        {"del\x7f", "del\\x7f"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82"},  // é € and an emoji
        {"c1 \xc2\x9b", "c1 \\xc2\\x9b"},    // U+009B, the one-byte CSI
        {"stray \x9b\xff", "stray \\x9b\\xff"},
        {"cut \xe2\x82", "cut \\xe2\\x82"},
        {"overlong \xc0\xaf", "overlong \\xc0\\xaf"},
    };
    for (const auto& c : cases) EXPECT_EQ(vorlane::EscapeControls(c.text), c.shown) << c.text;
}

}  // namespace
