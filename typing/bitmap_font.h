// The tutor's own bitmap font, "PNXBMP.FNT" in the program folder: all its text is drawn from
// it in Johab. Hangul is composed from jamo glyphs whose variants the other jamo of the
// syllable choose; Hanja and symbols are whole glyphs in KS X 1001 order; single bytes have
// half-width glyphs. Text becomes a 1-bit strip here; text_draw.h draws strips on DCs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kFontFileName[] = "PNXBMP.FNT";
constexpr size_t kFontHeaderSize = 66; // the number of sizes is the u16 at offset 64
constexpr size_t kFontSizeEntrySize = 44;
constexpr uint32_t kFontAbsent = 0xFFFFFFFF; // a table or glyph area the size does not have
constexpr int kFontCellSize = 20; // the one size the tutor draws with: cells of 20 x 20
constexpr int kFontCategories = 4; // glyph areas: Hangul (jamo or syllables), Hanja, symbols, line drawing

// Jamo variant tables: three counts, then three 32 x 32 byte tables indexed by the numbers of
// the other two jamo.
constexpr size_t kFontVariantTablesSize = 6 + 3 * 32 * 32;
constexpr int kFontInitials = 19;
constexpr int kFontMedials = 21;
constexpr int kFontFinals = 27;

// One size of the font as stored. Offsets of tables and areas are within the size's glyph
// block, kFontAbsent when missing.
struct FontSize {
    uint16_t width = 0; // of a full-width glyph; half-width glyphs are width / 2
    uint16_t height = 0;
    uint16_t glyph_bytes = 0; // stride of full-width glyphs
    uint32_t block_offset = 0; // in the file
    uint32_t block_size = 0;
    uint32_t half_width_table = kFontAbsent;
    uint32_t variant_tables = kFontAbsent;
    uint32_t areas[kFontCategories] = {kFontAbsent, kFontAbsent, kFontAbsent, kFontAbsent};
};

// Rendered text: 1 bit per pixel, most significant bit leftmost, rows top first and padded to
// 32 bits; a 0 bit is ink and a 1 bit paper, as in a monochrome bitmap drawn black on white.
struct GlyphStrip {
    int width = 0;
    int height = 0;
    int stride = 0; // bytes per row
    std::vector<uint8_t> bits;
};
bool glyph_strip_ink(const GlyphStrip& strip, int x, int y); // false outside the strip

// The size entries of a font file from its first bytes; false when the header or an entry is
// cut short. Where each size's glyph block lies is checked when the block is read.
bool bitmap_font_parse_sizes(std::span<const uint8_t> head, std::vector<FontSize>& sizes);

// Renders Johab text (byte count x half the cell width wide) with one size and its glyph
// block. Every glyph is looked up inside the block only: whatever the tables say, a glyph
// that is not there stays paper. False when the size cannot be drawn with at all.
bool bitmap_font_render(const FontSize& size, std::span<const uint8_t> block, std::string_view text,
    GlyphStrip& strip);

// Reads the header and the size entries of the font beside the program, or at a given path;
// false when the file is missing or damaged, and the program cannot go on: the caller tells
// the user which file (bitmap_font_file_path) and ends. The glyph block is read on the first
// draw.
[[nodiscard]] bool bitmap_font_load();
[[nodiscard]] bool bitmap_font_load_file(std::string_view path);
std::string bitmap_font_file_path(); // the font beside the program, that bitmap_font_load reads
void bitmap_font_free();

// The tutor's text through the loaded font, with its 20 x 20 size: the glyph strip that text
// drawing blits. False, with an empty strip, when there is no such size or its block cannot
// be read.
bool bitmap_font_glyph_strip(std::string_view text, GlyphStrip& strip);
