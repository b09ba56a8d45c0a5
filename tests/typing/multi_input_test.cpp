#include "typing/multi_input.h"

#include "platform/controls/controls.h"
#include "typing/automaton.h"
#include "typing/johab.h"
#include "typing/kbd_controls.h"
#include "typing/line_judge.h"

#include "tutor_window_test.h"

#include <fstream>
#include <sstream>

namespace {

constexpr uint16_t kHangul = kMultiInputHangul;
constexpr uint16_t kJamo = kMultiInputJamoByJamo;
constexpr uint16_t kJohab = kMultiInputJohabModel;

class TypingLine : public TutorWindowTest {
protected:
    plat::WindowHandle line;

    void SetUp() override
    {
        TutorWindowTest::SetUp();
        ASSERT_TRUE(multi_input_register());
    }
    // A control with the models (UTF-8) as its lines, started and with the focus.
    void start(uint16_t flags, const std::vector<std::string>& models)
    {
        line = multi_input_create(host, flags, 10, 10, int32_t(models.size()), 20, 20, 560, 200);
        ASSERT_TRUE(line);
        for (size_t i = 0; i < models.size(); i++) {
            std::string text = plat::utf8_to_code_page(949, models[i]);
            if (flags & kJohab)
                text = wansung_to_johab(text);
            ASSERT_TRUE(multi_input_set_model(line, int(i), text));
        }
        run_for(0);
        plat::set_focus(line);
        plat::send_message(line, kMsgMultiInputStart, 0, 0);
        commands.clear();
    }
    static void key(uint32_t vk)
    {
        plat::input_key(vk, true);
        plat::input_key(vk, false);
    }
    // Plain characters are typed as characters; '<' is Backspace and '~' Esc; "[TEXT]" is
    // composed by the input method; "{keys}" are letter keys pressed (in Hangul mode, jamo).
    void type(const std::string& input)
    {
        for (size_t i = 0; i < input.size(); i++) {
            char c = input[i];
            if (c == '[' || c == '{') {
                size_t end = input.find(c == '[' ? ']' : '}', i);
                std::string inner = input.substr(i + 1, end - i - 1);
                if (c == '[')
                    plat::ime_compose_text(inner);
                for (char letter : c == '{' ? inner : std::string())
                    key(uint32_t(std::toupper(uint8_t(letter))));
                i = end;
            } else if (c == '<')
                key(plat::VK_BACK);
            else if (c == '~')
                key(plat::VK_ESCAPE);
            else if (c == ' ')
                key(plat::VK_SPACE); // finishes a syllable being composed, as a person types
            else
                plat::input_char(uint8_t(c));
            run_for(0);
        }
    }
    int32_t stat(size_t word) { return multi_input_stats(line)->at(word); }
    std::string log_text()
    {
        std::ifstream in(path("run.log"));
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

struct LineCase {
    const char* name;
    uint16_t flags;
    std::vector<std::string> models;
    const char* input;
    int32_t position; // codes typed on the line at the end; -1: not checked (line finished)
    int32_t typed, correct, strokes; // the statistics
    std::vector<std::string> notes; // the notifications, in order
};

static const std::string kPos = "2202 1046";
static const std::string kDone = "2202 1045";

TEST_F(TypingLine, KeysAndCompositionAreTypedAndJudged)
{
    static const LineCase kCases[] = {
        {"letters, one wrong", 0, {"abc"}, "abx ", -1, 3, 2, 2, {kPos, kPos, kPos, kDone}},
        {"Backspace at position 0 does nothing", 0, {"ab"}, "<", 0, 0, 0, 0, {}},
        {"Backspace takes the last code back", 0, {"ab"}, "x<a", 1, 0, 0, 0, {kPos, kPos, kPos}},
        {"typing past the end of the model is clamped", 0, {"a"}, "xyz ", -1, 1, 0, 0, {kPos, kDone}},
        {"a blank inside the model is typed", 0, {"a b"}, "a b ", -1, 3, 3, 3, {kPos, kPos, kPos, kDone}},
        {"Tab and Enter are blanks", 0, {"a"}, "a\r", -1, 1, 1, 1, {kPos, kDone}},
        {"Esc tells the parent", 0, {"ab"}, "~", 0, 0, 0, 0, {"2202 1047"}},
        {"a syllable over \"ab\" takes both columns; the marker counts as a wrong blank", kHangul, {"abc"},
            "[가]c ", -1, 3, 1, 1, {kPos, kPos, kPos, kPos, kDone}},
        {"Backspace takes the marker with its syllable", kHangul, {"abc"}, "[가]<", 0, 0, 0, 0, {kPos, kPos, kPos, kPos}},
        {"jamo by jamo: ㄱ then ㅏ are two jamo, not 가", kHangul | kJamo | kJohab, {"ㄱㅏ"}, "{rk}", 2, 0, 0, 0,
            {kPos, kPos}},
        {"jamo by jamo, judged", kHangul | kJamo | kJohab, {"ㄱㅏ"}, "{rk} ", -1, 2, 2, 4, {kPos, kPos, kDone}},
        {"syllables as they grow", kHangul | kJohab, {"각"}, "{rkr}", 1, 0, 0, 0, {kPos, kPos, kPos}},
        {"syllables with and without a final", kHangul | kJohab, {"각나"}, "{rkrsk} ", -1, 2, 2, 5,
            {kPos, kPos, kPos, kPos, kPos, kPos, kPos, kDone}},
        {"a CP949 model is compared as Johab", kHangul, {"한"}, "[한] ", -1, 1, 1, 3, {kPos, kPos, kPos, kPos, kDone}},
        {"two lines", 0, {"a", "b"}, "a b ", -1, 2, 2, 2, {kPos, kPos, kPos, kDone}},
    };
    for (const LineCase& c : kCases) {
        SCOPED_TRACE(c.name);
        start(c.flags, c.models);
        type(c.input);
        if (c.position >= 0) {
            EXPECT_EQ(multi_input_state(line).position, c.position);
        }
        EXPECT_EQ(stat(kStatsTyped), c.typed);
        EXPECT_EQ(stat(kStatsCorrect), c.correct);
        EXPECT_EQ(stat(kStatsStrokes), c.strokes);
        EXPECT_EQ(commands, c.notes);
        multi_input_destroy(line);
        run_for(0);
    }
}

TEST_F(TypingLine, TheStateTellsWhereTheLearnerIs)
{
    start(kHangul | kJohab, {"가b"});
    type("{r}");
    MultiInputState state = multi_input_state(line);
    EXPECT_EQ(state.flags & kHangul, kHangul);
    EXPECT_TRUE(state.interim);
    EXPECT_EQ(state.last_typed, 0x8841); // ㄱ
    EXPECT_EQ(state.model_under_last, 0x8861); // 가
    EXPECT_EQ(state.model_next, 'b');
    type("{k}[b]");
    state = multi_input_state(line);
    EXPECT_FALSE(state.interim);
    EXPECT_EQ(state.position, 2);
    EXPECT_EQ(state.last_typed, 'b');
    EXPECT_EQ(state.model_next, 0) << "the end of the line";
    plat::send_message(line, kMsgMultiInputHangul, 0, 0);
    EXPECT_EQ(multi_input_state(line).flags & kHangul, 0);
}

// On 390 the learner types finals with keys of their own; jamo by jamo, the line keeps them as
// finals, as the lessons' models hold them.
TEST_F(TypingLine, JamoByJamoOnThreeSetKeepsFinalsApartFromInitials)
{
    automaton_select_table(1);
    line = multi_input_create(host, kHangul | kJamo | kJohab, 10, 10, 1, 20, 20, 560, 200);
    ASSERT_TRUE(line);
    ASSERT_TRUE(multi_input_set_model(line, 0, "\x84\x42\x88\x41")); // ㄱ as a final, then as an initial
    run_for(0);
    plat::set_focus(line);
    plat::send_message(line, kMsgMultiInputStart, 0, 0);
    type("{x}");
    EXPECT_EQ(multi_input_state(line).last_typed, 0x8442) << "the X key types the final ㄱ";
    type("{k} ");
    EXPECT_EQ(stat(kStatsTyped), 2);
    EXPECT_EQ(stat(kStatsCorrect), 2);
}

// Each jamo's keystroke interval lands on its field; the virtual clock makes them exact.
TEST_F(TypingLine, KeystrokeTimesGoToTheJamoFields)
{
    static const struct {
        const char* name;
        const char* model;
        std::vector<std::pair<uint32_t, char>> keys; // wait in ms, then the key
        int32_t initial, medial, final_; // times expected on the syllable's fields
        const char* judged;
    } kCases[] = {
        {"각 at 100, 200 and 300 ms", "각", {{100, 'r'}, {200, 'k'}, {300, 'r'}, {300, ' '}}, 100, 200, 300,
            "line judged lines=1 typed=1 correct=1 strokes=3 ms=800 speed=225 accuracy=100"},
        {"a compound vowel sums its two keys", "과", {{100, 'r'}, {200, 'h'}, {300, 'k'}, {50, ' '}}, 100, 500, 0,
            "line judged lines=1 typed=1 correct=1 strokes=2 ms=550 speed=218 accuracy=100"},
        {"a compound final sums its two keys", "닭", {{10, 'e'}, {20, 'k'}, {30, 'f'}, {40, 'r'}, {0, ' '}}, 10, 20, 70,
            "line judged lines=1 typed=1 correct=1 strokes=3 ms=90 speed=1000 accuracy=100"},
        {"an interval is at most 2000 ms", "가", {{2500, 'r'}, {100, 'k'}, {0, ' '}}, 2000, 100, 0,
            "line judged lines=1 typed=1 correct=1 strokes=2 ms=100 speed=1000 accuracy=100"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        start(kHangul | kJohab, {c.model});
        for (auto [wait, letter] : c.keys) {
            if (wait)
                run_for(wait);
            key(letter == ' ' ? plat::VK_SPACE : uint32_t(std::toupper(uint8_t(letter))));
        }
        run_for(0);
        uint16_t code = unicode_to_johab(plat::multi_byte_to_wide(plat::CP_UTF8, c.model)[0]);
        EXPECT_EQ(stat(kStatsJamoTime + johab_initial(code)), c.initial);
        EXPECT_EQ(stat(kStatsJamoTime + kJamoFields + johab_medial(code)), c.medial);
        if (johab_final(code) != kJohabFinalFill) {
            EXPECT_EQ(stat(kStatsJamoTime + 2 * kJamoFields + johab_final(code)), c.final_);
        }
        EXPECT_NE(log_text().find(std::string("line model 0 \"") + c.model + "\""), std::string::npos);
        EXPECT_NE(log_text().find(c.judged), std::string::npos) << log_text();
        multi_input_destroy(line);
        run_for(0);
    }
}

TEST_F(TypingLine, WrongCharactersShowInRedAndAWrongBlankAsAnUnderscore)
{
    start(0, {"a b"});
    type("x");
    auto red_in_cell = [&](int column) {
        for (int y = 10; y < 30; y++) {
            for (int x = 10 + column * 10; x < 20 + column * 10; x++) {
                if (window_pixel(line, x, y) == 0xFF0000)
                    return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(red_in_cell(0));
    EXPECT_FALSE(red_in_cell(2)) << "not yet typed: black";
    type("xx");
    EXPECT_TRUE(red_in_cell(1)) << "a blank typed wrongly shows as a red underscore";
    EXPECT_EQ(window_pixel(line, 5, 5), 0xC0C0C0u) << "light grey around the lines";
}

TEST_F(TypingLine, ControlsNoScreenCreatesAnswerAsStatics)
{
    for (const char* name : {kKbdButtonClass, kHighSpeedometerClass, kPercentDisplayClass}) {
        SCOPED_TRACE(name);
        plat::WindowHandle w = plat::create_window_ex(0, name, "7", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, 60, 30,
            host, 1, {}, nullptr);
        ASSERT_TRUE(w);
        EXPECT_EQ(plat::send_message(w, plat::WM_GETDLGCODE, 0, 0), plat::LResult(plat::DLGC_STATIC));
        run_for(0);
        plat::destroy_window(w);
    }
}

// The line judge alone: typed code j meets model code j.
TEST(LineJudge, CountsTypedAndCorrectCodes)
{
    constexpr uint16_t ga = 0x8861, gak = 0x8862;
    static const struct {
        const char* name;
        std::vector<uint16_t> typed, model;
        int32_t typed_count, correct, strokes, blank_typed;
    } kCases[] = {
        {"all correct", {'a', 'b'}, {'a', 'b'}, 2, 2, 2, 0},
        {"a syllable with a final is three strokes", {gak}, {gak}, 1, 1, 3, 0},
        {"a syllable over \"ab\"", {ga, kTypedSecondColumn, 'c'}, {'a', 'b', 'c'}, 3, 1, 1, 1},
        {"judging stops at the end of the model", {'a', 'b', 'c'}, {'a'}, 1, 1, 1, 0},
        {"judging stops at the end of the typed codes", {'a'}, {'a', 'b'}, 1, 1, 1, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        PracticeStats stats;
        std::vector<KeyTimes> times(c.typed.size(), KeyTimes {100, 200, 3000});
        line_judge(c.typed, c.model, times, stats);
        EXPECT_EQ(stats.at(kStatsTyped), c.typed_count);
        EXPECT_EQ(stats.at(kStatsCorrect), c.correct);
        EXPECT_EQ(stats.at(kStatsStrokes), c.strokes);
        EXPECT_EQ(stats.at(kStatsKeyTyped + 0), c.blank_typed);
    }
    PracticeStats stats;
    std::vector<uint16_t> one {gak};
    std::vector<KeyTimes> times {KeyTimes {100, 200, 3000}};
    line_judge(one, one, times, stats);
    EXPECT_EQ(stats.at(kStatsJamoTime + 2 * kJamoFields + johab_final(gak)), 2000) << "times are capped";
    EXPECT_EQ(stats.at(kStatsJamoCorrect + kJamoFields + johab_medial(gak)), 1);
    PracticeStats letters;
    std::vector<uint16_t> a {'a'};
    line_judge(a, a, std::vector<KeyTimes> {{150, 0, 0}}, letters);
    EXPECT_EQ(letters.at(kStatsKeyTime + stats_key_slot('A')), 150);
    EXPECT_EQ(letters.at(kStatsKeyCorrect + stats_key_slot('A')), 1);
}

} // namespace
