#include "platform/window/message.h"

#include <deque>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/error.h"
#include "platform/ipc/ipc.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/wintree.h"

namespace plat {

struct IncomingSend {
    Msg msg;
    SentReply reply = nullptr;
    void* context = nullptr;
};

struct QueueState {
    std::deque<Msg> posted;
    std::deque<IncomingSend> incoming;
    bool quit = false;
    int quit_code = 0;
    uint32_t last_time = 0;
    Point last_pt;
    uint32_t sender = 0; // of the message being handled
};

static QueueState s_queue;

static Msg stamped(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    Msg msg;
    msg.hwnd = window;
    msg.message = message;
    msg.wparam = wparam;
    msg.lparam = lparam;
    msg.time = get_tick_count();
    get_cursor_pos(msg.pt);
    return msg;
}

LResult call_window_proc(WindowProc proc, WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    return proc ? proc(window, message, wparam, lparam) : 0;
}

static void broadcast_send(uint32_t message, WParam wparam, LParam lparam)
{
    std::vector<WindowHandle> windows = wintree_top_levels();
    for (WindowHandle window : windows)
        send_message(window, message, wparam, lparam);
}

LResult send_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (window == HWND_BROADCAST) {
        broadcast_send(message, wparam, lparam);
        return 1;
    }
    if (ipc_is_foreign(window)) {
        LResult result = 0;
        ipc_send(window, message, wparam, lparam, 0, kIpcSendTimeoutMs, result);
        return result;
    }
    WindowRecord* record = wintree_find(window);
    if (!record || wintree_is_desktop(window)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    uint32_t outer = message_set_sender_process(0);
    LResult result = call_window_proc(record->proc, window, message, wparam, lparam);
    message_set_sender_process(outer);
    return result;
}

LResult send_message_timeout(WindowHandle window, uint32_t message, WParam wparam, LParam lparam,
    uint32_t flags, uint32_t timeout_ms, LResult* result)
{
    LResult answer = 0;
    bool done = false;
    if (ipc_is_foreign(window)) {
        uint32_t send_flags = (flags & SMTO_ABORTIFHUNG) ? uint32_t(kSendAbortIfHung) : 0u;
        done = ipc_send(window, message, wparam, lparam, send_flags, timeout_ms, answer);
    } else if (window == HWND_BROADCAST || (wintree_find(window) && !wintree_is_desktop(window))) {
        answer = send_message(window, message, wparam, lparam);
        done = true;
    } else {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
    }
    if (result)
        *result = answer;
    return done ? 1 : 0;
}

uint32_t get_message_sender_process() { return s_queue.sender; }

uint32_t message_set_sender_process(uint32_t pid)
{
    uint32_t previous = s_queue.sender;
    s_queue.sender = pid;
    return previous;
}

static bool queue_posted(const Msg& msg)
{
    if (s_queue.posted.size() >= kPostedMessageLimit) {
        set_last_error(ERROR_NOT_ENOUGH_QUOTA);
        return false;
    }
    s_queue.posted.push_back(msg);
    return true;
}

bool post_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (window == HWND_BROADCAST) {
        bool all = true;
        for (WindowHandle top : wintree_top_levels())
            all = queue_posted(stamped(top, message, wparam, lparam)) && all;
        return all;
    }
    if (ipc_is_foreign(window))
        return ipc_post(window, message, wparam, lparam);
    if (window && !wintree_find(window)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return queue_posted(stamped(window, message, wparam, lparam));
}

bool message_post_from_process(WindowHandle window, uint32_t message, WParam wparam, LParam lparam, uint32_t pid)
{
    Msg msg = stamped(window, message, wparam, lparam);
    msg.sender = pid;
    return queue_posted(msg);
}

void post_quit_message(int exit_code)
{
    s_queue.quit = true;
    s_queue.quit_code = exit_code;
}

void message_receive_sent(const Msg& msg, SentReply reply, void* context)
{
    s_queue.incoming.push_back(IncomingSend{msg, reply, context});
}

// Messages sent from outside the thread are answered before anything else is looked at.
static void deliver_incoming()
{
    while (!s_queue.incoming.empty()) {
        IncomingSend send = s_queue.incoming.front();
        s_queue.incoming.pop_front();
        LResult result = send_message(send.msg.hwnd, send.msg.message, send.msg.wparam, send.msg.lparam);
        if (send.reply)
            send.reply(result, send.context);
    }
}

static bool in_range(uint32_t message, uint32_t first, uint32_t last)
{
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

static bool take_posted(Msg& out, WindowHandle filter, uint32_t first, uint32_t last, bool remove)
{
    for (auto it = s_queue.posted.begin(); it != s_queue.posted.end(); ++it) {
        if ((filter && it->hwnd != filter) || !in_range(it->message, first, last))
            continue;
        out = *it;
        if (remove)
            s_queue.posted.erase(it);
        return true;
    }
    return false;
}

static bool take_quit(Msg& out, uint32_t first, uint32_t last, bool remove)
{
    if (!s_queue.quit || !in_range(WM_QUIT, first, last))
        return false;
    out = stamped({}, WM_QUIT, WParam(intptr_t(s_queue.quit_code)), 0);
    if (remove)
        s_queue.quit = false;
    return true;
}

static bool take_generated(Msg& out, WindowHandle filter, uint32_t first, uint32_t last, bool remove)
{
    if (in_range(WM_PAINT, first, last) && paint_next_message(out, filter)) {
        Msg paint = stamped(out.hwnd, WM_PAINT, 0, 0);
        out = paint;
        return true;
    }
    if (in_range(WM_TIMER, first, last) && timer_next_message(out, filter, remove)) {
        get_cursor_pos(out.pt);
        return true;
    }
    return false;
}

// One look at the queue in Win32's order, without waiting.
static bool look(Msg& out, WindowHandle filter, uint32_t first, uint32_t last, bool remove)
{
    ipc_pump();
    deliver_incoming();
    bool found = take_posted(out, filter, first, last, remove)
        || take_quit(out, first, last, remove)
        || input_next_message(out, filter, first, last, remove)
        || take_generated(out, filter, first, last, remove);
    if (found && remove) {
        s_queue.last_time = out.time;
        s_queue.last_pt = out.pt;
    }
    return found;
}

bool peek_message(Msg& msg, WindowHandle window, uint32_t first, uint32_t last, uint32_t remove)
{
    if (look(msg, window, first, last, (remove & PM_REMOVE) != 0))
        return true;
    backend_poll();
    return false;
}

// How long a get with this filter may sleep: until a timer it can take is due.
static uint32_t wait_limit(WindowHandle filter, uint32_t first, uint32_t last)
{
    return in_range(WM_TIMER, first, last) ? timer_ms_until_due(filter) : INFINITE;
}

int get_message(Msg& msg, WindowHandle window, uint32_t first, uint32_t last)
{
    if (window && !wintree_find(window)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    while (!look(msg, window, first, last, true)) {
        if (!backend_wait(wait_limit(window, first, last)))
            return -1;
    }
    return msg.message == WM_QUIT ? 0 : 1;
}

static bool anything_waiting()
{
    Msg ignored;
    return !s_queue.posted.empty() || !s_queue.incoming.empty() || s_queue.quit
        || input_pending() || look(ignored, {}, 0, 0, false);
}

bool wait_message()
{
    while (!anything_waiting()) {
        if (!backend_wait(timer_ms_until_due()))
            return false;
    }
    return true;
}

LResult dispatch_message(const Msg& msg)
{
    if (msg.message == WM_TIMER && msg.lparam != 0) {
        auto proc = reinterpret_cast<void (*)(WindowHandle, uint32_t, uintptr_t, uint32_t)>(msg.lparam);
        proc(msg.hwnd, WM_TIMER, msg.wparam, get_tick_count());
        return 0;
    }
    WindowRecord* record = wintree_find(msg.hwnd);
    if (!record)
        return 0;
    if (msg.message != WM_PAINT) {
        uint32_t outer = message_set_sender_process(msg.sender);
        LResult result = call_window_proc(record->proc, msg.hwnd, msg.message, msg.wparam, msg.lparam);
        message_set_sender_process(outer);
        return result;
    }
    paint_before_dispatch(msg.hwnd);
    LResult result = call_window_proc(record->proc, msg.hwnd, msg.message, msg.wparam, msg.lparam);
    paint_after_dispatch(msg.hwnd);
    return result;
}

uint32_t get_message_time() { return s_queue.last_time; }

Point get_message_pos() { return s_queue.last_pt; }

bool get_input_state() { return input_pending(); }

void message_queue_reset() { s_queue = QueueState{}; }

} // namespace plat
