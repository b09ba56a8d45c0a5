#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "runtime/files/clock.h"
#include "runtime/base/mem.h"
#include "runtime/files/sched.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// A task record as creators make them: the head, then their own data.
struct TestTask {
    ScheduledTask head;
    int tag = 0;
    int answer = kSchedContinue;
};

std::vector<int> g_runs; // tags of the callbacks run, in order
uint32_t g_replace_id = 0; // the task that replace_other replaces

TestTask& as_test(ScheduledTask* task) { return *reinterpret_cast<TestTask*>(task); }

int record_run(ScheduledTask* task)
{
    g_runs.push_back(as_test(task).tag);
    return as_test(task).answer;
}

int slow_run(ScheduledTask* task)
{
    plat::clock_advance(30); // a callback that takes its time
    return record_run(task);
}

int replace_other(ScheduledTask* task)
{
    record_run(task);
    TestTask fresh;
    fresh.tag = 30;
    EXPECT_EQ(sched_add(g_replace_id, &fresh.head, sizeof fresh, record_run, 0, 1), g_replace_id);
    return kSchedContinue;
}

// Re-adds itself under its own id from the scheduler's copy of its record, slower.
int reschedule_self(ScheduledTask* task)
{
    record_run(task);
    uint32_t id = task->task_id;
    EXPECT_EQ(sched_add(id, task, task->record_size, record_run, 500, 1), id);
    return kSchedContinue;
}

int nested_tick(ScheduledTask* task)
{
    record_run(task);
    sched_tick(1);
    return kSchedContinue;
}

int terminate_all(ScheduledTask* task)
{
    record_run(task);
    sched_term();
    return kSchedContinue;
}

int count_task(ScheduledTask*, void* user)
{
    ++*static_cast<int*>(user);
    return kSchedContinue;
}

class SchedTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::clock_use_virtual(1000, 0);
        plat::memory_reset();
        sched_init();
        g_runs.clear();
    }
    void TearDown() override
    {
        sched_term();
        plat::memory_reset();
        plat::clock_reset();
    }

    static uint32_t add(int tag, uint32_t interval, int answer = kSchedContinue, uint16_t mask = 1,
        SchedCallback callback = record_run)
    {
        TestTask task;
        task.tag = tag;
        task.answer = answer;
        return sched_add(0, &task.head, sizeof task, callback, interval, mask);
    }

    static std::vector<int> tick(uint16_t mask = 1)
    {
        g_runs.clear();
        sched_tick(mask);
        return g_runs;
    }

    static int live_tasks()
    {
        int count = 0;
        sched_for_each(count_task, &count);
        return count;
    }
};

using Runs = std::vector<int>;

struct FirstRunCase {
    const char* name;
    uint32_t start_tick;
    uint32_t interval;
    uint32_t first_run; // ms after adding
};

TEST_F(SchedTest, TaskIsFirstDueItsIntervalLess56MsAfterItWasAdded)
{
    static const FirstRunCase kCases[] = {
        { "interval 100 runs 56 ms early", 1000, 100, 44 },
        { "a 1 ms task at tick 0 runs at once", 0, 1, 0 },
        { "interval 0 at tick 0", 0, 0, 0 },
        { "interval 56 at a small tick", 5, 56, 0 },
        { "due time past the wrap", 0xFFFFFFF0, 100, 44 },
        { "added at the last tick before the wrap", 0xFFFFFFFF, 1000, 944 },
        { "half the clock's range away", 0x7FFFFF00, 0x7FFFFF00, 0x7FFFFF00 - 56 },
    };
    for (const FirstRunCase& c : kCases) {
        SCOPED_TRACE(c.name);
        plat::clock_set_tick(c.start_tick);
        sched_init();
        add(1, c.interval);
        EXPECT_EQ(sched_ms_to_next(0), c.first_run);
        if (c.first_run > 0) {
            plat::clock_advance(c.first_run - 1);
            EXPECT_EQ(tick(), Runs {});
            plat::clock_advance(1);
        }
        EXPECT_EQ(tick(), Runs { 1 });
    }
}

TEST_F(SchedTest, ShortTasksRunAtEveryTick)
{
    plat::clock_set_tick(0);
    sched_init();
    TestTask task;
    task.tag = 1;
    sched_add(0, &task.head, sizeof task, record_run, 1, 1);
    EXPECT_EQ(task.head.next_due, 0u); // not 2^32 - 55
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(tick(), Runs { 1 });
}

TEST_F(SchedTest, NextDueCountsFromTheTicksStartNotFromTheCallbacksEnd)
{
    add(1, 100, kSchedContinue, 1, slow_run);
    plat::clock_advance(44);
    EXPECT_EQ(tick(), Runs { 1 }); // started at 1044; the callback ends at 1074
    plat::clock_advance(13);
    EXPECT_EQ(tick(), Runs {});
    plat::clock_advance(1);
    EXPECT_EQ(tick(), Runs { 1 }); // 1044 + 44
}

