// Geometric hit tests of shapes and the small geometry of motion paths. The test rectangle T
// is the pointer point +/- 2 (callers make it); pen is (line width, line height). Products
// are taken in 64 bits: coordinates of a whole stage square past 32 bits.
#pragma once
#include <cstdint>

#include "runtime/base/rect.h"

// Touching counts. A B whose top + bottom is 0 meets everything (callers pass such rectangles
// for "no limit").
bool rect_intersects(const Rect& a, const Rect& b);
bool hit_framed_rect(const Rect& test, const Rect& rect, Point pen, bool filled);
bool hit_ellipse(const Rect& test, const Rect& rect, Point pen, bool filled);
bool hit_line(const Rect& test, Point start, Point end, Point pen);
// The first edge hit goes to edge_index; a closed polygon also hits inside (odd crossings of a
// ray to the right).
bool hit_test_polygon(const Rect& test, int count, const Point* points, const Rect& bounds, Point pen, bool closed,
    int* edge_index);
// True when (x, y) lies inside the ellipse inscribed in rect.
bool hit_point_in_ellipse(int32_t x, int32_t y, const Rect& rect);

// The integer square root of dx^2 + dy^2.
int32_t dist_points(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// dx^2 + dy^2, and dx^2 in dx_squared when it is not null.
int64_t dist_points_squared(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int64_t* dx_squared);
// The foot of the perpendicular from (x, y) on the line through the two points.
Point point_project_on_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x, int32_t y);
