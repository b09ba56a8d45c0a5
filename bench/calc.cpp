// The interpreter against Lua 5.4 on three programs: a numeric loop of integer and real
// arithmetic, building texts by join, and list work (filling by element assignment, summing
// with "repeat with e in", element-wise arithmetic). The blocks are assembled by hand as the
// compiler would lay them out, with variables in the tests' table; the Lua programs keep
// their variables global, as calculation variables are, and loop with while as "repeat with"
// does. Each program's result is compared before anything is timed.
#include "bench/bench_ratio.h"
#include "tests/calc/assembler.h"
#include "tests/calc/interp_fixture.h"

#include "runtime/base/symdict.h"
#include "runtime/calc/interp_ops.h"
#include "runtime/calc/list_table.h"
#include "runtime/text/intl.h"

#include <lua.hpp>

#include <cstdio>
#include <string>
#include <vector>

using namespace calctest;

namespace {

constexpr int kRepetitions = 5;

enum : uint16_t { kI = 1, kS, kR, kN, kJ, kT, kK, kL, kSum, kE, kM };

// while VAR < LIMIT: the loop's first instruction and the jump out, to patch at its end.
struct Loop {
    int top, exit;
};

Loop loop_while_below(Assembler& a, uint16_t var, int32_t limit)
{
    Loop loop;
    loop.top = a.op(kOpPushVar, a.variable(var));
    a.op(kOpPushLong, a.integer(limit));
    a.op(kOpCompare, kOperLess);
    a.op(kOpNip);
    loop.exit = a.op(kOpJumpIfFalse);
    return loop;
}

void end_loop(Assembler& a, const Loop& loop)
{
    a.op(kOpJump, int16_t(loop.top));
    a.patch(loop.exit, int16_t(a.next()));
}

// The value on the stack goes to VAR (an assignment statement).
void assign(Assembler& a, uint16_t var)
{
    a.op(kOpAssignDirect, a.variable(var));
    a.op(kOpPop);
}

void set_integer(Assembler& a, uint16_t var, int16_t x)
{
    a.op(kOpPushShort, x);
    assign(a, var);
}

void increment(Assembler& a, uint16_t var)
{
    a.op(kOpPushVar, a.variable(var));
    a.op(kOpPushShort, 1);
    a.op(kOpArith, kOperPlus);
    assign(a, var);
}

void push_var(Assembler& a, uint16_t var) { a.op(kOpPushVar, a.variable(var)); }

// I := 0; S := 0; R := 0
// repeat while I < 1000000: I := I + 1; S := S + I * 3 - I * 2 - I + 1; R := R + I / 7
std::vector<uint8_t> numeric_block()
{
    Assembler a;
    set_integer(a, kI, 0);
    set_integer(a, kS, 0);
    set_integer(a, kR, 0);
    Loop loop = loop_while_below(a, kI, 1000000);
    increment(a, kI);
    push_var(a, kS);
    push_var(a, kI);
    a.op(kOpPushShort, 3);
    a.op(kOpArith, kOperTimes);
    a.op(kOpArith, kOperPlus);
    push_var(a, kI);
    a.op(kOpPushShort, 2);
    a.op(kOpArith, kOperTimes);
    a.op(kOpArith, kOperMinus);
    push_var(a, kI);
    a.op(kOpArith, kOperMinus);
    a.op(kOpPushShort, 1);
    a.op(kOpArith, kOperPlus);
    assign(a, kS);
    push_var(a, kR);
    push_var(a, kI);
    a.op(kOpPushShort, 7);
    a.op(kOpArith, kOperDivide);
    a.op(kOpArith, kOperPlus);
    assign(a, kR);
    end_loop(a, loop);
    // The result: S ^ " " ^ R, to compare with Lua's.
    push_var(a, kS);
    a.op(kOpPushString, a.text(" "));
    a.op(kOpArith, kOperJoin);
    push_var(a, kR);
    a.op(kOpArith, kOperJoin);
    return a.build();
}

const char* const kNumericLua = R"(
I = 0; S = 0; R = 0
while I < 1000000 do
    I = I + 1
    S = S + I * 3 - I * 2 - I + 1
    R = R + I / 7
end
return S, R
)";

