// The key-position lessons: their keys and drill partners, the drill and word lines, the keys
// that type a syllable, the lighting on the keyboard picture, and the word filter, also over
// the shipped word lists.
#include "typing/johab.h"
#include "typing/lessons.h"
#include "typing/tutor_paths.h"
#include "typing/tutor_settings.h"

#include "test_util.h"

#include <set>

namespace {

uint16_t jamo(char32_t c) { return unicode_to_johab(uint32_t(c)); }
uint16_t final_of(int field) { return uint16_t(0x8000 | 1 << 10 | 2 << 5 | field); }

std::vector<uint16_t> jamo_codes(std::u32string_view text)
{
    std::vector<uint16_t> codes;
    for (char32_t c : text)
        codes.push_back(c < 0x80 ? uint16_t(c) : jamo(c));
    return codes;
}

class Lessons : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lessons_decode()); }
    void TearDown() override
    {
        lessons_free();
        word_list_free();
    }
};

TEST_F(Lessons, TablesDecodeToTheirKeys)
{
    EXPECT_EQ(lesson_count(0), 8);
    EXPECT_EQ(lesson_count(1), 10);
    EXPECT_EQ(lesson_count(2), 8);
    EXPECT_EQ(lesson_count(3), 8);
    std::span<const uint16_t> first = lesson_keys(0, 0);
    EXPECT_EQ(std::vector<uint16_t>(first.begin(), first.end()),
        (std::vector<uint16_t> {0xA041, 0x9041, 0xB441, 0x9C41, 0x84E1, 0x8461, 0x87A1, ';'}));
    std::span<const uint16_t> three = lesson_keys(1, 0);
    EXPECT_EQ(three[0], 0x8457); // ㅇ as a final
    std::span<const uint16_t> qwerty = lesson_keys(2, 0);
    EXPECT_EQ(std::string(qwerty.begin(), qwerty.end()), "asdfjkl;");
    EXPECT_EQ(lesson_keys(2, 8).size(), 0u);
    EXPECT_EQ(lesson_keys(4, 0).size(), 0u);
}

// Each layout's pairs: lesson 0 pairs each key with the next (the last with the first), later
// lessons with the home key of the finger that types the key.
TEST_F(Lessons, DrillPartnersOfEachLayout)
{
    static const struct {
        int layout;
        int lesson;
        size_t index;
        std::u32string key_partner;
    } kRows[] = {
        {0, 0, 0, U"ㅁㄴ"},
        {0, 0, 7, U";ㅁ"},
        {0, 1, 1, U"ㅃㅁ"}, // shifted ㅂ, same finger
        {0, 1, 6, U"ㄱㄹ"},
        {0, 2, 4, U"ㅗㅗ"}, // a home key is its own partner
        {0, 5, 1, U",ㅏ"},
        {1, 1, 0, U"ㄹㄴ"}, // 390: the initials' ㄴ is position 6's home
        {2, 2, 0, U"tg"},
        {2, 5, 0, U"mj"},
        {2, 6, 0, U"1a"},
        {3, 1, 0, U"gh"},
        {3, 5, 1, U"qo"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::to_string(row.layout) + "/" + std::to_string(row.lesson) + "/" + std::to_string(row.index));
        LessonRun run;
        lesson_prepare(run, row.layout, row.lesson);
        ASSERT_LT(row.index, run.pairs.size());
        std::vector<uint16_t> expected = jamo_codes(row.key_partner);
        EXPECT_EQ(run.pairs[row.index].first, expected[0]);
        EXPECT_EQ(run.pairs[row.index].second, expected[1]);
    }
    // 390's lesson 1: ㅇ(f) pairs with the next key ㄴ(f), and a remembered lesson past the end is 0
    LessonRun run;
    lesson_prepare(run, 1, 0);
    EXPECT_EQ(run.pairs[0], std::make_pair(final_of(23), final_of(5)));
    lesson_prepare(run, 0, 9);
    EXPECT_EQ(run.lesson, 0);
}

