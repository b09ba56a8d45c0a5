#include "platform/window/defproc.h"

#include <algorithm>
#include <cstring>

#include "platform/backend/backend.h"
#include "platform/kernel/codepage.h"
#include "platform/controls/ctl_scroll.h"
#include "platform/controls/menu_track.h"
#include "platform/window/cursor.h"
#include "platform/gdi/dc.h"
#include "platform/window/focus.h"
#include "platform/ime/ime.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/nonclient.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"

namespace plat {

// Alt pressed and released with no other key between enters the menu bar.
static bool s_alt_alone = false;

// Window text beyond this is cut: captions and controls never need more, and a program cannot
// make the layer hold an unbounded copy.
constexpr size_t kWindowTextLimit = 65535;

int defproc_copy_text(std::string_view text, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    size_t limit = std::min(text.size(), size_t(size - 1));
    size_t length = 0;
    while (length < limit) {
        size_t step = is_dbcs_lead_byte(uint8_t(text[length])) ? 2 : 1;
        if (length + step > limit)
            break;
        length += step;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return int(length);
}

static void set_text(WindowRecord& window, const char* text)
{
    size_t length = text ? strnlen(text, kWindowTextLimit) : 0;
    window.text.assign(text ? text : "", length);
}

static LResult on_nc_create(WindowHandle window, LParam lparam)
{
    auto* create = reinterpret_cast<CreateStruct*>(lparam);
    WindowRecord* record = wintree_find(window);
    if (record && create && create->name)
        set_text(*record, create->name);
    return 1;
}

static LResult on_nc_calc_size(WindowHandle window, LParam lparam)
{
    if (auto* rect = reinterpret_cast<Rect*>(lparam))
        *rect = nonclient_client_rect(window, *rect);
    return 0;
}

static LResult on_nc_activate(WindowHandle window, WParam wparam)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return 1;
    record->frame_active = wparam != 0;
    if (wintree_is_visible(*record))
        nonclient_paint(window);
    return 1;
}

static LResult on_erase_background(WindowHandle window, WParam wparam)
{
    WindowRecord* record = wintree_find(window);
    ClassRecord* window_class = record ? wndclass_record(record->class_id) : nullptr;
    if (!window_class || !window_class->info.background)
        return 0;
    Rect client;
    get_client_rect(window, client);
    return fill_rect(DcHandle(uint32_t(wparam)), client, window_class->info.background) ? 1 : 0;
}

static LResult on_paint(WindowHandle window)
{
    PaintStruct paint;
    begin_paint(window, paint);
    end_paint(window, paint);
    return 0;
}

static LResult on_set_text(WindowHandle window, LParam lparam)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return 0;
    set_text(*record, reinterpret_cast<const char*>(lparam));
    if (wintree_is_visible(*record) && (record->style & WS_CAPTION) == WS_CAPTION)
        nonclient_paint(window);
    Backend* backend = backend_get();
    if (backend && wintree_is_top_level(*record))
        backend->window_changed(window, WindowChange::retitled);
    return 1;
}

static LResult on_get_text(WindowHandle window, WParam wparam, LParam lparam)
{
    WindowRecord* record = wintree_find(window);
    int size = int(std::min<WParam>(wparam, 0x7FFFFFFF));
    return record ? defproc_copy_text(record->text, reinterpret_cast<char*>(lparam), size) : 0;
}

static LResult on_get_text_length(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    return record ? LResult(record->text.size()) : 0;
}

static bool close_allowed(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    ClassRecord* window_class = record ? wndclass_record(record->class_id) : nullptr;
    return !window_class || !(window_class->info.style & CS_NOCLOSE);
}

static LResult on_sys_command(WindowHandle window, WParam wparam, LParam lparam)
{
    switch (wparam & 0xFFF0) {
    case SC_MOVE:
        // The low bits say a drag of the caption began it; a move by the keys is not offered.
        if ((wparam & 0x000F) == HTCAPTION)
            nonclient_track_move(window, Point{get_x_lparam(lparam), get_y_lparam(lparam)});
        break;
    case SC_MOUSEMENU:
        menu_track_mouse(window, int32_t(wparam & 0x000F), Point{get_x_lparam(lparam), get_y_lparam(lparam)});
        break;
    case SC_KEYMENU: menu_track_keys(window, uint32_t(lparam)); break;
    case SC_CLOSE:
        if (close_allowed(window))
            send_message(window, WM_CLOSE, 0, 0);
        break;
    case SC_MINIMIZE: show_window(window, SW_MINIMIZE); break;
    case SC_MAXIMIZE: show_window(window, SW_MAXIMIZE); break;
    case SC_RESTORE: show_window(window, SW_RESTORE); break;
    default: break;
    }
    return 0;
}

