#include "runtime/base/ptrarr.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

#include "runtime/base/errcode.h"

namespace {

char* owned_text(const char* text)
{
    char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
    std::strcpy(copy, text);
    return copy;
}

class PtrArrayTest : public testing::Test {
protected:
    void SetUp() override
    {
        ptrarr_init(array, 10, 10, 1);
        ASSERT_EQ(ptrarr_alloc(array), 0);
    }
    void TearDown() override { ptrarr_free(array); }
    PtrArray array;
};

TEST_F(PtrArrayTest, SetGrowsByStepsAndGetStopsAtTheUsedCount)
{
    EXPECT_EQ(array.capacity, 10);
    EXPECT_EQ(ptrarr_set(array, 10, owned_text("ten")), 0);
    EXPECT_EQ(array.capacity, 20);
    EXPECT_EQ(array.used, 11);
    EXPECT_STREQ(static_cast<char*>(ptrarr_get(array, 10)), "ten");
    EXPECT_EQ(ptrarr_get(array, 11), nullptr);
    EXPECT_EQ(ptrarr_get(array, 3), nullptr);
    EXPECT_EQ(ptrarr_get(array, -1), nullptr);
    EXPECT_EQ(ptrarr_set(array, 45, owned_text("far")), 0);
    EXPECT_EQ(array.capacity, 50);
    EXPECT_STREQ(static_cast<char*>(ptrarr_get(array, 10)), "ten"); // kept across growth
    EXPECT_EQ(ptrarr_grow(array), 0);
    EXPECT_EQ(array.capacity, 60);
}

TEST_F(PtrArrayTest, DeleteFreesAndLowersTheUsedCountOnlyAtTheTop)
{
    ptrarr_set(array, 2, owned_text("two"));
    ptrarr_set(array, 5, owned_text("five"));
    EXPECT_EQ(ptrarr_delete(array, 2), 0);
    EXPECT_EQ(array.used, 6);
    EXPECT_EQ(ptrarr_delete(array, 2), kErrBadValue);
    EXPECT_EQ(ptrarr_delete(array, 5), 0);
    EXPECT_EQ(array.used, 5);
    EXPECT_EQ(ptrarr_delete(array, 99), kErrBadValue);
    EXPECT_EQ(ptrarr_delete(array, -3), kErrBadValue);
}

TEST(PtrArrayOneBased, IndexOneIsTheFirstSlot)
{
    PtrArray array;
    ptrarr_init(array, 2, 0, 0); // a growth step of 0 still grows
    EXPECT_EQ(ptrarr_get(array, 1), nullptr); // no slots yet
    EXPECT_EQ(ptrarr_set(array, 0, nullptr), kErrOutOfMemory); // slot -1
    char* one = owned_text("one");
    EXPECT_EQ(ptrarr_set(array, 1, one), 0);
    EXPECT_EQ(array.slots[0], one);
    EXPECT_EQ(ptrarr_set(array, 4, owned_text("four")), 0);
    EXPECT_GE(array.capacity, 4);
    EXPECT_STREQ(static_cast<char*>(ptrarr_get(array, 4)), "four");
    ptrarr_free(array);
}

} // namespace
