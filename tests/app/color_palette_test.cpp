#include "app/color_palette.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using vorlane::ChannelLevel;
using vorlane::ColorPaletteEntries;
using vorlane::PaletteEntry;
using vorlane::PixelLayout;

std::vector<int> Levels(int bits)
{
    std::vector<int> levels;
    for (uint32_t k = 0; k < (1u << bits); ++k) levels.push_back(ChannelLevel(k, bits, 0));
    return levels;
}

TEST(ColorPalette, ChannelLevelsSpreadEvenlyOverTheByte)
{
    EXPECT_EQ(Levels(3), (std::vector<int>{0, 36, 72, 109, 145, 182, 218, 255}));
    EXPECT_EQ(Levels(2), (std::vector<int>{0, 85, 170, 255}));
    EXPECT_EQ(Levels(1), (std::vector<int>{0, 255}));
    EXPECT_EQ(ChannelLevel(200, 8, 0), 200);
}

TEST(ColorPalette, DegenerateFieldsGiveZeroNotGarbage)
{
    EXPECT_EQ(ChannelLevel(255, 0, 0), 0) << "a 0-bit channel has mask 0";
    EXPECT_EQ(ChannelLevel(255, -1, 0), 0);
    EXPECT_EQ(ChannelLevel(255, 3, -2), 0);
    EXPECT_EQ(ChannelLevel(0xffffffffu, 3, 40), 0) << "a shift past the index";
    EXPECT_EQ(ChannelLevel(0x3ffu, 10, 0), 255) << "wide fields use 8 bits";
}

TEST(ColorPalette, EightBitLayoutRed3Green3Blue2)
{
    PixelLayout layout;
    layout.needsPalette = true;
    layout.colorBits = 8;
    layout.redBits = 3;
    layout.redShift = 0;
    layout.greenBits = 3;
    layout.greenShift = 3;
    layout.blueBits = 2;
    layout.blueShift = 6;
    const std::vector<PaletteEntry> entries = ColorPaletteEntries(layout);
    ASSERT_EQ(entries.size(), 256u);
    struct Case {
        size_t index;
        int red, green, blue;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 0, 0}, {255, 255, 255, 255}, {7, 255, 0, 0}, {56, 0, 255, 0},
                                           {192, 0, 0, 255}, {1, 36, 0, 0}, {0x49, 36, 36, 85}}) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(entries[c.index].red, c.red);
        EXPECT_EQ(entries[c.index].green, c.green);
        EXPECT_EQ(entries[c.index].blue, c.blue);
        EXPECT_EQ(entries[c.index].flags, 0);
    }
}

TEST(ColorPalette, TrueColourAndOutOfRangeLayoutsGiveNoPalette)
{
    PixelLayout trueColour{false, 24, 8, 16, 8, 8, 8, 0};
    EXPECT_TRUE(ColorPaletteEntries(trueColour).empty());
    PixelLayout tooWide{true, 24, 8, 16, 8, 8, 8, 0};
    EXPECT_TRUE(ColorPaletteEntries(tooWide).empty()) << "more entries than a palette can count";
    PixelLayout none{true, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(ColorPaletteEntries(none).empty());
}

}  // namespace
