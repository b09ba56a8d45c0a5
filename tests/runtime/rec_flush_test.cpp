#include "platform/kernel/byte_io.h"
#include "platform/kernel/file_save.h"
#include "rec_store_fixture.h"
#include "tests/other_user.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace rectest;

namespace {

constexpr RecordId id1(uint32_t number) { return rec_make_id(1, number); }

using Contents = std::map<uint32_t, std::string>; // record number -> hex

const Contents kRecordsBefore = {
    { 1, text_hex("first") },
    { 2, "0100000002000000" + std::string(400, '0') },
    { 4, text_hex("fourth") },
};

class RecFlushTest : public RecStoreTest {
protected:
    // Every record of the slot's directory.
    static Contents contents(int slot)
    {
        Contents out;
        RecordDirEntry entry;
        for (int32_t n = 0; rec_dir_entry_at(rec_slot(slot)->state, n, entry); n++)
            out[entry.number] = hex(rec_make_id(uint32_t(slot), entry.number));
        return out;
    }
    // What the bytes hold as a record file of the kind, opened in slot 9: its records, or
    // {0: "error N"}.
    Contents contents_of(const std::vector<uint8_t>& bytes, uint32_t kind = kKindRecords)
    {
        int result = open(9, memory(bytes), 0, kind);
        if (result != 0)
            return { { 0, "error " + std::to_string(result) } };
        Contents out = contents(9);
        rec_close_file(9);
        return out;
    }
    // The changes every flush test makes: record 1 longer, 2 deleted, 9 new and packed, and
    // record 4 loaded and in use.
    static void change_records()
    {
        ASSERT_EQ(rec_put(id1(1), -2, block_of("a longer first record"), 21), 0);
        rec_release(id1(1), kReleaseOne);
        ASSERT_EQ(rec_delete(id1(2)), 0);
        std::string zeros(700, '\0');
        ASSERT_EQ(rec_put(id1(9), 2, block_of(zeros), 700), 0);
        ASSERT_TRUE(rec_get(id1(4)));
    }
    const Contents kRecordsAfter = {
        { 1, text_hex("a longer first record") },
        { 4, text_hex("fourth") },
        { 9, std::string(1400, '0') },
    };
    // Files in the test folder, to see that nothing is left behind.
    std::vector<std::string> folder_names() const
    {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(root_))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(RecFlushTest, AMemoryFileIsFlushedInPlaceWithEveryCompaction)
{
    for (int mode : { 0, 1, 2 }) {
        SCOPED_TRACE(mode);
        FileSpec* spec = memory(piece_bytes(kRecordsDescription));
        ASSERT_EQ(open(1, spec, kRecOpenWritable, kKindRecords), 0);
        change_records();
        ASSERT_EQ(rec_flush(1, mode), 0);
        const RecordFileState& state = rec_slot(1)->state;
        EXPECT_EQ(state.flags & (kRecFileDirty | kRecFileFlushed), kRecFileFlushed);
        if (mode == 2) {
            EXPECT_EQ(state.header.free_bytes, 0);
        }
        EXPECT_EQ(contents(1), kRecordsAfter);
        EXPECT_EQ(rec_flush(1, mode), 0); // clean: nothing to do
        rec_close_file(1);
        std::vector<uint8_t> bytes = memory_bytes(spec);
        EXPECT_EQ(contents_of(bytes), kRecordsAfter);
        EXPECT_EQ(int64_t(plat::load_u32le(bytes.data() + 32 + 4)), int64_t(bytes.size()));
    }
}

// A block changed after its put packs to another size: it must not spill into its neighbour.
TEST_F(RecFlushTest, ARecordThatGrewAfterItsPutIsPlacedAgain)
{
    FileSpec* spec = memory(piece_bytes(kRecordsDescription));
    ASSERT_EQ(open(1, spec, kRecOpenWritable, kKindRecords), 0);
    MemHandle block = block_of(std::string(300, '\0')); // packs to a few bytes
    ASSERT_EQ(rec_put(id1(7), 2, block, 300), 0);
    ASSERT_EQ(rec_put(id1(8), -2, block_of("neighbour"), 9), 0);
    uint8_t* bytes = static_cast<uint8_t*>(mem_address(block));
    for (int n = 0; n < 300; n++)
        bytes[n] = uint8_t(n * 7919 >> 3); // packs badly now
    std::string grown = block_hex(block, 300);
    ASSERT_EQ(rec_flush(1, 0), 0);
    rec_close_file(1);
    Contents after = contents_of(memory_bytes(spec));
    EXPECT_EQ(after[7], grown);
    EXPECT_EQ(after[8], text_hex("neighbour"));
}

// Space freed at the end of the data area is cut off by a flush; an empty record put after it
// must not be left pointing past the end of the file.
TEST_F(RecFlushTest, AnEmptyRecordOutlivesTheTailBeingCut)
{
    FileSpec* spec = memory(piece_bytes(kRecordsDescription));
    ASSERT_EQ(open(1, spec, kRecOpenWritable, kKindRecords), 0);
    // Larger than any free space: it goes at the end of the data area.
    ASSERT_EQ(rec_put(id1(10), -2, block_of(std::string(2000, 'x')), 2000), 0);
    rec_release(id1(10), kReleaseOne);
    RecordRef ref;
    rec_ref_init(ref, id1(11), 2);
    ASSERT_EQ(rec_ref_new_empty(ref), 11u);
    ASSERT_EQ(rec_delete(id1(10)), 0);
    ASSERT_EQ(rec_flush(1, 0), 0);
    rec_close_file(1);
    Contents after = kRecordsBefore;
    after[11] = "";
    EXPECT_EQ(contents_of(memory_bytes(spec)), after);
}

TEST_F(RecFlushTest, ADiskFileIsReplacedByAFlushedCopy)
{
    make_file("records.dat", kRecordsDescription);
    ASSERT_EQ(open(1, disk("records.dat"), kRecOpenWritable, kKindRecords), 0);
    FileHandle before = rec_file_handle(1);
    change_records();
    ASSERT_EQ(rec_flush(1, 0), 0);
    EXPECT_EQ(folder_names(), std::vector<std::string> { "records.dat" });
    EXPECT_NE(rec_file_handle(1).handle, before.handle);
    EXPECT_EQ(cached(id1(1)), nullptr); // written, unused: freed
    EXPECT_EQ(cached(id1(4))->uses, 1u);
    EXPECT_EQ(contents(1), kRecordsAfter);
    EXPECT_EQ(contents_of(read_file("records.dat")), kRecordsAfter);

    // The copy goes on like any open file: changed and flushed again.
    ASSERT_EQ(rec_put(id1(5), -2, block_of("later"), 5), 0);
    ASSERT_EQ(rec_flush(1, 0), 0);
    rec_close_file(1);
    Contents later = kRecordsAfter;
    later[5] = text_hex("later");
    EXPECT_EQ(contents_of(read_file("records.dat")), later);
}

// A record file set up after other content, here a program whose DOS header names where the
// records begin, keeps its kind header at that base.
TEST_F(RecFlushTest, AnAppendedFileKeepsItsBase)
{
    std::vector<uint8_t> program(64);
    program[0] = 'M';
    program[1] = 'Z';
    program[0x20] = 64;
    write_file("program.bin", program);
    for (bool on_disk : { false, true }) {
        SCOPED_TRACE(on_disk);
        FileSpec* spec = on_disk ? disk("program.bin") : memory(program);
        ASSERT_EQ(open(1, spec, kRecOpenWritable | kRecOpenAppend, kKindRecords), 0);
        ASSERT_EQ(rec_put(id1(1), -2, block_of("after"), 5), 0);
        ASSERT_EQ(rec_flush(1, 0), 0);
        EXPECT_EQ(hex(id1(1)), text_hex("after"));
        rec_close_file(1);
        std::vector<uint8_t> bytes = on_disk ? read_file("program.bin") : memory_bytes(spec);
        ASSERT_GT(bytes.size(), 64u + 32 + 74);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 64), program);
        EXPECT_EQ(std::string(bytes.begin() + 64, bytes.begin() + 68), "WSTU");
        EXPECT_EQ(plat::load_u32le(bytes.data() + 96 + 4), bytes.size()); // end of data
        EXPECT_EQ(contents_of(bytes), (Contents { { 1, text_hex("after") } }));
    }
}

