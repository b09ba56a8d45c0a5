#include "platform/kernel/system.h"

#include <gtest/gtest.h>
#include <string>

using namespace plat;

namespace {

constexpr uint64_t kKiB = 1024;

struct MeminfoCase {
    const char* name;
    const char* text;
    bool parses;
    uint64_t total;     // bytes
    uint64_t available; // bytes
    uint64_t page_file; // total physical + swap
    uint32_t load;
};

static const MeminfoCase kMeminfoCases[] = {
    {"usual text",
     "MemTotal:        8000000 kB\nMemFree:          100000 kB\nMemAvailable:    2000000 kB\n"
     "SwapTotal:       1000000 kB\nSwapFree:         500000 kB\nHugePages_Total:       0\n",
     true, 8000000 * kKiB, 2000000 * kKiB, 9000000 * kKiB, 75},
    {"old kernel without MemAvailable",
     "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 250 kB\n", true, 1000 * kKiB, 400 * kKiB,
     1000 * kKiB, 60},
    {"more available than total is capped", "MemTotal: 100 kB\nMemAvailable: 900 kB\n", true, 100 * kKiB,
     100 * kKiB, 100 * kKiB, 0},
    {"last line without newline", "MemAvailable: 5 kB\nMemTotal: 10 kB", true, 10 * kKiB, 5 * kKiB, 10 * kKiB, 50},
    {"no MemTotal", "MemFree: 100 kB\n", false, 0, 0, 0, 0},
    {"empty", "", false, 0, 0, 0, 0},
    {"number missing", "MemTotal: kB\n", false, 0, 0, 0, 0},
    {"number past 64 bits", "MemTotal: 99999999999999999999999 kB\n", false, 0, 0, 0, 0},
    {"swap near the top does not wrap",
     "MemTotal: 18014398509481983 kB\nMemAvailable: 0 kB\nSwapTotal: 18014398509481983 kB\n", true,
     18014398509481983 * kKiB, 0, UINT64_MAX, 100},
};

TEST(System, MeminfoTextIsCheckedBeforeUse)
{
    for (const MeminfoCase& c : kMeminfoCases) {
        SCOPED_TRACE(c.name);
        MemoryStatus status;
        ASSERT_EQ(system_parse_meminfo(c.text, status), c.parses);
        EXPECT_EQ(status.total_physical, c.total);
        EXPECT_EQ(status.available_physical, c.available);
        EXPECT_EQ(status.total_page_file, c.page_file);
        EXPECT_EQ(status.memory_load, c.load);
    }
}

TEST(System, LiveFiguresArePlausible)
{
    MemoryStatus status;
    ASSERT_TRUE(global_memory_status(status));
    EXPECT_GE(status.total_physical, 64u * 1024 * 1024);
    EXPECT_GT(status.available_physical, 0u);
    EXPECT_LE(status.available_physical, status.total_physical);
    EXPECT_LE(status.memory_load, 100u);
    EXPECT_GE(status.total_page_file, status.total_physical);
    EXPECT_GE(status.available_page_file, status.available_physical);

    std::string version = get_version_text();
    EXPECT_TRUE(version.starts_with("Linux ")) << version;
    EXPECT_EQ(version.find_first_not_of("0123456789.", 6), std::string::npos) << version;
    EXPECT_GE(version.size(), 7u);

    std::string computer = get_computer_name();
    EXPECT_FALSE(computer.empty());
    EXPECT_EQ(computer.find('.'), std::string::npos);
    EXPECT_FALSE(get_user_name().empty());
    EXPECT_GE(get_processor_count(), 1u);
}

} // namespace
