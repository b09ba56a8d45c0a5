#include "platform/kernel/process.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/kernel/path.h"
#include "platform/kernel/slots.h"

extern char** environ;

namespace plat {

constexpr uint32_t kStartedResult = 33; // what WinExec and ShellExecute return on success
// CreateProcess tries each run of words of an unquoted command line as the program name;
// a long line of short words would otherwise mean hundreds of file look-ups.
constexpr int kMaxProgramNameTries = 32;

struct ChildProcess {
    pid_t pid = 0; // 0 for a launch the observer skipped
    bool ended = false;
    bool detached = false; // no handle left: forget it once it ended
    bool terminated = false;
    uint32_t exit_code = STILL_ACTIVE;
    uint32_t terminate_code = 0;
};

struct ProcessState {
    SlotTable<ChildProcess> table{0x3C7};
    LaunchObserver observer = nullptr;
};

static ProcessState s_process;

// ---- command lines

static bool is_blank(char c) { return c == ' ' || c == '\t'; }

static size_t skip_blanks(std::string_view line, size_t at)
{
    while (at < line.size() && is_blank(line[at]))
        at++;
    return at;
}

// program name -> { '"' chars-up-to-'"' '"' | non-blank }   (backslashes are plain)
static size_t read_program_name(std::string_view line, size_t at, std::string& out)
{
    bool quoted = false;
    for (; at < line.size() && (quoted || !is_blank(line[at])); at++) {
        if (line[at] == '"')
            quoted = !quoted;
        else
            out.push_back(line[at]);
    }
    return at;
}

// Reads one argument starting at a non-blank character; returns where it ended.
static size_t read_argument(std::string_view line, size_t at, std::string& out)
{
    bool quoted = false;
    while (at < line.size() && (quoted || !is_blank(line[at]))) {
        size_t backslashes = 0;
        while (at < line.size() && line[at] == '\\') {
            backslashes++;
            at++;
        }
        if (at >= line.size() || line[at] != '"') {
            out.append(backslashes, '\\');
            if (backslashes == 0)
                out.push_back(line[at++]);
            continue;
        }
        out.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
            out.push_back('"');
        } else if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
            out.push_back('"'); // "" inside quotes: a quote, and the quotes go on
            at++;
        } else {
            quoted = !quoted;
        }
        at++;
    }
    return at;
}

std::vector<std::string> command_line_split(std::string_view line, CommandLineStart start)
{
    std::vector<std::string> arguments;
    size_t at = skip_blanks(line, 0);
    if (start == CommandLineStart::program_name && at < line.size()) {
        arguments.emplace_back();
        at = skip_blanks(line, read_program_name(line, at, arguments.back()));
    }
    while (at < line.size()) {
        arguments.emplace_back();
        at = skip_blanks(line, read_argument(line, at, arguments.back()));
    }
    return arguments;
}

static void append_quoted(std::string& line, const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        line += argument;
        return;
    }
    line.push_back('"');
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote gets one of its own.
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        line.push_back(c);
        backslashes = 0;
    }
    line.append(backslashes * 2, '\\'); // they stand before the closing quote
    line.push_back('"');
}

std::string command_line_join(const std::vector<std::string>& arguments)
{
    std::string line;
    for (size_t i = 0; i < arguments.size(); i++) {
        if (i > 0)
            line.push_back(' ');
        bool plain_name = i == 0 && arguments[0].find_first_of(" \t") == std::string::npos;
        if (plain_name && !arguments[0].empty())
            line += arguments[0];
        else if (i == 0)
            line += "\"" + arguments[0] + "\""; // a program name cannot hold a quote
        else
            append_quoted(line, arguments[i]);
    }
    return line;
}

// ---- the table of started processes

static uint32_t exit_code_of(const ChildProcess& child, int status)
{
    if (child.terminated)
        return child.terminate_code;
    if (WIFEXITED(status))
        return uint32_t(WEXITSTATUS(status));
    return WIFSIGNALED(status) ? 128 + uint32_t(WTERMSIG(status)) : 0;
}

