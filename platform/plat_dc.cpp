#include "platform/plat_dc.h"

#include <array>

#include "platform/plat_backend.h"
#include "platform/plat_error.h"
#include "platform/plat_metrics.h"
#include "platform/plat_slots.h"
#include "platform/plat_styles.h"
#include "platform/plat_wintree.h"

namespace plat {

constexpr uint32_t kBrushFirstGeneration = 0x6B7;
constexpr uint32_t kDcFirstGeneration = 0x2D5;
constexpr int kStockBrushCount = 6;

struct BrushRecord {
    uint32_t color = 0; // COLORREF
    bool is_null = false;
    bool is_stock = false; // never deleted
};

struct DcRecord {
    WindowHandle window;
    DcArea area = DcArea::client;
    Point origin; // surface coordinates of the DC's (0, 0)
    RectList clip; // surface coordinates
};

struct DcState {
    SlotTable<BrushRecord> brushes{kBrushFirstGeneration};
    SlotTable<DcRecord> dcs{kDcFirstGeneration};
    std::array<GdiObject, kStockBrushCount> stock{};
    std::array<GdiObject, kSysColorCount> sys_color{};
};

static DcState s_dc;

// The stock brushes, by GetStockObject index.
static const BrushRecord kStockBrushes[kStockBrushCount] = {
    {rgb(255, 255, 255), false, true}, // WHITE_BRUSH
    {rgb(192, 192, 192), false, true}, // LTGRAY_BRUSH
    {rgb(128, 128, 128), false, true}, // GRAY_BRUSH
    {rgb(64, 64, 64), false, true},    // DKGRAY_BRUSH
    {rgb(0, 0, 0), false, true},       // BLACK_BRUSH
    {0, true, true},                   // NULL_BRUSH
};

GdiObject create_solid_brush(uint32_t color)
{
    uint32_t id = s_dc.brushes.insert(BrushRecord{color & 0xFFFFFF, false, false});
    if (!id)
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
    return GdiObject(id);
}

GdiObject get_stock_object(int index)
{
    if (index < 0 || index >= kStockBrushCount)
        return {};
    GdiObject& slot = s_dc.stock[size_t(index)];
    if (!s_dc.brushes.find(slot.id))
        slot = GdiObject(s_dc.brushes.insert(kStockBrushes[index]));
    return slot;
}

GdiObject get_sys_color_brush(int index)
{
    if (index < 0 || index >= kSysColorCount)
        return {};
    GdiObject& slot = s_dc.sys_color[size_t(index)];
    if (!s_dc.brushes.find(slot.id))
        slot = GdiObject(s_dc.brushes.insert(BrushRecord{get_sys_color(index), false, true}));
    return slot;
}

bool delete_object(GdiObject object)
{
    BrushRecord* brush = s_dc.brushes.find(object.id);
    if (!brush) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!brush->is_stock)
        s_dc.brushes.erase(object.id);
    return true;
}

bool dc_brush_pixel(GdiObject brush, uint32_t& pixel)
{
    if (brush.id >= 1 && brush.id <= uint32_t(kSysColorCount)) {
        pixel = pixel_from_colorref(get_sys_color(int(brush.id) - 1));
        return true;
    }
    BrushRecord* record = s_dc.brushes.find(brush.id);
    if (!record || record->is_null)
        return false;
    pixel = pixel_from_colorref(record->color);
    return true;
}

// A window's rectangle (or client area) in its top-level window's surface coordinates.
static Rect surface_rect(const WindowRecord& window, DcArea area)
{
    Point offset = wintree_surface_offset(window);
    Rect rect = area == DcArea::client ? window.client_rect : window.window_rect;
    offset_rect(rect, offset.x - window.window_rect.left, offset.y - window.window_rect.top);
    return rect;
}

static void clip_to_ancestors(const WindowRecord& window, RectList& list)
{
    WindowRecord* ancestor = wintree_find(window.parent);
    while (ancestor && !wintree_is_desktop(ancestor->handle)) {
        rects_intersect(list, surface_rect(*ancestor, DcArea::client));
        ancestor = wintree_find(ancestor->parent);
    }
}

static void exclude_windows(const std::vector<WindowHandle>& windows, RectList& list)
{
    for (WindowHandle handle : windows) {
        WindowRecord* other = wintree_find(handle);
        if (other && (other->style & WS_VISIBLE))
            rects_subtract(list, surface_rect(*other, DcArea::window));
    }
}

// Siblings in front of the window, which WS_CLIPSIBLINGS keeps it from drawing over.
static std::vector<WindowHandle> siblings_in_front(const WindowRecord& window)
{
    std::vector<WindowHandle> front;
    WindowRecord* parent = wintree_find(window.parent);
    if (!parent)
        return front;
    for (WindowHandle sibling : parent->children) {
        if (sibling == window.handle)
            break;
        front.push_back(sibling);
    }
    return front;
}

