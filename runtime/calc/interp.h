// The interpreter: runs a code block on the one shared stack of 40 values and hands back one
// value. Runs nest through calls; each keeps to the values it pushed itself.
#pragma once
#include <cstdint>

#include "runtime/calc/value.h"

constexpr int kEvalStackSize = 40;

// Stop codes of the error word (positive codes are calculation errors).
enum : int {
    kEvalBadInstruction = -1,
    kEvalBadPush = -2,
    kEvalBadOperator = -3,
    kEvalUnderflow = -4,
    kEvalStopped = -6,
};

int eval_error();
void eval_set_error(int code);
// Idle again: stack released, error 0, depth 0, current icon 0 (tests).
void eval_reset();
