// Starting programs and opening documents, with the meaning of CreateProcess, WinExec and
// ShellExecute. A program always starts from an argument vector (posix_spawn), never from a
// text handed to a shell, so no path or parameter can inject a command. Programs and
// documents named by Windows paths are mapped through path_to_host.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/clock.h" // INFINITE
#include "platform/kernel/handle.h"

namespace plat {

using ProcessHandle = Handle<struct ProcessTag>;

constexpr uint32_t STILL_ACTIVE = 259; // the exit code of a process that is still running

// ShellExecute's failures; any result above 32 is success.
enum : uint32_t {
    SE_ERR_FNF = 2,
    SE_ERR_PNF = 3,
    SE_ERR_ACCESSDENIED = 5,
    SE_ERR_OOM = 8,
    SE_ERR_NOASSOC = 31,
};

// Called with every launch before it happens (argv as given to process_start, the host
// working folder, "" for ours), once a program path and the folder passed their checks; a
// bare name comes before the PATH search, so headless runs do not depend on what the host
// has installed. The headless backend logs the launch and skips it; a skipped launch counts
// as a program that started and ended with code 0.
enum class LaunchDecision { start, skip };
using LaunchObserver = LaunchDecision (*)(const std::vector<std::string>& argv, const std::string& host_folder);
void process_set_launch_observer(LaunchObserver observer);

// Starts argv[0] (a host path, or a bare name searched on PATH) with argv in host_folder ("":
// the current one). Null on failure: error 2 no such program, 193 not a program, 5 a folder,
// 267 no such working folder.
ProcessHandle process_start(const std::vector<std::string>& argv, const std::string& host_folder);

// GetExitCodeProcess: STILL_ACTIVE while running; 128 + n after signal n. False with error 6.
bool process_get_exit_code(ProcessHandle process, uint32_t& code);

// Waits up to timeout_ms (INFINITE, or 0 to poll) for the process to end. True when it has
// ended; false with error 258 on time-out, 6 for a bad handle.
bool process_wait(ProcessHandle process, uint32_t timeout_ms);

// TerminateProcess: ends the process; its exit code becomes exit_code.
bool process_terminate(ProcessHandle process, uint32_t exit_code);

// Closes the handle; a process still running goes on and is collected when it ends.
bool process_close(ProcessHandle process);

// Collects processes that ended and whose handles are gone, so none is left as a zombie.
// Every call of this module does it; a message loop may call it too.
void process_reap();

// WinExec: runs a Windows command line. The program is found by CreateProcess's rules (a
// quoted name, else the shortest run of words that names a program: "C:\Program Files\A.EXE
// x" works unquoted), then in the program's and the current folder and on PATH; a name
// ending in ".EXE" also finds the host program without it. The rest is split by Windows
// rules and arguments that are absolute Windows paths become host paths. Returns 33 when
// started; 2 not found, 3 path not found, 5 access denied, 11 not a program, 0 otherwise.
uint32_t start_program(std::string_view command_line);

// ShellExecute with the verb "open" (or empty): an executable runs with the parameters;
// a document, a folder or an address ("https://...", "mailto:...") opens with the desktop's
// opener. A relative file is looked for in folder first. Returns 33 on success, else an
// SE_ERR_ code (SE_ERR_NOASSOC for other verbs and when the desktop has no opener).
uint32_t shell_execute(std::string_view verb, std::string_view file, std::string_view parameters,
                       std::string_view folder);

// Splits a Windows command line as the C runtime does. In a program name quotes only group
// and backslashes are plain; in arguments 2n backslashes before a quote give n and the quote
// groups, 2n + 1 give n and a literal quote, and "" inside quotes is a literal quote.
enum class CommandLineStart { program_name, argument };
std::vector<std::string> command_line_split(std::string_view command_line,
                                            CommandLineStart start = CommandLineStart::program_name);

// The reverse: a command line that command_line_split gives back as these arguments.
std::string command_line_join(const std::vector<std::string>& arguments);

// Forgets every handle (running processes are collected when they end) and the observer.
void process_reset();

} // namespace plat
