#include "runtime/app/app_window.h"

#include <cstring>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/cursor.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/menu.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/kernel/resource.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/app/app.h"
#include "runtime/display/dobj_focus.h"
#include "runtime/display/font.h"
#include "runtime/display/palette.h"
#include "runtime/display/refresh.h"
#include "runtime/display/screen_window.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/files/msg.h"
#include "runtime/engine/engine.h"
#include "runtime/engine/modbus.h"
#include "runtime/pieces/instance.h"
#include "runtime/pieces/piece.h"
#include "runtime/ui/about.h"
#include "runtime/ui/win_place.h"
#include "runtime/ui/win_util.h"
#include "runtime/ui/winlist.h"

using namespace plat;

namespace {

struct WindowState {
    int minimize_pending = 0;
    // What the active child window was last told; a child is made active drawn active, so
    // the first deactivation must reach it.
    WParam last_nc_activation = 1;
};

WindowState s_window;

// Resources the window takes from the program.
constexpr uint32_t kProductTitleString = 10;
constexpr uint32_t kAboutString = 6700;
constexpr uint32_t kClassIcon = 2;
constexpr int kTitleSize = 256;

// A message the other platform's task manager sends; nothing to do here.
constexpr uint32_t kMessageCompactingTask = 0x432;

constexpr WParam kSystemCommandBit = 0x8000;
constexpr WParam kLastMenuCommand = 0x7FF0;

} // namespace

static bool shutdown_done() { return app_shutdown_done() != 0; }

int app_register_main_window(int show_command)
{
    WindowClass existing;
    if (!get_class_info(ModuleHandle(), kAppMainClass, existing)) {
        WindowClass main_class;
        main_class.style = CS_DBLCLKS;
        main_class.proc = app_main_window_proc;
        main_class.icon = load_icon(get_program_resource_module(), kClassIcon);
        // No class cursor: the cursor module sets the cursor itself.
        main_class.background = GdiObject(uint32_t(COLOR_APPWORKSPACE + 1));
        main_class.class_name = kAppMainClass;
        if (!register_class(main_class))
            return 0;
    }
    return app_create_main_window(show_command, 0);
}

int app_create_main_window(int show_command, int with_maximize_box)
{
    if (app_main_window())
        destroy_window(app_main_window());
    char title[kTitleSize];
    load_string(ModuleHandle(), kProductTitleString, title, sizeof title);
    uint32_t style = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    if (with_maximize_box)
        style |= WS_MAXIMIZEBOX;
    // The window gets its real size and place when a piece opens.
    WindowHandle window = create_window_ex(0, kAppMainClass, title, style, 0, 0, 0, 0, {}, 0, ModuleHandle(), nullptr);
    if (!window)
        return 0;
    app_set_main_window(window);
    msg_set_owner(window);
    show_window(window, show_command);
    update_window(window);
    return 1;
}

void app_clear_main_window()
{
    app_set_main_window(WindowHandle());
    msg_set_owner(WindowHandle());
}

// The engine's menu handling takes these commands over when it exists; until then the Quit
// command and the About item are the only ones there are.
static int menu_command(WParam command)
{
    if (command & kSystemCommandBit)
        return 0;
    if (command == kAppQuitCommand) {
        // The engine's quit writes the transfer log and closes the program.
        exec_request_quit(0, 0);
        return 1;
    }
    if (command != kAppAboutCommand)
        return 0;
    dlg_about(); // until the piece's pull-down menus answer it
    return 1;
}

// Maximise and restore of a window that is not minimised are ignored: the presentation
// window keeps its own size.
static LResult on_maximize_or_restore(WindowHandle window, WParam wparam, LParam lparam)
{
    bool iconic = is_iconic(window);
    // A restored minimised window places the presentation again, once the presentation
    // window exists.
    if (s_window.minimize_pending || iconic)
        def_window_proc(window, WM_SYSCOMMAND, wparam, lparam);
    s_window.minimize_pending = 0;
    return 1;
}

