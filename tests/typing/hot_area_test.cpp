#include "tutor_window_test.h"

namespace {

constexpr int kTools = 17;
constexpr uint32_t kLit = 3; // green
constexpr uint32_t kPressed = 4; // blue

class HotAreas : public TutorWindowTest {
protected:
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        use_archive({test_picture("icontool.bmp", 2 * kTools * 55, 55,
            [](int x, int) { return x < kTools * 55 ? kLit : kPressed; })});
        ASSERT_FALSE(hot_area_build()); // the menu and tab strips are missing
        host_areas = kMenuAreas;
    }
};

enum class Step { down, up, move_on, move_off };

TEST_F(HotAreas, AClickPostsTheAreaOnlyWhenReleasedOnIt)
{
    static const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> posted;
    } kCases[] = {
        {"click", {Step::down, Step::up}, {"901 0"}},
        {"press, move off, release", {Step::down, Step::move_off, Step::up}, {}},
        {"press off, move on, release", {Step::move_off, Step::down, Step::move_on, Step::up}, {"901 0"}},
        {"a second press gives the press up", {Step::down, Step::down, Step::up}, {}},
        {"release without a press", {Step::up}, {}},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        commands.clear();
        mouse(plat::WM_MOUSEMOVE, 300, 300);
        for (Step step : row.steps) {
            bool on = step != Step::move_off;
            int32_t x = on ? 60 : 300, y = on ? 440 : 300;
            if (step == Step::down)
                mouse(plat::WM_LBUTTONDOWN, x, y);
            else if (step == Step::up)
                mouse(plat::WM_LBUTTONUP, x, y);
            else
                mouse(plat::WM_MOUSEMOVE, x, y);
        }
        EXPECT_EQ(commands, row.posted);
        EXPECT_NE(plat::get_capture(), host);
    }
}

TEST_F(HotAreas, TheAreaLightsUnderTheMouseAndShowsItsPressedLook)
{
    mouse(plat::WM_MOUSEMOVE, 60, 440);
    EXPECT_EQ(window_pixel(host, 45, 425), kTestColours[kLit]);
    EXPECT_EQ(hot_area_current(), hot_area_find(60, 440, kMenuAreas));
    mouse(plat::WM_LBUTTONDOWN, 60, 440);
    EXPECT_EQ(window_pixel(host, 45, 425), kTestColours[kPressed]);
    EXPECT_EQ(plat::get_capture(), host);
    mouse(plat::WM_MOUSEMOVE, 300, 300);
    EXPECT_EQ(hot_area_current(), -1);
    EXPECT_EQ(window_pixel(host, 45, 425), 0xFFFFFFu); // the host's background again
    mouse(plat::WM_LBUTTONUP, 300, 300);
}

TEST_F(HotAreas, AreasThatShareAPlaceAreToldApartByTheLiveList)
{
    static const struct {
        const char* name;
        std::span<const uint16_t> list;
        uint16_t expected;
    } kCases[] = {
        {"menu screen", kMenuAreas, 901},
        {"long text", kLongTextAreas, 3101},
        {"user dialog", kUserDialogAreas, 904},
        {"statistics", kStatisticsAreas, 0},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        int index = hot_area_find(41, 420, row.list);
        const HotArea* expected = row.expected ? hot_area_by_id(row.expected) : nullptr;
        EXPECT_EQ(index < 0 ? nullptr : expected, expected);
        if (index >= 0) {
            EXPECT_EQ(hot_area_by_id(row.expected)->rect, (plat::Rect {40, 419, 95, 474}));
        }
    }
}

TEST_F(HotAreas, TheBackgroundDragsTheWindowOnlyOnAScreenWiderThan640)
{
    static const struct {
        const char* name;
        int32_t screen_width;
        int32_t x, y;
        plat::LResult expected;
    } kCases[] = {
        {"wide screen, background", 1024, 300, 300, plat::HTCAPTION},
        {"wide screen, on a tool", 1024, 60, 440, plat::HTCLIENT},
        {"640 pixels, background", 640, 300, 300, plat::HTCLIENT},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        start_script("", plat::Size {row.screen_width, 768});
        plat::Point at {row.x, row.y};
        plat::client_to_screen(host, at);
        plat::input_mouse_button(plat::MouseButton::left, true, at);
        plat::LResult hit = plat::send_message(host, plat::WM_NCHITTEST, 0, plat::make_lparam(uint32_t(at.x), uint32_t(at.y)));
        EXPECT_EQ(hit, row.expected);
        plat::input_mouse_button(plat::MouseButton::left, false, at);
        run_for(0);
    }
}

} // namespace
