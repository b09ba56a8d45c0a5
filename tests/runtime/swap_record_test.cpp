#include "platform/kernel/byte_io.h"
#include "rec_fixture.h"
#include "runtime/store/swap_record.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace rectest;

namespace {

class SwapRecordTest : public RecTest {
protected:
    // Converts the hex by type; the result as hex, or "error N".
    static std::string convert(int type, const std::string& hex, int to_native)
    {
        std::vector<uint8_t> bytes = from_hex(hex);
        int result = swap_record_bytes(type, bytes.data(), bytes.size(), to_native);
        return result == 0 ? to_hex(bytes) : "error " + std::to_string(result);
    }
};

TEST_F(SwapRecordTest, ConvertersByType)
{
    struct Case {
        const char* name;
        int type;
        const char* foreign;
        const char* native; // or "error N"
    };
    static const Case kCases[] = {
        { "node directory shorter than 606 words", 1, "0100 0203", "0001 0302" },
        { "string pool header", 2, "00000001 00000002 aa", "01000000 02000000 aa" },
        // u32 7, fields 1, 0, 5, 0x123; a partial element at the end stays.
        { "node flags", 3, "00000007 94000123 ab", "07000000 d5480000 ab" },
        { "counted list", 5,
            "0001 00000002 00000001 00000003 ffff | 0001 0002 0003 0004 0005 0006 00000007",
            "0100 02000000 01000000 03000000 ffff | 0100 0200 0300 0400 0500 0600 07000000" },
        { "counted list past its record", 5,
            "0001 00000002 00000002 00000003 ffff | 0001 0002 0003 0004 0005 0006 00000007",
            "error 5000" },
        { "list entry", 8, "0001 0002 0003 0004 00000005 00000006 0007",
            "0100 0200 0300 0400 05000000 06000000 0700" },
        { "words", 28, "0001 0002 03", "0100 0200 03" },
        // Fields 0x101, 1, 0, 1, 0, 2, 1 and 0x12, 1, 0, 0, 0x1f.
        { "state words", 29, "00000009 80d5 129f", "09000000 01cb 12f9" },
        { "typed values", 30, "01 00 12345678 0000 0000 0000 0000 0000",
            "01 00 78563412 0000 0000 0000 0000 0000" },
        { "pairs", 32, "0001 0002 0003", "0100 0200 0003" },
        { "word index", 38, "0000000c 0000000e 0000000e 0102", "0c000000 0e000000 0e000000 0201" },
        { "word index with falling offsets", 38, "0000000c 0000000a 0000000e 0102", "error 5000" },
        { "offsets only", 39, "00000008 00000008", "08000000 08000000" },
        { "offset past the record", 39, "00000008 00000010", "error 5000" },
        { "counted words", 41, "0002 0001 0002 ffff", "0200 0100 0200 ffff" },
        { "count past the record", 42, "0005 0001", "error 5000" },
        { "bitmap with a second header", 53,
            "00000028 00000002 00000001 0001 0018 00000000 00000000 00000000 00000000 00000000 "
            "00000000"
            "| aabbccddeeff0011 |"
            "00000028 00000003 00000001 0001 0018 00000000 00000000 00000000 00000000 00000000 "
            "00000000",
            "28000000 02000000 01000000 0100 1800 00000000 00000000 00000000 00000000 00000000 "
            "00000000"
            "| aabbccddeeff0011 |"
            "28000000 03000000 01000000 0100 1800 00000000 00000000 00000000 00000000 00000000 "
            "00000000" },
        { "counted tags", 57, "0001 000c 0002 0009 00000001 00000002 | 0008 0002 1234 | 0000",
            "0100 0c00 0200 0900 01000000 02000000 | 0800 0200 1234 | 0000" },
        { "counted tag past its data", 57, "0001 0008 0005 0000 00000001 0000", "error 5000" },
        { "typed list of pairs", 20, "0003 0004 0001 0002 0000", "0300 0400 0100 0200 0000" },
        { "typed list without terminator", 20, "0003 0004 0001 0002", "error 5000" },
        { "header group: refused", 36, "0202 0000", "error 5000" },
        { "no converter", 50, "0001", "error 8005" },
        { "text styles without their module", 25, "0001", "error 8005" },
        { "untyped", -1, "0001", "error 8006" },
        { "a type outside the table", 45, "0001", "0001" },
        { "special", -2, "0001", "0001" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string native = c.native[0] == 'e' ? c.native : to_hex(from_hex(c.native));
        EXPECT_EQ(convert(c.type, c.foreign, 1), native);
        if (c.native[0] != 'e') { // and back
            EXPECT_EQ(convert(c.type, c.native, 0), to_hex(from_hex(c.foreign)));
        }
    }
    EXPECT_EQ(swap_enabled(), 0);
}

TEST_F(SwapRecordTest, NodeDirectoryStopsAt606Words)
{
    std::vector<uint8_t> bytes(1214);
    for (size_t n = 0; n < bytes.size(); n += 2)
        bytes[n] = 1;
    ASSERT_EQ(swap_record_bytes(1, bytes.data(), bytes.size(), 1), 0);
    EXPECT_EQ(bytes[1210], 0);
    EXPECT_EQ(bytes[1211], 1);
    EXPECT_EQ(bytes[1212], 1); // word 606 is no part of the directory
}

TEST_F(SwapRecordTest, ByDescriptorUsesTheRecordsLengthAndItsBlock)
{
    MemHandle block = mem_alloc_copy(from_hex("00000001 00000002 00000003").data(), 12);
    RecordDescriptor record;
    record.type = 2;
    record.unpacked_size = 12;
    record.data = block;
    EXPECT_EQ(swap_record_by_type(record, 1), 0);
    EXPECT_EQ(block_hex(block, 12), "010000000200000000000003");
    record.unpacked_size = 6; // shorter than the two words
    EXPECT_EQ(swap_record_by_type(record, 1), 5000);
    record.type = -1;
    EXPECT_EQ(swap_record_by_type(record, 1), 8006);
    mem_free(block);
}

TEST_F(SwapRecordTest, FormatVersions)
{
    static const struct {
        int type;
        uint16_t version;
    } kCases[] = { { 1, 0x4001 }, { 42, 0x4001 }, { 43, 1 }, { 49, 1 }, { 50, 0x4001 },
        { 62, 0x4001 }, { 63, 1 }, { -1, 1 }, { -2, 0x4001 }, { -3, 0x4001 }, { 0, 1 } };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(swap_type_version(c.type), c.version);
    }
}

int g_calc_calls = 0;

// Compiled calculations belong to the calculation language: here, the data is one u32.
int calc_hook(uint16_t tag, uint8_t* data, size_t length, int)
{
    g_calc_calls++;
    EXPECT_EQ(tag, 1500);
    if (length < 4)
        return 5000;
    swap_long(data);
    return 0;
}

// A property group: a u32 table of 257 offsets, then one TagList per node.
std::vector<uint8_t> property_group(const std::vector<std::vector<uint8_t>>& lists, bool big)
{
    std::vector<uint8_t> out(1028);
    uint32_t offset = 1028;
    for (size_t n = 0; n <= 256; n++) {
        uint32_t value = offset;
        uint8_t* p = out.data() + 4 * n;
        if (big)
            p[0] = uint8_t(value >> 24), p[1] = uint8_t(value >> 16), p[2] = uint8_t(value >> 8),
            p[3] = uint8_t(value);
        else
            plat::store_u32le(p, value);
        if (n < lists.size())
            offset += uint32_t(lists[n].size());
    }
    for (const std::vector<uint8_t>& list : lists)
        out.insert(out.end(), list.begin(), list.end());
    return out;
}

TEST_F(SwapRecordTest, PropertyGroupsConvertEachNodesTags)
{
    // Node 0: tag 5 (u32s), 12 {u16, u16, u32}, 77 (a nested list holding tag 40), 1500 (a
    // compiled calculation), 999 (bytes). Node 1: empty. Node 2: tag 59.
    std::vector<std::vector<uint8_t>> foreign_lists = {
        from_hex("0005 0008 00000001 00000002 | 000c 0008 0001 0002 00000003 |"
                 "004d 0008 0028 0002 0004 0000 | 05dc 0004 0000000a | 03e7 0002 1234 | 0000"),
        {},
        from_hex("003b 0004 0001 0002 0000"),
    };
    std::vector<std::vector<uint8_t>> native_lists = {
        from_hex("0500 0800 01000000 02000000 | 0c00 0800 0100 0200 03000000 |"
                 "4d00 0800 2800 0200 0400 0000 | dc05 0400 0a000000 | e703 0200 1234 | 0000"),
        {},
        from_hex("3b00 0400 0100 0200 0000"),
    };
    std::vector<uint8_t> foreign = property_group(foreign_lists, true);
    std::vector<uint8_t> native = property_group(native_lists, false);

    std::vector<uint8_t> bytes = foreign;
    EXPECT_EQ(
        swap_record_bytes(37, bytes.data(), bytes.size(), 1), 8005); // no calculation module yet
    g_calc_calls = 0;
    swap_set_hook(kSwapHookCalc, calc_hook);
    bytes = foreign;
    ASSERT_EQ(swap_record_bytes(37, bytes.data(), bytes.size(), 1), 0);
    EXPECT_EQ(to_hex(bytes), to_hex(native));
    ASSERT_EQ(swap_record_bytes(37, bytes.data(), bytes.size(), 0), 0);
    EXPECT_EQ(to_hex(bytes), to_hex(foreign));
    EXPECT_EQ(g_calc_calls, 2);

    // A list that runs past its node's slice is damage, not a walk into the next node.
    std::vector<std::vector<uint8_t>> overrun
        = { from_hex("0005 0008 00000001"), from_hex("00000002 0000") };
    bytes = property_group(overrun, true);
    EXPECT_EQ(swap_record_bytes(37, bytes.data(), bytes.size(), 1), 5000);
}

// Tag 77 holding tag 77 holding ... depth levels deep.
std::vector<uint8_t> nested_list(int depth)
{
    std::vector<uint8_t> list = from_hex("0000");
    for (int level = 0; level < depth; level++) {
        std::vector<uint8_t> outer
            = { 0x00, 0x4d, uint8_t(list.size() >> 8), uint8_t(list.size()) };
        outer.insert(outer.end(), list.begin(), list.end());
        outer.insert(outer.end(), { 0, 0 });
        list = outer;
    }
    return list;
}

TEST_F(SwapRecordTest, NestedPropertyListsAreBounded)
{
    std::vector<uint8_t> bytes = property_group({ nested_list(8) }, true);
    EXPECT_EQ(swap_record_bytes(37, bytes.data(), bytes.size(), 1), 0);
    bytes = property_group({ nested_list(9) }, true);
    EXPECT_EQ(swap_record_bytes(37, bytes.data(), bytes.size(), 1), 5000);
}

} // namespace
