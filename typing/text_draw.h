// The tutor's text on device contexts, in its bitmap font (bitmap_font.h): Johab text becomes
// a glyph strip, and the strip a monochrome bitmap blitted at (x, y), its top-left corner.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/window/geometry.h"
#include "platform/window/window_types.h"

// text_draw flags: black ink on white cells instead of ink alone in the text colour.
constexpr uint32_t kTextOpaque = 2;
// Embossed text: the text colour over a white copy one pixel down and right and a grey copy
// one pixel up (COLORREFs).
constexpr uint32_t kTextEmbossLower = 0xFFFFFF;
constexpr uint32_t kTextEmbossUpper = 0x808080;

// Width and height of the text: every byte, single or half of a pair, is half a cell wide.
// Low word the width, high word the height. The DC is not asked: the font has one size.
uint32_t text_extent(plat::DcHandle dc, std::string_view text);

// Draws the text; an empty text with a rectangle fills the rectangle with the DC's background
// colour instead (the rectangle serves nothing else). Nothing is drawn when the font has no
// 20 x 20 size. The DC's colours are as they were afterwards.
void text_draw(plat::DcHandle dc, int32_t x, int32_t y, uint32_t flags, const plat::Rect* rect,
    std::string_view text);
void text_draw_embossed(plat::DcHandle dc, int32_t x, int32_t y, uint32_t flags,
    const plat::Rect* rect, std::string_view text);
// text_draw with kTextOpaque and no rectangle.
void text_draw_plain(plat::DcHandle dc, int32_t x, int32_t y, std::string_view text);
