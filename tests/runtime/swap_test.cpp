#include "rec_fixture.h"
#include "runtime/store/swap.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace rectest;

namespace {

class SwapTest : public RecTest { };

// Runs a descriptor to native order over the hex; the result as hex, or "short".
std::string to_native(const std::vector<uint8_t>& descriptor, const char* hex, int direction = 1)
{
    std::vector<uint8_t> bytes = from_hex(hex);
    SwapScope scope(direction);
    if (swap_by_descriptor(bytes.data(), bytes.size(), descriptor.data()) < 0)
        return "short";
    return to_hex(bytes);
}

TEST_F(SwapTest, Descriptors)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> descriptor;
        const char* foreign;
        const char* native;
    };
    static const Case kCases[] = {
        { "kind header's last two words", { 1, 4, 1, 4, 4, 4, 0 },
            "50435253 afbcadac 00000016 fffffff8", "50435253afbcadac16000000f8ffffff" },
        { "u16, two u32, double", { 2, 3, 5, 0 }, "0102 00000001 00000002 3ff0000000000000",
            "02010100000002000000000000000000f03f" },
        { "skip then u32", { 1, 3, 4, 0 }, "aabbcc 11223344", "aabbcc44332211" },
        // Fields a:4 b:4 c:8 of the other byte order's compilers, a = 1, b = 2, c = 0x34.
        { "16-bit fields 4, 4, 8", { 16, 4, 16, 4, 16, 8, 0 }, "1234", "2134" },
        { "zero bit-field word", { 16, 4, 16, 4, 16, 8, 0 }, "0000", "0000" },
        // a:1 = 1, b:7 = 5, c:24 = 0xABCDEF.
        { "32-bit fields 1, 7, 24", { 32, 1, 32, 7, 32, 24, 0 }, "85abcdef", "0befcdab" },
        { "two words of fields", { 16, 8, 16, 8, 16, 16, 0 }, "1234 abcd", "1234cdab" },
        { "record shorter than descriptor", { 4, 4, 0 }, "11223344 5566", "short" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(to_native(c.descriptor, c.foreign), c.native);
        if (std::string(c.native) != "short") { // and back again
            EXPECT_EQ(to_native(c.descriptor, c.native, 0), to_hex(from_hex(c.foreign)));
        }
    }
}

TEST_F(SwapTest, NothingChangesWhileSwappingIsOff)
{
    std::vector<uint8_t> bytes = from_hex("0102030405060708 1234 85abcdef");
    static const uint8_t kDescriptor[]
        = { kSwapU16, kSwapU32, kSwapU16, kSwapU16, kSwapBits32, 1, kSwapBits32, 31, 0 };
    swap_short(bytes.data());
    swap_long(bytes.data());
    swap_shorts(bytes.data(), 4);
    swap_longs(bytes.data(), 2);
    EXPECT_EQ(swap_by_descriptor(bytes.data(), bytes.size(), kDescriptor), 14);
    EXPECT_EQ(to_hex(bytes), "0102030405060708123485abcdef");
    // The value swaps hold whatever the state.
    EXPECT_EQ(swap_bytes16(0x1234), 0x3412);
    EXPECT_EQ(swap_bytes32(0x12345678u), 0x78563412u);
    swap_double(bytes.data());
    EXPECT_EQ(to_hex(bytes), "0807060504030201123485abcdef");
}

TEST_F(SwapTest, RecordsNeedRoomForEveryElement)
{
    static const uint8_t kPair[] = { kSwapU16, kSwapU16, 0 };
    std::vector<uint8_t> bytes = from_hex("0001 0002 0003 0004 0005");
    SwapScope scope(1);
    EXPECT_EQ(swap_records(bytes.data(), bytes.size(), kPair, 3), 5000);
    EXPECT_EQ(to_hex(bytes), "00010002000300040005"); // untouched
    EXPECT_EQ(swap_records(bytes.data(), bytes.size(), kPair, 2), 0);
    EXPECT_EQ(to_hex(bytes), "01000200030004000005");
}

// Collects the tags the walk hands over.
int note_tag(uint16_t tag, uint8_t*, size_t length, void* user)
{
    *static_cast<std::string*>(user) += std::to_string(tag) + ":" + std::to_string(length) + " ";
    return 0;
}

