// Timers per window and id, as SetTimer keeps them. A due timer gives WM_TIMER when nothing
// else is pending, one at a time; the next is due a full interval after that WM_TIMER is taken,
// so a busy program gets fewer ticks rather than a burst. Under the headless backend time is
// virtual, and an idle get_message jumps to the next due timer.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

namespace plat {

using TimerProc = void (*)(WindowHandle window, uint32_t message, uintptr_t id, uint32_t time);

constexpr uint32_t USER_TIMER_MINIMUM = 0x0000000A;
// An interval of this or more means the timer never comes: programs pass "no next task" as
// such a value.
constexpr uint32_t USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// SetTimer: the same window and id replace the timer (its time starts again). A window's timer
// answers its id (1 for id 0); a thread timer (null window) answers a new id unless id names
// one of the thread's timers. Intervals below 10 ms become 10 ms. 0 with error 1400 for a
// window that does not exist.
uintptr_t set_timer(WindowHandle window, uintptr_t id, uint32_t elapse_ms, TimerProc proc);
// KillTimer: false when there is no such timer.
bool kill_timer(WindowHandle window, uintptr_t id);

// For the queue: the WM_TIMER of the timer due first (the filter, when not null, must match its
// window); with remove its next time is set.
bool timer_next_message(Msg& out, WindowHandle filter, bool remove);
// Milliseconds until the next timer of the filter's window (null: any) is due (0 when one is),
// INFINITE when none will come.
uint32_t timer_ms_until_due(WindowHandle filter = {});
void timer_window_destroyed(WindowHandle window);
void timer_reset();

} // namespace plat
