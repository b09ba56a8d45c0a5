#include "platform/window/winpos.h"

#include "window_test_support.h"

namespace {

using namespace wintest;

using Seen = std::vector<std::string>;

class WinposTest : public WindowTest {};

TEST_F(WinposTest, CreatingAVisibleWindowSendsWin32sSequence)
{
    quiet.erase(WM_GETMINMAXINFO);
    quiet.erase(WM_NCCALCSIZE);
    make_top("W", Rect{100, 100, 400, 300});
    EXPECT_EQ(take_seen(), (Seen{"W WM_GETMINMAXINFO", "W WM_NCCREATE", "W WM_NCCALCSIZE", "W WM_CREATE",
                               "W WM_SIZE", "W WM_MOVE", "W WM_SHOWWINDOW", "W WM_WINDOWPOSCHANGING",
                               "W WM_ACTIVATEAPP", "W WM_NCACTIVATE", "W WM_ACTIVATE", "W WM_SETFOCUS",
                               "W WM_NCPAINT", "W WM_ERASEBKGND", "W WM_WINDOWPOSCHANGED"}));
    pump();
    EXPECT_EQ(take_seen(), (Seen{"W WM_PAINT"}));
}

TEST_F(WinposTest, AChildIsCreatedQuietlyAndAtTheBottom)
{
    WindowHandle top = make_top("T");
    take_seen();
    WindowHandle first = make_child("C1", top, Rect{0, 0, 10, 10}, 1);
    WindowHandle second = make_child("C2", top, Rect{0, 0, 10, 10}, 2);
    EXPECT_EQ(take_seen(), (Seen{"C1 WM_NCCREATE", "C1 WM_CREATE", "C1 WM_SIZE", "C1 WM_MOVE", "C1 WM_SHOWWINDOW",
                               "C1 WM_WINDOWPOSCHANGING", "C1 WM_ERASEBKGND", "C1 WM_WINDOWPOSCHANGED",
                               "C2 WM_NCCREATE", "C2 WM_CREATE", "C2 WM_SIZE", "C2 WM_MOVE", "C2 WM_SHOWWINDOW",
                               "C2 WM_WINDOWPOSCHANGING", "C2 WM_ERASEBKGND", "C2 WM_WINDOWPOSCHANGED"}));
    // Creation order is z-order from the top, as dialogs rely on for their tab order.
    EXPECT_EQ(get_window(top, GW_CHILD), first);
    EXPECT_EQ(get_window(first, GW_HWNDNEXT), second);
    set_window_pos(first, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(get_window(top, GW_CHILD), second);
}

TEST_F(WinposTest, MovingAndSizingSendsMoveAndSize)
{
    WindowHandle window = make_top("W", Rect{100, 100, 400, 300});
    pump();
    take_seen();
    std::vector<LParam> sizes;
    answer = [&](WindowHandle, uint32_t message, WParam, LParam lparam) -> std::optional<LResult> {
        if (message == WM_SIZE || message == WM_MOVE)
            sizes.push_back(lparam);
        return std::nullopt;
    };
    ASSERT_TRUE(move_window(window, 50, 60, 200, 150, true));
    EXPECT_EQ(take_seen(), (Seen{"W WM_WINDOWPOSCHANGING", "W WM_NCPAINT", "W WM_ERASEBKGND", "W WM_WINDOWPOSCHANGED",
                               "W WM_MOVE", "W WM_SIZE"}));
    Rect rect;
    get_window_rect(window, rect);
    EXPECT_EQ(rect, (Rect{50, 60, 250, 210}));
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0], make_lparam(54, 83));       // client origin: frame 4, caption 19
    EXPECT_EQ(sizes[1], make_lparam(192, 142 - 19)); // client size
    take_seen();
    move_window(window, 70, 60, 200, 150, true); // a move alone: no WM_SIZE, no repaint
    EXPECT_EQ(take_seen(), (Seen{"W WM_WINDOWPOSCHANGING", "W WM_WINDOWPOSCHANGED", "W WM_MOVE"}));
    move_window(window, 70, 60, 200, 150, true); // nothing changes: no message
    EXPECT_TRUE(take_seen().empty());
}

TEST_F(WinposTest, ResizableWindowsKeepWithinTheirTrackingSizes)
{
    WindowHandle window = make_top("W", Rect{0, 0, 300, 200});
    answer = [](WindowHandle, uint32_t message, WParam, LParam lparam) -> std::optional<LResult> {
        if (message == WM_GETMINMAXINFO) {
            auto* info = reinterpret_cast<MinMaxInfo*>(lparam);
            info->min_track_size = Point{150, 100};
            info->max_track_size = Point{500, 400};
        }
        return std::nullopt;
    };
    Rect rect;
    move_window(window, 0, 0, 900, 50, true);
    get_window_rect(window, rect);
    EXPECT_EQ(rect, (Rect{0, 0, 500, 100}));
    // A popup without a sizing frame takes any size.
    WindowHandle popup = make("P", WS_POPUP | WS_VISIBLE, Rect{0, 0, 10, 10});
    move_window(popup, 0, 0, 900, 50, true);
    get_window_rect(popup, rect);
    EXPECT_EQ(rect, (Rect{0, 0, 900, 50}));
}

