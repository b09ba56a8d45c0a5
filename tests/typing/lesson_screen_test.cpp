// The lesson screen on the headless desktop: the next key and its finger are lit from the lit
// keyboard, the light follows what is typed, and a finished line brings the next pair's drill.
#include "typing/lesson_screen.h"
#include "typing/lessons.h"
#include "typing/multi_input.h"
#include "typing/tutor_paths.h"

#include "tutor_window_test.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr uint32_t kPlain = 1, kKeyboard = 5, kLit = 2, kFinger = 3;

class LessonScreenTest : public TutorWindowTest {
protected:
    plat::WindowHandle screen;
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        ASSERT_TRUE(multi_input_register());
        ASSERT_TRUE(lesson_screen_register());
        ASSERT_TRUE(lessons_decode());
        use_archive({solid_picture("face1.bmp", 40, 40, kPlain), solid_picture("vd-2kr.bmp", 640, 480, kPlain),
            solid_picture("kbd2.bmp", 565, 192, kKeyboard), solid_picture("kbd6.bmp", 565, 192, kLit),
            solid_picture("fingicon.bmp", 224, 28, kFinger), solid_picture("menuqry.bmp", 256, 224, kPlain)});
        std::filesystem::create_directories(path("data"));
        std::string words = "ask sad flask salad dad lad fall\r\n";
        write_host_file(path("data/WORD.ENG"), std::vector<uint8_t>(words.begin(), words.end()));
        settings_current().Language = 1;
        settings_current().Keyboard = 0;
        settings_current().LessonCount = 1;
    }
    void TearDown() override
    {
        lessons_free();
        word_list_free();
        TutorWindowTest::TearDown();
    }
    // The screen over the host, its typing line with the focus; null when either is missing.
    plat::WindowHandle open(uintptr_t id)
    {
        screen = plat::create_window_ex(0, kLessonClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, 640, 480, host,
            id, {}, nullptr);
        run_for(0);
        plat::WindowHandle line = screen ? plat::get_dlg_item(screen, int(kMultiInputId)) : plat::WindowHandle {};
        if (line)
            plat::set_focus(line);
        run_for(0);
        return line;
    }
    bool lit(const plat::Rect& r) { return window_pixel(screen, r.left + 5, r.top + 5) == kTestColours[kLit]; }
    bool finger_lit(int finger)
    {
        plat::Rect r = finger_rect(finger);
        return window_pixel(screen, r.left + 5, r.top + 5) == kTestColours[kFinger];
    }
};

TEST_F(LessonScreenTest, TheNextKeyAndItsFingerAreLitAndFollowTheTyping)
{
    plat::WindowHandle line = open(201);
    ASSERT_TRUE(line);
    // the first drill pairs 'a' with 's': one of them is lit with its finger, the other not
    MultiInputState state = multi_input_state(line);
    ASSERT_TRUE(state.model_next == 'a' || state.model_next == 's') << state.model_next;
    uint16_t other = state.model_next == 'a' ? 's' : 'a';
    EXPECT_TRUE(lit(key_rect(key_place(2, state.model_next))));
    EXPECT_FALSE(lit(key_rect(key_place(2, other))));
    EXPECT_TRUE(finger_lit(state.model_next == 'a' ? 0 : 1));
    EXPECT_FALSE(lit(key_rect(key_place(2, 'j'))));
    // typing the whole first line moves the light along and on to the next pair's line
    for (int i = 0; i < 4; ++i) {
        state = multi_input_state(line);
        plat::input_char(uint8_t(state.model_next));
        run_for(0);
        state = multi_input_state(line);
        if (state.model_next) {
            EXPECT_TRUE(lit(key_rect(key_place(2, state.model_next)))) << i;
        }
    }
    plat::input_char(' '); // a blank at the end finishes the line
    run_for(0);
    state = multi_input_state(line);
    EXPECT_EQ(state.position, 0);
    EXPECT_TRUE(state.model_next == 's' || state.model_next == 'd') << state.model_next; // pair (s, d)
    plat::destroy_window(screen);
}

// A number lesson has no word stage: its last drill line ends the lesson with the result
// dialog titled with its keys, the practice goes into the user's today, and the user file moves
// on to the next lesson's first pair.
TEST_F(LessonScreenTest, ACompletedLessonShowsTheResultAndMovesOn)
{
    user_set_current(std::make_unique<UserRecord>());
    user_header_set_u32(*user_current(), kHeaderLesson, 6); // "1234567890"
    plat::WindowHandle line = open(207);
    ASSERT_TRUE(line);
    for (int drill = 0; drill < 10; ++drill) {
        for (int i = 0; i < 4; ++i) {
            plat::input_char(uint8_t(multi_input_state(line).model_next));
            run_for(0);
        }
        if (drill == 9)
            start_script("wait 50\nkey Space\n"); // closes the result dialog
        plat::input_char(' ');
        run_for(0);
    }
    run_for(100);
    std::ifstream in(path("run.log"));
    std::stringstream log;
    log << in.rdbuf();
    EXPECT_NE(log.str().find("result \"1 2 3 4 5 6 7 8 9 0\" keystrokes="), std::string::npos) << log.str();
    EXPECT_EQ(user_header_u32(*user_current(), kHeaderLesson), 7u);
    EXPECT_EQ(user_header_u32(*user_current(), kHeaderPosition), 0u);
    EXPECT_EQ(user_header_u32(*user_current(), kHeaderLessonStage), 0u);
    EXPECT_EQ(user_current()->today.at(kStatsTyped), 40);
    plat::destroy_window(screen);
}

} // namespace
