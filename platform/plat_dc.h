// Device contexts of windows and solid brushes: the part of GDI that the window layer needs to
// erase backgrounds and draw frames. A window's DC draws into its top-level window's surface,
// moved to the window's origin and clipped to the window's visible area (in begin_paint also
// to the update region). The GDI layer builds the rest of drawing on dc_target.
#pragma once
#include <cstdint>

#include "platform/plat_geometry.h"
#include "platform/plat_message.h"
#include "platform/plat_surface.h"
#include "platform/plat_window_types.h"

namespace plat {

// GetStockObject indices of the brushes.
enum : int {
    WHITE_BRUSH = 0,
    LTGRAY_BRUSH = 1,
    GRAY_BRUSH = 2,
    DKGRAY_BRUSH = 3,
    BLACK_BRUSH = 4,
    NULL_BRUSH = 5,
    HOLLOW_BRUSH = 5,
};

// GetClipBox answers.
enum : int {
    REGION_ERROR = 0,
    NULLREGION = 1,
    SIMPLEREGION = 2,
    COMPLEXREGION = 3,
};

GdiObject create_solid_brush(uint32_t color);
// GetStockObject: null for an index that names no brush yet.
GdiObject get_stock_object(int index);
GdiObject get_sys_color_brush(int index);
// DeleteObject: stock and system-colour brushes stay (and the answer is true, as in Win32).
bool delete_object(GdiObject object);

// GetDC (client area) and GetWindowDC (whole window); ReleaseDC answers 1 when released.
DcHandle get_dc(WindowHandle window);
DcHandle get_window_dc(WindowHandle window);
int release_dc(WindowHandle window, DcHandle dc);
WindowHandle window_from_dc(DcHandle dc);

// FillRect: brush is a brush or a system colour index + 1 (COLOR_WINDOW + 1), as class
// backgrounds store them. Answers 0 for a bad DC or brush.
int fill_rect(DcHandle dc, const Rect& rect, GdiObject brush);
// GetClipBox: the bounds of the drawable area in the DC's coordinates.
int get_clip_box(DcHandle dc, Rect& rect);

// Where a DC's drawing lands: surface pixel = logical point + origin, inside clip (surface
// coordinates). False for a DC that does not exist or whose window is gone.
struct DcTarget {
    WindowHandle window;
    Surface* surface = nullptr;
    Point origin;
    RectList clip;
};
bool dc_target(DcHandle dc, DcTarget& out);
// Tells the backend that pixels of the DC's surface changed (logical coordinates).
void dc_mark_changed(DcHandle dc, const Rect& rect);

// For the window layer: a DC over the client area or the whole window, its drawing limited to
// limit (client coordinates) when one is given. Closed with dc_close.
enum class DcArea { client, window };
DcHandle dc_open(WindowHandle window, DcArea area, const RectList* limit);
void dc_close(DcHandle dc);
// The pixel of a solid brush or system colour index + 1; false for the null brush or an
// unknown one.
bool dc_brush_pixel(GdiObject brush, uint32_t& pixel);
// The visible part of a window in its top-level window's surface coordinates.
RectList dc_visible_rects(WindowHandle window, DcArea area);

void dc_reset();

} // namespace plat
