// Any bytes as a bitmap font file: every size whose glyph block lies inside the bytes draws a
// text taken from the input's first bytes; nothing may read or write out of bounds.
#include "typing/bitmap_font.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    size_t text_size = std::min<size_t>(data[0] % 32, size - 1);
    std::string_view text(reinterpret_cast<const char*>(data + 1), text_size);
    std::span<const uint8_t> file(data, size);
    std::vector<FontSize> sizes;
    if (!bitmap_font_parse_sizes(file, sizes))
        return 0;
    for (const FontSize& font_size : sizes) {
        if (font_size.block_offset > size || font_size.block_size > size - font_size.block_offset)
            continue;
        GlyphStrip strip;
        if (!bitmap_font_render(font_size, file.subspan(font_size.block_offset, font_size.block_size), text, strip))
            continue;
        check(strip.width == int(text.size()) * (font_size.width / 2));
        check(strip.bits.size() == size_t(strip.stride) * strip.height);
    }
    return 0;
}
