// The colour palette an indexed-colour pixel format needs: its red, green and
// blue bit fields spread evenly over 0 to 255. No platform calls.
#pragma once

#include <cstdint>
#include <vector>

namespace vorlane {

// The parts of a pixel format's description the palette depends on.
struct PixelLayout {
    bool needsPalette = false;  // indexed colour
    int32_t colorBits = 0;
    int32_t redBits = 0;
    int32_t redShift = 0;
    int32_t greenBits = 0;
    int32_t greenShift = 0;
    int32_t blueBits = 0;
    int32_t blueShift = 0;
};

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
};

// The level of one channel in palette entry index: the channel's field of the
// index (bits wide, shift up), scaled so its largest value is 255. Widths of
// 8 and more use an 8-bit field; a 0-bit channel, or a negative width or
// shift, gives 0.
uint8_t ChannelLevel(uint32_t index, int32_t bits, int32_t shift);

// The 2^colorBits entries of the palette, in index order; empty when the
// layout needs no palette or colorBits lies outside 1 to 16, the range a
// palette's 16-bit entry count can hold.
std::vector<PaletteEntry> ColorPaletteEntries(const PixelLayout& layout);

}  // namespace vorlane
