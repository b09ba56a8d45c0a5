#include "typing/bitmap_font.h"

#include "platform/kernel/byte_io.h"
#include "typing/bitmap_font_build.h"
#include "typing/johab.h"
#include "typing/text_draw.h"

#include "test_util.h"

#include <set>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>; // (x, y) of ink

constexpr int kFullBytes = 60; // 3 bytes a row, 20 rows
constexpr int kHalfBytes = 40; // 2 bytes a row

// count glyphs, glyph k all paper but one ink pixel at (k % columns, k / columns): the pixels
// of a drawn cell tell which glyphs were used.
std::vector<uint8_t> marked_glyphs(int count, int width, int columns)
{
    int row_bytes = (width + 7) / 8;
    std::vector<uint8_t> glyphs(size_t(count) * row_bytes * 20, 0xFF);
    for (int k = 0; k < count; ++k) {
        int x = k % columns;
        int y = k / columns % 20;
        glyphs[size_t(k) * row_bytes * 20 + y * row_bytes + x / 8] &= uint8_t(~(0x80 >> (x % 8)));
    }
    return glyphs;
}

Pixels ink_of(const GlyphStrip& strip, int left, int width)
{
    Pixels pixels;
    for (int y = 0; y < strip.height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (glyph_strip_ink(strip, left + x, y))
                pixels.insert({x, y});
        }
    }
    return pixels;
}

// Jamo glyphs k marked at (k % 20, k / 20): two initial variants (38 glyphs), then 21 medials
// and 27 finals of one variant each. With a final, the initial takes its second variant.
FontImage composing_font()
{
    FontImage image;
    image.variant_tables.assign(kFontVariantTablesSize, 0);
    plat::store_u16le(&image.variant_tables[0], 2);
    plat::store_u16le(&image.variant_tables[2], 1);
    plat::store_u16le(&image.variant_tables[4], 1);
    for (int m = 0; m < 32; ++m) {
        for (int f = 1; f < 32; ++f)
            image.variant_tables[6 + m * 32 + f] = 1;
    }
    image.areas[0] = marked_glyphs(2 * 19 + 21 + 27, 20, 20);
    image.half_width = marked_glyphs(255, 10, 10);
    return image;
}

// One glyph per KS place: the 2,350 syllables, the Hanja, and the symbols last in the block
// with only their first 200 places.
FontImage whole_glyph_font()
{
    FontImage image;
    image.areas[0] = marked_glyphs(2350, 20, 20);
    image.areas[1] = marked_glyphs(4888, 20, 20);
    image.areas[2] = marked_glyphs(200, 20, 20);
    image.half_width = marked_glyphs(255, 10, 10);
    return image;
}

GlyphStrip render(const FontImage& image, const std::string& text)
{
    std::vector<uint8_t> file = bitmap_font_build(image);
    std::vector<FontSize> sizes;
    EXPECT_TRUE(bitmap_font_parse_sizes(file, sizes));
    EXPECT_EQ(sizes.size(), 1u);
    GlyphStrip strip;
    std::span<const uint8_t> block(file.data() + sizes[0].block_offset, sizes[0].block_size);
    EXPECT_TRUE(bitmap_font_render(sizes[0], block, text, strip));
    return strip;
}

struct CellCase {
    const char* name;
    std::string text; // one character
    Pixels ink;
};

TEST(BitmapFont, HangulIsComposedByTheVariantTables)
{
    static const CellCase kCases[] = {
        {"가: initial and medial, no final", "\x88\x61", {{0, 0}, {18, 1}}},
        {"각: the final picks the second initial variant", "\x88\x62", {{19, 0}, {18, 1}, {19, 2}}},
        {"힣: last of each group", "\xD3\xBD", {{17, 1}, {18, 2}, {5, 4}}},
        {"ㄱ alone", "\x88\x41", {{0, 0}}},
        {"ㅏ alone", "\x84\x61", {{18, 1}}},
        {"ㄳ alone", "\x84\x44", {{1, 3}}},
        {"all fills draw nothing", "\x84\x41", {}},
        {"a medial field in a gap draws only the initial", "\x89\x01", {{0, 0}}},
    };
    FontImage image = composing_font();
    for (const CellCase& c : kCases) {
        SCOPED_TRACE(c.name);
        GlyphStrip strip = render(image, c.text);
        ASSERT_EQ(strip.width, 20);
        EXPECT_EQ(ink_of(strip, 0, 20), c.ink);
    }
}

