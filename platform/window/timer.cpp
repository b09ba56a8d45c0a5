#include "platform/window/timer.h"

#include <algorithm>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/kernel/error.h"
#include "platform/window/wintree.h"

namespace plat {

// Thread timers get ids from here up, far from the small ids programs give their own timers.
constexpr uintptr_t kFirstThreadTimerId = 0x7FF0;

struct TimerRecord {
    WindowHandle window;
    uintptr_t id = 0;
    uint32_t elapse = 0;
    uint32_t due = 0;
    bool never = false; // an interval of USER_TIMER_MAXIMUM or more
    TimerProc proc = nullptr;
};

struct TimerState {
    std::vector<TimerRecord> timers; // in order of creation, which breaks ties between due times
    uintptr_t next_thread_id = kFirstThreadTimerId;
};

static TimerState s_timers;

static TimerRecord* find_timer(WindowHandle window, uintptr_t id)
{
    for (TimerRecord& timer : s_timers.timers) {
        if (timer.window == window && timer.id == id)
            return &timer;
    }
    return nullptr;
}

static void arm(TimerRecord& timer, uint32_t elapse_ms)
{
    timer.never = elapse_ms >= USER_TIMER_MAXIMUM;
    timer.elapse = std::max(elapse_ms, USER_TIMER_MINIMUM);
    timer.due = get_tick_count() + timer.elapse;
}

static uintptr_t new_thread_timer_id()
{
    uintptr_t id = s_timers.next_thread_id++;
    while (find_timer({}, id) || id == 0)
        id = s_timers.next_thread_id++;
    return id;
}

uintptr_t set_timer(WindowHandle window, uintptr_t id, uint32_t elapse_ms, TimerProc proc)
{
    if (window && !wintree_find(window)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!window && (id == 0 || !find_timer({}, id)))
        id = new_thread_timer_id();
    TimerRecord* timer = find_timer(window, id);
    if (!timer) {
        s_timers.timers.push_back(TimerRecord{window, id, 0, 0, false, nullptr});
        timer = &s_timers.timers.back();
    }
    timer->proc = proc;
    arm(*timer, elapse_ms);
    return id ? id : 1;
}

bool kill_timer(WindowHandle window, uintptr_t id)
{
    auto& timers = s_timers.timers;
    auto found = std::find_if(timers.begin(), timers.end(),
        [&](const TimerRecord& t) { return t.window == window && t.id == id; });
    if (found == timers.end())
        return false;
    timers.erase(found);
    return true;
}

// How long until the timer is due; 0 once it is (compared by subtraction: the tick wraps).
static uint32_t wait_of(const TimerRecord& timer, uint32_t now)
{
    int32_t left = int32_t(timer.due - now);
    return left > 0 ? uint32_t(left) : 0;
}

bool timer_next_message(Msg& out, WindowHandle filter, bool remove)
{
    uint32_t now = get_tick_count();
    TimerRecord* first = nullptr;
    for (TimerRecord& timer : s_timers.timers) {
        if (timer.never || wait_of(timer, now) > 0 || (filter && timer.window != filter))
            continue;
        if (!first || int32_t(timer.due - first->due) < 0)
            first = &timer;
    }
    if (!first)
        return false;
    out = Msg{};
    out.hwnd = first->window;
    out.message = WM_TIMER;
    out.wparam = first->id;
    out.lparam = reinterpret_cast<LParam>(first->proc);
    out.time = now;
    if (remove)
        first->due = now + first->elapse;
    return true;
}

uint32_t timer_ms_until_due(WindowHandle filter)
{
    uint32_t now = get_tick_count();
    uint32_t soonest = INFINITE;
    for (const TimerRecord& timer : s_timers.timers) {
        if (!timer.never && (!filter || timer.window == filter))
            soonest = std::min(soonest, wait_of(timer, now));
    }
    return soonest;
}

void timer_window_destroyed(WindowHandle window)
{
    auto& timers = s_timers.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                     [&](const TimerRecord& t) { return t.window == window; }),
        timers.end());
}

void timer_reset() { s_timers = TimerState{}; }

} // namespace plat
