#include "tests/calc/assembler.h"
#include "tests/calc/calc_fixture.h"
#include "tests/calc/interp_fixture.h"

#include "runtime/calc/interp_ops.h"

#include <functional>

using namespace calctest;

namespace {

using Build = std::function<void(Assembler&)>;

constexpr uint16_t kX = 1, kY = 2, kList = 3, kSum = 4, kE = 5;

struct RunCase {
    const char* name;
    Build build;
    int error;            // eval_code's answer
    const char* expected; // the result's short form
    int allow_assignment = 1;
};

void push_int(Assembler& a, int v) { a.op(kOpPushShort, int16_t(v)); }
void arith(Assembler& a, int l, int oper, int r)
{
    push_int(a, l);
    push_int(a, r);
    a.op(kOpArith, int16_t(oper));
}
// [v1, v2, ...]
void push_list(Assembler& a, std::initializer_list<int> values)
{
    a.op(kOpNewLinearList);
    for (int v : values) {
        push_int(a, v);
        a.op(kOpListAppend);
    }
}
// x > 1 & < 5 with x pushed first: the left operand stays for the second comparison.
void chained(Assembler& a, int x)
{
    push_int(a, x);
    push_int(a, 1);
    a.op(kOpCompare, kOperGreater);
    int jump = a.op(kOpAndJump);
    push_int(a, 5);
    a.op(kOpCompare, kOperLess);
    a.patch(jump, int16_t(a.next()));
    a.op(kOpNip);
}
std::string long_text(char c) { return std::string(20000, c); }

const RunCase kRunCases[] = {
    { "7 / 2 is a real", [](Assembler& a) { arith(a, 7, kOperDivide, 2); }, 0, "r:3.5" },
    { "7 * 2 stays integer", [](Assembler& a) { arith(a, 7, kOperTimes, 2); }, 0, "i:14" },
    { "text 7 plus 1",
        [](Assembler& a) {
            a.op(kOpPushString, a.text("7"));
            push_int(a, 1);
            a.op(kOpArith, kOperPlus);
        },
        0, "i:8" },
    { "text 7.5 plus 1",
        [](Assembler& a) {
            a.op(kOpPushString, a.text("7.5"));
            push_int(a, 1);
            a.op(kOpArith, kOperPlus);
        },
        0, "r:8.5" },
    { "1 / 0", [](Assembler& a) { arith(a, 1, kOperDivide, 0); }, 0, "r:inf" },
    { "-1 / 0", [](Assembler& a) { arith(a, -1, kOperDivide, 0); }, 0, "r:inf" },
    { "0 / 0", [](Assembler& a) { arith(a, 0, kOperDivide, 0); }, 0, "r:inf" },
    { "wraps at 32 bits",
        [](Assembler& a) {
            a.op(kOpPushLong, a.integer(2147483647));
            push_int(a, 1);
            a.op(kOpArith, kOperPlus);
        },
        0, "i:-2147483648" },
    { "negating the lowest integer wraps",
        [](Assembler& a) {
            a.op(kOpPushLong, a.integer(INT32_MIN));
            a.op(kOpUnary, kOperMinus);
        },
        0, "i:-2147483648" },
    { "-2 ** 2",
        [](Assembler& a) {
            push_int(a, 2);
            a.op(kOpUnary, kOperMinus);
            push_int(a, 2);
            a.op(kOpArith, kOperPower);
        },
        0, "r:4" },
    { "abc = ABC",
        [](Assembler& a) {
            a.op(kOpPushString, a.text("abc"));
            a.op(kOpPushString, a.text("ABC"));
            a.op(kOpCompare, kOperEqual);
            a.op(kOpNip);
        },
        0, "i:0" },
    { "abc < abd",
        [](Assembler& a) {
            a.op(kOpPushString, a.text("abc"));
            a.op(kOpPushString, a.text("abd"));
            a.op(kOpCompare, kOperLess);
            a.op(kOpNip);
        },
        0, "i:1" },
    { "10 = text 10",
        [](Assembler& a) {
            push_int(a, 10);
            a.op(kOpPushString, a.text("10"));
            a.op(kOpCompare, kOperEqual);
            a.op(kOpNip);
        },
        0, "i:1" },
    { "9 < 10",
        [](Assembler& a) {
            push_int(a, 9);
            push_int(a, 10);
            a.op(kOpCompare, kOperLess);
            a.op(kOpNip);
        },
        0, "i:1" },
    { "text 9 < text 10",
        [](Assembler& a) {
            a.op(kOpPushString, a.text("9"));
            a.op(kOpPushString, a.text("10"));
            a.op(kOpCompare, kOperLess);
            a.op(kOpNip);
        },
        0, "i:0" },
    { "x > 1 & < 5 with 3", [](Assembler& a) { chained(a, 3); }, 0, "i:1" },
    { "x > 1 & < 5 with 7", [](Assembler& a) { chained(a, 7); }, 0, "i:0" },
    { "a list plus 1",
        [](Assembler& a) {
            push_list(a, { 1, 2, 3 });
            push_int(a, 1);
            a.op(kOpArith, kOperPlus);
        },
        0, "l:[2, 3, 4]" },
    { "1 minus a list",
        [](Assembler& a) {
            push_int(a, 1);
            push_list(a, { 1, 2 });
            a.op(kOpArith, kOperMinus);
        },
        0, "l:[0, -1]" },
    { "lists of two lengths",
        [](Assembler& a) {
            push_list(a, { 1, 2, 3 });
            push_list(a, { 10, 20 });
            a.op(kOpArith, kOperPlus);
        },
        0, "l:[11, 22, 3]" },
    { "a property list times 2",
        [](Assembler& a) {
            a.op(kOpNewPropList);
            a.op(kOpPushSymbol, a.text("a"));
            push_int(a, 1);
            a.op(kOpPropListAppend);
            push_int(a, 2);
            a.op(kOpArith, kOperTimes);
        },
        0, "l:[#a:2]" },
    { "a nested list negated",
        [](Assembler& a) {
            a.op(kOpNewLinearList);
            push_list(a, { 1, 2 });
            a.op(kOpListAppend);
            a.op(kOpUnary, kOperMinus);
        },
        0, "l:[[-1, -2]]" },
    { "index of a list",
        [](Assembler& a) {
            push_list(a, { 5, 6, 7 });
            push_int(a, 2);
            a.op(kOpIndex);
        },
        0, "i:6" },
    { "index past the end is empty",
        [](Assembler& a) {
            push_list(a, { 5 });
            push_int(a, 9);
            a.op(kOpIndex);
        },
        0, "s:" },
    { "not of a text",
        [](Assembler& a) {
            a.op(kOpPushString, a.text("off"));
            a.op(kOpUnary, kOperNot);
        },
        0, "i:1" },
    { "OrJump keeps a true value",
        [](Assembler& a) {
            push_int(a, 3);
            int j = a.op(kOpOrJump);
            push_int(a, 9);
            a.patch(j, int16_t(a.next()));
        },
        0, "i:1" },
    { "a symbol",
        [](Assembler& a) { a.op(kOpPushSymbol, a.text("Name1 rest")); }, 0, "y:#Name1" },
    { "a real constant", [](Assembler& a) { a.op(kOpPushReal, a.real(-0.25)); }, 0, "r:-0.25" },
    { "nothing left gives the empty value", [](Assembler& a) { push_int(a, 1); a.op(kOpPop); }, 0, "s:" },
    { "two values left give the empty value", [](Assembler& a) { push_int(a, 1); push_int(a, 2); }, 0, "s:" },
    { "Pick copies in order",
        [](Assembler& a) {
            push_int(a, 4);
            push_int(a, 3);
            a.op(kOpPick, 2);
            a.op(kOpArith, kOperMinus); // 4 3 4 3 -> 4 3 1
            a.op(kOpArith, kOperPlus);  // 4 4
            a.op(kOpArith, kOperTimes); // 16
        },
        0, "i:16" },
    // Errors stop the run and give the empty value.
    { "pop below the run's values", [](Assembler& a) { a.op(kOpPop); }, kEvalUnderflow, "s:" },
    { "nip of one value", [](Assembler& a) { push_int(a, 1); a.op(kOpNip); }, kEvalUnderflow, "s:" },
    { "pick more than there is", [](Assembler& a) { push_int(a, 1); a.op(kOpPick, 2); }, kEvalUnderflow, "s:" },
    { "call with more arguments than values",
        [](Assembler& a) { a.op(kOpCall, a.call(3, 31000)); }, kEvalUnderflow, "s:" },
    { "call without functions bound",
        [](Assembler& a) { a.op(kOpCall, a.call(0, 31000)); }, kEvalNoFunction, "s:" },
    { "41 values on the stack",
        [](Assembler& a) {
            for (int i = 0; i < 41; ++i)
                push_int(a, i);
        },
        kEvalStackFull, "s:" },
    { "pick past the stack",
        [](Assembler& a) {
            for (int i = 0; i < 30; ++i)
                push_int(a, i);
            a.op(kOpPick, 11);
        },
        kEvalStackFull, "s:" },
    { "bad arithmetic operator", [](Assembler& a) { arith(a, 1, 99, 2); }, kEvalBadOperator, "s:" },
    { "bad comparison operator",
        [](Assembler& a) {
            push_int(a, 1);
            push_int(a, 2);
            a.op(kOpCompare, 13);
        },
        kEvalBadOperator, "s:" },
    { "bad unary operator", [](Assembler& a) { push_int(a, 1); a.op(kOpUnary, 3); }, kEvalBadOperator, "s:" },
    { "assignment refused",
        [](Assembler& a) {
            a.op(kOpPushVarRef, a.variable(kX));
            push_int(a, 5);
            a.op(kOpAssign);
        },
        kEvalAssignRefused, "s:", 0 },
    { "element assignment is not refused",
        [](Assembler& a) {
            a.op(kOpPushVar, a.variable(kList));
            push_int(a, 2);
            push_int(a, 42);
            a.op(kOpAssignElement);
            a.op(kOpPop);
            a.op(kOpPushVar, a.variable(kList));
        },
        0, "l:[1, 42]", 0 },
    { "assignment and reading back",
        [](Assembler& a) {
            a.op(kOpPushVarRef, a.variable(kX));
            push_int(a, 5);
            a.op(kOpAssign);
            a.op(kOpPop);
            a.op(kOpPushVar, a.variable(kX));
            push_int(a, 1);
            a.op(kOpArith, kOperPlus);
        },
        0, "i:6" },
    { "setting element 5 of three",
        [](Assembler& a) {
            a.op(kOpPushVar, a.variable(kList));
            push_int(a, 5);
            push_int(a, 9);
            a.op(kOpAssignElement);
            a.op(kOpPop);
            a.op(kOpPushVar, a.variable(kList));
        },
        0, "l:[1, 2, 0, 0, 9]" },
    { "Pick reading references through",
        [](Assembler& a) {
            a.op(kOpPushVarRef, a.variable(kY));
            a.op(kOpPick, int16_t(-1));
            a.op(kOpNip);
        },
        0, "s:why" },
    // Instructions that run together without checks: each edge as the two would meet it.
    { "a constant joined to a number", [](Assembler& a) { arith(a, 1, kOperJoin, 2); }, 0, "s:12" },
    { "a constant added to nothing",
        [](Assembler& a) {
            push_int(a, 2);
            a.op(kOpArith, kOperPlus);
        },
        kEvalUnderflow, "s:" },
    { "a constant added on a full stack",
        [](Assembler& a) {
            for (int i = 0; i < 40; ++i)
                push_int(a, i);
            push_int(a, 1);
            a.op(kOpArith, kOperPlus);
        },
        kEvalStackFull, "s:" },
    { "a constant added in the last slot",
        [](Assembler& a) {
            for (int i = 0; i < 39; ++i)
                push_int(a, i);
            push_int(a, 1);
            a.op(kOpArith, kOperPlus);
            for (int i = 0; i < 38; ++i)
                a.op(kOpNip);
        },
        0, "i:39" },
    { "a bad operator after a constant", [](Assembler& a) { arith(a, 1, 99, 2); a.op(kOpPop); }, kEvalBadOperator, "s:" },
    { "a real times a constant",
        [](Assembler& a) {
            a.op(kOpPushReal, a.real(1.5));
            push_int(a, 3);
            a.op(kOpArith, kOperTimes);
            push_int(a, 2);
            a.op(kOpArith, kOperPower);
        },
        0, "r:20.25" },
    { "texts compared, then the condition",
        [](Assembler& a) {
            a.op(kOpPushString, a.text("b"));
            a.op(kOpPushString, a.text("a"));
            a.op(kOpCompare, kOperGreater);
            a.op(kOpNip);
            int skip = a.op(kOpJumpIfFalse);
            push_int(a, 7);
            int over = a.op(kOpJump);
            a.patch(skip, int16_t(a.next()));
            push_int(a, 8);
            a.patch(over, int16_t(a.next()));
        },
        0, "i:7" },
    { "a false condition jumps",
        [](Assembler& a) {
            push_int(a, 1);
            push_int(a, 2);
            a.op(kOpCompare, kOperGreater);
            a.op(kOpNip);
            int skip = a.op(kOpJumpIfFalse);
            push_int(a, 7);
            a.patch(skip, int16_t(a.next()));
            push_int(a, 8);
        },
        0, "i:8" },
    { "a bad comparison before the condition",
        [](Assembler& a) {
            push_int(a, 1);
            push_int(a, 2);
            a.op(kOpCompare, 13);
            a.op(kOpNip);
            a.op(kOpJumpIfFalse, 0);
        },
        kEvalBadOperator, "s:" },
    { "an assignment to a value that is no reference",
        [](Assembler& a) {
            push_int(a, 1);
            push_int(a, 2);
            a.op(kOpAssign);
            a.op(kOpPop);
            a.op(kOpPushVar, a.variable(kX));
        },
        0, "s:" },
    { "an assignment of one value",
        [](Assembler& a) {
            push_int(a, 5);
            a.op(kOpAssign);
            a.op(kOpPop);
        },
        kEvalUnderflow, "s:" },
    { "a text assigned, dropped and read back",
        [](Assembler& a) {
            a.op(kOpPushVarRef, a.variable(kX));
            a.op(kOpPushString, a.text("a text of its own"));
            push_int(a, 1);
            a.op(kOpArith, kOperJoin);
            a.op(kOpAssign);
            a.op(kOpPop);
            a.op(kOpPushVar, a.variable(kX));
        },
        0, "s:a text of its own1" },
    { "digits too long for an inline text joined",
        [](Assembler& a) {
            a.op(kOpPushString, a.text("n"));
            a.op(kOpPushLong, a.integer(INT32_MIN));
            a.op(kOpArith, kOperJoin);
        },
        0, "s:n-2147483648" },
    { "a number joined to a real",
        [](Assembler& a) {
            a.op(kOpPushReal, a.real(0.5));
            push_int(a, 7);
            a.op(kOpArith, kOperJoin);
        },
        0, "s:0.57" },
    { "a join past 30000 bytes",
        [](Assembler& a) {
            int16_t text = a.text(long_text('a'));
            a.op(kOpPushString, text);
            a.op(kOpPushString, text);
            a.op(kOpArith, kOperJoin);
        },
        0, "len:30000" },
};

} // namespace

class InterpTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        variables().clear();
        CalcHooks hooks = table_hooks();
        calc_set_hooks(&hooks);
        ScriptValue list;
        val_init(list);
        ASSERT_EQ(list_new(kValLinearList, 0, list), 1);
        ScriptValue one, two;
        val_set_integer(1, one);
        val_set_integer(2, two);
        list_append(list, one);
        list_append(list, two);
        variables().values[kList] = list;
        val_set_string(variables().values[kY], "why");
    }
    void TearDown() override
    {
        variables().clear();
        CalcTest::TearDown();
    }
};

static std::string result_form(const ScriptValue& v)
{
    std::string form = describe(v);
    if (form.size() > 1000)
        return "len:" + std::to_string(form.size() - 2);
    return form;
}

// Each row runs twice: without a check between instructions, where instructions that usually
// follow one another run together, and under a step limit that checks before every one.
TEST_F(InterpTest, RunRows)
{
    for (int64_t step_limit : { int64_t(0), int64_t(1000000) }) {
        SCOPED_TRACE(step_limit ? "every instruction checked" : "no checks");
        for (const RunCase& row : kRunCases) {
            SCOPED_TRACE(row.name);
            SetUp();
            Assembler a;
            row.build(a);
            std::vector<uint8_t> block = a.build();
            ScriptValue out;
            eval_set_step_limit(step_limit);
            EXPECT_EQ(eval_code(0, block.data(), block.size(), out, row.allow_assignment), row.error);
            EXPECT_EQ(step_limit ? eval_steps_left() > 0 : eval_steps_left() == 0, true);
            eval_set_step_limit(0);
            EXPECT_EQ(result_form(out), row.expected);
            EXPECT_EQ(eval_stack_top(), 0);
            EXPECT_EQ(eval_error(), 0);
            val_free(out);
            TearDown();
        }
    }
}

