// The lesson screen (class QKLesson): drills of the current lesson's keys, then lines of words
// made of the keys learnt so far, with the next key, Shift and the finger lit on a keyboard
// picture; the learner's place in the lessons is kept in the user file.
#pragma once
#include <cstdint>

#include "platform/window/window_types.h"

inline constexpr char kLessonClass[] = "QKLesson";
constexpr uint32_t kMsgLessonStage = 1127; // wParam the new stage, lParam 1 when a lesson was completed
constexpr uintptr_t kLessonSelectorId = 1000;

bool lesson_screen_register();
// The shell's start-up hook: the lesson tables.
void lessons_decode_hook();
