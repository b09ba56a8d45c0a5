// The statistics of practice: one block of 488 words that every practice screen fills and
// that the user file keeps for today and in total, the speed and accuracy formulas shown
// everywhere, and which 5-bit Johab fields are real jamo.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

constexpr size_t kStatsWords = 488;
constexpr size_t kStatsSize = kStatsWords * 4; // 1952 bytes as stored

// Word numbers of a block.
enum StatsWord : size_t {
    kStatsDate = 0, // two words: the date stamp
    kStatsTyped = 2, // characters typed
    kStatsCorrect = 3, // characters typed correctly
    kStatsStrokes = 4, // strokes of the correct characters
    kStatsMilliseconds = 5,
    kStatsJamoTime = 11, // initial, medial, final: 32 words each
    kStatsJamoTyped = 107,
    kStatsJamoCorrect = 203,
    kStatsKeyTime = 299, // 63 key slots each
    kStatsKeyTyped = 362,
    kStatsKeyCorrect = 425,
};
constexpr size_t kJamoFields = 32;
constexpr size_t kKeySlots = 63;
constexpr size_t kKeySlotsUsed = 62;
enum JamoKind : int { kJamoInitial = 0, kJamoMedial = 1, kJamoFinal = 2 };

// The keys single-byte characters count under; position 0 (the blank) takes whatever is not
// in the list, lower-case letters count as upper case.
inline constexpr char kStatsKeyList[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890;.,':\"?!()-=$+%&*#<>/[]{}";
int stats_key_slot(uint8_t ch);

// A date as the files keep it: day 1..31, month 0..11, year minus 1900.
struct DateStamp {
    uint8_t day = 0;
    uint8_t month = 0;
    int32_t year = 0;
    bool operator==(const DateStamp&) const = default;
};
DateStamp date_stamp_today(); // from the local time
DateStamp stats_date(const struct PracticeStats& stats);
void stats_set_date(struct PracticeStats& stats, const DateStamp& date);

// A block in memory: the stored words, little-endian on disk (user_file.h reads and writes it).
struct PracticeStats {
    std::array<int32_t, kStatsWords> words {};
    int32_t& at(size_t word) { return words[word]; }
    int32_t at(size_t word) const { return words[word]; }
};

// Whether a 5-bit field value of a Johab code is a real jamo of that kind.
bool jamo_field_valid(JamoKind kind, int field);

// The keystrokes a character counts for: 1 for a single-byte character, else how many of the
// Johab code's three fields are real jamo (2 or 3 for a real syllable).
int32_t syllable_stroke_weight(uint16_t code);

// correct x 100 / total, truncated; 0 when either is 0. Counts of damaged files may be any
// size: the result is computed wide and kept within 0..100 only by the counts themselves.
int32_t accuracy_percent(int32_t total, int32_t correct);
// Strokes per minute, 0 when either is 0 or less, at most 1000.
int32_t speed_per_minute(int32_t strokes, int32_t milliseconds);

// Adds words 2-5, the jamo arrays and the first 62 slots of the key arrays of from into to;
// the date and words 6-10 stay. Sums saturate instead of wrapping.
void practice_stats_add(const PracticeStats& from, PracticeStats& to);
// The typed counts of real jamo plus those of all 63 key slots, saturated at INT32_MAX.
int32_t practice_keystrokes(const PracticeStats& stats);
