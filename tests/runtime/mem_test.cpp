#include "runtime/base/mem.h"

#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

class MemTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::memory_reset();
        mem_reset();
    }
    void TearDown() override
    {
        plat::memory_reset();
        mem_reset();
    }
};

std::vector<uint8_t> bytes_of(MemHandle block)
{
    auto* p = static_cast<const uint8_t*>(mem_address(block));
    return p ? std::vector<uint8_t>(p, p + mem_size(block)) : std::vector<uint8_t>{};
}

MemHandle block_of(const std::string& text) { return mem_alloc_copy(text.data(), text.size()); }

TEST_F(MemTest, SizesAreRaisedToTheirMinimum)
{
    MemHandle block = mem_alloc(0, kMemMovableZero);
    EXPECT_EQ(mem_size(block), 8u);
    EXPECT_EQ(mem_resize(block, 3, 0), 1);
    EXPECT_EQ(mem_size(block), 8u);
    block = mem_set_size(block, 0, kMemMovable);
    EXPECT_EQ(mem_size(block), 1u);
    EXPECT_EQ(mem_size(mem_alloc_copy("", 0)), 1u);
    EXPECT_EQ(mem_size(MemHandle{}), 0u);
}

TEST_F(MemTest, ResizeStopsAt65504ButReallocDoesNot)
{
    MemHandle block = mem_alloc(16, kMemMovableZero);
    EXPECT_EQ(mem_resize(block, 65504, 0), 1);
    EXPECT_EQ(mem_size(block), 65504u);
    EXPECT_EQ(mem_resize(block, 65505, 0), 0);
    EXPECT_EQ(mem_size(block), 65504u);
    EXPECT_EQ(mem_resize(MemHandle{}, 16, 0), 0);

    EXPECT_EQ(mem_realloc(block, 300000, 0), block);
    EXPECT_EQ(mem_size(block), 300000u);
    EXPECT_EQ(static_cast<uint8_t*>(mem_address(block))[299999], 0); // flags 0 zero-fill
    EXPECT_FALSE(mem_realloc(block, -1, 0));
    EXPECT_FALSE(mem_realloc(MemHandle{}, 10, 0));
}

TEST_F(MemTest, SetSizeKeepsTheContentsWhenGrowing)
{
    MemHandle block = block_of("keep me");
    block = mem_set_size(block, 100000, kMemMovable);
    ASSERT_TRUE(block);
    EXPECT_EQ(std::memcmp(mem_address(block), "keep me", 7), 0);
    MemHandle fresh = mem_set_size(MemHandle{}, 5, kMemMovableZero);
    EXPECT_EQ(mem_size(fresh), 5u);
}

TEST_F(MemTest, SetSizeFailureFreesTheOldBlock)
{
    MemHandle block = mem_alloc(64, kMemMovable);
    plat::memory_set_limit(1000);
    EXPECT_FALSE(mem_set_size(block, 5000, kMemMovable));
    EXPECT_EQ(plat::memory_block_count(), 0u);
}

TEST_F(MemTest, WriteAtSizesTheBlockToItsEnd)
{
    MemHandle block = mem_alloc(70000, kMemMovable);
    EXPECT_EQ(mem_write_at(block, "ab", 2, 65533), 1); // ends at 65535: the block is cut there
    EXPECT_EQ(mem_size(block), 65535u);
    EXPECT_EQ(static_cast<char*>(mem_address(block))[65534], 'b');
    EXPECT_EQ(mem_write_at(block, "abc", 3, 65533), 0); // ends at 65536
    EXPECT_EQ(mem_size(block), 65535u);
    EXPECT_EQ(mem_write_at(block, "x", 1, size_t(-1)), 0); // no wrap-around
    EXPECT_EQ(mem_write_at(MemHandle{}, "x", 1, 0), 0);

    MemHandle small = block_of("abc");
    EXPECT_EQ(mem_write_at(small, "z", 1, 6), 1); // the gap is zero
    EXPECT_EQ(bytes_of(small), (std::vector<uint8_t>{'a', 'b', 'c', 0, 0, 0, 'z'}));
    EXPECT_EQ(mem_write_at(small, nullptr, 0, 0), 1);
    EXPECT_EQ(mem_size(small), 1u);
}

