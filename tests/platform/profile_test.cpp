#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/file_save.h"
#include "platform/kernel/path.h"
#include "platform/kernel/profile.h"
#include "tests/other_user.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::literals;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kBufferSize = 72; // cases use at most 64; the rest must stay untouched

// A private folder under /tmp; absolute host paths are their own Windows paths (C: is "/").
class ProfileFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/plat_profile_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string path(const char* name) const { return m_folder + "/" + name; }
    void put(const char* name, std::string_view bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string get(const char* name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    std::string m_folder;
};

struct ReadCase {
    const char* name;
    std::string_view ini;
    const char* section;
    const char* key;
    const char* default_value;
    uint32_t size;
    std::string_view expected; // the bytes placed before the final NUL
    uint32_t result;
};

static const ReadCase kReadCases[] = {
    {"plain value", "[s]\nk=v\n", "s", "k", "d", 64, "v", 1},
    {"names match without case", "[SeCtIoN]\nKeY=v\n", "section", "kEy", "d", 64, "v", 1},
    {"blanks around names and value", "  [ \t s  ]  \n \t k \t = \t a  b \t \n", " s ", "k ", "d",
     64, "a  b", 4},
    {"missing key", "[s]\nk=v\n", "s", "x", "dflt", 64, "dflt", 4},
    {"missing section", "[s]\nk=v\n", "t", "k", "dflt", 64, "dflt", 4},
    {"null default is empty", "[s]\n", "s", "k", nullptr, 64, "", 0},
    {"default loses trailing blanks", "", "s", "k", " d \t", 64, " d", 2},
    {"empty value is not missing", "[s]\nk=\n", "s", "k", "d", 64, "", 0},
    {"first duplicate key wins", "[s]\nk=1\nK=2\n", "s", "k", "d", 64, "1", 1},
    {"first duplicate section wins", "[s]\na=1\n[t]\n[S]\na=2\nb=3\n", "s", "a", "d", 64, "1", 1},
    {"later duplicate section unseen", "[s]\na=1\n[t]\n[S]\na=2\nb=3\n", "s", "b", "d", 64, "d", 1},
    {"double quotes dropped", "[s]\nk=\" q \"\n", "s", "k", "d", 64, " q ", 3},
    {"single quotes dropped", "[s]\nk='q'\n", "s", "k", "d", 64, "q", 1},
    {"unmatched quotes kept", "[s]\nk=\"q'\n", "s", "k", "d", 64, "\"q'", 3},
    {"lone quote kept", "[s]\nk=\"\n", "s", "k", "d", 64, "\"", 1},
    {"comments are no keys", "[s]\n;k=1\n  ; k=2\nk=3\n", "s", "k", "d", 64, "3", 1},
    {"line without = is no key", "[s]\nnokey\n", "s", "nokey", "d", 64, "d", 1},
    {"value keeps = and ;", "[s]\nk=a=b ;c\n", "s", "k", "d", 64, "a=b ;c", 6},
    {"CR LF lines", "[s]\r\nk=v\r\n", "s", "k", "d", 64, "v", 1},
    {"no final line break", "[s]\nk=v", "s", "k", "d", 64, "v", 1},
    {"NUL ends a line's text", "[s]\nk=ab\0cd\nj=2\n"sv, "s", "k", "d", 64, "ab", 2},
    {"line after a NUL still read", "[s]\nk=ab\0cd\nj=2\n"sv, "s", "j", "d", 64, "2", 1},
    {"entry before any section", "k=v\n[s]\n", "s", "k", "d", 64, "d", 1},
    {"header without ]", "[s\nk=v\n", "s", "k", "d", 64, "v", 1},
    {"text after ] ignored", "[s] ; note\nk=v\n", "s", "k", "d", 64, "v", 1},
    {"UTF-8 mark before the first header", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "d", 64, "v", 1},
    {"empty key name gives the default", "[s]\n=v\n", "s", "", "d", 64, "d", 1},
    {"value cut to size - 1", "[s]\nk=abcdefgh\n", "s", "k", "d", 5, "abcd", 4},
    {"value that just fits", "[s]\nk=abcdefgh\n", "s", "k", "d", 9, "abcdefgh", 8},
    {"one-byte buffer", "[s]\nk=abc\n", "s", "k", "d", 1, "", 0},
    {"default cut too", "", "s", "k", "abcdef", 4, "abc", 3},
    {"section names", "[a]\nx=1\n[ b ]\n[A]\n[]\n", nullptr, nullptr, "d", 64, "a\0b\0"sv, 4},
    {"section names cut in a name", "[alpha]\n[beta]\n", nullptr, nullptr, "d", 9, "alpha\0b\0"sv,
     7},
    {"section names cut after a name", "[alpha]\n[beta]\n", nullptr, nullptr, "d", 8, "alpha\0\0"sv,
     6},
    {"no sections", "k=v\n", nullptr, nullptr, "d", 64, ""sv, 0},
    {"keys of a section", "[s]\nb=1\n;c=2\nnokey\n a =2\nB=3\n=4\n[t]\nt=1\n", "s", nullptr, "d",
     64, "b\0a\0"sv, 4},
    {"keys cut", "[s]\nfirst=1\nsecond=2\n", "s", nullptr, "d", 10, "first\0se\0"sv, 8},
    {"keys of a missing section", "[s]\nk=1\n", "t", nullptr, "dflt", 64, "dflt", 4},
    {"keys of an empty section", "[s]\n; only a note\n", "s", nullptr, "dflt", 64, "dflt", 4},
};

// Win32's answers, checked through a real file; bytes past the buffer must stay untouched.
TEST_F(ProfileFiles, ReadsValuesAndLists)
{
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.name);
        put("a.ini", c.ini);
        char out[kBufferSize];
        std::memset(out, 'X', sizeof out);
        uint32_t result = plat::get_private_profile_string(c.section, c.key, c.default_value, out,
                                                           c.size, path("a.ini").c_str());
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(std::string_view(out, result), c.expected.substr(0, result));
        EXPECT_EQ(out[result], '\0');
        if (c.expected.size() > result) { // a cut list: its last NUL follows
            EXPECT_EQ(out[result + 1], '\0');
        }
        for (uint32_t i = c.size; i < kBufferSize; ++i)
            ASSERT_EQ(out[i], 'X') << "written past the buffer at " << i;
    }
}

