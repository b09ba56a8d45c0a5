#include "platform/kernel/clock.h"
#include "runtime/files/clock.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class ClockTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::clock_use_virtual(1000, 0);
        clock_reset_program_timer();
    }
    void TearDown() override
    {
        plat::clock_reset();
        clock_reset_program_timer();
    }
};

struct StopwatchStep {
    const char* name;
    uint32_t advance_ms; // before the operation
    int operation; // -1: no operation, only the elapsed time is checked
    uint32_t answer;
    uint32_t elapsed; // after the operation
};

TEST_F(ClockTest, StopwatchPausesForEitherReasonAndForTheStoppedFlag)
{
    static const StopwatchStep kSteps[] = {
        { "start answers the start time", 0, kStopwatchStart, 1000, 0 },
        { "running", 50, -1, 0, 50 },
        { "pause bit 0 answers the elapsed time", 0, kStopwatchPause0, 50, 50 },
        { "paused time does not count", 30, -1, 0, 50 },
        { "stopping a paused one changes nothing", 0, kStopwatchStop, 1, 50 },
        { "clearing bit 0 while stopped stays paused", 0, kStopwatchResume0, 1, 50 },
        { "clearing the stopped flag runs it: the new start", 0, kStopwatchUnstop, 1080 - 50, 50 },
        { "runs on", 10, -1, 0, 60 },
        { "clearing a bit that is clear: running", 0, kStopwatchResume1, 0, 60 },
        { "pause bit 1", 5, kStopwatchPause1, 65, 65 },
        { "pause bit 0 as well", 5, kStopwatchPause0, 1, 65 },
        { "clearing bit 1 leaves bit 0", 5, kStopwatchResume1, 1, 65 },
        { "clearing bit 0 runs it", 5, kStopwatchResume0, 1110 - 65, 65 },
    };
    Stopwatch watch;
    for (const StopwatchStep& step : kSteps) {
        SCOPED_TRACE(step.name);
        plat::clock_advance(step.advance_ms);
        if (step.operation >= 0) {
            EXPECT_EQ(clock_stopwatch_control(watch, step.operation), step.answer);
        }
        EXPECT_EQ(clock_stopwatch_elapsed(watch), step.elapsed);
    }
}

TEST_F(ClockTest, StopwatchCountsAcrossTheWrapOfTheClock)
{
    plat::clock_set_tick(0xFFFFFFF0);
    Stopwatch watch;
    clock_stopwatch_control(watch, kStopwatchStart);
    plat::clock_advance(0x30);
    EXPECT_EQ(clock_now_ms(), 0x20u);
    EXPECT_EQ(clock_stopwatch_elapsed(watch), 0x30u);
    EXPECT_EQ(clock_stopwatch_control(watch, kStopwatchStop), 0x30u);
    plat::clock_advance(100);
    EXPECT_EQ(clock_stopwatch_control(watch, kStopwatchUnstop), 0x20u + 100 - 0x30);
    EXPECT_EQ(clock_stopwatch_elapsed(watch), 0x30u);
}

TEST_F(ClockTest, StopwatchElapsedCanBeSetRunningOrPaused)
{
    Stopwatch watch;
    clock_stopwatch_control(watch, kStopwatchStart);
    EXPECT_EQ(clock_stopwatch_set_elapsed(watch, 400), 1000u - 400);
    EXPECT_EQ(clock_stopwatch_elapsed(watch), 400u);
    EXPECT_EQ(clock_stopwatch_fraction(watch, 800), kFixedOne / 2);
    EXPECT_EQ(clock_stopwatch_fraction(watch, 0), kFixedOne);
    clock_stopwatch_control(watch, kStopwatchPause0);
    EXPECT_EQ(clock_stopwatch_set_elapsed(watch, 250), 0u);
    plat::clock_advance(1000);
    EXPECT_EQ(clock_stopwatch_elapsed(watch), 250u);
}

struct CycleCase {
    const char* name;
    uint32_t elapsed;
    int32_t period;
    int32_t scale;
    int32_t limit;
    int result;
    int32_t position; // when result is 0
};

