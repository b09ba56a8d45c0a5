#include "runtime/base/taglist.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hex_fixture.h"
#include "runtime/base/errcode.h"

namespace {

class TagListTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::memory_reset();
        list = taglist_new();
    }
    void TearDown() override
    {
        taglist_free(list);
        plat::memory_reset();
    }
    const uint8_t* bytes() const { return static_cast<const uint8_t*>(mem_address(list)); }
    size_t size() const { return taglist_size(bytes(), mem_size(list)); }
    // The list's bytes up to its terminator, as hex.
    std::string hex() const
    {
        std::string out;
        char digits[3];
        for (size_t i = 0; i < size(); i++) {
            std::snprintf(digits, sizeof digits, "%02X", bytes()[i]);
            out += digits;
        }
        return out;
    }
    TagList list;
};

TEST_F(TagListTest, LayoutOfRecords)
{
    EXPECT_EQ(size(), 2u);
    EXPECT_EQ(taglist_is_empty(list), 1);
    EXPECT_EQ(taglist_empty_size(), 2u);
    ASSERT_EQ(taglist_put(&list, 5, "abc", 4), 1);
    EXPECT_EQ(size(), 10u);
    EXPECT_EQ(taglist_is_empty(list), 0);
    ASSERT_EQ(taglist_put(&list, 9, "xyz", 3), 1); // odd: one pad byte
    ASSERT_EQ(taglist_put(&list, 2, "q", 1), 1);
    EXPECT_EQ(hex(), "0500" "0400" "61626300"
                     "0900" "0300" "78797A00"
                     "0200" "0100" "7100"
                     "0000");
}

TEST_F(TagListTest, ResizingARecordMovesOnlyWhatFollows)
{
    taglist_put(&list, 1, "aaa", 3);
    taglist_put(&list, 2, "bb", 2);
    ASSERT_EQ(taglist_put(&list, 1, "AAAA", 4), 1); // 3 to 4: same room, new length field
    EXPECT_EQ(hex(), "0100040041414141" "020002006262" "0000");
    ASSERT_EQ(taglist_put(&list, 1, "123456", 6), 1);
    EXPECT_EQ(hex(), "0100060031323334" "3536" "020002006262" "0000");
    ASSERT_EQ(taglist_put(&list, 1, "z", 1), 1);
    EXPECT_EQ(hex(), "010001007A00" "020002006262" "0000");
    ASSERT_EQ(taglist_delete(list, 1), 1);
    EXPECT_EQ(hex(), "020002006262" "0000");
    EXPECT_EQ(taglist_delete(list, 1), 0);
}

