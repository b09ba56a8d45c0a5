#include "platform/controls/ctl_static.h"

#include <algorithm>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_draw.h"
#include "platform/window/cursor.h"
#include "platform/gdi/dc.h"
#include "platform/window/defproc.h"
#include "platform/text/draw_text.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/image.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/winpos.h"

namespace plat {

struct StaticData {
    uint32_t image = 0; // an icon (SS_ICON) or bitmap (SS_BITMAP) id
};

static ControlTable<StaticData> s_statics{0x57A};

static uint32_t kind_of(WindowHandle window) { return uint32_t(get_window_long(window, GWL_STYLE)) & SS_TYPEMASK; }

static Size image_size(WindowHandle window, uint32_t image)
{
    if (kind_of(window) == SS_BITMAP) {
        BitmapInfo info;
        return get_object(GdiObject(image), info) ? Size{info.width, info.height} : Size{};
    }
    IconImage icon;
    return icon_get_image(IconHandle(image), icon) ? Size{icon.width, icon.height} : Size{};
}

// An icon or bitmap static takes the picture's size, unless it centres the picture.
static void fit_to_image(WindowHandle window, uint32_t image)
{
    uint32_t style = uint32_t(get_window_long(window, GWL_STYLE));
    Size size = image_size(window, image);
    if ((style & SS_CENTERIMAGE) || size.cx <= 0)
        return;
    set_window_pos(window, {}, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window text names the picture; a null module finds the standard icons.
static uint32_t load_named_image(WindowHandle window, ModuleHandle instance, const char* name)
{
    if (!name || !*name)
        return 0;
    if (kind_of(window) == SS_BITMAP)
        return load_bitmap(instance, name).id;
    uint32_t icon = load_icon(instance, name).id;
    return icon ? icon : load_icon({}, name).id;
}

static uint32_t set_image(WindowHandle window, uint32_t image)
{
    StaticData* data = s_statics.find(window);
    if (!data)
        return 0;
    uint32_t old = data->image;
    data->image = image;
    fit_to_image(window, image);
    invalidate_rect(window, nullptr, true);
    return old;
}

static LResult on_create(WindowHandle window, LParam lparam)
{
    if (!s_statics.create(window))
        return -1;
    auto* create = reinterpret_cast<const CreateStruct*>(lparam);
    uint32_t kind = kind_of(window);
    if (create && (kind == SS_ICON || kind == SS_BITMAP))
        set_image(window, load_named_image(window, create->instance, create->name));
    return 0;
}

static uint32_t text_format(uint32_t style)
{
    uint32_t format = DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER: format |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE: format |= DT_SINGLELINE; break;
    case SS_LEFTNOWORDWRAP: break;
    default: format |= DT_WORDBREAK; break;
    }
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE)
        format = (format & ~DT_WORDBREAK) | DT_VCENTER | DT_SINGLELINE;
    return format;
}

static void paint_text(WindowHandle window, DcHandle dc, const Rect& client, uint32_t style)
{
    GdiObject brush = controls_color_brush(window, dc, WM_CTLCOLORSTATIC);
    fill_rect(dc, client, brush);
    GdiObject old_font = controls_select_font(window, dc);
    LabelState state = is_window_enabled(window) ? LabelState::enabled : LabelState::disabled;
    ctl_draw_label(dc, controls_text(window), client, text_format(style), state);
    select_object(dc, old_font);
}

static void paint_image(WindowHandle window, DcHandle dc, const Rect& client, uint32_t style)
{
    GdiObject brush = controls_color_brush(window, dc, WM_CTLCOLORSTATIC);
    fill_rect(dc, client, brush);
    StaticData* data = s_statics.find(window);
    if (!data || !data->image)
        return;
    Size size = image_size(window, data->image);
    Point at{0, 0};
    if (style & SS_CENTERIMAGE)
        at = Point{(client.width() - size.cx) / 2, (client.height() - size.cy) / 2};
    if ((style & SS_TYPEMASK) == SS_ICON) {
        draw_icon(dc, at.x, at.y, IconHandle(data->image));
        return;
    }
    DcHandle memory = create_compatible_dc(dc);
    GdiObject old = select_object(memory, GdiObject(data->image));
    bit_blt(dc, at.x, at.y, size.cx, size.cy, memory, 0, 0, SRCCOPY);
    select_object(memory, old);
    delete_dc(memory);
}

static void paint_owner_drawn(WindowHandle window, DcHandle dc, const Rect& client)
{
    DrawItemStruct item;
    item.ctl_type = ODT_STATIC;
    item.ctl_id = uint32_t(get_dlg_ctrl_id(window));
    item.item_action = ODA_DRAWENTIRE;
    item.item_state = is_window_enabled(window) ? 0u : uint32_t(ODS_DISABLED);
    item.hwnd_item = window;
    item.hdc = dc;
    item.rc_item = client;
    if (WindowHandle parent = get_parent(window))
        send_message(parent, WM_DRAWITEM, WParam(item.ctl_id), reinterpret_cast<LParam>(&item));
}

// Rectangles and frames in the 3-D colours: black is the dark shadow, grey the shadow, white
// the highlight.
static int shade_of(uint32_t kind)
{
    switch (kind) {
    case SS_BLACKRECT:
    case SS_BLACKFRAME: return COLOR_3DDKSHADOW;
    case SS_GRAYRECT:
    case SS_GRAYFRAME: return COLOR_3DSHADOW;
    default: return COLOR_3DHIGHLIGHT;
    }
}

static void paint_shape(DcHandle dc, Rect client, uint32_t kind)
{
    switch (kind) {
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT: ctl_draw_fill(dc, client, shade_of(kind)); return;
    case SS_ETCHEDHORZ: draw_edge(dc, client, EDGE_ETCHED, BF_TOP); return;
    case SS_ETCHEDVERT: draw_edge(dc, client, EDGE_ETCHED, BF_LEFT); return;
    case SS_ETCHEDFRAME: draw_edge(dc, client, EDGE_ETCHED, BF_RECT); return;
    default: {
        GdiObject brush = get_sys_color_brush(shade_of(kind));
        frame_rect(dc, client, brush);
        return;
    }
    }
}

static void paint(WindowHandle window, DcHandle dc)
{
    Rect client;
    get_client_rect(window, client);
    uint32_t style = uint32_t(get_window_long(window, GWL_STYLE));
    switch (style & SS_TYPEMASK) {
    case SS_ICON:
    case SS_BITMAP: paint_image(window, dc, client, style); break;
    case SS_OWNERDRAW: paint_owner_drawn(window, dc, client); break;
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT:
    case SS_BLACKFRAME:
    case SS_GRAYFRAME:
    case SS_WHITEFRAME:
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT:
    case SS_ETCHEDFRAME: paint_shape(dc, client, style & SS_TYPEMASK); break;
    default: paint_text(window, dc, client, style); break;
    }
}

static LResult on_paint(WindowHandle window, WParam wparam)
{
    if (wparam) { // WM_PRINTCLIENT-style: draw into the DC given
        paint(window, DcHandle(uint32_t(wparam)));
        return 0;
    }
    return ctl_draw_on_paint(window, paint);
}

static LResult on_set_text(WindowHandle window, WParam wparam, LParam lparam)
{
    LResult result = def_window_proc(window, WM_SETTEXT, wparam, lparam);
    uint32_t kind = kind_of(window);
    if (kind == SS_ICON || kind == SS_BITMAP) {
        auto instance = ModuleHandle(uint32_t(get_window_long(window, GWLP_HINSTANCE)));
        set_image(window, load_named_image(window, instance, reinterpret_cast<const char*>(lparam)));
    }
    invalidate_rect(window, nullptr, true);
    return result;
}

// STM_SETIMAGE and STM_GETIMAGE answer only for the kind of picture the style shows.
static bool image_fits(WindowHandle window, WParam type)
{
    uint32_t kind = kind_of(window);
    return (kind == SS_BITMAP && type == IMAGE_BITMAP) || (kind == SS_ICON && (type == IMAGE_ICON || type == IMAGE_CURSOR));
}

static LResult on_image_message(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    StaticData* data = s_statics.find(window);
    if (!data)
        return 0;
    switch (message) {
    case STM_SETICON: return kind_of(window) == SS_ICON ? LResult(set_image(window, uint32_t(wparam))) : 0;
    case STM_GETICON: return kind_of(window) == SS_ICON ? LResult(data->image) : 0;
    case STM_SETIMAGE: return image_fits(window, wparam) ? LResult(set_image(window, uint32_t(lparam))) : 0;
    default: return image_fits(window, wparam) ? LResult(data->image) : 0;
    }
}

static LResult on_click(WindowHandle window, uint32_t code)
{
    if (get_window_long(window, GWL_STYLE) & SS_NOTIFY)
        controls_notify(window, code);
    return 0;
}

LResult static_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_NCCREATE:
        if (get_window_long(window, GWL_STYLE) & SS_SUNKEN)
            set_window_long(window, GWL_EXSTYLE, get_window_long(window, GWL_EXSTYLE) | int32_t(WS_EX_STATICEDGE));
        return def_window_proc(window, message, wparam, lparam);
    case WM_CREATE: return on_create(window, lparam);
    case WM_NCDESTROY: s_statics.remove(window); return def_window_proc(window, message, wparam, lparam);
    case WM_PAINT: return on_paint(window, wparam);
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: return on_set_text(window, wparam, lparam);
    case WM_ENABLE: invalidate_rect(window, nullptr, true); return 0;
    case WM_SETFONT: controls_set_font(window, GdiObject(uint32_t(wparam)), lparam != 0); return 0;
    case WM_GETFONT: return LResult(controls_get_font(window).id);
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_NCHITTEST: return (get_window_long(window, GWL_STYLE) & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONDOWN: return on_click(window, STN_CLICKED);
    case WM_LBUTTONDBLCLK: return on_click(window, STN_DBLCLK);
    case STM_SETICON:
    case STM_GETICON:
    case STM_SETIMAGE:
    case STM_GETIMAGE: return on_image_message(window, message, wparam, lparam);
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

void static_reset() { s_statics.clear(); }

} // namespace plat
