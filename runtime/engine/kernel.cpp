#include "runtime/engine/kernel.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/log.h"
#include "runtime/base/errcode.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/icon_state.h"
#include "runtime/engine/urec.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_title.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/piece_current.h"

#include <algorithm>
#include <array>
#include <new>
#include <string>
#include <vector>

namespace {

struct IconLog {
    int16_t size = 0;
    int16_t index = 0;
    int32_t wrapped = 0;
    uint16_t record = 0;
    bool present = false;
    std::array<IconId, kIconLogSlots> slots {};
};

struct KernelData {
    KernelContext context;
    IconId public_icon = 0;
    int suspended = 0;
    KernelDeferredAction deferred;
    IconLog log;
    int32_t latch_armed = 0;
    int32_t latch_taken = 0;
    int32_t resume = 0;
    uint16_t resume_icon = 0;
    int32_t nav_from = 0;
    int32_t nav_to = 0;
    int32_t navigating = 0;
    int32_t cmi_track_all = 0;
    uint16_t frames_record = 0;
    std::vector<uint8_t> frames; // the call frames' tag list, kept as stored
    KindHandler handlers[16] = {};
};

KernelData s_kernel;

// Offsets of the stored small state.
constexpr size_t kOffLogSize = 20;
constexpr size_t kOffLogIndex = 22;
constexpr size_t kOffLogWrapped = 24;
constexpr size_t kOffLogRecord = 28;
constexpr size_t kOffFramesRecord = 34;
constexpr size_t kOffResume = 36;
constexpr size_t kOffLatch = 40;
constexpr size_t kOffResumeIcon = 48;
constexpr size_t kOffNavFrom = 50;
constexpr size_t kOffNavTo = 54;
constexpr size_t kOffNavigating = 58;
constexpr size_t kOffCmi = 62;
constexpr size_t kOffContext = 66;

constexpr int kEraseOnExit = 2;
constexpr int kEraseKeepsNumber = 3;

const char* const kKindNames[] = {"free", "display", "motion", "erase", "interaction", "decision", "map",
    "wait", "calc", "movie", "sound", "video", "framework", "navigate", "sprite", "guidepack"};

} // namespace

const char* exec_kind_name(int kind) { return kind >= 1 && kind <= 15 ? kKindNames[kind] : "?"; }

static bool is_container_kind(int kind)
{
    return kind == kKindInteraction || kind == kKindDecision || kind == kKindFramework;
}

static std::string node_text(IconId icon) { return std::to_string(node_icon_number(icon)); }

static void trace_enter(IconId icon, int kind)
{
    if (!exec_trace_on(kTraceKernel))
        return;
    char title[256] = "";
    node_title(icon, title, sizeof title);
    exec_trace(kTraceKernel, "kernel enter " + node_text(icon) + " " + exec_kind_name(kind) + " " + plat::log_quote(title));
}

// --- handlers ----------------------------------------------------------------------------------

// Maps and Guidepacks only enter their first child; an empty one finishes on the next step.
static int map_handler(KernelMessage* message)
{
    if (message->message != kKmEnter)
        return 0;
    IconId child = node_first_child(message->icon);
    if (child)
        exec_set_current(child, kStateEnter);
    return 0;
}

void exec_set_kind_handler(int kind, KindHandler handler)
{
    if (kind >= 1 && kind <= 15 && kind != kKindMap && kind != kKindGuidepack)
        s_kernel.handlers[kind] = handler;
}

static KindHandler handler_of(int kind)
{
    if (kind == kKindMap || kind == kKindGuidepack)
        return map_handler;
    return kind >= 1 && kind <= 15 ? s_kernel.handlers[kind] : nullptr;
}

int exec_icon_message(KernelMessage* message)
{
    KindHandler handler = handler_of(node_kind(message->icon));
    return handler ? handler(message) : 0;
}

// The kind is the caller's to know: the kernel keeps it with the current icon.
static int send_to_kind(IconId icon, int kind, int32_t type, int32_t argument)
{
    KindHandler handler = handler_of(kind);
    if (!handler)
        return 0;
    KernelMessage message;
    message.message = type;
    message.icon = icon;
    message.argument = argument;
    return handler(&message);
}

// --- state -------------------------------------------------------------------------------------

const KernelContext& exec_context() { return s_kernel.context; }
IconId exec_public_icon() { return s_kernel.public_icon; }
int exec_suspended() { return s_kernel.suspended; }

