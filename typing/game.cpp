// One game screen at a time: its pictures, views and rules' state are the module's. Everything
// moving is drawn in WM_PAINT over the background; the timer only changes the state and
// invalidates what moved.
#include "typing/game.h"

#include "platform/controls/dlgmgr.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/palette.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/log.h"
#include "platform/kernel/resource.h"
#include "platform/sound/sound.h"
#include "platform/window/defproc.h"
#include "platform/window/focus.h"
#include "platform/window/keyboard.h"
#include "platform/window/paint.h"
#include "platform/window/timer.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "typing/bitmap_dialog.h"
#include "typing/bmp_button.h"
#include "typing/game_edit.h"
#include "typing/game_rules.h"
#include "typing/high_scores.h"
#include "typing/hot_area.h"
#include "typing/johab.h"
#include "typing/lessons.h"
#include "typing/shell.h"
#include "typing/text_draw.h"
#include "typing/tutor_draw.h"
#include "typing/tutor_settings.h"

#include <array>
#include <cstdio>

constexpr uint32_t kCodePage = 949;
constexpr uintptr_t kMotionTimer = 1;
constexpr uintptr_t kOverTimer = 2; // the collapse, one frame each tick
constexpr uint32_t kOverStepMs = 500;
constexpr int kCollapseFrames = 3; // the last frames of a 14-frame tower
constexpr int kTowerFramesFull = 14;
constexpr int kTowerFramesShort = 11; // the second tower has no collapse
constexpr int32_t kTowerBottom = 395;
constexpr int32_t kAreasTop = 420; // the mouse counts for the tools only below the field
constexpr plat::Point kSoundToolPlace {40, 419};
constexpr int32_t kSoundToolSize = 55;
constexpr uint16_t kCmdSoundOn = 900, kCmdSoundOff = 910, kCmdScores = 404, kCmdLevels = 402;
constexpr uint32_t kViewBackground = 0xC0C0C0;

static const uint16_t kAreasSoundOn[] = {kCmdSoundOn, kCmdScores, kCmdLevels, 2};
static const uint16_t kAreasSoundOff[] = {kCmdSoundOff, kCmdScores, kCmdLevels, 2};

static const char* const kSoundNames[kGameSounds] = {
    "GAMESTART", "GAMEOVER", "VIRUSSTART", "GUNFIRE", "VIRUSATTACK", "DESTROYBONUS", "DESTROYINVADOR",
};

struct Sprite {
    plat::GdiObject picture;
    plat::GdiObject mask;
    plat::Size size;
};

static struct {
    GameState game;
    plat::WindowHandle window;
    plat::WindowHandle edit;
    plat::WindowHandle score_view;
    plat::WindowHandle level_view;
    plat::GdiObject background;
    plat::GdiObject sound_on; // the background's own tool picture
    plat::GdiObject sound_off;
    Sprite craft, box, bonus;
    plat::GdiObject tower;
    int tower_frames = 0;
    plat::Size tower_frame;
    int tower_shown = 0;
    int over_step = -1; // the collapse running: steps done; -1 when not
    bool level_started = false;
    std::array<plat::ResourceBytes, kGameSounds> sounds {};
} s_play;

// --- sounds -------------------------------------------------------------------------------------------

void game_sound_load()
{
    for (int i = 0; i < kGameSounds; ++i)
        s_play.sounds[size_t(i)] = plat::find_resource({}, plat::kWaveResourceType, kSoundNames[i]);
}

void game_sound_play(int index)
{
    if (index < 0 || index >= kGameSounds || settings_current().Sound != 1)
        return;
    const plat::ResourceBytes& sound = s_play.sounds[size_t(index)];
    if (sound.data)
        (void)plat::play_sound_bytes(sound.data, sound.size, plat::SND_MEMORY | plat::SND_NODEFAULT | plat::SND_ASYNC);
}

