#include "runtime/base/strpool.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hex_fixture.h"
#include "runtime/base/errcode.h"

namespace {

class StringPoolTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::memory_reset();
        ASSERT_EQ(strpool_init(pool, MemHandle{}), 1);
    }
    void TearDown() override
    {
        strpool_free(pool);
        plat::memory_reset();
        plat::memory_set_move_on_lock(false);
    }
    std::string get(uint32_t offset, size_t size = 64)
    {
        std::vector<char> buffer(size + 1, 'X');
        strpool_get(pool, offset, buffer.data(), size);
        return buffer.data();
    }
    StringPool pool;
};

TEST_F(StringPoolTest, AddAndGet)
{
    EXPECT_EQ(mem_size(pool.block), 2056u);
    EXPECT_EQ(strpool_used(pool), 8u);
    uint32_t hello = strpool_add(pool, "hello");
    uint32_t empty = strpool_add(pool, "");
    uint32_t world = strpool_add(pool, "world");
    EXPECT_EQ(hello, 8u);
    EXPECT_EQ(empty, 14u); // one NUL byte
    EXPECT_EQ(world, 15u);
    EXPECT_EQ(strpool_used(pool), 21u);
    EXPECT_EQ(get(hello), "hello");
    EXPECT_EQ(get(empty), "");
    EXPECT_EQ(get(world), "world");
    EXPECT_EQ(get(hello, 3), "he"); // the last byte holds the NUL
    EXPECT_EQ(get(7), "");
    EXPECT_EQ(get(strpool_used(pool)), "");
    EXPECT_EQ(get(0xFFFFFFFF), "");
    EXPECT_EQ(strpool_add(pool, nullptr), 0u);
}

TEST_F(StringPoolTest, ReplaceMovesTheRestAndKeepsSpareZero)
{
    uint32_t a = strpool_add(pool, "aaaa");
    uint32_t b = strpool_add(pool, "bb");
    EXPECT_EQ(strpool_replace(pool, a, 5, 2), a); // "aaaa\0" becomes two bytes of room
    std::memcpy(static_cast<char*>(mem_address(pool.block)) + a, "A", 2);
    EXPECT_EQ(get(a), "A");
    EXPECT_EQ(get(b - 3), "bb");
    EXPECT_EQ(strpool_used(pool), 13u);
    const auto* bytes = static_cast<const uint8_t*>(mem_address(pool.block));
    for (size_t i = 13; i < 16; i++)
        EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(strpool_replace(pool, 100, 0, 1), 0u); // past the used area
    EXPECT_EQ(strpool_replace(pool, 8, 1000, 0), 8u); // an old length past the end is cut
    EXPECT_EQ(strpool_used(pool), 8u);
}

TEST_F(StringPoolTest, GrowsPastTheLimitOfSmallBlocks)
{
    std::string text(1000, 'x');
    uint32_t last = 0;
    for (int i = 0; i < 200; i++)
        last = strpool_add(pool, text.c_str());
    ASSERT_NE(last, 0u);
    EXPECT_GT(strpool_used(pool), 200000u);
    EXPECT_EQ(get(last, 2000), text);
}

TEST_F(StringPoolTest, NestedLockSurvivesGrowth)
{
    plat::memory_set_move_on_lock(true);
    ASSERT_NE(strpool_lock(pool), nullptr);
    ASSERT_NE(strpool_lock(pool), nullptr);
    EXPECT_EQ(strpool_resize(pool, 100000), 1);
    EXPECT_EQ(pool.address, mem_address(pool.block));
    EXPECT_EQ(plat::global_flags(pool.block) & plat::GMEM_LOCKCOUNT, 1u);
    strpool_unlock(pool);
    EXPECT_NE(pool.address, nullptr);
    strpool_unlock(pool);
    EXPECT_EQ(pool.address, nullptr);
    EXPECT_EQ(strpool_resize(pool, 4), 0); // below the used length
}

TEST_F(StringPoolTest, AreaLeavesThePoolLocked)
{
    strpool_add(pool, "abc");
    const uint8_t* address = nullptr;
    EXPECT_EQ(strpool_area(pool, 0, &address), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(address)), "abc");
    EXPECT_EQ(pool.lock_count, 1);
    EXPECT_EQ(strpool_area(pool, 1, &address), 12u);
    EXPECT_EQ(address, pool.address);
    strpool_unlock(pool);
    strpool_unlock(pool);
}

TEST_F(StringPoolTest, InitCopiesASource)
{
    MemHandle source = mem_alloc_copy("one\0two", 8);
    StringPool copy;
    ASSERT_EQ(strpool_init(copy, source), 1);
    EXPECT_EQ(strpool_used(copy), 16u);
    EXPECT_EQ(mem_size(copy.block), 8u + 2056);
    char buffer[8];
    strpool_get(copy, 12, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "two");
    strpool_free(copy);
    mem_free(source);
}

TEST_F(StringPoolTest, StoredPoolsAreCheckedAgainstTheirBlock)
{
    struct Case {
        const char* name;
        const char* hex;
        int result;
    };
    static const Case kCases[] = {
        {"empty pool", "00000000 08000000", kErrOk},
        {"one name", "00000000 0B000000 616200", kErrOk},
        {"spare after the used area", "00000000 0A000000 6100 0000", kErrOk},
        {"used past the block", "00000000 0C000000 616200", kErrFileDamaged},
        {"used inside the header", "00000000 04000000", kErrFileDamaged},
        {"huge used", "00000000 FFFFFFFF", kErrFileDamaged},
        {"short header", "00000000 08", kErrFileDamaged},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = from_hex(c.hex);
        MemHandle block = mem_alloc(bytes.size(), kMemMovable);
        mem_write_at(block, bytes.data(), bytes.size(), 0);
        StringPool loaded;
        EXPECT_EQ(strpool_attach(loaded, block), c.result);
        EXPECT_EQ(strpool_is_valid(loaded), c.result == kErrOk ? 1 : 0);
        if (c.result == kErrOk) {
            EXPECT_NE(strpool_add(loaded, "new"), 0u); // grows the loaded record
            EXPECT_EQ(strpool_detach(loaded), block);
        }
        mem_free(block);
    }
}

} // namespace
