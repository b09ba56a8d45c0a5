// Any text as a calculation that calls the system functions calc holds (strings, maths, dates,
// lists, Eval): compiled, then run under a step limit with variables of its own. A run ends
// with a result or a code; nothing crashes, hangs or leaks, whatever the arguments.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/compile.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/names.h"
#include "runtime/calc/parser.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/calc/value.h"

namespace {

struct Variable {
    std::string name;
    ScriptValue value;
};
std::vector<Variable> s_variables;

int find_id(int, const char* name, uint16_t* id)
{
    for (size_t i = 0; i < s_variables.size(); ++i)
        if (plat::lstrcmpi(s_variables[i].name.c_str(), name) == 0)
            return *id = uint16_t(i + 1), 1;
    if (s_variables.size() >= 64)
        return 0;
    Variable v { name, {} };
    val_set_integer(0, v.value);
    s_variables.push_back(v);
    *id = uint16_t(s_variables.size());
    return 1;
}

int display_name(int, uint16_t id, char* out, size_t size)
{
    if (id < 1 || id > s_variables.size())
        return 0;
    str_copy_bounded(out, s_variables[id - 1u].name.c_str(), int(size));
    return 1;
}

int var_get(uint32_t, uint16_t id, uint32_t, ScriptValue& out)
{
    if (id < 1 || id > s_variables.size()) {
        val_set_integer(0, out);
        return 0;
    }
    return val_copy(out, s_variables[id - 1u].value);
}

int var_set(uint32_t, uint16_t id, uint32_t, const ScriptValue& value)
{
    if (id < 1 || id > s_variables.size())
        return 0;
    ScriptValue copy;
    val_copy(copy, value);
    val_free(s_variables[id - 1u].value);
    s_variables[id - 1u].value = copy;
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static bool ready = [] {
        symdict_create();
        list_tables_init();
        CalcNameHooks names {};
        names.var_find_id = find_id;
        names.var_display_name = display_name;
        calc_set_name_hooks(&names);
        CalcHooks hooks {};
        hooks.var_get = var_get;
        hooks.var_set = var_set;
        hooks.call = sysfn_call_hook;
        calc_set_hooks(&hooks);
        return true;
    }();
    (void)ready;
    if (size < 1 || size > 4096)
        return 0;
    uint8_t flags = bytes[0];
    plat::set_active_code_page(flags & 1 ? plat::CP_KOREAN : plat::CP_WESTERN);
    str_init_from_entry(nullptr);
    parse_set_calc_context(1);
    CompileKind kind = flags & 2 ? kCompileStatements : kCompileExpression;
    std::string text(reinterpret_cast<const char*>(bytes + 1), size - 1);
    text.resize(std::strlen(text.c_str()));
    sysfn_build_table();
    std::vector<uint8_t> block;
    int offset = 0, length = 0;
    if (code_compile(0, text.c_str(), block, kind, 0, 0, &offset, &length) == 0) {
        eval_set_step_limit(20000);
        ScriptValue result;
        eval_code(0, block.data(), block.size(), result, 1);
        val_free(result);
        eval_set_step_limit(0);
    }
    // Released by each input: the leak check after an input sees nothing it made.
    for (Variable& v : s_variables)
        val_free(v.value);
    s_variables.clear();
    eval_reset();
    sysfn_reset();
    plat::codepage_reset();
    str_reset();
    return 0;
}
