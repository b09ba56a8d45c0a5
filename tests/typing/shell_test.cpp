// The shell in-process, on a headless 640 x 480 desktop with the program's own pictures and
// font: the menu keys, screens opened and closed, the banner, the help program's window and
// the accelerator. The activities' screens come with later modules; a test registers a plain
// class under a screen's name where it needs one to open.
#include "typing/banner.h"
#include "typing/shell.h"

#include "platform/ime/ime.h"
#include "platform/kernel/process.h"
#include "platform/kernel/resource.h"
#include "platform/window/accel.h"
#include "platform/window/winpos.h"
#include "platform/kernel/path.h"
#include "tests/wintest/wintest_support.h"
#include "tutor_window_test.h"

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class Shell : public TempFolder {
protected:
    plat::WindowHandle main;
    bool started = false;

    void SetUp() override
    {
        TempFolder::SetUp();
        reset_all();
        for (const char* name : {"PNXBMP.FNT", "qktbmp.map", "varnek.exe"})
            fs::create_symlink(STORVEL_BINARY_DIR "/bin/" + std::string(name), path(name));
    }
    void TearDown() override
    {
        if (main_window())
            plat::destroy_window(main_window());
        if (started)
            tutor_shutdown(); // writes into the test's folder
        reset_all();
        TempFolder::TearDown();
    }
    static void reset_all()
    {
        shell_reset();
        bitmap_font_free();
        plat::accel_reset();
        plat::process_reset();
        tutor_state_reset();
    }
    // Starts the tutor up to its menu; the script runs alongside (it keeps going for an hour).
    void start(const std::string& script = "", const std::string& ini = "", plat::Size screen = {640, 480})
    {
        start_intro(script, ini, screen);
        key(plat::VK_RETURN); // the intro ends
        run_for(100);
    }
    void start_intro(const std::string& script = "", const std::string& ini = "", plat::Size screen = {640, 480})
    {
        if (!ini.empty())
            std::ofstream(path("qkt.ini"), std::ios::binary) << ini;
        start_desktop(script, screen);
        ASSERT_TRUE(screen_classes_register());
        ASSERT_EQ(tutor_startup(), 1);
        started = true;
        ASSERT_EQ(main_window_create({}, plat::SW_SHOWNORMAL), 1);
        main = main_window();
        run_for(100);
    }
    void start_desktop(const std::string& script, plat::Size screen = {640, 480})
    {
        tutor_desktop_start(script, screen, path("run.log"));
        tutor_folder_set(path(""));
    }
    void run_for(uint32_t ms)
    {
        uint32_t begin = plat::get_tick_count();
        plat::Msg msg;
        do {
            while (plat::peek_message(msg, {}, 0, 0, plat::PM_REMOVE)) {
                plat::translate_message(msg);
                plat::dispatch_message(msg);
            }
        } while (plat::get_tick_count() - begin < ms);
    }
    void key(uint32_t vk)
    {
        plat::input_key(vk, true);
        run_for(0);
        plat::input_key(vk, false);
        run_for(0);
    }
    void mouse(uint32_t message, int32_t x, int32_t y)
    {
        if (message == plat::WM_MOUSEMOVE)
            plat::input_mouse_move({x, y});
        else
            plat::input_mouse_button(plat::MouseButton::left, message == plat::WM_LBUTTONDOWN, {x, y});
        run_for(0);
    }
    std::vector<std::string> events() { return wintest::events_of(wintest::read_text(path("run.log"))); }
    bool logged(const std::string& line)
    {
        std::vector<std::string> all = events();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
    // A plain stand-in, in place of the real screen where its module exists.
    static void register_screen(const char* class_name)
    {
        plat::unregister_class(class_name, {});
        plat::WindowClass c;
        c.proc = plat::def_window_proc;
        c.class_name = class_name;
        c.background = plat::get_stock_object(plat::WHITE_BRUSH);
        ASSERT_NE(plat::register_class(c), 0);
    }
    static uint32_t pixel(plat::WindowHandle window, int32_t x, int32_t y)
    {
        plat::DcHandle dc = plat::get_dc(window);
        uint32_t value = plat::pixel_from_colorref(plat::get_pixel(dc, x, y));
        plat::release_dc(window, dc);
        return value;
    }
};

TEST_F(Shell, AfterTheIntroTheMenuHasTheFocusAndShowsTheBanner)
{
    start();
    EXPECT_EQ(plat::get_focus(), main);
    EXPECT_TRUE(hot_areas_built());
    EXPECT_TRUE(plat::is_window_visible(banner_window()));
    EXPECT_EQ(screen_current_id(), 0);
}

struct MenuKeyCase {
    const char* name;
    uint32_t vk;
    const char* class_name;
    uint16_t area;
    uint16_t identifier;
};
static const MenuKeyCase kMenuKeyCases[] = {
    {"1: the lessons, on the user's lesson", '1', "QKLesson", 200, 201},
    {"2: short texts", '2', "ShortStory", 301, 301},
    {"3: long texts", '3', "LongStory", 302, 302},
    {"4: statistics", '4', "Stat", 500, 500},
    {"5: the game", '5', "Game", 401, 401},
};

// The key lights its area while it is down and opens the screen as it comes up.
TEST_F(Shell, EachMenuKeyLightsItsAreaAndOpensItsScreenOnKeyUp)
{
    start();
    for (const MenuKeyCase& row : kMenuKeyCases) {
        SCOPED_TRACE(row.name);
        register_screen(row.class_name);
        const HotArea* area = hot_area_by_id(row.area);
        ASSERT_NE(area, nullptr);
        int32_t x = area->rect.left + 20;
        int32_t y = area->rect.top + 20;
        uint32_t normal = pixel(main, x, y);
        plat::input_key(row.vk, true);
        run_for(0);
        EXPECT_NE(pixel(main, x, y), normal); // pressed
        EXPECT_EQ(screen_current(), plat::WindowHandle {});
        plat::input_key(row.vk, false);
        run_for(0);
        ASSERT_TRUE(screen_current());
        EXPECT_EQ(screen_current_id(), row.identifier);
        EXPECT_TRUE(logged(std::string("screen open ") + row.class_name + " " + std::to_string(row.identifier)));
        EXPECT_EQ(plat::get_focus(), screen_current());
        EXPECT_FALSE(plat::is_window_visible(banner_window()));
        screen_close(screen_current());
        run_for(0);
        EXPECT_TRUE(logged(std::string("screen close ") + row.class_name));
        EXPECT_EQ(screen_current_id(), 0);
        EXPECT_EQ(plat::get_focus(), main);
        EXPECT_TRUE(plat::is_window_visible(banner_window()));
        EXPECT_EQ(pixel(main, x, y), normal);
    }
}

// A screen whose class does not exist fails as a failed creation does, and the menu stays
// with its keys working.
TEST_F(Shell, AScreenThatCannotBeMadeLeavesTheMenuAsItWas)
{
    start();
    plat::unregister_class("LongStory", {});
    key('3');
    EXPECT_FALSE(screen_current());
    EXPECT_EQ(screen_current_id(), 0);
    EXPECT_EQ(plat::get_focus(), main);
    EXPECT_TRUE(plat::is_window_visible(banner_window()));
    for (const std::string& line : events())
        EXPECT_EQ(line.rfind("screen open", 0), std::string::npos) << line;
    register_screen("ShortStory");
    key('2');
    EXPECT_EQ(screen_current_id(), 301);
}

TEST_F(Shell, StatisticsAlwaysOpenOnTheFirstTab)
{
    start();
    register_screen("Stat");
    settings_current().StatTab = 503;
    key('4');
    EXPECT_EQ(settings_current().StatTab, 501);
    EXPECT_EQ(screen_current_id(), 500);
}

// A damaged user file may name a lesson that does not exist: the first one opens.
TEST_F(Shell, TheLessonScreenOpensOnTheUsersLessonWithinTheLessons)
{
    static const struct {
        uint32_t lesson;
        uint16_t identifier;
    } kCases[] = {{0, 201}, {5, 206}, {12, 213}, {13, 201}, {0xFFFFFFFF, 201}};
    start();
    register_screen("QKLesson");
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.lesson);
        user_header_set_u32(*user_current(), kHeaderLesson, row.lesson);
        command_dispatch(main, kCmdLessons, 0);
        EXPECT_EQ(screen_current_id(), row.identifier);
    }
}