TEST_F(RecFlushTest, SavingACopyLeavesTheFileAndMaySwitchToTheCopy)
{
    for (RecSaveAs mode : { kSaveAsCopy, kSaveAsSwitch }) {
        SCOPED_TRACE(mode);
        make_file("records.dat", kRecordsDescription);
        std::filesystem::remove(host("copy.dat"));
        ASSERT_EQ(open(1, disk("records.dat"), kRecOpenWritable, kKindRecords), 0);
        change_records();
        FileSpec* target = disk("copy.dat");
        ASSERT_EQ(file_create(target), 0u);
        FileHandle out = file_open(target, kFileModeReadWrite);
        ASSERT_EQ(rec_save_as(1, out, target, kKindRecords, mode), 0);
        EXPECT_EQ(contents_of(read_file("copy.dat")), kRecordsAfter);
        EXPECT_EQ(contents(1), kRecordsAfter);
        if (mode == kSaveAsCopy) {
            file_close(out.handle, out.kind);
            EXPECT_TRUE(rec_slot(1)->state.flags & kRecFileDirty);
        } else {
            EXPECT_EQ(rec_file_handle(1).handle, out.handle);
            EXPECT_FALSE(rec_slot(1)->state.flags & kRecFileDirty);
            ASSERT_EQ(rec_put(id1(5), -2, block_of("later"), 5), 0);
            ASSERT_EQ(rec_flush(1, 0), 0);
        }
        rec_close_file(1);
        EXPECT_EQ(contents_of(read_file("records.dat")), kRecordsBefore);
        if (mode == kSaveAsSwitch) {
            EXPECT_EQ(contents_of(read_file("copy.dat")).count(5), 1u);
        }
    }
}

