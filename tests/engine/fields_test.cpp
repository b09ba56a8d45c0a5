// Typed fields over records of any slot (here the learner's records without a file) and the
// packed element blocks.
#include "tests/engine/engine_fixture.h"

#include "runtime/engine/fields.h"

#include <gtest/gtest.h>

namespace enginetest {
namespace {

constexpr uint16_t kRecord = 7;
RecordId id(uint16_t number = kRecord) { return rec_make_id(kRecordsSlot, number); }

class FieldsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_EQ(urec_open(nullptr, 1), 0);
    }
    void TearDown() override
    {
        urec_close();
        EngineTest::TearDown();
    }
    static std::string record_hex(uint16_t number = kRecord)
    {
        std::vector<uint8_t> bytes;
        if (urec_read(number, bytes) != 0)
            return "none";
        return to_hex(bytes.data(), bytes.size());
    }
    static void put_text(uint16_t tag, const char* text, uint32_t size)
    {
        ASSERT_EQ(fg_put_field(id(), kFieldGroupType, tag, text, size), 0);
    }
};

TEST_F(FieldsTest, FieldsAreWrittenAsATagListByteForByte)
{
    put_text(3, "abc", 3);
    put_text(1, "\x34\x12", 2);
    // {tag, length, data padded to even} per field, then tag 0.
    EXPECT_EQ(record_hex(), "03000300616263000100020034120000");
    RecordDirEntry entry;
    ASSERT_EQ(rec_lookup(id(), entry, nullptr), 1);
    EXPECT_EQ(entry.type, kFieldGroupType);
}

TEST_F(FieldsTest, ReadsOfTheEdgeCases)
{
    uint8_t twenty[20];
    std::fill(std::begin(twenty), std::end(twenty), 0xAB);
    ASSERT_EQ(fg_put_field(id(), kFieldGroupType, 5, twenty, sizeof twenty), 0);
    put_text(6, "name", 5);
    put_text(8, "open", 4); // a text without its NUL

    uint8_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 0xFF);
    EXPECT_EQ(fg_get_block(id(), 5, buffer, sizeof buffer), 0u); // too long: nothing copied
    EXPECT_EQ(std::count(std::begin(buffer), std::end(buffer), 0), 16);
    EXPECT_EQ(fg_field_size(id(), 5), 20u);
    EXPECT_EQ(fg_field_size(id(), 9), 0u);
    EXPECT_EQ(fg_field_size(id(99), 5), 0u);

    char text[8];
    EXPECT_EQ(fg_get_str(id(), 6, text, sizeof text), 4u);
    EXPECT_STREQ(text, "name");
    EXPECT_EQ(fg_get_str(id(), 6, text, 3), 2u); // cut to the buffer
    EXPECT_STREQ(text, "na");
    EXPECT_EQ(fg_get_str(id(), 8, text, sizeof text), 4u);
    EXPECT_STREQ(text, "open");
    EXPECT_EQ(fg_get_str(id(), 9, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");

    MemHandle copy = fg_get_hand_g(id(), 6);
    ASSERT_TRUE(copy);
    EXPECT_EQ(mem_size(copy), 5u);
    mem_free(copy);
    EXPECT_FALSE(fg_get_hand_g(id(), 9));
}

TEST_F(FieldsTest, AMissingRecordLeavesNoErrorBehind)
{
    rec_set_error_word(77);
    uint8_t buffer[4] = { 1, 2, 3, 4 };
    EXPECT_EQ(fg_get_block(id(40), 1, buffer, sizeof buffer), 0u);
    EXPECT_EQ(rec_error_word(), 0);
    EXPECT_EQ(to_hex(buffer, 4), "00000000");
    EXPECT_EQ(fg_for_each_field(id(40), [](uint16_t, uint8_t*, uint32_t, void*, int*) { return 1; }, nullptr), 0);
}

TEST_F(FieldsTest, PutsResizeAndDeletes)
{
    put_text(2, "abc", 3);
    uint32_t before = rec_size(id(), kSizeUnpacked);
    put_text(2, "abcde", 5);
    EXPECT_EQ(rec_size(id(), kSizeUnpacked), before + 2); // 4 padded to 6
    EXPECT_EQ(fg_put_field(id(0), kFieldGroupType, 2, "x", 1), 0); // record 0: nothing
    EXPECT_EQ(fg_put_field(id(), kFieldGroupType, 0, "x", 1), 0);   // tag 0: nothing
    EXPECT_EQ(fg_field_size(id(), 0), 0u);
    put_text(3, "z", 1);
    EXPECT_EQ(fg_put_field(id(), kFieldGroupType, 3, nullptr, 0), 0); // size 0 deletes
    EXPECT_EQ(fg_field_size(id(), 3), 0u);
    EXPECT_EQ(fg_delete_field(id(), 2), 0); // the last field: the record goes
    EXPECT_EQ(record_hex(), "none");
}

TEST_F(FieldsTest, DamagedRecordsAreNotWalkedOrWritten)
{
    static const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } kDamaged[] = {
        { "length past the end", { 5, 0, 10, 0, 1, 2 } },
        { "no terminator", { 5, 0, 2, 0, 1, 2 } },
        { "half a tag", { 5 } },
    };
    for (const auto& row : kDamaged) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(urec_write(kRecord, row.bytes.data(), row.bytes.size()), 0);
        uint8_t buffer[2];
        EXPECT_EQ(fg_get_block(id(), 5, buffer, sizeof buffer), 0u);
        EXPECT_EQ(fg_put_field(id(), kFieldGroupType, 6, "ab", 2), kErrFileDamaged);
        EXPECT_EQ(fg_delete_field(id(), 5), kErrFileDamaged);
        int error = 0;
        EXPECT_EQ(fg_for_each_field(id(), [](uint16_t, uint8_t*, uint32_t, void*, int*) { return 1; }, nullptr, &error), 0);
        EXPECT_EQ(error, kErrFileDamaged);
        EXPECT_EQ(fg_lock_field(id(), 5, nullptr), nullptr);
    }
}

