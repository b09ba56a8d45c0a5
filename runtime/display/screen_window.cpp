#include "runtime/display/screen_window.h"

#include "platform/gdi/region.h"
#include "platform/kernel/byte_io.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wndclass.h"
#include "runtime/base/key.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/display/dobj_focus.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/refresh.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/trig.h"
#include "runtime/pieces/piece.h"

using namespace plat;

namespace {

struct WindowState {
    bool just_created = false; // WM_CREATE seen, its first WM_SHOWWINDOW not yet
    uint32_t last_peeked = 0;  // the message the last peek saw (WM_NULL: the queue was empty)
    ScreenWindowHooks hooks{};
};

WindowState s_window;

constexpr const char* kCoverClass = "SVX_COVER";
constexpr int kTrigMouseButton = 6;
constexpr int kTrigMouseMove = 7;

} // namespace

void screen_set_window_hooks(const ScreenWindowHooks& hooks) { s_window.hooks = hooks; }
const ScreenWindowHooks& screen_window_hooks() { return s_window.hooks; }

static bool is_mouse_message(uint32_t message) { return message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK; }

// --- paint -------------------------------------------------------------------------------------

static void on_paint(WindowHandle window)
{
    PaintStruct paint;
    begin_paint(window, paint);
    Rect rect = paint.paint;
    screen_rect_to_stage(rect);
    screen_damage_rect(rect, kPlaneScreen);
    screen_set_refresh_needed();
    end_paint(window, paint);
    screen_refresh();
}

// The frame was repainted over the client area's edge: the stage repaints what lies under it.
static void on_nc_paint(WindowHandle window, WParam wparam)
{
    Rect box;
    int kind = get_rgn_box(GdiObject(uint32_t(wparam)), box);
    if (kind == REGION_ERROR || is_rect_empty(box))
        return;
    Point top_left{box.left, box.top};
    Point bottom_right{box.right, box.bottom};
    screen_to_client(window, top_left);
    screen_to_client(window, bottom_right);
    Rect rect{top_left.x, top_left.y, bottom_right.x, bottom_right.y};
    screen_rect_to_stage(rect);
    screen_damage_rect(rect, kPlaneScreen);
}

// --- place and size ----------------------------------------------------------------------------

static void on_move()
{
    ModuleMessage message;
    message.message = kModWindowMoved;
    modmsg_broadcast(&message);
    if (s_window.hooks.window_variables_changed)
        s_window.hooks.window_variables_changed(1);
}

static void on_size()
{
    screen_update_stage_rect();
    if (s_window.hooks.window_variables_changed)
        s_window.hooks.window_variables_changed(0);
}

static void on_show_window()
{
    if (!s_window.just_created)
        return;
    s_window.just_created = false;
    ModuleMessage message;
    message.message = kModWindowShown;
    modmsg_broadcast(&message);
}

static void write_resume_file()
{
    if (exec_hooks().jump_write_resume_file)
        exec_hooks().jump_write_resume_file();
}

// --- keys, input method, mouse -----------------------------------------------------------------

// A handler the key or click ran may have closed the window: then the message is spent.
static bool window_gone(WindowHandle window) { return screen_window() != window || !is_window(window); }

static bool on_key(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    bool is_down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    if (is_down && s_window.hooks.dead_key_pending && s_window.hooks.dead_key_pending())
        return false;
    if (exec_suspended() || !screen_is_active())
        return false;
    uint32_t as = message == WM_SYSKEYDOWN ? uint32_t(WM_KEYDOWN) : message == WM_SYSKEYUP ? uint32_t(WM_KEYUP) : message;
    KeyEvent event{};
    if (key_event_from_message(as, uint32_t(wparam), uint32_t(lparam), event) && s_window.hooks.exec_key_post)
        s_window.hooks.exec_key_post(event);
    return window_gone(window);
}

static void on_ime(uint32_t message, WParam wparam, LParam lparam)
{
    if (dobj_get_focus().icon == 0)
        return;
    WindowHandle window = screen_window();
    DcHandle dc = screen_get_dc(window);
    if (!dc)
        return;
    DisplayMsgArg arg;
    arg.sub_code = int16_t(message);
    arg.dc = dc;
    arg.result = int32_t(lparam);
    arg.word_param = int32_t(wparam);
    int32_t answer = 0;
    dobj_send_to_focus(kMsgImeInput, &arg, answer);
    screen_release_dc(window, dc);
}

