#include "typing/game_rules.h"

#include "platform/kernel/clock.h"
#include "typing/johab.h"
#include "typing/lessons.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace {

std::string johab(uint16_t code) { return std::string {char(code >> 8), char(code & 0xFF)}; }

// 가 and 나: two syllables without a final consonant.
const std::string kGa = johab(0x8861);
const std::string kNa = johab(0x9061);
const std::string kGak = johab(0x8862); // 각: with a final consonant

TEST(WordScore, IsTheTriangleOfTheKeystrokes)
{
    static const struct {
        const char* name;
        std::string word;
        int32_t expected;
    } kCases[] = {
        {"two open syllables: 4 jamo", kGa + kNa, 10},
        {"three letters", "abc", 6},
        {"one letter", "a", 1},
        {"a syllable with a final: 3 jamo", kGak, 6},
        {"an empty word", "", 1},
        {"a lone vowel counts its one real jamo", johab(0x8461), 1},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        GameBox box;
        box.word = row.word;
        EXPECT_EQ(word_score(box), row.expected);
    }
}

TEST(GameLevels, FastPeriodsBecomeThePlatformMinimumAndTheTowerFrameIsClamped)
{
    for (int level = 0; level < kGameLevels; ++level)
        EXPECT_EQ(game_timer_period(level), 10u) << level;
    EXPECT_EQ(game_fall_speed(0), 2);
    EXPECT_EQ(game_fall_speed(8), 5);
    EXPECT_EQ(game_level_row(99).quota, 10000) << "levels past the last clamp to it";
    EXPECT_EQ(game_tower_frame(11, 11), 10) << "the short tower has no eleventh frame";
    EXPECT_EQ(game_tower_frame(11, 14), 11);
    EXPECT_EQ(game_tower_frame(-1, 14), 0);
}

TEST(BonusPick, FollowsTheExclusions)
{
    static const struct {
        const char* name;
        int level;
        int never;
    } kCases[] = {
        {"no level up on the last level", 8, kBonusLevelUp},
        {"no level down on the first", 0, kBonusLevelDown},
        {"both on a middle level", 4, -1},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        std::srand(7);
        bonus_item_reset();
        std::set<int> seen;
        int previous = kBonusNone;
        for (int i = 0; i < 3000; ++i) {
            int item = bonus_item_pick(row.level);
            ASSERT_NE(item, previous) << "the same item twice in a row";
            ASSERT_NE(item, row.never);
            ASSERT_GE(item, 0);
            ASSERT_LT(item, kBonusItems);
            seen.insert(item);
            previous = item;
        }
        EXPECT_EQ(seen.size(), size_t(row.never < 0 ? kBonusItems : kBonusItems - 1));
    }
}

// A game on a word list of two short words, stepped under the virtual clock.
class GameRun : public ::testing::Test {
protected:
    GameState game;
    void SetUp() override
    {
        plat::clock_use_virtual(1000, 0);
        std::srand(12345);
        bonus_item_reset();
        std::vector<std::string> words {"abc", "de"};
        word_list_set(1, words);
        word_filter_by_keys(-1, 0); // no layout: every word
        game.running = true;
        game_level_start(game, 0, false, plat::get_tick_count());
    }
    void TearDown() override
    {
        word_list_free();
        plat::clock_reset();
    }
    GameTick step(uint32_t ms = 10)
    {
        plat::clock_advance(ms);
        return game_tick(game, plat::get_tick_count());
    }
    static GameBox word_box(const std::string& word, int32_t top)
    {
        GameBox box;
        box.word = word;
        box.speed = 2;
        box.rect = {100, top, 260, top + 30};
        box.previous = box.rect;
        return box;
    }
};

TEST_F(GameRun, ALevelEndsWhenItsQuotaIsDroppedAndTheFieldIsClear)
{
    int32_t words = 0;
    bool next = false;
    for (int i = 0; i < 200000 && !next; ++i) {
        GameTick tick = step();
        for (size_t index : tick.dropped)
            words += game.boxes[index].kind == kBoxWord;
        // Every word is answered at once: the tower takes no damage.
        for (const GameBox& box : std::vector<GameBox>(game.boxes))
            (void)game_answer(game, box.word);
        ASSERT_FALSE(tick.over);
        next = tick.next_level;
    }
    ASSERT_TRUE(next);
    EXPECT_EQ(words, game_level_row(0).quota);
    EXPECT_EQ(game.dropped, 20);
    EXPECT_EQ(game.damage, 0);
    EXPECT_GT(game.score, 0);
    game_level_start(game, 1, false, plat::get_tick_count());
    EXPECT_EQ(game.level, 1);
    EXPECT_EQ(game.dropped, 0);
}

TEST_F(GameRun, TheLastLevelNeverEndsByQuota)
{
    game_level_start(game, kGameLastLevel, false, plat::get_tick_count());
    game.dropped = 20000;
    for (int i = 0; i < 500; ++i) {
        GameTick tick = step();
        ASSERT_FALSE(tick.next_level);
        game.boxes.clear();
    }
}

