// Between programs: real wintest processes find each other's windows, send, post, copy data
// and share atoms; the test process itself joins as a third program to stop, kill and lie to
// them. Each case has a folder of its own, so programs of other cases stay unseen.
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/ipc/ipc.h"
#include "platform/kernel/error.h"
#include "platform/window/focus.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"
#include "wintest_support.h"

namespace {

using namespace wintest;

bool has_line(const std::vector<std::string>& events, const std::string& line)
{
    return std::find(events.begin(), events.end(), line) != events.end();
}

std::string join(const std::vector<std::string>& events)
{
    std::string text;
    for (const std::string& event : events)
        text += event + "\n";
    return text;
}

class Between : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.empty());
        ASSERT_EQ(mkdir(runtime_dir.c_str(), 0700), 0);
    }

    ScratchFolder scratch {"wintest-ipc"};
    const std::string& folder = scratch.path();
    std::string runtime_dir = folder + "/rt";
};

// A serves; B runs the script; each line that B's script makes is expected in B's log or A's.
// {A} and {B} in an expected line stand for the pid of that program.
struct Exchange {
    const char* name;
    const char* script; // B's, before it closes A (unless it closes A itself and then serves)
    std::vector<const char*> in_a;
    std::vector<const char*> in_b;
};

static const Exchange kExchanges[] = {
    {"posts keep their order and a send answers",
        "post WinTestMain * 0x0401 1 0\npost WinTestMain * 0x0401 2 0\npost WinTestMain * 0x0401 3 0\n"
        "send WinTestMain \"Win Test\" 0x0401 2 3\n",
        {"from program {B}: post 0x0401 wparam 1 lparam 0 to WinTestMain \"Win Test\"",
            "from program {B}: post 0x0401 wparam 2 lparam 0 to WinTestMain \"Win Test\"",
            "from program {B}: post 0x0401 wparam 3 lparam 0 to WinTestMain \"Win Test\"",
            "from program {B}: send 0x0401 wparam 2 lparam 3 to WinTestMain \"Win Test\" answered 5"},
        {"post 0x0401 wparam 1 lparam 0 to WinTestMain * answered 1",
            "send 0x0401 wparam 2 lparam 3 to WinTestMain \"Win Test\" answered 5"}},
    {"copied bytes arrive whole",
        "copydata WinTestMain * 1226 "
        "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728292a2b2c2d2e2f"
        "303132333435363738393a3b3c3d3e3f404142434445464748494a4b4c4d4e4f50515253\n",
        {"from program {B}: copydata 1226 bytes 84 to WinTestMain \"Win Test\" answered 84"},
        {"copydata 1226 bytes 84 to WinTestMain * answered 84"}},
    {"a send back arrives while the sender waits",
        "send WinTestMain * 0x0402 7 8\n",
        {"from program {B}: send 0x0402 wparam 7 lparam 8 to WinTestMain \"Win Test\" answered 15"},
        {"from program {A}: send 0x0401 wparam 7 lparam 8 to WinTestMain \"Win Test\" answered 15",
            "send 0x0402 wparam 7 lparam 8 to WinTestMain * answered 15"}},
    // B pauses after the crossing (serving, as a program the scheduler set aside would): nothing
    // may end it before its own close reaches A.
    {"crossing sends both finish",
        "send WinTestMain * 0x0404 5 6 100\nsend WinTestMain * 0x0401 1 1\nserve 500\n",
        {"wintest: crossed, answered 11", "from program {B}: send 0x0401 wparam 1 lparam 1 to WinTestMain \"Win Test\" answered 2"},
        {"send 0x0404 wparam 5 lparam 6 to WinTestMain * failed 1460",
            "from program {A}: send 0x0401 wparam 5 lparam 6 to WinTestMain \"Win Test\" answered 11",
            "send 0x0401 wparam 1 lparam 1 to WinTestMain * answered 2",
            "post 0x0010 wparam 0 lparam 0 to WinTestMain * answered 1"}},
    {"atoms are shared, without case, and deleted",
        "atom add C:\\COURSE\\A.V5R\nsend WinTestMain * 0x0405 0xC000 0\natom find c:\\course\\a.v5r\n"
        "atom delete C:\\COURSE\\A.V5R\natom find C:\\COURSE\\A.V5R\nsend WinTestMain * 0x0405 0xC000 0\n",
        {"wintest: atom C:\\COURSE\\A.V5R", "wintest: no atom 49152"},
        {"atom 0xC000 \"C:\\\\COURSE\\\\A.V5R\"", "atom 0xC000 \"c:\\\\course\\\\a.v5r\"", "atom 0xC000 deleted",
            "atom find \"C:\\\\COURSE\\\\A.V5R\" failed 2"}},
    {"a system message with an address is refused",
        "send WinTestMain * 0x000C 0 0\npost WinTestMain * 0x0113 1 1\n",
        {},
        {"send 0x000C wparam 0 lparam 0 to WinTestMain * failed 5", "post 0x0113 wparam 1 lparam 1 to WinTestMain * failed 5"}},
    {"windows lists the other program's windows",
        "windows\nsend NoSuchClass * 0x0401 1 1\n",
        {},
        {"window {A} WinTestTool \"Tools\"", "window {A} WinTestMain \"Win Test\"",
            "send 0x0401 wparam 1 lparam 1 to NoSuchClass * failed 1400"}},
};

