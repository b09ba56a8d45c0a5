// The interpreter: runs a code block on the one shared stack of 40 values and hands back one
// value. Runs nest through calls on the same stack; each run pops, nips, picks and passes to
// calls only values it pushed itself.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/calc/value.h"

constexpr int kEvalStackSize = 40;
constexpr int kEvalJoinLimit = 30000; // bytes of a joined text

// Stop codes of the error word (positive codes are calculation errors).
enum : int {
    kEvalBadInstruction = -1,
    kEvalBadPush = -2,
    kEvalBadOperator = -3,
    kEvalUnderflow = -4,
    kEvalStopped = -6,
    kEvalStackFull = 10,
    kEvalNoMemory = 11,
    kEvalAssignRefused = 12,
    kEvalNoFunction = 21,
};

// Runs the block of size bytes for the context icon; out gets its result (the empty value
// after an error). A damaged block runs nothing and answers -1. With allow_assignment 0 every
// variable assignment inside, nested runs included, stops with 12. The stop code -6 answers
// 0; every other code is answered as it stands.
int eval_code(uint32_t context_icon, const uint8_t* code, size_t size, ScriptValue& out, int allow_assignment);
// The loop itself over a block code_validate accepted: leaves one value above the stack top.
void eval_run(uint32_t context_icon, const uint8_t* code);
uint32_t eval_current_icon();
// The variable's value for the context icon, owned as the stack owns its values; ref is a pool
// variable record {u16 id, u16 at-flag, u16 icon}.
void eval_read_variable(uint32_t context_icon, const uint8_t* ref, ScriptValue& out);

// Stack operations for calls: push returns the slot written (null when full: error 10, the
// value released); pop moves the top value out (empty below the run's own values: -4).
ScriptValue* eval_push(const ScriptValue& v);
void eval_pop(ScriptValue& out);
ScriptValue* eval_peek();
int eval_stack_top();

int eval_error();
void eval_set_error(int code);
// 0 inside a run that may not assign (its nested runs too), else 1.
int eval_assign_allowed();
// Stops every run after this many more instructions with -6; 0 for no limit (tools and tests).
void eval_set_step_limit(int64_t steps);
// The steps a limit still allows: 0 after a run that the limit stopped (or without a limit).
int64_t eval_steps_left();
// Idle again: stack released, error 0, depth 0, current icon 0 (tests).
void eval_reset();
