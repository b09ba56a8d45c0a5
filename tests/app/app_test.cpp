// The spine in-process: the release chain, the close request in the loop, and one wait step.
#include <string>
#include <vector>

#include "app_fixture.h"
#include "platform/window/defproc.h"
#include "platform/window/wndclass.h"

namespace {

using namespace plat;

std::vector<std::string> g_steps;

bool record_step(AppChain chain, const char* step)
{
    g_steps.push_back(std::string(app_chain_name(chain)) + " " + step);
    return true;
}

class AppTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        g_steps.clear();
        app_set_step_observer(record_step);
    }
};

std::vector<std::string> release_chain()
{
    std::vector<std::string> names;
    for (int i = 0; i < app_chain_length(AppChain::release); i++)
        names.push_back(std::string("release ") + app_chain_step_name(AppChain::release, i));
    return names;
}

// Every release function must take a module that never started: an internal error can come
// from the first start-up step. A second shutdown releases nothing.
TEST_F(AppTest, ReleaseRunsOnceAlsoWhenNothingStarted)
{
    EXPECT_EQ(app_shutdown(0), 0);
    EXPECT_EQ(g_steps, release_chain());
    EXPECT_EQ(app_shutdown_done(), 1);
    g_steps.clear();
    app_shutdown(0);
    EXPECT_TRUE(g_steps.empty());
}

// Modules started and released, then started again: what a second run in one process needs.
TEST_F(AppTest, ChainsStartReleaseAndStartAgain)
{
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        app_reset();
        ASSERT_EQ(app_init_early(), 1);
        ASSERT_EQ(app_init(""), 1);
        ASSERT_EQ(app_init_ui(SW_SHOWNORMAL), 1);
        EXPECT_TRUE(app_main_window());
        EXPECT_EQ(app_quicktime_state(), 1); // never there: off
        destroy_window(app_main_window());
        app_shutdown(0);
    }
}

// A release step that comes back into the shutdown (through an internal error, say) must not
// start the chain again.
bool reenter_shutdown(AppChain chain, const char* step)
{
    record_step(chain, step);
    app_shutdown(0);
    return true;
}

TEST_F(AppTest, ShutdownEnteredFromAReleaseStepDoesNotStartAgain)
{
    app_set_step_observer(reenter_shutdown);
    app_shutdown(0);
    EXPECT_EQ(g_steps, release_chain());
}

bool fail_sysmenu(AppChain, const char* step) { return std::string(step) != "app_sysmenu_init"; }

TEST_F(AppTest, RequiredStepFailureEndsTheChainIgnoredOnesDoNot)
{
    app_set_step_observer(fail_sysmenu);
    ASSERT_EQ(app_init_early(), 1);
    EXPECT_EQ(app_init_ui(SW_SHOWNORMAL), 0);
    EXPECT_EQ(app_quicktime_state(), 0); // the steps after the failure did not run
    app_shutdown(0);
}

struct ProbeLog {
    std::vector<uint32_t> ticks;
};
ProbeLog g_probe;

LResult probe_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_APP)
        g_probe.ticks.push_back(get_tick_count());
    return def_window_proc(window, message, wparam, lparam);
}

// A close request: after the current message the loop pauses a second without taking
// messages, then the window goes and its WM_DESTROY ends the loop.
TEST_F(AppTest, CloseRequestPausesASecondThenDestroysTheWindow)
{
    g_probe = {};
    WindowClass probe;
    probe.proc = probe_proc;
    probe.class_name = "Probe";
    ASSERT_NE(register_class(probe), 0);
    WindowHandle other = create_window_ex(0, "Probe", "", WS_POPUP, 0, 0, 10, 10, {}, 0, {}, nullptr);
    ASSERT_EQ(app_register_main_window(SW_SHOWNORMAL), 1);
    uint32_t start = get_tick_count();
    post_message(other, WM_APP, 0, 0);
    post_message(other, WM_APP, 0, 0);
    app_request_close();
    EXPECT_EQ(app_run_message_loop(), 0);
    EXPECT_FALSE(app_main_window());
    ASSERT_EQ(g_probe.ticks.size(), 2u);
    EXPECT_EQ(g_probe.ticks[0], start);
    EXPECT_GE(g_probe.ticks[1] - start, 1000u); // not taken during the pause
}

// What a wait that keeps messages flowing gets from one step.
struct PumpCase {
    const char* name;
    uint32_t message; // posted to the main window; 0: nothing, WM_QUIT: the quit request
    WParam wparam;
    int answer;
    bool left_in_queue;
};
static const PumpCase kPumpCases[] = {
    {"nothing pending", 0, 0, kPumpNothing, false},
    {"any other message", WM_APP, 0, kPumpDispatched, false},
    {"close waits", WM_SYSCOMMAND, SC_CLOSE, kPumpCloseWaiting, true},
    {"maximise waits, told apart from a dispatch", WM_SYSCOMMAND, SC_MAXIMIZE, kPumpMaximizeWaiting, true},
    {"the quit request is not lost", WM_QUIT, 0, kPumpCloseWaiting, true},
};

TEST_F(AppTest, PumpOneMessageLeavesCloseMaximiseAndQuitQueued)
{
    for (const PumpCase& c : kPumpCases) {
        SCOPED_TRACE(c.name);
        reset_all();
        WindowHandle main = make_main_window();
        Msg drain;
        while (peek_message(drain, PM_REMOVE)) { } // creation's own messages
        if (c.message == WM_QUIT)
            post_quit_message(0);
        else if (c.message)
            post_message(main, c.message, c.wparam, 0);
        EXPECT_EQ(app_pump_one_message(), c.answer);
        Msg next;
        EXPECT_EQ(peek_message(next, PM_NOREMOVE) && next.message == (c.message ? c.message : WM_NULL),
            c.left_in_queue);
    }
}

} // namespace
