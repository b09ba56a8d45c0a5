#include "platform/gdi/dc.h"

#include <algorithm>
#include <strings.h>

#include "platform/backend/backend.h"
#include "platform/kernel/error.h"
#include "platform/window/metrics.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/raster.h"
#include "platform/kernel/slots.h"
#include "platform/window/styles.h"
#include "platform/window/wintree.h"

namespace plat {

constexpr uint32_t kDcFirstGeneration = 0x2D5;
// Saved states a DC keeps; a program that saves without restoring stops there.
constexpr size_t kMaxSavedStates = 1024;

struct DcState {
    SlotTable<DcRecord> dcs{kDcFirstGeneration};
};

static DcState s_dc;

DcRecord* dc_find(DcHandle dc) { return s_dc.dcs.find(dc.id); }

// --- Holding objects -----------------------------------------------------------------------

static void hold_state(const DcAttributes& attr)
{
    for (GdiObject object : {attr.pen, attr.brush, attr.bitmap, attr.palette, attr.font})
        gdi_hold(object);
}

static void release_state(const DcAttributes& attr)
{
    for (GdiObject object : {attr.pen, attr.brush, attr.bitmap, attr.palette, attr.font})
        gdi_release(object);
}

static DcAttributes default_attributes(DcKind kind)
{
    DcAttributes attr;
    attr.pen = get_stock_object(BLACK_PEN);
    attr.brush = get_stock_object(WHITE_BRUSH);
    attr.palette = get_stock_object(DEFAULT_PALETTE);
    attr.font = get_stock_object(SYSTEM_FONT);
    if (kind == DcKind::memory)
        attr.bitmap = gdi_default_bitmap();
    return attr;
}

static DcHandle add_dc(DcRecord record)
{
    record.attr = default_attributes(record.kind);
    hold_state(record.attr);
    DcHandle dc(s_dc.dcs.insert(std::move(record)));
    if (!dc)
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
    return dc;
}

static void remove_dc(DcHandle dc)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return;
    DcRecord gone = std::move(*record);
    s_dc.dcs.erase(dc.id);
    release_state(gone.attr);
    for (const DcAttributes& saved : gone.saved)
        release_state(saved);
}

// --- Window DCs ----------------------------------------------------------------------------

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

static RectList limit_visible(const RectList& visible, const RectList& limit, Point origin)
{
    RectList allowed = limit;
    rects_offset(allowed, origin.x, origin.y);
    RectList clipped;
    for (const Rect& part : allowed) {
        RectList piece = visible;
        rects_intersect(piece, part);
        for (const Rect& r : piece)
            rects_add(clipped, r);
    }
    return clipped;
}

DcHandle dc_open(WindowHandle window, DcArea area, const RectList* limit)
{
    WindowRecord* record = wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return {};
    }
    DcRecord dc;
    dc.kind = DcKind::window;
    dc.window = window;
    dc.area = area;
    Rect base = surface_rect(*record, area);
    dc.origin = Point{base.left, base.top};
    dc.visible = dc_visible_rects(window, area);
    if (limit)
        dc.visible = limit_visible(dc.visible, *limit, dc.origin);
    return add_dc(std::move(dc));
}

void dc_close(DcHandle dc) { remove_dc(dc); }

DcHandle get_dc(WindowHandle window)
{
    if (!window) {
        DcRecord screen;
        screen.kind = DcKind::screen;
        return add_dc(std::move(screen));
    }
    return dc_open(window, DcArea::client, nullptr);
}

DcHandle get_window_dc(WindowHandle window) { return dc_open(window, DcArea::window, nullptr); }

int release_dc(WindowHandle window, DcHandle dc)
{
    DcRecord* record = dc_find(dc);
    if (!record || (record->kind != DcKind::window && record->kind != DcKind::screen))
        return 0;
    if (window && record->window != window)
        return 0;
    remove_dc(dc);
    return 1;
}

WindowHandle window_from_dc(DcHandle dc)
{
    DcRecord* record = dc_find(dc);
    return record ? record->window : WindowHandle{};
}

// --- Other DCs -----------------------------------------------------------------------------

DcHandle create_compatible_dc(DcHandle dc)
{
    if (dc && !dc_find(dc)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return {};
    }
    DcRecord memory;
    memory.kind = DcKind::memory;
    return add_dc(std::move(memory));
}

static DcHandle display_dc(std::string_view driver, DcKind kind)
{
    if (strncasecmp(std::string(driver).c_str(), "DISPLAY", 8) != 0) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return {};
    }
    DcRecord record;
    record.kind = kind;
    return add_dc(std::move(record));
}

DcHandle create_dc(std::string_view driver) { return display_dc(driver, DcKind::screen); }

DcHandle create_ic(std::string_view driver) { return display_dc(driver, DcKind::info); }

bool delete_dc(DcHandle dc)
{
    DcRecord* record = dc_find(dc);
    if (!record || record->kind == DcKind::window) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    remove_dc(dc);
    return true;
}

