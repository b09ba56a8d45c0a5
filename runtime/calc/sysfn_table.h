// The system-function table: one descriptor per built-in function, in id order (id = 31000 +
// index; compiled code stores ids, so the order is a stored format), the name index, and the
// compile-time queries. Names are string-table entries 8816 + index; index 190 has none.
// Handlers are bound by index by the modules that implement them; a call of an unbound one
// stops the run with error 21.
#pragma once
#include <cstddef>
#include <cstdint>

struct ScriptValue;

constexpr int kSysFnFirstId = 31000;
constexpr int kSysFnCount = 328;
constexpr int kSysFnNameEntry = 8816;
constexpr int kSysFnNameMax = 40;   // characters of a function or variable name
constexpr int kSysFnUnbounded = 32767;
constexpr int kSysFnNoClass = 255;

enum : uint8_t {
    kSysFnCalcOnly = 1, // calculation icons only
    kSysFnAnywhere = 2,
};

enum : uint32_t {
    kSysFnOnTarget = 2,        // may run on a target file
    kSysFnEvalStatus = 4,      // its status there is read from EvalStatus and EvalMessage
    kSysFnIoStatus = 8,        // ... from IOStatus
};

enum : uint8_t {
    kSysFnCategoryUndefined = 97, // known, but not defined for compiling
    kSysFnCategoryHidden = 99,
};

// A handler gets the call's arguments, converted as its signature asks, and writes its result.
using SysFnHandler = void (*)(int argc, ScriptValue* args, ScriptValue& result);

struct SysFunctionDesc {
    SysFnHandler handler; // null until bound
    uint8_t category;
    uint8_t result_type; // a ScriptValueType: 0, 1, 2, 4, 16 or 18
    uint8_t scope;       // kSysFnCalcOnly or kSysFnAnywhere
    const char* signature;
    uint32_t flags;
};

// The handler of the functions that have no effect here: the result is integer 0.
void sysfn_no_op(int argc, ScriptValue* args, ScriptValue& result);

// Start-up: interns the file and target symbols, fills the table and binds the no-effect
// functions and the handlers calc holds; 1, or 0 without memory.
int sysfn_build_table();
// Forgets the name index and every binding (tests).
void sysfn_reset();
// 1 when id names a system function.
inline bool sysfn_is_id(int id) { return id >= kSysFnFirstId && id < kSysFnFirstId + kSysFnCount; }
// The descriptor of a valid id.
const SysFunctionDesc& sysfn_desc(int id);
// Binds the handler of the function with this index: 1, or 0 for an index outside the table.
int sysfn_bind(int index, SysFnHandler handler);

// The id of the function with that name, ignoring case; 0 when there is none.
int sysfn_find(const char* name);
// 0 found and usable; 27 a name longer than 40 characters (id 0); 21 no such function, or one
// of category 97 (id the one found, else 0).
int sysfn_lookup_for_compile(const char* name, int* id);
// The function's name into out (at least 41 bytes): 0, or 21 for an id outside the table.
int sysfn_name(char* out, size_t size, int id);
int sysfn_min_args(int id);
int sysfn_max_args(int id);
// The class (ScriptValueType) of argument position (from 0): its letter, or at and beyond a
// final "." the letter before it; kSysFnNoClass past the end.
int sysfn_arg_class(int id, int position);
// The scope byte: kSysFnCalcOnly or kSysFnAnywhere.
int sysfn_calc_only(int id);
// Nonzero when id names a system function whose flags share a bit with mask.
int sysfn_has_flag(int id, uint32_t mask);
// The symbol ids interned at start-up, in order: piece, external, plugin, before, after,
// beforeFirstChild, afterLastChild, display, response (0 before the build).
uint32_t sysfn_symbol(int which);

// Runs a system-function call: 0, or 21 when the function has no handler bound (nothing is
// called, the result stays empty); ids outside the table do nothing and answer 0.
int sysfn_call(uint32_t context_icon, int id, int argc, ScriptValue* args, ScriptValue& result);
// The call of a valid id: refuses a count outside the signature's (29, 15) and a non-reference
// in a "V" place (16); converts the arguments by their letters, runs the handler with the
// context icon current (restored after) and settles the result to the function's type.
int sysfn_invoke(uint32_t context_icon, int id, int argc, ScriptValue* args, ScriptValue& result);
// The interpreter's call hook while no user functions exist: a system function is run, any
// other id is not defined (21).
int sysfn_call_hook(uint32_t context_icon, int id, int argc, ScriptValue* args, ScriptValue& result);
// The icon in whose context the call in progress runs; 0 between calls.
uint32_t sysfn_current_icon();
