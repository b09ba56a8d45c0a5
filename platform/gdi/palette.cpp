#include "platform/gdi/palette.h"

#include <algorithm>

#include "platform/gdi/dc.h"
#include "platform/kernel/error.h"
#include "platform/gdi/raster.h"

namespace plat {

static uint32_t entry_rgb(const PaletteEntry& entry)
{
    return uint32_t(entry.red) << 16 | uint32_t(entry.green) << 8 | entry.blue;
}

GdiObject create_palette(const PaletteEntry* entries, uint32_t count)
{
    if (!entries || count == 0 || count > kPaletteMaxEntries) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    GdiRecord record;
    record.kind = OBJ_PAL;
    record.data = PaletteData{std::vector<PaletteEntry>(entries, entries + count)};
    return gdi_add(std::move(record));
}

uint32_t get_palette_entries(GdiObject palette, uint32_t start, uint32_t count, PaletteEntry* out)
{
    PaletteData* data = gdi_data<PaletteData>(palette);
    if (!data)
        return 0;
    uint32_t size = uint32_t(data->entries.size());
    if (!out)
        return size;
    if (start >= size)
        return 0;
    count = std::min(count, size - start);
    std::copy_n(data->entries.begin() + start, count, out);
    return count;
}

uint32_t set_palette_entries(GdiObject palette, uint32_t start, uint32_t count, const PaletteEntry* entries)
{
    PaletteData* data = gdi_data<PaletteData>(palette);
    GdiRecord* record = gdi_find(palette);
    uint32_t size = data ? uint32_t(data->entries.size()) : 0;
    if (!data || record->stock || !entries || start >= size)
        return 0;
    count = std::min(count, size - start);
    std::copy_n(entries, count, data->entries.begin() + start);
    return count;
}

bool resize_palette(GdiObject palette, uint32_t count)
{
    PaletteData* data = gdi_data<PaletteData>(palette);
    GdiRecord* record = gdi_find(palette);
    if (!data || record->stock || count == 0 || count > kPaletteMaxEntries)
        return false;
    data->entries.resize(count);
    return true;
}

uint32_t get_nearest_palette_index(GdiObject palette, uint32_t color)
{
    PaletteData* data = gdi_data<PaletteData>(palette);
    if (!data || data->entries.empty())
        return CLR_INVALID;
    if ((color >> 24) == 0x01)
        return std::min<uint32_t>(color & 0xFFFF, uint32_t(data->entries.size()) - 1);
    std::vector<uint32_t> colors = palette_colors(palette);
    return pixels_nearest_index(colors.data(), uint32_t(colors.size()), pixel_from_colorref(color & 0xFFFFFF));
}

bool get_object(GdiObject palette, uint16_t& entry_count)
{
    PaletteData* data = gdi_data<PaletteData>(palette);
    if (!data)
        return false;
    entry_count = uint16_t(data->entries.size());
    return true;
}

GdiObject select_palette(DcHandle dc, GdiObject palette, bool force_background)
{
    DcRecord* record = dc_find(dc);
    if (!record || !gdi_data<PaletteData>(palette)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return {};
    }
    gdi_hold(palette);
    GdiObject previous = record->attr.palette;
    record->attr.palette = palette;
    record->attr.background_palette = force_background;
    gdi_release(previous);
    return previous;
}

uint32_t realize_palette(DcHandle dc) { return dc_find(dc) ? 0 : CLR_INVALID; }

uint32_t get_nearest_color(DcHandle dc, uint32_t color)
{
    RasterTarget target;
    if (!raster_open(dc, target))
        return CLR_INVALID;
    uint32_t rgb = pixel_from_colorref(raster_resolve(target, color));
    uint32_t nearest = target.plane.bits ? pixels_to_rgb(target.plane, pixels_from_rgb(target.plane, rgb)) : rgb;
    raster_close(target);
    return colorref_from_pixel(nearest);
}

uint32_t get_system_palette_entries(DcHandle, uint32_t, uint32_t, PaletteEntry*) { return 0; }

uint32_t get_system_palette_use(DcHandle dc) { return dc_find(dc) ? SYSPAL_STATIC : SYSPAL_ERROR; }

uint32_t set_system_palette_use(DcHandle dc, uint32_t) { return dc_find(dc) ? SYSPAL_STATIC : SYSPAL_ERROR; }

uint32_t palette_resolve(GdiObject palette, uint32_t color)
{
    if ((color >> 24) != 0x01)
        return color & 0xFFFFFF;
    PaletteData* data = gdi_data<PaletteData>(palette, GdiLookup::pending);
    uint32_t index = color & 0xFFFF;
    if (!data || index >= data->entries.size())
        return 0;
    return colorref_from_pixel(entry_rgb(data->entries[index]));
}

std::vector<uint32_t> palette_colors(GdiObject palette)
{
    PaletteData* data = gdi_data<PaletteData>(palette, GdiLookup::pending);
    if (!data)
        data = gdi_data<PaletteData>(get_stock_object(DEFAULT_PALETTE));
    std::vector<uint32_t> colors;
    for (const PaletteEntry& entry : data->entries)
        colors.push_back(entry_rgb(entry));
    return colors;
}

} // namespace plat
