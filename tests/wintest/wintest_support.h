// Shared by the end-to-end tests of the programs: running one headless under a script in a
// scratch folder, and reading what the run left behind, its event log and its screenshots.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <png.h>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace wintest {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB

    uint32_t at(int x, int y) const { return pixels.at(size_t(y) * size_t(width) + size_t(x)); }
};

// Reads an 8-bit RGB or RGBA PNG; false when the file is missing or not such a picture.
inline bool read_png(const std::string& path, Picture& out)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr))
        return false;
    out.width = int(image.width);
    out.height = int(image.height);
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    for (size_t i = 0; i < out.pixels.size(); i++) {
        const png_byte* rgb = &bytes[i * 3];
        out.pixels[i] = uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
    }
    return true;
}

// The whole file; empty when it is missing.
inline std::string read_text(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Log lines without their time: real time differs from run to run, the events must not.
inline std::vector<std::string> events_of(const std::string& log)
{
    std::vector<std::string> events;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        size_t space = line.find(' ');
        events.push_back(space == std::string::npos ? line : line.substr(space + 1));
    }
    return events;
}

// What a headless run left: its exit code (128 + signal when killed), its event log and stderr.
struct HeadlessRun {
    int exit_code = -1;
    std::string log;
    std::string errors;
};

// Runs program in folder (its working folder, where the log, the script and the shots go) on the
// headless backend, with the script when it is not empty, and waits for it to end. The caller's
// own PLAT_ settings are left out so that a developer's environment cannot change a test; a
// STORVEL_RUNTIME_DIR in environment replaces the run's own folder for meeting programs.
inline HeadlessRun run_headless(const std::string& program, const std::string& folder,
    const std::string& script, const std::vector<std::string>& arguments = {},
    const std::vector<std::string>& environment = {})
{
    // A folder of its own to meet other programs in: runs of other tests stay unseen.
    std::vector<std::string> settings { "PLAT_BACKEND=headless", "PLAT_LOG=" + folder + "/run.log" };
    bool own_folder = std::none_of(environment.begin(), environment.end(),
        [](const std::string& setting) { return setting.rfind("STORVEL_RUNTIME_DIR=", 0) == 0; });
    if (own_folder)
        settings.push_back("STORVEL_RUNTIME_DIR=" + folder + "/runtime");
    if (!script.empty()) {
        std::ofstream(folder + "/run.script") << script;
        settings.push_back("PLAT_SCRIPT=" + folder + "/run.script");
    }
    settings.insert(settings.end(), environment.begin(), environment.end());
    std::vector<char*> env;
    for (char** e = environ; *e; e++) {
        std::string setting(*e);
        if (setting.rfind("PLAT_", 0) != 0 && setting.rfind("STORVEL_RUNTIME_DIR=", 0) != 0)
            env.push_back(*e);
    }
    for (std::string& setting : settings)
        env.push_back(setting.data());
    env.push_back(nullptr);
    std::vector<std::string> words { program };
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string errors_path = folder + "/stderr.txt";
    posix_spawn_file_actions_addopen(&actions, 2, errors_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    HeadlessRun result;
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.log = read_text(folder + "/run.log");
    result.errors = read_text(errors_path);
    return result;
}

// How long a test waits for a line before it gives up on a program (a hang, not a result).
constexpr int kLineWaitMs = 30000;

// A wintest running headless whose event log comes through a pipe, so that a test can wait
// for a line without polling a file.
class Peer {
public:
    Peer(const std::string& folder, const std::string& name, const std::string& runtime_dir, const std::string& script,
        const std::string& program, std::vector<std::string> arguments = {},
        const std::vector<std::string>& environment = {})
    {
        std::string script_path = folder + "/" + name + ".script";
        std::ofstream(script_path) << script;
        std::vector<std::string> settings {"PLAT_BACKEND=headless", "PLAT_LOG=/dev/stdout", "PLAT_SCRIPT=" + script_path,
            "STORVEL_RUNTIME_DIR=" + runtime_dir};
        settings.insert(settings.end(), environment.begin(), environment.end());
        std::vector<char*> env;
        for (char** e = environ; *e; e++) {
            std::string setting(*e);
            if (setting.rfind("PLAT_", 0) != 0 && setting.rfind("STORVEL_RUNTIME_DIR=", 0) != 0)
                env.push_back(*e);
        }
        for (std::string& setting : settings)
            env.push_back(setting.data());
        env.push_back(nullptr);
        int pipe_fds[2];
        if (pipe2(pipe_fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
        std::string errors = folder + "/" + name + ".stderr";
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> words {program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        running_ = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), env.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_fds[1]);
        fd_ = pipe_fds[0];
    }
    ~Peer()
    {
        if (running_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0)
            close(fd_);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    pid_t pid() const { return pid_; }

    // Reads the log until a line holds text; false when the log ends or stays silent first.
    bool wait_for(const std::string& text)
    {
        for (;;) {
            while (checked_ < events_.size()) {
                if (events_[checked_++].find(text) != std::string::npos)
                    return true;
            }
            if (!read_more())
                return false;
        }
    }

    // Reads the log to its end and collects the program: its event lines, without their time.
    const std::vector<std::string>& finish()
    {
        while (read_more()) {
        }
        if (running_)
            waitpid(pid_, nullptr, 0);
        running_ = false;
        return events_;
    }

    // Stops waiting for the program's end (it was killed).
    void forget() { running_ = false; }

private:
    bool read_more()
    {
        pollfd in {fd_, POLLIN, 0};
        if (fd_ < 0 || poll(&in, 1, kLineWaitMs) <= 0)
            return false;
        char buffer[4096];
        ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        pending_.append(buffer, size_t(got));
        for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            std::vector<std::string> lines = events_of(pending_.substr(0, end));
            events_.insert(events_.end(), lines.begin(), lines.end());
            pending_.erase(0, end + 1);
        }
        return true;
    }

    pid_t pid_ = -1;
    bool running_ = false;
    int fd_ = -1;
    std::string pending_;
    std::vector<std::string> events_;
    size_t checked_ = 0;
};

// A fresh folder under /tmp for one test, removed with everything in it at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* prefix)
    {
        std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
        if (mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~ScratchFolder()
    {
        if (!path_.empty())
            std::system(("rm -rf '" + path_ + "'").c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace wintest
