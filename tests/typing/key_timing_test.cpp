#include "typing/key_timing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TimedStep {
    uint32_t at; // ms since the clock started
    uint16_t code; // Johab
    bool interim;
};

// Each row types steps and checks the times the last final step gets.
TEST(KeyTiming, IntervalsGoToTheFieldsOfTheFinishedCharacter)
{
    constexpr uint16_t g = 0x8841, gg = 0x8C41, ga = 0x8861, kka = 0x8C61, gak = 0x8862, go = 0x89A1, gwa = 0x89C1;
    constexpr uint16_t a_jamo = 0x8461;
    static const struct {
        const char* name;
        std::vector<TimedStep> steps;
        KeyTimes expected;
        uint32_t clock_after; // where the next interval starts
    } kCases[] = {
        {"각 step by step", {{100, g, true}, {300, ga, true}, {600, gak, true}, {1000, gak, false}}, {100, 200, 300}, 600},
        {"a compound vowel takes two steps", {{100, g, true}, {300, go, true}, {600, gwa, true}, {700, gwa, false}},
            {100, 500, 0}, 600},
        {"an initial typed twice (390) takes two steps", {{100, g, true}, {150, gg, true}, {350, kka, true}, {400, kka, false}},
            {150, 200, 0}, 350},
        {"steps of the next syllable stay in the ring", {{100, g, true}, {300, ga, true}, {600, gak, true}, {900, ga, false}},
            {100, 200, 0}, 600},
        {"a ring that runs out restarts the clock", {{100, ga, true}, {500, gak, false}}, {100, 0, 0}, 500},
        {"typed without composing: the initial", {{250, ga, false}}, {250, 0, 0}, 250},
        {"a letter", {{40, 'a', false}}, {40, 0, 0}, 40},
        {"a lone vowel's time is its medial's", {{70, a_jamo, false}}, {0, 70, 0}, 70},
        {"an interval is at most 2000 ms", {{2500, 'a', false}}, {2000, 0, 0}, 2500},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        KeyTiming timing;
        key_timing_restart(timing, 1000);
        KeyTimes last;
        for (const TimedStep& step : c.steps) {
            if (step.interim)
                key_timing_interim(timing, 1000 + step.at, step.code);
            else
                last = key_timing_final(timing, 1000 + step.at, step.code);
        }
        EXPECT_EQ(last.initial_ms, c.expected.initial_ms);
        EXPECT_EQ(last.medial_ms, c.expected.medial_ms);
        EXPECT_EQ(last.final_ms, c.expected.final_ms);
        EXPECT_EQ(timing.last_key, 1000 + c.clock_after);
    }
}

TEST(KeyTiming, TheRingKeepsTheLastTen)
{
    KeyTiming timing;
    key_timing_restart(timing, 0);
    for (uint32_t i = 1; i <= 12; i++)
        key_timing_interim(timing, i * 10 + (i == 3 ? 5 : 0), 0x8841);
    EXPECT_EQ(timing.count, kKeyRingSize);
    KeyTimes times = key_timing_final(timing, 200, 0x8841);
    EXPECT_EQ(times.initial_ms, 15) << "the oldest two gave way: the third step (35 - 20) is the first";
}

} // namespace
