#include "font_face.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

int CellImage::ink_count() const
{
    int count = 0;
    for (bool pixel : ink)
        count += pixel;
    return count;
}

void CellImage::add(const CellImage& other)
{
    for (size_t i = 0; i < ink.size() && i < other.ink.size(); ++i)
        ink[i] = ink[i] || other.ink[i];
}

CellImage cell_blank(int width, int height)
{
    return CellImage {width, height, std::vector<bool>(size_t(width) * height, false)};
}

std::vector<uint8_t> cell_pack(const CellImage& cell)
{
    int row_bytes = (cell.width + 7) / 8;
    std::vector<uint8_t> bytes(size_t(row_bytes) * cell.height, 0xFF);
    for (int y = 0; y < cell.height; ++y) {
        for (int x = 0; x < cell.width; ++x) {
            if (cell.at(x, y))
                bytes[size_t(y) * row_bytes + x / 8] &= uint8_t(~(0x80 >> (x % 8)));
        }
    }
    return bytes;
}

// The file of the font fontconfig picks for the family, when that font is of the family
// (fontconfig answers every request with some font, often another family's).
static bool match_family(const std::string& family, std::string& file, std::string& error)
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    bool found = false;
    FcChar8* value = nullptr;
    for (int k = 0; match && FcPatternGetString(match, FC_FAMILY, k, &value) == FcResultMatch; ++k)
        found = found || strcasecmp(reinterpret_cast<const char*>(value), family.c_str()) == 0;
    if (found && FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch)
        file = reinterpret_cast<const char*>(value);
    else
        error = "no font of the family " + family + " is installed (Debian: fonts-nanum)";
    if (match)
        FcPatternDestroy(match);
    return !file.empty();
}

bool face_open(const std::string& family, int pixel_size, OutlineFace& face, std::string& error)
{
    if (!FcInit()) {
        error = "fontconfig cannot start";
        return false;
    }
    bool matched = match_family(family, face.file, error);
    FcFini();
    if (!matched)
        return false;
    if (FT_Init_FreeType(&face.library) != 0
        || FT_New_Face(face.library, face.file.c_str(), 0, &face.face) != 0
        || FT_Set_Pixel_Sizes(face.face, 0, FT_UInt(pixel_size)) != 0) {
        error = "FreeType cannot read " + face.file;
        face_close(face);
        return false;
    }
    return true;
}

void face_close(OutlineFace& face)
{
    if (face.face)
        FT_Done_Face(face.face);
    if (face.library)
        FT_Done_FreeType(face.library);
    face.face = nullptr;
    face.library = nullptr;
}

unsigned face_glyph_index(const OutlineFace& face, char32_t character)
{
    return FT_Get_Char_Index(face.face, FT_ULong(character));
}

int face_advance(const OutlineFace& face, unsigned glyph_index)
{
    if (FT_Load_Glyph(face.face, glyph_index, FT_LOAD_TARGET_MONO) != 0)
        return 0;
    return int(face.face->glyph->advance.x >> 6);
}

std::vector<unsigned> face_components(const OutlineFace& face, unsigned glyph_index)
{
    std::vector<unsigned> parts;
    if (FT_Load_Glyph(face.face, glyph_index, FT_LOAD_NO_RECURSE | FT_LOAD_NO_SCALE) != 0
        || face.face->glyph->format != FT_GLYPH_FORMAT_COMPOSITE)
        return parts;
    FT_GlyphSlot slot = face.face->glyph;
    for (FT_UInt k = 0; k < slot->num_subglyphs; ++k) {
        FT_Int index = 0;
        FT_UInt flags = 0;
        FT_Int arg1 = 0, arg2 = 0;
        FT_Matrix transform;
        if (FT_Get_SubGlyph_Info(slot, k, &index, &flags, &arg1, &arg2, &transform) == 0)
            parts.push_back(unsigned(index));
    }
    return parts;
}

CellImage face_draw(const OutlineFace& face, unsigned glyph_index, int cell_width, int cell_height,
    int origin_x, int baseline)
{
    CellImage cell = cell_blank(cell_width, cell_height);
    if (glyph_index == 0 || FT_Load_Glyph(face.face, glyph_index, FT_LOAD_TARGET_MONO) != 0
        || FT_Render_Glyph(face.face->glyph, FT_RENDER_MODE_MONO) != 0)
        return cell;
    const FT_GlyphSlot slot = face.face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const uint8_t* bits = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
        int y = baseline - slot->bitmap_top + int(row);
        for (unsigned column = 0; column < bitmap.width; ++column) {
            int x = origin_x + slot->bitmap_left + int(column);
            if ((bits[column / 8] & (0x80 >> (column % 8))) && x >= 0 && x < cell_width && y >= 0
                && y < cell_height)
                cell.ink[size_t(y) * cell_width + x] = true;
        }
    }
    return cell;
}
