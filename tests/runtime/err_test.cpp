#include "box_fixture.h"
#include "platform/kernel/path.h"
#include "runtime/files/err.h"
#include "runtime/files/ini.h"
#include "runtime/files/util.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

enum class Table { windows, runtime };

struct TextCase {
    const char* name;
    Table table;
    int32_t code;
    const char* expected;
};

static const TextCase kTextCases[] = {
    { "not found", Table::windows, 2, "no such file or directory" },
    { "second code of a row", Table::windows, 30,
        "bad file handle or attempt to write to read-only file" },
    { "third code of a row", Table::windows, 1130, "computer memory is full" },
    { "longer than 100 characters", Table::windows, 1118,
        "the filename format is incorrect, possibly because long filenames are not supported on "
        "this "
        "volume. Please use a valid name." },
    { "a runtime code goes through", Table::windows, 5003, "too many records" },
    { "no error goes through", Table::windows, 0, "no error" },
    { "unknown to both", Table::windows, 12345, "unknown error (12345)" },
    { "negative", Table::windows, -1, "unknown error (-1)" },
    { "damaged file", Table::runtime, 5000, "file is damaged or not an Storvel file" },
    { "second runtime code of a row", Table::runtime, 5007, "SVM file format too old (or new)" },
    { "plug-in", Table::runtime, 8009, "Plexa failed" },
    { "shared with the Windows table", Table::runtime, 4, "too many open files" },
    { "a Windows code is unknown here", Table::runtime, 2, "unknown error (2)" },
    { "a code between the rows", Table::runtime, 5010, "unknown error (5010)" },
};

// The same texts from the program's string table and, where it lacks them, from the built-in
// rows.
TEST(ErrorTexts, MapCodesToTexts)
{
    struct Source {
        const char* name;
        plat::ModuleHandle module;
    };
    const Source sources[] = {
        { "string table", plat::get_resource_module("test_msg") },
        { "built in", plat::ModuleHandle {} },
    };
    ASSERT_TRUE(sources[0].module);
    for (const Source& source : sources) {
        SCOPED_TRACE(source.name);
        msg_set_resource_module(source.module);
        for (const TextCase& c : kTextCases) {
            SCOPED_TRACE(c.name);
            const char* text = c.table == Table::windows ? msg_error_text(c.code)
                                                         : msg_runtime_error_text(c.code);
            EXPECT_STREQ(text, c.expected);
        }
    }
    msg_reset();
}

// A Windows folder of the test's own with V5W.INI in it, a program folder without one, and a
// fixed local time.
class ErrLogTest : public BoxTest {
protected:
    std::string windows, saved_windows_dir;