TEST_F(ProfileFiles, ZeroSizeWritesNothing)
{
    put("a.ini", "[s]\nk=v\n");
    char out[4] = {'X', 'X', 'X', 'X'};
    EXPECT_EQ(plat::get_private_profile_string("s", "k", "d", out, 0, path("a.ini").c_str()), 0u);
    EXPECT_EQ(plat::get_private_profile_section_names(out, 0, path("a.ini").c_str()), 0u);
    EXPECT_EQ(std::string_view(out, 4), "XXXX");
}

struct SectionCase {
    const char* name;
    const char* section;
    uint32_t size;
    std::string_view placed; // every byte placed, the final NULs included
    uint32_t result;
};

static const SectionCase kSectionCases[] = {
    {"entries, first of each key, quotes kept", "s", 64, "k=\"v\"\0j=\0\0"sv, 9},
    {"missing section is an empty list", "t", 64, "\0\0"sv, 0},
    {"cut entry", "s", 6, "k=\"v\0\0"sv, 4},
};

TEST_F(ProfileFiles, ReadsWholeSections)
{
    put("a.ini", "[s]\n k = \"v\" \n;c=1\nnokey\nK=dup\nj=\n[t2]\nx=1\n");
    for (const SectionCase& c : kSectionCases) {
        SCOPED_TRACE(c.name);
        char out[kBufferSize];
        std::memset(out, 'X', sizeof out);
        uint32_t result
            = plat::get_private_profile_section(c.section, out, c.size, path("a.ini").c_str());
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(std::string_view(out, c.placed.size()), c.placed);
        EXPECT_EQ(out[c.size], 'X');
    }
}

struct IntCase {
    const char* name;
    const char* line; // the entry for key k of [s]; null: no entry
    uint32_t expected;
};

