#include "runtime/base/recarr.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class RecordArrayTest : public testing::Test {
protected:
    void SetUp() override { plat::memory_reset(); }
    void TearDown() override
    {
        recarr_free(array);
        plat::memory_reset();
        plat::memory_set_move_on_lock(false);
    }
    RecordArray array;
};

// An item of 12 bytes (stride 16): a 16-bit key, a 32-bit key, a name.
struct Item {
    uint16_t word;
    uint16_t pad;
    uint32_t number;
    char name[4];
};
static_assert(sizeof(Item) == 12);

const KeyDescriptor kByWord = recarr_key(kKeyWord, 0);
const KeyDescriptor kByNumber = recarr_key(kKeyLong, 4);

Item item(uint16_t word, uint32_t number, const char* name = "")
{
    Item it{};
    it.word = word;
    it.number = number;
    std::strncpy(it.name, name, sizeof it.name);
    return it;
}

std::vector<uint32_t> numbers(RecordArray& array)
{
    std::vector<uint32_t> out;
    for (uint32_t n = 1; n <= recarr_count(array); n++) {
        Item it{};
        recarr_get(array, n, &it);
        out.push_back(it.number);
    }
    return out;
}

TEST_F(RecordArrayTest, StrideIsThePowerOfTwoAboveTheItemSize)
{
    struct Case {
        uint32_t item_size;
        uint32_t stride;
        uint16_t shift;
    };
    static const Case kCases[] = {{0, 1, 0}, {1, 1, 0}, {2, 2, 1}, {3, 4, 2}, {12, 16, 4}, {16, 16, 4},
                                  {65535, 65536, 16}, {0x10003, 4, 2}}; // sizes are cut to 16 bits
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.item_size);
        RecordArray a;
        ASSERT_EQ(recarr_init(a, c.item_size, nullptr), 1);
        EXPECT_EQ(a.stride, c.stride);
        EXPECT_EQ(a.shift, c.shift);
        recarr_free(a);
    }
}

TEST_F(RecordArrayTest, BlockGrowsByAQuarterAndShrinksPastAQuarterSpare)
{
    ASSERT_EQ(recarr_init(array, 3, nullptr), 1);
    for (int i = 0; i < 3; i++)
        recarr_append(array, "abc");
    EXPECT_EQ(mem_size(array.block), 12u); // counts up to 3 grow by exactly what is needed

    RecordArray wide; // four items in a block of exactly their size, as a loaded record is
    recarr_attach(wide, 16, nullptr, mem_alloc(4 * 16, kMemMovableZero), 4);
    recarr_append(wide, "0123456789abcdef");
    EXPECT_EQ(mem_size(wide.block), 6u * 16); // 5 + 5 / 4
    recarr_append(wide, "0123456789abcdef");
    EXPECT_EQ(mem_size(wide.block), 6u * 16);
    recarr_free(wide);

    RecordArray bytes;
    recarr_attach(bytes, 8, nullptr, mem_alloc(64, kMemMovableZero), 8);
    recarr_delete(bytes, 1); // 56 needed: keeps 64
    EXPECT_EQ(mem_size(bytes.block), 64u);
    recarr_delete(bytes, 1);
    recarr_delete(bytes, 1); // 40 needed: below 64 - 16
    EXPECT_EQ(mem_size(bytes.block), 40u);
    recarr_free(bytes);
}

TEST_F(RecordArrayTest, IndexesOutsideTheItemsChangeNothing)
{
    recarr_init(array, sizeof(Item), nullptr);
    Item a = item(1, 10), out{};
    recarr_append(array, &a);
    EXPECT_EQ(recarr_get(array, 0, &out), 0);
    EXPECT_EQ(recarr_get(array, 2, &out), 0);
    EXPECT_EQ(recarr_set(array, 2, &a), 0);
    EXPECT_EQ(recarr_delete(array, 0), 0);
    EXPECT_EQ(recarr_delete(array, 2), 0);
    EXPECT_EQ(recarr_item(array, 1), nullptr); // not locked
    recarr_lock(array);
    EXPECT_EQ(recarr_item(array, 0), nullptr);
    EXPECT_EQ(recarr_item(array, 2), nullptr);
    EXPECT_NE(recarr_item(array, 1), nullptr);
    recarr_unlock(array);
    EXPECT_EQ(recarr_count(array), 1u);
}

