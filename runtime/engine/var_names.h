// Variable names and initial values. A piece stores its user variables' names (directory word
// 10: one text field per variable number, "%" marks a deleted one) and definitions (word 12:
// one 16-byte stored value per number; an icon's property 87 holds definitions of its own) as
// typed-field records, and may store a name dictionary (word 35: the slots of a hash table over
// the upper-cased names). The running file's names are found through one dictionary; names
// compare ignoring case and cut to 40 characters.
#pragma once
#include "runtime/calc/value.h"
#include "runtime/engine/var.h"

#include <cstddef>
#include <cstdint>

constexpr uint32_t kDirVariableNames = 10;
constexpr uint32_t kDirVariableDefinitions = 12;
constexpr uint32_t kDirNameDictionary = 35;
constexpr uint16_t kPropIconDefinitions = 87;
constexpr int kVarNameLimit = 40;
constexpr const char* kDeletedVariableName = "%";

// Stored definition types beside the value types.
enum : uint8_t {
    kDefExpression = 19, // a constant expression's text, evaluated for the initial value
    kDefSymbol = 20,     // a symbol's name
};

enum : int {
    kErrNoDictionary = 5002,
    kErrNoVariableName = 8006,
};

// System variables and the character-set map, from modules that come later. Empty: no system
// variable has a name or a default, and texts are never translated.
struct VarNameHooks {
    VariableId (*sysvar_find)(const char* name);
    int (*sysvar_name)(VariableId id, char* out, size_t size); // the length, 0 when none
    int (*sysvar_default)(uint32_t context, VariableId id, ScriptValue& out);
    // A text read from the file into an owned copy in the running character set (in place).
    void (*translate_text)(int file_slot, char* text, size_t length);
};
void var_set_name_hooks(const VarNameHooks* hooks);
const VarNameHooks& var_name_hooks();

// The dictionary: built when a file opens (0, 8 or 5002), forgotten when it closes.
int var_build_name_dict(int file_slot);
int var_scan_names(int file_slot);
void var_forget_names(int file_slot);
// The file the dictionary is for (0: none).
int var_name_dict_slot();

using VarNameVisit = int (*)(void* user, VariableId id, const char* name);
// Every named variable of the file (deleted ones skipped) until visit answers 0.
void var_for_each_name(int file_slot, VarNameVisit visit, void* user);
int var_count_names(int file_slot);
VariableId var_max_id(int file_slot);
// The name's length, 0 for a variable without a name or a deleted one.
int var_name(int file_slot, VariableId id, char* out, size_t size);
// 0, or 8006 when there is no such name.
int var_file_var_name(int file_slot, VariableId id, char* out, size_t size);
VariableId var_find_by_name(int file_slot, const char* name);
// A user variable of the context's file by name, else a system variable by name; 0 for none.
VariableId var_find_id(uint32_t context, const char* name);
VariableId var_find_in_file(int file_slot, const char* name);
// 1 when the context has a definition for the variable (an icon context must be valid).
int var_exists(uint32_t context, VariableId id);
// The stored definition: icon property 87 when the context has a node part, else word 12.
int var_definition(uint32_t context, VariableId id, ScriptValue& out);
// The name of a user variable that exists, or of a system variable; empty otherwise.
int var_user_name(uint32_t context, VariableId id, char* out, size_t size);
// A reference as calculations show it: name, "@", quoted title; "DeletedVariable" and
// "DeletedIcon" for what is gone. try_file: also look the id up in the at icon's file.
void var_display_name(uint32_t context, VariableId id, uint32_t at, int try_file, char* out, size_t size);
// The initial value (owned by out): 1 when defined, else integer 0 and 0.
int var_initial_value(uint32_t context, VariableId id, ScriptValue& out);
// Compiles and evaluates a calculation text for the icon without assignment; with check every
// variable (22) and function call (21) is refused. 0 or the error.
int var_eval_text(uint32_t icon, const char* text, int check, ScriptValue& out, int* error_start, int* error_end);
// Forgets the dictionary (tests).
void var_names_reset();
