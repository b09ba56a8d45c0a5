#include "runtime/base/fix.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct BinaryCase {
    const char* name;
    Fixed a;
    Fixed b;
    Fixed expected;
};

TEST(Fixed, Division)
{
    static const BinaryCase kCases[] = {
        { "by zero", 65536, 0, kFixedMax },
        { "negative by zero", -1, 0, kFixedMinFromDivision },
        { "zero by zero", 0, 0, kFixedMax },
        { "half", 0x10000, 0x20000, 0x8000 },
        { "small negative", -0x8000, 0x10000, -0x8000 },
        { "smallest small a by -1 saturates", -32768, -1, kFixedMax },
        { "large a, magnitudes", 0x100000, 0x20000, 0x80000 },
        { "large negative a", -0x100000, 0x20000, -0x80000 },
        { "very large a", 0x1000000, 0x10000, 0x1000000 },
        { "divisor below 256 counts as zero", 100000, 0xFF, kFixedMax },
        { "divisor below 65536 for a very large a", 0x2000000, 0xFFFF, kFixedMax },
        { "smallest a by -1", INT32_MIN, -1, kFixedMax },
        { "quotient past 31 bits keeps its sign", INT32_MIN, 0x10000, -kFixedMax },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fix_div(c.a, c.b), c.expected);
    }
}

TEST(Fixed, Multiplication)
{
    static const BinaryCase kCases[] = {
        { "saturates", 0x7FFF0000, 0x20000, kFixedMax },
        { "saturates negative", -0x7FFF0000, 0x20000, -kFixedMax },
        { "sign", -0x10000, 0x18000, -0x18000 },
        { "both negative", -0x10000, -0x18000, 0x18000 },
        { "halves", 0x8000, 0x8000, 0x4000 },
        { "truncates", 1, 0x8000, 0 },
        { "smallest squared", INT32_MIN, INT32_MIN, kFixedMax },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fix_mul(c.a, c.b), c.expected);
    }
}

TEST(Fixed, FromDouble)
{
    struct Case {
        const char* name;
        double x;
        Fixed expected;
    };
    static const Case kCases[] = {
        { "too large", 40000.0, kFixedMax },
        { "too small", -40000.0, kFixedMinFromFloat },
        { "limit", 2147483647.0 / 65536.0, kFixedMax },
        { "just below the limit", 32767.9999, 2147483641 },
        { "minus one and a half", -1.5, -98304 },
        { "truncates toward zero", 0.99999, 65535 },
        { "truncates negative toward zero", -0.00001, 0 },
        { "NaN", std::numeric_limits<double>::quiet_NaN(), 0 },
        { "infinity", std::numeric_limits<double>::infinity(), kFixedMax },
        { "minus infinity", -std::numeric_limits<double>::infinity(), kFixedMinFromFloat },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fix_from_double(c.x), c.expected);
    }
}

TEST(Fixed, SquareRoot)
{
    static const int32_t kCases[][2] = {
        { -5, 0 },
        { 0, 0 },
        { 1, 1 },
        { 3, 1 },
        { 15, 3 },
        { 16, 4 },
        { 17, 4 },
        { 1000000, 1000 },
        { INT32_MAX, 46340 },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c[0]);
        EXPECT_EQ(fix_isqrt(c[0]), c[1]);
    }
}

TEST(Fixed, Angles)
{
    EXPECT_EQ(fix_atan2(0, 1), 0);
    EXPECT_EQ(fix_atan2(1, 0), 102943);
    EXPECT_EQ(fix_atan2(0, -1), 205887);
    EXPECT_EQ(fix_atan2(-1, 0), -102943);
    EXPECT_EQ(fix_atan2(0, 0), 0);
    EXPECT_EQ(fix_atan2(-3, -4), -163714);
    EXPECT_EQ(fix_angle_of_points(0, 0, 10, 10), 51471);
    // Differences past 32 bits keep their direction.
    EXPECT_EQ(fix_angle_of_points(INT32_MAX, 0, INT32_MIN, 0), 205887);

    struct Case {
        Fixed angle;
        Fixed reference;
        Fixed expected;
    };
    static const Case kNormalize[] = {
        { 5 + 2 * kFixedFullTurn, 0, 5 },
        { -kFixedHalfTurn - 1, 0, kFixedHalfTurn - 1 },
        { kFixedHalfTurn, 0, kFixedHalfTurn }, // exactly half a turn away stays
        { -kFixedHalfTurn, 0, -kFixedHalfTurn },
        { 0, 3 * kFixedFullTurn, 3 * kFixedFullTurn },
        { INT32_MIN, INT32_MAX, 2147340032 },
    };
    for (const auto& c : kNormalize) {
        SCOPED_TRACE(testing::Message() << c.angle << " near " << c.reference);
        Fixed result = fix_angle_normalize(c.angle, c.reference);
        EXPECT_EQ(result, c.expected);
    }
}

TEST(Fixed, SineAtKnownAngles)
{
    static const Fixed kCases[][2] = {
        { 0, 0 }, { kFixedQuarterTurn, 65536 }, { kFixedHalfTurn, 0 },
        { -kFixedQuarterTurn, -65536 }, { kFixedFullTurn + 4096, 4093 },
        { 3 * kFixedQuarterTurn, -65536 }, { 4096 * 25, 65532 }, // the last table entry
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c[0]);
        EXPECT_EQ(fix_sin(c[0]), c[1]);
    }
}

TEST(Fixed, SineFollowsTheCurveEverywhere)
{
    // Any table or shift mistake shows as a larger error somewhere on the turn.
    for (int64_t a = -2 * kFixedFullTurn; a <= 2 * kFixedFullTurn; a += 97) {
        double expected = std::sin(double(a) / 65536.0) * 65536.0;
        ASSERT_NEAR(fix_sin(Fixed(a)), expected, 48.0) << a; // the method is good to 47
        ASSERT_EQ(fix_sin(Fixed(-a)), -fix_sin(Fixed(a))) << a;
    }
    EXPECT_GE(fix_sin(INT32_MIN), -65536);
    EXPECT_LE(fix_sin(INT32_MAX), 65536);
}

} // namespace
