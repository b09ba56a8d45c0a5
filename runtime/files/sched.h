// Periodic tasks: everything the runtime must do later or repeatedly runs from the engine
// passes as a task of this table. The scheduler keeps its own copy of each task's record in a
// movable block; removal only marks a task, and marked tasks are freed after the walk, so
// callbacks may add and remove tasks while a walk runs. Due times are compared by subtraction:
// a task is never held back because the 32-bit clock is small or has wrapped.
#pragma once
#include "platform/window/message.h"

#include <cstddef>
#include <cstdint>

struct ScheduledTask;

// What a callback answers.
enum : int {
    kSchedContinue = 0,
    kSchedDelete = 1, // this task is done
    kSchedStop = 2, // end the current walk here
};

// Called with the scheduler's own copy of the record, locked for the call.
using SchedCallback = int (*)(ScheduledTask* task);
using SchedVisitor = int (*)(ScheduledTask* task, void* user);

// The head of a task's record; the creator's data follows it in a struct of its own whose
// first member this is, and record_size counts both.
struct ScheduledTask {
    uint16_t record_size = 0;
    uint32_t task_id = 0; // 1, 2, 3 ... in order of creation; a replaced task keeps its id
    SchedCallback callback = nullptr;
    uint32_t interval = 0; // ms between two runs
    uint32_t next_due = 0; // clock_now_ms value
    uint16_t event_mask = 0; // runs only in ticks whose mask shares a bit with it
    uint32_t suspended = 0; // neither run nor counted as pending
    uint32_t deleted = 0;
};

// Tasks run this much before their interval has fully passed.
constexpr uint32_t kSchedEarlyMs = 56;
// The window timer that wakes an idle message loop for the next due task.
constexpr uintptr_t kSchedWakeTimerId = 2;

// An empty table (a table already there is dropped first). 1.
int sched_init();
// Frees every task and the table.
void sched_term();

// Adds a copy of record (record_size bytes, at least sizeof(ScheduledTask)) after filling in
// its head. Intervals stay below 2^31 ms (24 days): due times are told from past ones by the
// sign of their distance from the clock. A nonzero task_id replaces the task of that id, which the
// new one takes; 0 gives the next id. Due after the interval less kSchedEarlyMs. The id, also
// written into record; 0 when refused or out of memory (nothing added, an old task of that id
// kept).
uint32_t sched_add(uint32_t task_id, ScheduledTask* record, size_t record_size,
    SchedCallback callback, uint32_t interval_ms, uint16_t event_mask);
// Adds a copy of a record whose head the caller filled (size, callback, interval, mask and
// suspended flag are kept); it gets the next id and is due at once. The id, or 0.
uint32_t sched_add_prebuilt(ScheduledTask* record);
// Marks the first live task with that id deleted.
void sched_remove(uint32_t task_id);

// Runs every live task that is not suspended, shares a bit with mask and is due; each is due
// again its interval less kSchedEarlyMs after the tick's start. 1 when a task that is not
// suspended remains.
int sched_tick(uint16_t event_mask);
// Calls visitor for every live task in table order (a visitor's answers as a callback's). The
// id of the task at which the walk stopped, or 0.
uint32_t sched_for_each(SchedVisitor visitor, void* user);
// Milliseconds until the next live, unsuspended task is due (0 when one is); 2^32 - 2 when
// none is. Trimmed: 2 ms less, and 0 for 2 or less, so 2^32 - 4 means "no task".
uint32_t sched_ms_to_next(int trim);

// Arms the wake timer of window for delay_ms; a delay of USER_TIMER_MAXIMUM or more (no task)
// kills it instead, so that an idle program sleeps. Nonzero on success.
int sched_arm_wake_timer(plat::WindowHandle window, uint32_t delay_ms);
// Posts the wake timer's WM_TIMER at once, so that a sleeping loop runs another pass.
int sched_post_wake(plat::WindowHandle window);
