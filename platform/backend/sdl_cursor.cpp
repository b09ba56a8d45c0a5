#include "platform/backend/sdl_cursor.h"

#include <SDL.h>

#include "platform/window/cursor.h"

namespace plat {

static bool mask_bit(const std::vector<uint8_t>& mask, size_t stride, int x, int y)
{
    return (mask[size_t(y) * stride + size_t(x) / 8] >> (7 - x % 8)) & 1;
}

SdlCursorMasks sdlcursor_masks(const IconImage& image)
{
    SdlCursorMasks out;
    out.width_padded = (image.width + 7) / 8 * 8;
    size_t row = size_t(out.width_padded) / 8;
    out.data.assign(row * image.height, 0);
    out.mask.assign(row * image.height, 0);
    size_t stride = mask_stride(image.width);
    for (int y = 0; y < image.height; y++) {
        for (int x = 0; x < image.width; x++) {
            bool and_bit = mask_bit(image.and_mask, stride, x, y);
            bool xor_bit = mask_bit(image.xor_mask, stride, x, y);
            uint8_t bit = uint8_t(0x80 >> (x % 8));
            if (and_bit == xor_bit)
                out.data[size_t(y) * row + size_t(x) / 8] |= bit;
            if (!and_bit)
                out.mask[size_t(y) * row + size_t(x) / 8] |= bit;
        }
    }
    return out;
}

static bool same_image(const IconImage& a, const IconImage& b)
{
    return a.width == b.width && a.height == b.height && a.hotspot_x == b.hotspot_x && a.hotspot_y == b.hotspot_y
        && a.and_mask == b.and_mask && a.xor_mask == b.xor_mask;
}

SDL_Cursor* SdlCursors::cursor_for(uint32_t id, const IconImage& image)
{
    for (Made& made : m_made) {
        if (made.id == id && same_image(made.image, image))
            return made.sdl;
    }
    SdlCursorMasks masks = sdlcursor_masks(image);
    SDL_Cursor* sdl = SDL_CreateCursor(masks.data.data(), masks.mask.data(), masks.width_padded, image.height,
        image.hotspot_x, image.hotspot_y);
    if (sdl)
        m_made.push_back(Made{id, image, sdl});
    return sdl;
}

void SdlCursors::show(CursorHandle cursor)
{
    IconImage image;
    if (!cursor || !cursor_get_image(cursor, image)) {
        SDL_ShowCursor(SDL_DISABLE);
        return;
    }
    if (SDL_Cursor* sdl = cursor_for(cursor.id, image))
        SDL_SetCursor(sdl);
    SDL_ShowCursor(SDL_ENABLE);
}

void SdlCursors::clear()
{
    for (Made& made : m_made)
        SDL_FreeCursor(made.sdl);
    m_made.clear();
}

} // namespace plat
