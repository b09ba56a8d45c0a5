// What the calculation language needs of the engine above it: variables, the learner's
// records, triggers, the kernel's suspended state, the presentation window and calls of
// functions. The engine fills the table at start-up; an empty entry takes the failure path:
// a read gives the empty value, an assignment stores nothing, a learner's-record string reads
// empty, no evaluation context is set, no variable maps into another file, the engine is
// never suspended, the window never changes, a call stops the run with error 21.
#pragma once
#include <cstdint>

struct ScriptValue;

struct CalcHooks {
    // The variable's value (the caller owns out); icon_arg is the file slot << 16 | icon number.
    int (*var_get)(uint32_t context_icon, uint16_t variable, uint32_t icon_arg, ScriptValue& out);
    // Stores a copy of value: a status the interpreter ignores.
    int (*var_set)(uint32_t context_icon, uint16_t variable, uint32_t icon_arg, const ScriptValue& value);
    // The icon that stands for "this icon" while a trigger or an embedded expression runs (0:
    // none), and the variable of the same name in another file (0: it has none there).
    uint32_t (*var_get_eval_context)();
    uint16_t (*var_map_to_file)(int file_slot, uint16_t variable, int target_slot);
    // The characters of a learner's-records string (null: empty), and its release.
    const char* (*learner_string_lock)(uint16_t record);
    void (*learner_string_unlock)(uint16_t record);
    // A variable that holds a changed list.
    void (*trig_mark_variable)(uint32_t variable, uint16_t icon);
    // Read before every instruction: a change stops the run without an error.
    int (*engine_suspended)();
    uint32_t (*presentation_window)();
    // System and user functions: the error word the call leaves (0 ok).
    int (*call)(uint32_t context_icon, int id, int argc, ScriptValue* args, ScriptValue& result);
};

// Copies the table (null: all entries empty).
void calc_set_hooks(const CalcHooks* hooks);
// The table itself is read inline: the interpreter reads it for every variable it reads or
// writes. Only calc_set_hooks writes it.
extern CalcHooks g_calc_hooks;
inline const CalcHooks& calc_hooks() { return g_calc_hooks; }
// Set while the suspended state or the window has a hook: the interpreter reads this one flag
// before every instruction rather than calling out when neither is bound.
extern bool g_calc_watched;
