#include "platform/gdi/raster.h"

#include <vector>

#include "gdi_test_support.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/mapping.h"
#include "platform/gdi/region.h"
#include "platform/gdi/rop.h"

namespace {

using namespace gditest;

class RasterTest : public GdiTest {};

TEST_F(RasterTest, MonochromeMasksPaintTheirInkThroughClipAndCode)
{
    // Two rows of ten pixels: 1011000001 and 0100000011.
    const uint8_t bits[] = {0xB0, 0x40, 0x40, 0xC0};
    MonoMask mask{bits, 2, 10, 2};
    struct MaskCase {
        const char* name;
        uint32_t rop;
        const char* row0; // x 0..12 of row 1, '#' red
        const char* row1;
    };
    static const MaskCase cases[] = {
        {"ink", PATCOPY, "..#.##.......", "...#........."},
        {"inverted ink", PATINVERT, ".............", "............."},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(13, 4);
        set_window_org_ex(canvas.dc, 1, 1, nullptr); // logical (3, 2) is device (2, 1)
        intersect_clip_rect(canvas.dc, 0, 0, 9, 9); // device x < 8
        ASSERT_TRUE(blend_mono_mask(canvas.dc, 3, 2, mask, ref(0xFF0000), c.rop));
        EXPECT_EQ(canvas.row(1, 0, 13, 0xFF0000), c.row0);
        EXPECT_EQ(canvas.row(2, 0, 13, 0xFF0000), c.row1);
        if (c.rop == PATINVERT) {
            EXPECT_EQ(canvas.at(2, 1), 0x00FFFFu); // white XOR red
        }
        EXPECT_EQ(canvas.at(11, 1), kWhite); // ink past the clip is dropped
    }
    Canvas canvas(4, 4);
    MonoMask short_rows{bits, 1, 10, 2};
    EXPECT_FALSE(blend_mono_mask(canvas.dc, 0, 0, short_rows, 0, PATCOPY));
    EXPECT_FALSE(blend_mono_mask(DcHandle(7), 0, 0, mask, 0, PATCOPY));
}

TEST_F(RasterTest, TargetsResolveColoursForTheirPixels)
{
    Canvas mono(2, 2, 1);
    set_text_color(mono.dc, ref(0x303030));
    set_bk_color(mono.dc, ref(0xD0D0D0));
    RasterTarget target;
    ASSERT_TRUE(raster_open(mono.dc, target));
    EXPECT_EQ(target.text_value, 0u);
    EXPECT_EQ(target.bk_value, 1u);
    EXPECT_EQ(raster_window(target), (Rect{0, 0, 2, 2}));
    raster_close(target);
    DcHandle info = create_ic("DISPLAY");
    EXPECT_FALSE(raster_open(info, target));
    delete_dc(info);
}

// What the general path paints for fill_rect's arguments.
void general_fill(DcHandle dc, const Rect& rect, GdiObject brush)
{
    RasterTarget target;
    RasterPaint paint;
    ASSERT_TRUE(raster_open(dc, target));
    ASSERT_TRUE(raster_brush(target, brush, 0xF0, paint));
    raster_fill(target, paint, mapping_rect_to_device(target.attr.mapping, rect));
    raster_close(target);
}

// The bitmap's bytes, what both paths must leave alike.
std::vector<uint8_t> bytes_of(const Canvas& canvas) { return gdi_data<BitmapData>(canvas.bitmap)->pixmap.bits; }

TEST_F(RasterTest, QuickFillsPaintWhatTheGeneralPathPaints)
{
    struct ClipCase {
        const char* name;
        bool clipped;
        Rect clip; // device coordinates; an empty one leaves nothing drawable
    };
    static const ClipCase clips[] = {
        {"no clip", false, {}},
        {"one rectangle", true, {3, 2, 60, 9}},
        {"rectangle past the bitmap", true, {-5, -5, 30, 40}},
        {"nothing drawable", true, {50, 50, 60, 60}},
    };
    // Widths 1 to 3 and 64 or more take whole rows; between them, overlapping stores.
    static const Rect rects[] = {
        {0, 0, 70, 12}, {4, 1, 5, 11}, {2, 3, 5, 4}, {1, 1, 5, 9}, {6, 2, 13, 8}, {9, 0, 17, 12},
        {-4, -3, 20, 6}, {30, 5, 95, 9}, {40, 8, 35, 4} /* upside down */, {-9, -9, -1, -1},
    };
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        for (const ClipCase& clip : clips) {
            for (const Rect& rect : rects) {
                SCOPED_TRACE(testing::Message() << depth << " bits, " << clip.name << ", rect " << rect.left << ","
                                                << rect.top << "," << rect.right << "," << rect.bottom);
                Canvas quick(70, 12, depth), general(70, 12, depth);
                GdiObject brush = create_solid_brush(ref(0x3080C0));
                for (Canvas* canvas : {&quick, &general}) {
                    set_window_org_ex(canvas->dc, -1, 0, nullptr); // logical x is device x - 1
                    if (clip.clipped) {
                        GdiObject region = create_rect_rgn_indirect(clip.clip);
                        select_clip_rgn(canvas->dc, region);
                        delete_object(region);
                    }
                }
                ASSERT_TRUE(raster_quick_fill(quick.dc, rect, brush, 0xF0));
                general_fill(general.dc, rect, brush);
                EXPECT_EQ(bytes_of(quick), bytes_of(general));
                delete_object(brush);
            }
        }
    }
}

TEST_F(RasterTest, QuickFillsDeclineWhatOnlyTheGeneralPathPaints)
{
    Canvas canvas(16, 16);
    GdiObject solid = create_solid_brush(ref(0x000000));
    GdiObject pattern_bitmap = bitmap_create(8, 8, 1, false);
    GdiObject pattern = create_pattern_brush(pattern_bitmap);
    const Rect rect{0, 0, 16, 16};
    EXPECT_FALSE(raster_quick_fill(canvas.dc, rect, pattern, 0xF0));
    EXPECT_FALSE(raster_quick_fill(canvas.dc, rect, get_stock_object(NULL_BRUSH), 0xF0));
    EXPECT_FALSE(raster_quick_fill(canvas.dc, rect, GdiObject(0xBAD), 0xF0));
    EXPECT_FALSE(raster_quick_fill(canvas.dc, rect, solid, rop3_index(PATINVERT)));
    EXPECT_FALSE(raster_quick_fill(canvas.dc, rect, solid, rop3_index(BLACKNESS)));
    DcHandle info = create_ic("DISPLAY");
    EXPECT_FALSE(raster_quick_fill(info, rect, solid, 0xF0));
    delete_dc(info);
    exclude_clip_rect(canvas.dc, 4, 4, 8, 8); // a clip of several rectangles
    EXPECT_FALSE(raster_quick_fill(canvas.dc, rect, solid, 0xF0));
    select_clip_rgn(canvas.dc, GdiObject{});
    set_map_mode(canvas.dc, MM_ANISOTROPIC);
    set_viewport_ext_ex(canvas.dc, 2, 2, nullptr); // twice the size
    EXPECT_FALSE(raster_quick_fill(canvas.dc, rect, solid, 0xF0));
    EXPECT_EQ(canvas.count(kWhite), 16 * 16); // nothing was painted
    delete_object(pattern);
    delete_object(pattern_bitmap);
    delete_object(solid);
}

} // namespace
