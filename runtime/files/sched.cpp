#include "runtime/files/sched.h"

#include "platform/window/timer.h"
#include "runtime/files/clock.h"
#include "runtime/base/mem.h"

#include <new>
#include <vector>

namespace {

constexpr size_t kMaxTasks = 0xFFFF; // the task count is 16-bit
constexpr uint32_t kNoTask = 0xFFFFFFFE;

struct TaskSlot {
    MemHandle block;
    bool running = false; // its callback is on the stack: a nested tick must not re-enter it
};

struct SchedState {
    bool ready = false;
    std::vector<TaskSlot> tasks; // in creation order
    uint32_t last_id = 0;
    bool pending = false;
    bool purge = false;
    int walk_depth = 0;
    bool term_pending = false; // sched_term was asked from inside a walk
};

SchedState s_sched;

} // namespace

static ScheduledTask* record_at(size_t index)
{
    return static_cast<ScheduledTask*>(mem_address(s_sched.tasks[index].block));
}

// Due when the clock has reached the due time, judged by the signed distance, so a due time
// just before the 32-bit wrap is reached by a clock just after it.
static bool is_due(uint32_t now, uint32_t due) { return int32_t(now - due) >= 0; }

// An interval below kSchedEarlyMs must not wrap into a due time 49 days away.
static uint32_t due_after(uint32_t now, uint32_t interval)
{
    return now + (interval > kSchedEarlyMs ? interval - kSchedEarlyMs : 0);
}

static uint32_t next_id()
{
    if (++s_sched.last_id == 0)
        s_sched.last_id = 1; // 0 means failure to every caller
    return s_sched.last_id;
}

static bool append_copy(const ScheduledTask* record, size_t size)
{
    if (s_sched.tasks.size() >= kMaxTasks)
        return false;
    MemHandle block = mem_alloc_copy(record, size);
    if (!block)
        return false;
    try {
        s_sched.tasks.push_back(TaskSlot { block });
    } catch (const std::bad_alloc&) {
        mem_free(block);
        return false;
    }
    return true;
}

static long find_live(uint32_t task_id)
{
    for (size_t i = 0; i < s_sched.tasks.size(); i++) {
        const ScheduledTask* task = record_at(i);
        if (task && !task->deleted && task->task_id == task_id)
            return long(i);
    }
    return -1;
}

static void free_all()
{
    for (const TaskSlot& slot : s_sched.tasks)
        mem_free(slot.block);
    s_sched = SchedState {};
}

static void purge_deleted()
{
    size_t kept = 0;
    for (size_t i = 0; i < s_sched.tasks.size(); i++) {
        const ScheduledTask* task = record_at(i);
        if (!task || task->deleted)
            mem_free(s_sched.tasks[i].block);
        else
            s_sched.tasks[kept++] = s_sched.tasks[i];
    }
    s_sched.tasks.resize(kept);
    s_sched.purge = false;
}

// Only the outermost walk may move or free records: inner ones run inside its callbacks.
static void end_walk()
{
    if (s_sched.walk_depth > 0)
        return;
    if (s_sched.term_pending)
        free_all();
    else if (s_sched.purge)
        purge_deleted();
}

int sched_init()
{
    sched_term();
    s_sched.ready = true;
    return 1;
}

void sched_term()
{
    if (s_sched.walk_depth == 0) {
        free_all();
        return;
    }
    for (size_t i = 0; i < s_sched.tasks.size(); i++) {
        if (ScheduledTask* task = record_at(i))
            task->deleted = 1;
    }
    s_sched.term_pending = true;
}

uint32_t sched_add(uint32_t task_id, ScheduledTask* record, size_t record_size,
    SchedCallback callback, uint32_t interval_ms, uint16_t event_mask)
{
    if (!record)
        return 0;
    // Looked up before the record is written: a callback may pass the scheduler's own copy of
    // its record, which clearing the id would hide.
    long replaced = task_id != 0 ? find_live(task_id) : -1;
    record->task_id = 0;
    if (!s_sched.ready || s_sched.term_pending || record_size < sizeof(ScheduledTask)
        || record_size > 0xFFFF)
        return 0;
    record->record_size = uint16_t(record_size);
    record->event_mask = event_mask;
    record->callback = callback;
    record->interval = interval_ms;
    record->suspended = 0;
    record->deleted = 0;
    record->task_id = task_id != 0 ? task_id : next_id();
    record->next_due = due_after(clock_now_ms(), interval_ms);
    // The old task goes only once the new one is in, so a failure keeps it.
    if (!append_copy(record, record_size)) {
        record->task_id = 0;
        return 0;
    }
    if (replaced >= 0) {
        record_at(size_t(replaced))->deleted = 1;
        s_sched.purge = true;
    }
    return record->task_id;
}

