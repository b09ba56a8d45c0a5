#include "runtime/engine/engine.h"

#include "runtime/base/errcode.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/engine/action_queue.h"
#include "runtime/engine/engine_sysfn.h"
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
#include "runtime/engine/var.h"
#include "runtime/engine/var_internal.h"
#include "runtime/engine/var_names.h"
#include "runtime/calc/embedded.h"
#include "runtime/calc/names.h"
#include "runtime/nodes/node_files.h"
#include "runtime/pieces/piece_current.h"
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

// --- the variable store's doors for the layers below ------------------------------------------

static int calc_var_set(uint32_t context, uint16_t id, uint32_t at, const ScriptValue& value)
{
    return var_set(context, id, at, &value);
}

static uint16_t calc_var_map(int file_slot, uint16_t id, int target_slot) { return var_map_to_file(file_slot, id, target_slot); }

static int names_find_custom(const char* name, uint16_t* id)
{
    *id = var_find_custom(0, name);
    return *id != 0;
}

static int names_find_id(int file_slot, const char* name, uint16_t* id)
{
    *id = var_find_id(uint32_t(file_slot) << 16, name);
    return *id != 0;
}

static int names_display_name(int file_slot, uint16_t id, char* out, size_t size)
{
    if (var_id_class(id) == kVarClassCustom)
        return var_custom_name(id, out, size);
    return var_user_name(uint32_t(file_slot) << 16, id, out, size) > 0;
}

// Only the running piece has a name dictionary.
static void names_build(int slot)
{
    if (slot == piece_slot())
        (void)var_build_name_dict(slot);
}

static void bind_variables(bool on)
{
    modmsg_register(kSlotVariables, on ? var_module : nullptr);
    CalcHooks calc = calc_hooks();
    calc.var_get = on ? var_get : nullptr;
    calc.var_set = on ? calc_var_set : nullptr;
    calc.var_get_eval_context = on ? var_get_eval_context : nullptr;
    calc.var_map_to_file = on ? calc_var_map : nullptr;
    calc.learner_string_lock = on ? var_learner_string_lock : nullptr;
    calc.learner_string_unlock = on ? var_learner_string_unlock : nullptr;
    calc_set_hooks(&calc);
    CalcNameHooks names = calc_name_hooks();
    names.var_find_custom = on ? names_find_custom : nullptr;
    names.var_find_id = on ? names_find_id : nullptr;
    names.var_display_name = on ? names_display_name : nullptr;
    calc_set_name_hooks(&names);
    EmbedHooks embed {};
    embed.var_set_eval_context = on ? var_set_eval_context : nullptr;
    embed_set_hooks(&embed);
    NodeServices services = node_services();
    services.variable_names_build = on ? names_build : nullptr;
    services.variable_names_forget = on ? var_forget_names : nullptr;
    node_set_services(&services);
    if (on)
        var_bind_functions();
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
    bind_variables(true);
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
    calc.call = sysfn_call_hook;
    calc_set_hooks(&calc);
    engine_bind_system_functions();
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
    calc.call = nullptr;
    calc_set_hooks(&calc);
    ExecHooks hooks = exec_hooks();
    hooks.sync_waits_mode2 = nullptr;
    hooks.sync_event = nullptr;
    exec_set_hooks(&hooks);
    bind_variables(false);
    modmsg_reset();
    var_reset_all();
    var_names_reset();
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
