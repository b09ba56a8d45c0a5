// Executor tasks: the engine's periodic work (trigger re-evaluation, video, motion steps, timed
// saves, the time-limit clock, conditional responses) as tasks of the periodic-task scheduler,
// suspended with the engine and kept in the learner's records. A task is (function index, a, b);
// there is at most one task per triple.
#pragma once
#include "runtime/engine/modbus.h"

#include <cstddef>
#include <cstdint>

enum ExecTaskIndex : uint32_t {
    kTaskTrigger = 0,
    kTaskVideo = 1,
    kTaskMotion = 2,
    kTaskSaveRecords = 3,
    kTaskTimeLimit = 4,
    kTaskConditional = 5,
    kTaskIndexCount = 6,
};

// A task function: nonzero keeps the task, 0 ends it after this run.
using ExecTaskFunction = int (*)(uint32_t a, uint32_t b);
// Plugs in the function of an index (the timed save is the engine's own); unset: the task ends.
void task_set_function(uint32_t index, ExecTaskFunction function);

// 1 (also when an equal task exists); 0 when it cannot be added. Due at once; created
// suspended while the kernel is.
int task_add(uint32_t index, uint32_t a, uint32_t b, uint32_t interval_ms);
int task_add_if_absent(uint32_t index, uint32_t a, uint32_t b, uint32_t interval_ms);
void task_remove(uint32_t index, uint32_t a, uint32_t b);
int task_exists(uint32_t index, uint32_t a, uint32_t b);
// run 0 skips every executor task, 1 lets them run again.
void task_suspend_all(int run);
// The interval of an equal task, 0 when there is none (tests).
uint32_t task_interval(uint32_t index, uint32_t a, uint32_t b);

// The timed save: defers a forced save to the next kernel step; keeps itself when repeat is set.
int exec_task_save_records(uint32_t repeat, uint32_t unused);
// SaveRecords (minutes): a save every so many minutes, or once at the next tick for 0 or less.
void task_schedule_saves(int32_t minutes);

// The stored form of a task: the scheduler's head packed in field order (size, id, callback
// as 0, interval, due, mask, suspended, deleted: 28 bytes), then index, a, b.
constexpr size_t kTaskStoredSize = 40;

// Slot 3.
int exec_tasks_module(ModuleMessage* message);
// Forgets the functions (tests).
void task_reset();
