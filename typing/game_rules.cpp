// The rules hold no window state: the screen owns one GameState and hands it in.
#include "typing/game_rules.h"

#include "typing/practice_stats.h"

#include "typing/johab.h"
#include "typing/lessons.h"

#include <algorithm>
#include <cstdlib>

// The platform's timers run no faster than this; the move, drop and fall clocks keep the
// game's pace whatever the timer's period.
constexpr uint32_t kTimerMinimumMs = 10;
constexpr uint32_t kMoveMs = 10;
constexpr uint32_t kCheckMs = 50;
constexpr int32_t kBonusDraws = 18; // one draw in this many offers a bonus
constexpr int kWordDraws = 100; // a level whose words never fit the box drops nothing
constexpr int kPlaceTries = 100;
constexpr int32_t kSlowFastMs = 10000;
constexpr int32_t kShownMs = 3000;

static const GameLevelRow kLevels[kGameLevels] = {
    // quota, period, fall, fast, slow, chance
    {20, 10, 100, 60, 160, 400},
    {30, 10, 100, 60, 140, 400},
    {40, 10, 80, 40, 120, 400},
    {50, 5, 80, 35, 110, 500},
    {60, 5, 60, 35, 100, 500},
    {50, 5, 50, 30, 90, 600},
    {40, 0, 40, 20, 80, 600},
    {30, 0, 30, 15, 70, 800},
    {10000, 0, 20, 15, 60, 800}, // the last level has no quota
};

static const struct {
    const char* name;
    int32_t weight;
} kItems[kBonusItems] = {
    {"싹쓸이", 40}, {"하나삶", 50}, {"모두삶", 10}, {"천천히", 100},
    {"빠르게", 70}, {"껑충", 10}, {"아래로", 10}, {"떼거리", 40},
};

static int s_previous_pick = kBonusNone;

static int clamp_level(int level) { return std::clamp(level, 0, kGameLastLevel); }

const GameLevelRow& game_level_row(int level) { return kLevels[clamp_level(level)]; }

uint32_t game_timer_period(int level) { return std::max(game_level_row(level).period_ms, kTimerMinimumMs); }

int32_t game_fall_speed(int level) { return (clamp_level(level) + 2) / 3 + 2; }

const char* bonus_item_name(int item) { return item >= 0 && item < kBonusItems ? kItems[item].name : ""; }

int32_t bonus_item_weight(int item) { return item >= 0 && item < kBonusItems ? kItems[item].weight : 0; }

static bool pick_allowed(int item, int level)
{
    if (item == s_previous_pick)
        return false;
    if (item == kBonusLevelUp && level >= kGameLastLevel)
        return false;
    return !(item == kBonusLevelDown && level <= 0);
}

int bonus_item_pick(int level)
{
    int32_t total = 0;
    for (const auto& item : kItems)
        total += item.weight;
    for (;;) {
        int32_t draw = std::rand() % total;
        int item = 0;
        for (int32_t sum = kItems[0].weight; sum <= draw; sum += kItems[item].weight)
            ++item;
        if (pick_allowed(item, level)) {
            s_previous_pick = item;
            return item;
        }
    }
}

void bonus_item_reset() { s_previous_pick = kBonusNone; }

int32_t word_score(const GameBox& box)
{
    int32_t strokes = 0;
    for (uint16_t code : dbcs_to_codes(box.word))
        strokes += syllable_stroke_weight(code);
    return strokes <= 1 ? 1 : strokes * (strokes + 1) / 2;
}

void game_level_start(GameState& game, int level, bool keep_effect, uint32_t now)
{
    if (!keep_effect) {
        game.effect = kBonusNone;
        game.effect_ms = 0;
        game.fall_added_ms = 0;
    }
    game.level = clamp_level(level);
    game.dropped = 0;
    game.last_tick = game.last_move = game.last_check = game.last_fall = now;
}

void game_reset(GameState& game, int level)
{
    game.over = false;
    game.level = clamp_level(level);
    game.score = 0;
    game.dropped = 0;
    game.damage = 0;
}

int32_t game_fall_interval(const GameState& game) { return game_level_row(game.level).fall_ms + game.fall_added_ms; }

