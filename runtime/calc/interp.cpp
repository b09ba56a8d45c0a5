#include "runtime/calc/interp.h"

#include "runtime/base/str.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/icon_var.h"
#include "runtime/calc/interp_ops.h"
#include "runtime/calc/list_table.h"
#include "runtime/text/charmap.h"

#include "platform/kernel/byte_io.h"

#include <cstring>

using plat::load_u16le;
using plat::load_u32le;

struct EvalState {
    ScriptValue stack[kEvalStackSize] = {};
    int top = 0;      // the next free slot
    int run_base = 0; // the first slot of the innermost run
    int error = 0;
    int no_assign_depth = 0;
    uint32_t current_icon = 0;
    const uint8_t* code_base = nullptr;
    int64_t steps_left = 0; // 0: no limit
};

static EvalState s_eval;

int eval_error() { return s_eval.error; }
void eval_set_error(int code) { s_eval.error = code; }
int eval_assign_allowed() { return s_eval.no_assign_depth == 0 ? 1 : 0; }
uint32_t eval_current_icon() { return s_eval.current_icon; }
int eval_stack_top() { return s_eval.top; }
void eval_set_step_limit(int64_t steps) { s_eval.steps_left = steps; }
int64_t eval_steps_left() { return s_eval.steps_left; }

void eval_reset()
{
    for (int i = 0; i < s_eval.top; ++i)
        val_free(s_eval.stack[i]);
    s_eval = EvalState {};
}

ScriptValue* eval_push(const ScriptValue& v)
{
    if (s_eval.top >= kEvalStackSize) {
        ScriptValue dropped = v;
        val_free(dropped);
        s_eval.error = kEvalStackFull;
        return nullptr;
    }
    ScriptValue* slot = &s_eval.stack[s_eval.top++];
    *slot = v;
    return slot;
}

void eval_pop(ScriptValue& out)
{
    if (s_eval.top <= s_eval.run_base) {
        val_init(out);
        s_eval.error = kEvalUnderflow;
        return;
    }
    out = s_eval.stack[--s_eval.top];
    val_init(s_eval.stack[s_eval.top]);
}

ScriptValue* eval_peek()
{
    if (s_eval.top <= s_eval.run_base) {
        s_eval.error = kEvalUnderflow;
        return nullptr;
    }
    return &s_eval.stack[s_eval.top - 1];
}

static void pop_release()
{
    if (s_eval.top <= s_eval.run_base) {
        s_eval.error = kEvalUnderflow;
        return;
    }
    val_free(s_eval.stack[--s_eval.top]);
}

// The next free slot for a value written in place (the hot pushes build no value to copy), or
// null with error 10.
static ScriptValue* push_slot()
{
    if (s_eval.top >= kEvalStackSize) {
        s_eval.error = kEvalStackFull;
        return nullptr;
    }
    return &s_eval.stack[s_eval.top++];
}

static int own_values() { return s_eval.top - s_eval.run_base; }

// --- variables -----------------------------------------------------------------------------

static uint32_t icon_argument(uint32_t context, const uint8_t* ref)
{
    uint16_t at = load_u16le(ref + 2);
    return (context & 0xFFFF0000u) | (at ? 0u : load_u16le(ref + 4));
}

// The variable's value into out, owned: the variable store hands texts of their own, and
// learner's-record strings and objects that the variable keeps, which are copied here.
static inline void read_variable(uint32_t context, const uint8_t* ref, ScriptValue& out)
{
    val_init(out);
    auto get = calc_hooks().var_get;
    if (!get)
        return;
    get(context, load_u16le(ref), icon_argument(context, ref), out);
    bool shared = val_is_object_type(val_type(out)) || (val_type(out) == kValString && val_storage(out) == kStoreLearner);
    if (shared)
        val_copy(out, out);
}

void eval_read_variable(uint32_t context, const uint8_t* ref, ScriptValue& out) { read_variable(context, ref, out); }

static void assign_variable(uint32_t context, const uint8_t* ref, const ScriptValue& value)
{
    if (s_eval.no_assign_depth > 0) {
        s_eval.error = kEvalAssignRefused;
        return;
    }
    if (auto set = calc_hooks().var_set)
        set(context, load_u16le(ref), icon_argument(context, ref), value);
}