TEST_F(TagListTest, ReadingRecords)
{
    taglist_put(&list, 3, "0123456789ab", 12);
    taglist_put(&list, 4, "hello", 6);
    struct Case {
        const char* name;
        uint16_t tag;
        uint16_t buffer_size;
        uint16_t result;
        std::string expected; // the whole buffer
    };
    static const Case kCases[] = {
        {"fits with room", 3, 14, 12, std::string("0123456789ab\0\0", 14)},
        {"longer than the buffer", 3, 10, 0, std::string(10, '\0')},
        {"absent", 8, 4, 0, std::string(4, '\0')},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string buffer(c.buffer_size, 'X');
        EXPECT_EQ(taglist_get(bytes(), mem_size(list), c.tag, buffer.data(), c.buffer_size), c.result);
        EXPECT_EQ(buffer, c.expected);
    }
    char untouched[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(taglist_get(nullptr, 0, 3, untouched, 4), 0);
    EXPECT_EQ(untouched[0], 'a');

    char text[16];
    EXPECT_EQ(taglist_get_string(bytes(), mem_size(list), 4, text, 4), 3u);
    EXPECT_STREQ(text, "hel");
    EXPECT_EQ(taglist_get_string(bytes(), mem_size(list), 4, text, sizeof text), 5u);
    EXPECT_STREQ(text, "hello");
    EXPECT_EQ(taglist_get_string(bytes(), mem_size(list), 8, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(taglist_item_length(bytes(), mem_size(list), 3), 12);
    EXPECT_EQ(taglist_item_length(bytes(), mem_size(list), 8), 0);
}

TEST_F(TagListTest, PutRulesAndRefusals)
{
    EXPECT_EQ(taglist_put(&list, 7, nullptr, 0), 1); // deleting an absent tag succeeds
    EXPECT_EQ(taglist_put(&list, 0, "x", 1), 0);
    EXPECT_EQ(taglist_put(&list, 7, nullptr, kTagListMaxData + 1), 0);
    EXPECT_EQ(taglist_put_string(&list, 7, "seven"), 1);
    EXPECT_EQ(taglist_item_length(bytes(), mem_size(list), 7), 6);
    EXPECT_EQ(taglist_put_string(&list, 7, ""), 1);
    EXPECT_EQ(size(), 2u);
    ASSERT_EQ(taglist_put(&list, 6, nullptr, 4), 1); // room reserved
    EXPECT_EQ(taglist_item_length(bytes(), mem_size(list), 6), 4);
}

TEST_F(TagListTest, ListsGrowPast65504Bytes)
{
    std::vector<uint8_t> data(kTagListMaxData, 0x5A);
    for (uint16_t tag = 1; tag <= 3; tag++)
        ASSERT_EQ(taglist_put(&list, tag, data.data(), kTagListMaxData), 1) << tag;
    EXPECT_EQ(size(), 3 * (4 + 65498) + 2u);
    EXPECT_EQ(taglist_put_ex(&list, 4, data.data(), 10, 1), 1);
    EXPECT_EQ(taglist_item_length(bytes(), mem_size(list), 3), kTagListMaxData);
}

TEST_F(TagListTest, FailedGrowthLeavesTheList)
{
    taglist_put(&list, 1, "keep", 4);
    std::string before = hex();
    plat::memory_set_limit(plat::memory_total_allocated() + 50);
    std::vector<uint8_t> data(1000, 1);
    EXPECT_EQ(taglist_put(&list, 2, data.data(), 1000), 0);
    EXPECT_EQ(taglist_put(&list, 1, data.data(), 1000), 0);
    EXPECT_EQ(hex(), before);
    plat::memory_set_limit(plat::memory_total_allocated());
    EXPECT_EQ(taglist_get_handle(list, 1), kMemFailed);
    plat::memory_set_limit(0);
    MemHandle copy = taglist_get_handle(list, 1);
    EXPECT_EQ(std::string(static_cast<const char*>(mem_address(copy)), 4), "keep");
    EXPECT_FALSE(taglist_get_handle(list, 9));
    mem_free(copy);
}

TEST_F(TagListTest, PutFromItsOwnBytes)
{
    taglist_put(&list, 1, "source", 6);
    uint16_t length = 0;
    uint8_t* data = taglist_lock_item(list, 1, &length);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(length, 6);
    // The list grows while the data points into it.
    EXPECT_EQ(taglist_put(&list, 2, data, 6), 1);
    taglist_unlock_item(list, data);
    char text[8] = {};
    taglist_get(bytes(), mem_size(list), 2, text, 6);
    EXPECT_EQ(std::string(text, 6), "source");
    EXPECT_EQ(taglist_lock_item(list, 9, &length), nullptr);
    EXPECT_EQ(plat::global_flags(list) & plat::GMEM_LOCKCOUNT, 0u);
}

TEST_F(TagListTest, PutFromAHandle)
{
    MemHandle data = mem_alloc_copy("handle", 6);
    EXPECT_EQ(taglist_put_handle(&list, 3, data, 6), 1);
    EXPECT_EQ(taglist_item_length(bytes(), mem_size(list), 3), 6);
    EXPECT_EQ(taglist_put_handle(&list, 3, data, 7), 0); // beyond the block
    EXPECT_EQ(taglist_put_handle(&list, 3, MemHandle{}, 0), 1);
    EXPECT_EQ(taglist_item_length(bytes(), mem_size(list), 3), 0);
    mem_set_purgeable(data, 1);
    plat::global_discard(data);
    EXPECT_EQ(taglist_put_handle(&list, 3, data, 6), 0);
    mem_free(data);
}

TEST_F(TagListTest, ForEachStopsAndCollectsFlags)
{
    for (uint16_t tag : {3, 7, 9})
        taglist_put(&list, tag, "x", 1);
    struct Walk {
        std::vector<uint16_t> seen;
    } walk;
    auto visit = [](uint16_t tag, const uint8_t*, uint16_t, void* user, uint32_t* flags) {
        static_cast<Walk*>(user)->seen.push_back(tag);
        *flags = 1u << (tag % 8);
        return tag == 7 ? 0 : 1;
    };
    uint32_t flags = 0xFFFF;
    EXPECT_EQ(taglist_for_each(list, visit, &walk, &flags), 7);
    EXPECT_EQ(walk.seen, (std::vector<uint16_t>{3, 7}));
    EXPECT_EQ(flags, (1u << 3) | (1u << 7));
    walk.seen.clear();
    EXPECT_EQ(taglist_for_each_locked(bytes(), mem_size(list), visit, &walk, &flags), 7);
    EXPECT_EQ(plat::global_flags(list) & plat::GMEM_LOCKCOUNT, 0u);
}

TEST_F(TagListTest, AVisitorMayChangeTheList)
{
    for (uint16_t tag : {1, 2, 3})
        taglist_put(&list, tag, "ab", 2);
    auto grow_all = [](uint16_t tag, const uint8_t*, uint16_t, void* user, uint32_t*) {
        std::vector<uint8_t> big(5000, uint8_t(tag));
        taglist_put(static_cast<TagList*>(user), tag, big.data(), uint32_t(big.size()));
        return 1;
    };
    plat::memory_set_move_on_lock(true);
    EXPECT_EQ(taglist_for_each(list, grow_all, &list, nullptr), 0);
    plat::memory_set_move_on_lock(false);
    for (uint16_t tag : {1, 2, 3})
        EXPECT_EQ(taglist_item_length(bytes(), mem_size(list), tag), 5000) << tag;
}

TEST_F(TagListTest, StoredListsAreCheckedAgainstTheirBytes)
{
    struct Case {
        const char* name;
        const char* hex;
        int result;
        uint16_t length_of_tag_2; // what a read finds
    };
    static const Case kCases[] = {
        {"empty", "0000", kErrOk, 0},
        {"two records", "0100 0100 4100 0200 0200 4242 0000", kErrOk, 2},
        {"bytes after the terminator", "0200 0000 0000 FFFF", kErrOk, 0},
        {"no terminator", "0100 0100 4100", kErrFileDamaged, 0},
        {"length past the end", "0200 F0FF 4242 0000", kErrFileDamaged, 0},
        {"odd record without its pad", "0100 0100 41", kErrFileDamaged, 0},
        {"half a header", "0100 01", kErrFileDamaged, 0},
        {"half a terminator", "00", kErrFileDamaged, 0},
        {"nothing", "", kErrFileDamaged, 0},
        {"record found before the damage", "0200 0200 4242 0100 FFFF", kErrFileDamaged, 2},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> stored = from_hex(c.hex);
        EXPECT_EQ(taglist_check(stored.data(), stored.size()), c.result);
        EXPECT_EQ(taglist_item_length(stored.data(), stored.size(), 2), c.length_of_tag_2);
        MemHandle block = mem_alloc(stored.size(), kMemMovable);
        mem_write_at(block, stored.data(), stored.size(), 0);
        if (!stored.empty()) {
            EXPECT_EQ(taglist_attach(block), c.result);
            // A damaged list is never written to.
            EXPECT_EQ(taglist_put(&block, 5, "new", 3), c.result == kErrOk ? 1 : 0);
        }
        mem_free(block);
    }
}

} // namespace
