// 16.16 fixed-point maths of motion paths, clock hands and elapsed time. Positions computed
// here are visible on screen, so each function keeps its exact rounding; results that do not
// fit saturate instead of trapping or wrapping.
#pragma once
#include <cstdint>

using Fixed = int32_t; // value / 65536

constexpr Fixed kFixedOne = 0x10000;
constexpr Fixed kFixedMax = 0x7FFFFFFF;
constexpr Fixed kFixedMinFromFloat = int32_t(0x80000001u);
constexpr Fixed kFixedMinFromDivision = int32_t(0x80000000u);

// Angles are 16.16 radians.
constexpr Fixed kFixedFullTurn = 411776;
constexpr Fixed kFixedHalfTurn = 205888;
constexpr Fixed kFixedQuarterTurn = 102944;

// x * 65536 truncated toward zero; kFixedMax / kFixedMinFromFloat beyond +-32767.99998;
// NaN gives 0.
Fixed fix_from_double(double x);
// |a| * |b| / 65536 truncated, kFixedMax when it needs more than 31 bits, with the product's
// sign.
Fixed fix_mul(Fixed a, Fixed b);
// a / b; division by 0 gives kFixedMinFromDivision for negative a, else kFixedMax.
Fixed fix_div(Fixed a, Fixed b);
// The square root truncated; 0 for 0 and below.
int32_t fix_isqrt(int32_t value);
// The angle of (x, y), -pi to pi.
Fixed fix_atan2(int32_t y, int32_t x);
Fixed fix_angle_of_points(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// The angle moved by whole turns to within half a turn of reference.
Fixed fix_angle_normalize(Fixed angle, Fixed reference);
// 16.16 sine by table and correction terms.
Fixed fix_sin(Fixed angle);
