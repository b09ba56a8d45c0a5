// The kernel step machine: one current icon and one kernel state, advanced by exactly one step
// per exec_step. A step enters the current icon, lets its kind's handler run, finishes it and
// chooses the next icon, or does nothing because the kernel waits. Containers (Interaction,
// Decision, Framework) hear of their children through kernel messages; everything else an icon
// does is its kind handler's, reached through one table that the executors fill.
#pragma once
#include "runtime/engine/modbus.h"
#include "runtime/nodes/node_files.h"

#include <cstddef>
#include <cstdint>

enum KernelState : int32_t {
    kStateEnter = 0,
    kStateIconDone = 1,
    kStateWaiting = 2,
    kStateWaitDrawing = 3,
    kStateRunning = 4,
    kStatePaused = 5,
    kStatePauseEnded = 6,
    kStatePieceEnded = 7,
    kStateStopped = 8,
    kStateSyncWaiting = 9,
    kStateWaitingSound = 10,
};

enum KernelMessageType : int32_t {
    kKmEnter = 0,
    kKmExit = 1,
    kKmChildDone = 2,
    kKmChildSelected = 3,
    kKmEnterByJump = 5,
    kKmErase = 6,
    kKmInputEvent = 7,
    kKmValueEvent = 8,
    kKmPerpetualEnter = 9,
    kKmPerpetualReturn = 10,
    kKmResume = 11,
    kKmQueryChildDone = 12,
    kKmFrameworkQuery = 13,
    kKmContextLeave = 14,
    kKmContextEnter = 15,
};

// Answers of containers.
enum : int {
    kChildDoneStop = 3, // QueryChildDone: the kernel stops
    kFrameworkStay = 1,
    kFrameworkRunQueue = 2,
    kFrameworkStop = 3,
};

// Trigger events the kernel fires.
enum : int {
    kEventIconDone = 2,
    kEventInteraction = 12,
    kEventDecision = 14,
    kEventRunState = 16,
    kEventIconLog = 17,
    kEventFramework = 18,
};

struct KernelContext {
    IconId icon = 0;
    uint16_t kind = 0;
    int32_t state = kStateEnter;
    uint16_t depth = 0;
    IconId decision = 0;
    IconId interaction = 0;
    IconId framework = 0;
};

struct KernelInput {
    int32_t a = 0, b = 0, c = 0;
    int16_t d = 0;
};

// Built on the caller's stack for one call.
struct KernelMessage {
    int32_t message = 0;
    IconId icon = 0;
    int32_t argument = 0;
    KernelInput input;
    int32_t value = 0;
    uint16_t flags = 0;
};

using KindHandler = int (*)(KernelMessage* message);

enum DeferredType : int32_t {
    kDeferNone = 0,
    kDeferJump = 1,
    kDeferQuit = 2,
    kDeferRestart = 3,
    kDeferCallback = 5,
};

struct KernelDeferredAction {
    int32_t type = kDeferNone;
    int32_t argument = 0; // the jump's target
    void (*callback)(uint32_t user) = nullptr;
    uint32_t user = 0;
};

constexpr size_t kKernelSavedSize = 90;
constexpr int kIconLogSlots = 101;
constexpr int kIconLogMax = 100;
constexpr uint32_t kIconLogBytes = kIconLogSlots * 4;

// --- stepping ------------------------------------------------------------------------------
// One step: 1 when it found nothing to do (the idle loop may sleep), 0 when it worked.
int exec_step();
// The handler of the message icon's kind; 0 for kinds without one.
int exec_icon_message(KernelMessage* message);
// Puts an executor's handler into the kind table (null: none). Maps and Guidepacks have the
// kernel's own, which only enters the first child.
void exec_set_kind_handler(int kind, KindHandler handler);

void exec_container_entered(IconId icon, int kind);
int exec_query_child_done(IconId container, int kind, IconId child);
void exec_note_container(IconId icon, int kind);

// --- state ---------------------------------------------------------------------------------
const KernelContext& exec_context();
// Makes the icon current in the state (kind and public current icon follow).
void exec_set_current(IconId icon, int32_t state);
void exec_set_state(int32_t state);
IconId exec_public_icon();
int exec_suspended();

void exec_stop();
void exec_wait_drawing_begin();
int exec_wait_drawing_end();
void exec_wait_sync_begin();
int exec_wait_sync_end();
void exec_wait_sound_begin();
int exec_wait_sound_end();
int exec_icon_completed(IconId icon);
int exec_is_busy();
int exec_can_take_keys();
int exec_piece_ended();
IconId exec_current_interaction();
IconId exec_current_decision();
IconId exec_current_framework();
// Null input: a ValueEvent with the value; only while Waiting. The handler's answer, else 0.
int exec_input_event(const KernelInput* input, int32_t value);
int exec_stopped_value(int32_t value);

// --- pause before exit ---------------------------------------------------------------------
void exec_pause_at(IconId icon);
int exec_end_pause(int force);
int exec_pause_applies(IconId icon);

// --- the click latch -----------------------------------------------------------------------
void exec_click_latch_arm(int armed);
int exec_click_latch_take();
int exec_click_latch_taken();

// --- deferred actions ----------------------------------------------------------------------
// 0 when one is pending already (the new one is dropped), else 1.
int exec_defer_action(const KernelDeferredAction* action);
int exec_deferred_pending();
void exec_run_deferred(KernelDeferredAction* action);

// --- the icon log --------------------------------------------------------------------------
void exec_set_icon_log_size(int size);
int exec_icon_log_size();
void exec_log_icon(IconId icon);
IconId exec_icon_log_entry(int n);

// --- values the kernel only keeps ----------------------------------------------------------
int exec_cmi_track_all();
void exec_set_cmi_track_all(int flag);
int exec_resume_flag();
void exec_set_resume_flag(int on);
uint16_t exec_resume_icon_number();
void exec_set_resume_icon_number(uint16_t node);

// --- call frames ---------------------------------------------------------------------------
// The perpetual calls' frames, kept by the kernel in its call-stack tag list: frame n (1 the
// outermost) under tag n; the innermost has the tag of the context's depth.
constexpr size_t kContextSize = 24;
constexpr size_t kFrameSize = 36;
void exec_context_encode(const KernelContext& context, uint8_t out[kContextSize]);
KernelContext exec_context_decode(const uint8_t* in);
// Frame n's bytes: 1, or 0 when there is none.
int exec_frame_read(int n, uint8_t out[kFrameSize]);
// Replaces frame n: 1, or 0 when there is none.
int exec_frame_write(int n, const uint8_t frame[kFrameSize]);
// Adds a frame under depth + 1 and raises the depth: 1, or 0 when memory ran out.
int exec_frame_push(const uint8_t frame[kFrameSize]);
// Deletes the innermost frame and lowers the depth; the context is left as it is.
void exec_frame_drop();
// Makes a saved context the kernel's (the public current icon follows).
void exec_restore_context(const KernelContext& context);
void exec_set_public_icon(IconId icon);
// 1 when the icon is 0 (with allowed_zero) or a used node of the running piece.
int exec_piece_icon_ok(IconId icon, int allowed_zero);

// --- the module (slot 1) -------------------------------------------------------------------
int exec_kernel_module(ModuleMessage* message);
// The 90-byte small state as Save writes it.
void exec_kernel_encode(uint8_t out[kKernelSavedSize]);
// Back to the state before any piece (tests).
void exec_kernel_reset_all();
// The kind's name as the piece maker writes it ("map", "calc" ...); "?" outside 1..15.
const char* exec_kind_name(int kind);
