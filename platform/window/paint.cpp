#include "platform/window/paint.h"

#include "platform/window/caret.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/error.h"
#include "platform/window/styles.h"
#include "platform/window/wintree.h"

namespace plat {

struct PaintState {
    // Set by every invalidation, cleared when a search finds nothing to paint, so that an idle
    // queue does not walk the window tree at every peek.
    bool maybe_pending = false;
};

static PaintState s_paint;

static Rect client_area(const WindowRecord& window)
{
    return Rect{0, 0, window.client_rect.width(), window.client_rect.height()};
}

// Whether a change reaches the children too (it does unless a window has WS_CLIPCHILDREN).
enum class Children { included, excluded };

static void invalidate_tree(WindowRecord& window, const Rect& rect, bool erase, Children children);

// The part of a parent's client rectangle that falls on a child, in the child's coordinates.
static void invalidate_children(WindowRecord& window, const Rect& rect, bool erase)
{
    for (WindowHandle handle : window.children) {
        WindowRecord* child = wintree_find(handle);
        Rect part;
        if (!child || !intersect_rect(part, rect, child->window_rect))
            continue;
        if (!(child->window_rect == child->client_rect))
            child->frame_pending = true;
        offset_rect(part, -child->client_rect.left, -child->client_rect.top);
        invalidate_tree(*child, part, erase, Children::included);
    }
}

static void invalidate_tree(WindowRecord& window, const Rect& rect, bool erase, Children children)
{
    Rect part;
    if (intersect_rect(part, rect, client_area(window))) {
        rects_add(window.update, part);
        if (erase)
            window.erase_pending = true;
        s_paint.maybe_pending = true;
    }
    if (children == Children::included && !(window.style & WS_CLIPCHILDREN))
        invalidate_children(window, rect, erase);
}

static void validate_tree(WindowRecord& window, const Rect* rect, Children children)
{
    if (rect)
        rects_subtract(window.update, *rect);
    else
        window.update.clear();
    if (window.update.empty()) {
        window.erase_pending = false;
        window.internal_paint = false;
    }
    window.paint_started = true;
    if (children == Children::excluded)
        return;
    for (WindowHandle handle : window.children) {
        WindowRecord* child = wintree_find(handle);
        if (!child)
            continue;
        if (!rect) {
            validate_tree(*child, nullptr, Children::included);
            continue;
        }
        Rect part = *rect;
        offset_rect(part, -child->client_rect.left, -child->client_rect.top);
        validate_tree(*child, &part, Children::included);
    }
}

bool invalidate_rect(WindowHandle window, const Rect* rect, bool erase)
{
    if (!window) {
        for (WindowHandle top : wintree_top_levels())
            invalidate_rect(top, nullptr, erase);
        return true;
    }
    WindowRecord* record = wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    invalidate_tree(*record, rect ? rect_clamp(*rect) : client_area(*record), erase, Children::included);
    return true;
}

bool validate_rect(WindowHandle window, const Rect* rect)
{
    WindowRecord* record = wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    Rect area = rect ? rect_clamp(*rect) : Rect{};
    validate_tree(*record, rect ? &area : nullptr, (record->style & WS_CLIPCHILDREN) ? Children::excluded : Children::included);
    return true;
}

bool get_update_rects(WindowHandle window, RectList& out)
{
    WindowRecord* record = wintree_find(window);
    out.clear();
    if (!record)
        return false;
    out = record->update;
    return !out.empty();
}

// WM_ERASEBKGND over the update region; an answer of 0 leaves the erasing to the program.
static void erase_now(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record || !record->erase_pending)
        return;
    RectList region = record->update;
    record->erase_pending = false;
    DcHandle dc = dc_open(window, DcArea::client, &region);
    LResult erased = send_message(window, WM_ERASEBKGND, WParam(dc.id), 0);
    dc_close(dc);
    record = wintree_find(window);
    if (record)
        record->erase_refused = erased == 0;
}

static void frame_now(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record || !record->frame_pending)
        return;
    record->frame_pending = false;
    if (!(record->window_rect == record->client_rect))
        send_message(window, WM_NCPAINT, 1, 0);
}

bool get_update_rect(WindowHandle window, Rect* rect, bool erase)
{
    WindowRecord* record = wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    Rect bounds = rects_bounds(record->update);
    if (rect)
        *rect = bounds;
    if (erase)
        erase_now(window);
    return !is_rect_empty(bounds);
}