static void route_mouse(uint32_t message, int32_t x, int32_t y)
{
    const ScreenWindowHooks& hooks = s_window.hooks;
    switch (message) {
    case WM_MOUSEMOVE:
        if (hooks.resp_mouse_move)
            hooks.resp_mouse_move(x, y);
        trig_fire(kTrigMouseMove, 0);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (hooks.resp_mouse_down)
            hooks.resp_mouse_down(x, y, message == WM_LBUTTONDBLCLK);
        if (message == WM_LBUTTONDOWN)
            trig_fire(kTrigMouseButton, 0);
        break;
    case WM_LBUTTONUP:
        if (hooks.resp_mouse_up)
            hooks.resp_mouse_up(x, y);
        trig_fire(kTrigMouseButton, 0);
        break;
    default:
        // Right and middle buttons: a press or release fires the trigger first; double-clicks
        // only reach the response code.
        if (message != WM_RBUTTONDBLCLK && message != WM_MBUTTONDBLCLK)
            trig_fire(kTrigMouseButton, 0);
        if (hooks.resp_track_other_buttons)
            hooks.resp_track_other_buttons(message, x, y);
        break;
    }
}

static bool on_mouse(WindowHandle window, uint32_t message, LParam lparam)
{
    if (exec_suspended())
        return false;
    route_mouse(message, get_x_lparam(lparam), get_y_lparam(lparam));
    return window_gone(window);
}

// Another window relays a mouse message: its sender hears 1225 and the message is replayed
// here at the point in client coordinates.
static bool on_copy_data(WindowHandle window, WParam wparam, LParam lparam, LResult& result)
{
    const auto* data = reinterpret_cast<const CopyDataStruct*>(lparam);
    if (!data || data->dw_data != kCopyDataRelayMouse)
        return false;
    result = 0;
    if (data->cb_data < kRelayMouseSize || !data->lp_data)
        return true;
    const auto* bytes = static_cast<const uint8_t*>(data->lp_data);
    uint32_t message = load_u16le(bytes);
    uint32_t mouse_wparam = load_u16le(bytes + 2);
    Point point{int16_t(load_u16le(bytes + 4)), int16_t(load_u16le(bytes + 6))};
    WindowHandle sender{uint32_t(wparam)};
    if (!is_window(sender) || !is_mouse_message(message))
        return true;
    send_message(sender, kMsgRelayMouseAnswer, 0, 0);
    screen_to_client(window, point);
    send_message(window, message, mouse_wparam, make_lparam(uint32_t(point.x), uint32_t(point.y)));
    result = 1;
    return true;
}

static void on_app_activation(WParam wparam)
{
    if (exec_suspended())
        return;
    ModuleMessage message;
    message.message = wparam ? kModAppActivate : kModAppDeactivate;
    modmsg_broadcast(&message);
}

// --- the handler -------------------------------------------------------------------------------

// The messages this handler answers itself; the others go on to the authoring-window link.
static bool handle(WindowHandle window, uint32_t message, WParam wparam, LParam lparam, LResult& result)
{
    result = 0;
    switch (message) {
    case WM_CREATE: s_window.just_created = true; return false;
    case WM_MOVE: on_move(); return false;
    case WM_SIZE: on_size(); return false;
    case WM_PAINT: on_paint(window); return true;
    case WM_CLOSE:
        if (s_window.hooks.request_close)
            s_window.hooks.request_close();
        return true;
    case WM_ERASEBKGND: result = 1; return true; // the stage is painted by the refresh only
    case WM_ENDSESSION:
        // The main window procedure goes on to release the program.
        if (wparam) {
            write_resume_file();
            screen_destroy_window(window);
        }
        return false;
    case WM_SHOWWINDOW: on_show_window(); return false;
    case WM_COPYDATA: return on_copy_data(window, wparam, lparam, result);
    case WM_NCPAINT: on_nc_paint(window, wparam); return false;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYUP: return on_key(window, message, wparam, lparam);
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION: on_ime(message, wparam, lparam); return false;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_CLOSE)
            write_resume_file();
        return false;
    case kMsgAppActivation: on_app_activation(wparam); return false;
    default: break;
    }
    if (is_mouse_message(message))
        return on_mouse(window, message, lparam);
    return false;
}

