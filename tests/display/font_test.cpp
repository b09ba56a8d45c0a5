// Fonts: points and pixels at 96 dpi, descriptions measured on the platform's faces, fonts made
// from them, the stock fonts of the runtime's resources and the message font, and stored font
// records of each version.
#include <cstring>

#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "platform/text/font.h"
#include "platform/window/metrics.h"
#include "runtime/display/font_stored.h"
#include "tests/display/text_fixture.h"
#include "tests/runtime/hex_fixture.h"

namespace {

using texttest::PieceTextTest;

struct SizeCase {
    const char* name;
    int32_t size;
    int16_t pixel_height;
    int16_t point_size;
};

static const SizeCase kSizeCases[] = {
    {"12 points", 12, -16, 12},
    {"-16 pixels", -16, -16, 12},
    {"9 points round", 9, -12, 9},
    {"10 points round up", 10, -13, 10},
    {"zero is no usable size once measured", 0, -1, 0},
    {"huge points are limited", 20000, -16384, 20000},
    {"huge pixels are limited", -60000, -16384, 16384},
};

TEST(FontSize, PointsAndPixelsAt96Dpi)
{
    for (const SizeCase& c : kSizeCases) {
        SCOPED_TRACE(c.name);
        FontDesc desc;
        font_desc_clear(&desc);
        std::strcpy(desc.face, "Arial");
        font_desc_set_size(&desc, c.size);
        EXPECT_EQ(desc.pixel_height, c.pixel_height);
        EXPECT_EQ(desc.point_size, c.point_size);
    }
    // Far above 43690 pixels the 32-bit product would wrap; negative heights keep their sign.
    EXPECT_EQ(font_pixels_to_points(100000), 75000);
    EXPECT_EQ(font_pixels_to_points(-16), -12);
    EXPECT_EQ(font_points_to_pixels(12), 16);
}

TEST(FontDescTest, IsMeasuredOnThePlatformsFaces)
{
    FontDesc desc;
    font_desc_clear(&desc);
    EXPECT_EQ(desc.flags, kFontMadeOnPlatform1);
    font_desc_set_size(&desc, 12);
    font_desc_set_face(&desc, "Arial");
    EXPECT_EQ(desc.measured, 1);
    EXPECT_EQ(desc.outline, 1);
    EXPECT_EQ(desc.scalable, 1);
    EXPECT_GT(desc.ascent, 0);
    EXPECT_GT(desc.descent, 0);
    EXPECT_EQ(desc.height, desc.ascent + desc.descent);
    EXPECT_EQ(desc.pitch_and_family & 0xF0, plat::FF_SWISS);
    EXPECT_EQ(font_desc_line_height(&desc, 1), desc.ascent + desc.descent + desc.external_leading);
    // Platform 0 is the one it was made on; platform 2 reads the other block.
    desc.p2_ascent = 11;
    EXPECT_EQ(font_desc_ascent(&desc, 0), desc.ascent);
    desc.flags = kFontMadeOnPlatform2;
    EXPECT_EQ(font_desc_ascent(&desc, 0), 11);
    // A 32-byte face keeps 31 bytes and its end.
    font_desc_set_face(&desc, "abcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_EQ(std::strlen(desc.face), 31u);
}

TEST(FontCreateTest, BoldSystemIsHeavier)
{
    static const struct {
        const char* face;
        int16_t style;
        int32_t weight;
    } kCases[] = {
        {"System", kFontBold, plat::FW_HEAVY},
        {"@system", kFontBold, plat::FW_HEAVY},
        {"Arial", kFontBold, plat::FW_BOLD},
        {"System", 0, plat::FW_NORMAL},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.face);
        FontDesc desc;
        font_desc_clear(&desc);
        std::strcpy(desc.face, c.face);
        desc.pixel_height = -16;
        desc.style = c.style | kFontItalic;
        StockFont font;
        ASSERT_TRUE(font_create(&desc, &font));
        plat::LogFont lf;
        ASSERT_TRUE(plat::get_object(font.font, lf));
        EXPECT_EQ(lf.weight, c.weight);
        EXPECT_EQ(lf.italic, 1);
        EXPECT_EQ(lf.height, -16);
        EXPECT_EQ(font.owned, 1);
        font_release(&font);
        EXPECT_FALSE(font.font);
    }
}

class StockFontTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(font_init(), 1); }
    void TearDown() override { font_term(); }
};

TEST_F(StockFontTest, FontsComeFromTheResourcesOrTheSystem)
{
    static const struct {
        int index;
        int32_t height;
        int32_t weight;
        const char* face;
    } kCases[] = {
        {1, 13, 400, "Helv"},
        {7, 14, 700, "Helv"},
        {10, 14, 700, "Helv"},
        {11, 12, 400, ""},
        {16, 24, 400, "MS Sans Serif"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.index);
        plat::LogFont lf;
        ASSERT_TRUE(plat::get_object(font_stock_handle(c.index), lf));
        EXPECT_EQ(lf.height, c.height);
        EXPECT_EQ(lf.weight, c.weight);
        EXPECT_STREQ(lf.face_name, c.face);
        EXPECT_EQ(font_stock_line_height(c.index),
            font_stock_ascent(c.index) + font_stock_descent(c.index) + font_stock_leading(c.index));
    }
    for (int index : {2, 6, 12, 13})
        EXPECT_EQ(font_stock_handle(index), plat::get_stock_object(plat::SYSTEM_FONT)) << index;
    EXPECT_FALSE(font_stock_handle(0));
    EXPECT_FALSE(font_stock_handle(17));
    // Made once and kept; handed out as not owned.
    StockFont a, b;
    ASSERT_TRUE(font_stock_get(1, &a));
    ASSERT_TRUE(font_stock_get(1, &b));
    EXPECT_EQ(a.font, b.font);
    EXPECT_EQ(a.owned, 0);
}

