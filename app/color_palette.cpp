#include "app/color_palette.h"

namespace vorlane {

uint8_t ChannelLevel(uint32_t index, int32_t bits, int32_t shift)
{
    if (bits <= 0 || shift < 0) return 0;
    const uint32_t mask = bits >= 8 ? 255u : (1u << bits) - 1u;
    const uint32_t field = shift >= 32 ? 0u : (index >> shift) & mask;
    return static_cast<uint8_t>(field * 255.0 / mask);
}

std::vector<PaletteEntry> ColorPaletteEntries(const PixelLayout& layout)
{
    if (!layout.needsPalette || layout.colorBits < 1 || layout.colorBits > 16) return {};
    std::vector<PaletteEntry> entries(std::size_t{1} << layout.colorBits);
    for (uint32_t i = 0; i < entries.size(); ++i) {
        entries[i].red = ChannelLevel(i, layout.redBits, layout.redShift);
        entries[i].green = ChannelLevel(i, layout.greenBits, layout.greenShift);
        entries[i].blue = ChannelLevel(i, layout.blueBits, layout.blueShift);
    }
    return entries;
}

}  // namespace vorlane