TEST(BitmapFont, WholeGlyphsComeFromTheirKsPlaces)
{
    static const CellCase kCases[] = {
        {"가 is the first Hangul glyph", "\x88\x61", {{0, 0}}},
        {"각 the second", "\x88\x62", {{1, 0}}},
        {"힝 is the last", "\xD3\xB7", {{9, 17}}},
        {"힣 is not among the standard's syllables", "\xD3\xBD", {}},
        {"jamo have no syllable glyph", "\x88\x41", {}},
        {"first symbol KS A1A1", "\xD9\x31", {{0, 0}}},
        {"KS A2A1 is symbol 94", "\xD9\xA1", {{14, 4}}},
        {"KS ACFE lies past the block's end", "\xDE\xFE", {}},
        {"first Hanja KS CAA1", "\xE0\x31", {{0, 0}}},
        {"Hanja in the block's last row", "\xF9\xFE", {{7, 4}}},
        {"an undrawable pair shows its trail byte half-width", "\xD8\x42", {{5, 6}}},
    };
    FontImage image = whole_glyph_font();
    for (const CellCase& c : kCases) {
        SCOPED_TRACE(c.name);
        GlyphStrip strip = render(image, c.text);
        EXPECT_EQ(ink_of(strip, 0, 20), c.ink);
    }
}

TEST(BitmapFont, StripsAreHalfACellPerByte)
{
    FontImage image = composing_font();
    GlyphStrip strip = render(image, "A\x88\x61");
    EXPECT_EQ(strip.width, 30);
    EXPECT_EQ(strip.height, 20);
    EXPECT_EQ(strip.stride, 4); // rows padded to 32 bits
    EXPECT_EQ(ink_of(strip, 0, 10), (Pixels {{4, 6}})); // 'A' is half-width glyph 64
    EXPECT_EQ(ink_of(strip, 10, 20), (Pixels {{0, 0}, {18, 1}}));

    strip = render(image, "A\x88"); // a lone lead byte ends the text
    EXPECT_EQ(strip.width, 20);
    EXPECT_EQ(ink_of(strip, 0, 20), (Pixels {{4, 6}}));

    strip = render(image, std::string("\0B", 2)); // byte 0 names no glyph
    EXPECT_EQ(ink_of(strip, 0, 10), Pixels {});
    EXPECT_EQ(ink_of(strip, 10, 10), (Pixels {{5, 6}}));

    EXPECT_EQ(text_extent(plat::DcHandle {}, "A\x88\x61"), 30u | 20u << 16);
    EXPECT_EQ(text_extent(plat::DcHandle {}, " "), 10u | 20u << 16);
}

TEST(BitmapFont, MissingTablesEndOrBlankTheText)
{
    FontImage no_half = composing_font();
    no_half.half_width.clear();
    GlyphStrip strip = render(no_half, "\x88\x61" "A\x88\x61");
    EXPECT_EQ(strip.width, 50);
    EXPECT_EQ(ink_of(strip, 0, 20).size(), 2u);
    EXPECT_TRUE(ink_of(strip, 20, 30).empty()); // the strip ended at 'A'

    FontImage no_hangul = composing_font();
    no_hangul.variant_tables.clear(); // without tables Hangul needs syllable glyphs
    strip = render(no_hangul, "\x88\x62");
    EXPECT_EQ(ink_of(strip, 0, 20), (Pixels {{1, 0}})); // glyph 1 of the area
}