// --- pictures -----------------------------------------------------------------------------------------

static Sprite sprite_load(const char* name)
{
    Sprite sprite;
    sprite.picture = picture_load(name);
    sprite.mask = bitmap_make_mask(sprite.picture);
    sprite.size = bitmap_size(sprite.picture);
    return sprite;
}

static void sprite_free(Sprite& sprite)
{
    for (plat::GdiObject object : {sprite.picture, sprite.mask}) {
        if (object)
            plat::delete_object(object);
    }
    sprite = {};
}

static void tower_load()
{
    if (s_play.tower)
        plat::delete_object(s_play.tower);
    char name[16];
    std::snprintf(name, sizeof name, "tower%d.bmp", int(settings_current().Level));
    s_play.tower = picture_load(name);
    s_play.tower_frames = settings_current().Level == 1 ? kTowerFramesShort : kTowerFramesFull;
    const plat::Size size = bitmap_size(s_play.tower);
    s_play.tower_frame = {size.cx / s_play.tower_frames, size.cy};
    s_play.tower_shown = 0;
}

static plat::Rect tower_rect()
{
    const int32_t x = (kGameFieldWidth - s_play.tower_frame.cx) / 2;
    return {x, kTowerBottom - s_play.tower_frame.cy, x + s_play.tower_frame.cx, kTowerBottom};
}

static void tower_show(int frame)
{
    s_play.tower_shown = frame;
    const plat::Rect rect = tower_rect();
    plat::invalidate_rect(s_play.window, &rect, false);
}

// Johab text embossed in black, centred in a width x height area at the DC's origin.
static void text_centred(plat::DcHandle dc, int32_t width, int32_t height, const std::string& johab)
{
    const uint32_t extent = text_extent(dc, johab);
    plat::set_bk_mode(dc, plat::TRANSPARENT);
    plat::set_text_color(dc, 0x000000);
    text_draw_embossed(dc, (width - int32_t(extent & 0xFFFF)) / 2, (height - int32_t(extent >> 16)) / 2, 0, nullptr,
        johab);
}

// The box's picture with its word embossed in black, centred.
static plat::GdiObject box_picture(const GameBox& box)
{
    const Sprite& sprite = box.kind == kBoxBonus ? s_play.bonus : s_play.box;
    plat::GdiObject picture = bitmap_copy(sprite.picture);
    if (!picture)
        return {};
    plat::DcHandle dc = plat::create_compatible_dc({});
    plat::GdiObject old = plat::select_object(dc, picture);
    text_centred(dc, sprite.size.cx, sprite.size.cy, box.word);
    plat::select_object(dc, old);
    plat::delete_dc(dc);
    return picture;
}

static void box_free(GameBox& box)
{
    if (box.picture)
        plat::delete_object(box.picture);
    box.picture = {};
}

static void invalidate(const plat::Rect& rect) { plat::invalidate_rect(s_play.window, &rect, false); }

static bool touches(const plat::Rect& a, const plat::Rect& b)
{
    plat::Rect common;
    return plat::intersect_rect(common, a, b);
}

static void paint(plat::WindowHandle window)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(window, ps);
    paint_bitmap(dc, s_play.background, program_palette(), &ps.paint);
    if (s_play.tower) {
        const plat::Rect rect = tower_rect();
        dc_blit(dc, rect.left, rect.top, rect.width(), rect.height(), s_play.tower,
            s_play.tower_shown * s_play.tower_frame.cx, 0);
    }
    // Masked blits cost the most: only what the dirty part touches is drawn again.
    for (auto it = s_play.game.boxes.rbegin(); it != s_play.game.boxes.rend(); ++it) {
        const Sprite& sprite = it->kind == kBoxBonus ? s_play.bonus : s_play.box;
        if (it->picture && touches(it->rect, ps.paint))
            masked_blit(
                dc, it->picture, sprite.mask, it->rect.left, it->rect.top, sprite.size.cx, sprite.size.cy, 0, 0);
    }
    const plat::Rect craft = game_craft_rect(s_play.game);
    if (s_play.craft.picture && touches(craft, ps.paint))
        masked_blit(dc, s_play.craft.picture, s_play.craft.mask, craft.left, craft.top, craft.width(), craft.height(),
            0, 0);
    plat::end_paint(window, ps);
}

