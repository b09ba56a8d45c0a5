// Rectangles of the display and of drag frames. Results that would leave 32 bits are clamped,
// so a rectangle from a damaged record cannot wrap round to the other side of the screen.
#pragma once
#include "platform/window/geometry.h"

#include <cstdint>

// The system's rectangle and point.
using Rect = plat::Rect;
using Point = plat::Point;

// Handle codes of a drag frame, clockwise from the top-left corner.
enum : int {
    kHandleTopLeft = 1,
    kHandleTop = 2,
    kHandleTopRight = 3,
    kHandleRight = 4,
    kHandleBottomRight = 5,
    kHandleBottom = 6,
    kHandleBottomLeft = 7,
    kHandleLeft = 8,
};

// rect_map flip flags: the target's x (1) or y (2) edges are swapped first.
enum : int { kRectFlipX = 1, kRectFlipY = 2 };

// The normalised rectangle spanned by two points.
Rect rect_from_points(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// ((left + right) / 2, (top + bottom) / 2), truncated toward zero.
Point rect_center(const Rect& rect);
void rect_center_on(Point point, Rect& rect);
void rect_move_to(int32_t x, int32_t y, Rect& rect);
// Moves rect into bounds; the left or top edge wins when it does not fit.
void rect_keep_inside(Rect& rect, const Rect& bounds);
// Clamps each edge into bounds.
void rect_clamp_into(const Rect& bounds, Rect& rect);
// 1 unless left < right and top < bottom.
int rect_is_empty(const Rect& rect);
// 1 when a and b overlap or touch (edges are inclusive).
int rect_overlaps(const Rect& a, const Rect& b);
// Maps rect from the reference rectangle from into to; a zero-sized reference counts as 1.
void rect_map(Rect& rect, const Rect& from, const Rect& to, int flip);
void rect_map_point(Point& point, const Rect& from, const Rect& to, int flip);

// The movement a drag handle applies; (0, 0) for other codes.
Point rect_handle_delta(int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, int handle);
// The handle across the frame; 0 for other codes.
int rect_opposite_handle(int handle);
// The corner (1, 3, 5 or 7) that (x1, y1) is of the rectangle it spans with (x2, y2).
int rect_corner_code(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// Bit 0: the drag crosses the frame's x edge; bit 1: its y edge.
int rect_handle_flip(int32_t dx, int32_t dy, int handle, int32_t x, int32_t y);
