#include "platform/window/focus.h"

#include "window_test_support.h"

namespace {

using namespace wintest;

using Seen = std::vector<std::string>;

class FocusTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        quiet.insert({WM_NCPAINT, WM_ERASEBKGND, WM_PAINT});
    }
};

TEST_F(FocusTest, ActivationMovesInWin32Order)
{
    WindowHandle a = make_top("A");
    WindowHandle b = make_top("B", Rect{300, 300, 500, 500});
    ASSERT_EQ(get_active_window(), b);
    take_seen();
    EXPECT_EQ(set_active_window(a), b);
    // Within one program no WM_ACTIVATEAPP: the program stays active.
    EXPECT_EQ(take_seen(), (Seen{"B WM_NCACTIVATE", "B WM_ACTIVATE", "A WM_NCACTIVATE", "A WM_ACTIVATE",
                               "B WM_KILLFOCUS", "A WM_SETFOCUS"}));
    EXPECT_EQ(get_focus(), a);
    EXPECT_EQ(get_window(get_desktop_window(), GW_CHILD), a); // activation brings it to the front
}

TEST_F(FocusTest, ActivateMessagesCarryStateAndTheOtherWindow)
{
    WindowHandle a = make_top("A");
    WindowHandle b = make_top("B");
    std::vector<std::pair<std::string, std::pair<WParam, LParam>>> details;
    answer = [&](WindowHandle window, uint32_t message, WParam wparam, LParam lparam) -> std::optional<LResult> {
        if (message == WM_ACTIVATE || message == WM_SETFOCUS || message == WM_KILLFOCUS)
            details.push_back({label(window) + " " + message_name(message), {wparam, lparam}});
        return std::nullopt;
    };
    set_active_window(a);
    ASSERT_EQ(details.size(), 4u);
    EXPECT_EQ(details[0].second, std::make_pair(WParam(WA_INACTIVE), LParam(a.id)));
    EXPECT_EQ(details[1].second, std::make_pair(WParam(WA_ACTIVE), LParam(b.id)));
    EXPECT_EQ(details[2].second.first, WParam(a.id)); // B loses the focus to A
    EXPECT_EQ(details[3].second.first, WParam(b.id)); // A gets it from B
}

TEST_F(FocusTest, HidingTheLastWindowDeactivatesTheProgram)
{
    WindowHandle a = make_top("A");
    take_seen();
    show_window(a, SW_HIDE);
    EXPECT_EQ(take_seen(), (Seen{"A WM_SHOWWINDOW", "A WM_WINDOWPOSCHANGING", "A WM_WINDOWPOSCHANGED",
                               "A WM_NCACTIVATE", "A WM_ACTIVATE", "A WM_ACTIVATEAPP", "A WM_KILLFOCUS"}));
    EXPECT_FALSE(get_active_window());
    EXPECT_FALSE(get_focus());
}

TEST_F(FocusTest, TheFirstWindowShownActivatesTheProgram)
{
    WindowHandle a = make_top("A", Rect{0, 0, 200, 200}, WS_OVERLAPPEDWINDOW);
    take_seen();
    show_window(a, SW_SHOW);
    EXPECT_EQ(take_seen(), (Seen{"A WM_SHOWWINDOW", "A WM_WINDOWPOSCHANGING", "A WM_ACTIVATEAPP",
                               "A WM_NCACTIVATE", "A WM_ACTIVATE", "A WM_SETFOCUS", "A WM_WINDOWPOSCHANGED"}));
}

TEST_F(FocusTest, FocusOnAChildOfAnInactiveWindowActivatesItFirst)
{
    WindowHandle a = make_top("A");
    WindowHandle child = make_child("a1", a, Rect{10, 10, 50, 50});
    make_top("B");
    take_seen();
    set_focus(child);
    EXPECT_EQ(take_seen(), (Seen{"B WM_NCACTIVATE", "B WM_ACTIVATE", "A WM_NCACTIVATE", "A WM_ACTIVATE",
                               "B WM_KILLFOCUS", "A WM_SETFOCUS", "A WM_KILLFOCUS", "a1 WM_SETFOCUS"}));
    EXPECT_EQ(get_active_window(), a);
    EXPECT_EQ(get_focus(), child);
}

TEST_F(FocusTest, AWindowRefusingToDeactivateKeepsActivation)
{
    WindowHandle a = make_top("A");
    WindowHandle b = make_top("B");
    answer = [&](WindowHandle window, uint32_t message, WParam wparam, LParam) -> std::optional<LResult> {
        if (window == b && message == WM_NCACTIVATE && wparam == 0)
            return 0;
        return std::nullopt;
    };
    EXPECT_FALSE(set_active_window(a));
    EXPECT_EQ(get_active_window(), b);
}

TEST_F(FocusTest, ClosingAPopupGivesActivationBackToItsOwner)
{
    WindowHandle owner = make_top("Owner");
    make_top("Other");
    WindowHandle popup = make("Popup", WS_POPUP | WS_CAPTION | WS_VISIBLE, Rect{50, 50, 150, 150}, owner);
    ASSERT_EQ(get_active_window(), popup);
    destroy_window(popup);
    EXPECT_EQ(get_active_window(), owner); // not the window in front of it
    EXPECT_EQ(get_focus(), owner);
}

TEST_F(FocusTest, HidingAFocusedChildGivesTheFocusToItsParent)
{
    WindowHandle a = make_top("A");
    WindowHandle child = make_child("a1", a, Rect{10, 10, 50, 50});
    set_focus(child);
    show_window(child, SW_HIDE);
    EXPECT_EQ(get_focus(), a);
    enable_window(a, false);
    EXPECT_FALSE(get_focus()); // a disabled window loses the focus
}

TEST_F(FocusTest, CaptureChangesAreAnnounced)
{
    WindowHandle a = make_top("A");
    WindowHandle b = make_top("B");
    take_seen();
    EXPECT_FALSE(set_capture(a));
    EXPECT_EQ(set_capture(b), a);
    EXPECT_TRUE(release_capture());
    EXPECT_FALSE(get_capture());
    EXPECT_EQ(take_seen(), (Seen{"A WM_CAPTURECHANGED", "B WM_CAPTURECHANGED"}));
    set_capture(a);
    destroy_window(a);
    EXPECT_FALSE(get_capture());
}

} // namespace