static LResult on_system_command(WindowHandle window, WParam wparam, LParam lparam)
{
    switch (wparam & 0xFFF0) {
    case SC_MINIMIZE:
        s_window.minimize_pending = 1;
        break;
    case SC_MAXIMIZE:
    case SC_RESTORE: return on_maximize_or_restore(window, wparam, lparam);
    default: break;
    }
    return def_window_proc(window, WM_SYSCOMMAND, wparam, lparam);
}

// WM_COMMAND and WM_SYSCOMMAND: a set bit 15 makes any command a system command.
static LResult on_command(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (wparam & kSystemCommandBit)
        return on_system_command(window, wparam, lparam);
    if (wparam > kLastMenuCommand)
        return def_window_proc(window, message, wparam, lparam);
    bool from_menu = message == WM_SYSCOMMAND || loword(uintptr_t(lparam)) == 0;
    if (from_menu && menu_command(wparam))
        return 0;
    return def_window_proc(window, message, wparam, lparam);
}

static bool system_item_enabled(WindowHandle window, uint32_t command)
{
    uint32_t style = uint32_t(get_window_long(window, GWL_STYLE));
    bool zoomed = is_zoomed(window);
    bool iconic = is_iconic(window);
    switch (command) {
    case SC_SIZE: return (style & WS_THICKFRAME) && !zoomed && !iconic;
    case SC_MOVE: return !zoomed;
    case SC_MINIMIZE: return (style & WS_MINIMIZEBOX) && !iconic;
    case SC_MAXIMIZE: return false; // the shell of the versions we report maximises no such window
    case SC_RESTORE: return zoomed || iconic;
    default: return true;
    }
}

static LResult on_init_menu_popup(WindowHandle window, WParam wparam, LParam lparam)
{
    if (hiword(uintptr_t(lparam)) == 0)
        return 0;
    MenuHandle menu{uint32_t(wparam)};
    int count = get_menu_item_count(menu);
    for (int i = 0; i < count; i++) {
        uint32_t command = get_menu_item_id(menu, i);
        bool enabled = system_item_enabled(window, command);
        enable_menu_item(menu, uint32_t(i), MF_BYPOSITION | (enabled ? uint32_t(MF_ENABLED) : uint32_t(MF_GRAYED)));
    }
    return 0;
}

