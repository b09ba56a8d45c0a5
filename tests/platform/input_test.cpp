#include "platform/window/input.h"

#include "window_test_support.h"

namespace {

using namespace wintest;

using Seen = std::vector<std::string>;

// A top-level window with nested children:
//   Top (100,100)-(500,400), client from (104,123)
//     Panel at client (10,10)-(210,160)
//       Inner at (20,20)-(120,80), Hidden at (130,20)-(180,80), Disabled at (20,90)-(120,140)
class InputTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        quiet.insert({WM_NCPAINT, WM_ERASEBKGND, WM_PAINT, WM_ACTIVATE, WM_NCACTIVATE, WM_ACTIVATEAPP,
            WM_SETFOCUS, WM_KILLFOCUS, WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED,
            WM_CAPTURECHANGED, WM_MOUSEACTIVATE});
        top = make_top("Top", Rect{100, 100, 500, 400});
        panel = make_child("Panel", top, Rect{10, 10, 210, 160}, 1);
        inner = make_child("Inner", panel, Rect{20, 20, 120, 80}, 2);
        make_child("Hidden", panel, Rect{130, 20, 180, 80}, 3, WS_CHILD);
        WindowHandle disabled = make_child("Disabled", panel, Rect{20, 90, 120, 140}, 4);
        enable_window(disabled, false);
        pump();
        take_seen();
    }

    // Client origin of Top is (104, 123): frame 4, caption 19.
    static Point in_panel(int32_t x, int32_t y) { return Point{104 + 10 + x, 123 + 10 + y}; }

    void click(Point at, MouseButton button = MouseButton::left)
    {
        input_mouse_button(button, true, at);
        input_mouse_button(button, false, at);
        pump();
    }

    WindowHandle top, panel, inner;
};

struct PointCase {
    const char* name;
    Point at;
    const char* window;
};

TEST_F(InputTest, ClicksReachTheDeepestEnabledVisibleWindow)
{
    const PointCase cases[] = {
        {"inside the inner child", in_panel(50, 50), "Inner"},
        {"over a hidden child", in_panel(150, 50), "Panel"},
        {"over a disabled child", in_panel(50, 100), "Panel"},
        {"panel beside its children", in_panel(190, 140), "Panel"},
        {"top-level client area", Point{450, 350}, "Top"},
    };
    for (const PointCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(label(window_from_point(c.at)), c.window);
        click(c.at);
        EXPECT_EQ(take_seen(), (Seen{std::string(c.window) + " WM_LBUTTONDOWN", std::string(c.window) + " WM_LBUTTONUP"}));
    }
}

TEST_F(InputTest, ClientMessagesCarryClientCoordinatesAndKeys)
{
    Msg msg;
    input_key(VK_SHIFT, true);
    input_mouse_button(MouseButton::left, true, in_panel(30, 40));
    ASSERT_TRUE(peek_message(msg, PM_REMOVE)); // the Shift key
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, inner);
    EXPECT_EQ(msg.message, uint32_t(WM_LBUTTONDOWN));
    EXPECT_EQ(get_x_lparam(msg.lparam), 10);
    EXPECT_EQ(get_y_lparam(msg.lparam), 20);
    EXPECT_EQ(msg.wparam, WParam(MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(msg.pt, in_panel(30, 40));
}

TEST_F(InputTest, ATransparentWindowPassesThePointBeneath)
{
    answer = [&](WindowHandle window, uint32_t message, WParam, LParam) -> std::optional<LResult> {
        if (window == inner && message == WM_NCHITTEST)
            return HTTRANSPARENT;
        return std::nullopt;
    };
    click(in_panel(50, 50));
    EXPECT_EQ(take_seen(), (Seen{"Panel WM_LBUTTONDOWN", "Panel WM_LBUTTONUP"}));
}

TEST_F(InputTest, TheCaptureGetsEveryMouseMessage)
{
    set_capture(inner);
    quiet.erase(WM_NCHITTEST);
    Msg msg;
    input_mouse_button(MouseButton::left, true, Point{20, 30}); // far outside, on the desktop
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, inner);
    EXPECT_EQ(msg.message, uint32_t(WM_LBUTTONDOWN)); // a client message wherever the point is
    EXPECT_EQ(get_x_lparam(msg.lparam), 20 - 134); // Inner's client area starts at x 134
    EXPECT_TRUE(take_seen().empty()); // no hit testing while captured
}