static const IntCase kIntCases[] = {
    {"decimal", "k=42", 42},
    {"blanks inside quotes", "k=\"  42\"", 42},
    {"negative", "k=-7", uint32_t(-7)},
    {"plus sign", "k=+5", 5},
    {"hexadecimal", "k=0x1F", 31},
    {"hexadecimal upper X", "k=0X1f", 31},
    {"stops at a letter", "k=12abc", 12},
    {"decimal takes no hex digits", "k=12f", 12},
    {"hex stops at a non-hex letter", "k=0x1g", 1},
    {"no digits", "k=abc", 0},
    {"bare 0x", "k=0x", 0},
    {"blank after the sign", "k=- 5", 0},
    {"largest", "k=4294967295", 0xFFFFFFFFu},
    {"wraps at 32 bits", "k=4294967297", 1},
    {"empty value gives the default", "k=", uint32_t(-3)},
    {"missing key gives the default", nullptr, uint32_t(-3)},
};

TEST_F(ProfileFiles, ReadsIntegersAsWin32)
{
    for (const IntCase& c : kIntCases) {
        SCOPED_TRACE(c.name);
        put("a.ini", std::string("[s]\n") + (c.line ? c.line : "") + "\n");
        EXPECT_EQ(plat::get_private_profile_int("s", "k", -3, path("a.ini").c_str()), c.expected);
    }
}

TEST_F(ProfileFiles, MissingFileGivesDefaultsAndError2)
{
    char out[16];
    std::string missing = path("none.ini");
    EXPECT_EQ(plat::get_private_profile_string("s", "k", "dflt", out, sizeof out, missing.c_str()),
              4u);
    EXPECT_STREQ(out, "dflt");
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(plat::get_private_profile_int("s", "k", 7, missing.c_str()), 7u);
    EXPECT_EQ(plat::get_private_profile_section_names(out, sizeof out, missing.c_str()), 0u);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[1], '\0');
    // A folder in the file's place is not a crash either.
    EXPECT_EQ(plat::get_private_profile_string("s", "k", "d", out, sizeof out, m_folder.c_str()),
              1u);
}

enum class WriteOp { string, section };

struct WriteCase {
    const char* name;
    const char* before; // null: no file
    WriteOp op;
    const char* section;
    const char* key;   // string writes only
    const char* value; // the value, or a section's entry list; null deletes
    const char* after; // null: still no file
    bool result;
};

