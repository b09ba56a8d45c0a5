#include "whole_glyphs.h"

#include "platform/kernel/codepage.h"

#include <string>

static std::vector<uint8_t> centred_glyph(const OutlineFace& face, const CellPlacement& cell, char32_t character)
{
    unsigned glyph = character ? face_glyph_index(face, character) : 0;
    int origin_x = glyph ? (cell.width - face_advance(face, glyph)) / 2 : 0;
    return cell_pack(face_draw(face, glyph, cell.width, cell.height, origin_x, cell.baseline));
}

// The character of a KS X 1001 code through the system code page, which holds the standard.
static char32_t ks_character(int row, int column)
{
    const char bytes[2] = {char(row), char(0xA1 + column)};
    std::u16string wide = plat::multi_byte_to_wide(plat::CP_KOREAN, std::string_view(bytes, 2));
    return wide.size() == 1 && wide[0] != u'\uFFFD' ? wide[0] : 0;
}

std::vector<uint8_t> whole_glyphs_ks_rows(const OutlineFace& face, const CellPlacement& cell,
    int first_row, int last_row)
{
    std::vector<uint8_t> glyphs;
    for (int row = first_row; row <= last_row; ++row) {
        for (int column = 0; column < 94; ++column) {
            std::vector<uint8_t> glyph = centred_glyph(face, cell, ks_character(row, column));
            glyphs.insert(glyphs.end(), glyph.begin(), glyph.end());
        }
    }
    return glyphs;
}

std::vector<uint8_t> whole_glyphs_half_width(const OutlineFace& face, const CellPlacement& cell)
{
    std::vector<uint8_t> glyphs;
    for (int byte = 1; byte <= 255; ++byte) {
        char32_t character = byte > 0x20 && byte < 0x7F ? char32_t(byte) : 0;
        std::vector<uint8_t> glyph = centred_glyph(face, cell, character);
        glyphs.insert(glyphs.end(), glyph.begin(), glyph.end());
    }
    return glyphs;
}