// LessonCount 5: five drill lines a key in the six orders, then ten word lines, then the
// lesson is over; numbers and symbols end after their drills.
TEST_F(Lessons, DrillsThenWordsThenTheEnd)
{
    static const std::set<std::string> kOrders = {"kkpp", "kpkp", "kppk", "ppkk", "pkpk", "pkkp"};
    static const std::vector<std::string> kWords = {"ask", "sad", "flask", "salad", "dad"};
    static const struct {
        int layout;
        int lesson;
        int word_lines;
    } kRows[] = {{2, 0, 10}, {3, 0, 0}, {2, 6, 0}, {2, 7, 0}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::to_string(row.layout) + "/" + std::to_string(row.lesson));
        word_list_set(1, kWords); // none of them is typed with Dvorak's first keys
        LessonRun run;
        lesson_prepare(run, row.layout, row.lesson);
        std::string line;
        std::vector<std::string> drills;
        while (drill_line_build(line, run, 20, 5))
            drills.push_back(line);
        ASSERT_EQ(drills.size(), run.pairs.size() * 5);
        for (size_t i = 0; i < drills.size(); ++i) {
            auto [key, partner] = run.pairs[i / 5];
            std::vector<uint16_t> codes = dbcs_to_codes(drills[i]);
            ASSERT_EQ(codes.size(), 4u);
            std::string order;
            for (uint16_t c : codes)
                order += c == key ? 'k' : c == partner ? 'p' : '?';
            if (key == partner)
                order = "kkpp";
            EXPECT_TRUE(kOrders.count(order)) << drills[i];
        }
        EXPECT_EQ(run.stage, row.word_lines ? 1 : 0);
        int words = 0;
        while (run.stage == 1 && drill_line_build(line, run, 20, 5)) {
            ++words;
            EXPECT_LE(line.size(), 20u);
            EXPECT_FALSE(line.empty());
            EXPECT_NE(line.back(), ' ');
        }
        EXPECT_EQ(words, row.word_lines);
        EXPECT_EQ(run.stage, 0);
    }
}

// The word stage always ends: no word, or none as short as the line, skips it.
TEST_F(Lessons, WordStageWithNothingToTypeIsSkipped)
{
    static const struct {
        const char* name;
        std::vector<std::string> words;
        size_t width;
    } kRows[] = {
        {"empty list", {}, 20},
        {"nothing fits the keys", {"red", "tree"}, 20},
        {"longer than the line", {"flasks"}, 5},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        word_list_set(1, row.words);
        LessonRun run;
        lesson_prepare(run, 2, 0);
        std::string line;
        while (drill_line_build(line, run, row.width, 1)) {
        }
        EXPECT_EQ(run.stage, 0);
        run.stage = 1; // even when asked for words directly
        EXPECT_FALSE(drill_line_build(line, run, row.width, 1));
        EXPECT_EQ(run.stage, 0);
    }
}

TEST_F(Lessons, SyllablesSplitIntoTheirKeys)
{
    static const struct {
        int layout;
        char32_t syllable;
        std::vector<uint16_t> keys;
    } kRows[] = {
        {0, U'닭', jamo_codes(U"ㄷㅏㄹㄱ")},
        {0, U'과', jamo_codes(U"ㄱㅗㅏ")},
        {0, U'의', jamo_codes(U"ㅇㅡㅣ")},
        {0, U'까', jamo_codes(U"ㄲㅏ")},
        {0, U'없', jamo_codes(U"ㅇㅓㅂㅅ")},
        {1, U'까', jamo_codes(U"ㄱㄱㅏ")},
        {1, U'의', jamo_codes(U"ㅇㅢ")},
        {1, U'닭', {jamo(U'ㄷ'), jamo(U'ㅏ'), final_of(10)}}, // ㄺ has a key of its own
        {1, U'앉', {jamo(U'ㅇ'), jamo(U'ㅏ'), final_of(5), final_of(24)}},
        {1, U'ㅘ', jamo_codes(U"ㅗㅏ")},
        {2, U'a', {'a'}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::to_string(row.layout) + " " + std::to_string(uint32_t(row.syllable)));
        uint16_t code = row.syllable < 0x80 ? uint16_t(row.syllable) : jamo(row.syllable);
        EXPECT_EQ(syllable_keys(row.layout, code), row.keys);
    }
}

TEST_F(Lessons, NextKeyFollowsThePartlyTypedSyllable)
{
    uint16_t gak = jamo(U'각'), na = jamo(U'나'), ga = jamo(U'가');
    EXPECT_EQ(next_key(0, gak, na, ga, true), jamo(U'ㄱ'));
    EXPECT_EQ(next_key(0, gak, na, gak, true), jamo(U'ㄴ'));
    EXPECT_EQ(next_key(0, gak, na, ga, false), jamo(U'ㄴ')); // a wrong syllable is finished
    EXPECT_EQ(next_key(1, jamo(U'까'), 0, jamo(U'ㄱ'), true), jamo(U'ㄱ')); // 390 types ㄲ twice
    EXPECT_EQ(next_key(0, gak, 0, gak, false), 0);
}

