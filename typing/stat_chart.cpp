#include "typing/stat_chart.h"

// Key groups as slices of the statistics key list (practice_stats.h): letters from position 1,
// then '1' to '=', then '$' to '}'.
struct KeySlice {
    size_t first;
    size_t count;
};
static const KeySlice kKeySlices[3] = {{1, 26}, {27, 22}, {49, 13}};

static StatItem item_of(const UserRecord& user, uint16_t tab, size_t time, size_t typed, size_t correct)
{
    if (tab == kStatTabSpeed)
        return {speed_per_minute(user.today.at(correct), user.today.at(time)),
            speed_per_minute(user.total.at(correct), user.total.at(time))};
    return {accuracy_percent(user.today.at(typed), user.today.at(correct)),
        accuracy_percent(user.total.at(typed), user.total.at(correct))};
}

std::vector<StatItem> stat_chart_values(UserRecord& user, uint16_t tab, int32_t group)
{
    std::vector<StatItem> items;
    if (tab == kStatTabDays) {
        user_history_update(user);
        for (const HistoryEntry& day : user.history)
            items.push_back({speed_per_minute(day.strokes, day.milliseconds), 0});
        return items;
    }
    if ((tab != kStatTabSpeed && tab != kStatTabAccuracy) || group < kGroupInitials || group > kGroupSymbols)
        return items;
    if (group <= kGroupFinals) {
        const size_t base = size_t(group) * kJamoFields;
        for (int field = 0; field < int(kJamoFields); ++field) {
            if (jamo_field_valid(JamoKind(group), field))
                items.push_back(item_of(user, tab, kStatsJamoTime + base + size_t(field),
                    kStatsJamoTyped + base + size_t(field), kStatsJamoCorrect + base + size_t(field)));
        }
        return items;
    }
    const KeySlice& slice = kKeySlices[group - kGroupLetters];
    for (size_t slot = slice.first; slot < slice.first + slice.count; ++slot)
        items.push_back(item_of(user, tab, kStatsKeyTime + slot, kStatsKeyTyped + slot, kStatsKeyCorrect + slot));
    return items;
}

int32_t stat_group_first(uint16_t tab, bool english)
{
    return tab == kStatTabDays || !english ? kGroupInitials : kGroupLetters;
}

int32_t stat_group_step(uint16_t tab, int32_t group, int32_t step, bool english)
{
    if (tab == kStatTabDays)
        return group;
    int32_t next = group + step;
    if (!english && next == kGroupLetters)
        next += step;
    const int32_t first = english ? kGroupLetters : kGroupInitials;
    return next >= first && next <= kGroupSymbols ? next : group;
}

int32_t stat_bar_height(uint16_t tab, int32_t value)
{
    const int32_t maximum = tab == kStatTabAccuracy ? 100 : 1000;
    if (value < 0 || value > maximum)
        return 0;
    return value * kStatBarHeight / maximum;
}

int32_t stat_label_row(uint16_t tab, int32_t group) { return tab == kStatTabDays ? 0 : group + 1; }
