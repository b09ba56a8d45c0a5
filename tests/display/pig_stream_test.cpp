// The picture interpreter: the length rule, the count and overrun rules of a run, what opening
// trusts, the bounds, the default style, scans, and the byte layout piecemaker writes.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/kernel/byte_io.h"
#include "runtime/display/pig_stream.h"
#include "tests/display/pig_fixture.h"

namespace {

using namespace pigtest;
using plat::load_u32le;
using plat::store_u16le;
using plat::store_u32le;

std::vector<int> g_seen; // opcodes the recording handler was called for

int record_opcode(PigStream* s)
{
    g_seen.push_back(pig_i16(s, 0));
    return 0;
}

// A table recording every opcode it is given a handler for.
PigHandlerTable recording_table(std::initializer_list<int> opcodes)
{
    PigHandlerTable table;
    for (int op : opcodes)
        table.slots[op] = record_opcode;
    return table;
}

struct RunResult {
    int result;
    std::vector<int> seen;
};

RunResult run_bytes(std::vector<uint8_t> bytes, const PigHandlerTable& table)
{
    g_seen.clear();
    PigStream stream;
    pig_open_bytes(bytes.data(), bytes.size(), &stream);
    int result = pig_exec(&stream, &table, kPigHighestOpcode);
    return {result, g_seen};
}

void set_count(std::vector<uint8_t>& b, uint32_t count) { store_u32le(b.data() + kPigHeaderCount, count); }
void set_length(std::vector<uint8_t>& b, uint32_t length) { store_u32le(b.data() + kPigHeaderLength, length); }

TEST(PigStream, HandWrittenBytesMatchThePieceMaker)
{
    // header: opcode 0, the three tags, 2 records, 52 bytes, reserved, bounds 0 0 100 50 twice;
    // then a rectangle 10 20 40 30.
    std::vector<uint8_t> expected = from_hex(
        "0000 50494700 57494e00 30303100 02000000 34000000 00000000"
        "0000 0000 6400 3200 0000 0000 6400 3200"
        "7100 0a00 1400 2800 1e00");
    EXPECT_EQ(picture("pic header 0 0 100 50\npic rect 10 20 40 30"), expected);
}

TEST(PigStream, RunRules)
{
    PigHandlerTable table = recording_table({0, 113, 117, 7, 200, 141});
    struct Row {
        const char* name;
        std::string lines; // after the header
        int extra_length; // added to the header's byte length
        int extra_count; // added to the header's count
        int result;
        std::vector<int> seen;
    };
    static const Row kRows[] = {
        {"a plain run", "pic rect 1 1 5 5\npic line 0 0 3 3", 0, 0, 0, {0, 113, 117}},
        {"0xFFFF and 200 skipped by their length, 200's handler not called",
            "pic raw \"\\xff\\xff\\x0a\\0\\0\\0abcd\"\npic raw \"\\xc8\\0\\x06\\0\\0\\0\"\npic rect 1 1 5 5", 0, 0, 0,
            {0, 113}},
        {"opcodes no table handles are skipped", "pic raw \"\\x03\\0\\0\\0\\0\\0\"\npic raw \"\\x79\\0abcdefgh\"", 0, 0,
            0, {0}},
        {"a variable record of opcode and length only", "pic raw \"\\x08\\0\\x06\\0\\0\\0\"\npic rect 1 1 5 5", 0, 0,
            0, {0, 113}},
        {"a count smaller than the records stops early", "pic rect 1 1 5 5\npic rect 1 1 5 5", 0, -1, 0, {0, 113}},
        {"a count larger than the records runs off the end", "pic rect 1 1 5 5", 0, 1, 11, {0, 113}},
        {"an end one past the byte length", "pic rect 1 1 5 5", -1, 0, 11, {0}},
        {"a length that would not move on", "pic raw \"\\x08\\0\\0\\0\\0\\0\"", 0, 0, 11, {0}},
        {"a handled record shorter than its head", "pic raw \"\\x07\\0\\x07\\0\\0\\0\\0\"", 0, 0, 11, {0}},
        {"a length past the end", "pic raw \"\\x08\\0\\xff\\xff\\xff\\x7f\"", 0, 0, 11, {0}},
        {"a header claiming more bytes than the block", "pic rect 1 1 5 5", 1000, 1, 11, {0, 113}},
        {"a polygon of no points", "pic polygon 0 0 0 0", 0, 0, 0, {0, 141}},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = picture("pic header 0 0 10 10\n" + row.lines);
        set_length(bytes, uint32_t(int(bytes.size()) + row.extra_length));
        set_count(bytes, uint32_t(int(load_u32le(bytes.data() + kPigHeaderCount)) + row.extra_count));
        RunResult r = run_bytes(bytes, table);
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.seen, row.seen);
    }
}