// Damaged sizes: the reader looks every glyph up inside the block, whatever the tables say.
TEST(BitmapFont, GlyphsOutsideTheBlockStayPaper)
{
    FontImage image = composing_font();
    std::vector<uint8_t> file = bitmap_font_build(image);
    std::vector<FontSize> sizes;
    ASSERT_TRUE(bitmap_font_parse_sizes(file, sizes));
    const FontSize good = sizes[0];
    std::span<const uint8_t> block(file.data() + good.block_offset, good.block_size);

    struct DamageCase {
        const char* name;
        void (*damage)(FontSize&, std::vector<uint8_t>&);
        bool renders;
        size_t ink; // pixels of 각
    };
    static const DamageCase kCases[] = {
        {"undamaged", [](FontSize&, std::vector<uint8_t>&) { }, true, 3},
        {"variant counts of 65535 push medials and finals past the block",
            [](FontSize&, std::vector<uint8_t>& b) { plat::store_u16le(&b[0], 0xFFFF); }, true, 1},
        {"variant 255 for the initial",
            [](FontSize&, std::vector<uint8_t>& b) { b[6 + 1 * 32 + 1] = 255; }, true, 2},
        {"jamo area at the block's last byte",
            [](FontSize& s, std::vector<uint8_t>& b) { s.areas[0] = uint32_t(b.size() - 1); }, true, 0},
        {"jamo area far past the block",
            [](FontSize& s, std::vector<uint8_t>&) { s.areas[0] = 0xFFFFFFF0; }, true, 0},
        {"variant tables cut by the block's end: Hangul from syllable glyphs",
            [](FontSize& s, std::vector<uint8_t>& b) { s.variant_tables = uint32_t(b.size() - 100); }, true, 1},
        {"glyph stride smaller than a glyph",
            [](FontSize& s, std::vector<uint8_t>&) { s.glyph_bytes = 59; }, false, 0},
        {"cell of 65535 pixels",
            [](FontSize& s, std::vector<uint8_t>&) { s.width = 0xFFFF; }, false, 0},
    };
    for (const DamageCase& c : kCases) {
        SCOPED_TRACE(c.name);
        FontSize size = good;
        std::vector<uint8_t> bytes(block.begin(), block.end());
        c.damage(size, bytes);
        GlyphStrip strip;
        EXPECT_EQ(bitmap_font_render(size, bytes, "\x88\x62", strip), c.renders);
        if (c.renders) {
            EXPECT_EQ(ink_of(strip, 0, 20).size(), c.ink);
        }
    }
}

// The layout as stored, checked byte by byte, so that writer and reader cannot share a
// misunderstanding of it.
TEST(BitmapFont, StoredLayoutOfOneSize)
{
    FontImage image;
    image.half_width.assign(kHalfBytes, 0xFF);
    image.areas[2].assign(2 * kFullBytes, 0xFF);
    std::vector<uint8_t> file = bitmap_font_build(image);
    plat::ByteReader r(file.data(), file.size());
    r.skip(64);
    EXPECT_EQ(r.u16le(), 1); // sizes
    EXPECT_EQ(r.u16le(), 20); // width
    EXPECT_EQ(r.u16le(), 20); // height
    EXPECT_EQ(r.u16le(), kFullBytes);
    EXPECT_EQ(r.u32le(), 110u); // block right after the one entry
    EXPECT_EQ(r.u32le(), uint32_t(kHalfBytes + 2 * kFullBytes));
    r.skip(6);
    EXPECT_EQ(r.u32le(), 0u); // half-width table first in the block
    EXPECT_EQ(r.u32le(), kFontAbsent); // no variant tables
    EXPECT_EQ(r.u32le(), kFontAbsent);
    EXPECT_EQ(r.u32le(), kFontAbsent);
    EXPECT_EQ(r.u32le(), uint32_t(kHalfBytes)); // symbols
    EXPECT_EQ(r.u32le(), kFontAbsent);
    EXPECT_EQ(r.position(), 110u);
    EXPECT_EQ(file.size(), 110u + kHalfBytes + 2 * kFullBytes);
}

class BitmapFontFile : public TempFolder {
protected:
    void TearDown() override
    {
        bitmap_font_free();
        TempFolder::TearDown();
    }
};

TEST_F(BitmapFontFile, DamagedFilesAreRefusedOrDrawNothing)
{
    std::vector<uint8_t> good = bitmap_font_build(composing_font());
    struct FileCase {
        const char* name;
        std::vector<uint8_t> bytes;
        bool loads;
        bool draws;
    };
    std::vector<uint8_t> short_header(good.begin(), good.begin() + 65);
    std::vector<uint8_t> many_sizes = good;
    plat::store_u16le(&many_sizes[64], 1000);
    std::vector<uint8_t> block_outside = good;
    plat::store_u32le(&block_outside[66 + 6], 0xFFFFFF00);
    std::vector<uint8_t> block_cut(good.begin(), good.end() - 1);
    std::vector<uint8_t> other_size = good;
    plat::store_u16le(&other_size[66], 16);
    const FileCase kCases[] = {
        {"good", good, true, true},
        {"header cut short", short_header, false, false},
        {"more size entries than bytes", many_sizes, false, false},
        {"glyph block outside the file", block_outside, true, false},
        {"glyph block one byte short", block_cut, true, false},
        {"no 20 x 20 size", other_size, true, false},
    };
    for (const FileCase& c : kCases) {
        SCOPED_TRACE(c.name);
        write_host_file(path("PNXBMP.FNT"), c.bytes);
        EXPECT_EQ(bitmap_font_load_file(path("PNXBMP.FNT")), c.loads);
        GlyphStrip strip;
        EXPECT_EQ(bitmap_font_glyph_strip("\x88\x61", strip), c.draws);
        EXPECT_EQ(strip.width, c.draws ? 20 : 0);
    }
    EXPECT_FALSE(bitmap_font_load_file(path("absent.fnt")));
}

