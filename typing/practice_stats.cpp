// Statistics blocks. Files may hold any counts: every sum and product is computed in 64 bits
// and saturated, so a damaged file shows odd numbers but never overflows.
#include "typing/practice_stats.h"

#include "platform/kernel/clock.h"

#include <algorithm>
#include <cstring>
#include <limits>

// One character per field value, '1' = a real jamo.
static const char* const kJamoMasks[3] = {
    "00111111111111111111100000000000", // initial: fields 2..20
    "00011111001111110011111100111100", // medial: 3-7, 10-15, 18-23, 26-29
    "00111111111111111101111111111100", // final: 2-17, 19-29
};

bool jamo_field_valid(JamoKind kind, int field)
{
    if (kind < kJamoInitial || kind > kJamoFinal || field < 0 || field >= int(kJamoFields))
        return false;
    return kJamoMasks[kind][field] == '1';
}

int32_t syllable_stroke_weight(uint16_t code)
{
    if (code < 0x100)
        return 1;
    return int32_t(jamo_field_valid(kJamoInitial, (code >> 10) & 31)) + int32_t(jamo_field_valid(kJamoMedial, (code >> 5) & 31))
        + int32_t(jamo_field_valid(kJamoFinal, code & 31));
}

int stats_key_slot(uint8_t ch)
{
    if (ch >= 'a' && ch <= 'z')
        ch = uint8_t(ch - 'a' + 'A');
    if (ch == 0)
        return 0;
    const char* found = std::strchr(kStatsKeyList, ch);
    return found ? int(found - kStatsKeyList) : 0;
}

static int32_t saturate(int64_t value)
{
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
        std::numeric_limits<int32_t>::max()));
}

int32_t accuracy_percent(int32_t total, int32_t correct)
{
    if (total == 0 || correct == 0)
        return 0;
    return saturate(int64_t(correct) * 100 / total);
}

int32_t speed_per_minute(int32_t strokes, int32_t milliseconds)
{
    if (strokes <= 0 || milliseconds <= 0)
        return 0;
    double x = double(strokes) / (double(milliseconds) / 1000.0) * 60.0;
    if (x < 0)
        return 0;
    if (x > 1000)
        return 1000;
    return int32_t(x);
}

DateStamp date_stamp_today()
{
    plat::SystemTime now;
    plat::get_local_time(now);
    return DateStamp {uint8_t(now.day), uint8_t(now.month - 1), int32_t(now.year) - 1900};
}

// Word 0 holds day and month in its two low bytes, word 1 the year.
DateStamp stats_date(const PracticeStats& stats)
{
    uint32_t first = uint32_t(stats.at(kStatsDate));
    return DateStamp {uint8_t(first), uint8_t(first >> 8), stats.at(kStatsDate + 1)};
}

void stats_set_date(PracticeStats& stats, const DateStamp& date)
{
    stats.at(kStatsDate) = int32_t(uint32_t(date.day) | uint32_t(date.month) << 8);
    stats.at(kStatsDate + 1) = date.year;
}

static void add_range(const PracticeStats& from, PracticeStats& to, size_t first, size_t count)
{
    for (size_t i = first; i < first + count; ++i)
        to.at(i) = saturate(int64_t(to.at(i)) + from.at(i));
}

void practice_stats_add(const PracticeStats& from, PracticeStats& to)
{
    add_range(from, to, kStatsTyped, 4);
    add_range(from, to, kStatsJamoTime, kStatsKeyTime - kStatsJamoTime);
    for (size_t array : {kStatsKeyTime, kStatsKeyTyped, kStatsKeyCorrect})
        add_range(from, to, array, kKeySlotsUsed);
}

int32_t practice_keystrokes(const PracticeStats& stats)
{
    int64_t sum = 0;
    for (int kind = kJamoInitial; kind <= kJamoFinal; ++kind) {
        for (int field = 0; field < int(kJamoFields); ++field) {
            if (jamo_field_valid(JamoKind(kind), field))
                sum += stats.at(kStatsJamoTyped + size_t(kind) * kJamoFields + size_t(field));
        }
    }
    for (size_t slot = 0; slot < kKeySlots; ++slot)
        sum += stats.at(kStatsKeyTyped + slot);
    return saturate(sum);
}