// Collects the process when it has ended; true when it has.
static bool collect(ChildProcess& child, int wait_flags)
{
    if (child.ended)
        return true;
    int status = 0;
    pid_t got = waitpid(child.pid, &status, wait_flags);
    if (got == 0)
        return false;
    child.ended = true; // also when someone else reaped it (got < 0): it is gone either way
    child.exit_code = got == child.pid ? exit_code_of(child, status) : 0;
    return true;
}

void process_reap()
{
    std::vector<uint32_t> gone;
    s_process.table.for_each([&](uint32_t id, ChildProcess& child) {
        if (collect(child, WNOHANG) && child.detached)
            gone.push_back(id);
    });
    for (uint32_t id : gone)
        s_process.table.erase(id);
}

static ChildProcess* find_child(ProcessHandle process)
{
    ChildProcess* child = s_process.table.find(process.id);
    if (!child || child->detached) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return child;
}

bool process_get_exit_code(ProcessHandle process, uint32_t& code)
{
    ChildProcess* child = find_child(process);
    if (!child)
        return false;
    collect(*child, WNOHANG);
    code = child->exit_code;
    return true;
}

// Waits for the pid to become ready without collecting it; false when the time ran out.
static bool poll_child(pid_t pid, uint32_t timeout_ms)
{
    int descriptor = int(syscall(SYS_pidfd_open, pid, 0));
    if (descriptor < 0)
        return true; // no pidfd: let the caller poll once more and report what it finds
    pollfd entry{descriptor, POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&entry, 1, timeout_ms > INT32_MAX ? INT32_MAX : int(timeout_ms));
    } while (ready < 0 && errno == EINTR);
    close(descriptor);
    return ready != 0;
}

bool process_wait(ProcessHandle process, uint32_t timeout_ms)
{
    ChildProcess* child = find_child(process);
    if (!child)
        return false;
    bool ended = collect(*child, WNOHANG);
    if (!ended && timeout_ms == INFINITE)
        ended = collect(*child, 0);
    else if (!ended && timeout_ms > 0 && poll_child(child->pid, timeout_ms))
        ended = collect(*child, WNOHANG);
    if (!ended)
        set_last_error(WAIT_TIMEOUT);
    return ended;
}

bool process_terminate(ProcessHandle process, uint32_t exit_code)
{
    ChildProcess* child = find_child(process);
    if (!child)
        return false;
    if (collect(*child, WNOHANG))
        return true;
    child->terminated = true;
    child->terminate_code = exit_code;
    if (kill(child->pid, SIGKILL) != 0) {
        set_last_error(error_from_errno(errno));
        return false;
    }
    return true;
}

bool process_close(ProcessHandle process)
{
    ChildProcess* child = find_child(process);
    if (!child)
        return false;
    if (collect(*child, WNOHANG))
        s_process.table.erase(process.id);
    else
        child->detached = true;
    return true;
}

void process_set_launch_observer(LaunchObserver observer) { s_process.observer = observer; }

void process_reset()
{
    s_process.table.for_each([](uint32_t, ChildProcess& child) { child.detached = true; });
    s_process.observer = nullptr;
    process_reap();
}

// ---- starting

static bool is_folder(const std::string& host_path)
{
    struct stat info;
    return stat(host_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

static bool is_regular_file(const std::string& host_path)
{
    struct stat info;
    return stat(host_path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A bare program name on PATH, as posix_spawnp would find it; "" when it is not there.
static std::string search_host_path(const std::string& name)
{
    const char* path = getenv("PATH");
    std::string_view folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        size_t end = folders.find(':');
        std::string_view folder = folders.substr(0, end);
        std::string candidate = std::string(folder.empty() ? "." : folder) + "/" + name;
        if (is_regular_file(candidate) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        folders = end == std::string_view::npos ? std::string_view() : folders.substr(end + 1);
    }
    return "";
}

// The program's host path, or "" with the Windows error for what is wrong with it.
static std::string resolve_host_program(const std::string& program)
{
    std::string host = program.find('/') == std::string::npos ? search_host_path(program) : program;
    struct stat info;
    if (host.empty() || stat(host.c_str(), &info) != 0) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return "";
    }
    if (S_ISDIR(info.st_mode)) {
        set_last_error(ERROR_ACCESS_DENIED);
        return "";
    }
    if (!S_ISREG(info.st_mode) || access(host.c_str(), X_OK) != 0) {
        set_last_error(ERROR_BAD_EXE_FORMAT);
        return "";
    }
    return host;
}

static uint32_t spawn_error(int host_errno)
{
    switch (host_errno) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case EACCES: return ERROR_ACCESS_DENIED;
    case ENOMEM:
    case EAGAIN: return ERROR_NOT_ENOUGH_MEMORY;
    default: return error_from_errno(host_errno);
    }
}

// Our environment with PLAT_CODEPAGE naming our active code page: the code page is the
// system's on Windows, shared by every program, so a program started from a Korean one is
// Korean too.
static std::vector<std::string> child_environment()
{
    std::vector<std::string> settings;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "PLAT_CODEPAGE=", 14) != 0)
            settings.emplace_back(*e);
    }
    settings.push_back("PLAT_CODEPAGE=" + std::to_string(get_active_code_page()));
    return settings;
}

