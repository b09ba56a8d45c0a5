// Where a shown picture goes: the position rules of the icons that show pictures, computed from
// the icon's position expressions, its stored point, its reference to another icon's object,
// its motion path or its range rectangle.
#pragma once
#include "runtime/base/rect.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

// Position properties.
constexpr uint16_t kPropPositionPoint = 5;      // two i16
constexpr uint16_t kPropPositionReference = 12; // i16 node, u16 object kind, i16 x, i16 y
constexpr uint16_t kPropPositionPath = 15;      // motion path segments
constexpr uint16_t kPropPositionRange = 16;     // four i16: x0, y0, x1, y1
constexpr uint16_t kPropPositionX = 1025;
constexpr uint16_t kPropPositionY = 1026;
constexpr uint16_t kPropRangeStartX = 1027;
constexpr uint16_t kPropRangeStartY = 1028;
constexpr uint16_t kPropRangeEndX = 1029;
constexpr uint16_t kPropRangeEndY = 1030;
// Computed attribute 5: the positioning rule.
constexpr uint32_t kAttrPositioning = 5;

enum Positioning : int {
    kPositionByValues = 0,
    kPositionAtPoint = 1,
    kPositionOnPath = 2,
    kPositionOnLine = 3,
    kPositionInArea = 4,
};

// The range ends a rule used (and, on a path, the fraction reached), from which a later motion
// of the object starts.
struct DisplayRange {
    double x_start = 0;
    double x_end = 0;
    double y_start = 0;
    double y_end = 0;
    int32_t reached = 0; // 16.16
};

// What positioning needs of the motion executor. Empty entries: no path loads (the object
// stays where it is), no range is kept.
struct DisplayPositionHooks {
    // The point at the 16.16 fraction of the path the icon's property 15 holds.
    bool (*path_point)(IconId icon, int32_t fraction, Point& out);
    void (*keep_range)(IconId icon, const DisplayRange& range);
};
void icon_display_set_position_hooks(const DisplayPositionHooks* hooks);

// The coordinate between a and b at the 16.16 fraction, rounded; 64-bit, so that no range or
// fraction overflows, and clamped to 32 bits.
int32_t icon_display_interpolate(int32_t a, int32_t b, int32_t fraction);
// (value - start) / (end - start) in 16.16, limited to 0..1; 1 when the ends are equal.
int32_t icon_display_fraction(double value, double start, double end);
// The rule of the icon's positioning for an object of these bounds: true with the point the
// object is to be centred on; false when the rule does not move the object (point as the rule
// left it).
bool icon_display_position(IconId icon, const Rect& bounds, Point& point);