static const WriteCase kWriteCases[] = {
    {"creates file and section", nullptr, WriteOp::string, "s", "k", "v", "[s]\r\nk=v\r\n", true},
    {"new section at the end, LF kept", "[a]\nx=1\n", WriteOp::string, "s", "k", "v",
     "[a]\nx=1\n[s]\nk=v\n", true},
    {"new section after a last line without break", "[a]\nx=1", WriteOp::string, "s", "k", "v",
     "[a]\nx=1\n[s]\nk=v\n", true},
    {"new key after the last entry, not after the next section's comment",
     "; top\n[a]\nx=1\n\n; about b\n[b]\ny=2\n", WriteOp::string, "A", "z", "3",
     "; top\n[a]\nx=1\nz=3\n\n; about b\n[b]\ny=2\n", true},
    {"new key in an empty section", "[a]\n[b]\n", WriteOp::string, "a", "k", "v", "[a]\nk=v\n[b]\n",
     true},
    {"new key after a header without break", "[a]", WriteOp::string, "a", "k", "v",
     "[a]\r\nk=v\r\n", true},
    {"only the value's bytes change", "[a]\n  X  =  old  \ny=2\n", WriteOp::string, "a", "x", "new",
     "[a]\n  X  =  new  \ny=2\n", true},
    {"empty value on a CR LF line", "[a]\r\nk=\r\n", WriteOp::string, "a", "k", "v",
     "[a]\r\nk=v\r\n", true},
    {"quoted value replaced whole", "[a]\nk=\"old\"\n", WriteOp::string, "a", "k", "new",
     "[a]\nk=new\n", true},
    {"first duplicate key written", "[a]\nk=1\nk=2\n", WriteOp::string, "a", "K", "9",
     "[a]\nk=9\nk=2\n", true},
    {"first duplicate section written", "[a]\n[A]\nj=2\n", WriteOp::string, "a", "j", "1",
     "[a]\nj=1\n[A]\nj=2\n", true},
    {"delete a key and its duplicates", "[a]\nk=1\nj=0\nK=2\n[b]\nk=3\n", WriteOp::string, "a", "k",
     nullptr, "[a]\nj=0\n[b]\nk=3\n", true},
    {"delete a missing key creates no file", nullptr, WriteOp::string, "a", "k", nullptr, nullptr,
     true},
    {"delete a missing key", "[a]\nx=1\n", WriteOp::string, "a", "k", nullptr, "[a]\nx=1\n", true},
    {"delete a section, comments below it stay",
     "; head\n[a]\nx=1\n; mid\ny=2\n\n; about b\n[b]\ny=2\n", WriteOp::string, "a", nullptr,
     nullptr, "; head\n\n; about b\n[b]\ny=2\n", true},
    {"delete every duplicate section", "[a]\nx=1\n[b]\n[A]\ny=2\n", WriteOp::string, "a", nullptr,
     nullptr, "[b]\n", true},
    {"delete the last section without break", "[b]\nk=1\n[a]\nx=1", WriteOp::string, "a", nullptr,
     nullptr, "[b]\nk=1\n", true},
    {"section list replaces the entries", "[a]\nx=1\n;c\ny=2\n\n[b]\n", WriteOp::section, "a",
     nullptr, "p=1\0q=2\0", "[a]\np=1\nq=2\n\n[b]\n", true},
    {"section list creates the file", nullptr, WriteOp::section, "a", nullptr, "p=1\0",
     "[a]\r\np=1\r\n", true},
    {"empty section list empties it", "[a]\nx=1\n[b]\n", WriteOp::section, "a", nullptr, "",
     "[a]\n[b]\n", true},
    {"null section list deletes it", "[a]\nx=1\n[b]\n", WriteOp::section, "a", nullptr, nullptr,
     "[b]\n", true},
    {"refused: '=' in a key", "[a]\n", WriteOp::string, "a", "k=x", "v", "[a]\n", false},
    {"refused: key reads as a comment", "[a]\n", WriteOp::string, "a", " ;k", "v", "[a]\n", false},
    {"refused: key reads as a header", "[a]\n", WriteOp::string, "a", "[k", "v", "[a]\n", false},
    {"refused: empty key", "[a]\n", WriteOp::string, "a", "  ", "v", "[a]\n", false},
    {"refused: ']' in a section", "[a]\n", WriteOp::string, "a]b", "k", "v", "[a]\n", false},
    {"refused: line break in a value", nullptr, WriteOp::string, "a", "k", "v\n[x]", nullptr,
     false},
    {"refused: null section", "[a]\n", WriteOp::string, nullptr, "k", "v", "[a]\n", false},
    {"refused: a header in a section list", "[a]\n", WriteOp::section, "a", nullptr, "k=1\0[x]\0",
     "[a]\n", false},
};

TEST_F(ProfileFiles, WritesKeepEveryOtherLine)
{
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.name);
        fs::remove(path("a.ini"));
        if (c.before)
            put("a.ini", c.before);
        std::string file = path("a.ini");
        bool result = c.op == WriteOp::string
            ? plat::write_private_profile_string(c.section, c.key, c.value, file.c_str())
            : plat::write_private_profile_section(c.section, c.value, file.c_str());
        EXPECT_EQ(result, c.result);
        if (!c.result) {
            EXPECT_EQ(plat::get_last_error(), plat::ERROR_INVALID_PARAMETER);
        }
        EXPECT_EQ(fs::exists(file), c.after != nullptr);
        if (c.after) {
            EXPECT_EQ(get("a.ini"), c.after);
        }
    }
}

TEST_F(ProfileFiles, WrittenValuesReadBack)
{
    std::string file = path("a.ini");
    static const char* const kValues[] = {"plain", "with = and ; inside", "'single'", "", "x"};
    for (const char* value : kValues) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(plat::write_private_profile_string("Sec", "Key", value, file.c_str()));
        char out[64];
        std::string expected = value[0] == '\'' ? "single" : value;
        EXPECT_EQ(
            plat::get_private_profile_string("sec", "key", "d", out, sizeof out, file.c_str()),
            expected.size());
        EXPECT_EQ(out, expected);
    }
}

