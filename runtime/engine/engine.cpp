#include "runtime/engine/engine.h"

#include "runtime/base/errcode.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/engine/action_queue.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_task.h"
#include "runtime/engine/goto.h"
#include "runtime/engine/icon_kinds.h"
#include "runtime/engine/icon_props.h"
#include "runtime/engine/icon_wait.h"
#include "runtime/engine/icon_seq.h"
#include "runtime/engine/icon_state.h"
#include "runtime/engine/idle.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/session.h"
#include "runtime/engine/urec.h"
#include "runtime/files/file_ops.h"
#include "runtime/pieces/piece_hooks.h"

int engine_resume_records(FileSpec* records, int force)
{
    int error = urec_resume(records, force);
    if ((error == kErrFileDamaged || error == kErrOutOfMemory) && records) {
        urec_keep_aside(records);
        return kErrStampDiffers;
    }
    return error;
}

int engine_init()
{
    modmsg_register(kSlotKernel, exec_kernel_module);
    modmsg_register(kSlotSession, session_module);
    modmsg_register(kSlotTasks, exec_tasks_module);
    modmsg_register(kSlotIconStates, icon_states_module);
    modmsg_register(kSlotSequence, icon_seq_module);
    modmsg_register(kSlotActionQueue, action_queue_module);
    modmsg_register(kSlotMisc, misc_module);
    goto_install();
    ExecHooks hooks = exec_hooks();
    hooks.run_attached_calc = icon_run_attached_calc;
    hooks.sync_waits_mode2 = session_sync_waits_mode2;
    hooks.sync_event = exec_sync_event;
    exec_set_hooks(&hooks);
    exec_wait_install();
    icon_kinds_install();

    PieceHooks pieces = piece_hooks();
    pieces.records_set_folder = urec_set_records_folder;
    pieces.records_make_path = urec_make_path;
    pieces.records_resume = engine_resume_records;
    pieces.records_start_fresh = urec_start_fresh;
    pieces.records_close_all = urec_close_all;
    pieces.resume_icon_run = exec_run_resume_icon;
    piece_set_hooks(&pieces);

    CalcHooks calc = calc_hooks();
    calc.engine_suspended = exec_suspended;
    calc_set_hooks(&calc);
    return 1;
}

void engine_term()
{
    urec_close_all();
    PieceHooks pieces = piece_hooks();
    pieces.records_set_folder = nullptr;
    pieces.records_make_path = nullptr;
    pieces.records_resume = nullptr;
    pieces.records_start_fresh = nullptr;
    pieces.records_close_all = nullptr;
    pieces.resume_icon_run = nullptr;
    piece_set_hooks(&pieces);
    CalcHooks calc = calc_hooks();
    calc.engine_suspended = nullptr;
    calc_set_hooks(&calc);
    ExecHooks hooks = exec_hooks();
    hooks.sync_waits_mode2 = nullptr;
    hooks.sync_event = nullptr;
    exec_set_hooks(&hooks);
    modmsg_reset();
    session_reset_all();
    exec_kernel_reset_all();
    exec_queue_reset_all();
    goto_reset();
    exec_wait_reset();
    icon_kinds_reset();
    icon_seq_reset();
    task_reset();
    exec_idle_reset();
}

void engine_window_closing()
{
    // Once per window: the first call closes the records with the piece.
    if (!exec_records_open())
        return;
    (void)urec_save_all(0);
    ModuleMessage message;
    message.message = kModWindowClosing;
    modmsg_broadcast(&message);
}