plat::Rect game_craft_rect(const GameState& game)
{
    return {game.craft_x, 0, game.craft_x + game.geometry.craft.cx, game.geometry.craft.cy};
}

static bool overlaps(const plat::Rect& a, const plat::Rect& b)
{
    plat::Rect common;
    return plat::intersect_rect(common, a, b);
}

static bool overlaps_any(const GameState& game, const plat::Rect& rect)
{
    return std::any_of(game.boxes.begin(), game.boxes.end(), [&](const GameBox& b) { return overlaps(b.rect, rect); });
}

// A word shorter than the box in bytes; "" when the draws found none.
static std::string fitting_word(const GameState& game)
{
    const int32_t half = std::max<int32_t>(1, game.geometry.half_width);
    const size_t limit = std::min(size_t(std::max<int32_t>(0, game.geometry.box.cx / half)), kGameWordMax + 1);
    const size_t shortest = word_filtered_shortest();
    if (shortest == 0 || shortest >= limit)
        return {};
    for (int i = 0; i < kWordDraws; ++i) {
        std::string word = word_list_random();
        if (!word.empty() && word.size() < limit)
            return word;
    }
    return {};
}

static int32_t random_x(int32_t width) { return width > 0 ? std::rand() % width : 0; }

static plat::Rect word_place(const GameState& game, bool scattered)
{
    const plat::Size box = game.geometry.box;
    const int32_t room = std::max(0, kGameFieldWidth - box.cx);
    const plat::Rect craft = game_craft_rect(game);
    int32_t x = scattered ? random_x(room) : craft.left + (craft.width() - box.cx) / 2;
    plat::Rect rect {0, craft.bottom, 0, craft.bottom + box.cy};
    for (int tries = 0;; ++tries) {
        rect.left = std::clamp(x, 0, room);
        rect.right = rect.left + box.cx;
        if (tries >= kPlaceTries || !overlaps_any(game, rect))
            return rect;
        x = random_x(room);
    }
}

bool game_drop(GameState& game, GameBoxKind kind, bool scattered)
{
    GameBox box;
    box.kind = kind;
    box.speed = game_fall_speed(game.level);
    box.word = fitting_word(game);
    if (box.word.empty())
        return false;
    if (kind == kBoxBonus) {
        box.item = bonus_item_pick(game.level);
        const int32_t top = game_craft_rect(game).bottom;
        box.rect = {kGameFieldWidth - game.geometry.box.cx, top, kGameFieldWidth, top + game.geometry.box.cy};
    } else {
        box.rect = word_place(game, scattered);
        ++game.dropped;
    }
    box.previous = box.rect;
    game.boxes.insert(game.boxes.begin(), std::move(box));
    game.max_boxes = game.max_boxes == 5 ? 6 : 5;
    return true;
}

static void move_craft(GameState& game, GameTick& tick)
{
    tick.craft_before = game_craft_rect(game);
    const int32_t right_end = kGameFieldWidth - game.geometry.craft.cx;
    game.craft_x += game.craft_step;
    if (game.craft_x >= right_end || game.craft_x <= 0) {
        game.craft_x = std::clamp(game.craft_x, 0, std::max(0, right_end));
        game.craft_step = -game.craft_step;
    }
    tick.craft_moved = true;
}

static void check_drop(GameState& game, GameTick& tick)
{
    const plat::Rect craft = game_craft_rect(game);
    const plat::Rect zone {craft.left, craft.bottom, craft.right, craft.bottom + 3 * game.geometry.cell_height};
    if (overlaps_any(game, zone) || std::rand() % 10000 >= game_level_row(game.level).drop_chance)
        return;
    const bool bonus_shown
        = std::any_of(game.boxes.begin(), game.boxes.end(), [](const GameBox& b) { return b.kind == kBoxBonus; });
    bool dropped = false;
    if (std::rand() % kBonusDraws == 0) {
        if (!bonus_shown)
            dropped = game_drop(game, kBoxBonus, false);
    } else if (game.boxes.size() < kGameBoxesMax
        && (game.level == kGameLastLevel || game.dropped < game_level_row(game.level).quota)) {
        dropped = game_drop(game, kBoxWord, false);
    }
    if (dropped)
        tick.dropped.push_back(0);
}

