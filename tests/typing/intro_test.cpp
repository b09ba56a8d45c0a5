#include "typing/intro.h"

#include "tutor_window_test.h"

namespace {

constexpr uint32_t kBackground = 5; // grey
constexpr uint32_t kPane = 2; // red
constexpr uint32_t kShade = 7; // yellow
constexpr plat::Rect kPaneRect {53, 203, 53 + 40, 203 + 20};

int g_companion_calls = 0;
plat::WindowHandle g_gone;

class Intro : public TutorWindowTest {
protected:
    plat::WindowHandle intro;

    void SetUp() override
    {
        TutorWindowTest::SetUp();
        g_companion_calls = 0;
        g_gone = {};
        use_archive({solid_picture("main-bk.bmp", 640, 480, kBackground),
            test_picture("clock.bmp", 31 * 4, 4, [](int x, int) { return x % 8 < 4 ? 0u : 1u; }),
            test_picture("logo.bmp", 20, 10, [](int x, int) { return x < 2 ? 6u : 4u; }),
            solid_picture("adpane1.bmp", 40, 20, kPane), solid_picture("main-sh.bmp", 10, 10, kShade)});
        tutor_hooks_set(TutorHooks {[] { ++g_companion_calls; }, nullptr,
            [](plat::WindowHandle window) { g_gone = window; }});
        intro = plat::create_window_ex(0, kIntroClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, 640, 480, host,
            0, {}, nullptr);
        ASSERT_TRUE(intro);
        plat::set_focus(intro);
        plat::post_message(intro, plat::WM_COMMAND, 1, 0);
        run_for(0);
    }
    int pane_pixels_shown()
    {
        int shown = 0;
        for (int32_t y = kPaneRect.top; y < kPaneRect.bottom; y += 4) {
            for (int32_t x = kPaneRect.left; x < kPaneRect.right; x += 4)
                shown += window_pixel(intro, x, y) == kTestColours[kPane];
        }
        return shown;
    }
};

TEST_F(Intro, ThePaneIsRevealedTickByTickAndTheTimerStopsAtTick63)
{
    static const struct {
        uint32_t at_ms;
        int pane_blocks_low, pane_blocks_high; // of 50
        bool shade;
        bool ticking;
    } kCases[] = {
        {0, 0, 0, false, true},
        {150 * 10, 10, 10, false, true}, // one block a tick: (40 / 4) x (20 / 4) / 50
        {150 * 49, 49, 49, false, true},
        {150 * 50, 50, 50, true, true},
        {150 * 62, 50, 50, true, true},
        {150 * 63, 50, 50, true, false},
    };
    uint32_t start = plat::get_tick_count();
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.at_ms);
        run_for(row.at_ms + 10 - (plat::get_tick_count() - start));
        int shown = pane_pixels_shown();
        EXPECT_GE(shown, row.pane_blocks_low);
        EXPECT_LE(shown, row.pane_blocks_high);
        EXPECT_EQ(window_pixel(intro, 40, 64) == kTestColours[kShade], row.shade);
        EXPECT_EQ(plat::timer_ms_until_due(intro) != plat::INFINITE, row.ticking);
    }
    EXPECT_EQ(window_pixel(intro, 300, 300), kTestColours[kBackground]);
    // The clock's black pixels let the background through; its white ones show.
    EXPECT_EQ(window_pixel(intro, 640 - 4, 20), kTestColours[kBackground]);
}

TEST_F(Intro, APressOnThePaneAsksForHelpAndAnythingElseEndsTheIntro)
{
    static const struct {
        const char* name;
        bool by_key;
        int32_t x, y;
        uint32_t key;
        int companion_calls;
        bool ends;
    } kCases[] = {
        {"press on the pane", false, 60, 210, 0, 1, false},
        {"Space", true, 0, 0, plat::VK_SPACE, 0, true},
        {"press elsewhere", false, 300, 100, 0, 0, true},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        if (!plat::is_window(intro)) {
            intro = plat::create_window_ex(0, kIntroClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, 640, 480,
                host, 0, {}, nullptr);
            plat::set_focus(intro);
            plat::post_message(intro, plat::WM_COMMAND, 1, 0);
            run_for(0);
        }
        g_companion_calls = 0;
        commands.clear();
        if (row.by_key) {
            plat::input_key(row.key, true);
            plat::input_key(row.key, false);
            run_for(0);
        } else {
            mouse(plat::WM_LBUTTONDOWN, row.x, row.y);
            mouse(plat::WM_LBUTTONUP, row.x, row.y);
        }
        EXPECT_EQ(g_companion_calls, row.companion_calls);
        EXPECT_EQ(plat::is_window(intro), !row.ends);
        EXPECT_EQ(commands, row.ends ? std::vector<std::string> {"911 0"} : std::vector<std::string> {});
        EXPECT_EQ(g_gone == intro, row.ends);
    }
}

TEST_F(Intro, WithoutItsPicturesItStillTicksAndEnds)
{
    plat::destroy_window(intro);
    use_archive({});
    intro = plat::create_window_ex(0, kIntroClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, 640, 480, host, 0,
        {}, nullptr);
    plat::post_message(intro, plat::WM_COMMAND, 1, 0);
    run_for(150 * 64);
    EXPECT_EQ(plat::timer_ms_until_due(intro), plat::INFINITE);
    plat::post_message(intro, plat::WM_COMMAND, 2, 0);
    run_for(0);
    EXPECT_FALSE(plat::is_window(intro));
}

} // namespace