    void SetUp() override
    {
        BoxTest::SetUp();
        if (const char* old = std::getenv("STORVEL_WINDOWS_DIR"))
            saved_windows_dir = old;
        windows = folder + "/WinDir";
        fs::create_directories(windows);
        fs::create_directories(folder + "/Prog");
        setenv("STORVEL_WINDOWS_DIR", windows.c_str(), 1);
        ini_reset();
        app_set_exe_folder(plat::path_from_host(folder + "/Prog").c_str());
        uint64_t file_time = 0;
        plat::SystemTime time { 2026, 12, 4, 10, 15, 4, 5, 0 };
        ASSERT_TRUE(plat::system_time_to_file_time(time, file_time));
        plat::clock_use_virtual(1000, file_time);
    }
    void TearDown() override
    {
        ini_reset();
        if (saved_windows_dir.empty())
            unsetenv("STORVEL_WINDOWS_DIR");
        else
            setenv("STORVEL_WINDOWS_DIR", saved_windows_dir.c_str(), 1);
        BoxTest::TearDown();
    }
    void settings(const std::string& text)
    {
        std::ofstream(windows + "/V5W.INI", std::ios::binary) << text;
        ini_init(0);
    }
    std::string log_path() const { return windows + "/V5W.LOG"; }
    std::string log_text() const
    {
        std::ifstream in(log_path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static std::string program_line()
    {
        char version[256] = {};
        util_version_text(version, int(sizeof version), 1);
        return plat::get_program_path() + " " + version + "\r\n";
    }
};

struct ShowErrorsCase {
    const char* name;
    const char* settings;
    int result;
};

static const ShowErrorsCase kShowErrorsCases[] = {
    { "yes", "[Debug]\r\nShowErrors=yes\r\n", 1 },
    { "True", "[Debug]\r\nShowErrors=True\r\n", 1 },
    { "1", "[Debug]\r\nShowErrors=1\r\n", 1 },
    { "no", "[Debug]\r\nShowErrors=no\r\n", 0 },
    { "0", "[Debug]\r\nShowErrors=0\r\n", 0 },
    { "missing key", "[Debug]\r\nOther=yes\r\n", 0 },
    { "other section", "[Options]\r\nShowErrors=yes\r\n", 0 },
};

TEST_F(ErrLogTest, ShowErrorsDecidesWhetherTheLogIsWritten)
{
    for (const ShowErrorsCase& c : kShowErrorsCases) {
        SCOPED_TRACE(c.name);
        fs::remove(log_path());
        settings(c.settings);
        EXPECT_EQ(err_write_log("Internal Error", "pigutl, 146"), c.result);
        EXPECT_EQ(fs::exists(log_path()), c.result == 1);
    }
}

TEST_F(ErrLogTest, WithoutSettingsFileNothingIsLogged)
{
    ini_init(0);
    EXPECT_EQ(err_write_log("Internal Error", "pigutl, 146"), 0);
    EXPECT_FALSE(fs::exists(log_path()));
}

std::string course_path() { return "C:\\COURSE\\INTRO.V5R"; }
std::string records_path() { return "C:\\V5W_DATA\\INTRO.REC"; }
std::string nothing_open() { return ""; }

TEST_F(ErrLogTest, TheEntryHasItsContextLines)
{
    settings("[Debug]\r\nShowErrors=Y\r\n");
    err_set_log_context(course_path, records_path);
    EXPECT_EQ(err_write_log("Internal Error", "pigutl, 146"), 1);
    std::string expected = "+++ Internal Error: pigutl, 146\r\n"
                           "12/10/26 15:04:05\r\n"
        + program_line()
        + "Windows 5.1\r\n"
          "Course: C:\\COURSE\\INTRO.V5R\r\n"
          "Records: C:\\V5W_DATA\\INTRO.REC\r\n"
          "\r\n";
    EXPECT_EQ(log_text(), expected);
}

TEST_F(ErrLogTest, EntriesAreAppendedAndTheCategoryIsCut)
{
    settings("[Debug]\r\nShowErrors=1\r\n");
    std::ofstream(log_path(), std::ios::binary) << "old entry\r\n";
    err_set_log_context(nothing_open, nullptr);
    EXPECT_EQ(err_write_log("Internal Error", "first"), 1);
    EXPECT_EQ(err_write_log("A category longer than twenty", "second"), 1);
    std::string entry_tail = "12/10/26 15:04:05\r\n" + program_line() + "Windows 5.1\r\n\r\n";
    std::string expected = "old entry\r\n"
                           "+++ Internal Error: first\r\n"
        + entry_tail + "+++ A category longer th: second\r\n" + entry_tail;
    EXPECT_EQ(log_text(), expected);
}

// A second write while one is under way (an error raised by the first) answers 1 and writes
// nothing of its own.
int g_inner_result = -1;
std::string write_again()
{
    g_inner_result = err_write_log("Inner", "x");
    return "";
}

TEST_F(ErrLogTest, AWriteDuringAWriteIsSkipped)
{
    settings("[Debug]\r\nShowErrors=1\r\n");
    err_set_log_context(write_again, nullptr);
    EXPECT_EQ(err_write_log("Outer", "y"), 1);
    EXPECT_EQ(g_inner_result, 1);
    std::string text = log_text();
    EXPECT_EQ(text.find("+++ "), 0u);
    EXPECT_EQ(text.find("+++ ", 1), std::string::npos);
    EXPECT_EQ(err_write_log("Outer", "y"), 1); // the flag is clear again
}

// An internal error raised while the log is written leaves the write; the errors after it
// (a release step's, say) are still logged.
std::string raise_while_writing()
{
    plat::raise_internal_error("inner", 7);
}

TEST_F(ErrLogTest, AnErrorThatLeavesAWriteDoesNotStopLaterEntries)
{
    settings("[Debug]\r\nShowErrors=1\r\n");
    err_set_log_context(raise_while_writing, nullptr);
    EXPECT_THROW(err_write_log("Internal Error", "first"), plat::InternalError);
    err_set_log_context(nullptr, nullptr);
    EXPECT_EQ(err_write_log("Internal Error", "second"), 1);
    EXPECT_NE(log_text().find("+++ Internal Error: second\r\n"), std::string::npos) << log_text();
}

TEST_F(ErrLogTest, AnInternalErrorShowsTheBoxLogsAndThrows)
{
    settings("[Debug]\r\nShowErrors=yes\r\n");
    start_script("wait 10\nanswer OK\n");
    try {
        err_internal("pigutl", 146);
        ADD_FAILURE() << "err_internal returned";
    } catch (const plat::InternalError& error) {
        EXPECT_STREQ(error.module, "pigutl");
        EXPECT_EQ(error.line, 146);
    }
    std::vector<std::string> lines = log_lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "beep hand");
    EXPECT_EQ(lines[1], "message box \"Internal Error\" \"pigutl, 146\" buttons \"OK\"");
    EXPECT_EQ(log_text().find("+++ Internal Error: pigutl, 146\r\n"), 0u);
    EXPECT_TRUE(plat::is_window_enabled(host));
}

} // namespace
