#include "platform/plat_dc.h"

#include "platform/plat_error.h"
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