// --- views ----------------------------------------------------------------------------------------------

static void view_set(plat::WindowHandle view, const std::string& cp949)
{
    if (view)
        plat::set_window_text(view, cp949.c_str());
}

static void views_update()
{
    const GameState& game = s_play.game;
    if (game.effect != kBonusNone)
        view_set(s_play.score_view, plat::utf8_to_code_page(kCodePage, bonus_item_name(game.effect)));
    else
        view_set(s_play.score_view, std::to_string(game.score));
    view_set(s_play.level_view, std::to_string(game.level + 1));
}

static void view_paint(plat::WindowHandle view)
{
    plat::PaintStruct ps;
    plat::DcHandle dc = plat::begin_paint(view, ps);
    plat::Rect client;
    plat::get_client_rect(view, client);
    plat::GdiObject brush = plat::create_solid_brush(kViewBackground);
    plat::fill_rect(dc, client, brush);
    plat::delete_object(brush);
    char text[64] = {};
    plat::get_window_text(view, text, sizeof text);
    text_centred(dc, client.width(), client.height(), wansung_to_johab(text));
    plat::end_paint(view, ps);
}

static plat::LResult game_view_proc(plat::WindowHandle view, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    switch (message) {
    case plat::WM_PAINT: view_paint(view); return 0;
    case plat::WM_ERASEBKGND: return 1;
    case plat::WM_SETTEXT: {
        plat::LResult result = plat::def_window_proc(view, message, wparam, lparam);
        plat::invalidate_rect(view, nullptr, false);
        return result;
    }
    default: return plat::def_window_proc(view, message, wparam, lparam);
    }
}

// --- dialogs --------------------------------------------------------------------------------------------

static struct {
    plat::GdiObject background;
    std::string text; // Johab
} s_banner;

static plat::LResult banner_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    switch (message) {
    case plat::WM_INITDIALOG:
        s_banner.background = bitmap_dialog_background(dialog, "vd-gamet.bmp");
        plat::set_focus(dialog);
        return 0;
    case plat::WM_PAINT: {
        plat::PaintStruct ps;
        plat::DcHandle dc = plat::begin_paint(dialog, ps);
        paint_bitmap(dc, s_banner.background, program_palette(), &ps.paint);
        plat::Rect client;
        plat::get_client_rect(dialog, client);
        text_centred(dc, client.width(), client.height(), s_banner.text);
        plat::end_paint(dialog, ps);
        return 1;
    }
    case plat::WM_COMMAND:
        if (plat::loword(wparam) == 1 || plat::loword(wparam) == 2)
            plat::end_dialog(dialog, 0);
        return 1;
    case plat::WM_LBUTTONUP: plat::end_dialog(dialog, 0); return 1;
    case plat::WM_KEYDOWN:
        if (wparam == plat::VK_SPACE)
            plat::end_dialog(dialog, 0);
        return 1;
    case plat::WM_DESTROY:
        if (s_banner.background)
            plat::delete_object(s_banner.background);
        s_banner.background = {};
        return 0;
    default: return bitmap_dialog_default(dialog, message, wparam, lparam, s_banner.background, {}) ? 1 : 0;
    }
}

static void level_banner_show(plat::WindowHandle parent, int level)
{
    char text[64];
    std::snprintf(text, sizeof text, "물결섬 %d 단계입니다.", level + 1);
    s_banner.text = wansung_to_johab(plat::utf8_to_code_page(kCodePage, text));
    bitmap_dialog_run(parent, banner_proc, 0);
}

