#include "platform/kernel/byte_io.h"
#include "rec_store_fixture.h"

#include <filesystem>
#include <fstream>

using namespace rectest;

namespace {

constexpr RecordId id1(uint32_t number) { return rec_make_id(1, number); }

const std::string kRecord1Hex = "0700000009000000" + std::string(600, '0');

TEST_F(RecStoreTest, LoadsUnpacksAndConvertsEveryRecord)
{
    static const struct {
        const char* name;
        const char* description;
        uint32_t kind;
        uint32_t number;
        std::string hex;
    } kRows[] = {
        { "packed", kPieceDescription, kKindPiece, 1, kRecord1Hex },
        { "raw", kPieceDescription, kKindPiece, 2, text_hex("hello") },
        { "other byte order", kPieceDescription, kKindPiece, 3, "0100000002000000" },
        { "number skipped in a packaged file", kPieceDescription, kKindPiece, 4, "" },
        { "raw special type", kPieceDescription, kKindPiece, 5, text_hex("five") },
        { "past the last", kPieceDescription, kKindPiece, 6, "absent" },
        { "editable", kRecordsDescription, kKindRecords, 2,
            "0100000002000000" + std::string(400, '0') },
        { "editable gap", kRecordsDescription, kKindRecords, 3, "absent" },
        { "editable, other order",
            "kind WSTU\norder big\nrecord 8 2 zlib\nu32 3 4\nzeros 50\nend\n", kKindRecords, 8,
            "0300000004000000" + std::string(100, '0') },
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        make_file("piece.v5r", row.description);
        ASSERT_EQ(open(1, disk("piece.v5r"), 0, row.kind), 0);
        EXPECT_EQ(hex(id1(row.number)), row.hex);
        EXPECT_EQ(rec_error_word(), 0);
        EXPECT_EQ(rec_close_file(1), 0);
    }
}

TEST_F(RecStoreTest, AReleasedRecordIsServedFromTheCache)
{
    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    MemHandle first = rec_get(id1(2));
    ASSERT_TRUE(first);
    EXPECT_EQ(rec_get(id1(2)), first);
    EXPECT_EQ(cached(id1(2))->uses, 2u);
    EXPECT_EQ(rec_loaded_bytes(), 5);
    EXPECT_EQ(rec_discard(id1(2)), 0); // in use
    rec_release(id1(2), kReleaseOne);
    rec_release(id1(2), kReleaseOne);
    EXPECT_EQ(rec_lru_count(), 1u);
    EXPECT_EQ(rec_peek(id1(2)), MemHandle {}); // nobody uses it

    // The file changes behind the store's back: the cached record does not.
    RecordDirEntry entry;
    ASSERT_EQ(rec_lookup(id1(2), entry, nullptr), 1);
    {
        std::fstream file(host("piece.v5r"), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(entry.offset);
        file.write("HELLO", 5);
    }
    EXPECT_EQ(rec_get(id1(2)), first);
    EXPECT_EQ(rec_lru_count(), 0u);
    EXPECT_EQ(rec_peek(id1(2)), first);
    rec_release(id1(2), kReleaseAll);
    EXPECT_EQ(rec_discard(id1(2)), 1);
    EXPECT_EQ(rec_loaded_bytes(), 0);
    EXPECT_EQ(hex(id1(2)), text_hex("HELLO"));
}

TEST_F(RecStoreTest, WithALimitOfZeroOneReleasedRecordStays)
{
    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    rec_set_cache_limit(0);
    EXPECT_EQ(hex(id1(1)), kRecord1Hex);
    EXPECT_NE(cached(id1(1)), nullptr);
    EXPECT_EQ(hex(id1(2)), text_hex("hello"));
    EXPECT_EQ(cached(id1(1)), nullptr);
    EXPECT_NE(cached(id1(2)), nullptr);
}

TEST_F(RecStoreTest, ADiscardedBlockIsLoadedAgain)
{
    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    EXPECT_EQ(hex(id1(1)), kRecord1Hex);
    plat::global_compact(1); // the system takes the purgeable block
    ASSERT_TRUE(mem_is_purged(cached(id1(1))->block));
    EXPECT_EQ(hex(id1(1)), kRecord1Hex);
    EXPECT_EQ(rec_loaded_bytes(), 308);
}

TEST_F(RecStoreTest, TakingGivesTheCallerABlockOfItsOwn)
{
    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    MemHandle held = rec_get(id1(2));
    MemHandle copy = rec_take(id1(2));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, held); // another user has it
    EXPECT_EQ(cached(id1(2))->uses, 1u);
    EXPECT_EQ(block_hex(copy, 5), text_hex("hello"));
    mem_free(copy);
    rec_release(id1(2), kReleaseOne);

    MemHandle own = rec_take(id1(2));
    EXPECT_EQ(own, held); // nobody else: the cached block itself
    EXPECT_EQ(cached(id1(2)), nullptr);
    EXPECT_EQ(rec_loaded_bytes(), 0);
    mem_free(own);
}

TEST_F(RecStoreTest, ReplacingTheBlockOfARecordInUse)
{
    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    MemHandle other = block_of("other");
    EXPECT_EQ(rec_replace_handle(id1(2), other), 0); // not loaded
    MemHandle loaded = rec_get(id1(2));
    rec_get(id1(2));
    EXPECT_EQ(rec_replace_handle(id1(2), other), 0); // two users
    rec_release(id1(2), kReleaseOne);
    EXPECT_EQ(rec_replace_handle(id1(2), other), 1);
    EXPECT_EQ(rec_get(id1(2)), other);
    mem_free(loaded);
}

TEST_F(RecStoreTest, ADamagedRecordFailsAndIsNotCached)
{
    std::vector<uint8_t> bytes = piece_bytes(kPieceDescription);
    write_file("piece.v5r", bytes);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    RecordDirEntry entry;
    ASSERT_EQ(rec_lookup(id1(1), entry, nullptr), 1);
    rec_close_file(1);
    bytes[entry.offset + 4] ^= 0xFF;
    write_file("piece.v5r", bytes);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    EXPECT_EQ(rec_get(id1(1)), MemHandle {});
    EXPECT_EQ(rec_error_word(), 5000);
    EXPECT_EQ(cached(id1(1)), nullptr);
    EXPECT_EQ(hex(id1(2)), text_hex("hello"));
    EXPECT_EQ(rec_error_word(), 0);
}

// Found by the fuzzer: a record whose bytes lie in the header would change at every flush.
TEST_F(RecStoreTest, ARecordInsideTheHeadersIsDamage)
{
    std::vector<uint8_t> bytes = piece_bytes(kRecordsDescription);
    uint32_t directory = plat::load_u32le(bytes.data() + 32 + 20);
    plat::store_u32le(bytes.data() + directory + 24, 45); // record 1 at 45, inside the header
    write_file("records.dat", bytes);
    EXPECT_EQ(open(1, disk("records.dat"), kRecOpenWritable, kKindRecords), 5000);
}

TEST_F(RecStoreTest, AUseCountDoesNotWrap)
{
    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    for (int n = 0; n < 300; n++)
        ASSERT_TRUE(rec_get(id1(2)));
    for (int n = 0; n < 299; n++)
        rec_release(id1(2), kReleaseOne);
    EXPECT_EQ(rec_lru_count(), 0u);
    EXPECT_EQ(rec_purge_all(), 0u);
    EXPECT_EQ(block_hex(rec_peek(id1(2)), 5), text_hex("hello"));
}

// Stands in for the plug-in asset cache and the bitmap cache, which share the budget.
struct OtherCaches {
    static inline int64_t asset_bytes = 0;
    static inline uint32_t asset_tick = 0xFFFFFFFF;
    static inline uint32_t bitmap_lru = 0xFFFFFFFF;
    static inline std::string purged;
    static const RecOtherCaches* table()
    {
        static const RecOtherCaches caches = {
            [] { return asset_bytes; },
            [] { return asset_tick; },
            [](int64_t bytes) {
                purged += "asset " + std::to_string(bytes);
                return bytes;
            },
            [] { return int64_t(0); },
            [] { return bitmap_lru; },
            [](int64_t bytes) {
                purged += "bitmap " + std::to_string(bytes);
                return bytes;
            },
        };
        return &caches;
    }
};

TEST_F(RecStoreTest, TheBudgetPurgesRecordsFirstThenTheOlderOtherCache)
{
    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    rec_set_other_caches(OtherCaches::table());
    mem_budget_add(320);
    EXPECT_EQ(hex(id1(2)), text_hex("hello"));
    EXPECT_EQ(hex(id1(5)), text_hex("five"));
    EXPECT_EQ(hex(id1(1)), kRecord1Hex); // 5 + 4 + 308 bytes fit in 320
    EXPECT_EQ(rec_lru_count(), 3u);
    EXPECT_EQ(hex(id1(3)), "0100000002000000"); // 8 more: the oldest make room
    EXPECT_EQ(cached(id1(2)), nullptr);
    EXPECT_NE(cached(id1(1)), nullptr);
    EXPECT_EQ(OtherCaches::purged, "");

    static const struct {
        uint32_t asset_tick;
        uint32_t bitmap_lru;
        const char* purged;
    } kRows[] = {
        { 5, 9, "asset 988" }, // the assets were used longer ago
        { 9, 5, "bitmap 988" }, { 0xFFFFFFFF, 0xFFFFFFFF, "bitmap 988" }, // both empty
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.purged);
        rec_purge_all();
        OtherCaches::asset_bytes = 1000;
        OtherCaches::asset_tick = row.asset_tick;
        OtherCaches::bitmap_lru = row.bitmap_lru;
        OtherCaches::purged.clear();
        EXPECT_EQ(hex(id1(1)), kRecord1Hex); // 1000 + 308 bytes: 988 over, no record to free
        EXPECT_EQ(OtherCaches::purged, row.purged);
    }
    OtherCaches::asset_bytes = 0;
    OtherCaches::purged.clear();
}