std::string with_pids(std::string line, pid_t a, pid_t b)
{
    for (auto [mark, pid] : {std::pair{"{A}", a}, std::pair{"{B}", b}}) {
        for (size_t at; (at = line.find(mark)) != std::string::npos;)
            line.replace(at, 3, std::to_string(pid));
    }
    return line;
}

// One test per exchange: each has its own time limit and names itself when it fails.
class Exchanges : public Between, public testing::WithParamInterface<Exchange> {
};

TEST_P(Exchanges, BetweenTwoPrograms)
{
    const Exchange& exchange = GetParam();
    Peer a(folder, "a", runtime_dir, "serve 60000\n", WINTEST_PATH);
    ASSERT_TRUE(a.wait_for("serving 60000 ms"));
    Peer b(folder, "b", runtime_dir, std::string(exchange.script) + "post WinTestMain * 0x0010 0 0\n", WINTEST_PATH);
    const std::vector<std::string>& in_b = b.finish();
    const std::vector<std::string>& in_a = a.finish();
    for (const char* line : exchange.in_a)
        EXPECT_TRUE(has_line(in_a, with_pids(line, a.pid(), b.pid()))) << with_pids(line, a.pid(), b.pid()) << "\nin\n" << join(in_a);
    for (const char* line : exchange.in_b)
        EXPECT_TRUE(has_line(in_b, with_pids(line, a.pid(), b.pid()))) << with_pids(line, a.pid(), b.pid()) << "\nin\n" << join(in_b);
    EXPECT_TRUE(has_line(in_a, "wintest: close requested")) << join(in_a);
}

std::string exchange_test_name(const testing::TestParamInfo<Exchange>& info)
{
    std::string name;
    for (const char* c = info.param.name; *c; c++)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Wintest, Exchanges, testing::ValuesIn(kExchanges), exchange_test_name);

// The test process joins the folder as a program of its own.
class WithTestProgram : public Between {
protected:
    void SetUp() override
    {
        Between::SetUp();
        std::string reason;
        ASSERT_TRUE(plat::ipc_start_in(runtime_dir, reason)) << reason;
    }
    void TearDown() override { plat::ipc_stop(); }

    // Starts a serving wintest and finds its main window.
    plat::WindowHandle serve(Peer& peer)
    {
        if (!peer.wait_for("serving"))
            return {};
        return plat::find_window("WinTestMain", "Win Test");
    }

    std::string socket_of(plat::WindowHandle window)
    {
        return runtime_dir + "/" + std::to_string(plat::window_program_of(window)) + ".sock";
    }
};