// N := 0
// repeat while N < 1000: N := N + 1; T := ""; J := 0
//     repeat while J < 100: J := J + 1; T := T ^ "x" ^ J
std::vector<uint8_t> join_block()
{
    Assembler a;
    set_integer(a, kN, 0);
    Loop outer = loop_while_below(a, kN, 1000);
    increment(a, kN);
    a.op(kOpPushString, a.text(""));
    assign(a, kT);
    set_integer(a, kJ, 0);
    Loop inner = loop_while_below(a, kJ, 100);
    increment(a, kJ);
    push_var(a, kT);
    a.op(kOpPushString, a.text("x"));
    a.op(kOpArith, kOperJoin);
    push_var(a, kJ);
    a.op(kOpArith, kOperJoin);
    assign(a, kT);
    end_loop(a, inner);
    end_loop(a, outer);
    push_var(a, kT);
    return a.build();
}

const char* const kJoinLua = R"(
N = 0
while N < 1000 do
    N = N + 1
    T = ""
    J = 0
    while J < 100 do
        J = J + 1
        T = T .. "x" .. J
    end
end
return T
)";

// N := 0
// repeat while N < 100
//     N := N + 1; L := []; K := 0
//     repeat while K < 1000: K := K + 1; L[K] := K
//     SUM := 0
//     repeat with E in L: SUM := SUM + E
//     M := L * 2 + 1
std::vector<uint8_t> list_block()
{
    Assembler a;
    set_integer(a, kN, 0);
    Loop outer = loop_while_below(a, kN, 100);
    increment(a, kN);
    a.op(kOpNewLinearList);
    assign(a, kL);
    set_integer(a, kK, 0);
    Loop fill = loop_while_below(a, kK, 1000);
    increment(a, kK);
    push_var(a, kL);
    push_var(a, kK);
    push_var(a, kK);
    a.op(kOpAssignElement);
    a.op(kOpPop);
    end_loop(a, fill);
    set_integer(a, kSum, 0);
    a.op(kOpPushVarRef, a.variable(kE)); // the loop target
    a.op(kOpPushShort, 1);               // the counter
    int top = a.op(kOpPick, 2);
    push_var(a, kL);
    a.op(kOpForInStep);
    int exit = a.op(kOpJumpIfFalse);
    push_var(a, kSum);
    push_var(a, kE);
    a.op(kOpArith, kOperPlus);
    assign(a, kSum);
    a.op(kOpPushShort, 1);
    a.op(kOpArith, kOperPlus);
    a.op(kOpJump, int16_t(top));
    a.patch(exit, int16_t(a.next()));
    push_var(a, kL);
    a.op(kOpPushShort, 2);
    a.op(kOpArith, kOperTimes);
    a.op(kOpPushShort, 1);
    a.op(kOpArith, kOperPlus);
    assign(a, kM);
    end_loop(a, outer);
    // The result: SUM ^ " " ^ M[1000]
    push_var(a, kSum);
    a.op(kOpPushString, a.text(" "));
    a.op(kOpArith, kOperJoin);
    push_var(a, kM);
    a.op(kOpPushShort, 1000);
    a.op(kOpIndex);
    a.op(kOpArith, kOperJoin);
    return a.build();
}

// Each element-wise operator makes a list of its own, as the interpreter's do.
const char* const kListLua = R"(
N = 0
while N < 100 do
    N = N + 1
    L = {}
    K = 0
    while K < 1000 do
        K = K + 1
        L[K] = K
    end
    SUM = 0
    IDX = 1
    while true do
        E = L[IDX]
        if E == nil then break end
        SUM = SUM + E
        IDX = IDX + 1
    end
    DOUBLED = {}
    IDX = 1
    while IDX <= #L do
        DOUBLED[IDX] = L[IDX] * 2
        IDX = IDX + 1
    end
    M = {}
    IDX = 1
    while IDX <= #DOUBLED do
        M[IDX] = DOUBLED[IDX] + 1
        IDX = IDX + 1
    end
end
return SUM, M[1000]
)";

struct Program {
    const char* name;
    std::vector<uint8_t> (*block)();
    const char* lua;
};

const Program kPrograms[] = {
    { "numeric", numeric_block, kNumericLua },
    { "join", join_block, kJoinLua },
    { "lists", list_block, kListLua },
};

// The interpreter's side: symbols, lists and the variable table up for the whole run.
struct Calc {
    Calc()
    {
        intl_init();
        symdict_create();
        list_tables_init();
        CalcHooks hooks = table_hooks();
        calc_set_hooks(&hooks);
    }
    ~Calc()
    {
        variables().clear();
        eval_reset();
        calc_set_hooks(nullptr);
        list_tables_free();
        symdict_release();
    }
};

