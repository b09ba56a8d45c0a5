#include "platform/window/window.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

#include "platform/backend/backend.h"
#include "platform/kernel/codepage.h"
#include "platform/controls/controls.h"
#include "platform/gdi/dc.h"
#include "platform/ime/ime.h"
#include "platform/ipc/ipc.h"
#include "platform/kernel/error.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/kernel/log.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"

namespace plat {

// Coordinates and sizes programs pass are kept within these bounds, so that rectangle
// arithmetic cannot overflow and 16-bit message fields stay meaningful.
constexpr int32_t kCoordinateLimit = 1 << 20;
constexpr int32_t kSizeLimit = 1 << 15;

struct WindowState {
    uint32_t cascade = 0; // default positions of top-level windows step down and right
};

static WindowState s_window;

static WindowRecord* find_or_fail(WindowHandle window)
{
    WindowRecord* record = wintree_is_desktop(window) ? nullptr : wintree_find(window);
    if (!record)
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
    return record;
}

// The desktop answers questions about itself, though no program may change it.
static WindowRecord* find_or_fail_with_desktop(WindowHandle window)
{
    return wintree_is_desktop(window) ? &wintree_desktop() : find_or_fail(window);
}

static int32_t clamp_coordinate(int32_t value)
{
    return std::clamp(value, -kCoordinateLimit, kCoordinateLimit);
}

static int32_t clamp_size(int32_t value) { return std::clamp(value, 0, kSizeLimit); }

struct Placement {
    int32_t x, y, width, height;
};

// CW_USEDEFAULT for top-level windows: a cascade of positions and three quarters of the screen.
static Placement default_placement(int32_t x, int32_t y, int32_t width, int32_t height, bool child)
{
    Size screen = backend_screen_size();
    if (x == CW_USEDEFAULT) {
        int32_t step = child ? 0 : int32_t(s_window.cascade++ % 8) * 26;
        x = step;
        y = step;
    }
    if (width == CW_USEDEFAULT) {
        width = child ? 0 : screen.cx * 3 / 4;
        height = child ? 0 : screen.cy * 3 / 4;
    }
    return Placement{clamp_coordinate(x), clamp_coordinate(y), clamp_size(width), clamp_size(height)};
}

static std::unique_ptr<WindowRecord> make_record(uint32_t class_id, const ClassRecord& window_class,
    const CreateStruct& create, WindowHandle owner)
{
    auto record = std::make_unique<WindowRecord>();
    record->class_id = class_id;
    record->proc = window_class.info.proc;
    record->style = create.style;
    record->ex_style = create.ex_style;
    record->id = create.menu;
    record->instance = create.instance;
    record->parent = (create.style & WS_CHILD) ? create.parent : wintree_desktop_handle();
    record->owner = owner;
    record->extra.assign(size_t(window_class.info.window_extra), 0);
    record->window_rect = Rect{create.x, create.y, create.x + create.cx, create.y + create.cy};
    record->client_rect = record->window_rect;
    record->normal_rect = record->window_rect;
    if (!(create.style & WS_CHILD)) {
        record->surface = std::make_unique<Surface>();
        surface_resize(*record->surface, create.cx, create.cy);
    }
    return record;
}

// Resizable and overlapped windows learn their size limits before they exist.
static void apply_min_max(WindowHandle window, CreateStruct& create)
{
    if (!(create.style & WS_THICKFRAME) && (create.style & (WS_POPUP | WS_CHILD)))
        return;
    MinMaxInfo info = winpos_min_max_info(window);
    create.cx = std::clamp(create.cx, info.min_track_size.x, std::max(info.min_track_size.x, info.max_track_size.x));
    create.cy = std::clamp(create.cy, info.min_track_size.y, std::max(info.min_track_size.y, info.max_track_size.y));
    if (WindowRecord* record = wintree_find(window)) {
        record->window_rect.right = record->window_rect.left + create.cx;
        record->window_rect.bottom = record->window_rect.top + create.cy;
        record->client_rect = record->window_rect;
        if (record->surface)
            surface_resize(*record->surface, create.cx, create.cy);
    }
}

static void compute_client_rect(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    Rect rect = record->window_rect;
    send_message(window, WM_NCCALCSIZE, 0, reinterpret_cast<LParam>(&rect));
    if ((record = wintree_find(window))) {
        Rect& outer = record->window_rect;
        rect.left = std::clamp(rect.left, outer.left, outer.right);
        rect.right = std::clamp(rect.right, rect.left, outer.right);
        rect.top = std::clamp(rect.top, outer.top, outer.bottom);
        rect.bottom = std::clamp(rect.bottom, rect.top, outer.bottom);
        record->client_rect = rect;
    }
}

static void notify_parents(WindowHandle window, uint32_t event)
{
    WindowRecord* record = wintree_find(window);
    while (record && !wintree_is_top_level(*record) && !(record->ex_style & WS_EX_NOPARENTNOTIFY)) {
        WindowHandle parent = record->parent;
        send_message(parent, WM_PARENTNOTIFY, make_wparam(event, uint32_t(record->id)), LParam(window.id));
        record = wintree_find(parent);
    }
}

static void send_initial_size(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    Rect client = record->client_rect;
    send_message(window, WM_SIZE, SIZE_RESTORED, make_lparam(uint32_t(client.width()), uint32_t(client.height())));
    if ((record = wintree_find(window))) {
        Point origin = wintree_client_origin(*record);
        if (!wintree_is_top_level(*record))
            origin = Point{record->client_rect.left, record->client_rect.top};
        send_message(window, WM_MOVE, 0, make_lparam(uint32_t(origin.x), uint32_t(origin.y)));
    }
}

static int initial_show_command(uint32_t style)
{
    if (style & WS_MINIMIZE)
        return SW_SHOWMINIMIZED;
    if (style & WS_MAXIMIZE)
        return SW_SHOWMAXIMIZED;
    return SW_SHOW;
}

static void final_destroy(WindowHandle window);

// A window refusing WM_NCCREATE never existed for its procedure: it gets WM_NCDESTROY only.
static void discard_unborn(WindowHandle window)
{
    if (WindowRecord* record = wintree_find(window))
        record->destroying = true;
    final_destroy(window);
}

// The messages of creation; false when the window refused to be created (it is gone then).
static bool run_creation(WindowHandle window, CreateStruct& create)
{
    apply_min_max(window, create);
    if (send_message(window, WM_NCCREATE, 0, reinterpret_cast<LParam>(&create)) == 0) {
        discard_unborn(window);
        return false;
    }
    compute_client_rect(window);
    if (!wintree_find(window) || send_message(window, WM_CREATE, 0, reinterpret_cast<LParam>(&create)) == -1) {
        destroy_window(window);
        return false;
    }
    send_initial_size(window);
    notify_parents(window, WM_CREATE);
    return wintree_find(window) != nullptr;
}

static bool check_parent(uint32_t style, WindowHandle parent)
{
    if ((style & WS_CHILD) && (!parent || !wintree_find(parent) || wintree_is_desktop(parent))) {
        set_last_error(ERROR_TLW_WITH_WSCHILD);
        return false;
    }
    if (parent && !wintree_find(parent)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

// Top-level windows always clip their siblings, and an overlapped window always has a caption.
static uint32_t normalise_style(uint32_t style)
{
    if (style & WS_CHILD)
        return style;
    style |= WS_CLIPSIBLINGS;
    if (!(style & WS_POPUP))
        style |= WS_CAPTION;
    return style;
}

WindowHandle create_window_ex(uint32_t ex_style, std::string_view class_name, const char* title,
    uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height, WindowHandle parent,
    uintptr_t menu_or_id, ModuleHandle instance, void* param)
{
    uint32_t class_id = wndclass_find(class_name, instance);
    if (!class_id && controls_register_system_class(class_name))
        class_id = wndclass_find(class_name, instance);
    ClassRecord* window_class = wndclass_record(class_id);
    if (!window_class) {
        set_last_error(ERROR_CANNOT_FIND_WND_CLASS);
        return {};
    }
    if (!check_parent(style, parent))
        return {};
    bool child = (style & WS_CHILD) != 0;
    Placement place = default_placement(x, y, width, height, child);
    WindowRecord* owner = child || !parent ? nullptr : wintree_root(parent);
    std::string class_text(class_name);
    CreateStruct create{param, instance, menu_or_id, parent, place.height, place.width, place.y,
        place.x, normalise_style(style), title, class_text.c_str(), ex_style};
    uint32_t shown = create.style & (WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    create.style &= ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    WindowHandle window = wintree_add(make_record(class_id, *window_class, create, owner ? owner->handle : WindowHandle{}));
    if (!window) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    window_class->window_count++;
    wintree_link(*wintree_find(window), child ? HWND_BOTTOM : HWND_TOP);
    create.style |= shown;
    if (!run_creation(window, create))
        return {};
    if (shown & WS_VISIBLE)
        show_window(window, initial_show_command(shown));
    return wintree_find(window) ? window : WindowHandle{};
}

static void mark_destroying(WindowHandle window)
{
    for (WindowHandle handle : wintree_subtree(window, TreeOrder::parents_first)) {
        if (WindowRecord* record = wintree_find(handle))
            record->destroying = true;
    }
}

static void destroy_owned_windows(WindowHandle window)
{
    std::vector<WindowHandle> owned;
    for (WindowHandle top : wintree_top_levels()) {
        WindowRecord* record = wintree_find(top);
        if (record && record->owner == window)
            owned.push_back(top);
    }
    for (WindowHandle handle : owned)
        destroy_window(handle);
}

// WM_DESTROY reaches the window before its children.
static void send_destroy(WindowHandle window)
{
    send_message(window, WM_DESTROY, 0, 0);
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    std::vector<WindowHandle> children = record->children;
    for (WindowHandle child : children) {
        if (WindowRecord* inner = wintree_find(child)) {
            inner->destroying = true;
            send_destroy(child);
        }
    }
}

static void free_record(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    if (wintree_is_top_level(*record)) {
        if (record->shown_logged)
            log_event("window closed " + log_quote(record->text));
        if (Backend* backend = backend_get())
            backend->window_changed(window, WindowChange::destroyed);
    }
    if (ClassRecord* window_class = wndclass_record(record->class_id))
        window_class->window_count--;
    timer_window_destroyed(window);
    focus_window_gone(window);
    wintree_remove(window);
}

// WM_NCDESTROY reaches the children before the window; each record goes right after it.
static void final_destroy(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    std::vector<WindowHandle> children = record->children;
    for (WindowHandle child : children)
        final_destroy(child);
    send_message(window, WM_NCDESTROY, 0, 0);
    // Children made while the window was being destroyed go with it.
    while ((record = wintree_find(window)) && !record->children.empty())
        final_destroy(record->children.front());
    free_record(window);
}

bool destroy_window(WindowHandle window)
{
    WindowRecord* record = find_or_fail(window);
    if (!record)
        return false;
    if (record->destroying)
        return true;
    mark_destroying(window);
    if (!wintree_is_top_level(*record))
        notify_parents(window, WM_DESTROY);
    if (wintree_find(window) && (wintree_find(window)->style & WS_VISIBLE))
        set_window_pos(window, {}, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    focus_window_hiding(window);
    destroy_owned_windows(window);
    WindowHandle capture = get_capture();
    if (capture == window || wintree_is_ancestor(window, capture))
        release_capture();
    send_destroy(window);
    final_destroy(window);
    return true;
}

// Another program's top-level window as its snapshot says (ipc.h); false with 1400 for one
// that is gone or not top-level there.
static bool foreign_info(WindowHandle window, SnapshotWindow& info) { return ipc_window_info(window, info); }

bool is_window(WindowHandle window)
{
    SnapshotWindow info;
    if (ipc_is_foreign(window))
        return foreign_info(window, info);
    return window && wintree_find(window) != nullptr;
}

bool is_child(WindowHandle parent, WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    while (record && (record->style & WS_CHILD)) {
        if (record->parent == parent)
            return true;
        record = wintree_find(record->parent);
    }
    return false;
}

bool is_window_visible(WindowHandle window)
{
    SnapshotWindow info;
    if (ipc_is_foreign(window))
        return foreign_info(window, info) && (info.style & WS_VISIBLE);
    WindowRecord* record = wintree_find(window);
    return record && wintree_is_visible(*record);
}

bool is_window_enabled(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    return record && !(record->style & WS_DISABLED);
}

bool is_iconic(WindowHandle window)
{
    SnapshotWindow info;
    if (ipc_is_foreign(window))
        return foreign_info(window, info) && (info.style & WS_MINIMIZE);
    WindowRecord* record = wintree_find(window);
    return record && (record->style & WS_MINIMIZE);
}

bool is_zoomed(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    return record && (record->style & WS_MAXIMIZE);
}

bool enable_window(WindowHandle window, bool enable)
{
    WindowRecord* record = find_or_fail(window);
    if (!record)
        return false;
    bool was_disabled = (record->style & WS_DISABLED) != 0;
    if (was_disabled == !enable)
        return was_disabled;
    record->style = enable ? record->style & ~WS_DISABLED : record->style | WS_DISABLED;
    if (!enable) {
        WindowHandle focus = get_focus();
        if (focus == window || wintree_is_ancestor(window, focus))
            set_focus({});
        if (get_capture() == window)
            release_capture();
    }
    send_message(window, WM_ENABLE, enable ? 1 : 0, 0);
    return was_disabled;
}

WindowHandle get_parent(WindowHandle window)
{
    WindowRecord* record = find_or_fail(window);
    if (!record)
        return {};
    if (record->style & WS_CHILD)
        return record->parent;
    return (record->style & WS_POPUP) ? record->owner : WindowHandle{};
}

static bool would_make_cycle(WindowHandle child, WindowHandle new_parent)
{
    return new_parent == child || wintree_is_ancestor(child, new_parent);
}

WindowHandle set_parent(WindowHandle child, WindowHandle new_parent)
{
    WindowRecord* record = find_or_fail(child);
    if (!record)
        return {};
    if (!new_parent)
        new_parent = wintree_desktop_handle();
    if (!wintree_find(new_parent) || would_make_cycle(child, new_parent)) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    WindowHandle old = record->parent;
    bool visible = (record->style & WS_VISIBLE) != 0;
    if (visible)
        show_window(child, SW_HIDE);
    if (!(record = wintree_find(child)))
        return {};
    wintree_unlink(*record);
    record->parent = new_parent;
    wintree_link(*record, HWND_TOP);
    if (wintree_is_top_level(*record) && !record->surface) {
        record->surface = std::make_unique<Surface>();
        surface_resize(*record->surface, record->window_rect.width(), record->window_rect.height());
    } else if (!wintree_is_top_level(*record))
        record->surface.reset();
    if (visible)
        show_window(child, SW_SHOWNA);
    return wintree_is_desktop(old) ? get_desktop_window() : old;
}

static WindowHandle sibling(const WindowRecord& window, uint32_t relation)
{
    WindowRecord* parent = wintree_find(window.parent);
    if (!parent || parent->children.empty())
        return {};
    const std::vector<WindowHandle>& list = parent->children;
    auto at = std::find(list.begin(), list.end(), window.handle);
    switch (relation) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return at == list.end() || at + 1 == list.end() ? WindowHandle{} : *(at + 1);
    case GW_HWNDPREV: return at == list.begin() || at == list.end() ? WindowHandle{} : *(at - 1);
    default: return {};
    }
}

static WindowHandle enabled_popup(WindowHandle window)
{
    for (WindowHandle top : wintree_top_levels()) {
        WindowRecord* record = wintree_find(top);
        if (record && record->owner == window && (record->style & WS_VISIBLE) && !(record->style & WS_DISABLED))
            return top;
    }
    return {};
}

WindowHandle get_window(WindowHandle window, uint32_t relation)
{
    WindowRecord* record = find_or_fail_with_desktop(window);
    if (!record)
        return {};
    switch (relation) {
    case GW_OWNER: return record->owner;
    case GW_CHILD: return record->children.empty() ? WindowHandle{} : record->children.front();
    case GW_ENABLEDPOPUP: return enabled_popup(window);
    default: return sibling(*record, relation);
    }
}

WindowHandle get_ancestor(WindowHandle window, uint32_t kind)
{
    WindowRecord* record = find_or_fail(window);
    if (!record)
        return {};
    if (kind == GA_PARENT)
        return record->parent;
    WindowRecord* root = wintree_root(window);
    if (kind == GA_ROOT || !root)
        return root ? root->handle : WindowHandle{};
    for (int steps = 0; root->owner && wintree_find(root->owner) && steps < 64; steps++)
        root = wintree_find(root->owner);
    return root->handle;
}

WindowHandle get_top_window(WindowHandle window)
{
    WindowRecord* record = window ? find_or_fail(window) : &wintree_desktop();
    if (!record || record->children.empty())
        return {};
    return record->children.front();
}

WindowHandle get_desktop_window() { return wintree_desktop_handle(); }

WindowHandle get_last_active_popup(WindowHandle window)
{
    WindowRecord* record = find_or_fail(window);
    if (!record)
        return {};
    WindowRecord* popup = wintree_find(record->last_active_popup);
    return popup && !popup->destroying ? popup->handle : window;
}

WindowHandle get_dlg_item(WindowHandle parent, int id)
{
    WindowRecord* record = find_or_fail(parent);
    if (!record)
        return {};
    for (WindowHandle child : record->children) {
        WindowRecord* inner = wintree_find(child);
        if (inner && int(inner->id) == id)
            return child;
    }
    set_last_error(ERROR_CONTROL_ID_NOT_FOUND);
    return {};
}

int get_dlg_ctrl_id(WindowHandle window)
{
    WindowRecord* record = find_or_fail(window);
    return record && (record->style & WS_CHILD) ? int(record->id) : 0;
}

// The bytes at index of the window's extra bytes, or null (error 1413) when they do not fit.
static uint8_t* extra_bytes(WindowRecord& record, int index, size_t size)
{
    if (index < 0 || record.extra.size() < size || size_t(index) > record.extra.size() - size) {
        set_last_error(ERROR_INVALID_INDEX);
        return nullptr;
    }
    return record.extra.data() + index;
}

static intptr_t read_field(const WindowRecord& record, int index)
{
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<intptr_t>(record.proc);
    case GWLP_HINSTANCE: return intptr_t(record.instance.id);
    case GWLP_HWNDPARENT: return intptr_t((record.style & WS_CHILD) ? record.parent.id : record.owner.id);
    case GWLP_ID: return intptr_t(record.id);
    case GWL_STYLE: return intptr_t(record.style);
    case GWL_EXSTYLE: return intptr_t(record.ex_style);
    case GWLP_USERDATA: return record.user_data;
    default: break;
    }
    set_last_error(ERROR_INVALID_INDEX);
    return 0;
}

struct StyleStruct {
    uint32_t old_style = 0;
    uint32_t new_style = 0;
};

static void change_style(WindowHandle window, int index, uint32_t value)
{
    WindowRecord* record = wintree_find(window);
    StyleStruct change{index == GWL_STYLE ? record->style : record->ex_style, value};
    send_message(window, WM_STYLECHANGING, WParam(intptr_t(index)), reinterpret_cast<LParam>(&change));
    if (!(record = wintree_find(window)))
        return;
    (index == GWL_STYLE ? record->style : record->ex_style) = change.new_style;
    send_message(window, WM_STYLECHANGED, WParam(intptr_t(index)), reinterpret_cast<LParam>(&change));
}

// Stores a field; false when the index names none that can be changed.
static bool write_field(WindowHandle window, int index, intptr_t value)
{
    WindowRecord* record = wintree_find(window);
    switch (index) {
    case GWLP_WNDPROC:
        if (value == 0)
            return false;
        record->proc = reinterpret_cast<WindowProc>(value);
        return true;
    case GWLP_HINSTANCE: record->instance = ModuleHandle(uint32_t(value)); return true;
    case GWLP_HWNDPARENT:
        if (!(record->style & WS_CHILD))
            record->owner = WindowHandle(uint32_t(value));
        return true;
    case GWLP_ID: record->id = uintptr_t(value); return true;
    case GWL_STYLE:
    case GWL_EXSTYLE: change_style(window, index, uint32_t(value)); return true;
    case GWLP_USERDATA: record->user_data = value; return true;
    default: break;
    }
    set_last_error(ERROR_INVALID_INDEX);
    return false;
}

template <typename T>
static T read_extra(WindowHandle window, int index)
{
    WindowRecord* record = find_or_fail(window);
    uint8_t* bytes = record ? extra_bytes(*record, index, sizeof(T)) : nullptr;
    T value = 0;
    if (bytes)
        std::memcpy(&value, bytes, sizeof value);
    return value;
}

template <typename T>
static T write_extra(WindowHandle window, int index, T value)
{
    WindowRecord* record = find_or_fail(window);
    uint8_t* bytes = record ? extra_bytes(*record, index, sizeof(T)) : nullptr;
    T old = 0;
    if (bytes) {
        std::memcpy(&old, bytes, sizeof old);
        std::memcpy(bytes, &value, sizeof value);
    }
    return old;
}

intptr_t get_window_long_ptr(WindowHandle window, int index)
{
    if (index >= 0)
        return read_extra<intptr_t>(window, index);
    WindowRecord* record = find_or_fail(window);
    return record ? read_field(*record, index) : 0;
}

intptr_t set_window_long_ptr(WindowHandle window, int index, intptr_t value)
{
    if (index >= 0)
        return write_extra<intptr_t>(window, index, value);
    WindowRecord* record = find_or_fail(window);
    if (!record)
        return 0;
    intptr_t old = read_field(*record, index);
    return write_field(window, index, value) ? old : 0;
}

int32_t get_window_long(WindowHandle window, int index)
{
    if (index >= 0)
        return read_extra<int32_t>(window, index);
    if (index == GWLP_WNDPROC) { // an address does not fit 32 bits
        set_last_error(ERROR_INVALID_INDEX);
        return 0;
    }
    return int32_t(get_window_long_ptr(window, index));
}

int32_t set_window_long(WindowHandle window, int index, int32_t value)
{
    if (index >= 0)
        return write_extra<int32_t>(window, index, value);
    if (index == GWLP_WNDPROC) {
        set_last_error(ERROR_INVALID_INDEX);
        return 0;
    }
    return int32_t(set_window_long_ptr(window, index, index == GWL_STYLE || index == GWL_EXSTYLE ? intptr_t(uint32_t(value)) : value));
}

uint16_t get_window_word(WindowHandle window, int index) { return read_extra<uint16_t>(window, index); }

uint16_t set_window_word(WindowHandle window, int index, uint16_t value)
{
    return write_extra<uint16_t>(window, index, value);
}

static WindowProperty* find_prop(WindowRecord& record, std::string_view name)
{
    for (WindowProperty& prop : record.props) {
        if (prop.name.size() == name.size() && lstrcmpi(prop.name.c_str(), std::string(name).c_str()) == 0)
            return &prop;
    }
    return nullptr;
}

bool set_prop(WindowHandle window, std::string_view name, uintptr_t value)
{
    WindowRecord* record = find_or_fail(window);
    if (!record || name.empty())
        return false;
    if (WindowProperty* prop = find_prop(*record, name))
        prop->value = value;
    else
        record->props.push_back(WindowProperty{std::string(name), value});
    return true;
}

uintptr_t get_prop(WindowHandle window, std::string_view name)
{
    WindowRecord* record = find_or_fail(window);
    WindowProperty* prop = record ? find_prop(*record, name) : nullptr;
    return prop ? prop->value : 0;
}

uintptr_t remove_prop(WindowHandle window, std::string_view name)
{
    WindowRecord* record = find_or_fail(window);
    WindowProperty* prop = record ? find_prop(*record, name) : nullptr;
    if (!prop)
        return 0;
    uintptr_t value = prop->value;
    record->props.erase(record->props.begin() + (prop - record->props.data()));
    return value;
}

bool set_window_text(WindowHandle window, const char* text)
{
    if (!find_or_fail(window))
        return false;
    return send_message(window, WM_SETTEXT, 0, reinterpret_cast<LParam>(text ? text : "")) != 0;
}

// Text of another program's window in this program's code page, cut as get_window_text cuts.
static int foreign_text(const std::string& utf8, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    std::string text = utf8_to_code_page(CP_ACP, utf8);
    const char* start = text.c_str();
    const char* end = start;
    while (*end && char_next(end) - start <= size - 1)
        end = char_next(end);
    std::memcpy(buffer, start, size_t(end - start));
    buffer[end - start] = '\0';
    return int(end - start);
}

int get_window_text(WindowHandle window, char* buffer, int size)
{
    SnapshotWindow info;
    if (ipc_is_foreign(window))
        return foreign_info(window, info) ? foreign_text(info.title, buffer, size) : 0;
    if (!find_or_fail(window) || !buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    return int(send_message(window, WM_GETTEXT, WParam(size), reinterpret_cast<LParam>(buffer)));
}

int get_window_text_length(WindowHandle window)
{
    if (!find_or_fail(window))
        return 0;
    return int(send_message(window, WM_GETTEXTLENGTH, 0, 0));
}

static bool matches(const WindowRecord& record, const char* class_name, const char* title)
{
    if (class_name) {
        ClassRecord* window_class = wndclass_record(record.class_id);
        if (!window_class || wndclass_find(class_name, window_class->info.instance) != record.class_id)
            return false;
    }
    return !title || lstrcmpi(record.text.c_str(), title) == 0;
}

static bool foreign_matches(const SnapshotWindow& window, const char* class_name, const char* title)
{
    if (class_name && lstrcmpi(utf8_to_code_page(CP_ACP, window.class_name).c_str(), class_name) != 0)
        return false;
    return !title || lstrcmpi(utf8_to_code_page(CP_ACP, window.title).c_str(), title) == 0;
}

// Top-level windows of other programs come after this program's own.
static WindowHandle find_foreign(WindowHandle child_after, const char* class_name, const char* title)
{
    bool started = !ipc_is_foreign(child_after);
    for (const SnapshotWindow& window : ipc_other_windows()) {
        if (started && foreign_matches(window, class_name, title))
            return WindowHandle(window.id);
        if (window.id == child_after.id)
            started = true;
    }
    return {};
}

WindowHandle find_window_ex(WindowHandle parent, WindowHandle child_after, const char* class_name, const char* title)
{
    WindowRecord* container = parent ? find_or_fail(parent) : &wintree_desktop();
    if (!container)
        return {};
    bool started = !child_after;
    for (WindowHandle handle : container->children) {
        if (ipc_is_foreign(child_after))
            break;
        WindowRecord* record = wintree_find(handle);
        if (started && record && !record->destroying && matches(*record, class_name, title))
            return handle;
        if (handle == child_after)
            started = true;
    }
    if (!parent && ipc_active()) {
        if (WindowHandle found = find_foreign(child_after, class_name, title))
            return found;
    }
    set_last_error(ERROR_FILE_NOT_FOUND);
    return {};
}

WindowHandle find_window(const char* class_name, const char* title)
{
    return find_window_ex({}, {}, class_name, title);
}

bool enum_windows(WindowEnumProc callback, LParam lparam)
{
    std::vector<WindowHandle> windows = wintree_top_levels();
    for (WindowHandle window : windows) {
        if (wintree_find(window) && !callback(window, lparam))
            return false;
    }
    if (!ipc_active())
        return true;
    for (const SnapshotWindow& window : ipc_other_windows()) {
        if (!callback(WindowHandle(window.id), lparam))
            return false;
    }
    return true;
}

uint32_t get_window_thread_process_id(WindowHandle window, uint32_t* process_id)
{
    uint32_t pid = 0;
    SnapshotWindow info;
    if (ipc_is_foreign(window)) {
        if (foreign_info(window, info))
            pid = info.pid;
    } else if (find_or_fail(window)) {
        pid = uint32_t(getpid());
    }
    if (process_id)
        *process_id = pid;
    return pid; // the window thread is the process's first thread, whose id is the pid
}

bool enum_child_windows(WindowHandle parent, WindowEnumProc callback, LParam lparam)
{
    if (!find_or_fail(parent))
        return false;
    std::vector<WindowHandle> windows = wintree_subtree(parent, TreeOrder::parents_first);
    for (WindowHandle window : windows) {
        if (window != parent && wintree_find(window) && !callback(window, lparam))
            return false;
    }
    return true;
}

bool get_window_rect(WindowHandle window, Rect& rect)
{
    WindowRecord* record = find_or_fail_with_desktop(window);
    if (!record)
        return false;
    rect = wintree_screen_rect(*record);
    return true;
}

bool get_client_rect(WindowHandle window, Rect& rect)
{
    WindowRecord* record = find_or_fail_with_desktop(window);
    if (!record)
        return false;
    rect = Rect{0, 0, record->client_rect.width(), record->client_rect.height()};
    return true;
}

static bool client_origin(WindowHandle window, Point& origin)
{
    if (!window || wintree_is_desktop(window)) {
        origin = Point{};
        return true;
    }
    WindowRecord* record = find_or_fail(window);
    if (record)
        origin = wintree_client_origin(*record);
    return record != nullptr;
}

// Points wrap around at the ends of the 32-bit range, as in Win32, rather than overflow.
static void move_point(Point& point, int32_t dx, int32_t dy)
{
    point.x = int32_t(uint32_t(point.x) + uint32_t(dx));
    point.y = int32_t(uint32_t(point.y) + uint32_t(dy));
}

bool client_to_screen(WindowHandle window, Point& point)
{
    Point origin;
    if (!client_origin(window, origin))
        return false;
    move_point(point, origin.x, origin.y);
    return true;
}

bool screen_to_client(WindowHandle window, Point& point)
{
    Point origin;
    if (!client_origin(window, origin))
        return false;
    move_point(point, -origin.x, -origin.y);
    return true;
}

int map_window_points(WindowHandle from, WindowHandle to, Point* points, uint32_t count)
{
    Point from_origin;
    Point to_origin;
    if (!client_origin(from, from_origin) || !client_origin(to, to_origin))
        return 0;
    int32_t dx = from_origin.x - to_origin.x;
    int32_t dy = from_origin.y - to_origin.y;
    for (uint32_t i = 0; points && i < count; i++)
        move_point(points[i], dx, dy);
    return int(make_lparam(uint32_t(dx), uint32_t(dy)));
}

void window_system_reset()
{
    wintree_reset();
    wndclass_reset();
    message_queue_reset();
    timer_reset();
    focus_reset();
    input_reset();
    paint_reset();
    dc_reset();
    keyboard_reset();
    metrics_reset();
    ime_reset(); // the thread's input context outlives any window
    s_window = WindowState{};
    wintree_set_screen_size(backend_screen_size());
}

} // namespace plat
