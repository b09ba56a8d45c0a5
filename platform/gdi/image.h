// Images from resources: LoadBitmap (a bitmap compatible with the screen, made from the
// packed DIB that RT_BITMAP holds) and LoadImage over bitmaps, icons and cursors, with the
// IMAGE_ kinds that STM_SETIMAGE and BM_SETIMAGE also use.
#pragma once
#include <cstdint>

#include "platform/kernel/resource.h"
#include "platform/window/window_types.h"

namespace plat {

enum : uint32_t {
    IMAGE_BITMAP = 0,
    IMAGE_ICON = 1,
    IMAGE_CURSOR = 2,
};

// LoadBitmap: null with the store's error when the resource is missing, 1812 when its DIB is
// damaged. A null module means the program's own.
GdiObject load_bitmap(ModuleHandle module, ResourceId name);
// LoadImage: the handle's id (a bitmap, icon or cursor); sizes and flags are not used, since
// the resources hold one size each. Icons and cursors take load_icon's and load_cursor's
// meaning of a null module.
uint32_t load_image(ModuleHandle module, ResourceId name, uint32_t type);

} // namespace plat
