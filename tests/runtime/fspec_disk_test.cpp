#include "fspec_fixture.h"
#include "runtime/files/fspec_disk.h"
#include "runtime/files/fspec_text.h"
#include "text_scope.h"

#include <cstring>
#include <string>

namespace {

// A disk spec holding the path as parsed, without the rewrites of setting a path.
class Parsed {
public:
    explicit Parsed(const char* path) { EXPECT_EQ(fspec_disk_parse(spec, path), 0); }
    std::string text() const { return fspec_text(spec); }
    DiskFileSpec spec;
};

static std::string part(
    const FileSpec& spec, int (FileSpec::*getter)(char*, int) const, int* result)
{
    char buffer[kPathBufferSize];
    std::memset(buffer, 'x', sizeof buffer);
    *result = (spec.*getter)(buffer, sizeof buffer);
    return buffer;
}

TEST(FspecDiskParse, SplitsPathsIntoTheirParts)
{
    struct Case {
        const char* path;
        int flags;
        int root_length;
        int folder_end;
        const char* folder; // "" with result 2 when there is none
        const char* name; // "" with result 2 when there is none
        const char* root;
    };
    static const Case kCases[] = {
        { "C:\\a\\b.txt", 15, 2, 5, "C:\\a\\", "b.txt", "C:\\" },
        { "b.txt", 12, 0, 0, "", "b.txt", "" },
        { "readme", 4, 0, 0, "", "readme", "" },
        { "C:name", 5, 2, 2, "", "name", "C:\\" },
        { "a/b\\c", 6, 0, 4, "a/b\\", "c", "" },
        { "C:\\a\\", 3, 2, 5, "C:\\a\\", "", "C:\\" },
        { "\\\\server\\share\\x\\y.v5r", 14, 0, 17, "\\\\server\\share\\x\\", "y.v5r",
            "\\\\server\\share\\" },
        { "..\\media\\a.wav", 14, 0, 9, "..\\media\\", "a.wav", "" },
        { "", 0, 0, 0, "", "", "" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.path);
        Parsed parsed(c.path);
        EXPECT_EQ(parsed.spec.flags, c.flags);
        EXPECT_EQ(parsed.spec.root_length, c.root_length);
        EXPECT_EQ(parsed.spec.folder_end, c.folder_end);
        EXPECT_EQ(parsed.text(), c.path);
        int result = 0;
        EXPECT_EQ(part(parsed.spec, &FileSpec::get_folder, &result), c.folder);
        EXPECT_EQ(result, *c.folder ? 0 : 2);
        EXPECT_EQ(part(parsed.spec, &FileSpec::get_name, &result), c.name);
        EXPECT_EQ(result, *c.name ? 0 : 2);
        EXPECT_EQ(part(parsed.spec, &FileSpec::get_root, &result), c.root);
    }
}

TEST(FspecDiskParse, ABackslashTrailByteIsNoSeparator)
{
    // In 949, B0 5C is one character whose second byte is the backslash's code.
    TextScope scope(949, "K");
    Parsed parsed("C:\\dir\\\xB0\x5C.txt");
    int result = 0;
    EXPECT_EQ(part(parsed.spec, &FileSpec::get_name, &result), "\xB0\x5C.txt");
    EXPECT_EQ(part(parsed.spec, &FileSpec::get_folder, &result), "C:\\dir\\");
}

TEST(FspecDiskSet, FoldersNamesAndExtensionsReplaceTheirSpan)
{
    enum Op { kFolder, kName, kExtension };
    struct Case {
        const char* name;
        const char* path;
        Op op;
        const char* value;
        int result;
        const char* expected;
        int flags;
    };
    static const Case kCases[] = {
        { "folder replaced", "C:\\a\\b.txt", kFolder, "D:\\x", 0, "D:\\x\\b.txt", 15 },
        { "folder given to a bare name", "b.txt", kFolder, "C:\\y\\", 0, "C:\\y\\b.txt", 15 },
        { "empty folder removes it", "C:\\a\\b.txt", kFolder, "", 0, "b.txt", 12 },
        { "folder replaces a drive prefix", "C:name", kFolder, "D:\\q", 0, "D:\\q\\name", 7 },
        { "name without extension", "C:\\a\\b.txt", kName, "c", 0, "C:\\a\\c", 7 },
        { "only the last part of a name", "C:\\a\\", kName, "x\\y.z", 0, "C:\\a\\y.z", 15 },
        { "empty name", "C:\\a\\b.txt", kName, "", 0, "C:\\a\\", 3 },
        { "extension removed", "C:\\a\\b.txt", kExtension, "", 0, "C:\\a\\b", 7 },
        { "extension added", "C:\\a\\b", kExtension, "doc", 0, "C:\\a\\b.doc", 15 },
        { "only the last dot counts", "C:\\a\\b.c.txt", kExtension, "v5r", 0, "C:\\a\\b.c.v5r",
            15 },
        { "extension alone becomes the name", "C:\\a\\", kExtension, "txt", 0, "C:\\a\\.txt", 15 },
        { "no name, no extension", "C:\\a\\", kExtension, "", 2, "C:\\a\\", 3 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Parsed parsed(c.path);
        int result = c.op == kFolder ? parsed.spec.set_folder(c.value)
            : c.op == kName          ? parsed.spec.set_name(c.value)
                                     : parsed.spec.set_extension(c.value);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(parsed.text(), c.expected);
        EXPECT_EQ(parsed.spec.flags, c.flags);
    }
}

TEST(FspecDiskSet, ALongBaseIsShortenedToMakeRoomForTheExtension)
{
    std::string name(258, 'n');
    Parsed parsed(("C:\\" + name).c_str());
    EXPECT_EQ(parsed.spec.set_extension("txt"), 0);
    EXPECT_EQ(parsed.text(), "C:\\" + std::string(255, 'n') + ".txt");
}

TEST(FspecDiskRelative, MakeRelativeAndAbsolute)
{
    struct Case {
        const char* name;
        const char* path;
        bool absolute; // make_absolute, else make_relative
        const char* base; // null: no base
        int result;
        const char* expected;
    };
    static const Case kCases[] = {
        { "under the base, case ignored", "C:\\x\\y\\f", false, "C:\\X\\", 0, ".\\y\\f" },
        { "the base's own folder", "C:\\x\\f", false, "C:\\x\\p.v5r", 0, ".\\f" },
        { "elsewhere", "C:\\x\\y\\f", false, "D:\\x\\", 0, "C:\\x\\y\\f" },
        { "a longer name is no prefix", "C:\\xy\\f", false, "C:\\x\\", 0, "C:\\xy\\f" },
        { "already relative", ".\\y\\f", false, nullptr, 0, ".\\y\\f" },
        { "no base", "C:\\x\\f", false, nullptr, 8006, "C:\\x\\f" },
        { "a base without folder", "C:\\x\\f", false, "p.v5r", 0, "C:\\x\\f" },
        { "dot folder", ".\\y\\f", true, "C:\\x\\z.v5r", 0, "C:\\x\\.\\y\\f" },
        { "parent folder", "..\\media\\a.wav", true, "C:\\COURSE\\a.v5r", 0,
            "C:\\COURSE\\..\\media\\a.wav" },
        { "root-relative takes the drive", "\\root\\f", true, "D:\\x\\p", 0, "D:\\root\\f" },
        { "root-relative, base without drive", "\\root\\f", true, "\\\\srv\\sh\\p", 0,
            "\\root\\f" },
        { "drive path", "C:\\a\\f", true, "D:\\x\\p", 0, "C:\\a\\f" },
        { "network path", "\\\\srv\\sh\\f", true, "D:\\x\\p", 0, "\\\\srv\\sh\\f" },
        { "no folder stays", "f.txt", true, "D:\\x\\p", 0, "f.txt" },
        { "relative without base", "sub\\f", true, nullptr, 8006, "sub\\f" },
        { "base without folder", "sub\\f", true, "p.v5r", 2, "sub\\f" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Parsed parsed(c.path);
        Parsed base(c.base ? c.base : "");
        const FileSpec* base_spec = c.base ? &base.spec : nullptr;
        int result = c.absolute ? parsed.spec.make_absolute(base_spec)
                                : parsed.spec.make_relative(base_spec);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(parsed.text(), c.expected);
    }
}

TEST(FspecDiskCompare, PartsCompareIgnoringCase)
{
    enum Op { kEquals, kFolder, kName, kExtension };
    struct Case {
        const char* name;
        Op op;
        const char* a;
        const char* b; // null: no second spec
        int expected;
    };
    static const Case kCases[] = {
        { "equal ignoring case", kEquals, "C:\\A\\f", "c:\\a\\F", 1 },
        { "other name", kEquals, "C:\\A\\f", "C:\\A\\g", 0 },
        { "folder and file of the same text", kEquals, "C:\\A\\f", "C:\\A\\f\\", 0 },
        { "empty equals nothing", kEquals, "", nullptr, 1 },
        { "a path is not nothing", kEquals, "C:\\A\\f", nullptr, 0 },
        { "same folder", kFolder, "C:\\a\\x", "c:\\A\\y.txt", 1 },
        { "other folder", kFolder, "C:\\a\\x", "C:\\b\\x", 0 },
        { "no folder is like nothing", kFolder, "x.txt", nullptr, 1 },
        { "a folder is not nothing", kFolder, "C:\\a\\x", nullptr, 0 },
        { "same name", kName, "C:\\a\\X.txt", "D:\\x.TXT", 1 },
        { "other name", kName, "C:\\a\\X.txt", "D:\\x.TXT2", 0 },
        { "no name is like nothing", kName, "C:\\a\\", nullptr, 1 },
        { "same extension", kExtension, "a.TXT", "C:\\b.txt", 1 },
        { "one without extension", kExtension, "a.TXT", "C:\\b", 0 },
        { "no extension is like nothing", kExtension, "a", nullptr, 1 },
        { "an extension is not nothing", kExtension, "a.txt", nullptr, 0 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Parsed a(c.a);
        Parsed b(c.b ? c.b : "");
        const FileSpec* other = c.b ? &b.spec : nullptr;
        int result = c.op == kEquals ? a.spec.equals(other)
            : c.op == kFolder        ? a.spec.same_folder(other)
            : c.op == kName          ? a.spec.same_name(other)
                                     : a.spec.same_extension(other);
        EXPECT_EQ(result, c.expected);
    }
}

TEST(FspecAbbreviate, KeepsTheNameAndAsMuchOfBothEndsAsFits)
{
    struct Case {
        const char* path;
        int width;
        const char* expected;
    };
    static const Case kCases[] = {
        { "C:\\Program Files\\Courses\\Pieces\\intro.v5r", 30, "C:\\...\\Pieces\\intro.v5r" },
        { "C:\\Program Files\\Courses\\Pieces\\intro.v5r", 100,
            "C:\\Program Files\\Courses\\Pieces\\intro.v5r" },
        { "C:\\Program Files\\Courses\\Pieces\\intro.v5r", 41,
            "C:\\Program Files\\...\\Pieces\\intro.v5r" },
        { "C:\\Program Files\\Courses\\Pieces\\intro.v5r", 5, "intr" },
        { "C:\\Program Files\\Courses\\Pieces\\intro.v5r", 16, "intro.v5r" },
        { "\\\\server\\share\\deep\\folder\\name.txt", 30, "\\\\server\\share\\...\\name.txt" },
        { "C:/a/b/c/d/e/name.txt", 18, "C:\\...\\e\\name.txt" },
        { "name.txt", 0, "" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.path) + " @" + std::to_string(c.width));
        char text[kPathBufferSize];
        std::strcpy(text, c.path);
        EXPECT_EQ(fspec_abbreviate_path(text, c.width), 0);
        EXPECT_EQ(std::string(text), c.expected);
        EXPECT_LT(int(std::strlen(text)), std::max(c.width, 1));
    }
}

TEST(FspecDiskDisplay, FormsOfTheText)
{
    struct Case {
        const char* name;
        const char* path;
        int size;
        int form;
        const char* expected;
    };
    static const Case kCases[] = {
        { "name", "C:\\a\\b.txt", 64, kDisplayName, "b.txt" },
        { "name cut", "C:\\a\\intro.v5r", 5, kDisplayName, "intr" },
        { "menu doubles ampersands", "C:\\R&D\\b.txt", 64, kDisplayMenu, "C:\\R&&D\\b.txt" },
        { "menu abbreviated", "C:\\Program Files\\Courses\\Pieces\\intro.v5r", 30, kDisplayMenu,
            "C:\\...\\Pieces\\intro.v5r" },
        { "path cut", "C:\\a\\b.txt", 5, kDisplayPath, "C:\\a" },
        { "empty spec, name", "", 64, kDisplayName, "Unknown" },
        { "empty spec, menu", "", 64, kDisplayMenu, "Unknown" },
        { "empty spec, path", "", 64, kDisplayPlain, "" },
        { "unknown form writes nothing", "C:\\a\\b.txt", 64, 5, "untouched" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Parsed parsed(c.path);
        char buffer[64] = "untouched";
        EXPECT_EQ(parsed.spec.display_text(buffer, c.size, c.form), 0);
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST(FspecDiskFree, ByteCountsBecomeClustersOfSectors)
{
    struct Case {
        uint64_t bytes;
        int32_t clusters;
        int32_t per_cluster;
        int32_t per_sector;
    };
    static const Case kCases[] = {
        { 0, 0, 1, 1024 },
        { 1000, 125, 1, 8 },
        { 3072, 3, 1, 1024 },
        { 2147483647, 2147483647, 1, 1 },
        { 2147483648, 2097152, 1, 1024 },
        { uint64_t(1) << 42, 4194304, 1024, 1024 },
        { uint64_t(1) << 62, 2147483647, 1024, 1024 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.bytes);
        int32_t clusters = -1, per_cluster = -1, per_sector = -1;
        fspec_disk_split_free(c.bytes, &clusters, &per_cluster, &per_sector);
        EXPECT_EQ(clusters, c.clusters);
        EXPECT_EQ(per_cluster, c.per_cluster);
        EXPECT_EQ(per_sector, c.per_sector);
    }
}

// --- on a real folder --------------------------------------------------------------------

TEST_F(FspecTest, LongNamesTakeTheFileSystemsSpellingOnlyWhenForced)
{
    put("Course Files/Media/Intro.V5R", "x");
    FileSpec* given = spec("t:\\course files\\MEDIA\\intro.v5r");
    // A difference in case alone is no reason to rewrite what the piece wrote.
    EXPECT_EQ(path_of(given), "t:\\course files\\MEDIA\\intro.v5r");
    EXPECT_EQ(fspec_expand_long_names(given), 0);
    EXPECT_EQ(path_of(given), "t:\\Course Files\\Media\\Intro.V5R");

    static const char* const kUnchanged[] = {
        "t:\\course files\\missing\\intro.v5r", // a component that is not there
        "t:\\course files\\*\\intro.v5r", // a pattern is no name
        "course files\\media\\intro.v5r", // no root to start from
    };
    for (const char* path : kUnchanged) {
        SCOPED_TRACE(path);
        FileSpec* kept = spec(path);
        EXPECT_EQ(fspec_expand_long_names(kept), 0);
        EXPECT_EQ(path_of(kept), path);
    }
}

TEST_F(FspecTest, ShortPathsAreTheLongOnes)
{
    put("Long Folder Name/Some File.text", "x");
    FileSpec* given = spec("T:\\long folder name\\some file.text");
    char buffer[kPathBufferSize];
    EXPECT_EQ(fspec_get_short_path(given, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "T:\\long folder name\\some file.text");
}

TEST_F(FspecTest, ShortcutsDoNotExist)
{
    EXPECT_EQ(spec("T:\\a\\b.lnk")->resolve_shortcut(), 8);
    EXPECT_EQ(spec("T:\\a\\b.LNK")->resolve_shortcut(), 0);
    EXPECT_EQ(spec("T:\\a\\b.txt")->resolve_shortcut(), 0);
}

TEST_F(FspecTest, TemporaryNamesAreNewEmptyFiles)
{
    FileSpec* first = spec("");
    FileSpec* second = spec("");
    EXPECT_EQ(first->make_temp_name(), 0);
    EXPECT_EQ(second->make_temp_name(), 0);
    EXPECT_EQ(file_classify(first), kFileOther);
    EXPECT_EQ(fspec_same_name(first, second), 0);
    char name[kPathBufferSize];
    fspec_get_name(first, name, sizeof name);
    EXPECT_EQ(std::string(name).substr(0, 3), "unt");
    EXPECT_EQ(file_delete(first), 0u);
    EXPECT_EQ(file_delete(second), 0u);
}

} // namespace