TEST_F(SchedTest, TasksDueBeforeTheWrapRunAtTheFirstTickAfterIt)
{
    plat::clock_set_tick(0xFFFFFF00);
    add(1, 100, kSchedDelete); // due 0xFFFFFF2C, once
    add(2, 1000); // due 0x2B0, after the wrap
    plat::clock_advance(0x110);
    EXPECT_EQ(clock_now_ms(), 0x10u);
    EXPECT_EQ(tick(), Runs { 1 });
    EXPECT_EQ(sched_ms_to_next(0), 0x2B0u - 0x10u);
    plat::clock_advance(0x2B0 - 0x10);
    EXPECT_EQ(tick(), Runs { 2 });
}

TEST_F(SchedTest, ReplacedTaskIsSkippedAndItsSuccessorRunsInTheSameWalk)
{
    add(10, 0, kSchedContinue, 1, replace_other);
    g_replace_id = add(20, 0);
    EXPECT_EQ(tick(), (Runs { 10, 30 }));
    EXPECT_EQ(live_tasks(), 2);
    EXPECT_EQ(tick(), (Runs { 10, 30 })); // the replacement replaces itself again
    EXPECT_EQ(live_tasks(), 2);
}

TEST_F(SchedTest, TaskReplacedFromItsOwnRecordLeavesOneTask)
{
    uint32_t id = add(7, 0, kSchedContinue, 1, reschedule_self);
    EXPECT_EQ(tick(), Runs { 7 });
    EXPECT_EQ(live_tasks(), 1);
    plat::clock_advance(500 - kSchedEarlyMs);
    EXPECT_EQ(tick(), Runs { 7 }); // the successor, at its own interval
    sched_remove(id);
    EXPECT_EQ(live_tasks(), 0);
}

TEST_F(SchedTest, AnswersOfCallbacksStopTheTickOrDeleteTheTask)
{
    add(1, 100, kSchedStop);
    add(2, 0);
    add(3, 0, kSchedDelete);
    plat::clock_advance(44);
    EXPECT_EQ(tick(), Runs { 1 });
    EXPECT_EQ(tick(), (Runs { 2, 3 }));
    EXPECT_EQ(tick(), Runs { 2 });
    EXPECT_EQ(live_tasks(), 2);
}

TEST_F(SchedTest, TickTellsWhetherAnUnsuspendedTaskRemains)
{
    EXPECT_EQ(sched_tick(1), 0);
    uint32_t id = add(1, 1000, kSchedContinue, 4);
    EXPECT_EQ(sched_tick(1), 1); // not due and of another kind, but waiting
    EXPECT_EQ(g_runs, Runs {});
    sched_remove(id);
    EXPECT_EQ(sched_tick(1), 0);
    add(2, 0, kSchedDelete);
    EXPECT_EQ(sched_tick(1), 0);
    EXPECT_EQ(g_runs, Runs { 2 });

    TestTask held;
    held.head.record_size = sizeof held;
    held.head.callback = record_run;
    held.head.event_mask = 1;
    held.head.suspended = 1;
    EXPECT_NE(sched_add_prebuilt(&held.head), 0u);
    EXPECT_EQ(sched_tick(1), 0);
    EXPECT_EQ(live_tasks(), 1);
}

TEST_F(SchedTest, PrebuiltTaskKeepsItsHeadAndIsDueAtOnce)
{
    uint32_t first = add(1, 5000);
    TestTask task;
    task.tag = 7;
    task.head.record_size = sizeof task;
    task.head.callback = record_run;
    task.head.interval = 500;
    task.head.event_mask = 2;
    EXPECT_EQ(sched_add_prebuilt(&task.head), first + 1);
    EXPECT_EQ(task.head.task_id, first + 1);
    EXPECT_EQ(tick(1), Runs {});
    EXPECT_EQ(tick(2), Runs { 7 });
    plat::clock_advance(443);
    EXPECT_EQ(tick(2), Runs {});
    plat::clock_advance(1);
    EXPECT_EQ(tick(2), Runs { 7 });

    TestTask small;
    small.head.record_size = 20;
    EXPECT_EQ(sched_add_prebuilt(&small.head), 0u);
}

TEST_F(SchedTest, AddRefusesRecordsTooSmallAndATableNotMade)
{
    TestTask task;
    task.head.task_id = 99;
    EXPECT_EQ(sched_add(0, &task.head, sizeof(ScheduledTask) - 1, record_run, 10, 1), 0u);
    EXPECT_EQ(task.head.task_id, 0u);
    sched_term();
    EXPECT_EQ(add(1, 10), 0u);
    EXPECT_EQ(sched_tick(1), 0);
}

TEST_F(SchedTest, ReplacingAnIdThatDoesNotExistAddsTheTaskUnderIt)
{
    TestTask task;
    task.tag = 5;
    EXPECT_EQ(sched_add(40, &task.head, sizeof task, record_run, 0, 1), 40u);
    EXPECT_EQ(add(6, 0), 1u); // ids given by the scheduler go on from their own count
    EXPECT_EQ(tick(), (Runs { 5, 6 }));
}

