#include "platform/kernel/system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"

namespace plat {

constexpr size_t kMeminfoMaxBytes = 64 * 1024; // the real file is a few kilobytes
constexpr uint64_t kMaxKilobytes = UINT64_MAX / 1024;

// The meminfo fields we read; a value of UINT64_MAX means "not seen".
struct MeminfoFields {
    uint64_t total = UINT64_MAX;
    uint64_t available = UINT64_MAX;
    uint64_t free = UINT64_MAX;
    uint64_t buffers = 0;
    uint64_t cached = 0;
    uint64_t swap_total = 0;
    uint64_t swap_free = 0;
};

// line -> key ':' blanks digits [' kB']; false for a damaged number.
static bool parse_meminfo_line(std::string_view line, std::string_view& key, uint64_t& kilobytes)
{
    size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    key = line.substr(0, colon);
    size_t at = line.find_first_not_of(' ', colon + 1);
    if (at == std::string_view::npos || line[at] < '0' || line[at] > '9')
        return false;
    kilobytes = 0;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; at++) {
        uint64_t digit = uint64_t(line[at] - '0');
        if (kilobytes > (kMaxKilobytes - digit) / 10)
            return false; // a figure no machine has: the text is damaged
        kilobytes = kilobytes * 10 + digit;
    }
    return true;
}

static void note_field(MeminfoFields& fields, std::string_view key, uint64_t bytes)
{
    static const struct {
        const char* key;
        uint64_t MeminfoFields::*field;
    } kFields[] = {
        {"MemTotal", &MeminfoFields::total},        {"MemAvailable", &MeminfoFields::available},
        {"MemFree", &MeminfoFields::free},          {"Buffers", &MeminfoFields::buffers},
        {"Cached", &MeminfoFields::cached},         {"SwapTotal", &MeminfoFields::swap_total},
        {"SwapFree", &MeminfoFields::swap_free},
    };
    for (const auto& row : kFields) {
        if (key == row.key)
            fields.*row.field = bytes;
    }
}

static uint32_t load_percent(uint64_t total, uint64_t available)
{
    return total == 0 ? 0 : uint32_t((unsigned __int128)(total - available) * 100 / total);
}

static uint64_t saturating_add(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

static void fill_status(MemoryStatus& out, uint64_t total, uint64_t available, uint64_t swap_total,
                        uint64_t swap_free)
{
    available = available < total ? available : total;
    swap_free = swap_free < swap_total ? swap_free : swap_total;
    out.total_physical = total;
    out.available_physical = available;
    out.memory_load = load_percent(total, available);
    out.total_page_file = saturating_add(total, swap_total);
    out.available_page_file = saturating_add(available, swap_free);
    out.total_virtual = out.total_page_file;
    out.available_virtual = out.available_page_file;
}

bool system_parse_meminfo(std::string_view text, MemoryStatus& out)
{
    out = MemoryStatus{};
    MeminfoFields fields;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::string_view key;
        uint64_t kilobytes = 0;
        if (line.find(':') == std::string_view::npos)
            continue;
        if (!parse_meminfo_line(line, key, kilobytes))
            return false;
        note_field(fields, key, kilobytes * 1024);
    }
    if (fields.total == UINT64_MAX)
        return false;
    uint64_t available = fields.available;
    if (available == UINT64_MAX) // kernels before 3.14 lack MemAvailable
        available = fields.free == UINT64_MAX ? 0 : saturating_add(fields.free, saturating_add(fields.buffers, fields.cached));
    fill_status(out, fields.total, available, fields.swap_total, fields.swap_free);
    return true;
}

static bool read_small_file(const char* path, std::string& text)
{
    FILE* file = fopen(path, "r");
    if (!file)
        return false;
    std::vector<char> buffer(kMeminfoMaxBytes);
    size_t got = fread(buffer.data(), 1, buffer.size(), file);
    fclose(file);
    text.assign(buffer.data(), got);
    return got > 0;
}

bool global_memory_status(MemoryStatus& out)
{
    std::string text;
    if (read_small_file("/proc/meminfo", text) && system_parse_meminfo(text, out))
        return true;
    struct sysinfo info {};
    if (sysinfo(&info) != 0) {
        out = MemoryStatus{};
        set_last_error(error_from_errno(errno));
        return false;
    }
    uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    fill_status(out, info.totalram * unit, (info.freeram + info.bufferram) * unit, info.totalswap * unit,
                info.freeswap * unit);
    return true;
}

std::string get_version_text()
{
    utsname names{};
    if (uname(&names) != 0)
        return "Linux";
    std::string release = names.release;
    // "6.1.0-18-amd64": the numbers are the version, the rest is the distribution's.
    release = release.substr(0, release.find_first_not_of("0123456789."));
    return std::string(names.sysname) + (release.empty() ? "" : " " + release);
}

std::string get_computer_name()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0]) {
        set_last_error(ERROR_INVALID_FUNCTION);
        return "";
    }
    std::string host = name;
    return utf8_to_code_page(CP_ACP, host.substr(0, host.find('.')));
}

std::string get_user_name()
{
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name[0])
        return utf8_to_code_page(CP_ACP, found->pw_name);
    for (const char* variable : {"USER", "LOGNAME"}) {
        const char* value = getenv(variable);
        if (value && *value)
            return utf8_to_code_page(CP_ACP, value);
    }
    set_last_error(ERROR_INVALID_FUNCTION);
    return "";
}

uint32_t get_processor_count()
{
    long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count < 1 ? 1 : uint32_t(count);
}

} // namespace plat
