#include "runtime/engine/idle.h"

#include "platform/window/message.h"
#include "platform/window/timer.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/engine/kernel.h"
#include "runtime/files/sched.h"
#include "runtime/pieces/piece_hooks.h"

#include <algorithm>
#include <string>

namespace {

struct IdleState {
    int wake = 0;
    bool timer_armed = false;
    bool running = false;
    uint64_t passes = 0;
};

IdleState s_idle;

constexpr uint32_t kEarlyMs = 2;

} // namespace

// The timers go to the program's top-level window.
static plat::WindowHandle top_window()
{
    if (piece_hooks().main_window)
        if (plat::WindowHandle window = piece_hooks().main_window())
            return window;
    return exec_presentation_window();
}

static bool keys_queued()
{
    return exec_hooks().keys_queued && exec_hooks().keys_queued();
}

static bool message_waiting()
{
    if (exec_hooks().peek_message)
        return exec_hooks().peek_message() != 0;
    plat::Msg msg;
    return plat::peek_message(msg, plat::PM_NOREMOVE);
}

int exec_tick()
{
    if (!exec_records_open())
        return 1;
    const ExecHooks& hooks = exec_hooks();
    if (hooks.xevt_dispatch)
        (void)hooks.xevt_dispatch();
    while (keys_queued() && !exec_is_busy() && hooks.key_drain && hooks.key_drain()) {
    }
    if (exec_step() == 0)
        return 0;
    return keys_queued() ? 0 : 1;
}

// The delay until the next thing due, 0 for none worth a timer.
static uint32_t wake_delay(bool task_pending, bool notifications)
{
    uint32_t delay = task_pending ? sched_ms_to_next(1) : UINT32_MAX;
    if (notifications) {
        if (delay == 0)
            return 0;
        uint32_t next = exec_hooks().plugin_next_due ? exec_hooks().plugin_next_due() : UINT32_MAX;
        delay = std::min(delay, next > kEarlyMs ? next - kEarlyMs : 0);
    }
    return delay;
}

int exec_idle_pass(uint16_t task_mask)
{
    const ExecHooks& hooks = exec_hooks();
    s_idle.wake = 1;
    s_idle.passes++;
    bool window = exec_presentation_exists() != 0;
    bool suspended = exec_suspended() != 0;
    if (!suspended && window)
        (void)exec_tick();
    else if (hooks.plugin_idle_notify)
        hooks.plugin_idle_notify();
    bool task_pending = sched_tick(task_mask) != 0;
    bool idle = suspended || !window || !exec_is_busy();
    if (idle) {
        if (hooks.buttons_refresh_pending)
            hooks.buttons_refresh_pending();
        if (window && hooks.damage_pending && hooks.damage_pending() && hooks.screen_flush)
            hooks.screen_flush();
        if (hooks.xevt_has_pending && hooks.xevt_has_pending())
            idle = false;
    }
    bool notifications = hooks.plugin_has_idle_clients && hooks.plugin_has_idle_clients();
    bool keys = keys_queued() && !suspended && window;
    plat::WindowHandle top = top_window();
    if (idle && !keys && (task_pending || notifications)) {
        uint32_t delay = wake_delay(task_pending, notifications);
        if (delay != 0 && top && sched_arm_wake_timer(top, delay)) {
            s_idle.timer_armed = delay < plat::USER_TIMER_MAXIMUM;
            task_pending = false;
            notifications = false;
        }
    } else if (idle && !keys && s_idle.timer_armed && top) {
        // Nothing is due any more: a timer left armed would wake the program for nothing.
        (void)sched_arm_wake_timer(top, UINT32_MAX);
        s_idle.timer_armed = false;
    }
    int answer = idle && !keys && !task_pending && !notifications ? 1 : 0;
    s_idle.wake = answer;
    exec_trace(kTraceIdle, "idle pass " + std::to_string(answer));
    return answer;
}

static bool close_requested()
{
    return exec_hooks().close_requested && exec_hooks().close_requested();
}

void exec_run_idle(uint16_t task_mask)
{
    if (s_idle.running || message_waiting())
        return;
    s_idle.running = true;
    const ExecHooks& hooks = exec_hooks();
    while (!close_requested()) {
        if (exec_idle_pass(task_mask))
            break;
        if (hooks.timeout_start_if_due && !exec_suspended() && exec_presentation_exists())
            hooks.timeout_start_if_due();
        if (message_waiting())
            break;
    }
    s_idle.running = false;
}

void exec_wake_idle()
{
    if (!s_idle.wake)
        return;
    if (plat::WindowHandle top = top_window())
        (void)sched_post_wake(top);
    s_idle.wake = 0;
}

void exec_wake_idle_now()
{
    s_idle.wake = 1;
    exec_wake_idle();
}

uint64_t exec_idle_pass_count() { return s_idle.passes; }
void exec_idle_reset() { s_idle = IdleState {}; }