TEST_F(InterpTest, DamagedBlockRunsNothing)
{
    std::vector<uint8_t> block = hex_bytes("1000 0200 0000 0000  1300 0500 0000 0000"); // jump out
    ScriptValue out;
    val_set_integer(3, out);
    EXPECT_EQ(eval_code(0, block.data(), block.size(), out, 1), kEvalBadInstruction);
    EXPECT_TRUE(val_is_empty_string(out));
}

TEST_F(InterpTest, ResultOfAConstantOutlivesTheBlock)
{
    Assembler a;
    a.op(kOpPushString, a.text("a text of the pool"));
    std::vector<uint8_t> block = a.build();
    ScriptValue out;
    ASSERT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
    std::fill(block.begin(), block.end(), 0);
    EXPECT_EQ(describe(out), "s:a text of the pool");
    val_free(out);
}

TEST_F(InterpTest, RepeatWithInSumsAList)
{
    // sum := 0; repeat with e in list: sum := sum + e
    Assembler a;
    int16_t sum = a.variable(kSum), e = a.variable(kE), list = a.variable(kList);
    a.op(kOpPushVarRef, sum);
    push_int(a, 0);
    a.op(kOpAssign);
    a.op(kOpPop);
    a.op(kOpPushVarRef, e); // the loop target
    push_int(a, 1);         // the counter
    int top = a.op(kOpPick, 2);
    a.op(kOpPushVar, list);
    a.op(kOpForInStep);
    int exit = a.op(kOpJumpIfFalse);
    a.op(kOpPushVarRef, sum);
    a.op(kOpPushVar, sum);
    a.op(kOpPushVar, e);
    a.op(kOpArith, kOperPlus);
    a.op(kOpAssign);
    a.op(kOpPop);
    push_int(a, 1); // counter + 1
    a.op(kOpArith, kOperPlus);
    a.op(kOpJump, int16_t(top));
    a.patch(exit, int16_t(a.next()));
    a.op(kOpPushVar, sum);
    std::vector<uint8_t> block = a.build();
    ScriptValue out;
    ASSERT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
    EXPECT_EQ(describe(out), "i:3");
    EXPECT_EQ(eval_stack_top(), 0);
}

