#include "platform/gdi/image.h"

#include "platform/window/cursor.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dib_blit.h"
#include "platform/kernel/error.h"

namespace plat {

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
    GdiObject bitmap = create_dib_bitmap(screen, info, CBM_INIT, bits, info, DIB_RGB_COLORS);
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