uint32_t sched_add_prebuilt(ScheduledTask* record)
{
    if (!record || !s_sched.ready || s_sched.term_pending
        || record->record_size < sizeof(ScheduledTask))
        return 0;
    uint32_t id = next_id();
    record->task_id = id;
    record->deleted = 0;
    record->next_due = clock_now_ms();
    if (!append_copy(record, record->record_size)) {
        record->task_id = 0;
        return 0;
    }
    if (!record->suspended)
        s_sched.pending = true;
    return id;
}

void sched_remove(uint32_t task_id)
{
    long index = find_live(task_id);
    if (index < 0)
        return;
    record_at(size_t(index))->deleted = 1;
    s_sched.purge = true;
}

// Walks the live tasks in table order, calling visit (index, locked record) -> a callback's
// answer. Records are neither moved nor freed until the outermost walk ends, so indexes hold
// while callbacks add tasks (which the walk reaches) and remove them (which it skips).
template <typename Visit> static uint32_t walk_tasks(Visit visit)
{
    uint32_t stopped_id = 0;
    s_sched.walk_depth++;
    for (size_t i = 0; i < s_sched.tasks.size(); i++) {
        const ScheduledTask* live = record_at(i);
        if (!live || live->deleted) {
            s_sched.purge = true;
            continue;
        }
        MemHandle block = s_sched.tasks[i].block;
        auto* task = static_cast<ScheduledTask*>(mem_lock(block));
        if (!task)
            continue;
        int result = visit(i, task);
        if (result == kSchedDelete) {
            task->deleted = 1;
            s_sched.purge = true;
        } else if (!task->suspended && !task->deleted) {
            s_sched.pending = true;
        }
        uint32_t id = task->task_id;
        mem_unlock(block);
        if (result == kSchedStop) {
            stopped_id = id;
            break;
        }
    }
    s_sched.walk_depth--;
    end_walk();
    return stopped_id;
}

uint32_t sched_for_each(SchedVisitor visitor, void* user)
{
    if (!visitor)
        return 0;
    return walk_tasks([&](size_t, ScheduledTask* task) { return visitor(task, user); });
}

static int run_if_due(size_t index, ScheduledTask* task, uint32_t now, uint16_t mask)
{
    if (!is_due(now, task->next_due))
        return kSchedContinue;
    TaskSlot& slot = s_sched.tasks[index];
    if (task->suspended || !(task->event_mask & mask) || !task->callback || slot.running) {
        // A due task that waits stays due: keeping its due time at the clock stops it from
        // falling 2^31 ms behind, where it would read as 24 days in the future.
        task->next_due = now;
        return kSchedContinue;
    }
    slot.running = true;
    int result = task->callback(task);
    s_sched.tasks[index].running = false; // the table may have grown meanwhile
    task->next_due = due_after(now, task->interval);
    return result;
}

int sched_tick(uint16_t event_mask)
{
    uint32_t now = clock_now_ms(); // once: every task run in this tick counts from the start
    s_sched.pending = false;
    walk_tasks([&](size_t index, ScheduledTask* task) {
        return run_if_due(index, task, now, event_mask);
    });
    return s_sched.pending ? 1 : 0;
}

uint32_t sched_ms_to_next(int trim)
{
    uint32_t now = clock_now_ms();
    uint32_t best = kNoTask;
    for (size_t i = 0; i < s_sched.tasks.size() && best != 0; i++) {
        const ScheduledTask* task = record_at(i);
        if (!task || task->deleted || task->suspended)
            continue;
        if (is_due(now, task->next_due))
            best = 0;
        else if (task->next_due - now < best)
            best = task->next_due - now;
    }
    if (!trim)
        return best;
    return best <= 2 ? 0 : best - 2;
}

int sched_arm_wake_timer(plat::WindowHandle window, uint32_t delay_ms)
{
    if (delay_ms >= plat::USER_TIMER_MAXIMUM) {
        plat::kill_timer(window, kSchedWakeTimerId); // none may be armed: nothing to report
        return 1;
    }
    return plat::set_timer(window, kSchedWakeTimerId, delay_ms, nullptr) != 0 ? 1 : 0;
}

int sched_post_wake(plat::WindowHandle window)
{
    return plat::post_message(window, plat::WM_TIMER, kSchedWakeTimerId, 0) ? 1 : 0;
}