namespace {

int s_window = 7;
uint32_t window_now() { return uint32_t(s_window); }
// A call that replaces the presentation window, as a jump to another icon does.
int call_that_jumps(uint32_t, int, int, ScriptValue*, ScriptValue& result)
{
    s_window++;
    val_set_integer(1, result);
    return 0;
}

// Sums its arguments, and runs a nested block when given none.
std::vector<uint8_t> s_nested;
int call_sum(uint32_t context, int, int argc, ScriptValue* args, ScriptValue& result)
{
    if (argc == 0) {
        eval_code(context, s_nested.data(), s_nested.size(), result, 1);
        return 0;
    }
    int32_t total = 0;
    for (int i = 0; i < argc; ++i) {
        ScriptValue v;
        val_copy(v, args[i]);
        val_convert(v, kValInteger);
        total += val_integer(v);
    }
    val_set_integer(total, result);
    return 0;
}

} // namespace

TEST_F(InterpTest, AWindowChangeStopsTheRunWithoutError)
{
    CalcHooks hooks = table_hooks();
    hooks.presentation_window = window_now;
    hooks.call = call_that_jumps;
    calc_set_hooks(&hooks);
    Assembler a;
    a.op(kOpCall, a.call(0, 31000));
    a.op(kOpPushVarRef, a.variable(kX));
    push_int(a, 5);
    a.op(kOpAssign);
    std::vector<uint8_t> block = a.build();
    ScriptValue out;
    EXPECT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
    EXPECT_TRUE(val_is_empty_string(out));
    EXPECT_EQ(variables().sets, 0); // stopped before the assignment
    EXPECT_EQ(eval_stack_top(), 0);
}