TEST_F(StockFontTest, FontFourteenIsTheMessageBoxFont)
{
    plat::NonClientMetrics metrics;
    ASSERT_TRUE(plat::system_parameters_info(plat::SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0));
    plat::LogFont lf;
    ASSERT_TRUE(plat::get_object(font_stock_handle(14), lf));
    EXPECT_EQ(lf.height, metrics.message_font.height);
    EXPECT_STREQ(lf.face_name, plat::kMessageFontFace);
    EXPECT_EQ(lf.height, -11); // 8 points
    plat::NonClientMetrics wrong;
    wrong.size = 300;
    EXPECT_FALSE(plat::system_parameters_info(plat::SPI_GETNONCLIENTMETRICS, 0, &wrong, 0));
    EXPECT_FALSE(plat::system_parameters_info(43, 0, &metrics, 0)); // an action the layer does not know
}

TEST_F(StockFontTest, WidthsOnTheScreen)
{
    int32_t one = font_stock_text_width({}, 1, "W", 1);
    EXPECT_GT(one, 0);
    EXPECT_EQ(font_stock_text_width({}, 1, "WW", 2), 2 * one);
    EXPECT_EQ(font_stock_text_width({}, 1, "W", 0), 0);
}

struct StoredCase {
    const char* name;
    const char* hex;
    int version;
    int32_t point_size;
    int platform2;
};

// version, style, flags | platform 2 (18 or 20 bytes) | platform 1 (32 + 2 or 36).
static const StoredCase kStoredCases[] = {
    {"version 3 keeps its point size",
        "0300 0100 2000 | 0c00 00000000 0000 0000 0a00 0300 0100 0000 0000 |"
        " f0ff 01 01 01 0000000000 1300 0f00 0400 0300 0000 0e00 22 00 0000 0000 0000 0000 0000 0d00",
        3, 13, 0},
    {"made on platform 2 takes its size",
        "0300 0000 1000 | 0900 00000000 0000 0000 0a00 0300 0100 0000 0000 |"
        " f0ff 01 01 01 0000000000 1300 0f00 0400 0300 0000 0e00 22 00 0000 0000 0000 0000 0000 0d00",
        3, 9, 1},
    {"version 2 computes from the metrics",
        "0200 0000 2000 | 0c00 00000000 0000 0000 0a00 0300 0100 0000 0000 |"
        " f0ff 01 01 01 0000000000 1300 0f00 0400 0300 0000 0e00 22 00 0000 0000 0000 0000 | 0000",
        2, 12, 0},
    {"version 1 has 18 bytes of platform 2",
        "0100 0000 2000 | 0c00 00000000 0000 0000 0a00 0300 0100 0000 |"
        " f0ff 01 01 01 0000000000 1300 0f00 0400 0300 0000 0e00 22 00 0000 0000 0000 0000 | 0000 0000",
        1, 12, 0},
    {"version 4 is invalid", "0400 0000 2000", 0, 0, 0},
    {"a short record", "0300 0000 2000 0c00", 0, 0, 0},
};

TEST(FontStored, RecordsOfEachVersion)
{
    for (const StoredCase& c : kStoredCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = from_hex(c.hex);
        EXPECT_EQ(font_stored_valid(bytes.data(), bytes.size()), c.version);
        int platform2 = -1;
        EXPECT_EQ(font_stored_point_size(bytes.data(), bytes.size(), &platform2), c.point_size);
        if (c.version == 0)
            continue;
        EXPECT_EQ(platform2, c.platform2);
        EXPECT_EQ(bytes.size(), font_stored_size(c.version));
        // Both directions give the bytes back; a native word reads reversed between them.
        std::vector<uint8_t> swapped = bytes;
        EXPECT_EQ(font_stored_swap(swapped.data(), swapped.size(), 0), c.version);
        EXPECT_EQ(swapped[0], 0);
        EXPECT_EQ(swapped[1], c.version);
        EXPECT_EQ(font_stored_swap(swapped.data(), swapped.size(), 1), c.version);
        EXPECT_EQ(swapped, bytes);
    }
    std::vector<uint8_t> bad = from_hex("0009 0000");
    EXPECT_EQ(font_stored_swap(bad.data(), bad.size(), 1), 0);
    EXPECT_EQ(bad, from_hex("0009 0000")); // left as it was
}

class MappedFontTest : public PieceTextTest {};

// A description without a pixel height asks the font map for the size of its platform-2 name.
TEST_F(MappedFontTest, HeightFromTheFontMap)
{
    const char* text = "Mac: Geneva => Win: Arial 12 => 10\nMac: Nowhere => Win: Arial 12 => 0\n";
    ASSERT_EQ(font_map_merge_text(font_map(), text, std::strlen(text)), 0);
    static const struct {
        const char* name;
        const char* platform2;
        int16_t p2_size;
        int16_t pixel_height;
    } kCases[] = {
        {"mapped size", "Geneva", 12, -13},
        {"unmapped keeps its size", "Monaco", 9, -12},
        {"mapped to 0 has no usable size", "Nowhere", 12, -1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FontDesc desc;
        font_desc_clear(&desc);
        std::strcpy(desc.face, "Arial");
        desc.p2_point_size = c.p2_size;
        font_desc_recompute(&desc, c.platform2);
        EXPECT_EQ(desc.pixel_height, c.pixel_height);
    }
}

} // namespace