void exec_set_state(int32_t state)
{
    int32_t before = s_kernel.context.state;
    s_kernel.context.state = state;
    if (state == kStateWaiting && before != kStateWaiting && exec_trace_on(kTraceKernel))
        exec_trace(kTraceKernel, "kernel wait " + node_text(s_kernel.context.icon));
}

static void set_current_of_kind(IconId icon, int kind, int32_t state)
{
    s_kernel.context.icon = icon;
    s_kernel.context.kind = uint16_t(kind);
    s_kernel.public_icon = icon;
    exec_set_state(state);
}

void exec_set_current(IconId icon, int32_t state) { set_current_of_kind(icon, node_kind(icon), state); }

void exec_stop() { exec_set_state(kStateStopped); }

// Each "end" takes the kernel out of its own wait only.
static int end_wait(int32_t state)
{
    if (s_kernel.context.state != state)
        return 0;
    s_kernel.context.state = kStateRunning;
    return 1;
}

void exec_wait_drawing_begin() { exec_set_state(kStateWaitDrawing); }
int exec_wait_drawing_end() { return end_wait(kStateWaitDrawing); }
void exec_wait_sync_begin() { exec_set_state(kStateSyncWaiting); }
int exec_wait_sync_end() { return end_wait(kStateSyncWaiting); }
void exec_wait_sound_begin() { exec_set_state(kStateWaitingSound); }
int exec_wait_sound_end() { return end_wait(kStateWaitingSound); }

int exec_icon_completed(IconId icon)
{
    if (s_kernel.context.icon == icon && s_kernel.context.state == kStateWaiting) {
        s_kernel.context.state = kStateIconDone;
        return 1;
    }
    const ExecHooks& hooks = exec_hooks();
    if (!hooks.frame_take_waiting)
        return 0;
    for (int frame = s_kernel.context.depth; frame >= 1; frame--) {
        if (hooks.frame_take_waiting(frame, icon))
            return 1;
    }
    return 0;
}

int exec_is_busy()
{
    // Without open records there is no piece to step.
    if (s_kernel.suspended || !exec_presentation_exists() || !exec_records_open())
        return 0;
    int32_t state = s_kernel.context.state;
    return state == kStateEnter || state == kStateIconDone || state == kStateRunning || state == kStatePauseEnded
        || s_kernel.deferred.type != kDeferNone;
}

int exec_can_take_keys()
{
    int32_t state = s_kernel.context.state;
    return state == kStateWaitDrawing || state == kStateRunning || state == kStateSyncWaiting ? 0 : 1;
}

int exec_piece_ended() { return s_kernel.context.state == kStatePieceEnded; }
IconId exec_current_interaction() { return s_kernel.context.interaction; }
IconId exec_current_decision() { return s_kernel.context.decision; }
IconId exec_current_framework() { return s_kernel.context.framework; }

int exec_input_event(const KernelInput* input, int32_t value)
{
    if (s_kernel.context.state != kStateWaiting)
        return 0;
    KernelMessage message;
    message.icon = s_kernel.context.icon;
    if (input) {
        message.message = kKmInputEvent;
        message.input = *input;
    } else {
        message.message = kKmValueEvent;
        message.value = value;
    }
    return exec_icon_message(&message);
}

int exec_stopped_value(int32_t value)
{
    if (s_kernel.context.state != kStateStopped)
        return 0;
    KernelMessage message;
    message.message = kKmValueEvent;
    message.icon = s_kernel.context.icon;
    message.value = value;
    (void)exec_icon_message(&message);
    return 1;
}

void exec_note_container(IconId icon, int kind)
{
    KernelContext& context = s_kernel.context;
    IconId* field = nullptr;
    int event = 0;
    switch (kind) {
    case kKindInteraction: field = &context.interaction, event = kEventInteraction; break;
    case kKindDecision: field = &context.decision, event = kEventDecision; break;
    case kKindFramework: field = &context.framework, event = kEventFramework; break;
    default: return;
    }
    if (*field == icon)
        return;
    *field = icon;
    exec_fire(event, icon);
}

void exec_container_entered(IconId icon, int kind)
{
    exec_set_state(kStateRunning);
    (void)send_to_kind(icon, kind, kKmChildDone, 0);
    int32_t state = s_kernel.context.state;
    if (state == kStateWaitDrawing || state == kStateSyncWaiting || state == kStateWaitingSound)
        s_kernel.context.state = kStateIconDone;
}

