#include "runtime/calc/interp_ops.h"

#include "runtime/base/str.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/list_table.h"

#include <cmath>
#include <cstring>
#include <string>

// Lists nested deeper than this are not walked by element-wise operators (the list tables
// refuse such nesting anyway).
constexpr int kOperMaxDepth = 64;

static void binary(int oper, ScriptValue& left, const ScriptValue& right, int depth);

static bool is_list(const ScriptValue& v) { return val_is_object_type(val_type(v)); }

static int32_t wrap(uint32_t x) { return int32_t(x); }

// A number by the text rule; what is none afterwards counts as integer 0.
static void to_number(ScriptValue& v)
{
    if (val_type(v) == kValInteger || val_type(v) == kValReal)
        return;
    val_convert(v, kValNumber);
    if (val_type(v) != kValInteger && val_type(v) != kValReal) {
        val_free(v);
        val_set_integer(0, v);
    }
}

static void arith_scalar(int oper, ScriptValue& left, const ScriptValue& right_in)
{
    if (oper != kOperTimes && oper != kOperDivide && oper != kOperPlus && oper != kOperMinus && oper != kOperPower) {
        eval_set_error(kEvalBadOperator);
        return;
    }
    if (eval_arith_numbers(oper, left, right_in))
        return;
    ScriptValue right;
    val_copy(right, right_in);
    to_number(left);
    to_number(right);
    eval_arith_numbers(oper, left, right);
    val_free(right);
}

// The joined text cut at the limit, made anew (the slow way, for long texts).
static void join_cut(ScriptValue& left, const char* right)
{
    std::string text = var_lock_value_data(left);
    var_unlock_value_data(left);
    text += right;
    if (text.size() > size_t(kEvalJoinLimit))
        text.resize(size_t(str_fit_length(text.c_str(), kEvalJoinLimit)));
    val_free(left);
    if (!val_set_string_n(left, text.data(), text.size()))
        eval_set_error(kEvalNoMemory);
}

// Appends text to left, a string: a text of the left's own grows where it is; others, and a
// cut, make a new one.
static void join_text(ScriptValue& left, const char* text)
{
    int appended = val_append_text(left, text, std::strlen(text), size_t(kEvalJoinLimit));
    if (appended < 0)
        join_cut(left, text);
    else if (appended == 0)
        eval_set_error(kEvalNoMemory);
}

static void join(ScriptValue& left, const ScriptValue& right_in)
{
    if (val_type(right_in) == kValInteger) {
        // Digits short enough to be an inline text need no value of their own.
        char digits[16];
        val_format_number(right_in, digits, sizeof digits, 1, 0);
        if (std::strlen(digits) < size_t(kValInlineMax)) {
            val_convert(left, kValString);
            join_text(left, digits);
            return;
        }
    }
    ScriptValue converted;
    val_init(converted);
    const ScriptValue* right = &right_in;
    if (val_type(right_in) != kValString) {
        val_copy(converted, right_in);
        val_convert(converted, kValString);
        right = &converted;
    }
    val_convert(left, kValString);
    join_text(left, var_lock_value_data(*right));
    var_unlock_value_data(*right);
    val_free(converted);
}

// The element of a list operand: key-value lists give their values.
static void element_at(const ScriptValue& list, int i, ScriptValue& out)
{
    int kind = val_type(list);
    if (kind == kValPropList || kind == kValEventList)
        list_prop_value_at(list, i, out);
    else
        list_get_at(list, i, out);
}

// A new list of the first list operand's kind, element i = left_i oper right_i.
static void list_binary(int oper, ScriptValue& left, const ScriptValue& right, int depth)
{
    const ScriptValue& model = is_list(left) ? left : right;
    int kind = val_type(model);
    int count = list_count(model);
    int right_count = is_list(right) ? list_count(right) : 0;
    ScriptValue result;
    val_init(result);
    if (!list_new(kind, 0, result)) {
        eval_set_error(kEvalNoMemory);
        val_free(left);
        return;
    }
    bool pairs = kind == kValPropList || kind == kValEventList;
    for (int i = 1; i <= count && eval_error() == 0; ++i) {
        ScriptValue a, b;
        if (is_list(left))
            element_at(left, i, a);
        else
            val_copy(a, left);
        if (!is_list(right) || i <= right_count) {
            if (is_list(right))
                element_at(right, i, b);
            else
                val_copy(b, right);
            binary(oper, a, b, depth + 1);
            val_free(b);
        }
        int status;
        if (pairs) {
            ScriptValue key;
            list_prop_key_at(model, i, key);
            status = list_prop_add(result, key, a);
            val_free(key);
        } else {
            status = list_set_at(result, i, a);
        }
        if (status == kValErrNoMemory)
            eval_set_error(kEvalNoMemory);
        val_free(a);
    }
    val_free(left);
    left = result;
}

