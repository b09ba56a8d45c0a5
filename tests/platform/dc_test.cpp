#include "platform/gdi/dc.h"

#include "platform/kernel/error.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;

class DcTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        top = make_top("T", Rect{0, 0, 400, 300});
        pump();
    }
    WindowHandle top;
};

TEST_F(DcTest, ClipChildrenKeepsAParentFromDrawingOverItsChildren)
{
    struct ClipCase {
        const char* name;
        uint32_t parent_style;
        uint32_t child_pixel;
    };
    const ClipCase cases[] = {
        {"parent clips its children", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kGreen},
        {"parent draws over them", WS_CHILD | WS_VISIBLE, kRed},
    };
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(c.name);
        WindowHandle parent = make_child("P", top, Rect{10, 10, 210, 110}, 1, c.parent_style);
        WindowHandle child = make_child("C", parent, Rect{10, 10, 60, 60}, 2);
        pump();
        fill_client(child, rgb(0, 255, 0));
        fill_client(parent, rgb(255, 0, 0));
        EXPECT_EQ(client_pixel(child, 5, 5), c.child_pixel);
        EXPECT_EQ(client_pixel(parent, 100, 80), kRed);
        destroy_window(parent);
    }
}

TEST_F(DcTest, ClipSiblingsKeepsAWindowOutOfTheSiblingsInFront)
{
    WindowHandle front = make_child("A", top, Rect{10, 10, 110, 110}, 1, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
    WindowHandle back = make_child("B", top, Rect{60, 60, 160, 160}, 2, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
    pump();
    fill_client(front, rgb(0, 255, 0));
    fill_client(back, rgb(255, 0, 0)); // B is behind A: children are linked in creation order
    EXPECT_EQ(client_pixel(front, 90, 90), kGreen);
    EXPECT_EQ(client_pixel(back, 80, 80), kRed);
}

TEST_F(DcTest, DrawingStaysInsideTheWindowAndItsParents)
{
    WindowHandle child = make_child("C", top, Rect{350, 200, 450, 300}, 1); // pokes out of T
    pump();
    fill_client(top, rgb(0, 255, 0));
    fill_client(child, rgb(255, 0, 0));
    Rect box;
    DcHandle dc = get_dc(child);
    EXPECT_EQ(get_clip_box(dc, box), SIMPLEREGION);
    release_dc(child, dc);
    Rect client;
    get_client_rect(top, client);
    EXPECT_EQ(box, (Rect{0, 0, client.right - 350, client.bottom - 200}));
    EXPECT_EQ(client_pixel(top, 349, 199), kGreen);
}

TEST_F(DcTest, ExtremeRectanglesFillWhatShowsWithoutOverflow)
{
    WindowHandle child = make_child("C", top, Rect{10, 10, 60, 60}, 1);
    pump();
    DcHandle dc = get_dc(child);
    EXPECT_EQ(fill_rect(dc, Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, get_stock_object(BLACK_BRUSH)), 1);
    release_dc(child, dc);
    EXPECT_EQ(client_pixel(child, 0, 0), 0u);
    EXPECT_EQ(client_pixel(child, 49, 49), 0u);
    EXPECT_EQ(client_pixel(top, 5, 5), 0xFFFFFFu); // the parent around it is untouched
    Rect everything{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    invalidate_rect(child, &everything, true);
    Rect bounds;
    get_update_rect(child, &bounds, false);
    EXPECT_EQ(bounds, (Rect{0, 0, 50, 50}));
    validate_rect(child, &everything);
    EXPECT_FALSE(get_update_rect(child, nullptr, false));
    Point far{INT32_MAX, INT32_MIN};
    EXPECT_TRUE(client_to_screen(child, far)); // wraps like Win32 rather than overflowing
    EXPECT_TRUE(screen_to_client(child, far));
    EXPECT_EQ(far, (Point{INT32_MAX, INT32_MIN}));
}

TEST_F(DcTest, AHiddenWindowDrawsNothing)
{
    WindowHandle child = make_child("C", top, Rect{10, 10, 60, 60}, 1, WS_CHILD);
    fill_client(top, rgb(0, 255, 0));
    DcHandle dc = get_dc(child);
    Rect box;
    EXPECT_EQ(get_clip_box(dc, box), NULLREGION);
    fill_rect(dc, Rect{0, 0, 50, 50}, get_stock_object(BLACK_BRUSH));
    release_dc(child, dc);
    EXPECT_EQ(client_pixel(top, 20, 20), kGreen);
}

TEST_F(DcTest, BrushesStockObjectsAndSystemColours)
{
    GdiObject brush = create_solid_brush(rgb(1, 2, 3));
    uint32_t pixel = 0;
    ASSERT_TRUE(dc_brush_pixel(brush, pixel));
    EXPECT_EQ(pixel, 0x010203u); // COLORREF 0x00BBGGRR becomes 0x00RRGGBB
    EXPECT_TRUE(delete_object(brush));
    EXPECT_FALSE(delete_object(brush));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);

    GdiObject white = get_stock_object(WHITE_BRUSH);
    EXPECT_TRUE(delete_object(white)); // answered true, yet it stays
    ASSERT_TRUE(dc_brush_pixel(white, pixel));
    EXPECT_EQ(pixel, 0xFFFFFFu);
    EXPECT_FALSE(dc_brush_pixel(get_stock_object(NULL_BRUSH), pixel));
    EXPECT_FALSE(get_stock_object(99));

    ASSERT_TRUE(dc_brush_pixel(GdiObject(uint32_t(COLOR_ACTIVECAPTION + 1)), pixel));
    EXPECT_EQ(pixel, pixel_from_colorref(get_sys_color(COLOR_ACTIVECAPTION)));
    ASSERT_TRUE(dc_brush_pixel(get_sys_color_brush(COLOR_BTNFACE), pixel));
    EXPECT_EQ(pixel, 0xC0C0C0u);
    EXPECT_EQ(fill_rect(DcHandle(12345), Rect{0, 0, 1, 1}, white), 0);
}

TEST_F(DcTest, ReleasingTwiceOrWithTheWrongWindowFails)
{
    DcHandle dc = get_dc(top);
    EXPECT_EQ(window_from_dc(dc), top);
    EXPECT_EQ(release_dc(WindowHandle(1234567), dc), 0);
    EXPECT_EQ(release_dc(top, dc), 1);
    EXPECT_EQ(release_dc(top, dc), 0);
}

} // namespace

#include "gdi_test_support.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/shape.h"

namespace {

using namespace gditest;

class DcStateTest : public GdiTest {};

TEST_F(DcStateTest, SaveAndRestoreBringBackEveryAttribute)
{
    Canvas canvas(8, 8);
    DcHandle dc = canvas.dc;
    set_text_color(dc, ref(0x112233));
    set_rop2(dc, R2_XORPEN);
    set_window_org_ex(dc, 3, 4, nullptr);
    intersect_clip_rect(dc, 3, 4, 5, 6);
    int first = save_dc(dc);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(set_text_color(dc, ref(0x445566)), ref(0x112233));
    set_bk_mode(dc, TRANSPARENT);
    set_rop2(dc, R2_NOT);
    set_window_org_ex(dc, 0, 0, nullptr);
    select_clip_rgn(dc, GdiObject{});
    EXPECT_EQ(save_dc(dc), 2);
    set_stretch_blt_mode(dc, COLORONCOLOR);
    EXPECT_TRUE(restore_dc(dc, -1));
    EXPECT_EQ(get_stretch_blt_mode(dc), BLACKONWHITE);
    EXPECT_EQ(get_text_color(dc), ref(0x445566));
    EXPECT_TRUE(restore_dc(dc, first));
    EXPECT_EQ(get_text_color(dc), ref(0x112233));
    EXPECT_EQ(get_bk_mode(dc), OPAQUE);
    EXPECT_EQ(get_rop2(dc), R2_XORPEN);
    Point origin;
    get_window_org_ex(dc, origin);
    EXPECT_EQ(origin, (Point{3, 4}));
    Rect box;
    EXPECT_EQ(get_clip_box(dc, box), SIMPLEREGION);
    EXPECT_EQ(box, (Rect{3, 4, 5, 6}));
    EXPECT_FALSE(restore_dc(dc, 1)); // that level is gone
    EXPECT_FALSE(restore_dc(dc, -1));
    EXPECT_EQ(set_rop2(dc, 0), 0);
    EXPECT_EQ(set_bk_mode(dc, 3), 0);
    EXPECT_EQ(set_text_color(DcHandle(99), 0), CLR_INVALID);
}

TEST_F(DcStateTest, MappingModesScaleAndRoundToTheNearestPixel)
{
    Canvas canvas(8, 8);
    DcHandle dc = canvas.dc;
    EXPECT_TRUE(set_window_ext_ex(dc, 3, 3, nullptr)); // ignored in MM_TEXT
    Size extent;
    get_window_ext_ex(dc, extent);
    EXPECT_EQ(extent, (Size{1, 1}));
    EXPECT_EQ(set_map_mode(dc, MM_ANISOTROPIC), MM_TEXT);
    set_window_ext_ex(dc, 3, -2, nullptr);
    set_viewport_ext_ex(dc, 2, 2, nullptr);
    set_viewport_org_ex(dc, 10, 10, nullptr);
    EXPECT_FALSE(set_viewport_ext_ex(dc, 0, 1, nullptr));
    struct MapCase {
        Point logical, device;
    };
    static const MapCase cases[] = {
        {{0, 0}, {10, 10}},
        {{3, 2}, {12, 8}},    // y runs up
        {{1, 0}, {11, 10}},   // 2/3 rounds to 1
        {{-1, 1}, {9, 9}},    // halves round away from zero
        {{-2, 0}, {9, 10}},   // -4/3 rounds to -1
    };
    for (const MapCase& c : cases) {
        Point p = c.logical;
        lp_to_dp(dc, &p, 1);
        EXPECT_EQ(p, c.device) << c.logical.x << "," << c.logical.y;
    }
    Point back{12, 8};
    dp_to_lp(dc, &back, 1);
    EXPECT_EQ(back, (Point{3, 2}));
    Point far{INT32_MAX, INT32_MIN};
    lp_to_dp(dc, &far, 1);
    EXPECT_EQ(far, (Point{1 << 28, 1 << 28})); // kept within bounds, never wrapped
    EXPECT_EQ(set_map_mode(dc, MM_TEXT), MM_ANISOTROPIC);
    get_viewport_ext_ex(dc, extent);
    EXPECT_EQ(extent, (Size{1, 1}));
    EXPECT_EQ(set_map_mode(dc, 4), 0);
}

// A solid fill through a clip of one rectangle takes a shorter way than other clips and paints;
// at every depth it must leave the pixels that a clip of two bands and a patterned paint leave.
TEST_F(DcStateTest, FillsThroughOneClipRectangleOrManyPaintTheSamePixels)
{
    static const int kDepths[] = {1, 4, 8, 16, 24, 32};
    const Rect fill{2, 3, 37, 17};
    const Rect upper{20, 4, 33, 9}, corner{5, 12, 8, 15};
    uint8_t black_rows[16] = {}; // an 8 x 8 pattern of 0 bits: the text colour everywhere
    GdiObject pattern_bitmap = create_bitmap(8, 8, 1, 1, black_rows, sizeof black_rows);
    for (int depth : kDepths) {
        SCOPED_TRACE(depth);
        Canvas by_rects(40, 20, depth), by_bands(40, 20, depth), patterned(40, 20, depth);
        GdiObject solid = create_solid_brush(ref(kBlack));
        GdiObject pattern = create_pattern_brush(pattern_bitmap);
        GdiObject bands = create_rect_rgn_indirect(upper);
        GdiObject part = create_rect_rgn_indirect(corner);
        EXPECT_EQ(combine_rgn(bands, bands, part, RGN_OR), COMPLEXREGION);
        EXPECT_EQ(select_clip_rgn(by_bands.dc, bands), COMPLEXREGION);
        EXPECT_EQ(select_clip_rgn(patterned.dc, bands), COMPLEXREGION);
        fill_rect(by_bands.dc, fill, solid);
        fill_rect(patterned.dc, fill, pattern);
        for (const Rect& one : {upper, corner}) {
            set_rect_rgn(part, one.left, one.top, one.right, one.bottom);
            EXPECT_EQ(select_clip_rgn(by_rects.dc, part), SIMPLEREGION);
            fill_rect(by_rects.dc, fill, solid);
        }
        int inked = 0;
        for (int32_t y = 0; y < 20; y++) {
            for (int32_t x = 0; x < 40; x++) {
                uint32_t want = pt_in_rect(upper, Point{x, y}) || pt_in_rect(corner, Point{x, y}) ? kBlack : kWhite;
                inked += want == kBlack;
                ASSERT_EQ(by_rects.at(x, y), want) << x << "," << y;
                ASSERT_EQ(by_bands.at(x, y), want) << x << "," << y;
                ASSERT_EQ(patterned.at(x, y), want) << x << "," << y;
            }
        }
        EXPECT_EQ(inked, 13 * 5 + 3 * 3);
        delete_object(solid);
        delete_object(pattern);
        delete_object(bands);
        delete_object(part);
    }
    delete_object(pattern_bitmap);
}

TEST_F(DcStateTest, ClipCallsWorkInLogicalCoordinates)
{
    Canvas canvas(20, 20);
    DcHandle dc = canvas.dc;
    set_window_org_ex(dc, 100, 100, nullptr);
    Rect box;
    EXPECT_EQ(get_clip_box(dc, box), SIMPLEREGION);
    EXPECT_EQ(box, (Rect{100, 100, 120, 120}));
    EXPECT_EQ(exclude_clip_rect(dc, 105, 100, 110, 120), COMPLEXREGION);
    EXPECT_FALSE(pt_visible(dc, 107, 110));
    EXPECT_TRUE(pt_visible(dc, 104, 110));
    EXPECT_TRUE(rect_visible(dc, Rect{106, 100, 111, 101}));
    EXPECT_FALSE(rect_visible(dc, Rect{105, 100, 110, 120}));
    EXPECT_EQ(intersect_clip_rect(dc, 100, 100, 108, 105), SIMPLEREGION);
    get_clip_box(dc, box);
    EXPECT_EQ(box, (Rect{100, 100, 105, 105}));
    EXPECT_EQ(offset_clip_rgn(dc, 10, 0), SIMPLEREGION);
    GdiObject copy = create_rect_rgn(0, 0, 0, 0);
    EXPECT_EQ(get_clip_rgn(dc, copy), 1);
    Rect device;
    get_rgn_box(copy, device);
    EXPECT_EQ(device, (Rect{10, 0, 15, 5})); // clip regions are in device coordinates
    pat_blt(dc, 100, 100, 20, 20, BLACKNESS);
    EXPECT_EQ(canvas.count(kBlack), 25);
    EXPECT_EQ(ext_select_clip_rgn(dc, copy, RGN_XOR), NULLREGION);
    EXPECT_EQ(select_clip_rgn(dc, GdiObject{}), SIMPLEREGION);
    EXPECT_EQ(get_clip_rgn(dc, copy), 0);
    EXPECT_EQ(select_clip_rgn(dc, get_stock_object(BLACK_PEN)), REGION_ERROR);
    delete_object(copy);
}

TEST_F(DcStateTest, SelectingAClipRectangleIsSelectingItsRegion)
{
    static const Rect kRects[] = {{3, 2, 9, 7}, {-4, 5, 30, 40}, {6, 6, 6, 9}, {50, 50, 60, 60}};
    for (const Rect& rect : kRects) {
        SCOPED_TRACE(testing::Message() << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
        Canvas by_region(12, 10), by_rect(12, 10);
        GdiObject region = create_rect_rgn_indirect(rect);
        select_clip_rgn(by_region.dc, region);
        ASSERT_TRUE(select_clip_rect(by_rect.dc, rect));
        GdiObject selected = create_rect_rgn(0, 0, 0, 0);
        EXPECT_EQ(get_clip_rgn(by_rect.dc, selected), 1);
        EXPECT_TRUE(equal_rgn(selected, region));
        Rect box_a, box_b;
        EXPECT_EQ(get_clip_box(by_rect.dc, box_b), get_clip_box(by_region.dc, box_a));
        EXPECT_EQ(box_b, box_a);
        pat_blt(by_region.dc, 0, 0, 12, 10, BLACKNESS);
        pat_blt(by_rect.dc, 0, 0, 12, 10, BLACKNESS);
        for (int32_t y = 0; y < 10; y++)
            EXPECT_EQ(by_rect.row(y, 0, 12), by_region.row(y, 0, 12)) << y;
        delete_object(selected);
        delete_object(region);
    }
    EXPECT_FALSE(select_clip_rect(DcHandle(7), Rect{0, 0, 1, 1}));
}

TEST_F(DcStateTest, TheScreenAndInformationContextsDescribeATrueColourDisplay)
{
    DcHandle screen = get_dc(WindowHandle{});
    DcHandle info = create_ic("DISPLAY");
    ASSERT_TRUE(screen && info);
    struct CapsCase {
        int index;
        int value;
    };
    static const CapsCase cases[] = {
        {BITSPIXEL, 32}, {PLANES, 1}, {HORZRES, 1024}, {VERTRES, 768}, {NUMCOLORS, -1}, {SIZEPALETTE, 0},
        {LOGPIXELSX, 96}, {TECHNOLOGY, DT_RASDISPLAY},
    };
    for (const CapsCase& c : cases) {
        EXPECT_EQ(get_device_caps(screen, c.index), c.value) << c.index;
        EXPECT_EQ(get_device_caps(info, c.index), c.value) << c.index;
    }
    EXPECT_EQ(get_device_caps(screen, RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_NE(get_device_caps(screen, RASTERCAPS) & RC_STRETCHDIB, 0);
    EXPECT_TRUE(pat_blt(screen, 0, 0, 10, 10, BLACKNESS)); // shows nothing, fails nothing
    EXPECT_FALSE(pat_blt(info, 0, 0, 10, 10, BLACKNESS));
    EXPECT_EQ(get_pixel(screen, 0, 0), CLR_INVALID);
    EXPECT_EQ(create_dc("PRINTER"), DcHandle{});
    EXPECT_EQ(release_dc(WindowHandle{}, info), 0);
    EXPECT_TRUE(delete_dc(info));
    EXPECT_EQ(release_dc(WindowHandle{}, screen), 1);
    EXPECT_EQ(get_device_caps(screen, BITSPIXEL), 0);
}

} // namespace
