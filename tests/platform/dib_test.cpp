#include "platform/gdi/dib.h"

#include <fstream>
#include <random>
#include <sstream>

#include "gdi_test_support.h"
#include "platform/kernel/byte_io.h"
#include "platform/gdi/bmp.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/rle.h"
#include "platform/gdi/shape.h"

namespace {

using namespace gditest;

class DibTest : public GdiTest {};

std::vector<uint8_t> read_fixture(const std::string& name)
{
    std::ifstream file(STORVEL_SOURCE_DIR "/tests/platform/fixtures/bmp/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// The pixels of a plain PPM (P3) or PBM (P1) picture, 0x00RRGGBB, rows top-down.
std::vector<uint32_t> read_picture(const std::string& name)
{
    std::vector<uint8_t> bytes = read_fixture(name);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string magic;
    int width = 0, height = 0, top = 1;
    in >> magic >> width >> height;
    if (magic == "P3")
        in >> top;
    std::vector<uint32_t> pixels;
    for (int i = 0; i < width * height; i++) {
        int r = 0, g = 0, b = 0;
        if (magic == "P1") {
            in >> r;
            pixels.push_back(r ? kBlack : kWhite);
            continue;
        }
        in >> r >> g >> b;
        pixels.push_back(uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b));
    }
    return pixels;
}

// Draws a DIB 1:1 at the top-left of the canvas.
int draw(Canvas& canvas, std::span<const uint8_t> info, std::span<const uint8_t> bits, int32_t width, int32_t height,
    uint32_t usage = DIB_RGB_COLORS)
{
    return stretch_dib_bits(canvas.dc, 0, 0, width, height, 0, 0, width, height, bits, info, usage, SRCCOPY);
}

bool near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16}) {
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance)
            return false;
    }
    return true;
}

TEST_F(DibTest, BmpFilesFromAnOutsideToolReadToTheirPixels)
{
    struct FixtureCase {
        const char* file;
        const char* picture;
        int bits;
        uint32_t compression;
        uint32_t header_size;
        int tolerance; // 16-bit files keep 5 or 6 bits of each channel
    };
    static const FixtureCase cases[] = {
        {"mono1.bmp", "mono.pbm", 1, BI_RGB, 40, 0},
        {"pal4.bmp", "few.ppm", 4, BI_RGB, 40, 0},
        {"pal8.bmp", "many.ppm", 8, BI_RGB, 40, 0},
        {"rle8.bmp", "many.ppm", 8, BI_RLE8, 40, 0},
        {"rgb565.bmp", "many.ppm", 16, BI_BITFIELDS, 124, 8},
        {"rgb555.bmp", "many.ppm", 16, BI_BITFIELDS, 124, 8},
        {"rgb24.bmp", "many.ppm", 24, BI_RGB, 40, 0},
        {"rgb32.bmp", "many.ppm", 32, BI_RGB, 40, 0},
        {"argb32.bmp", "many.ppm", 32, BI_BITFIELDS, 124, 0}, // one pixel is half transparent: colours stay
        {"core24.bmp", "many.ppm", 24, BI_RGB, 12, 0},
        {"core8.bmp", "many.ppm", 8, BI_RGB, 12, 0},
        {"core4.bmp", "few.ppm", 4, BI_RGB, 12, 0},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> file = read_fixture(c.file);
        BmpFile bmp;
        ASSERT_TRUE(bmp_read(file, bmp));
        EXPECT_EQ(bmp.format.bits, c.bits);
        EXPECT_EQ(bmp.format.header.compression, c.compression);
        EXPECT_EQ(bmp.format.header.size, c.header_size);
        ASSERT_EQ(bmp.format.width, 9);
        ASSERT_EQ(bmp.format.height, 5);
        Canvas canvas(9, 5);
        pat_blt(canvas.dc, 0, 0, 9, 5, BLACKNESS);
        EXPECT_EQ(draw(canvas, bmp.info, bmp.bits, 9, 5), 5);
        std::vector<uint32_t> expected = read_picture(c.picture);
        for (int32_t y = 0; y < 5; y++)
            for (int32_t x = 0; x < 9; x++)
                EXPECT_TRUE(near(canvas.at(x, y), expected[size_t(y * 9 + x)], c.tolerance))
                    << x << "," << y << ": " << std::hex << canvas.at(x, y) << " for " << expected[size_t(y * 9 + x)];
    }
}