TEST_F(WithTestProgram, AnotherProgramsWindowAnswersQuestions)
{
    Peer a(folder, "a", runtime_dir, "serve 60000\n", WINTEST_PATH);
    plat::WindowHandle window = serve(a);
    ASSERT_TRUE(window);
    EXPECT_NE(plat::window_program_of(window), plat::ipc_program_number());
    EXPECT_LT(window.id, 0x80000000u);
    EXPECT_TRUE(plat::is_window(window));
    EXPECT_TRUE(plat::is_window_visible(window));
    EXPECT_FALSE(plat::is_iconic(window));
    char text[64];
    EXPECT_EQ(plat::get_window_text(window, text, sizeof text), 8);
    EXPECT_STREQ(text, "Win Test");
    EXPECT_EQ(plat::get_window_text(window, text, 4), 3);
    EXPECT_STREQ(text, "Win");
    EXPECT_EQ(plat::get_class_name(window, text, sizeof text), 11);
    EXPECT_STREQ(text, "WinTestMain");
    uint32_t pid = 0;
    plat::get_window_thread_process_id(window, &pid);
    EXPECT_EQ(pid, uint32_t(a.pid()));
    plat::WindowPlacement placement;
    ASSERT_TRUE(plat::get_window_placement(window, placement));
    EXPECT_EQ(placement.show_cmd, plat::SW_SHOWNORMAL);
    EXPECT_EQ(placement.normal_position.left, 100);
    EXPECT_EQ(placement.normal_position.top, 80);
    EXPECT_EQ(plat::send_message(window, plat::WM_USER + 1, 40, 2), 42);
    EXPECT_TRUE(plat::show_window(window, plat::SW_MINIMIZE));
    EXPECT_TRUE(plat::is_iconic(window));
    EXPECT_TRUE(plat::set_foreground_window(window));
    plat::post_message(window, plat::WM_CLOSE, 0, 0);
    const std::vector<std::string>& events = a.finish();
    EXPECT_TRUE(has_line(events, "from program " + std::to_string(getpid()) + ": show 6 to WinTestMain \"Win Test\" answered 1"))
        << join(events);
    EXPECT_TRUE(has_line(events, "from program " + std::to_string(getpid()) + ": foreground to WinTestMain \"Win Test\" answered 1"))
        << join(events);
    EXPECT_FALSE(plat::is_window(window));
}

TEST_F(WithTestProgram, BusyProgramIsFoundAndStoppedOneTimesOut)
{
    Peer a(folder, "a", runtime_dir, "serve 60000\n", WINTEST_PATH);
    plat::WindowHandle window = serve(a);
    ASSERT_TRUE(window);
    plat::LResult result = 7;
    // Busy for 1.5 s of real time: the send times out, yet its I/O thread still answers for
    // its windows.
    EXPECT_EQ(plat::send_message_timeout(window, plat::WM_USER + 3, 1500, 0, plat::SMTO_NORMAL, 100, &result), 0);
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_TIMEOUT);
    EXPECT_EQ(plat::find_window("WinTestMain", nullptr), window);
    kill(a.pid(), SIGSTOP);
    EXPECT_EQ(plat::send_message_timeout(window, plat::WM_USER + 1, 1, 2, plat::SMTO_NORMAL, 200, &result), 0);
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_TIMEOUT);
    EXPECT_EQ(result, 0);
    // Silent for a second: its windows are skipped.
    EXPECT_FALSE(plat::find_window("WinTestMain", nullptr));
    kill(a.pid(), SIGCONT);
    EXPECT_EQ(plat::send_message_timeout(window, plat::WM_USER + 1, 1, 2, plat::SMTO_ABORTIFHUNG, 5000, &result), 1);
    EXPECT_EQ(result, 3);
    plat::post_message(window, plat::WM_CLOSE, 0, 0);
    a.finish();
}

TEST_F(WithTestProgram, KilledProgramFailsAtOnceAndItsSocketGoes)
{
    Peer a(folder, "a", runtime_dir, "serve 60000\n", WINTEST_PATH);
    plat::WindowHandle window = serve(a);
    ASSERT_TRUE(window);
    std::string socket = socket_of(window);
    ASSERT_EQ(access(socket.c_str(), F_OK), 0);
    kill(a.pid(), SIGKILL);
    waitpid(a.pid(), nullptr, 0);
    a.forget();
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(plat::send_message(window, plat::WM_USER + 1, 1, 2), 0);
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(plat::post_message(window, plat::WM_USER + 1, 1, 2));
    EXPECT_EQ(plat::get_last_error(), plat::ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(plat::kIpcSilentMs));
    EXPECT_NE(access(socket.c_str(), F_OK), 0);
    EXPECT_FALSE(plat::is_window(window));
}

