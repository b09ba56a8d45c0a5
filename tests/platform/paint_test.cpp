#include "platform/window/paint.h"

#include "window_test_support.h"

namespace {

using namespace wintest;

using Seen = std::vector<std::string>;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;

class PaintTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        quiet.insert({WM_NCPAINT, WM_ACTIVATE, WM_NCACTIVATE, WM_ACTIVATEAPP, WM_SETFOCUS, WM_KILLFOCUS,
            WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE, WM_CREATE, WM_NCCREATE});
        window = make_top("W", Rect{100, 100, 400, 300});
        pump();
        take_seen();
    }

    static int area(const RectList& list)
    {
        int total = 0;
        for (const Rect& r : list)
            total += r.width() * r.height();
        return total;
    }

    WindowHandle window;
};

TEST_F(PaintTest, TheUpdateRegionIsTheExactUnionClippedToTheClientArea)
{
    Rect a{0, 0, 10, 10}, b{5, 5, 15, 15};
    invalidate_rect(window, &a, false);
    invalidate_rect(window, &b, false);
    Rect bounds;
    ASSERT_TRUE(get_update_rect(window, &bounds, false));
    EXPECT_EQ(bounds, (Rect{0, 0, 15, 15}));
    RectList region;
    get_update_rects(window, region);
    EXPECT_EQ(area(region), 175); // not the bounding box
    EXPECT_FALSE(rects_contain(region, Point{12, 2}));

    Rect client;
    get_client_rect(window, client);
    Rect beyond{client.right - 5, -20, client.right + 50, 5};
    invalidate_rect(window, &beyond, false);
    get_update_rect(window, &bounds, false);
    EXPECT_EQ(bounds, (Rect{0, 0, client.right, 15}));

    Rect left{0, 0, 10, 15};
    validate_rect(window, &left);
    get_update_rects(window, region);
    EXPECT_FALSE(rects_contain(region, Point{5, 5}));
    EXPECT_TRUE(rects_contain(region, Point{12, 12}));
    validate_rect(window, nullptr);
    EXPECT_FALSE(get_update_rect(window, nullptr, false));
}

TEST_F(PaintTest, BeginPaintErasesTheRegionWithTheClassBrushAndValidatesIt)
{
    fill_client(window, rgb(0, 0, 0));
    Rect dirty{10, 10, 20, 20};
    invalidate_rect(window, &dirty, true);
    PaintStruct paint;
    DcHandle dc = begin_paint(window, paint);
    ASSERT_TRUE(dc);
    EXPECT_EQ(paint.paint, dirty);
    EXPECT_FALSE(paint.erase);
    EXPECT_EQ(client_pixel(window, 15, 15), kWhite); // COLOR_WINDOW + 1 erased it
    EXPECT_EQ(client_pixel(window, 25, 25), kBlack); // outside the region: untouched
    // The DC draws only inside the region.
    fill_rect(dc, Rect{0, 0, 100, 100}, get_stock_object(BLACK_BRUSH));
    EXPECT_EQ(client_pixel(window, 15, 15), kBlack);
    end_paint(window, paint);
    EXPECT_FALSE(get_update_rect(window, nullptr, false));
    Msg msg;
    EXPECT_FALSE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(take_seen(), (Seen{"W WM_ERASEBKGND"}));
}

TEST_F(PaintTest, ARefusedEraseIsReportedAndNoEraseMeansNoMessage)
{
    answer = [](WindowHandle, uint32_t message, WParam, LParam) -> std::optional<LResult> {
        return message == WM_ERASEBKGND ? std::optional<LResult>(0) : std::nullopt;
    };
    invalidate_rect(window, nullptr, true);
    PaintStruct paint;
    begin_paint(window, paint);
    end_paint(window, paint);
    EXPECT_TRUE(paint.erase);
    invalidate_rect(window, nullptr, false);
    take_seen();
    begin_paint(window, paint);
    end_paint(window, paint);
    EXPECT_FALSE(paint.erase);
    EXPECT_TRUE(take_seen().empty());
}

TEST_F(PaintTest, ParentsPaintBeforeChildrenWhichShareTheirInvalidation)
{
    WindowHandle child = make_child("C", window, Rect{10, 10, 60, 60});
    WindowHandle clipping = make_child("Q", window, Rect{100, 10, 200, 100}, 2, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN);
    make_child("D", clipping, Rect{5, 5, 20, 20}, 3);
    pump();
    take_seen();
    invalidate_rect(window, nullptr, false);
    pump();
    // Q takes part, but keeps its own child out: each level's WS_CLIPCHILDREN decides.
    EXPECT_EQ(take_seen(), (Seen{"W WM_PAINT", "C WM_PAINT", "Q WM_PAINT"}));
    invalidate_rect(clipping, nullptr, false); // WS_CLIPCHILDREN: its child is not included
    pump();
    EXPECT_EQ(take_seen(), (Seen{"Q WM_PAINT"}));
    Rect part{0, 0, 20, 20};
    invalidate_rect(window, &part, false); // touches the child at 10, 10 only
    RectList region;
    get_update_rects(child, region);
    EXPECT_EQ(rects_bounds(region), (Rect{0, 0, 10, 10}));
}

TEST_F(PaintTest, HiddenWindowsWaitUntilShown)
{
    WindowHandle hidden = make_top("H", Rect{0, 0, 100, 100}, WS_OVERLAPPEDWINDOW);
    pump();
    take_seen();
    invalidate_rect(hidden, nullptr, false);
    pump();
    EXPECT_TRUE(take_seen().empty());
    show_window(hidden, SW_SHOWNA);
    pump();
    EXPECT_EQ(take_seen(), (Seen{"H WM_ERASEBKGND", "H WM_PAINT"}));
}

TEST_F(PaintTest, UpdateWindowPaintsAtOnce)
{
    invalidate_rect(window, nullptr, false);
    update_window(window);
    EXPECT_EQ(take_seen(), (Seen{"W WM_PAINT"}));
    update_window(window); // nothing left to paint
    EXPECT_TRUE(take_seen().empty());
}

TEST_F(PaintTest, RedrawWindowWithInternalPaintSendsAnEmptyPaint)
{
    redraw_window(window, nullptr, RDW_INTERNALPAINT);
    Msg msg;
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.message, uint32_t(WM_PAINT));
    PaintStruct paint;
    begin_paint(window, paint);
    EXPECT_TRUE(is_rect_empty(paint.paint));
    end_paint(window, paint);
    EXPECT_FALSE(peek_message(msg, PM_REMOVE));
}

} // namespace