// A DIB's bytes built field by field: a 40-byte header, a table, bits.
struct DibBytes {
    std::vector<uint8_t> info, bits;
};

DibBytes make_dib(int32_t width, int32_t height, uint16_t bit_count, uint32_t compression,
    std::vector<uint32_t> table, std::vector<uint8_t> bits)
{
    DibBytes out;
    ByteWriter w(out.info);
    w.u32le(40);
    w.u32le(uint32_t(width));
    w.u32le(uint32_t(height));
    w.u16le(1);
    w.u16le(bit_count);
    w.u32le(compression);
    w.u32le(compression == BI_RLE4 || compression == BI_RLE8 ? uint32_t(bits.size()) : 0);
    w.u32le(0);
    w.u32le(0);
    w.u32le(uint32_t(table.size()));
    w.u32le(0);
    for (uint32_t entry : table)
        w.u32le(entry);
    out.bits = std::move(bits);
    return out;
}

TEST_F(DibTest, RunLengthStreamsAndTopDownRowsDecode)
{
    // 4 x 2, BI_RLE4: the bottom row a run of alternating nibbles 1 2 1 2; the top row the
    // literal 1 2 1 and a run of one 0.
    DibBytes rle4 = make_dib(4, 2, 4, BI_RLE4, {0x000000, 0xFF0000, 0x00FF00},
        {0x04, 0x12, 0x00, 0x00, 0x00, 0x03, 0x12, 0x10, 0x01, 0x00, 0x00, 0x01});
    Canvas a(4, 2);
    ASSERT_TRUE(draw(a, rle4.info, rle4.bits, 4, 2));
    EXPECT_EQ(a.at(0, 1), 0xFF0000u);
    EXPECT_EQ(a.at(3, 1), 0x00FF00u);
    EXPECT_EQ(a.at(2, 0), 0xFF0000u);
    EXPECT_EQ(a.at(3, 0), kBlack);

    // 4 x 3, BI_RLE8: a move to (2, 1) and a run of two; everything else is left alone.
    DibBytes skip = make_dib(4, 3, 8, BI_RLE8, {0, 0, 0, 0, 0, 0x0000FF},
        {0x00, 0x02, 0x02, 0x01, 0x02, 0x05, 0x00, 0x01});
    Canvas b(4, 3);
    pat_blt(b.dc, 0, 0, 4, 3, BLACKNESS);
    ASSERT_TRUE(draw(b, skip.info, skip.bits, 4, 3));
    EXPECT_EQ(b.row(1, 0, 4, 0x0000FF), "..##");
    EXPECT_EQ(b.count(kBlack), 10);

    // 2 x 2, 24 bits, top-down: the first stored row is the top one.
    DibBytes top_down = make_dib(2, -2, 24, BI_RGB, {},
        {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0});
    Canvas c(2, 2);
    ASSERT_TRUE(draw(c, top_down.info, top_down.bits, 2, 2));
    EXPECT_EQ(c.at(0, 0), 0x0000FFu);
    EXPECT_EQ(c.at(1, 0), 0x00FF00u);
    EXPECT_EQ(c.at(0, 1), 0xFF0000u);
    EXPECT_EQ(c.at(1, 1), kWhite);
}

TEST_F(DibTest, SourceRowsOfABottomUpDibCountFromTheBottom)
{
    DibBytes column = make_dib(1, 4, 32, BI_RGB, {}, {});
    for (uint32_t c : {0x000001u, 0x000002u, 0x000003u, 0x000004u}) // stored bottom row first
        ByteWriter(column.bits).u32le(c);
    Canvas canvas(1, 2);
    stretch_dib_bits(canvas.dc, 0, 0, 1, 2, 0, 1, 1, 2, column.bits, column.info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(canvas.at(0, 0), 3u);
    EXPECT_EQ(canvas.at(0, 1), 2u);
}

TEST_F(DibTest, PaletteIndexTablesNameEntriesOfTheDcsPalette)
{
    const PaletteEntry entries[] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}};
    GdiObject palette = create_palette(entries, 3);
    Canvas canvas(3, 1);
    select_palette(canvas.dc, palette, false);
    DibBytes dib = make_dib(3, 1, 8, BI_RGB, {}, {0, 1, 2, 0});
    dib.info[32] = 3; // biClrUsed
    for (uint16_t index : {2, 0, 1})
        ByteWriter(dib.info).u16le(index);
    ASSERT_TRUE(draw(canvas, dib.info, dib.bits, 3, 1, DIB_PAL_COLORS));
    EXPECT_EQ(canvas.at(0, 0), 0x0000FFu);
    EXPECT_EQ(canvas.at(1, 0), 0xFF0000u);
    EXPECT_EQ(canvas.at(2, 0), 0x00FF00u);
    select_palette(canvas.dc, get_stock_object(DEFAULT_PALETTE), false);
    delete_object(palette);
}