TEST_F(WithTestProgram, ProgramsOfAnotherFolderAreUnseen)
{
    std::string elsewhere = folder + "/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    Peer a(folder, "a", elsewhere, "serve 60000\n", WINTEST_PATH);
    ASSERT_TRUE(a.wait_for("serving"));
    EXPECT_FALSE(plat::find_window("WinTestMain", nullptr));
    kill(a.pid(), SIGTERM);
}

// A folder that others could reach: the program runs alone and says why.
TEST_F(Between, UnsafeFolderLeavesTheProgramAlone)
{
    struct FolderCase {
        const char* name;
        std::string path;
        const char* reason;
    };
    std::string open_folder = folder + "/open";
    ASSERT_EQ(mkdir(open_folder.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open_folder.c_str(), 0755), 0);
    std::string link = folder + "/link";
    ASSERT_EQ(symlink(runtime_dir.c_str(), link.c_str()), 0);
    const FolderCase cases[] = {
        {"open to others", open_folder, "is open to others)"},
        {"a symlink", link, "is not a folder of its own)"},
    };
    for (const FolderCase& test : cases) {
        SCOPED_TRACE(test.name);
        Peer a(folder, "a", test.path, "windows\n", WINTEST_PATH);
        const std::vector<std::string>& events = a.finish();
        ASSERT_FALSE(events.empty());
        std::string first = events.front();
        EXPECT_EQ(first.rfind("between programs: off (", 0), 0u) << first;
        EXPECT_NE(first.find(test.reason), std::string::npos) << first;
        EXPECT_TRUE(has_line(events, "windows: none"));
    }
}

// A frame head {magic, version, kind, serial 1, length} and body_size zero bytes.
std::vector<uint8_t> frame_bytes(uint32_t magic, uint16_t version, uint16_t kind, uint32_t length, size_t body_size)
{
    std::vector<uint8_t> bytes;
    auto put = [&](uint64_t value, int size) {
        for (int i = 0; i < size; i++)
            bytes.push_back(uint8_t(value >> (8 * i)));
    };
    put(magic, 4);
    put(version, 2);
    put(kind, 2);
    put(1, 4);
    put(length, 4);
    bytes.resize(bytes.size() + body_size);
    return bytes;
}

// A copy frame whose byte count says count while bytes follow.
std::vector<uint8_t> copy_with_count(uint32_t count, uint32_t bytes)
{
    std::vector<uint8_t> frame = frame_bytes(0x43505653, 1, 3, 24 + bytes, 24 + bytes);
    for (int i = 0; i < 4; i++)
        frame[16 + 20 + i] = uint8_t(count >> (8 * i));
    return frame;
}

// Frames that lie close their connection; the program goes on answering others.
TEST_F(WithTestProgram, LyingFrameClosesItsConnection)
{
    struct LieCase {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const LieCase lies[] = {
        {"wrong magic", frame_bytes(0x58505653, 1, 1, 28, 28)},
        {"version 2", frame_bytes(0x43505653, 2, 1, 28, 28)},
        {"unknown kind", frame_bytes(0x43505653, 1, 99, 0, 0)},
        {"payload past 16 MiB", frame_bytes(0x43505653, 1, 3, 0xFFFFFFFF, 0)},
        {"send of the wrong size", frame_bytes(0x43505653, 1, 1, 4, 4)},
        {"copy whose count lies", copy_with_count(9, 1)},
    };
    Peer a(folder, "a", runtime_dir, "serve 60000\n", WINTEST_PATH);
    plat::WindowHandle window = serve(a);
    ASSERT_TRUE(window);
    for (const LieCase& lie : lies) {
        SCOPED_TRACE(lie.name);
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::string path = socket_of(window);
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(send(fd, lie.bytes.data(), lie.bytes.size(), MSG_NOSIGNAL), ssize_t(lie.bytes.size()));
        pollfd in {fd, POLLIN, 0};
        ASSERT_EQ(poll(&in, 1, kLineWaitMs), 1);
        char byte = 0;
        EXPECT_LE(recv(fd, &byte, 1, 0), 0); // closed, nothing answered
        close(fd);
        EXPECT_EQ(plat::send_message(window, plat::WM_USER + 1, 1, 2), 3);
    }
    plat::post_message(window, plat::WM_CLOSE, 0, 0);
    a.finish();
}

} // namespace