TEST_F(RecFlushTest, APackagedPieceSavesAsAnEditableCopy)
{
    make_file("piece.v5r", kPieceDescription);
    ASSERT_EQ(open(1, disk("piece.v5r"), 0, kKindPiece), 0);
    Contents before = contents(1);
    ASSERT_TRUE(rec_get(id1(3))); // loaded: packed again from memory
    FileSpec* target = memory({});
    ASSERT_EQ(file_create(target), 0u);
    FileHandle out = file_open(target, kFileModeReadWrite);
    ASSERT_EQ(rec_save_as(1, out, nullptr, kKindPiece, kSaveAsCopy), 0);
    file_close(out.handle, out.kind);
    std::vector<uint8_t> bytes = memory_bytes(target);
    EXPECT_EQ(contents_of(bytes, kKindPiece), before);
    EXPECT_EQ(plat::load_u16le(bytes.data() + 32 + 54), 0); // not packaged
}

// A successful flush syncs the disk, which takes real time: the tries after a failure are
// made at every so many of the points.
constexpr uint64_t kRetryEvery = 16;

// The writing stops after every possible number of bytes: the file on disk must then hold the
// old records or the new ones, whole, and the store must be able to try again.
TEST_F(RecFlushTest, AFlushCutShortLeavesTheOldFileOrTheNew)
{
    int failures = 0;
    const std::vector<uint8_t> original = piece_bytes(kRecordsDescription);
    for (uint64_t limit = 1;; limit++) {
        SCOPED_TRACE(limit);
        write_file("records.dat", original);
        ASSERT_EQ(open(1, disk("records.dat"), kRecOpenWritable, kKindRecords), 0);
        change_records();
        plat::file_fail_writes_after(limit);
        int result = rec_flush(1, 0);
        plat::file_fail_writes_after(0);
        EXPECT_EQ(folder_names(), std::vector<std::string> { "records.dat" });
        Contents on_disk = contents_of(read_file("records.dat"));
        if (result == 0) {
            EXPECT_EQ(on_disk, kRecordsAfter);
            rec_close_file(1);
            break;
        }
        failures++;
        ASSERT_EQ(result, 112);
        ASSERT_EQ(on_disk, kRecordsBefore);
        EXPECT_TRUE(rec_slot(1)->state.flags & kRecFileDirty);
        bool retried = limit % kRetryEvery == 1;
        if (retried) { // the slot is whole: a second try succeeds
            ASSERT_EQ(rec_flush(1, 0), 0);
        }
        rec_close_file(1);
        ASSERT_EQ(contents_of(read_file("records.dat")), retried ? kRecordsAfter : kRecordsBefore);
    }
    EXPECT_GT(failures, 250); // every byte of the copy was a place to fail
}

