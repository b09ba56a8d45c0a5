#include "platform/gdi/image.h"

#include "platform/window/cursor.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/dib_blit.h"
#include "platform/kernel/error.h"

namespace plat {

// A 1-bit DIB whose colours are black then white loads as a monochrome bitmap, as Win32's does:
// blitted onto colour it then takes the DC's text and background colours.
static bool black_and_white(std::span<const uint8_t> info)
{
    DibHeader header;
    if (!dib_read_header(info, header) || header.bit_count != 1 || info.size() < header.size + 8)
        return false;
    const uint8_t* table = info.data() + header.size;
    static const uint8_t kBlackWhite[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    for (int i = 0; i < 8; i++) {
        if (i % 4 != 3 && table[i] != kBlackWhite[i])
            return false;
    }
    return true;
}

GdiObject load_bitmap(ModuleHandle module, ResourceId name)
{
    ResourceBytes bytes = find_resource(module, RT_BITMAP, name);
    if (!bytes.data)
        return {};
    std::span<const uint8_t> info;
    std::span<const uint8_t> bits;
    if (!dib_split_packed(std::span<const uint8_t>(bytes.data, bytes.size), info, bits)) {
        set_last_error(ERROR_RESOURCE_DATA_NOT_FOUND);
        return {};
    }
    DcHandle screen = get_dc({});
    GdiObject bitmap;
    if (black_and_white(info)) {
        DibHeader header;
        (void)dib_read_header(info, header);
        int32_t rows = header.height < 0 ? -header.height : header.height;
        bitmap = bitmap_create(header.width, rows, 1, false);
        if (bitmap && set_dib_bits(screen, bitmap, 0, uint32_t(rows), bits, info, DIB_RGB_COLORS) == 0) {
            delete_object(bitmap);
            bitmap = {};
        }
    } else {
        bitmap = create_dib_bitmap(screen, info, CBM_INIT, bits, info, DIB_RGB_COLORS);
    }
    release_dc({}, screen);
    if (!bitmap)
        set_last_error(ERROR_RESOURCE_DATA_NOT_FOUND);
    return bitmap;
}

uint32_t load_image(ModuleHandle module, ResourceId name, uint32_t type)
{
    switch (type) {
    case IMAGE_BITMAP: return load_bitmap(module, name).id;
    case IMAGE_ICON: return load_icon(module, name).id;
    case IMAGE_CURSOR: return load_cursor(module, name).id;
    default: set_last_error(ERROR_INVALID_PARAMETER); return 0;
    }
}

} // namespace plat