int exec_query_child_done(IconId container, int kind, IconId child)
{
    if (kind == kKindCalc)
        return 0;
    return send_to_kind(container, kind, kKmQueryChildDone, int32_t(child));
}

// --- pause before exit -------------------------------------------------------------------------

int exec_pause_applies(IconId icon)
{
    if (node_icon_number(icon) == 1)
        return 0;
    if (node_kind(icon) == kKindInteraction) {
        const ExecHooks& hooks = exec_hooks();
        int only_perpetual = hooks.interaction_only_perpetual ? hooks.interaction_only_perpetual(icon)
                                                              : node_first_child(icon) == 0;
        if (only_perpetual)
            return 1;
    }
    return node_parent_is_decision(icon);
}

void exec_pause_at(IconId icon)
{
    const ExecHooks& hooks = exec_hooks();
    IconId old = s_kernel.public_icon;
    exec_set_current(icon, kStatePaused);
    if (!node_has_ancestor(icon, old)) {
        if (icon_state_flags(old) & kIconNotify)
            exec_fire(kEventRunState, old);
        if (icon_state_flags(icon) & kIconNotify)
            exec_fire(kEventRunState, icon);
    }
    bool shows = node_kind(icon) != kKindInteraction
        || (hooks.interaction_shows_continue && hooks.interaction_shows_continue(icon));
    if (shows && hooks.continue_button_create)
        hooks.continue_button_create(icon);
}

int exec_end_pause(int force)
{
    if (s_kernel.context.state != kStatePaused)
        return 0;
    const ExecHooks& hooks = exec_hooks();
    if (!force && hooks.continue_button_exists && hooks.continue_button_exists())
        return 0;
    if (force && hooks.continue_button_erase)
        hooks.continue_button_erase();
    s_kernel.context.state = kStatePauseEnded;
    return 1;
}

// --- the click latch ---------------------------------------------------------------------------

void exec_click_latch_arm(int armed)
{
    s_kernel.latch_armed = armed;
    s_kernel.latch_taken = 0;
}

int exec_click_latch_take()
{
    if (!s_kernel.latch_armed || s_kernel.latch_taken)
        return 0;
    s_kernel.latch_taken = 1;
    return 1;
}

int exec_click_latch_taken() { return s_kernel.latch_taken; }

// --- deferred actions --------------------------------------------------------------------------

int exec_defer_action(const KernelDeferredAction* action)
{
    if (s_kernel.deferred.type != kDeferNone)
        return 0;
    s_kernel.deferred = *action;
    return 1;
}

int exec_deferred_pending() { return s_kernel.deferred.type != kDeferNone; }

void exec_run_deferred(KernelDeferredAction* action)
{
    const ExecHooks& hooks = exec_hooks();
    switch (action->type) {
    case kDeferJump: {
        IconId target = IconId(action->argument);
        if (hooks.is_return_response && hooks.is_return_response(target)) {
            if (hooks.enter_perpetual)
                hooks.enter_perpetual(target, 1);
        } else if (hooks.kernel_goto) {
            hooks.kernel_goto(target, 3);
        }
        break;
    }
    case kDeferQuit: (void)exec_quit(0, 0); break;
    case kDeferRestart: exec_restart(); break;
    case kDeferCallback:
        if (action->callback) {
            auto callback = action->callback;
            action->callback = nullptr;
            callback(action->user);
        }
        break;
    default: break;
    }
}

static void run_pending_action()
{
    KernelDeferredAction action = s_kernel.deferred;
    s_kernel.deferred = KernelDeferredAction {};
    exec_run_deferred(&action);
}

// --- the icon log ------------------------------------------------------------------------------

static void write_icon_log()
{
    uint8_t bytes[kIconLogBytes];
    for (int i = 0; i < kIconLogSlots; i++)
        plat::store_u32le(bytes + 4 * i, s_kernel.log.slots[size_t(i)]);
    (void)urec_write(s_kernel.log.record, bytes, sizeof bytes);
}

void exec_set_icon_log_size(int size)
{
    IconLog& log = s_kernel.log;
    size = size < 0 ? 0 : size > kIconLogMax ? kIconLogMax : size;
    if (size == log.size)
        return;
    if (log.size == 0 && size > 0) {
        log.index = 0;
        log.wrapped = 0;
        log.slots.fill(0);
        log.slots[0] = s_kernel.public_icon;
        log.present = true;
        log.record = urec_new_id();
        if (log.record)
            write_icon_log();
    } else if (size == 0) {
        if (log.record)
            (void)urec_delete(log.record);
        log = IconLog {};
    }
    log.size = int16_t(size);
    exec_fire(kEventIconLog, 0);
}

