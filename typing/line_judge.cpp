#include "typing/line_judge.h"

#include <algorithm>

#include "typing/johab.h"

int code_width(uint16_t code)
{
    if (code == kTypedSecondColumn)
        return 1;
    return code >= 0x100 ? 2 : 1;
}

static bool is_syllable(uint16_t code) { return code >= 0x8000 && johab_classify(code) == kJohabHangul; }

static int32_t& jamo_word(PracticeStats& stats, size_t array, JamoKind kind, int field)
{
    return stats.at(array + size_t(kind) * kJamoFields + size_t(field));
}

// The key a single-byte code counts under; the marker counts as a blank typed.
static size_t key_slot(uint16_t code) { return code < 0x100 ? size_t(stats_key_slot(uint8_t(code))) : 0; }

static void count_typed(uint16_t code, PracticeStats& stats)
{
    stats.at(kStatsTyped)++;
    if (is_syllable(code)) {
        jamo_word(stats, kStatsJamoTyped, kJamoInitial, johab_initial(code))++;
        jamo_word(stats, kStatsJamoTyped, kJamoMedial, johab_medial(code))++;
        jamo_word(stats, kStatsJamoTyped, kJamoFinal, johab_final(code))++;
    } else if (code < 0x100 || code == kTypedSecondColumn)
        stats.at(kStatsKeyTyped + key_slot(code))++;
}

static int32_t capped(int32_t ms) { return std::clamp(ms, 0, kKeyIntervalCap); }

static void count_correct(uint16_t code, const KeyTimes& times, PracticeStats& stats)
{
    stats.at(kStatsCorrect)++;
    if (is_syllable(code)) {
        stats.at(kStatsStrokes) += johab_final(code) != kJohabFinalFill ? 3 : 2;
        const struct {
            JamoKind kind;
            int field;
            int32_t ms;
        } fields[] = {
            {kJamoInitial, johab_initial(code), times.initial_ms},
            {kJamoMedial, johab_medial(code), times.medial_ms},
            {kJamoFinal, johab_final(code), times.final_ms},
        };
        for (const auto& f : fields) {
            jamo_word(stats, kStatsJamoTime, f.kind, f.field) += capped(f.ms);
            jamo_word(stats, kStatsJamoCorrect, f.kind, f.field)++;
        }
    } else if (code < 0x100) {
        stats.at(kStatsStrokes)++;
        stats.at(kStatsKeyCorrect + key_slot(code))++;
        stats.at(kStatsKeyTime + key_slot(code)) += capped(times.initial_ms);
    }
}

void line_judge(std::span<const uint16_t> typed, std::span<const uint16_t> model,
    std::span<const KeyTimes> times, PracticeStats& stats)
{
    size_t i = 0;
    size_t j = 0;
    int32_t wt = 0; // columns of the typed codes consumed
    int32_t wm = 0; // columns of the model codes consumed
    size_t counted = 0; // typed codes counted so far: a code met again is not counted again
    while (j < typed.size() && i < model.size()) {
        uint16_t code = typed[j];
        if (counted == j) {
            count_typed(code, stats);
            counted++;
        }
        if (wt == wm) {
            if (code == model[i])
                count_correct(code, j < times.size() ? times[j] : KeyTimes {}, stats);
            i++;
            j++;
            wt += code_width(code);
            wm = wt;
        } else if (wt < wm) {
            j++;
            wt += code_width(code);
        } else {
            wm += code_width(model[i]);
            i++;
        }
    }
}
