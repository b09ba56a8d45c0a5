// The result dialog every practice screen ends with: the title of the practice and five rows
// of figures taken from its statistics block.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/window/message.h"
#include "typing/practice_stats.h"

// The figures the dialog shows.
struct ResultFigures {
    int32_t keystrokes = 0; // practice_keystrokes
    int32_t characters = 0; // characters typed
    int32_t speed = 0; // strokes per minute
    int32_t accuracy = 0; // percent
    int32_t seconds = 0; // practice time, whole seconds
};
ResultFigures result_figures(const PracticeStats& stats);

// "1 시간2 분5 초" for 3725: days, hours and minutes only when not 0, seconds always, joined
// without separators. UTF-8.
std::string result_time_text(int32_t seconds);

// Shows the dialog over parent until a click, the space bar or a closing command; the title is
// CP949. Logs `result "TITLE" keystrokes=K characters=C speed=S accuracy=A time="T"` as it
// opens. Always 0.
int result_dialog_run(plat::WindowHandle parent, const PracticeStats& stats, std::string_view title_cp949);
