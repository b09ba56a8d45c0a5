// The idle loop over the program's own message loop on the virtual clock: an engine with
// nothing to do sleeps in get_message, and a due task wakes it once through timer 2.
#include "engine_fixture.h"

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/window/defproc.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "runtime/app/app.h"

namespace enginetest {
namespace {

constexpr uintptr_t kEndTimer = 99;
constexpr uint32_t kTenMinutes = 600000;

// Time as the headless backend keeps it, without a script: a wait jumps to what is due, a peek
// that finds nothing lets 1 ms pass, and a wait for nothing ends the program.
class ClockBackend : public plat::Backend {
public:
    const char* name() const override { return "clock"; }
    plat::Size screen_size() const override { return {640, 480}; }
    int screen_bits_per_pixel() const override { return 32; }
    void window_changed(plat::WindowHandle, plat::WindowChange) override {}
    void surface_changed(plat::WindowHandle, const plat::Rect&) override {}
    void cursor_changed(plat::CursorHandle) override {}
    void cursor_moved(plat::Point) override {}
    bool wait(uint32_t max_ms) override
    {
        if (max_ms == plat::INFINITE)
            return false;
        plat::clock_advance(std::max(1u, max_ms));
        return true;
    }
    void poll() override { plat::clock_advance(1); }
};

struct LoopWatch {
    plat::WindowHandle window;
    std::vector<uint32_t> wakes; // ticks of timer 2's messages
    uint64_t passes_at_end = 0;
    uint32_t start = 0;
};
LoopWatch g_loop;

plat::LResult watch_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    if (message == plat::WM_TIMER && wparam == kSchedWakeTimerId)
        g_loop.wakes.push_back(plat::get_tick_count() - g_loop.start);
    if (message == plat::WM_TIMER && wparam == kEndTimer) {
        g_loop.passes_at_end = exec_idle_pass_count();
        plat::kill_timer(window, kEndTimer);
        plat::post_quit_message(0);
    }
    return plat::def_window_proc(window, message, wparam, lparam);
}

class IdleLoopTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        plat::clock_use_virtual(1000, 0);
        plat::backend_set(std::make_unique<ClockBackend>());
        plat::window_system_reset();
        app_reset();
        g_loop = {};
        plat::WindowClass watch;
        watch.proc = watch_proc;
        watch.class_name = "Watch";
        ASSERT_NE(plat::register_class(watch), 0);
        g_loop.window = plat::create_window_ex(0, "Watch", "Watch", plat::WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, {}, 0, {}, nullptr);
        ASSERT_TRUE(g_loop.window);
        PieceHooks hooks = piece_hooks();
        hooks.main_window = [] { return g_loop.window; };
        piece_set_hooks(&hooks);
        g_loop.start = plat::get_tick_count();
        plat::set_timer(g_loop.window, kEndTimer, kTenMinutes, nullptr);
    }
    void TearDown() override
    {
        piece_close(0);
        app_reset();
        plat::window_system_reset();
        plat::backend_set(nullptr);
        plat::clock_reset();
        EngineTest::TearDown();
    }
};

TEST_F(IdleLoopTest, EndedPieceRunsNoPassUntilAMessageComes)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    EXPECT_EQ(app_run_message_loop(), 0);
    EXPECT_TRUE(exec_piece_ended());
    // The walk's passes, each step one, then the idle one; nothing in ten minutes.
    EXPECT_LE(g_loop.passes_at_end, 20u);
    EXPECT_EQ(exec_idle_pass_count(), g_loop.passes_at_end); // the quit waits after the end timer
    EXPECT_EQ(g_loop.wakes.size(), 1u); // the piece's start; none armed after
    EXPECT_GE(plat::get_tick_count() - g_loop.start, kTenMinutes);
}

int g_task_runs = 0;
int note_run(ScheduledTask*)
{
    g_task_runs++;
    return kSchedDelete;
}

TEST_F(IdleLoopTest, TaskDueIn500MsArmsTimer2For498MsAndWakesOnce)
{
    g_task_runs = 0;
    ScheduledTask task;
    // Due 500 ms from now: tasks run their early margin before the interval has passed.
    ASSERT_NE(sched_add(0, &task, sizeof task, note_run, 500 + kSchedEarlyMs, 0xFFFF), 0u);
    plat::post_message(g_loop.window, plat::WM_NULL, 0, 0);
    EXPECT_EQ(app_run_message_loop(), 0);
    EXPECT_EQ(g_task_runs, 1);
    EXPECT_EQ(g_loop.wakes, (std::vector<uint32_t> {498}));
    // Woken once: the pass that found the task due, then nothing more until the end.
    EXPECT_EQ(exec_idle_pass_count(), g_loop.passes_at_end);
}

// A plug-in event queued while the loop sleeps wakes it once: one WM_TIMER until the next pass.
TEST_F(IdleLoopTest, WakeIsPostedOncePerIdlePeriod)
{
    ASSERT_EQ(exec_idle_pass(kAllTaskKinds), 1);
    exec_wake_idle();
    exec_wake_idle();
    int timers = 0;
    plat::Msg msg;
    while (plat::peek_message(msg, plat::PM_REMOVE))
        timers += msg.message == plat::WM_TIMER && msg.wparam == kSchedWakeTimerId;
    EXPECT_EQ(timers, 1);
}

} // namespace
} // namespace enginetest
