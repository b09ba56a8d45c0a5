// Transparency masks of DIBs for the plug-in graphics services: a mask of one key colour, and
// a matte that removes only the key-coloured area connected to the picture's border (a
// key-coloured hole inside the picture stays opaque). Pixels are compared with the key as the
// colours they show: through the colour table, or through the bit fields of 16- and 32-bit
// images. The key is a COLORREF; its high byte is ignored.
#pragma once
#include <cstdint>
#include <span>

#include "platform/gdi/gdi_object.h"
#include "runtime/display/dib.h"

// The colour mask's table: inverted (key pixels white, the others black) or kept (key black).
enum class DibMaskTable { invert, keep };
// The matte's polarity that keeps the removed area black and the picture white.
constexpr uint32_t kMattePolarityWhite = 0xFFFFFF;

// A monochrome bitmap one row taller than the DIB: key pixels black, all others (and the extra
// bottom row) white. Null for a damaged DIB or when the bitmap cannot be made.
plat::GdiObject dib_mono_keyed(std::span<const uint8_t> info, std::span<const uint8_t> bits, uint32_t key);
// A 1-bit packed DIB of the DIB's size in out marking the key pixels; 0, or 8 on failure (out
// null).
int dib_color_mask(std::span<const uint8_t> info, std::span<const uint8_t> bits, PackedDib& out, uint32_t key,
    DibMaskTable table);
// A 1-bit packed DIB in out marking the key-coloured area that touches the border (4-connected):
// white on black, or black on white with kMattePolarityWhite. Out null when no key pixel
// touches the border (nothing to matte). 0, or 8 on failure.
int dib_matte_mask(std::span<const uint8_t> info, std::span<const uint8_t> bits, PackedDib& out, uint32_t key,
    uint32_t polarity);
