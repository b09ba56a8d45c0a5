// End-to-end on a real display: the wintest program runs with the display backend under Xvfb,
// is driven with real X input (xdotool) and photographed from outside (ImageMagick's import),
// and must react as it does headless to the same steps: the same log events, the same pixels
// in its windows. An idle program must not use the processor.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "wintest_support.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(15);

using namespace wintest;

// The environment of this process without the variables a run sets itself, plus settings.
std::vector<std::string> environment_with(const std::vector<std::string>& settings)
{
    static const char* const kReplaced[] = {"PLAT_", "DISPLAY=", "WAYLAND_DISPLAY=", "DBUS_SESSION_BUS_ADDRESS=",
        "XMODIFIERS=", "LSAN_OPTIONS="};
    std::vector<std::string> env;
    for (char** e = environ; *e; e++) {
        std::string entry = *e;
        bool replaced = false;
        for (const char* prefix : kReplaced)
            replaced = replaced || entry.rfind(prefix, 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), settings.begin(), settings.end());
    return env;
}

// Starts a program found on PATH; -1 when it cannot start. Its output goes to output_path.
// Pipes without close-on-exec stay open in it (Xvfb's -displayfd).
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
    const std::string& output_path)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : env)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

// Waits for a process up to the patience limit; its exit code, or -1 after killing it.
int wait_for_exit(pid_t pid)
{
    auto deadline = Clock::now() + kPatience;
    int status = 0;
    while (Clock::now() < deadline) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// The X server for the suite, on a display number it picks itself (-displayfd), so that runs
// in parallel never meet.
class Display {
public:
    bool start(std::string& why)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            why = "no pipe";
            return false;
        }
        std::vector<std::string> argv{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
            "1024x768x24", "-nolisten", "tcp"};
        m_pid = spawn(argv, environment_with({}), "/dev/null");
        close(fds[1]);
        if (m_pid < 0) {
            close(fds[0]);
            why = "Xvfb is not installed";
            return false;
        }
        std::string number = read_number(fds[0]);
        close(fds[0]);
        if (number.empty()) {
            stop();
            why = "Xvfb did not start";
            return false;
        }
        name = ":" + number;
        return true;
    }

    void stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            wait_for_exit(m_pid);
        }
        m_pid = -1;
    }

    std::string name;

private:
    static std::string read_number(int fd)
    {
        std::string text;
        auto deadline = Clock::now() + kPatience;
        while (Clock::now() < deadline && text.find('\n') == std::string::npos) {
            pollfd wanted{fd, POLLIN, 0};
            if (poll(&wanted, 1, 100) <= 0)
                continue;
            char buffer[32];
            ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            text.append(buffer, size_t(got));
        }
        size_t end = text.find('\n');
        return end == std::string::npos ? std::string() : text.substr(0, end);
    }

    pid_t m_pid = -1;
};