TEST(PigStream, EmptyAndShortStreams)
{
    PigHandlerTable table = recording_table({0, 113});
    std::vector<uint8_t> zero = picture("pic header 0 0 10 10\npic rect 1 1 5 5");
    set_count(zero, 0);
    RunResult r = run_bytes(zero, table);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.seen.empty());

    std::vector<uint8_t> short_block(zero.begin(), zero.begin() + 41);
    EXPECT_EQ(run_bytes(short_block, table).result, kPigOverrun);

    PigStream stream;
    EXPECT_EQ(pig_open(MemHandle{}, 0, &stream), kPigNoPicture);
}

TEST(PigStream, FixedLengthsComeFromTheTable)
{
    static const struct {
        uint16_t opcode;
        int entry;
    } kRows[] = {{0, 42}, {35, 6}, {113, 10}, {129, 14}, {133, 18}, {86, -10}, {96, -74}, {101, -58}, {141, -16},
        {9, 0}, {153, 0}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.opcode);
        EXPECT_EQ(pig_length_entry(row.opcode), row.entry);
    }
}

TEST(PigStream, BoundsComeFromTheSecondCopy)
{
    std::vector<uint8_t> bytes = picture("pic header 1 2 30 40");
    store_u16le(bytes.data() + kPigHeaderBounds2, 5);
    Block block(bytes);
    Rect bounds{};
    ASSERT_TRUE(pig_bounds(block.handle, 0, &bounds));
    EXPECT_EQ(bounds, (Rect{5, 2, 30, 40}));
    PigStream stream;
    ASSERT_EQ(pig_open(block.handle, 0, &stream), 0);
    EXPECT_EQ(stream.bounds, (Rect{1, 2, 30, 40}));
    pig_close(&stream);

    Block short_block(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 30));
    Rect untouched{7, 7, 7, 7};
    EXPECT_FALSE(pig_bounds(short_block.handle, 0, &untouched));
    EXPECT_EQ(untouched, (Rect{7, 7, 7, 7}));
}

TEST(PigStream, RunStyleDiffersFromTheShapeDefaultInItsMode)
{
    DrawStyle run, shape;
    pig_style_init(&run);
    gdi_style_init(&shape);
    EXPECT_EQ(run.mode, 0);
    run.mode = shape.mode;
    uint8_t a[kDrawStyleStoredSize], b[kDrawStyleStoredSize];
    gdi_style_store(run, a);
    gdi_style_store(shape, b);
    EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
    EXPECT_EQ(run.color_table, 0u);
    EXPECT_EQ(run.palette_map, 0);
}

int count_rects(PigStream* s)
{
    s->spare[1]++;
    return 0;
}

TEST(PigStream, ScanRunsTheCallersTable)
{
    Block block(picture("pic header 0 0 10 10\npic rect 1 1 5 5\npic colors 1 2 3\npic rect 1 1 5 5"));
    PigScan scan;
    ASSERT_EQ(pig_scan_open(&scan, block.handle, 0), 0);
    EXPECT_EQ(scan.stream.style, &scan.styles[1]);
    EXPECT_EQ(scan.styles[1].mode, 0);
    pig_table_init_base(&scan.table);
    scan.table.slots[kPigOpRect] = count_rects;
    EXPECT_EQ(pig_scan_run(&scan), 0);
    EXPECT_EQ(scan.stream.spare[1], 2u);
    EXPECT_NE(scan.styles[1].color_table, 0u); // the base table keeps colour tables
    pig_scan_close(&scan);
    EXPECT_EQ(scan.styles[1].color_table, 0u);
}

} // namespace