TEST_F(DibTest, ColourTablesFollowTheUsedColourCount)
{
    struct CountCase {
        uint16_t bits;
        uint32_t compression;
        uint32_t clr_used;
        uint32_t colors;
        size_t info_size;
    };
    static const CountCase cases[] = {
        {1, BI_RGB, 0, 2, 48},
        {4, BI_RGB, 0, 16, 104},
        {4, BI_RGB, 20, 16, 104}, // more than 4 bits can name
        {4, BI_RGB, 5, 5, 60},
        {8, BI_RGB, 0, 256, 1064},
        {24, BI_RGB, 0, 0, 40},
        {16, BI_BITFIELDS, 0, 0, 52}, // three masks after the header
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.clr_used << " used");
        DibBytes dib = make_dib(2, 2, c.bits, c.compression, std::vector<uint32_t>(300, 0), {});
        store_u32le(dib.info.data() + 32, c.clr_used);
        DibFormat format;
        ASSERT_TRUE(dib_read_format(dib.info, DIB_RGB_COLORS, format));
        EXPECT_EQ(format.color_count, c.colors);
        EXPECT_EQ(format.info_size, c.info_size);
    }
}

// Damage in a header field, the table, the bits or a run-length stream.
struct BadCase {
    const char* name;
    DibBytes dib;
};

std::vector<BadCase> bad_cases()
{
    auto rgb = [](int32_t w, int32_t h, uint16_t bits) {
        return make_dib(w, h, bits, BI_RGB, std::vector<uint32_t>(bits <= 8 ? 1u << bits : 0, 0),
            std::vector<uint8_t>(64, 0));
    };
    auto rle8 = [](std::vector<uint8_t> stream) { return make_dib(4, 2, 8, BI_RLE8, std::vector<uint32_t>(256, 0), stream); };
    auto with = [](DibBytes dib, size_t offset, uint32_t value) {
        store_u32le(dib.info.data() + offset, value);
        return dib;
    };
    DibBytes short_header = rgb(2, 2, 24);
    short_header.info.resize(20);
    DibBytes short_table = rgb(2, 2, 8);
    short_table.info.resize(40 + 1020);
    DibBytes short_bits = rgb(3, 2, 24);
    short_bits.bits.resize(15); // two rows of 12 bytes
    DibBytes top_down_rle = rle8({0, 1});
    store_u32le(top_down_rle.info.data() + 8, uint32_t(-2));
    return {
        {"header cut short", short_header},
        {"header of 64 bytes", with(rgb(2, 2, 24), 0, 64)},
        {"two planes", with(rgb(2, 2, 24), 12, 2 | 24 << 16)},
        {"width 0", rgb(0, 2, 24)},
        {"height 0", rgb(2, 0, 24)},
        {"width past the limit", rgb(70000, 1, 1)},
        {"most negative height", rgb(2, INT32_MIN, 24)},
        {"pixels past the limit", rgb(30000, 30000, 1)},
        {"7 bits", rgb(2, 2, 7)},
        {"JPEG compression", with(rgb(2, 2, 24), 16, 4)},
        {"bit fields on 24 bits", with(rgb(2, 2, 24), 16, BI_BITFIELDS)},
        {"run-length on 4 bits marked RLE8", with(rgb(2, 2, 4), 16, BI_RLE8)},
        {"colour table past the end", short_table},
        {"fewer bits than rows", short_bits},
        {"run-length top-down", top_down_rle},
        {"no end of bitmap", rle8({0x04, 0x01, 0x00, 0x00})},
        {"run past the stored row", rle8({0x05, 0x01, 0x00, 0x01})},
        {"literal past the data", rle8({0x00, 0x04, 1, 2, 3})},
        {"literal without its padding", rle8({0x00, 0x03, 1, 2, 3})},
        {"move past the image", rle8({0x00, 0x02, 0x01, 0x03, 0x00, 0x01})},
        {"pixels past the last row", rle8({0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x01})},
        {"a move cut short", rle8({0x00, 0x02, 0x01})},
    };
}

