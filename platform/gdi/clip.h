// Clip regions of device contexts. A DC draws where its device's visible area (a window's
// visible part, a bitmap's pixels) and its own clip region (device coordinates, none at
// first) both allow. Rectangles passed to the clip calls are logical and mapped first.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/gdi/region.h"
#include "platform/window/window_types.h"

namespace plat {

// SelectClipRgn: a copy of the region becomes the clip region; null removes it. The answer
// is the kind of the area now drawable, REGION_ERROR for a bad DC or region.
int select_clip_rgn(DcHandle dc, GdiObject region);
// ExtSelectClipRgn: combines the region with the clip region (mode RGN_AND ...; a missing
// clip region counts as the whole device). RGN_COPY with a null region removes the clip.
int ext_select_clip_rgn(DcHandle dc, GdiObject region, int mode);
// select_clip_rgn of a region holding just the device rectangle (ordered; an empty one leaves
// nothing drawable) without a region object or the answer's work: drawing loops select one
// per object. False for a bad DC.
bool select_clip_rect(DcHandle dc, const Rect& device);
int exclude_clip_rect(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int intersect_clip_rect(DcHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int offset_clip_rgn(DcHandle dc, int32_t dx, int32_t dy);
// GetClipBox: the bounds of the drawable area, logical coordinates.
int get_clip_box(DcHandle dc, Rect& rect);
// GetClipRgn: 1 and a copy in region when the DC has a clip region, 0 when not, -1 on error.
int get_clip_rgn(DcHandle dc, GdiObject region);
bool pt_visible(DcHandle dc, int32_t x, int32_t y);
bool rect_visible(DcHandle dc, const Rect& rect);

// For the GDI modules: the drawable area in device coordinates.
bool clip_device_region(DcHandle dc, Region& out);

} // namespace plat
