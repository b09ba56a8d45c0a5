#include "platform/gdi/raster.h"

#include "gdi_test_support.h"
#include "platform/gdi/clip.h"
#include "platform/gdi/mapping.h"

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

} // namespace
