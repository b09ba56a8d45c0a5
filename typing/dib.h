// Packed DIBs of the tutor's pictures turned into what it draws with: a logical palette from
// the picture's colour table and a device bitmap compatible with the screen.
#pragma once
#include <cstdint>
#include <span>

#include "platform/window/window_types.h"

constexpr uint32_t kDibPaletteMaxEntries = 256;

// A logical palette of the DIB's colour table (2, 16 or 256 entries for 1, 4 and 8 bits, the
// used-colour count when set, never more than 256; 12-byte headers with 3-byte entries too).
// Null when the DIB has no table or is damaged. The caller deletes it.
plat::GdiObject dib_palette_create(std::span<const uint8_t> dib);

// A device bitmap with the DIB's pixels, made on the screen DC with the palette (may be null)
// selected and realized. Null when the DIB is damaged. The caller deletes it.
plat::GdiObject dib_to_bitmap(std::span<const uint8_t> dib, plat::GdiObject palette);
