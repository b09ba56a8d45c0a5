// Coordinate mapping of device contexts: MM_TEXT (device = logical - window origin +
// viewport origin) and MM_ANISOTROPIC (the same, scaled by viewport extent / window extent,
// rounded to the nearest pixel). Results are kept within +-2^28 so that later arithmetic
// cannot overflow.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/window_types.h"

namespace plat {

enum : int {
    MM_TEXT = 1,
    MM_ISOTROPIC = 7, // kept as anisotropic: the extents are not adjusted to equal scales
    MM_ANISOTROPIC = 8,
};

struct DcMapping {
    int mode = MM_TEXT;
    Point window_org;
    Point viewport_org;
    Size window_ext{1, 1};
    Size viewport_ext{1, 1};
};

// SetMapMode: the previous mode; 0 for a bad DC or a mode other than the three above.
int set_map_mode(DcHandle dc, int mode);
int get_map_mode(DcHandle dc);
bool set_window_org_ex(DcHandle dc, int32_t x, int32_t y, Point* previous);
bool get_window_org_ex(DcHandle dc, Point& out);
bool offset_window_org_ex(DcHandle dc, int32_t dx, int32_t dy, Point* previous);
bool set_viewport_org_ex(DcHandle dc, int32_t x, int32_t y, Point* previous);
bool get_viewport_org_ex(DcHandle dc, Point& out);
bool offset_viewport_org_ex(DcHandle dc, int32_t dx, int32_t dy, Point* previous);
// Extents change only in MM_ANISOTROPIC and MM_ISOTROPIC (elsewhere the call is ignored and
// answers true); a zero extent is refused.
bool set_window_ext_ex(DcHandle dc, int32_t cx, int32_t cy, Size* previous);
bool get_window_ext_ex(DcHandle dc, Size& out);
bool set_viewport_ext_ex(DcHandle dc, int32_t cx, int32_t cy, Size* previous);
bool get_viewport_ext_ex(DcHandle dc, Size& out);
bool lp_to_dp(DcHandle dc, Point* points, int count);
bool dp_to_lp(DcHandle dc, Point* points, int count);

// For the GDI modules.
Point mapping_to_device(const DcMapping& mapping, Point logical);
Point mapping_to_logical(const DcMapping& mapping, Point device);
// A logical rectangle in device pixels, ordered (a flipped mapping swaps the sides).
Rect mapping_rect_to_device(const DcMapping& mapping, const Rect& logical);
// A logical width (pens) in device pixels, along x.
int32_t mapping_width_to_device(const DcMapping& mapping, int32_t width);
// Whether logical and device units are the same size (so blits need no stretching).
bool mapping_is_unscaled(const DcMapping& mapping);

} // namespace plat
