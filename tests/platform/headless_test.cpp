#include "platform/backend/headless.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <png.h>
#include <sstream>
#include <unistd.h>

#include "platform/kernel/process.h"
#include "window_test_support.h"

namespace {

using namespace wintest;

class HeadlessTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        char pattern[] = "/tmp/plat-headless-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }

    void TearDown() override
    {
        log_close();
        process_reset();
        std::filesystem::remove_all(folder);
        WindowTest::TearDown();
    }

    void start(const std::string& script, HeadlessOptions options = {})
    {
        std::vector<ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(script_parse(script, commands, error)) << error;
        ASSERT_TRUE(headless_start_with(options, commands, error)) << error;
    }

    // A program's loop: dispatches until get_message answers 0 or -1; notes when things came.
    int run_loop(bool ignore_quit = false)
    {
        Msg msg;
        for (int guard = 0; guard < 100000; guard++) {
            int got = get_message(msg);
            if (got < 0 || (got == 0 && !ignore_quit))
                return got;
            if (got == 0) {
                quit_ticks.push_back(get_tick_count());
                continue;
            }
            if (msg.message == WM_LBUTTONDOWN)
                click_ticks.push_back(get_tick_count());
            if (msg.message == WM_TIMER)
                timer_count++;
            translate_message(msg);
            dispatch_message(msg);
        }
        return 99;
    }

    std::string folder;
    std::vector<uint32_t> click_ticks;
    std::vector<uint32_t> quit_ticks;
    int timer_count = 0;
};

TEST_F(HeadlessTest, AnIdleProgramRunsTheScriptAndIsThenClosed)
{
    start("wait 300\nclick 250 250\nwait 200\n");
    WindowHandle window = make_top("W", Rect{100, 100, 400, 300});
    EXPECT_EQ(run_loop(), 0);
    EXPECT_EQ(click_ticks, std::vector<uint32_t>{300});
    EXPECT_FALSE(is_window(window)); // closed as by its close box when the script ended
    EXPECT_EQ(get_tick_count(), 500u);
}

TEST_F(HeadlessTest, AProgramIgnoringTheQuitFindsGetMessageFailing)
{
    start("");
    answer = [](WindowHandle, uint32_t message, WParam, LParam) -> std::optional<LResult> {
        return message == WM_CLOSE ? std::optional<LResult>(0) : std::nullopt; // refuses to close
    };
    WindowHandle window = make_top("W");
    EXPECT_EQ(run_loop(true), -1);
    EXPECT_EQ(quit_ticks, std::vector<uint32_t>{0});
    EXPECT_TRUE(is_window(window));
}

TEST_F(HeadlessTest, TimersKeepAProgramGoingOnlyUntilTheGraceEnds)
{
    start("");
    answer = [](WindowHandle, uint32_t message, WParam, LParam) -> std::optional<LResult> {
        return message == WM_CLOSE ? std::optional<LResult>(0) : std::nullopt;
    };
    WindowHandle window = make_top("W");
    set_timer(window, 1, 1000, nullptr);
    EXPECT_EQ(run_loop(true), -1);
    EXPECT_EQ(quit_ticks, std::vector<uint32_t>{kHeadlessGraceMs});
    EXPECT_EQ(get_tick_count(), 2 * kHeadlessGraceMs);
    EXPECT_EQ(timer_count, int(2 * kHeadlessGraceMs / 1000));
}

TEST_F(HeadlessTest, BusyPeekLoopsSeeTimePassAndScriptInput)
{
    start("wait 100\nclick 250 250\n");
    make_top("W", Rect{100, 100, 400, 300});
    bool clicked = false;
    Msg msg;
    while (get_tick_count() < 500) { // a wait loop on the clock, as the programs write them
        if (!peek_message(msg, PM_REMOVE))
            continue;
        clicked = clicked || msg.message == WM_LBUTTONDOWN;
        dispatch_message(msg);
    }
    EXPECT_TRUE(clicked);
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    uint32_t at(int x, int y) const
    {
        size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2];
    }
};

