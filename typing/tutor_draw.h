// How the tutor draws: pictures from the archive become device bitmaps in the program palette
// (the colour table of face1.bmp), and everything is blitted between bitmaps and windows with
// that palette selected.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

// Builds the program palette from face1.bmp (none when the picture is missing); frees it.
void program_palette_build();
void program_palette_free();
plat::GdiObject program_palette();

// The named picture of the archive as a device bitmap made with the program palette; null
// when it is missing or damaged. The caller deletes it.
plat::GdiObject picture_load(std::string_view name);
// A bitmap's size; 0 x 0 for a null or unknown bitmap.
plat::Size bitmap_size(plat::GdiObject bitmap);

// Blits between two bitmaps with a raster operation; nothing when either is null.
void bitmap_blit(plat::GdiObject dest, int32_t x, int32_t y, int32_t width, int32_t height,
    plat::GdiObject source, int32_t sx, int32_t sy, uint32_t rop);
// The whole source into the destination at (x, y).
void bitmap_draw_into(plat::GdiObject dest, plat::GdiObject source, int32_t x, int32_t y);
// A new bitmap of a part (null: all) of a bitmap; null when the bitmap is null.
plat::GdiObject bitmap_copy_rect(plat::GdiObject bitmap, const plat::Rect* rect);
plat::GdiObject bitmap_copy(plat::GdiObject bitmap);
// Blits a part of a bitmap onto a DC.
void dc_blit(plat::DcHandle dc, int32_t x, int32_t y, int32_t width, int32_t height,
    plat::GdiObject bitmap, int32_t sx, int32_t sy);
// Blits a part of a bitmap into the window's client area.
void window_blit(plat::WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
    plat::GdiObject bitmap, int32_t sx, int32_t sy);
// Realizes the palette in the window's DC, in the foreground for WM_QUERYNEWPALETTE, and
// invalidates the window when colours changed; the number of colours changed.
uint32_t window_palette_realize(plat::WindowHandle window, uint32_t message, plat::GdiObject palette);
// WM_QUERYNEWPALETTE, and WM_PALETTECHANGED from another window: the program palette is
// realized in the window. True when the message was one of them; result is the answer.
bool palette_message(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LResult& result);
// A monochrome mask of a bitmap: 1 (white) where a pixel has the top-left pixel's colour.
plat::GdiObject bitmap_make_mask(plat::GdiObject bitmap);
// Draws a bitmap over the DC leaving the pixels of the key colour (a COLORREF) alone.
void transparent_blit(plat::DcHandle dc, plat::GdiObject bitmap, int32_t x, int32_t y, uint32_t key);
// Draws a bitmap over the DC through its mask (bitmap_make_mask): white mask pixels stay.
void masked_blit(plat::DcHandle dc, plat::GdiObject bitmap, plat::GdiObject mask, int32_t x, int32_t y,
    int32_t width, int32_t height, int32_t sx, int32_t sy);
// The same into a bitmap: a source whose key-coloured pixels are left out, and a source drawn
// through its mask.
void bitmap_transparent_draw(plat::GdiObject dest, plat::GdiObject source, int32_t x, int32_t y, uint32_t key);
void bitmap_masked_draw(plat::GdiObject dest, plat::GdiObject source, plat::GdiObject mask, int32_t x, int32_t y);
// The bitmap's part under the rectangle (null: the whole bitmap) at the same place of the DC.
void paint_bitmap(plat::DcHandle dc, plat::GdiObject bitmap, plat::GdiObject palette, const plat::Rect* rect);
// WM_PAINT of a window showing a bitmap: the update rectangle of the bitmap; nothing drawn
// (but the window validated) when the bitmap is null.
void paint_background(plat::WindowHandle window, plat::GdiObject bitmap);
// Moves a dialog to the bitmap's size, centred on its owner (the screen without one).
void dialog_fit_bitmap(plat::WindowHandle dialog, plat::GdiObject bitmap);
