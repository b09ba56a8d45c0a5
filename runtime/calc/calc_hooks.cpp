#include "runtime/calc/calc_hooks.h"

CalcHooks g_calc_hooks;

void calc_set_hooks(const CalcHooks* hooks) { g_calc_hooks = hooks ? *hooks : CalcHooks {}; }
