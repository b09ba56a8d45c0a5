// The runtime's own bitmaps: modes, glyph reference points, transparent drawing through masks.
#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "platform/gdi/shape.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/rop.h"
#include "runtime/ui/bitmap_res.h"
#include "tests/platform/gdi_test_support.h"

using namespace plat;

namespace {

class BitmapResTest : public gditest::GdiTest { };

TEST_F(BitmapResTest, ModesAndGlyphOffsets)
{
    EXPECT_EQ(bitmap_rop(0), uint32_t(SRCAND));
    EXPECT_EQ(bitmap_rop(1), uint32_t(MERGEPAINT));
    EXPECT_EQ(bitmap_rop(2), 0x990066u);
    EXPECT_EQ(bitmap_rop(3), uint32_t(SRCCOPY));
    static const struct {
        int glyph;
        int32_t x, y;
    } kOffsets[] = {{51, 13, 17}, {52, 3, 3}, {53, 3, 3}, {54, 10, 4}, {50, 0, 0}, {55, 0, 0}};
    for (const auto& row : kOffsets) {
        SCOPED_TRACE(row.glyph);
        EXPECT_EQ(glyph_offset_x(row.glyph), row.x);
        EXPECT_EQ(glyph_offset_y(row.glyph), row.y);
    }
}

TEST_F(BitmapResTest, GlyphsAreDrawnAroundTheirReferencePointThroughTheirMasks)
{
    const uint32_t blue = rgb(0, 0, 255);
    const uint32_t red = rgb(255, 0, 0);
    {
        gditest::Canvas canvas(200, 200, 32);
        GdiObject brush = create_solid_brush(blue);
        Rect all {0, 0, 200, 200};
        fill_rect(canvas.dc, all, brush);
        delete_object(brush);
        int32_t width = 0;
        int32_t height = 0;
        bitmap_size(canvas.dc, 552, width, height);
        EXPECT_EQ(width, 7);
        EXPECT_EQ(height, 7);
        // Glyph 52's top-left lands at (97, 97); its diamond takes the colour, its corners
        // leave the background as it was.
        glyph_draw(canvas.dc, 52, red, 100, 100);
        EXPECT_EQ(get_pixel(canvas.dc, 100, 100), red);
        EXPECT_EQ(get_pixel(canvas.dc, 100, 97), red);
        EXPECT_EQ(get_pixel(canvas.dc, 97, 97), blue);
        EXPECT_EQ(get_pixel(canvas.dc, 96, 100), blue);
        EXPECT_EQ(get_pixel(canvas.dc, 104, 100), blue);
    }
}

TEST_F(BitmapResTest, MissingBitmapsDrawNothing)
{
    gditest::Canvas canvas(20, 20, 32);
    int32_t width = 1;
    int32_t height = 1;
    bitmap_size(canvas.dc, 9999, width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(bitmap_load(canvas.dc, 9999), GdiObject());
    EXPECT_EQ(bitmap_draw_part(canvas.dc, 9999, Rect {0, 0, 5, 5}, Rect {0, 0, 5, 5}, 3), 0);
    bitmap_draw(canvas.dc, 9999, 0, 0, 3);
    EXPECT_EQ(get_pixel(canvas.dc, 0, 0), rgb(255, 255, 255));
    // The glyph's part stretched through its mask: the mark only.
    EXPECT_EQ(bitmap_draw_part(canvas.dc, 553, Rect {0, 0, 14, 14}, Rect {0, 0, 7, 7}, 0), 1);
    EXPECT_EQ(get_pixel(canvas.dc, 0, 0), rgb(0, 0, 0));
    EXPECT_EQ(get_pixel(canvas.dc, 6, 6), rgb(255, 255, 255));
}

} // namespace
