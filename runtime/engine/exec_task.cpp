#include "runtime/engine/exec_task.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/urec.h"
#include "runtime/files/sched.h"

#include <vector>

namespace {

struct ExecTaskRecord {
    ScheduledTask head;
    uint32_t index = 0;
    uint32_t a = 0;
    uint32_t b = 0;
};

struct TaskModule {
    ExecTaskFunction functions[kTaskIndexCount] = {};
    uint16_t record = 0;
    uint16_t next_tag = 1; // only grows
};

TaskModule s_tasks;

constexpr uint16_t kTaskEventMask = 4;
constexpr size_t kTasksSavedSize = 2;
constexpr uint32_t kMinuteMs = 60000;
constexpr int32_t kMaxMinutes = 35791; // minutes x 60000 stays below 2^31

} // namespace

static int exec_task_dispatch(ScheduledTask* task);

void task_set_function(uint32_t index, ExecTaskFunction function)
{
    if (index < kTaskIndexCount && index != kTaskSaveRecords)
        s_tasks.functions[index] = function;
}

static ExecTaskFunction function_of(uint32_t index)
{
    if (index == kTaskSaveRecords)
        return exec_task_save_records;
    return index < kTaskIndexCount ? s_tasks.functions[index] : nullptr;
}

static int exec_task_dispatch(ScheduledTask* task)
{
    auto* record = reinterpret_cast<ExecTaskRecord*>(task);
    ExecTaskFunction function = function_of(record->index);
    return function && function(record->a, record->b) ? kSchedContinue : kSchedDelete;
}

static ExecTaskRecord* as_exec_task(ScheduledTask* task)
{
    if (task->callback != exec_task_dispatch || task->record_size < sizeof(ExecTaskRecord))
        return nullptr;
    return reinterpret_cast<ExecTaskRecord*>(task);
}

struct Match {
    uint32_t index, a, b;
    uint32_t found_id = 0;
    uint32_t interval = 0;
};

static int find_visitor(ScheduledTask* task, void* user)
{
    auto* match = static_cast<Match*>(user);
    ExecTaskRecord* record = as_exec_task(task);
    if (record && record->index == match->index && record->a == match->a && record->b == match->b) {
        match->found_id = task->task_id;
        match->interval = task->interval;
        return kSchedStop;
    }
    return kSchedContinue;
}

static Match find(uint32_t index, uint32_t a, uint32_t b)
{
    Match match {index, a, b};
    sched_for_each(find_visitor, &match);
    return match;
}

int task_exists(uint32_t index, uint32_t a, uint32_t b) { return find(index, a, b).found_id ? 1 : 0; }
uint32_t task_interval(uint32_t index, uint32_t a, uint32_t b) { return find(index, a, b).interval; }

static uint32_t add_record(ExecTaskRecord& record)
{
    record.head.record_size = uint16_t(sizeof(ExecTaskRecord));
    record.head.callback = exec_task_dispatch;
    record.head.event_mask = kTaskEventMask;
    return sched_add_prebuilt(&record.head);
}

int task_add(uint32_t index, uint32_t a, uint32_t b, uint32_t interval_ms)
{
    if (task_exists(index, a, b))
        return 1;
    ExecTaskRecord record;
    record.head.interval = interval_ms;
    record.head.suspended = exec_suspended() ? 1 : 0;
    record.index = index;
    record.a = a;
    record.b = b;
    return add_record(record) ? 1 : 0;
}

int task_add_if_absent(uint32_t index, uint32_t a, uint32_t b, uint32_t interval_ms)
{
    return task_add(index, a, b, interval_ms);
}

static int remove_visitor(ScheduledTask* task, void* user)
{
    auto* match = static_cast<Match*>(user);
    ExecTaskRecord* record = as_exec_task(task);
    if (record && record->index == match->index && record->a == match->a && record->b == match->b)
        task->deleted = 1;
    return kSchedContinue;
}

void task_remove(uint32_t index, uint32_t a, uint32_t b)
{
    Match match {index, a, b};
    sched_for_each(remove_visitor, &match);
}

static int remove_all_visitor(ScheduledTask* task, void*)
{
    if (as_exec_task(task))
        task->deleted = 1;
    return kSchedContinue;
}

static int suspend_visitor(ScheduledTask* task, void* user)
{
    if (as_exec_task(task))
        task->suspended = *static_cast<int*>(user) ? 0 : 1;
    return kSchedContinue;
}

void task_suspend_all(int run) { sched_for_each(suspend_visitor, &run); }

static void remove_all() { sched_for_each(remove_all_visitor, nullptr); }

// --- timed saves -------------------------------------------------------------------------------

static void save_callback(uint32_t) { (void)urec_save_all(1); }

int exec_task_save_records(uint32_t repeat, uint32_t)
{
    KernelDeferredAction action;
    action.type = kDeferCallback;
    action.callback = save_callback;
    (void)exec_defer_action(&action);
    return repeat ? 1 : 0;
}

void task_schedule_saves(int32_t minutes)
{
    task_remove(kTaskSaveRecords, 1, 0);
    if (minutes > 0) {
        if (minutes > kMaxMinutes)
            minutes = kMaxMinutes;
        task_add(kTaskSaveRecords, 1, 0, uint32_t(minutes) * kMinuteMs);
    } else {
        task_add(kTaskSaveRecords, 0, 0, 1);
    }
}