static void binary(int oper, ScriptValue& left, const ScriptValue& right, int depth)
{
    if ((is_list(left) || is_list(right)) && depth < kOperMaxDepth) {
        list_binary(oper, left, right, depth);
        return;
    }
    if (oper == kOperJoin)
        join(left, right);
    else
        arith_scalar(oper, left, right);
}

void eval_binary(int oper, ScriptValue& left, const ScriptValue& right)
{
    if (!eval_arith_numbers(oper, left, right))
        binary(oper, left, right, 0);
}

static void unary_scalar(int oper, ScriptValue& v)
{
    if (oper == kOperNot) {
        int truth = val_is_true(v);
        val_free(v);
        val_set_integer(!truth, v);
    } else if (oper == kOperMinus) {
        if (val_type(v) == kValString)
            val_convert(v, kValNumber);
        if (val_type(v) == kValInteger)
            val_set_integer(wrap(0u - uint32_t(val_integer(v))), v);
        else if (val_type(v) == kValReal)
            val_set_real(-val_real(v), v);
    } else if (oper != kOperPlus) {
        eval_set_error(kEvalBadOperator);
    }
}

static void unary(int oper, ScriptValue& v, int depth)
{
    if (!is_list(v) || oper == kOperPlus || depth >= kOperMaxDepth) {
        unary_scalar(oper, v);
        return;
    }
    int kind = val_type(v);
    bool pairs = kind == kValPropList || kind == kValEventList;
    ScriptValue result;
    val_init(result);
    if (!list_new(kind, 0, result)) {
        eval_set_error(kEvalNoMemory);
        return;
    }
    int count = list_count(v);
    for (int i = 1; i <= count; ++i) {
        ScriptValue e;
        element_at(v, i, e);
        unary(oper, e, depth + 1);
        if (pairs) {
            ScriptValue key;
            list_prop_key_at(v, i, key);
            list_prop_add(result, key, e);
            val_free(key);
        } else {
            list_set_at(result, i, e);
        }
        val_free(e);
    }
    val_free(v);
    v = result;
}

void eval_unary(int oper, ScriptValue& v) { unary(oper, v, 0); }

// List ordering: a scalar below a list, key-value lists above the others, then the count, then
// the text forms.
static int list_order(const ScriptValue& a, const ScriptValue& b)
{
    if (!is_list(a) || !is_list(b))
        return is_list(a) ? 1 : -1;
    auto group = [](const ScriptValue& v) { return val_type(v) >= kValPropList ? 1 : 0; };
    if (group(a) != group(b))
        return group(a) - group(b);
    int ca = list_count(a), cb = list_count(b);
    if (ca != cb)
        return ca < cb ? -1 : 1;
    MemHandle ta = list_to_text(a, 1, 0, 0), tb = list_to_text(b, 1, 0, 0);
    const char* x = ta ? static_cast<const char*>(mem_address(ta)) : "";
    const char* y = tb ? static_cast<const char*>(mem_address(tb)) : "";
    int order = val_compare_chars(x, y);
    mem_free(ta);
    mem_free(tb);
    return order;
}

int eval_compare(int oper, ScriptValue& left, ScriptValue& right)
{
    if (oper < kOperEqual || oper > kOperNotEqual) {
        eval_set_error(kEvalBadOperator);
        return 0;
    }
    int order = 0;
    int tl = val_type(left), tr = val_type(right);
    if (is_list(left) || is_list(right)) {
        order = list_order(left, right);
    } else if ((tl == kValString && tr == kValString) || tl == kValSymbol || tr == kValSymbol) {
        val_convert(left, kValString);
        val_convert(right, kValString);
        order = val_compare_text(left, right);
    } else {
        to_number(left);
        to_number(right);
        eval_order_numbers(left, right, &order);
    }
    return eval_relation(oper, order);
}