int exec_icon_log_size() { return s_kernel.log.size; }

void exec_log_icon(IconId icon)
{
    IconLog& log = s_kernel.log;
    if (!log.present)
        return;
    if (++log.index > kIconLogMax) {
        log.wrapped = 1;
        log.index = 0;
    }
    log.slots[size_t(log.index)] = icon;
    exec_fire(kEventIconLog, 0);
}

IconId exec_icon_log_entry(int n)
{
    const IconLog& log = s_kernel.log;
    if (!log.present || n < 0 || n > log.size)
        return 0;
    int slot = log.index - n;
    if (slot < 0) {
        if (!log.wrapped)
            return 0;
        slot += kIconLogSlots;
    }
    return log.slots[size_t(slot)];
}

int exec_cmi_track_all() { return s_kernel.cmi_track_all; }
void exec_set_cmi_track_all(int flag) { s_kernel.cmi_track_all = flag; }
int exec_resume_flag() { return s_kernel.resume; }
void exec_set_resume_flag(int on) { s_kernel.resume = on; }
uint16_t exec_resume_icon_number() { return s_kernel.resume_icon; }
void exec_set_resume_icon_number(uint16_t node) { s_kernel.resume_icon = node; }

// --- one step ----------------------------------------------------------------------------------

static void stamp_icon(IconId icon, int kind)
{
    if (is_container_kind(kind)) {
        icon_state_set_seq(icon, icon_seq_next());
        return;
    }
    const ExecHooks& hooks = exec_hooks();
    // A response entered again keeps the number its displays carry, so they are erased together.
    bool keeps = hooks.erase_option && icon_state_matches(icon) >= 2 && node_in_container(icon)
        && hooks.erase_option(icon) == kEraseKeepsNumber;
    if (!keeps)
        icon_state_set_seq(icon, uint16_t(icon_seq_counter()));
}

static void run_attached_calc(IconId icon)
{
    if (exec_hooks().run_attached_calc)
        exec_hooks().run_attached_calc(icon);
}

static int step_enter()
{
    const ExecHooks& hooks = exec_hooks();
    IconId icon = s_kernel.context.icon;
    int kind = s_kernel.context.kind;
    if (s_kernel.log.size)
        exec_log_icon(icon);
    if (icon_state_flags(icon) & kIconNotify)
        exec_fire(kEventRunState, icon);
    exec_set_state(kStateRunning);
    trace_enter(icon, kind);
    stamp_icon(icon, kind);
    if (is_container_kind(kind)) {
        exec_note_container(icon, kind);
        (void)send_to_kind(icon, kind, kKmEnter, 0);
        exec_container_entered(icon, kind);
    } else if (kind == kKindSound && hooks.sound_playing && hooks.sound_playing() && hooks.sound_waits_for_previous
        && hooks.sound_waits_for_previous(icon)) {
        exec_set_state(kStateWaitingSound);
        if (hooks.sound_remember_icon)
            hooks.sound_remember_icon(icon);
    } else {
        run_attached_calc(icon);
    }
    return 0;
}

// After the icon is finished: its run-state event and the synchronisation clock.
static void after_finish(IconId icon, int kind)
{
    if (icon_state_flags(icon) & kIconNotify)
        exec_fire(kEventRunState, icon);
    const ExecHooks& hooks = exec_hooks();
    bool plain = kind == kKindMap || kind == kKindGuidepack || kind == kKindCalc || kind == kKindWait;
    if (plain && hooks.sync_waits_mode2 && hooks.sync_waits_mode2() && hooks.sync_event)
        hooks.sync_event(2, kind, icon);
}

// The finished icon is inside a container: the container decides what comes next.
static int finish_in_container(IconId icon, IconId parent, int parent_kind)
{
    const ExecHooks& hooks = exec_hooks();
    if (hooks.erase_response)
        hooks.erase_response(icon);
    if (exec_query_child_done(parent, parent_kind, icon) == kChildDoneStop) {
        exec_stop();
        return 1;
    }
    set_current_of_kind(parent, parent_kind, kStateRunning);
    exec_note_container(parent, parent_kind);
    (void)send_to_kind(parent, parent_kind, kKmChildDone, int32_t(icon));
    if (s_kernel.context.state == kStateWaitDrawing)
        s_kernel.context.state = kStateIconDone;
    else if (s_kernel.context.state == kStateSyncWaiting)
        s_kernel.context.state = kStateRunning;
    return 0;
}

