#include "runtime/engine/exec_hooks.h"

#include "runtime/pieces/piece_hooks.h"

static ExecHooks s_hooks;

void exec_set_hooks(const ExecHooks* hooks) { s_hooks = hooks ? *hooks : ExecHooks {}; }
const ExecHooks& exec_hooks() { return s_hooks; }

plat::WindowHandle exec_presentation_window()
{
    if (s_hooks.presentation_window)
        return s_hooks.presentation_window();
    // Until the presentation window exists of its own, the main window plays its part.
    if (piece_hooks().main_window)
        return piece_hooks().main_window();
    return plat::WindowHandle {};
}

int exec_presentation_exists() { return exec_presentation_window() ? 1 : 0; }

void exec_fire(int event, IconId icon)
{
    if (s_hooks.trig_fire)
        s_hooks.trig_fire(event, icon);
}
