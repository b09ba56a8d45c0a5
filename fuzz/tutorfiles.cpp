// Arbitrary bytes as the tutor's files: as qkt.ini, through the settings and every user name;
// as a user file, which is refused unless it has exactly the format's length, then (cut or
// padded to that length) read, written back byte for byte, and run through the history, the
// statistics sums and the speed and accuracy of every entry, and the statistics screen's chart
// values of every tab and group; as qktsco.dat, whose table is read, given a new score and
// formatted row by row.
#include "typing/high_scores.h"
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

void high_scores_from(const uint8_t* data, size_t size)
{
    HighScoreTable table;
    check(high_scores_parse({data, size}, table) == (size == kHighScoreFileSize));
    std::vector<uint8_t> bytes(data, data + std::min(size, kHighScoreFileSize));
    bytes.resize(kHighScoreFileSize, 0);
    check(high_scores_parse(bytes, table));
    // Bytes after a name's NUL are not kept: written again, the table reads the same.
    const std::vector<uint8_t> written = high_scores_bytes(table);
    HighScoreTable again;
    check(high_scores_parse(written, again) && high_scores_bytes(again) == written);
    const int32_t score = size >= 4 ? int32_t(data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24) : 1;
    const int row = high_scores_insert(table, HighScoreEntry {"\x8B\xB1", 0, 1, score});
    check(row >= -1 && row < int(kHighScoreEntries));
    check(high_scores_bytes(table).size() == kHighScoreFileSize);
    for (size_t i = 0; i < kHighScoreEntries; ++i) {
        check(table[i].name.size() <= kHighScoreNameBytes);
        (void)high_score_row_text(table[i], int(i) + 1);
    }
    check(high_scores_shown(table) <= kHighScoreEntries);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tutor_folder_set(folder());
    settings_from(data, size);
    user_file_from(data, size);
    high_scores_from(data, size);
    return 0;
}