TEST_F(DibTest, DamagedDibsAreRefusedWithoutTouchingAnything)
{
    for (const BadCase& c : bad_cases()) {
        SCOPED_TRACE(c.name);
        DibImage image;
        EXPECT_FALSE(dib_open(c.dib.info, c.dib.bits, DIB_RGB_COLORS, {}, 0, 2, image));
        Canvas canvas(4, 4);
        EXPECT_EQ(draw(canvas, c.dib.info, c.dib.bits, 4, 4), 0);
        EXPECT_EQ(canvas.count(kWhite), 16);
        // Nothing is read past the buffers: copies of the exact sizes show overruns to ASan.
        std::vector<uint8_t> info(c.dib.info), bits(c.dib.bits);
        GdiObject bitmap = create_compatible_bitmap(canvas.dc, 4, 4);
        EXPECT_EQ(set_dib_bits(canvas.dc, bitmap, 0, 2, bits, info, DIB_RGB_COLORS), 0);
        delete_object(bitmap);
    }
}

TEST_F(DibTest, DamagedBmpFilesAreRefused)
{
    std::vector<uint8_t> good = read_fixture("rgb24.bmp");
    BmpFile bmp;
    ASSERT_TRUE(bmp_read(good, bmp));
    struct FileCase {
        const char* name;
        size_t offset;
        uint32_t value;
        size_t size;
    };
    static const FileCase cases[] = {
        {"no BM", 0, 0x4D41, 0},
        {"bits past the end", 10, 5000, 0},
        {"bits inside the header", 10, 40, 0},
        {"file cut in the header", 0, 0x4D42, 30},
        {"file cut in the bits", 0, 0x4D42, 150},
        {"file of a few bytes", 0, 0x4D42, 6},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> file = good;
        store_u16le(file.data() + c.offset, uint16_t(c.value));
        if (c.offset == 10)
            store_u32le(file.data() + 10, c.value);
        if (c.size)
            file.resize(c.size);
        std::vector<uint8_t> exact(file);
        EXPECT_FALSE(bmp_read(exact, bmp));
    }
}

// A 9 x 5 colour bitmap whose colours are all in the 16 VGA colours, so every format with a
// table of them keeps them exactly.
GdiObject vga_bitmap(DcHandle dc)
{
    GdiObject bitmap = create_compatible_bitmap(dc, 9, 5);
    std::vector<uint32_t> colors = pixels_default_colors(4);
    PixelPlane plane = pixmap_plane(gdi_data<BitmapData>(bitmap)->pixmap);
    for (int32_t y = 0; y < 5; y++)
        for (int32_t x = 0; x < 9; x++) {
            uint32_t c = colors[size_t(x + y * 9) % 16];
            pixels_write(plane, x, y, 1, &c);
        }
    return bitmap;
}

TEST_F(DibTest, GetDibBitsWritesEveryFormatAndReadsBack)
{
    struct FormatCase {
        uint16_t bits;
        uint32_t compression;
        int32_t height; // negative: top-down
        int tolerance;
    };
    static const FormatCase cases[] = {
        {4, BI_RGB, 5, 0}, {8, BI_RGB, 5, 0}, {8, BI_RGB, -5, 0}, {16, BI_RGB, 5, 8}, {16, BI_BITFIELDS, 5, 8},
        {24, BI_RGB, 5, 0}, {24, BI_RGB, -5, 0}, {32, BI_RGB, 5, 0}, {32, BI_BITFIELDS, 5, 0},
        {8, BI_RLE8, 5, 0}, {4, BI_RLE4, 5, 0},
    };
    DcHandle display = get_dc(WindowHandle{});
    GdiObject source = vga_bitmap(display);
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, compression " << c.compression << ", height " << c.height);
        std::vector<uint8_t> info(40 + 1024, 0), bits(1000, 0);
        DibBytes request = make_dib(9, c.height, c.bits, c.compression, {}, {});
        std::copy(request.info.begin(), request.info.end(), info.begin());
        EXPECT_EQ(get_dib_bits(display, source, 0, 5, {}, info, DIB_RGB_COLORS), 5); // the header alone
        uint32_t image_size = load_u32le(info.data() + 20);
        bool compressed = c.compression == BI_RLE8 || c.compression == BI_RLE4;
        if (!compressed) {
            EXPECT_EQ(image_size, dib_stride(9, c.bits) * 5);
        }
        ASSERT_EQ(get_dib_bits(display, source, 0, 5, bits, info, DIB_RGB_COLORS), 5);
        bits.resize(image_size);
        Canvas canvas(9, 5);
        ASSERT_EQ(draw(canvas, info, bits, 9, 5), 5);
        for (int32_t y = 0; y < 5; y++)
            for (int32_t x = 0; x < 9; x++)
                EXPECT_TRUE(near(canvas.at(x, y), pixels_default_colors(4)[size_t(x + y * 9) % 16], c.tolerance)) << x << "," << y;
    }
    // Bit count 0 asks for the bitmap's own format.
    std::vector<uint8_t> info(40, 0);
    store_u32le(info.data(), 40);
    EXPECT_EQ(get_dib_bits(display, source, 0, 5, {}, info, DIB_RGB_COLORS), 5);
    EXPECT_EQ(load_u16le(info.data() + 14), 32);
    EXPECT_EQ(load_u32le(info.data() + 4), 9u);
    delete_object(source);
    release_dc(WindowHandle{}, display);
}