struct NextCase {
    const char* name;
    uint32_t interval; // 0xFFFFFFFF: no task
    uint32_t suspended;
    uint32_t untrimmed;
    uint32_t trimmed;
};

TEST_F(SchedTest, MsToNextTellsTheIdleLoopHowLongToSleep)
{
    static const NextCase kCases[] = {
        { "no task", 0xFFFFFFFF, 0, 0xFFFFFFFE, 0xFFFFFFFC },
        { "due in 1 ms", 57, 0, 1, 0 },
        { "due in 10 ms", 66, 0, 10, 8 },
        { "due now", 56, 0, 0, 0 },
        { "a suspended task is not waited for", 66, 1, 0xFFFFFFFE, 0xFFFFFFFC },
    };
    for (const NextCase& c : kCases) {
        SCOPED_TRACE(c.name);
        sched_init();
        if (c.interval != 0xFFFFFFFF) {
            TestTask task;
            task.head.record_size = sizeof task;
            task.head.callback = record_run;
            task.head.interval = c.interval;
            task.head.event_mask = 1;
            task.head.suspended = c.suspended;
            sched_add_prebuilt(&task.head); // due at once: run it so its interval counts
            sched_tick(0xFFFF);
        }
        EXPECT_EQ(sched_ms_to_next(0), c.untrimmed);
        EXPECT_EQ(sched_ms_to_next(1), c.trimmed);
    }
    EXPECT_GE(sched_ms_to_next(1), plat::USER_TIMER_MAXIMUM);
}

TEST_F(SchedTest, DueTaskOfAnotherKindStaysDueHoweverLongItWaits)
{
    add(1, 0, kSchedContinue, 2);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(tick(1), Runs {});
        plat::clock_advance(0x7FFFFF00);
    }
    EXPECT_EQ(tick(2), Runs { 1 }); // overdue by almost 2^32 ms: must not read as the future
}

TEST_F(SchedTest, NestedTickDoesNotReenterTheRunningTaskNorMoveTheTable)
{
    add(9, 0, kSchedDelete); // deleted before the nested tick: purged only after the outer one
    add(1, 0, kSchedContinue, 1, nested_tick);
    add(2, 0);
    EXPECT_EQ(tick(), (Runs { 9, 1, 2, 2 }));
    EXPECT_EQ(tick(), (Runs { 1, 2, 2 }));
}

TEST_F(SchedTest, TermFromACallbackWaitsForTheWalkToEnd)
{
    add(1, 0, kSchedContinue, 1, terminate_all);
    add(2, 0);
    EXPECT_EQ(tick(), Runs { 1 });
    EXPECT_EQ(live_tasks(), 0);
    EXPECT_EQ(add(3, 0), 0u);
}

plat::LResult quiet_proc(
    plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    return plat::def_window_proc(window, message, wparam, lparam);
}

class SchedWakeTest : public SchedTest {
protected:
    void SetUp() override
    {
        SchedTest::SetUp();
        plat::backend_set(nullptr);
        plat::window_system_reset();
        plat::WindowClass window_class;
        window_class.proc = quiet_proc;
        window_class.class_name = "SchedWake";
        ASSERT_NE(plat::register_class(window_class), 0);
        top = plat::create_window_ex(
            0, "SchedWake", "Top", plat::WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, {}, 0, {}, nullptr);
        ASSERT_TRUE(top);
    }
    void TearDown() override
    {
        plat::window_system_reset();
        SchedTest::TearDown();
    }

    bool wake_timer_message()
    {
        plat::Msg msg;
        return plat::peek_message(msg, top, plat::WM_TIMER, plat::WM_TIMER, plat::PM_REMOVE)
            && msg.wparam == kSchedWakeTimerId;
    }

    plat::WindowHandle top;
};

TEST_F(SchedWakeTest, NoTaskArmsNoTimer)
{
    EXPECT_EQ(sched_arm_wake_timer(top, sched_ms_to_next(1)), 1);
    EXPECT_EQ(plat::timer_ms_until_due(top), plat::INFINITE);

    uint32_t id = add(1, 556);
    EXPECT_EQ(sched_arm_wake_timer(top, sched_ms_to_next(1)), 1);
    EXPECT_EQ(plat::timer_ms_until_due(top), 498u);
    plat::clock_advance(498);
    EXPECT_TRUE(wake_timer_message());

    sched_remove(id);
    sched_tick(1);
    EXPECT_EQ(sched_arm_wake_timer(top, sched_ms_to_next(1)), 1);
    EXPECT_EQ(plat::timer_ms_until_due(top), plat::INFINITE);
    EXPECT_FALSE(plat::kill_timer(top, kSchedWakeTimerId)); // killed, not armed for ever
    plat::clock_advance(100000);
    EXPECT_FALSE(wake_timer_message());
}

TEST_F(SchedWakeTest, PostedWakeArrivesAtOnce)
{
    EXPECT_EQ(sched_post_wake(top), 1);
    EXPECT_TRUE(wake_timer_message());
    EXPECT_EQ(sched_post_wake(plat::WindowHandle { 0x7777 }), 0);
}

} // namespace
