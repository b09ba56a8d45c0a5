// The word-rain game's screen (class Game, command 401): the craft drops words that the learner
// types into the answer line to destroy them before they reach the tower, with its level
// banner and chooser, its sounds, and the number views QKGameView beside the answer line.
#pragma once
#include <cstdint>

#include "platform/window/message.h"
#include "platform/window/window_types.h"

inline constexpr char kGameClass[] = "Game";
inline constexpr char kGameViewClass[] = "QKGameView";
constexpr uint32_t kMsgGameReset = 1074;
constexpr uint16_t kCmdGameOver = 1005;
constexpr uint16_t kCmdGameLevel = 1006; // lParam: low word the level, high word 5 or 6 from an item
constexpr uint16_t kGameEditId = 1001;
constexpr uint16_t kGameScoreViewId = 1002;
constexpr uint16_t kGameLevelViewId = 1003;

// The game's sounds, by index.
enum GameSound : int {
    kSoundGameStart = 0,
    kSoundGameOver = 1,
    kSoundBonusIn = 2,
    kSoundFire = 3,
    kSoundBoxOut = 4,
    kSoundBonusHit = 5,
    kSoundWordHit = 6,
    kGameSounds = 7,
};

bool game_register(); // the screen's and the views' classes
// Finds the seven WAVE resources of the program (a missing one stays silent).
void game_sound_load();
// Plays one when Sound of the settings is 1.
void game_sound_play(int index);

// The level chooser over parent: the level 0..6 chosen, or -1.
int game_level_dialog_run(plat::WindowHandle parent);
