// The interpreter against Lua 5.4 on three programs: a numeric loop of integer and real
// arithmetic, building texts by join, and list work (filling by element assignment, summing
// with "repeat with e in", element-wise arithmetic). Each program is compiled from its text as
// a Calc icon's statements, with its variables in the tests' table; the Lua programs keep their
// variables global, as calculation variables are, and loop with while as "repeat with" does.
// Each program's result is compared before anything is timed.
#include "bench/bench_ratio.h"
#include "tests/calc/interp_fixture.h"

#include "runtime/base/str.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/compile.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/names.h"
#include "runtime/calc/parser.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/text/intl.h"

#include <lua.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace calctest;

namespace {

constexpr int kRepetitions = 5;

// The programs' variables; each program leaves its result in Result.
const char* const kNames[] = { "I", "S", "R", "N", "J", "T", "K", "L", "SUM", "E", "M", "Result" };
constexpr uint16_t kResult = 12;

int find_name(int, const char* name, uint16_t* id)
{
    for (uint16_t i = 0; i < sizeof kNames / sizeof kNames[0]; ++i) {
        if (str_compare_nocase(kNames[i], name) == 0)
            return *id = uint16_t(i + 1), 1;
    }
    return 0;
}

const char* const kNumericCalc = R"(I := 0
S := 0
R := 0
repeat while I < 1000000
    I := I + 1
    S := S + I * 3 - I * 2 - I + 1
    R := R + I / 7
end repeat
Result := S ^ " " ^ R
)";

const char* const kNumericLua = R"(
I = 0; S = 0; R = 0
while I < 1000000 do
    I = I + 1
    S = S + I * 3 - I * 2 - I + 1
    R = R + I / 7
end
return S, R
)";

const char* const kJoinCalc = R"(N := 0
repeat while N < 1000
    N := N + 1
    T := ""
    J := 0
    repeat while J < 100
        J := J + 1
        T := T ^ "x" ^ J
    end repeat
end repeat
Result := T
)";

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

const char* const kListCalc = R"(N := 0
repeat while N < 100
    N := N + 1
    L := []
    K := 0
    repeat while K < 1000
        K := K + 1
        L[K] := K
    end repeat
    SUM := 0
    repeat with E in L
        SUM := SUM + E
    end repeat
    M := L * 2 + 1
end repeat
Result := SUM ^ " " ^ M[1000]
)";

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
    const char* calc;
    const char* lua;
};

const Program kPrograms[] = {
    { "numeric", kNumericCalc, kNumericLua },
    { "join", kJoinCalc, kJoinLua },
    { "lists", kListCalc, kListLua },
};

// The interpreter's side: symbols, lists, the function table, the names and the variable
// table up for the whole run.
struct Calc {
    Calc()
    {
        intl_init();
        symdict_create();
        list_tables_init();
        sysfn_build_table();
        CalcHooks hooks = table_hooks();
        calc_set_hooks(&hooks);
        CalcNameHooks names {};
        names.var_find_id = find_name;
        calc_set_name_hooks(&names);
        previous_context = parse_set_calc_context(1);
    }
    ~Calc()
    {
        parse_set_calc_context(previous_context);
        variables().clear();
        eval_reset();
        calc_set_name_hooks(nullptr);
        calc_set_hooks(nullptr);
        sysfn_reset();
        list_tables_free();
        symdict_release();
    }
    int previous_context = 0;
};

// The program's block; empty with a message when it does not compile.
std::vector<uint8_t> compile(const Program& program)
{
    // Lines end with carriage returns, as an icon's text holds them.
    std::string text = program.calc;
    for (char& c : text)
        c = c == '\n' ? '\r' : c;
    std::vector<uint8_t> block;
    int offset = 0, length = 0;
    int error = code_compile(0, text.c_str(), block, kCompileStatements, '.', ',', &offset, &length);
    if (error != 0) {
        std::fprintf(stderr, "%s: error %d at %d\n", program.name, error, offset);
        block.clear();
    }
    return block;
}

// The run's result as text; "error N" when it failed.
std::string run_calc(const std::vector<uint8_t>& block)
{
    if (block.empty())
        return "no block";
    ScriptValue out;
    int error = eval_code(0, block.data(), block.size(), out, 1);
    val_free(out);
    if (error != 0)
        return "error " + std::to_string(error);
    ScriptValue result;
    val_copy(result, variables().values[kResult]);
    val_convert(result, kValString);
    std::string text = var_lock_value_data(result);
    var_unlock_value_data(result);
    val_free(result);
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
    std::vector<uint8_t> block = compile(program);
    if (block.empty()) {
        state.SkipWithError("the program does not compile");
        return;
    }
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
    std::string text = run_calc(compile(program));
    size_t space = text.find(' ');
    if (std::string(program.name) == "numeric" && space != std::string::npos && space + 1 < text.size()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f", std::strtod(text.c_str() + space + 1, nullptr));
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
