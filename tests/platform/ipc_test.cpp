#include "platform/ipc/ipc.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ipc/ipc_atoms.h"
#include "platform/ipc/ipc_folder.h"
#include "platform/ipc/ipc_script.h"
#include "platform/kernel/atom.h"
#include "platform/kernel/error.h"
#include "platform/window/wintree.h"
#include "window_test_support.h"

using namespace plat;

namespace {

// A fresh folder for programs to meet in, 0700, removed at the end.
class IpcFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ipc-test-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        folder = pattern;
    }
    void TearDown() override
    {
        ipc_stop();
        atom_reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }
    bool exists(const std::string& name) { return access((folder + "/" + name).c_str(), F_OK) == 0; }

    std::string folder;
};

TEST_F(IpcFolderTest, ProgramsTakeTheLowestFreeNumber)
{
    FolderSeat first;
    FolderSeat second;
    std::string reason;
    ASSERT_TRUE(ipc_folder_take_seat(folder, first, reason)) << reason;
    ASSERT_TRUE(ipc_folder_take_seat(folder, second, reason)) << reason;
    EXPECT_EQ(first.number, 1u);
    EXPECT_EQ(second.number, 2u);
    EXPECT_EQ(ipc_folder_programs(folder, 2), std::vector<uint32_t>{1});
    ipc_folder_leave(folder, first);
    EXPECT_FALSE(exists("1.sock"));
    EXPECT_TRUE(exists("1.lock")); // kept: removing it could give one number to two programs
    FolderSeat third;
    ASSERT_TRUE(ipc_folder_take_seat(folder, third, reason));
    EXPECT_EQ(third.number, 1u);
    EXPECT_GE(fcntl(third.listen_fd, F_GETFD) & FD_CLOEXEC, 1); // children hold nothing
    ipc_folder_leave(folder, second);
    ipc_folder_leave(folder, third);
}

TEST_F(IpcFolderTest, StaleSocketIsRemovedByWhoeverMeetsIt)
{
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::string path = folder + "/7.sock";
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd); // a program that died: its socket stays, its lock is free
    EXPECT_EQ(ipc_folder_programs(folder, 0), std::vector<uint32_t>{7});
    EXPECT_EQ(ipc_folder_connect(folder, 7), -1);
    EXPECT_FALSE(exists("7.sock"));
}