TEST_F(WinposTest, MinimiseMaximiseAndRestore)
{
    WindowHandle window = make_top("W", Rect{100, 100, 400, 300});
    WindowHandle other = make_top("O", Rect{500, 100, 700, 300});
    set_active_window(window);
    std::vector<WParam> kinds;
    answer = [&](WindowHandle w, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
        if (w == window && message == WM_SIZE)
            kinds.push_back(wparam);
        return std::nullopt;
    };
    Rect rect;
    show_window(window, SW_MAXIMIZE);
    EXPECT_TRUE(is_zoomed(window));
    get_window_rect(window, rect);
    EXPECT_EQ(rect, (Rect{-4, -4, 1028, 772})); // the frame lies beyond the screen
    show_window(window, SW_MINIMIZE);
    EXPECT_TRUE(is_iconic(window));
    EXPECT_FALSE(is_zoomed(window));
    EXPECT_EQ(get_active_window(), other); // minimising gives activation away
    show_window(window, SW_RESTORE);
    EXPECT_FALSE(is_iconic(window));
    get_window_rect(window, rect);
    EXPECT_EQ(rect, (Rect{100, 100, 400, 300}));
    EXPECT_EQ(get_active_window(), window);
    EXPECT_EQ(kinds, (std::vector<WParam>{SIZE_MAXIMIZED, SIZE_MINIMIZED, SIZE_RESTORED}));
}

TEST_F(WinposTest, HidingAChildRepaintsWhatItCovered)
{
    WindowHandle top = make_top("T", Rect{0, 0, 400, 300}, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN);
    WindowHandle child = make_child("C", top, Rect{10, 10, 60, 60});
    pump();
    EXPECT_TRUE(show_window(child, SW_HIDE));
    EXPECT_FALSE(show_window(child, SW_HIDE));
    RectList region;
    get_update_rects(top, region);
    EXPECT_EQ(rects_bounds(region), (Rect{10, 10, 60, 60}));
    EXPECT_FALSE(is_window_visible(child));
    show_window(top, SW_HIDE);
    show_window(child, SW_SHOW);
    EXPECT_FALSE(is_window_visible(child)); // its parent is hidden
}

TEST_F(WinposTest, AProgramMayChangeThePositionWhileItChanges)
{
    WindowHandle window = make_top("W", Rect{0, 0, 300, 200});
    answer = [](WindowHandle, uint32_t message, WParam, LParam lparam) -> std::optional<LResult> {
        if (message == WM_WINDOWPOSCHANGING)
            reinterpret_cast<WindowPos*>(lparam)->x = 77;
        return std::nullopt;
    };
    move_window(window, 10, 10, 300, 200, true);
    Rect rect;
    get_window_rect(window, rect);
    EXPECT_EQ(rect.left, 77);
}

TEST_F(WinposTest, AbsurdSizeLimitsFromTheProgramStayInBounds)
{
    answer = [](WindowHandle, uint32_t message, WParam, LParam lparam) -> std::optional<LResult> {
        if (message == WM_GETMINMAXINFO) {
            auto* info = reinterpret_cast<MinMaxInfo*>(lparam);
            info->max_size = Point{INT32_MAX, INT32_MAX};
            info->max_position = Point{INT32_MAX, INT32_MIN};
            info->min_track_size = Point{INT32_MAX, -5};
            info->max_track_size = Point{INT32_MIN, INT32_MAX};
        }
        return std::nullopt;
    };
    WindowHandle window = make_top("W", Rect{0, 0, 300, 200});
    ASSERT_TRUE(window);
    show_window(window, SW_MAXIMIZE);
    Rect rect;
    get_window_rect(window, rect);
    EXPECT_LE(rect.width(), 1 << 15);
    EXPECT_LE(rect.height(), 1 << 15);
}

TEST_F(WinposTest, HugeSizesAreKeptWithinBounds)
{
    WindowHandle popup = make("P", WS_POPUP | WS_VISIBLE, Rect{0, 0, 10, 10});
    set_window_pos(popup, {}, -2000000000, 0, 2000000000, 2000000000, SWP_NOZORDER);
    Rect rect;
    get_window_rect(popup, rect);
    EXPECT_GE(rect.left, -(1 << 20));
    EXPECT_LE(rect.width(), 1 << 15);
    fill_client(popup, rgb(1, 2, 3)); // the surface stays capped: this must not exhaust memory
}

} // namespace
