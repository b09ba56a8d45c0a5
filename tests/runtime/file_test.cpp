#include "fspec_fixture.h"
#include "runtime/files/file.h"

#include <cstring>
#include <string>

namespace {

class FileTest : public FspecTest {
protected:
    // A memory spec holding text, freed at the end of the test.
    FileSpec* memory_spec(const std::string& text)
    {
        FileSpec* made = hold(fspec_new_memory());
        MemHandle data = mem_alloc_copy(text.data(), text.size());
        EXPECT_EQ(fspec_set_memory(made, data, int32_t(text.size()), 0), 0);
        mem_free(data);
        return made;
    }
    static std::string memory_text(const FileSpec* made)
    {
        MemHandle copy;
        int32_t length = 0;
        if (fspec_get_memory(made, &copy, &length, nullptr) != 0 || !copy)
            return "<none>";
        std::string text(static_cast<const char*>(mem_address(copy)), size_t(length));
        mem_free(copy);
        return text;
    }
    static std::string read_all(FileHandle file)
    {
        char buffer[256];
        int32_t count = file_read(file.handle, file.kind, buffer, sizeof buffer, kFileBegin, 0);
        return count < 0 ? "<failed>" : std::string(buffer, size_t(count));
    }
};

TEST_F(FileTest, DiskFilesReadWriteSeekAndSize)
{
    put("Data/Notes.TXT", "hello world");
    FileHandle file = file_open(spec("t:\\data\\notes.txt"), kFileModeReadWrite);
    ASSERT_TRUE(file);
    EXPECT_EQ(file.kind, kFileKindDisk);
    EXPECT_EQ(read_all(file), "hello world");
    EXPECT_EQ(file_write(file.handle, file.kind, "HELLO", 5, kFileBegin, 0), 5);
    EXPECT_EQ(file_write(file.handle, file.kind, "!", 1, kFileEnd, 0), 1);
    EXPECT_EQ(file_length(file.handle, file.kind), 12);
    EXPECT_EQ(file_seek(file.handle, file.kind, 6, kFileBegin), 6);
    char word[5];
    EXPECT_EQ(file_read(file.handle, file.kind, word, 5, kFileCurrent, 0), 5);
    EXPECT_EQ(std::string(word, 5), "world");
    // Setting the current length changes nothing and answers it.
    EXPECT_EQ(file_set_length(file.handle, file.kind, 12), 12);
    EXPECT_EQ(file_set_length(file.handle, file.kind, 5), 5);
    EXPECT_EQ(file_flush(file.handle, file.kind), 0);
    uint64_t written = 0;
    EXPECT_EQ(file_get_time(file.handle, file.kind, &written), 1);
    EXPECT_GT(written, 0u);
    EXPECT_EQ(file_request_range(file.handle, file.kind, 0, 5), 0);
    EXPECT_EQ(file_range_ready(file.handle, file.kind, 0, 5), 1);
    EXPECT_GT(file_free_space_of_handle(file.handle, file.kind), 0);
    file_close(file.handle, file.kind);
    EXPECT_EQ(get("Data/Notes.TXT"), "HELLO");
    EXPECT_EQ(file_open_count(), 0);
}

TEST_F(FileTest, OpeningFailsWithoutCreatingOrTruncating)
{
    struct Case {
        const char* name;
        const char* path;
        uint32_t error;
    };
    static const Case kCases[] = {
        { "missing file", "T:\\absent.txt", 2 },
        { "missing folder", "T:\\nowhere\\absent.txt", 3 },
        { "unmapped drive", "Q:\\absent.txt", 1118 },
        { "path too long", nullptr, 206 },
    };
    std::string too_long = "T:\\" + std::string(200, 'd') + "\\" + std::string(100, 'n');
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        FileHandle file = file_open(spec(c.path ? c.path : too_long.c_str()), kFileModeRead);
        EXPECT_FALSE(file);
        EXPECT_EQ(file.handle, 0u);
        EXPECT_EQ(file_take_last_error(), c.error);
        EXPECT_EQ(file_take_last_error(), 0u);
    }
    EXPECT_FALSE(exists("absent.txt"));
    EXPECT_EQ(file_open_count(), 0);
}

