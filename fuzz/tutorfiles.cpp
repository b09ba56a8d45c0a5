// Arbitrary bytes as the tutor's files: as qkt.ini, through the settings and every user name;
// as a user file, which is refused unless it has exactly the format's length, then (cut or
// padded to that length) read, written back byte for byte, and run through the history, the
// statistics sums and the speed and accuracy of every entry, and the statistics screen's chart
// values of every tab and group.
#include "typing/practice_stats.h"
#include "typing/stat_chart.h"
#include "typing/tutor_settings.h"
#include "typing/user_file.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

const std::string& folder()
{
    static std::string made = [] {
        char pattern[] = "/tmp/fuzz-tutorfiles-XXXXXX";
        check(mkdtemp(pattern) != nullptr);
        return std::string(pattern) + "/";
    }();
    return made;
}

// A Johab text of whole characters: no lead byte without its trail at the end.
bool whole_characters(const std::string& text)
{
    size_t i = 0;
    while (i < text.size())
        i += (uint8_t(text[i]) & 0x80) ? 2 : 1;
    return i == text.size();
}

void settings_from(const uint8_t* data, size_t size)
{
    {
        std::ofstream ini(folder() + "qkt.ini", std::ios::binary | std::ios::trunc);
        ini.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    TutorSettings settings;
    config_read(settings);
    check(settings.LastSlot >= -1 && settings.LastSlot <= 8);
    check(settings.LessonCount >= 1 && settings.LessonCount <= 20);
    check(settings.Level >= 0 && settings.Level <= 7);
    for (int slot = -2; slot <= 9; ++slot) {
        std::string name = user_list_name_get(slot);
        check(name.size() <= kUserNameMax && whole_characters(name));
    }
}

// The statistics screen's values of every tab and group, and their bars within the chart.
void chart_values(UserRecord& record)
{
    for (uint16_t tab : {kStatTabSpeed, kStatTabAccuracy, kStatTabDays}) {
        for (int32_t group = kGroupInitials; group <= kGroupSymbols; ++group) {
            for (const StatItem& item : stat_chart_values(record, tab, group)) {
                for (int32_t value : {item.today, item.total}) {
                    const int32_t height = stat_bar_height(tab, value);
                    check(height >= 0 && height <= kStatBarHeight);
                }
            }
        }
    }
}

void user_file_from(const uint8_t* data, size_t size)
{
    UserRecord record;
    check(user_file_parse({data, size}, record) == (size == kUserFileSize));
    std::vector<uint8_t> bytes(data, data + std::min(size, kUserFileSize));
    bytes.resize(kUserFileSize, 0);
    check(user_file_parse(bytes, record));
    check(user_file_bytes(record) == bytes);
    for (const HistoryEntry& entry : record.history) {
        int32_t speed = speed_per_minute(entry.strokes, entry.milliseconds);
        check(speed >= 0 && speed <= 1000);
        (void)accuracy_percent(entry.typed, entry.accuracy);
    }
    practice_stats_add(record.today, record.total);
    (void)practice_keystrokes(record.total);
    user_history_update(record);
    check(user_file_bytes(record).size() == kUserFileSize);
    chart_values(record);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tutor_folder_set(folder());
    settings_from(data, size);
    user_file_from(data, size);
    return 0;
}