TEST_F(MemTest, ResizeWriteAtGrowsPastTheLimitKeepingTheStart)
{
    MemHandle block = block_of("head");
    block = mem_resize_write_at(block, "tail", 4, 100000);
    ASSERT_TRUE(block);
    EXPECT_EQ(mem_size(block), 100004u);
    EXPECT_EQ(std::memcmp(mem_address(block), "head", 4), 0);
    EXPECT_EQ(std::memcmp(static_cast<char*>(mem_address(block)) + 100000, "tail", 4), 0);
    EXPECT_EQ(static_cast<char*>(mem_address(block))[5000], 0);
}

TEST_F(MemTest, CompareOrdersByBytesThenLength)
{
    struct Case {
        const char* name;
        const char* a; // null: no block
        const char* b;
        int expected;
    };
    static const Case kCases[] = {
        {"prefix is lower", "abc", "abcd", -1},
        {"longer is higher", "abcd", "abc", 1},
        {"equal", "abc", "abc", 0},
        {"unsigned bytes", "\xE9", "z", 1},
        {"both null", nullptr, nullptr, 0},
        {"only b null", "a", nullptr, 1},
        {"only a null", nullptr, "a", -1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        MemHandle a = c.a ? block_of(c.a) : MemHandle{};
        MemHandle b = c.b ? block_of(c.b) : MemHandle{};
        EXPECT_EQ(mem_compare(a, b), c.expected);
    }
}

TEST_F(MemTest, ReplaceBytes)
{
    struct Case {
        const char* name;
        const char* initial;
        int64_t size, position, old_length;
        const char* replacement; // null: zeros
        int64_t new_length;
        int64_t result;
        std::string expected;
    };
    static const Case kCases[] = {
        {"same length", "abcdef", -1, 1, 2, "XY", 2, 3, "aXYdef"},
        {"grow", "abcdef", -1, 1, 1, "XYZ", 3, 4, "aXYZcdef"},
        {"shrink", "abcdef", -1, 1, 3, "X", 1, 2, "aXef"},
        {"insert at start", "abc", -1, 0, 0, "XY", 2, 2, "XYabc"},
        {"position past the end appends", "abc", -1, 10, 0, "XY", 2, 5, "abcXY"},
        {"old length past the end is cut", "abcdef", -1, 4, 100, "X", 1, 5, "abcdX"},
        {"zeros", "abc", -1, 1, 1, nullptr, 2, 3, std::string("a\0\0c", 4)},
        {"within a shorter size", "abcdef", 3, 1, 1, "XY", 2, 3, "aXYc"}, // the rest is spare
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        MemHandle block = block_of(c.initial);
        EXPECT_EQ(util_replace_bytes(block, c.size, c.position, c.old_length, c.replacement, c.new_length),
                  c.result);
        std::vector<uint8_t> got = bytes_of(block);
        EXPECT_EQ(std::string(got.begin(), got.end()).substr(0, c.expected.size()), c.expected);
    }
}

TEST_F(MemTest, ReplaceBytesClears190Bytes)
{
    MemHandle block = mem_alloc(1, kMemMovable); // 8 bytes of fill pattern
    ASSERT_EQ(util_replace_bytes(block, 0, 0, 0, nullptr, 190), 190);
    std::vector<uint8_t> got = bytes_of(block);
    ASSERT_EQ(got.size(), 198u);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 190), std::vector<uint8_t>(190, 0));
    EXPECT_EQ(util_replace_bytes(MemHandle{}, -1, 0, 0, "x", 1), -1);
}

TEST_F(MemTest, ReplaceBytesFailureLeavesTheBlock)
{
    MemHandle block = block_of("abc");
    plat::memory_set_limit(plat::memory_total_allocated() + 8);
    EXPECT_EQ(util_replace_bytes(block, -1, 1, 0, nullptr, 1000), -1);
    std::vector<uint8_t> got = bytes_of(block);
    EXPECT_EQ(std::string(got.begin(), got.end()), "abc");
}

TEST_F(MemTest, PurgeableBlocksGoUnderPressure)
{
    MemHandle block = mem_alloc(1000, kMemMovable);
    EXPECT_EQ(mem_set_purgeable(block, 1), 0);
    EXPECT_EQ(mem_set_purgeable(block, 1), 1);
    EXPECT_EQ(mem_set_purgeable(MemHandle{}, 1), 0);
    plat::memory_set_limit(1500);
    EXPECT_TRUE(mem_alloc(1000, kMemMovable));
    EXPECT_EQ(mem_is_purged(block), 1);
    EXPECT_EQ(mem_size(block), 0u);
    EXPECT_FALSE(mem_duplicate(block));
}

