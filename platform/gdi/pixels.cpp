#include "platform/gdi/pixels.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/kernel/byte_io.h"

namespace plat {

// The default palette: ten colours at its start and ten at its end.
static const uint32_t kStaticColors[kStaticColorCount] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0xC0DCC0, 0xA6CAF0, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
    0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// The sixteen colours of 4-bit bitmaps, in their index order.
static const uint32_t kVgaColors[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

const uint32_t* pixels_static_colors() { return kStaticColors; }

bool pixels_depth_supported(int bits_per_pixel)
{
    switch (bits_per_pixel) {
    case 1: case 4: case 8: case 16: case 24: case 32: return true;
    default: return false;
    }
}

size_t pixels_stride(int32_t width, int bits_per_pixel)
{
    if (width < 0 || !pixels_depth_supported(bits_per_pixel))
        return 0;
    return (uint64_t(width) * uint64_t(bits_per_pixel) + 31) / 32 * 4;
}

uint32_t pixels_value_mask(int bits_per_pixel)
{
    return bits_per_pixel >= 24 ? 0xFFFFFFu : (1u << bits_per_pixel) - 1;
}

std::vector<uint32_t> pixels_default_colors(int bits_per_pixel)
{
    switch (bits_per_pixel) {
    case 1: return {0x000000, 0xFFFFFF};
    case 4: return std::vector<uint32_t>(kVgaColors, kVgaColors + 16);
    case 8: {
        std::vector<uint32_t> colors(256, 0);
        std::copy(kStaticColors, kStaticColors + 10, colors.begin());
        std::copy(kStaticColors + 10, kStaticColors + 20, colors.begin() + 246);
        return colors;
    }
    default: return {};
    }
}

bool pixmap_create(Pixmap& out, int32_t width, int32_t height, int bits_per_pixel)
{
    if (width < 1 || height < 1 || width > kPixmapMaxSide || height > kPixmapMaxSide
        || !pixels_depth_supported(bits_per_pixel))
        return false;
    size_t stride = pixels_stride(width, bits_per_pixel);
    if (stride > kPixmapMaxBytes / size_t(height))
        return false;
    out.width = width;
    out.height = height;
    out.bits_per_pixel = bits_per_pixel;
    out.stride = stride;
    out.bits.assign(stride * size_t(height), 0);
    out.colors = pixels_default_colors(bits_per_pixel);
    return true;
}

PixelPlane pixmap_plane(Pixmap& pixmap)
{
    PixelPlane plane;
    plane.bits = pixmap.bits.data();
    plane.width = pixmap.width;
    plane.height = pixmap.height;
    plane.stride = pixmap.stride;
    plane.bits_per_pixel = pixmap.bits_per_pixel;
    plane.colors = pixmap.colors.data();
    plane.color_count = uint32_t(pixmap.colors.size());
    return plane;
}

PixelPlane surface_plane(Surface& surface)
{
    PixelPlane plane;
    plane.bits = reinterpret_cast<uint8_t*>(surface.pixels.data());
    plane.width = surface.width;
    plane.height = surface.height;
    plane.stride = size_t(surface.stride) * 4;
    plane.bits_per_pixel = 32;
    return plane;
}

static uint8_t* row_start(const PixelPlane& plane, int32_t y)
{
    return plane.bits + size_t(y) * plane.stride;
}

void pixels_read(const PixelPlane& plane, int32_t x, int32_t y, int32_t count, uint32_t* values)
{
    const uint8_t* row = row_start(plane, y);
    switch (plane.bits_per_pixel) {
    case 1:
        for (int32_t i = 0; i < count; i++, x++)
            values[i] = row[x >> 3] >> (7 - (x & 7)) & 1;
        break;
    case 4:
        for (int32_t i = 0; i < count; i++, x++)
            values[i] = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
        break;
    case 8:
        for (int32_t i = 0; i < count; i++)
            values[i] = row[x + i];
        break;
    case 16:
        for (int32_t i = 0; i < count; i++)
            values[i] = load_u16le(row + size_t(x + i) * 2);
        break;
    case 24:
        for (int32_t i = 0; i < count; i++) {
            const uint8_t* p = row + size_t(x + i) * 3;
            values[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        }
        break;
    default:
        std::memcpy(values, row + size_t(x) * 4, size_t(count) * 4);
        for (int32_t i = 0; i < count; i++)
            values[i] &= 0xFFFFFF;
        break;
    }
}

static void write_packed(uint8_t* row, int32_t x, int32_t count, const uint32_t* values, int bits)
{
    int per_byte = 8 / bits;
    uint32_t mask = (1u << bits) - 1;
    for (int32_t i = 0; i < count; i++, x++) {
        int shift = (per_byte - 1 - x % per_byte) * bits;
        uint8_t& byte = row[x / per_byte];
        byte = uint8_t((byte & ~(mask << shift)) | (values[i] & mask) << shift);
    }
}

void pixels_write(const PixelPlane& plane, int32_t x, int32_t y, int32_t count, const uint32_t* values)
{
    uint8_t* row = row_start(plane, y);
    switch (plane.bits_per_pixel) {
    case 1: write_packed(row, x, count, values, 1); break;
    case 4: write_packed(row, x, count, values, 4); break;
    case 8:
        for (int32_t i = 0; i < count; i++)
            row[x + i] = uint8_t(values[i]);
        break;
    case 16:
        for (int32_t i = 0; i < count; i++)
            store_u16le(row + size_t(x + i) * 2, uint16_t(values[i] & 0x7FFF));
        break;
    case 24:
        for (int32_t i = 0; i < count; i++) {
            uint8_t* p = row + size_t(x + i) * 3;
            p[0] = uint8_t(values[i]), p[1] = uint8_t(values[i] >> 8), p[2] = uint8_t(values[i] >> 16);
        }
        break;
    default:
        std::memcpy(row + size_t(x) * 4, values, size_t(count) * 4);
        break;
    }
}

void pixels_fill(const PixelPlane& plane, int32_t x, int32_t y, int32_t count, uint32_t value)
{
    uint8_t* row = row_start(plane, y);
    if (plane.bits_per_pixel == 32) {
        // The C library's wide-character fill is a vectorised 32-bit fill, wider than what the
        // compiler makes of a loop for the baseline target.
        static_assert(sizeof(wchar_t) == 4);
        std::wmemset(reinterpret_cast<wchar_t*>(row) + x, wchar_t(value), size_t(count));
        return;
    }
    if (plane.bits_per_pixel == 8) {
        std::memset(row + x, int(value & 0xFF), size_t(count));
        return;
    }
    uint32_t values[256];
    std::fill_n(values, 256, value);
    for (int32_t done = 0; done < count; done += 256)
        pixels_write(plane, x + done, y, std::min(count - done, 256), values);
}

void pixels_fill_rect(const PixelPlane& plane, const Rect& rect, uint32_t value)
{
    int32_t count = rect.right - rect.left;
    if (plane.bits_per_pixel != 32 || count < 4 || count >= 64) {
        for (int32_t y = rect.top; y < rect.bottom; y++)
            pixels_fill(plane, rect.left, y, count, value);
        return;
    }
    // Short rows, as most shapes have, cost more in calls and odd ends than in stores: four
    // pixels a store, the last store overlapping the one before.
    const uint32_t quad[4] = {value, value, value, value};
    uint8_t* row = row_start(plane, rect.top) + size_t(rect.left) * 4;
    for (int32_t y = rect.top; y < rect.bottom; y++, row += plane.stride) {
        int32_t x = 0;
        for (; x + 4 <= count; x += 4)
            std::memcpy(row + size_t(x) * 4, quad, sizeof quad);
        if (x < count)
            std::memcpy(row + size_t(count - 4) * 4, quad, sizeof quad);
    }
}

uint32_t pixels_get(const PixelPlane& plane, int32_t x, int32_t y)
{
    uint32_t value = 0;
    pixels_read(plane, x, y, 1, &value);
    return value;
}

static uint32_t widen5(uint32_t field) { return field << 3 | field >> 2; }

uint32_t pixels_to_rgb(const PixelPlane& plane, uint32_t value)
{
    switch (plane.bits_per_pixel) {
    case 16:
        return widen5(value >> 10 & 31) << 16 | widen5(value >> 5 & 31) << 8 | widen5(value & 31);
    case 24:
    case 32:
        return value & 0xFFFFFF;
    default:
        return value < plane.color_count ? plane.colors[value] : 0;
    }
}

uint32_t pixels_from_rgb(const PixelPlane& plane, uint32_t rgb)
{
    switch (plane.bits_per_pixel) {
    case 16:
        return (rgb >> 19 & 31) << 10 | (rgb >> 11 & 31) << 5 | (rgb >> 3 & 31);
    case 24:
    case 32:
        return rgb & 0xFFFFFF;
    default:
        if (plane.color_count == 0)
            return 0;
        return pixels_nearest_index(plane.colors, plane.color_count, rgb);
    }
}

void pixels_row_to_rgb(const PixelPlane& plane, const uint32_t* values, int32_t count, uint32_t* rgb)
{
    if (plane.bits_per_pixel >= 24) {
        std::memmove(rgb, values, size_t(count) * 4);
        return;
    }
    for (int32_t i = 0; i < count; i++)
        rgb[i] = pixels_to_rgb(plane, values[i]);
}

uint32_t pixels_nearest_index(const uint32_t* colors, uint32_t count, uint32_t rgb)
{
    uint32_t best = 0;
    uint32_t best_distance = UINT32_MAX;
    for (uint32_t i = 0; i < count; i++) {
        int32_t dr = int32_t(colors[i] >> 16 & 0xFF) - int32_t(rgb >> 16 & 0xFF);
        int32_t dg = int32_t(colors[i] >> 8 & 0xFF) - int32_t(rgb >> 8 & 0xFF);
        int32_t db = int32_t(colors[i] & 0xFF) - int32_t(rgb & 0xFF);
        uint32_t distance = uint32_t(dr * dr + dg * dg + db * db);
        if (distance < best_distance) {
            best = i;
            best_distance = distance;
            if (distance == 0)
                break;
        }
    }
    return best;
}

bool pixels_same_format(const PixelPlane& a, const PixelPlane& b)
{
    if (a.bits_per_pixel != b.bits_per_pixel)
        return false;
    if (a.bits_per_pixel > 8)
        return true;
    return a.color_count == b.color_count
        && (a.colors == b.colors || std::equal(a.colors, a.colors + a.color_count, b.colors));
}

} // namespace plat
