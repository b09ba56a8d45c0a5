// GDI objects: pens, brushes, bitmaps, palettes, regions and fonts under 32-bit ids in one
// table, with Win32's lifetime rules. Stock objects are never deleted (deleting one answers
// true and changes nothing). An object selected into a device context (current or saved
// state) is held: deleting a held bitmap fails, deleting a held pen, brush, palette or font
// succeeds but the object lives on until the last DC lets it go, and its handle can no longer
// be selected or asked about.
#pragma once
#include <cstdint>
#include <variant>
#include <vector>

#include "platform/gdi/pixels.h"
#include "platform/gdi/region.h"
#include "platform/window/window_types.h"

namespace plat {

// GetObjectType answers, and the kinds of the table.
enum : int {
    OBJ_PEN = 1,
    OBJ_BRUSH = 2,
    OBJ_DC = 3,
    OBJ_PAL = 5,
    OBJ_FONT = 6,
    OBJ_BITMAP = 7,
    OBJ_REGION = 8,
    OBJ_MEMDC = 10,
};

// GetStockObject indices.
enum : int {
    WHITE_BRUSH = 0,
    LTGRAY_BRUSH = 1,
    GRAY_BRUSH = 2,
    DKGRAY_BRUSH = 3,
    BLACK_BRUSH = 4,
    NULL_BRUSH = 5,
    HOLLOW_BRUSH = 5,
    WHITE_PEN = 6,
    BLACK_PEN = 7,
    NULL_PEN = 8,
    OEM_FIXED_FONT = 10,
    ANSI_FIXED_FONT = 11,
    ANSI_VAR_FONT = 12,
    SYSTEM_FONT = 13,
    DEVICE_DEFAULT_FONT = 14,
    DEFAULT_PALETTE = 15,
    SYSTEM_FIXED_FONT = 16,
    DEFAULT_GUI_FONT = 17,
};

// Pen styles. Dashed and dotted styles draw solid; PS_INSIDEFRAME draws as PS_SOLID.
enum : int {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5,
    PS_INSIDEFRAME = 6,
};

// Brush styles (LOGBRUSH).
enum : int {
    BS_SOLID = 0,
    BS_NULL = 1,
    BS_HOLLOW = 1,
    BS_HATCHED = 2,
    BS_PATTERN = 3,
};

struct LogPen {
    int style = PS_SOLID;
    Point width; // x is the width; y is unused, as in LOGPEN
    uint32_t color = 0;
};

struct LogBrush {
    int style = BS_SOLID;
    uint32_t color = 0;
    uintptr_t hatch = 0; // BS_PATTERN: the bitmap's id
};

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
    bool operator==(const PaletteEntry&) const = default;
};

// What the table keeps of each kind.
struct PenData {
    int style = PS_SOLID;
    int32_t width = 1; // logical units; 0 draws one pixel wide
    uint32_t color = 0; // COLORREF, palette forms included
};

// An 8 x 8 (or smaller, tiled) pattern: bits for a monochrome bitmap's pattern (0 takes the
// text colour, 1 the background colour when drawn), else 0x00RRGGBB colours.
struct PatternData {
    int32_t width = 0;
    int32_t height = 0;
    bool mono = true;
    uint32_t cells[64] = {}; // row-major, 8 per row
};

struct BrushData {
    int style = BS_SOLID;
    uint32_t color = 0; // COLORREF for BS_SOLID
    PatternData pattern;
};

struct BitmapData {
    Pixmap pixmap;
    bool discardable = false;
    bool discarded = false; // pixels freed; the bitmap can no longer be selected
};

struct PaletteData {
    std::vector<PaletteEntry> entries;
};

struct FontData {
    uint32_t payload = 0; // the font module's own id
};

struct GdiRecord {
    int kind = 0; // OBJ_ value
    bool stock = false;
    bool delete_pending = false;
    uint32_t holds = 0;  // DC states that hold it
    DcHandle selected_in; // bitmaps: the memory DC holding it
    std::variant<PenData, BrushData, BitmapData, PaletteData, Region, FontData> data;
};

// Programs' calls.
GdiObject get_stock_object(int index);
// A solid brush of a system colour; such brushes are stock objects.
GdiObject get_sys_color_brush(int index);
bool delete_object(GdiObject object);
int get_object_type(GdiObject object);
GdiObject create_pen(int style, int32_t width, uint32_t color);
GdiObject create_pen_indirect(const LogPen& pen);
GdiObject create_solid_brush(uint32_t color);
// From the top-left 8 x 8 pixels of a bitmap (smaller bitmaps tile); the bitmap can be deleted
// afterwards.
GdiObject create_pattern_brush(GdiObject bitmap);
GdiObject create_brush_indirect(const LogBrush& brush);
// GetObject for pens and brushes; false for a handle of another kind.
bool get_object(GdiObject pen, LogPen& out);
bool get_object(GdiObject brush, LogBrush& out);
// UnrealizeObject: nothing to undo on a true-colour screen; false for a bad handle.
bool unrealize_object(GdiObject object);

// For the GDI modules.
// The record of a live object; with pending, also one deleted while a DC holds it.
enum class GdiLookup { live, pending };
GdiRecord* gdi_find(GdiObject object, GdiLookup lookup = GdiLookup::live);
template <typename T>
T* gdi_data(GdiObject object, GdiLookup lookup = GdiLookup::live)
{
    GdiRecord* record = gdi_find(object, lookup);
    return record ? std::get_if<T>(&record->data) : nullptr;
}
// Adds a record; null (error 8) when the table is full.
GdiObject gdi_add(GdiRecord record);
// A DC state takes or lets go of an object; the last let-go of a deleted object frees it.
void gdi_hold(GdiObject object);
void gdi_release(GdiObject object);
// The 1 x 1 monochrome bitmap every new memory DC holds (a stock object: any number of DCs
// may hold it).
GdiObject gdi_default_bitmap();
// Frees the pixels of discardable bitmaps no DC holds, as memory pressure would.
void gdi_discard_bitmaps();

// For the font module: font objects carry its own id; release is called when one is freed
// (gdi_reset drops them without it: the font module resets its own table), stock_font
// answers the id for a stock font index (0: none).
GdiObject gdi_add_font(uint32_t payload);
void gdi_set_font_hooks(void (*release)(uint32_t payload), uint32_t (*stock_font)(int index));

// Drops every object (the window layer's reset calls it through dc_reset).
void gdi_reset();

} // namespace plat
