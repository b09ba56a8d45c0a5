#include "platform/window/caret.h"

#include "platform/gdi/bitmap.h"
#include "platform/gdi/blit.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/metrics.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"

namespace plat {

// The blink timer lives on the owner window under an id no program picks.
constexpr uintptr_t kCaretTimerId = 0x7FFFCA7E;
constexpr uint32_t kDefaultBlinkMs = 530;

struct CaretState {
    WindowHandle window;
    GdiObject bitmap;
    Point position;
    Size size;
    int hide_count = 0;
    bool drawn = false;
    bool off_for_paint = false;
    uint32_t blink_ms = kDefaultBlinkMs;
};

static CaretState s_caret;

static void invert_block()
{
    DcHandle dc = get_dc(s_caret.window);
    Point at = s_caret.position;
    Size size = s_caret.size;
    if (s_caret.bitmap == kGrayCaret) {
        GdiObject old = select_object(dc, get_stock_object(GRAY_BRUSH));
        pat_blt(dc, at.x, at.y, size.cx, size.cy, PATINVERT);
        select_object(dc, old);
    } else if (s_caret.bitmap) {
        DcHandle memory = create_compatible_dc(dc);
        GdiObject old = select_object(memory, s_caret.bitmap);
        bit_blt(dc, at.x, at.y, size.cx, size.cy, memory, 0, 0, SRCINVERT);
        select_object(memory, old);
        delete_dc(memory);
    } else {
        pat_blt(dc, at.x, at.y, size.cx, size.cy, DSTINVERT);
    }
    release_dc(s_caret.window, dc);
}

// The block goes on or off the screen; a window that does not show keeps it off.
static void set_drawn(bool on)
{
    if (on && !is_window_visible(s_caret.window))
        on = false;
    if (on == s_caret.drawn)
        return;
    invert_block();
    s_caret.drawn = on;
}

static bool is_visible_now() { return s_caret.window && s_caret.hide_count == 0 && !s_caret.off_for_paint; }

static void blink(WindowHandle, uint32_t, uintptr_t, uint32_t)
{
    if (is_window(s_caret.window) && is_visible_now())
        set_drawn(!s_caret.drawn);
}

// Showing or moving the caret puts it on at once and starts the blink again from there.
static void restart_blink()
{
    set_drawn(is_visible_now());
    set_timer(s_caret.window, kCaretTimerId, s_caret.blink_ms, blink);
}

bool create_caret(WindowHandle window, GdiObject bitmap, int32_t width, int32_t height)
{
    if (!is_window(window))
        return false;
    destroy_caret();
    Size size{width > 0 ? width : get_system_metrics(SM_CXBORDER), height > 0 ? height : get_system_metrics(SM_CYBORDER)};
    BitmapInfo info;
    if (bitmap && bitmap != kGrayCaret && get_object(bitmap, info))
        size = Size{info.width, info.height};
    s_caret = CaretState{window, bitmap, Point{}, size, 1, false, false, s_caret.blink_ms};
    set_timer(window, kCaretTimerId, s_caret.blink_ms, blink);
    return true;
}

bool destroy_caret()
{
    if (!s_caret.window)
        return false;
    if (is_window(s_caret.window)) {
        set_drawn(false);
        kill_timer(s_caret.window, kCaretTimerId);
    }
    uint32_t blink_ms = s_caret.blink_ms;
    s_caret = CaretState{};
    s_caret.blink_ms = blink_ms;
    return true;
}

static bool owns(WindowHandle window)
{
    return s_caret.window && is_window(s_caret.window) && (!window || window == s_caret.window);
}

bool hide_caret(WindowHandle window)
{
    if (!owns(window))
        return false;
    set_drawn(false);
    s_caret.hide_count++;
    return true;
}

bool show_caret(WindowHandle window)
{
    if (!owns(window) || s_caret.hide_count == 0)
        return false;
    if (--s_caret.hide_count == 0)
        restart_blink();
    return true;
}

bool set_caret_pos(int32_t x, int32_t y)
{
    if (!owns({}))
        return false;
    Point to{x, y};
    if (to == s_caret.position)
        return true;
    set_drawn(false);
    s_caret.position = to;
    restart_blink();
    return true;
}

bool get_caret_pos(Point& out)
{
    if (!owns({}))
        return false;
    out = s_caret.position;
    return true;
}

uint32_t get_caret_blink_time() { return s_caret.blink_ms; }

bool set_caret_blink_time(uint32_t ms)
{
    s_caret.blink_ms = ms < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : ms;
    if (owns({}))
        set_timer(s_caret.window, kCaretTimerId, s_caret.blink_ms, blink);
    return true;
}

void caret_paint_begin(WindowHandle window)
{
    if (!owns(window) || !window || s_caret.off_for_paint)
        return;
    set_drawn(false);
    s_caret.off_for_paint = true;
}

void caret_paint_end(WindowHandle window)
{
    if (!owns(window) || !window || !s_caret.off_for_paint)
        return;
    s_caret.off_for_paint = false;
    set_drawn(is_visible_now());
}

bool caret_is_drawn() { return s_caret.drawn; }

void caret_reset() { s_caret = CaretState{}; }

} // namespace plat