TEST_F(GameRun, TheEleventhWordAtTheBottomEndsTheGame)
{
    int damaged = 0;
    bool over = false;
    for (int i = 0; i < 400000 && !over; ++i) {
        GameTick tick = step();
        damaged += tick.damaged;
        over = tick.over;
        if (!over) {
            ASSERT_LT(game.damage, kGameDamageEnd);
        }
    }
    ASSERT_TRUE(over);
    EXPECT_EQ(damaged, 11);
    EXPECT_EQ(game.damage, 11);
    EXPECT_TRUE(game.over);
    GameTick after = step(1000);
    EXPECT_FALSE(after.fell) << "nothing moves after the game is over";
}

TEST_F(GameRun, TwoWordsReachingTheTowerInOneStepCountOnce)
{
    game.max_boxes = 0; // nothing new drops
    game.boxes.push_back(word_box("abc", kGameFieldBottom - 30));
    game.boxes.push_back(word_box("de", kGameFieldBottom - 31));
    game.boxes[1].rect.left = game.boxes[1].previous.left = 300;
    game.boxes[1].rect.right = game.boxes[1].previous.right = 460;
    GameTick tick = step(game_fall_interval(game));
    ASSERT_TRUE(tick.fell);
    EXPECT_TRUE(tick.damaged);
    EXPECT_EQ(game.damage, 1);
    EXPECT_EQ(tick.gone.size(), 2u);
    EXPECT_TRUE(game.boxes.empty());
}

TEST_F(GameRun, ALevelWithoutAFittingWordDropsNothing)
{
    static const struct {
        const char* name;
        std::vector<std::string> words;
    } kCases[] = {
        {"no words at all", {}},
        {"only words wider than the box", {std::string(16, 'x'), std::string(20, 'y')}},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        word_list_set(1, row.words);
        word_filter_by_keys(-1, 0);
        EXPECT_FALSE(game_drop(game, kBoxWord, false));
        EXPECT_FALSE(game_drop(game, kBoxBonus, false));
        for (int i = 0; i < 2000; ++i)
            EXPECT_TRUE(step().dropped.empty());
        EXPECT_TRUE(game.boxes.empty());
    }
}

TEST_F(GameRun, AnswersScoreTheirBoxesAndBonusesApplyTheirItems)
{
    game.damage = 4;
    game.boxes.push_back(word_box("abc", 50));
    game.boxes.push_back(word_box("abc", 100));
    game.boxes.push_back(word_box("de", 150));
    GameAnswer answer = game_answer(game, "abc");
    EXPECT_EQ(answer.hits.size(), 2u) << "every box carrying the word";
    EXPECT_EQ(game.score, 12);
    EXPECT_EQ(answer.last_item, kBonusNone);

    GameBox heal = word_box("fg", 200);
    heal.kind = kBoxBonus;
    heal.item = kBonusHeal;
    game.boxes.push_back(heal);
    answer = game_answer(game, "fg");
    EXPECT_EQ(game.damage, 3);
    EXPECT_TRUE(answer.damage_changed);
    EXPECT_EQ(answer.last_item, kBonusHeal);

    GameBox sweep = word_box("hi", 250);
    sweep.kind = kBoxBonus;
    sweep.item = kBonusSweep;
    game.boxes.insert(game.boxes.begin(), sweep);
    game.boxes.push_back(word_box("zzz", 300));
    answer = game_answer(game, "hi");
    EXPECT_EQ(answer.hits.size(), 3u) << "after a sweep every box counts";
    EXPECT_TRUE(game.boxes.empty());

    game_effect_start(game, kBonusSlow);
    EXPECT_EQ(game_fall_interval(game), game_level_row(0).slow_ms);
    EXPECT_EQ(game.effect_ms, 10000);
    GameTick tick = step(10000);
    EXPECT_TRUE(tick.effect_ended);
    EXPECT_EQ(game_fall_interval(game), game_level_row(0).fall_ms);
}

TEST_F(GameRun, DropsAlternateTheMaximumAndNeverExceedTwentyBoxes)
{
    EXPECT_EQ(game.max_boxes, 5u);
    ASSERT_TRUE(game_drop(game, kBoxWord, false));
    EXPECT_EQ(game.max_boxes, 6u);
    ASSERT_TRUE(game_drop(game, kBoxWord, true));
    EXPECT_EQ(game.max_boxes, 5u);
    EXPECT_EQ(game.dropped, 2);
    game.max_boxes = 100;
    game_level_start(game, kGameLastLevel, false, plat::get_tick_count());
    for (int i = 0; i < 20000; ++i) {
        step();
        ASSERT_LE(game.boxes.size(), kGameBoxesMax + 1) << "at most one bonus beside twenty words";
        game.max_boxes = 100;
    }
}

} // namespace
