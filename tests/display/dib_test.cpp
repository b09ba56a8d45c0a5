// Packed DIBs over the platform's BMP fixtures of every depth: the header arithmetic, damaged
// blocks refused, drawing as the platform draws the file, conversion from bitmaps (run-length
// compressed, one row shorter, past 64 KB), colour tables as palettes, and the two masks.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gdi/bmp.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/shape.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/byte_io.h"
#include "runtime/display/dib.h"
#include "runtime/display/dib_mask.h"
#include "tests/platform/gdi_test_support.h"

namespace {

using namespace gditest;

constexpr uint32_t kMagenta = 0xFF00FF; // the same as RGB and as a COLORREF

// A BITMAPINFOHEADER.
std::vector<uint8_t> header(int32_t width, int32_t height, uint16_t bits, uint32_t compression = BI_RGB,
    uint32_t size_image = 0, uint32_t clr_used = 0, uint32_t size = 40)
{
    std::vector<uint8_t> bytes(40, 0);
    DibHeader h;
    h.width = width;
    h.height = height;
    h.bit_count = bits;
    h.compression = compression;
    h.size_image = size_image;
    h.clr_used = clr_used;
    dib_write_header(h, bytes.data());
    store_u32le(bytes.data(), size);
    return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

PackedDib block_of(const std::vector<uint8_t>& bytes) { return mem_alloc_copy(bytes.data(), bytes.size()); }

std::vector<uint8_t> bytes_of(PackedDib block)
{
    const uint8_t* p = static_cast<const uint8_t*>(mem_lock(block));
    std::vector<uint8_t> out(p, p + mem_size(block));
    mem_unlock(block);
    return out;
}

// A BMP fixture of the platform's tests, and the same picture as a packed DIB with a 40-byte
// header (longer headers cut; their masks follow it).
struct Fixture {
    std::vector<uint8_t> file;
    BmpFile bmp;
    std::vector<uint8_t> packed;

    explicit Fixture(const std::string& name)
    {
        std::ifstream in(STORVEL_SOURCE_DIR "/tests/platform/fixtures/bmp/" + name, std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
        EXPECT_TRUE(bmp_read(file, bmp)) << name;
        const DibFormat& f = bmp.format;
        packed = header(f.header.width, f.header.height, f.header.bit_count, f.header.compression,
            f.header.size_image, f.header.clr_used);
        if (f.header.compression == BI_BITFIELDS) {
            for (uint32_t mask : f.masks) {
                uint8_t word[4];
                store_u32le(word, mask);
                packed.insert(packed.end(), word, word + 4);
            }
        } else {
            packed.insert(packed.end(), bmp.info.begin() + std::ptrdiff_t(f.table_offset),
                bmp.info.begin() + std::ptrdiff_t(f.info_size));
        }
        packed.insert(packed.end(), bmp.bits.begin(), bmp.bits.end());
    }
    int32_t width() const { return bmp.format.width; }
    int32_t height() const { return bmp.format.height; }
    // The picture drawn straight from the file by the platform.
    void draw_file(Canvas& canvas) const
    {
        stretch_dib_bits(canvas.dc, 0, 0, width(), height(), 0, 0, width(), height(), bmp.bits, bmp.info,
            DIB_RGB_COLORS, SRCCOPY);
    }
};

// Every BMP fixture our packed DIBs can hold (core headers are not BITMAPINFOHEADERs).
const char* const kFixtures[] = {"mono1.bmp", "pal4.bmp", "pal8.bmp", "rle8.bmp", "rgb555.bmp", "rgb565.bmp",
    "rgb24.bmp", "rgb32.bmp", "argb32.bmp"};

bool same_pixels(const Canvas& a, const Canvas& b, int32_t width, int32_t height)
{
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++)
            if (a.at(x, y) != b.at(x, y))
                return false;
    return true;
}

// The DIB drawn 1:1 at the canvas's top-left.
bool draw(Canvas& canvas, PackedDib dib, int32_t width, int32_t height)
{
    return dib_draw(canvas.dc, dib, Rect {0, 0, width, height}, Rect {0, 0, width, height}, SRCCOPY);
}

class DibTest : public GdiTest {
protected:
    void TearDown() override
    {
        GdiTest::TearDown();
        memory_reset();
    }
};

TEST_F(DibTest, HeaderArithmetic)
{
    static const struct {
        const char* name;
        std::vector<uint8_t> header;
        uint32_t colors, table;
        uint64_t image, offset;
    } kRows[] = {
        {"4 bits, no count", header(8, 4, 4), 16, 64, 16, 104},
        {"4 bits, count 20 is too many", header(8, 4, 4, BI_RGB, 0, 20), 16, 64, 16, 104},
        {"4 bits, count 5", header(8, 4, 4, BI_RGB, 0, 5), 5, 20, 16, 60},
        {"8 bits, no count", header(8, 4, 8), 256, 1024, 32, 1064},
        {"1 bit, count 7", header(8, 4, 1, BI_RGB, 0, 7), 2, 8, 16, 48},
        {"24 bits have no table", header(3, 2, 24, BI_RGB, 0, 9), 0, 0, 24, 40},
        {"bit fields are 12 bytes", header(3, 2, 16, BI_BITFIELDS), 0, 12, 16, 52},
        {"run-length, estimated", header(10, 4, 8, BI_RLE8), 256, 1024, 72, 1064},
        {"size given", header(10, 4, 8, BI_RLE8, 33), 256, 1024, 33, 1064},
        {"top-down", header(3, -2, 24), 0, 0, 24, 40},
        {"past 4 GB", header(0x10000, 0x10000, 24), 0, 0, 0x300000000ull, 40},
        {"a longer header", header(3, 2, 8, BI_RGB, 0, 2, 124), 2, 8, 8, 132},
        {"too short", std::vector<uint8_t>(39, 0), 0, 0, 0, 0},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(dib_color_count(row.header), row.colors);
        EXPECT_EQ(dib_color_table_bytes(row.header), row.table);
        EXPECT_EQ(dib_image_size(row.header), row.image);
        EXPECT_EQ(dib_bits_offset(row.header), row.offset);
    }
}

TEST_F(DibTest, DamagedBlocksAreRefusedByEveryReader)
{
    const std::vector<uint8_t> two_colors = {0, 0, 0, 0, 255, 255, 255, 0};
    static const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        bool parts; // a stream damaged inside passes the size checks
    } kRows[] = {
        {"too short for a header", std::vector<uint8_t>(20, 0), false},
        {"core header", header(4, 4, 24, BI_RGB, 0, 0, 12) + std::vector<uint8_t>(64, 0), false},
        {"table past the end", header(4, 4, 8) + std::vector<uint8_t>(10, 0), false},
        {"rows past the end", header(4, 4, 24) + std::vector<uint8_t>(47, 0), false},
        {"size below the rows", header(4, 4, 24, BI_RGB, 8) + std::vector<uint8_t>(48, 0), false},
        {"run-length size past the end", header(4, 4, 8, BI_RLE8, 100, 2) + two_colors + std::vector<uint8_t>(10, 0),
            false},
        {"a depth nothing draws", header(4, 4, 2) + std::vector<uint8_t>(96, 0), false},
        {"wider than any picture", header(0x7FFFFFFF, 1, 1) + two_colors + std::vector<uint8_t>(64, 0), false},
        {"run-length stream without its end", header(4, 4, 8, BI_RLE8, 2, 2) + two_colors + std::vector<uint8_t> {2, 1},
            true},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        DibParts parts;
        EXPECT_EQ(dib_parts(row.bytes, parts), row.parts);
        PackedDib dib = block_of(row.bytes);
        Canvas canvas(4, 4);
        EXPECT_FALSE(draw(canvas, dib, 4, 4));
        EXPECT_EQ(canvas.count(kWhite), 16);
        mem_free(dib);
        std::span<const uint8_t> bytes(row.bytes);
        size_t info_size = std::min<size_t>(bytes.size(), size_t(dib_bits_offset(bytes)));
        PackedDib mask {1};
        EXPECT_EQ(dib_color_mask(bytes.first(info_size), bytes.subspan(info_size), mask, kMagenta, DibMaskTable::keep), 8);
        EXPECT_FALSE(mask);
        EXPECT_EQ(dib_matte_mask(bytes.first(info_size), bytes.subspan(info_size), mask, kMagenta, 0), 8);
        EXPECT_FALSE(dib_mono_keyed(bytes.first(info_size), bytes.subspan(info_size), kMagenta));
    }
}

TEST_F(DibTest, FixturesOfEveryDepthDrawAsThePlatformDrawsTheFile)
{
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        Fixture fixture(name);
        int32_t w = fixture.width(), h = fixture.height();
        Canvas expected(w, h), drawn(w, h);
        fixture.draw_file(expected);
        PackedDib dib = block_of(fixture.packed);
        EXPECT_TRUE(draw(drawn, dib, w, h));
        EXPECT_TRUE(same_pixels(expected, drawn, w, h));

        // A part of the picture, in image coordinates; the source is cut at the picture's edge.
        Canvas part(4, 4);
        EXPECT_TRUE(dib_draw(part.dc, dib, Rect {w - 3, 1, w + 5, 4}, Rect {0, 0, 3, 3}, SRCCOPY));
        for (int32_t y = 0; y < 3; y++)
            for (int32_t x = 0; x < 3; x++)
                EXPECT_EQ(part.at(x, y), expected.at(w - 3 + x, 1 + y)) << x << "," << y;
        EXPECT_EQ(part.at(3, 3), kWhite);
        mem_free(dib);
    }
}

