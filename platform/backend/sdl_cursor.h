// The pointer's shape on the display: an SDL cursor made from the masks of the layer's cursor
// image (window/cursor.h) for each handle shown. The display backend keeps one SdlCursors for as
// long as SDL runs; a null handle hides the pointer.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/kernel/resource_forms.h"
#include "platform/window/window_types.h"

struct SDL_Cursor;

namespace plat {

// Owns the SDL cursors it made, which must go before SDL does.
class SdlCursors {
public:
    SdlCursors() = default;
    SdlCursors(const SdlCursors&) = delete;
    SdlCursors& operator=(const SdlCursors&) = delete;
    ~SdlCursors() { clear(); }
    void show(CursorHandle cursor);
    void clear();

private:
    struct Made {
        uint32_t id = 0;
        IconImage image; // what it was made from: an id may come back for another image
        SDL_Cursor* sdl = nullptr;
    };
    SDL_Cursor* cursor_for(uint32_t id, const IconImage& image);
    std::vector<Made> m_made;
};

// SDL's form of an image: rows of width_padded / 8 bytes (the width rounded up to 8), where
// data 1 mask 1 is black, 0 1 white, 0 0 transparent and 1 0 inverts.
struct SdlCursorMasks {
    int width_padded = 0;
    std::vector<uint8_t> data;
    std::vector<uint8_t> mask;
};
SdlCursorMasks sdlcursor_masks(const IconImage& image);

} // namespace plat