TEST_F(SwapTest, TagListWalkStaysInsideItsBlock)
{
    struct Case {
        const char* name;
        const char* foreign;
        int result;
        const char* native; // on success
        const char* tags;
    };
    static const Case kCases[] = {
        { "two tags, odd length padded", "0001 0003 aabbcc00 0007 0000 0000", 0,
            "01000300aabbcc00070000000000", "1:3 7:0 " },
        { "empty list", "0000", 0, "0000", "" },
        { "no terminator", "0001 0002 aabb", 5000, nullptr, "1:2 " },
        { "length past the block", "0001 0010 aabb 0000", 5000, nullptr, "" },
        { "half a tag at the end", "0001 0000 00", 5000, nullptr, "1:0 " },
        { "pad byte missing before the end", "0001 0001 aa", 5000, nullptr, "1:1 " },
        { "nothing at all", "", 5000, nullptr, "" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = from_hex(c.foreign);
        std::string tags;
        {
            SwapScope scope(1);
            EXPECT_EQ(swap_taglist(bytes.data(), bytes.size(), 1, note_tag, &tags), c.result);
        }
        EXPECT_EQ(tags, c.tags);
        if (c.result != 0)
            continue;
        EXPECT_EQ(to_hex(bytes), c.native);
        SwapScope scope(0);
        EXPECT_EQ(swap_taglist(bytes.data(), bytes.size(), 0, nullptr, nullptr), 0);
        EXPECT_EQ(to_hex(bytes), to_hex(from_hex(c.foreign)));
    }
}

int g_hook_calls = 0;

int button_hook(uint16_t tag, uint8_t* data, size_t length, int to_native)
{
    g_hook_calls++;
    EXPECT_EQ(tag, 52);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(to_native, 1);
    swap_short(data);
    return 0;
}

TEST_F(SwapTest, TypedTagListsConvertByKindAndTag)
{
    struct Case {
        const char* name;
        int kind;
        const char* foreign;
        int result;
        const char* native;
    };
    static const Case kCases[] = {
        { "kind 0: pairs", 0, "0002 0006 0001 0002 0003 0000", 0, "020006000100020000030000" },
        { "kind 2: once", 2, "0001 000a 0001 0002 0003 00000004 0000", 0,
            "01000a00010002000300040000000000" },
        { "kind 2: data too short", 2, "0001 0004 0001 0002 0000", 5000, nullptr },
        { "kind 4: tag 3 is one u16", 4, "0003 0004 0001 0002 0000", 0, "03000400010000020000" },
        { "kind 4: tag 1 of another length", 4, "0001 0002 0001 0000", 0,
            "010002000001"
            "0000" },
        { "kind 6: tags only", 6, "0009 0002 1234 0000", 0, "0900020012340000" },
        { "kind 11: typed values", 11, "0001 0010 01 00 00000005 00000000 00000000 0000 0000", 0,
            "0100100001000500000000000000000000000000"
            "0000" },
        { "kind 15: tag 9 in fours", 15, "0009 0008 0001 0002 0003 0004 0000", 0,
            "090008000100020003000400"
            "0000" },
        { "kind 17 without its module", 17, "0001 0002 0001 0000", 8005, nullptr },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = from_hex(c.foreign);
        SwapScope scope(1);
        EXPECT_EQ(swap_typed_taglist(bytes.data(), bytes.size(), c.kind, 1), c.result);
        if (c.result == 0) {
            EXPECT_EQ(to_hex(bytes), c.native);
        }
    }
    g_hook_calls = 0;
    swap_set_hook(kSwapHookButton, button_hook);
    std::vector<uint8_t> bytes = from_hex("0034 0002 0102 0000");
    SwapScope scope(1);
    EXPECT_EQ(swap_typed_taglist(bytes.data(), bytes.size(), 16, 1), 0);
    EXPECT_EQ(g_hook_calls, 1);
    EXPECT_EQ(to_hex(bytes), "3400020002010000");
}

TEST_F(SwapTest, TypedValues)
{
    struct Case {
        const char* name;
        const char* foreign;
        const char* native;
    };
    static const Case kCases[] = {
        { "integer", "01 00 12345678 0000 0000 0000 0000 0000",
            "01007856341200000000000000000000" },
        { "real", "02 00 3ff0000000000000 0000 0000 0000", "0200000000000000f03f000000000000" },
        { "kind 0 with two words", "00 00 02 00 00000009 0001 0002 0000 0000",
            "00000200090000000100020000000000" },
        { "kind 0 without them", "00 00 01 00 00000009 0001 0002 0000 0000",
            "00000100090000000001000200000000" },
        { "string: nothing to convert", "03 00 12345678 0000 0000 0000 0000 0000",
            "03001234567800000000000000000000" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = from_hex(c.foreign);
        ASSERT_EQ(bytes.size(), 16u);
        SwapScope scope(1);
        swap_typed_value(bytes.data());
        EXPECT_EQ(to_hex(bytes), c.native);
    }
}

TEST_F(SwapTest, OffsetTablesGiveTheirSizeFirst)
{
    struct Case {
        const char* name;
        bool wide;
        const char* foreign;
        int result;
        size_t entries;
        const char* native;
    };
    static const Case kCases[] = {
        { "three u16", false, "0006 0008 000a ffff", 0, 3, "060008000a00ffff" },
        { "u32", true, "00000008 00000010 ffffffff", 0, 2, "0800000010000000ffffffff" },
        { "table past the record", false, "0010 0002", 5000, 0, nullptr },
        { "empty table", true, "00000000", 5000, 0, nullptr },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = from_hex(c.foreign);
        size_t entries = 99;
        SwapScope scope(1);
        int result = c.wide ? swap_offset_table32(bytes.data(), bytes.size(), &entries)
                            : swap_offset_table16(bytes.data(), bytes.size(), &entries);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(entries, c.entries);
        if (c.result == 0) {
            EXPECT_EQ(to_hex(bytes), c.native);
        }
    }
}

} // namespace