TEST_F(DibTest, DrawingOutsideTheClipSucceedsAndAnEmptySourceFails)
{
    Fixture fixture("pal8.bmp");
    PackedDib dib = block_of(fixture.packed);
    Canvas canvas(9, 5);
    EXPECT_TRUE(dib_draw(canvas.dc, dib, Rect {0, 0, 9, 5}, Rect {100, 100, 109, 105}, SRCCOPY));
    EXPECT_FALSE(dib_draw(canvas.dc, dib, Rect {9, 0, 12, 5}, Rect {0, 0, 3, 5}, SRCCOPY));
    EXPECT_EQ(canvas.count(kWhite), 45);
    mem_free(dib);
}

TEST_F(DibTest, BitmapsConvertAtEveryDepthAndDrawBackTheSame)
{
    Fixture many("pal8.bmp");
    GdiObject many_palette = dib_palette(many.packed);
    ASSERT_TRUE(many_palette);
    static const struct {
        const char* name;
        int bits;
        uint32_t flags;
        bool with_palette;
        uint16_t bit_count;
        uint32_t compression;
        int32_t rows;
        bool exact; // draws back the same pixels
    } kRows[] = {
        {"own depth", 0, 0, false, 24, BI_RGB, 5, true},
        {"32 asked", 32, 0, false, 24, BI_RGB, 5, true},
        {"8 bits through the picture's palette", 8, 0, true, 8, BI_RGB, 5, true},
        {"8 bits run-length", 8, 2, true, 8, BI_RLE8, 5, true},
        {"6 asked gives 8", 6, 0x8000, true, 8, BI_RGB, 4, true},
        {"4 bits", 3, 0, false, 4, BI_RGB, 5, false},
        {"4 bits run-length", 4, 1, false, 4, BI_RLE4, 5, false},
        {"1 bit", 1, 0, false, 1, BI_RGB, 5, false},
        {"1 bit: compression is for 4 and 8", 1, 1, false, 1, BI_RGB, 5, false},
        {"one row shorter", 0, 0x8000, false, 24, BI_RGB, 4, true},
    };
    Canvas source(9, 5);
    many.draw_file(source);
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        PackedDib dib = dib_from_bitmap(source.bitmap, row.flags, row.bits, row.with_palette ? many_palette : GdiObject {});
        ASSERT_TRUE(dib);
        std::vector<uint8_t> bytes = bytes_of(dib);
        DibParts parts;
        ASSERT_TRUE(dib_parts(bytes, parts));
        EXPECT_EQ(parts.header.bit_count, row.bit_count);
        EXPECT_EQ(parts.header.compression, row.compression);
        EXPECT_EQ(parts.header.height, row.rows);
        EXPECT_EQ(bytes.size(), dib_bits_offset(bytes) + dib_image_size(bytes)); // no slack, nothing short
        Canvas back(9, 5);
        EXPECT_TRUE(draw(back, dib, 9, row.rows));
        if (row.exact) {
            EXPECT_TRUE(same_pixels(source, back, 9, row.rows)); // the top rows when shorter
        }
        if (row.compression != BI_RGB) {
            PackedDib plain = dib_from_bitmap(source.bitmap, row.flags & 0x8000, row.bits, row.with_palette ? many_palette : GdiObject {});
            Canvas plain_back(9, 5);
            EXPECT_TRUE(draw(plain_back, plain, 9, row.rows));
            EXPECT_TRUE(same_pixels(plain_back, back, 9, 5));
            mem_free(plain);
        }
        mem_free(dib);
    }
    delete_object(many_palette);
}

