#include "runtime/base/fix.h"

#include <cmath>
#include <cstdlib>

// The largest value a Fixed holds, 0x7FFFFFFF / 65536.
constexpr long double kFixedLimit = 2147483647.0L / 65536.0L;

// sin(i / 16 radian) * 65536 for i = 0 to 25.
static const uint16_t kSineTable[26]
    = { 0, 4093, 8170, 12216, 16213, 20148, 24004, 27766, 31419, 34950, 38344, 41589, 44671, 47579,
          50301, 52827, 55146, 57250, 59130, 60780, 62192, 63361, 64283, 64953, 65370, 65532 };

static Fixed from_long_double(long double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= kFixedLimit)
        return kFixedMax;
    if (x <= -kFixedLimit)
        return kFixedMinFromFloat;
    return Fixed(x * 65536.0L); // truncates toward zero; in range by the tests above
}

Fixed fix_from_double(double x) { return from_long_double(x); }

static uint32_t magnitude(Fixed value)
{
    return value < 0 ? 0u - uint32_t(value) : uint32_t(value);
}

// q with the sign given, q already saturated to 31 bits.
static Fixed with_sign(uint32_t q, bool negative) { return negative ? -Fixed(q) : Fixed(q); }

Fixed fix_mul(Fixed a, Fixed b)
{
    uint64_t product = (uint64_t(magnitude(a)) * magnitude(b)) >> 16;
    uint32_t q = product > uint64_t(kFixedMax) ? uint32_t(kFixedMax) : uint32_t(product);
    return with_sign(q, (a < 0) != (b < 0));
}

Fixed fix_div(Fixed a, Fixed b)
{
    if (b == 0)
        return a < 0 ? kFixedMinFromDivision : kFixedMax;
    if (a >= -32768 && a < 32768) {
        // -32768 / -1 is the one quotient past 31 bits: it saturates.
        int64_t q = int64_t(a) * 65536 / b;
        return q > kFixedMax ? kFixedMax : Fixed(q);
    }
    uint32_t abs_a = magnitude(a);
    uint32_t abs_b = magnitude(b);
    uint32_t q;
    if (abs_a > 0xFFFFFF) {
        uint32_t d = abs_b >> 16;
        q = d == 0 ? uint32_t(kFixedMax) : abs_a / d;
    } else {
        uint32_t d = abs_b >> 8;
        q = d == 0 ? uint32_t(kFixedMax) : (abs_a << 8) / d;
    }
    if (q > uint32_t(kFixedMax))
        q = uint32_t(kFixedMax); // would flip the sign
    return with_sign(q, (a < 0) != (b < 0));
}

int32_t fix_isqrt(int32_t value)
{
    if (value <= 0)
        return 0;
    uint32_t rest = uint32_t(value);
    uint32_t root = 0;
    uint32_t bit = 1u << 30;
    while (bit > rest)
        bit >>= 2;
    for (; bit != 0; bit >>= 2) {
        if (rest >= root + bit) {
            rest -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
    }
    return int32_t(root);
}

Fixed fix_atan2(int32_t y, int32_t x)
{
    return from_long_double(std::atan2(static_cast<long double>(y), static_cast<long double>(x)));
}

Fixed fix_angle_of_points(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    // 64-bit differences: points far apart must not wrap to the opposite direction.
    long double dy = static_cast<long double>(int64_t(y2) - y1);
    long double dx = static_cast<long double>(int64_t(x2) - x1);
    return from_long_double(std::atan2(dy, dx));
}

static Fixed clamp_fixed(int64_t value)
{
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : Fixed(value);
}

Fixed fix_angle_normalize(Fixed angle, Fixed reference)
{
    int64_t a = angle;
    int64_t ref = reference;
    if (a < ref - kFixedHalfTurn)
        a += (ref - a + kFixedHalfTurn - 1) / kFixedFullTurn * kFixedFullTurn;
    if (a > ref + kFixedHalfTurn)
        a -= (a - ref + kFixedHalfTurn - 1) / kFixedFullTurn * kFixedFullTurn;
    return clamp_fixed(a);
}

Fixed fix_sin(Fixed angle)
{
    int32_t r = angle % kFixedFullTurn;
    int32_t sign = 1;
    if (r < 0) {
        r = -r;
        sign = -1;
    }
    if (r > kFixedHalfTurn) {
        sign = -sign;
        r -= kFixedHalfTurn;
    }
    if (r > kFixedQuarterTurn)
        r = kFixedHalfTurn - r;
    if (r == kFixedQuarterTurn)
        return sign * kFixedOne;
    int32_t i = r >> 12;
    int32_t s = kSineTable[i];
    int32_t c = i == 0 ? kFixedOne : kSineTable[26 - i];
    int32_t f = r & 0xFFF;
    // Bounded: f < 4096, c <= 65536, t < 70000, so no product passes 31 bits.
    int32_t t = s + ((f * c) >> 16);
    int32_t q = (((f * f) >> 10) * t) >> 16;
    return sign * (t - ((q * 192) >> 13));
}