static void fall_step(GameState& game, GameTick& tick)
{
    tick.fell = true;
    bool hit_tower = false;
    for (GameBox& box : game.boxes) {
        box.previous = box.rect;
        if (box.kind == kBoxWord)
            box.rect = {box.rect.left, box.rect.top + box.speed, box.rect.right, box.rect.bottom + box.speed};
        else
            box.rect = {box.rect.left - box.speed, box.rect.top, box.rect.right - box.speed, box.rect.bottom};
        hit_tower |= box.kind == kBoxWord && box.rect.bottom > kGameFieldBottom;
    }
    // Several words reaching the tower in one step do one damage.
    if (hit_tower) {
        ++game.damage;
        tick.damaged = true;
    }
    auto left = [](const GameBox& b) {
        return b.kind == kBoxWord ? b.rect.bottom > kGameFieldBottom : b.rect.left < 0;
    };
    for (auto it = game.boxes.begin(); it != game.boxes.end();) {
        if (left(*it)) {
            tick.gone.push_back(std::move(*it));
            it = game.boxes.erase(it);
        } else {
            ++it;
        }
    }
    if (game.damage >= kGameDamageEnd) {
        game.over = true;
        tick.over = true;
    } else if (game.boxes.empty() && game.level < kGameLastLevel
        && game.dropped >= game_level_row(game.level).quota) {
        tick.next_level = true;
    }
}

GameTick game_tick(GameState& game, uint32_t now)
{
    GameTick tick;
    if (game.over || !game.running)
        return tick;
    const uint32_t elapsed = now - game.last_tick;
    game.last_tick = now;
    if (game.effect != kBonusNone) {
        game.effect_ms -= int32_t(std::min<uint32_t>(elapsed, 1u << 30));
        if (game.effect_ms <= 0) {
            game.effect = kBonusNone;
            game.effect_ms = 0;
            game.fall_added_ms = 0;
            tick.effect_ended = true;
        }
    }
    if (now - game.last_move >= kMoveMs) {
        game.last_move = now;
        move_craft(game, tick);
    }
    if (game.boxes.size() < game.max_boxes && now - game.last_check >= kCheckMs) {
        game.last_check = now;
        check_drop(game, tick);
    }
    if (int32_t(now - game.last_fall) >= game_fall_interval(game)) {
        game.last_fall = now;
        fall_step(game, tick);
    }
    return tick;
}

GameAnswer game_answer(GameState& game, std::string_view answer)
{
    GameAnswer result;
    bool sweeping = false;
    for (;;) {
        auto it = sweeping ? game.boxes.begin()
                           : std::find_if(game.boxes.begin(), game.boxes.end(),
                               [&](const GameBox& b) { return b.word == answer; });
        if (it == game.boxes.end())
            break;
        game.score += word_score(*it);
        if (it->kind == kBoxBonus) {
            const int item = it->item;
            result.last_item = item;
            sweeping |= item == kBonusSweep || item == kBonusLevelUp || item == kBonusLevelDown;
            if (item == kBonusHeal && game.damage > 0) {
                --game.damage;
                result.damage_changed = true;
            } else if (item == kBonusHealAll) {
                result.damage_changed = game.damage != 0;
                game.damage = 0;
            }
        }
        result.hits.push_back(std::move(*it));
        game.boxes.erase(it);
    }
    return result;
}

void game_effect_start(GameState& game, int item)
{
    if (item < 0 || item >= kBonusItems)
        return;
    const GameLevelRow& row = game_level_row(game.level);
    game.effect = item;
    game.effect_ms = kShownMs;
    if (item == kBonusSlow || item == kBonusFast) {
        game.effect_ms = kSlowFastMs;
        game.fall_added_ms = (item == kBonusSlow ? row.slow_ms : row.fast_ms) - row.fall_ms;
    }
}

int game_tower_frame(int damage, int frame_count)
{
    // The second tower has fewer frames than damage goes: its last one stands for the rest.
    return std::clamp(damage, 0, std::max(0, frame_count - 1));
}
