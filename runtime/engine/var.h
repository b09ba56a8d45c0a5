// The variable store, executor module slot 9: every value a piece computes. Values of user
// variables (declared in the piece and its libraries), custom variables (made by name at run
// time), stored system variables, a few per-icon values (entry text, matched event, preroll,
// tracking text) and the 2501 elements of ArrayGet/ArraySet. It lives in the learner's records:
// 22-byte value items {u32 context, u16 variable, ScriptValue} in one record, long strings each
// a record of their own, list objects and symbols saved by content and name, and seven tag
// lists. var_get and var_set are the only doors by variable id.
#pragma once
#include "runtime/calc/value.h"
#include "runtime/engine/modbus.h"

#include <cstddef>
#include <cstdint>

using VariableId = uint16_t;

// Variable id classes.
enum VarClass : int {
    kVarClassNone = 0,
    kVarClassUser = 1,   // 1..8192
    kVarClassSystem = 2, // 8193..12288
    kVarClassCustom = 3, // 12289..16383
};
constexpr VariableId kVarLastUser = 8192;
constexpr VariableId kVarLastSystem = 12288;
constexpr VariableId kVarLastCustom = 16383;
constexpr size_t kVarItemSize = 22;
constexpr size_t kVarStateSize = 32;
constexpr int kVarArrayCount = 2501;
constexpr int kVarCustomNameMax = 40;

enum : int {
    kErrVarNoRecord = 5003,
    kErrVarStoreUnusable = 8006,
};

// Small-state offsets of slot 9 (record numbers unless said otherwise).
enum VarStateOffset : int {
    kVarStItems = 0,
    kVarStSymbols1 = 2,
    kVarStSymbols2 = 4,
    kVarStScripting = 6,
    kVarStEvents = 8,
    kVarStLists = 10,
    kVarStSpare = 12,
    kVarStCustomNames = 14,
    kVarStEntryTexts = 16,
    kVarStMatchedEvents = 18,
    kVarStPreroll = 20,
    kVarStArray = 22,
    kVarStTracking = 24,
    kVarStNextCustom = 26, // u16
    kVarStItemCount = 28,  // i32
};

// What the store needs of modules above or beside it. An empty entry: a system variable reads
// empty and takes no assignment; nothing is marked for triggers; no changed-bit sets exist;
// scripting instances and event responses are never saved.
struct VarHooks {
    int (*sysvar_read)(uint32_t context, VariableId id, uint32_t at, ScriptValue& out);
    int (*sysvar_assign)(uint32_t context, VariableId id, uint32_t at, ScriptValue& value);
    // Triggers: a variable changed; event n for a value (icon events); the changed-variable bit
    // sets made and freed with the store.
    void (*trig_mark_variable)(uint32_t context, VariableId id);
    void (*trig_mark)(int event, uint32_t value);
    int (*trig_bits_create)();
    void (*trig_bits_free)();
    // Event responses of plug-ins: reset and shut down with the store.
    void (*xevt_reset)();
    void (*xevt_shutdown)();
    // Initialize turns the time-out target off.
    void (*time_out_off)();
};
void var_set_hooks(const VarHooks* hooks);
const VarHooks& var_hooks();

int var_id_class(uint32_t id);

// --- values -----------------------------------------------------------------------------------

// The variable's value (out owns nothing the store keeps: learner's-record strings and objects
// are the store's; the interpreter copies them). Nonzero when the value is not empty. at is the
// icon named with "@" (0 or no node part: none).
int var_get(uint32_t context, VariableId id, uint32_t at, ScriptValue& out);
// Stores a copy of value: nonzero when stored.
int var_set(uint32_t context, VariableId id, uint32_t at, const ScriptValue* value);
int var_set_text(uint32_t context, VariableId id, uint32_t at, const char* text);
int var_set_int(uint32_t context, VariableId id, uint32_t at, int32_t number);
// Back to the initial value.
int var_reset_to_initial(uint32_t context, VariableId id, uint32_t at);
// The stored value of a context (0: the running piece's root); found / status.
int var_get_stored(uint32_t context, VariableId id, ScriptValue& out);
int var_set_stored(uint32_t context, VariableId id, const ScriptValue& value);

// Custom variables: created (the id, 0 when none is left or memory is short), released, found.
VariableId var_custom_create(uint32_t context, const char* name);
void var_custom_release(uint32_t context, VariableId id);
VariableId var_find_custom(uint32_t context, const char* name);
// The name of a custom variable: 1 with out filled.
int var_custom_name(VariableId id, char* out, size_t size);

// Per-icon values (icons by node number of the running piece).
int var_get_event_matched(uint32_t icon, ScriptValue& out);
int var_set_event_matched(uint32_t icon, const ScriptValue& value);
int var_get_icon_preroll(uint32_t icon, ScriptValue& out);
int var_set_icon_preroll(uint32_t icon, const ScriptValue& value);
// The text (null when none), held until the unlock; storing marks trigger event 13.
const char* var_lock_icon_text(uint32_t icon);
void var_unlock_icon_text(uint32_t icon);
int var_set_icon_text(uint32_t icon, const char* text);
const char* var_lock_icon_track_text(uint32_t icon);
void var_unlock_icon_track_text(uint32_t icon);
// Appends to the interaction's tracking text by its tracking mode; empties it.
void var_track_response_text(uint32_t interaction, uint32_t response);
void var_clear_track_text(uint32_t interaction);

// The icon standing for "this icon" while a trigger or an embedded expression runs.
uint32_t var_get_eval_context();
void var_set_eval_context(uint32_t icon);

// A user variable of another file: the number of the variable of the same name in the target
// file (user, then system); other ids unchanged; 0 when it has no name or none matches.
VariableId var_map_to_file(int file_slot, VariableId id, int target_slot);

// Makes a value storable in the learner's records: 0, 8, 5003 or a write error (the value is
// then freed and empty).
int var_store_value_data(ScriptValue& value);
// Frees what a stored value owns (its learner's record, a list reference).
void var_free_stored_value(ScriptValue& value);

// Initialize without arguments: the store made anew, the score and click variables emptied.
int var_initialize_all();

// The ArrayGet and ArraySet functions bound into the system-function table.
void var_bind_functions();

// Executor module slot 9.
int var_module(ModuleMessage* message);
// Nonzero while the store is open (from Init or Restore to Release or Delete).
int var_store_open();
// The number of value items (tests, dumps).
uint32_t var_item_count();
// Calls visit for every value item in key order until it answers 0.
using VarItemVisit = int (*)(uint32_t context, VariableId id, const ScriptValue& value, void* user);
void var_for_each_item(VarItemVisit visit, void* user);
// Forgets everything without touching records (tests, shutdown).
void var_reset_all();
