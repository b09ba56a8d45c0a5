#include "platform/gdi/bitmap.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/dc.h"
#include "platform/kernel/error.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/pixels.h"

namespace plat {

// Rows of GetBitmapBits and CreateBitmap are padded to 2 bytes, not to the 4 of DIBs.
static size_t word_stride(int32_t width, int bits_per_pixel)
{
    return (size_t(width) * size_t(bits_per_pixel) + 15) / 16 * 2;
}

GdiObject bitmap_create(int32_t width, int32_t height, int bits_per_pixel, bool discardable)
{
    GdiRecord record;
    record.kind = OBJ_BITMAP;
    BitmapData bitmap;
    bitmap.discardable = discardable;
    if (!pixmap_create(bitmap.pixmap, width, height, bits_per_pixel)) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    record.data = std::move(bitmap);
    return gdi_add(std::move(record));
}

static void copy_rows_in(Pixmap& pixmap, const uint8_t* bits, size_t stride)
{
    size_t row_bytes = std::min(stride, pixmap.stride);
    for (int32_t y = 0; y < pixmap.height; y++)
        std::memcpy(pixmap.bits.data() + size_t(y) * pixmap.stride, bits + size_t(y) * stride, row_bytes);
}

GdiObject create_bitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bits_per_pixel,
    const void* bits, size_t bits_size)
{
    uint64_t depth = uint64_t(planes) * bits_per_pixel;
    if (width < 0 || height < 0 || depth > 32 || !pixels_depth_supported(int(depth))) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    if (width == 0 || height == 0)
        return bitmap_create(1, 1, 1, false);
    size_t stride = word_stride(width, int(depth));
    if (bits && (height > 0 && bits_size / size_t(height) < stride)) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    GdiObject bitmap = bitmap_create(width, height, int(depth), false);
    if (bitmap && bits)
        copy_rows_in(gdi_data<BitmapData>(bitmap)->pixmap, static_cast<const uint8_t*>(bits), stride);
    return bitmap;
}

// The depth and colours of a DC's device.
static const Pixmap* device_format(DcHandle dc, int& bits_per_pixel)
{
    bits_per_pixel = 32;
    DcRecord* record = dc_find(dc);
    if (!record || record->kind != DcKind::memory)
        return nullptr;
    BitmapData* selected = gdi_data<BitmapData>(record->attr.bitmap, GdiLookup::pending);
    if (!selected)
        return nullptr;
    bits_per_pixel = selected->pixmap.bits_per_pixel;
    return &selected->pixmap;
}

static GdiObject compatible(DcHandle dc, int32_t width, int32_t height, bool discardable)
{
    if (!dc_find(dc) || width < 0 || height < 0) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return {};
    }
    if (width == 0 || height == 0)
        return bitmap_create(1, 1, 1, discardable);
    int bits_per_pixel = 32;
    const Pixmap* format = device_format(dc, bits_per_pixel);
    std::vector<uint32_t> colors = format ? format->colors : std::vector<uint32_t>{};
    GdiObject bitmap = bitmap_create(width, height, bits_per_pixel, discardable);
    if (bitmap && bits_per_pixel <= 8)
        gdi_data<BitmapData>(bitmap)->pixmap.colors = colors;
    return bitmap;
}

GdiObject create_compatible_bitmap(DcHandle dc, int32_t width, int32_t height)
{
    return compatible(dc, width, height, false);
}

GdiObject create_discardable_bitmap(DcHandle dc, int32_t width, int32_t height)
{
    return compatible(dc, width, height, true);
}

bool get_object(GdiObject bitmap, BitmapInfo& out)
{
    BitmapData* data = gdi_data<BitmapData>(bitmap);
    if (!data)
        return false;
    const Pixmap& pixmap = data->pixmap;
    out.type = 0;
    out.width = pixmap.width;
    out.height = pixmap.height;
    out.width_bytes = int32_t(word_stride(pixmap.width, pixmap.bits_per_pixel));
    out.planes = 1;
    out.bits_pixel = uint16_t(pixmap.bits_per_pixel);
    return true;
}

size_t get_bitmap_bits(GdiObject bitmap, size_t size, void* out)
{
    BitmapData* data = gdi_data<BitmapData>(bitmap);
    if (!data || data->discarded || !out)
        return 0;
    const Pixmap& pixmap = data->pixmap;
    size_t stride = word_stride(pixmap.width, pixmap.bits_per_pixel);
    size_t rows = std::min(size / stride, size_t(pixmap.height));
    for (size_t y = 0; y < rows; y++)
        std::memcpy(static_cast<uint8_t*>(out) + y * stride, pixmap.bits.data() + y * pixmap.stride, stride);
    return rows * stride;
}

size_t set_bitmap_bits(GdiObject bitmap, size_t size, const void* bits)
{
    BitmapData* data = gdi_data<BitmapData>(bitmap);
    if (!data || data->discarded || !bits)
        return 0;
    Pixmap& pixmap = data->pixmap;
    size_t stride = word_stride(pixmap.width, pixmap.bits_per_pixel);
    size_t rows = std::min(size / stride, size_t(pixmap.height));
    for (size_t y = 0; y < rows; y++)
        std::memcpy(pixmap.bits.data() + y * pixmap.stride, static_cast<const uint8_t*>(bits) + y * stride, stride);
    return rows * stride;
}

} // namespace plat
