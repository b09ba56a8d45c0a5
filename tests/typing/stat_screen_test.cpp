// The statistics screen on the headless desktop: each recomputation is logged, the bars stand
// on the chart's base line at their scaled heights in today's blue and the total's orange, the
// arrows step through the layout's groups, and Esc closes it.
#include "typing/stat_chart.h"
#include "typing/stat_screen.h"

#include "tutor_window_test.h"

#include <fstream>
#include <sstream>

namespace {

constexpr uint32_t kPlain = 1;

class StatScreenTest : public TutorWindowTest {
protected:
    plat::WindowHandle screen;
    size_t charts_before = 0; // of an earlier run in the same log
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        ASSERT_TRUE(stat_screen_register());
        use_archive({solid_picture("face1.bmp", 40, 40, kPlain), solid_picture("vd-spd.bmp", 640, 480, kPlain),
            solid_picture("spdcode.bmp", 490, 175, kPlain), solid_picture("spdunit.bmp", 70, 185, kPlain),
            solid_picture("spddel1.bmp", 132, 40, kPlain), solid_picture("spddel2.bmp", 132, 40, kPlain),
            solid_picture("iconstat.bmp", 444, 55, 7)});
        hot_area_build();
        auto user = std::make_unique<UserRecord>();
        // The first initial: today speed 1000 (the whole chart), in total 500 (half of it).
        user->today.at(kStatsJamoCorrect + 2) = 1000;
        user->today.at(kStatsJamoTime + 2) = 60000;
        user->total.at(kStatsJamoCorrect + 2) = 1000;
        user->total.at(kStatsJamoTime + 2) = 120000;
        user->today.at(kStatsJamoTyped + 2) = 1000;
        user->total.at(kStatsJamoTyped + 2) = 2000;
        user->today.at(kStatsStrokes) = 500; // half the chart on the 30 days
        user->today.at(kStatsMilliseconds) = 60000;
        user_set_current(std::move(user));
        settings_current().StatTab = kStatTabSpeed;
    }
    void open()
    {
        charts_before = 0;
        charts_before = charts().size();
        screen = plat::create_window_ex(0, kStatClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, 640, 480, host,
            500, {}, nullptr);
        ASSERT_TRUE(screen);
        plat::set_focus(screen);
        run_for(0);
    }
    void command(uint16_t id)
    {
        plat::post_message(screen, plat::WM_COMMAND, id, 0);
        run_for(0);
    }
    std::vector<std::string> charts()
    {
        std::ifstream in(path("run.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            if (line.find("stat chart") != std::string::npos)
                lines.push_back(line.substr(line.find("stat chart")));
        }
        lines.erase(lines.begin(), lines.begin() + std::ptrdiff_t(std::min(charts_before, lines.size())));
        return lines;
    }
    // The height of the bar whose column is x: the rows above the base line in the colour.
    int32_t bar_height(int32_t x, uint32_t colour)
    {
        int32_t height = 0;
        while (height < 200 && window_pixel(screen, x, 355 - height) == colour)
            ++height;
        return height;
    }
};

constexpr uint32_t kBlue = 0x0000FF, kOrange = 0xFB8C00;

TEST_F(StatScreenTest, BarsStandOnTheBaseLineAtTheirScaledHeights)
{
    open();
    EXPECT_EQ(charts(), std::vector<std::string> {"stat chart tab=501 group=0 items=19"});
    EXPECT_EQ(bar_height(92, kBlue), 182); // today's bar ends at x 99
    EXPECT_EQ(bar_height(98, kBlue), 182);
    EXPECT_EQ(bar_height(99, kOrange), 91); // the total's starts there
    EXPECT_EQ(bar_height(105, kOrange), 91);
    EXPECT_EQ(bar_height(106, kOrange), 0);
    EXPECT_EQ(bar_height(99 + 18 - 4, kBlue), 0); // a jamo never typed
    EXPECT_EQ(window_pixel(screen, 475, 188), kBlue); // the legend's swatches
    EXPECT_EQ(window_pixel(screen, 545, 188), kOrange);
    EXPECT_EQ(window_pixel(screen, 225 + 10, 70 + 10), kTestColours[7]); // the tab drawn pressed

    command(kStatTabAccuracy);
    EXPECT_EQ(bar_height(95, kBlue), 182); // accuracy 100 fills the chart
    EXPECT_EQ(bar_height(100, kOrange), 91);
    command(kStatTabDays);
    EXPECT_EQ(charts().back(), "stat chart tab=503 group=0 items=30");
    EXPECT_EQ(bar_height(95, kBlue), 91); // today, the first day of a history
    EXPECT_EQ(bar_height(98, kBlue), 91);
    EXPECT_EQ(bar_height(99, kBlue), 0);
    EXPECT_EQ(bar_height(95 + 16, kBlue), 0);
}

TEST_F(StatScreenTest, TheArrowsStepThroughTheLayoutsGroupsAndEscCloses)
{
    static const struct {
        const char* name;
        int32_t language;
        std::vector<uint16_t> commands;
        std::vector<std::string> expected;
    } kCases[] = {
        {"Korean: over the letters and back", 0, {903, 903, 903, 903, 903, 902, 902},
            {"stat chart tab=501 group=0 items=19", "stat chart tab=501 group=1 items=21",
                "stat chart tab=501 group=2 items=27", "stat chart tab=501 group=4 items=22",
                "stat chart tab=501 group=5 items=13", "stat chart tab=501 group=4 items=22",
                "stat chart tab=501 group=2 items=27"}},
        {"English: back on the letters does nothing", 1, {902, 903, 502},
            {"stat chart tab=501 group=3 items=26", "stat chart tab=501 group=4 items=22",
                "stat chart tab=502 group=3 items=26"}},
        {"the days ignore the arrows", 0, {503, 903, 902},
            {"stat chart tab=501 group=0 items=19", "stat chart tab=503 group=0 items=30"}},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        start_script("");
        settings_current().Language = row.language;
        open();
        for (uint16_t id : row.commands)
            command(id);
        EXPECT_EQ(charts(), row.expected);
        plat::input_key(plat::VK_ESCAPE, true);
        plat::input_key(plat::VK_ESCAPE, false);
        run_for(0);
        EXPECT_FALSE(plat::is_window(screen));
    }
}

} // namespace
