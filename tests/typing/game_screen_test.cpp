#include "typing/game.h"

#include "typing/game_edit.h"
#include "typing/lessons.h"

#include "tutor_window_test.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// The game screen over the test host, on English words of one word.
class GameScreen : public TutorWindowTest {
protected:
    plat::WindowHandle game;
    void SetUp() override
    {
        TutorWindowTest::SetUp();
        use_archive({solid_picture("vd-game.bmp", 640, 480, 15), solid_picture("vd-bumb.bmp", 160, 30, 1),
            solid_picture("vd-bunus.bmp", 160, 30, 7), solid_picture("vd-gm-ar.bmp", 96, 40, 2),
            solid_picture("tower0.bmp", 140, 13, 4), solid_picture("vd-gamet.bmp", 320, 110, 5)});
        ASSERT_TRUE(game_register());
        settings_current().Language = 1;
        ASSERT_TRUE(lessons_decode());
        std::vector<std::string> words {"asdf"}; // the first lesson's keys
        word_list_set(1, words);
        std::srand(1);
        start_script("wait 50\nkey Space\n"); // the level banner
        game = plat::create_window_ex(0, kGameClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, 640, 480, host, 0,
            {}, nullptr);
        ASSERT_TRUE(game);
        plat::set_focus(game);
        run_for(200);
    }
    void TearDown() override
    {
        word_list_free();
        lessons_free();
        TutorWindowTest::TearDown();
    }
    std::string log_text()
    {
        std::ifstream in(path("run.log"));
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    size_t count(const std::string& text, size_t from = 0)
    {
        std::string log = log_text();
        size_t found = 0;
        for (size_t at = log.find(text, from); at != std::string::npos; at = log.find(text, at + 1))
            ++found;
        return found;
    }
    void fire(const char* answer)
    {
        plat::set_window_text(plat::get_dlg_item(game, kGameEditId), answer);
        plat::post_message(game, plat::WM_COMMAND, 1, 0);
        run_for(0);
    }
};

TEST_F(GameScreen, AWordDroppedAndFiredIsHitAndScored)
{
    EXPECT_NE(log_text().find("game level 1"), std::string::npos);
    run_for(3000);
    ASSERT_GE(count("game drop \"asdf\""), 1u) << log_text();
    fire("asdf");
    EXPECT_GE(count("game hit \"asdf\" score 10"), 1u) << log_text();
    char score[16] = {};
    plat::get_window_text(plat::get_dlg_item(game, kGameScoreViewId), score, sizeof score);
    EXPECT_EQ(std::string(score).substr(0, 2), "10") << "the score view follows the hits";
}

TEST_F(GameScreen, TheGamePausesWithoutTheFocus)
{
    plat::set_focus(host);
    run_for(0);
    const size_t before = log_text().size();
    run_for(8000);
    EXPECT_EQ(count("game drop", before), 0u) << "nothing drops while paused";
    plat::set_focus(game);
    run_for(8000);
    EXPECT_GE(count("game drop", before), 1u) << "the focus back resumes it";
}

TEST_F(GameScreen, TheSoundToolTogglesTheSettingAndSilencesTheGame)
{
    ASSERT_EQ(settings_current().Sound, 1);
    EXPECT_GE(count("sound played"), 1u) << "the level's start sound";
    plat::post_message(game, plat::WM_COMMAND, 900, 0);
    run_for(0);
    EXPECT_EQ(settings_current().Sound, 0);
    const size_t before = log_text().size();
    run_for(100);
    fire("asdf"); // fired with no box to hit: the shot alone would sound
    EXPECT_EQ(count("sound played", before), 0u);
    plat::post_message(game, plat::WM_COMMAND, 910, 0);
    run_for(0);
    EXPECT_EQ(settings_current().Sound, 1);
}

} // namespace