// The run's result as text; "error N" when it failed.
std::string run_calc(const std::vector<uint8_t>& block)
{
    ScriptValue out;
    int error = eval_code(0, block.data(), block.size(), out, 1);
    if (error != 0)
        return "error " + std::to_string(error);
    val_convert(out, kValString);
    std::string text = var_lock_value_data(out);
    var_unlock_value_data(out);
    val_free(out);
    return text;
}

lua_State* new_lua(const char* source)
{
    lua_State* lua = luaL_newstate();
    luaL_openlibs(lua);
    if (luaL_loadstring(lua, source) != LUA_OK) {
        std::fprintf(stderr, "lua: %s\n", lua_tostring(lua, -1));
        lua_close(lua);
        return nullptr;
    }
    return lua;
}

// Runs the loaded chunk (left at index 1) once: its results joined by " ".
std::string run_lua(lua_State* lua)
{
    lua_pushvalue(lua, 1);
    if (lua_pcall(lua, 0, LUA_MULTRET, 0) != LUA_OK) {
        std::string error = lua_tostring(lua, -1);
        lua_settop(lua, 1);
        return "lua error " + error;
    }
    std::string text;
    for (int i = 2; i <= lua_gettop(lua); ++i) {
        if (i > 2)
            text += " ";
        if (lua_isinteger(lua, i)) {
            text += std::to_string(lua_tointeger(lua, i));
        } else if (lua_type(lua, i) == LUA_TNUMBER) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.2f", lua_tonumber(lua, i));
            text += buf;
        } else {
            text += lua_tostring(lua, i);
        }
    }
    lua_settop(lua, 1);
    return text;
}

void BM_Calc(benchmark::State& state, const Program& program)
{
    Calc calc;
    std::vector<uint8_t> block = program.block();
    for (auto _ : state) {
        ScriptValue out;
        benchmark::DoNotOptimize(eval_code(0, block.data(), block.size(), out, 1));
        val_free(out);
    }
}

void BM_Lua(benchmark::State& state, const Program& program)
{
    lua_State* lua = new_lua(program.lua);
    if (!lua) {
        state.SkipWithError("the Lua program does not load");
        return;
    }
    for (auto _ : state) {
        lua_pushvalue(lua, 1);
        benchmark::DoNotOptimize(lua_pcall(lua, 0, 0, 0));
    }
    lua_close(lua);
}

// Real results keep two decimals on both sides.
std::string calc_result(const Program& program)
{
    Calc calc;
    std::string text = run_calc(program.block());
    size_t space = text.find(' ');
    if (std::string(program.name) == "numeric" && space != std::string::npos) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f", std::stod(text.substr(space + 1)));
        text = text.substr(0, space + 1) + buf;
    }
    return text;
}

bool results_agree()
{
    bool agree = true;
    for (const Program& program : kPrograms) {
        lua_State* lua = new_lua(program.lua);
        std::string theirs = lua ? run_lua(lua) : "no lua";
        if (lua)
            lua_close(lua);
        std::string ours = calc_result(program);
        if (ours != theirs) {
            std::fprintf(stderr, "%s: the interpreter gives \"%.60s\", Lua \"%.60s\"\n", program.name, ours.c_str(),
                theirs.c_str());
            agree = false;
        }
    }
    return agree;
}

void register_all()
{
    for (const Program& program : kPrograms) {
        benchmark::RegisterBenchmark((std::string("BM_Calc_") + program.name).c_str(), BM_Calc, program)
            ->Repetitions(kRepetitions)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_Lua_") + program.name).c_str(), BM_Lua, program)
            ->Repetitions(kRepetitions)
            ->Unit(benchmark::kMillisecond);
    }
}

const BenchPair kPairs[] = {
    { "numeric loop", "BM_Calc_numeric", "BM_Lua_numeric" },
    { "joining texts", "BM_Calc_join", "BM_Lua_join" },
    { "list work", "BM_Calc_lists", "BM_Lua_lists" },
};

} // namespace

int main(int argc, char** argv)
{
    if (!bench_start(&argc, argv))
        return 1;
    if (!results_agree())
        return 1;
    register_all();
    BenchTimes times = bench_run_timed(BenchKeep::fastest);
    return bench_print_worst_ratio(times, kPairs);
}