// Key, shift and finger lighting on each layout.
TEST_F(Lessons, LightingOfEachLayout)
{
    static const plat::Rect kNone {};
    static const plat::Rect kRightShift {498, 332, 586, 366};
    static const plat::Rect kLeftShift {50, 332, 129, 366};
    static const struct {
        int layout;
        uint16_t key;
        plat::Rect rect;
        plat::Rect shift;
        int finger;
    } kRows[] = {
        {0, 0xA041, {115, 296, 149, 330}, kNone, 0}, // ㅁ
        {0, 0xA841, {104, 260, 138, 294}, kRightShift, 0}, // ㅃ
        {0, ';', {439, 296, 473, 330}, kNone, 7},
        {0, 0xD041, {259, 296, 293, 330}, kNone, 3}, // ㅎ: index finger reaching
        {1, 0x8457, {115, 296, 149, 330}, kNone, 0}, // ㅇ(f)
        {1, '7', {320, 260, 354, 294}, kLeftShift, 4}, // digits on the shifted right block
        {2, 'p', {428, 260, 462, 294}, kNone, 7},
        {2, 'P', {428, 260, 462, 294}, kLeftShift, 7},
        {2, '\\', {536, 260, 588, 294}, kNone, 7}, // the row's last key reaches the edge
        {2, ' ', {196, 371, 444, 402}, kNone, -1},
        {3, 'u', {223, 296, 257, 330}, kNone, 3},
        {3, '?', {464, 260, 498, 294}, kLeftShift, 7},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::to_string(row.layout) + " " + std::to_string(row.key));
        Lighting lighting = key_lighting(row.layout, row.key);
        ASSERT_FALSE(lighting.keys.empty());
        EXPECT_EQ(lighting.keys[0], row.rect);
        EXPECT_EQ(lighting.keys.size(), row.shift == kNone ? 1u : 2u);
        if (lighting.keys.size() == 2) {
            EXPECT_EQ(lighting.keys[1], row.shift);
        }
        EXPECT_EQ(lighting.finger, row.finger);
    }
    EXPECT_TRUE(key_lighting(2, 0xB441).keys.empty()); // a key the layout does not have
    EXPECT_EQ(finger_rect(0), (plat::Rect {43, 155, 71, 183}));
    EXPECT_EQ(finger_rect(4), (plat::Rect {486, 155, 514, 183}));
}

TEST_F(Lessons, WordFilterByLearntKeys)
{
    auto johab = [](const char* utf8) {
        std::string text;
        for (const uint8_t* p = reinterpret_cast<const uint8_t*>(utf8); *p; p += 3)
            text += codes_to_dbcs(std::vector<uint16_t> {unicode_to_johab(
                uint32_t(p[0] & 0x0F) << 12 | uint32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F))});
        return text;
    };
    static const struct {
        int layout;
        int lesson;
        const char* word;
        bool fits;
    } kRows[] = {
        {0, 0, "나라", true},
        {0, 0, "안", true}, // a final typed with a learnt initial's key
        {0, 0, "바다", false},
        {0, 1, "바다", true},
        {0, 1, "닭", true},
        {0, 5, "과자", false}, // compound vowels wait for the last lesson
        {0, 7, "과자", true},
        {1, 0, "안", true}, // ㄴ(f) is learnt in the first lesson
        {1, 1, "알", false},
        {1, 2, "알", true},
        {1, 7, "닭", true},
        {1, 6, "닭", false},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::to_string(row.layout) + "/" + std::to_string(row.lesson) + " " + row.word);
        word_list_set(0, std::vector<std::string> {johab(row.word)});
        EXPECT_EQ(word_filter_by_keys(row.layout, row.lesson), row.fits ? 1u : 0u);
    }
    static const std::vector<std::string> kEnglish = {"ask", "red", "A"};
    word_list_set(1, kEnglish);
    EXPECT_EQ(word_filter_by_keys(2, 0), 2u); // upper case is compared as lower
    EXPECT_EQ(word_filter_by_keys(2, 1), 3u);
}

// Through the project's own loader and filter: every lesson with a word stage has at least
// ten distinct words of the shipped lists, and every game level 0-8 has words.
TEST_F(Lessons, ShippedWordListsCoverEveryLessonAndLevel)
{
    tutor_folder_set(STORVEL_BINARY_DIR "/bin/");
    TutorSettings saved = settings_current();
    for (int layout = 0; layout < kLessonLayouts; ++layout) {
        SCOPED_TRACE(layout);
        settings_current().Language = layout < 2 ? 0 : 1;
        settings_current().Keyboard = layout % 2;
        ASSERT_EQ(layout_index(), layout);
        ASSERT_TRUE(word_list_load());
        auto distinct = [&](int lesson) {
            LessonRun run;
            lesson_prepare(run, layout, lesson);
            std::set<std::string> seen;
            for (int draw = 0; draw < 20000; ++draw)
                seen.insert(word_list_random());
            return std::pair(seen.size(), word_filtered_count());
        };
        for (int lesson = 0; lesson < lesson_count(layout) - kLessonNoWordStage; ++lesson) {
            SCOPED_TRACE(lesson);
            EXPECT_GE(distinct(lesson).first, 10u);
            EXPECT_LE(word_filtered_shortest(), 20u);
        }
        for (int level = 0; level <= 8; ++level)
            EXPECT_GT(word_filter_by_keys(layout, level), 0u) << "level " << level;
    }
    settings_current() = saved;
    tutor_folder_reset();
}

} // namespace