// A save goes through a new file renamed over the old one: an unchanged write does not save,
// a changed one leaves no temporary behind and keeps the old file's permissions.
TEST_F(ProfileFiles, SavesThroughATemporaryFile)
{
    std::string file = path("a.ini");
    put("a.ini", "[s]\nk=v\n");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    struct stat before, after;
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    ASSERT_TRUE(plat::write_private_profile_string("s", "k", "v", file.c_str()));
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "an unchanged write saved the file";

    ASSERT_TRUE(plat::write_private_profile_string("s", "k", "w", file.c_str()));
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "the file was rewritten in place";
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

TEST_F(ProfileFiles, WritesThroughASymbolicLink)
{
    put("real.ini", "[s]\nk=v\n");
    fs::create_symlink(path("real.ini"), path("link.ini"));
    ASSERT_TRUE(plat::write_private_profile_string("s", "k", "w", path("link.ini").c_str()));
    EXPECT_TRUE(fs::is_symlink(path("link.ini")));
    EXPECT_EQ(get("real.ini"), "[s]\nk=w\n");
}

// Root may give the new file away: it keeps the old one's owner and mode; the folder is
// synced after the rename.
TEST_F(ProfileFiles, ASavedFileKeepsItsOwnerAndItsFolderIsSynced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    std::string file = path("a.ini");
    put("a.ini", "[s]\nk=v\n");
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    ASSERT_EQ(::chown(file.c_str(), testuser::kNobody, testuser::kNobody), 0);
    uint32_t syncs = plat::file_folder_sync_count();
    ASSERT_TRUE(plat::write_private_profile_string("s", "k", "w", file.c_str()));
    EXPECT_EQ(plat::file_folder_sync_count(), syncs + 1);
    struct stat after;
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, testuser::kNobody);
    EXPECT_EQ(after.st_gid, testuser::kNobody);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(get("a.ini"), "[s]\nk=w\n");
}

TEST_F(ProfileFiles, WriteIntoAMissingFolderFails)
{
    std::string file = path("no-folder/a.ini");
    EXPECT_FALSE(plat::write_private_profile_string("s", "k", "v", file.c_str()));
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(fs::exists(path("no-folder")));
}

// Sets a variable for one test and puts the old value back.
class EnvironmentGuard {
public:
    EnvironmentGuard(const char* name, const char* value)
        : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had_value = old != nullptr;
        m_old_value = old ? old : "";
        ::setenv(name, value, 1);
    }
    ~EnvironmentGuard()
    {
        if (m_had_value)
            ::setenv(m_name, m_old_value.c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had_value;
    std::string m_old_value;
};

// A writable file in a folder the user cannot write is saved in place, its old text kept in
// the Windows folder until the new one is synced: cut after any byte, the next read finds the
// old text or the new one.
TEST_F(ProfileFiles, AFileInAFolderTheUserCannotWriteIsSavedInPlace)
{
    std::string windows = path("windows");
    EnvironmentGuard guard("STORVEL_WINDOWS_DIR", windows.c_str());
    fs::create_directory(windows);
    fs::create_directory(path("locked"));
    std::string file = path("locked/a.ini");
    const std::string before = "[s]\nk=old value\n";
    put("locked/a.ini", before);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(m_folder.c_str(), 0755), 0);
        ASSERT_EQ(::chown(file.c_str(), testuser::kNobody, testuser::kNobody), 0);
        ASSERT_EQ(::chown(windows.c_str(), testuser::kNobody, testuser::kNobody), 0);
    }
    ASSERT_EQ(::chmod(path("locked").c_str(), 0555), 0);
    bool ran = testuser::run_as_another_user([&] {
        int failures = 0;
        for (uint64_t limit = 1; limit < 4096; limit++) {
            SCOPED_TRACE(limit);
            put("locked/a.ini", before);
            plat::file_fail_writes_after(limit);
            bool saved = plat::write_private_profile_string("s", "k", "new", file.c_str());
            plat::file_fail_writes_after(0);
            char value[16] = "";
            plat::get_private_profile_string("s", "k", "", value, sizeof value, file.c_str());
            EXPECT_STREQ(value, saved ? "new" : "old value");
            EXPECT_EQ(get("locked/a.ini"), saved ? "[s]\nk=new\n" : before);
            EXPECT_TRUE(fs::is_empty(windows + "/SAVING")); // the copy of the old text is gone
            if (saved || ::testing::Test::HasFailure())
                break;
            failures++;
        }
        EXPECT_GT(failures, 16); // the copy of the old text, then the new text
    });
    ::chmod(path("locked").c_str(), 0755);
    if (!ran)
        GTEST_SKIP() << "the test runs as root and cannot drop to another user";
}