TEST_F(FieldsTest, LocksAndWalksWriteBackWhatChanged)
{
    put_text(4, "abcd", 4);
    put_text(9, "wxyz", 4);
    uint32_t size = 0;
    uint8_t* data = fg_lock_field(id(), 9, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 4u);
    data[0] = 'W';
    fg_unlock_field(id(), 9, 1, data);
    char text[8];
    fg_get_str(id(), 9, text, sizeof text);
    EXPECT_STREQ(text, "Wxyz");

    std::vector<uint16_t> seen;
    uint16_t stopped = fg_for_each_field(id(), [](uint16_t tag, uint8_t* bytes, uint32_t, void* user, int* changed) {
        static_cast<std::vector<uint16_t>*>(user)->push_back(tag);
        bytes[1] = 'B';
        *changed = 1;
        return tag == 4 ? 1 : 0;
    }, &seen);
    EXPECT_EQ(stopped, 9);
    EXPECT_EQ(seen, (std::vector<uint16_t> { 4, 9 }));
    fg_get_str(id(), 4, text, sizeof text);
    EXPECT_STREQ(text, "aBcd");
    fg_get_str(id(), 9, text, sizeof text);
    EXPECT_STREQ(text, "WByz");
}

TEST_F(FieldsTest, LearnerRecordWrappersNameSlot23)
{
    ASSERT_EQ(urec_put_field(kRecord, 3, "hi", 3), 0);
    char text[4] = {};
    EXPECT_EQ(urec_get_field(kRecord, 3, text, sizeof text), 3u);
    EXPECT_STREQ(text, "hi");
    uint32_t size = 0;
    uint8_t* data = urec_lock_field(kRecord, 3, &size);
    ASSERT_NE(data, nullptr);
    fg_unlock_field(id(), 3, 0, data);
    int count = 0;
    urec_for_each_field(kRecord, [](uint16_t, uint8_t*, uint32_t, void* user, int*) { return ++*static_cast<int*>(user), 1; }, &count);
    EXPECT_EQ(count, 1);
}

std::string packed_hex(MemHandle block)
{
    return to_hex(static_cast<const uint8_t*>(mem_address(block)), mem_size(block));
}

TEST(PackedBlockTest, ElementsArePaddedToEvenAndMoveTheOthers)
{
    MemHandle block = var_packed_new(2);
    ASSERT_TRUE(block);
    EXPECT_EQ(packed_hex(block), "0c0000000c0000000c000000");
    block = var_packed_put(block, 1, "xy", 2);
    block = var_packed_put(block, 0, "abc", 3);
    ASSERT_TRUE(block);
    // offsets {12, 16, 18}, then "abc" and its zero filler, then "xy".
    EXPECT_EQ(packed_hex(block).substr(0, 36), "0c0000001000000012000000616263007879");
    MemHandle got = var_packed_get(block, 0);
    ASSERT_TRUE(got);
    EXPECT_EQ(packed_hex(got), "61626300");
    mem_free(got);
    block = var_packed_put(block, 0, nullptr, 0);
    ASSERT_TRUE(block);
    EXPECT_FALSE(var_packed_get(block, 0));
    got = var_packed_get(block, 1);
    ASSERT_TRUE(got);
    EXPECT_EQ(packed_hex(got), "7879");
    mem_free(got);
    EXPECT_EQ(var_packed_count(block), 2u);
    mem_free(block);
}

TEST(PackedBlockTest, RefusesIndexesPastTheCountAndDamagedTables)
{
    static const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        uint32_t index;
    } kRefused[] = {
        { "index past the count", { 8, 0, 0, 0, 8, 0, 0, 0 }, 1 },
        { "table past the block", { 16, 0, 0, 0, 8, 0, 0, 0 }, 0 },
        { "offsets going back", { 12, 0, 0, 0, 14, 0, 0, 0, 12, 0, 0, 0, 1, 2 }, 0 },
        { "offset past the block", { 8, 0, 0, 0, 40, 0, 0, 0 }, 0 },
        { "table not in words", { 6, 0, 0, 0, 6, 0 }, 0 },
    };
    for (const auto& row : kRefused) {
        SCOPED_TRACE(row.name);
        MemHandle block = mem_alloc_copy(row.bytes.data(), row.bytes.size());
        std::string before = packed_hex(block);
        EXPECT_FALSE(var_packed_put(block, row.index, "ab", 2));
        EXPECT_FALSE(var_packed_get(block, row.index));
        EXPECT_EQ(packed_hex(block), before);
        mem_free(block);
    }
}

} // namespace
} // namespace enginetest
