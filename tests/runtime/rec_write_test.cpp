#include "rec_store_fixture.h"

#include <algorithm>

using namespace rectest;

namespace {

class RecWriteTest : public RecStoreTest { };

constexpr RecordId id1(uint32_t number) { return rec_make_id(1, number); }

bool holds(const std::vector<uint8_t>& bytes, const std::string& text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

uint32_t offset_of(RecordId id)
{
    RecordDirEntry entry;
    EXPECT_EQ(rec_lookup(id, entry, nullptr), 1);
    return entry.offset;
}

TEST_F(RecWriteTest, RefusedChangesLeaveTheRecord)
{
    static const struct {
        const char* name;
        const char* description;
        uint32_t flags;
        uint32_t size; // of the 4-byte block put
        int error;
    } kRows[] = {
        { "packaged", kPieceDescription, 0, 4, 5014 },
        { "packaged, writable", kPieceDescription, kRecOpenWritable, 4, 5014 },
        { "read-only", kRecordsDescription, 0, 4, 5 },
        { "more than the block holds", kRecordsDescription, kRecOpenWritable, 9, 8004 },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        make_file("file.dat", row.description);
        ASSERT_EQ(open(1, disk("file.dat"), row.flags), 0);
        std::string before = hex(id1(2));
        MemHandle block = block_of("abcd");
        EXPECT_EQ(rec_put(id1(2), 2, block, row.size), row.error);
        EXPECT_EQ(rec_error_word(), row.error);
        EXPECT_EQ(hex(id1(2)), before);
        EXPECT_EQ(block_hex(block, 4), text_hex("abcd")); // still the caller's
        mem_free(block);
        if (row.size == 4) {
            EXPECT_EQ(rec_delete(id1(2)), row.error);
        }
        EXPECT_EQ(hex(id1(2)), before);
        rec_close_file(1);
    }
}

TEST_F(RecWriteTest, AWriteThroughFileHasTheRecordOnDiskAtOnce)
{
    static const struct {
        const char* name;
        uint32_t flags;
        bool on_disk_before_flush;
    } kRows[] = {
        { "write-through", kRecOpenWritable | kRecOpenWriteThrough, true },
        { "written at the flush", kRecOpenWritable, false },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        make_file("records.dat", kRecordsDescription);
        ASSERT_EQ(open(1, disk("records.dat"), row.flags, kKindRecords), 0);
        ASSERT_EQ(rec_put(id1(9), -2, block_of("the ninth record"), 16), 0);
        rec_release(id1(9), kReleaseOne);
        EXPECT_EQ(holds(read_file("records.dat"), "the ninth record"), row.on_disk_before_flush);
        // Waiting to be written, it stays in memory whatever the LRU does.
        EXPECT_EQ(rec_purge_all(), row.on_disk_before_flush ? 1u : 0u);
        EXPECT_EQ(cached(id1(9)) != nullptr, !row.on_disk_before_flush);
        ASSERT_EQ(rec_flush(1, 0), 0);
        EXPECT_TRUE(holds(read_file("records.dat"), "the ninth record"));
        ASSERT_EQ(rec_close_file(1), 0);
        ASSERT_EQ(open(1, disk("records.dat"), 0, kKindRecords), 0);
        EXPECT_EQ(hex(id1(9)), text_hex("the ninth record"));
        rec_close_file(1);
    }
}

TEST_F(RecWriteTest, PutReplacesDeleteRemovesAndTheFlushKeepsBoth)
{
    FileSpec* spec = memory(piece_bytes(kRecordsDescription));
    ASSERT_EQ(open(1, spec, kRecOpenWritable, kKindRecords), 0);
    uint32_t committed = offset_of(id1(1));
    ASSERT_EQ(rec_put(id1(1), -2, block_of("a longer first record"), 21), 0);
    rec_release(id1(1), kReleaseOne);
    EXPECT_EQ(hex(id1(1)), text_hex("a longer first record"));
    EXPECT_EQ(cached(id1(1))->uses, 0u);
    EXPECT_EQ(rec_delete(id1(2)), 0);
    EXPECT_EQ(hex(id1(2)), "absent");
    EXPECT_EQ(rec_delete(id1(2)), 0); // nothing left to delete
    std::vector<uint8_t> zeros(1000);
    MemHandle packed = mem_alloc_copy(zeros.data(), zeros.size());
    ASSERT_EQ(rec_put(id1(9), 2, packed, 1000), 0);
    EXPECT_EQ(rec_size(id1(9), kSizeUnpacked), 1000u);
    EXPECT_LT(rec_size(id1(9), kSizeStored), 100u);
    EXPECT_EQ(rec_loaded_bytes(), 21 + 1000);
    EXPECT_NE(offset_of(id1(1)), committed); // the committed bytes stay until the flush
    ASSERT_EQ(rec_flush(1, 0), 0);
    rec_close_file(1);

    ASSERT_EQ(open(1, spec, 0, kKindRecords), 0);
    EXPECT_EQ(hex(id1(1)), text_hex("a longer first record"));
    EXPECT_EQ(hex(id1(2)), "absent");
    EXPECT_EQ(hex(id1(4)), text_hex("fourth"));
    EXPECT_EQ(hex(id1(9)), std::string(2000, '0'));
    EXPECT_EQ(rec_file_record_count(1), 3);
}

TEST_F(RecWriteTest, PlacementReusesOnlySpaceNoHeaderNames)
{
    FileSpec* spec = memory(piece_bytes(kRecordsDescription));
    ASSERT_EQ(open(1, spec, kRecOpenWritable, kKindRecords), 0);
    auto put = [](uint32_t number, size_t size, char fill) {
        std::string text(size, fill);
        EXPECT_EQ(rec_put(id1(number), -2, block_of(text), uint32_t(size)), 0);
        rec_release(id1(number), kReleaseOne);
        return offset_of(id1(number));
    };
    uint32_t first = put(10, 100, 'a');
    EXPECT_EQ(put(10, 100, 'b'), first); // its own new space, same size
    EXPECT_NE(put(10, 50, 'c'), first);
    EXPECT_EQ(put(11, 100, 'd'), first); // the space record 10 gave back fits best
    EXPECT_NE(put(1, 5, 'e'), 106u); // committed: never written over before a flush
    int32_t free_bytes = rec_slot(1)->state.header.free_bytes;
    EXPECT_EQ(rec_delete(id1(4)), 0);
    EXPECT_EQ(rec_slot(1)->state.header.free_bytes, free_bytes); // not given back either
    ASSERT_EQ(rec_flush(1, 0), 0);
    EXPECT_NE(put(11, 100, 'f'), first); // committed by the flush
    rec_close_file(1);

    // A file that owns its space reuses even committed places.
    ASSERT_EQ(open(1, spec, kRecOpenWritable | kRecOpenOwnsSpace, kKindRecords), 0);
    uint32_t committed = offset_of(id1(11));
    EXPECT_EQ(put(11, 100, 'g'), committed);
}

TEST_F(RecWriteTest, ReservingSpaceWithoutData)
{
    FileSpec* spec = memory(piece_bytes(kRecordsDescription));
    ASSERT_EQ(open(1, spec, kRecOpenWritable, kKindRecords), 0);
    RecordRef ref;
    rec_ref_init(ref, id1(12), 2);
    EXPECT_EQ(rec_ref_reserve(ref, 64), 1);
    EXPECT_EQ(rec_size(id1(12), kSizeStored), 64u);
    ASSERT_NE(cached(id1(12)), nullptr);
    EXPECT_EQ(cached(id1(12))->flags, kCacheReserved);
    EXPECT_EQ(rec_get(id1(12)), MemHandle {}); // nothing to load yet
    EXPECT_EQ(rec_error_word(), 0);
    ASSERT_EQ(rec_ref_put(ref, block_of("now with data"), 13), 0);
    rec_ref_release(ref, kReleaseOne);
    EXPECT_EQ(hex(id1(12)), text_hex("now with data"));
    rec_close_file(1);

    ASSERT_EQ(open(1, spec, 0, kKindRecords), 0);
    EXPECT_EQ(rec_ref_reserve(ref, 64), 0);
    EXPECT_EQ(rec_error_word(), 5);
}

TEST_F(RecWriteTest, NewRecordsTakeTheFirstFreeNumber)
{
    make_file("records.dat", kRecordsDescription);
    ASSERT_EQ(open(1, disk("records.dat"), kRecOpenWritable, kKindRecords), 0);
    RecordRef ref;
    rec_ref_init(ref, id1(1), 2);
    EXPECT_EQ(rec_ref_new_empty(ref), 3u);
    RecordRef made;
    EXPECT_EQ(rec_ref_init_new(made, 1, 2), 0);
    EXPECT_EQ(made.id, id1(5)); // 2, 3 and 4 are taken
    EXPECT_EQ(rec_size(id1(5), kSizeUnpacked), 0u);
    RecordDirEntry entry;
    ASSERT_EQ(rec_lookup(id1(5), entry, nullptr), 1);
    EXPECT_EQ(entry.type, 2);

    ASSERT_EQ(rec_put(id1(65535), -2, block_of("last"), 4), 0);
    rec_ref_init(ref, id1(65535), 2);
    EXPECT_EQ(rec_ref_new_empty(ref), 0u);
    EXPECT_EQ(rec_error_word(), 5003);

    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(2, disk("piece.v5r"), 0, kKindPiece), 0);
    EXPECT_EQ(rec_ref_init_new(made, 2, 2), 5014);
}

TEST_F(RecWriteTest, ASlotWithoutFileKeepsItsRecordsInMemory)
{
    ASSERT_EQ(open(2, nullptr, kRecOpenWritable), 0);
    ASSERT_EQ(rec_put(rec_make_id(2, 1), -2, block_of("kept"), 4), 0);
    rec_release(rec_make_id(2, 1), kReleaseOne);
    EXPECT_EQ(rec_purge_all(), 0u); // marked, with nowhere to write it
    EXPECT_EQ(rec_flush(2, 0), 0);
    EXPECT_EQ(hex(rec_make_id(2, 1)), text_hex("kept"));

    // Records never marked live only until purged.
    ASSERT_EQ(open(3, nullptr, kRecOpenWritable | kRecOpenNoLaterWrite), 0);
    ASSERT_EQ(rec_put(rec_make_id(3, 1), -2, block_of("passing"), 7), 0);
    rec_release(rec_make_id(3, 1), kReleaseOne);
    EXPECT_EQ(hex(rec_make_id(3, 1)), text_hex("passing"));
    EXPECT_EQ(rec_purge_all(), 1u);
    EXPECT_EQ(hex(rec_make_id(3, 1)), "error 5006");
}

} // namespace
