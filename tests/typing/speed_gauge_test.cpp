#include "typing/speed_gauge.h"

#include "test_util.h"

#include <vector>

namespace {

constexpr uint32_t kPaper = 0x2050A0;
constexpr int kSide = 140;

class SpeedGauge : public ::testing::Test {
protected:
    void SetUp() override { plat::dc_reset(); }
    void TearDown() override { plat::dc_reset(); }
    static Gauge centred()
    {
        Gauge gauge;
        gauge.cx = kSide / 2;
        gauge.cy = kSide / 2;
        return gauge;
    }
    static std::vector<uint32_t> pixels(Canvas& canvas)
    {
        std::vector<uint32_t> all;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                all.push_back(canvas.at(x, y));
        return all;
    }
};

TEST_F(SpeedGauge, AQuarterTurnSweepsTheRingOnlyAndASecondSweepRestoresIt)
{
    Canvas canvas(kSide, kSide, kPaper);
    const std::vector<uint32_t> before = pixels(canvas);
    Gauge gauge = centred();
    // From 0 to 200 the differences across and down are nearly equal: it must still be drawn.
    ASSERT_TRUE(gauge_sweep(canvas.dc, gauge, 200));
    EXPECT_EQ(gauge.value, 200);
    const int c = kSide / 2;
    static const struct {
        const char* name;
        int dx, dy;
        bool swept;
    } kPoints[] = {
        {"in the ring, between 12 and 3 o'clock", 15, -15, true},
        {"inside the inner diamond", 5, -5, false},
        {"outside the outer diamond", 30, -30, false},
        {"in the ring before 12 o'clock", -15, -15, false},
        {"in the ring after 3 o'clock", 15, 15, false},
    };
    for (const auto& point : kPoints) {
        SCOPED_TRACE(point.name);
        EXPECT_EQ(canvas.at(c + point.dx, c + point.dy) != kPaper, point.swept);
    }
    ASSERT_TRUE(gauge_sweep(canvas.dc, gauge, 0));
    EXPECT_EQ(pixels(canvas), before);
}

TEST_F(SpeedGauge, OnlyAChangeSmallBothWaysIsSkipped)
{
    static const struct {
        const char* name;
        int32_t from, to;
        bool drawn;
    } kCases[] = {
        {"the same value", 300, 300, false},
        {"a quarter turn", 0, 200, true},
        {"half a turn back", 400, 0, true},
        {"one stroke near the top", 0, 1, true}, // about 40 units across
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        Canvas canvas(kSide, kSide, kPaper);
        Gauge gauge = centred();
        gauge.value = row.from;
        EXPECT_EQ(gauge_sweep(canvas.dc, gauge, row.to), row.drawn);
        EXPECT_EQ(gauge.value, row.drawn ? row.to : row.from);
    }
}

TEST_F(SpeedGauge, DirectionPointsUseRealArithmetic)
{
    Gauge gauge = centred();
    const plat::Point quarter = gauge_direction(gauge, 200);
    EXPECT_EQ(quarter.x - gauge.cx, 5099); // an integer v / 800 would be 0 here
    EXPECT_EQ(gauge.cy - quarter.y, 4);
}

} // namespace
