// The program's own bitmap resources, chosen by the display's colour depth and drawn with an
// optional transparency mask, and the marker glyphs drawn from them in a colour.
#pragma once
#include "platform/window/geometry.h"
#include "platform/window/window_types.h"

#include <cstdint>

// The depth variants of bitmap n and its mask.
constexpr uint32_t kBitmap16Colours = 1000;
constexpr uint32_t kBitmap256Colours = 2000;
constexpr uint32_t kBitmapMask = 3000;
constexpr uint32_t kGlyphBase = 500;

// Raster operation of a drawing mode: 0 SRCAND, 1 MERGEPAINT, 2 destination XNOR source, any
// other SRCCOPY.
uint32_t bitmap_rop(int mode);
// The resource number bitmap_load takes for n on this DC's depth.
uint32_t bitmap_choose(plat::DcHandle dc, uint32_t n);
// The bitmap for the DC's depth, or null; the caller deletes it.
plat::GdiObject bitmap_load(plat::DcHandle dc, uint32_t n);
// 0 x 0 when missing.
void bitmap_size(plat::DcHandle dc, uint32_t n, int32_t& width, int32_t& height);
void bitmap_blit(plat::DcHandle dc, uint32_t n, int32_t x, int32_t y, int mode);
void bitmap_stretch(plat::DcHandle dc, uint32_t n, const plat::Rect& dest, const plat::Rect& source, int mode);
// Transparent through the mask when there is one, else as bitmap_blit.
void bitmap_draw(plat::DcHandle dc, uint32_t n, int32_t x, int32_t y, int mode);
// 0 when the bitmap is missing.
int bitmap_draw_part(plat::DcHandle dc, uint32_t n, const plat::Rect& dest, const plat::Rect& source, int mode);

int32_t glyph_offset_x(int glyph);
int32_t glyph_offset_y(int glyph);
// Glyph g's reference point at (x, y), its mark in the colour.
void glyph_draw(plat::DcHandle dc, int glyph, uint32_t color, int32_t x, int32_t y);