TEST_F(ClockTest, CycleSplitsElapsedTimeIntoPeriodsAndAPosition)
{
    static const CycleCase kCases[] = {
        { "half way through the third period", 2500, 1000, 100, 0, 0, 50 },
        { "below the limit", 2500, 1000, 100, 3, 0, 50 },
        { "limit of whole periods reached", 2500, 1000, 100, 2, 1, 0 },
        { "an exact period end starts the next", 2000, 1000, 100, 3, 0, 0 },
        { "negative scale rounds toward zero", 1, 3, -10, 0, 0, -3 },
        { "positive scale truncates", 1, 3, 10, 0, 0, 3 },
        { "period 0 is one period done", 12345, 0, 100, 0, 0, 0 },
        { "period 0 reaches a limit of 1", 0, 0, 100, 1, 1, 0 },
        { "many short periods: count", 1000003, 7, 7000, 142857, 1, 0 },
        { "many short periods: position", 1000003, 7, 7000, 142858, 0, 3999 },
        { "a period longer than the 16-bit chunk", 100000, 40000, 1000, 3, 0, 500 },
        { "chunked time: position", 64001, 1000, 100000, 65, 0, 99 },
        { "chunked time: every period counts", 64001, 1000, 100000, 64, 1, 0 },
    };
    for (const CycleCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Stopwatch watch { c.elapsed, 1, 0 }; // paused: the value is the elapsed time
        int32_t position = -12345;
        EXPECT_EQ(clock_stopwatch_cycle(watch, c.period, c.scale, c.limit, position), c.result);
        EXPECT_EQ(position, c.result == 0 ? c.position : -12345);
    }
}

TEST_F(ClockTest, TickTimerCarriesIntoTheHighWordAtTheWrap)
{
    plat::clock_set_tick(0xFFFFFF00);
    TickTimer timer;
    util_tick_timer_start(timer);
    EXPECT_EQ(timer.total.high, 0u);
    EXPECT_EQ(timer.total.low, 0xFFFFFF00u);
    plat::clock_advance(0x200);
    U64Value total;
    util_tick_timer_elapsed(timer, total);
    EXPECT_EQ(total.high, 1u);
    EXPECT_EQ(total.low, 0x100u);
    plat::clock_advance(0x80000000u);
    util_tick_timer_elapsed(timer, total);
    EXPECT_EQ(total.high, 1u);
    EXPECT_EQ(total.low, 0x80000100u);
}

TEST_F(ClockTest, ProgramTickTimerStartsAtInit)
{
    clock_init();
    plat::clock_advance(70);
    U64Value total;
    clock_program_elapsed(total);
    EXPECT_EQ(total.low, 1070u);
    clock_term();
}

struct U64Case {
    const char* name;
    U64Value a, b;
    bool ge;
    U64Value sum;
};

TEST(ClockU64, CompareAndAddAsUnsigned64BitValues)
{
    static const U64Case kCases[] = {
        { "equal", { 1, 5 }, { 1, 5 }, true, { 2, 10 } },
        { "high word decides", { 2, 0 }, { 1, 0xFFFFFFFF }, true, { 3, 0xFFFFFFFF } },
        { "low words are unsigned", { 0, 0x80000000 }, { 0, 0x7FFFFFFF }, true, { 0, 0xFFFFFFFF } },
        { "smaller", { 0, 1 }, { 0, 2 }, false, { 0, 3 } },
        { "carry into the high word", { 0, 0xFFFFFFFF }, { 0, 1 }, true, { 1, 0 } },
    };
    for (const U64Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(util_u64_ge(c.a, c.b), c.ge);
        U64Value out;
        util_u64_sum(c.a, out, c.b);
        EXPECT_EQ(out.high, c.sum.high);
        EXPECT_EQ(out.low, c.sum.low);
        U64Value a = c.a;
        util_u64_add(a, c.b);
        EXPECT_EQ(a.high, c.sum.high);
        EXPECT_EQ(a.low, c.sum.low);
    }
}

} // namespace
