// The idle loop: after every window message the message loop runs engine passes until a
// message waits, the engine is idle or a close was asked for. One pass is the kernel's tick
// (plug-in event, keys, one kernel step), the due periodic tasks, the refresh of what changed
// while busy, and the wake timer (id 2) for the next due task. An idle engine arms nothing
// else: the program sleeps in get_message until a message or that timer wakes it.
#pragma once
#include <cstdint>

constexpr uint16_t kAllTaskKinds = 0x7FFF;

// The kernel's part of a pass: 1 when idle.
int exec_tick();
// One pass: 1 when idle.
int exec_idle_pass(uint16_t task_mask);
// Passes until a message waits, the engine is idle or the program closes.
void exec_run_idle(uint16_t task_mask);
// Posts the wake timer's WM_TIMER once per idle period, so that a sleeping loop runs a pass.
void exec_wake_idle();
// Posts the wake timer's WM_TIMER whatever the flag says: a piece that starts running must
// not wait for a message that may never come.
void exec_wake_idle_now();
// The passes run so far (tests and the benchmark).
uint64_t exec_idle_pass_count();
void exec_idle_reset();
