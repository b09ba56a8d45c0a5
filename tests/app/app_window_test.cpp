// The main window's procedure: its commands, its system menu, and what it still does after the
// end of the session released the modules.
#include <cstring>
#include <string>

#include "app_fixture.h"
#include "platform/window/input.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/shape.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/metrics.h"
#include "platform/window/styles.h"
#include "platform/window/wndclass.h"
#include "runtime/display/screen_window.h" // kMsgAppActivation
#include "runtime/ui/win_util.h"
#include "runtime/ui/winlist.h"

namespace {

using namespace plat;

class MainWindowTest : public AppFixture {
protected:
    WindowHandle main;

    void SetUp() override
    {
        AppFixture::SetUp();
        main = make_main_window();
        ASSERT_TRUE(main);
        drain();
    }
    static void drain()
    {
        Msg msg;
        while (peek_message(msg, PM_REMOVE)) { }
    }
    static void hold_ctrl(bool down)
    {
        uint8_t keys[256];
        get_keyboard_state(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        set_keyboard_state(keys);
    }
    uint32_t state_of(uint32_t command)
    {
        return get_menu_state(get_system_menu(main, false), command, MF_BYCOMMAND);
    }
};

TEST_F(MainWindowTest, ClassTitleAndStyleAsStartUpMakesThem)
{
    char name[32];
    get_class_name(main, name, sizeof name);
    EXPECT_STREQ(name, "SVXMainClass");
    char title[32];
    get_window_text(main, title, sizeof title);
    EXPECT_STREQ(title, "Storvel");
    uint32_t style = uint32_t(get_window_long(main, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN),
        uint32_t(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN));
    EXPECT_TRUE(is_window_visible(main));
}

TEST_F(MainWindowTest, SystemMenuGetsAboutOnceAndLosesItAtRelease)
{
    MenuHandle menu = get_system_menu(main, false);
    int count = get_menu_item_count(menu);
    EXPECT_EQ(app_sysmenu_init(), 1); // already there: nothing added
    EXPECT_EQ(get_menu_item_count(menu), count);
    EXPECT_EQ(get_menu_item_id(menu, count - 1), kAppAboutCommand);
    EXPECT_EQ(get_menu_state(menu, count - 2, MF_BYPOSITION), uint32_t(MF_SEPARATOR));
    char text[32];
    get_menu_string(menu, kAppAboutCommand, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&About...");
    app_sysmenu_term();
    EXPECT_EQ(get_menu_state(get_system_menu(main, false), kAppAboutCommand, MF_BYCOMMAND), kMenuNoItem);
}

TEST_F(MainWindowTest, SystemMenuNeedsTheMainWindow)
{
    destroy_window(main);
    EXPECT_FALSE(app_main_window());
    EXPECT_EQ(app_sysmenu_init(), 0);
    app_sysmenu_term(); // nothing to give back
}

// Items are enabled by the window's state each time the system menu opens.
struct MenuStateCase {
    const char* name;
    int show; // the window's state
    uint32_t command;
    bool enabled;
};
static const MenuStateCase kMenuStates[] = {
    {"size: no sizing frame", SW_SHOWNORMAL, SC_SIZE, false},
    {"move", SW_SHOWNORMAL, SC_MOVE, true},
    {"minimize", SW_SHOWNORMAL, SC_MINIMIZE, true},
    {"minimize when minimised", SW_MINIMIZE, SC_MINIMIZE, false},
    {"maximize: never on the shells we report", SW_SHOWNORMAL, SC_MAXIMIZE, false},
    {"restore of a normal window", SW_SHOWNORMAL, SC_RESTORE, false},
    {"restore when minimised", SW_MINIMIZE, SC_RESTORE, true},
    {"close", SW_SHOWNORMAL, SC_CLOSE, true},
    {"about", SW_MINIMIZE, kAppAboutCommand, true},
};

TEST_F(MainWindowTest, InitMenuPopupEnablesSystemItemsByTheWindowsState)
{
    for (const MenuStateCase& c : kMenuStates) {
        SCOPED_TRACE(c.name);
        show_window(main, c.show);
        MenuHandle menu = get_system_menu(main, false);
        for (int i = 0; i < get_menu_item_count(menu); i++)
            enable_menu_item(menu, uint32_t(i), uint32_t(MF_BYPOSITION) | MF_GRAYED); // the opposite of most
        send_message(main, WM_INITMENUPOPUP, menu.id, make_lparam(0, 1));
        EXPECT_EQ((state_of(c.command) & MF_GRAYED) == 0, c.enabled);
        show_window(main, SW_RESTORE);
    }
}

TEST_F(MainWindowTest, InitMenuPopupOfAnotherMenuChangesNothing)
{
    MenuHandle menu = get_system_menu(main, false);
    enable_menu_item(menu, SC_CLOSE, MF_GRAYED);
    send_message(main, WM_INITMENUPOPUP, menu.id, make_lparam(0, 0));
    EXPECT_EQ(state_of(SC_CLOSE), uint32_t(MF_GRAYED));
}

// Commands: the Quit command from a menu posts WM_CLOSE; a control's command does not; bit 15
// makes a WM_COMMAND a system command.
struct CommandCase {
    const char* name;
    uint32_t message;
    WParam wparam;
    LParam lparam;
    bool close_posted;
    bool window_gone;
};
static const CommandCase kCommands[] = {
    {"quit from the menu", WM_COMMAND, kAppQuitCommand, 0, true, false},
    {"quit as a system menu item", WM_SYSCOMMAND, kAppQuitCommand, 0, true, false},
    {"a control's command with that id", WM_COMMAND, kAppQuitCommand, 0x1234, false, false},
    {"about does nothing yet", WM_COMMAND, kAppAboutCommand, 0, false, false},
    {"above the menu range", WM_COMMAND, 0x7FF1, 0, false, false},
    {"WM_COMMAND with bit 15 is a system command", WM_COMMAND, SC_CLOSE, 0, false, true},
    {"maximise of a normal window is ignored", WM_SYSCOMMAND, SC_MAXIMIZE, 0, false, false},
};

TEST_F(MainWindowTest, CommandsTakeTheirRoads)
{
    for (const CommandCase& c : kCommands) {
        SCOPED_TRACE(c.name);
        reset_all();
        main = make_main_window();
        drain();
        send_message(main, c.message, c.wparam, c.lparam);
        EXPECT_EQ(waiting(main, WM_CLOSE), c.close_posted);
        EXPECT_EQ(!is_window(main), c.window_gone);
        EXPECT_FALSE(is_zoomed(main));
    }
}

TEST_F(MainWindowTest, RestoreOfAMinimisedWindowIsNotIgnored)
{
    send_message(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(is_iconic(main));
    send_message(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(is_iconic(main));
}

TEST_F(MainWindowTest, CtrlQWithoutAPieceIsTheQuitCommand)
{
    hold_ctrl(true);
    send_message(main, WM_KEYDOWN, 'Q', 0);
    EXPECT_TRUE(waiting(main, WM_CLOSE));
    drain();
    hold_ctrl(false);
    send_message(main, WM_KEYDOWN, 'Q', 0);
    EXPECT_FALSE(waiting(main, WM_CLOSE));
}

TEST_F(MainWindowTest, DoubleClickOnTheMenuBarsSystemGlyphCloses)
{
    Rect frame;
    get_window_rect(main, frame);
    send_message(main, WM_NCLBUTTONDBLCLK, HTMENU, make_lparam(uint32_t(frame.left + 2), uint32_t(frame.top + 30)));
    Msg msg;
    ASSERT_TRUE(peek_message(msg, main, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wparam, WParam(SC_CLOSE));
    send_message(main, WM_NCLBUTTONDBLCLK, HTMENU, make_lparam(uint32_t(frame.left + 200), uint32_t(frame.top + 30)));
    EXPECT_FALSE(waiting(main, WM_SYSCOMMAND));
}

// A child of the main window that notes its activation messages and keeps its own focus
// (answers 1 to the activation message).
class ActiveChildTest : public MainWindowTest {
protected:
    static inline std::vector<std::pair<uint32_t, WParam>> s_told;
    WindowHandle child, inner;

    static LResult child_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
    {
        if (message == kMsgAppActivation || message == WM_NCACTIVATE)
            s_told.push_back({message, wparam});
        if (message == kMsgAppActivation)
            return 1;
        return def_window_proc(window, message, wparam, lparam);
    }
    void SetUp() override
    {
        MainWindowTest::SetUp();
        win_util_reset();
        WindowClass kid;
        kid.proc = child_proc;
        kid.class_name = "Kid";
        ASSERT_NE(register_class(kid), 0);
        child = create_window_ex(0, "Kid", "", WS_CHILD | WS_VISIBLE, 0, 0, 80, 60, main, 1, {}, nullptr);
        inner = create_window_ex(0, "Kid", "", WS_CHILD | WS_VISIBLE, 5, 5, 20, 20, child, 2, {}, nullptr);
        ASSERT_TRUE(inner);
        s_told.clear();
    }
    void TearDown() override
    {
        win_util_reset();
        win_list_reset();
        MainWindowTest::TearDown();
    }
    static std::vector<std::pair<uint32_t, WParam>> take_told()
    {
        std::vector<std::pair<uint32_t, WParam>> out;
        out.swap(s_told);
        return out;
    }
};

TEST_F(ActiveChildTest, TheMainWindowsActivationReachesTheActiveChildOncePerChange)
{
    send_message(main, WM_NCACTIVATE, 0, 0);
    EXPECT_TRUE(take_told().empty()); // no active child yet
    win_activate_child(child, true);
    take_told();
    using Told = std::vector<std::pair<uint32_t, WParam>>;
    send_message(main, WM_NCACTIVATE, 0, 0);
    EXPECT_EQ(take_told(), (Told{{kMsgAppActivation, 0}, {WM_NCACTIVATE, 0}}));
    send_message(main, WM_NCACTIVATE, 0, 0);
    EXPECT_TRUE(take_told().empty());
    send_message(main, WM_NCACTIVATE, 1, 0);
    EXPECT_EQ(take_told(), (Told{{kMsgAppActivation, 1}, {WM_NCACTIVATE, 1}}));

    // A deactivation in favour of a tool window ends at once: the main window stays drawn
    // active and the child hears nothing.
    WindowClass tool_class;
    tool_class.proc = windoid_window_proc;
    tool_class.class_name = "Windoid";
    ASSERT_NE(register_class(tool_class), 0);
    WindowHandle tool = create_window_ex(WS_EX_TOOLWINDOW, "Windoid", "Tools", WS_POPUP | WS_CAPTION, 300, 300, 100,
        80, main, 0, {}, nullptr);
    EXPECT_EQ(send_message(main, WM_NCACTIVATE, 0, LParam(tool.id)), 1);
    EXPECT_TRUE(take_told().empty());
}

// The platform tells every top-level window when the program loses or regains the user: a
// tool window of the main window hides with the program and comes back without taking the
// activation; the active child hears that the main window's frame went inactive.
TEST_F(ActiveChildTest, ToolWindowsFollowTheProgramsActivation)
{
    WindowClass tool_class;
    tool_class.proc = windoid_window_proc;
    tool_class.class_name = "Windoid";
    ASSERT_NE(register_class(tool_class), 0);
    WindowHandle tool = create_window_ex(WS_EX_TOOLWINDOW, "Windoid", "Tools", WS_POPUP | WS_CAPTION | WS_VISIBLE, 300,
        300, 100, 80, main, 0, {}, nullptr);
    ASSERT_TRUE(focus_activate(main, WA_ACTIVE));
    win_activate_child(child, true);
    take_told();

    focus_activate({}, WA_INACTIVE);
    EXPECT_FALSE(is_window_visible(tool));
    std::vector<std::pair<uint32_t, WParam>> told = take_told();
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), (std::pair<uint32_t, WParam>{WM_NCACTIVATE, 0}));

    focus_activate(main, WA_ACTIVE);
    EXPECT_TRUE(is_window_visible(tool));
    EXPECT_EQ(get_active_window(), main);

    // With the main window minimised it stays hidden.
    focus_activate({}, WA_INACTIVE);
    show_window(main, SW_MINIMIZE);
    focus_activate(main, WA_ACTIVE);
    EXPECT_FALSE(is_window_visible(tool));
}

TEST_F(ActiveChildTest, TheFocusGoesBackIntoTheActiveChild)
{
    set_focus(main);
    EXPECT_EQ(get_focus(), main); // no active child: the main window keeps it
    win_activate_child(child, true);
    set_focus(inner);
    set_focus(main); // lost by a window inside the child: it gets it back
    EXPECT_EQ(get_focus(), inner);
    WindowHandle outside = create_window_ex(0, "Kid", "", WS_CHILD | WS_VISIBLE, 100, 0, 20, 20, main, 3, {}, nullptr);
    set_focus(outside);
    set_focus(main); // lost by any other window: the child takes it
    EXPECT_EQ(get_focus(), child);
}

TEST_F(ActiveChildTest, ChangedSettingsReachTheToolWindowMetrics)
{
    NonClientMetrics metrics;
    ASSERT_TRUE(system_parameters_info(SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0));
    int before = windoid_caption_height();
    metrics.sm_caption_height += 6;
    ASSERT_TRUE(system_parameters_info(SPI_SETNONCLIENTMETRICS, metrics.size, &metrics, SPIF_SENDCHANGE));
    EXPECT_EQ(windoid_caption_height(), before + 6);
}

// The glyph is one menu button wide, so a double-click's distance from the bar's left end
// (above) tells whether it hit the glyph; the system box's bar sits in its middle.
TEST_F(MainWindowTest, SystemGlyphIsAMenuButtonWithTheSystemBar)
{
    GdiObject glyph = app_sysmenu_close_bitmap();
    ASSERT_TRUE(glyph);
    BitmapInfo info;
    ASSERT_TRUE(get_object(glyph, info));
    int32_t width = get_system_metrics(SM_CXMENUSIZE);
    int32_t height = get_system_metrics(SM_CYMENUSIZE);
    EXPECT_EQ(info.width, width);
    EXPECT_EQ(info.height, height);
    DcHandle screen = get_dc({});
    DcHandle dc = create_compatible_dc(screen);
    release_dc({}, screen);
    GdiObject old = select_object(dc, glyph);
    int32_t x = (width - 7) / 2;
    int32_t y = (height - 3) / 2;
    EXPECT_EQ(get_pixel(dc, 0, 0), get_sys_color(COLOR_MENU));
    EXPECT_EQ(get_pixel(dc, x, y), 0x000000u);                // outline
    EXPECT_EQ(get_pixel(dc, x + 3, y + 1), 0xFFFFFFu);        // the bar
    EXPECT_EQ(get_pixel(dc, x + 7, y + 3), get_sys_color(COLOR_BTNSHADOW)); // shadow corner
    EXPECT_EQ(get_pixel(dc, x + 8, y + 1), get_sys_color(COLOR_MENU));
    select_object(dc, old);
    delete_dc(dc);
    delete_object(glyph);
}

// After the end of the session the modules are gone: handlers leave them alone, and the window's
// destruction still ends the loop.
TEST_F(MainWindowTest, EndOfSessionReleasesAndLeavesOnlyTheRoadToQuit)
{
    EXPECT_EQ(send_message(main, WM_QUERYENDSESSION, 0, 0), 1);
    send_message(main, WM_ENDSESSION, 0, 0);
    EXPECT_EQ(app_shutdown_done(), 0); // the session goes on
    send_message(main, WM_ENDSESSION, 1, 0);
    EXPECT_EQ(app_shutdown_done(), 1);
    send_message(main, WM_COMMAND, kAppQuitCommand, 0);
    EXPECT_FALSE(waiting(main, WM_CLOSE));
    destroy_window(main);
    EXPECT_FALSE(app_main_window());
    Msg msg;
    EXPECT_EQ(get_message(msg), 0); // WM_QUIT
}

TEST_F(MainWindowTest, F10IsSwallowed)
{
    EXPECT_EQ(send_message(main, WM_SYSKEYDOWN, VK_F10, 0), 0);
    EXPECT_FALSE(waiting(main, WM_SYSCOMMAND));
}

struct OptionCase {
    const char* name;
    const char* keyword;
    const char* line;
    size_t size;
    const char* expected;
};
static const OptionCase kOptions[] = {
    {"word after blanks", "-TARGETWINDOW", "A.V5R -TARGETWINDOW  \t1234 -X", 32, "1234"},
    {"at the end", "-TARGETICON", "-TARGETICON 77", 32, "77"},
    {"absent", "-TARGETICON", "-TARGETWINDOW 5", 32, ""},
    {"case matters", "-TARGETICON", "-targeticon 5", 32, ""},
    {"cut to the buffer", "-T", "-T 123456", 4, "123"},
    {"nothing after it", "-T", "-T   ", 8, ""},
};

TEST(AppCommandLine, OptionCopiesTheWordAfterTheKeyword)
{
    for (const OptionCase& c : kOptions) {
        SCOPED_TRACE(c.name);
        char out[32];
        std::memset(out, 'x', sizeof out);
        app_cmdline_option(c.keyword, c.line, out, c.size);
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(AppMetrics, VirtualScreenIsTheOneScreen)
{
    EXPECT_EQ(app_load_monitor_api(), 0);
    EXPECT_EQ(app_get_system_metrics(SM_XVIRTUALSCREEN), 0);
    EXPECT_EQ(app_get_system_metrics(SM_YVIRTUALSCREEN), 0);
    EXPECT_EQ(app_get_system_metrics(SM_CXVIRTUALSCREEN), get_system_metrics(SM_CXSCREEN));
    EXPECT_EQ(app_get_system_metrics(SM_CYVIRTUALSCREEN), get_system_metrics(SM_CYSCREEN));
    EXPECT_EQ(app_get_system_metrics(SM_CMONITORS), 1);
    EXPECT_EQ(app_get_system_metrics(SM_SAMEDISPLAYFORMAT), 1);
    EXPECT_EQ(app_get_system_metrics(SM_CXBORDER), get_system_metrics(SM_CXBORDER));
}

} // namespace
