#include "platform/kernel/byte_io.h"
#include "rec_fixture.h"
#include "rec_fixtures_hex.h"
#include "runtime/store/rec_file.h"
#include "runtime/store/rec_space.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace rectest;

namespace {

class RecFileTest : public RecTest {
protected:
    // Opens the bytes read-only; the attach result.
    int open(const std::vector<uint8_t>& bytes, uint32_t kind = kKindAny)
    {
        file_ = std::make_unique<MemoryFile>(bytes, kFileModeRead);
        return attach(*file_, kind);
    }
    std::string entry_text(int32_t index)
    {
        RecordDirEntry e;
        if (!rec_dir_entry_at(state, index, e))
            return "none";
        char text[160];
        std::snprintf(text, sizeof text,
            "%u type %d v%04x stored %u unpacked %u scheme %u order %u offset %u bits %u", e.number,
            e.type, e.format_version, e.stored_size, e.unpacked_size, e.scheme, e.byte_order,
            e.offset, e.bits);
        return text;
    }

    std::unique_ptr<MemoryFile> file_;
};

TEST_F(RecFileTest, ReadsAHandCheckedPackagedPiece)
{
    ASSERT_EQ(open(from_hex(kPackagedPiece), kKindPiece), 0);
    EXPECT_EQ(state.data_start, 32);
    EXPECT_EQ(state.kind_version, -8);
    EXPECT_EQ(rec_is_packaged(state), 1);
    EXPECT_EQ(state.header.entry_count, 2);
    EXPECT_EQ(state.header.end_of_data, 146);
    EXPECT_EQ(
        entry_text(0), "1 type 2 v4001 stored 8 unpacked 8 scheme 1 order 1 offset 136 bits 0");
    EXPECT_EQ(
        entry_text(1), "2 type -1 v4001 stored 2 unpacked 2 scheme 1 order 1 offset 144 bits 0");
    EXPECT_EQ(load_hex(1), "0100000002000000");
    EXPECT_EQ(load_hex(2), "6869");
    // Numbers from the count on name the sentinel and the padding.
    EXPECT_EQ(load_hex(3), "absent");
    EXPECT_EQ(load_hex(0), "absent");
}

TEST_F(RecFileTest, ReadsAHandCheckedFileOfTheOtherByteOrder)
{
    ASSERT_EQ(open(from_hex(kEditableBigRecords), kKindRecords), 0);
    EXPECT_EQ(state.kind_version, -6);
    EXPECT_EQ(rec_is_packaged(state), 0);
    EXPECT_EQ(
        entry_text(0), "3 type 2 v4001 stored 8 unpacked 8 scheme 1 order 2 offset 106 bits 0");
    EXPECT_EQ(
        entry_text(1), "9 type 45 v0001 stored 2 unpacked 2 scheme 1 order 2 offset 114 bits 0");
    EXPECT_EQ(load_hex(3), "0100000002000000"); // converted to native order
    EXPECT_EQ(load_hex(9), "0102"); // type 45 has nothing to convert
    EXPECT_EQ(load_hex(4), "absent");
}

struct Patch {
    size_t offset;
    const char* hex;
};

struct DamageCase {
    const char* name;
    const char* base; // the intact file
    std::vector<Patch> patches;
    size_t cut; // bytes kept, 0 for all
    int result;
};

std::vector<uint8_t> damaged(const DamageCase& c)
{
    std::vector<uint8_t> bytes = from_hex(c.base);
    for (const Patch& p : c.patches) {
        std::vector<uint8_t> patch = from_hex(p.hex);
        std::copy(patch.begin(), patch.end(), bytes.begin() + ptrdiff_t(p.offset));
    }
    if (c.cut)
        bytes.resize(c.cut);
    return bytes;
}

TEST_F(RecFileTest, DamagedHeadersAndDirectories)
{
    // Offsets into the packaged piece: header 32 (end 36, directory size 44, count 48,
    // directory offset 52, reserved word 64), entries 106, 116, sentinel 126. Into the editable
    // file: entries 116 and 146 (number, stored size at +8).
    static const DamageCase kCases[] = {
        { "intact", kPackagedPiece, {}, 0, 0 },
        { "layout 1", kPackagedPiece, { { 32, "01000000" } }, 0, 5001 },
        { "layout 6", kPackagedPiece, { { 32, "06000000" } }, 0, 5009 },
        { "end past the file", kPackagedPiece, { { 36, "93000000" } }, 0, 5000 },
        { "end inside the headers", kPackagedPiece, { { 36, "50000000" } }, 0, 5000 },
        { "reserved word set", kPackagedPiece, { { 64, "0100" } }, 0, 5000 },
        { "directory past the end", kPackagedPiece, { { 44, "ff000000" } }, 0, 5000 },
        { "negative directory size", kPackagedPiece, { { 44, "ffffffff" } }, 0, 5000 },
        { "directory inside the header", kPackagedPiece, { { 52, "20000000" } }, 0, 5000 },
        { "count beyond the directory", kPackagedPiece, { { 48, "03000000" } }, 0, 5000 },
        { "count past every record number", kPackagedPiece, { { 48, "00000100" } }, 0, 5000 },
        { "offsets fall", kPackagedPiece, { { 116, "80000000" } }, 0, 5000 },
        { "sentinel past the end", kPackagedPiece, { { 126, "93000000" } }, 0, 5000 },
        { "record inside the headers", kPackagedPiece, { { 106, "60000000" } }, 0, 5000 },
        { "negative unpacked size", kPackagedPiece, { { 110, "ffffffff" } }, 0, 5000 },
        { "short header", kPackagedPiece, {}, 50, 5006 },
        { "short directory", kPackagedPiece, {}, 120, 5000 }, // the end lies past the file
        { "editable intact", kEditableBigRecords, {}, 0, 0 },
        { "numbers out of order", kEditableBigRecords, { { 146, "00000002" } }, 0, 5000 },
        { "number given twice", kEditableBigRecords, { { 146, "00000003" } }, 0, 5000 },
        { "record number 0", kEditableBigRecords, { { 116, "00000000" } }, 0, 5000 },
        { "record past the end", kEditableBigRecords, { { 124, "00000100" } }, 0, 5000 },
        { "offset past the end", kEditableBigRecords, { { 170, "00000100" } }, 0, 5000 },
        { "one byte", kPackagedPiece, {}, 1, 5000 },
    };
    for (const DamageCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(open(damaged(c)), c.result);
        if (c.result != 0) {
            EXPECT_EQ(state.flags, 0); // nothing left open
            EXPECT_FALSE(state.directory);
        }
        rec_file_detach(state);
        file_.reset();
    }
}

TEST_F(RecFileTest, DamagedRecordsFailWhenLoaded)
{
    struct Case {
        const char* name;
        std::vector<Patch> patches;
        const char* record1;
        const char* record2;
    };
    static const Case kCases[] = {
        { "raw record longer than its bytes", { { 110, "09000000" } }, "error 5000", "6869" },
        { "raw record in padded room", { { 120, "01000000" } }, "0100000002000000", "68" },
        { "zlib flag on raw bytes", { { 115, "03" } }, "error 5000", "6869" },
        { "untyped record of the other order", { { 125, "00" } }, "0100000002000000",
            "error 8006" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(open(damaged({ c.name, kPackagedPiece, c.patches, 0, 0 })), 0);
        EXPECT_EQ(load_hex(1), c.record1);
        EXPECT_EQ(load_hex(2), c.record2);
        rec_file_detach(state);
        file_.reset();
    }
}

TEST_F(RecFileTest, OlderLayoutsAreConverted)
{
    struct Case {
        const char* name;
        const char* hex;
        const char* entry;
    };
    static const Case kCases[] = {
        { "layout 2 after a program: offsets from the base", kLayout2AfterProgram,
            "1 type -1 v0000 stored 4 unpacked 4 scheme 1 order 1 offset 170 bits 0" },
        { "layout 3: bits dropped", kLayout3,
            "2 type -1 v0000 stored 4 unpacked 4 scheme 1 order 1 offset 106 bits 0" },
        { "layout 4: directory where the header says", kLayout4,
            "2 type -1 v0000 stored 4 unpacked 4 scheme 1 order 1 offset 122 bits 0" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(open(from_hex(c.hex)), 0);
        EXPECT_EQ(state.header.version, 5);
        EXPECT_EQ(state.header.directory_size, 30);
        EXPECT_EQ(entry_text(0), c.entry);
        EXPECT_EQ(load_hex(c.entry[0] - '0'), "61626364");
        rec_file_detach(state);
        file_.reset();
    }
    // The count of an old directory is checked against its size before anything is made.
    std::vector<uint8_t> bytes = from_hex(kLayout3);
    bytes[48] = 2;
    EXPECT_EQ(open(bytes), 5000);
}

TEST_F(RecFileTest, FindGuessesThenSearches)
{
    MemoryFile file({}, kFileModeReadWrite);
    ASSERT_EQ(attach(file, kKindRecords, kRecOpenWritable, 1), 0);
    for (uint32_t number : { 5u, 1u, 2u }) {
        RecordDirEntry e;
        e.number = number;
        ASSERT_EQ(rec_dir_store(state, e), 0);
    }
    struct Case {
        uint32_t number;
        int32_t result;
    };
    static const Case kCases[] = { { 1, 0 }, { 2, 1 }, { 5, 2 }, { 3, -3 }, { 6, -4 }, { 4, -3 } };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(rec_dir_find(state, c.number), c.result);
        EXPECT_EQ(rec_dir_find(state, c.number), c.result); // again, from the cache when found
    }
    rec_dir_remove(state, 2);
    EXPECT_EQ(rec_dir_find(state, 5), 1);
    EXPECT_EQ(rec_dir_find(state, 2), -2);
    EXPECT_EQ(state.header.entry_count, 2);
}

TEST_F(RecFileTest, PackagedDirectoriesNeverChange)
{
    ASSERT_EQ(open(from_hex(kPackagedPiece)), 0);
    RecordDirEntry e;
    e.number = 3;
    int32_t index = 0;
    EXPECT_EQ(rec_dir_store(state, e), 5014);
    EXPECT_EQ(rec_dir_insert(state, 0, &index), 5014);
    rec_dir_remove(state, 1);
    EXPECT_EQ(state.header.entry_count, 2);
}

TEST_F(RecFileTest, AGrowingDirectoryGetsANewPlace)
{
    MemoryFile file({}, kFileModeReadWrite);
    ASSERT_EQ(attach(file, kKindRecords, kRecOpenWritable, 1), 0);
    EXPECT_EQ(state.allocated_end, 106);
    RecordDirEntry e;
    e.number = 7;
    ASSERT_EQ(rec_dir_store(state, e), 0);
    // Room for one more entry and 960 bytes, written at the end of the data area at once.
    EXPECT_EQ(state.directory_capacity, 990);
    EXPECT_EQ(state.header.directory_size, 990);
    EXPECT_EQ(state.header.directory_offset, 106);
    EXPECT_EQ(state.allocated_end, 106 + 990);
    for (uint32_t number = 8; number <= 39; number++) {
        e.number = number;
        ASSERT_EQ(rec_dir_store(state, e), 0);
    }
    EXPECT_EQ(state.header.directory_offset, 106); // 33 entries fill the block exactly
    e.number = 40;
    ASSERT_EQ(rec_dir_store(state, e), 0);
    // The 34th entry needed a larger block: the old place went back to the holes.
    EXPECT_EQ(state.header.entry_count, 34);
    EXPECT_EQ(state.directory_capacity, 34 * 30 + 960);
    EXPECT_EQ(state.header.directory_offset, 106 + 990);
    EXPECT_EQ(state.header.free_bytes, 990);
}

// What a flush does, in short: places and writes the records, the directory and both headers.
TEST_F(RecFileTest, AWrittenFileReadsBack)
{
    MemoryFile file({}, kFileModeReadWrite);
    ASSERT_EQ(attach(file, kKindRecords, kRecOpenWritable, 1), 0);
    const std::vector<std::vector<uint8_t>> records
        = { from_hex("0102030405"), from_hex("aabb"), {} };
    for (uint32_t n = 0; n < records.size(); n++) {
        RecordDirEntry e;
        e.number = 10 * (n + 1);
        e.type = -2;
        e.stored_size = e.unpacked_size = uint32_t(records[n].size());
        e.offset = uint32_t(state.allocated_end);
        ASSERT_EQ(rec_extend(state, e.stored_size), 0);
        ASSERT_EQ(rec_write_at(state, e.offset, records[n].data(), e.stored_size), 0);
        e.bits = kEntryNewSpace;
        ASSERT_EQ(rec_dir_store(state, e), 0);
    }
    ASSERT_EQ(rec_write_directory(state, state.header.directory_size), 0);
    int64_t data_start = 0;
    int32_t version = 0;
    ASSERT_EQ(fhdr_check(kHeaderWrite, file.file, &data_start, kKindRecords, &version), 0);
    state.header.end_of_data = int32_t(state.allocated_end);
    ASSERT_EQ(rec_write_header(state), 0);
    rec_file_detach(state);
    std::vector<uint8_t> bytes = file.close();

    ASSERT_EQ(open(bytes, kKindRecords), 0);
    EXPECT_EQ(state.header.entry_count, 3);
    EXPECT_EQ(load_hex(10), "0102030405");
    EXPECT_EQ(load_hex(20), "aabb");
    EXPECT_EQ(load_hex(30), "");
    EXPECT_EQ(entry_text(0).substr(0, 8), "10 type ");
    RecordDirEntry e;
    ASSERT_EQ(rec_dir_entry_at(state, 1, e), 1);
    EXPECT_EQ(e.bits, 0); // the allocation marks are cleared on reading
}

TEST_F(RecFileTest, ReadOnlyFilesMustHoldARecordFile)
{
    MemoryFile empty({}, kFileModeRead);
    EXPECT_EQ(attach(empty, kKindPiece, 0, 1), 5000);
    MemoryFile appended(from_hex("0102030405"), kFileModeReadWrite);
    ASSERT_EQ(attach(appended, kKindRecords, kRecOpenWritable | kRecOpenAppend, 0), 0);
    EXPECT_EQ(state.data_start, 5 + 32);
    EXPECT_EQ(state.allocated_end, 5 + 32 + 74);
    rec_file_detach(state);
    EXPECT_EQ(to_hex(appended.close()).substr(0, 42), "010203040557535455a8acabaa16000000faffffff");
}

} // namespace
