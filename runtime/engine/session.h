// Executor module slot 2: the learner's sessions (how many, the first, previous and current
// dates, the seconds spent in earlier sessions) and the synchronisation clock that paces media
// for SyncPoint and SyncWait. The clock runs while its pause tick equals its start tick.
#pragma once
#include "runtime/engine/modbus.h"
#include "runtime/nodes/node_files.h"

#include <cstddef>
#include <cstdint>

constexpr size_t kSessionBlockSize = 38;

struct SessionBlock {
    uint16_t sessions = 0;
    int32_t first_date = 0; // runtime seconds
    int32_t previous_date = 0;
    int32_t current_date = 0;
    uint32_t session_start = 0; // millisecond ticks
    uint32_t last_save = 0; // 0 after a resume
    int32_t earlier_seconds = 0;
    uint32_t sync_start = 0;
    IconId sync_icon = 0; // 0: no SyncPoint armed
    int32_t sync_mode = 0; // 0: none armed; 1 started, 2 finished, 3 an Interaction's response
};

void session_encode(const SessionBlock& block, uint8_t out[kSessionBlockSize]);
SessionBlock session_decode(const uint8_t in[kSessionBlockSize]);

// The 38 stored bytes of the block.
void exec_get_session_info(uint8_t out[kSessionBlockSize]);
// Seconds of all sessions up to now.
int32_t exec_total_time();

// --- the clock ------------------------------------------------------------------------------
void exec_sync_set(int mode, IconId icon);
// An executor reports a moment of an icon; an icon of 0 stands for any icon of the kind.
void exec_sync_event(int mode, int kind, IconId icon);
// 1 when no SyncPoint is armed and the clock is paused.
int exec_sync_paused();
uint32_t exec_sync_elapsed_ms();
// Whether a SyncWait of the seconds may stop waiting.
int exec_sync_elapsed(double seconds);
// 1 while a SyncPoint waits for an icon to finish (the kernel reports finished icons then).
int session_sync_waits_mode2();
void exec_sync_restart();
void exec_sync_pause();
void exec_sync_continue();

// The system functions: SyncPoint (option; has_option 0 for none) arms the clock for the
// public current icon; SyncWait waits, keeping messages, tasks and triggers going, until the
// clock has run the seconds, the current icon changes, or a close or maximise is waiting.
void exec_sync_point(int has_option, int option);
void exec_sync_wait(double seconds);

// One message of a wait: the program's message pump (0 nothing pending, 1 dispatched, 2 a
// close waits, 3 a maximise waits). Empty: nothing is ever pending.
using SessionPump = int (*)();
void session_set_pump(SessionPump pump);

// --- the module -------------------------------------------------------------------------------
int session_module(ModuleMessage* message);
// Back to no sessions and no pump (tests and the release).
void session_reset_all();
