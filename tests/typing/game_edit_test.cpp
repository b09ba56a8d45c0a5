#include "typing/game_edit.h"

#include "typing/johab.h"
#include "typing/options_dialog.h"

#include "tutor_window_test.h"

namespace {

class AnswerLine : public TutorWindowTest {
protected:
    plat::WindowHandle edit;

    void SetUp() override
    {
        TutorWindowTest::SetUp();
        edit = plat::create_window_ex(0, kGameEditClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 264, 428, 110, 29,
            host, 1001, {}, nullptr);
        ASSERT_TRUE(edit);
        plat::set_focus(edit);
        run_for(0);
    }
    std::string text_cp949()
    {
        char buffer[300] = {};
        plat::get_window_text(edit, buffer, sizeof buffer);
        return johab_to_wansung(buffer);
    }
    void type(const char* input) // '\x01' is Backspace, '\x02' composes 김
    {
        for (const char* p = input; *p; ++p) {
            if (*p == '\x01') {
                plat::input_key(plat::VK_BACK, true);
                plat::input_key(plat::VK_BACK, false);
            } else if (*p == '\x02') {
                plat::ime_compose_text("\xEA\xB9\x80");
            } else {
                uint32_t vk = *p == '\r' ? uint32_t(plat::VK_RETURN) : *p == 27 ? uint32_t(plat::VK_ESCAPE) : 0u;
                if (vk) {
                    plat::input_key(vk, true);
                    plat::input_key(vk, false);
                } else {
                    plat::input_char(uint8_t(*p));
                }
            }
            run_for(0);
        }
    }
};

TEST_F(AnswerLine, KeysAndCompositionMakeTheAnswer)
{
    static const struct {
        const char* name;
        const char* input;
        std::string text;
        std::vector<std::string> posted;
    } kCases[] = {
        {"letters", "ab", "ab", {}},
        {"backspace", "ab\x01", "a", {}},
        {"backspace on nothing", "\x01", "", {}},
        {"a composed syllable", "\x02", "\xB1\xE8", {}},
        {"syllable then letter", "\x02x", "\xB1\xE8x", {}},
        {"Enter", "a\r", "a", {"1 0"}},
        {"Esc", "\x1b", "", {"2 0"}},
        {"a blank is an answer", "a ", "a", {"1001 1"}},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        plat::send_message(edit, kMsgGameEditClear, 0, 0);
        commands.clear();
        type(row.input);
        EXPECT_EQ(text_cp949(), row.text);
        EXPECT_EQ(commands, row.posted);
    }
}

TEST_F(AnswerLine, TheLineHoldsAtMost128CodesAndTellsWhenFull)
{
    std::string letters(130, 'w');
    type(letters.c_str());
    EXPECT_EQ(text_cp949(), std::string(128, 'w'));
    EXPECT_EQ(commands.front(), "1001 1");
    plat::set_window_text(edit, std::string(200, 'q').c_str());
    EXPECT_EQ(text_cp949(), std::string(128, 'q'));
    char small[6];
    EXPECT_EQ(plat::get_window_text(edit, small, sizeof small), 5);
}

TEST_F(AnswerLine, LosingTheFocusTellsTheParent)
{
    plat::set_focus(host);
    run_for(0);
    EXPECT_EQ(commands, (std::vector<std::string> {"1001 2"}));
}

TEST_F(AnswerLine, TheAboutBoxEndsOnItsButton)
{
    start_script("wait 50\nanswer \xED\x99\x95\xEC\x9D\xB8\n"); // 확인
    about_box_run(host);
    EXPECT_TRUE(plat::is_window_enabled(host));
    std::vector<uint8_t> log = read_host_file(path("run.log"));
    std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("\xEB\xB7\x94\xEB\xA0\x8C\xED\x83\x80\xEC\x9E\x90\xEA\xB5\x90\xEC\x82\xAC"), std::string::npos)
        << text; // the caption
}

} // namespace
