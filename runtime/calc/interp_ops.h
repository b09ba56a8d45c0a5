// The operators of the interpreter: unary, arithmetic with join, comparison, each on numbers,
// texts and, element by element, lists.
#pragma once
#include <cstdint>

#include "runtime/calc/value.h"

// Operator codes (scanner tokens).
enum : int {
    kOperTimes = 3,
    kOperDivide = 4,
    kOperPlus = 5,
    kOperMinus = 6,
    kOperEqual = 7,
    kOperGreater = 8,
    kOperLess = 9,
    kOperLessEqual = 10,
    kOperGreaterEqual = 11,
    kOperNotEqual = 12,
    kOperNot = 15,
    kOperJoin = 35,
    kOperPower = 37,
};

// Applies the operator to v in place.
void eval_unary(int oper, ScriptValue& v);
// left = left oper right; right stays the caller's.
void eval_binary(int oper, ScriptValue& left, const ScriptValue& right);
// 0 or 1; errors go to the error word.
int eval_compare(int oper, ScriptValue& left, ScriptValue& right);
