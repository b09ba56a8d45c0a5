// Logical palettes over a true-colour screen. A palette is a table of colours that programs
// build, select into DCs and realize; the screen has no hardware palette, so realizing maps
// nothing and only the lookups matter: PALETTEINDEX colours and DIB_PAL_COLORS tables name
// entries of the DC's palette, and nearest-colour searches answer indices into it. Every DC
// starts with the default palette (the twenty static colours).
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi_object.h"
#include "platform/window/window_types.h"

namespace plat {

enum : uint8_t {
    PC_RESERVED = 0x01,
    PC_EXPLICIT = 0x02,
    PC_NOCOLLAPSE = 0x04,
};

enum : uint32_t {
    SYSPAL_ERROR = 0,
    SYSPAL_STATIC = 1,
    SYSPAL_NOSTATIC = 2,
};

constexpr uint32_t CLR_INVALID = 0xFFFFFFFF;
// The largest palette: LOGPALETTE counts entries in 16 bits.
constexpr uint32_t kPaletteMaxEntries = 0xFFFF;

// PALETTERGB and PALETTEINDEX colours.
constexpr uint32_t palette_rgb(uint8_t r, uint8_t g, uint8_t b)
{
    return 0x02000000 | uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}
constexpr uint32_t palette_index(uint16_t index) { return 0x01000000 | index; }

// CreatePalette from count entries (1 .. kPaletteMaxEntries).
GdiObject create_palette(const PaletteEntry* entries, uint32_t count);
// GetPaletteEntries: copies up to count entries from start; with out null, the palette's
// size. 0 for a bad palette or a start past the end.
uint32_t get_palette_entries(GdiObject palette, uint32_t start, uint32_t count, PaletteEntry* out);
uint32_t set_palette_entries(GdiObject palette, uint32_t start, uint32_t count, const PaletteEntry* entries);
// ResizePalette: new entries are black.
bool resize_palette(GdiObject palette, uint32_t count);
// GetNearestPaletteIndex: the first entry nearest to the colour; CLR_INVALID for a bad
// palette. A PALETTEINDEX colour answers its own index.
uint32_t get_nearest_palette_index(GdiObject palette, uint32_t color);
// GetObject of a palette: its entry count; false for a handle of another kind.
bool get_object(GdiObject palette, uint16_t& entry_count);

// SelectPalette: the previous palette; null for a bad DC or palette.
GdiObject select_palette(DcHandle dc, GdiObject palette, bool force_background);
// RealizePalette: the number of system palette entries changed, always 0 here; GDI_ERROR
// (CLR_INVALID) for a bad DC.
uint32_t realize_palette(DcHandle dc);
// GetNearestColor: the colour the DC would really draw for color.
uint32_t get_nearest_color(DcHandle dc, uint32_t color);
uint32_t get_system_palette_entries(DcHandle dc, uint32_t start, uint32_t count, PaletteEntry* out);
uint32_t get_system_palette_use(DcHandle dc);
// No system palette to change: answers the previous use (SYSPAL_STATIC) and changes nothing.
uint32_t set_system_palette_use(DcHandle dc, uint32_t use);

// For the GDI modules: the plain RGB colour (COLORREF) a colour stands for with this palette;
// a PALETTEINDEX past the palette's end is black.
uint32_t palette_resolve(GdiObject palette, uint32_t color);
// The palette's entries as 0x00RRGGBB (the default palette when the handle is bad).
std::vector<uint32_t> palette_colors(GdiObject palette);

} // namespace plat