// Double-clicking the system glyph at the left end of the menu bar closes the window.
static LResult on_nc_double_click(WindowHandle window, WParam wparam, LParam lparam)
{
    if (int32_t(wparam) == HTMENU) {
        Rect frame;
        get_window_rect(window, frame);
        // The menu bar draws its system glyph one menu button wide.
        int32_t glyph_end = frame.left + app_get_system_metrics(SM_CXBORDER) + get_system_metrics(SM_CXMENUSIZE);
        if (get_x_lparam(lparam) <= glyph_end) {
            post_message(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 1;
        }
    }
    return def_window_proc(window, WM_NCLBUTTONDBLCLK, wparam, lparam);
}

// A hidden pop-up that was active last would leave the program active with nothing to show.
static LResult on_activate_app(WindowHandle window, WParam wparam)
{
    if (wparam) {
        WindowHandle popup = get_last_active_popup(window);
        if (popup != window && !is_window_visible(popup))
            set_active_window(window);
    } else {
        pal_on_deactivate();
    }
    dobj_rebuild_background_brush();
    return 0;
}

// The active child window is drawn active or inactive with the main window, and told once per
// change.
static LResult on_nc_activate(WindowHandle window, WParam wparam, LParam lparam)
{
    LResult kept = 0;
    if (windoid_keeps_owner_active(window, wparam, lparam, kept))
        return kept;
    WindowHandle child = win_active_child();
    if (child && wparam != s_window.last_nc_activation) {
        s_window.last_nc_activation = wparam;
        send_message(child, kMsgAppActivation, wparam, 0);
        send_message(child, WM_NCACTIVATE, wparam, lparam);
    }
    return def_window_proc(window, WM_NCACTIVATE, wparam, lparam);
}

// While a child window is active the keys stay with it: the focus goes back to the window
// inside it that lost it, else to the child itself.
static LResult on_set_focus(WParam wparam)
{
    WindowHandle child = win_active_child();
    if (!child)
        return 0;
    WindowHandle lost{uint32_t(wparam)};
    win_set_focus(lost && is_child(child, lost) ? lost : child);
    return 0;
}

// New frame metrics: the tool windows' caption and the stock fonts made from the metrics.
static LResult on_setting_change()
{
    windoid_update_metrics();
    font_init();
    return 0;
}

static LResult on_activate(WindowHandle window, WParam wparam, LParam lparam)
{
    if (loword(wparam) != WA_INACTIVE)
        fspec_manager_mark_activated();
    return def_window_proc(window, WM_ACTIVATE, wparam, lparam);
}

// Until the engine takes keys, Ctrl+Q reaches the Quit command here, as the File menu's
// accelerator will.
static LResult on_key_down(WindowHandle window, WParam wparam, LParam lparam)
{
    if (wparam == 'Q' && get_key_state(VK_CONTROL) < 0 && get_key_state(VK_MENU) >= 0) {
        menu_command(kAppQuitCommand);
        return 0;
    }
    return def_window_proc(window, WM_KEYDOWN, wparam, lparam);
}

static LResult on_destroy()
{
    // A close that went straight to the window (its close box, Quit) saves the learner's
    // records and closes the piece here; after an end-of-session release nothing is saved.
    if (!shutdown_done())
        engine_window_closing();
    piece_close(0);
    post_quit_message(0);
    app_clear_main_window();
    return 0;
}

// After an end-of-session release the modules are gone: only the road to WM_QUIT remains.
static LResult after_shutdown(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_DESTROY)
        return on_destroy();
    return def_window_proc(window, message, wparam, lparam);
}

// The presentation window's handler sees its messages first, mouse points in stage
// coordinates.
static bool to_presentation(WindowHandle window, uint32_t message, WParam wparam, LParam lparam, LResult& result)
{
    if (!window || window != screen_window())
        return false;
    if (message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK) {
        Point point{get_x_lparam(lparam), get_y_lparam(lparam)};
        screen_point_to_stage(point);
        lparam = make_lparam(uint32_t(point.x), uint32_t(point.y));
    }
    return screen_window_message(window, message, wparam, lparam, result);
}

LResult app_main_window_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (shutdown_done())
        return after_shutdown(window, message, wparam, lparam);
    LResult result = 0;
    if (to_presentation(window, message, wparam, lparam, result))
        return result;
    switch (message) {
    case WM_CREATE:
        win_restore_saved_rect(window);
        return 0;
    case WM_DESTROY: return on_destroy();
    case WM_MOVE: return 0;
    case WM_SIZE: return 0;
    case WM_ACTIVATE: return on_activate(window, wparam, lparam);
    case WM_SETFOCUS: return on_set_focus(wparam);
    case WM_QUERYENDSESSION: return 1;
    case WM_ENDSESSION:
        if (wparam)
            app_shutdown(0);
        return 0;
    case WM_SETTINGCHANGE: return on_setting_change();
    case WM_NCACTIVATE: return on_nc_activate(window, wparam, lparam);
    case WM_ACTIVATEAPP: return on_activate_app(window, wparam);
    case WM_GETMINMAXINFO:
        win_minmax_info(*reinterpret_cast<MinMaxInfo*>(lparam));
        return 0;
    case WM_COMPACTING:
    case kMessageCompactingTask: return 0;
    case WM_DISPLAYCHANGE:
        win_center_if_option(window);
        return 0;
    case kMsgFileQuestion: return piece_answer_file_question(Atom(wparam));
    case WM_NCLBUTTONDBLCLK: return on_nc_double_click(window, wparam, lparam);
    case WM_SYSKEYDOWN:
        if (wparam == VK_F10 && !get_menu(window)) // no menu bar to enter
            return 0;
        break;
    case WM_KEYDOWN: return on_key_down(window, wparam, lparam);
    case WM_COMMAND:
    case WM_SYSCOMMAND: return on_command(window, message, wparam, lparam);
    case WM_INITMENUPOPUP: return on_init_menu_popup(window, wparam, lparam);
    case WM_QUERYNEWPALETTE:
        pal_on_activate();
        return 1;
    case WM_PALETTECHANGED:
        pal_on_palette_changed(WindowHandle(uint32_t(wparam)));
        return 0;
    default: break;
    }
    return def_window_proc(window, message, wparam, lparam);
}

