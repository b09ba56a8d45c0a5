#include "typing/result_dialog.h"

#include "tutor_window_test.h"

#include <fstream>
#include <sstream>

namespace {

TEST(ResultTime, PartsAreJoinedWithoutSeparatorsAndSecondsAlwaysShow)
{
    static const struct {
        const char* name;
        int32_t seconds;
        const char* expected;
    } kCases[] = {
        {"hour, minutes, seconds", 3725, "1 시간2 분5 초"},
        {"nothing", 0, "0 초"},
        {"minutes without hours", 125, "2 분5 초"},
        {"a day and seconds, the zero parts left out", 86400 + 7, "1 일7 초"},
        {"a negative time counts as none", -5, "0 초"},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(result_time_text(row.seconds), row.expected);
    }
}

TEST(ResultFigures, ComeFromTheBlock)
{
    PracticeStats stats;
    stats.at(kStatsTyped) = 40;
    stats.at(kStatsCorrect) = 30;
    stats.at(kStatsStrokes) = 100;
    stats.at(kStatsMilliseconds) = 60999;
    stats.at(kStatsKeyTyped + 1) = 7;
    ResultFigures figures = result_figures(stats);
    EXPECT_EQ(figures.keystrokes, 7);
    EXPECT_EQ(figures.characters, 40);
    EXPECT_EQ(figures.speed, speed_per_minute(100, 60999));
    EXPECT_EQ(figures.accuracy, 75);
    EXPECT_EQ(figures.seconds, 60);
}

class ResultDialog : public TutorWindowTest {
protected:
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        use_archive({solid_picture("vd-ttl.bmp", 340, 240, 5)});
    }
    std::string log_text()
    {
        std::ifstream in(path("run.log"));
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

TEST_F(ResultDialog, EndsOnAClickTheSpaceBarOrAClosingCommandAndLogsItsFigures)
{
    static const struct {
        const char* name;
        const char* script;
    } kCases[] = {
        {"space bar", "wait 50\nkey A\nkey Space\n"},
        {"escape", "wait 50\nkey Esc\n"},
        {"enter", "wait 50\nkey Enter\n"},
        {"click", "wait 50\nclick 300 200\n"},
    };
    PracticeStats stats;
    stats.at(kStatsTyped) = 10;
    stats.at(kStatsCorrect) = 10;
    stats.at(kStatsStrokes) = 25;
    stats.at(kStatsMilliseconds) = 3725000;
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        start_script(row.script);
        EXPECT_EQ(result_dialog_run(host, stats, "\xB4\xDC\xB9\xAE \xBF\xAC\xBD\xC0"), 0); // 단문 연습
        EXPECT_NE(log_text().find("result \"단문 연습\" keystrokes=0 characters=10 speed="
                      + std::to_string(speed_per_minute(25, 3725000)) + " accuracy=100 time=\"1 시간2 분5 초\""),
            std::string::npos)
            << log_text();
    }
}

} // namespace