class WintestOnDisplay : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_display = new Display;
        if (!s_display->start(s_why)) {
            delete s_display;
            s_display = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        if (s_display)
            s_display->stop();
        delete s_display;
        s_display = nullptr;
    }

    void SetUp() override
    {
        if (!s_display)
            GTEST_SKIP() << "no X server for the display test: " << s_why;
        char pattern[] = "/tmp/wintest-display-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        if (!folder.empty())
            std::system(("rm -rf '" + folder + "'").c_str());
    }

    std::vector<std::string> display_env(const std::vector<std::string>& more = {}) const
    {
        std::vector<std::string> settings{"DISPLAY=" + s_display->name, "DBUS_SESSION_BUS_ADDRESS=disabled:"};
        settings.insert(settings.end(), more.begin(), more.end());
        return environment_with(settings);
    }

    // xdotool or import with the test's display; true when it ran and succeeded.
    bool tool(const std::vector<std::string>& argv)
    {
        pid_t pid = spawn(argv, display_env(), folder + "/tools.txt");
        return pid > 0 && wait_for_exit(pid) == 0;
    }

    bool log_has(const std::string& text) const
    {
        return read_text(folder + "/run.log").find(text) != std::string::npos;
    }

    bool wait_for_log(const std::string& text) const
    {
        auto deadline = Clock::now() + kPatience;
        while (!log_has(text)) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    // Photographs the screen until the pixel has the colour (the program paints after it logs).
    bool capture_when(int x, int y, uint32_t color, Picture& shot)
    {
        auto deadline = Clock::now() + kPatience;
        std::string path = folder + "/screen.png";
        do {
            if (tool({"import", "-window", "root", path}) && read_png(path, shot) && shot.width > x
                && shot.height > y && shot.at(x, y) == color)
                return true;
        } while (Clock::now() < deadline);
        return false;
    }

    // The processor time the process used, in clock ticks.
    static long cpu_ticks(pid_t pid)
    {
        std::string stat = read_text("/proc/" + std::to_string(pid) + "/stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        long user = 0;
        long system = 0;
        for (int i = 3; i <= 15 && fields >> field; i++) {
            if (i == 14)
                user = std::atol(field.c_str());
            if (i == 15)
                system = std::atol(field.c_str());
        }
        return user + system;
    }

    std::string folder;
    static Display* s_display;
    static std::string s_why;
};

Display* WintestOnDisplay::s_display = nullptr;
std::string WintestOnDisplay::s_why;

// The same steps as the display run below, for the headless backend; SHOT is the picture.
constexpr const char* kHeadlessSteps = R"(wait 1000
dblclick 184 163
wait 600
type Hi!
key Enter
key F5
click 450 300 right
wait 100
shot SHOT
click 486 93
)";

struct WindowArea {
    const char* name;
    int left, top, right, bottom;
};

// wintest's main window and tool window; outside them the desktops differ.
static const WindowArea kWindows[] = {
    {"main window", 100, 80, 500, 380},
    {"tool window", 560, 80, 720, 200},
};

constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlack = 0x000000;

std::vector<std::string> headless_events(const std::string& folder, Picture& shot,
    const char* headless_steps = kHeadlessSteps)
{
    std::string steps = headless_steps;
    steps.replace(steps.find("SHOT"), 4, folder + "/headless.png");
    std::ofstream(folder + "/headless.script") << steps;
    std::vector<std::string> env = environment_with({"PLAT_BACKEND=headless", "PLAT_LOG=" + folder + "/headless.log",
        "PLAT_SCRIPT=" + folder + "/headless.script"});
    pid_t pid = spawn({WINTEST_PATH}, env, folder + "/headless.txt");
    EXPECT_EQ(wait_for_exit(pid), 0) << read_text(folder + "/headless.txt");
    EXPECT_TRUE(read_png(folder + "/headless.png", shot));
    return events_of(read_text(folder + "/headless.log"));
}

