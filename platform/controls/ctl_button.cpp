#include "platform/controls/ctl_button.h"

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_draw.h"
#include "platform/window/cursor.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/controls/dlgmgr.h"
#include "platform/text/draw_text.h"
#include "platform/window/focus.h"
#include "platform/text/font.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/image.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/text/text.h"

namespace plat {

struct ButtonData {
    uint32_t check = BST_UNCHECKED;
    bool pushed = false;
    bool focused = false;
    bool tracking = false;   // the left button went down on it and the mouse is captured
    bool space_down = false; // Space went down on it
    uint32_t image = 0;
    uint32_t image_type = IMAGE_BITMAP;
};

static ControlTable<ButtonData> s_buttons{0xB77};

// The gap between a check box or radio button and its label.
constexpr int32_t kLabelGap = 4;

static uint32_t style_of(WindowHandle window) { return uint32_t(get_window_long(window, GWL_STYLE)); }
static uint32_t type_of(WindowHandle window) { return style_of(window) & BS_TYPEMASK; }

static bool is_push(uint32_t type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_USERBUTTON; }
static bool is_radio(uint32_t type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
static bool is_check(uint32_t type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
static bool has_check(uint32_t type) { return is_radio(type) || is_check(type); }

static uint32_t draw_state(WindowHandle window, const ButtonData& data)
{
    uint32_t state = is_window_enabled(window) ? 0u : uint32_t(ODS_DISABLED);
    if (data.pushed)
        state |= ODS_SELECTED;
    if (data.focused)
        state |= ODS_FOCUS;
    if (data.check == BST_CHECKED)
        state |= ODS_CHECKED;
    return state;
}

static void paint_owner_drawn(WindowHandle window, DcHandle dc, const Rect& client, uint32_t action)
{
    ButtonData* data = s_buttons.find(window);
    if (!data)
        return;
    DrawItemStruct item;
    item.ctl_type = ODT_BUTTON;
    item.ctl_id = uint32_t(get_dlg_ctrl_id(window));
    item.item_action = action;
    item.item_state = draw_state(window, *data);
    item.hwnd_item = window;
    item.hdc = dc;
    item.rc_item = client;
    if (WindowHandle parent = get_parent(window))
        send_message(parent, WM_DRAWITEM, WParam(item.ctl_id), reinterpret_cast<LParam>(&item));
}

static Size picture_size(const ButtonData& data)
{
    if (data.image_type == IMAGE_BITMAP) {
        BitmapInfo info;
        return get_object(GdiObject(data.image), info) ? Size{info.width, info.height} : Size{};
    }
    IconImage icon;
    return icon_get_image(IconHandle(data.image), icon) ? Size{icon.width, icon.height} : Size{};
}

static void draw_picture(DcHandle dc, const ButtonData& data, const Rect& area)
{
    Size size = picture_size(data);
    int32_t x = area.left + (area.width() - size.cx) / 2;
    int32_t y = area.top + (area.height() - size.cy) / 2;
    if (data.image_type != IMAGE_BITMAP) {
        draw_icon(dc, x, y, IconHandle(data.image));
        return;
    }
    DcHandle memory = create_compatible_dc(dc);
    GdiObject old = select_object(memory, GdiObject(data.image));
    bit_blt(dc, x, y, size.cx, size.cy, memory, 0, 0, SRCCOPY);
    select_object(memory, old);
    delete_dc(memory);
}

// The label's format from the alignment bits (BS_LEFT, BS_RIGHT, BS_TOP, BS_BOTTOM).
static uint32_t label_format(uint32_t style, uint32_t default_horizontal)
{
    uint32_t format = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    uint32_t horizontal = style & BS_CENTER;
    format |= horizontal == BS_LEFT ? DT_LEFT : horizontal == BS_RIGHT ? DT_RIGHT : horizontal == BS_CENTER ? DT_CENTER : default_horizontal;
    uint32_t vertical = style & BS_VCENTER;
    if (!(style & BS_MULTILINE))
        format |= vertical == BS_TOP ? DT_TOP : vertical == BS_BOTTOM ? DT_BOTTOM : DT_VCENTER;
    return format;
}

// A multi-line label is centred by measuring it first, as DT_VCENTER works on one line only.
static Rect label_rect(DcHandle dc, const std::string& text, Rect area, uint32_t format)
{
    if (!(format & DT_WORDBREAK))
        return area;
    Rect measured = area;
    draw_text(dc, text.c_str(), int(text.size()), measured, format | DT_CALCRECT);
    int32_t spare = area.height() - measured.height();
    if (spare > 0)
        area.top += spare / 2;
    return area;
}

static void draw_content(WindowHandle window, DcHandle dc, const ButtonData& data, Rect area, uint32_t format)
{
    if (data.image && (style_of(window) & (BS_BITMAP | BS_ICON))) {
        draw_picture(dc, data, area);
        return;
    }
    std::string text = controls_text(window);
    LabelState state = is_window_enabled(window) ? LabelState::enabled : LabelState::disabled;
    set_text_color(dc, get_sys_color(COLOR_BTNTEXT));
    ctl_draw_label(dc, text, label_rect(dc, text, area, format), format, state);
}

static void paint_push(WindowHandle window, DcHandle dc, const ButtonData& data, Rect r)
{
    controls_color_brush(window, dc, WM_CTLCOLORBTN);
    uint32_t style = style_of(window);
    bool is_default = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    bool down = data.pushed || ((style & BS_PUSHLIKE) && data.check != BST_UNCHECKED);
    if (is_default) {
        frame_rect(dc, r, get_sys_color_brush(COLOR_WINDOWFRAME));
        inflate_rect(r, -1, -1);
    }
    if (down) {
        draw_edge(dc, r, EDGE_SUNKEN, BF_RECT | BF_MIDDLE | BF_FLAT | BF_ADJUST);
    } else {
        draw_edge(dc, r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    }
    Rect content = r;
    if (down)
        offset_rect(content, 1, 1);
    GdiObject old_font = controls_select_font(window, dc);
    draw_content(window, dc, data, content, label_format(style, DT_CENTER));
    select_object(dc, old_font);
    if (data.focused) {
        inflate_rect(r, -1, -1);
        draw_focus_rect(dc, r);
    }
}

static void paint_check(WindowHandle window, DcHandle dc, const ButtonData& data, const Rect& client)
{
    fill_rect(dc, client, controls_color_brush(window, dc, WM_CTLCOLORSTATIC));
    uint32_t style = style_of(window);
    bool left_text = (style & BS_LEFTTEXT) != 0;
    int32_t top = client.top + (client.height() - kCheckBoxSize) / 2;
    int32_t box_left = left_text ? client.right - kCheckBoxSize : client.left;
    Rect box{box_left, top, box_left + kCheckBoxSize, top + kCheckBoxSize};
    uint32_t state = is_radio(style & BS_TYPEMASK) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    if (data.check != BST_UNCHECKED)
        state |= DFCS_CHECKED;
    if (data.check == BST_INDETERMINATE)
        state |= DFCS_BUTTON3STATE | DFCS_INACTIVE;
    if (data.pushed)
        state |= DFCS_PUSHED;
    if (!is_window_enabled(window))
        state |= DFCS_INACTIVE;
    draw_frame_control(dc, box, DFC_BUTTON, state);
    Rect text = client;
    if (left_text)
        text.right = box.left - kLabelGap;
    else
        text.left = box.right + kLabelGap;
    GdiObject old_font = controls_select_font(window, dc);
    uint32_t format = label_format(style, DT_LEFT);
    draw_content(window, dc, data, text, format);
    if (data.focused) {
        std::string label = controls_text(window);
        Rect focus = label_rect(dc, label, text, format);
        draw_text(dc, label.c_str(), int(label.size()), focus, (format & ~(DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT);
        int32_t height = focus.height();
        focus.top = (format & DT_WORDBREAK) ? focus.top : text.top + (text.height() - height) / 2;
        focus.bottom = focus.top + height;
        inflate_rect(focus, 1, 1);
        intersect_rect(focus, focus, client);
        draw_focus_rect(dc, focus);
    }
    select_object(dc, old_font);
}

// The group's frame runs through the middle of its title, which sits on the face colour; the
// inside stays as the dialog drew it, since the controls in it are its siblings.
static void paint_group(WindowHandle window, DcHandle dc, const Rect& client)
{
    GdiObject brush = controls_color_brush(window, dc, WM_CTLCOLORSTATIC);
    GdiObject old_font = controls_select_font(window, dc);
    TextMetric metrics;
    get_text_metrics(dc, metrics);
    Rect frame = client;
    frame.top += metrics.height / 2;
    draw_edge(dc, frame, EDGE_ETCHED, BF_RECT);
    std::string text = controls_text(window);
    if (!text.empty()) {
        Rect label{client.left + 8, client.top, client.right - 8, client.top + metrics.height};
        Rect measured = label;
        draw_text(dc, text.c_str(), int(text.size()), measured, DT_SINGLELINE | DT_LEFT | DT_CALCRECT);
        measured.right = std::min(measured.right, label.right);
        Rect backing{measured.left - 2, measured.top, measured.right + 2, measured.bottom};
        fill_rect(dc, backing, brush);
        LabelState state = is_window_enabled(window) ? LabelState::enabled : LabelState::disabled;
        ctl_draw_label(dc, text, label, DT_SINGLELINE | DT_LEFT, state);
    }
    select_object(dc, old_font);
}

static void paint(WindowHandle window, DcHandle dc, uint32_t action)
{
    ButtonData* found = s_buttons.find(window);
    if (!found)
        return;
    ButtonData data = *found; // painting sends messages to the parent
    Rect client;
    get_client_rect(window, client);
    uint32_t type = type_of(window);
    if (type == BS_OWNERDRAW)
        paint_owner_drawn(window, dc, client, action);
    else if (type == BS_GROUPBOX)
        paint_group(window, dc, client);
    else if (has_check(type) && !(style_of(window) & BS_PUSHLIKE))
        paint_check(window, dc, data, client);
    else
        paint_push(window, dc, data, client);
}

// State changes show at once, as a pressed button must while the mouse is held.
static void repaint_now(WindowHandle window, uint32_t action)
{
    if (!is_window_visible(window))
        return;
    DcHandle dc = get_dc(window);
    paint(window, dc, action);
    release_dc(window, dc);
}

static void set_pushed(WindowHandle window, bool pushed)
{
    ButtonData* data = s_buttons.find(window);
    if (!data || data->pushed == pushed)
        return;
    data->pushed = pushed;
    repaint_now(window, ODA_SELECT);
}

static void set_check(WindowHandle window, uint32_t check)
{
    ButtonData* data = s_buttons.find(window);
    uint32_t type = type_of(window);
    if (!data || !has_check(type))
        return;
    if (type != BS_3STATE && type != BS_AUTO3STATE && check > BST_CHECKED)
        check = BST_CHECKED;
    // A checked radio button is where Tab enters its group.
    if (is_radio(type)) {
        uint32_t style = style_of(window);
        style = check ? style | WS_TABSTOP : style & ~WS_TABSTOP;
        set_window_long(window, GWL_STYLE, int32_t(style));
    }
    if (data->check == check)
        return;
    data->check = check;
    repaint_now(window, ODA_SELECT);
}

static void uncheck_group_others(WindowHandle window)
{
    WindowHandle parent = get_parent(window);
    if (!parent)
        return;
    WindowHandle other = get_next_dlg_group_item(parent, window, false);
    // The walk comes back to the button; a group of one, or a lost window, ends it too.
    for (int guard = 0; other && other != window && guard < 1000; guard++) {
        if (type_of(other) == BS_AUTORADIOBUTTON)
            send_message(other, BM_SETCHECK, BST_UNCHECKED, 0);
        other = get_next_dlg_group_item(parent, other, false);
    }
}

static void click(WindowHandle window)
{
    ButtonData* data = s_buttons.find(window);
    if (!data)
        return;
    switch (type_of(window)) {
    case BS_AUTOCHECKBOX: set_check(window, data->check ? BST_UNCHECKED : BST_CHECKED); break;
    case BS_AUTO3STATE: set_check(window, (data->check + 1) % 3); break;
    case BS_AUTORADIOBUTTON:
        set_check(window, BST_CHECKED);
        uncheck_group_others(window);
        break;
    default: break;
    }
    controls_notify(window, BN_CLICKED);
}

static bool point_inside(WindowHandle window, LParam lparam)
{
    Rect client;
    get_client_rect(window, client);
    return pt_in_rect(client, Point{get_x_lparam(lparam), get_y_lparam(lparam)});
}

static LResult on_button_down(WindowHandle window, uint32_t message)
{
    uint32_t type = type_of(window);
    if (type == BS_GROUPBOX)
        return 0;
    bool notify_double = type == BS_RADIOBUTTON || type == BS_USERBUTTON || type == BS_OWNERDRAW || (style_of(window) & BS_NOTIFY);
    if (message == WM_LBUTTONDBLCLK && notify_double) {
        controls_notify(window, BN_DOUBLECLICKED);
        return 0;
    }
    // The capture first: the focus that a press brings does not check an automatic radio button.
    set_capture(window);
    if (get_focus() != window)
        set_focus(window);
    if (ButtonData* data = s_buttons.find(window))
        data->tracking = true;
    set_pushed(window, true);
    return 0;
}

static LResult on_button_up(WindowHandle window, LParam lparam)
{
    ButtonData* data = s_buttons.find(window);
    if (!data || !data->tracking)
        return 0;
    data->tracking = false;
    bool was_pushed = data->pushed;
    release_capture();
    set_pushed(window, false);
    if (was_pushed && point_inside(window, lparam))
        click(window);
    return 0;
}

static LResult on_mouse_move(WindowHandle window, LParam lparam)
{
    ButtonData* data = s_buttons.find(window);
    if (data && data->tracking)
        set_pushed(window, point_inside(window, lparam));
    return 0;
}

static void stop_tracking(WindowHandle window)
{
    ButtonData* data = s_buttons.find(window);
    if (!data)
        return;
    bool captured = data->tracking;
    data->tracking = false;
    data->space_down = false;
    if (captured && get_capture() == window)
        release_capture();
    set_pushed(window, false);
}

static LResult on_key(WindowHandle window, uint32_t message, WParam wparam)
{
    ButtonData* data = s_buttons.find(window);
    if (!data || wparam != VK_SPACE || type_of(window) == BS_GROUPBOX)
        return 0;
    if (message == WM_KEYDOWN) {
        data->space_down = true;
        set_pushed(window, true);
        return 0;
    }
    bool was = data->space_down && data->pushed;
    data->space_down = false;
    set_pushed(window, false);
    if (was)
        click(window);
    return 0;
}

static LResult on_focus(WindowHandle window, bool gained)
{
    ButtonData* data = s_buttons.find(window);
    if (!data)
        return 0;
    data->focused = gained;
    if (!gained)
        stop_tracking(window);
    repaint_now(window, ODA_FOCUS);
    // An automatic radio button that the keys bring the focus to is checked, as a click would.
    if ((data = s_buttons.find(window)) && gained && type_of(window) == BS_AUTORADIOBUTTON && get_capture() != window
        && data->check == BST_UNCHECKED)
        click(window);
    if (style_of(window) & BS_NOTIFY)
        controls_notify(window, gained ? BN_SETFOCUS : BN_KILLFOCUS);
    return 0;
}

static uint32_t dialog_code(WindowHandle window)
{
    uint32_t type = type_of(window);
    if (type == BS_GROUPBOX)
        return DLGC_STATIC;
    if (is_radio(type))
        return DLGC_BUTTON | DLGC_RADIOBUTTON;
    if (type == BS_DEFPUSHBUTTON)
        return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    if (is_push(type))
        return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    return DLGC_BUTTON;
}

static LResult on_state_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    ButtonData* data = s_buttons.find(window);
    if (!data)
        return 0;
    switch (message) {
    case BM_GETCHECK: return has_check(type_of(window)) ? LResult(data->check) : 0;
    case BM_SETCHECK: set_check(window, uint32_t(wparam)); return 0;
    case BM_GETSTATE:
        return LResult(data->check | (data->pushed ? uint32_t(BST_PUSHED) : 0u) | (data->focused ? uint32_t(BST_FOCUS) : 0u));
    case BM_SETSTATE: set_pushed(window, wparam != 0); return 0;
    case BM_SETSTYLE: {
        uint32_t style = (style_of(window) & 0xFFFF0000u) | uint32_t(wparam & 0xFFFF);
        set_window_long(window, GWL_STYLE, int32_t(style));
        if (lparam)
            repaint_now(window, ODA_DRAWENTIRE);
        return 0;
    }
    case BM_GETIMAGE: return data->image_type == wparam ? LResult(data->image) : 0;
    default: { // BM_SETIMAGE
        uint32_t old = data->image_type == wparam ? data->image : 0;
        data->image = uint32_t(lparam);
        data->image_type = uint32_t(wparam);
        invalidate_rect(window, nullptr, true);
        return LResult(old);
    }
    }
}

// A click as the mouse would make it, only on an enabled button.
static LResult on_click_message(WindowHandle window)
{
    if (!is_window_enabled(window) || type_of(window) == BS_GROUPBOX)
        return 0;
    send_message(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    send_message(window, WM_LBUTTONUP, 0, 0);
    return 0;
}

static void paint_whole(WindowHandle window, DcHandle dc) { paint(window, dc, ODA_DRAWENTIRE); }

static LResult on_paint(WindowHandle window) { return ctl_draw_on_paint(window, paint_whole); }

LResult button_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_CREATE: return s_buttons.create(window) ? 0 : -1;
    case WM_NCDESTROY: s_buttons.remove(window); return def_window_proc(window, message, wparam, lparam);
    case WM_NCHITTEST:
        if (type_of(window) == BS_GROUPBOX)
            return HTTRANSPARENT;
        return def_window_proc(window, message, wparam, lparam);
    case WM_PAINT: return on_paint(window);
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: {
        LResult result = def_window_proc(window, message, wparam, lparam);
        invalidate_rect(window, nullptr, true);
        return result;
    }
    case WM_ENABLE: invalidate_rect(window, nullptr, true); return 0;
    case WM_SETFONT: controls_set_font(window, GdiObject(uint32_t(wparam)), lparam != 0); return 0;
    case WM_GETFONT: return LResult(controls_get_font(window).id);
    case WM_GETDLGCODE: return dialog_code(window);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return on_button_down(window, message);
    case WM_LBUTTONUP: return on_button_up(window, lparam);
    case WM_MOUSEMOVE: return on_mouse_move(window, lparam);
    case WM_CAPTURECHANGED:
        if (LParam(window.id) != lparam)
            stop_tracking(window);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP: return on_key(window, message, wparam);
    case WM_SETFOCUS: return on_focus(window, true);
    case WM_KILLFOCUS: return on_focus(window, false);
    case BM_GETCHECK:
    case BM_SETCHECK:
    case BM_GETSTATE:
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case BM_GETIMAGE:
    case BM_SETIMAGE: return on_state_message(window, message, wparam, lparam);
    case BM_CLICK: return on_click_message(window);
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

void button_reset() { s_buttons.clear(); }

} // namespace plat