TEST_F(MemTest, DuplicateAndLockedForms)
{
    MemHandle block = block_of("data");
    MemHandle copy = mem_duplicate(block);
    EXPECT_EQ(mem_compare(block, copy), 0);
    EXPECT_NE(copy, block);
    EXPECT_FALSE(mem_duplicate(MemHandle{}));

    auto* locked = static_cast<char*>(mem_alloc_copy_locked("xyz", 3));
    ASSERT_NE(locked, nullptr);
    EXPECT_EQ(std::string(locked, 3), "xyz");
    size_t blocks = plat::memory_block_count();
    mem_free_locked(locked + 1); // any byte inside names the block
    EXPECT_EQ(plat::memory_block_count(), blocks - 1);
    EXPECT_EQ(mem_free(block), MemHandle{});
}

TEST_F(MemTest, AllocBestHalvesDownToTheMinimum)
{
    plat::memory_set_limit(10000);
    MemHandle block = mem_alloc_best(1000, 40000);
    ASSERT_TRUE(block);
    EXPECT_EQ(mem_size(block), 10000u); // 40000 and 20000 were refused
    EXPECT_FALSE(mem_alloc_best(6000, 6000));
}

TEST_F(MemTest, BudgetIsPhysicalMinusThreeMegabytes)
{
    struct Case {
        const char* name;
        uint64_t physical;
        int64_t budget;
    };
    static const Case kCases[] = {
        {"64 MB", 64ull << 20, (64ll << 20) - 3145728},
        {"below 3 MB", 1ull << 20, 0},
        {"16 GB reaches the ceiling", 16ull << 30, kMemBudgetCeiling},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(mem_budget_from_physical(c.physical), c.budget);
    }
    mem_note_physical();
    EXPECT_GT(mem_budget(), 0);
    int64_t before = mem_budget();
    EXPECT_EQ(mem_budget_add(100), before + 100);
    EXPECT_EQ(mem_budget_add(INT64_MIN), 0);
}

std::map<std::string, std::string> g_settings;

uint32_t read_setting(char* out, uint32_t size, const char* section, const char* key, const char* default_value)
{
    auto found = g_settings.find(std::string(section) + "/" + key);
    std::string value = found != g_settings.end() ? found->second : default_value;
    value = value.substr(0, size - 1);
    std::memcpy(out, value.c_str(), value.size() + 1);
    return uint32_t(value.size());
}

int write_setting(const char* section, const char* key, const char* value)
{
    g_settings[std::string(section) + "/" + key] = value;
    return 1;
}

TEST_F(MemTest, MmxSettingIsNormalisedAndDecidedOnce)
{
    struct Case {
        const char* name;
        const char* stored; // null: no key
        const char* written;
    };
    static const Case kCases[] = {
        {"no key", nullptr, "1"},
        {"yes", "yes", "1"},
        {"zero", "0", "0"},
        {"zero with more", "0ff", "0"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        mem_reset();
        g_settings.clear();
        if (c.stored)
            g_settings["MMXTechnology/MMXEnableCheck"] = c.stored;
        app_mmx_set_settings(read_setting, write_setting);
        int available = app_mmx_available();
        EXPECT_EQ(g_settings["MMXTechnology/MMXEnableCheck"], c.written);
        if (c.written[0] == '0') {
            EXPECT_EQ(available, 0);
        }
        g_settings["MMXTechnology/MMXEnableCheck"] = "0";
        EXPECT_EQ(app_mmx_available(), available); // kept, not read again
    }
}

TEST_F(MemTest, Clear190ClearsExactly190Bytes)
{
    std::vector<uint8_t> record(192, 0xFF);
    EXPECT_EQ(mem_clear_190(record.data() + 1), record.data() + 1);
    EXPECT_EQ(record[0], 0xFF);
    EXPECT_EQ(record[1], 0);
    EXPECT_EQ(record[190], 0);
    EXPECT_EQ(record[191], 0xFF);
}

} // namespace
