#include "platform/controls/ctl_button.h"

#include "control_test_support.h"

namespace {

using namespace wintest;

class ButtonTest : public ControlTest {};

struct ClickCase {
    const char* name;
    uint32_t style;
    std::vector<uint32_t> checks; // after each of three clicks
};

// What clicking does to the check of each kind: automatic kinds change it, the others leave
// it to the program.
static const ClickCase kClickCases[] = {
    {"push button", BS_PUSHBUTTON, {0, 0, 0}},
    {"check box", BS_CHECKBOX, {0, 0, 0}},
    {"automatic check box", BS_AUTOCHECKBOX, {1, 0, 1}},
    {"automatic three states", BS_AUTO3STATE, {1, 2, 0}},
    {"automatic radio button", BS_AUTORADIOBUTTON, {1, 1, 1}},
};

TEST_F(ButtonTest, ClicksChangeTheCheckOfAutomaticKindsAndNotify)
{
    for (const ClickCase& c : kClickCases) {
        SCOPED_TRACE(c.name);
        WindowHandle button = control(kButtonClass, "Press", c.style, Rect{10, 10, 110, 30}, 40);
        take_notes();
        std::vector<uint32_t> checks;
        for (int i = 0; i < 3; i++) {
            click(button, 20, 10);
            checks.push_back(uint32_t(send_message(button, BM_GETCHECK, 0, 0)));
        }
        EXPECT_EQ(checks, c.checks);
        EXPECT_EQ(take_notes(), (std::vector<std::string>(3, "40 0")));
        destroy_window(button);
    }
}

TEST_F(ButtonTest, APressTakenOffTheButtonClicksNothing)
{
    WindowHandle button = control(kButtonClass, "Press", BS_AUTOCHECKBOX, Rect{10, 10, 110, 30}, 41);
    mouse_down(button, 20, 10);
    EXPECT_EQ(send_message(button, BM_GETSTATE, 0, 0) & BST_PUSHED, LResult(BST_PUSHED));
    mouse_move(button, 300, 10);
    EXPECT_EQ(send_message(button, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    mouse_move(button, 30, 10);
    EXPECT_EQ(send_message(button, BM_GETSTATE, 0, 0) & BST_PUSHED, LResult(BST_PUSHED));
    mouse_move(button, 300, 10);
    mouse_up(button, 300, 10);
    EXPECT_TRUE(take_notes().empty());
    EXPECT_EQ(send_message(button, BM_GETCHECK, 0, 0), 0);
    EXPECT_FALSE(get_capture());
}

TEST_F(ButtonTest, SpaceClicksTheFocusedButtonOnItsRelease)
{
    WindowHandle button = control(kButtonClass, "Press", BS_AUTOCHECKBOX, Rect{10, 10, 110, 30}, 42);
    set_focus(button);
    input_key(VK_SPACE, true);
    pump();
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(send_message(button, BM_GETSTATE, 0, 0), LResult(BST_PUSHED | BST_FOCUS));
    input_key(VK_SPACE, false);
    pump();
    EXPECT_EQ(take_notes(), std::vector<std::string>{"42 0"});
    EXPECT_EQ(send_message(button, BM_GETCHECK, 0, 0), 1);
}

TEST_F(ButtonTest, AnAutomaticRadioButtonUnchecksTheRestOfItsGroupOnly)
{
    WindowHandle a = control(kButtonClass, "A", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, Rect{10, 10, 110, 30}, 1);
    WindowHandle b = control(kButtonClass, "B", BS_AUTORADIOBUTTON, Rect{10, 40, 110, 60}, 2);
    WindowHandle c = control(kButtonClass, "C", BS_AUTORADIOBUTTON, Rect{10, 70, 110, 90}, 3);
    WindowHandle other = control(kButtonClass, "D", BS_AUTORADIOBUTTON | WS_GROUP, Rect{10, 100, 110, 120}, 4);
    send_message(other, BM_SETCHECK, BST_CHECKED, 0);
    click(a, 5, 5);
    click(c, 5, 5);
    EXPECT_EQ(send_message(a, BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(send_message(b, BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(send_message(c, BM_GETCHECK, 0, 0), 1);
    EXPECT_EQ(send_message(other, BM_GETCHECK, 0, 0), 1);
    // The checked radio button of a group is where Tab enters it.
    EXPECT_FALSE(get_window_long(a, GWL_STYLE) & WS_TABSTOP);
    EXPECT_TRUE(get_window_long(c, GWL_STYLE) & WS_TABSTOP);
}

TEST_F(ButtonTest, ADisabledButtonIgnoresClicks)
{
    WindowHandle button = control(kButtonClass, "Press", BS_AUTOCHECKBOX | WS_DISABLED, Rect{10, 10, 110, 30}, 43);
    send_message(button, BM_CLICK, 0, 0);
    click(button, 20, 10);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(send_message(button, BM_GETCHECK, 0, 0), 0);
}

TEST_F(ButtonTest, AnOwnerDrawnButtonIsDrawnByItsParentWithItsState)
{
    WindowHandle button = control(kButtonClass, "", BS_OWNERDRAW, Rect{10, 10, 60, 40}, 44);
    pump();
    ASSERT_FALSE(draws.empty());
    EXPECT_EQ(draws.back().ctl_type, uint32_t(ODT_BUTTON));
    EXPECT_EQ(draws.back().item_action, uint32_t(ODA_DRAWENTIRE));
    EXPECT_EQ(draws.back().rc_item, (Rect{0, 0, 50, 30}));
    draws.clear();
    mouse_down(button, 5, 5);
    ASSERT_FALSE(draws.empty());
    EXPECT_EQ(draws.back().item_state & (ODS_SELECTED | ODS_FOCUS), uint32_t(ODS_SELECTED | ODS_FOCUS));
    mouse_up(button, 5, 5);
    EXPECT_EQ(draws.back().item_state & ODS_SELECTED, 0u);
    EXPECT_EQ(draws.back().item_action, uint32_t(ODA_SELECT));
    EXPECT_EQ(take_notes(), std::vector<std::string>{"44 0"});
}

TEST_F(ButtonTest, TheDefaultPushButtonWearsABlackFrame)
{
    WindowHandle normal = control(kButtonClass, "No", BS_PUSHBUTTON, Rect{10, 10, 90, 33}, 1);
    WindowHandle chosen = control(kButtonClass, "Yes", BS_DEFPUSHBUTTON, Rect{100, 10, 180, 33}, 2);
    pump();
    EXPECT_EQ(client_pixel(normal, 0, 10), sys_pixel(COLOR_3DLIGHT));
    EXPECT_EQ(client_pixel(chosen, 0, 10), sys_pixel(COLOR_WINDOWFRAME));
    EXPECT_EQ(client_pixel(chosen, 1, 10), sys_pixel(COLOR_3DLIGHT));
    EXPECT_EQ(send_message(chosen, WM_GETDLGCODE, 0, 0), LResult(DLGC_BUTTON | DLGC_DEFPUSHBUTTON));
    send_message(chosen, BM_SETSTYLE, BS_PUSHBUTTON, 1);
    EXPECT_EQ(client_pixel(chosen, 0, 10), sys_pixel(COLOR_3DLIGHT));
}

TEST_F(ButtonTest, AGroupBoxTakesNoClicksAndNoFocus)
{
    WindowHandle group = control(kButtonClass, "Group", BS_GROUPBOX, Rect{10, 10, 200, 100}, 45);
    EXPECT_EQ(send_message(group, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
    EXPECT_EQ(send_message(group, WM_GETDLGCODE, 0, 0), LResult(DLGC_STATIC));
    send_message(group, BM_CLICK, 0, 0);
    EXPECT_TRUE(notes.empty());
}

// The parent may destroy a button while it hears of the click that pressed it.
TEST_F(ButtonTest, AButtonDestroyedByItsParentWhileTellingIsLeftAlone)
{
    static const uint32_t kStyles[] = {BS_PUSHBUTTON | BS_NOTIFY, BS_AUTOCHECKBOX, BS_AUTORADIOBUTTON, BS_AUTO3STATE};
    for (uint32_t style : kStyles) {
        for (const char* how : {"click", "space"}) {
            SCOPED_TRACE(std::to_string(style) + " " + how);
            WindowHandle button = control(kButtonClass, "Go", style | WS_TABSTOP, Rect{10, 10, 90, 34}, 80);
            set_focus(button);
            pump();
            clock_advance(1000);
            destroy_on = BN_CLICKED;
            if (std::string(how) == "click")
                click(button, 5, 5);
            else
                press("Space");
            pump();
            destroy_on = -1;
            EXPECT_FALSE(is_window(button));
        }
    }
}

} // namespace
