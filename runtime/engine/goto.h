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

// A kernel message to the icon's kind handler, shown in the goto trace: the handler's answer.
int goto_send(IconId icon, int32_t type, int32_t argument, uint16_t flags);
// The container hears that the child was chosen (ChildSelected): flags bit 0 becomes message
// flag 4, bit 1 flag 2, bit 2 flag 1.
void exec_send_matched(IconId container, IconId child, int flags);
// exec_send_matched, then the child becomes current in state Enter; bit 0 first erases the
// container's displays of the moment "on match".
void exec_branch(IconId container, IconId child, int flags);

// Pages and Frameworks: a page called like a perpetual response (1), a Framework left through
// its exit pane, and the entry pane's first icon made current (1 when there is one).
int exec_call_page(IconId page);
void exec_leave_framework(IconId framework);
int exec_goto_entry_pane(IconId framework);

// What later modules provide. Empty entries: no child is remembered (reads 0), the in-call
// flag reads 0 and is not kept, nothing is deactivated, no page history, nothing is erased.
struct GotoHooks {
    void (*set_selected_child)(IconId container, IconId child);
    IconId (*selected_child)(IconId container);
    int (*in_call)(IconId container);
    void (*set_in_call)(IconId container, int on);
    // Every active response inside the Framework that is left.
    void (*deactivate_responses_in)(IconId framework);
    void (*page_history_add)(IconId page, int flags);
    // The erase bookkeeping after a return, and a left response's displays kept for a container.
    void (*erase_returned_response)(IconId response);
    void (*erase_note_child)(IconId container, IconId icon);
    // An Interaction left with the erase flag erases its own displays and response marks by its
    // erase moment; the common Interaction of a move forgets the event it last matched.
    void (*interaction_erase_own)(IconId interaction);
    void (*forget_matched_event)(IconId interaction);
    // A Map or Guidepack entered with the erase flag: the pending transition goes, the display
    // objects numbered low..high go, and the sound and video of a sibling's branch stop.
    void (*transition_clear)();
    void (*erase_by_sequence)(int low, int high);
    void (*stop_media_of)(IconId branch);
};
const GotoHooks& goto_hooks();
void goto_set_hooks(const GotoHooks* hooks);

// Binds kernel_goto and the queue's run into the engine's hooks.
void goto_install();
void goto_reset();
