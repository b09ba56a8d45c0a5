#include "runtime/calc/calc_hooks.h"

static CalcHooks s_hooks;

void calc_set_hooks(const CalcHooks* hooks) { s_hooks = hooks ? *hooks : CalcHooks {}; }

const CalcHooks& calc_hooks() { return s_hooks; }