Rect dc_device_rect(const DcRecord& record)
{
    switch (record.kind) {
    case DcKind::window: {
        WindowRecord* window = wintree_find(record.window);
        if (!window)
            return Rect{};
        Rect area = record.area == DcArea::client ? window->client_rect : window->window_rect;
        return Rect{0, 0, area.width(), area.height()};
    }
    case DcKind::memory: {
        BitmapData* bitmap = gdi_data<BitmapData>(record.attr.bitmap, GdiLookup::pending);
        return bitmap ? Rect{0, 0, bitmap->pixmap.width, bitmap->pixmap.height} : Rect{};
    }
    default: {
        Size screen = backend_screen_size();
        return Rect{0, 0, screen.cx, screen.cy};
    }
    }
}

// --- Selection -----------------------------------------------------------------------------

static GdiObject swap_object(GdiObject& slot, GdiObject object)
{
    gdi_hold(object);
    GdiObject previous = slot;
    slot = object;
    gdi_release(previous);
    return previous;
}

static GdiObject select_bitmap(DcHandle dc, DcRecord& record, GdiObject object, GdiRecord& bitmap)
{
    BitmapData* data = std::get_if<BitmapData>(&bitmap.data);
    bool taken = bitmap.selected_in && bitmap.selected_in != dc;
    if (record.kind != DcKind::memory || !data || data->discarded || (taken && !bitmap.stock))
        return {};
    if (!bitmap.stock)
        bitmap.selected_in = dc;
    return swap_object(record.attr.bitmap, object);
}

GdiObject select_object(DcHandle dc, GdiObject object)
{
    DcRecord* record = dc_find(dc);
    GdiRecord* gdi = gdi_find(object);
    if (!record || !gdi) {
        set_last_error(ERROR_INVALID_HANDLE);
        return {};
    }
    switch (gdi->kind) {
    case OBJ_PEN: return swap_object(record->attr.pen, object);
    case OBJ_BRUSH: return swap_object(record->attr.brush, object);
    case OBJ_FONT: return swap_object(record->attr.font, object);
    case OBJ_BITMAP: return select_bitmap(dc, *record, object, *gdi);
    case OBJ_REGION: return GdiObject(uint32_t(select_clip_rgn(dc, object)));
    default: return {}; // palettes go through select_palette
    }
}

GdiObject get_current_object(DcHandle dc, int type)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return {};
    switch (type) {
    case OBJ_PEN: return record->attr.pen;
    case OBJ_BRUSH: return record->attr.brush;
    case OBJ_PAL: return record->attr.palette;
    case OBJ_FONT: return record->attr.font;
    case OBJ_BITMAP: return record->attr.bitmap;
    default: return {};
    }
}

// --- Saved states --------------------------------------------------------------------------

int save_dc(DcHandle dc)
{
    DcRecord* record = dc_find(dc);
    if (!record || record->saved.size() >= kMaxSavedStates)
        return 0;
    hold_state(record->attr);
    record->saved.push_back(record->attr);
    return int(record->saved.size());
}

bool restore_dc(DcHandle dc, int saved)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return false;
    int64_t depth = int64_t(record->saved.size());
    int64_t level = saved < 0 ? depth + 1 + saved : saved;
    if (level < 1 || level > depth)
        return false;
    DcAttributes current = std::move(record->attr);
    record->attr = std::move(record->saved[size_t(level - 1)]);
    std::vector<DcAttributes> dropped(std::make_move_iterator(record->saved.begin() + level),
        std::make_move_iterator(record->saved.end()));
    record->saved.resize(size_t(level - 1));
    release_state(current);
    for (const DcAttributes& state : dropped)
        release_state(state);
    return true;
}

// --- Attributes ----------------------------------------------------------------------------

template <typename T, typename Valid>
static T set_attribute(DcHandle dc, T DcAttributes::*field, T value, T failure, Valid valid)
{
    DcRecord* record = dc_find(dc);
    if (!record || !valid(value))
        return failure;
    T previous = record->attr.*field;
    record->attr.*field = value;
    return previous;
}

template <typename T>
static T get_attribute(DcHandle dc, T DcAttributes::*field, T failure)
{
    DcRecord* record = dc_find(dc);
    return record ? record->attr.*field : failure;
}

static bool any_color(uint32_t) { return true; }

uint32_t set_text_color(DcHandle dc, uint32_t color)
{
    return set_attribute(dc, &DcAttributes::text_color, color, CLR_INVALID, any_color);
}
uint32_t get_text_color(DcHandle dc) { return get_attribute(dc, &DcAttributes::text_color, CLR_INVALID); }
uint32_t set_bk_color(DcHandle dc, uint32_t color)
{
    return set_attribute(dc, &DcAttributes::bk_color, color, CLR_INVALID, any_color);
}
uint32_t get_bk_color(DcHandle dc) { return get_attribute(dc, &DcAttributes::bk_color, CLR_INVALID); }

int set_bk_mode(DcHandle dc, int mode)
{
    return set_attribute(dc, &DcAttributes::bk_mode, mode, 0, [](int m) { return m == TRANSPARENT || m == OPAQUE; });
}
int get_bk_mode(DcHandle dc) { return get_attribute(dc, &DcAttributes::bk_mode, 0); }

