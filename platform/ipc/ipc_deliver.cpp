// The window thread's side: the snapshot of this program's windows that the I/O thread hands
// to others, and running what other programs sent, with a log line for each arrival.
#include <cstdio>
#include <string>
#include <unistd.h>

#include "platform/ipc/ipc.h"
#include "platform/ipc/ipc_core.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/kernel/log.h"
#include "platform/window/focus.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"

namespace plat {

static SnapshotWindow describe_window(const WindowRecord& record)
{
    SnapshotWindow window;
    window.id = record.handle.id;
    window.pid = uint32_t(getpid());
    window.style = record.style;
    window.window_rect = record.window_rect;
    bool placed_apart = record.style & (WS_MINIMIZE | WS_MAXIMIZE);
    window.normal_rect = placed_apart ? record.normal_rect : record.window_rect;
    char name[256];
    int length = get_class_name(record.handle, name, sizeof name);
    window.class_name = code_page_to_utf8(CP_ACP, std::string(name, size_t(length > 0 ? length : 0)));
    window.title = code_page_to_utf8(CP_ACP, record.text);
    return window;
}

static void publish_snapshot()
{
    std::vector<SnapshotWindow> windows;
    for (WindowHandle handle : wintree_top_levels()) {
        WindowRecord* record = wintree_find(handle);
        if (record && !record->destroying)
            windows.push_back(describe_window(*record));
    }
    ipc_core_publish(std::move(windows));
}

void ipc_pump()
{
    if (!ipc_active())
        return;
    ipc_core_looked();
    publish_snapshot();
    IpcIncoming incoming;
    bool delivered = false;
    while (ipc_core_take_incoming(incoming, false)) {
        ipc_deliver(incoming);
        delivered = true;
    }
    // What arrived may have changed the windows, and the program may sleep next.
    if (delivered)
        publish_snapshot();
}

static std::string hex4(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// "CLASS "TITLE"" of one of this program's windows, or "window N" for an id it does not have.
static std::string target_text(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return "window " + std::to_string(window.id);
    char name[256];
    int length = get_class_name(window, name, sizeof name);
    return std::string(name, size_t(length > 0 ? length : 0)) + " " + log_quote(record->text);
}

static std::string outcome_text(LResult result, uint32_t error)
{
    return error ? " failed " + std::to_string(error) : " answered " + std::to_string(result);
}

static void log_arrival(const IpcIncoming& incoming, const std::string& what, WindowHandle window,
    const std::string& outcome)
{
    log_event("from program " + std::to_string(incoming.from->peer_pid) + ": " + what + " to "
        + target_text(window) + outcome);
}

static std::string message_text(const char* kind, const MessageFrame& message)
{
    return std::string(kind) + " " + hex4(message.message) + " wparam " + std::to_string(message.wparam)
        + " lparam " + std::to_string(message.lparam);
}

// A window of this program that may take a message from outside; else the error.
static uint32_t check_target(WindowHandle window, uint32_t message)
{
    if (!wintree_find(window) || wintree_is_desktop(window) || ipc_is_foreign(window))
        return ERROR_INVALID_WINDOW_HANDLE;
    return ipc_message_crosses(message) ? 0u : uint32_t(ERROR_ACCESS_DENIED);
}

// Runs the window's procedure as a message sent by that process (a send it makes itself from
// there is its own again).
static LResult call_for(uint32_t pid, WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return 0;
    uint32_t outer = message_set_sender_process(pid);
    LResult result = call_window_proc(record->proc, window, message, wparam, lparam);
    message_set_sender_process(outer);
    return result;
}

static void deliver_send(IpcIncoming& incoming)
{
    const MessageFrame& message = incoming.message;
    WindowHandle window(message.window);
    uint32_t error = check_target(window, message.message);
    std::string target = target_text(window);
    LResult result = 0;
    if (!error)
        result = call_for(incoming.from->peer_pid, window, message.message, WParam(message.wparam), LParam(message.lparam));
    publish_snapshot(); // before the answer: the sender may ask about the windows next
    ipc_core_reply(incoming, result, error);
    log_event("from program " + std::to_string(incoming.from->peer_pid) + ": " + message_text("send", message)
        + " to " + target + outcome_text(result, error));
}

static void deliver_post(IpcIncoming& incoming)
{
    const MessageFrame& message = incoming.message;
    WindowHandle window(message.window);
    uint32_t error = check_target(window, message.message);
    if (!error)
        message_post_from_process(window, message.message, WParam(message.wparam), LParam(message.lparam), incoming.from->peer_pid);
    log_arrival(incoming, message_text("post", message), window, error ? outcome_text(0, error) : "");
}

static void deliver_copy(IpcIncoming& incoming)
{
    const CopyFrame& copy = incoming.copy;
    WindowHandle window(copy.window);
    uint32_t error = check_target(window, WM_USER); // the copy itself may cross
    std::string target = target_text(window);
    LResult result = 0;
    if (!error) {
        CopyDataStruct data;
        data.dw_data = uintptr_t(copy.dwdata);
        data.cb_data = uint32_t(copy.bytes.size());
        data.lp_data = copy.bytes.empty() ? nullptr : copy.bytes.data();
        result = call_for(incoming.from->peer_pid, window, WM_COPYDATA, WParam(copy.wparam),
            LParam(reinterpret_cast<intptr_t>(&data)));
    }
    publish_snapshot(); // before the answer: the sender may ask about the windows next
    ipc_core_reply(incoming, result, error);
    log_event("from program " + std::to_string(incoming.from->peer_pid) + ": copydata " + std::to_string(copy.dwdata)
        + " bytes " + std::to_string(copy.bytes.size()) + " to " + target + outcome_text(result, error));
}

static LResult do_place(const PlaceFrame& place)
{
    WindowHandle window(place.window);
    switch (place.op) {
    case PlaceOp::show: return show_window(window, int(place.argument));
    case PlaceOp::foreground: return set_foreground_window(window);
    case PlaceOp::position:
        return set_window_pos(window, WindowHandle(place.argument), place.x, place.y, place.cx, place.cy, place.flags);
    }
    return 0;
}

static std::string place_text(const PlaceFrame& place)
{
    switch (place.op) {
    case PlaceOp::show: return "show " + std::to_string(place.argument);
    case PlaceOp::foreground: return "foreground";
    case PlaceOp::position: return "position flags " + hex4(place.flags);
    }
    return {};
}

static void deliver_place(IpcIncoming& incoming)
{
    WindowHandle window(incoming.place.window);
    WindowRecord* record = wintree_find(window);
    uint32_t error = record && wintree_is_top_level(*record) ? 0 : ERROR_INVALID_WINDOW_HANDLE;
    std::string target = target_text(window);
    LResult result = error ? 0 : do_place(incoming.place);
    publish_snapshot(); // before the answer: the sender may ask about the windows next
    ipc_core_reply(incoming, result, error);
    log_event("from program " + std::to_string(incoming.from->peer_pid) + ": " + place_text(incoming.place) + " to "
        + target + outcome_text(result, error));
}

void ipc_deliver(IpcIncoming& incoming)
{
    switch (incoming.kind) {
    case FrameKind::send: deliver_send(incoming); break;
    case FrameKind::post: deliver_post(incoming); break;
    case FrameKind::copy_data: deliver_copy(incoming); break;
    case FrameKind::place: deliver_place(incoming); break;
    default: break;
    }
}

} // namespace plat
