#include "runtime/base/idset.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hex_fixture.h"
#include "runtime/base/errcode.h"

namespace {

class IdSetTest : public testing::Test {
protected:
    void SetUp() override { plat::memory_reset(); }
    void TearDown() override { plat::memory_reset(); }
};

std::vector<uint32_t> values_of(IdSet set)
{
    std::vector<uint32_t> out;
    for (int32_t n = 1; n <= idset_count(set); n++)
        out.push_back(idset_get(set, n));
    return out;
}

std::vector<uint32_t> values32_of(IdSet set)
{
    std::vector<uint32_t> out;
    for (int32_t n = 1; n <= idset32_count(set); n++)
        out.push_back(idset32_get(set, n));
    return out;
}

IdSet set_of(std::initializer_list<uint16_t> values)
{
    IdSet set = idset_new();
    for (uint16_t v : values)
        idset_insert_at(set, INT32_MAX, v);
    return set;
}

TEST_F(IdSetTest, AddGrowsOnePerBucket)
{
    IdSet set = idset_new();
    EXPECT_EQ(mem_size(set), 128u);
    EXPECT_EQ(idset_add(set, 5), 1);
    EXPECT_EQ(idset_add(set, 5), 1); // present: count unchanged
    EXPECT_EQ(idset_count(set), 1);
    for (uint16_t v = 100; idset_count(set) < 63; v++)
        idset_add(set, v);
    EXPECT_EQ(mem_size(set), 128u); // 2 + 2 * 63 = 128
    idset_add(set, 1);
    EXPECT_EQ(mem_size(set), 256u);
    EXPECT_EQ(idset_byte_size(set), 2 + 2 * 64);
    EXPECT_EQ(idset_count(IdSet{}), 0);
    EXPECT_EQ(idset_byte_size(IdSet{}), 0);
    EXPECT_EQ(idset_contains(IdSet{}, 1), 0);
}

TEST_F(IdSetTest, InsertRemoveAndGet)
{
    IdSet set = set_of({1, 2, 3});
    EXPECT_EQ(idset_insert_at(set, 10, 9), 1);
    EXPECT_EQ(idset_insert_at(set, 0, 9), 0);
    EXPECT_EQ(idset_insert_at(set, 1, 7), 1);
    EXPECT_EQ(values_of(set), (std::vector<uint32_t>{7, 1, 2, 3, 9}));
    EXPECT_EQ(idset_get(set, 0), 0);
    EXPECT_EQ(idset_get(set, 6), 0);
    EXPECT_EQ(idset_remove(set, 2), 1);
    EXPECT_EQ(idset_remove(set, 2), 0);
    EXPECT_EQ(values_of(set), (std::vector<uint32_t>{7, 1, 3, 9}));
    IdSet other = set_of({9, 7, 42});
    idset_remove_all(set, other);
    EXPECT_EQ(values_of(set), (std::vector<uint32_t>{1, 3}));
    idset_remove_all(set, set);
    EXPECT_EQ(idset_count(set), 0);
    EXPECT_EQ(mem_size(set), 128u);
}

TEST_F(IdSetTest, ForEachStopsAndGivesThePosition)
{
    struct Case {
        const char* name;
        int direction;
        uint16_t stop_at;
        int32_t result;
        std::vector<uint32_t> seen;
    };
    static const Case kCases[] = {
        {"backwards", 0, 6, 2, {7, 6}},
        {"forwards", 1, 6, 2, {5, 6}},
        {"runs through", 1, 99, 0, {5, 6, 7}},
    };
    IdSet set = set_of({5, 6, 7});
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        struct Walk {
            uint16_t stop_at;
            std::vector<uint32_t> seen;
        } walk{c.stop_at, {}};
        auto visit = [](uint32_t value, void* user) {
            auto* w = static_cast<Walk*>(user);
            w->seen.push_back(value);
            return value == w->stop_at ? 0 : 1;
        };
        EXPECT_EQ(idset_for_each(set, c.direction, visit, &walk), c.result);
        EXPECT_EQ(walk.seen, c.seen);
    }
}

TEST_F(IdSetTest, SortIsSignedWithoutACompare)
{
    IdSet set = set_of({0x0001, 0x8000, 0x7FFF, 0xFFFF});
    idset_sort(set, nullptr);
    EXPECT_EQ(values_of(set), (std::vector<uint32_t>{0x8000, 0xFFFF, 0x0001, 0x7FFF}));
    idset_sort(set, [](uint16_t a, uint16_t b) { return int(a) - int(b); });
    EXPECT_EQ(values_of(set), (std::vector<uint32_t>{0x0001, 0x7FFF, 0x8000, 0xFFFF}));
}

TEST_F(IdSetTest, SortedOperations)
{
    IdSet set = set_of({10, 20, 30});
    EXPECT_EQ(idset_sorted_op(set, 0, 20, nullptr), 2);
    EXPECT_EQ(idset_sorted_op(set, 0, 25, nullptr), 0);
    EXPECT_EQ(idset_sorted_op(set, 1, 25, nullptr), 1);
    EXPECT_EQ(idset_sorted_op(set, 1, 5, nullptr), 1);
    EXPECT_EQ(idset_sorted_op(set, 1, 20, nullptr), 1);
    EXPECT_EQ(values_of(set), (std::vector<uint32_t>{5, 10, 20, 25, 30}));
    EXPECT_EQ(idset_sorted_op(set, 2, 20, nullptr), 0);
    EXPECT_EQ(values_of(set), (std::vector<uint32_t>{5, 10, 25, 30}));
    IdSet empty = idset_new();
    EXPECT_EQ(idset_sorted_op(empty, 0, 1, nullptr), 0);
}