// A bare file name, and WIN.INI, live in the Windows folder.
TEST_F(ProfileFiles, BareNamesLiveInTheWindowsFolder)
{
    EnvironmentGuard guard("STORVEL_WINDOWS_DIR", m_folder.c_str());
    std::string windows = plat::path_to_host(plat::get_windows_directory());
    ASSERT_FALSE(windows.empty());
    std::string own = windows + "/plat_profile_test_" + std::to_string(::getpid()) + ".ini";
    std::string bare = own.substr(windows.size() + 1);

    ASSERT_TRUE(plat::write_private_profile_string("s", "k", "v", bare.c_str()));
    EXPECT_TRUE(fs::exists(own));
    EXPECT_EQ(plat::get_private_profile_int("S", "K", 0, own.c_str()), 0u); // "v" has no digits
    char out[8];
    EXPECT_EQ(plat::get_private_profile_string("s", "k", "", out, sizeof out, own.c_str()), 1u);
    fs::remove(own);

    if (windows != m_folder)
        GTEST_SKIP() << "the Windows folder was fixed before this test; WIN.INI left alone";
    ASSERT_TRUE(plat::write_profile_string("intl", "sDecimal", ","));
    EXPECT_EQ(get("WIN.INI"), "[intl]\r\nsDecimal=,\r\n");
    EXPECT_EQ(plat::get_profile_string("INTL", "sdecimal", ".", out, sizeof out), 1u);
    EXPECT_STREQ(out, ",");
    EXPECT_EQ(plat::get_profile_int("intl", "iDigits", 2), 2u);
}

// Hostile text through the in-memory entry the fuzz target uses: nothing read or written out of
// bounds, answers still exact.
TEST(ProfileText, HostileBytes)
{
    std::string long_value = "[s]\nk=" + std::string(1 << 20, 'v');
    char out[8];
    EXPECT_EQ(plat::profile_get_string(long_value, "s", "k", "", out, sizeof out), 7u);
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_MORE_DATA);

    std::string many_sections;
    for (int i = 0; i < 20000; ++i)
        many_sections += "[s]\n[" + std::to_string(i) + "]\n";
    EXPECT_EQ(plat::profile_get_section_names(many_sections, out, sizeof out), 6u);
    EXPECT_EQ(std::string_view(out, 8),
              "s\0"
              "0\0"
              "1\0\0\0"sv);

    std::string nuls(4096, '\0');
    EXPECT_EQ(plat::profile_get_string(nuls, nullptr, nullptr, "d", out, sizeof out), 0u);

    std::string too_large(5u << 20, '\n');
    EXPECT_EQ(plat::profile_get_string(too_large, "s", "k", "d", out, sizeof out), 1u);
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(plat::profile_set_string(too_large, "s", "k", "v"), plat::ProfileEdit::refused);
}

TEST(ProfileText, EditKeepsBytesAfterANul)
{
    std::string text = "[s]\nk=old\0tail\nj=1"s;
    EXPECT_EQ(plat::profile_set_string(text, "s", "k", "new"), plat::ProfileEdit::changed);
    EXPECT_EQ(text, "[s]\nk=new\0tail\nj=1"s);
    EXPECT_EQ(plat::profile_set_string(text, "s", "k", "new"), plat::ProfileEdit::unchanged);
}

} // namespace

// In code page 949 the trail byte of a character may be an ASCII letter: "\x81\x61" and
// "\x81\x41" are different characters and must not match as the same name.
TEST(ProfileText, NamesFoldOnlySingleByteLetters)
{
    ASSERT_TRUE(plat::set_active_code_page(plat::CP_KOREAN));
    std::string text = "[s]\n\x81\x61x=1\n";
    char out[8];
    EXPECT_EQ(plat::profile_get_string(text, "S", "\x81\x61X", "d", out, sizeof out), 1u);
    EXPECT_STREQ(out, "1");
    EXPECT_EQ(plat::profile_get_string(text, "s", "\x81\x41x", "d", out, sizeof out), 1u);
    EXPECT_STREQ(out, "d");
    plat::codepage_reset();
}
