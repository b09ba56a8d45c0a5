// Sends to another program: send_message round trips to a window of a wintest process that
// serves, against the same bytes (a 44-byte request frame, a 28-byte answer) over a bare
// Unix-domain socket pair to a forked process that echoes them. The last line is "ratio: X",
// ours over the bare round trip.
#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "bench/bench_ratio.h"
#include "platform/ipc/ipc.h"
#include "platform/window/window.h"

extern char** environ;

namespace {

constexpr size_t kRequestBytes = 16 + 28;
constexpr size_t kAnswerBytes = 16 + 12;

struct Served {
    std::string folder;
    pid_t pid = -1;
    plat::WindowHandle window;
};

void pause_briefly()
{
    timespec pause {0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
}

// A wintest serving in a folder of its own, and its main window as this program sees it.
bool start_served(Served& served)
{
    char pattern[] = "/tmp/bench-ipc-XXXXXX";
    if (!mkdtemp(pattern))
        return false;
    served.folder = pattern;
    std::string script = served.folder + "/serve.script";
    FILE* file = std::fopen(script.c_str(), "w");
    if (!file)
        return false;
    std::fputs("serve 3600000\n", file);
    std::fclose(file);
    std::vector<std::string> settings {"PLAT_BACKEND=headless", "PLAT_SCRIPT=" + script, "STORVEL_RUNTIME_DIR=" + served.folder};
    std::vector<char*> env;
    for (char** e = environ; *e; e++) {
        if (std::string(*e).rfind("PLAT_", 0) != 0 && std::string(*e).rfind("STORVEL_RUNTIME_DIR=", 0) != 0)
            env.push_back(*e);
    }
    for (std::string& setting : settings)
        env.push_back(setting.data());
    env.push_back(nullptr);
    std::string program = WINTEST_PATH;
    char* argv[] = {program.data(), nullptr};
    if (posix_spawn(&served.pid, program.c_str(), nullptr, nullptr, argv, env.data()) != 0)
        return false;
    std::string reason;
    if (!plat::ipc_start_in(served.folder, reason))
        return false;
    for (int tries = 0; tries < 1000 && !served.window; tries++) {
        served.window = plat::find_window("WinTestMain", "Win Test");
        if (!served.window)
            pause_briefly();
    }
    return bool(served.window);
}

void stop_served(Served& served)
{
    if (served.window)
        plat::post_message(served.window, plat::WM_CLOSE, 0, 0);
    plat::ipc_stop();
    if (served.pid > 0)
        waitpid(served.pid, nullptr, 0);
    if (!served.folder.empty())
        std::system(("rm -rf '" + served.folder + "'").c_str());
}

void BM_SendToOtherProgram(benchmark::State& state)
{
    Served served;
    if (!start_served(served)) {
        state.SkipWithError("wintest did not serve");
        stop_served(served);
        return;
    }
    int64_t total = 0;
    for (auto _ : state)
        total += plat::send_message(served.window, plat::WM_USER + 1, 1, 2);
    benchmark::DoNotOptimize(total);
    if (total != int64_t(3 * state.iterations()))
        state.SkipWithError("a send went wrong");
    stop_served(served);
}
BENCHMARK(BM_SendToOtherProgram)->UseRealTime();

bool transfer(int fd, uint8_t* bytes, size_t size, bool sending)
{
    size_t done = 0;
    while (done < size) {
        ssize_t moved = sending ? send(fd, bytes + done, size - done, MSG_NOSIGNAL) : recv(fd, bytes + done, size - done, 0);
        if (moved <= 0)
            return false;
        done += size_t(moved);
    }
    return true;
}

void BM_BareSocketPair(benchmark::State& state)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        state.SkipWithError("no socket pair");
        return;
    }
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        uint8_t request[kRequestBytes];
        uint8_t answer[kAnswerBytes] = {};
        while (transfer(fds[1], request, sizeof request, false) && transfer(fds[1], answer, sizeof answer, true)) {
        }
        _exit(0);
    }
    close(fds[1]);
    uint8_t request[kRequestBytes] = {};
    uint8_t answer[kAnswerBytes];
    for (auto _ : state) {
        if (!transfer(fds[0], request, sizeof request, true) || !transfer(fds[0], answer, sizeof answer, false)) {
            state.SkipWithError("the echo ended");
            break;
        }
    }
    close(fds[0]);
    waitpid(child, nullptr, 0);
}
BENCHMARK(BM_BareSocketPair)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    BenchTimes times = bench_run_timed(BenchKeep::last);
    return bench_print_ratio(times, "BM_SendToOtherProgram", "BM_BareSocketPair");
}