TEST_F(DibTest, MonochromeDibsMapColoursToTheNearerOfBlackAndWhite)
{
    Canvas canvas(4, 1);
    const uint32_t colors[] = {0x202020, 0xE0E0E0, 0x7F7F7F, 0x808080};
    for (int32_t x = 0; x < 4; x++)
        set_pixel(canvas.dc, x, 0, ref(colors[x]));
    std::vector<uint8_t> info(40 + 8, 0), bits(4, 0);
    DibBytes request = make_dib(4, 1, 1, BI_RGB, {}, {});
    std::copy(request.info.begin(), request.info.end(), info.begin());
    ASSERT_EQ(get_dib_bits(canvas.dc, canvas.bitmap, 0, 1, bits, info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(bits[0], 0x50); // 0 1 0 1: dark, light, dark, light
    EXPECT_EQ(load_u32le(info.data() + 40), 0u);
    EXPECT_EQ(load_u32le(info.data() + 44), 0xFFFFFFu);
}

TEST_F(DibTest, RunLengthEncodingRoundTrips)
{
    std::mt19937 random(7);
    for (int bits : {4, 8}) {
        for (int32_t width : {1, 2, 3, 7, 16, 300}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, width " << width);
            int32_t height = 5;
            std::vector<uint8_t> indices(size_t(width * height));
            for (size_t i = 0; i < indices.size(); i++) // runs and noise
                indices[i] = uint8_t((random() % 3 == 0 ? random() : i / 5) % (1u << bits));
            std::vector<uint8_t> stream, decoded, present;
            rle_encode(indices.data(), bits, width, height, stream);
            ASSERT_TRUE(rle_decode(stream, bits, width, height, decoded, present));
            EXPECT_EQ(decoded, indices);
            EXPECT_EQ(std::count(present.begin(), present.end(), 1), width * height);
        }
    }
}

TEST_F(DibTest, BitmapsFromDibsAndPackedDibs)
{
    std::vector<uint8_t> file = read_fixture("pal8.bmp"), packed, again;
    ASSERT_TRUE(bmp_to_packed_dib(file, packed));
    std::span<const uint8_t> info, bits;
    ASSERT_TRUE(dib_split_packed(packed, info, bits));
    EXPECT_EQ(info.size(), 40u + 1024);
    DcHandle display = get_dc(WindowHandle{});
    GdiObject colour = create_dib_bitmap(display, info, CBM_INIT, bits, info, DIB_RGB_COLORS);
    GdiObject mono = create_dib_bitmap(DcHandle{}, info, 0, {}, {}, DIB_RGB_COLORS);
    BitmapInfo about;
    ASSERT_TRUE(get_object(colour, about));
    EXPECT_EQ(about.bits_pixel, 32);
    EXPECT_EQ(about.width, 9);
    ASSERT_TRUE(get_object(mono, about));
    EXPECT_EQ(about.bits_pixel, 1);
    DcHandle memory = create_compatible_dc(display);
    GdiObject old = select_object(memory, colour);
    EXPECT_EQ(get_pixel(memory, 0, 0), ref(0xFF0000));
    EXPECT_EQ(get_pixel(memory, 8, 4), ref(kBlack));
    select_object(memory, old);
    delete_dc(memory);
    release_dc(WindowHandle{}, display);
    ASSERT_TRUE(bmp_from_packed_dib(packed, again));
    EXPECT_EQ(again, file);
}

} // namespace
