#include "platform/kernel/process.h"
#include "platform/kernel/codepage.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/path.h"

using namespace plat;

namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* line;
    CommandLineStart start;
    Args expected;
};

constexpr CommandLineStart kProgram = CommandLineStart::program_name;
constexpr CommandLineStart kArgument = CommandLineStart::argument;

static const SplitCase kSplitCases[] = {
    {"", kProgram, {}},
    {"   \t ", kProgram, {}},
    {"  prog  a\tb  ", kProgram, {"prog", "a", "b"}},
    // A program name keeps its backslashes; quotes only group.
    {R"("C:\Program Files\App\app.exe" -x)", kProgram, {R"(C:\Program Files\App\app.exe)", "-x"}},
    {R"(C:\dir\"sub dir"\a.exe x)", kProgram, {R"(C:\dir\sub dir\a.exe)", "x"}},
    {R"(C:\dir\ x)", kProgram, {R"(C:\dir\)", "x"}},
    // Arguments follow the backslash and quote rules.
    {R"("abc" d e)", kArgument, {"abc", "d", "e"}},
    {R"(a\\\b d"e f"g h)", kArgument, {R"(a\\\b)", "de fg", "h"}},
    {R"(a\\\"b c d)", kArgument, {R"(a\"b)", "c", "d"}},
    {R"(a\\\\"b c" d e)", kArgument, {R"(a\\b c)", "d", "e"}},
    {R"(a"b"" c d)", kArgument, {R"(ab" c d)"}},
    {R"("" x "")", kArgument, {"", "x", ""}},
    {R"("a\\" b)", kArgument, {R"(a\)", "b"}},
    {R"(C:\DATA\ "C:\My Docs\")", kArgument, {R"(C:\DATA\)", R"(C:\My Docs")"}},
    {R"("unclosed quote)", kArgument, {"unclosed quote"}},
    {R"(tail\)", kArgument, {R"(tail\)"}},
};

TEST(CommandLine, SplitsByWindowsRules)
{
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(command_line_split(c.line, c.start), c.expected);
    }
}

TEST(CommandLine, JoinedArgumentsSplitBackUnchanged)
{
    static const Args kVectors[] = {
        {"prog", "plain", "two words", "", R"(a"b)", R"(trail\)", R"(tab	and\"quote\\)"},
        {R"(C:\Program Files\a.exe)", R"(C:\My Docs\)"},
        {""},
    };
    for (const Args& args : kVectors) {
        std::string line = command_line_join(args);
        SCOPED_TRACE(line);
        EXPECT_EQ(command_line_split(line), args);
    }
}

// A launch the observer saw.
struct Launch {
    Args argv;
    std::string folder;
};

static std::vector<Launch> s_launches;

static LaunchDecision record_and_skip(const Args& argv, const std::string& folder)
{
    s_launches.push_back({argv, folder});
    return LaunchDecision::skip;
}

class ProcessTest : public testing::Test {
protected:
    void SetUp() override
    {
        process_reset();
        s_launches.clear();
        std::string pattern = testing::TempDir() + "plat_process_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        m_windows_folder = path_from_host(m_folder);
        ASSERT_FALSE(m_windows_folder.empty());
    }
    void TearDown() override
    {
        process_reset();
        for (const std::string& file : m_files)
            unlink(file.c_str());
        rmdir((m_folder + "/with space").c_str());
        rmdir(m_folder.c_str());
    }

    // A file in the test's folder; mode 0755 makes it a program.
    std::string make_file(const std::string& name, const std::string& text, mode_t mode)
    {
        std::string host = m_folder + "/" + name;
        std::ofstream(host) << text;
        chmod(host.c_str(), mode);
        m_files.push_back(host);
        return host;
    }

    std::string m_folder;
    std::string m_windows_folder;
    std::vector<std::string> m_files;
};

static uint32_t run_to_end(const Args& argv, const std::string& folder = "")
{
    ProcessHandle process = process_start(argv, folder);
    EXPECT_TRUE(process) << get_last_error();
    EXPECT_TRUE(process_wait(process, INFINITE));
    uint32_t code = 0;
    EXPECT_TRUE(process_get_exit_code(process, code));
    process_close(process);
    return code;
}