static LResult on_nc_button_down(WindowHandle window, WParam wparam, LParam lparam)
{
    int32_t hit = int32_t(wparam);
    if (hit == HTCLOSE || hit == HTMINBUTTON || hit == HTMAXBUTTON)
        nonclient_track_button(window, hit);
    if (hit == HTMENU || hit == HTSYSMENU)
        send_message(window, WM_SYSCOMMAND, SC_MOUSEMENU | uint32_t(hit), lparam);
    if (hit == HTCAPTION && nonclient_can_move(window))
        send_message(window, WM_SYSCOMMAND, SC_MOVE | uint32_t(HTCAPTION), lparam);
    if (hit == HTVSCROLL || hit == HTHSCROLL)
        scrollbar_track_nonclient(window, hit, Point{get_x_lparam(lparam), get_y_lparam(lparam)});
    return 0;
}

static LResult on_nc_double_click(WindowHandle window, WParam wparam, LParam lparam)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return 0;
    if (int32_t(wparam) == HTSYSMENU)
        send_message(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    else if (int32_t(wparam) == HTVSCROLL || int32_t(wparam) == HTHSCROLL) // a quick second press scrolls again
        scrollbar_track_nonclient(window, int32_t(wparam), Point{get_x_lparam(lparam), get_y_lparam(lparam)});
    else if (int32_t(wparam) == HTCAPTION && (record->style & WS_MAXIMIZEBOX) && !(record->style & WS_CHILD))
        send_message(window, WM_SYSCOMMAND, (record->style & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE, 0);
    return 0;
}

// Children ask their parent first, so a dialog can decide for its controls.
static LResult ask_parent(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    WindowRecord* record = wintree_find(window);
    if (!record || !(record->style & WS_CHILD))
        return 0;
    return send_message(record->parent, message, wparam, lparam);
}

static LResult on_mouse_activate(WindowHandle window, WParam wparam, LParam lparam)
{
    LResult answer = ask_parent(window, WM_MOUSEACTIVATE, wparam, lparam);
    return answer ? answer : LResult(MA_ACTIVATE);
}

// The client area shows the class cursor; the frame shows the size arrows or the arrow.
static LResult on_set_cursor(WindowHandle window, WParam wparam, LParam lparam)
{
    if (ask_parent(window, WM_SETCURSOR, wparam, lparam))
        return 1;
    WindowRecord* record = wintree_find(window);
    ClassRecord* window_class = record ? wndclass_record(record->class_id) : nullptr;
    int32_t hit = int16_t(loword(uintptr_t(lparam)));
    if (hit == HTERROR || hit == HTNOWHERE || !window_class)
        return 0;
    if (hit != HTCLIENT) {
        set_cursor(cursor_for_hit(hit));
        return 1;
    }
    if (!window_class->info.cursor)
        return 0;
    set_cursor(window_class->info.cursor);
    return 1;
}

static LResult on_activate(WindowHandle window, WParam wparam)
{
    if (loword(wparam) != WA_INACTIVE && !is_iconic(window))
        set_focus(window);
    return 0;
}

static uint32_t size_kind(uint32_t style)
{
    if (style & WS_MINIMIZE)
        return SIZE_MINIMIZED;
    return (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
}

static LResult on_position_changed(WindowHandle window, LParam lparam)
{
    auto* pos = reinterpret_cast<const WindowPos*>(lparam);
    WindowRecord* record = wintree_find(window);
    if (!pos || !record)
        return 0;
    Rect client = record->client_rect;
    if (!(pos->flags & SWP_NOMOVE))
        send_message(window, WM_MOVE, 0, make_lparam(uint32_t(client.left), uint32_t(client.top)));
    record = wintree_find(window);
    if (record && (!(pos->flags & SWP_NOSIZE) || (pos->flags & SWP_FRAMECHANGED)))
        send_message(window, WM_SIZE, size_kind(record->style), make_lparam(uint32_t(client.width()), uint32_t(client.height())));
    return 0;
}

// Resizable and overlapped windows keep within the sizes WM_GETMINMAXINFO allows.
static LResult on_position_changing(WindowHandle window, LParam lparam)
{
    auto* pos = reinterpret_cast<WindowPos*>(lparam);
    WindowRecord* record = wintree_find(window);
    if (!pos || !record || (pos->flags & SWP_NOSIZE) || (record->style & (WS_MINIMIZE | WS_MAXIMIZE)))
        return 0;
    if (!(record->style & WS_THICKFRAME) && (record->style & (WS_POPUP | WS_CHILD)))
        return 0;
    MinMaxInfo info = winpos_min_max_info(window);
    pos->cx = std::clamp(pos->cx, info.min_track_size.x, std::max(info.min_track_size.x, info.max_track_size.x));
    pos->cy = std::clamp(pos->cy, info.min_track_size.y, std::max(info.min_track_size.y, info.max_track_size.y));
    return 0;
}

static bool alt_held(LParam lparam) { return (uintptr_t(lparam) >> 29 & 1) != 0; }

static void send_key_menu(WindowHandle window, uint32_t key)
{
    if (WindowRecord* root = wintree_root(window))
        send_message(root->handle, WM_SYSCOMMAND, SC_KEYMENU, LParam(key));
}

static LResult on_sys_key_down(WindowHandle window, WParam wparam, LParam lparam)
{
    bool repeat = (uintptr_t(lparam) >> 30 & 1) != 0;
    s_alt_alone = wparam == VK_MENU && (repeat ? s_alt_alone : true);
    WindowRecord* root = wintree_root(window);
    if (wparam == VK_F4 && alt_held(lparam) && root)
        send_message(root->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (wparam == VK_F10 && !alt_held(lparam))
        send_key_menu(window, 0);
    return 0;
}

static LResult on_sys_key_up(WindowHandle window, WParam wparam)
{
    bool enter = wparam == VK_MENU && s_alt_alone;
    s_alt_alone = false;
    if (enter)
        send_key_menu(window, 0);
    return 0;
}

// Alt and a character opens the menu it names; Alt+Space the system menu.
static LResult on_sys_char(WindowHandle window, WParam wparam, LParam lparam)
{
    s_alt_alone = false;
    if (alt_held(lparam))
        send_key_menu(window, uint32_t(wparam & 0xFF));
    return 0;
}

static LResult on_cancel_mode(WindowHandle window)
{
    if (get_capture() == window)
        release_capture();
    return 0;
}

static LResult on_control_color(uint32_t message)
{
    bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
    return LResult(get_sys_color_brush(field ? COLOR_WINDOW : COLOR_BTNFACE).id);
}

LResult def_window_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_NCCREATE: return on_nc_create(window, lparam);
    case WM_NCCALCSIZE: return on_nc_calc_size(window, lparam);
    case WM_NCHITTEST: return nonclient_hit_test(window, Point{get_x_lparam(lparam), get_y_lparam(lparam)});
    case WM_NCPAINT: nonclient_paint(window); return 0;
    case WM_NCACTIVATE: return on_nc_activate(window, wparam);
    case WM_ERASEBKGND: return on_erase_background(window, wparam);
    case WM_PAINT: return on_paint(window);
    case WM_SETTEXT: return on_set_text(window, lparam);
    case WM_GETTEXT: return on_get_text(window, wparam, lparam);
    case WM_GETTEXTLENGTH: return on_get_text_length(window);
    case WM_CLOSE: destroy_window(window); return 0;
    case WM_SYSCOMMAND: return on_sys_command(window, wparam, lparam);
    case WM_NCLBUTTONDOWN: return on_nc_button_down(window, wparam, lparam);
    case WM_NCLBUTTONDBLCLK: return on_nc_double_click(window, wparam, lparam);
    case WM_MOUSEACTIVATE: return on_mouse_activate(window, wparam, lparam);
    case WM_SETCURSOR: return on_set_cursor(window, wparam, lparam);
    case WM_ACTIVATE: return on_activate(window, wparam);
    case WM_WINDOWPOSCHANGING: return on_position_changing(window, lparam);
    case WM_WINDOWPOSCHANGED: return on_position_changed(window, lparam);
    case WM_SYSKEYDOWN: return on_sys_key_down(window, wparam, lparam);
    case WM_SYSKEYUP: return on_sys_key_up(window, wparam);
    case WM_SYSCHAR: return on_sys_char(window, wparam, lparam);
    case WM_KEYDOWN: s_alt_alone = false; return 0;
    case WM_MOUSEWHEEL: return ask_parent(window, message, wparam, lparam);
    case WM_CANCELMODE: return on_cancel_mode(window);
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_CHAR: return ime_default_proc(window, message, wparam, lparam);
    case WM_QUERYENDSESSION:
    case WM_QUERYOPEN: return 1;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return on_control_color(message);
    default: return 0;
    }
}

} // namespace plat
