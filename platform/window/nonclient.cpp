#include "platform/window/nonclient.h"

#include <algorithm>

#include "platform/backend/backend.h"
#include "platform/controls/ctl_scroll.h"
#include "platform/controls/menu_track.h"
#include "platform/gdi/dc.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"
#include "platform/window/menu.h"
#include "platform/window/metrics.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"

namespace plat {

struct NonClientState {
    CaptionTextPainter caption_painter = nullptr;
    // The caption button being tracked, drawn pressed while the mouse is over it.
    WindowHandle pressed_window;
    int32_t pressed_hit = HTNOWHERE;
    bool pressed_down = false;
};

static NonClientState s_nonclient;

// The parts of a window's non-client area, in window coordinates (0, 0 = its top-left).
struct FrameLayout {
    int32_t frame = 0;    // outer frame
    int32_t edge = 0;     // client edge inside it
    int32_t caption = 0;  // caption height with its bottom line, 0 without a caption
    int32_t menu = 0;     // menu bar height
    bool tool = false;
    Rect bar;             // caption rows without the bottom line
    Rect close, maximize, minimize, system_menu;
    Rect client;
};

int32_t nonclient_frame_width(uint32_t style, uint32_t ex_style)
{
    if (style & WS_THICKFRAME)
        return get_system_metrics(SM_CXFRAME);
    if ((style & WS_DLGFRAME) || (ex_style & WS_EX_DLGMODALFRAME))
        return get_system_metrics(SM_CXDLGFRAME);
    return (style & WS_BORDER) ? get_system_metrics(SM_CXBORDER) : 0;
}

static int32_t edge_width(uint32_t ex_style)
{
    return ((ex_style & WS_EX_CLIENTEDGE) ? get_system_metrics(SM_CXEDGE) : 0)
        + ((ex_style & WS_EX_STATICEDGE) ? get_system_metrics(SM_CXBORDER) : 0);
}

static int32_t caption_height(uint32_t style, uint32_t ex_style)
{
    if ((style & WS_CAPTION) != WS_CAPTION)
        return 0;
    return get_system_metrics((ex_style & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
}

bool adjust_window_rect_ex(Rect& rect, uint32_t style, bool menu, uint32_t ex_style)
{
    int32_t side = nonclient_frame_width(style, ex_style) + edge_width(ex_style);
    int32_t top = caption_height(style, ex_style) + (menu ? get_system_metrics(SM_CYMENU) : 0);
    rect.left -= side;
    rect.right += side;
    rect.top -= side + top;
    rect.bottom += side;
    return true;
}

bool adjust_window_rect(Rect& rect, uint32_t style, bool menu)
{
    return adjust_window_rect_ex(rect, style, menu, 0);
}

static bool has_menu(const WindowRecord& window)
{
    return !(window.style & WS_CHILD) && is_menu(MenuHandle(uint32_t(window.id)));
}

static void place_buttons(FrameLayout& layout, const WindowRecord& window)
{
    if (!(window.style & WS_SYSMENU) || layout.bar.height() < 6)
        return;
    int32_t height = layout.bar.height() - 4;
    int32_t width = height + 2;
    layout.close = Rect{layout.bar.right - 2 - width, layout.bar.top + 2, layout.bar.right - 2, layout.bar.top + 2 + height};
    bool boxes = !layout.tool && !(window.style & WS_CHILD) && (window.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    if (boxes) {
        layout.maximize = layout.close;
        offset_rect(layout.maximize, -(width + 2), 0);
        layout.minimize = layout.maximize;
        offset_rect(layout.minimize, -width, 0);
    }
    if (!layout.tool) {
        int32_t side = layout.bar.height() - 2;
        layout.system_menu = Rect{layout.bar.left + 1, layout.bar.top + 1, layout.bar.left + 1 + side, layout.bar.top + 1 + side};
    }
}

static FrameLayout layout_of(const WindowRecord& window, int32_t width, int32_t height)
{
    FrameLayout layout;
    layout.frame = nonclient_frame_width(window.style, window.ex_style);
    layout.edge = edge_width(window.ex_style);
    layout.caption = caption_height(window.style, window.ex_style);
    layout.menu = has_menu(window) ? get_system_metrics(SM_CYMENU) : 0;
    layout.tool = (window.ex_style & WS_EX_TOOLWINDOW) != 0;
    int32_t f = layout.frame;
    if (layout.caption > 0) {
        layout.bar = Rect{f, f, width - f, f + layout.caption - 1};
        place_buttons(layout, window);
    }
    int32_t inner = f + layout.edge;
    layout.client = Rect{inner, f + layout.caption + layout.menu + layout.edge, width - inner, height - inner};
    if (window.style & WS_VSCROLL)
        layout.client.right -= get_system_metrics(SM_CXVSCROLL);
    if (window.style & WS_HSCROLL)
        layout.client.bottom -= get_system_metrics(SM_CYHSCROLL);
    layout.client.right = std::max(layout.client.right, layout.client.left);
    layout.client.bottom = std::max(layout.client.bottom, layout.client.top);
    return layout;
}

static Rect menu_bar_area(const FrameLayout& layout, int32_t width)
{
    int32_t top = layout.frame + layout.caption;
    return Rect{layout.frame, top, width - layout.frame, top + layout.menu};
}

Rect nonclient_menu_bar_rect(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return Rect{};
    int32_t width = record->window_rect.width();
    FrameLayout layout = layout_of(*record, width, record->window_rect.height());
    return layout.menu > 0 ? menu_bar_area(layout, width) : Rect{};
}

Rect nonclient_system_box_rect(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return Rect{};
    return layout_of(*record, record->window_rect.width(), record->window_rect.height()).system_menu;
}

Rect nonclient_client_rect(WindowHandle window, const Rect& window_rect)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return window_rect;
    FrameLayout layout = layout_of(*record, window_rect.width(), window_rect.height());
    Rect client = layout.client;
    offset_rect(client, window_rect.left, window_rect.top);
    return client;
}

static int32_t sizing_edge(const FrameLayout& layout, Point p, int32_t width, int32_t height)
{
    int32_t corner = get_system_metrics(SM_CXSIZE) + layout.frame;
    bool left = p.x < layout.frame;
    bool right = p.x >= width - layout.frame;
    bool top = p.y < layout.frame;
    bool bottom = p.y >= height - layout.frame;
    bool near_left = p.x < corner;
    bool near_right = p.x >= width - corner;
    bool near_top = p.y < corner;
    bool near_bottom = p.y >= height - corner;
    if ((top && near_left) || (left && near_top))
        return HTTOPLEFT;
    if ((top && near_right) || (right && near_top))
        return HTTOPRIGHT;
    if ((bottom && near_left) || (left && near_bottom))
        return HTBOTTOMLEFT;
    if ((bottom && near_right) || (right && near_bottom))
        return HTBOTTOMRIGHT;
    if (top)
        return HTTOP;
    if (bottom)
        return HTBOTTOM;
    if (left)
        return HTLEFT;
    return right ? HTRIGHT : HTNOWHERE;
}

static int32_t caption_hit(const FrameLayout& layout, Point p)
{
    if (pt_in_rect(layout.close, p))
        return HTCLOSE;
    if (pt_in_rect(layout.maximize, p))
        return HTMAXBUTTON;
    if (pt_in_rect(layout.minimize, p))
        return HTMINBUTTON;
    if (pt_in_rect(layout.system_menu, p))
        return HTSYSMENU;
    return HTCAPTION;
}

int32_t nonclient_hit_test(WindowHandle window, Point screen)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return HTNOWHERE;
    Rect rect = wintree_screen_rect(*record);
    if (!pt_in_rect(rect, screen))
        return HTNOWHERE;
    if (record->style & WS_MINIMIZE)
        return HTCAPTION;
    Point p{screen.x - rect.left, screen.y - rect.top};
    FrameLayout layout = layout_of(*record, rect.width(), rect.height());
    if (pt_in_rect(layout.client, p))
        return HTCLIENT;
    if (layout.caption > 0 && p.y >= layout.bar.top && p.y < layout.bar.bottom && p.x >= layout.bar.left && p.x < layout.bar.right)
        return caption_hit(layout, p);
    int32_t menu_top = layout.frame + layout.caption;
    if (layout.menu > 0 && p.y >= menu_top && p.y < menu_top + layout.menu)
        return HTMENU;
    if ((record->style & WS_VSCROLL) && p.x >= layout.client.right && p.y >= layout.client.top && p.y < layout.client.bottom)
        return HTVSCROLL;
    if ((record->style & WS_HSCROLL) && p.y >= layout.client.bottom && p.x >= layout.client.left && p.x < layout.client.right)
        return HTHSCROLL;
    if ((record->style & WS_THICKFRAME) && !(record->style & WS_MAXIMIZE)) {
        int32_t edge = sizing_edge(layout, p, rect.width(), rect.height());
        if (edge != HTNOWHERE)
            return edge;
    }
    return HTBORDER;
}

// Drawing into the surface, in window coordinates, limited to the non-client part of what
// shows of the window.
struct FramePainter {
    Surface* surface = nullptr;
    Point offset;
    RectList clip;

    void fill(const Rect& rect, int color) const
    {
        Rect area = rect;
        offset_rect(area, offset.x, offset.y);
        uint32_t pixel = pixel_from_colorref(get_sys_color(color));
        for (const Rect& c : clip) {
            Rect part;
            if (intersect_rect(part, area, c))
                surface_fill_rect(*surface, part, pixel);
        }
    }
    void ring(const Rect& r, int top_left, int bottom_right) const
    {
        fill(Rect{r.left, r.top, r.right, r.top + 1}, top_left);
        fill(Rect{r.left, r.top, r.left + 1, r.bottom}, top_left);
        fill(Rect{r.left, r.bottom - 1, r.right, r.bottom}, bottom_right);
        fill(Rect{r.right - 1, r.top, r.right, r.bottom}, bottom_right);
    }
};

static void paint_outer_frame(const FramePainter& painter, const FrameLayout& layout, Rect r, bool active, bool thick)
{
    if (layout.frame == 1) {
        painter.ring(r, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME);
        return;
    }
    if (layout.frame < 2)
        return;
    painter.ring(r, COLOR_3DLIGHT, COLOR_3DDKSHADOW);
    inflate_rect(r, -1, -1);
    painter.ring(r, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    int color = !thick ? COLOR_BTNFACE : active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER;
    for (int32_t i = 2; i < layout.frame; i++) {
        inflate_rect(r, -1, -1);
        painter.ring(r, color, color);
    }
}

static void paint_client_edge(const FramePainter& painter, const FrameLayout& layout, uint32_t ex_style)
{
    Rect r = layout.client;
    inflate_rect(r, layout.edge, layout.edge);
    if (ex_style & WS_EX_STATICEDGE) {
        painter.ring(r, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
        inflate_rect(r, -1, -1);
    }
    if (ex_style & WS_EX_CLIENTEDGE) {
        painter.ring(r, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
        inflate_rect(r, -1, -1);
        painter.ring(r, COLOR_3DDKSHADOW, COLOR_3DLIGHT);
    }
}

enum class Glyph { close, maximize, restore, minimize };

static void paint_glyph(const FramePainter& painter, const Rect& box, Glyph glyph)
{
    int32_t size = std::min(box.width(), box.height()) - 6;
    if (size < 3)
        return;
    int32_t x = box.left + (box.width() - size) / 2;
    int32_t y = box.top + (box.height() - size) / 2;
    if (glyph == Glyph::close) {
        for (int32_t i = 0; i < size; i++) {
            painter.fill(Rect{x + i, y + i, x + i + 2, y + i + 1}, COLOR_BTNTEXT);
            painter.fill(Rect{x + size - 1 - i, y + i, x + size + 1 - i, y + i + 1}, COLOR_BTNTEXT);
        }
    } else if (glyph == Glyph::minimize) {
        painter.fill(Rect{x, y + size - 2, x + size - 2, y + size}, COLOR_BTNTEXT);
    } else {
        Rect frame{x, y, x + size, y + size};
        painter.ring(frame, COLOR_BTNTEXT, COLOR_BTNTEXT);
        painter.fill(Rect{x, y + 1, x + size, y + 2}, COLOR_BTNTEXT);
    }
}

static void paint_button(const FramePainter& painter, Rect box, Glyph glyph, bool pressed)
{
    if (is_rect_empty(box))
        return;
    painter.fill(box, COLOR_BTNFACE);
    painter.ring(box, pressed ? COLOR_3DDKSHADOW : COLOR_BTNHIGHLIGHT, pressed ? COLOR_BTNHIGHLIGHT : COLOR_3DDKSHADOW);
    Rect inner = box;
    inflate_rect(inner, -1, -1);
    painter.ring(inner, pressed ? COLOR_BTNSHADOW : COLOR_3DLIGHT, pressed ? COLOR_3DLIGHT : COLOR_BTNSHADOW);
    if (pressed)
        offset_rect(box, 1, 1);
    paint_glyph(painter, box, glyph);
}

static bool is_pressed(WindowHandle window, int32_t hit)
{
    return s_nonclient.pressed_window == window && s_nonclient.pressed_hit == hit && s_nonclient.pressed_down;
}

static void paint_caption_text(const FramePainter& painter, const FrameLayout& layout, const WindowRecord& window, bool active)
{
    if (!s_nonclient.caption_painter)
        return;
    Rect area = layout.bar;
    area.left = std::max(area.left, layout.system_menu.right) + 2;
    int32_t right_edge = !is_rect_empty(layout.minimize) ? layout.minimize.left
        : !is_rect_empty(layout.close)                   ? layout.close.left
                                                         : area.right;
    area.right = right_edge - 2;
    if (is_rect_empty(area))
        return;
    offset_rect(area, painter.offset.x, painter.offset.y);
    uint32_t text = pixel_from_colorref(get_sys_color(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    s_nonclient.caption_painter(window.handle, *painter.surface, painter.clip, area, text);
}

static void paint_caption(const FramePainter& painter, const FrameLayout& layout, const WindowRecord& window, bool active)
{
    painter.fill(layout.bar, active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    painter.fill(Rect{layout.bar.left, layout.bar.bottom, layout.bar.right, layout.bar.bottom + 1}, COLOR_BTNFACE);
    if (!is_rect_empty(layout.system_menu))
        painter.fill(layout.system_menu, COLOR_BTNFACE);
    WindowHandle handle = window.handle;
    paint_button(painter, layout.close, Glyph::close, is_pressed(handle, HTCLOSE));
    Glyph zoom = (window.style & WS_MAXIMIZE) ? Glyph::restore : Glyph::maximize;
    paint_button(painter, layout.maximize, zoom, is_pressed(handle, HTMAXBUTTON));
    paint_button(painter, layout.minimize, Glyph::minimize, is_pressed(handle, HTMINBUTTON));
    paint_caption_text(painter, layout, window, active);
}

void nonclient_paint(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    WindowRecord* root = wintree_root(window);
    if (!record || !root || !root->surface)
        return;
    int32_t width = record->window_rect.width();
    int32_t height = record->window_rect.height();
    FrameLayout layout = layout_of(*record, width, height);
    FramePainter painter;
    painter.surface = root->surface.get();
    painter.offset = wintree_surface_offset(*record);
    painter.clip = dc_visible_rects(window, DcArea::window);
    Rect client = layout.client;
    offset_rect(client, painter.offset.x, painter.offset.y);
    rects_subtract(painter.clip, client);
    if (painter.clip.empty())
        return;
    bool active = record->frame_active;
    paint_outer_frame(painter, layout, Rect{0, 0, width, height}, active, (record->style & WS_THICKFRAME) != 0);
    if (layout.caption > 0)
        paint_caption(painter, layout, *record, active);
    paint_client_edge(painter, layout, record->ex_style);
    if (layout.menu > 0)
        menu_bar_paint(window, menu_bar_area(layout, width));
    if (Backend* backend = backend_get())
        backend->surface_changed(root->handle, rects_bounds(painter.clip));
    if (record->style & (WS_VSCROLL | WS_HSCROLL))
        scrollbar_paint_nonclient(window);
}

static uint32_t button_command(WindowHandle window, int32_t hit)
{
    switch (hit) {
    case HTCLOSE: return SC_CLOSE;
    case HTMINBUTTON: return SC_MINIMIZE;
    case HTMAXBUTTON: return is_zoomed(window) ? SC_RESTORE : SC_MAXIMIZE;
    default: return 0;
    }
}

static void show_pressed(WindowHandle window, bool down)
{
    if (s_nonclient.pressed_down == down)
        return;
    s_nonclient.pressed_down = down;
    nonclient_paint(window);
}

void nonclient_track_button(WindowHandle window, int32_t hit)
{
    uint32_t command = button_command(window, hit);
    if (!command)
        return;
    set_capture(window);
    s_nonclient.pressed_window = window;
    s_nonclient.pressed_hit = hit;
    show_pressed(window, true);
    bool released_over = false;
    Point at;
    Msg msg;
    // Only mouse messages are taken until the button is released, as in Win32's own loop.
    while (get_capture() == window && get_message(msg, {}, WM_MOUSEFIRST, WM_MOUSELAST) > 0) {
        at = msg.pt;
        bool over = nonclient_hit_test(window, at) == hit;
        show_pressed(window, over);
        if (msg.message == WM_LBUTTONUP) {
            released_over = over;
            break;
        }
    }
    show_pressed(window, false);
    s_nonclient.pressed_window = {};
    if (get_capture() == window)
        release_capture();
    if (released_over && is_window(window))
        send_message(window, WM_SYSCOMMAND, command, make_lparam(uint32_t(at.x), uint32_t(at.y)));
}

bool nonclient_can_move(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    return record && !(record->style & (WS_CHILD | WS_MINIMIZE | WS_MAXIMIZE));
}

// A caption wider than this keeps this much of it on the screen across, enough to grab it
// again; a narrower one stays on whole.
constexpr int32_t kCaptionKeptOnScreen = 32;

// What must stay reachable, in window coordinates: the caption, or the whole window when it
// has none (a program may answer HTCAPTION for its client area to be dragged by it).
static Rect move_grip(const WindowRecord& record)
{
    int32_t width = record.window_rect.width();
    int32_t height = record.window_rect.height();
    FrameLayout layout = layout_of(record, width, height);
    return layout.caption > 0 ? layout.bar : Rect{0, 0, width, height};
}

// low wins over high: a grip larger than the screen keeps its top-left part on it.
static int32_t clamp_axis(int32_t value, int32_t low, int32_t high)
{
    return std::max(low, std::min(value, high));
}

static Point keep_reachable(const WindowRecord& record, Point top_left)
{
    Rect grip = move_grip(record);
    Size screen = backend_screen_size();
    int32_t keep_x = std::min(grip.width(), kCaptionKeptOnScreen);
    int32_t keep_y = std::min(grip.height(), kCaptionKeptOnScreen);
    return Point{clamp_axis(top_left.x, keep_x - grip.right, screen.cx - keep_x - grip.left),
        clamp_axis(top_left.y, keep_y - grip.bottom, screen.cy - keep_y - grip.top)};
}

// Each step goes from where the drag began, so a step the program changed in
// WM_WINDOWPOSCHANGING does not add up.
static void move_by(WindowHandle window, Point origin, Point travel)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    Point to = keep_reachable(*record, Point{origin.x + travel.x, origin.y + travel.y});
    if (to.x == record->window_rect.left && to.y == record->window_rect.top)
        return;
    set_window_pos(window, {}, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void nonclient_track_move(WindowHandle window, Point start)
{
    WindowRecord* record = wintree_find(window);
    // The press that began it was already released: there is nothing to drag.
    if (!record || !nonclient_can_move(window) || get_key_state(VK_LBUTTON) >= 0)
        return;
    Point origin{record->window_rect.left, record->window_rect.top};
    set_capture(window);
    bool moving = false;
    Msg msg;
    // Only mouse messages are taken until the button is released, as in Win32's own loop; the
    // window moves with each of them, as Win32's full-window drag does.
    while (get_capture() == window && get_message(msg, {}, WM_MOUSEFIRST, WM_MOUSELAST) > 0) {
        Point travel{msg.pt.x - start.x, msg.pt.y - start.y};
        if (!moving && (travel.x != 0 || travel.y != 0)) {
            moving = true;
            send_message(window, WM_ENTERSIZEMOVE, 0, 0);
        }
        if (moving)
            move_by(window, origin, travel);
        if (msg.message == WM_LBUTTONUP)
            break;
    }
    if (get_capture() == window)
        release_capture();
    if (moving && is_window(window))
        send_message(window, WM_EXITSIZEMOVE, 0, 0);
}

void nonclient_set_caption_text_painter(CaptionTextPainter painter) { s_nonclient.caption_painter = painter; }

} // namespace plat