// --- stored form -------------------------------------------------------------------------------

static void encode_task(const ExecTaskRecord& record, uint8_t* out)
{
    const ScheduledTask& head = record.head;
    plat::store_u16le(out, uint16_t(kTaskStoredSize));
    plat::store_u32le(out + 2, head.task_id);
    plat::store_u32le(out + 6, 0); // the callback: an address means nothing in another run
    plat::store_u32le(out + 10, head.interval);
    plat::store_u32le(out + 14, head.next_due);
    plat::store_u16le(out + 18, head.event_mask);
    plat::store_u32le(out + 20, head.suspended);
    plat::store_u32le(out + 24, head.deleted);
    plat::store_u32le(out + 28, record.index);
    plat::store_u32le(out + 32, record.a);
    plat::store_u32le(out + 36, record.b);
}

struct SaveWalk {
    TagList list;
    int error = 0;
};

static int save_visitor(ScheduledTask* task, void* user)
{
    auto* walk = static_cast<SaveWalk*>(user);
    ExecTaskRecord* record = as_exec_task(task);
    if (!record || task->deleted)
        return kSchedContinue;
    uint8_t bytes[kTaskStoredSize];
    encode_task(*record, bytes);
    if (!taglist_put(&walk->list, s_tasks.next_tag++, bytes, sizeof bytes)) {
        walk->error = kErrOutOfMemory;
        return kSchedStop;
    }
    return kSchedContinue;
}

static int tasks_save(ModuleMessage* message)
{
    if (message->size != int16_t(kTasksSavedSize) || !message->state)
        return kErrStateSize;
    plat::store_u16le(message->state, s_tasks.record);
    SaveWalk walk;
    walk.list = taglist_new();
    if (!walk.list)
        return kErrOutOfMemory;
    sched_for_each(save_visitor, &walk);
    int error = walk.error;
    if (!error) {
        size_t size = taglist_size(static_cast<const uint8_t*>(mem_address(walk.list)), mem_size(walk.list));
        error = urec_write(s_tasks.record, mem_address(walk.list), size);
    }
    taglist_free(walk.list);
    return error;
}

struct RestoreWalk {
    std::vector<ExecTaskRecord> tasks;
    int error = 0;
};

static int restore_visitor(uint16_t, const uint8_t* data, uint16_t length, void* user, uint32_t*)
{
    auto* walk = static_cast<RestoreWalk*>(user);
    if (length != kTaskStoredSize) {
        walk->error = kErrStateSize;
        return 0;
    }
    plat::ByteReader r(data, length);
    ExecTaskRecord record;
    r.skip(2 + 4 + 4);
    record.head.interval = r.u32le();
    r.skip(4 + 2 + 4 + 4);
    record.index = r.u32le();
    record.a = r.u32le();
    record.b = r.u32le();
    // Intervals stay below 2^31 ms for the scheduler; the index names one of the functions.
    if (record.index >= kTaskIndexCount || record.head.interval >= 0x80000000u) {
        walk->error = kErrStateSize;
        return 0;
    }
    record.head.suspended = 1;
    walk->tasks.push_back(record);
    return 1;
}

static int tasks_restore(ModuleMessage* message)
{
    if (message->size != int16_t(kTasksSavedSize) || !message->state)
        return kErrStateSize;
    uint16_t record = plat::load_u16le(message->state);
    std::vector<uint8_t> bytes;
    if (record == 0 || urec_read(record, bytes) != 0)
        return kErrOutOfMemory;
    if (taglist_check(bytes.data(), bytes.size()) != 0)
        return kErrStateSize;
    RestoreWalk walk;
    taglist_for_each_locked(bytes.data(), bytes.size(), restore_visitor, &walk, nullptr);
    if (walk.error)
        return walk.error;
    remove_all();
    for (ExecTaskRecord& task : walk.tasks) {
        if (!add_record(task))
            return kErrOutOfMemory;
    }
    s_tasks.record = record;
    urec_release(record);
    // They come back skipped: the Resume that starts the piece lets them run.
    return 0;
}

int exec_tasks_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit:
        s_tasks.record = urec_new_id();
        if (s_tasks.record == 0)
            return kErrOutOfMemory;
        message->size = int16_t(kTasksSavedSize);
        if (message->state)
            plat::store_u16le(message->state, s_tasks.record);
        return 0;
    case kModRestore: return tasks_restore(message);
    case kModSave: return tasks_save(message);
    case kModRelease: remove_all(); return 0;
    case kModDelete:
        remove_all();
        if (s_tasks.record)
            (void)urec_delete(s_tasks.record);
        return 0;
    case kModSuspend:
    case kModWindowClosing: task_suspend_all(0); return 0;
    case kModResume:
        if (exec_presentation_exists())
            task_suspend_all(1);
        return 0;
    case kModWindowShown:
        if (!exec_suspended())
            task_suspend_all(1);
        return 0;
    default: return 0;
    }
}

void task_reset()
{
    s_tasks = TaskModule {};
}
