#include "platform/gdi/gdi_object.h"

#include <algorithm>
#include <array>

#include "platform/kernel/error.h"
#include "platform/window/metrics.h"
#include "platform/kernel/slots.h"

namespace plat {

constexpr uint32_t kGdiFirstGeneration = 0x6B7;
constexpr int kStockCount = DEFAULT_GUI_FONT + 1;

struct GdiState {
    SlotTable<GdiRecord> objects{kGdiFirstGeneration};
    std::array<GdiObject, kStockCount> stock{};
    std::array<GdiObject, kSysColorCount> sys_color{};
    GdiObject default_bitmap;
    void (*release_font)(uint32_t payload) = nullptr;
    uint32_t (*stock_font)(int index) = nullptr;
};

static GdiState s_gdi;

// Stock brushes and pens by GetStockObject index; other indices are palettes and fonts.
struct StockRow {
    int index;
    int kind;
    int style; // brush or pen style
    uint32_t color;
};

static const StockRow kStockRows[] = {
    {WHITE_BRUSH, OBJ_BRUSH, BS_SOLID, 0xFFFFFF},
    {LTGRAY_BRUSH, OBJ_BRUSH, BS_SOLID, 0xC0C0C0},
    {GRAY_BRUSH, OBJ_BRUSH, BS_SOLID, 0x808080},
    {DKGRAY_BRUSH, OBJ_BRUSH, BS_SOLID, 0x404040},
    {BLACK_BRUSH, OBJ_BRUSH, BS_SOLID, 0x000000},
    {NULL_BRUSH, OBJ_BRUSH, BS_NULL, 0},
    {WHITE_PEN, OBJ_PEN, PS_SOLID, 0xFFFFFF},
    {BLACK_PEN, OBJ_PEN, PS_SOLID, 0x000000},
    {NULL_PEN, OBJ_PEN, PS_NULL, 0},
};

GdiRecord* gdi_find(GdiObject object, GdiLookup lookup)
{
    GdiRecord* record = s_gdi.objects.find(object.id);
    if (!record || (record->delete_pending && lookup == GdiLookup::live))
        return nullptr;
    return record;
}

GdiObject gdi_add(GdiRecord record)
{
    uint32_t id = s_gdi.objects.insert(std::move(record));
    if (!id)
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
    return GdiObject(id);
}

static void free_record(GdiObject object)
{
    GdiRecord* record = s_gdi.objects.find(object.id);
    FontData* font = record ? std::get_if<FontData>(&record->data) : nullptr;
    uint32_t payload = font ? font->payload : 0;
    s_gdi.objects.erase(object.id);
    if (payload && s_gdi.release_font)
        s_gdi.release_font(payload);
}

void gdi_hold(GdiObject object)
{
    if (GdiRecord* record = gdi_find(object, GdiLookup::pending))
        record->holds++;
}

void gdi_release(GdiObject object)
{
    GdiRecord* record = gdi_find(object, GdiLookup::pending);
    if (!record || record->holds == 0)
        return;
    record->holds--;
    if (record->holds > 0)
        return;
    record->selected_in = DcHandle{};
    if (record->delete_pending)
        free_record(object);
}

GdiObject gdi_default_bitmap()
{
    if (gdi_find(s_gdi.default_bitmap))
        return s_gdi.default_bitmap;
    GdiRecord record;
    record.kind = OBJ_BITMAP;
    record.stock = true;
    BitmapData bitmap;
    pixmap_create(bitmap.pixmap, 1, 1, 1);
    record.data = std::move(bitmap);
    s_gdi.default_bitmap = gdi_add(std::move(record));
    return s_gdi.default_bitmap;
}

static GdiRecord make_stock(const StockRow& row)
{
    GdiRecord record;
    record.kind = row.kind;
    record.stock = true;
    if (row.kind == OBJ_PEN)
        record.data = PenData{row.style, 1, row.color};
    else
        record.data = BrushData{row.style, row.color, {}};
    return record;
}

static GdiRecord make_default_palette()
{
    PaletteData palette;
    const uint32_t* colors = pixels_static_colors();
    for (uint32_t i = 0; i < kStaticColorCount; i++)
        palette.entries.push_back(
            PaletteEntry{uint8_t(colors[i] >> 16), uint8_t(colors[i] >> 8), uint8_t(colors[i]), 0});
    GdiRecord record;
    record.kind = OBJ_PAL;
    record.stock = true;
    record.data = std::move(palette);
    return record;
}

static bool make_stock_record(int index, GdiRecord& out)
{
    for (const StockRow& row : kStockRows) {
        if (row.index == index) {
            out = make_stock(row);
            return true;
        }
    }
    if (index == DEFAULT_PALETTE) {
        out = make_default_palette();
        return true;
    }
    uint32_t payload = s_gdi.stock_font ? s_gdi.stock_font(index) : 0;
    if (!payload)
        return false;
    out.kind = OBJ_FONT;
    out.stock = true;
    out.data = FontData{payload};
    return true;
}

GdiObject get_stock_object(int index)
{
    if (index < 0 || index >= kStockCount)
        return {};
    GdiObject& slot = s_gdi.stock[size_t(index)];
    if (gdi_find(slot))
        return slot;
    GdiRecord record;
    if (!make_stock_record(index, record))
        return {};
    slot = gdi_add(std::move(record));
    return slot;
}

GdiObject get_sys_color_brush(int index)
{
    if (index < 0 || index >= kSysColorCount)
        return {};
    GdiObject& slot = s_gdi.sys_color[size_t(index)];
    if (!gdi_find(slot)) {
        GdiRecord record;
        record.kind = OBJ_BRUSH;
        record.stock = true;
        record.data = BrushData{BS_SOLID, get_sys_color(index), {}};
        slot = gdi_add(std::move(record));
    }
    return slot;
}

bool delete_object(GdiObject object)
{
    GdiRecord* record = gdi_find(object);
    if (!record) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    if (record->stock)
        return true;
    if (record->holds > 0) {
        if (record->kind == OBJ_BITMAP)
            return false; // a bitmap cannot go while a DC draws into it
        record->delete_pending = true;
        return true;
    }
    free_record(object);
    return true;
}

int get_object_type(GdiObject object)
{
    GdiRecord* record = gdi_find(object);
    return record ? record->kind : 0;
}

GdiObject create_pen(int style, int32_t width, uint32_t color)
{
    if (style < PS_SOLID || style > PS_INSIDEFRAME) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    GdiRecord record;
    record.kind = OBJ_PEN;
    record.data = PenData{style, width < 0 ? 0 : width, color};
    return gdi_add(std::move(record));
}

GdiObject create_pen_indirect(const LogPen& pen) { return create_pen(pen.style, pen.width.x, pen.color); }

GdiObject create_solid_brush(uint32_t color)
{
    GdiRecord record;
    record.kind = OBJ_BRUSH;
    record.data = BrushData{BS_SOLID, color, {}};
    return gdi_add(std::move(record));
}

static bool pattern_from_bitmap(GdiObject bitmap, PatternData& out)
{
    BitmapData* data = gdi_data<BitmapData>(bitmap);
    if (!data || data->discarded)
        return false;
    PixelPlane plane = pixmap_plane(data->pixmap);
    out.width = std::min(plane.width, 8);
    out.height = std::min(plane.height, 8);
    out.mono = plane.bits_per_pixel == 1;
    for (int32_t y = 0; y < out.height; y++) {
        uint32_t* row = out.cells + y * 8;
        pixels_read(plane, 0, y, out.width, row);
        if (!out.mono)
            pixels_row_to_rgb(plane, row, out.width, row);
    }
    return true;
}

GdiObject create_pattern_brush(GdiObject bitmap)
{
    BrushData brush;
    brush.style = BS_PATTERN;
    if (!pattern_from_bitmap(bitmap, brush.pattern)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return {};
    }
    GdiRecord record;
    record.kind = OBJ_BRUSH;
    record.data = brush;
    return gdi_add(std::move(record));
}

GdiObject create_brush_indirect(const LogBrush& brush)
{
    switch (brush.style) {
    case BS_SOLID:
    case BS_HATCHED: // hatches are not drawn: the brush's colour stands in for them
        return create_solid_brush(brush.color);
    case BS_NULL: {
        GdiRecord record;
        record.kind = OBJ_BRUSH;
        record.data = BrushData{BS_NULL, 0, {}};
        return gdi_add(std::move(record));
    }
    case BS_PATTERN:
        return create_pattern_brush(GdiObject(uint32_t(brush.hatch)));
    default:
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
}

bool get_object(GdiObject pen, LogPen& out)
{
    PenData* data = gdi_data<PenData>(pen);
    if (!data)
        return false;
    out.style = data->style;
    out.width = Point{data->width, 0};
    out.color = data->color;
    return true;
}

bool get_object(GdiObject brush, LogBrush& out)
{
    BrushData* data = gdi_data<BrushData>(brush);
    if (!data)
        return false;
    out.style = data->style;
    out.color = data->style == BS_SOLID ? data->color : 0;
    out.hatch = 0;
    return true;
}

bool unrealize_object(GdiObject object)
{
    if (!gdi_find(object)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

void gdi_discard_bitmaps()
{
    s_gdi.objects.for_each([](uint32_t, GdiRecord& record) {
        BitmapData* bitmap = std::get_if<BitmapData>(&record.data);
        if (!bitmap || !bitmap->discardable || record.holds > 0 || bitmap->discarded)
            return;
        bitmap->discarded = true;
        bitmap->pixmap.bits = std::vector<uint8_t>();
    });
}

GdiObject gdi_add_font(uint32_t payload)
{
    GdiRecord record;
    record.kind = OBJ_FONT;
    record.data = FontData{payload};
    return gdi_add(std::move(record));
}

void gdi_set_font_hooks(void (*release)(uint32_t payload), uint32_t (*stock_font)(int index))
{
    s_gdi.release_font = release;
    s_gdi.stock_font = stock_font;
}

void gdi_reset()
{
    s_gdi.objects.clear();
    s_gdi.stock = {};
    s_gdi.sys_color = {};
    s_gdi.default_bitmap = {};
}

} // namespace plat