constexpr uint16_t kFlagFirst = 3401;
constexpr int kFlags = 7;

static plat::GdiObject s_chooser_background;

static void flags_create(plat::WindowHandle dialog)
{
    for (int i = 0; i < kFlags; ++i) {
        const plat::Point place = i < 4 ? plat::Point {25 + 115 * i, 62} : plat::Point {115 * i - 377, 173};
        char name[16];
        std::snprintf(name, sizeof name, "flag%d.bmp", i + 1);
        plat::GdiObject picture = picture_load(name);
        const plat::Size size = bitmap_size(picture);
        plat::Rect part {place.x, place.y, place.x + size.cx, place.y + size.cy};
        BmpButtonSetup setup {picture, bitmap_copy_rect(s_chooser_background, &part), 4, nullptr};
        plat::create_window_ex(0, kBmpButtonClass, "", plat::WS_CHILD | plat::WS_VISIBLE, place.x, place.y, size.cx,
            size.cy, dialog, uintptr_t(kFlagFirst + i), {}, &setup);
    }
}

static plat::LResult game_level_dialog_proc(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_INITDIALOG:
        s_chooser_background = bitmap_dialog_background(dialog, "vd-gamel.bmp");
        flags_create(dialog);
        plat::set_focus(dialog);
        return 0;
    case plat::WM_COMMAND: {
        const unsigned id = plat::loword(wparam);
        if (id >= kFlagFirst && id < kFlagFirst + kFlags)
            plat::end_dialog(dialog, intptr_t(id - kFlagFirst));
        else if (id == 1)
            plat::end_dialog(dialog, 0);
        else if (id == 2)
            plat::end_dialog(dialog, -1);
        return 1;
    }
    case plat::WM_DESTROY:
        if (s_chooser_background)
            plat::delete_object(s_chooser_background);
        s_chooser_background = {};
        return 0;
    default: return bitmap_dialog_default(dialog, message, wparam, lparam, s_chooser_background, {}) ? 1 : 0;
    }
}

int game_level_dialog_run(plat::WindowHandle parent)
{
    const intptr_t chosen = bitmap_dialog_run(parent, game_level_dialog_proc, 0);
    return chosen >= 0 && chosen < kFlags ? int(chosen) : -1;
}

// --- the game ---------------------------------------------------------------------------------------------

static std::string word_for_log(const std::string& johab) { return plat::log_quote(johab_to_wansung(johab)); }

static void boxes_clear()
{
    for (GameBox& box : s_play.game.boxes) {
        invalidate(box.rect);
        box_free(box);
    }
    s_play.game.boxes.clear();
}

static void pause()
{
    s_play.game.running = false;
    plat::kill_timer(s_play.window, kMotionTimer);
}

static void resume()
{
    GameState& game = s_play.game;
    if (!s_play.level_started || game.over || s_play.over_step >= 0)
        return;
    // Time spent without the focus does not count on any clock.
    const uint32_t now = plat::get_tick_count();
    game.last_tick = game.last_move = game.last_check = game.last_fall = now;
    game.running = true;
    plat::set_timer(s_play.window, kMotionTimer, game_timer_period(game.level), nullptr);
}

static void answer_clear() { plat::send_message(s_play.edit, kMsgGameEditClear, 0, 0); }

static void level_start(plat::LParam lparam)
{
    GameState& game = s_play.game;
    const int level = std::min(int(plat::loword(uintptr_t(lparam))), kGameLastLevel);
    const unsigned by_item = plat::hiword(uintptr_t(lparam));
    pause();
    s_play.level_started = false;
    game_level_start(game, level, by_item == kBonusLevelUp || by_item == kBonusLevelDown, plat::get_tick_count());
    plat::log_event("game level " + std::to_string(game.level + 1));
    level_banner_show(s_play.window, game.level);
    answer_clear();
    const int layout = layout_index();
    word_filter_by_keys(layout, game.level < kGameLastLevel ? game.level : lesson_count(layout) - 1);
    s_play.level_started = true;
    plat::set_focus(s_play.edit);
    resume();
    game_sound_play(kSoundGameStart);
    plat::invalidate_rect(s_play.window, nullptr, false);
    views_update();
}