TEST_F(WintestOnDisplay, RealInputGivesTheHeadlessReactionsAndPixels)
{
    std::vector<std::string> env = display_env({"PLAT_BACKEND=sdl", "PLAT_LOG=" + folder + "/run.log",
        "LSAN_OPTIONS=suppressions=" STORVEL_SOURCE_DIR "/tests/wintest/lsan_display.supp"});
    pid_t pid = spawn({WINTEST_PATH}, env, folder + "/program.txt");
    ASSERT_GT(pid, 0);
    // The timer's ticks come first, as in the headless steps, so the events line up.
    ASSERT_TRUE(wait_for_log("wintest: tick 3")) << read_text(folder + "/program.txt");

    ASSERT_TRUE(tool({"xdotool", "mousemove", "184", "163", "click", "--repeat", "2", "--delay", "80", "1"}));
    ASSERT_TRUE(wait_for_log("panel double click"));
    ASSERT_TRUE(tool({"xdotool", "type", "--delay", "40", "Hi!"}));
    ASSERT_TRUE(tool({"xdotool", "key", "Return", "F5"}));
    ASSERT_TRUE(wait_for_log("key F5"));
    ASSERT_TRUE(tool({"xdotool", "mousemove", "450", "300", "click", "3"}));
    ASSERT_TRUE(wait_for_log("main right click"));
    Picture screen;
    EXPECT_TRUE(capture_when(104 + 34 + 4, 103 + 200 + 4, kBlack, screen)) << "the third typed square";

    // Idle: no timer, no input. The program must sleep, not poll.
    long before = cpu_ticks(pid);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    long used = cpu_ticks(pid) - before;
    EXPECT_LT(used, sysconf(_SC_CLK_TCK) / 10) << "clock ticks used in 1 s of idling";

    ASSERT_TRUE(tool({"xdotool", "mousemove", "486", "93", "click", "1"})); // the close box
    EXPECT_EQ(wait_for_exit(pid), 0) << read_text(folder + "/program.txt");

    Picture expected;
    std::vector<std::string> headless = headless_events(folder, expected);
    EXPECT_EQ(events_of(read_text(folder + "/run.log")), headless);
    ASSERT_EQ(screen.width, expected.width);
    ASSERT_EQ(screen.height, expected.height);
    EXPECT_EQ(screen.at(184, 163), kGreen);
    for (const WindowArea& area : kWindows) {
        SCOPED_TRACE(area.name);
        int differing = 0;
        for (int y = area.top; y < area.bottom; y++) {
            for (int x = area.left; x < area.right; x++)
                differing += screen.at(x, y) != expected.at(x, y);
        }
        EXPECT_EQ(differing, 0);
    }
}

// The same drag as the display run below: the main window's caption from (250, 90) by
// (100, 200), so that the window is at (200, 280), clear of the tool window.
constexpr const char* kHeadlessDrag = R"(wait 1000
down 250 90
move 300 190
move 350 290
up 350 290
wait 100
shot SHOT
click 586 293
)";

constexpr uint32_t kActiveCaption = 0x000080;

// The pointer's travel moves the window, though the window moves under the pointer on its way:
// the same log and the same pixels of the window at its new place as headless.
TEST_F(WintestOnDisplay, DraggingTheCaptionMovesTheWindowAsHeadless)
{
    std::vector<std::string> env = display_env({"PLAT_BACKEND=sdl", "PLAT_LOG=" + folder + "/run.log",
        "LSAN_OPTIONS=suppressions=" STORVEL_SOURCE_DIR "/tests/wintest/lsan_display.supp"});
    pid_t pid = spawn({WINTEST_PATH}, env, folder + "/program.txt");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(wait_for_log("wintest: tick 3")) << read_text(folder + "/program.txt");
    Picture screen;
    ASSERT_TRUE(capture_when(250, 90, kActiveCaption, screen)) << "the main window's caption";

    // Small quick steps: some are made while the window is still on its way to the place of the
    // one before, relative to where it was, and must not pull it back.
    std::vector<std::string> drag{"xdotool", "mousemove", "250", "90", "mousedown", "1"};
    for (int step = 1; step <= 20; step++) {
        drag.insert(drag.end(), {"mousemove", std::to_string(250 + 5 * step), std::to_string(90 + 10 * step),
            "sleep", "0.002"});
    }
    drag.insert(drag.end(), {"mouseup", "1"});
    ASSERT_TRUE(tool(drag));
    ASSERT_TRUE(wait_for_log("main moved to")) << read_text(folder + "/program.txt");
    EXPECT_TRUE(log_has("wintest: main moved to 200,280")) << read_text(folder + "/run.log");
    EXPECT_TRUE(capture_when(350, 290, kActiveCaption, screen)) << "the caption at its new place";

    ASSERT_TRUE(tool({"xdotool", "mousemove", "586", "293", "click", "1"})); // the moved close box
    EXPECT_EQ(wait_for_exit(pid), 0) << read_text(folder + "/program.txt");

    // The steps differ from headless; each must go on from the one before.
    std::vector<std::string> events;
    int last_x = 100;
    int last_y = 80;
    for (const std::string& event : events_of(read_text(folder + "/run.log"))) {
        int x = 0;
        int y = 0;
        if (std::sscanf(event.c_str(), "wintest: main moving to %d,%d", &x, &y) != 2) {
            events.push_back(event);
            continue;
        }
        EXPECT_TRUE(x >= last_x && y >= last_y) << event << " after " << last_x << "," << last_y;
        last_x = x;
        last_y = y;
    }
    Picture expected;
    std::vector<std::string> headless;
    for (const std::string& event : headless_events(folder, expected, kHeadlessDrag)) {
        if (event.find("moving to") == std::string::npos)
            headless.push_back(event);
    }
    EXPECT_EQ(events, headless);
    ASSERT_EQ(screen.width, expected.width);
    ASSERT_EQ(screen.height, expected.height);
    int differing = 0;
    for (int y = 280; y < 580; y++) {
        for (int x = 200; x < 600; x++)
            differing += screen.at(x, y) != expected.at(x, y);
    }
    EXPECT_EQ(differing, 0) << "pixels of the moved main window";
}

