// Text on device contexts with the selected font: TextOut and ExtTextOut with the DC's
// alignment, background mode and colours and inter-character spacing, and the extents and
// widths that layout reads. Measuring and drawing share one layout: whole-pixel advances, no
// kerning, a double-byte character of the active code page is one glyph. Glyphs are 1-bit,
// drawn in the text colour through the DC's clip into surfaces of any depth; GDI's ROP2 mode
// does not apply to text. Glyph sizes are device pixels whatever the mapping mode.
//
// Text alignment and character spacing are kept here for each DC, by save level, so that
// SaveDC and RestoreDC bring them back as long as the DC is asked about at each level.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/text/font_types.h"
#include "platform/window/geometry.h"
#include "platform/gdi/surface.h"
#include "platform/window/window_types.h"

namespace plat {

// Text alignment (SetTextAlign).
enum : uint32_t {
    TA_NOUPDATECP = 0,
    TA_UPDATECP = 1,
    TA_LEFT = 0,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_TOP = 0,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
};

// ExtTextOut options.
enum : uint32_t {
    ETO_OPAQUE = 0x0002,
    ETO_CLIPPED = 0x0004,
};

constexpr uint32_t GDI_ERROR = 0xFFFFFFFF;
// What SetTextCharacterExtra answers for a bad DC.
constexpr int32_t kTextExtraError = int32_t(0x80000000);

// SetTextAlign / GetTextAlign: the previous value; GDI_ERROR for a bad DC.
uint32_t set_text_align(DcHandle dc, uint32_t align);
uint32_t get_text_align(DcHandle dc);
// SetTextCharacterExtra / GetTextCharacterExtra: pixels added after every character, in
// measuring and drawing; the previous value, kTextExtraError for a bad DC.
int32_t set_text_character_extra(DcHandle dc, int32_t extra);
int32_t get_text_character_extra(DcHandle dc);

// TextOutA: count bytes at (x, y), the reference point the alignment names (with TA_UPDATECP
// the current position, which moves past the text). False for a bad DC or a negative count.
bool text_out(DcHandle dc, int32_t x, int32_t y, const char* text, int count);
// ExtTextOutA: ETO_OPAQUE fills rect with the background colour first; ETO_CLIPPED keeps the
// text inside rect. dx, when given, holds count advances (one per byte; a double-byte
// character advances by the sum of its two) in place of the font's.
bool ext_text_out(DcHandle dc, int32_t x, int32_t y, uint32_t options, const Rect* rect, const char* text,
    int count, const int32_t* dx);

// GetTextExtentPoint32A: width of count bytes (advances plus the character spacing) and the
// font's height.
bool get_text_extent_point32(DcHandle dc, const char* text, int count, Size& out);
// GetTextExtentExPointA: as above; fit (when given) receives how many bytes fit in max_extent
// pixels, whole characters only; dx (when given, count entries) the extent up to the end of
// the character each byte belongs to.
bool get_text_extent_ex_point(DcHandle dc, const char* text, int count, int32_t max_extent, int32_t* fit,
    int32_t* dx, Size& out);
// GetCharWidth32A: advances of the character codes first..last (a byte, or lead << 8 | trail
// in a double-byte code page), without the character spacing.
bool get_char_width32(DcHandle dc, uint32_t first, uint32_t last, int32_t* widths);
// GetCharABCWidthsA: the black box of each character and the space before and after it.
bool get_char_abc_widths(DcHandle dc, uint32_t first, uint32_t last, AbcWidths* widths);

// For the text modules.
// Width of count bytes in a realized font with extra pixels after each character.
int32_t text_width(uint32_t font, const char* text, size_t count, int32_t extra);
// Fills a logical rectangle with a colour (COLORREF) through the DC's clip and, when given,
// also inside clip (logical).
bool text_fill(DcHandle dc, const Rect& rect, uint32_t color, const Rect* clip);
// Draws count bytes straight into a surface, the top of the font's cell at top and the first
// character at left, in pixel (0x00RRGGBB), inside the clip rectangles.
void text_paint_surface(Surface& surface, const RectList& clip, int32_t left, int32_t top, uint32_t font,
    const char* text, size_t count, uint32_t pixel);

} // namespace plat
