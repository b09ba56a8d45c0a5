#include "platform/kernel/byte_io.h"
#include "rec_fixture.h"
#include "runtime/store/rec_space.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace rectest;

namespace {

class RecSpaceTest : public RecTest {
protected:
    std::string holes() const
    {
        std::string text;
        for (const RecordHole& h : state.holes)
            text += std::to_string(h.offset) + "+" + std::to_string(h.size) + " ";
        return text;
    }
    // An editable directory of {number, offset, stored size} without a file.
    void use_directory(const std::vector<std::vector<uint32_t>>& entries)
    {
        std::vector<uint8_t> bytes(entries.size() * kDirEntrySize);
        for (size_t n = 0; n < entries.size(); n++) {
            uint8_t* e = bytes.data() + n * kDirEntrySize;
            plat::store_u32le(e, entries[n][0]);
            plat::store_u32le(e + 24, entries[n][1]);
            plat::store_u32le(e + 8, entries[n][2]);
        }
        state.directory = mem_alloc_copy(bytes.data(), bytes.size());
        state.directory_capacity = int64_t(bytes.size());
        state.header.entry_count = int32_t(entries.size());
        state.data_start = 32;
        state.flags = kRecFileOpen;
    }
    void set_holes(const std::vector<RecordHole>& list)
    {
        state.holes = list;
        state.header.free_bytes = 0;
        for (const RecordHole& h : list)
            state.header.free_bytes += int32_t(h.size);
    }
    // Appends a record at the end of the data area and enters it.
    uint32_t add_record(uint32_t number, const std::vector<uint8_t>& bytes)
    {
        RecordDirEntry e;
        e.number = number;
        e.type = -2;
        e.stored_size = e.unpacked_size = uint32_t(bytes.size());
        e.offset = uint32_t(state.allocated_end);
        EXPECT_EQ(rec_extend(state, e.stored_size), 0);
        EXPECT_EQ(rec_write_at(state, e.offset, bytes.data(), e.stored_size), 0);
        EXPECT_EQ(rec_dir_store(state, e), 0);
        return e.offset;
    }
    uint32_t offset_of(uint32_t number)
    {
        RecordDirEntry e;
        return rec_dir_lookup(state, number, e, nullptr) ? e.offset : 0;
    }
};

TEST_F(RecSpaceTest, HolesAreTheGapsBetweenUsedAreas)
{
    // Record 4 overlaps record 2: a gap starts after the furthest end.
    use_directory({ { 1, 106, 10 }, { 2, 200, 50 }, { 3, 116, 4 }, { 4, 240, 30 } });
    state.header.directory_offset = 300;
    state.header.directory_size = 60;
    state.allocated_end = 500;
    ASSERT_EQ(rec_build_holes(state, 400, 20), 0);
    EXPECT_EQ(holes(), "270+30 360+40 120+80 420+80 ");
    EXPECT_EQ(state.header.free_bytes, 230);
    // The additional area is the directory's own: no second area.
    ASSERT_EQ(rec_build_holes(state, 300, 60), 0);
    EXPECT_EQ(holes(), "270+30 120+80 360+140 ");
}

TEST_F(RecSpaceTest, TakingAHoleFitsBest)
{
    set_holes({ { 270, 30 }, { 360, 40 }, { 120, 80 }, { 420, 80 } });
    EXPECT_EQ(rec_take_hole(state, 35), 360);
    EXPECT_EQ(holes(), "395+5 270+30 120+80 420+80 ");
    EXPECT_EQ(state.header.free_bytes, 195);
    EXPECT_EQ(rec_take_hole(state, 100), 0);
    EXPECT_EQ(rec_take_hole(state, 80), 120);
    EXPECT_EQ(rec_take_hole(state, 0), 0);
    EXPECT_EQ(holes(), "395+5 270+30 420+80 ");
    EXPECT_EQ(state.header.free_bytes, 115);
}

TEST_F(RecSpaceTest, FreedSpaceMergesWithTheHolesItTouches)
{
    struct Case {
        const char* name;
        std::vector<RecordHole> before;
        RecordHole freed;
        const char* after;
    };
    static const Case kCases[] = {
        { "between two holes", { { 100, 10 }, { 120, 10 }, { 500, 5 } }, { 110, 10 },
            "500+5 100+30 " },
        { "after a hole", { { 100, 10 } }, { 110, 4 }, "100+14 " },
        { "before a hole", { { 100, 10 } }, { 96, 4 }, "96+14 " },
        { "alone, kept in size order", { { 300, 2 }, { 100, 10 } }, { 200, 5 },
            "300+2 200+5 100+10 " },
        { "nothing", { { 100, 10 } }, { 50, 0 }, "100+10 " },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        set_holes(c.before);
        rec_free_space(state, c.freed.offset, c.freed.size);
        EXPECT_EQ(holes(), c.after);
        int64_t total = 0;
        for (const RecordHole& h : state.holes)
            total += h.size;
        EXPECT_EQ(state.header.free_bytes, total);
    }
}

TEST_F(RecSpaceTest, TheDataAreaGrowsInClustersAndLosesItsTail)
{
    MemoryFile file({}, kFileModeReadWrite);
    ASSERT_EQ(attach(file, kKindRecords, kRecOpenWritable, 1), 0);
    EXPECT_EQ(file_length(file.file.handle, file.file.kind), 4096); // memory files: 4 KB clusters
    ASSERT_EQ(rec_extend(state, 5000), 0);
    EXPECT_EQ(state.allocated_end, 5106);
    EXPECT_EQ(file_length(file.file.handle, file.file.kind), 8192);
    rec_free_space(state, 5000, 106);
    ASSERT_EQ(rec_trim_tail(state), 0);
    EXPECT_EQ(state.allocated_end, 5000);
    EXPECT_EQ(holes(), "");
    // Never below the end at open: what stays of the hole stays free.
    state.end_at_open = 4950;
    rec_free_space(state, 4900, 100);
    ASSERT_EQ(rec_trim_tail(state), 0);
    EXPECT_EQ(state.allocated_end, 4950);
    EXPECT_EQ(holes(), "4900+50 ");
    // Stored offsets are 32-bit signed: the data area ends at 2^31 - 1 at the most.
    state.end_at_open = state.allocated_end = INT32_MAX - 100;
    state.file = FileHandle {};
    EXPECT_EQ(rec_extend(state, 101), kErrWriteFault);
    EXPECT_EQ(state.allocated_end, INT32_MAX - 100);
    ASSERT_EQ(rec_extend(state, 100), 0);
    EXPECT_EQ(state.allocated_end, INT32_MAX);
    // A read-only file never grows.
    state.flags |= kRecFileReadOnly;
    ASSERT_EQ(rec_extend(state, 10), 0);
    EXPECT_EQ(state.allocated_end, INT32_MAX);
}

TEST_F(RecSpaceTest, CompactingEverythingMovesDataAndEntriesDown)
{
    MemoryFile file({}, kFileModeReadWrite);
    ASSERT_EQ(attach(file, kKindRecords, kRecOpenWritable, 1), 0);
    add_record(1, from_hex("aaaaaaaaaa"));
    uint32_t gone = add_record(2, std::vector<uint8_t>(300, 0xbb));
    uint32_t kept = add_record(3, from_hex("cccccccccccc"));
    rec_dir_remove(state, 2);
    rec_free_space(state, gone, 300);
    int64_t directory_place = state.header.directory_size;
    ASSERT_EQ(rec_compact(state, kCompactAll), 0);
    // The directory's place and record 2's bytes are closed; record 3 follows record 1.
    EXPECT_EQ(offset_of(1), 106u);
    EXPECT_EQ(offset_of(3), 111u);
    EXPECT_EQ(int64_t(kept) - (300 + directory_place), 111);
    EXPECT_EQ(state.allocated_end, 117);
    EXPECT_EQ(state.header.directory_offset, 0);
    EXPECT_EQ(holes(), "");
    EXPECT_EQ(file_length(file.file.handle, file.file.kind), 117);
    EXPECT_EQ(load_hex(1), "aaaaaaaaaa");
    EXPECT_EQ(load_hex(3), "cccccccccccc");
}

TEST_F(RecSpaceTest, AnEmptyRecordInsideAClosedHoleMovesToTheHolesStart)
{
    // Another writer may leave an empty record's offset anywhere, here inside the bytes of a
    // record that is then deleted: it moves by the part of the hole below it, never past it.
    MemoryFile file({}, kFileModeReadWrite);
    ASSERT_EQ(attach(file, kKindRecords, kRecOpenWritable, 1), 0);
    uint32_t gone = add_record(1, std::vector<uint8_t>(300, 0xaa));
    add_record(3, from_hex("cccc"));
    RecordDirEntry empty;
    empty.number = 2;
    empty.type = -2;
    empty.offset = gone + 100;
    ASSERT_EQ(rec_dir_store(state, empty), 0);
    rec_dir_remove(state, 1);
    rec_free_space(state, gone, 300);
    ASSERT_EQ(rec_compact(state, kCompactAll), 0);
    EXPECT_EQ(offset_of(2), gone);
    EXPECT_EQ(offset_of(3), gone);
    EXPECT_EQ(state.allocated_end, gone + 2);
    EXPECT_EQ(load_hex(2), "");
    EXPECT_EQ(load_hex(3), "cccc");
}

TEST_F(RecSpaceTest, CompactingNewSpaceLeavesCommittedHolesAlone)
{
    MemoryFile file({}, kFileModeReadWrite);
    ASSERT_EQ(attach(file, kKindRecords, kRecOpenWritable, 1), 0);
    uint32_t first = add_record(1, from_hex("1111111111"));
    add_record(2, from_hex("2222"));
    // As after a flush: what is there now is committed, the directory included.
    state.end_at_open = state.allocated_end;
    ASSERT_EQ(rec_build_holes(state, 0, 0), 0);
    state.header.directory_offset = 0;
    rec_dir_remove(state, 1);
    rec_free_space(state, first, 5); // a hole below the start: it must not count
    uint32_t dropped = add_record(3, std::vector<uint8_t>(40, 0x33));
    uint32_t moved = add_record(4, from_hex("4444"));
    rec_dir_remove(state, 3);
    rec_free_space(state, dropped, 40);
    int64_t end = state.allocated_end;
    ASSERT_EQ(rec_compact(state, kCompactNew), 0);
    EXPECT_EQ(offset_of(4), moved - 40);
    EXPECT_EQ(state.allocated_end, end - 40);
    EXPECT_NE(holes().find(std::to_string(first) + "+5 "), std::string::npos);
    EXPECT_EQ(load_hex(2), "2222");
    EXPECT_EQ(load_hex(4), "4444");
}

TEST_F(RecSpaceTest, AnEmptyFileEndsAfterItsHeader)
{
    MemoryFile file(from_hex("00000000000000000000"), kFileModeReadWrite);
    ASSERT_EQ(attach(file, kKindRecords, kRecOpenWritable | kRecOpenAppend), 0);
    EXPECT_EQ(state.header.version, 5);
    EXPECT_EQ(state.header.entry_count, 0);
    EXPECT_NE(state.flags & kRecFileDirty, 0);
    EXPECT_EQ(state.allocated_end, 10 + 32 + 74);
    EXPECT_EQ(state.header.end_of_data, 10 + 32 + 74);
}

} // namespace
