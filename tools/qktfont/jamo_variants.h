// Hangul for the bitmap font as jamo glyphs and variant tables, taken from the outline face's
// own way of building syllables: most of its syllables are composites of positioned jamo
// glyphs, the others are drawn whole and are split into their jamo stroke by stroke. Which
// glyph a jamo takes depends on the other two jamo; those choices become the variant tables.
#pragma once
#include "font_face.h"

#include <string>
#include <vector>

// Where glyphs sit in a cell of the bitmap font.
struct CellPlacement {
    int width = 0;
    int height = 0;
    int origin_x = 0;
    int baseline = 0;
};

struct JamoGlyphs {
    std::vector<uint8_t> variant_tables; // the font's three counts and three 32 x 32 tables
    std::vector<uint8_t> glyphs; // initials, medials, finals, each group variant by variant
    int variant_counts[3] = {};
    // How close composition comes to the face's own syllables: pixels that differ, summed
    // over the syllables the face composes itself and over those it draws whole.
    long composite_pixels_off = 0;
    long whole_pixels_off = 0;
};

// False with a message when the face has no Hangul or the cell is not 20 x 20.
bool jamo_glyphs_build(const OutlineFace& face, const CellPlacement& cell, JamoGlyphs& out,
    std::string& error);
