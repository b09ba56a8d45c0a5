// What the window layer asks of other programs' windows: sends, posts and copies, their
// placement, and what their snapshots say.
#include <algorithm>

#include "platform/ipc/ipc.h"
#include "platform/ipc/ipc_core.h"
#include "platform/kernel/error.h"
#include "platform/window/wintree.h"

namespace plat {

// System messages whose parameters are plain values, so that they mean the same in another
// program; every other one below WM_USER carries an address or a handle of this program.
static const uint32_t kCrossingMessages[] = {
    WM_NULL, WM_MOVE, WM_SIZE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_ENABLE, WM_SETREDRAW,
    WM_GETTEXTLENGTH, WM_PAINT, WM_CLOSE, WM_QUERYENDSESSION, WM_QUIT, WM_QUERYOPEN,
    WM_SYSCOLORCHANGE, WM_ENDSESSION, WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_CANCELMODE,
    WM_SETCURSOR, WM_MOUSEACTIVATE, WM_NCHITTEST, WM_NCACTIVATE, WM_KEYDOWN, WM_KEYUP, WM_CHAR,
    WM_DEADCHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR, WM_SYSDEADCHAR, WM_COMMAND,
    WM_SYSCOMMAND, WM_HSCROLL, WM_VSCROLL, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP,
    WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN,
    WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_MOUSEWHEEL, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, WM_UNDO,
    WM_QUERYNEWPALETTE, WM_PALETTECHANGED, WM_HOTKEY,
};

bool ipc_message_crosses(uint32_t message)
{
    if (message >= WM_USER)
        return true;
    return std::find(std::begin(kCrossingMessages), std::end(kCrossingMessages), message) != std::end(kCrossingMessages);
}

bool ipc_is_foreign(WindowHandle window)
{
    uint32_t program = window_program_of(window);
    return program != 0 && program != wintree_program();
}

static bool fail(uint32_t error)
{
    set_last_error(error);
    return false;
}

static bool copy_payload(LParam lparam, WParam wparam, uint32_t window, std::vector<uint8_t>& payload)
{
    auto data = reinterpret_cast<const CopyDataStruct*>(lparam);
    if (!data || data->cb_data > kCopyDataMax || (data->cb_data && !data->lp_data))
        return false;
    CopyFrame copy;
    copy.window = window;
    copy.wparam = wparam;
    copy.dwdata = data->dw_data;
    const uint8_t* bytes = static_cast<const uint8_t*>(data->lp_data);
    copy.bytes.assign(bytes, bytes + data->cb_data);
    payload = frame_encode_copy(copy);
    return true;
}

// A request that the other program's window thread answers; false with the error.
static bool ask(uint32_t program, FrameKind kind, const std::vector<uint8_t>& payload, uint32_t timeout_ms, LResult& result)
{
    ReplyFrame reply;
    uint32_t error = ipc_core_request(program, kind, payload, timeout_ms, WhileWaiting::run_sent, reply);
    if (!error)
        error = reply.error;
    if (error)
        return fail(error);
    result = LResult(reply.result);
    return true;
}

bool ipc_send(WindowHandle window, uint32_t message, WParam wparam, LParam lparam, uint32_t flags,
    uint32_t timeout_ms, LResult& result)
{
    result = 0;
    if (!ipc_active())
        return fail(ERROR_INVALID_WINDOW_HANDLE);
    FrameKind kind = FrameKind::send;
    std::vector<uint8_t> payload;
    if (message == WM_COPYDATA) {
        kind = FrameKind::copy_data;
        if (!copy_payload(lparam, wparam, window.id, payload))
            return fail(ERROR_INVALID_PARAMETER);
    } else if (!ipc_message_crosses(message)) {
        return fail(ERROR_ACCESS_DENIED);
    } else {
        payload = frame_encode_message(MessageFrame{window.id, message, wparam, int64_t(lparam), flags});
    }
    return ask(window_program_of(window), kind, payload, timeout_ms, result);
}

bool ipc_post(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (!ipc_active())
        return fail(ERROR_INVALID_WINDOW_HANDLE);
    if (message == WM_COPYDATA || !ipc_message_crosses(message))
        return fail(ERROR_ACCESS_DENIED);
    std::vector<uint8_t> payload = frame_encode_message(MessageFrame{window.id, message, wparam, int64_t(lparam), 0});
    uint32_t error = ipc_core_send_only(window_program_of(window), FrameKind::post, payload);
    return error ? fail(error) : true;
}

bool ipc_place(const PlaceFrame& place, LResult& result)
{
    result = 0;
    if (!ipc_active())
        return fail(ERROR_INVALID_WINDOW_HANDLE);
    return ask(window_program_of(WindowHandle(place.window)), FrameKind::place, frame_encode_place(place),
        kIpcSendTimeoutMs, result);
}

bool ipc_window_info(WindowHandle window, SnapshotWindow& out)
{
    uint32_t program = window_program_of(window);
    if (!ipc_active() || !ipc_is_foreign(window))
        return fail(ERROR_INVALID_WINDOW_HANDLE);
    for (ProgramSnapshot& snapshot : ipc_core_snapshots(program)) {
        for (SnapshotWindow& candidate : snapshot.windows) {
            if (candidate.id == window.id) {
                out = std::move(candidate);
                return true;
            }
        }
    }
    return fail(ERROR_INVALID_WINDOW_HANDLE);
}

std::vector<SnapshotWindow> ipc_other_windows()
{
    std::vector<SnapshotWindow> windows;
    for (ProgramSnapshot& snapshot : ipc_core_snapshots(0)) {
        for (SnapshotWindow& window : snapshot.windows)
            windows.push_back(std::move(window));
    }
    return windows;
}

} // namespace plat
