#include "runtime/ui/winlist.h"

#include <vector>

#include "platform/window/defproc.h"
#include "platform/window/metrics.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/display/refresh.h"

using namespace plat;

namespace {

struct WindowListEntry {
    void* object = nullptr;
    uint16_t kind = 0;
    WindowHandle window;
};

struct WinListState {
    std::vector<WindowListEntry> entries;
    int caption_height = 0;
};

WinListState s_list;

constexpr const char* kWindoidProp = "Windoid";
constexpr const char* kActiveProp = "Active";
constexpr const char* kHiddenProp = "Hidden";
constexpr const char* kHeightProp = "Height";

} // namespace

int win_list_init()
{
    s_list.entries.clear();
    windoid_update_metrics();
    return 1;
}

void win_list_reset() { s_list = WinListState{}; }

void win_list_add(WindowHandle window, uint16_t kind, void* object) { s_list.entries.push_back({object, kind, window}); }

static const WindowListEntry* entry_of(WindowHandle window)
{
    for (const WindowListEntry& entry : s_list.entries) {
        if (entry.window == window)
            return &entry;
    }
    return nullptr;
}

void win_list_remove(WindowHandle window)
{
    for (auto it = s_list.entries.begin(); it != s_list.entries.end(); ++it) {
        if (it->window == window) {
            s_list.entries.erase(it);
            return;
        }
    }
}

void* win_list_object(WindowHandle window)
{
    const WindowListEntry* entry = entry_of(window);
    return entry ? entry->object : nullptr;
}

uint16_t win_list_kind(WindowHandle window)
{
    const WindowListEntry* entry = entry_of(window);
    return entry ? entry->kind : 0;
}

WindowHandle win_list_find_kind(uint16_t kind)
{
    for (const WindowListEntry& entry : s_list.entries) {
        if (entry.kind == kind)
            return entry.window;
    }
    return WindowHandle();
}

WindowHandle win_list_walk(WinListVisit visit, void* data)
{
    WindowHandle top = get_window(screen_window(), GW_CHILD);
    WindowHandle child = top ? get_window(top, GW_HWNDLAST) : WindowHandle();
    for (; child; child = get_window(child, GW_HWNDPREV)) {
        const WindowListEntry* entry = entry_of(child);
        if (entry && !visit(child, entry->kind, entry->object, data))
            return child;
    }
    return WindowHandle();
}

void windoid_update_metrics()
{
    NonClientMetrics metrics;
    if (system_parameters_info(SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0))
        s_list.caption_height = metrics.sm_caption_height;
}

int windoid_caption_height()
{
    if (s_list.caption_height == 0)
        windoid_update_metrics();
    return s_list.caption_height;
}

static int border_width()
{
    NonClientMetrics metrics;
    return system_parameters_info(SPI_GETNONCLIENTMETRICS, metrics.size, &metrics, 0) ? metrics.border_width : 1;
}

int windoid_frame_width() { return border_width() + 2; }
int windoid_frame_height() { return border_width() + 3; }

bool windoid_is(WindowHandle window) { return is_window(window) && get_prop(window, kWindoidProp) != 0; }

bool windoid_nc_message(WindowHandle window, uint32_t message, WParam wparam, LParam, LResult& result)
{
    if (!is_window(window))
        return false;
    if (message == WM_NCACTIVATE) {
        set_prop(window, kActiveProp, wparam ? 1 : 0);
        result = 1;
        return true;
    }
    if (message == WM_NCDESTROY)
        remove_prop(window, kActiveProp);
    return false;
}

// The whole id: a window handle is 32 bits, of which the low 16 alone name another window.
bool windoid_keeps_owner_active(WindowHandle, WParam wparam, LParam lparam, LResult& result)
{
    if (wparam != 0 || !windoid_is(WindowHandle(uint32_t(lparam))))
        return false;
    result = 1;
    return true;
}

static void on_activate_app(WindowHandle window, bool active)
{
    WindowHandle owner = get_window(window, GW_OWNER);
    if (active) {
        if (!(owner && is_iconic(owner)) && !get_prop(window, kHiddenProp))
            show_window(window, SW_SHOWNOACTIVATE);
        return;
    }
    if (!is_window_visible(window))
        return;
    show_window(window, SW_HIDE);
    if (owner)
        send_message(owner, WM_NCACTIVATE, 0, 0);
}

LResult windoid_window_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_NCACTIVATE)
        return 1; // the caption keeps its look
    LResult result = 0;
    if (windoid_nc_message(window, message, wparam, lparam, result))
        return result;
    switch (message) {
    case WM_NCCREATE:
        set_prop(window, kWindoidProp, 1);
        set_prop(window, kActiveProp, 1);
        break;
    case WM_NCDESTROY:
        remove_prop(window, kWindoidProp);
        remove_prop(window, kHiddenProp);
        remove_prop(window, kHeightProp);
        break;
    case WM_SHOWWINDOW:
        if (wparam)
            remove_prop(window, kHiddenProp);
        break;
    case WM_ACTIVATEAPP: on_activate_app(window, wparam != 0); return 0;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_CLOSE)
            show_window(window, SW_HIDE);
        break;
    default: break;
    }
    return def_window_proc(window, message, wparam, lparam);
}
