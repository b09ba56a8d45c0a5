// An outline font opened by family name through fontconfig and drawn with FreeType into
// monochrome cells: the source of the tutor's bitmap font.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

// A cell of pixels, row by row; true is ink.
struct CellImage {
    int width = 0;
    int height = 0;
    std::vector<bool> ink;

    bool at(int x, int y) const { return ink[size_t(y) * width + x]; }
    int ink_count() const;
    void add(const CellImage& other); // the union of both inks (same size)
};
CellImage cell_blank(int width, int height);

// Glyph bytes as the bitmap font stores them: rows of whole bytes, the leftmost pixel in the
// top bit, 0 bits ink.
std::vector<uint8_t> cell_pack(const CellImage& cell);

struct OutlineFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string file;
};

// Opens the font fontconfig gives for the family at a pixel size; false with a message when
// fontconfig has only a stand-in of another family or FreeType cannot read it.
bool face_open(const std::string& family, int pixel_size, OutlineFace& face, std::string& error);
void face_close(OutlineFace& face);

// The face's glyph of a character (0: none), and its advance in pixels.
unsigned face_glyph_index(const OutlineFace& face, char32_t character);
int face_advance(const OutlineFace& face, unsigned glyph_index);

// The glyphs a composite glyph is built of, in order; empty for a simple glyph.
std::vector<unsigned> face_components(const OutlineFace& face, unsigned glyph_index);

// A glyph drawn without anti-aliasing into a cell, its origin at (origin_x, baseline) with y
// growing downwards; ink outside the cell is cut off.
CellImage face_draw(const OutlineFace& face, unsigned glyph_index, int cell_width, int cell_height,
    int origin_x, int baseline);