static void game_restart()
{
    game_reset(s_play.game, settings_current().Level);
    answer_clear();
    tower_show(0);
    plat::invalidate_rect(s_play.window, nullptr, false);
}

static void drop_shown(GameBox& box)
{
    box.picture = box_picture(box);
    invalidate(box.rect);
    if (box.kind == kBoxBonus) {
        plat::log_event("game drop bonus " + plat::log_quote_utf8(bonus_item_name(box.item)));
        game_sound_play(kSoundBonusIn);
    } else {
        plat::log_event("game drop " + word_for_log(box.word));
    }
}

static void on_tick()
{
    GameState& game = s_play.game;
    GameTick tick = game_tick(game, plat::get_tick_count());
    if (tick.effect_ended)
        views_update();
    if (tick.craft_moved) {
        invalidate(tick.craft_before);
        invalidate(game_craft_rect(game));
    }
    for (size_t index : tick.dropped)
        drop_shown(game.boxes[index]);
    if (tick.fell) {
        for (const GameBox& box : game.boxes) {
            invalidate(box.previous);
            invalidate(box.rect);
        }
    }
    if (tick.damaged)
        tower_show(game_tower_frame(game.damage, s_play.tower_frames));
    for (GameBox& box : tick.gone) {
        invalidate(box.previous);
        invalidate(box.rect);
        box_free(box);
        game_sound_play(kSoundBoxOut);
    }
    if (tick.over) {
        pause();
        plat::post_message(s_play.window, plat::WM_COMMAND, kCmdGameOver, 0);
    } else if (tick.next_level) {
        pause();
        plat::post_message(s_play.window, plat::WM_COMMAND, kCmdGameLevel, plat::LParam(game.level + 1));
    }
}

static void swarm_drop(int count)
{
    for (int i = 0; i < count; ++i) {
        if (game_drop(s_play.game, kBoxWord, true))
            drop_shown(s_play.game.boxes.front());
    }
}

// The last item hit decides the effect; levels and swarms need the screen.
static void effect_apply(int item)
{
    GameState& game = s_play.game;
    game_effect_start(game, item);
    if (item == kBonusLevelUp || item == kBonusLevelDown) {
        const int level = std::max(0, game.level + (item == kBonusLevelUp ? 1 : -1));
        pause();
        plat::post_message(s_play.window, plat::WM_COMMAND, kCmdGameLevel, plat::LParam(item << 16 | level));
    } else if (item == kBonusSwarm) {
        swarm_drop(std::rand() % 4 + 2);
    }
}

static void on_answer()
{
    GameState& game = s_play.game;
    if (game.over || !s_play.level_started)
        return;
    char text[kGameEditMaxCodes * 2 + 1] = {};
    plat::get_window_text(s_play.edit, text, sizeof text);
    const std::string answer = text;
    if (answer.empty())
        return;
    answer_clear();
    game_sound_play(kSoundFire);
    GameAnswer result = game_answer(game, answer);
    int32_t score = game.score;
    for (const GameBox& box : result.hits)
        score -= word_score(box);
    for (GameBox& box : result.hits) {
        score += word_score(box);
        plat::log_event("game hit " + word_for_log(box.word) + " score " + std::to_string(score));
        invalidate(box.rect);
        box_free(box);
        game_sound_play(box.kind == kBoxBonus ? kSoundBonusHit : kSoundWordHit);
    }
    if (result.damage_changed)
        tower_show(game_tower_frame(game.damage, s_play.tower_frames));
    if (result.last_item != kBonusNone)
        effect_apply(result.last_item);
    views_update();
}

