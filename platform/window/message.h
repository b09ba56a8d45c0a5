// Window messages and the thread's message queue, with Win32's meaning: send calls a window
// procedure at once, post queues; peek and get take messages in Win32's order (messages sent
// from outside the thread, then posted ones, the quit request, input, WM_PAINT when nothing
// else is pending, WM_TIMER last); dispatch hands a message to its window procedure. Message
// numbers keep Win32's names and values: pieces store them and other programs send them.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/kernel/handle.h"

namespace plat {

using WindowHandle = Handle<struct WindowTag>;
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;
using WindowProc = LResult (*)(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);

// Window handles with a meaning of their own: send and post to every top-level window; places
// in the z-order for set_window_pos.
constexpr WindowHandle HWND_BROADCAST{0xFFFF};
constexpr WindowHandle HWND_TOP{0};
constexpr WindowHandle HWND_BOTTOM{1};
constexpr WindowHandle HWND_TOPMOST{0xFFFFFFFF};
constexpr WindowHandle HWND_NOTOPMOST{0xFFFFFFFE};

enum : uint32_t {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_ENABLE = 0x000A,
    WM_SETREDRAW = 0x000B,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_GETTEXTLENGTH = 0x000E,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUERYENDSESSION = 0x0011,
    WM_QUIT = 0x0012,
    WM_QUERYOPEN = 0x0013,
    WM_ERASEBKGND = 0x0014,
    WM_SYSCOLORCHANGE = 0x0015,
    WM_ENDSESSION = 0x0016,
    WM_SHOWWINDOW = 0x0018,
    WM_SETTINGCHANGE = 0x001A,
    WM_ACTIVATEAPP = 0x001C,
    WM_CANCELMODE = 0x001F,
    WM_SETCURSOR = 0x0020,
    WM_MOUSEACTIVATE = 0x0021,
    WM_GETMINMAXINFO = 0x0024,
    WM_NEXTDLGCTL = 0x0028,
    WM_DRAWITEM = 0x002B,
    WM_MEASUREITEM = 0x002C,
    WM_SETFONT = 0x0030,
    WM_GETFONT = 0x0031,
    WM_COMPACTING = 0x0041,
    WM_WINDOWPOSCHANGING = 0x0046,
    WM_WINDOWPOSCHANGED = 0x0047,
    WM_COPYDATA = 0x004A,
    WM_NOTIFY = 0x004E,
    WM_CONTEXTMENU = 0x007B,
    WM_STYLECHANGING = 0x007C,
    WM_STYLECHANGED = 0x007D,
    WM_DISPLAYCHANGE = 0x007E,
    WM_GETICON = 0x007F,
    WM_SETICON = 0x0080,
    WM_NCCREATE = 0x0081,
    WM_NCDESTROY = 0x0082,
    WM_NCCALCSIZE = 0x0083,
    WM_NCHITTEST = 0x0084,
    WM_NCPAINT = 0x0085,
    WM_NCACTIVATE = 0x0086,
    WM_GETDLGCODE = 0x0087,
    WM_NCMOUSEMOVE = 0x00A0,
    WM_NCLBUTTONDOWN = 0x00A1,
    WM_NCLBUTTONUP = 0x00A2,
    WM_NCLBUTTONDBLCLK = 0x00A3,
    WM_NCRBUTTONDOWN = 0x00A4,
    WM_NCRBUTTONUP = 0x00A5,
    WM_NCRBUTTONDBLCLK = 0x00A6,
    WM_NCMBUTTONDOWN = 0x00A7,
    WM_NCMBUTTONUP = 0x00A8,
    WM_NCMBUTTONDBLCLK = 0x00A9,
    WM_KEYFIRST = 0x0100,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_DEADCHAR = 0x0103,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_SYSCHAR = 0x0106,
    WM_SYSDEADCHAR = 0x0107,
    WM_KEYLAST = 0x0109,
    WM_IME_STARTCOMPOSITION = 0x010D,
    WM_IME_ENDCOMPOSITION = 0x010E,
    WM_IME_COMPOSITION = 0x010F,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_TIMER = 0x0113,
    WM_HSCROLL = 0x0114,
    WM_VSCROLL = 0x0115,
    WM_INITMENU = 0x0116,
    WM_INITMENUPOPUP = 0x0117,
    WM_MENUSELECT = 0x011F,
    WM_ENTERIDLE = 0x0121,
    WM_CTLCOLORMSGBOX = 0x0132,
    WM_CTLCOLOREDIT = 0x0133,
    WM_CTLCOLORLISTBOX = 0x0134,
    WM_CTLCOLORBTN = 0x0135,
    WM_CTLCOLORDLG = 0x0136,
    WM_CTLCOLORSCROLLBAR = 0x0137,
    WM_CTLCOLORSTATIC = 0x0138,
    WM_MOUSEFIRST = 0x0200,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_RBUTTONDBLCLK = 0x0206,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MBUTTONDBLCLK = 0x0209,
    WM_MOUSEWHEEL = 0x020A,
    WM_MOUSELAST = 0x020E,
    WM_PARENTNOTIFY = 0x0210,
    WM_ENTERMENULOOP = 0x0211,
    WM_EXITMENULOOP = 0x0212,
    WM_CAPTURECHANGED = 0x0215,
    WM_ENTERSIZEMOVE = 0x0231, // around a move of the window by the mouse
    WM_EXITSIZEMOVE = 0x0232,
    WM_IME_SETCONTEXT = 0x0281,
    WM_IME_NOTIFY = 0x0282,
    WM_MOUSEHOVER = 0x02A1,
    WM_MOUSELEAVE = 0x02A3,
    WM_CUT = 0x0300,
    WM_COPY = 0x0301,
    WM_PASTE = 0x0302,
    WM_CLEAR = 0x0303,
    WM_UNDO = 0x0304,
    WM_QUERYNEWPALETTE = 0x030F,
    WM_PALETTEISCHANGING = 0x0310,
    WM_PALETTECHANGED = 0x0311,
    WM_HOTKEY = 0x0312,
    WM_USER = 0x0400,
    WM_APP = 0x8000,
};

// WM_SYSCOMMAND commands (the low four bits are the system's own).
enum : uint32_t {
    SC_SIZE = 0xF000,
    SC_MOVE = 0xF010,
    SC_MINIMIZE = 0xF020,
    SC_MAXIMIZE = 0xF030,
    SC_NEXTWINDOW = 0xF040,
    SC_CLOSE = 0xF060,
    SC_MOUSEMENU = 0xF090,
    SC_KEYMENU = 0xF100,
    SC_RESTORE = 0xF120,
    SC_TASKLIST = 0xF130,
};

// Peek options.
enum : uint32_t {
    PM_NOREMOVE = 0x0000,
    PM_REMOVE = 0x0001,
    PM_NOYIELD = 0x0002,
};

// Per Win32 a queue holds at most this many posted messages; past it posting fails with
// ERROR_NOT_ENOUGH_QUOTA, so a runaway poster cannot exhaust memory.
constexpr uint32_t kPostedMessageLimit = 10000;
constexpr uint32_t ERROR_NOT_ENOUGH_QUOTA = 1816;
constexpr uint32_t ERROR_INVALID_WINDOW_HANDLE = 1400;

struct Msg {
    WindowHandle hwnd;
    uint32_t message = 0;
    WParam wparam = 0;
    LParam lparam = 0;
    uint32_t time = 0; // get_tick_count when the message arose
    Point pt;          // cursor position, screen coordinates, at that time
    uint32_t sender = 0; // the process that posted it from another program; 0 for this one
};

// COPYDATASTRUCT: what WM_COPYDATA's lParam points to. Sent to another program, the bytes are
// copied across (at most 16 MiB) and the receiver's procedure gets a copy for the call.
struct CopyDataStruct {
    uintptr_t dw_data = 0;
    uint32_t cb_data = 0;
    const void* lp_data = nullptr;
};

// SendMessageTimeout flags.
enum : uint32_t {
    SMTO_NORMAL = 0x0000,
    SMTO_BLOCK = 0x0001,
    SMTO_ABORTIFHUNG = 0x0002,
    SMTO_NOTIMEOUTIFNOTHUNG = 0x0008,
};

// MAKELPARAM / MAKEWPARAM, LOWORD / HIWORD, and the signed coordinates of mouse messages.
constexpr LParam make_lparam(uint32_t low, uint32_t high)
{
    return LParam(int32_t((low & 0xFFFF) | (high & 0xFFFF) << 16));
}
constexpr WParam make_wparam(uint32_t low, uint32_t high)
{
    return WParam((low & 0xFFFF) | (high & 0xFFFF) << 16);
}
constexpr uint32_t loword(uintptr_t value) { return uint32_t(value & 0xFFFF); }
constexpr uint32_t hiword(uintptr_t value) { return uint32_t(value >> 16 & 0xFFFF); }
constexpr int32_t get_x_lparam(LParam lparam) { return int16_t(lparam & 0xFFFF); }
constexpr int32_t get_y_lparam(LParam lparam) { return int16_t(lparam >> 16 & 0xFFFF); }

// SendMessage: the window procedure's answer; 0 with error 1400 for a window that does not
// exist. HWND_BROADCAST sends to every top-level window of this program and answers 1. A
// window of another program answers within 5 s, else 0 with error 1460; its program runs the
// procedure, and this one runs messages sent to it meanwhile. A system message that carries
// an address does not go to another program (0, error 5).
LResult send_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);

