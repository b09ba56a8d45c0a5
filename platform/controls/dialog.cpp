#include "platform/controls/dialog.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/controls/controls.h"
#include "platform/controls/ctl_button.h"
#include "platform/controls/ctl_edit.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/controls/dlgmgr.h"
#include "platform/kernel/error.h"
#include "platform/window/focus.h"
#include "platform/text/font.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/metrics.h"
#include "platform/window/nonclient.h"
#include "platform/window/paint.h"
#include "platform/kernel/slots.h"
#include "platform/text/text.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wndclass.h"

namespace plat {

// After DefDlgProc's three fields: the id of the dialog's DialogInfo.
constexpr int kDialogInfoIndex = 24;
constexpr int32_t kPointsPerInch = 72;

struct DialogState {
    SlotTable<std::shared_ptr<DialogInfo>> infos{0xD1A};
};

static DialogState s_dialog;

DialogInfo* dialog_info(WindowHandle dialog)
{
    if (!is_window(dialog) || get_class_long(dialog, GCL_CBWNDEXTRA) < uint32_t(DLGWINDOWEXTRA))
        return nullptr;
    std::shared_ptr<DialogInfo>* slot = s_dialog.infos.find(uint32_t(get_window_long(dialog, kDialogInfoIndex)));
    return slot ? slot->get() : nullptr;
}

Size dialog_base_units_of_font(GdiObject font)
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    DcHandle dc = get_dc({});
    GdiObject old = select_object(dc, font ? font : get_stock_object(SYSTEM_FONT));
    TextMetric metrics;
    Size extent;
    get_text_metrics(dc, metrics);
    get_text_extent_point32(dc, kLetters, 52, extent);
    select_object(dc, old);
    release_dc({}, dc);
    return Size{(extent.cx / 26 + 1) / 2, metrics.height};
}

int32_t get_dialog_base_units()
{
    Size units = dialog_base_units_of_font(get_stock_object(SYSTEM_FONT));
    return int32_t(make_lparam(uint32_t(units.cx), uint32_t(units.cy)));
}

