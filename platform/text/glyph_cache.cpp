#include "platform/text/glyph_cache.h"

#include <array>
#include <string>
#include <unordered_map>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "platform/kernel/codepage.h"

namespace plat {

// Past this many bitmap bytes the cache starts again (huge fonts make huge glyphs).
constexpr size_t kMaxCacheBytes = size_t(64) << 20;
constexpr uint32_t kNoCharacter = 0xFFFD;

// The symbol encoding from 0x20 (0: no character): Greek for Latin letters, maths and arrows.
static const uint16_t kSymbolEncoding[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, // 0x20
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, // 0x30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, // 0x40
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, // 0x50
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, // 0x60
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, // 0x70
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x0000,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                 // 0x80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                 // 0x90
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, // 0xA0
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, // 0xB0
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, // 0xC0
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, // 0xD0
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, // 0xE0
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    0x0000, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, // 0xF0
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x0000,
};

struct CodePageTable {
    uint32_t code_page = 0;
    std::array<uint32_t, 256> single{};
    std::unordered_map<uint32_t, uint32_t> pairs; // lead << 8 | trail
};

struct GlyphState {
    std::unordered_map<uint64_t, Glyph> glyphs; // realized font id << 32 | code
    uint32_t generation = 0;                     // font_realized_generation of the entries
    size_t bytes = 0;
    GlyphCacheStats stats;
    CodePageTable table;
};

static GlyphState s_glyphs;

// --- Decoding ------------------------------------------------------------------------------

static uint32_t first_code(uint32_t code_page, std::string_view bytes)
{
    std::u16string wide = multi_byte_to_wide(code_page, bytes);
    if (wide.empty())
        return kNoCharacter;
    uint32_t code = wide[0];
    if (code >= 0xD800 && code < 0xDC00 && wide.size() > 1)
        code = 0x10000 + ((code - 0xD800) << 10) + (uint32_t(wide[1]) - 0xDC00);
    return code;
}

static CodePageTable& table_for(uint32_t code_page)
{
    CodePageTable& table = s_glyphs.table;
    if (table.code_page == code_page)
        return table;
    table.code_page = code_page;
    table.pairs.clear();
    for (uint32_t byte = 0; byte < 256; byte++) {
        char c = char(byte);
        table.single[byte] = is_dbcs_lead_byte_ex(code_page, uint8_t(byte)) ? kNoCharacter
                                                                           : first_code(code_page, std::string_view(&c, 1));
    }
    return table;
}

static uint32_t pair_code(CodePageTable& table, uint8_t lead, uint8_t trail)
{
    uint32_t key = uint32_t(lead) << 8 | trail;
    auto found = table.pairs.find(key);
    if (found != table.pairs.end())
        return found->second;
    char bytes[2] = {char(lead), char(trail)};
    uint32_t code = first_code(table.code_page, std::string_view(bytes, 2));
    table.pairs.emplace(key, code);
    return code;
}

static uint32_t symbol_code(uint8_t byte)
{
    if (byte < 0x20)
        return byte;
    uint32_t code = kSymbolEncoding[byte - 0x20];
    return code ? code : kNoCharacter;
}

void glyph_decode(const RealizedFont& font, const char* text, size_t length, std::vector<TextChar>& out)
{
    out.clear();
    if (!text)
        return;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
    if (font.match.symbol) {
        for (size_t i = 0; i < length; i++)
            out.push_back(TextChar{symbol_code(bytes[i]), uint32_t(i), 1});
        return;
    }
    CodePageTable& table = table_for(get_active_code_page());
    for (size_t i = 0; i < length;) {
        if (i + 1 < length && is_dbcs_lead_byte_ex(table.code_page, bytes[i])) {
            out.push_back(TextChar{pair_code(table, bytes[i], bytes[i + 1]), uint32_t(i), 2});
            i += 2;
        } else {
            out.push_back(TextChar{table.single[bytes[i]], uint32_t(i), 1});
            i++;
        }
    }
}

uint32_t glyph_code_of(const RealizedFont& font, uint32_t character)
{
    if (font.match.symbol)
        return character > 0xFF ? kNoCharacter : symbol_code(uint8_t(character));
    CodePageTable& table = table_for(get_active_code_page());
    if (character <= 0xFF)
        return table.single[character];
    uint8_t lead = uint8_t(character >> 8);
    if (character > 0xFFFF || !is_dbcs_lead_byte_ex(table.code_page, lead))
        return kNoCharacter;
    return pair_code(table, lead, uint8_t(character));
}

// --- Rasterising ---------------------------------------------------------------------------

// The face that has the character: the font's own, else the first linked face that has it,
// else the font's own missing-glyph shape.
static const FontFaceSize& face_for(const RealizedFont& font, uint32_t code, FT_UInt& index)
{
    index = FT_Get_Char_Index(font.primary.face, code);
    if (index != 0)
        return font.primary;
    for (const FontFaceSize& linked : font.linked) {
        index = FT_Get_Char_Index(linked.face, code);
        if (index != 0)
            return linked;
    }
    return font.primary;
}

static void copy_bitmap(const FT_Bitmap& bitmap, Glyph& glyph, bool smear)
{
    glyph.width = int32_t(bitmap.width) + (smear && bitmap.width > 0 ? kSynthBoldOverhang : 0);
    glyph.height = int32_t(bitmap.rows);
    glyph.stride = (size_t(glyph.width) + 7) / 8;
    glyph.bits.assign(glyph.stride * size_t(glyph.height), 0);
    size_t source_stride = (size_t(bitmap.width) + 7) / 8;
    for (int32_t row = 0; row < glyph.height; row++) {
        const uint8_t* source = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
        uint8_t* target = glyph.bits.data() + size_t(row) * glyph.stride;
        for (size_t i = 0; i < source_stride; i++)
            target[i] = source[i];
        if (!smear)
            continue;
        // Each ink pixel also inks its right neighbour: the row ORed with itself moved right.
        uint8_t carry = 0;
        for (size_t i = 0; i < glyph.stride; i++) {
            uint8_t byte = target[i];
            target[i] = uint8_t(byte | byte >> 1 | carry);
            carry = uint8_t(byte << 7);
        }
    }
}

static Glyph rasterise(const RealizedFont& font, uint32_t code)
{
    Glyph glyph;
    if (!font.loaded) {
        glyph.advance = font.metrics.ave_char_width;
        return glyph;
    }
    FT_UInt index = 0;
    const FontFaceSize& face = face_for(font, code, index);
    if (!font_activate(face) || FT_Load_Glyph(face.face, index, face.load_flags) != 0)
        return glyph;
    FT_GlyphSlot slot = face.face->glyph;
    glyph.advance = int32_t((slot->advance.x + 32) >> 6) + (face.synth_bold ? kSynthBoldOverhang : 0);
    if (face.synth_italic && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_Matrix shear{0x10000, kSynthItalicShear, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0 || slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
        return glyph;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    copy_bitmap(slot->bitmap, glyph, face.synth_bold);
    return glyph;
}

const Glyph& glyph_get(const RealizedFont& font, uint32_t code)
{
    uint32_t generation = font_realized_generation();
    if (s_glyphs.generation != generation || s_glyphs.bytes > kMaxCacheBytes) {
        s_glyphs.glyphs.clear();
        s_glyphs.bytes = 0;
        s_glyphs.generation = generation;
    }
    uint64_t key = uint64_t(font.id) << 32 | code;
    auto found = s_glyphs.glyphs.find(key);
    if (found != s_glyphs.glyphs.end()) {
        s_glyphs.stats.hits++;
        return found->second;
    }
    s_glyphs.stats.rasterised++;
    Glyph& glyph = s_glyphs.glyphs[key];
    glyph = rasterise(font, code);
    s_glyphs.bytes += glyph.bits.size() + sizeof(Glyph);
    return glyph;
}

void glyph_cache_clear()
{
    s_glyphs.glyphs.clear();
    s_glyphs.bytes = 0;
}

GlyphCacheStats glyph_cache_stats()
{
    GlyphCacheStats stats = s_glyphs.stats;
    stats.glyphs = s_glyphs.glyphs.size();
    return stats;
}

} // namespace plat
