#include "typing/tutor_hooks.h"

static TutorHooks s_hooks;

void tutor_hooks_set(const TutorHooks& hooks) { s_hooks = hooks; }
const TutorHooks& tutor_hooks() { return s_hooks; }
void tutor_hooks_reset() { s_hooks = {}; }