static int finish_in_list(IconId icon, IconId parent, int parent_kind)
{
    IconId next = node_next(icon);
    if (next) {
        exec_set_current(next, kStateEnter);
        return 0;
    }
    if (parent_kind == kKindFramework) {
        switch (send_to_kind(parent, parent_kind, kKmFrameworkQuery, int32_t(icon))) {
        case kFrameworkStay: return 0;
        case kFrameworkRunQueue:
            if (exec_hooks().run_action_queue)
                exec_hooks().run_action_queue();
            return 0;
        case kFrameworkStop: exec_stop(); return 1;
        default: break;
        }
    }
    // The parent finishes on the next step.
    set_current_of_kind(parent, parent_kind, kStateIconDone);
    return 0;
}

static int step_finish()
{
    const ExecHooks& hooks = exec_hooks();
    IconId icon = s_kernel.context.icon;
    int kind = s_kernel.context.kind;
    if (is_container_kind(kind)) {
        if (hooks.erase_on_exit)
            hooks.erase_on_exit(icon, kEraseOnExit);
        (void)send_to_kind(icon, kind, kKmExit, 0);
    }
    IconId parent = node_parent(icon);
    // A damaged tree whose top is not node 1 ends the piece as well.
    if (node_icon_number(icon) == 1 || parent == 0) {
        s_kernel.context.state = kStatePieceEnded;
        exec_trace(kTraceKernel, "kernel ended");
        return 1;
    }
    int parent_kind = node_kind(parent);
    bool in_container = parent_kind == kKindInteraction || parent_kind == kKindDecision
        || (parent_kind == kKindFramework && node_child_list_of(parent, icon) == kListChildren);
    int result = in_container ? finish_in_container(icon, parent, parent_kind) : finish_in_list(icon, parent, parent_kind);
    if (result == 0)
        after_finish(icon, kind);
    return result;
}

static int step_done()
{
    IconId icon = s_kernel.context.icon;
    icon_state_set_word(icon, uint16_t(icon_state_word(icon) | kIconDone));
    exec_fire(kEventIconDone, icon);
    if (exec_trace_on(kTraceKernel))
        exec_trace(kTraceKernel, "kernel done " + node_text(icon));
    const ExecHooks& hooks = exec_hooks();
    if (hooks.pause_option && hooks.pause_option(icon) && exec_pause_applies(icon)) {
        exec_pause_at(icon);
        return 1;
    }
    return step_finish();
}

static int step_running()
{
    IconId icon = s_kernel.context.icon;
    int kind = s_kernel.context.kind;
    s_kernel.context.state = kStateIconDone;
    if (is_container_kind(kind))
        (void)send_to_kind(icon, kind, kKmResume, 0);
    else if (kind != kKindCalc)
        (void)send_to_kind(icon, kind, kKmEnter, 0);
    return 0;
}

static int step_state()
{
    switch (s_kernel.context.state) {
    case kStateEnter: return step_enter();
    case kStateIconDone: return step_done();
    case kStateWaiting:
        if (s_kernel.context.kind != kKindDecision)
            return 1;
        (void)send_to_kind(s_kernel.context.icon, s_kernel.context.kind, kKmResume, 0);
        return 0;
    case kStateRunning: return step_running();
    case kStatePauseEnded: return step_finish();
    default: return 1; // the waits, a pause, the end, a stop
    }
}

static void idle_step()
{
    const ExecHooks& hooks = exec_hooks();
    if (hooks.keys_queued && hooks.keys_queued())
        return;
    if (hooks.dobj_send_idle)
        hooks.dobj_send_idle();
    if (hooks.plugin_idle_notify)
        hooks.plugin_idle_notify();
}

int exec_step()
{
    // A SyncWait keeps the program's passes going from inside a step: what they ask for
    // (a jump, a quit) waits for that step to end, which runs it.
    if (s_kernel.context.state == kStateSyncWaiting)
        return 1;
    const ExecHooks& hooks = exec_hooks();
    if (hooks.trig_dirty && hooks.trig_dirty() && hooks.trig_update)
        hooks.trig_update();
    if (s_kernel.deferred.type != kDeferNone) {
        run_pending_action();
        return 0;
    }
    int result = step_state();
    if (result == 0 && s_kernel.deferred.type != kDeferNone)
        run_pending_action();
    if (result == 1)
        idle_step();
    return result;
}