// The screens share the program's input context: what a screen does to the Hangul mode is
// undone as it closes.
TEST_F(Shell, TheHangulModeOfTheMenuComesBackWhenAScreenCloses)
{
    start();
    register_screen("Game");
    const uint32_t hangul = plat::IME_CMODE_NATIVE;
    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        plat::ImcHandle context = plat::imm_get_context(main);
        plat::imm_set_open_status(context, true);
        plat::imm_set_conversion_status(context, on ? hangul : 0u, 0);
        command_dispatch(main, kCmdGame, 0);
        ASSERT_TRUE(screen_current());
        plat::imm_set_conversion_status(context, on ? 0u : hangul, 0);
        screen_close(screen_current());
        uint32_t conversion = 0;
        uint32_t sentence = 0;
        ASSERT_TRUE(plat::imm_get_conversion_status(context, &conversion, &sentence));
        EXPECT_EQ((conversion & plat::IME_CMODE_NATIVE) != 0, on);
        plat::imm_release_context(main, context);
    }
}

// Opening a screen over another closes the first.
TEST_F(Shell, OneScreenAtATime)
{
    start();
    register_screen("ShortStory");
    register_screen("LongStory");
    plat::WindowHandle first = screen_open(main, 301, "ShortStory");
    ASSERT_TRUE(first);
    plat::WindowHandle second = screen_open(main, 302, "LongStory");
    ASSERT_TRUE(second);
    EXPECT_FALSE(plat::is_window(first));
    EXPECT_TRUE(logged("screen close ShortStory"));
    EXPECT_EQ(screen_current_id(), 302);
    EXPECT_FALSE(screen_open(main, 999, "NoSuchScreen"));
    EXPECT_EQ(screen_current_id(), 0); // the open screen was closed first
}