int app_sysmenu_init()
{
    WindowHandle window = app_main_window();
    MenuHandle menu = window ? get_system_menu(window, false) : MenuHandle();
    if (!menu)
        return 0;
    if (get_menu_state(menu, kAppAboutCommand, MF_BYCOMMAND) != kMenuNoItem)
        return 1;
    char about[64];
    load_string(ModuleHandle(), kAboutString, about, sizeof about);
    return append_menu(menu, MF_SEPARATOR, 0, nullptr) && append_menu(menu, MF_STRING, kAppAboutCommand, about);
}

void app_sysmenu_term()
{
    if (app_main_window())
        get_system_menu(app_main_window(), true);
}

int app_load_monitor_api() { return 0; }

int app_get_system_metrics(int index)
{
    switch (index) {
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN: return 0;
    case SM_CXVIRTUALSCREEN: return get_system_metrics(SM_CXSCREEN);
    case SM_CYVIRTUALSCREEN: return get_system_metrics(SM_CYSCREEN);
    case SM_CMONITORS:
    case SM_SAMEDISPLAYFORMAT: return 1;
    default: return get_system_metrics(index);
    }
}

static bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void app_cmdline_option(const char* keyword, const char* command_line, char* out, size_t size)
{
    if (!out || size == 0)
        return;
    out[0] = 0;
    const char* found = (keyword && *keyword && command_line) ? std::strstr(command_line, keyword) : nullptr;
    if (!found)
        return;
    const char* p = found + std::strlen(keyword);
    while (*p && is_blank(*p))
        p++;
    size_t length = 0;
    while (p[length] && !is_blank(p[length]) && length < size - 1)
        length++;
    std::memcpy(out, p, length);
    out[length] = 0;
}

void app_window_reset() { s_window = WindowState{}; }

// The system box's bar: white inside a black outline, with a shadow one pixel down and right.
static void draw_system_bar(DcHandle dc, int32_t width, int32_t height)
{
    constexpr int32_t kBarWidth = 7;
    constexpr int32_t kBarHeight = 3;
    int32_t x = (width - kBarWidth) / 2;
    int32_t y = (height - kBarHeight) / 2;
    fill_rect(dc, Rect{x + 1, y + 1, x + kBarWidth + 1, y + kBarHeight + 1}, get_sys_color_brush(COLOR_BTNSHADOW));
    fill_rect(dc, Rect{x, y, x + kBarWidth, y + kBarHeight}, get_stock_object(BLACK_BRUSH));
    fill_rect(dc, Rect{x + 1, y + 1, x + kBarWidth - 1, y + kBarHeight - 1}, get_stock_object(WHITE_BRUSH));
}

GdiObject app_sysmenu_close_bitmap()
{
    int32_t width = get_system_metrics(SM_CXMENUSIZE);
    int32_t height = get_system_metrics(SM_CYMENUSIZE);
    DcHandle screen = get_dc({});
    GdiObject bitmap = create_compatible_bitmap(screen, width, height);
    DcHandle dc = create_compatible_dc(screen);
    release_dc({}, screen);
    if (bitmap && dc) {
        GdiObject old = select_object(dc, bitmap);
        fill_rect(dc, Rect{0, 0, width, height}, get_sys_color_brush(COLOR_MENU));
        draw_system_bar(dc, width, height);
        select_object(dc, old);
    }
    if (dc)
        delete_dc(dc);
    return bitmap;
}