// The typing tutor on the display: its statistics screen has no timer and must sleep while
// nothing happens. It runs from a folder of its own holding what it needs beside it.
TEST_F(WintestOnDisplay, TheTutorsStatisticsScreenUsesNoProcessorWhileIdle)
{
    const std::string bin = STORVEL_BINARY_DIR "/bin/";
    // Linked, not symbolically: the tutor's folder is where its program file really is.
    for (const char* name : {"qkt32", "qktbmp.map", "PNXBMP.FNT", "varnek.exe"}) {
        std::error_code error;
        std::filesystem::create_hard_link(bin + name, folder + "/" + name, error);
        if (error)
            std::filesystem::copy_file(bin + name, folder + "/" + name, error);
        ASSERT_FALSE(error) << name << ": " << error.message();
    }
    std::vector<std::string> env = display_env({"PLAT_BACKEND=sdl", "PLAT_LOG=" + folder + "/run.log",
        "STORVEL_RUNTIME_DIR=" + folder, "LSAN_OPTIONS=suppressions=" STORVEL_SOURCE_DIR "/tests/wintest/lsan_display.supp"});
    pid_t pid = spawn({folder + "/qkt32"}, env, folder + "/program.txt");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(wait_for_log("window shown")) << read_text(folder + "/program.txt");
    // The window is centred on the 1024 x 768 screen; the pointer over it gives it the keys.
    // Enter ends the intro, 4 on the menu opens the statistics; a busy machine may take its
    // time to show the window and the menu, so both are pressed until the screen opens.
    auto deadline = Clock::now() + 2 * kPatience;
    while (!log_has("stat chart tab=501 group=0 items=19") && Clock::now() < deadline) {
        ASSERT_TRUE(tool({"xdotool", "mousemove", "250", "600", "key", "Return", "4"}));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    ASSERT_TRUE(wait_for_log("stat chart tab=501 group=0 items=19")) << read_text(folder + "/run.log");

    std::this_thread::sleep_for(std::chrono::seconds(1)); // its first paint
    long before = cpu_ticks(pid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    EXPECT_EQ(cpu_ticks(pid) - before, 0) << "clock ticks used in 10 s on the statistics screen";

    ASSERT_TRUE(tool({"xdotool", "key", "Escape"}));
    ASSERT_TRUE(wait_for_log("screen close Stat")) << read_text(folder + "/run.log");
    ASSERT_TRUE(tool({"xdotool", "key", "alt+F4"}));
    EXPECT_EQ(wait_for_exit(pid), 0) << read_text(folder + "/program.txt");
}

} // namespace