// --- the module --------------------------------------------------------------------------------

void exec_context_encode(const KernelContext& context, uint8_t out[kContextSize])
{
    plat::store_u32le(out, context.icon);
    plat::store_u16le(out + 4, context.kind);
    plat::store_u32le(out + 6, uint32_t(context.state));
    plat::store_u16le(out + 10, context.depth);
    plat::store_u32le(out + 12, context.decision);
    plat::store_u32le(out + 16, context.interaction);
    plat::store_u32le(out + 20, context.framework);
}

static void put_context(uint8_t* out, const KernelContext& context)
{
    // A kernel that waits for drawing, a sync point or a sound is stored running: nothing
    // would end those waits after a resume.
    KernelContext stored = context;
    int32_t state = context.state;
    if (state == kStateSyncWaiting || state == kStateWaitDrawing || state == kStateWaitingSound)
        stored.state = kStateRunning;
    exec_context_encode(stored, out);
}

void exec_kernel_encode(uint8_t out[kKernelSavedSize])
{
    const KernelData& k = s_kernel;
    std::fill(out, out + kKernelSavedSize, uint8_t(0));
    // The pending action (4..19) and the handle slot (30) are written as 0: they are
    // addresses that mean nothing in another run.
    plat::store_u16le(out + kOffLogSize, uint16_t(k.log.size));
    plat::store_u16le(out + kOffLogIndex, uint16_t(k.log.index));
    plat::store_u32le(out + kOffLogWrapped, uint32_t(k.log.wrapped));
    plat::store_u16le(out + kOffLogRecord, k.log.record);
    plat::store_u16le(out + kOffFramesRecord, k.frames_record);
    plat::store_u32le(out + kOffResume, uint32_t(k.resume));
    plat::store_u32le(out + kOffLatch, uint32_t(k.latch_armed));
    plat::store_u32le(out + kOffLatch + 4, uint32_t(k.latch_taken));
    plat::store_u16le(out + kOffResumeIcon, k.resume_icon);
    plat::store_u32le(out + kOffNavFrom, uint32_t(k.nav_from));
    plat::store_u32le(out + kOffNavTo, uint32_t(k.nav_to));
    plat::store_u32le(out + kOffNavigating, uint32_t(k.navigating));
    plat::store_u32le(out + kOffCmi, uint32_t(k.cmi_track_all));
    put_context(out + kOffContext, k.context);
}

// 1 when the icon is 0 (allowed_zero) or a used node of the running piece.
static bool piece_icon_ok(IconId icon, bool allowed_zero)
{
    if (icon == 0)
        return allowed_zero;
    return node_icon_slot(icon) == uint32_t(piece_slot()) && node_is_valid(icon);
}

int exec_piece_icon_ok(IconId icon, int allowed_zero) { return piece_icon_ok(icon, allowed_zero != 0) ? 1 : 0; }

// Every context a frame keeps must fit the running piece, as the kernel's own does.
static bool context_ok(const KernelContext& context);

// The stored frames: tags 1..depth in order, 36 bytes each, naming icons of the running piece.
static bool frames_ok(const std::vector<uint8_t>& list, int depth)
{
    if (taglist_check(list.data(), list.size()) != 0)
        return false;
    plat::ByteReader r(list.data(), list.size());
    for (int n = 1;; n++) {
        uint16_t tag = r.u16le();
        if (r.failed() || tag == 0)
            return n == depth + 1;
        uint16_t length = r.u16le();
        if (tag != n || length != kFrameSize || r.remaining() < kFrameSize)
            return false;
        const uint8_t* frame = list.data() + r.position();
        KernelContext saved = exec_context_decode(frame);
        if (!context_ok(saved) || saved.depth != n - 1 || !piece_icon_ok(plat::load_u32le(frame + 24), true)
            || !piece_icon_ok(plat::load_u32le(frame + 28), true) || !piece_icon_ok(plat::load_u32le(frame + 32), false))
            return false;
        r.skip(kFrameSize);
    }
}

