#include "command_line/terminal_text.h"

#include <cstddef>
#include <cstdio>

namespace vorlane {

namespace {

bool Continues(const std::string& text, std::size_t at, unsigned char low = 0x80, unsigned char high = 0xbf)
{
    if (at >= text.size()) return false;
    const auto byte = static_cast<unsigned char>(text[at]);
    return byte >= low && byte <= high;
}

// The length of the well-formed UTF-8 sequence at text[at], or 0 (overlong
// forms, surrogates and code points past U+10FFFF are malformed).
std::size_t SequenceLength(const std::string& text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    if (lead >= 0xc2 && lead <= 0xdf) return Continues(text, at + 1) ? 2 : 0;
    if (lead >= 0xe0 && lead <= 0xef) {
        const unsigned char low = lead == 0xe0 ? 0xa0 : 0x80, high = lead == 0xed ? 0x9f : 0xbf;
        return Continues(text, at + 1, low, high) && Continues(text, at + 2) ? 3 : 0;
    }
    if (lead >= 0xf0 && lead <= 0xf4) {
        const unsigned char low = lead == 0xf0 ? 0x90 : 0x80, high = lead == 0xf4 ? 0x8f : 0xbf;
        return Continues(text, at + 1, low, high) && Continues(text, at + 2) && Continues(text, at + 3) ? 4 : 0;
    }
    return 0;
}

}  // namespace

std::string EscapeControls(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = SequenceLength(text, i);
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
        const bool c1 = length == 2 && lead == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0;
        const bool control = lead < 0x20 || lead == 0x7f || c1;
        if (length > 0 && !control) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        if (length == 0) length = 1;
        for (std::size_t end = i + length; i < end; ++i) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[i]));
            out += escaped;
        }
    }
    return out;
}

}  // namespace vorlane
