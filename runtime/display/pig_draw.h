// Drawing picture streams into a DC: the state opcodes change the run's DrawStyle, shapes go
// through the drawing primitives, images are drawn by the mode table with masks, and the
// embedded objects (text, OLE, media) through handlers their own subsystems install. Every
// entry point leaves the DC's window origin as it found it. Metafiles are not made here.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi_object.h"
#include "runtime/display/pig_stream.h"

// Drawing's own result beside the stream's (media elements add 23 to 26).
constexpr int kPigNoMedia = 8;

// What pig_draw is asked to draw.
struct PigDrawRequest {
    plat::DcHandle dc{};
    int32_t metafile = 0; // the window origin is set and not restored; 84 and 152 are off
    MemHandle picture{};
    int32_t file_slot = 0;
    const Point* origin = nullptr; // where the picture's top-left lands; null: its own place
    PigRectRoutine rect_routine = nullptr; // null: every element is drawn where it is
    void* further[2] = {}; // carried for the cached path
    PigHandler text = nullptr; // opcodes 152, 153, 154 for this run; null skips them
    PigHandler ole = nullptr;
    PigHandler media = nullptr;
    PigElementRoutine element = nullptr; // opcode 7
    uint32_t caller_data = 0;
};

// A drawing run: the stream and what its handlers draw with.
struct PigDrawRun : PigStream {
    plat::DcHandle dc{};
    uint32_t caller_data = 0;
    PigRectRoutine rect_routine = nullptr;
    void* further[2] = {};
    DrawStyle run_style;
};

int pig_draw(const PigDrawRequest* request);
// pig_draw with the standard embedded-object handlers; the icon and text mode are for them.
int pig_draw_into(MemHandle picture, int32_t file_slot, plat::DcHandle dc, int32_t metafile, uint32_t icon,
    int text_mode, const Point* origin);
// Metafiles are not made on this system: always null.
MemHandle pig_to_metafile(MemHandle picture, int32_t file_slot, uint32_t icon, int text_mode);
// A screen-compatible bitmap of the picture's bounds on white; null on failure or when the
// bounds are empty or larger than kPigBitmapMaxSide.
plat::GdiObject pig_to_bitmap(MemHandle picture, int32_t file_slot, uint32_t icon, int text_mode,
    plat::GdiObject palette);
// A packed DIB of pig_to_bitmap's bitmap with the palette's colours; null on failure.
MemHandle pig_to_dib(MemHandle picture, int32_t file_slot, uint32_t icon, int text_mode, plat::GdiObject palette);
// Draws the picture at its own coordinates into a white offscreen bitmap of (bounds right) x
// (bounds bottom) and stretches source to destination: 0, 4 or pig_draw's error.
int pig_draw_stretched(plat::DcHandle dc, MemHandle picture, int32_t file_slot, const Rect* source,
    const Rect* destination);
// Draws the part inside source so that its top-left lands on destination's top-left.
int pig_draw_clipped(plat::DcHandle dc, MemHandle picture, int32_t file_slot, const Rect* source,
    const Rect* destination, PigDrawRequest* request);

// Offscreen pictures larger than this on a side are refused: a damaged header may claim
// 32767 x 32767.
constexpr int32_t kPigBitmapMaxSide = 4096;

// The colour that shapes drawn in mode 3 use; white at start.
uint32_t pig_background_color();
uint32_t pig_set_background_color(uint32_t color);

// For drawing a picture scaled: the window rectangle (picture coordinates) maps onto the
// viewport rectangle (device pixels), MM_ANISOTROPIC; pig_map_reset goes back to MM_TEXT with
// both origins at (0, 0).
void pig_map_scaled(plat::DcHandle dc, const Rect* viewport, const Rect* window);
void pig_map_reset(plat::DcHandle dc);

// Frees the draw table (shutdown).
void pig_draw_table_free();

// The colour-table block: a 40-byte BITMAPINFOHEADER and at least 256 entries.
constexpr size_t kPigColorTableEntries = 256;
// Opcode 86 into a style's block (made when missing): 0 or 4.
int pig_color_table_set(DrawStyle* style, const PigStream* stream);
// A block for the style when it has none: 0 or 4.
int pig_color_table_make(DrawStyle* style, uint32_t entries);

// The points of a polygon record (opcode 141), the first appended when close is set and the
// ends differ; false when the count does not fit the record.
bool pig_polygon_points(const PigStream* stream, bool close, std::vector<Point>& out);

// Images (opcodes 96 and 101) and the stored-record layouts they share with hit testing.
int pig_draw_image(PigDrawRun* run);