static void scores_and_restart()
{
    boxes_clear();
    high_scores_update(s_play.window, s_play.game.score);
    plat::post_message(s_play.window, kMsgGameReset, 0, 0);
    plat::post_message(s_play.window, plat::WM_COMMAND, kCmdGameLevel, plat::LParam(settings_current().Level));
}

static void game_over_start()
{
    pause();
    s_play.level_started = false;
    s_play.game.over = true;
    plat::log_event("game over score " + std::to_string(s_play.game.score));
    game_sound_play(kSoundGameOver);
    s_play.over_step = 0;
    plat::set_timer(s_play.window, kOverTimer, kOverStepMs, nullptr);
}

// Each tick of the collapse shows its next frame; after the last the scores are recorded.
static void game_over_step()
{
    const bool collapses = s_play.tower_frames == kTowerFramesFull;
    if (collapses && s_play.over_step < kCollapseFrames) {
        tower_show(kTowerFramesFull - kCollapseFrames + s_play.over_step);
        ++s_play.over_step;
        return;
    }
    plat::kill_timer(s_play.window, kOverTimer);
    s_play.over_step = -1;
    scores_and_restart();
}

static void level_choose()
{
    pause();
    const int chosen = game_level_dialog_run(s_play.window);
    if (chosen < 0) {
        resume();
        return;
    }
    boxes_clear();
    settings_current().Level = chosen;
    tower_load();
    s_play.game.damage = 0;
    plat::invalidate_rect(s_play.window, nullptr, false);
    plat::post_message(s_play.window, plat::WM_COMMAND, kCmdGameLevel, plat::LParam(chosen));
}

static void sound_toggle()
{
    TutorSettings& settings = settings_current();
    settings.Sound = settings.Sound == 1 ? 0 : 1;
    bitmap_draw_into(s_play.background, settings.Sound == 1 ? s_play.sound_on : s_play.sound_off, kSoundToolPlace.x,
        kSoundToolPlace.y);
    const plat::Rect tool {kSoundToolPlace.x, kSoundToolPlace.y, kSoundToolPlace.x + kSoundToolSize,
        kSoundToolPlace.y + kSoundToolSize};
    invalidate(tool);
}

static void on_command(plat::WindowHandle window, plat::WParam wparam, plat::LParam lparam)
{
    const unsigned id = plat::loword(wparam);
    switch (id) {
    case 1: on_answer(); break;
    case 2: screen_close(window); break;
    case kGameEditId: {
        const unsigned note = plat::hiword(uintptr_t(lparam));
        if (note == kNotifyGameEditAnswer)
            on_answer();
        else if (note == kNotifyGameEditLostFocus)
            pause();
        break;
    }
    case kCmdGameOver: game_over_start(); break;
    case kCmdGameLevel: level_start(lparam); break;
    case kCmdScores:
        if (s_play.over_step < 0) {
            pause();
            scores_and_restart();
        }
        break;
    case kCmdLevels: level_choose(); break;
    case kCmdSoundOn:
    case kCmdSoundOff: sound_toggle(); break;
    default: break;
    }
}

static plat::WindowHandle child_create(const char* class_name, uint16_t id, int32_t x, int32_t y, int32_t width,
    int32_t height)
{
    return plat::create_window_ex(0, class_name, "", plat::WS_CHILD | plat::WS_VISIBLE, x, y, width, height,
        s_play.window, id, {}, nullptr);
}