TEST_F(DibTest, LargeBitmapsGetTheirWholeSize)
{
    Canvas big(640, 480);
    big.use(0, ref(0x123456));
    rectangle(big.dc, 100, 100, 300, 200);
    PackedDib dib = dib_from_bitmap(big.bitmap, 0, 8, GdiObject {});
    ASSERT_TRUE(dib);
    EXPECT_EQ(mem_size(dib), 40u + 1024 + 640 * 480);
    Canvas back(640, 480);
    EXPECT_TRUE(draw(back, dib, 640, 480));
    EXPECT_EQ(back.at(0, 0), kWhite);
    EXPECT_EQ(back.at(150, 150), back.at(298, 198)); // without a pen the fill stops one short
    EXPECT_NE(back.at(150, 150), kWhite);
    mem_free(dib);
}

TEST_F(DibTest, ADcGivesItsBitmapAndKeepsIt)
{
    Fixture fixture("rgb24.bmp");
    Canvas canvas(9, 5);
    fixture.draw_file(canvas);
    PackedDib from_dc = dib_from_dc(canvas.dc);
    PackedDib from_bitmap = dib_from_bitmap(canvas.bitmap, 0, 0, GdiObject {});
    ASSERT_TRUE(from_dc);
    EXPECT_EQ(bytes_of(from_dc), bytes_of(from_bitmap));
    EXPECT_EQ(get_current_object(canvas.dc, OBJ_BITMAP), canvas.bitmap);
    mem_free(from_dc);
    mem_free(from_bitmap);

    EXPECT_FALSE(dib_from_dc(DcHandle {}));
    EXPECT_FALSE(dib_from_bitmap(GdiObject {}, 0, 0, GdiObject {}));
    Canvas one_row(9, 1);
    EXPECT_FALSE(dib_from_bitmap(one_row.bitmap, 0x8000, 0, GdiObject {}));
}

