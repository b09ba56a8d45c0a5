#include "runtime/base/sort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

int g_compares = 0;

int compare_ints(const void* a, const void* b)
{
    g_compares++;
    int x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return (x > y) - (x < y);
}

TEST(SortTest, SortedInputCostsCountMinusOneCompares)
{
    std::vector<int> values{1, 2, 2, 5, 9};
    std::vector<int> before = values;
    g_compares = 0;
    sort_array(values.data(), values.size(), sizeof(int), compare_ints);
    EXPECT_EQ(g_compares, 4);
    EXPECT_EQ(values, before);
    g_compares = 0;
    sort_array(values.data(), 1, sizeof(int), compare_ints);
    sort_array(values.data(), 0, sizeof(int), compare_ints);
    EXPECT_EQ(g_compares, 0);
}

TEST(SortTest, SortsEveryShapeWithoutGoingQuadratic)
{
    struct Case {
        const char* name;
        int (*value)(int i, int count);
    };
    static const Case kCases[] = {
        {"random", [](int i, int) { return int(uint32_t(i) * 2654435761u % 100000); }},
        {"reversed", [](int i, int count) { return count - i; }},
        {"all equal", [](int, int) { return 3; }},
        {"two values", [](int i, int) { return i % 2; }},
        {"organ pipe", [](int i, int count) { return i < count / 2 ? i : count - i; }},
    };
    const int count = 20000;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<int> values(count);
        for (int i = 0; i < count; i++)
            values[i] = c.value(i, count);
        std::vector<int> expected = values;
        std::sort(expected.begin(), expected.end());
        g_compares = 0;
        sort_array(values.data(), values.size(), sizeof(int), compare_ints);
        EXPECT_EQ(values, expected);
        EXPECT_LT(g_compares, 200 * count); // quadratic would be billions
    }
}

struct Wide {
    int key;
    char payload[100];
};

int compare_wide(const void* a, const void* b)
{
    int x = static_cast<const Wide*>(a)->key, y = static_cast<const Wide*>(b)->key;
    return (x > y) - (x < y);
}

TEST(SortTest, LargeItemsMoveWhole)
{
    std::vector<Wide> items(300);
    for (int i = 0; i < 300; i++) {
        items[i].key = (i * 7919) % 300;
        std::memset(items[i].payload, items[i].key & 0x7F, sizeof items[i].payload);
    }
    sort_array(items.data(), items.size(), sizeof(Wide), compare_wide);
    for (int i = 0; i < 300; i++) {
        ASSERT_EQ(items[i].key, i);
        EXPECT_EQ(items[i].payload[99], char(i & 0x7F));
    }
}

// A compare that itself sorts: the sort keeps no state between calls.
int compare_by_sorted_digits(const void* a, const void* b)
{
    int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
    int digits_x[2] = {x / 10, x % 10}, digits_y[2] = {y / 10, y % 10};
    sort_array(digits_x, 2, sizeof(int), compare_ints);
    sort_array(digits_y, 2, sizeof(int), compare_ints);
    int kx = digits_x[0] * 10 + digits_x[1], ky = digits_y[0] * 10 + digits_y[1];
    return (kx > ky) - (kx < ky);
}

TEST(SortTest, ACompareMaySortAgain)
{
    std::vector<int> values{91, 12, 45, 30, 77};
    sort_array(values.data(), values.size(), sizeof(int), compare_by_sorted_digits);
    EXPECT_EQ(values, (std::vector<int>{30, 12, 91, 45, 77})); // by 03, 12, 19, 45, 77
}

} // namespace
