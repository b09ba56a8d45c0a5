// QKDemo: the intro screen. A clock counts down in its corner while an advertisement pane is
// revealed block by block and the logo slides in; a click on the pane asks for the companion
// help program, any other click or Enter, Esc or Space (or command 2) ends the intro: it
// posts command 911 to its parent and destroys itself. Command 1 starts it.
#pragma once
#include <cstdint>

inline constexpr char kIntroClass[] = "QKDemo";
constexpr uint32_t kIntroTimer = 2;
constexpr uint32_t kIntroTickMs = 150;
constexpr uint32_t kCmdIntroEnded = 911;
constexpr int kIntroRevealTicks = 50;
constexpr int kIntroLastTick = 63;

bool intro_register();
