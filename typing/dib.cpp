// Pictures to device bitmaps. The platform's DIB reader checks every size against the bytes
// there; a table that claims more colours than the block holds makes the picture damaged.
#include "typing/dib.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/dib_blit.h"
#include "platform/gdi/palette.h"

#include <algorithm>
#include <vector>

plat::GdiObject dib_palette_create(std::span<const uint8_t> dib)
{
    plat::DibFormat format;
    if (!plat::dib_read_format(dib, plat::DIB_RGB_COLORS, format))
        return {};
    // Above 8 bits the used-colour count is the file's word alone: a palette holds 256 at most.
    uint32_t count = std::min(format.color_count, kDibPaletteMaxEntries);
    if (count == 0)
        return {};
    std::vector<plat::PaletteEntry> entries(count);
    const uint8_t* table = dib.data() + format.table_offset;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* quad = table + size_t(i) * format.entry_size; // blue, green, red
        entries[i] = {quad[2], quad[1], quad[0], 0};
    }
    return plat::create_palette(entries.data(), count);
}

plat::GdiObject dib_to_bitmap(std::span<const uint8_t> dib, plat::GdiObject palette)
{
    std::span<const uint8_t> info;
    std::span<const uint8_t> bits;
    if (!plat::dib_split_packed(dib, info, bits))
        return {};
    plat::DcHandle screen = plat::get_dc(plat::WindowHandle {});
    plat::GdiObject old_palette;
    if (palette) {
        old_palette = plat::select_palette(screen, palette, false);
        plat::realize_palette(screen);
    }
    plat::GdiObject bitmap
        = plat::create_dib_bitmap(screen, info, plat::CBM_INIT, bits, info, plat::DIB_RGB_COLORS);
    if (old_palette)
        plat::select_palette(screen, old_palette, false);
    plat::release_dc(plat::WindowHandle {}, screen);
    return bitmap;
}