static bool create(plat::WindowHandle window)
{
    s_play = {};
    s_play.window = window;
    s_play.background = picture_load("vd-game.bmp");
    const plat::Rect tool {kSoundToolPlace.x, kSoundToolPlace.y, kSoundToolPlace.x + kSoundToolSize,
        kSoundToolPlace.y + kSoundToolSize};
    s_play.sound_on = bitmap_copy_rect(s_play.background, &tool);
    s_play.sound_off = picture_load("sndoff.bmp");
    if (settings_current().Sound != 1)
        bitmap_draw_into(s_play.background, s_play.sound_off, tool.left, tool.top);
    s_play.craft = sprite_load("vd-gm-ar.bmp");
    s_play.box = sprite_load("vd-bumb.bmp");
    s_play.bonus = sprite_load("vd-bunus.bmp");
    tower_load();
    GameGeometry& geometry = s_play.game.geometry;
    if (s_play.craft.picture)
        geometry.craft = s_play.craft.size;
    if (s_play.box.picture)
        geometry.box = s_play.box.size;
    const uint32_t extent = text_extent({}, " ");
    geometry.cell_height = int32_t(extent >> 16);
    geometry.half_width = std::max<int32_t>(1, int32_t(extent & 0xFFFF));
    if (!word_list_load())
        return false;
    game_sound_load();
    bonus_item_reset();
    s_play.edit = child_create(kGameEditClass, kGameEditId, 264, 428, 110, 29);
    s_play.score_view = child_create(kGameViewClass, kGameScoreViewId, 186, 432, 60, 21);
    s_play.level_view = child_create(kGameViewClass, kGameLevelViewId, 395, 432, 60, 21);
    plat::post_message(window, kMsgGameReset, 0, 0);
    plat::post_message(window, plat::WM_COMMAND, kCmdGameLevel, plat::LParam(settings_current().Level));
    return true;
}

static void destroy(plat::WindowHandle window)
{
    plat::kill_timer(window, kMotionTimer);
    plat::kill_timer(window, kOverTimer);
    for (GameBox& box : s_play.game.boxes)
        box_free(box);
    for (Sprite* sprite : {&s_play.craft, &s_play.box, &s_play.bonus})
        sprite_free(*sprite);
    for (plat::GdiObject object : {s_play.background, s_play.sound_on, s_play.sound_off, s_play.tower}) {
        if (object)
            plat::delete_object(object);
    }
    s_play = {};
}

static void on_mouse(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam)
{
    if (message == plat::WM_MOUSEMOVE && int16_t(plat::hiword(uintptr_t(lparam))) < kAreasTop)
        return;
    if (settings_current().Sound == 1)
        hot_area_mouse(window, message, wparam, lparam, kAreasSoundOn);
    else
        hot_area_mouse(window, message, wparam, lparam, kAreasSoundOff);
}

static plat::LResult game_window_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam,
    plat::LParam lparam)
{
    switch (message) {
    case plat::WM_CREATE:
        if (!create(window))
            plat::post_message(window, plat::WM_COMMAND, 2, 0);
        return 0;
    case plat::WM_DESTROY: destroy(window); return 0;
    case plat::WM_PAINT: paint(window); return 0;
    case plat::WM_ERASEBKGND: return 1;
    case kMsgGameReset: game_restart(); return 0;
    case plat::WM_TIMER:
        if (wparam == kOverTimer)
            game_over_step();
        else if (s_play.game.running)
            on_tick();
        return 0;
    case plat::WM_SETFOCUS:
        if (s_play.edit)
            plat::set_focus(s_play.edit);
        resume();
        return 0;
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP: on_mouse(window, message, wparam, lparam); return 0;
    case plat::WM_COMMAND: on_command(window, wparam, lparam); return 0;
    default: return plat::def_window_proc(window, message, wparam, lparam);
    }
}

bool game_register()
{
    plat::WindowClass c;
    c.proc = game_window_proc;
    c.background = plat::get_stock_object(plat::NULL_BRUSH);
    c.class_name = kGameClass;
    if (plat::register_class(c) == 0)
        return false;
    plat::WindowClass view;
    view.proc = game_view_proc;
    view.background = plat::get_stock_object(plat::NULL_BRUSH);
    view.class_name = kGameViewClass;
    return plat::register_class(view) != 0;
}
