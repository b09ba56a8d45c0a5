#include "typing/practice_stats.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct FormulaCase {
    const char* name;
    int32_t first, second;
    int32_t expected;
};

TEST(PracticeStats, SpeedPerMinute)
{
    static const FormulaCase kCases[] = {// strokes, milliseconds
        {"a minute of 300", 300, 60000, 300},
        {"capped at 1000", 100, 1000, 1000},
        {"truncated", 100, 60001, 99},
        {"no strokes", 0, 1000, 0},
        {"negative time", 10, -5, 0},
        {"negative strokes", -10, 5000, 0},
        {"counts of a damaged file", INT_MAX, INT_MAX, 1000},
        {"a long time", 1, INT_MAX, 0},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(speed_per_minute(row.first, row.second), row.expected);
    }
}

TEST(PracticeStats, AccuracyPercent)
{
    static const FormulaCase kCases[] = {// total, correct
        {"two of three", 3, 2, 66},
        {"all", 7, 7, 100},
        {"nothing typed", 0, 5, 0},
        {"nothing correct", 5, 0, 0},
        {"correct x 100 past 32 bits", INT_MAX, INT_MAX, 100},
        {"more correct than typed", 1, INT_MAX, INT_MAX},
        {"negative counts", INT_MIN, INT_MAX, -99},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(accuracy_percent(row.first, row.second), row.expected);
    }
}

TEST(PracticeStats, TheMasksNameTheRealJamo)
{
    int counts[3] = {};
    for (int kind = 0; kind < 3; ++kind) {
        for (int field = -1; field <= 32; ++field)
            counts[kind] += jamo_field_valid(JamoKind(kind), field);
    }
    EXPECT_EQ(counts[kJamoInitial], 19);
    EXPECT_EQ(counts[kJamoMedial], 21);
    EXPECT_EQ(counts[kJamoFinal], 27);
    EXPECT_FALSE(jamo_field_valid(kJamoMedial, 2)); // the fill
    EXPECT_TRUE(jamo_field_valid(kJamoFinal, 17));
    EXPECT_FALSE(jamo_field_valid(kJamoFinal, 18));
}

TEST(PracticeStats, KeystrokesCountRealJamoAndEveryKey)
{
    PracticeStats stats;
    stats.at(kStatsJamoTyped + 2) = 5; // initial ㄱ
    stats.at(kStatsJamoTyped + 1) = 100; // initial fill: not a key
    stats.at(kStatsJamoTyped + 32 + 3) = 7; // medial ㅏ
    stats.at(kStatsJamoTyped + 64 + 1) = 100; // final fill
    stats.at(kStatsKeyTyped) = 2;
    stats.at(kStatsKeyTyped + 62) = 1; // the unused 63rd slot counts too
    EXPECT_EQ(practice_keystrokes(stats), 15);
    stats.at(kStatsKeyTyped + 1) = INT_MAX;
    EXPECT_EQ(practice_keystrokes(stats), INT_MAX);
}

TEST(PracticeStats, AddingSaturatesAndLeavesTheDate)
{
    PracticeStats from;
    PracticeStats to;
    from.at(kStatsTyped) = INT_MAX;
    to.at(kStatsTyped) = 5;
    from.at(kStatsCorrect) = INT_MIN;
    to.at(kStatsCorrect) = -5;
    from.at(kStatsDate) = 7;
    from.at(6) = 7;
    from.at(kStatsJamoCorrect + 95) = 3;
    from.at(kStatsKeyCorrect + 61) = 3;
    from.at(kStatsKeyCorrect + 62) = 3;
    practice_stats_add(from, to);
    EXPECT_EQ(to.at(kStatsTyped), INT_MAX);
    EXPECT_EQ(to.at(kStatsCorrect), INT_MIN);
    EXPECT_EQ(to.at(kStatsDate), 0);
    EXPECT_EQ(to.at(6), 0);
    EXPECT_EQ(to.at(kStatsJamoCorrect + 95), 3);
    EXPECT_EQ(to.at(kStatsKeyCorrect + 61), 3);
    EXPECT_EQ(to.at(kStatsKeyCorrect + 62), 0);
}

TEST(PracticeStats, KeySlots)
{
    EXPECT_EQ(stats_key_slot(' '), 0);
    EXPECT_EQ(stats_key_slot('a'), 1);
    EXPECT_EQ(stats_key_slot('Z'), 26);
    EXPECT_EQ(stats_key_slot('}'), 61);
    EXPECT_EQ(stats_key_slot('~'), 0);
    EXPECT_EQ(stats_key_slot(0xB0), 0);
}

} // namespace
