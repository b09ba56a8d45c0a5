// The statistics screen (class Stat, commands 500-503): the current user's speed and accuracy
// per key or per jamo, today's bar beside the total's, and the speed of the last 30 days.
// Every recomputation logs `stat chart tab=T group=G items=N`.
#pragma once
#include <cstdint>

inline constexpr char kStatClass[] = "Stat";
// The total's bars and swatch: an orange of the program's colour table that reads beside
// today's blue.
constexpr uint32_t kStatTodayColour = 0xFF0000; // COLORREF of RGB 0, 0, 255
constexpr uint32_t kStatTotalColour = 0x008CFB; // COLORREF of RGB 251, 140, 0

bool stat_screen_register();
