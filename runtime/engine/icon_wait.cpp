#include "runtime/engine/icon_wait.h"

#include "platform/kernel/clock.h"
#include "runtime/calc/value.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_task.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/engine/icon_kinds.h"
#include "runtime/engine/icon_props.h"
#include "runtime/nodes/node_attr.h"

#include <algorithm>
#include <map>
#include <string>

namespace {

struct Stopwatch {
    uint32_t start = 0;
    int32_t limit = 0;
};

std::map<IconId, Stopwatch> s_watches;
WaitClockHooks s_clock_hooks {};

void paint()
{
    if (exec_hooks().screen_flush)
        exec_hooks().screen_flush();
}

void clock_stop(IconId icon)
{
    if (s_clock_hooks.erase) {
        s_clock_hooks.erase(icon);
        return;
    }
    s_watches.erase(icon);
    task_remove(kTaskTimeLimit, icon, 0);
}

void erase_extras(IconId icon)
{
    if (exec_hooks().continue_button_erase)
        exec_hooks().continue_button_erase();
    clock_stop(icon);
}

// Task 4: the elapsed time reaching the limit ends the wait (a 0 ms limit at the first look).
int clock_tick(uint32_t a, uint32_t)
{
    IconId icon = a;
    auto found = s_watches.find(icon);
    if (found == s_watches.end())
        return 0;
    uint32_t elapsed = plat::get_tick_count() - found->second.start;
    if (int64_t(elapsed) < int64_t(found->second.limit))
        return 1;
    s_watches.erase(found);
    (void)exec_wait_icon_done(icon);
    return 0;
}

} // namespace

int32_t exec_wait_limit_ms(double seconds)
{
    if (!(seconds > 0))
        return 0;
    double ms = seconds * 1000.0;
    return ms >= double(kWaitLimitMaxMs) ? kWaitLimitMaxMs : int32_t(ms);
}

void exec_wait_arm_time(IconId icon, int32_t limit_ms, int shown)
{
    if (s_clock_hooks.create) {
        // An icon entered again while its clock still runs starts that clock afresh.
        if (s_clock_hooks.create(icon, limit_ms, shown, 0) && s_clock_hooks.restart)
            s_clock_hooks.restart(icon, limit_ms, 0);
        return;
    }
    s_watches[icon] = Stopwatch { plat::get_tick_count(), limit_ms };
    uint32_t interval = std::clamp<uint32_t>(uint32_t(limit_ms) / 128, 1, 10000);
    task_remove(kTaskTimeLimit, icon, 0);
    (void)task_add(kTaskTimeLimit, icon, 0, interval);
}

int exec_wait_icon_done(IconId icon)
{
    if (!exec_icon_completed(icon))
        return 0;
    erase_extras(icon);
    return 1;
}

static void wait_enter(IconId icon)
{
    paint();
    int button = node_get_attr(icon, kAttrWaitButton) != 0;
    if (button) {
        if (exec_hooks().continue_button_create)
            exec_hooks().continue_button_create(icon);
        else if (exec_trace_on(kTraceKernel))
            exec_trace(kTraceKernel, "kernel button " + std::to_string(node_icon_number(icon)));
    }
    ScriptValue value;
    int error = icon_eval_property(icon, kPropWaitLimit, value);
    bool limited = error != kErrNoProperty;
    if (limited) {
        val_convert(value, kValReal);
        int shown = node_get_attr(icon, kAttrWaitCountdown) != 0;
        exec_wait_arm_time(icon, exec_wait_limit_ms(error ? 0.0 : val_real(value)), shown);
    }
    val_free(value);
    exec_set_state(kStateWaiting);
    paint();
    if (!limited && !button && !node_get_attr(icon, kAttrWaitKey) && !node_get_attr(icon, kAttrWaitClick))
        (void)exec_wait_icon_done(icon);
}

int exec_wait_handler(KernelMessage* message)
{
    IconId icon = message->icon;
    switch (message->message) {
    case kKmEnter: wait_enter(icon); return 0;
    case kKmErase:
        erase_extras(icon);
        // The clock reports it only in its mode 2.
        if (exec_hooks().sync_event)
            exec_hooks().sync_event(2, kKindWait, icon);
        return 0;
    case kKmInputEvent:
        if (!node_get_attr(icon, kAttrWaitClick))
            return 0;
        (void)exec_wait_icon_done(icon);
        return 1;
    case kKmValueEvent:
        // A key never passes a waiting Wait icon.
        if (node_get_attr(icon, kAttrWaitKey))
            (void)exec_wait_icon_done(icon);
        return 1;
    case kKmPerpetualEnter:
    case kKmPerpetualReturn:
        // A perpetual call takes the screen: the icon's buttons hide until it returns.
        if (icon_kinds_hooks().buttons_show)
            icon_kinds_hooks().buttons_show(icon, message->message == kKmPerpetualReturn);
        return 0;
    default: return 0;
    }
}

void exec_wait_install()
{
    exec_set_kind_handler(kKindWait, exec_wait_handler);
    task_set_function(kTaskTimeLimit, clock_tick);
}

void exec_wait_set_clock_hooks(const WaitClockHooks* hooks) { s_clock_hooks = hooks ? *hooks : WaitClockHooks {}; }

void exec_wait_reset()
{
    s_watches.clear();
    s_clock_hooks = WaitClockHooks {};
}