TEST_F(InputTest, NonClientClicksCarryTheHitCodeAndScreenPoint)
{
    Msg msg;
    input_mouse_button(MouseButton::left, true, Point{200, 110});
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, top);
    EXPECT_EQ(msg.message, uint32_t(WM_NCLBUTTONDOWN));
    EXPECT_EQ(msg.wparam, WParam(HTCAPTION));
    EXPECT_EQ(get_x_lparam(msg.lparam), 200);
    EXPECT_EQ(get_y_lparam(msg.lparam), 110);
}

TEST_F(InputTest, AClickActivatesAnInactiveWindowAsItsAnswerSays)
{
    struct ActivateCase {
        const char* name;
        LResult answer;
        bool activated;
        bool delivered;
    };
    const ActivateCase cases[] = {
        {"activate", MA_ACTIVATE, true, true},
        {"activate and eat", MA_ACTIVATEANDEAT, true, false},
        {"no activation", MA_NOACTIVATE, false, true},
        {"no activation, eaten", MA_NOACTIVATEANDEAT, false, false},
    };
    WindowHandle other = make_top("Other", Rect{600, 100, 800, 300});
    for (const ActivateCase& c : cases) {
        SCOPED_TRACE(c.name);
        clock_advance(get_double_click_time()); // each case a single click
        set_active_window(other);
        pump();
        answer = [&](WindowHandle, uint32_t message, WParam, LParam) -> std::optional<LResult> {
            return message == WM_MOUSEACTIVATE ? std::optional<LResult>(c.answer) : std::nullopt;
        };
        take_seen();
        input_mouse_button(MouseButton::left, true, Point{450, 350});
        pump();
        answer = nullptr;
        EXPECT_EQ(get_active_window() == top, c.activated);
        Seen got = take_seen();
        EXPECT_EQ(std::count(got.begin(), got.end(), "Top WM_LBUTTONDOWN") == 1, c.delivered);
        input_mouse_button(MouseButton::left, false, Point{450, 350});
        pump();
    }
}

TEST_F(InputTest, ChildrenAskTheirParentAboutActivationAndCursor)
{
    WindowHandle other = make_top("Other", Rect{600, 100, 800, 300});
    set_active_window(other);
    quiet.erase(WM_MOUSEACTIVATE);
    quiet.erase(WM_SETCURSOR);
    pump();
    take_seen();
    input_mouse_button(MouseButton::left, true, in_panel(50, 50));
    pump();
    Seen got = take_seen();
    Seen expected_start{"Inner WM_MOUSEACTIVATE", "Panel WM_MOUSEACTIVATE", "Top WM_MOUSEACTIVATE",
        "Inner WM_SETCURSOR", "Panel WM_SETCURSOR", "Top WM_SETCURSOR", "Inner WM_LBUTTONDOWN"};
    ASSERT_GE(got.size(), expected_start.size());
    EXPECT_EQ(Seen(got.begin(), got.begin() + long(expected_start.size())), expected_start);
}

TEST_F(InputTest, DoubleClicksNeedTheClassStyleAndQuickPresses)
{
    click(in_panel(50, 50));
    click(in_panel(51, 50));
    click(in_panel(50, 50)); // a third press starts a new sequence
    EXPECT_EQ(take_seen(), (Seen{"Inner WM_LBUTTONDOWN", "Inner WM_LBUTTONUP", "Inner WM_LBUTTONDBLCLK",
                               "Inner WM_LBUTTONUP", "Inner WM_LBUTTONDOWN", "Inner WM_LBUTTONUP"}));
    clock_advance(get_double_click_time());
    click(in_panel(50, 50));
    EXPECT_EQ(take_seen(), (Seen{"Inner WM_LBUTTONDOWN", "Inner WM_LBUTTONUP"}));

    WindowClass plain;
    plain.proc = &WindowTest::record_proc;
    plain.class_name = "Plain";
    register_class(plain);
    pending_label = "Plain";
    create_window_ex(0, "Plain", "", WS_CHILD | WS_VISIBLE, 300, 10, 50, 50, top, 9, {}, nullptr);
    pump();
    take_seen();
    click(Point{104 + 310, 123 + 20});
    click(Point{104 + 310, 123 + 20});
    EXPECT_EQ(take_seen(), (Seen{"Plain WM_LBUTTONDOWN", "Plain WM_LBUTTONUP", "Plain WM_LBUTTONDOWN", "Plain WM_LBUTTONUP"}));
}

