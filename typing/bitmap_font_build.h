// Writing a bitmap font file with one size: the build makes "PNXBMP.FNT" from glyphs rendered
// out of an outline font, in the layout the reader expects.
#pragma once
#include "typing/bitmap_font.h"

#include <cstdint>
#include <vector>

// The glyphs of one size, each part empty when the size has none. Glyphs are 1 bit per pixel,
// rows of whole bytes, 0 bits ink: full-width ones ((width + 7) / 8) x height bytes, half-width
// ones ((width / 2 + 7) / 8) x height bytes.
struct FontImage {
    uint16_t width = kFontCellSize;
    uint16_t height = kFontCellSize;
    std::vector<uint8_t> half_width; // glyph n is byte value n + 1
    std::vector<uint8_t> variant_tables; // kFontVariantTablesSize bytes
    std::vector<uint8_t> areas[kFontCategories];
};

// The whole file. The block holds the variant tables, the half-width table and the areas in
// category order.
std::vector<uint8_t> bitmap_font_build(const FontImage& image);
