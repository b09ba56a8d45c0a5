// What the statistics screen charts: per key or per jamo today's value beside the total's
// (speed or accuracy), or the speed of each of the last 30 practice days, and how values
// become bars.
#pragma once
#include <cstdint>
#include <vector>

#include "typing/user_file.h"

enum StatTabId : uint16_t {
    kStatTabSpeed = 501, // speed per key
    kStatTabAccuracy = 502, // accuracy per key
    kStatTabDays = 503, // speed of the last 30 days
};
// Key groups of tabs 501 and 502.
enum StatGroup : int32_t {
    kGroupInitials = 0,
    kGroupMedials = 1,
    kGroupFinals = 2,
    kGroupLetters = 3, // English layouts only
    kGroupDigits = 4, // '1' to '='
    kGroupSymbols = 5, // '$' to '}'
};
constexpr int32_t kStatMaxItems = 32;
constexpr int32_t kStatBarHeight = 182;

struct StatItem {
    int32_t today = 0; // the only value of a day on tab 503
    int32_t total = 0;
};

// The items of the tab and group; tab 503 brings the history up to date first and ignores the
// group. Empty for an unknown tab or group.
std::vector<StatItem> stat_chart_values(UserRecord& user, uint16_t tab, int32_t group);
// The group a tab starts on: 0 for Korean layouts, 3 for English, 0 for tab 503.
int32_t stat_group_first(uint16_t tab, bool english);
// The group after a step back (-1) or forward (+1); the same group when the step leads
// nowhere (tab 503, the first or last group, group 3 on Korean layouts is stepped over).
int32_t stat_group_step(uint16_t tab, int32_t group, int32_t step, bool english);
// value x 182 / maximum (100 on tab 502, else 1000); a value above the maximum or below 0 counts
// as 0.
int32_t stat_bar_height(uint16_t tab, int32_t value);
// The row of the label strip: 0 for tab 503, else group + 1.
int32_t stat_label_row(uint16_t tab, int32_t group);
