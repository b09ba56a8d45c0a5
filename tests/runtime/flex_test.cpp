#include "runtime/base/flex.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

class FlexBufferTest : public testing::Test {
protected:
    void SetUp() override { plat::memory_reset(); }
    void TearDown() override { plat::memory_reset(); }
};

TEST_F(FlexBufferTest, AppendsGrowAndFinishHandsOverTheBlock)
{
    FlexBuffer buffer;
    ASSERT_EQ(flex_init(buffer, 8, 16), 1);
    std::string expected;
    for (int i = 0; i < 100; i++) {
        std::string part = "part" + std::to_string(i) + ";";
        ASSERT_EQ(flex_append(buffer, part.data(), part.size()), 1);
        expected += part;
    }
    size_t length = 0;
    MemHandle block = flex_finish(buffer, &length);
    ASSERT_TRUE(block);
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(mem_size(block), expected.size());
    EXPECT_EQ(std::string(static_cast<const char*>(mem_address(block)), length), expected);
    EXPECT_EQ(plat::global_flags(block) & plat::GMEM_LOCKCOUNT, 0u);
    mem_free(block);
}

TEST_F(FlexBufferTest, AFailedBufferStaysFailed)
{
    FlexBuffer buffer;
    ASSERT_EQ(flex_init(buffer, 16, 16), 1);
    ASSERT_EQ(flex_append(buffer, "0123456789", 10), 1);
    plat::memory_set_limit(plat::memory_total_allocated() + 100);
    std::string big(1000, 'x');
    EXPECT_EQ(flex_append(buffer, big.data(), big.size()), 0);
    EXPECT_EQ(plat::memory_block_count(), 0u); // the block was freed
    EXPECT_EQ(flex_append(buffer, "a", 1), 0);
    size_t length = 99;
    EXPECT_FALSE(flex_finish(buffer, &length));
    EXPECT_EQ(length, 0u);
}

TEST_F(FlexBufferTest, AFailedInitRefusesEverything)
{
    plat::memory_set_limit(100);
    FlexBuffer buffer;
    EXPECT_EQ(flex_init(buffer, 1000, 10), 0);
    EXPECT_EQ(buffer.failed, 1);
    EXPECT_EQ(flex_append(buffer, "a", 1), 0);
    EXPECT_FALSE(flex_finish(buffer, nullptr));
}

} // namespace
