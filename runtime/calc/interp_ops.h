// The operators of the interpreter: unary, arithmetic with join, comparison, each on numbers,
// texts and, element by element, lists.
#pragma once
#include <cmath>
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

// Integers stay integers for times, plus and minus, wrapping at 32 bits (done unsigned);
// anything with a real, and divide and power, is done in double precision. False, with left
// unchanged, when either is no number or the operator no arithmetic one. Inline: the
// interpreter's arithmetic instructions take this path first.
inline bool eval_arith_numbers(int oper, ScriptValue& left, const ScriptValue& right)
{
    int tl = val_type(left), tr = val_type(right);
    if ((tl != kValInteger && tl != kValReal) || (tr != kValInteger && tr != kValReal))
        return false;
    if (tl == kValInteger && tr == kValInteger && (oper == kOperTimes || oper == kOperPlus || oper == kOperMinus)) {
        uint32_t a = uint32_t(val_integer(left)), b = uint32_t(val_integer(right));
        uint32_t r = oper == kOperTimes ? a * b : oper == kOperPlus ? a + b : a - b;
        val_set_integer(int32_t(r), left);
        return true;
    }
    double a = tl == kValReal ? val_real(left) : val_integer(left);
    double b = tr == kValReal ? val_real(right) : val_integer(right);
    switch (oper) {
    case kOperTimes: val_set_real(a * b, left); return true;
    case kOperDivide: val_set_real(b == 0.0 ? HUGE_VAL : a / b, left); return true; // any dividend: +infinity
    case kOperPlus: val_set_real(a + b, left); return true;
    case kOperMinus: val_set_real(a - b, left); return true;
    case kOperPower: val_set_real(std::pow(a, b), left); return true;
    default: return false;
    }
}

// The comparison operator applied to an order (-1, 0, 1).
inline int eval_relation(int oper, int order)
{
    switch (oper) {
    case kOperEqual: return order == 0;
    case kOperGreater: return order > 0;
    case kOperLess: return order < 0;
    case kOperLessEqual: return order <= 0;
    case kOperGreaterEqual: return order >= 0;
    default: return order != 0;
    }
}

// The order of two numbers (integer or real): with a real both compare as reals, unordered
// counting as equal. False when either is no number.
inline bool eval_order_numbers(const ScriptValue& left, const ScriptValue& right, int* order)
{
    int tl = val_type(left), tr = val_type(right);
    if (tl == kValInteger && tr == kValInteger) {
        int32_t a = val_integer(left), b = val_integer(right);
        *order = a < b ? -1 : a > b ? 1 : 0;
        return true;
    }
    if ((tl != kValInteger && tl != kValReal) || (tr != kValInteger && tr != kValReal))
        return false;
    double a = tl == kValReal ? val_real(left) : val_integer(left);
    double b = tr == kValReal ? val_real(right) : val_integer(right);
    *order = a < b ? -1 : a > b ? 1 : 0;
    return true;
}

// Applies the operator to v in place.
void eval_unary(int oper, ScriptValue& v);
// left = left oper right; right stays the caller's.
void eval_binary(int oper, ScriptValue& left, const ScriptValue& right);
// 0 or 1; errors go to the error word.
int eval_compare(int oper, ScriptValue& left, ScriptValue& right);
