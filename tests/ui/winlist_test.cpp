#include "runtime/ui/winlist.h"

#include <vector>

#include "runtime/display/refresh.h"
#include "tests/platform/window_test_support.h"

namespace {

using namespace wintest;

// The presentation window with three children, of which two are listed; and a tool window
// owned by it.
class WinListTest : public WindowTest {
protected:
    WindowHandle presentation, first, second, third;

    void SetUp() override
    {
        WindowTest::SetUp();
        win_list_reset();
        ASSERT_EQ(win_list_init(), 1);
        presentation = make_top("Piece");
        screen_set_window(presentation);
        first = make_child("A", presentation, Rect{0, 0, 50, 50}, 1);
        second = make_child("B", presentation, Rect{60, 0, 110, 50}, 2);
        third = make_child("C", presentation, Rect{120, 0, 170, 50}, 3);
        win_list_add(first, 228, &first);
        win_list_add(third, 1100, &third);
    }
    void TearDown() override
    {
        screen_release_planes();
        win_list_reset();
        WindowTest::TearDown();
    }
};

TEST_F(WinListTest, ListedWindowsAreFoundByWindowAndKind)
{
    EXPECT_EQ(win_list_kind(first), 228);
    EXPECT_EQ(win_list_object(third), &third);
    EXPECT_EQ(win_list_kind(second), 0);
    EXPECT_EQ(win_list_object(second), nullptr);
    EXPECT_EQ(win_list_find_kind(1100), third);
    EXPECT_FALSE(win_list_find_kind(5));
    win_list_remove(third);
    EXPECT_FALSE(win_list_find_kind(1100));
}

static int visit_all(WindowHandle window, uint16_t, void*, void* data)
{
    static_cast<std::vector<WindowHandle>*>(data)->push_back(window);
    return 1;
}

static int stop_at_228(WindowHandle, uint16_t kind, void*, void*) { return kind == 228 ? 0 : 1; }

TEST_F(WinListTest, TheWalkGoesFromTheBottomUpAndStopsWhereAsked)
{
    std::vector<WindowHandle> seen;
    EXPECT_FALSE(win_list_walk(visit_all, &seen));
    // A child is made at the bottom of its siblings, as in Win32: the last made is lowest.
    EXPECT_EQ(seen, (std::vector<WindowHandle>{third, first}));
    EXPECT_EQ(win_list_walk(stop_at_228, nullptr), first);
}

TEST_F(WinListTest, ToolWindowsKeepTheirOwnerDrawnActiveAndFollowTheApplication)
{
    WindowClass tool_class;
    tool_class.proc = windoid_window_proc;
    tool_class.class_name = "Windoid";
    ASSERT_NE(register_class(tool_class), 0);
    WindowHandle tool = create_window_ex(WS_EX_TOOLWINDOW, "Windoid", "Tools", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
        300, 300, 100, 80, presentation, 0, {}, nullptr);
    ASSERT_TRUE(tool);
    EXPECT_TRUE(windoid_is(tool));
    EXPECT_EQ(get_prop(tool, "Active"), 1u);
    EXPECT_EQ(windoid_caption_height(), get_system_metrics(SM_CYSMCAPTION) - 1);
    EXPECT_EQ(windoid_frame_width(), 3);
    EXPECT_EQ(windoid_frame_height(), 4);

    // A deactivation in favour of the tool window ends there, whatever its id's high bits.
    LResult result = 0;
    EXPECT_TRUE(windoid_keeps_owner_active(presentation, 0, LParam(tool.id), result));
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(windoid_keeps_owner_active(presentation, 0, LParam(tool.id & 0xFFFF), result));
    EXPECT_FALSE(windoid_keeps_owner_active(presentation, 1, LParam(tool.id), result));
    EXPECT_FALSE(windoid_keeps_owner_active(presentation, 0, LParam(second.id), result));

    send_message(tool, WM_ACTIVATEAPP, 0, 0);
    EXPECT_FALSE(is_window_visible(tool));
    send_message(tool, WM_ACTIVATEAPP, 1, 0);
    EXPECT_TRUE(is_window_visible(tool));

    // "Hidden" keeps it hidden until it is shown.
    show_window(tool, SW_HIDE);
    set_prop(tool, "Hidden", 1);
    send_message(tool, WM_ACTIVATEAPP, 1, 0);
    EXPECT_FALSE(is_window_visible(tool));
    show_window(tool, SW_SHOWNOACTIVATE);
    EXPECT_EQ(get_prop(tool, "Hidden"), 0u);

    // With its owner minimised it stays hidden.
    send_message(tool, WM_ACTIVATEAPP, 0, 0);
    show_window(presentation, SW_MINIMIZE);
    send_message(tool, WM_ACTIVATEAPP, 1, 0);
    EXPECT_FALSE(is_window_visible(tool));

    send_message(tool, WM_NCACTIVATE, 0, 0);
    EXPECT_EQ(get_prop(tool, "Active"), 1u); // its own procedure keeps the caption's look
    LResult answer = 0;
    EXPECT_TRUE(windoid_nc_message(tool, WM_NCACTIVATE, 0, 0, answer));
    EXPECT_EQ(get_prop(tool, "Active"), 0u);
    destroy_window(tool);
    EXPECT_FALSE(windoid_is(tool));
}

} // namespace