TEST_F(FileTest, EachOpenHasItsOwnEntryAndClosingTwiceDoesNothing)
{
    put("shared.bin", "abc");
    FileSpec* made = spec("T:\\shared.bin");
    FileHandle first = file_open(made, kFileModeRead);
    FileHandle second = file_open(made, kFileModeReadOnly | kFileModeReadWrite);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first.handle, second.handle);
    EXPECT_EQ(file_open_count(), 2);
    file_close(first.handle, first.kind);
    EXPECT_EQ(file_open_count(), 1);
    EXPECT_EQ(read_all(second), "abc");
    file_close(first.handle, first.kind);
    EXPECT_EQ(file_open_count(), 1);
    file_close(second.handle, second.kind);
    EXPECT_EQ(file_open_count(), 0);
    EXPECT_EQ(file_free_space_of_handle(second.handle, second.kind), -1);
    EXPECT_EQ(file_take_last_error(), 160u);
}

TEST_F(FileTest, AFileOpenHereMayBeReadButNotWritten)
{
    put("locked.dat", "old data");
    FileSpec* made = spec("T:\\locked.dat");
    FileHandle reader = file_open(made, kFileModeRead);
    ASSERT_TRUE(reader);
    FileHandle second_reader = file_open(made, kFileModeRead);
    EXPECT_TRUE(second_reader);
    file_close(second_reader.handle, second_reader.kind);
    EXPECT_FALSE(file_open(made, kFileModeReadWrite));
    EXPECT_EQ(file_take_last_error(), 32u);
    // A sharing failure is no reason to make the file anew.
    EXPECT_FALSE(file_open_or_create(made, kFileModeReadWrite));
    EXPECT_EQ(file_take_last_error(), 32u);
    file_close(reader.handle, reader.kind);
    EXPECT_EQ(get("locked.dat"), "old data");
}

TEST_F(FileTest, OpenOrCreateMakesOnlyWhatIsMissing)
{
    FileSpec* made = spec("T:\\New Folder\\fresh.ini");
    FileHandle file = file_open_or_create(made, kFileModeReadWrite);
    ASSERT_TRUE(file);
    EXPECT_EQ(file_write(file.handle, file.kind, "[a]", 3, kFileBegin, 0), 3);
    file_close(file.handle, file.kind);
    file = file_open_or_create(made, kFileModeReadWrite);
    ASSERT_TRUE(file);
    EXPECT_EQ(read_all(file), "[a]");
    file_close(file.handle, file.kind);
    EXPECT_EQ(file_create_new(made), 80u);
    EXPECT_EQ(get("New Folder/fresh.ini"), "[a]");
}

TEST_F(FileTest, MemoryFilesWorkOnACopyAndHandItBackAtClose)
{
    FileSpec* made = memory_spec("0123456789");
    FileHandle file = file_open(made, kFileModeReadWrite);
    ASSERT_TRUE(file);
    EXPECT_EQ(file.kind, kFileKindMemory);
    EXPECT_EQ(read_all(file), "0123456789");
    EXPECT_EQ(file_write(file.handle, file.kind, "AB", 2, kFileEnd, -1), 2);
    EXPECT_EQ(file_length(file.handle, file.kind), 11);
    // The spec keeps its bytes until the file is closed.
    EXPECT_EQ(memory_text(made), "0123456789");
    file_close(file.handle, file.kind);
    EXPECT_EQ(memory_text(made), "012345678AB");
    EXPECT_EQ(file_open_count(), 0);

    // A file only read hands nothing back; a second open gets a new number.
    FileHandle again = file_open(made, kFileModeRead);
    EXPECT_NE(again.handle, file.handle);
    EXPECT_EQ(read_all(again), "012345678AB");
    file_close(again.handle, again.kind);
    EXPECT_EQ(memory_text(made), "012345678AB");
}