TEST_F(BitmapFontFile, BlockIsReadOnceAndKeptAfterTheFileGoes)
{
    write_host_file(path("PNXBMP.FNT"), bitmap_font_build(composing_font()));
    ASSERT_TRUE(bitmap_font_load_file(path("PNXBMP.FNT")));
    GlyphStrip first;
    ASSERT_TRUE(bitmap_font_glyph_strip("\x88\x61", first));
    std::filesystem::remove(path("PNXBMP.FNT"));
    GlyphStrip second;
    ASSERT_TRUE(bitmap_font_glyph_strip("\x88\x61", second));
    EXPECT_EQ(second.bits, first.bits);
}

} // namespace

namespace {

// The font the build renders from the Nanum fonts and puts beside the program.
class BuiltFont : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bitmap_font_load_file(STORVEL_BINARY_DIR "/bin/PNXBMP.FNT")); }
    void TearDown() override { bitmap_font_free(); }

    static GlyphStrip strip_of(const std::string& johab)
    {
        GlyphStrip strip;
        EXPECT_TRUE(bitmap_font_glyph_strip(johab, strip));
        return strip;
    }
};

TEST_F(BuiltFont, TextIsLaidOutInHalfAndFullCellsWithInkInEach)
{
    std::string text = wansung_to_johab("A\xB0\xA1\xB3\xAA\xB4\xD9 \xC8\xFE"); // A가나다 힝
    text.replace(text.size() - 2, 2, "\xD3\xBD"); // 힣, beyond the 2,350 of CP949's KS rows
    GlyphStrip strip = strip_of(text);
    EXPECT_EQ(strip.width, 100);
    EXPECT_EQ(strip.height, 20);
    EXPECT_EQ(uint32_t(strip.width) | 20u << 16, text_extent(plat::DcHandle {}, text));
    struct CellSpan {
        const char* name;
        int left;
        int width;
        bool inked;
    };
    static const CellSpan kCells[] = {
        {"A", 0, 10, true}, {"가", 10, 20, true}, {"나", 30, 20, true},
        {"다", 50, 20, true}, {"blank", 70, 10, false}, {"힣", 80, 20, true},
    };
    std::vector<Pixels> inks;
    for (const CellSpan& cell : kCells) {
        SCOPED_TRACE(cell.name);
        Pixels ink = ink_of(strip, cell.left, cell.width);
        EXPECT_EQ(!ink.empty(), cell.inked);
        for (const Pixels& earlier : inks) {
            if (cell.inked) {
                EXPECT_NE(ink, earlier);
            }
        }
        inks.push_back(ink);
    }
}

// Every character the tutor's texts can hold has a glyph: all syllables, the lone jamo,
// printable ASCII and the symbols of the first KS row.
TEST_F(BuiltFont, EveryHangulCharacterAndLetterHasInk)
{
    std::vector<uint16_t> missing;
    for (uint32_t u = 0xAC00; u <= 0xD7A3; ++u) {
        uint16_t code = unicode_to_johab(u);
        if (ink_of(strip_of(std::string {char(code >> 8), char(code & 0xFF)}), 0, 20).empty())
            missing.push_back(code);
    }
    for (uint32_t u = 0x3131; u <= 0x3163; ++u) {
        uint16_t code = unicode_to_johab(u);
        if (ink_of(strip_of(std::string {char(code >> 8), char(code & 0xFF)}), 0, 20).empty())
            missing.push_back(code);
    }
    for (int c = 0x21; c < 0x7F; ++c) {
        if (ink_of(strip_of(std::string(1, char(c))), 0, 10).empty())
            missing.push_back(uint16_t(c));
    }
    EXPECT_TRUE(missing.empty()) << missing.size() << " without ink, first " << std::hex << missing[0];
    // A final-only jamo, as the lessons show the keys of final consonants (ㅇ).
    EXPECT_FALSE(ink_of(strip_of("\x84\x57"), 0, 20).empty());
    EXPECT_FALSE(ink_of(strip_of(wansung_to_johab("\xA1\xD8")), 0, 20).empty()); // ※
    EXPECT_FALSE(ink_of(strip_of(wansung_to_johab("\xD3\xDE")), 0, 20).empty()); // 大
}

} // namespace