TEST_F(RecFlushTest, ASaveAsCutShortLeavesTheSlotAsItWas)
{
    const std::vector<uint8_t> original = piece_bytes(kRecordsDescription);
    for (uint64_t limit = 1;; limit++) {
        SCOPED_TRACE(limit);
        write_file("records.dat", original);
        std::filesystem::remove(host("copy.dat"));
        ASSERT_EQ(open(1, disk("records.dat"), kRecOpenWritable, kKindRecords), 0);
        change_records();
        FileSpec* target = disk("copy.dat");
        ASSERT_EQ(file_create(target), 0u);
        FileHandle out = file_open(target, kFileModeReadWrite);
        plat::file_fail_writes_after(limit);
        int result = rec_save_as(1, out, target, kKindRecords, kSaveAsSwitch);
        plat::file_fail_writes_after(0);
        if (result == 0) {
            rec_close_file(1);
            EXPECT_EQ(contents_of(read_file("copy.dat")), kRecordsAfter);
            EXPECT_EQ(contents_of(read_file("records.dat")), kRecordsBefore);
            break;
        }
        file_close(out.handle, out.kind);
        ASSERT_EQ(result, 112);
        EXPECT_EQ(contents(1), kRecordsAfter);
        bool retried = limit % kRetryEvery == 1;
        if (retried) {
            ASSERT_EQ(rec_flush(1, 0), 0);
        }
        rec_close_file(1);
        ASSERT_EQ(contents_of(read_file("records.dat")), retried ? kRecordsAfter : kRecordsBefore);
    }
}

} // namespace

// --- saving a disk file where it lives ------------------------------------------------------

namespace {

using testuser::kNobody;

// How a save test reaches its file.
struct Place {
    std::string opened; // the path the slot opens: absolute, or from the current folder
    std::string file; // the file that holds the records, below T:\ (a link's target)
    std::function<void()> after_open; // done between the open and the flush
};

class RecSaveTest : public RecFlushTest {
protected:
    void SetUp() override
    {
        RecFlushTest::SetUp();
        setenv("STORVEL_WINDOWS_DIR", host("Windows").c_str(), 1);
        std::filesystem::create_directory(host("Windows"));
    }
    void TearDown() override
    {
        for (FileSpec* made : specs_)
            fspec_free(made);
        unsetenv("STORVEL_WINDOWS_DIR");
        for (const auto& item : std::filesystem::recursive_directory_iterator(root_))
            if (item.is_directory() && !item.is_symlink())
                chmod(item.path().c_str(), 0755); // a locked folder must let the fixture clean up
        RecFlushTest::TearDown();
    }