// SendMessageTimeout: as send_message, waiting up to timeout_ms for another program's window
// (SMTO_ABORTIFHUNG: failing at once when that program has not looked at its queue for 5 s).
// Nonzero with the answer in result, else 0 with error 1460 (time-out, hung) or 1400.
LResult send_message_timeout(WindowHandle window, uint32_t message, WParam wparam, LParam lparam,
    uint32_t flags, uint32_t timeout_ms, LResult* result);

// Inside a window procedure: the process of the other program that sent or posted the
// message being handled, or 0 when it came from this program.
uint32_t get_message_sender_process();
// For the between-programs layer: sets the sender of the messages handled from now on and
// answers the previous one; posts a message that another program posted.
uint32_t message_set_sender_process(uint32_t pid);
bool message_post_from_process(WindowHandle window, uint32_t message, WParam wparam, LParam lparam, uint32_t pid);

// CallWindowProc: calls a procedure (a subclass calls the one it replaced this way).
LResult call_window_proc(WindowProc proc, WindowHandle window, uint32_t message, WParam wparam, LParam lparam);

// PostMessage: queues a message; a null window posts to the thread. False with error 1400
// for a window that does not exist, 1816 when the queue is full. To another program's window
// posts arrive in order; false with 1400 when that program is gone.
bool post_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);