TEST_F(IpcFolderTest, FolderOthersCouldReachIsRefused)
{
    static const struct {
        const char* name;
        mode_t mode;
        bool accepted;
        const char* reason;
    } kModes[] = {
        {"private", 0700, true, ""},
        {"readable by the group", 0750, false, "is open to others"},
        {"writable by all", 0703, false, "is open to others"},
    };
    for (const auto& test : kModes) {
        SCOPED_TRACE(test.name);
        std::string chosen = folder + "/f" + std::to_string(test.mode);
        ASSERT_EQ(mkdir(chosen.c_str(), 0700), 0);
        ASSERT_EQ(chmod(chosen.c_str(), test.mode), 0);
        setenv("STORVEL_RUNTIME_DIR", chosen.c_str(), 1);
        std::string found;
        std::string reason;
        EXPECT_EQ(ipc_folder_choose(found, reason), test.accepted);
        EXPECT_NE(reason.find(test.reason), std::string::npos) << reason;
    }
    std::string made = folder + "/made";
    setenv("STORVEL_RUNTIME_DIR", made.c_str(), 1);
    std::string found;
    std::string reason;
    ASSERT_TRUE(ipc_folder_choose(found, reason)) << reason;
    struct stat info {};
    ASSERT_EQ(stat(made.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    unsetenv("STORVEL_RUNTIME_DIR");
}

// The window ids of a program carry its number; ids made before it had one stay good.
class IpcWindowIdTest : public wintest::WindowTest {
protected:
    void TearDown() override
    {
        wintree_set_program(0);
        wintest::WindowTest::TearDown();
    }
};

TEST_F(IpcWindowIdTest, IdsCarryTheProgramNumber)
{
    WindowHandle alone = make_top("Alone");
    EXPECT_EQ(window_program_of(alone), 0u);
    EXPECT_GT(alone.id, 0xFFFFu); // never a special handle
    wintree_set_program(kProgramNumberMax);
    WindowHandle numbered = make_top("Numbered");
    EXPECT_EQ(window_program_of(numbered), kProgramNumberMax);
    EXPECT_LT(numbered.id, 0x80000000u);
    EXPECT_TRUE(is_window(alone));
    EXPECT_TRUE(is_window(numbered));
    destroy_window(numbered);
    EXPECT_FALSE(is_window(numbered));
    EXPECT_FALSE(is_window(WindowHandle(numbered.id & ~(kWindowProgramMask << kWindowProgramShift))));
}

TEST_F(IpcFolderTest, AtomsAreSharedThroughTheFolder)
{
    std::string reason;
    ASSERT_TRUE(ipc_start_in(folder, reason)) << reason;
    Atom atom = global_add_atom("C:\\Course\\Intro.v5r");
    ASSERT_GE(atom, kAtomFirstString);
    EXPECT_EQ(global_add_atom("c:\\course\\INTRO.V5R"), atom);
    EXPECT_EQ(global_find_atom("C:\\COURSE\\INTRO.V5R"), atom);
    char name[300];
    EXPECT_EQ(global_get_atom_name(atom, name, sizeof name), 19u);
    EXPECT_STREQ(name, "C:\\Course\\Intro.v5r");
    // What the table holds: one atom, two references of this process.
    std::ifstream file(folder + "/atoms", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    AtomTable table;
    ASSERT_TRUE(atom_table_read(bytes.data(), bytes.size(), table));
    ASSERT_EQ(table.atoms.size(), 1u);
    EXPECT_EQ(table.atoms[0].references.size(), 1u);
    EXPECT_EQ(table.atoms[0].references[0].count, 2u);
    EXPECT_EQ(global_delete_atom(atom), 0);
    EXPECT_EQ(global_delete_atom(atom), 0);
    EXPECT_EQ(global_find_atom("C:\\Course\\Intro.v5r"), 0);
    EXPECT_EQ(get_last_error(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(global_delete_atom(atom), atom);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
}

TEST_F(IpcFolderTest, GoneProgramsReferencesGoAtTheNextWrite)
{
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0); // a process that is gone
    AtomTable table;
    table.atoms.push_back(SharedAtom{0xC005, "LEFTOVER", {AtomReference{uint32_t(child), 3}}});
    table.atoms.push_back(SharedAtom{0xC006, "SHARED", {AtomReference{uint32_t(child), 1}, AtomReference{uint32_t(getpid()), 1}}});
    std::vector<uint8_t> bytes = atom_table_write(table);
    std::ofstream(folder + "/atoms", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    std::string reason;
    ASSERT_TRUE(ipc_start_in(folder, reason)) << reason;
    EXPECT_EQ(global_find_atom("leftover"), 0xC005); // reading changes nothing
    EXPECT_NE(global_add_atom("NEW"), 0);
    EXPECT_EQ(global_find_atom("LEFTOVER"), 0);
    EXPECT_EQ(global_find_atom("SHARED"), 0xC006);
}

TEST_F(IpcFolderTest, DamagedAtomTableStartsAfresh)
{
    static const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } kTables[] = {
        {"empty", {}},
        {"wrong magic", {'S', 'V', 'A', 'X', 1, 0, 0, 0, 0, 0, 0, 0}},
        {"count past the end", {'S', 'V', 'A', 'T', 1, 0, 0, 0, 0xFF, 0xFF, 0, 0}},
        {"atom below 0xC000", {'S', 'V', 'A', 'T', 1, 0, 0, 0, 1, 0, 0, 0, 0x01, 0xB0, 1, 0, 'A', 1, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
        {"name past the end", {'S', 'V', 'A', 'T', 1, 0, 0, 0, 1, 0, 0, 0, 0x01, 0xC0, 9, 0, 'A'}},
        {"no references", {'S', 'V', 'A', 'T', 1, 0, 0, 0, 1, 0, 0, 0, 0x01, 0xC0, 1, 0, 'A', 0, 0}},
        {"bytes after the table", {'S', 'V', 'A', 'T', 1, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    std::string reason;
    ASSERT_TRUE(ipc_start_in(folder, reason)) << reason;
    for (const auto& test : kTables) {
        SCOPED_TRACE(test.name);
        AtomTable table;
        EXPECT_FALSE(atom_table_read(test.bytes.data(), test.bytes.size(), table));
        std::ofstream(folder + "/atoms", std::ios::binary)
            .write(reinterpret_cast<const char*>(test.bytes.data()), std::streamsize(test.bytes.size()));
        EXPECT_EQ(global_find_atom("A"), 0);
        Atom atom = global_add_atom("B");
        EXPECT_EQ(atom, global_find_atom("b"));
        EXPECT_EQ(global_delete_atom(atom), 0);
    }
}

TEST(IpcScriptTest, CommandsOnOtherProgramsParse)
{
    static const struct {
        const char* source;
        bool good;
        ScriptOp op;
        const char* window_class;
        const char* title;
        bool any_title;
        uint32_t message;
        uint64_t wparam;
        int64_t lparam;
        uint32_t ms;
    } kLines[] = {
        {"send SVXMainClass \"Intro\" 0x040C 49153 0", true, ScriptOp::send, "SVXMainClass", "Intro", false, 0x40C, 49153, 0, 5000},
        {"send * * 1025 0xFFFFFFFFFFFFFFFF -1 250", true, ScriptOp::send, "*", "*", true, 1025, UINT64_MAX, -1, 250},
        {"post WinTestMain \"*\" 16 0 0", true, ScriptOp::post, "WinTestMain", "*", false, 16, 0, 0, 5000},
        {"post * * 16 0 0 250", false, ScriptOp::post, "", "", false, 0, 0, 0, 0},
        {"send * * 0x1g 0 0", false, ScriptOp::send, "", "", false, 0, 0, 0, 0},
        {"send * \"open 0x401 0 0", false, ScriptOp::send, "", "", false, 0, 0, 0, 0},
        {"send * * 0x100000000 0 0", false, ScriptOp::send, "", "", false, 0, 0, 0, 0},
        {"send * * 1 -1 0", false, ScriptOp::send, "", "", false, 0, 0, 0, 0},
        {"serve 1500", true, ScriptOp::serve, "", "", false, 0, 0, 0, 1500},
        {"serve soon", false, ScriptOp::serve, "", "", false, 0, 0, 0, 0},
        {"windows", true, ScriptOp::windows, "", "", false, 0, 0, 0, 0},
        {"windows all", false, ScriptOp::windows, "", "", false, 0, 0, 0, 0},
        {"copydata * * 1226 00ff", true, ScriptOp::copy_data, "*", "*", true, 0, 1226, 0, 0},
        {"copydata * * 1226 0f0", false, ScriptOp::copy_data, "", "", false, 0, 0, 0, 0},
        {"atom add C:\\A.V5R", true, ScriptOp::atom, "", "C:\\A.V5R", false, 0, 0, 0, 0},
        {"atom remove A", false, ScriptOp::atom, "", "", false, 0, 0, 0, 0},
        {"atom find", false, ScriptOp::atom, "", "", false, 0, 0, 0, 0},
    };
    for (const auto& test : kLines) {
        SCOPED_TRACE(test.source);
        std::vector<ScriptCommand> commands;
        std::string error;
        ASSERT_EQ(script_parse(test.source, commands, error), test.good) << error;
        if (!test.good)
            continue;
        const ScriptCommand& command = commands.at(0);
        EXPECT_EQ(command.op, test.op);
        EXPECT_EQ(command.window_class, test.window_class);
        EXPECT_EQ(command.title, test.title);
        EXPECT_EQ(command.any_title, test.any_title);
        EXPECT_EQ(command.message, test.message);
        EXPECT_EQ(command.wparam, test.wparam);
        EXPECT_EQ(command.lparam, test.lparam);
        EXPECT_EQ(command.ms, test.ms);
    }
}

} // namespace