TEST_F(DibTest, ColorTablesBecomePalettes)
{
    Fixture fixture("pal4.bmp");
    std::span<const uint8_t> info(fixture.packed);
    uint32_t count = dib_color_count(info);
    ASSERT_GT(count, 2u);
    GdiObject palette = dib_palette(info);
    ASSERT_TRUE(palette);
    std::vector<PaletteEntry> entries(count);
    ASSERT_EQ(get_palette_entries(palette, 0, count, entries.data()), count);
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t* quad = info.data() + 40 + 4 * i;
        EXPECT_EQ(entries[i], (PaletteEntry {quad[2], quad[1], quad[0], 0})) << i;
    }

    std::vector<uint8_t> map(256, 0xEE);
    EXPECT_EQ(dib_map_to_palette(info, map, palette), count);
    for (uint32_t i = 0; i < count; i++) // the first of duplicate colours answers
        EXPECT_EQ(entries[map[i]], entries[i]) << i;
    EXPECT_EQ(map[count], 0xEE);
    EXPECT_EQ(dib_map_to_palette(info, map, GdiObject {}), 0u);
    EXPECT_EQ(dib_map_to_palette(info.first(30), map, palette), 0u);
    delete_object(palette);

    EXPECT_FALSE(dib_palette(Fixture("rgb24.bmp").packed));
    EXPECT_FALSE(dib_palette(info.first(41)));

    uint8_t quad[4];
    dib_rgbquad(0x00332211, quad);
    EXPECT_EQ(std::vector<uint8_t>(quad, quad + 4), (std::vector<uint8_t> {0x33, 0x22, 0x11, 0}));
}

// The mask's pixels drawn: '#' black, '.' white.
std::string mask_text(PackedDib mask, int32_t width, int32_t height)
{
    Canvas canvas(width, height);
    pat_blt(canvas.dc, 0, 0, width, height, BLACKNESS);
    EXPECT_TRUE(draw(canvas, mask, width, height));
    std::string text;
    for (int32_t y = 0; y < height; y++)
        text += canvas.row(y, 0, width) + (y + 1 < height ? "/" : "");
    return text;
}