TEST_F(IdSetTest, FullSetRefusesAndStaysUnchanged)
{
    IdSet set = idset_new();
    for (int32_t v = 1; v <= kIdSetMaxCount; v++)
        ASSERT_EQ(idset_insert_at(set, INT32_MAX, uint16_t(v)), 1);
    EXPECT_EQ(mem_size(set), 65408u);
    EXPECT_EQ(idset_add(set, 0xFFFF), 0);
    EXPECT_EQ(idset_insert_at(set, 1, 0xFFFF), 0);
    EXPECT_EQ(idset_count(set), kIdSetMaxCount);
    EXPECT_EQ(idset_get(set, 1), 1);
}

TEST_F(IdSetTest, Set32RaisesTheCountWithZeros)
{
    IdSet set = idset_new();
    EXPECT_EQ(idset32_set(set, 5, 0xDEADBEEF), 1);
    EXPECT_EQ(values32_of(set), (std::vector<uint32_t>{0, 0, 0, 0, 0xDEADBEEF}));
    EXPECT_EQ(idset32_set(set, 0, 1), 0);
    EXPECT_EQ(idset32_byte_size(set), 24);
    EXPECT_EQ(idset32_add(set, 0x12345678), 1);
    EXPECT_EQ(idset32_insert_at(set, 1, 77), 1);
    EXPECT_EQ(idset32_contains(set, 0x12345678), 1);
    EXPECT_EQ(idset32_remove(set, 0), 1);
    EXPECT_EQ(values32_of(set), (std::vector<uint32_t>{77, 0, 0, 0, 0xDEADBEEF, 0x12345678}));
    auto stop_at_big = [](uint32_t value, void*) { return value > 0xFFFF ? 0 : 1; };
    EXPECT_EQ(idset32_for_each(set, 1, stop_at_big, nullptr), 5);
    for (int32_t n = 1; idset32_count(set) < 31; n++)
        idset32_add(set, 1000 + uint32_t(n));
    EXPECT_EQ(mem_size(set), 128u); // 4 + 4 * 31
    idset32_add(set, 1);
    EXPECT_EQ(mem_size(set), 256u);
}

TEST_F(IdSetTest, StoredSetsAreCheckedAgainstTheirBlock)
{
    struct Case {
        const char* name;
        bool wide;
        const char* hex;
        int result;
        std::vector<uint32_t> values;
    };
    static const Case kCases[] = {
        {"empty", false, "0000", kErrOk, {}},
        {"two values", false, "0200 0500 0700", kErrOk, {5, 7}},
        {"trailing bytes", false, "0100 0500 0000", kErrOk, {5}},
        {"count past the end", false, "0300 0500 0700", kErrFileDamaged, {}},
        {"negative count", false, "FFFF", kErrFileDamaged, {}},
        {"no count", false, "01", kErrFileDamaged, {}},
        {"count above the limit", false, "C07F", kErrFileDamaged, {}},
        {"wide", true, "0100 0000 78563412", kErrOk, {0x12345678}},
        {"wide short", true, "0200 0000 78563412", kErrFileDamaged, {}},
        {"wide without pad", true, "0000", kErrFileDamaged, {}},
        {"wide above the limit", true, "E03F 0000", kErrFileDamaged, {}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = from_hex(c.hex);
        IdSet loaded;
        int result = c.wide ? idset32_load(plat::ByteReader(bytes.data(), bytes.size()), &loaded)
                            : idset_load(plat::ByteReader(bytes.data(), bytes.size()), &loaded);
        EXPECT_EQ(result, c.result);
        if (result == kErrOk) {
            EXPECT_EQ(c.wide ? values32_of(loaded) : values_of(loaded), c.values);
            EXPECT_EQ(mem_size(loaded) % 128, 0u);
        } else {
            EXPECT_FALSE(loaded);
        }
        MemHandle record = mem_alloc(bytes.size(), kMemMovable);
        mem_write_at(record, bytes.data(), bytes.size(), 0); // exactly the stored bytes
        EXPECT_EQ(c.wide ? idset32_attach(record) : idset_attach(record), c.result);
        mem_free(record);
        idset_free(loaded);
    }
}

TEST_F(IdSetTest, UncheckedBlocksAreReadWithinTheirBytes)
{
    IdSet set = mem_alloc(8, kMemMovableZero);
    uint8_t lying[2] = {0xFF, 0x7F}; // 32767 values claimed in 8 bytes
    mem_write_at(set, lying, 2, 0);
    mem_resize(set, 8, kMemZeroInit);
    EXPECT_EQ(idset_count(set), 3);
    EXPECT_EQ(idset_get(set, 4), 0);
    EXPECT_EQ(idset32_count(set), 1);
}

TEST_F(IdSetTest, LoadedRecordGrowsWhenAdded)
{
    std::vector<uint8_t> bytes = from_hex("0100 0500");
    MemHandle record = mem_alloc(bytes.size(), kMemMovable);
    mem_write_at(record, bytes.data(), bytes.size(), 0);
    ASSERT_EQ(idset_attach(record), kErrOk);
    EXPECT_EQ(idset_add(record, 6), 1);
    EXPECT_EQ(mem_size(record), 128u);
    EXPECT_EQ(values_of(record), (std::vector<uint32_t>{5, 6}));
    IdSet copy = idset_clone(record);
    EXPECT_EQ(values_of(copy), (std::vector<uint32_t>{5, 6}));
    EXPECT_EQ(idset_lock(copy), copy);
}

} // namespace