TEST_F(InputTest, KeysGoToTheFocusWithWin32Bits)
{
    set_focus(inner);
    input_key('A', true);
    input_key('A', true); // held: a repeat
    input_key('A', false);
    std::vector<Msg> got;
    Msg msg;
    while (peek_message(msg, PM_REMOVE))
        got.push_back(msg);
    ASSERT_EQ(got.size(), 3u);
    for (const Msg& m : got)
        EXPECT_EQ(m.hwnd, inner);
    EXPECT_EQ(got[0].message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(uint32_t(got[0].lparam), 0x001E0001u); // repeat 1, scan code 0x1E
    EXPECT_EQ(uint32_t(got[1].lparam), 0x401E0001u); // was down
    EXPECT_EQ(got[2].message, uint32_t(WM_KEYUP));
    EXPECT_EQ(uint32_t(got[2].lparam), 0xC01E0001u);
}

TEST_F(InputTest, AltKeysAndKeysWithoutFocusAreSystemKeys)
{
    set_focus(inner);
    input_key(VK_MENU, true);
    input_key('F', true);
    input_key('F', false);
    input_key(VK_MENU, false);
    std::vector<std::string> got;
    Msg msg;
    while (peek_message(msg, PM_REMOVE))
        got.push_back(label(msg.hwnd) + " " + message_name(msg.message));
    // The target is the focus when the message is taken, as in Win32.
    set_focus({});
    input_key('B', true);
    while (peek_message(msg, PM_REMOVE))
        got.push_back(label(msg.hwnd) + " " + message_name(msg.message));
    EXPECT_EQ(got, (Seen{"Inner WM_SYSKEYDOWN", "Inner WM_SYSKEYDOWN", "Inner WM_SYSKEYUP", "Inner WM_SYSKEYUP",
                       "Top WM_SYSKEYDOWN"}));
}

TEST_F(InputTest, KeyStateFollowsTheMessagesTakenAsyncStateTheEvents)
{
    input_key(VK_LSHIFT, true);
    EXPECT_LT(get_async_key_state(VK_SHIFT), 0);
    EXPECT_EQ(get_key_state(VK_SHIFT), 0); // not taken yet
    Msg msg;
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.wparam, WParam(VK_SHIFT)); // messages carry the generic key
    EXPECT_LT(get_key_state(VK_SHIFT), 0);
    EXPECT_LT(get_key_state(VK_LSHIFT), 0);
    EXPECT_EQ(get_key_state(VK_RSHIFT), 0);
    EXPECT_EQ(get_async_key_state(VK_SHIFT) & 1, 0); // the pressed-since bit was read above

    for (int press = 0; press < 3; press++) {
        input_key(VK_CAPITAL, true);
        input_key(VK_CAPITAL, false);
    }
    pump();
    EXPECT_EQ(get_key_state(VK_CAPITAL), 1); // toggled on, up
}

TEST_F(InputTest, ADisabledTopLevelWindowGetsNoMouseInput)
{
    enable_window(top, false);
    take_seen();
    click(in_panel(50, 50));
    EXPECT_TRUE(take_seen().empty());
}

TEST_F(InputTest, ChildWindowFromPointLooksOneLevelDown)
{
    EXPECT_EQ(label(child_window_from_point(panel, Point{150, 50})), "Hidden");
    EXPECT_EQ(child_window_from_point_ex(panel, Point{150, 50}, CWP_SKIPINVISIBLE), panel);
    EXPECT_EQ(label(child_window_from_point_ex(panel, Point{50, 100}, CWP_ALL)), "Disabled");
    EXPECT_EQ(child_window_from_point_ex(panel, Point{50, 100}, CWP_SKIPDISABLED), panel);
    EXPECT_FALSE(child_window_from_point(panel, Point{500, 50}));
}

} // namespace