// MulDiv: rounded to the nearest, halves away from zero.
static int32_t mul_div(int32_t value, int32_t numerator, int32_t denominator)
{
    int64_t product = int64_t(value) * numerator;
    int64_t half = denominator / 2;
    return int32_t(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

static Rect units_to_pixels(Size units, int32_t x, int32_t y, int32_t cx, int32_t cy)
{
    int32_t left = mul_div(x, units.cx, 4);
    int32_t top = mul_div(y, units.cy, 8);
    return Rect{left, top, left + mul_div(cx, units.cx, 4), top + mul_div(cy, units.cy, 8)};
}

bool map_dialog_rect(WindowHandle dialog, Rect& rect)
{
    DialogInfo* info = dialog_info(dialog);
    if (!info)
        return false;
    rect = units_to_pixels(info->base_units, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return true;
}

static GdiObject template_font(const DialogTemplate& dialog, bool& own)
{
    own = false;
    if (dialog.font_size == 0)
        return get_stock_object(SYSTEM_FONT);
    DcHandle screen = get_dc({});
    int32_t height = -mul_div(dialog.font_size, get_device_caps(screen, LOGPIXELSY), kPointsPerInch);
    release_dc({}, screen);
    GdiObject font = create_font(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, dialog.font_face.c_str());
    own = bool(font);
    return font ? font : get_stock_object(SYSTEM_FONT);
}

// The window rectangle: the client area at the template's place, kept on the screen.
static Rect placement(const DialogTemplate& dialog, Size units, WindowHandle owner, uint32_t style, uint32_t ex_style)
{
    Rect client = units_to_pixels(units, dialog.x, dialog.y, dialog.cx, dialog.cy);
    Rect frame{0, 0, client.width(), client.height()};
    adjust_window_rect_ex(frame, style, false, ex_style);
    Point origin{client.left + frame.left, client.top + frame.top};
    if (style & WS_CHILD)
        return Rect{origin.x, origin.y, origin.x + frame.width(), origin.y + frame.height()};
    Size screen{get_system_metrics(SM_CXSCREEN), get_system_metrics(SM_CYSCREEN)};
    if (dialog.style & DS_CENTER) {
        origin = Point{(screen.cx - frame.width()) / 2, (screen.cy - frame.height()) / 2};
    } else if (owner && !(dialog.style & DS_ABSALIGN)) {
        Point corner{0, 0};
        client_to_screen(owner, corner);
        origin.x += corner.x;
        origin.y += corner.y;
    }
    origin.x = std::max(0, std::min(origin.x, screen.cx - frame.width()));
    origin.y = std::max(0, std::min(origin.y, screen.cy - frame.height()));
    return Rect{origin.x, origin.y, origin.x + frame.width(), origin.y + frame.height()};
}

static bool is_class(std::string_view name, const char* wanted)
{
    return name.size() == std::string_view(wanted).size()
        && std::equal(name.begin(), name.end(), wanted, [](char a, char b) { return (a | 0x20) == (b | 0x20); });
}

// Fields and lists with a border get the sunken 3-D edge, as dialogs show them; a combo box
// draws its own.
static void sunken_fields(const DialogControl& control, uint32_t& style, uint32_t& ex_style)
{
    bool field = is_class(control.class_name, kEditClass) || is_class(control.class_name, kListBoxClass);
    if (field && (style & WS_BORDER)) {
        style &= ~WS_BORDER;
        ex_style |= WS_EX_CLIENTEDGE;
    }
}

static bool create_controls(WindowHandle dialog, ModuleHandle module, const DialogTemplate& t, DialogInfo& info_copy)
{
    for (const DialogControl& control : t.controls) {
        uint32_t style = control.style | WS_CHILD;
        uint32_t ex_style = control.ex_style | WS_EX_NOPARENTNOTIFY;
        sunken_fields(control, style, ex_style);
        Rect r = units_to_pixels(info_copy.base_units, control.x, control.y, control.cx, control.cy);
        WindowHandle item = create_window_ex(ex_style, control.class_name, control.text.c_str(), style, r.left, r.top,
            r.width(), r.height(), dialog, control.id, module, nullptr);
        if (!is_window(dialog))
            return false;
        if (!item) {
            if (t.style & DS_NOFAILCREATE)
                continue;
            return false;
        }
        send_message(item, WM_SETFONT, WParam(info_copy.font.id), 0);
        bool default_button = is_class(control.class_name, kButtonClass) && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        DialogInfo* info = dialog_info(dialog);
        if (default_button && info && info->default_id == 0)
            info->default_id = control.id;
    }
    return true;
}

static void free_info(WindowHandle dialog)
{
    uint32_t id = uint32_t(get_window_long(dialog, kDialogInfoIndex));
    std::shared_ptr<DialogInfo>* slot = s_dialog.infos.find(id);
    if (slot && *slot && (*slot)->own_font)
        delete_object((*slot)->font);
    s_dialog.infos.erase(id);
    set_window_long(dialog, kDialogInfoIndex, 0);
}

// WM_INITDIALOG, then the focus: set now when the dialog shows, else kept for its activation.
static void initialise(WindowHandle dialog, LParam param)
{
    WindowHandle first = get_next_dlg_tab_item(dialog, {}, false);
    LResult wants_focus = send_message(dialog, WM_INITDIALOG, WParam(first.id), param);
    DialogInfo* info = dialog_info(dialog);
    if (!wants_focus || !info)
        return;
    first = get_next_dlg_tab_item(dialog, {}, false);
    if (!first)
        return;
    if (is_window_visible(dialog))
        dialog_set_focus(dialog, first);
    else
        info->saved_focus = first;
}

static WindowHandle make_window(ModuleHandle module, const DialogTemplate& t, WindowHandle owner, DialogInfo& info)
{
    bool own_font = false;
    info.font = template_font(t, own_font);
    info.own_font = own_font;
    info.base_units = dialog_base_units_of_font(info.font);
    uint32_t style = t.style & ~WS_VISIBLE;
    uint32_t ex_style = t.ex_style | ((t.style & DS_MODALFRAME) ? uint32_t(WS_EX_DLGMODALFRAME) : 0u);
    Rect r = placement(t, info.base_units, owner, style, ex_style);
    std::string_view class_name = t.class_name.empty() ? std::string_view(kDialogClass) : std::string_view(t.class_name);
    WindowHandle dialog = create_window_ex(ex_style, class_name, t.caption.c_str(), style, r.left, r.top, r.width(),
        r.height(), owner, 0, module, nullptr);
    if (dialog && get_class_long(dialog, GCL_CBWNDEXTRA) < uint32_t(DLGWINDOWEXTRA)) {
        destroy_window(dialog);
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    return dialog;
}

WindowHandle create_dialog_indirect_param(ModuleHandle module, const DialogTemplate& t, WindowHandle owner,
    DialogProc proc, LParam param)
{
    DialogInfo start;
    WindowHandle dialog = make_window(module, t, owner, start);
    if (!dialog) {
        if (start.own_font)
            delete_object(start.font);
        return {};
    }
    uint32_t id = s_dialog.infos.insert(std::make_shared<DialogInfo>(start));
    set_window_long(dialog, kDialogInfoIndex, int32_t(id));
    set_window_long_ptr(dialog, DWLP_DLGPROC, reinterpret_cast<intptr_t>(proc));
    send_message(dialog, WM_SETFONT, WParam(start.font.id), 0);
    if (!create_controls(dialog, module, t, start)) {
        destroy_window(dialog);
        set_last_error(ERROR_CANNOT_FIND_WND_CLASS);
        return {};
    }
    initialise(dialog, param);
    if (!is_window(dialog))
        return {};
    // A dialog ended from WM_INITDIALOG is destroyed by its run before it ever shows.
    DialogInfo* info = dialog_info(dialog);
    if ((t.style & WS_VISIBLE) && !is_window_visible(dialog) && info && !info->ended) {
        show_window(dialog, SW_SHOWNORMAL);
        update_window(dialog);
    }
    return is_window(dialog) ? dialog : WindowHandle{};
}

WindowHandle create_dialog_param(ModuleHandle module, ResourceId name, WindowHandle owner, DialogProc proc, LParam param)
{
    ResourceBytes bytes = find_resource(module, RT_DIALOG, name);
    if (!bytes.data)
        return {};
    DialogTemplate t;
    if (!read_dialog_template(bytes, t)) {
        set_last_error(ERROR_RESOURCE_DATA_NOT_FOUND);
        return {};
    }
    return create_dialog_indirect_param(module, t, owner, proc, param);
}

// Messages whose answer is the dialog procedure's own, not DWLP_MSGRESULT.
static bool answers_directly(uint32_t message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG: return true;
    default: return false;
    }
}

static bool is_push_button(WindowHandle window)
{
    uint32_t code = uint32_t(send_message(window, WM_GETDLGCODE, 0, 0));
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

static void set_button_look(WindowHandle button, bool is_default)
{
    uint32_t code = uint32_t(send_message(button, WM_GETDLGCODE, 0, 0));
    bool now_default = (code & DLGC_DEFPUSHBUTTON) != 0;
    if (now_default != is_default && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
        send_message(button, BM_SETSTYLE, is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, 1);
}

void dialog_track_default(WindowHandle dialog, WindowHandle focus)
{
    DialogInfo* info = dialog_info(dialog);
    if (!info)
        return;
    WindowHandle wanted = focus && get_parent(focus) == dialog && is_push_button(focus) ? focus
                                                                                       : get_dlg_item(dialog, info->default_id);
    for (WindowHandle child = get_window(dialog, GW_CHILD); child; child = get_window(child, GW_HWNDNEXT)) {
        if (child != wanted)
            set_button_look(child, false);
    }
    if (wanted)
        set_button_look(wanted, true);
}

void dialog_set_focus(WindowHandle dialog, WindowHandle control)
{
    if (!control)
        return;
    uint32_t code = uint32_t(send_message(control, WM_GETDLGCODE, 0, 0));
    if (code & DLGC_HASSETSEL)
        send_message(control, EM_SETSEL, 0, -1);
    set_focus(control);
    dialog_track_default(dialog, control);
}

// The focus comes back to the control that had it, or to the first control that takes it.
static void restore_focus(WindowHandle dialog)
{
    DialogInfo* info = dialog_info(dialog);
    if (!info)
        return;
    WindowHandle target = info->saved_focus;
    if (!target || !is_child(dialog, target) || !is_window_enabled(target) || !is_window_visible(target))
        target = get_next_dlg_tab_item(dialog, {}, false);
    if (target)
        dialog_set_focus(dialog, target);
    else
        set_focus(dialog);
}

static void save_focus(WindowHandle dialog)
{
    DialogInfo* info = dialog_info(dialog);
    WindowHandle focus = get_focus();
    if (info && focus && is_child(dialog, focus))
        info->saved_focus = focus;
}

static LResult on_erase(WindowHandle dialog, WParam wparam)
{
    auto dc = DcHandle(uint32_t(wparam));
    LResult brush = send_message(dialog, WM_CTLCOLORDLG, wparam, LParam(dialog.id));
    Rect client;
    get_client_rect(dialog, client);
    fill_rect(dc, client, brush ? GdiObject(uint32_t(brush)) : get_sys_color_brush(COLOR_BTNFACE));
    return 1;
}

static LResult on_close(WindowHandle dialog)
{
    WindowHandle cancel = get_dlg_item(dialog, IDCANCEL);
    if (!cancel || is_window_enabled(cancel))
        post_message(dialog, WM_COMMAND, make_wparam(IDCANCEL, BN_CLICKED), LParam(cancel.id));
    return 0;
}

static LResult on_next_control(WindowHandle dialog, WParam wparam, LParam lparam)
{
    WindowHandle target;
    if (loword(uintptr_t(lparam)))
        target = WindowHandle(uint32_t(wparam));
    else {
        WindowHandle focus = get_focus();
        while (focus && get_parent(focus) != dialog && get_parent(focus))
            focus = get_parent(focus);
        target = get_next_dlg_tab_item(dialog, focus, wparam != 0);
    }
    if (target && is_child(dialog, target))
        dialog_set_focus(dialog, target);
    return 0;
}

static LResult on_default_id(WindowHandle dialog, uint32_t message, WParam wparam)
{
    DialogInfo* info = dialog_info(dialog);
    if (!info)
        return 0;
    if (message == DM_GETDEFID)
        return info->default_id ? LResult(make_lparam(uint32_t(info->default_id), DC_HASDEFID)) : 0;
    info->default_id = int(loword(wparam));
    WindowHandle focus = get_focus();
    dialog_track_default(dialog, focus && is_push_button(focus) ? focus : WindowHandle{});
    return 1;
}

static LResult default_handling(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_ERASEBKGND: return on_erase(dialog, wparam);
    case WM_SHOWWINDOW:
        if (!wparam)
            save_focus(dialog);
        return def_window_proc(dialog, message, wparam, lparam);
    case WM_ACTIVATE:
        if (loword(wparam) == WA_INACTIVE)
            save_focus(dialog);
        else
            restore_focus(dialog);
        return 0;
    case WM_SETFOCUS: restore_focus(dialog); return 0;
    case WM_CLOSE: return on_close(dialog);
    case WM_NEXTDLGCTL: return on_next_control(dialog, wparam, lparam);
    case DM_GETDEFID:
    case DM_SETDEFID: return on_default_id(dialog, message, wparam);
    case WM_SETFONT: return 0;
    case WM_GETFONT: {
        DialogInfo* info = dialog_info(dialog);
        return info ? LResult(info->font.id) : 0;
    }
    case WM_NCDESTROY:
        free_info(dialog);
        return def_window_proc(dialog, message, wparam, lparam);
    default: return def_window_proc(dialog, message, wparam, lparam);
    }
}

LResult def_dlg_proc(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam)
{
    auto proc = reinterpret_cast<DialogProc>(get_window_long_ptr(dialog, DWLP_DLGPROC));
    if (proc) {
        set_window_long_ptr(dialog, DWLP_MSGRESULT, 0);
        LResult handled = proc(dialog, message, wparam, lparam);
        if (handled)
            return answers_directly(message) ? handled : (is_window(dialog) ? get_window_long_ptr(dialog, DWLP_MSGRESULT) : 0);
        if (!is_window(dialog))
            return 0;
    }
    return default_handling(dialog, message, wparam, lparam);
}

bool set_dlg_item_text(WindowHandle dialog, int id, const char* text)
{
    WindowHandle item = get_dlg_item(dialog, id);
    return item && set_window_text(item, text);
}

int get_dlg_item_text(WindowHandle dialog, int id, char* buffer, int size)
{
    WindowHandle item = get_dlg_item(dialog, id);
    if (!item) {
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    return get_window_text(item, buffer, size);
}

bool set_dlg_item_int(WindowHandle dialog, int id, uint32_t value, bool is_signed)
{
    char text[16];
    if (is_signed)
        std::snprintf(text, sizeof text, "%d", int32_t(value));
    else
        std::snprintf(text, sizeof text, "%u", value);
    return set_dlg_item_text(dialog, id, text);
}

// [blanks] ['-'] digits [blanks], within 32 bits (signed or not).
static bool parse_int(const std::string& text, bool is_signed, uint32_t& out)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        i++;
    bool negative = is_signed && i < text.size() && text[i] == '-';
    if (negative)
        i++;
    size_t digits_start = i;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; i++) {
        value = value * 10 + uint64_t(text[i] - '0');
        if (value > 0xFFFFFFFFull)
            return false;
    }
    bool any = i > digits_start;
    while (i < text.size() && text[i] == ' ')
        i++;
    if (!any || i != text.size())
        return false;
    uint64_t limit = !is_signed ? 0xFFFFFFFFull : negative ? 0x80000000ull : 0x7FFFFFFFull;
    if (value > limit)
        return false;
    out = negative ? uint32_t(-int64_t(value)) : uint32_t(value);
    return true;
}

uint32_t get_dlg_item_int(WindowHandle dialog, int id, bool* translated, bool is_signed)
{
    uint32_t value = 0;
    WindowHandle item = get_dlg_item(dialog, id);
    bool ok = item && parse_int(controls_text(item), is_signed, value);
    if (translated)
        *translated = ok;
    return ok ? value : 0;
}

LResult send_dlg_item_message(WindowHandle dialog, int id, uint32_t message, WParam wparam, LParam lparam)
{
    WindowHandle item = get_dlg_item(dialog, id);
    return item ? send_message(item, message, wparam, lparam) : 0;
}

bool check_dlg_button(WindowHandle dialog, int id, uint32_t check)
{
    WindowHandle item = get_dlg_item(dialog, id);
    if (!item)
        return false;
    send_message(item, BM_SETCHECK, check, 0);
    return true;
}

uint32_t is_dlg_button_checked(WindowHandle dialog, int id)
{
    return uint32_t(send_dlg_item_message(dialog, id, BM_GETCHECK, 0, 0));
}

bool check_radio_button(WindowHandle dialog, int first, int last, int check_id)
{
    bool any = false;
    for (int id = first; id <= last; id++) {
        if (WindowHandle item = get_dlg_item(dialog, id)) {
            send_message(item, BM_SETCHECK, id == check_id ? BST_CHECKED : BST_UNCHECKED, 0);
            any = true;
        }
    }
    return any;
}

void dialog_reset() { s_dialog.infos.clear(); }

} // namespace plat
