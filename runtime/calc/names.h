// Names of calculations: variables and icon titles resolved at compile time, the names that
// rebuilt source shows for ids, and the texts of calculation errors. Variables and user
// functions live in modules above calc, which fill the name hooks at start-up; empty, a
// variable name is not defined (22), a rebuilt variable shows "DeletedVariable", and a name no
// system function has is not defined (21).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/base/mem.h"

// Variable id classes.
constexpr uint16_t kVarFirstSystem = 8193;
constexpr uint16_t kVarFirstCustom = 12289;
constexpr uint16_t kVarIconOfTitle = 8374; // a bare @"title": the titled icon's id
constexpr int kVarNameMax = 40;

// Traits of a system variable.
enum : uint32_t {
    kSysVarReserved = 1,   // may not be named at all
    kSysVarAtAllowed = 2,  // may take an "@" part
    kSysVarAssignable = 4,
    kSysVarCalcOnly = 8,   // only in the code of a calculation icon
};

struct CalcNameHooks {
    // 1 with the id of the custom variable of that name.
    int (*var_find_custom)(const char* name, uint16_t* id);
    // 1 with the id of the file's user variable of that name, else the system variable's.
    int (*var_find_id)(int file_slot, const char* name, uint16_t* id);
    // 1 with the variable's current name.
    int (*var_display_name)(int file_slot, uint16_t id, char* out, size_t size);
    // The traits of a system variable; empty: "@" allowed, nothing else.
    uint32_t (*sysvar_traits)(uint16_t id);
    // 1 with the id of the user function of that name in the file's libraries.
    int (*ucode_find_function)(int file_slot, const char* name, int* id);
    // The function's signature, null when it has none.
    const char* (*ucode_signature)(int id);
    // 1 with the function's current name.
    int (*ucode_function_name)(int id, char* out, size_t size);
    // 1 when the function's library can be found (it then takes any argument count).
    int (*ucode_library_located)(int id);
};

// Copies the table (null: all entries empty).
void calc_set_name_hooks(const CalcNameHooks* hooks);
const CalcNameHooks& calc_name_hooks();

// A VariableRef {id, at-flag, icon number} as the compiler stores it.
struct VariableRef {
    uint16_t id;
    uint16_t at_flag; // 1: the icon comes from the expression after "@" at run time
    uint16_t icon;    // 0: the current icon
};
void var_ref_store(const VariableRef& ref, uint8_t* out6);
VariableRef var_ref_load(const uint8_t* in6);

// 1 when the context icon (file slot << 16 | node) is node 2 of its file or lies below it.
int eval_in_library(uint32_t context);
// Resolves a variable name: at_text null without "@", "" for an icon computed at run time,
// else the icon's title. 0 or 22 to 28, 31, 32.
int eval_resolve_variable_name(uint32_t context, const char* name, const char* at_text, VariableRef* out);
// 0 with the node number of the titled icon of the file; 23, 26 or 28.
int eval_resolve_icon_title(int file_slot, const char* title, uint16_t* node);
int eval_is_assignable(const VariableRef& ref);
// 1 when the variable may be used only in a calculation icon.
int eval_is_calc_only_variable(const VariableRef& ref);
// The text standing for the variable in rebuilt source (name, name@"title" or name@).
void eval_variable_display_name(uint32_t context, char* out, size_t size, const VariableRef& ref);
// Appends the title in double quotes, its quotes and backslashes escaped by a backslash.
void eval_append_quoted_title(std::string& out, const char* title);
// The name of a system or user function, "DeletedFunction" when neither knows the id.
void eval_function_display_name(int id, char* out, size_t size);

// The message for an error code: entry 8720 + code with "%s" the length characters of text
// from offset (clamped to the text); codes outside 0..57 read as text 18 with the code. A
// block the caller owns; null when memory ran out.
MemHandle eval_error_text(int code, const char* text, int offset, int length);
