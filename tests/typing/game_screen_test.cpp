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
            solid_picture("tower0.bmp", 140, 13, 4), solid_picture("vd-gamet.bmp", 320, 110, 5),
            solid_picture("vd-gamel.bmp", 460, 290, 3), solid_picture("vd-gt-vn.bmp", 400, 300, 6),
            solid_picture("flag1.bmp", 100, 100, 9), solid_picture("flag2.bmp", 100, 100, 9),
            solid_picture("flag3.bmp", 100, 100, 9), solid_picture("flag4.bmp", 100, 100, 9),
            solid_picture("flag5.bmp", 100, 100, 9), solid_picture("flag6.bmp", 100, 100, 9),
            solid_picture("flag7.bmp", 100, 100, 9)});
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

// The level chooser (command 402) pauses the game: Escape goes on with the level as it was, a
// flag's click starts that level (its banner first) and keeps it as the starting level.
TEST_F(GameScreen, TheLevelChooserStartsTheChosenLevelOrResumes)
{
    static const struct {
        const char* name;
        const char* script;
        int level;              // the starting level afterwards
        const char* started;    // the level line it logs, or null
    } kCases[] = {
        {"escape", "wait 50\nkey Esc\n", 0, nullptr},
        // The chooser is centred on the game: its third flag's middle is at (395, 207).
        {"the third flag", "wait 50\nclick 395 207\nwait 50\nkey Space\n", 2, "game level 3"},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        start_script(row.script);
        plat::post_message(game, plat::WM_COMMAND, 402, 0);
        run_for(300);
        EXPECT_EQ(settings_current().Level, row.level);
        if (row.started) {
            EXPECT_EQ(count(row.started), 1u) << log_text();
        } else {
            EXPECT_EQ(count("game level"), 0u) << log_text();
        }
        const size_t before = log_text().size();
        run_for(8000);
        EXPECT_GE(count("game drop", before), 1u) << "the game runs on";
    }
}

// The scores command during play stores the score, shows the list and starts the game again
// from the starting level with the score at zero.
TEST_F(GameScreen, TheScoresCommandDuringPlayStoresTheScoreAndRestarts)
{
    run_for(3000);
    ASSERT_GE(count("game drop \"asdf\""), 1u) << log_text();
    fire("asdf");
    ASSERT_GE(count("game hit \"asdf\" score 10"), 1u) << log_text();
    start_script("wait 2000\nkey Space\nwait 50\nkey Space\n"); // the list, then the level banner
    plat::post_message(game, plat::WM_COMMAND, 404, 0);
    run_for(2500);
    EXPECT_EQ(count("high score stored rank 1 score 10"), 1u) << log_text();
    EXPECT_EQ(count("game level 1"), 1u) << log_text();
    char score[16] = {};
    plat::get_window_text(plat::get_dlg_item(game, kGameScoreViewId), score, sizeof score);
    EXPECT_EQ(std::string(score).substr(0, 1), "0") << score;
}

} // namespace
