// The interpreter's tests and benchmarks: variables live in a plain table of the test, reached
// through the calculation hooks as the variable store will reach them.
#pragma once
#include <vector>

#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/value.h"

namespace calctest {

// Indexed by variable id, as the variable store keeps them; a variable never set holds the
// empty value.
struct VariableTable {
    std::vector<ScriptValue> values = std::vector<ScriptValue>(size_t(UINT16_MAX) + 1);
    int sets = 0;
    ~VariableTable() { clear(); }
    void clear()
    {
        for (ScriptValue& v : values)
            val_free(v);
        sets = 0;
    }
};

inline VariableTable& variables()
{
    static VariableTable table;
    return table;
}

// Texts are handed out as copies; objects as the variable holds them (the interpreter copies).
inline int table_get(uint32_t, uint16_t id, uint32_t, ScriptValue& out)
{
    const ScriptValue& held = variables().values[id];
    if (val_is_object_type(val_type(held)))
        out = held;
    else
        val_copy(out, held);
    return 0;
}

inline int table_set(uint32_t, uint16_t id, uint32_t, const ScriptValue& value)
{
    ScriptValue& slot = variables().values[id];
    ScriptValue copy;
    val_copy(copy, value);
    val_free(slot);
    slot = copy;
    variables().sets++;
    return 0;
}

inline CalcHooks table_hooks()
{
    CalcHooks hooks {};
    hooks.var_get = table_get;
    hooks.var_set = table_set;
    return hooks;
}

} // namespace calctest
