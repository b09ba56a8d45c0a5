#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/kernel/path.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

using namespace plat;
namespace fs = std::filesystem;

namespace {

// A fresh temp tree with mixed-case names, mapped as drive T: and made the current drive.
class PathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "plat_path_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        path_reset();
        set_drive_root('T', root_);
        ASSERT_TRUE(set_current_directory("T:\\"));
        fs::create_directories(root_ + "/Docs/Sub");
        fs::create_directories(root_ + "/Media");
        touch("Docs/ReadMe.TXT");
        touch("Docs/Sub/Deep.dat");
        touch("Media/Sound.WAV");
    }
    void TearDown() override
    {
        path_reset();
        set_active_code_page(CP_WESTERN);
        fs::remove_all(root_);
    }
    void touch(const std::string& relative) { std::ofstream(root_ + "/" + relative) << "x"; }
    std::string host(const std::string& relative) const { return root_ + "/" + relative; }

    std::string root_;
};

TEST_F(PathTest, WindowsPathsFindMixedCaseNames)
{
    struct Case {
        const char* name;
        const char* path;
        const char* host; // below the temp root
    };
    static const Case kCases[] = {
        { "every component in other case", "T:\\docs\\readme.txt", "Docs/ReadMe.TXT" },
        { "forward slashes", "T:/DOCS/README.TXT", "Docs/ReadMe.TXT" },
        { "mixed separators, lower drive", "t:\\Docs/sub\\DEEP.DAT", "Docs/Sub/Deep.dat" },
        { "doubled separator", "T:\\docs\\\\readme.txt", "Docs/ReadMe.TXT" },
        { "dot and dot-dot", "T:\\docs\\.\\sub\\..\\README.TXT", "Docs/ReadMe.TXT" },
        { "dot-dot stops at the root", "T:\\..\\..\\docs", "Docs" },
        { "final dot dropped", "T:\\docs\\readme.txt.", "Docs/ReadMe.TXT" },
        { "missing name keeps its spelling", "T:\\docs\\NewFile.txt", "Docs/NewFile.txt" },
        { "below a missing folder", "T:\\NoDir\\sub\\Deep.DAT", "NoDir/sub/Deep.DAT" },
        { "rooted on the current drive", "\\media\\sound.wav", "Media/Sound.WAV" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(path_to_host(c.path), host(c.host));
    }
}

TEST_F(PathTest, NamesDifferingOnlyInCasePickExactThenFirstInByteOrder)
{
    touch("Dup.txt");
    touch("DUP.txt");
    EXPECT_EQ(path_to_host("T:\\Dup.txt"), host("Dup.txt"));
    EXPECT_EQ(path_to_host("T:\\DUP.txt"), host("DUP.txt"));
    EXPECT_EQ(path_to_host("T:\\dup.TXT"), host("DUP.txt"));
}

TEST_F(PathTest, RelativePathsUseTheCurrentFolderOfTheirDrive)
{
    set_drive_root('U', root_ + "/Media");
    ASSERT_TRUE(set_current_directory("T:\\docs\\sub"));
    EXPECT_EQ(get_current_directory(), "T:\\docs\\sub");
    EXPECT_EQ(path_to_host("deep.dat"), host("Docs/Sub/Deep.dat"));
    EXPECT_EQ(path_to_host("..\\readme.txt"), host("Docs/ReadMe.TXT"));
    EXPECT_EQ(path_to_host("U:sound.wav"), host("Media/Sound.WAV"));

    // Changing drive keeps T:'s own current folder for "T:name".
    ASSERT_TRUE(set_current_directory("U:\\"));
    EXPECT_EQ(get_current_directory(), "U:\\");
    EXPECT_EQ(path_to_host("sound.wav"), host("Media/Sound.WAV"));
    EXPECT_EQ(path_to_host("T:deep.dat"), host("Docs/Sub/Deep.dat"));
    EXPECT_EQ(get_full_path_name("T:"), "T:\\docs\\sub");
    EXPECT_EQ(get_full_path_name("T:..\\x"), "T:\\docs\\x");
}

TEST_F(PathTest, FullPathNamesAreNormalised)
{
    ASSERT_TRUE(set_current_directory("T:\\Docs"));
    struct Case {
        const char* path;
        const char* full;
    };
    static const Case kCases[] = {
        { "a\\b\\..\\c", "T:\\Docs\\a\\c" },
        { "..\\..\\..\\x", "T:\\x" },
        { "/x/./y/", "T:\\x\\y\\" },
        { "c:\\A\\B.", "C:\\A\\B" },
        { "C:\\name.ext. . ", "C:\\name.ext" },
        { "C:\\dir.\\f", "C:\\dir\\f" },
        { "C:\\a\\...", "C:\\a" },
        { "\\\\srv\\share\\a\\..\\b", "\\\\srv\\share\\b" },
        { "T:\\", "T:\\" },
        { ".", "T:\\Docs" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(get_full_path_name(c.path), c.full);
    }
}

TEST_F(PathTest, UnusablePathsGiveEmptyAndTheirError)
{
    struct Case {
        const char* name;
        std::string_view path;
        uint32_t error;
    };
    static const Case kCases[] = {
        { "empty", "", ERROR_PATH_NOT_FOUND },
        { "UNC share", "\\\\server\\share\\x", ERROR_PATH_NOT_FOUND },
        { "unmapped drive", "Q:\\x", ERROR_PATH_NOT_FOUND },
        { "not a drive letter", "1:\\x", ERROR_INVALID_NAME },
        { "wildcard", "T:\\docs\\*.txt", ERROR_INVALID_NAME },
        { "colon inside", "T:\\a:b", ERROR_INVALID_NAME },
        { "angle bracket", "T:\\a<b", ERROR_INVALID_NAME },
        { "control character", "T:\\a\tb", ERROR_INVALID_NAME },
        { "NUL inside", std::string_view("T:\\a\0b", 6), ERROR_INVALID_NAME },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        set_last_error(0);
        EXPECT_EQ(path_to_host(c.path), "");
        EXPECT_EQ(get_last_error(), c.error);
    }
}

TEST_F(PathTest, HostPathsMapBackThroughTheLongestRoot)
{
    set_drive_root('U', root_ + "/Media/");
    EXPECT_EQ(get_drive_root('u'), root_ + "/Media");
    EXPECT_EQ(path_from_host(root_ + "/Media/Sound.WAV"), "U:\\Sound.WAV");
    EXPECT_EQ(path_from_host(root_ + "//Docs/./Sub/../ReadMe.TXT"), "T:\\Docs\\ReadMe.TXT");
    EXPECT_EQ(path_from_host(root_), "T:\\");
    EXPECT_EQ(path_from_host("/etc/passwd"), "C:\\etc\\passwd");
    EXPECT_EQ(path_to_host(path_from_host(host("Docs/Sub/Deep.dat"))), host("Docs/Sub/Deep.dat"));

    set_drive_root('C', "");
    set_last_error(0);
    EXPECT_EQ(path_from_host("/etc/passwd"), "");
    EXPECT_EQ(get_last_error(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(path_from_host("relative/name"), "");
}

TEST_F(PathTest, SetCurrentDirectoryRefusesWhatIsNoFolder)
{
    struct Case {
        const char* path;
        uint32_t error;
    };
    static const Case kCases[] = {
        { "T:\\missing", ERROR_FILE_NOT_FOUND },
        { "T:\\missing\\deeper", ERROR_PATH_NOT_FOUND },
        { "T:\\docs\\readme.txt", ERROR_DIRECTORY },
        { "Q:\\", ERROR_PATH_NOT_FOUND },
    };
    ASSERT_TRUE(set_current_directory("T:\\docs"));
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.path);
        EXPECT_FALSE(set_current_directory(c.path));
        EXPECT_EQ(get_last_error(), c.error);
        EXPECT_EQ(get_current_directory(), "T:\\docs");
    }
}

TEST_F(PathTest, ProgramPathIsTheRunningExecutable)
{
    char exe[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(length, 0);
    std::string program = get_program_path();
    EXPECT_EQ(path_to_host(program), std::string(exe, size_t(length)));
    std::string folder = get_program_folder();
    EXPECT_EQ(program.substr(0, folder.size() + 1), folder + "\\");
    EXPECT_EQ(
        path_to_host(folder), fs::path(std::string(exe, size_t(length))).parent_path().string());
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value)
        : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(PathTest, WindowsDirectoryFollowsTheEnvironmentAndIsCreated)
{
    struct Case {
        const char* name;
        const char* override_dir; // below the root, or null
        const char* data_home; // below the root, or null, or relative
        const char* expected;
    };
    static const Case kCases[] = {
        { "override wins", "win/dir", "xdg", "T:\\win\\dir" },
        { "XDG data home", nullptr, "xdg", "T:\\xdg\\storvel\\windows" },
        { "relative XDG is ignored", nullptr, "!relative",
            "T:\\home\\.local\\share\\storvel\\windows" },
        { "home fallback", nullptr, nullptr, "T:\\home\\.local\\share\\storvel\\windows" },
    };
    ScopedEnv home("HOME", host("home").c_str());
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string override_dir = c.override_dir ? host(c.override_dir) : "";
        std::string data_home = !c.data_home ? ""
            : c.data_home[0] == '!'          ? c.data_home + 1
                                             : host(c.data_home);
        ScopedEnv o("STORVEL_WINDOWS_DIR", c.override_dir ? override_dir.c_str() : nullptr);
        ScopedEnv x("XDG_DATA_HOME", c.data_home ? data_home.c_str() : nullptr);
        std::string windows = get_windows_directory();
        EXPECT_EQ(windows, c.expected);
        EXPECT_TRUE(fs::is_directory(path_to_host(windows)));
    }
}

TEST(PathWildcard, DosRulesIgnoringCase)
{
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    static const Case kCases[] = {
        { "*", "anything.at.all", true }, { "*.*", "noextension", true },
        { "*.*", ".hidden", true }, { "*.", "noextension", true }, { "*.", "name.txt", false },
        { "*.", "..", true }, { "*.txt", "README.TXT", true }, { "*.txt", "a.b.txt", true },
        { "*.txt", "a.txtx", false }, { "*.txt", "atxt", false },
        { "readme.*", "ReadMe", true }, // '.' before '*' also matches the end of the name
        { "a?c", "abc", true }, { "a?c", "a.c", false }, // '?' never takes the '.'
        { "a?.txt", "a.txt", true }, // but may take nothing before it
        { "???", "ab", true }, { "???", "abcd", false }, { "?????", "Sub", true },
        { "a.?.c", "A.B.C", true }, { "*a*b", "xxaxxb", true }, { "*a*b", "xxaxxbx", false },
        { "exact", "EXACT", true }, { "exact", "exacter", false },
        { "\xc3\xa4rger.txt", "\xc3\x84RGER.TXT", true }, // Latin-1 letters fold as ASCII does
        { "\xd0\xb4*", "\xd0\x94\xd0\xb0", true }, // and so do Cyrillic ones
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.name);
        EXPECT_EQ(path_wildcard_match(c.pattern, c.name), c.match);
    }
}

TEST_F(PathTest, CodePageNamesMapToUtf8HostNames)
{
    touch("\xc3\xa4rger.txt"); // "ärger.txt"
    EXPECT_EQ(path_to_host("T:\\\xc4RGER.TXT"), host("\xc3\xa4rger.txt")); // 'Ä' in 1252
    EXPECT_EQ(path_from_host(host("\xc3\xa4rger.txt")), "T:\\\xe4rger.txt");
}

TEST_F(PathTest, DoubleByteTrailBytesAreNotSeparators)
{
    if (!set_active_code_page(CP_SHIFT_JIS))
        GTEST_SKIP() << "code page 932 is not available";
    touch("\xe8\xa1\xa8.txt"); // U+8868, 0x95 0x5C in code page 932
    EXPECT_EQ(path_to_host("T:\\\x95\x5c.txt"), host("\xe8\xa1\xa8.txt"));
    EXPECT_EQ(path_name_offset("T:\\dir\\\x95\x5c.txt"), 7u);
}

} // namespace