    // A disk spec of the path as it stands, freed after the test.
    FileSpec* spec_at(const std::string& path)
    {
        FileSpec* made = nullptr;
        EXPECT_EQ(fspec_from_path(path.c_str(), &made), 0);
        specs_.push_back(made);
        return made;
    }
    static std::string host_form(std::string path)
    {
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    }
    // Writes the records as they were before, keeping the file's mode and owner.
    void put_original(const Place& place) const
    {
        std::vector<uint8_t> bytes = piece_bytes(kRecordsDescription);
        std::ofstream(host(host_form(place.file)), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    // The records the next open of the file finds (it puts back what a cut left half written).
    Contents on_disk(const Place& place)
    {
        int result = open(1, disk(place.file), 0, kKindRecords);
        if (result != 0)
            return { { 0, "error " + std::to_string(result) } };
        Contents out = contents(1);
        rec_close_file(1);
        return out;
    }
    // The names in a folder below T:\ (none when it is missing).
    std::vector<std::string> names_in(const std::string& folder) const
    {
        std::vector<std::string> names;
        std::error_code missing;
        for (const auto& item :
            std::filesystem::directory_iterator(host(host_form(folder)), missing))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Flushes with the writing cut after 1, 2, ... bytes until a flush succeeds. After each
    // failure the slot is still dirty, a retry (every so often) succeeds, and the next open
    // finds the old records (or the new ones after a retry); nothing is left in the file's
    // folder or the copies' folder. The flush that succeeds leaves the new records, having
    // synced a folder. The number of failures.
    int flush_cut_at_every_byte(const Place& place)
    {
        std::string folder = std::filesystem::path(host_form(place.file)).parent_path().string();
        int failures = 0;
        for (uint64_t limit = 1;; limit++) {
            SCOPED_TRACE(limit);
            put_original(place);
            EXPECT_TRUE(plat::set_current_directory("T:\\"));
            std::vector<std::string> names = names_in(folder);
            int opened = open(1, spec_at(place.opened), kRecOpenWritable, kKindRecords);
            if (opened != 0) {
                ADD_FAILURE() << "cannot open " << place.opened << ": " << opened;
                return failures;
            }
            change_records();
            if (place.after_open)
                place.after_open();
            uint32_t syncs = plat::file_folder_sync_count();
            plat::file_fail_writes_after(limit);
            int result = rec_flush(1, 0);
            plat::file_fail_writes_after(0);
            EXPECT_EQ(names_in(folder), names);
            if (result == 0) {
                EXPECT_GT(plat::file_folder_sync_count(), syncs);
                rec_close_file(1);
                EXPECT_EQ(on_disk(place), kRecordsAfter);
                EXPECT_EQ(names_in("Windows\\SAVING"), std::vector<std::string> {});
                return failures;
            }
            failures++;
            EXPECT_EQ(result, 112);
            EXPECT_TRUE(rec_slot(1)->state.flags & kRecFileDirty);
            if (!names_in("Windows\\SAVING").empty())
                copies_left_++; // the file is half written: the slot reads the copy
            bool retried = limit % kRetryEvery == 1;
            if (retried) {
                EXPECT_EQ(rec_flush(1, 0), 0);
            }
            rec_close_file(1);
            EXPECT_EQ(on_disk(place), retried ? kRecordsAfter : kRecordsBefore);
            EXPECT_EQ(names_in("Windows\\SAVING"), std::vector<std::string> {});
            if (HasFailure())
                return failures;
        }
    }

    int copies_left_ = 0; // failures that could not write the old bytes back at once

private:
    std::vector<FileSpec*> specs_;
};

struct stat status_of(const std::string& host_path)
{
    struct stat info { };
    EXPECT_EQ(stat(host_path.c_str(), &info), 0) << host_path;
    return info;
}

// The link stays and leads to the new records; a learner's private file stays private, and,
// where the test may give it away, keeps its owner.
TEST_F(RecSaveTest, ALinkedPrivateFileIsSavedWhereTheLinkLeads)
{
    std::filesystem::create_directory(host("data"));
    std::filesystem::create_symlink("data/records.dat", host("records.dat"));
    Place place { "T:\\records.dat", "data\\records.dat", nullptr };
    put_original(place);
    ASSERT_EQ(chmod(host("data/records.dat").c_str(), 0600), 0);
    bool gives_away = geteuid() == 0;
    if (gives_away) {
        ASSERT_EQ(chown(host("data/records.dat").c_str(), kNobody, kNobody), 0);
    }
    EXPECT_GT(flush_cut_at_every_byte(place), 250);
    EXPECT_TRUE(std::filesystem::is_symlink(host("records.dat")));
    struct stat info = status_of(host("data/records.dat"));
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    if (gives_away) {
        EXPECT_EQ(info.st_uid, kNobody);
        EXPECT_EQ(info.st_gid, kNobody);
    }
}

// The current folder moves between the open and the flush: the flush still goes to the file
// that was opened, and nothing appears in the new current folder.
TEST_F(RecSaveTest, AFileOpenedByARelativeNameIsSavedWhereItWasOpened)
{
    std::filesystem::create_directory(host("elsewhere"));
    Place place { "records.dat", "records.dat",
        [] { ASSERT_TRUE(plat::set_current_directory("T:\\elsewhere")); } };
    EXPECT_GT(flush_cut_at_every_byte(place), 250);
    EXPECT_EQ(names_in("elsewhere"), std::vector<std::string> {});
}

// A path of the longest length a program may name: the temporary file must not be longer.
TEST_F(RecSaveTest, AFileWhosePathIsAtTheLimitSaves)
{
    std::string folder(251, 'f');
    std::filesystem::create_directory(host(folder));
    Place place { "T:\\" + folder + "\\r.dat", folder + "\\r.dat", nullptr };
    ASSERT_EQ(place.opened.size(), plat::MAX_PATH);
    EXPECT_GT(flush_cut_at_every_byte(place), 250);
}

// The user may write the file but not its folder: the file is saved in place, its old bytes
// kept in the copies' folder until the new ones are synced.
TEST_F(RecSaveTest, AWritableFileInAFolderTheUserCannotWriteSavesInPlace)
{
    std::filesystem::create_directory(host("locked"));
    Place place { "T:\\locked\\records.dat", "locked\\records.dat", nullptr };
    put_original(place);
    if (geteuid() == 0) { // the child that drops to nobody must reach the file and its copies
        ASSERT_EQ(chmod(root_.c_str(), 0755), 0);
        ASSERT_EQ(chown(host("locked/records.dat").c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(chown(host("Windows").c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(chmod(host("locked").c_str(), 0555), 0);
    bool ran = testuser::run_as_another_user([&] {
        EXPECT_GT(flush_cut_at_every_byte(place), 250);
        EXPECT_GT(copies_left_, 16); // the next open, or a retry, puts the old bytes back
    });
    if (!ran)
        GTEST_SKIP() << "the test runs as root and cannot drop to user " << kNobody;
}

} // namespace