int set_rop2(DcHandle dc, int mode)
{
    return set_attribute(dc, &DcAttributes::rop2, mode, 0, [](int m) { return m >= 1 && m <= 16; });
}
int get_rop2(DcHandle dc) { return get_attribute(dc, &DcAttributes::rop2, 0); }

int set_stretch_blt_mode(DcHandle dc, int mode)
{
    return set_attribute(dc, &DcAttributes::stretch_mode, mode, 0,
        [](int m) { return m >= BLACKONWHITE && m <= HALFTONE; });
}
int get_stretch_blt_mode(DcHandle dc) { return get_attribute(dc, &DcAttributes::stretch_mode, 0); }

int set_poly_fill_mode(DcHandle dc, int mode)
{
    return set_attribute(dc, &DcAttributes::poly_fill_mode, mode, 0, [](int m) { return m == ALTERNATE || m == WINDING; });
}
int get_poly_fill_mode(DcHandle dc) { return get_attribute(dc, &DcAttributes::poly_fill_mode, 0); }

bool set_brush_org_ex(DcHandle dc, int32_t x, int32_t y, Point* previous)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return false;
    if (previous)
        *previous = record->attr.brush_org;
    record->attr.brush_org = Point{x, y};
    return true;
}

bool get_brush_org_ex(DcHandle dc, Point& out)
{
    DcRecord* record = dc_find(dc);
    if (!record)
        return false;
    out = record->attr.brush_org;
    return true;
}

// --- Device capabilities -------------------------------------------------------------------

int get_device_caps(DcHandle dc, int index)
{
    if (!dc_find(dc))
        return 0;
    Size screen = backend_screen_size();
    Backend* backend = backend_get();
    int bits = backend ? backend->screen_bits_per_pixel() : 32;
    switch (index) {
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return screen.cx * 254 / 960; // millimetres at 96 pixels per inch
    case VERTSIZE: return screen.cy * 254 / 960;
    case HORZRES: return screen.cx;
    case VERTRES: return screen.cy;
    case BITSPIXEL: return bits;
    case PLANES: return 1;
    case NUMBRUSHES: case NUMPENS: case NUMCOLORS: return -1; // more than a table can list
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_FLOODFILL | RC_STRETCHDIB;
    case ASPECTX: case ASPECTY: return 36;
    case ASPECTXY: return 51;
    case LOGPIXELSX: case LOGPIXELSY: return 96;
    case SIZEPALETTE: case NUMRESERVED: return 0;
    case COLORRES: return 24;
    default: return 0;
    }
}

// --- Window layer services -----------------------------------------------------------------

bool dc_brush_pixel(GdiObject brush, uint32_t& pixel)
{
    if (brush.id >= 1 && brush.id <= uint32_t(kSysColorCount)) {
        pixel = pixel_from_colorref(get_sys_color(int(brush.id) - 1));
        return true;
    }
    BrushData* record = gdi_data<BrushData>(brush);
    if (!record || record->style != BS_SOLID)
        return false;
    pixel = pixel_from_colorref(palette_resolve(get_stock_object(DEFAULT_PALETTE), record->color));
    return true;
}

int fill_rect(DcHandle dc, const Rect& rect, GdiObject brush)
{
    bool system_color = brush.id >= 1 && brush.id <= uint32_t(kSysColorCount);
    if (!system_color && !gdi_data<BrushData>(brush))
        return 0;
    if (!system_color && raster_quick_fill(dc, rect, brush, 0xF0))
        return 1;
    RasterTarget target;
    if (!raster_open(dc, target))
        return 0;
    RasterPaint paint;
    bool paints = system_color
        ? (paint = raster_solid(raster_value(target, get_sys_color(int(brush.id) - 1)), 0xF0), true)
        : raster_brush(target, brush, 0xF0, paint);
    if (paints)
        raster_fill(target, paint, mapping_rect_to_device(target.attr.mapping, rect));
    raster_close(target);
    return 1;
}

bool dc_target(DcHandle dc, DcTarget& out)
{
    DcRecord* record = dc_find(dc);
    WindowRecord* root = record && record->kind == DcKind::window ? wintree_root(record->window) : nullptr;
    if (!root || !root->surface)
        return false;
    out.window = record->window;
    out.surface = root->surface.get();
    out.origin = record->origin;
    out.clip = record->visible;
    return true;
}

void dc_mark_changed(DcHandle dc, const Rect& rect)
{
    DcRecord* record = dc_find(dc);
    WindowRecord* root = record && record->kind == DcKind::window ? wintree_root(record->window) : nullptr;
    Backend* backend = backend_get();
    if (!root || !backend)
        return;
    Rect changed = rect_clamp(rect);
    offset_rect(changed, record->origin.x, record->origin.y);
    backend->surface_changed(root->handle, changed);
}

void dc_reset()
{
    s_dc.dcs.clear();
    gdi_reset();
}

} // namespace plat