TEST_F(InterpTest, CallsSeeTheirArgumentsAndNestRuns)
{
    CalcHooks hooks = table_hooks();
    hooks.call = call_sum;
    calc_set_hooks(&hooks);
    Assembler inner;
    push_int(inner, 100);
    inner.op(kOpPop);
    inner.op(kOpPop); // below its own values: stops the nested run only
    s_nested = inner.build();

    Assembler a;
    push_int(a, 1);
    push_int(a, 2);
    push_int(a, 3);
    a.op(kOpCall, a.call(3, 31001));
    a.op(kOpCall, a.call(0, 31002));
    a.op(kOpPop);
    std::vector<uint8_t> block = a.build();
    ScriptValue out;
    EXPECT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
    EXPECT_EQ(describe(out), "i:6");
    EXPECT_EQ(eval_stack_top(), 0);
}

TEST_F(InterpTest, AStepLimitStopsAnEndlessLoop)
{
    Assembler a;
    a.op(kOpJump, 0);
    std::vector<uint8_t> block = a.build();
    eval_set_step_limit(1000);
    ScriptValue out;
    EXPECT_EQ(eval_code(0, block.data(), block.size(), out, 1), 0);
    EXPECT_TRUE(val_is_empty_string(out));
    eval_set_step_limit(0);
}
