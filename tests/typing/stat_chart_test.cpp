#include "typing/stat_chart.h"

#include "platform/kernel/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(StrokeWeight, CountsTheFieldsTheMasksAccept)
{
    static const struct {
        const char* name;
        uint16_t code;
        int32_t expected;
    } kCases[] = {
        {"a letter", 'a', 1},
        {"a blank", ' ', 1},
        {"an open syllable (가)", 0x8861, 2},
        {"a closed syllable (각)", 0x8862, 3},
        {"a lone initial with fill medial and final (ㄱ)", 0x8841, 1},
        {"a lone medial (ㅏ)", 0x8461, 1},
        {"all fields fill", 0x8441, 0},
        {"final field 18 is no jamo", 0x8872, 2},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(syllable_stroke_weight(row.code), row.expected);
    }
}

TEST(StatChart, GroupsHoldTheirJamoOrKeys)
{
    static const struct {
        const char* name;
        uint16_t tab;
        int32_t group;
        size_t count;
    } kCases[] = {
        {"initials", kStatTabSpeed, kGroupInitials, 19},
        {"medials", kStatTabAccuracy, kGroupMedials, 21},
        {"finals", kStatTabSpeed, kGroupFinals, 27},
        {"letters", kStatTabAccuracy, kGroupLetters, 26},
        {"digits to '='", kStatTabSpeed, kGroupDigits, 22},
        {"'$' to '}'", kStatTabSpeed, kGroupSymbols, 13},
        {"the days ignore the group", kStatTabDays, kGroupSymbols, 30},
        {"no such group", kStatTabSpeed, 6, 0},
        {"no such tab", 500, kGroupInitials, 0},
    };
    UserRecord user;
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(stat_chart_values(user, row.tab, row.group).size(), row.count);
    }
}

TEST(StatChart, ValuesComeFromTodayAndTheTotal)
{
    UserRecord user;
    // Initial field 2 (the first item): today 1000 correct in a minute, in total half that speed.
    user.today.at(kStatsJamoCorrect + 2) = 1000;
    user.today.at(kStatsJamoTime + 2) = 60000;
    user.today.at(kStatsJamoTyped + 2) = 1000;
    user.total.at(kStatsJamoCorrect + 2) = 1000;
    user.total.at(kStatsJamoTime + 2) = 120000;
    user.total.at(kStatsJamoTyped + 2) = 4000;
    // Final field 29, the last final item; '}' the last symbol key; '=' the last digit key.
    user.today.at(kStatsJamoCorrect + 2 * kJamoFields + 29) = 30;
    user.today.at(kStatsJamoTime + 2 * kJamoFields + 29) = 60000;
    user.total.at(kStatsKeyTyped + 61) = 8;
    user.total.at(kStatsKeyCorrect + 61) = 6;
    user.today.at(kStatsKeyCorrect + 48) = 10;
    user.today.at(kStatsKeyTime + 48) = 6000;

    std::vector<StatItem> speed = stat_chart_values(user, kStatTabSpeed, kGroupInitials);
    EXPECT_EQ(speed[0].today, 1000);
    EXPECT_EQ(speed[0].total, 500);
    EXPECT_EQ(speed[1].today, 0); // never typed
    EXPECT_EQ(speed[1].total, 0);
    std::vector<StatItem> accuracy = stat_chart_values(user, kStatTabAccuracy, kGroupInitials);
    EXPECT_EQ(accuracy[0].today, 100);
    EXPECT_EQ(accuracy[0].total, 25);
    EXPECT_EQ(stat_chart_values(user, kStatTabSpeed, kGroupFinals).back().today, 30);
    EXPECT_EQ(stat_chart_values(user, kStatTabAccuracy, kGroupSymbols).back().total, 75);
    EXPECT_EQ(stat_chart_values(user, kStatTabSpeed, kGroupDigits).back().today, 100);
}

TEST(StatChart, GroupStepsStayInTheLayoutsGroups)
{
    static const struct {
        const char* name;
        uint16_t tab;
        int32_t group;
        int32_t step;
        bool english;
        int32_t expected;
    } kCases[] = {
        {"Korean forward", kStatTabSpeed, 0, 1, false, 1},
        {"Korean steps over the letters forward", kStatTabSpeed, 2, 1, false, 4},
        {"and back", kStatTabAccuracy, 4, -1, false, 2},
        {"Korean back on the first does nothing", kStatTabSpeed, 0, -1, false, 0},
        {"the last group forward does nothing", kStatTabSpeed, 5, 1, false, 5},
        {"English back on the letters does nothing", kStatTabSpeed, 3, -1, true, 3},
        {"English forward", kStatTabAccuracy, 3, 1, true, 4},
        {"English last", kStatTabSpeed, 5, 1, true, 5},
        {"the days ignore the arrows", kStatTabDays, 0, 1, false, 0},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(stat_group_step(row.tab, row.group, row.step, row.english), row.expected);
    }
    EXPECT_EQ(stat_group_first(kStatTabSpeed, false), 0);
    EXPECT_EQ(stat_group_first(kStatTabAccuracy, true), 3);
    EXPECT_EQ(stat_group_first(kStatTabDays, true), 0);
    EXPECT_EQ(stat_label_row(kStatTabDays, 5), 0);
    EXPECT_EQ(stat_label_row(kStatTabSpeed, 5), 6);
}

TEST(StatChart, BarsScaleTo182PixelsAndValuesAboveTheMaximumCountAsNothing)
{
    static const struct {
        const char* name;
        uint16_t tab;
        int32_t value;
        int32_t height;
    } kCases[] = {
        {"speed 1000 fills the chart", kStatTabSpeed, 1000, 182},
        {"accuracy 100 fills the chart", kStatTabAccuracy, 100, 182},
        {"half", kStatTabSpeed, 500, 91},
        {"a day of 999", kStatTabDays, 999, 181},
        {"zero", kStatTabAccuracy, 0, 0},
        {"above the maximum", kStatTabAccuracy, 101, 0},
        {"a damaged negative value", kStatTabSpeed, -5, 0},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(stat_bar_height(row.tab, row.value), row.height);
    }
}

// Each day's practice goes into today's block; the chart brings the history up to date and
// keeps the last 30 days, the newest last.
TEST(StatChart, TheDaysChartFollowsTheCalendar)
{
    plat::clock_use_virtual(0, plat::file_time_from_unix(1767225600, 0)); // 2026-01-01
    UserRecord user;
    for (int day = 0; day < 32; ++day) {
        user.today = {};
        user.today.at(kStatsStrokes) = 100 * (day + 1);
        user.today.at(kStatsMilliseconds) = 60000;
        std::vector<StatItem> days = stat_chart_values(user, kStatTabDays, 0);
        ASSERT_EQ(days.size(), 30u);
        EXPECT_EQ(days[size_t(std::min(day, 29))].today, std::min(1000, 100 * (day + 1)));
        plat::clock_advance(24 * 3600 * 1000);
    }
    user.today = {}; // a day without practice
    std::vector<StatItem> days = stat_chart_values(user, kStatTabDays, 0);
    EXPECT_EQ(days[0].today, 400); // the fourth day is now the oldest
    EXPECT_EQ(days[28].today, 1000);
    EXPECT_EQ(days[29].today, 0);
    plat::clock_reset();
}

} // namespace
