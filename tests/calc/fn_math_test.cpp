// Random through the function table: every reachable value comes, no other, and each has the
// type its rule gives (whole numbers as integers, a zero step always real).
#include <cstdlib>
#include <set>

#include <gtest/gtest.h>

#include "runtime/calc/sysfn_table.h"
#include "tests/calc/compile_fixture.h"

namespace {

constexpr int kRandom = kSysFnFirstId + 42;

class RandomTest : public calctest::FunctionTableTest {
protected:
    ScriptValue call(double low, double high, double step)
    {
        ScriptValue args[3], result;
        val_set_real(low, args[0]);
        val_set_real(high, args[1]);
        val_set_real(step, args[2]);
        val_init(result);
        EXPECT_EQ(sysfn_call(0, kRandom, 3, args, result), 0);
        return result;
    }
};

TEST_F(RandomTest, StepsBoundsAndTypes)
{
    static const struct {
        const char* name;
        double low, high, step;
        std::set<double> reachable;
    } kRows[] = {
        { "a die", 1, 6, 1, { 1, 2, 3, 4, 5, 6 } },
        { "bounds swapped", 6, 1, 1, { 1, 2, 3, 4, 5, 6 } },
        { "a negative step counts as positive", 1, 6, -2, { 1, 3, 5 } },
        { "half steps", 1, 2, 0.5, { 1, 1.5, 2 } },
    };
    std::srand(7);
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        std::set<double> seen;
        for (int i = 0; i < 3000; ++i) {
            ScriptValue r = call(row.low, row.high, row.step);
            double x = val_type(r) == kValInteger ? val_integer(r) : val_real(r);
            EXPECT_EQ(val_type(r), x == int(x) ? kValInteger : kValReal) << x;
            seen.insert(x);
        }
        EXPECT_EQ(seen, row.reachable);
    }
}

TEST_F(RandomTest, ZeroStepGivesRealsWithinBothBounds)
{
    std::srand(11);
    for (int i = 0; i < 1000; ++i) {
        ScriptValue r = call(0, 1, 0);
        ASSERT_EQ(val_type(r), kValReal);
        EXPECT_GE(val_real(r), 0.0);
        EXPECT_LE(val_real(r), 1.0);
    }
    ScriptValue r = call(0, 1e308 * 10, 1);
    EXPECT_EQ(val_type(r), kValInteger); // infinite bounds: a defined 0, not a NaN
    EXPECT_EQ(val_integer(r), 0);
}

} // namespace