// The child gets default signal handling, an empty signal mask, a session of its own (it
// outlives us, as a started Windows program does) and none of our descriptors past stderr.
static int spawn(const std::string& program, const std::vector<std::string>& argv, const std::string& folder,
                 pid_t& pid)
{
    std::vector<char*> pointers;
    for (const std::string& argument : argv)
        pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t all_signals;
    sigset_t no_signals;
    sigfillset(&all_signals);
    sigemptyset(&no_signals);
    posix_spawnattr_setsigdefault(&attributes, &all_signals);
    posix_spawnattr_setsigmask(&attributes, &no_signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
    std::vector<std::string> settings = child_environment();
    std::vector<char*> environment;
    for (std::string& setting : settings)
        environment.push_back(setting.data());
    environment.push_back(nullptr);
    int result = posix_spawn(&pid, program.c_str(), &actions, &attributes, pointers.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return result;
}

ProcessHandle process_start(const std::vector<std::string>& argv, const std::string& host_folder)
{
    process_reap();
    if (argv.empty() || argv[0].empty()) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return ProcessHandle{};
    }
    if (!host_folder.empty() && !is_folder(host_folder)) {
        set_last_error(ERROR_DIRECTORY);
        return ProcessHandle{};
    }
    // A path is checked before the observer sees it, as it names a file the caller controls;
    // a bare name is searched on PATH only after it, so a headless run does not depend on
    // the programs the host has installed.
    bool bare_name = argv[0].find('/') == std::string::npos;
    std::string program = bare_name ? std::string() : resolve_host_program(argv[0]);
    if (!bare_name && program.empty())
        return ProcessHandle{};
    ChildProcess child;
    if (s_process.observer && s_process.observer(argv, host_folder) == LaunchDecision::skip) {
        child.ended = true;
        child.exit_code = 0;
        return ProcessHandle{s_process.table.insert(child)};
    }
    if (bare_name && (program = resolve_host_program(argv[0])).empty())
        return ProcessHandle{};
    int result = spawn(program, argv, host_folder, child.pid);
    if (result != 0) {
        set_last_error(spawn_error(result));
        return ProcessHandle{};
    }
    return ProcessHandle{s_process.table.insert(child)};
}

// ---- Windows names of programs and documents

static bool names_a_folder(std::string_view path)
{
    bool has_drive = path.size() >= 2 && path[1] == ':';
    return has_drive || path.find_first_of("\\/") != std::string_view::npos;
}

static bool ends_with_exe(std::string_view name)
{
    return name.size() > 4 && name[name.size() - 4] == '.' && strncasecmp(name.data() + name.size() - 3, "exe", 3) == 0;
}

static bool has_extension(std::string_view name)
{
    size_t dot = name.rfind('.');
    return dot != std::string_view::npos && name.find_first_of("\\/", dot) == std::string_view::npos;
}

// The spellings a Windows program name may have on the host: as given, without ".EXE" (our
// programs carry no extension), or with ".EXE" added as CreateProcess does.
static std::vector<std::string> program_spellings(std::string_view name)
{
    std::vector<std::string> spellings{std::string(name)};
    if (ends_with_exe(name))
        spellings.emplace_back(name.substr(0, name.size() - 4));
    else if (!has_extension(name))
        spellings.push_back(std::string(name) + ".exe");
    return spellings;
}

// The host file of a Windows path when it exists (a file or a folder), else "".
static std::string existing_host(std::string_view windows_path)
{
    std::string host = path_to_host(windows_path);
    struct stat info;
    return !host.empty() && stat(host.c_str(), &info) == 0 ? host : std::string();
}

// Finds a program named by a Windows path or a bare name: for a bare name the program's
// folder, the current folder and PATH are searched, as Windows does.
static std::string find_program(std::string_view name)
{
    std::string program_folder = get_program_folder();
    for (const std::string& spelling : program_spellings(name)) {
        std::vector<std::string> candidates{spelling};
        if (!names_a_folder(spelling) && !program_folder.empty())
            candidates.insert(candidates.begin(), program_folder + "\\" + spelling);
        for (const std::string& candidate : candidates) {
            std::string host = existing_host(candidate);
            if (!host.empty() && !is_folder(host))
                return host;
        }
        if (!names_a_folder(spelling)) {
            if (std::string host = search_host_path(spelling); !host.empty())
                return host;
        }
    }
    return "";
}

// Error 3 when the folder part of a missing file does not exist either, else 2.
static uint32_t missing_file_error(std::string_view windows_path)
{
    size_t cut = windows_path.find_last_of("\\/");
    if (cut == std::string_view::npos)
        return ERROR_FILE_NOT_FOUND;
    std::string folder(windows_path.substr(0, cut + 1));
    return existing_host(folder).empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
}

// An absolute Windows path among the arguments means a file: the host program needs its
// host path ("C:\DATA\A.TXT" -> "/data/a.txt").
static std::string host_argument(const std::string& argument)
{
    bool absolute = argument.size() >= 3 && isalpha(static_cast<unsigned char>(argument[0])) && argument[1] == ':'
        && (argument[2] == '\\' || argument[2] == '/');
    if (!absolute)
        return argument;
    std::string host = path_to_host(argument);
    return host.empty() ? argument : host;
}

static std::string current_host_folder()
{
    std::string folder = path_to_host(get_current_directory());
    return is_folder(folder) ? folder : std::string();
}

// Starts a found program with Windows arguments; the process runs on without a handle.
static uint32_t start_detached(const std::string& host_program, const std::vector<std::string>& arguments,
                               const std::string& host_folder)
{
    std::vector<std::string> argv{host_program};
    for (const std::string& argument : arguments)
        argv.push_back(host_argument(argument));
    ProcessHandle process = process_start(argv, host_folder);
    if (!process)
        return get_last_error();
    process_close(process);
    return ERROR_SUCCESS;
}

// ---- WinExec

struct ProgramSplit {
    std::string host_program; // "" when not found
    std::string name;         // the name as written, for the error
    std::string_view rest;    // the arguments' text
};

// CreateProcess's rule: a quoted name stands alone; otherwise "A B C" is tried as "A", then
// "A B", then "A B C", and the first that names a program wins.
static ProgramSplit split_program(std::string_view line)
{
    ProgramSplit split;
    if (line[0] == '"') {
        size_t end = read_program_name(line, 0, split.name);
        split.host_program = find_program(split.name);
        split.rest = line.substr(end);
        return split;
    }
    size_t first_end = std::min(line.find_first_of(" \t"), line.size());
    split.name = std::string(line.substr(0, first_end));
    split.rest = line.substr(first_end);
    int tries = 0;
    for (size_t end = first_end; tries < kMaxProgramNameTries; tries++) {
        std::string host = find_program(line.substr(0, end));
        if (!host.empty()) {
            split.host_program = host;
            split.rest = line.substr(end);
            return split;
        }
        if (end >= line.size())
            break;
        end = std::min(line.find_first_of(" \t", skip_blanks(line, end)), line.size());
    }
    return split;
}

// WinExec's results for the reasons a start fails.
static uint32_t win_exec_result(uint32_t error)
{
    static const struct {
        uint32_t error;
        uint32_t result;
    } kResults[] = {
        {ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
        {ERROR_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
        {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {ERROR_BAD_EXE_FORMAT, ERROR_BAD_FORMAT}, // "the .EXE file is invalid"
        {ERROR_DIRECTORY, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& row : kResults) {
        if (row.error == error)
            return row.result;
    }
    return 0; // out of memory or resources
}

uint32_t start_program(std::string_view command_line)
{
    std::string_view line = command_line.substr(skip_blanks(command_line, 0));
    if (line.empty())
        return ERROR_FILE_NOT_FOUND;
    ProgramSplit split = split_program(line);
    if (split.host_program.empty()) {
        uint32_t error = names_a_folder(split.name) ? missing_file_error(split.name) : ERROR_FILE_NOT_FOUND;
        set_last_error(error);
        return win_exec_result(error);
    }
    std::vector<std::string> arguments = command_line_split(split.rest, CommandLineStart::argument);
    uint32_t error = start_detached(split.host_program, arguments, current_host_folder());
    return error == ERROR_SUCCESS ? kStartedResult : win_exec_result(error);
}

// ---- ShellExecute

static bool is_address(std::string_view file)
{
    size_t colon = file.find(':');
    if (colon == std::string_view::npos || colon < 2) // "C:" is a drive, not a scheme
        return false;
    for (char c : file.substr(0, colon)) {
        if (!isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return file.substr(colon).starts_with("://") || strncasecmp(file.data(), "mailto:", 7) == 0;
}

// A file the host can run: executable, and an object file or a script, so that documents on
// file systems that mark every file executable still open as documents.
static bool is_host_program(const std::string& host)
{
    if (!is_regular_file(host) || access(host.c_str(), X_OK) != 0)
        return false;
    char head[4] = {};
    FILE* file = fopen(host.c_str(), "rb");
    size_t got = file ? fread(head, 1, sizeof head, file) : 0;
    if (file)
        fclose(file);
    bool elf = got == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
    bool script = got >= 2 && head[0] == '#' && head[1] == '!';
    return elf || script;
}

static bool is_relative(std::string_view path)
{
    bool has_drive = path.size() >= 2 && path[1] == ':';
    return !has_drive && !path.starts_with('\\') && !path.starts_with('/');
}

// The host file or folder that file names, looked for in folder first when it is relative.
static std::string find_shell_target(std::string_view file, std::string_view folder)
{
    if (!folder.empty() && is_relative(file)) {
        std::string beside = std::string(folder) + "\\" + std::string(file);
        if (std::string host = existing_host(beside); !host.empty())
            return host;
    }
    if (std::string host = existing_host(file); !host.empty())
        return host;
    return names_a_folder(file) ? std::string() : find_program(file);
}

static uint32_t shell_result(uint32_t error)
{
    switch (error) {
    case ERROR_SUCCESS: return kStartedResult;
    case ERROR_FILE_NOT_FOUND: return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY: return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED: return SE_ERR_ACCESSDENIED;
    case ERROR_NOT_ENOUGH_MEMORY: return SE_ERR_OOM;
    case ERROR_BAD_EXE_FORMAT: return ERROR_BAD_FORMAT;
    default: return 0;
    }
}

// Hands a document, folder or address to the desktop's opener.
static uint32_t open_with_desktop(const std::string& target, const std::string& host_folder)
{
    ProcessHandle process = process_start({"xdg-open", target}, host_folder);
    if (!process)
        return get_last_error() == ERROR_FILE_NOT_FOUND ? SE_ERR_NOASSOC : shell_result(get_last_error());
    process_close(process);
    return kStartedResult;
}

uint32_t shell_execute(std::string_view verb, std::string_view file, std::string_view parameters,
                       std::string_view folder)
{
    if (!verb.empty() && !(verb.size() == 4 && strncasecmp(verb.data(), "open", 4) == 0))
        return SE_ERR_NOASSOC; // the desktop offers no other verb in general
    if (file.empty())
        return SE_ERR_FNF;
    std::string host_folder = folder.empty() ? current_host_folder() : existing_host(folder);
    if (!folder.empty() && (host_folder.empty() || !is_folder(host_folder)))
        return SE_ERR_PNF;
    if (is_address(file))
        return open_with_desktop(std::string(file), host_folder);
    std::string target = find_shell_target(file, folder);
    if (target.empty())
        return names_a_folder(file) ? shell_result(missing_file_error(file)) : SE_ERR_FNF;
    if (!is_host_program(target))
        return open_with_desktop(target, host_folder);
    std::vector<std::string> arguments = command_line_split(parameters, CommandLineStart::argument);
    return shell_result(start_detached(target, arguments, host_folder));
}

} // namespace plat