TEST_F(Shell, TheBannerLightsUnderTheMouseAndItsClickStartsTheHelpProgram)
{
    start();
    ASSERT_EQ(banner_state(), 0);
    mouse(plat::WM_MOUSEMOVE, kBannerX + 50, kBannerY + 20);
    EXPECT_EQ(banner_state(), 1);
    mouse(plat::WM_MOUSEMOVE, 10, 300);
    EXPECT_EQ(banner_state(), 1); // until the hover timer looks
    run_for(kBannerTickMs);
    EXPECT_EQ(banner_state(), 0);
    mouse(plat::WM_MOUSEMOVE, kBannerX + 50, kBannerY + 20);
    mouse(plat::WM_LBUTTONDOWN, kBannerX + 50, kBannerY + 20);
    EXPECT_EQ(banner_state(), 2);
    mouse(plat::WM_LBUTTONUP, kBannerX + 50, kBannerY + 20);
    EXPECT_EQ(banner_state(), 1);
    std::string varnek = plat::path_to_host(path_in_program_folder(kCompanionName));
    EXPECT_TRUE(logged("program started " + plat::log_quote_utf8(varnek)));
}

// The intro's advertisement pane asks the shell for the help program; the intro goes on.
TEST_F(Shell, AClickOnTheIntrosPaneStartsTheHelpProgram)
{
    start_intro();
    mouse(plat::WM_LBUTTONDOWN, 300, 300);
    mouse(plat::WM_LBUTTONUP, 300, 300);
    std::string varnek = plat::path_to_host(path_in_program_folder(kCompanionName));
    EXPECT_TRUE(logged("program started " + plat::log_quote_utf8(varnek)));
    EXPECT_FALSE(hot_areas_built()); // still the intro
    mouse(plat::WM_LBUTTONDOWN, 10, 10); // outside the pane: the intro ends
    run_for(0);
    EXPECT_TRUE(hot_areas_built());
    EXPECT_EQ(plat::get_focus(), main);
}