bool screen_window_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam, LResult& result)
{
    result = 0;
    const ScreenWindowHooks& hooks = s_window.hooks;
    if (hooks.extapi_filter_message && hooks.extapi_filter_message(window, message, wparam, lparam, result))
        return true;
    if (handle(window, message, wparam, lparam, result))
        return true;
    return hooks.wizard_window_message && hooks.wizard_window_message(window, message, wparam, lparam, result);
}

void screen_send_first_messages()
{
    WindowHandle window = screen_window();
    if (!window)
        return;
    LResult result = 0;
    screen_window_message(window, WM_CREATE, 0, 0, result);
    screen_window_message(window, WM_SHOWWINDOW, 0, 0, result);
}

// --- services around the window ----------------------------------------------------------------

int screen_peek_message(int ignore_repeated_timer)
{
    Msg msg;
    if (!peek_message(msg, PM_NOREMOVE)) {
        s_window.last_peeked = WM_NULL;
        return 0;
    }
    bool repeated = ignore_repeated_timer && msg.message == WM_TIMER && s_window.last_peeked == WM_TIMER;
    s_window.last_peeked = msg.message;
    return repeated ? 0 : 1;
}

static void remove_messages(WindowHandle window, uint32_t first, uint32_t last)
{
    Msg msg;
    while (peek_message(msg, window, first, last, PM_REMOVE)) {
    }
}

void screen_flush_input(int flags)
{
    WindowHandle window = screen_window();
    if (!window)
        return;
    if (flags & kFlushMouse)
        remove_messages(window, WM_MOUSEMOVE, WM_MBUTTONDBLCLK);
    if (flags & kFlushKeys)
        remove_messages(window, WM_KEYFIRST, WM_KEYLAST);
}

bool screen_is_active()
{
    WindowHandle window = screen_window();
    return window && get_active_window() == window;
}

static int send_idle(uint8_t* object, void*, void*)
{
    DisplayMsgArg arg;
    dobj_send(object, kMsgIdle, &arg);
    return 1;
}

void dobj_send_idle() { dobj_for_each_icon(send_idle, nullptr, nullptr, nullptr); }

void screen_destroy_window(WindowHandle window)
{
    engine_window_closing();
    screen_release_planes();
    if (s_window.hooks.win_list_forget)
        s_window.hooks.win_list_forget(window);
    piece_close(0);
    destroy_window(window);
}

static LResult cover_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_PAINT: validate_rect(window, nullptr); return 0;
    case WM_ERASEBKGND:
    case WM_NCHITTEST:
    case WM_NCPAINT: return 0;
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

static bool register_cover_class()
{
    WindowClass existing;
    if (get_class_info(ModuleHandle(), kCoverClass, existing))
        return true;
    WindowClass cover;
    cover.proc = cover_proc;
    cover.cursor = load_cursor(ModuleHandle(), IDC_ARROW);
    cover.class_name = kCoverClass;
    return register_class(cover) != 0;
}

WindowHandle screen_create_cover(WindowHandle window)
{
    Rect frame;
    if (!register_cover_class() || !get_window_rect(window, frame))
        return WindowHandle();
    WindowHandle cover = create_window_ex(0, kCoverClass, "", WS_POPUP, frame.left, frame.top, frame.width() + 1,
        frame.height() + 1, window, 0, ModuleHandle(), nullptr);
    if (cover)
        show_window(cover, SW_SHOWNOACTIVATE);
    return cover;
}

// --- start-up ----------------------------------------------------------------------------------

static int peek_ignoring_timer_repeats() { return screen_peek_message(1); }
static void destroy_presentation() { screen_destroy_window(screen_window()); }
static uint32_t presentation_window_id() { return screen_window().id; }

void screen_window_init()
{
    ExecHooks engine = exec_hooks();
    engine.presentation_window = screen_window;
    engine.peek_message = peek_ignoring_timer_repeats;
    engine.destroy_presentation = destroy_presentation;
    engine.dobj_send_idle = dobj_send_idle;
    exec_set_hooks(&engine);
    CalcHooks calc = calc_hooks();
    calc.presentation_window = presentation_window_id;
    calc_set_hooks(&calc);
}

void screen_window_reset()
{
    ScreenWindowHooks hooks{};
    s_window = WindowState{};
    s_window.hooks = hooks;
}
