#include "platform/gdi/surface.h"

#include <algorithm>

namespace plat {

void surface_resize(Surface& surface, int32_t width, int32_t height, uint32_t fill)
{
    width = std::clamp(width, 0, kSurfaceMaxSide);
    height = std::clamp(height, 0, kSurfaceMaxSide);
    if (width == surface.width && height == surface.height)
        return;
    Surface resized;
    resized.width = width;
    resized.height = height;
    resized.stride = width;
    resized.pixels.assign(size_t(width) * size_t(height), fill);
    surface_copy(resized, 0, 0, surface, Rect{0, 0, surface.width, surface.height});
    surface = std::move(resized);
}

void surface_fill_rect(Surface& surface, const Rect& rect, uint32_t pixel)
{
    Rect clipped;
    if (!intersect_rect(clipped, rect, Rect{0, 0, surface.width, surface.height}))
        return;
    for (int32_t y = clipped.top; y < clipped.bottom; y++) {
        uint32_t* row = surface.pixels.data() + size_t(y) * size_t(surface.stride);
        std::fill(row + clipped.left, row + clipped.right, pixel);
    }
}

uint32_t surface_get_pixel(const Surface& surface, int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= surface.width || y >= surface.height)
        return 0;
    return surface.pixels[size_t(y) * size_t(surface.stride) + size_t(x)];
}

void surface_copy(Surface& target, int32_t x, int32_t y, const Surface& source, const Rect& source_rect)
{
    Rect from;
    if (!intersect_rect(from, source_rect, Rect{0, 0, source.width, source.height}))
        return;
    // The part of the source rectangle that lands inside the target.
    int64_t dx = int64_t(x) - source_rect.left;
    int64_t dy = int64_t(y) - source_rect.top;
    int64_t left = std::max<int64_t>(from.left, -dx);
    int64_t top = std::max<int64_t>(from.top, -dy);
    int64_t right = std::min<int64_t>(from.right, int64_t(target.width) - dx);
    int64_t bottom = std::min<int64_t>(from.bottom, int64_t(target.height) - dy);
    for (int64_t sy = top; sy < bottom; sy++) {
        const uint32_t* in = source.pixels.data() + size_t(sy) * size_t(source.stride);
        uint32_t* out = target.pixels.data() + size_t(sy + dy) * size_t(target.stride);
        for (int64_t sx = left; sx < right; sx++)
            out[sx + dx] = in[sx];
    }
}

} // namespace plat
