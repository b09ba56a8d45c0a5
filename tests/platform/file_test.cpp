#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/path.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <vector>

using namespace plat;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr uint32_t kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr uint32_t kUntouched = 0xDEAD; // a last error no call here sets

// A fresh temp folder mapped as drive T: and made the current drive.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "plat_file_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        path_reset();
        set_drive_root('T', root_);
        ASSERT_TRUE(set_current_directory("T:\\"));
    }
    void TearDown() override
    {
        file_reset();
        path_reset();
        fs::remove_all(root_);
    }
    std::string host(const std::string& relative) const { return root_ + "/" + relative; }
    void put(const std::string& relative, const std::string& content) const
    {
        std::ofstream(host(relative), std::ios::binary) << content;
    }
    std::string get(const std::string& relative) const
    {
        std::ifstream in(host(relative), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    bool exists(const std::string& relative) const { return fs::exists(host(relative)); }
    std::vector<std::string> names_in(const std::string& relative) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(host(relative)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string root_;
};

TEST_F(FileTest, EachDispositionOnExistingAndMissingFiles)
{
    struct Case {
        const char* name;
        uint32_t disposition;
        bool exists_before;
        bool opens;
        uint32_t error;
        const char* content_after; // null: no file afterwards
    };
    static const Case kCases[] = {
        { "create new, exists", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old" },
        { "create new, missing", CREATE_NEW, false, true, ERROR_SUCCESS, "" },
        { "create always, exists", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "" },
        { "create always, missing", CREATE_ALWAYS, false, true, ERROR_SUCCESS, "" },
        { "open existing, exists", OPEN_EXISTING, true, true, ERROR_SUCCESS, "old" },
        { "open existing, missing", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr },
        { "open always, exists", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old" },
        { "open always, missing", OPEN_ALWAYS, false, true, ERROR_SUCCESS, "" },
        { "truncate existing, exists", TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, "" },
        { "truncate existing, missing", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND,
            nullptr },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        fs::remove(host("Data.bin"));
        fs::remove(host("DATA.BIN"));
        if (c.exists_before)
            put("Data.bin", "old");
        set_last_error(kUntouched);
        FileHandle file
            = create_file("T:\\DATA.BIN", kReadWrite, 0, c.disposition, FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(bool(file), c.opens);
        EXPECT_EQ(get_last_error(), c.error);
        close_handle(file);
        // A new file takes the given spelling; an existing one keeps its own.
        std::string name = c.exists_before ? "Data.bin" : "DATA.BIN";
        ASSERT_EQ(exists(name), c.content_after != nullptr);
        if (c.content_after) {
            EXPECT_EQ(get(name), c.content_after);
        }
    }
}

TEST_F(FileTest, RefusedOpensNeverCreateNorTruncate)
{
    put("Locked.txt", "keep");
    put("ReadOnly.txt", "keep");
    fs::permissions(host("ReadOnly.txt"), fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory(host("Folder"));
    FileHandle holder = create_file("T:\\locked.txt", GENERIC_READ, 0, OPEN_EXISTING, 0);
    ASSERT_TRUE(holder);
    struct Case {
        const char* name;
        const char* path;
        uint32_t access;
        uint32_t disposition;
        uint32_t error;
    };
    static const Case kCases[] = {
        { "open always, file in use", "T:\\locked.txt", kReadWrite, OPEN_ALWAYS,
            ERROR_SHARING_VIOLATION },
        { "create always, file in use", "T:\\locked.txt", kReadWrite, CREATE_ALWAYS,
            ERROR_SHARING_VIOLATION },
        { "open always, read-only", "T:\\readonly.txt", kReadWrite, OPEN_ALWAYS,
            ERROR_ACCESS_DENIED },
        { "create always, read-only", "T:\\readonly.txt", GENERIC_READ, CREATE_ALWAYS,
            ERROR_ACCESS_DENIED },
        { "a folder", "T:\\folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED },
        { "create in a missing folder", "T:\\nofolder\\new.txt", kReadWrite, CREATE_ALWAYS,
            ERROR_PATH_NOT_FOUND },
        { "open in a missing folder", "T:\\nofolder\\new.txt", kReadWrite, OPEN_EXISTING,
            ERROR_PATH_NOT_FOUND },
        { "disposition 0", "T:\\new.txt", kReadWrite, 0, ERROR_INVALID_PARAMETER },
        { "disposition 6", "T:\\new.txt", kReadWrite, 6, ERROR_INVALID_PARAMETER },
        { "truncate without write", "T:\\locked.txt", GENERIC_READ, TRUNCATE_EXISTING,
            ERROR_INVALID_PARAMETER },
        { "UNC path", "\\\\server\\share\\x", kReadWrite, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        FileHandle file = create_file(c.path, c.access, kShareAll, c.disposition, 0);
        EXPECT_FALSE(file);
        EXPECT_EQ(get_last_error(), c.error);
    }
    EXPECT_EQ(get("Locked.txt"), "keep");
    EXPECT_EQ(get("ReadOnly.txt"), "keep");
    EXPECT_EQ(names_in(""), (std::vector<std::string> { "Folder", "Locked.txt", "ReadOnly.txt" }));
}

TEST_F(FileTest, ShareModesHoldBetweenHandles)
{
    struct Case {
        const char* name;
        uint32_t first_access, first_share, second_access, second_share;
        bool second_opens;
    };
    static const Case kCases[] = {
        { "two readers sharing read", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ,
            true },
        { "writer after reader that denies write", GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE,
            kShareAll, false },
        { "writer that denies the reader", GENERIC_READ, kShareAll, GENERIC_WRITE, FILE_SHARE_WRITE,
            false },
        { "reader and writer sharing both", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
            GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true },
        { "exclusive writer", kReadWrite, 0, GENERIC_READ, kShareAll, false },
        { "reader that denies the writer", GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ,
            FILE_SHARE_READ, false },
        { "attributes-only handle takes no part", 0, 0, kReadWrite, 0, true },
        { "delete needs delete sharing", GENERIC_READ, FILE_SHARE_READ, DELETE, kShareAll, false },
    };
    put("Shared.txt", "data");
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        FileHandle first
            = create_file("T:\\shared.txt", c.first_access, c.first_share, OPEN_EXISTING, 0);
        ASSERT_TRUE(first);
        FileHandle second
            = create_file("T:\\SHARED.TXT", c.second_access, c.second_share, OPEN_EXISTING, 0);
        EXPECT_EQ(bool(second), c.second_opens);
        if (!c.second_opens) {
            EXPECT_EQ(get_last_error(), ERROR_SHARING_VIOLATION);
        }
        close_handle(second);
        close_handle(first);
        // Once the first handle is gone nothing stands in the way.
        FileHandle again
            = create_file("T:\\shared.txt", c.second_access, c.second_share, OPEN_EXISTING, 0);
        EXPECT_TRUE(again);
        close_handle(again);
    }
}

TEST_F(FileTest, OpenFilesRefuseDeleteAndMoveWithoutDeleteSharing)
{
    put("Busy.txt", "data");
    FileHandle file = create_file("T:\\busy.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    EXPECT_FALSE(delete_file("T:\\busy.txt"));
    EXPECT_EQ(get_last_error(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(move_file("T:\\busy.txt", "T:\\moved.txt", 0));
    EXPECT_EQ(get_last_error(), ERROR_SHARING_VIOLATION);
    close_handle(file);

    file = create_file("T:\\busy.txt", GENERIC_READ, kShareAll, OPEN_EXISTING, 0);
    EXPECT_TRUE(move_file("T:\\busy.txt", "T:\\moved.txt", 0));
    EXPECT_TRUE(delete_file("T:\\moved.txt"));
    EXPECT_FALSE(exists("moved.txt"));
    EXPECT_TRUE(close_handle(file));
}

TEST_F(FileTest, DeleteOnCloseWaitsForTheLastHandle)
{
    FileHandle first = create_file("T:\\scratch.tmp", kReadWrite,
        FILE_SHARE_DELETE | FILE_SHARE_READ, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_TRUE(first);
    EXPECT_TRUE(write_file(first, "abc", 3, nullptr));

    // Others must share delete to get in at all.
    EXPECT_FALSE(create_file(
        "T:\\scratch.tmp", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0));
    EXPECT_EQ(get_last_error(), ERROR_SHARING_VIOLATION);
    FileHandle second = create_file("T:\\scratch.tmp", GENERIC_READ, kShareAll, OPEN_EXISTING, 0);
    ASSERT_TRUE(second);

    EXPECT_TRUE(close_handle(first));
    EXPECT_TRUE(exists("scratch.tmp"));
    // Now the deletion is pending: the name takes no new opens.
    EXPECT_FALSE(create_file("T:\\scratch.tmp", GENERIC_READ, kShareAll, OPEN_EXISTING, 0));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(close_handle(second));
    EXPECT_FALSE(exists("scratch.tmp"));
}

TEST_F(FileTest, SeekSizeAndEndOfFile)
{
    FileHandle file = create_file("T:\\seek.bin", kReadWrite, 0, CREATE_NEW, 0);
    ASSERT_TRUE(file);
    uint32_t count = 0;
    ASSERT_TRUE(write_file(file, "0123456789", 10, &count));
    EXPECT_EQ(count, 10u);

    char buffer[8] = {};
    EXPECT_EQ(set_file_pointer(file, 4, FILE_BEGIN), 4);
    ASSERT_TRUE(read_file(file, buffer, 3, &count));
    EXPECT_EQ(std::string(buffer, count), "456");
    EXPECT_EQ(set_file_pointer(file, -2, FILE_CURRENT), 5);
    EXPECT_EQ(set_file_pointer(file, -1, FILE_END), 9);

    EXPECT_EQ(set_file_pointer(file, -20, FILE_CURRENT), -1);
    EXPECT_EQ(get_last_error(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(set_file_pointer(file, 0, FILE_CURRENT), 9); // a refused seek leaves the pointer
    EXPECT_EQ(set_file_pointer(file, 0, 3), -1);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_PARAMETER);

    // Reading at the end succeeds with nothing.
    EXPECT_EQ(set_file_pointer(file, 0, FILE_END), 10);
    ASSERT_TRUE(read_file(file, buffer, sizeof buffer, &count));
    EXPECT_EQ(count, 0u);

    // Positions and sizes past 4 GB.
    const int64_t far = 5'000'000'000;
    EXPECT_EQ(set_file_pointer(file, far, FILE_BEGIN), far);
    EXPECT_EQ(get_file_size(file), 10);
    ASSERT_TRUE(set_end_of_file(file));
    EXPECT_EQ(get_file_size(file), far);
    EXPECT_EQ(set_file_pointer(file, 3, FILE_BEGIN), 3);
    ASSERT_TRUE(set_end_of_file(file));
    EXPECT_EQ(get_file_size(file), 3);
    EXPECT_EQ(set_file_pointer(file, 0, FILE_CURRENT), 3); // the size query does not move it
    close_handle(file);
    EXPECT_EQ(get("seek.bin"), "012");
}

TEST_F(FileTest, HandlesOnlyDoWhatTheyWereOpenedFor)
{
    put("File.txt", "text");
    FileHandle reader = create_file("T:\\file.txt", GENERIC_READ, kShareAll, OPEN_EXISTING, 0);
    FileHandle writer = create_file("T:\\file.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING, 0);
    ASSERT_TRUE(reader && writer);
    char buffer[4];
    uint64_t time = 125911584000000000; // 1 January 2000
    EXPECT_FALSE(write_file(reader, "x", 1, nullptr));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(set_end_of_file(reader));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(set_file_time(reader, nullptr, nullptr, &time));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(read_file(writer, buffer, 4, nullptr));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);

    EXPECT_TRUE(close_handle(reader));
    EXPECT_FALSE(close_handle(reader));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(read_file(reader, buffer, 4, nullptr));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(get_file_size(FileHandle(12345)), -1);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(get("File.txt"), "text");
}

TEST_F(FileTest, FileTimesRoundTrip)
{
    FileHandle file = create_file("T:\\timed.txt", kReadWrite, 0, CREATE_NEW, 0);
    ASSERT_TRUE(file);
    const uint64_t write_time = 125911584000000000 + 1234567; // 2000-01-01 00:00:00.1234567
    const uint64_t access_time = 125911584000000000 - 10000000; // one second earlier
    ASSERT_TRUE(set_file_time(file, nullptr, &access_time, &write_time));
    uint64_t creation = 0, access = 0, written = 0;
    ASSERT_TRUE(get_file_time(file, &creation, &access, &written));
    EXPECT_EQ(written, write_time);
    EXPECT_EQ(access, access_time);
    EXPECT_NE(creation, 0u);
    close_handle(file);
    struct stat st;
    ASSERT_EQ(stat(host("timed.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456700);
}

TEST_F(FileTest, WriteFaultHookFailsWritesAndFlushesLikeAFullDisk)
{
    FileHandle file = create_file("T:\\out.bin", kReadWrite, 0, CREATE_NEW, 0);
    ASSERT_TRUE(file);
    file_fail_writes_after(10);
    uint32_t count = 0;
    EXPECT_TRUE(write_file(file, "abcdef", 6, &count));
    EXPECT_TRUE(flush_file_buffers(file));
    EXPECT_FALSE(write_file(file, "ghijkl", 6, &count));
    EXPECT_EQ(get_last_error(), ERROR_DISK_FULL);
    EXPECT_EQ(count, 4u); // the crossing write stops at the limit
    EXPECT_FALSE(write_file(file, "m", 1, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(flush_file_buffers(file));
    EXPECT_EQ(get_last_error(), ERROR_DISK_FULL);
    EXPECT_EQ(get_file_size(file), 10);

    file_fail_writes_after(0);
    EXPECT_TRUE(write_file(file, "!", 1, &count));
    EXPECT_TRUE(flush_file_buffers(file));
    close_handle(file);
    EXPECT_EQ(get("out.bin"), "abcdefghij!");
}

TEST_F(FileTest, FailedCopyLeavesTheOldTargetWhole)
{
    put("Source.dat", std::string(100000, 's'));
    put("Target.dat", "old target");
    file_fail_writes_after(5000);
    EXPECT_FALSE(copy_file("T:\\source.dat", "T:\\target.dat", 0));
    EXPECT_EQ(get_last_error(), ERROR_DISK_FULL);
    EXPECT_EQ(get("Target.dat"), "old target");
    EXPECT_EQ(
        names_in(""), (std::vector<std::string> { "Source.dat", "Target.dat" })); // no leftovers

    file_fail_writes_after(0);
    EXPECT_TRUE(copy_file("T:\\source.dat", "T:\\target.dat", 0));
    EXPECT_EQ(get("Target.dat"), get("Source.dat"));
}

TEST_F(FileTest, CopyFile)
{
    put("A.txt", "alpha");
    put("B.txt", "beta");
    fs::create_directory(host("Dir"));
    fs::last_write_time(host("A.txt"), fs::file_time_type::clock::now() - std::chrono::hours(48));
    struct Case {
        const char* name;
        const char* from;
        const char* to;
        uint32_t flags;
        uint32_t error; // ERROR_SUCCESS: the copy is made
    };
    static const Case kCases[] = {
        { "to a new name", "T:\\a.txt", "T:\\dir\\Copy.txt", COPY_FILE_FAIL_IF_EXISTS,
            ERROR_SUCCESS },
        { "over an existing file, refused", "T:\\a.txt", "T:\\b.txt", COPY_FILE_FAIL_IF_EXISTS,
            ERROR_FILE_EXISTS },
        { "onto itself", "T:\\a.txt", "T:\\A.TXT", 0, ERROR_SHARING_VIOLATION },
        { "missing source", "T:\\none.txt", "T:\\c.txt", 0, ERROR_FILE_NOT_FOUND },
        { "folder as source", "T:\\dir", "T:\\c.txt", 0, ERROR_ACCESS_DENIED },
        { "into a missing folder", "T:\\a.txt", "T:\\nodir\\c.txt", 0, ERROR_PATH_NOT_FOUND },
        { "over an existing file", "T:\\a.txt", "T:\\b.txt", 0, ERROR_SUCCESS },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(copy_file(c.from, c.to, c.flags), c.error == ERROR_SUCCESS);
        if (c.error != ERROR_SUCCESS) {
            EXPECT_EQ(get_last_error(), c.error);
        }
    }
    EXPECT_EQ(get("Dir/Copy.txt"), "alpha");
    EXPECT_EQ(get("B.txt"), "alpha");
    EXPECT_EQ(fs::last_write_time(host("B.txt")), fs::last_write_time(host("A.txt")));
    EXPECT_EQ(names_in(""), (std::vector<std::string> { "A.txt", "B.txt", "Dir" }));
}

TEST_F(FileTest, MoveFile)
{
    put("Old.txt", "moving");
    put("Other.txt", "other");
    fs::create_directory(host("Dir"));
    EXPECT_FALSE(move_file("T:\\old.txt", "T:\\other.txt", 0));
    EXPECT_EQ(get_last_error(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(get("Other.txt"), "other");
    EXPECT_FALSE(move_file("T:\\none.txt", "T:\\x.txt", 0));
    EXPECT_EQ(get_last_error(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(move_file("T:\\old.txt", "T:\\nodir\\x.txt", 0));
    EXPECT_EQ(get_last_error(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(move_file("T:\\old.txt", "T:\\dir", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);

    EXPECT_TRUE(move_file("T:\\old.txt", "T:\\OLD.TXT", 0)); // a change of case only
    EXPECT_EQ(names_in(""), (std::vector<std::string> { "Dir", "OLD.TXT", "Other.txt" }));
    EXPECT_TRUE(move_file("T:\\old.txt", "T:\\other.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(get("Other.txt"), "moving");
    EXPECT_TRUE(move_file("T:\\dir", "T:\\Folder", 0));
    EXPECT_EQ(names_in(""), (std::vector<std::string> { "Folder", "Other.txt" }));
}

TEST_F(FileTest, AttributesAndDeletion)
{
    put("Plain.txt", "x");
    put("Locked.txt", "x");
    put(".hidden", "x");
    fs::create_directory(host("Dir"));
    ASSERT_TRUE(set_file_attributes("T:\\locked.txt", FILE_ATTRIBUTE_READONLY));
    struct Case {
        const char* path;
        uint32_t attributes;
        uint32_t error;
    };
    static const Case kCases[] = {
        { "T:\\plain.txt", FILE_ATTRIBUTE_ARCHIVE, 0 },
        { "T:\\locked.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 0 },
        { "T:\\.HIDDEN", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN, 0 },
        { "T:\\dir", FILE_ATTRIBUTE_DIRECTORY, 0 },
        { "T:\\", FILE_ATTRIBUTE_DIRECTORY, 0 },
        { "T:\\none.txt", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND },
        { "T:\\nodir\\none.txt", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND },
        { "T:\\plain.txt\\x", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(get_file_attributes(c.path), c.attributes);
        if (c.error != 0) {
            EXPECT_EQ(get_last_error(), c.error);
        }
    }
    EXPECT_FALSE(create_file("T:\\locked.txt", GENERIC_WRITE, 0, OPEN_EXISTING, 0));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(delete_file("T:\\locked.txt"));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(delete_file("T:\\dir"));
    EXPECT_EQ(get_last_error(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(delete_file("T:\\none.txt"));
    EXPECT_EQ(get_last_error(), ERROR_FILE_NOT_FOUND);

    ASSERT_TRUE(set_file_attributes("T:\\locked.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(get_file_attributes("T:\\locked.txt"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_TRUE(delete_file("T:\\LOCKED.TXT"));
    EXPECT_FALSE(exists("Locked.txt"));
}

TEST_F(FileTest, CreateAndRemoveDirectories)
{
    put("File.txt", "x");
    EXPECT_TRUE(create_directory("T:\\NewDir"));
    EXPECT_TRUE(fs::is_directory(host("NewDir")));
    put("NewDir/inside.txt", "x");
    struct Case {
        const char* name;
        bool create; // else remove
        const char* path;
        uint32_t error;
    };
    static const Case kCases[] = {
        { "create twice", true, "T:\\newdir", ERROR_ALREADY_EXISTS },
        { "create over a file", true, "T:\\file.txt", ERROR_ALREADY_EXISTS },
        { "create in a missing folder", true, "T:\\no\\dir", ERROR_PATH_NOT_FOUND },
        { "remove a full folder", false, "T:\\newdir", ERROR_DIR_NOT_EMPTY },
        { "remove a file", false, "T:\\file.txt", ERROR_DIRECTORY },
        { "remove a missing folder", false, "T:\\none", ERROR_FILE_NOT_FOUND },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.create ? create_directory(c.path) : remove_directory(c.path));
        EXPECT_EQ(get_last_error(), c.error);
    }
    fs::remove(host("NewDir/inside.txt"));
    ASSERT_TRUE(set_current_directory("T:\\newdir"));
    EXPECT_FALSE(remove_directory("T:\\NEWDIR"));
    EXPECT_EQ(get_last_error(), ERROR_SHARING_VIOLATION);
    ASSERT_TRUE(set_current_directory("T:\\"));
    EXPECT_TRUE(remove_directory("T:\\NEWDIR"));
    EXPECT_FALSE(exists("NewDir"));
}

// Every name of a search, in the order it delivers them.
static std::vector<std::string> find_all(const std::string& pattern, uint32_t& error)
{
    std::vector<std::string> names;
    FindData data;
    FindHandle search = find_first_file(pattern, data);
    error = search ? 0 : get_last_error();
    if (!search)
        return names;
    do
        names.push_back(data.name);
    while (find_next_file(search, data));
    EXPECT_EQ(get_last_error(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(find_close(search));
    return names;
}

TEST_F(FileTest, FindWithWildcards)
{
    fs::create_directories(host("Dir/Sub"));
    for (const char* name :
        { "ReadMe.TXT", "readme.bak", "Notes", "a.b.c", "Data.V5R", ".hidden", "x.txtx" })
        put(std::string("Dir/") + name, "x");
    using Names = std::vector<std::string>;
    struct Case {
        const char* pattern;
        Names names;
        uint32_t error;
    };
    const Names all = { ".", "..", ".hidden", "a.b.c", "Data.V5R", "Notes", "readme.bak",
        "ReadMe.TXT", "Sub", "x.txtx" };
    const Case kCases[] = {
        { "T:\\dir\\*", all, 0 }, { "T:\\dir\\*.*", all, 0 },
        { "T:\\dir\\*.", { ".", "..", "Notes", "Sub" }, 0 },
        { "T:/DIR/*.txt", { "ReadMe.TXT" }, 0 },
        { "T:\\dir\\readme.*", { "readme.bak", "ReadMe.TXT" }, 0 },
        { "T:\\dir\\?????", { "Notes", "Sub" }, 0 }, { "T:\\dir\\*.v5r", { "Data.V5R" }, 0 },
        { "T:\\dir\\a.?.c", { "a.b.c" }, 0 }, { "T:\\dir\\.*", { ".", "..", ".hidden" }, 0 },
        { "T:\\dir\\sub", { "Sub" }, 0 }, { "T:\\dir\\nomatch*", {}, ERROR_FILE_NOT_FOUND },
        { "T:\\dir\\", {}, ERROR_FILE_NOT_FOUND }, { "T:\\nodir\\*", {}, ERROR_PATH_NOT_FOUND },
        { "T:\\dir\\notes\\*", {}, ERROR_PATH_NOT_FOUND },
        { "T:\\*", { "Dir" }, 0 }, // a drive root has no "." nor ".."
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.pattern);
        uint32_t error = 0;
        EXPECT_EQ(find_all(c.pattern, error), c.names);
        EXPECT_EQ(error, c.error);
    }
    // Relative patterns start at the current folder of their drive.
    ASSERT_TRUE(set_current_directory("T:\\dir\\sub"));
    uint32_t error = 0;
    EXPECT_EQ(find_all("..\\*.v5r", error), Names { "Data.V5R" });
    ASSERT_TRUE(set_current_directory("T:\\dir"));
    EXPECT_EQ(find_all("*.c", error), Names { "a.b.c" });
    EXPECT_EQ(find_all("T:data.*", error), Names { "Data.V5R" });
}

TEST_F(FileTest, FindDataDescribesTheEntry)
{
    put("Big.dat", std::string(70000, 'b'));
    fs::create_directory(host("Folder"));
    FileHandle file = create_file("T:\\big.dat", GENERIC_WRITE, 0, OPEN_EXISTING, 0);
    const uint64_t write_time = 125911584000000000;
    ASSERT_TRUE(set_file_time(file, nullptr, nullptr, &write_time));
    close_handle(file);

    FindData data;
    FindHandle search = find_first_file("T:\\BIG.DAT", data);
    ASSERT_TRUE(search);
    EXPECT_EQ(data.name, "Big.dat");
    EXPECT_EQ(data.alternate_name, "Big.dat");
    EXPECT_EQ(data.size, 70000u);
    EXPECT_EQ(data.attributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(data.last_write_time, write_time);
    EXPECT_FALSE(find_next_file(search, data));
    EXPECT_EQ(get_last_error(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(find_close(search));
    EXPECT_FALSE(find_close(search));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);

    search = find_first_file("T:\\folder", data);
    ASSERT_TRUE(search);
    EXPECT_EQ(data.attributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.size, 0u);
    find_close(search);
}

TEST_F(FileTest, TempFileNames)
{
    std::string name;
    EXPECT_EQ(get_temp_file_name("T:\\", "untitled", 0x51234, name), 0x51234u);
    EXPECT_EQ(name, "T:\\unt1234.tmp");
    EXPECT_FALSE(exists("unt1234.tmp")); // a given number only forms the name
    EXPECT_EQ(get_temp_file_name("T:\\dir", "ab", 0xBEEF, name), 0xBEEFu);
    EXPECT_EQ(name, "T:\\dir\\abBEEF.tmp");

    // With 0 each call creates a new empty file and never hands out an existing one.
    std::vector<std::string> made;
    for (int i = 0; i < 3; i++) {
        uint32_t number = get_temp_file_name("T:\\", "unt", 0, name);
        ASSERT_NE(number, 0u);
        ASSERT_EQ(get_file_attributes(name), FILE_ATTRIBUTE_ARCHIVE);
        EXPECT_EQ(std::find(made.begin(), made.end(), name), made.end());
        made.push_back(name);
        char next[16];
        std::snprintf(next, sizeof next, "unt%X.tmp", (number + 1) & 0xFFFF);
        put(next, "taken");
    }
    for (const std::string& made_name : made)
        EXPECT_EQ(fs::file_size(path_to_host(made_name)), 0u);

    EXPECT_EQ(get_temp_file_name("T:\\nodir", "unt", 0, name), 0u);
    EXPECT_EQ(get_last_error(), ERROR_PATH_NOT_FOUND);

    std::string temp = get_temp_path();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(fs::is_directory(path_to_host(temp)));
}

TEST_F(FileTest, VolumesAndDriveTypes)
{
    uint64_t to_caller = 0, total = 0, free = 0;
    ASSERT_TRUE(get_disk_free_space_ex("T:\\", &to_caller, &total, &free));
    EXPECT_GT(total, 0u);
    EXPECT_LE(free, total);
    EXPECT_LE(to_caller, free);
    EXPECT_TRUE(get_disk_free_space_ex("", nullptr, &total, nullptr));
    EXPECT_FALSE(get_disk_free_space_ex("T:\\nodir\\", &to_caller, &total, &free));
    EXPECT_EQ(get_last_error(), ERROR_PATH_NOT_FOUND);

    fs::create_directory(host("Dir"));
    set_drive_root('M', host("missing"));
    struct Case {
        const char* root;
        uint32_t type;
    };
    static const Case kCases[] = {
        { "T:\\", DRIVE_FIXED },
        { "t:", DRIVE_FIXED },
        { "", DRIVE_FIXED },
        { "Q:\\", DRIVE_NO_ROOT_DIR },
        { "M:\\", DRIVE_NO_ROOT_DIR },
        { "T:\\dir\\", DRIVE_NO_ROOT_DIR },
        { "\\\\srv\\share\\", DRIVE_NO_ROOT_DIR },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.root);
        EXPECT_EQ(get_drive_type(c.root), c.type);
    }
}

} // namespace
