#include "platform/ime/compwin.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/text/text.h"
#include "platform/window/caret.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/metrics.h"
#include "platform/window/paint.h"
#include "platform/window/styles.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wndclass.h"

namespace plat {

// Pixels between the border and the text.
constexpr int32_t kPadding = 1;

struct CompWinState {
    WindowHandle window; // made on first use; the window system's reset takes it away
    std::string text;
};

static CompWinState s_compwin;

static void on_paint(WindowHandle window)
{
    PaintStruct paint;
    DcHandle dc = begin_paint(window, paint);
    Rect client;
    get_client_rect(window, client);
    fill_rect(dc, client, get_sys_color_brush(COLOR_HIGHLIGHT));
    GdiObject old_font = select_object(dc, get_stock_object(DEFAULT_GUI_FONT));
    set_bk_mode(dc, TRANSPARENT);
    set_text_color(dc, get_sys_color(COLOR_HIGHLIGHTTEXT));
    text_out(dc, kPadding, kPadding, s_compwin.text.c_str(), int(s_compwin.text.size()));
    select_object(dc, old_font);
    end_paint(window, paint);
}

static LResult composition_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam)
{
    switch (message) {
    case WM_PAINT: on_paint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_NCHITTEST: return HTTRANSPARENT; // clicks reach the window beneath
    default: return def_window_proc(window, message, wparam, lparam);
    }
}

static bool make_window()
{
    if (is_window(s_compwin.window))
        return true;
    WindowClass window_class;
    if (!get_class_info({}, kCompositionClass, window_class)) {
        window_class.style = CS_GLOBALCLASS | CS_SAVEBITS;
        window_class.proc = composition_proc;
        window_class.class_name = kCompositionClass;
        if (!register_class(window_class))
            return false;
    }
    s_compwin.window = create_window_ex(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kCompositionClass, "",
        WS_POPUP | WS_BORDER, 0, 0, 1, 1, {}, 0, {}, nullptr);
    return is_window(s_compwin.window);
}

// Where the composition goes on the screen: the window's caret when it has one, else the
// corner of its client area.
static Point place_of(WindowHandle window)
{
    Point at{0, 0};
    if (get_focus() != window || !get_caret_pos(at))
        at = Point{0, 0};
    client_to_screen(window, at);
    return at;
}

static Size size_for(const std::string& text)
{
    DcHandle dc = get_dc(s_compwin.window);
    GdiObject old_font = select_object(dc, get_stock_object(DEFAULT_GUI_FONT));
    Size size;
    get_text_extent_point32(dc, text.c_str(), int(text.size()), size);
    select_object(dc, old_font);
    release_dc(s_compwin.window, dc);
    int32_t border = 2 * get_system_metrics(SM_CXBORDER);
    return Size{size.cx + 2 * kPadding + border, size.cy + 2 * kPadding + border};
}

void compwin_show(WindowHandle window, const std::string& text)
{
    if (text.empty() || !is_window(window)) {
        compwin_hide();
        return;
    }
    if (!make_window())
        return;
    s_compwin.text = text;
    set_window_text(s_compwin.window, text.c_str());
    Point at = place_of(window);
    Size size = size_for(text);
    set_window_pos(s_compwin.window, {}, at.x, at.y, size.cx, size.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    invalidate_rect(s_compwin.window, nullptr, false);
}

void compwin_hide()
{
    if (is_window(s_compwin.window) && is_window_visible(s_compwin.window))
        set_window_pos(s_compwin.window, {}, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
}

void compwin_reset() { s_compwin = CompWinState{}; }

} // namespace plat
