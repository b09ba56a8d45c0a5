#include "platform/window/timer.h"

#include "window_test_support.h"

namespace {

using namespace wintest;

class TimerTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        window = make_top("W");
        pump();
    }

    // The next WM_TIMER get_message hands out: its id and the tick it came at; id 0 when
    // get_message found that nothing can come.
    std::pair<uintptr_t, uint32_t> next_tick()
    {
        Msg msg;
        while (get_message(msg) > 0) {
            if (msg.message == WM_TIMER)
                return {msg.wparam, get_tick_count()};
            dispatch_message(msg);
        }
        return {0, get_tick_count()};
    }

    WindowHandle window;
};

TEST_F(TimerTest, AnIdleGetJumpsToTheNextDueTimer)
{
    uint32_t start = get_tick_count();
    ASSERT_EQ(set_timer(window, 7, 500, nullptr), 7u);
    EXPECT_EQ(next_tick(), std::make_pair(uintptr_t(7), start + 500));
    EXPECT_EQ(next_tick(), std::make_pair(uintptr_t(7), start + 1000));
}

TEST_F(TimerTest, ReArmingTheSameIdReplacesTheTimer)
{
    uint32_t start = get_tick_count();
    set_timer(window, 1, 1000, nullptr);
    clock_advance(600);
    set_timer(window, 1, 1000, nullptr); // starts again: due 1000 ms from now
    EXPECT_EQ(next_tick(), std::make_pair(uintptr_t(1), start + 1600));
    kill_timer(window, 1);
    EXPECT_EQ(next_tick().first, 0u); // one timer only, and it is gone
}

TEST_F(TimerTest, MaximumIntervalsMeanNoTimer)
{
    static const uint32_t kNever[] = {USER_TIMER_MAXIMUM, 0xFFFFFFFC, 0xFFFFFFFF};
    for (uint32_t elapse : kNever) {
        SCOPED_TRACE(elapse);
        ASSERT_NE(set_timer(window, 1, elapse, nullptr), 0u);
        EXPECT_EQ(timer_ms_until_due(), INFINITE);
        Msg msg;
        EXPECT_EQ(get_message(msg), -1); // nothing will come: no wait, no spin
    }
}

TEST_F(TimerTest, ShortIntervalsAreRaisedToTheMinimum)
{
    uint32_t start = get_tick_count();
    set_timer(window, 1, 0, nullptr);
    EXPECT_EQ(next_tick().second, start + USER_TIMER_MINIMUM);
}

TEST_F(TimerTest, ABusyProgramGetsOneTickNotABurst)
{
    set_timer(window, 1, 100, nullptr);
    clock_advance(1000); // ten intervals pass while the program computes
    Msg msg;
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.message, uint32_t(WM_TIMER));
    EXPECT_FALSE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(timer_ms_until_due(), 100u);
}

TEST_F(TimerTest, PeekWithoutRemoveLeavesTheTimerDue)
{
    set_timer(window, 1, 100, nullptr);
    clock_advance(100);
    Msg msg;
    ASSERT_TRUE(peek_message(msg, PM_NOREMOVE));
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.message, uint32_t(WM_TIMER));
}

TEST_F(TimerTest, TimersDueTogetherComeInOrderOfDueTime)
{
    set_timer(window, 1, 150, nullptr);
    set_timer(window, 2, 100, nullptr);
    clock_advance(200);
    EXPECT_EQ(next_tick().first, 2u);
    EXPECT_EQ(next_tick().first, 1u);
}

TEST_F(TimerTest, KillAndDestroyEndTimers)
{
    set_timer(window, 1, 100, nullptr);
    EXPECT_TRUE(kill_timer(window, 1));
    EXPECT_FALSE(kill_timer(window, 1));
    set_timer(window, 2, 100, nullptr);
    destroy_window(window);
    EXPECT_EQ(timer_ms_until_due(), INFINITE);
    EXPECT_EQ(set_timer(window, 3, 100, nullptr), 0u); // the window is gone
}

TEST_F(TimerTest, ThreadTimersGetIdsOfTheirOwn)
{
    uintptr_t first = set_timer({}, 5, 100, nullptr);
    EXPECT_NE(first, 5u);
    EXPECT_EQ(set_timer({}, first, 200, nullptr), first); // re-arms that timer
    uintptr_t second = set_timer({}, 0, 100, nullptr);
    EXPECT_NE(second, first);
    clock_advance(100);
    Msg msg;
    ASSERT_TRUE(peek_message(msg, PM_REMOVE));
    EXPECT_EQ(msg.wparam, second);
    EXPECT_FALSE(msg.hwnd);
}

TEST_F(TimerTest, DueTimesSurviveTheTickWrapping)
{
    clock_set_tick(0xFFFFFF00);
    set_timer(window, 1, 0x200, nullptr);
    EXPECT_EQ(next_tick().second, 0x100u);
}

} // namespace
