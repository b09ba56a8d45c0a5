// Device contexts. A window DC draws into its top-level window's surface, moved to the
// window's origin and clipped to the window's visible area (in begin_paint also to the update
// region), and tells the backend what changed; a memory DC draws into the bitmap selected
// into it (a 1 x 1 monochrome bitmap at first); the screen DC (get_dc of no window,
// create_dc "DISPLAY") and information contexts answer questions and make compatible objects
// but show nothing. Each DC keeps Win32's attributes, saved and restored by save_dc and
// restore_dc. Clip regions and coordinate mapping are gdi/clip.h and gdi/mapping.h.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/gdi/clip.h"
#include "platform/gdi/gdi_object.h"
#include "platform/window/geometry.h"
#include "platform/gdi/mapping.h"
#include "platform/window/message.h"
#include "platform/gdi/pixels.h"
#include "platform/gdi/region.h"
#include "platform/gdi/rop.h"
#include "platform/gdi/surface.h"
#include "platform/window/window_types.h"

namespace plat {

// Background modes.
enum : int {
    TRANSPARENT = 1,
    OPAQUE = 2,
};

// Stretch modes.
enum : int {
    BLACKONWHITE = 1,
    WHITEONBLACK = 2,
    COLORONCOLOR = 3,
    HALFTONE = 4,
};

// GetDeviceCaps indices and answers.
enum : int {
    DRIVERVERSION = 0,
    TECHNOLOGY = 2,
    HORZSIZE = 4,
    VERTSIZE = 6,
    HORZRES = 8,
    VERTRES = 10,
    BITSPIXEL = 12,
    PLANES = 14,
    NUMBRUSHES = 16,
    NUMPENS = 18,
    NUMFONTS = 22,
    NUMCOLORS = 24,
    CURVECAPS = 28,
    LINECAPS = 30,
    POLYGONALCAPS = 32,
    TEXTCAPS = 34,
    CLIPCAPS = 36,
    RASTERCAPS = 38,
    ASPECTX = 40,
    ASPECTY = 42,
    ASPECTXY = 44,
    LOGPIXELSX = 88,
    LOGPIXELSY = 90,
    SIZEPALETTE = 104,
    NUMRESERVED = 106,
    COLORRES = 108,
    DT_RASDISPLAY = 1,
    RC_BITBLT = 0x0001,
    RC_BITMAP64 = 0x0008,
    RC_DI_BITMAP = 0x0080,
    RC_PALETTE = 0x0100,
    RC_DIBTODEV = 0x0200,
    RC_STRETCHBLT = 0x0800,
    RC_FLOODFILL = 0x1000,
    RC_STRETCHDIB = 0x2000,
};

// GetDC (client area; no window: the screen DC) and GetWindowDC (whole window); ReleaseDC
// answers 1 when released.
DcHandle get_dc(WindowHandle window);
DcHandle get_window_dc(WindowHandle window);
int release_dc(WindowHandle window, DcHandle dc);
WindowHandle window_from_dc(DcHandle dc);
// CreateCompatibleDC: a memory DC (null dc: compatible with the screen).
DcHandle create_compatible_dc(DcHandle dc);
// CreateDC and CreateIC of the display ("DISPLAY"); other devices are not there (null).
DcHandle create_dc(std::string_view driver);
DcHandle create_ic(std::string_view driver);
// DeleteDC: memory, screen and information DCs; their selected objects are let go.
bool delete_dc(DcHandle dc);

// SelectObject: the previous object of the kind, or null when the DC or object is bad, the
// object was deleted, or a bitmap is held by another DC or cannot be selected. A region
// becomes the clip region (a copy) and the answer is its kind (NULLREGION ...) as a handle
// value, as in Win32.
GdiObject select_object(DcHandle dc, GdiObject object);
// GetCurrentObject with OBJ_PEN, OBJ_BRUSH, OBJ_PAL, OBJ_FONT, OBJ_BITMAP.
GdiObject get_current_object(DcHandle dc, int type);

// SaveDC: the new depth (0 on failure); RestoreDC: a depth, or -n for the n-th latest.
int save_dc(DcHandle dc);
bool restore_dc(DcHandle dc, int saved);

// Attributes: each setter answers the previous value (CLR_INVALID or 0 for a bad DC).
uint32_t set_text_color(DcHandle dc, uint32_t color);
uint32_t get_text_color(DcHandle dc);
uint32_t set_bk_color(DcHandle dc, uint32_t color);
uint32_t get_bk_color(DcHandle dc);
int set_bk_mode(DcHandle dc, int mode);
int get_bk_mode(DcHandle dc);
int set_rop2(DcHandle dc, int mode);
int get_rop2(DcHandle dc);
int set_stretch_blt_mode(DcHandle dc, int mode);
int get_stretch_blt_mode(DcHandle dc);
int set_poly_fill_mode(DcHandle dc, int mode);
int get_poly_fill_mode(DcHandle dc);
// The brush origin is in device pixels.
bool set_brush_org_ex(DcHandle dc, int32_t x, int32_t y, Point* previous);
bool get_brush_org_ex(DcHandle dc, Point& out);

// GetDeviceCaps of the true-colour raster display (memory DCs answer the same).
int get_device_caps(DcHandle dc, int index);

// FillRect: brush is a brush or a system colour index + 1 (COLOR_WINDOW + 1), as class
// backgrounds store them. Answers 0 for a bad DC or brush.
int fill_rect(DcHandle dc, const Rect& rect, GdiObject brush);

// Where a window DC's drawing lands: surface pixel = logical point + origin (MM_TEXT, no
// window origin), inside clip (surface coordinates). False for a DC that is not a window's or
// whose window is gone.
struct DcTarget {
    WindowHandle window;
    Surface* surface = nullptr;
    Point origin;
    RectList clip;
};
bool dc_target(DcHandle dc, DcTarget& out);
// Tells the backend that pixels of a window DC's surface changed (device coordinates).
void dc_mark_changed(DcHandle dc, const Rect& rect);

// For the window layer: a DC over the client area or the whole window, its drawing limited to
// limit (client coordinates) when one is given. Closed with dc_close.
enum class DcArea { client, window };
DcHandle dc_open(WindowHandle window, DcArea area, const RectList* limit);
void dc_close(DcHandle dc);
// The pixel of a solid brush or system colour index + 1; false for the null brush, a
// pattern brush or an unknown one.
bool dc_brush_pixel(GdiObject brush, uint32_t& pixel);
// The visible part of a window in its top-level window's surface coordinates.
RectList dc_visible_rects(WindowHandle window, DcArea area);

// For the GDI modules.
enum class DcKind : uint8_t { window, memory, screen, info };

// What save_dc keeps.
struct DcAttributes {
    GdiObject pen;
    GdiObject brush;
    GdiObject bitmap; // memory DCs
    GdiObject palette;
    GdiObject font;
    uint32_t text_color = 0x000000;
    uint32_t bk_color = 0xFFFFFF;
    int bk_mode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int stretch_mode = BLACKONWHITE;
    int poly_fill_mode = ALTERNATE;
    bool background_palette = false;
    DcMapping mapping;
    Point brush_org;
    Point position; // the current position of move_to_ex and line_to
    uint32_t text_align = 0; // TA_LEFT | TA_TOP | TA_NOUPDATECP
    int32_t text_extra = 0;  // set_text_character_extra
    bool clipped = false;
    Region clip; // device coordinates, when clipped
};

struct DcRecord {
    DcKind kind = DcKind::memory;
    WindowHandle window;
    DcArea area = DcArea::client;
    Point origin;     // window DCs: the surface position of device (0, 0)
    RectList visible; // window DCs: surface coordinates
    DcAttributes attr;
    std::vector<DcAttributes> saved;
};

// The record of a DC; good until the next DC is made or deleted.
DcRecord* dc_find(DcHandle dc);
// The device's whole area in device coordinates: the window's client area or window
// rectangle, the selected bitmap, or the screen.
Rect dc_device_rect(const DcRecord& record);

// Frees every DC and every GDI object (the window layer's reset).
void dc_reset();

} // namespace plat
