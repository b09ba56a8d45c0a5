// The word-rain game's rules, apart from its window: the level table, the falling boxes, the
// drop and fall steps, damage, bonus items and their effects, and the score of a word. The
// game screen (game.h) drives them from its timer and draws what they report.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/geometry.h"
#include "platform/window/window_types.h"

constexpr int kGameLevels = 9; // 0..8; the last has no quota
constexpr int kGameLastLevel = 8;
constexpr int kGameDamageEnd = 11; // this much damage ends the game
constexpr size_t kGameBoxesMax = 20;
constexpr int kBonusItems = 8;
constexpr int kBonusNone = 8;
constexpr int32_t kGameFieldWidth = 640;
constexpr int32_t kGameFieldBottom = 390; // a word below this line hits the tower
constexpr size_t kGameWordMax = 23; // bytes of a box's word

enum GameBonusItem : int {
    kBonusSweep = 0, // every box on screen counts as hit
    kBonusHeal = 1, // damage one less
    kBonusHealAll = 2, // damage 0
    kBonusSlow = 3,
    kBonusFast = 4,
    kBonusLevelUp = 5,
    kBonusLevelDown = 6,
    kBonusSwarm = 7, // a few more words at once
};

struct GameLevelRow {
    int32_t quota; // words to drop before the next level
    uint32_t period_ms; // of the game's timer; the platform runs nothing faster than 10 ms
    int32_t fall_ms;
    int32_t fast_ms; // fall interval while "빠르게" is active
    int32_t slow_ms; // while "천천히" is active
    int32_t drop_chance; // per 10000 checks
};
// The row of a level (clamped to 0..8).
const GameLevelRow& game_level_row(int level);
uint32_t game_timer_period(int level); // at least the platform's 10 ms
int32_t game_fall_speed(int level); // pixels a step

// The item's name (UTF-8) and weight; "" and 0 outside 0..7.
const char* bonus_item_name(int item);
int32_t bonus_item_weight(int item);
// A weighted random item: never the previous pick, never "껑충" on level 8 nor "아래로" on level 0.
int bonus_item_pick(int level);
void bonus_item_reset(); // forgets the previous pick (a new run)

enum GameBoxKind : int { kBoxWord = 0, kBoxBonus = 1 };
struct GameBox {
    GameBoxKind kind = kBoxWord;
    int item = kBonusNone;
    int32_t speed = 0;
    plat::Rect rect;
    plat::Rect previous;
    std::string word; // Johab
    plat::GdiObject picture; // the box with its word drawn; owned by the screen
};

// The points of a box: T (T + 1) / 2, T the keystrokes of its word (a syllable counts its real
// jamo, any other character 1).
int32_t word_score(const GameBox& box);

struct GameGeometry {
    plat::Size craft {96, 40};
    plat::Size box {160, 30};
    int32_t cell_height = 20;
    int32_t half_width = 10;
};

struct GameState {
    GameGeometry geometry;
    int level = 0;
    int32_t score = 0;
    int damage = 0;
    int32_t dropped = 0; // words dropped in this level
    size_t max_boxes = 5; // 5 and 6 alternately
    int effect = kBonusNone; // the item shown, or kBonusNone
    int32_t effect_ms = 0;
    int32_t fall_added_ms = 0; // by "천천히" or "빠르게"
    bool over = false;
    bool running = false;
    uint32_t last_tick = 0;
    uint32_t last_move = 0;
    uint32_t last_check = 0;
    uint32_t last_fall = 0;
    int32_t craft_x = 0;
    int32_t craft_step = 9;
    std::vector<GameBox> boxes; // newest first
};

// A new level: effects end unless kept (a level started by an item shows it on), the quota
// counts again. The level is clamped to 8.
void game_level_start(GameState& game, int level, bool keep_effect, uint32_t now);
void game_reset(GameState& game, int level); // a new game on that level
int32_t game_fall_interval(const GameState& game);
plat::Rect game_craft_rect(const GameState& game);

// What one timer tick did, for the screen to draw, sound and post.
struct GameTick {
    bool effect_ended = false;
    bool craft_moved = false;
    plat::Rect craft_before;
    std::vector<size_t> dropped; // indices into boxes of new boxes (after the tick's changes)
    bool fell = false;
    bool damaged = false;
    std::vector<GameBox> gone; // boxes that left the field (the screen frees their pictures)
    bool over = false;
    bool next_level = false;
};
GameTick game_tick(GameState& game, uint32_t now);

// Drops one box of the kind: a word (none when no word fits the box: the draws are bounded)
// or a bonus. Returns whether a box was added (at the front of boxes).
bool game_drop(GameState& game, GameBoxKind kind, bool scattered);

// An answer fired: every box whose word equals it (all after a sweeping item) is removed and
// scored, items applied. hits lists the boxes removed, in order; last_item the last bonus item
// hit, or kBonusNone. Effects that need the screen (levels, swarm) are the caller's.
struct GameAnswer {
    std::vector<GameBox> hits;
    int last_item = kBonusNone;
    bool damage_changed = false;
};
GameAnswer game_answer(GameState& game, std::string_view answer);
// After the answer: starts the effect of the last item hit (its time and fall change).
void game_effect_start(GameState& game, int item);
// The tower's frame for the damage: clamped to the frames the picture has.
int game_tower_frame(int damage, int frame_count);