// A reference value is replaced by its variable's value.
static void read_through(uint32_t context, ScriptValue& v)
{
    if (val_type(v) != kValReference)
        return;
    ScriptValue ref = v;
    eval_read_variable(context, ref.bytes + 2, v);
}

// --- instructions --------------------------------------------------------------------------

static void push_string_constant(const uint8_t* text, int mapped)
{
    const char* chars = reinterpret_cast<const char*>(text);
    size_t length = std::strlen(chars);
    ScriptValue v;
    CharsetMap* map = mapped ? str_charmap() : nullptr;
    if (map && str_charmap_maps_values(map)) {
        if (!val_set_string_n(v, chars, length))
            s_eval.error = kEvalNoMemory;
        char* own = const_cast<char*>(var_lock_value_data(v));
        str_charmap_translate_n(map, own, length, 2, 1);
        var_unlock_value_data(v);
    } else {
        val_set_constant(v, chars, length);
    }
    eval_push(v);
}

static double pool_real(const uint8_t* p)
{
    uint64_t bits = uint64_t(load_u32le(p)) | uint64_t(load_u32le(p + 4)) << 32;
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// The value at value (the top) moves onto its target below it, which is assigned when it is a
// reference; the stack top must already be one below value.
static inline void assign_pair(uint32_t context, ScriptValue* value)
{
    ScriptValue target = value[-1];
    value[-1] = *value;
    val_init(*value);
    if (val_type(target) == kValReference)
        assign_variable(context, target.bytes + 2, value[-1]);
    else
        val_free(target);
}

// [target, value] becomes [value], the value assigned when the target is a reference.
static void op_assign(uint32_t context)
{
    if (own_values() < 2) { // the value stays (or an empty one), with -4
        ScriptValue value, target;
        eval_pop(value);
        eval_pop(target);
        eval_push(value);
        return;
    }
    assign_pair(context, &s_eval.stack[--s_eval.top]);
}

static void op_call(uint32_t context, const uint8_t* record)
{
    int argc = int16_t(load_u16le(record));
    uint16_t id = load_u16le(record + 2);
    if (argc > own_values()) {
        s_eval.error = kEvalUnderflow;
        return;
    }
    auto call = calc_hooks().call;
    if (!call) {
        s_eval.error = kEvalNoFunction;
        return;
    }
    ScriptValue result;
    val_init(result);
    int first = s_eval.top - argc;
    int status = call(context, id, argc, &s_eval.stack[first], result);
    if (status != 0 && s_eval.error == 0)
        s_eval.error = status;
    while (s_eval.top > first)
        pop_release();
    eval_push(result);
}

// The value at top (one above the stack top) replaces the one below it.
static inline void nip_into(ScriptValue* top)
{
    val_free(top[-1]);
    top[-1] = *top;
    val_init(*top);
}

static void op_nip()
{
    if (own_values() < 2) {
        s_eval.error = kEvalUnderflow;
        return;
    }
    nip_into(&s_eval.stack[--s_eval.top]);
}

// The operators work on the two top slots in place; the right operand's slot is released (for
// a comparison it takes the result, the left operand staying for a chained one).

// Both operands numbers: the result left in the left slot, the right one empty; else false
// with both unchanged.
static inline bool arith_numbers_at(int oper, ScriptValue* right)
{
    if (!eval_arith_numbers(oper, right[-1], *right))
        return false;
    val_init(*right); // a number owns nothing
    return true;
}

// Both operands numbers: the result in the right slot; else false with both unchanged.
static inline bool compare_numbers_at(int oper, ScriptValue* right)
{
    int order;
    if (oper < kOperEqual || oper > kOperNotEqual || !eval_order_numbers(right[-1], *right, &order))
        return false;
    val_set_integer(eval_relation(oper, order), *right);
    return true;
}

static void op_arith(int oper)
{
    if (own_values() < 2) {
        s_eval.error = kEvalUnderflow;
        return;
    }
    ScriptValue* right = &s_eval.stack[s_eval.top - 1];
    if (arith_numbers_at(oper, right)) {
        s_eval.top--;
        return;
    }
    eval_binary(oper, right[-1], *right);
    pop_release();
}

static void op_compare(int oper)
{
    if (own_values() < 2) {
        s_eval.error = kEvalUnderflow;
        return;
    }
    ScriptValue* right = &s_eval.stack[s_eval.top - 1];
    if (compare_numbers_at(oper, right))
        return;
    ScriptValue copy;
    val_copy(copy, right[-1]);
    int result = eval_compare(oper, copy, *right);
    val_free(copy);
    val_free(*right);
    val_set_integer(result, *right);
}

static void op_pick(uint32_t context, int16_t operand)
{
    bool through = operand < 0;
    int n = through ? -operand : operand;
    if (n > own_values()) {
        s_eval.error = kEvalUnderflow;
        return;
    }
    if (s_eval.top + n > kEvalStackSize) {
        s_eval.error = kEvalStackFull;
        return;
    }
    int first = s_eval.top - n;
    for (int i = 0; i < n; ++i) {
        ScriptValue copy;
        val_copy(copy, s_eval.stack[first + i]);
        if (through)
            read_through(context, copy);
        eval_push(copy);
    }
}

// Index: the list below the index becomes its element (empty when there is none).
static void op_index(uint32_t context)
{
    ScriptValue index;
    eval_pop(index);
    ScriptValue* list = eval_peek();
    if (!list) {
        val_free(index);
        return;
    }
    read_through(context, *list);
    ScriptValue element;
    val_init(element);
    int kind = val_type(*list);
    if (kind == kValPropList || kind == kValEventList) {
        list_prop_get(*list, index, element);
    } else if (val_is_object_type(kind)) {
        val_convert(index, kValInteger);
        list_get_at(*list, val_integer(index), element);
    }
    val_free(index);
    val_free(*list);
    *list = element;
}

static void op_assign_element(uint32_t context)
{
    ScriptValue value, index;
    eval_pop(value);
    eval_pop(index);
    ScriptValue* list = eval_peek();
    if (!list) {
        val_free(value);
        val_free(index);
        return;
    }
    read_through(context, *list);
    int kind = val_type(*list);
    if (kind == kValPropList || kind == kValEventList) {
        list_prop_set(*list, index, value);
    } else if (val_is_object_type(kind)) {
        val_convert(index, kValInteger);
        list_set_at(*list, val_integer(index), value);
    }
    val_free(index);
    val_free(*list);
    *list = value;
}

// One step of a loop over a list: [target, counter, target', counter', list] ends as
// [target, counter, 1] after assigning the element, or [0] when the list has no element there
// (for 34 the target is a list and an index).
static void op_for_in_step(uint32_t context, bool element_target)
{
    int needed = element_target ? 7 : 5;
    if (own_values() < needed) {
        s_eval.error = kEvalUnderflow;
        return;
    }
    ScriptValue* s = s_eval.stack + s_eval.top;
    std::swap(s[-1], s[-2]);
    ScriptValue* list = &s[-2];
    read_through(context, *list);
    ScriptValue index = s[-1];
    val_init(s[-1]);
    s_eval.top--;
    ScriptValue element;
    int kind = val_type(*list);
    int status = kValErrBadList;
    if (val_is_object_type(kind) && kind != kValPropList && kind != kValEventList) {
        val_convert(index, kValInteger);
        status = list_get_at(*list, val_integer(index), element);
    } else if (val_is_object_type(kind)) {
        val_convert(index, kValInteger);
        status = list_prop_value_at(*list, val_integer(index), element);
    }
    val_free(index);
    val_free(*list);
    ScriptValue flag;
    if (status != 0) {
        // Down to the counter (and the target's index for 34); the target's slot takes the 0.
        for (int n = element_target ? 5 : 3; n > 0; --n)
            pop_release();
        ScriptValue* target = eval_peek();
        if (target) {
            val_free(*target);
            val_set_integer(0, *target);
        }
        return;
    }
    *list = element;
    if (element_target)
        op_assign_element(context);
    else
        op_assign(context);
    pop_release();
    val_set_integer(1, flag);
    eval_push(flag);
}

static void push_new_list(int kind)
{
    ScriptValue v;
    val_init(v);
    if (!list_new(kind, 0, v)) {
        s_eval.error = kEvalNoMemory;
        val_init(v);
    }
    eval_push(v);
}

static void op_list_append(bool pair)
{
    ScriptValue value, key;
    eval_pop(value);
    val_init(key);
    if (pair)
        eval_pop(key);
    ScriptValue* list = eval_peek();
    if (list) {
        int status = pair ? list_prop_add(*list, key, value) : list_append(*list, value);
        if (status == kValErrNoMemory)
            s_eval.error = kEvalNoMemory;
    }
    val_free(value);
    val_free(key);
}

// Jump condition ops: 1 when the run jumps.
static bool op_condition(int opcode)
{
    ScriptValue* top = eval_peek();
    if (!top)
        return false;
    int truth = val_is_true(*top);
    if (opcode == kOpJumpIfFalse) {
        pop_release();
        return !truth;
    }
    bool jump = opcode == kOpAndJump ? !truth : truth;
    if (!jump)
        pop_release();
    return jump;
}

// Executes one instruction; the index of the next one.
static int execute(uint32_t context, const uint8_t* code, CodeInstruction in, int next)
{
    const uint8_t* pool = code + uint16_t(in.operand);
    switch (in.opcode) {
    case kOpPushReal:
        if (ScriptValue* slot = push_slot())
            val_set_real(pool_real(pool), *slot);
        break;
    case kOpPushString:
    case kOpPushString2:
        push_string_constant(pool, 0);
        break;
    case kOpPushMappedString:
        push_string_constant(pool, 1);
        break;
    case kOpPushShort:
        if (ScriptValue* slot = push_slot())
            val_set_integer(in.operand, *slot);
        break;
    case kOpPushLong:
        if (ScriptValue* slot = push_slot())
            val_set_integer(int32_t(load_u32le(pool)), *slot);
        break;
    case kOpPushSymbol: {
        ScriptValue v;
        val_set_symbol(symdict_intern(reinterpret_cast<const char*>(pool), 1), v);
        eval_push(v);
        break;
    }
    case kOpPushVar:
        // Read into its slot, which is taken first: a read that runs code nests above it.
        if (ScriptValue* slot = push_slot())
            read_variable(context, pool, *slot);
        break;
    case kOpPushVarRef:
        if (ScriptValue* slot = push_slot())
            val_set_reference(load_u16le(pool), load_u16le(pool + 2), load_u16le(pool + 4), *slot);
        break;
    case kOpPushIconVar:
    case kOpPushIconVarRef:
        eval_icon_variable(context, pool, in.opcode == kOpPushIconVarRef);
        break;
    case kOpAssignDirect:
        if (ScriptValue* top = eval_peek())
            assign_variable(context, pool, *top);
        break;
    case kOpAssign:
        op_assign(context);
        break;
    case kOpUnary:
        if (ScriptValue* top = eval_peek())
            eval_unary(in.operand, *top);
        break;
    case kOpArith:
        op_arith(in.operand);
        break;
    case kOpCompare:
        op_compare(in.operand);
        break;
    case kOpCall:
        op_call(context, pool);
        break;
    case kOpNip:
        op_nip();
        break;
    case kOpAndJump:
    case kOpOrJump:
    case kOpJumpIfFalse:
        if (op_condition(in.opcode))
            return in.operand;
        break;
    case kOpJump:
        return in.operand;
    case kOpPop:
        pop_release();
        break;
    case kOpNewLinearList:
        push_new_list(kValLinearList);
        break;
    case kOpNewPropList:
        push_new_list(kValPropList);
        break;
    case kOpListAppend:
        op_list_append(false);
        break;
    case kOpPropListAppend:
        op_list_append(true);
        break;
    case kOpIndex:
        op_index(context);
        break;
    case kOpAssignElement:
        op_assign_element(context);
        break;
    case kOpForInStep:
        op_for_in_step(context, false);
        break;
    case kOpForInStepElement:
        op_for_in_step(context, true);
        break;
    case kOpPick:
        op_pick(context, in.operand);
        break;
    default:
        s_eval.error = kEvalBadInstruction;
        break;
    }
    return next;
}

// The engine's suspended state and the presentation window as a run began (0 for a hook then
// unbound): a change of either stops it. The hooks are read as they are now.
struct World {
    int suspended;
    uint32_t window;

    World()
        : suspended(calc_hooks().engine_suspended ? calc_hooks().engine_suspended() : 0)
        , window(calc_hooks().presentation_window ? calc_hooks().presentation_window() : 0)
    {
    }
    bool changed() const
    {
        auto suspended_now = calc_hooks().engine_suspended;
        auto window_now = calc_hooks().presentation_window;
        return (suspended_now && suspended_now() != suspended) || (window_now && window_now() != window);
    }
};

// Under a step limit (tools, tests and fuzzing): every instruction through execute.
static void run_counted(uint32_t context, const uint8_t* code, const uint8_t* first, const World& world)
{
    int pc = 0;
    for (;;) {
        CodeInstruction in = code_read_instruction(first + 4 * pc);
        if (in.opcode == kOpEnd || s_eval.error != 0)
            break;
        if ((g_calc_watched && world.changed()) || (s_eval.steps_left > 0 && --s_eval.steps_left == 0)) {
            s_eval.error = kEvalStopped;
            break;
        }
        pc = execute(context, code, in, pc + 1);
    }
}

// Threaded dispatch where the compiler has labels as values; a switch elsewhere.
#if defined(__GNUC__) || defined(__clang__)
#define CALC_THREADED 1
#else
#define CALC_THREADED 0
#endif

// Without a step limit: the stack top lives in sp, and the common instructions on numbers run
// here; anything else, and every case these do not take, goes through execute, so each rule
// has one definition. s_eval.top is written back before anything that may read it.
static void run_fast(uint32_t context, const uint8_t* code, const uint8_t* first, const World& world)
{
    ScriptValue* const stack = s_eval.stack;
    ScriptValue* const base = stack + s_eval.run_base;
    ScriptValue* const limit = stack + kEvalStackSize;
    ScriptValue* sp = stack + s_eval.top;
    const uint8_t* ip = first; // the instruction after the one running
    CodeInstruction in;

#define SYNC() (s_eval.top = int(sp - stack))
#define POOL() (code + uint16_t(in.operand))
#define FETCH()                                                                                    \
    in = code_read_instruction(ip);                                                                \
    ip += 4;                                                                                       \
    if (g_calc_watched && in.opcode != kOpEnd && world.changed())                                  \
        goto stopped;

#if CALC_THREADED
    static const void* const kLabels[] = {
        &&end,                                                    // 0 End
        &&push_real, &&other, &&push_short, &&other, &&other,     // 1-5
        &&other, &&push_long, &&push_var, &&push_var_ref, &&other, // 6-10
        &&other, &&arith, &&compare, &&other, &&nip,              // 11-15
        &&other, &&other, &&jump_if_false, &&jump, &&pop,         // 16-20
        &&other, &&other, &&other, &&other, &&other,              // 21-25
        &&other, &&other, &&other, &&other, &&other,              // 26-30
        &&other, &&assign, &&other, &&other, &&other,             // 31-35
        &&other,                                                  // anything else
    };
    static_assert(sizeof kLabels / sizeof kLabels[0] == kOpPick + 2);
#define DISPATCH()                                                                                 \
    do {                                                                                           \
        FETCH();                                                                                   \
        goto* kLabels[uint16_t(in.opcode) <= kOpPick ? in.opcode : kOpPick + 1];                   \
    } while (0)
#else
#define DISPATCH() goto dispatch
#endif

    if (s_eval.error != 0)
        goto out;
    DISPATCH();
#if !CALC_THREADED
dispatch:
    FETCH();
    switch (in.opcode) {
    case kOpEnd: goto end;
    case kOpPushReal: goto push_real;
    case kOpPushShort: goto push_short;
    case kOpPushLong: goto push_long;
    case kOpPushVar: goto push_var;
    case kOpPushVarRef: goto push_var_ref;
    case kOpArith: goto arith;
    case kOpCompare: goto compare;
    case kOpNip: goto nip;
    case kOpJumpIfFalse: goto jump_if_false;
    case kOpJump: goto jump;
    case kOpPop: goto pop;
    case kOpAssign: goto assign;
    default: goto other;
    }
#endif

push_short:
    if (sp == limit)
        goto other;
    val_set_integer(in.operand, *sp++);
    DISPATCH();
push_long:
    if (sp == limit)
        goto other;
    val_set_integer(int32_t(load_u32le(POOL())), *sp++);
    DISPATCH();
push_real:
    if (sp == limit)
        goto other;
    val_set_real(pool_real(POOL()), *sp++);
    DISPATCH();
push_var_ref:
    if (sp == limit)
        goto other;
    val_set_reference(load_u16le(POOL()), load_u16le(POOL() + 2), load_u16le(POOL() + 4), *sp++);
    DISPATCH();
push_var:
    if (sp == limit)
        goto other;
    ++sp;
    SYNC();
    read_variable(context, POOL(), sp[-1]);
    if (s_eval.error != 0)
        goto out;
    DISPATCH();
assign:
    if (sp - base < 2)
        goto other;
    --sp;
    SYNC();
    assign_pair(context, sp);
    if (s_eval.error != 0)
        goto out;
    // A statement's Pop after it likewise.
    if (!g_calc_watched && code_read_instruction(ip).opcode == kOpPop) {
        ip += 4;
        --sp;
        SYNC();
        val_free(*sp);
    }
    DISPATCH();
arith:
    if (sp - base < 2 || !arith_numbers_at(in.operand, sp - 1))
        goto other;
    --sp;
    DISPATCH();
compare:
    if (sp - base < 2 || !compare_numbers_at(in.operand, sp - 1))
        goto other;
    DISPATCH();
nip:
    if (sp - base < 2)
        goto other;
    --sp;
    SYNC();
    nip_into(sp);
    DISPATCH();
pop:
    if (sp == base)
        goto other;
    --sp;
    SYNC();
    val_free(*sp);
    DISPATCH();
jump_if_false:
    if (sp == base || val_type(sp[-1]) != kValInteger)
        goto other;
    --sp;
    if (val_integer(*sp) == 0)
        ip = first + 4 * in.operand;
    val_init(*sp);
    DISPATCH();
jump:
    ip = first + 4 * in.operand;
    DISPATCH();
other:
    SYNC();
    ip = first + 4 * execute(context, code, in, int((ip - first) / 4));
    sp = stack + s_eval.top;
    if (s_eval.error != 0)
        goto out;
    DISPATCH();
stopped:
    s_eval.error = kEvalStopped;
end:
out:
    SYNC();
#undef DISPATCH
#undef FETCH
#undef POOL
#undef SYNC
}

void eval_run(uint32_t context, const uint8_t* code)
{
    int saved_base = s_eval.run_base;
    const uint8_t* saved_code = s_eval.code_base;
    World world;
    s_eval.run_base = s_eval.top;
    s_eval.code_base = code;
    const uint8_t* first = code_instructions(code);
    if (s_eval.steps_left > 0)
        run_counted(context, code, first, world);
    else
        run_fast(context, code, first, world);
    if (s_eval.error != 0)
        while (s_eval.top > s_eval.run_base)
            pop_release();
    if (own_values() != 1) {
        while (s_eval.top > s_eval.run_base)
            pop_release();
        ScriptValue empty;
        val_init(empty);
        int error = s_eval.error;
        eval_push(empty);
        s_eval.error = error;
    }
    s_eval.run_base = saved_base;
    s_eval.code_base = saved_code;
}

int eval_code(uint32_t context, const uint8_t* code, size_t size, ScriptValue& out, int allow_assignment)
{
    val_init(out);
    if (code_validate(code, size) != 0)
        return kEvalBadInstruction;
    if (s_eval.top >= kEvalStackSize)
        return kEvalStackFull; // no room even for the result
    uint32_t saved_icon = s_eval.current_icon;
    int saved_error = s_eval.error;
    s_eval.current_icon = context;
    s_eval.error = 0;
    if (!allow_assignment)
        s_eval.no_assign_depth++;
    int base = s_eval.top;
    eval_run(context, code);
    int saved_run_base = s_eval.run_base;
    s_eval.run_base = base;
    eval_pop(out);
    s_eval.run_base = saved_run_base;
    if (val_type(out) == kValString && val_storage(out) == kStoreAddress && val_copy(out, out) != 0)
        s_eval.error = kEvalNoMemory;
    int result = s_eval.error;
    if (result != 0 && result != kEvalStopped)
        val_free(out);
    if (result == kEvalStopped)
        result = 0;
    if (!allow_assignment)
        s_eval.no_assign_depth--;
    s_eval.error = saved_error;
    s_eval.current_icon = saved_icon;
    return result;
}
