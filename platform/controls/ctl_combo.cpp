#include "platform/controls/ctl_combo.h"

#include <algorithm>
#include <string>

#include "platform/controls/controls.h"
#include "platform/controls/ctl_draw.h"
#include "platform/controls/ctl_edit.h"
#include "platform/controls/ctl_listbox.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/text/draw_text.h"
#include "platform/window/focus.h"
#include "platform/text/font.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/text/text.h"
#include "platform/window/winpos.h"

namespace plat {

// The field: a sunken edge of 2 pixels and a pixel of air around the text.
constexpr int32_t kEdge = 2;
constexpr int32_t kFieldPadding = 2;

struct ComboData {
    WindowHandle list;
    WindowHandle edit;
    int32_t selected = -1;
    int32_t field_height = 0;
    int32_t dropped_height = 0;
    bool dropped = false;
    int32_t selection_before_drop = -1;
    bool focused = false;
    bool sizing = false;
    bool extended_ui = false;
};

static ControlTable<ComboData> s_combos{0xC0B};

static uint32_t style_of(WindowHandle window) { return uint32_t(get_window_long(window, GWL_STYLE)); }
static bool is_list_kind(WindowHandle window) { return (style_of(window) & 0x3) == CBS_DROPDOWNLIST; }
static bool owner_drawn(uint32_t style) { return (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }

static int32_t text_height(WindowHandle window)
{
    DcHandle dc = get_dc(window);
    GdiObject old = controls_select_font(window, dc);
    TextMetric metrics;
    get_text_metrics(dc, metrics);
    select_object(dc, old);
    release_dc(window, dc);
    return metrics.height;
}

static Rect button_rect(WindowHandle window)
{
    Rect client;
    get_client_rect(window, client);
    int32_t width = get_system_metrics(SM_CXVSCROLL);
    return Rect{client.right - kEdge - width, kEdge, client.right - kEdge, client.bottom - kEdge};
}

static Rect field_rect(WindowHandle window)
{
    Rect client;
    get_client_rect(window, client);
    return Rect{kEdge, kEdge, button_rect(window).left, client.bottom - kEdge};
}

static void notify(WindowHandle window, uint32_t code) { controls_notify(window, code); }

// The combo box is as high as its field; the list keeps the rest of the height it was given.
static void fit_field(WindowHandle window)
{
    ComboData* combo = s_combos.find(window);
    if (!combo || combo->sizing)
        return;
    Rect outer;
    get_window_rect(window, outer);
    combo->sizing = true;
    if (outer.height() != combo->field_height)
        set_window_pos(window, {}, 0, 0, outer.width(), combo->field_height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if ((combo = s_combos.find(window)) && combo->edit) {
        Rect field = field_rect(window);
        move_window(combo->edit, field.left + 1, field.top + 1, field.width() - 1, field.height() - 2, true);
    }
    if ((combo = s_combos.find(window)))
        combo->sizing = false;
}

static int32_t measured_field_height(WindowHandle window)
{
    uint32_t style = style_of(window);
    int32_t height = text_height(window);
    if (owner_drawn(style)) {
        MeasureItemStruct item{ODT_COMBOBOX, uint32_t(get_dlg_ctrl_id(window)), uint32_t(-1), 0, uint32_t(height), 0};
        if (WindowHandle parent = get_parent(window))
            send_message(parent, WM_MEASUREITEM, WParam(item.ctl_id), reinterpret_cast<LParam>(&item));
        height = int32_t(item.item_height);
    }
    return height + 2 * (kEdge + kFieldPadding);
}

static uint32_t list_style(uint32_t style)
{
    uint32_t list = WS_POPUP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    if (style & CBS_SORT)
        list |= LBS_SORT;
    if (style & CBS_OWNERDRAWFIXED)
        list |= LBS_OWNERDRAWFIXED;
    if (style & CBS_OWNERDRAWVARIABLE)
        list |= LBS_OWNERDRAWVARIABLE;
    if (style & CBS_HASSTRINGS)
        list |= LBS_HASSTRINGS;
    return list;
}

static LResult on_create(WindowHandle window, LParam lparam)
{
    ComboData* combo = s_combos.create(window);
    auto* create = reinterpret_cast<const CreateStruct*>(lparam);
    if (!combo || !create)
        return -1;
    uint32_t style = style_of(window);
    auto instance = create->instance;
    WindowHandle list = create_window_ex(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kComboListClass, "", list_style(style), 0, 0,
        create->cx, std::max(1, create->cy), window, 0, instance, reinterpret_cast<void*>(uintptr_t(window.id)));
    WindowHandle edit;
    if (!is_list_kind(window)) {
        uint32_t edit_style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ((style & CBS_UPPERCASE) ? uint32_t(ES_UPPERCASE) : 0u)
            | ((style & CBS_LOWERCASE) ? uint32_t(ES_LOWERCASE) : 0u);
        edit = create_window_ex(0, kEditClass, "", edit_style, 0, 0, 1, 1, window, kComboEditId, instance, nullptr);
    }
    if (!(combo = s_combos.find(window)) || !list || (!is_list_kind(window) && !edit))
        return -1;
    combo->list = list;
    combo->edit = edit;
    combo->field_height = measured_field_height(window);
    if ((combo = s_combos.find(window))) {
        combo->dropped_height = std::max(create->cy - combo->field_height, combo->field_height);
        fit_field(window);
    }
    return 0;
}

static std::string item_text(WindowHandle list, int32_t index)
{
    LResult length = send_message(list, LB_GETTEXTLEN, WParam(index), 0);
    if (length < 0)
        return {};
    std::string text(size_t(length) + sizeof(uintptr_t) + 1, '\0');
    send_message(list, LB_GETTEXT, WParam(index), reinterpret_cast<LParam>(text.data()));
    text.resize(size_t(length));
    return text;
}

// The field shows the selection: the edit gets its text (selected), the list kind repaints.
static void show_selection(WindowHandle window)
{
    ComboData* combo = s_combos.find(window);
    if (!combo)
        return;
    if (combo->edit) {
        WindowHandle edit = combo->edit;
        std::string text = combo->selected >= 0 ? item_text(combo->list, combo->selected) : std::string();
        set_window_text(edit, text.c_str());
        if (get_focus() == edit)
            send_message(edit, EM_SETSEL, 0, -1);
    }
    invalidate_rect(window, nullptr, false);
}

static void select_item(WindowHandle window, int32_t index, bool user)
{
    ComboData* combo = s_combos.find(window);
    if (!combo)
        return;
    int32_t count = int32_t(send_message(combo->list, LB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count)
        index = -1;
    bool changed = index != combo->selected;
    combo->selected = index;
    send_message(combo->list, LB_SETCURSEL, WParam(index), 0);
    show_selection(window);
    if (user && changed)
        notify(window, CBN_SELCHANGE);
}

static void drop(WindowHandle window)
{
    ComboData* combo = s_combos.find(window);
    if (!combo || combo->dropped)
        return;
    notify(window, CBN_DROPDOWN);
    if (!(combo = s_combos.find(window)))
        return;
    Rect outer;
    get_window_rect(window, outer);
    int32_t count = int32_t(send_message(combo->list, LB_GETCOUNT, 0, 0));
    int32_t item = std::max(1, int32_t(send_message(combo->list, LB_GETITEMHEIGHT, 0, 0)));
    int32_t border = 2 * get_system_metrics(SM_CYBORDER);
    int32_t height = std::min(combo->dropped_height, std::max(1, count) * item + border);
    int32_t y = outer.bottom;
    if (y + height > get_system_metrics(SM_CYSCREEN) && outer.top - height >= 0)
        y = outer.top - height;
    combo->selection_before_drop = combo->selected;
    combo->dropped = true;
    WindowHandle list = combo->list;
    send_message(list, LB_SETCURSEL, WParam(combo->selected), 0);
    set_window_pos(list, HWND_TOPMOST, outer.left, y, outer.width(), height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    update_window(list);
    set_capture(list);
    invalidate_rect(window, nullptr, false);
}

// The list goes up, choosing what it shows highlighted or going back to the selection before.
static void close_list(WindowHandle window, bool chosen)
{
    ComboData* combo = s_combos.find(window);
    if (!combo || !combo->dropped)
        return;
    combo->dropped = false;
    WindowHandle list = combo->list;
    if (get_capture() == list)
        release_capture();
    if (chosen) {
        int32_t highlighted = int32_t(send_message(list, LB_GETCURSEL, 0, 0));
        select_item(window, highlighted, true);
        notify(window, CBN_SELENDOK);
    } else if ((combo = s_combos.find(window))) {
        send_message(list, LB_SETCURSEL, WParam(combo->selected), 0);
        notify(window, CBN_SELENDCANCEL);
    }
    show_window(list, SW_HIDE);
    invalidate_rect(window, nullptr, false);
    notify(window, CBN_CLOSEUP);
}

void combo_list_event(WindowHandle combo, ComboListEvent event) { close_list(combo, event == ComboListEvent::chosen); }

static void paint_field(WindowHandle window, DcHandle dc, const ComboData& combo)
{
    Rect field = field_rect(window);
    bool highlight = combo.focused && !combo.dropped;
    uint32_t style = style_of(window);
    if (owner_drawn(style)) {
        DrawItemStruct item{ODT_COMBOBOX, uint32_t(get_dlg_ctrl_id(window)), uint32_t(combo.selected), ODA_DRAWENTIRE,
            ODS_COMBOBOXEDIT | (highlight ? uint32_t(ODS_SELECTED | ODS_FOCUS) : 0u) | (is_window_enabled(window) ? 0u : uint32_t(ODS_DISABLED)),
            window, dc, field,
            combo.selected >= 0 ? uintptr_t(send_message(combo.list, LB_GETITEMDATA, WParam(combo.selected), 0)) : 0};
        if (WindowHandle parent = get_parent(window))
            send_message(parent, WM_DRAWITEM, WParam(item.ctl_id), reinterpret_cast<LParam>(&item));
        return;
    }
    Rect text_area = field;
    inflate_rect(text_area, -1, -1);
    if (highlight) {
        ctl_draw_fill(dc, text_area, COLOR_HIGHLIGHT);
        set_text_color(dc, get_sys_color(COLOR_HIGHLIGHTTEXT));
    }
    if (!is_window_enabled(window))
        set_text_color(dc, get_sys_color(COLOR_GRAYTEXT));
    std::string text = combo.selected >= 0 ? item_text(combo.list, combo.selected) : std::string();
    GdiObject old_font = controls_select_font(window, dc);
    set_bk_mode(dc, TRANSPARENT);
    Rect text_rect{text_area.left + 1, text_area.top, text_area.right, text_area.bottom};
    draw_text(dc, text.c_str(), int(text.size()), text_rect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    select_object(dc, old_font);
    if (highlight)
        draw_focus_rect(dc, text_area);
}

static void paint(WindowHandle window, DcHandle dc)
{
    ComboData* found = s_combos.find(window);
    if (!found)
        return;
    ComboData combo = *found;
    Rect client;
    get_client_rect(window, client);
    bool grey = !is_window_enabled(window);
    GdiObject brush = controls_color_brush(window, dc, combo.edit || !grey ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC);
    Rect inside = client;
    draw_edge(dc, inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    fill_rect(dc, inside, brush);
    if (!combo.edit)
        paint_field(window, dc, combo);
    Rect button = button_rect(window);
    uint32_t state = DFCS_SCROLLCOMBOBOX | (combo.dropped ? uint32_t(DFCS_PUSHED | DFCS_FLAT) : 0u) | (grey ? uint32_t(DFCS_INACTIVE) : 0u);
    draw_frame_control(dc, button, DFC_SCROLL, state);
}

static LResult on_paint(WindowHandle window) { return ctl_draw_on_paint(window, paint); }

static void toggle(WindowHandle window)
{
    ComboData* combo = s_combos.find(window);
    if (!combo)
        return;
    if (combo->dropped)
        close_list(window, true);
    else
        drop(window);
}

static LResult on_button_down(WindowHandle window, LParam lparam)
{
    ComboData* combo = s_combos.find(window);
    if (!combo)
        return 0;
    WindowHandle focus_target = combo->edit ? combo->edit : window;
    if (get_focus() != focus_target)
        set_focus(focus_target);
    Point p{get_x_lparam(lparam), get_y_lparam(lparam)};
    if ((combo = s_combos.find(window)) && (is_list_kind(window) || pt_in_rect(button_rect(window), p)))
        toggle(window);
    return 0;
}

// Keys move the selection: in the list while it is up, else the selection itself.
static void step_selection(WindowHandle window, int32_t to)
{
    ComboData* combo = s_combos.find(window);
    if (!combo)
        return;
    int32_t count = int32_t(send_message(combo->list, LB_GETCOUNT, 0, 0));
    if (count == 0)
        return;
    to = std::clamp(to, 0, count - 1);
    if (combo->dropped)
        send_message(combo->list, LB_SETCURSEL, WParam(to), 0);
    else
        select_item(window, to, true);
}

static LResult on_key_down(WindowHandle window, uint32_t vk)
{
    ComboData* combo = s_combos.find(window);
    if (!combo)
        return 0;
    int32_t current = combo->dropped ? int32_t(send_message(combo->list, LB_GETCURSEL, 0, 0)) : combo->selected;
    int32_t count = int32_t(send_message(combo->list, LB_GETCOUNT, 0, 0));
    int32_t page = std::max(1, combo->dropped_height / std::max(1, int32_t(send_message(combo->list, LB_GETITEMHEIGHT, 0, 0))));
    switch (vk) {
    case VK_F4: toggle(window); return 0;
    case VK_RETURN: close_list(window, true); return 0;
    case VK_ESCAPE: close_list(window, false); return 0;
    case VK_UP:
    case VK_LEFT: step_selection(window, current < 0 ? 0 : current - 1); return 0;
    case VK_DOWN:
    case VK_RIGHT: step_selection(window, current < 0 ? 0 : current + 1); return 0;
    case VK_PRIOR: step_selection(window, current - page + 1); return 0;
    case VK_NEXT: step_selection(window, current + page - 1); return 0;
    case VK_HOME: step_selection(window, 0); return 0;
    case VK_END: step_selection(window, count - 1); return 0;
    default: return 0;
    }
}

static LResult on_char(WindowHandle window, WParam wparam)
{
    ComboData* combo = s_combos.find(window);
    if (!combo || wparam < 0x20 || combo->edit)
        return 0;
    int32_t current = combo->dropped ? int32_t(send_message(combo->list, LB_GETCURSEL, 0, 0)) : combo->selected;
    char prefix[2] = {char(wparam), 0};
    int32_t found = int32_t(send_message(combo->list, LB_FINDSTRING, WParam(current), reinterpret_cast<LParam>(prefix)));
    if (found >= 0)
        step_selection(window, found);
    return 0;
}

static void focus_entered(WindowHandle window)
{
    ComboData* combo = s_combos.find(window);
    if (!combo || combo->focused)
        return;
    combo->focused = true;
    invalidate_rect(window, nullptr, false);
    notify(window, CBN_SETFOCUS);
}

// The focus left the combo box and its edit: the list goes up, cancelled.
static void focus_left(WindowHandle window)
{
    ComboData* combo = s_combos.find(window);
    WindowHandle now = get_focus();
    if (!combo || !combo->focused || now == window || (combo->edit && now == combo->edit))
        return;
    close_list(window, false);
    if ((combo = s_combos.find(window))) {
        combo->focused = false;
        invalidate_rect(window, nullptr, false);
        notify(window, CBN_KILLFOCUS);
    }
}

static LResult on_set_focus(WindowHandle window)
{
    ComboData* combo = s_combos.find(window);
    if (combo && combo->edit) {
        WindowHandle edit = combo->edit;
        set_focus(edit);
        send_message(edit, EM_SETSEL, 0, -1);
        return 0;
    }
    focus_entered(window);
    return 0;
}

static LResult on_command(WindowHandle window, WParam wparam, LParam lparam)
{
    ComboData* combo = s_combos.find(window);
    if (!combo || !combo->edit || WindowHandle(uint32_t(lparam)) != combo->edit)
        return 0;
    switch (hiword(wparam)) {
    case EN_SETFOCUS: focus_entered(window); break;
    case EN_KILLFOCUS: focus_left(window); break;
    case EN_CHANGE: notify(window, CBN_EDITCHANGE); break;
    case EN_UPDATE: notify(window, CBN_EDITUPDATE); break;
    default: break;
    }
    return 0;
}

static LResult text_message(WindowHandle window, ComboData& combo, uint32_t message, WParam wparam, LParam lparam)
{
    if (combo.edit)
        return send_message(combo.edit, message, wparam, lparam);
    if (message == WM_SETTEXT) {
        int32_t found = int32_t(send_message(combo.list, LB_FINDSTRINGEXACT, WParam(-1), lparam));
        if (found < 0)
            return CB_ERR;
        select_item(window, found, false);
        return 1;
    }
    std::string text = combo.selected >= 0 ? item_text(combo.list, combo.selected) : std::string();
    if (message == WM_GETTEXTLENGTH)
        return LResult(text.size());
    return defproc_copy_text(text, reinterpret_cast<char*>(lparam), int(std::min<WParam>(wparam, 0x7FFFFFFF)));
}

// The CB_ messages that are the list's LB_ ones, with the combo box's selection kept right.
static LResult list_message(WindowHandle window, ComboData& combo, uint32_t message, WParam wparam, LParam lparam)
{
    WindowHandle list = combo.list;
    switch (message) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
        LResult index = send_message(list, message == CB_ADDSTRING ? LB_ADDSTRING : LB_INSERTSTRING, wparam, lparam);
        ComboData* now = s_combos.find(window);
        if (now && index >= 0 && now->selected >= index)
            now->selected++;
        return index;
    }
    case CB_DELETESTRING: {
        LResult left = send_message(list, LB_DELETESTRING, wparam, lparam);
        ComboData* now = s_combos.find(window);
        if (now && left >= 0 && now->selected == int32_t(wparam))
            now->selected = -1;
        else if (now && left >= 0 && now->selected > int32_t(wparam))
            now->selected--;
        return left;
    }
    case CB_RESETCONTENT:
        send_message(list, LB_RESETCONTENT, 0, 0);
        select_item(window, -1, false);
        return CB_OKAY;
    case CB_GETCOUNT: return send_message(list, LB_GETCOUNT, 0, 0);
    case CB_GETLBTEXT: return send_message(list, LB_GETTEXT, wparam, lparam);
    case CB_GETLBTEXTLEN: return send_message(list, LB_GETTEXTLEN, wparam, lparam);
    case CB_FINDSTRING: return send_message(list, LB_FINDSTRING, wparam, lparam);
    case CB_FINDSTRINGEXACT: return send_message(list, LB_FINDSTRINGEXACT, wparam, lparam);
    case CB_GETITEMDATA: return send_message(list, LB_GETITEMDATA, wparam, lparam);
    case CB_SETITEMDATA: return send_message(list, LB_SETITEMDATA, wparam, lparam);
    case CB_SELECTSTRING: {
        LResult found = send_message(list, LB_FINDSTRING, wparam, lparam);
        if (found >= 0)
            select_item(window, int32_t(found), false);
        return found;
    }
    case CB_SETCURSEL: {
        select_item(window, int32_t(wparam), false);
        ComboData* now = s_combos.find(window);
        return now && now->selected >= 0 ? now->selected : CB_ERR;
    }
    default: return CB_ERR;
    }
}

static LResult on_combo_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    ComboData* combo = s_combos.find(window);
    if (!combo)
        return CB_ERR;
    switch (message) {
    case CB_GETCURSEL: return combo->selected;
    case CB_SHOWDROPDOWN:
        if (wparam)
            drop(window);
        else
            close_list(window, false);
        return 1;
    case CB_GETDROPPEDSTATE: return combo->dropped ? 1 : 0;
    case CB_GETDROPPEDCONTROLRECT:
        if (auto* rect = reinterpret_cast<Rect*>(lparam)) {
            get_window_rect(window, *rect);
            rect->bottom += combo->dropped_height;
        }
        return 1;
    case CB_SETITEMHEIGHT:
        if (int32_t(wparam) == -1) {
            combo->field_height = int32_t(lparam) + 2 * (kEdge + kFieldPadding);
            fit_field(window);
            return 0;
        }
        return send_message(combo->list, LB_SETITEMHEIGHT, wparam, lparam);
    case CB_GETITEMHEIGHT:
        if (int32_t(wparam) == -1)
            return combo->field_height - 2 * (kEdge + kFieldPadding);
        return send_message(combo->list, LB_GETITEMHEIGHT, wparam, 0);
    case CB_SETEXTENDEDUI: combo->extended_ui = wparam != 0; return CB_OKAY;
    case CB_GETEXTENDEDUI: return combo->extended_ui ? 1 : 0;
    case CB_LIMITTEXT: return combo->edit ? send_message(combo->edit, EM_LIMITTEXT, wparam, 0) : CB_ERR;
    case CB_GETEDITSEL: return combo->edit ? send_message(combo->edit, EM_GETSEL, wparam, lparam) : CB_ERR;
    case CB_SETEDITSEL:
        if (!combo->edit)
            return CB_ERR;
        send_message(combo->edit, EM_SETSEL, WParam(int16_t(loword(uintptr_t(lparam)))), LParam(int16_t(hiword(uintptr_t(lparam)))));
        return 1;
    default: return list_message(window, *combo, message, wparam, lparam);
    }
}

static LResult on_set_font(WindowHandle window, WParam wparam, LParam lparam)
{
    controls_set_font(window, GdiObject(uint32_t(wparam)), lparam != 0);
    ComboData* combo = s_combos.find(window);
    if (!combo)
        return 0;
    if (combo->edit)
        send_message(combo->edit, WM_SETFONT, wparam, lparam);
    if ((combo = s_combos.find(window)))
        send_message(combo->list, WM_SETFONT, wparam, lparam);
    if ((combo = s_combos.find(window)) && !owner_drawn(style_of(window))) {
        combo->field_height = measured_field_height(window);
        fit_field(window);
    }
    return 0;
}

static LResult on_destroy(WindowHandle window)
{
    if (ComboData* combo = s_combos.find(window)) {
        WindowHandle list = combo->list;
        combo->list = {};
        destroy_window(list);
    }
    return 0;
}

LResult combo_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_NCCREATE: // the scroll bar styles are the list's, not the field's
        set_window_long(window, GWL_STYLE, int32_t(style_of(window) & ~(WS_VSCROLL | WS_HSCROLL)));
        return def_window_proc(window, message, wparam, lparam);
    case WM_CREATE: return on_create(window, lparam);
    case WM_DESTROY: return on_destroy(window);
    case WM_NCDESTROY: s_combos.remove(window); return def_window_proc(window, message, wparam, lparam);
    case WM_PAINT: return on_paint(window);
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: fit_field(window); return 0;
    case WM_SETFONT: return on_set_font(window, wparam, lparam);
    case WM_GETFONT: return LResult(controls_get_font(window).id);
    case WM_GETDLGCODE: {
        ComboData* combo = s_combos.find(window);
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (combo && combo->dropped ? uint32_t(DLGC_WANTALLKEYS) : 0u);
    }
    case WM_SETFOCUS: return on_set_focus(window);
    case WM_KILLFOCUS: focus_left(window); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return on_button_down(window, lparam);
    case WM_KEYDOWN: return on_key_down(window, uint32_t(wparam));
    case WM_SYSKEYDOWN:
        if (wparam == VK_DOWN || wparam == VK_UP) {
            toggle(window);
            return 0;
        }
        return def_window_proc(window, message, wparam, lparam);
    case WM_CHAR: return on_char(window, wparam);
    case WM_COMMAND: return on_command(window, wparam, lparam);
    case WM_MOUSEWHEEL: return on_key_down(window, int16_t(hiword(wparam)) > 0 ? VK_UP : VK_DOWN);
    case WM_ENABLE:
        if (ComboData* combo = s_combos.find(window); combo && combo->edit)
            enable_window(combo->edit, wparam != 0);
        invalidate_rect(window, nullptr, false);
        return 0;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        if (ComboData* combo = s_combos.find(window))
            return text_message(window, *combo, message, wparam, lparam);
        return 0;
    default:
        if (message >= CB_GETEDITSEL && message <= CB_FINDSTRINGEXACT)
            return on_combo_message(window, message, wparam, lparam);
        return def_window_proc(window, message, wparam, lparam);
    }
}

void combo_reset() { s_combos.clear(); }

} // namespace plat
