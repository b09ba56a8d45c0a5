// Glyphs of realized fonts, rasterised once: 1-bit bitmaps with their placement and their
// whole-pixel advance, kept by (realized font, character), so that drawing the same text again
// does not rasterise again. Also the decoding of text into characters: bytes of the active
// code page (a double-byte character is one glyph) or, for symbol fonts, the symbol encoding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/text/font_metrics.h"

namespace plat {

struct Glyph {
    int32_t advance = 0; // what drawing moves the pen by: synthesised bold included
    int32_t left = 0;    // first column, from the pen
    int32_t top = 0;     // rows above the baseline to the first row
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;
    std::vector<uint8_t> bits; // rows top-down, leftmost pixel in the high bit, 1 = ink
};

// One character of a byte string: its Unicode value (0xFFFD when it has none) and its bytes.
struct TextChar {
    uint32_t code = 0;
    uint32_t offset = 0;
    uint32_t length = 1;
};

// The characters of length bytes of text in the font's encoding. A lead byte takes the next
// byte with it whatever it is (as CharNextA does), except at the end, where it stands alone.
void glyph_decode(const RealizedFont& font, const char* text, size_t length, std::vector<TextChar>& out);
// The Unicode value of a character code as GetCharWidth takes it: a byte, or lead << 8 | trail.
uint32_t glyph_code_of(const RealizedFont& font, uint32_t character);

// The glyph of a character (its Unicode value). Characters the font lacks come from its linked
// faces, else they show the font's missing-glyph shape. Good until the next glyph_get.
const Glyph& glyph_get(const RealizedFont& font, uint32_t code);

// Empties the cache (benchmarks measure a cold cache this way).
void glyph_cache_clear();
struct GlyphCacheStats {
    uint64_t rasterised = 0;
    uint64_t hits = 0;
    size_t glyphs = 0;
};
GlyphCacheStats glyph_cache_stats();

} // namespace plat
