#include "runtime/ui/win_util.h"

#include <vector>

#include "platform/window/caret.h"
#include "platform/window/styles.h"
#include "runtime/display/screen_window.h"
#include "runtime/ui/winlist.h"
#include "tests/platform/window_test_support.h"

namespace {

using namespace wintest;

// A frameless presentation window of 300 x 200 at the screen's top-left with three children
// (C lowest, A on top: each child is made at the bottom of its siblings).
class WinUtilTest : public WindowTest {
protected:
    WindowHandle presentation, a, b, c;
    // What the children heard of their activation: (message, wParam) per call.
    std::vector<std::pair<uint32_t, WParam>> told;
    LResult activation_answer = 0;

    void SetUp() override
    {
        WindowTest::SetUp();
        win_util_reset();
        win_list_reset();
        ASSERT_EQ(win_list_init(), 1);
        presentation = make_top("P", Rect{0, 0, 300, 200}, WS_POPUP | WS_VISIBLE);
        win_set_presentation_window(presentation);
        c = make_child("C", presentation, Rect{0, 0, 50, 50}, 3);
        b = make_child("B", presentation, Rect{60, 0, 110, 50}, 2);
        a = make_child("A", presentation, Rect{120, 10, 170, 60}, 1);
        set_window_pos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        set_window_pos(c, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        answer = [this](WindowHandle window, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
            if (window == presentation)
                return std::nullopt;
            if (message == kMsgAppActivation) {
                told.push_back({message, wparam});
                return activation_answer;
            }
            if (message == WM_NCACTIVATE)
                told.push_back({message, wparam});
            return std::nullopt;
        };
    }
    void TearDown() override
    {
        answer = nullptr;
        win_util_reset();
        win_list_reset();
        win_set_presentation_window({});
        WindowTest::TearDown();
    }
};

struct KeepCase {
    const char* name;
    Rect rect;
    ScreenCheck check;
    Rect expected;
};

TEST_F(WinUtilTest, RectanglesAreKeptReachableInsideTheClientArea)
{
    ASSERT_EQ(get_system_metrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(get_system_metrics(SM_CYSCREEN), 768);
    ASSERT_EQ(win_presentation_client_rect(), (Rect{0, 0, 300, 200}));
    static const KeepCase kCases[] = {
        {"inside stays", {10, 10, 50, 50}, ScreenCheck::apply, {10, 10, 50, 50}},
        {"below: 6 pixels stay in", {10, 250, 50, 290}, ScreenCheck::skip, {10, 194, 50, 234}},
        {"above: its top at the client's", {10, -30, 50, 10}, ScreenCheck::skip, {10, 0, 50, 40}},
        {"right: 6 pixels stay in", {400, 10, 450, 50}, ScreenCheck::skip, {294, 10, 344, 50}},
        {"left: 6 pixels stay in", {-100, 10, -50, 50}, ScreenCheck::skip, {-44, 10, 6, 50}},
        // A rectangle that misses the client area is first put on the screen.
        {"far left, onto the screen first", {-500, 10, -400, 50}, ScreenCheck::apply, {0, 10, 100, 50}},
        {"far left, no screen check", {-500, 10, -400, 50}, ScreenCheck::skip, {-94, 10, 6, 50}},
        // Touching the client area counts as meeting it: no screen step.
        {"touching the left edge", {-50, 10, 0, 50}, ScreenCheck::apply, {-44, 10, 6, 50}},
        {"beyond the screen", {1000, 700, 1100, 800}, ScreenCheck::apply, {294, 194, 394, 294}},
    };
    for (const KeepCase& row : kCases) {
        SCOPED_TRACE(row.name);
        Rect rect = row.rect;
        win_keep_in_client(rect, row.check);
        EXPECT_EQ(rect, row.expected);
    }
}

struct ScreenCase {
    const char* name;
    Rect rect;
    Rect expected;
};

TEST_F(WinUtilTest, RectanglesAreKeptOnTheScreenTopLeftWinning)
{
    static const ScreenCase kCases[] = {
        {"on the screen", {10, 10, 110, 60}, {10, 10, 110, 60}},
        {"past the bottom right", {1000, 750, 1100, 800}, {924, 718, 1024, 768}},
        {"above and left", {-20, -30, 80, 20}, {0, 0, 100, 50}},
        // Taller than the screen: moved up first, then down again so that its top shows.
        {"taller than the screen", {0, 100, 100, 1000}, {0, 0, 100, 900}},
    };
    for (const ScreenCase& row : kCases) {
        SCOPED_TRACE(row.name);
        Rect rect = row.rect;
        win_keep_on_screen(rect);
        EXPECT_EQ(rect, row.expected);
    }
}

struct ClientCase {
    const char* name;
    uint32_t style;
    bool menu;
};

// A window made with the rectangle has exactly the asked client area at the asked place.
TEST_F(WinUtilTest, WindowRectanglesForAClientArea)
{
    static const ClientCase kCases[] = {
        {"caption and frame", WS_OVERLAPPEDWINDOW, false},
        {"dialog frame", WS_POPUP | WS_DLGFRAME, false},
        {"no frame", WS_POPUP, false},
    };
    for (const ClientCase& row : kCases) {
        SCOPED_TRACE(row.name);
        Rect at = win_rect_for_client_at(row.style, row.menu, 40, 30, 320, 240);
        EXPECT_EQ(at.left, 40);
        EXPECT_EQ(at.top, 30);
        WindowHandle window = make("W", row.style | WS_VISIBLE, at);
        EXPECT_EQ(win_client_size(window), (Size{320, 240}));
        Rect insets = win_frame_insets(window);
        EXPECT_EQ(insets.left + 320 + insets.right, at.width());
        EXPECT_EQ(insets.top + 240 + insets.bottom, at.height());

        Rect moved = win_rect_for_client_offset(row.style, row.menu, 5, 7, 320, 240);
        EXPECT_EQ(moved.left, 5 - insets.left);
        EXPECT_EQ(moved.top, 7 - insets.top);
        destroy_window(window);
    }
}

TEST_F(WinUtilTest, PlacesInTheParentAndOnTheScreen)
{
    win_move(b, 70, 20);
    win_set_size(b, 30, 40);
    EXPECT_EQ(win_rect_in_parent(b), (Rect{70, 20, 100, 60}));
    EXPECT_EQ(win_parent_if_child(b), presentation);
    EXPECT_FALSE(win_parent_if_child(presentation));

    WindowHandle top = make_top("T", Rect{200, 150, 400, 300});
    win_move(top, 210, 160);
    Point at = win_position_in_parent(top);
    EXPECT_EQ(at.x, 210); // screen coordinates for a window that is no child
    EXPECT_EQ(at.y, 160);
}

TEST_F(WinUtilTest, ZOrderAndEnabling)
{
    EXPECT_EQ(win_top_child(), a);
    win_place_after(a, c); // behind C: A is the lowest now
    EXPECT_EQ(get_window(a, GW_HWNDNEXT), WindowHandle());
    EXPECT_EQ(win_top_child(), b);

    enable_window(c, false);
    win_place_after(c, {}); // no window given: at the front, and enabled
    EXPECT_EQ(win_top_child(), c);
    EXPECT_TRUE(is_window_enabled(c));

    // Order now C, B, A: everything after C but A is disabled.
    win_enable_following(c, a, false);
    EXPECT_TRUE(is_window_enabled(c));
    EXPECT_FALSE(is_window_enabled(b));
    EXPECT_TRUE(is_window_enabled(a));
    win_enable_following(c, {}, true);
    EXPECT_TRUE(is_window_enabled(b));

    win_set_presentation_window({});
    EXPECT_FALSE(win_top_child()); // never a top-level window of the desktop
}

TEST_F(WinUtilTest, CaptureIsRememberedUntilReleased)
{
    win_set_capture(b);
    EXPECT_EQ(get_capture(), b);
    EXPECT_EQ(win_capture_window(), b);
    win_release_capture();
    EXPECT_FALSE(get_capture());
    EXPECT_FALSE(win_capture_window());
}

struct ActivationCase {
    const char* name;
    LResult answer; // the child's answer to the activation message
    bool takes_focus;
};

TEST_F(WinUtilTest, ActivatingAChildTellsItAndGivesItTheKeysUnlessItDeclines)
{
    static const ActivationCase kCases[] = {
        {"answers 0: takes the focus", 0, true},
        {"answers 1: keeps its own focus", 1, false},
    };
    for (const ActivationCase& row : kCases) {
        SCOPED_TRACE(row.name);
        set_focus(presentation);
        told.clear();
        activation_answer = row.answer;
        win_activate_child(b, true);
        EXPECT_EQ(told, (std::vector<std::pair<uint32_t, WParam>>{{kMsgAppActivation, 1}, {WM_NCACTIVATE, 1}}));
        EXPECT_EQ(win_active_child(), b);
        EXPECT_EQ(get_focus() == b, row.takes_focus);
        EXPECT_TRUE(hide_caret(b)); // a 1 x 1 caret of its own
        show_caret(b);

        // Turning another child off leaves the active one alone.
        win_activate_child(c, false);
        EXPECT_EQ(win_active_child(), b);
        told.clear();
        win_activate_child(b, false);
        EXPECT_EQ(told, (std::vector<std::pair<uint32_t, WParam>>{{kMsgAppActivation, 0}, {WM_NCACTIVATE, 0}}));
        EXPECT_FALSE(win_active_child());
    }
    win_activate_child(WindowHandle(0x7777), true); // no such window: nothing
    EXPECT_FALSE(win_active_child());
}

TEST_F(WinUtilTest, DestroyingTheActiveChildActivatesTheTopChild)
{
    win_list_add(b, 228, &b);
    win_activate_child(b, true);
    told.clear();
    win_destroy(b);
    EXPECT_FALSE(is_window(b));
    EXPECT_FALSE(win_list_find_kind(228));
    // B heard its deactivation before going; then A, the top child, became active.
    ASSERT_EQ(told.size(), 4u);
    EXPECT_EQ(told[0], (std::pair<uint32_t, WParam>{kMsgAppActivation, 0}));
    EXPECT_EQ(told[2], (std::pair<uint32_t, WParam>{kMsgAppActivation, 1}));
    EXPECT_EQ(win_active_child(), a);
    EXPECT_EQ(get_focus(), a);

    // The last child gone, no child is active.
    win_destroy(a);
    win_destroy(c);
    EXPECT_FALSE(win_active_child());
}

} // namespace