static bool read_png(const std::string& path, Picture& out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    out.width = int(image.width);
    out.height = int(image.height);
    return png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

TEST_F(HeadlessTest, ShotsOfTheScreenAndOfOneWindow)
{
    HeadlessOptions options;
    options.screen = Size{640, 480};
    start("", options);
    WindowHandle window = make_top("Shot Me", Rect{100, 100, 400, 300});
    pump();
    fill_client(window, rgb(255, 0, 0));
    std::string error;
    ASSERT_TRUE(headless_shot(folder + "/deep/screen.png", "", error)) << error;
    ASSERT_TRUE(headless_shot(folder + "/window.png", "shot me", error)) << error;
    Picture screen, single;
    ASSERT_TRUE(read_png(folder + "/deep/screen.png", screen));
    ASSERT_TRUE(read_png(folder + "/window.png", single));
    EXPECT_EQ(screen.width, 640);
    EXPECT_EQ(screen.height, 480);
    EXPECT_EQ(screen.at(5, 5), 0x008080u);        // the desktop
    EXPECT_EQ(screen.at(200, 200), 0xFF0000u);    // the client area
    EXPECT_EQ(screen.at(200, 110), 0x000080u);    // the active caption
    EXPECT_EQ(single.width, 300);
    EXPECT_EQ(single.height, 200);
    EXPECT_EQ(single.at(100, 100), 0xFF0000u);
    EXPECT_FALSE(headless_shot(folder + "/none.png", "Nobody", error));
    EXPECT_EQ(error, "shot: no visible window titled \"Nobody\"");
    EXPECT_FALSE(std::filesystem::exists(folder + "/none.png"));
}

static std::string read_text(const std::string& path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST_F(HeadlessTest, TheLogRecordsWindowsAndProgramsStartedWithoutStartingThem)
{
    HeadlessOptions options;
    options.log_path = folder + "/run.log";
    start("", options);
    WindowHandle window = make_top("Main \"1\"");
    make_child("Child", window, Rect{0, 0, 10, 10}); // children are not logged
    clock_advance(40);
    show_window(window, SW_HIDE);
    std::string marker = folder + "/started";
    ProcessHandle process = process_start({"/bin/sh", "-c", "touch " + marker}, "");
    process_close(process);
    destroy_window(window);
    log_close();
    EXPECT_EQ(read_text(options.log_path), "0 window shown \"Main \\\"1\\\"\"\n"
                                           "40 window hidden \"Main \\\"1\\\"\"\n"
                                           "40 program started \"/bin/sh\" \"-c\" \"touch " + marker + "\"\n"
                                           "40 window closed \"Main \\\"1\\\"\"\n");
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(HeadlessTest, ScreenSettingsFromTheEnvironment)
{
    struct ScreenCase {
        const char* value;
        bool valid;
        Size size;
        int bits;
    };
    const ScreenCase cases[] = {
        {"800x600", true, {800, 600}, 32},
        {"800x600x16", true, {800, 600}, 16},
        {"640x480x8", true, {640, 480}, 8},
        {"640x480x4", true, {640, 480}, 4},
        {"640x480x1", true, {640, 480}, 1},
        {"640x480x2", false, {}, 0},
        {"10x10", false, {}, 0},
        {"800x600x7", false, {}, 0},
        {"800", false, {}, 0},
        {"800x600x32x", false, {}, 0},
        {"99999x600", false, {}, 0},
    };
    for (const ScreenCase& c : cases) {
        SCOPED_TRACE(c.value);
        setenv("PLAT_SCREEN", c.value, 1);
        HeadlessOptions options;
        std::string error;
        EXPECT_EQ(headless_options_from_environment(options, error), c.valid);
        if (c.valid) {
            EXPECT_EQ(options.screen, c.size);
            EXPECT_EQ(options.bits_per_pixel, c.bits);
        } else {
            EXPECT_NE(error.find("PLAT_SCREEN"), std::string::npos);
        }
    }
    unsetenv("PLAT_SCREEN");
}

TEST_F(HeadlessTest, StartRefusesABadScriptFileOrLog)
{
    HeadlessOptions options;
    options.script_path = folder + "/missing.script";
    std::string error;
    EXPECT_FALSE(headless_start(options, error));
    EXPECT_EQ(error, "PLAT_SCRIPT: cannot read " + options.script_path);
    std::ofstream(folder + "/bad.script") << "wait 1\nfly\n";
    options.script_path = folder + "/bad.script";
    EXPECT_FALSE(headless_start(options, error));
    EXPECT_EQ(error, "PLAT_SCRIPT: " + options.script_path + ", line 2: unknown command fly");
    options.script_path.clear();
    options.log_path = folder + "/no/such/folder/log";
    EXPECT_FALSE(headless_start(options, error));
    EXPECT_NE(error.find("PLAT_LOG"), std::string::npos);
}

TEST_F(HeadlessTest, TheScreenSizeReachesMetricsAndTheDesktop)
{
    HeadlessOptions options;
    options.screen = Size{800, 600};
    start("", options);
    EXPECT_EQ(get_system_metrics(SM_CXSCREEN), 800);
    EXPECT_EQ(get_system_metrics(SM_CYSCREEN), 600);
    Rect desktop;
    get_window_rect(get_desktop_window(), desktop);
    EXPECT_EQ(desktop, (Rect{0, 0, 800, 600}));
}

TEST_F(HeadlessTest, ADepthCommandChangesTheDepthAndTellsEveryTopLevelWindow)
{
    HeadlessOptions options;
    options.screen = Size{640, 480};
    options.bits_per_pixel = 8;
    start("wait 10\ndepth 4\nwait 10\ndepth 32\n", options);
    struct Heard {
        WindowHandle window;
        WParam bits;
        LParam size;
        int screen_bits; // what the screen reported while the message was handled
    };
    static std::vector<Heard> heard;
    heard.clear();
    answer = [](WindowHandle window, uint32_t message, WParam wparam, LParam lparam) -> std::optional<LResult> {
        if (message != WM_DISPLAYCHANGE)
            return std::nullopt;
        DcHandle dc = get_dc(WindowHandle{});
        heard.push_back({window, wparam, lparam, get_device_caps(dc, BITSPIXEL)});
        release_dc(WindowHandle{}, dc);
        return 0;
    };
    WindowHandle first = make_top("A");
    WindowHandle second = make_top("B");
    DcHandle dc = get_dc(first);
    EXPECT_EQ(get_device_caps(dc, BITSPIXEL), 8);
    release_dc(first, dc);
    run_loop();
    ASSERT_EQ(heard.size(), 4u);
    for (size_t i = 0; i < heard.size(); i++) {
        SCOPED_TRACE(i);
        WParam bits = i < 2 ? 4 : 32;
        EXPECT_EQ(heard[i].bits, bits);
        EXPECT_EQ(heard[i].screen_bits, int(bits));
        EXPECT_EQ(heard[i].size, make_lparam(640, 480));
    }
    std::vector<WindowHandle> windows{heard[0].window, heard[1].window};
    EXPECT_TRUE((windows == std::vector<WindowHandle>{first, second} || windows == std::vector<WindowHandle>{second, first}));
}

TEST_F(HeadlessTest, DepthChangesWithoutTheHeadlessBackendAreRefused)
{
    EXPECT_FALSE(headless_set_depth(8)); // no backend running
    start("");
    EXPECT_FALSE(headless_set_depth(7));
    EXPECT_TRUE(headless_set_depth(1));
}

} // namespace