// A help program already running is brought to the front instead of starting another.
TEST_F(Shell, AHelpWindowThatIsThereIsRestoredAndRaised)
{
    start();
    register_screen("HelpStandIn");
    std::string title = plat::utf8_to_code_page(949, "누리솔 도움말");
    plat::WindowHandle help = plat::create_window_ex(0, "HelpStandIn", title.c_str(),
        plat::WS_OVERLAPPEDWINDOW | plat::WS_VISIBLE, 0, 0, 200, 100, {}, 0, {}, nullptr);
    ASSERT_TRUE(help);
    plat::show_window(help, plat::SW_MINIMIZE);
    plat::set_foreground_window(main);
    run_for(0);
    command_dispatch(main, kCmdBanner, 0);
    run_for(0);
    EXPECT_FALSE(plat::is_iconic(help));
    EXPECT_EQ(plat::get_foreground_window(), help);
    for (const std::string& line : events())
        EXPECT_EQ(line.rfind("program started", 0), std::string::npos) << line;
}

// Cancelling the user dialog ends the program only when no user had been chosen.
TEST_F(Shell, CancellingTheFirstUserDialogEndsTheProgram)
{
    start("wait 300\nkey Esc\n", "[User]\r\nLastSlot=-1\r\n");
    command_dispatch(main, kCmdUsers, 0);
    run_for(0);
    EXPECT_FALSE(main_window());
}

TEST_F(Shell, CancellingTheUserDialogOfAChosenUserKeepsTheMenu)
{
    start("wait 300\nkey Esc\n", "[User]\r\nLastSlot=2\r\n");
    command_dispatch(main, kCmdUsers, 0);
    run_for(0);
    EXPECT_EQ(main_window(), main);
    EXPECT_EQ(settings_current().LastSlot, 2);
}

TEST_F(Shell, TheMainWindowIsCentredOnTheScreen)
{
    static const struct {
        plat::Size screen;
        plat::Rect expected;
    } kCases[] = {
        {{640, 480}, {0, 0, 640, 480}},
        {{800, 600}, {80, 60, 720, 540}},
        {{1024, 768}, {192, 144, 832, 624}},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.screen.cx);
        start("", "", row.screen);
        plat::Rect placed;
        ASSERT_TRUE(plat::get_window_rect(main, placed));
        EXPECT_EQ(placed, row.expected);
        TearDown();
        SetUp();
    }
}

// The screen open as the window closes is remembered for the next run.
TEST_F(Shell, ClosingWithAScreenOpenKeepsItsIdentifierInTheSettings)
{
    start();
    register_screen("Game");
    command_dispatch(main, kCmdGame, 0);
    plat::post_message(main, plat::WM_CLOSE, 0, 0);
    run_for(0);
    EXPECT_FALSE(main_window());
    EXPECT_FALSE(screen_current());
    EXPECT_EQ(settings_current().Job, 401);
    tutor_shutdown();
    started = false;
    std::string ini = wintest::read_text(path("qkt.ini"));
    EXPECT_NE(ini.find("Job=401\r\n"), std::string::npos) << ini;
}

TEST_F(Shell, AClassThatCannotBeRegisteredEndsTheProgramWithItsMessage)
{
    start_desktop("answer OK\n");
    register_screen(kMainClass); // taken: the tutor's own registration fails
    EXPECT_EQ(tutor_win_main({}, {}, "", plat::SW_SHOWNORMAL), 0);
    EXPECT_TRUE(logged("message box \"Error\" \"Error registering window class\" buttons \"OK\""));
    EXPECT_FALSE(main_window());
}

TEST_F(Shell, AltF4IsTheCloseCommand)
{
    start();
    plat::AccelHandle table = plat::load_accelerators({}, "AccTable");
    ASSERT_TRUE(table);
    plat::Msg msg;
    msg.hwnd = main;
    msg.message = plat::WM_SYSKEYDOWN;
    msg.wparam = plat::VK_F4;
    EXPECT_TRUE(plat::translate_accelerator(main, table, msg));
    msg.message = plat::WM_KEYDOWN; // F4 without Alt
    EXPECT_FALSE(plat::translate_accelerator(main, table, msg));
    run_for(0);
    EXPECT_FALSE(main_window()); // 108 closed it
}

} // namespace
