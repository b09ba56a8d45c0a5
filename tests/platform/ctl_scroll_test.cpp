#include "platform/controls/ctl_scroll.h"

#include <algorithm>

#include "control_test_support.h"

namespace {

using namespace wintest;

class ScrollTest : public ControlTest {
protected:
    WindowHandle bar;

    WindowHandle make_bar()
    {
        bar = control(kScrollBarClass, "", SBS_HORZ, Rect{10, 10, 210, 26}, 80);
        ScrollInfo info;
        info.mask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.max = 99;
        info.page = 10;
        info.pos = 50;
        set_scroll_info(bar, SB_CTL, info, true);
        take_notes();
        return bar;
    }
};

struct InfoCase {
    const char* name;
    int32_t min, max;
    uint32_t page;
    int32_t pos;
    uint32_t page_after;
    int32_t pos_after;
};

// The page stays within the range and the position within what the page leaves.
static const InfoCase kInfoCases[] = {
    {"plain", 0, 99, 10, 50, 10, 50},
    {"past the last page", 0, 99, 10, 95, 10, 90},
    {"before the start", 10, 20, 0, 3, 0, 10},
    {"page wider than the range", 0, 9, 50, 5, 10, 0},
    {"the widest range", INT32_MIN, INT32_MAX, 10, 0, 10, 0}, // 2^32 positions: the page still fits
};

TEST_F(ScrollTest, SetScrollInfoKeepsPageAndPositionInRange)
{
    make_bar();
    for (const InfoCase& c : kInfoCases) {
        SCOPED_TRACE(c.name);
        ScrollInfo info;
        info.min = c.min;
        info.max = c.max;
        info.page = c.page;
        info.pos = c.pos;
        EXPECT_EQ(set_scroll_info(bar, SB_CTL, info, false), c.pos_after);
        ScrollInfo got;
        ASSERT_TRUE(get_scroll_info(bar, SB_CTL, got));
        EXPECT_EQ(got.page, c.page_after);
        EXPECT_EQ(got.pos, c.pos_after);
    }
}

// The press is followed in a loop of its own; while it waits, time passes and the button is
// let go once the tick given comes.
static uint32_t s_release_at = 0;

static void release_when_due(uint32_t max_ms)
{
    uint32_t now = get_tick_count();
    uint32_t step = max_ms == INFINITE ? 1 : max_ms;
    if (now < s_release_at)
        clock_advance(std::min(step, s_release_at - now));
    if (get_tick_count() >= s_release_at && !input_pending() && get_async_key_state(VK_LBUTTON) < 0) {
        Point at;
        get_cursor_pos(at);
        input_mouse_button(MouseButton::left, false, at);
    }
}

TEST_F(ScrollTest, AHeldArrowRepeatsAfterAPause)
{
    make_bar();
    Point at{195, 8}; // the right arrow
    client_to_screen(bar, at);
    input_mouse_move(at);
    input_mouse_button(MouseButton::left, true, at);
    s_release_at = get_tick_count() + 500;
    clock_set_wait_hook(release_when_due);
    pump();
    clock_set_wait_hook(nullptr);
    // The press, then the repeat at 400 and 450 ms; the release at 500 comes first.
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"scroll 1 0", "scroll 1 0", "scroll 1 0", "scroll 8 0"}));
    EXPECT_FALSE(get_capture());
}

TEST_F(ScrollTest, DraggingTheThumbTracksAndEndsWithItsPosition)
{
    make_bar();
    // Arrows of 16, a track of 168 and a thumb of 168 x 10 / 100 = 16 at 16 + 152 x 50 / 90.
    int32_t thumb_x = 16 + 152 * 50 / 90 + 8;
    Point at{thumb_x, 8};
    client_to_screen(bar, at);
    input_mouse_move(at);
    input_mouse_button(MouseButton::left, true, at);
    // 152 pixels of track span 90 positions: 38 pixels on is 22.5 positions on, rounded down.
    input_mouse_move(Point{at.x + 38, at.y});
    input_mouse_button(MouseButton::left, false, Point{at.x + 38, at.y});
    pump();
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"scroll 5 50", "scroll 5 72", "scroll 4 72", "scroll 8 0"}));
    EXPECT_EQ(get_scroll_pos(bar, SB_CTL), 50); // the owner moves the thumb, not the bar
}

TEST_F(ScrollTest, DraggingOverTheWidestRangeReachesItsEnd)
{
    make_bar();
    send_message(bar, SBM_SETRANGE, WParam(INT32_MIN), LParam(INT32_MAX));
    send_message(bar, SBM_SETPOS, WParam(INT32_MIN), 0);
    Point at{16 + 2, 8}; // the thinnest thumb, at the track's start
    client_to_screen(bar, at);
    take_notes();
    input_mouse_move(at);
    input_mouse_button(MouseButton::left, true, at);
    input_mouse_move(Point{at.x + 300, at.y});
    input_mouse_button(MouseButton::left, false, Point{at.x + 300, at.y});
    pump();
    std::vector<std::string> seen = take_notes();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], "scroll 4 65526"); // the low word of INT32_MAX - 9, where the last page starts
}

TEST_F(ScrollTest, AWindowsOwnBarComesWithARangeToScroll)
{
    WindowHandle window = make_top("Scrolled", Rect{100, 100, 300, 300}, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_VSCROLL);
    Rect before;
    get_client_rect(window, before);
    ScrollInfo info;
    info.mask = SIF_RANGE | SIF_PAGE;
    info.max = 5;
    info.page = 10;
    set_scroll_info(window, SB_VERT, info, true);
    EXPECT_FALSE(get_window_long(window, GWL_STYLE) & WS_VSCROLL);
    Rect without;
    get_client_rect(window, without);
    EXPECT_EQ(without.width(), before.width() + get_system_metrics(SM_CXVSCROLL));
    info.max = 50;
    set_scroll_info(window, SB_VERT, info, true);
    EXPECT_TRUE(get_window_long(window, GWL_STYLE) & WS_VSCROLL);
    info.mask |= SIF_DISABLENOSCROLL;
    info.max = 5;
    set_scroll_info(window, SB_VERT, info, true);
    EXPECT_TRUE(get_window_long(window, GWL_STYLE) & WS_VSCROLL); // kept, disabled
    EXPECT_EQ(set_scroll_pos(window, SB_VERT, 3, true), 0);
    EXPECT_EQ(get_scroll_pos(window, SB_VERT), 0); // nothing to scroll through
}

TEST_F(ScrollTest, AFocusedBarTakesTheKeys)
{
    make_bar();
    set_focus(bar);
    press("Right");
    press("PageDown");
    press("Home");
    EXPECT_EQ(take_notes(), (std::vector<std::string>{"scroll 1 0", "scroll 8 0", "scroll 3 0", "scroll 8 0", "scroll 6 0", "scroll 8 0"}));
}

} // namespace