TEST_F(ProcessTest, StartsFromAnArgumentVector)
{
    EXPECT_EQ(run_to_end({"/bin/true"}), 0u);
    EXPECT_EQ(run_to_end({"false"}), 1u); // a bare name is found on PATH
    // Arguments arrive one by one, blanks and quotes untouched: no shell splits them.
    EXPECT_EQ(run_to_end({"/bin/sh", "-c", R"(test "$1" = "a \"b\" c")", "sh", R"(a "b" c)"}), 0u);
    EXPECT_EQ(run_to_end({"/bin/sh", "-c", "exit 7"}), 7u);
    EXPECT_EQ(run_to_end({"/bin/sh", "-c", R"x(test "$(pwd -P)" = "$(cd "$1" && pwd -P)")x", "sh", m_folder},
                         m_folder),
              0u);
}

// The code page is the system's on Windows: a program started from a Korean one is Korean too.
TEST_F(ProcessTest, AStartedProgramGetsTheActiveCodePage)
{
    static const uint32_t kPages[] = {1252, 949};
    for (uint32_t page : kPages) {
        SCOPED_TRACE(page);
        if (!set_active_code_page(page))
            continue; // the host cannot convert it
        std::string expected = "PLAT_CODEPAGE=" + std::to_string(page);
        EXPECT_EQ(run_to_end({"/bin/sh", "-c", "env | grep -c '^PLAT_CODEPAGE=' | grep -qx 1 && env | grep -qx \"$1\"",
                      "sh", expected}),
            0u);
    }
    codepage_reset();
}

TEST_F(ProcessTest, StartFailuresGiveWindowsCodes)
{
    make_file("notes.txt", "text\n", 0644);
    const struct {
        const char* name;
        Args argv;
        std::string folder;
        uint32_t error;
    } kFailures[] = {
        {"missing program", {"/no/such/program"}, "", ERROR_FILE_NOT_FOUND},
        {"missing on PATH", {"no-such-program-anywhere"}, "", ERROR_FILE_NOT_FOUND},
        {"a folder", {m_folder}, "", ERROR_ACCESS_DENIED},
        {"a document", {m_folder + "/notes.txt"}, "", ERROR_BAD_EXE_FORMAT},
        {"missing working folder", {"/bin/true"}, m_folder + "/gone", ERROR_DIRECTORY},
        {"empty vector", {}, "", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : kFailures) {
        SCOPED_TRACE(c.name);
        set_last_error(0);
        EXPECT_FALSE(process_start(c.argv, c.folder));
        EXPECT_EQ(get_last_error(), c.error);
    }
}

TEST_F(ProcessTest, WaitTimesOutAndTerminateEnds)
{
    ProcessHandle process = process_start({"/bin/sleep", "30"}, "");
    ASSERT_TRUE(process);
    EXPECT_FALSE(process_wait(process, 0));
    EXPECT_EQ(get_last_error(), WAIT_TIMEOUT);
    uint32_t code = 0;
    EXPECT_TRUE(process_get_exit_code(process, code));
    EXPECT_EQ(code, STILL_ACTIVE);

    EXPECT_TRUE(process_terminate(process, 42));
    EXPECT_TRUE(process_wait(process, INFINITE));
    EXPECT_TRUE(process_get_exit_code(process, code));
    EXPECT_EQ(code, 42u);

    EXPECT_TRUE(process_close(process));
    EXPECT_FALSE(process_get_exit_code(process, code));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(process_wait(ProcessHandle{0x12345}, 0));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
}

TEST_F(ProcessTest, ObserverSeesLaunchesAndMaySkipThem)
{
    process_set_launch_observer(record_and_skip);
    ProcessHandle skipped = process_start({"no-such-program-anywhere", "x"}, m_folder);
    ASSERT_TRUE(skipped); // headless runs do not depend on what the host has installed
    uint32_t code = STILL_ACTIVE;
    EXPECT_TRUE(process_get_exit_code(skipped, code));
    EXPECT_EQ(code, 0u);
    ASSERT_EQ(s_launches.size(), 1u);
    EXPECT_EQ(s_launches[0].argv, (Args{"no-such-program-anywhere", "x"}));
    EXPECT_EQ(s_launches[0].folder, m_folder);

    EXPECT_FALSE(process_start({"/no/such/program"}, "")); // a path is still checked
    EXPECT_EQ(s_launches.size(), 1u);
}

struct WinExecCase {
    const char* name;
    const char* command; // {F} stands for the test folder's Windows path
    uint32_t result;
    const char* program; // the host program in the test folder; "" any; null none started
    Args arguments;
};

static const WinExecCase kWinExecCases[] = {
    {"quoted program with arguments", R"("{F}\tool" a "b c")", 33, "tool", {"a", "b c"}},
    {"unquoted name with blanks", R"({F}\with space\my prog one two)", 33, "with space/my prog", {"one", "two"}},
    {".EXE finds the host program", R"({F}\TOOL.EXE x)", 33, "tool", {"x"}},
    {"Windows path arguments map", R"({F}\tool {F}\notes.txt)", 33, "tool", {"{H}/notes.txt"}},
    {"bare name on PATH", "true -v", 33, "", {"-v"}},
    {"missing program", R"({F}\absent.exe a)", 2, nullptr, {}},
    {"missing folder", R"({F}\no\such\prog.exe)", 3, nullptr, {}},
    {"a document", R"({F}\notes.txt)", 11, nullptr, {}},
    {"empty line", "  ", 2, nullptr, {}},
};

static std::string expand(std::string text, const std::string& windows_folder, const std::string& host_folder)
{
    for (size_t at; (at = text.find("{F}")) != std::string::npos;)
        text.replace(at, 3, windows_folder);
    for (size_t at; (at = text.find("{H}")) != std::string::npos;)
        text.replace(at, 3, host_folder);
    return text;
}

TEST_F(ProcessTest, WinExecFindsProgramsByWindowsRules)
{
    make_file("tool", "#!/bin/sh\nexit 0\n", 0755);
    make_file("notes.txt", "text\n", 0644);
    mkdir((m_folder + "/with space").c_str(), 0755);
    make_file("with space/my prog", "#!/bin/sh\nexit 0\n", 0755);
    process_set_launch_observer(record_and_skip);

    for (const WinExecCase& c : kWinExecCases) {
        SCOPED_TRACE(c.name);
        s_launches.clear();
        EXPECT_EQ(start_program(expand(c.command, m_windows_folder, m_folder)), c.result);
        if (!c.program) {
            EXPECT_TRUE(s_launches.empty());
            continue;
        }
        ASSERT_EQ(s_launches.size(), 1u);
        Args expected{*c.program ? m_folder + "/" + c.program : s_launches[0].argv[0]};
        for (const std::string& argument : c.arguments)
            expected.push_back(expand(argument, m_windows_folder, m_folder));
        EXPECT_EQ(s_launches[0].argv, expected);
    }
}

TEST_F(ProcessTest, WinExecReallyStarts)
{
    EXPECT_EQ(start_program(path_from_host("/bin/true")), 33u);
    EXPECT_EQ(start_program(path_from_host("/bin") + "\\no-such-program-anywhere"), 2u);
}

TEST_F(ProcessTest, ShellExecuteRunsProgramsAndOpensDocuments)
{
    make_file("tool", "#!/bin/sh\nexit 0\n", 0755);
    make_file("Notes.txt", "text\n", 0644);
    make_file("marked.txt", "a document on a file system that marks all files executable\n", 0755);
    process_set_launch_observer(record_and_skip);
    const std::string& w = m_windows_folder;
    const struct {
        const char* name;
        std::string verb, file, parameters, folder;
        uint32_t result;
        Args argv; // what was launched, empty when nothing was
    } kCases[] = {
        {"program with parameters", "open", w + "\\tool", "-a \"b c\"", w, 33, {m_folder + "/tool", "-a", "b c"}},
        {"relative to the folder", "", "TOOL", "", w, 33, {m_folder + "/tool"}},
        {"document", "OPEN", "notes.TXT", "ignored", w, 33, {"xdg-open", m_folder + "/Notes.txt"}},
        {"executable bit alone", "open", w + "\\marked.txt", "", "", 33, {"xdg-open", m_folder + "/marked.txt"}},
        {"folder", "open", w, "", "", 33, {"xdg-open", m_folder}},
        {"address", "open", "https://example.org/a?b=1&c", "", "", 33, {"xdg-open", "https://example.org/a?b=1&c"}},
        {"mail address", "open", "mailto:someone@example.org", "", "", 33, {"xdg-open", "mailto:someone@example.org"}},
        {"print has no opener", "print", w + "\\Notes.txt", "", "", SE_ERR_NOASSOC, {}},
        {"missing file", "open", w + "\\absent.txt", "", "", SE_ERR_FNF, {}},
        {"missing path", "open", w + "\\no\\such\\a.txt", "", "", SE_ERR_PNF, {}},
        {"missing working folder", "open", "Notes.txt", "", w + "\\gone", SE_ERR_PNF, {}},
        {"empty file", "open", "", "", "", SE_ERR_FNF, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        s_launches.clear();
        EXPECT_EQ(shell_execute(c.verb, c.file, c.parameters, c.folder), c.result);
        if (c.argv.empty()) {
            EXPECT_TRUE(s_launches.empty());
            continue;
        }
        ASSERT_EQ(s_launches.size(), 1u);
        EXPECT_EQ(s_launches[0].argv, c.argv);
    }
}

TEST_F(ProcessTest, ShellExecuteWithoutAnOpenerIsNoAssociation)
{
    make_file("Notes.txt", "text\n", 0644);
    std::string saved_path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", m_folder.c_str(), 1); // a desktop without xdg-open
    uint32_t result = shell_execute("open", m_windows_folder + "\\Notes.txt", "", "");
    setenv("PATH", saved_path.c_str(), 1);
    EXPECT_EQ(result, SE_ERR_NOASSOC);
}

} // namespace