DcHandle begin_paint(WindowHandle window, PaintStruct& paint)
{
    paint = PaintStruct{};
    if (!wintree_find(window)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return {};
    }
    frame_now(window);
    caret_paint_begin(window);
    WindowRecord* record = wintree_find(window);
    if (!record)
        return {};
    RectList region;
    region.swap(record->update);
    bool erase = record->erase_pending;
    paint.erase = record->erase_refused;
    record->erase_pending = false;
    record->erase_refused = false;
    record->internal_paint = false;
    record->paint_started = true;
    paint.paint = rects_bounds(region);
    paint.hdc = dc_open(window, DcArea::client, &region);
    if (erase && send_message(window, WM_ERASEBKGND, WParam(paint.hdc.id), 0) == 0)
        paint.erase = true;
    return paint.hdc;
}

bool end_paint(WindowHandle window, const PaintStruct& paint)
{
    dc_close(paint.hdc);
    caret_paint_end(window);
    return true;
}

static bool needs_paint(const WindowRecord& window)
{
    return !window.update.empty() || window.internal_paint;
}

// A window whose paint would show: visible, in a top-level window that is not minimised.
static bool paint_shows(const WindowRecord& window)
{
    WindowRecord* root = wintree_root(window.handle);
    return root && !(root->style & WS_MINIMIZE) && wintree_is_visible(window);
}

static bool send_paint(WindowHandle window)
{
    paint_before_dispatch(window);
    send_message(window, WM_PAINT, 0, 0);
    paint_after_dispatch(window);
    return true;
}

bool update_window(WindowHandle window)
{
    if (!wintree_find(window)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    for (WindowHandle handle : wintree_subtree(window, TreeOrder::parents_first)) {
        WindowRecord* record = wintree_find(handle);
        if (record && needs_paint(*record) && paint_shows(*record))
            send_paint(handle);
    }
    return true;
}

static void redraw_one(WindowRecord& window, const Rect& rect, uint32_t flags, Children children)
{
    if (flags & RDW_INVALIDATE)
        invalidate_tree(window, rect, (flags & RDW_ERASE) != 0, children);
    if (flags & RDW_VALIDATE)
        validate_tree(window, &rect, children);
    if (flags & RDW_INTERNALPAINT) {
        window.internal_paint = true;
        s_paint.maybe_pending = true;
    }
    if (flags & RDW_NOINTERNALPAINT)
        window.internal_paint = false;
    if (flags & RDW_NOERASE)
        window.erase_pending = false;
    if ((flags & RDW_FRAME) && (flags & RDW_INVALIDATE))
        window.frame_pending = true;
}

bool redraw_window(WindowHandle window, const Rect* rect, uint32_t flags)
{
    WindowRecord* record = wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    bool all = (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(record->style & WS_CLIPCHILDREN));
    Children children = all ? Children::included : Children::excluded;
    redraw_one(*record, rect ? rect_clamp(*rect) : client_area(*record), flags, children);
    if (flags & (RDW_ERASENOW | RDW_UPDATENOW))
        paint_frames_and_erase_now(window);
    if (flags & RDW_UPDATENOW)
        update_window(window);
    return true;
}

static bool find_paint(WindowHandle window, WindowHandle filter, WindowHandle& found)
{
    WindowRecord* record = wintree_find(window);
    if (!record || !(record->style & WS_VISIBLE))
        return false;
    if ((record->style & WS_MINIMIZE) && wintree_is_top_level(*record))
        return false;
    if (needs_paint(*record) && (!filter || filter == window)) {
        found = window;
        return true;
    }
    for (WindowHandle child : record->children) {
        if (find_paint(child, filter, found))
            return true;
    }
    return false;
}

bool paint_next_message(Msg& out, WindowHandle filter)
{
    if (!s_paint.maybe_pending)
        return false;
    WindowHandle found;
    for (WindowHandle top : wintree_top_levels()) {
        if (find_paint(top, filter, found)) {
            out = Msg{};
            out.hwnd = found;
            out.message = WM_PAINT;
            return true;
        }
    }
    if (!filter)
        s_paint.maybe_pending = false;
    return false;
}

void paint_before_dispatch(WindowHandle window)
{
    if (WindowRecord* record = wintree_find(window))
        record->paint_started = false;
}

void paint_after_dispatch(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (record && !record->paint_started && needs_paint(*record)) {
        record->update.clear();
        record->internal_paint = false;
        record->erase_pending = false;
    }
}

void paint_invalidate_window(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return;
    record->frame_pending = true;
    invalidate_tree(*record, client_area(*record), true, Children::included);
    for (WindowHandle handle : wintree_subtree(window, TreeOrder::parents_first)) {
        if (WindowRecord* inner = wintree_find(handle))
            inner->frame_pending = true;
    }
}

void paint_frames_and_erase_now(WindowHandle window)
{
    for (WindowHandle handle : wintree_subtree(window, TreeOrder::parents_first)) {
        WindowRecord* record = wintree_find(handle);
        if (!record || !paint_shows(*record))
            continue;
        frame_now(handle);
        erase_now(handle);
    }
}

void paint_reset() { s_paint = PaintState{}; }

} // namespace plat
