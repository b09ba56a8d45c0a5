// GoTo paths: a jump from the current icon to any other icon tells every container left and
// entered on the way. The move is planned as kernel actions in the action queue and run from
// there; an action that starts an icon (a Framework pane) pauses the run until the pane ends.
#pragma once
#include "runtime/engine/action_queue.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

// Flags bit 0: erase as on exit; bits 1 and 2 go on to ChildSelected.
void kernel_goto(IconId target, int flags);
// Runs queued actions from the end until one starts icon execution; then re-evaluates triggers.
void exec_run_actions();
// One action; 0 when the run stops after it.
int exec_do_action(const KernelAction& action);

int32_t nav_from();
int32_t nav_to();
int32_t nav_navigating();

// What later modules provide: a container's selected child and its in-call flag (empty: no
// child is remembered, the flag reads 0).
struct GotoHooks {
    void (*set_selected_child)(IconId container, IconId child);
    int (*in_call)(IconId container);
};
void goto_set_hooks(const GotoHooks* hooks);

// Binds kernel_goto and the queue's run into the engine's hooks.
void goto_install();
void goto_reset();