RectList dc_visible_rects(WindowHandle handle, DcArea area)
{
    WindowRecord* window = wintree_find(handle);
    WindowRecord* root = wintree_root(handle);
    if (!window || !root || !root->surface || !wintree_is_visible(*window)
        || (root->style & WS_MINIMIZE))
        return {};
    RectList list{surface_rect(*window, area)};
    clip_to_ancestors(*window, list);
    if (window->style & WS_CLIPCHILDREN)
        exclude_windows(window->children, list);
    if ((window->style & WS_CLIPSIBLINGS) && !wintree_is_top_level(*window))
        exclude_windows(siblings_in_front(*window), list);
    rects_intersect(list, Rect{0, 0, root->surface->width, root->surface->height});
    return list;
}

DcHandle dc_open(WindowHandle window, DcArea area, const RectList* limit)
{
    WindowRecord* record = wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return {};
    }
    DcRecord dc;
    dc.window = window;
    dc.area = area;
    Rect base = surface_rect(*record, area);
    dc.origin = Point{base.left, base.top};
    dc.clip = dc_visible_rects(window, area);
    if (limit) {
        RectList allowed = *limit;
        rects_offset(allowed, dc.origin.x, dc.origin.y);
        RectList clipped;
        for (const Rect& part : allowed) {
            RectList piece = dc.clip;
            rects_intersect(piece, part);
            for (const Rect& r : piece)
                rects_add(clipped, r);
        }
        dc.clip.swap(clipped);
    }
    return DcHandle(s_dc.dcs.insert(std::move(dc)));
}

void dc_close(DcHandle dc) { s_dc.dcs.erase(dc.id); }

DcHandle get_dc(WindowHandle window) { return dc_open(window, DcArea::client, nullptr); }

DcHandle get_window_dc(WindowHandle window) { return dc_open(window, DcArea::window, nullptr); }

int release_dc(WindowHandle window, DcHandle dc)
{
    DcRecord* record = s_dc.dcs.find(dc.id);
    if (!record || (window && record->window != window))
        return 0;
    s_dc.dcs.erase(dc.id);
    return 1;
}

WindowHandle window_from_dc(DcHandle dc)
{
    DcRecord* record = s_dc.dcs.find(dc.id);
    return record ? record->window : WindowHandle{};
}

bool dc_target(DcHandle dc, DcTarget& out)
{
    DcRecord* record = s_dc.dcs.find(dc.id);
    WindowRecord* root = record ? wintree_root(record->window) : nullptr;
    if (!root || !root->surface)
        return false;
    out.window = record->window;
    out.surface = root->surface.get();
    out.origin = record->origin;
    out.clip = record->clip;
    return true;
}

void dc_mark_changed(DcHandle dc, const Rect& rect)
{
    DcRecord* record = s_dc.dcs.find(dc.id);
    WindowRecord* root = record ? wintree_root(record->window) : nullptr;
    Backend* backend = backend_get();
    if (!root || !backend)
        return;
    Rect changed = rect_clamp(rect);
    offset_rect(changed, record->origin.x, record->origin.y);
    backend->surface_changed(root->handle, changed);
}

int fill_rect(DcHandle dc, const Rect& rect, GdiObject brush)
{
    DcTarget target;
    uint32_t pixel = 0;
    bool solid = dc_brush_pixel(brush, pixel);
    if (!dc_target(dc, target) || (!solid && !s_dc.brushes.find(brush.id)))
        return 0;
    if (!solid)
        return 1; // the null brush paints nothing
    Rect area = rect_clamp(rect);
    offset_rect(area, target.origin.x, target.origin.y);
    for (const Rect& clip : target.clip) {
        Rect part;
        if (intersect_rect(part, area, clip))
            surface_fill_rect(*target.surface, part, pixel);
    }
    dc_mark_changed(dc, rect);
    return 1;
}

int get_clip_box(DcHandle dc, Rect& rect)
{
    DcRecord* record = s_dc.dcs.find(dc.id);
    if (!record) {
        rect = Rect{};
        return REGION_ERROR;
    }
    if (record->clip.empty()) {
        rect = Rect{};
        return NULLREGION;
    }
    rect = rects_bounds(record->clip);
    offset_rect(rect, -record->origin.x, -record->origin.y);
    return record->clip.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

void dc_reset()
{
    s_dc.brushes.clear();
    s_dc.dcs.clear();
    s_dc.stock = {};
    s_dc.sys_color = {};
}

} // namespace plat