// Frame n starts at a fixed place: the list holds tags 1..depth in order, each 36 bytes.
static uint8_t* frame_at(int n)
{
    KernelData& k = s_kernel;
    if (n < 1 || n > k.context.depth)
        return nullptr;
    size_t offset = size_t(n - 1) * (4 + kFrameSize);
    if (k.frames.size() < offset + 4 + kFrameSize + 2)
        return nullptr;
    return k.frames.data() + offset + 4;
}

int exec_frame_read(int n, uint8_t out[kFrameSize])
{
    const uint8_t* frame = frame_at(n);
    if (!frame)
        return 0;
    std::copy(frame, frame + kFrameSize, out);
    return 1;
}

int exec_frame_write(int n, const uint8_t frame[kFrameSize])
{
    uint8_t* at = frame_at(n);
    if (!at)
        return 0;
    std::copy(frame, frame + kFrameSize, at);
    return 1;
}

int exec_frame_push(const uint8_t frame[kFrameSize])
{
    KernelData& k = s_kernel;
    if (k.context.depth == 0xFFFF)
        return 0;
    uint8_t head[4];
    plat::store_u16le(head, uint16_t(k.context.depth + 1));
    plat::store_u16le(head + 2, uint16_t(kFrameSize));
    size_t end = size_t(k.context.depth) * (4 + kFrameSize); // where the terminator stands
    try {
        k.frames.resize(end);
        k.frames.insert(k.frames.end(), head, head + 4);
        k.frames.insert(k.frames.end(), frame, frame + kFrameSize);
        k.frames.insert(k.frames.end(), 2, uint8_t(0));
    } catch (const std::bad_alloc&) {
        k.frames.resize(end);
        k.frames.insert(k.frames.end(), 2, uint8_t(0));
        return 0;
    }
    k.context.depth++;
    return 1;
}

void exec_frame_drop()
{
    KernelData& k = s_kernel;
    if (k.context.depth == 0)
        return;
    k.context.depth--;
    k.frames.resize(size_t(k.context.depth) * (4 + kFrameSize));
    k.frames.insert(k.frames.end(), 2, uint8_t(0));
}

void exec_restore_context(const KernelContext& context)
{
    s_kernel.context = context;
    s_kernel.public_icon = context.icon;
}

void exec_set_public_icon(IconId icon) { s_kernel.public_icon = icon; }

static void forget_records()
{
    s_kernel.frames_record = 0;
    s_kernel.frames.clear();
    s_kernel.log = IconLog {};
    s_kernel.context.icon = 0;
    s_kernel.context.kind = 0;
    s_kernel.public_icon = 0;
}

static int kernel_init(ModuleMessage* message)
{
    KernelData& k = s_kernel;
    IconId top = piece_top_icon();
    k.context = KernelContext {};
    k.context.icon = top;
    k.context.kind = uint16_t(top ? node_kind(top) : 0);
    k.public_icon = top;
    k.suspended = 0;
    k.deferred = KernelDeferredAction {};
    k.resume = top ? (node_get_attr(top, kAttrResume) != 0) : 0;
    k.nav_from = k.nav_to = k.navigating = 0;
    k.latch_armed = k.latch_taken = 0;
    k.log = IconLog {};
    k.resume_icon = 0;
    if (exec_hooks().keys_flush)
        exec_hooks().keys_flush();
    k.frames.assign(2, 0); // an empty tag list
    k.frames_record = urec_new_id();
    if (k.frames_record == 0)
        return kErrOutOfMemory;
    int error = urec_write(k.frames_record, k.frames.data(), k.frames.size());
    if (error)
        return error;
    message->size = int16_t(kKernelSavedSize);
    if (message->state)
        exec_kernel_encode(message->state);
    return 0;
}

KernelContext exec_context_decode(const uint8_t* in)
{
    plat::ByteReader r(in, kContextSize);
    KernelContext context;
    context.icon = r.u32le();
    context.kind = r.u16le();
    context.state = r.i32le();
    context.depth = r.u16le();
    context.decision = r.u32le();
    context.interaction = r.u32le();
    context.framework = r.u32le();
    return context;
}

// Every value the stored state names must fit the running piece.
static bool context_ok(const KernelContext& context)
{
    return piece_icon_ok(context.icon, false) && context.kind == node_kind(context.icon) && context.state >= 0
        && context.state <= kStateWaitingSound && piece_icon_ok(context.decision, true)
        && piece_icon_ok(context.interaction, true) && piece_icon_ok(context.framework, true);
}

