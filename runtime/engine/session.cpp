#include "runtime/engine/session.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/clock.h"
#include "runtime/engine/idle.h"
#include "runtime/engine/kernel.h"
#include "runtime/files/clock.h"
#include "runtime/files/sched.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/text/intl.h"

#include <algorithm>

namespace {

struct SessionState {
    SessionBlock block;
    uint32_t sync_pause = 0; // not stored
    SessionPump pump = nullptr;
};

SessionState s_session;

enum : int {
    kPumpCloseWaiting = 2,
    kPumpMaximizeWaiting = 3,
};
// The longest single sleep of a wait: messages that arrive meanwhile are seen this late.
constexpr uint32_t kWaitSliceMs = 10;

} // namespace

void session_encode(const SessionBlock& block, uint8_t out[kSessionBlockSize])
{
    std::vector<uint8_t> bytes;
    plat::ByteWriter w(bytes);
    w.u16le(block.sessions);
    w.u32le(uint32_t(block.first_date));
    w.u32le(uint32_t(block.previous_date));
    w.u32le(uint32_t(block.current_date));
    w.u32le(block.session_start);
    w.u32le(block.last_save);
    w.u32le(uint32_t(block.earlier_seconds));
    w.u32le(block.sync_start);
    w.u32le(block.sync_icon);
    w.u32le(uint32_t(block.sync_mode));
    std::copy(bytes.begin(), bytes.end(), out);
}

SessionBlock session_decode(const uint8_t in[kSessionBlockSize])
{
    plat::ByteReader r(in, kSessionBlockSize);
    SessionBlock block;
    block.sessions = r.u16le();
    block.first_date = r.i32le();
    block.previous_date = r.i32le();
    block.current_date = r.i32le();
    block.session_start = r.u32le();
    block.last_save = r.u32le();
    block.earlier_seconds = r.i32le();
    block.sync_start = r.u32le();
    block.sync_icon = r.u32le();
    block.sync_mode = r.i32le();
    return block;
}

void exec_get_session_info(uint8_t out[kSessionBlockSize]) { session_encode(s_session.block, out); }

int32_t exec_total_time()
{
    const SessionBlock& block = s_session.block;
    return block.earlier_seconds + int32_t((clock_now_ms() - block.session_start) / 1000);
}

// --- the clock ----------------------------------------------------------------------------------

static bool clock_paused() { return s_session.sync_pause != s_session.block.sync_start; }

void exec_sync_set(int mode, IconId icon)
{
    s_session.block.sync_mode = mode;
    s_session.block.sync_icon = icon;
}

void exec_sync_event(int mode, int kind, IconId icon)
{
    SessionBlock& block = s_session.block;
    if (block.sync_icon == 0 || mode != block.sync_mode)
        return;
    if (icon != block.sync_icon && (icon != 0 || node_kind(block.sync_icon) != kind))
        return;
    exec_sync_restart();
    exec_sync_set(0, 0);
}

int exec_sync_paused() { return s_session.block.sync_icon == 0 && clock_paused() ? 1 : 0; }

uint32_t exec_sync_elapsed_ms()
{
    uint32_t end = clock_paused() ? s_session.sync_pause : clock_now_ms();
    return end - s_session.block.sync_start;
}

int exec_sync_elapsed(double seconds)
{
    if (clock_paused())
        return 1;
    if (s_session.block.sync_icon != 0)
        return 0;
    return exec_sync_elapsed_ms() * 0.001 >= seconds ? 1 : 0;
}

void exec_sync_restart() { s_session.block.sync_start = s_session.sync_pause = clock_now_ms(); }

void exec_sync_pause()
{
    if (clock_paused())
        return;
    uint32_t now = clock_now_ms();
    s_session.sync_pause = now == s_session.block.sync_start ? now + 1 : now;
}

void exec_sync_continue()
{
    if (!clock_paused())
        return;
    s_session.block.sync_start += clock_now_ms() - s_session.sync_pause;
    s_session.sync_pause = s_session.block.sync_start;
}

int session_sync_waits_mode2() { return s_session.block.sync_icon != 0 && s_session.block.sync_mode == 2; }

// --- SyncPoint and SyncWait -----------------------------------------------------------------------