TEST_F(RecStoreTest, OpeningCreatesOnlyWhatIsMissing)
{
    make_file("piece.v5r", kPieceDescription);
    EXPECT_EQ(open(0, disk("piece.v5r")), 8);
    EXPECT_EQ(open(26, disk("piece.v5r")), 8);
    EXPECT_EQ(open(1, disk("piece.v5r"), 0, kKindRecords), 5004);
    EXPECT_EQ(rec_error_word(), 5004);
    EXPECT_EQ(rec_slot(1), nullptr);

    EXPECT_EQ(open(1, disk("absent.dat"), 0, kKindRecords, kRecAcceptEmpty), 2);
    EXPECT_FALSE(std::filesystem::exists(host("absent.dat")));
    // Writable: made, and deleted again when it cannot be set up.
    EXPECT_EQ(open(1, disk("new.dat"), kRecOpenWritable, kKindRecords, kRecRefuseEmpty), 5000);
    EXPECT_FALSE(std::filesystem::exists(host("new.dat")));
    EXPECT_EQ(open(1, disk("new.dat"), kRecOpenWritable, kKindRecords, kRecAcceptEmpty), 0);
    EXPECT_TRUE(std::filesystem::exists(host("new.dat")));
    EXPECT_EQ(rec_file_record_count(1), 0);
    EXPECT_EQ(rec_close_file(1), 0);

    // A file that exists but cannot be opened now (another handle shares nothing) is refused,
    // never made anew.
    make_file("held.dat", kRecordsDescription);
    std::vector<uint8_t> before = read_file("held.dat");
    plat::FileHandle holder = plat::create_file(
        "T:\\held.dat", plat::GENERIC_READ, 0, plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(holder);
    EXPECT_EQ(open(1, disk("held.dat"), kRecOpenWritable, kKindRecords, kRecAcceptEmpty), 32);
    EXPECT_EQ(read_file("held.dat"), before);
    plat::close_handle(holder);
    EXPECT_EQ(open(1, disk("held.dat"), 0, kKindRecords), 0);
    EXPECT_EQ(hex(id1(4)), text_hex("fourth"));
}

TEST_F(RecStoreTest, ClosingAnUnflushedFileKeepsItsBytesAndTime)
{
    make_file("records.dat", kRecordsDescription);
    std::vector<uint8_t> before = read_file("records.dat");
    // Whole seconds: the platform keeps times in 100-nanosecond units.
    std::filesystem::file_time_type old_time = std::chrono::floor<std::chrono::seconds>(
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(48));
    std::filesystem::last_write_time(host("records.dat"), old_time);

    ASSERT_EQ(
        open(1, disk("records.dat"), kRecOpenWritable | kRecOpenWriteThrough, kKindRecords), 0);
    MemHandle block = block_of("written through");
    ASSERT_EQ(rec_put(id1(9), -2, block, 15), 0);
    rec_release(id1(9), kReleaseOne);
    EXPECT_GT(read_file("records.dat").size(), before.size());
    EXPECT_EQ(rec_close_file(1), 0);
    EXPECT_EQ(read_file("records.dat"), before);
    EXPECT_EQ(std::filesystem::last_write_time(host("records.dat")), old_time);

    // A flushed file keeps its new time.
    ASSERT_EQ(open(1, disk("records.dat"), kRecOpenWritable, kKindRecords), 0);
    ASSERT_EQ(rec_put(id1(9), -2, block_of("flushed"), 7), 0);
    ASSERT_EQ(rec_flush(1, 0), 0);
    EXPECT_EQ(rec_close_file(1), 0);
    EXPECT_NE(std::filesystem::last_write_time(host("records.dat")), old_time);
}

TEST_F(RecStoreTest, SlotQueries)
{
    make_file("piece.v5r", kPieceDescription);
    FileSpec* piece = disk("piece.v5r");
    EXPECT_EQ(rec_file_end(1), -1);
    EXPECT_EQ(rec_file_matches(piece, 1, piece), 2);
    ASSERT_EQ(open(1, piece, 0, kKindPiece), 0);
    EXPECT_TRUE(rec_file_handle(1));
    EXPECT_EQ(rec_file_end(1), int64_t(read_file("piece.v5r").size()));
    EXPECT_EQ(rec_file_record_count(1), 5);
    EXPECT_GT(rec_file_free_space(1), 0);
    EXPECT_EQ(rec_file_matches(piece, 1, piece), 0);
    EXPECT_EQ(rec_file_matches(piece, 1, disk("other.v5r")), 2);
    EXPECT_EQ(rec_size(id1(1), kSizeUnpacked), 308u);
    EXPECT_LT(rec_size(id1(1), kSizeStored), 308u);
    EXPECT_EQ(rec_size(id1(9), kSizeUnpacked), 0u);
    EXPECT_EQ(rec_is_available(id1(1)), 1);
    EXPECT_EQ(rec_request(id1(1)), 1);

    make_file("records.dat", kRecordsDescription);
    FileSpec* records = disk("records.dat");
    ASSERT_EQ(open(23, records, kRecOpenWritable, kKindRecords), 0);
    EXPECT_EQ(rec_file_matches(records, 23, records), 1);
    ASSERT_EQ(open(2, nullptr, kRecOpenWritable | kRecOpenNoLaterWrite, kKindAny), 0);
    EXPECT_EQ(rec_file_free_space(2), -1);
    EXPECT_EQ(rec_file_matches(records, 2, records), 2);
}

} // namespace