TEST_F(FileTest, MemoryFileSeeksStayWithinTheFile)
{
    FileHandle file = file_open(memory_spec("abcdef"), kFileModeRead);
    ASSERT_TRUE(file);
    struct Case {
        int64_t offset;
        int origin;
        int64_t result;
        uint32_t error;
        int64_t position_after;
    };
    static const Case kCases[] = {
        { 2, kFileBegin, 2, 0, 2 },
        { 2, kFileCurrent, 4, 0, 4 },
        { 0, kFileEnd, 6, 0, 6 }, // exactly the length
        { 1, kFileEnd, -1, 160, 6 }, // one past it
        { -7, kFileCurrent, -1, 160, 6 },
        { -6, kFileEnd, 0, 0, 0 },
        { 0, 3, -1, 160, 0 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.offset) + " from " + std::to_string(c.origin));
        plat::set_last_error(12345);
        EXPECT_EQ(file_seek(file.handle, file.kind, c.offset, c.origin), c.result);
        EXPECT_EQ(file_take_last_error(), c.error);
        EXPECT_EQ(file_seek(file.handle, file.kind, 0, kFileCurrent), c.position_after);
    }
    char buffer[4];
    EXPECT_EQ(file_read(file.handle, file.kind, buffer, 4, kFileEnd, 0), 0);
    file_close(file.handle, file.kind);
    EXPECT_EQ(file_seek(file.handle, file.kind, 0, kFileBegin), -1);
    EXPECT_EQ(file_take_last_error(), 2u);
}

TEST_F(FileTest, MemoryFileLengthsCutAndExtendWithZeros)
{
    FileSpec* made = memory_spec("abcdef");
    FileHandle file = file_open(made, kFileModeReadWrite);
    EXPECT_EQ(file_set_length(file.handle, file.kind, 2), 2);
    EXPECT_EQ(file_set_length(file.handle, file.kind, 4), 4);
    EXPECT_EQ(file_write(file.handle, file.kind, "Z", 1, kFileEnd, 0), 1);
    EXPECT_EQ(read_all(file), std::string("ab\0\0Z", 5));
    EXPECT_EQ(file_free_space_of_handle(file.handle, file.kind), INT32_MAX);
    file_close(file.handle, file.kind);
    EXPECT_EQ(memory_text(made), std::string("ab\0\0Z", 5));
}

TEST_F(FileTest, MemoryFilesWithoutDataOrSpecs)
{
    FileSpec* empty = hold(fspec_new_memory());
    EXPECT_FALSE(file_open(empty, kFileModeRead));
    EXPECT_EQ(file_take_last_error(), 2u);
    EXPECT_EQ(file_create(empty), 0u);
    FileHandle file = file_open(empty, kFileModeReadWrite);
    ASSERT_TRUE(file);
    EXPECT_EQ(file_length(file.handle, file.kind), 0);

    // A file whose spec is gone drops its bytes at close.
    FileSpec* gone = fspec_new_memory();
    MemHandle data = mem_alloc_copy("x", 1);
    ASSERT_EQ(fspec_set_memory(gone, data, 1, 0), 0);
    mem_free(data);
    FileHandle orphan = file_open(gone, kFileModeReadWrite);
    fspec_free(gone);
    EXPECT_EQ(file_write(orphan.handle, orphan.kind, "yz", 2, kFileEnd, 0), 2);
    file_close(orphan.handle, orphan.kind);
    file_close(file.handle, file.kind);
    EXPECT_EQ(file_length_of_spec(empty), 0);
    EXPECT_EQ(file_length_of_spec(memory_spec("four")), 4);
}

TEST_F(FileTest, LengthOfASpec)
{
    put("sized.bin", std::string(1000, 'x'));
    EXPECT_EQ(file_length_of_spec(spec("T:\\SIZED.BIN")), 1000);
    EXPECT_EQ(file_length_of_spec(spec("T:\\missing.bin")), -1);
    EXPECT_EQ(file_open_count(), 0);
}

TEST_F(FileTest, ErrorsAreTakenOnce)
{
    EXPECT_EQ(file_set_error(1118), 1118u);
    EXPECT_EQ(file_take_last_error(), 1118u);
    EXPECT_EQ(file_take_last_error(), 0u);
}

} // namespace