TEST_F(RecordArrayTest, InsertAppendAndDelete)
{
    recarr_init(array, sizeof(Item), nullptr);
    for (uint32_t v : {1u, 2u, 3u}) {
        Item it = item(0, v);
        recarr_append(array, &it);
    }
    Item four = item(0, 4), zero = item(0, 0);
    EXPECT_EQ(recarr_insert_at(array, 99, &four), 1); // past the end: appended
    EXPECT_EQ(recarr_insert_at(array, 1, &zero), 1);
    EXPECT_EQ(recarr_insert_at(array, 0, &zero), 0);
    EXPECT_EQ(numbers(array), (std::vector<uint32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(recarr_delete(array, 3), 1);
    EXPECT_EQ(numbers(array), (std::vector<uint32_t>{0, 1, 3, 4}));

    Item seven = item(0, 7);
    EXPECT_EQ(recarr_append_n(array, 2, &seven), 1);
    EXPECT_EQ(recarr_append_n(array, 0, nullptr), 1);
    EXPECT_EQ(numbers(array), (std::vector<uint32_t>{0, 1, 3, 4, 7, 7}));
}

TEST_F(RecordArrayTest, AppendNWithoutAnItemZeroFills)
{
    for (uint32_t size : {190u, 5u}) {
        SCOPED_TRACE(size);
        RecordArray a;
        recarr_init(a, size, nullptr);
        std::vector<uint8_t> ones(size, 0xFF);
        recarr_append(a, ones.data());
        recarr_delete(a, 1); // leaves non-zero bytes in the block
        ASSERT_EQ(recarr_append_n(a, 3, nullptr), 1);
        std::vector<uint8_t> got(size);
        for (uint32_t n = 1; n <= 3; n++) {
            recarr_get(a, n, got.data());
            EXPECT_EQ(got, std::vector<uint8_t>(size, 0));
        }
        recarr_free(a);
    }
}

TEST_F(RecordArrayTest, GrowthFailureLeavesTheItems)
{
    recarr_init(array, 1024, nullptr);
    std::vector<uint8_t> data(1024, 1);
    recarr_append(array, data.data());
    plat::memory_set_limit(plat::memory_total_allocated() + 100);
    EXPECT_EQ(recarr_append(array, data.data()), 0u);
    EXPECT_EQ(recarr_append_n(array, 5, nullptr), 0);
    EXPECT_EQ(recarr_insert_at(array, 1, data.data()), 0);
    EXPECT_EQ(recarr_count(array), 1u);
}

TEST_F(RecordArrayTest, BinarySearchOnEmptyAndSmallArrays)
{
    recarr_init(array, sizeof(Item), nullptr);
    Item key = item(5, 5), out{};
    EXPECT_EQ(recarr_bsearch(array, &key, &out, kByNumber), 0u); // no wrap of count - 1
    EXPECT_EQ(recarr_binsert(array, &key, nullptr, kByNumber), 1u);
    Item low = item(1, 1);
    EXPECT_EQ(recarr_bsearch(array, &low, nullptr, kByNumber), 0u); // hi = mid - 1 below 0
    EXPECT_EQ(recarr_binsert(array, &low, nullptr, kByNumber), 1u);
    EXPECT_EQ(numbers(array), (std::vector<uint32_t>{1, 5}));
}

TEST_F(RecordArrayTest, SortedInsertKeepsOrderAndExchangesOnAHit)
{
    recarr_init(array, sizeof(Item), nullptr);
    for (uint32_t v : {50u, 10u, 40u, 20u, 30u, 10u}) {
        Item it = item(0, v, "new");
        recarr_binsert(array, &it, nullptr, kByNumber);
    }
    EXPECT_EQ(numbers(array), (std::vector<uint32_t>{10, 20, 30, 40, 50}));

    Item hit = item(7, 30, "NEW");
    EXPECT_EQ(recarr_binsert(array, &hit, nullptr, kByNumber), 3u);
    EXPECT_EQ(recarr_count(array), 5u);
    EXPECT_STREQ(hit.name, "new"); // the old bytes come back
    EXPECT_EQ(hit.word, 0);
    Item stored{};
    recarr_get(array, 3, &stored);
    EXPECT_STREQ(stored.name, "NEW");

    Item key = item(0, 40), found{};
    EXPECT_EQ(recarr_bsearch(array, &key, &found, kByNumber), 4u);
    EXPECT_EQ(recarr_bremove(array, &key, kByNumber), 4u);
    EXPECT_EQ(numbers(array), (std::vector<uint32_t>{10, 20, 30, 50}));
}

void add_numbers(void* item, void* stored, KeyDescriptor)
{
    static_cast<Item*>(stored)->word += static_cast<Item*>(item)->word;
}

TEST_F(RecordArrayTest, SortedOperationsAgreeWithLowerBound)
{
    recarr_init(array, sizeof(Item), nullptr);
    std::vector<uint32_t> reference;
    uint32_t seed = 12345;
    for (int step = 0; step < 3000; step++) {
        seed = seed * 1103515245 + 12345;
        uint32_t key = (seed >> 16) % 500;
        auto at = std::lower_bound(reference.begin(), reference.end(), key);
        bool present = at != reference.end() && *at == key;
        Item it = item(0, key);
        if (seed & 0x100) {
            uint32_t index = recarr_binsert(array, &it, nullptr, kByNumber);
            if (!present)
                reference.insert(at, key);
            ASSERT_EQ(index, uint32_t(std::lower_bound(reference.begin(), reference.end(), key) - reference.begin()) + 1);
        } else {
            ASSERT_EQ(recarr_bremove(array, &it, kByNumber) != 0, present);
            if (present)
                reference.erase(at);
        }
    }
    EXPECT_EQ(numbers(array), reference);
}

TEST_F(RecordArrayTest, AnyOfSeveralEqualItemsMayBeHit)
{
    recarr_init(array, sizeof(Item), nullptr);
    for (uint32_t v : {1u, 5u, 5u, 5u, 9u}) {
        Item it = item(uint16_t(v), v);
        recarr_append(array, &it);
    }
    Item key = item(0, 5), found{};
    uint32_t n = recarr_bsearch(array, &key, &found, kByNumber);
    EXPECT_TRUE(n >= 2 && n <= 4) << n;
    EXPECT_EQ(found.number, 5u);
    Item six = item(0, 6);
    EXPECT_EQ(recarr_binsert(array, &six, nullptr, kByNumber), 5u);
}

TEST_F(RecordArrayTest, SortedInsertMergesOnAHit)
{
    recarr_init(array, sizeof(Item), nullptr);
    Item a = item(1, 5), b = item(2, 5);
    recarr_binsert(array, &a, add_numbers, kByNumber);
    EXPECT_EQ(recarr_binsert(array, &b, add_numbers, kByNumber), 1u);
    Item stored{};
    recarr_get(array, 1, &stored);
    EXPECT_EQ(stored.word, 3);
}

int g_callback_calls = 0;
int compare_names(const void* a, const void* b, KeyDescriptor)
{
    g_callback_calls++;
    return std::strncmp(static_cast<const Item*>(a)->name, static_cast<const Item*>(b)->name, 4);
}

TEST_F(RecordArrayTest, WordKeysNeverConsultTheCallback)
{
    recarr_init(array, sizeof(Item), compare_names);
    for (uint16_t w : {300, 100, 200}) {
        Item it = item(w, w, "zz");
        recarr_append(array, &it);
    }
    g_callback_calls = 0;
    recarr_sort(array, kByWord);
    Item key = item(200, 0, "aa");
    EXPECT_EQ(recarr_bsearch(array, &key, nullptr, kByWord), 2u);
    EXPECT_EQ(recarr_find(array, &key, nullptr, kByWord), 2u);
    EXPECT_EQ(g_callback_calls, 0);
    EXPECT_EQ(numbers(array), (std::vector<uint32_t>{100, 200, 300}));

    // Any other descriptor goes to the callback.
    Item named = item(0, 0, "zz");
    EXPECT_EQ(recarr_find(array, &named, nullptr, kByNumber), 1u);
    EXPECT_GT(g_callback_calls, 0);
}

TEST_F(RecordArrayTest, BuiltInCompares)
{
    struct Case {
        const char* name;
        KeyDescriptor key;
        std::vector<uint8_t> a, b;
        int expected;
    };
    static const Case kCases[] = {
        {"byte", recarr_key(1, 1), {0, 0x80, 0, 0, 0, 0}, {0, 0x7F, 0, 0, 0, 0}, 1},
        {"word is -1/0/1 here", recarr_key(2, 0), {0x00, 0x01, 0, 0, 0, 0}, {0x10, 0x00, 0, 0, 0, 0}, 1},
        {"long unsigned", recarr_key(4, 0), {0, 0, 0, 0x80, 0, 0}, {1, 0, 0, 0, 0, 0}, 1},
        {"three words", recarr_key(6, 0), {1, 0, 2, 0, 9, 0}, {1, 0, 2, 0, 3, 0}, 1},
        {"five bytes", recarr_key(5, 1), {9, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 6}, -1},
        {"kind 0 is equal", recarr_key(0, 0), {1, 2, 3, 4, 5, 6}, {6, 5, 4, 3, 2, 1}, 0},
        {"key past the item", recarr_key(4, 4), {1, 2, 3, 4, 5, 6}, {6, 5, 4, 3, 2, 1}, 0},
    };
    recarr_init(array, 6, nullptr);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(recarr_compare(array, c.a.data(), c.b.data(), c.key), c.expected);
        EXPECT_EQ(recarr_compare(array, c.b.data(), c.a.data(), c.key), -c.expected);
    }
}

TEST_F(RecordArrayTest, ThreeByteItemsNeverComparePadBytes)
{
    recarr_init(array, 3, nullptr);
    recarr_append(array, "abc");
    recarr_lock(array);
    static_cast<uint8_t*>(recarr_item(array, 1))[3] = 0x55; // the stride's spare byte
    recarr_unlock(array);
    EXPECT_EQ(recarr_find(array, "abc\x00", nullptr, recarr_key(3, 0)), 1u);
    EXPECT_EQ(recarr_find(array, "abc", nullptr, recarr_key(4, 0)), 0u); // would reach the pad
}

TEST_F(RecordArrayTest, FindTakeAndFindIf)
{
    recarr_init(array, sizeof(Item), nullptr);
    for (uint32_t v : {7u, 8u, 9u}) {
        Item it = item(uint16_t(v), v);
        recarr_append(array, &it);
    }
    Item key = item(0, 8), out{};
    EXPECT_EQ(recarr_find(array, &key, &out, kByNumber), 2u);
    EXPECT_EQ(out.word, 8);
    Item missing = item(0, 99);
    EXPECT_EQ(recarr_find(array, &missing, &out, kByNumber), 0u);
    EXPECT_EQ(recarr_take(array, &key, kByNumber), 2u);
    EXPECT_EQ(key.word, 8);
    EXPECT_EQ(numbers(array), (std::vector<uint32_t>{7, 9}));
    uint32_t wanted = 9;
    auto match = [](const void* it, void* user) {
        return static_cast<const Item*>(it)->number == *static_cast<uint32_t*>(user) ? 0 : 1;
    };
    EXPECT_EQ(recarr_find_if(array, match, &wanted), 2u);
}

TEST_F(RecordArrayTest, SortMatchesStdSortOnManyShapes)
{
    struct Case {
        const char* name;
        int count;
        uint32_t (*key)(int i, int count);
    };
    static const Case kCases[] = {
        {"random", 5000, [](int i, int) { return uint32_t(i) * 2654435761u % 1000; }},
        {"reversed", 5000, [](int i, int count) { return uint32_t(count - i); }},
        {"all equal", 5000, [](int, int) { return 7u; }},
        {"sorted but the last", 5000, [](int i, int count) { return i == count - 1 ? 0u : uint32_t(i); }},
        {"two", 2, [](int i, int) { return uint32_t(1 - i); }},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        RecordArray a;
        recarr_init(a, sizeof(Item), nullptr);
        std::vector<uint32_t> expected;
        for (int i = 0; i < c.count; i++) {
            Item it = item(0, c.key(i, c.count));
            recarr_append(a, &it);
            expected.push_back(it.number);
        }
        std::sort(expected.begin(), expected.end());
        recarr_sort(a, kByNumber);
        EXPECT_EQ(numbers(a), expected);
        recarr_free(a);
    }
}

TEST_F(RecordArrayTest, AttachChecksTheBlockAndDetachShrinksIt)
{
    MemHandle block = mem_alloc(3 * 16, kMemMovableZero);
    EXPECT_EQ(recarr_attach(array, sizeof(Item), nullptr, block, 4), 0); // 4 items need 64 bytes
    EXPECT_FALSE(recarr_is_valid(array));
    ASSERT_EQ(recarr_attach(array, sizeof(Item), nullptr, block, 2), 1);
    EXPECT_EQ(recarr_count(array), 2u);
    MemHandle out;
    uint32_t count = 0;
    recarr_detach(array, &out, &count);
    EXPECT_EQ(out, block);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(mem_size(out), 32u);
    EXPECT_FALSE(recarr_is_valid(array));
    mem_free(out);
}

TEST_F(RecordArrayTest, LockedItemsFollowTheBlockWhenItMoves)
{
    plat::memory_set_move_on_lock(true);
    recarr_init(array, sizeof(Item), nullptr);
    EXPECT_EQ(recarr_lock(array), 1u);
    EXPECT_EQ(recarr_lock(array), 2u);
    for (uint32_t v = 0; v < 100; v++) {
        Item it = item(0, v);
        recarr_append(array, &it); // grows the locked block: it moves
    }
    EXPECT_EQ(static_cast<Item*>(recarr_item(array, 100))->number, 99u);
    EXPECT_EQ(array.items, mem_address(array.block));
    recarr_unlock(array);
    recarr_unlock(array);
    EXPECT_EQ(array.items, nullptr);
    EXPECT_EQ(recarr_clear(array), 1);
    EXPECT_EQ(recarr_count(array), 0u);
}

TEST_F(RecordArrayTest, ArraysGrowPast65504Bytes)
{
    recarr_init(array, sizeof(Item), nullptr);
    ASSERT_EQ(recarr_append_n(array, 100000, nullptr), 1);
    Item it = item(0, 123);
    EXPECT_EQ(recarr_set(array, 100000, &it), 1);
    EXPECT_EQ(numbers(array).back(), 123u);
}

} // namespace