// PostQuitMessage: the next get_message returns 0 once no posted message is left before it.
void post_quit_message(int exit_code);

// PeekMessage: the next message for the window (null: any window of the thread, and thread
// messages) within first..last (both 0: every message). With PM_REMOVE it leaves the queue;
// WM_PAINT stays until the window is validated. False when nothing waits.
bool peek_message(Msg& msg, WindowHandle window, uint32_t first, uint32_t last, uint32_t remove);
inline bool peek_message(Msg& msg, uint32_t remove) { return peek_message(msg, {}, 0, 0, remove); }

// GetMessage: waits for and removes the next message. 1 for a message, 0 for WM_QUIT, -1 for
// a window filter that does not exist or when no message can ever arrive (a headless run
// whose script is over and whose program ignored the request to quit).
int get_message(Msg& msg, WindowHandle window = {}, uint32_t first = 0, uint32_t last = 0);

// WaitMessage: returns when a message is waiting; false when none can ever arrive.
bool wait_message();

// DispatchMessage: calls the window procedure (or the timer procedure of a WM_TIMER that
// names one) and returns its answer; 0 for a window that no longer exists.
LResult dispatch_message(const Msg& msg);

// The time and cursor position of the message last taken from the queue.
uint32_t get_message_time();
Point get_message_pos();

// GetInputState: whether mouse or keyboard input waits.
bool get_input_state();

// A message sent to a window of this thread from outside it (another process): it is delivered
// before any other message at the next peek, get or wait, and reply receives the answer.
using SentReply = void (*)(LResult result, void* context);
void message_receive_sent(const Msg& msg, SentReply reply, void* context);

// Empties the queue and forgets the quit request (tests call it between cases).
void message_queue_reset();

} // namespace plat
