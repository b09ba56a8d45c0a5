// System queries: memory, the system's version, the computer's and user's names, the number
// of processors. Texts come in the active code page.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

// GlobalMemoryStatusEx, in bytes. A process here can use what physical memory and swap can
// back, so the page-file and virtual figures both report that.
struct MemoryStatus {
    uint32_t memory_load = 0; // percent of physical memory in use
    uint64_t total_physical = 0;
    uint64_t available_physical = 0;
    uint64_t total_page_file = 0;
    uint64_t available_page_file = 0;
    uint64_t total_virtual = 0;
    uint64_t available_virtual = 0;
};

// From /proc/meminfo, else from sysinfo; false with the figures at 0 when neither answers.
bool global_memory_status(MemoryStatus& out);

// The figures of a /proc/meminfo text; false when it lacks MemTotal or a number is damaged.
bool system_parse_meminfo(std::string_view text, MemoryStatus& out);

// The host system and its release, e.g. "Linux 6.1.0".
std::string get_version_text();

// The computer's name (the host name up to its first dot); "" when the host has none.
std::string get_computer_name();

// The name of the user running the program; "" when it cannot be found.
std::string get_user_name();

// Processors online (GetSystemInfo's processor count), at least 1.
uint32_t get_processor_count();

} // namespace plat