static int restore_log(IconLog& log)
{
    if (log.size < 0 || log.size > kIconLogMax || log.index < 0 || log.index > kIconLogMax)
        return kErrStateSize;
    if (log.record == 0)
        return log.size == 0 ? 0 : kErrStateSize;
    std::vector<uint8_t> bytes;
    if (urec_read(log.record, bytes) != 0)
        return kErrOutOfMemory;
    if (bytes.size() != kIconLogBytes)
        return kErrStateSize;
    for (int i = 0; i < kIconLogSlots; i++) {
        IconId icon = plat::load_u32le(bytes.data() + 4 * i);
        if (!piece_icon_ok(icon, true))
            return kErrStateSize;
        log.slots[size_t(i)] = icon;
    }
    log.present = log.size > 0;
    return 0;
}

static int kernel_restore(ModuleMessage* message)
{
    if (message->size != int16_t(kKernelSavedSize) || !message->state)
        return kErrStateSize;
    const uint8_t* in = message->state;
    KernelContext context = exec_context_decode(in + kOffContext);
    uint16_t resume_icon = plat::load_u16le(in + kOffResumeIcon);
    if (!context_ok(context) || (resume_icon && !piece_icon_ok(node_make_icon(uint32_t(piece_slot()), resume_icon), false)))
        return kErrStateSize;
    IconLog log;
    log.size = int16_t(plat::load_u16le(in + kOffLogSize));
    log.index = int16_t(plat::load_u16le(in + kOffLogIndex));
    log.wrapped = plat::load_u32le(in + kOffLogWrapped) ? 1 : 0;
    log.record = plat::load_u16le(in + kOffLogRecord);
    uint16_t frames_record = plat::load_u16le(in + kOffFramesRecord);
    std::vector<uint8_t> frames;
    if (frames_record == 0 || urec_read(frames_record, frames) != 0)
        return kErrOutOfMemory;
    if (!frames_ok(frames, context.depth))
        return kErrStateSize;
    if (int error = restore_log(log))
        return error;
    KernelData& k = s_kernel;
    k.context = context;
    k.public_icon = context.icon;
    k.deferred = KernelDeferredAction {};
    k.log = log;
    k.frames = std::move(frames);
    k.frames_record = frames_record;
    k.resume = int32_t(plat::load_u32le(in + kOffResume));
    k.latch_armed = int32_t(plat::load_u32le(in + kOffLatch));
    k.latch_taken = int32_t(plat::load_u32le(in + kOffLatch + 4));
    k.resume_icon = resume_icon;
    k.nav_from = int32_t(plat::load_u32le(in + kOffNavFrom));
    k.nav_to = int32_t(plat::load_u32le(in + kOffNavTo));
    k.navigating = int32_t(plat::load_u32le(in + kOffNavigating));
    k.cmi_track_all = int32_t(plat::load_u32le(in + kOffCmi));
    // The resume driver's Resume lets it run.
    k.suspended = 1;
    return 0;
}

static int kernel_save(ModuleMessage* message)
{
    if (message->size != int16_t(kKernelSavedSize) || !message->state)
        return kErrStateSize;
    KernelData& k = s_kernel;
    if (int error = urec_write(k.frames_record, k.frames.data(), k.frames.size()))
        return error;
    if (k.log.present && k.log.record)
        write_icon_log();
    exec_kernel_encode(message->state);
    return 0;
}

int exec_kernel_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit: return kernel_init(message);
    case kModRestore: return kernel_restore(message);
    case kModSave: return kernel_save(message);
    case kModRelease:
        urec_release(s_kernel.frames_record);
        urec_release(s_kernel.log.record);
        forget_records();
        return 0;
    case kModDelete:
        if (s_kernel.frames_record)
            (void)urec_delete(s_kernel.frames_record);
        if (s_kernel.log.record)
            (void)urec_delete(s_kernel.log.record);
        forget_records();
        return 0;
    case kModSuspend: s_kernel.suspended = 1; return 0;
    case kModResume: s_kernel.suspended = 0; return 0;
    default: return 0;
    }
}

void exec_kernel_reset_all()
{
    KindHandler handlers[16];
    std::copy(std::begin(s_kernel.handlers), std::end(s_kernel.handlers), handlers);
    s_kernel = KernelData {};
    std::copy(std::begin(handlers), std::end(handlers), s_kernel.handlers);
}
