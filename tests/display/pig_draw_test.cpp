// Drawing pictures: shapes give the pixels of the primitives called directly, images are drawn
// by the mode table (with masks, the source cut to a clipped destination, the run-length
// forms), the window origin is left as found, and the entry points' errors and size caps.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/gdi/bmp.h"
#include "platform/gdi/mapping.h"
#include "platform/kernel/byte_io.h"
#include "runtime/display/pig_draw.h"
#include "tests/display/pig_fixture.h"
#include "tests/platform/gdi_test_support.h"

namespace {

using namespace gditest;
using pigtest::Block;
using pigtest::picture;

const std::string kBmpFolder = STORVEL_SOURCE_DIR "/tests/platform/fixtures/bmp";

class PigDrawTest : public GdiTest {
protected:
    std::string folder;
    void SetUp() override
    {
        GdiTest::SetUp();
        pig_tables_init();
        std::string pattern = (std::filesystem::temp_directory_path() / "pig_draw_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        pig_tables_free();
        std::filesystem::remove_all(folder);
        GdiTest::TearDown();
    }

    static int draw(const std::vector<uint8_t>& bytes, DcHandle dc, const Point* origin = nullptr,
        PigRectRoutine rect_routine = nullptr)
    {
        Block block(bytes);
        PigDrawRequest request;
        request.dc = dc;
        request.picture = block.handle;
        request.origin = origin;
        request.rect_routine = rect_routine;
        return pig_draw(&request);
    }
};

// Fills the canvas with a colour (0x00RRGGBB).
void paint(Canvas& canvas, uint32_t rgb)
{
    GdiObject brush = create_solid_brush(ref(rgb));
    PixelPlane plane = canvas.plane();
    fill_rect(canvas.dc, Rect{0, 0, plane.width, plane.height}, brush);
    delete_object(brush);
}

struct ShapeRow {
    const char* name;
    const char* lines;
    void (*expected)(DcHandle dc, DrawStyle& s);
};

TEST_F(PigDrawTest, ShapesGiveThePixelsOfThePrimitives)
{
    static const ShapeRow kRows[] = {
        {"rectangle, pen 2, red fill", "pic fill-color 255 0 0\npic pen 2 2\npic rect 10 10 50 40",
            [](DcHandle dc, DrawStyle& s) {
                s.fill_color = 0x0000FF, s.line_width = s.line_height = 2;
                gdi_draw_rect(dc, &s, 10, 10, 50, 40, 0x0000FF);
            }},
        {"oval inverting", "pic mode 2\npic oval 5 5 60 30",
            [](DcHandle dc, DrawStyle& s) {
                s.mode = 2;
                gdi_draw_ellipse(dc, &s, 5, 5, 60, 30, 0x0000FF);
            }},
        {"rounded rectangle, pattern, two passes",
            "pic mode 1\npic fill-back 0 0 255\npic fill-pattern 170 85 170 85 170 85 170 85\npic round-rect 5 5 60 50 10 12",
            [](DcHandle dc, DrawStyle& s) {
                s.mode = 1, s.fill_back_color = 0xFF0000;
                for (int i = 0; i < 8; i++)
                    s.fill_pattern[i] = i % 2 ? 85 : 170;
                gdi_draw_round_rect(dc, &s, 5, 5, 60, 50, 10, 12, 0x0000FF);
            }},
        {"line with both arrow heads", "pic line-color 0 0 255\npic pen 3 3\npic arrows 3\npic line 5 5 60 40",
            [](DcHandle dc, DrawStyle& s) {
                s.line_color = 0xFF0000, s.line_width = s.line_height = 3, s.arrows = 3;
                gdi_draw_line(dc, &s, 5, 5, 60, 40, 0x0000FF);
            }},
        {"pie and arc, line off", "pic mode 4\npic pie 5 5 60 60 60 30 30 5\npic line-off\npic arc 0 0 40 40 0 20 20 0",
            [](DcHandle dc, DrawStyle& s) {
                s.mode = 4;
                gdi_draw_pie(dc, &s, 5, 5, 60, 60, 60, 30, 30, 5, 0x0000FF);
                s.line_on = 0;
                gdi_draw_arc(dc, &s, 0, 0, 40, 40, 0, 20, 20, 0, 0x0000FF);
            }},
        {"polygon closed by the style flag", "pic flags 8\npic fill-off\npic polygon 0 0 60 60 5 5 55 10 30 50",
            [](DcHandle dc, DrawStyle& s) {
                s.flag1 = 8, s.fill_on = 0;
                Point points[] = {{5, 5}, {55, 10}, {30, 50}, {5, 5}};
                gdi_draw_polygon(dc, &s, points, 4, 0x0000FF);
            }},
        {"open polygon when the flag is off", "pic polygon 0 0 60 60 5 5 55 10 30 50",
            [](DcHandle dc, DrawStyle& s) {
                Point points[] = {{5, 5}, {55, 10}, {30, 50}};
                gdi_draw_polygon(dc, &s, points, 3, 0x0000FF);
            }},
        {"mode 3 uses the picture background", "pic mode 3\npic rect 4 4 30 30",
            [](DcHandle dc, DrawStyle& s) {
                s.mode = 3;
                gdi_draw_rect(dc, &s, 4, 4, 30, 30, 0x0000FF);
            }},
    };
    uint32_t kept = pig_set_background_color(0x0000FF); // red for mode 3
    for (const ShapeRow& row : kRows) {
        SCOPED_TRACE(row.name);
        Canvas drawn(64, 64), expected(64, 64);
        ASSERT_EQ(draw(picture(std::string("pic header 0 0 64 64\n") + row.lines), drawn.dc), 0);
        DrawStyle style;
        pig_style_init(&style);
        row.expected(expected.dc, style);
        int differing = 0;
        for (int32_t y = 0; y < 64; y++)
            for (int32_t x = 0; x < 64; x++)
                differing += drawn.at(x, y) != expected.at(x, y);
        EXPECT_EQ(differing, 0);
        EXPECT_LT(drawn.count(kWhite), 64 * 64); // something was drawn
    }
    pig_set_background_color(kept);
}

TEST_F(PigDrawTest, PlacedAtTheOriginAndTheWindowOriginLeftAsFound)
{
    Canvas canvas(40, 40);
    set_window_org_ex(canvas.dc, 2, 3, nullptr);
    Point origin{0, 0};
    ASSERT_EQ(draw(picture("pic header 10 10 30 30\npic line-off\npic rect 10 10 20 20"), canvas.dc, &origin), 0);
    Point after{};
    get_window_org_ex(canvas.dc, after);
    EXPECT_EQ(after.x, 2);
    EXPECT_EQ(after.y, 3);
    EXPECT_EQ(canvas.at(0, 0), kBlack); // the bounds' top-left at the origin
    EXPECT_EQ(canvas.at(10, 10), kWhite);
}

TEST_F(PigDrawTest, ScaledMappingDrawsLarger)
{
    Canvas canvas(40, 40);
    Rect viewport{0, 0, 40, 40}, window{0, 0, 20, 20};
    pig_map_scaled(canvas.dc, &viewport, &window);
    ASSERT_EQ(draw(picture("pic header 0 0 20 20\npic line-off\npic rect 0 0 10 10"), canvas.dc), 0);
    pig_map_reset(canvas.dc);
    EXPECT_EQ(canvas.at(19, 19), kBlack); // (0, 0)-(11, 11) with the line off, doubled
    EXPECT_EQ(canvas.at(23, 5), kWhite);
    EXPECT_EQ(get_map_mode(canvas.dc), int(MM_TEXT));
}

TEST_F(PigDrawTest, ErrorsOfTheRun)
{
    std::string white24 = folder + "/w24.bmp", pal8 = folder + "/p8.bmp";
    pigtest::write_bmp(white24, 4, 4, 24, {}, [](int32_t, int32_t) { return 0xFFFFFFu; });
    pigtest::write_bmp(pal8, 4, 4, 8, {0, 0xFFFFFF}, [](int32_t, int32_t) { return 0u; });
    Canvas canvas(16, 16);
    // Images in the stream without a colour table before them.
    EXPECT_EQ(draw(picture("pic header 0 0 8 8\npic image 0 0 4 4 0 0 4 4 \"w24.bmp\"", folder), canvas.dc), 0);
    // The piece maker puts the BMP's colour table first; without it the palette image fails.
    std::vector<uint8_t> bytes = picture("pic header 0 0 8 8\npic image 0 0 4 4 0 0 4 4 \"p8.bmp\"", folder);
    ASSERT_EQ(load_u16le(bytes.data() + 42), kPigOpColorTable);
    bytes.erase(bytes.begin() + 42, bytes.begin() + 42 + ptrdiff_t(load_u32le(bytes.data() + 44)));
    store_u32le(bytes.data() + kPigHeaderCount, 2);
    store_u32le(bytes.data() + kPigHeaderLength, uint32_t(bytes.size()));
    EXPECT_EQ(draw(bytes, canvas.dc), kPigNoMemory);
    EXPECT_EQ(draw(picture("pic header 0 0 8 8\npic rect 1 1 2 2\npic raw \"\\x08\\0\\xff\\0\\0\\0\""), canvas.dc),
        kPigOverrun);
    PigDrawRequest request;
    request.dc = canvas.dc;
    EXPECT_EQ(pig_draw(&request), kPigCannotOpen);
}

// The BMP's colours as the DIB reader gives them, y from the top.
std::vector<uint32_t> bmp_colors(const std::string& path, int32_t& width, int32_t& height)
{
    std::vector<uint8_t> file;
    std::ifstream in(path, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    BmpFile parts;
    EXPECT_TRUE(bmp_read(file, parts));
    DibImage image;
    EXPECT_TRUE(dib_open(parts.info, parts.bits, DIB_RGB_COLORS, {}, 0, parts.format.height, image));
    width = parts.format.width, height = parts.format.height;
    std::vector<uint32_t> out(size_t(width * height));
    for (int32_t y = 0; y < height; y++)
        dib_read_row(image, y, 0, width, out.data() + size_t(y * width), nullptr);
    return out;
}

TEST_F(PigDrawTest, ImagesOfEveryDepthByMode)
{
    static const char* kFiles[] = {"pal4.bmp", "pal8.bmp", "rle8.bmp", "rgb24.bmp", "rgb32.bmp", "rgb555.bmp"};
    static const struct {
        const char* mode;
        uint32_t background;
        bool inverted; // the image's colours inverted, else as they are
    } kModes[] = {
        {"0", kWhite, false}, // no mask: copied
        {"2", kWhite, false}, // not (image xor white)
        {"2", kBlack, true},
        {"3", kBlack, true}, // background or not image
        {"4", kBlack, false},
        {"7", kBlack, false},
    };
    for (const char* file : kFiles)
        for (const auto& mode : kModes) {
            SCOPED_TRACE(std::string(file) + " mode " + mode.mode);
            int32_t width = 0, height = 0;
            std::vector<uint32_t> colors = bmp_colors(kBmpFolder + "/" + file, width, height);
            Canvas canvas(16, 16);
            if (mode.background == kBlack)
                pat_blt(canvas.dc, 0, 0, 16, 16, BLACKNESS);
            std::string lines = std::string("pic header 0 0 16 16\npic colors 0 0 0\npic mode ") + mode.mode
                + "\npic image 0 0 9 5 2 3 11 8 \"" + file + "\"";
            ASSERT_EQ(draw(picture(lines, kBmpFolder), canvas.dc), 0);
            int differing = 0;
            for (int32_t y = 0; y < height; y++)
                for (int32_t x = 0; x < width; x++) {
                    uint32_t want = colors[size_t(y * width + x)];
                    differing += canvas.at(2 + x, 3 + y) != (mode.inverted ? ~want & 0xFFFFFF : want);
                }
            EXPECT_EQ(differing, 0);
            EXPECT_EQ(canvas.at(11, 8), mode.background); // nothing outside the destination
        }
}

TEST_F(PigDrawTest, OneBitImagesTakeTheFillColours)
{
    // entry 0 white, entry 1 black; the diagonal is 1.
    std::string mono = folder + "/mono.bmp";
    pigtest::write_bmp(mono, 8, 8, 1, {0xFFFFFF, 0x000000}, [](int32_t x, int32_t y) { return uint32_t(x == y); });
    static const struct {
        const char* name;
        const char* state;
        uint32_t on_zero; // what a 0 pixel leaves on a red background
        uint32_t on_one;
    } kRows[] = {
        {"mode 1: 0 pixels transparent", "pic mode 1", 0xFF0000, kBlack},
        {"mode 0 without a mask: opaque in the fill colours", "pic mode 0\npic fill-color 0 0 255\npic fill-back 0 255 0",
            0x00FF00, 0x0000FF},
        {"mode 4", "pic mode 4", kWhite, kBlack},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Canvas canvas(16, 16);
        paint(canvas, 0xFF0000);
        ASSERT_EQ(draw(picture(std::string("pic header 0 0 16 16\n") + row.state + "\npic image 0 0 8 8 0 0 8 8 \"mono.bmp\"",
                           folder),
                      canvas.dc),
            0);
        EXPECT_EQ(canvas.at(1, 0), row.on_zero);
        EXPECT_EQ(canvas.at(3, 3), row.on_one);
        EXPECT_EQ(canvas.at(9, 9), 0xFF0000u);
    }
}

TEST_F(PigDrawTest, RunLengthOneBitFormsDrawAsThePlainImage)
{
    std::string mono = kBmpFolder + "/mono1.bmp";
    Canvas plain(16, 16);
    ASSERT_EQ(draw(picture("pic header 0 0 16 16\npic mode 4\npic image 0 0 9 5 0 0 9 5 \"mono1.bmp\"", kBmpFolder), plain.dc), 0);
    for (const char* form : {"mono-rle4", "mono-rle8"}) {
        SCOPED_TRACE(form);
        Canvas coded(16, 16);
        std::string lines = std::string("pic header 0 0 16 16\npic mode 4\npic image 0 0 9 5 0 0 9 5 \"mono1.bmp\" ") + form;
        ASSERT_EQ(draw(picture(lines, kBmpFolder), coded.dc), 0);
        for (int32_t y = 0; y < 5; y++)
            EXPECT_EQ(coded.row(y, 0, 10), plain.row(y, 0, 10));
        EXPECT_GT(coded.count(kBlack), 0);
    }
}

TEST_F(PigDrawTest, AStoredMaskKeepsTheBackground)
{
    // The mask is set on the left half: the image shows there, and its white part elsewhere
    // leaves the background.
    std::string image = folder + "/red.bmp", mask = folder + "/mask.bmp";
    pigtest::write_bmp(image, 8, 4, 24, {}, [](int32_t x, int32_t) { return x < 4 ? 0xFF0000u : 0xFFFFFFu; });
    pigtest::write_bmp(mask, 8, 4, 1, {0, 0xFFFFFF}, [](int32_t x, int32_t) { return uint32_t(x < 4); });
    Canvas canvas(8, 4);
    paint(canvas, 0x00FF00);
    ASSERT_EQ(draw(picture("pic header 0 0 8 4\npic image 0 0 8 4 0 0 8 4 \"red.bmp\" \"mask.bmp\"", folder), canvas.dc), 0);
    EXPECT_EQ(canvas.row(1, 0, 8, 0xFF0000), "####....");
    EXPECT_EQ(canvas.at(6, 2), 0x00FF00u);
}

Rect g_clip;
int clip_routine(const Rect* element, uint32_t, Rect* out)
{
    out->left = std::max(element->left, g_clip.left);
    out->top = std::max(element->top, g_clip.top);
    out->right = std::min(element->right, g_clip.right);
    out->bottom = std::min(element->bottom, g_clip.bottom);
    return out->left < out->right && out->top < out->bottom;
}

TEST_F(PigDrawTest, AClippedDestinationCutsTheSourceOnWholeMultiples)
{
    // 2 x 100, black from row 50 down.
    std::string tall = folder + "/tall.bmp";
    pigtest::write_bmp(tall, 2, 100, 24, {}, [](int32_t, int32_t y) { return y >= 50 ? 0u : 0xFFFFFFu; });
    static const struct {
        const char* name;
        int32_t height;
        int32_t clip_top;
        int black_rows; // in the clipped part
    } kRows[] = {
        {"300 high, lower half: source rows from 50", 300, 150, 150},
        {"250 high: source and destination stay whole", 250, 125, 125},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        Canvas canvas(4, 300);
        g_clip = Rect{0, row.clip_top, 4, row.height};
        std::string lines = "pic header 0 0 4 300\npic mode 4\npic image 0 0 2 100 0 0 2 " + std::to_string(row.height)
            + " \"tall.bmp\"";
        ASSERT_EQ(draw(picture(lines, folder), canvas.dc, nullptr, clip_routine), 0);
        std::string column = canvas.column(0, row.clip_top, row.height);
        EXPECT_EQ(int(std::count(column.begin(), column.end(), '#')), row.black_rows) << column;
        EXPECT_EQ(canvas.column(0, 0, row.clip_top).find('#'), std::string::npos);
    }
}

TEST_F(PigDrawTest, OffscreenPicturesAreCapped)
{
    Block small(picture("pic header 0 0 20 10\npic line-off\npic rect 0 0 5 5"));
    GdiObject bitmap = pig_to_bitmap(small.handle, 0, 0, 0, GdiObject{});
    ASSERT_TRUE(bitmap);
    BitmapInfo info;
    ASSERT_TRUE(get_object(bitmap, info));
    EXPECT_EQ(info.width, 20);
    delete_object(bitmap);
    EXPECT_FALSE(pig_to_metafile(small.handle, 0, 0, 0));

    Block huge(picture("pic header 0 0 32000 32000\npic rect 0 0 5 5"));
    EXPECT_FALSE(pig_to_bitmap(huge.handle, 0, 0, 0, GdiObject{}));
    Canvas canvas(8, 8);
    Rect source{0, 0, 8, 8};
    EXPECT_EQ(pig_draw_stretched(canvas.dc, huge.handle, 0, &source, &source), kPigNoMemory);
    EXPECT_EQ(pig_draw_stretched(canvas.dc, small.handle, 0, &source, &source), 0);
    EXPECT_EQ(canvas.at(1, 1), kBlack);
}

} // namespace
