// Device bitmaps: pixels of one of the layer's depths (gdi/pixels.h) under a GDI object id.
// Bitmaps compatible with the screen hold 32 bits per pixel; monochrome bitmaps hold 1.
// Discardable bitmaps are ordinary ones that gdi_discard_bitmaps may empty while no DC holds
// them; after that they can no longer be selected.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/window/window_types.h"

namespace plat {

// BITMAP, as GetObject answers it for a bitmap.
struct BitmapInfo {
    int32_t type = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t width_bytes = 0; // bytes of a row as get_bitmap_bits gives it (a multiple of 2)
    uint16_t planes = 1;
    uint16_t bits_pixel = 1;
};

// CreateBitmap: planes x bits_per_pixel is the depth (1, 4, 8, 16, 24 or 32). bits (may be
// null) holds rows top-down, each padded to 2 bytes, and must hold them all. A width or
// height of 0 gives a 1 x 1 monochrome bitmap.
GdiObject create_bitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bits_per_pixel,
    const void* bits, size_t bits_size);
// CreateCompatibleBitmap: the format of the DC's device (32 bits for windows and the screen,
// the selected bitmap's for a memory DC).
GdiObject create_compatible_bitmap(DcHandle dc, int32_t width, int32_t height);
GdiObject create_discardable_bitmap(DcHandle dc, int32_t width, int32_t height);
bool get_object(GdiObject bitmap, BitmapInfo& out);
// GetBitmapBits and SetBitmapBits, in the rows get_object describes: bytes copied.
size_t get_bitmap_bits(GdiObject bitmap, size_t size, void* out);
size_t set_bitmap_bits(GdiObject bitmap, size_t size, const void* bits);

// For the GDI modules: a new bitmap object of the depth and colours.
GdiObject bitmap_create(int32_t width, int32_t height, int bits_per_pixel, bool discardable);

} // namespace plat
