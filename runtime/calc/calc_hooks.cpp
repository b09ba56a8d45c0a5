#include "runtime/calc/calc_hooks.h"

CalcHooks g_calc_hooks;
bool g_calc_watched = false;

void calc_set_hooks(const CalcHooks* hooks)
{
    g_calc_hooks = hooks ? *hooks : CalcHooks {};
    g_calc_watched = g_calc_hooks.engine_suspended || g_calc_hooks.presentation_window;
}