// Icons whose own calculation calls SyncPoint: they have started by then.
static bool starts_in_own_calc(int kind)
{
    return kind == kKindInteraction || kind == kKindDecision || kind == kKindMap || kind == kKindWait
        || kind == kKindCalc || kind == kKindGuidepack;
}

void exec_sync_point(int has_option, int option)
{
    IconId icon = exec_public_icon();
    int kind = icon ? node_kind(icon) : 0;
    int mode = 1;
    if (has_option && option == 1)
        mode = 2;
    else if (has_option && option == 2)
        mode = kind == kKindInteraction ? 3 : 2;
    exec_sync_set(mode, icon);
    if (mode == 1 && starts_in_own_calc(kind))
        exec_sync_event(1, kind, icon);
}

// Sleeps until the wait's end or the next task, whichever comes first, but never long enough
// to leave a message unseen for more than a slice.
static void sleep_in_wait(double seconds)
{
    double left_ms = seconds * 1000.0 - double(exec_sync_elapsed_ms());
    uint32_t delay = left_ms <= 1.0 ? 1 : uint32_t(std::min(left_ms + 0.999, double(kWaitSliceMs)));
    delay = std::max<uint32_t>(1, std::min(delay, sched_ms_to_next(0)));
    plat::clock_wait(delay);
}

void exec_sync_wait(double seconds)
{
    if (clock_paused())
        return;
    IconId icon = exec_public_icon();
    exec_wait_sync_begin();
    // Jumps, quits and closes asked for meanwhile stay deferred: the step that called us runs
    // them when it returns.
    while (!exec_sync_elapsed(seconds) && exec_public_icon() == icon) {
        int pumped = s_session.pump ? s_session.pump() : 0;
        if (pumped == kPumpCloseWaiting || pumped == kPumpMaximizeWaiting)
            break;
        (void)exec_idle_pass(kAllTaskKinds);
        if (pumped == 0 && !exec_sync_elapsed(seconds) && exec_public_icon() == icon)
            sleep_in_wait(seconds);
    }
    (void)exec_wait_sync_end();
}

void session_set_pump(SessionPump pump) { s_session.pump = pump; }

// --- the module -----------------------------------------------------------------------------------

static void session_sync_reset()
{
    exec_sync_restart();
    exec_sync_set(0, 0);
}

static void session_reset()
{
    SessionBlock& block = s_session.block;
    block = SessionBlock();
    block.sessions = 1;
    block.first_date = block.current_date = int32_t(intl_now());
    block.session_start = clock_now_ms();
    session_sync_reset();
}

static void session_before_save()
{
    SessionBlock& block = s_session.block;
    block.last_save = clock_now_ms();
    if (clock_paused()) {
        block.sync_start = block.last_save - (s_session.sync_pause - block.sync_start);
        s_session.sync_pause = block.last_save;
    }
}

static void session_after_restore()
{
    SessionBlock& block = s_session.block;
    uint32_t now = clock_now_ms();
    block.sessions++;
    if (block.last_save != 0) {
        if (int32_t(block.sync_start - block.last_save) < 0) {
            block.sync_start += now - block.last_save;
            s_session.sync_pause = block.sync_start;
        }
        block.earlier_seconds += int32_t((block.last_save - block.session_start) / 1000);
    }
    block.previous_date = block.current_date;
    block.current_date = int32_t(intl_now());
    block.last_save = 0;
    block.session_start = now;
}

int session_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit:
        if (message->reset)
            session_reset();
        else
            session_sync_reset();
        if (message->state)
            session_encode(s_session.block, message->state);
        message->size = int16_t(kSessionBlockSize);
        return 0;
    case kModSave:
        if (message->size != int16_t(kSessionBlockSize) || !message->state)
            return kErrStateSize;
        session_before_save();
        session_encode(s_session.block, message->state);
        message->size = int16_t(kSessionBlockSize);
        return 0;
    case kModRestore:
        if (message->size != int16_t(kSessionBlockSize) || !message->state)
            return kErrStateSize;
        s_session.block = session_decode(message->state);
        s_session.sync_pause = s_session.block.sync_start;
        session_after_restore();
        return 0;
    case kModSuspend:
        exec_sync_pause();
        return 0;
    case kModResume:
        exec_sync_continue();
        return 0;
    default:
        return 0;
    }
}

void session_reset_all()
{
    s_session = SessionState();
}
