// What the engine's core calls in modules that are built above or beside it: triggers, icon
// executors, GoTo paths, keys, the presentation window, buttons, plug-ins and jumps. Each
// module fills its own entries at start-up (exec_set_hooks with the whole table, after copying
// the current one). An empty entry does nothing and answers as noted, so that the kernel walks
// a piece of plain icons without any of them.
#pragma once
#include "platform/window/window.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

struct ExecHooks {
    // --- triggers (empty: no trigger is ever dirty; events go nowhere) ---------------------
    int (*trig_dirty)();
    void (*trig_update)();
    void (*trig_fire)(int event, IconId icon);

    // --- icons ----------------------------------------------------------------------------
    // The attached calculation of an icon, run on entry.
    void (*run_attached_calc)(IconId icon);
    // Erases a container's displays of the moment, and a finished response's displays.
    void (*erase_on_exit)(IconId icon, int moment);
    void (*erase_response)(IconId icon);
    // The icon's pause-before-exit option (empty: 0, no icon pauses), its erase option (empty:
    // 0), whether an Interaction shows its Continue button (empty: 0) and whether it has only
    // perpetual responses or none (empty: 1).
    int (*pause_option)(IconId icon);
    int (*erase_option)(IconId icon);
    int (*interaction_shows_continue)(IconId icon);
    int (*interaction_only_perpetual)(IconId icon);
    // The Continue button (object kind 4): create, exists (empty: 0), erase.
    void (*continue_button_create)(IconId icon);
    int (*continue_button_exists)();
    void (*continue_button_erase)();

    // --- sound (empty: nothing plays) -----------------------------------------------------
    int (*sound_playing)();
    int (*sound_waits_for_previous)(IconId icon);
    void (*sound_remember_icon)(IconId icon);

    // --- GoTo paths and perpetual calls (empty: nothing happens) --------------------------
    void (*kernel_goto)(IconId target, int mode);
    void (*enter_perpetual)(IconId target, int flags);
    void (*run_action_queue)();
    // 1 when the icon is a response of an Interaction whose branch kind is 3 (return).
    int (*is_return_response)(IconId icon);
    // The number of call frames and the saved context of frame n (1 up) for exec_icon_completed;
    // empty: none.
    int (*frame_count)();
    int (*frame_take_waiting)(int frame, IconId icon);

    // --- keys (empty: the queue is always empty) ------------------------------------------
    int (*keys_queued)();
    int (*key_drain)();
    void (*keys_flush)();

    // --- the program (empty: a close is never asked for) ------------------------------------
    int (*close_requested)();

    // --- the presentation window (empty: the program's main window stands for it) ---------
    plat::WindowHandle (*presentation_window)();
    // 1 when a window message waits (empty: a plain queue peek).
    int (*peek_message)();
    void (*screen_flush)();
    int (*damage_pending)();
    void (*screen_invalidate_all)();
    void (*destroy_presentation)();
    void (*dobj_send_idle)();
    void (*buttons_refresh_pending)();
    void (*timeout_start_if_due)();

    // --- plug-ins (empty: no events, no idle clients) -------------------------------------
    int (*xevt_dispatch)();
    int (*xevt_has_pending)();
    void (*plugin_idle_notify)();
    int (*plugin_has_idle_clients)();
    uint32_t (*plugin_next_due)();

    // --- synchronisation clock, jumps, course management ----------------------------------
    int (*sync_waits_mode2)();
    void (*sync_event)(int mode, int kind, IconId icon);
    // Returns to a calling piece (nonzero when it did); empty: the jump stack is empty.
    int (*jump_file_return)(int restart);
    void (*jump_write_resume_file)();
    void (*cmi_end_session)();
    void (*sbar_set_old_style)(int on);

    // --- display objects and renumbering (empty: no objects) -------------------------------
    // 1 when a live icon display object has a sequence number in [low, high).
    int (*seq_objects_between)(int low, int high);
    // Every live object and pending-erase entry takes the 1-based position of the greatest
    // boundary not above its number (boundaries ascending).
    void (*seq_objects_renumber)(const uint16_t* boundaries, int count);
    // Containers' pending-erase entries (empty: none): their live numbers join the grouping
    // (erased entries are dropped), then each takes its new number (0 drops it).
    void (*seq_pending_collect)(void (*add)(int number, void* user), void* user);
    void (*seq_pending_renumber)(const uint16_t* boundaries, int count);
};

// Installs a copy of the table (null: every entry empty).
void exec_set_hooks(const ExecHooks* hooks);
const ExecHooks& exec_hooks();

// The presentation window: the hook's, else the program's main window (from the pieces
// library's hooks); null when there is none.
plat::WindowHandle exec_presentation_window();
int exec_presentation_exists();
void exec_fire(int event, IconId icon);