TEST_F(DibTest, ColorMasksMarkTheKeyAtEveryDepth)
{
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        Fixture fixture(name);
        int32_t w = fixture.width(), h = fixture.height();
        Canvas picture(w, h);
        fixture.draw_file(picture);
        uint32_t key = picture.at(3, 2); // as the picture shows it: 16-bit colours widened
        std::string keyed;
        for (int32_t y = 0; y < h; y++) {
            for (int32_t x = 0; x < w; x++)
                keyed += picture.at(x, y) == key ? '#' : '.';
            keyed += y + 1 < h ? "/" : "";
        }
        ASSERT_NE(keyed.find('.'), std::string::npos);
        DibParts parts;
        ASSERT_TRUE(dib_parts(fixture.packed, parts));
        PackedDib mask;
        ASSERT_EQ(dib_color_mask(parts.info, parts.bits, mask, ref(key) | 0x02000000, DibMaskTable::keep), 0);
        EXPECT_EQ(dib_color_count(bytes_of(mask)), 2u);
        EXPECT_EQ(mask_text(mask, w, h), keyed);
        mem_free(mask);

        ASSERT_EQ(dib_color_mask(parts.info, parts.bits, mask, ref(key), DibMaskTable::invert), 0);
        std::string inverted = keyed;
        for (char& c : inverted)
            c = c == '#' ? '.' : c == '.' ? '#' : c;
        EXPECT_EQ(mask_text(mask, w, h), inverted);
        mem_free(mask);
    }
}

// An 8-bit top-down picture from rows of text: 'k' the key colour, anything else white.
std::vector<uint8_t> keyed_picture(const std::vector<std::string>& rows)
{
    int32_t width = int32_t(rows[0].size()), height = int32_t(rows.size());
    std::vector<uint8_t> bytes = header(width, -height, 8, BI_RGB, 0, 2);
    std::vector<uint8_t> table = {255, 255, 255, 0, 255, 0, 255, 0};
    bytes = bytes + table;
    size_t stride = size_t(width + 3) / 4 * 4;
    for (const std::string& row : rows) {
        std::vector<uint8_t> line(stride, 0);
        for (size_t x = 0; x < row.size(); x++)
            line[x] = row[x] == 'k';
        bytes = bytes + line;
    }
    return bytes;
}

TEST_F(DibTest, TheMatteRemovesOnlyTheKeyThatTouchesTheBorder)
{
    static const struct {
        const char* name;
        std::vector<std::string> rows;
        uint32_t polarity;
        const char* matte; // '#' black; "" for no mask
    } kRows[] = {
        {"holes stay, diagonals do not join",
            {"kk....", "k..kk.", "...kk.", ".k....", "k...kk"}, 0,
            "..####/.#####/######/######/.###.."},
        {"white polarity", {"kk....", "k..kk.", "...kk.", ".k....", "k...kk"}, kMattePolarityWhite,
            "##..../#...../....../....../#...##"},
        {"a key spreading from the border inward", {"..k...", "..kk..", "...k..", "......"}, 0,
            "##.###/##..##/###.##/######"},
        {"no key on the border", {"......", ".kk...", "......"}, 0, ""},
        {"no key at all", {"...", "..."}, 0, ""},
        {"one pixel", {"k"}, 0, "."},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> picture = keyed_picture(row.rows);
        DibParts parts;
        ASSERT_TRUE(dib_parts(picture, parts));
        PackedDib matte {1};
        ASSERT_EQ(dib_matte_mask(parts.info, parts.bits, matte, kMagenta, row.polarity), 0);
        if (*row.matte == 0) {
            EXPECT_FALSE(matte);
            continue;
        }
        ASSERT_TRUE(matte);
        EXPECT_EQ(mask_text(matte, int32_t(row.rows[0].size()), int32_t(row.rows.size())), row.matte);
        mem_free(matte);
    }
}

TEST_F(DibTest, TheKeyedMonochromeBitmapIsOneRowTaller)
{
    std::vector<uint8_t> picture = keyed_picture({"k.k", ".k."});
    DibParts parts;
    ASSERT_TRUE(dib_parts(picture, parts));
    GdiObject mono = dib_mono_keyed(parts.info, parts.bits, kMagenta);
    ASSERT_TRUE(mono);
    BitmapInfo info;
    ASSERT_TRUE(get_object(mono, info));
    EXPECT_EQ(info.bits_pixel, 1);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 3);
    Canvas canvas(3, 3);
    DcHandle source = create_compatible_dc(DcHandle {});
    GdiObject old = select_object(source, mono);
    bit_blt(canvas.dc, 0, 0, 3, 3, source, 0, 0, SRCCOPY);
    select_object(source, old);
    delete_dc(source);
    delete_object(mono);
    EXPECT_EQ(canvas.row(0, 0, 3) + "/" + canvas.row(1, 0, 3) + "/" + canvas.row(2, 0, 3), "#.#/.#./...");
}

} // namespace
