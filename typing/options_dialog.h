// The options dialog (language, layout, drill repetitions, spacing after a full stop, each
// chosen with a picture selector) and the about box.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

// The repetitions a drill can have; a setting not among them shows as the third.
inline constexpr int32_t kLessonCounts[] = {1, 2, 3, 5, 10};
int lesson_count_index(int32_t lesson_count);

// Edits a copy of the settings; on OK the copy replaces them and the Hangul table follows.
// 1 for OK, 0 otherwise.
int options_dialog_run(plat::WindowHandle parent);
void about_box_run(plat::WindowHandle parent);
