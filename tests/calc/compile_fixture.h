// Compiling in the tests: a small set of named variables and user functions reached through
// the name hooks, as the variable store and the user-code libraries will reach them.
#pragma once
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/base/str.h"
#include "runtime/calc/compile.h"
#include "runtime/calc/names.h"
#include "runtime/calc/parser.h"
#include "runtime/calc/sysfn_table.h"
#include "tests/calc/calc_fixture.h"

namespace calctest {

// Short names for the rows.
constexpr CompileKind S = kCompileStatements;
constexpr CompileKind E = kCompileExpression;

struct NamedVariable {
    const char* name;
    uint16_t id;
    uint32_t traits; // system variables only
};

// User variables 1-5, system variables from 8193, a custom one.
inline const NamedVariable kNamedVariables[] = {
    { "x", 1, 0 },
    { "y", 2, 0 },
    { "z", 3, 0 },
    { "my total", 4, 0 },
    { "lst", 5, 0 },
    { "CursorX", 8200, kSysVarAtAllowed },
    { "Movable", 8201, kSysVarAtAllowed | kSysVarAssignable },
    { "Reserved", 8202, kSysVarReserved },
    { "NoAt", 8203, kSysVarAssignable },
    { "CalcOnly", 8204, kSysVarAssignable | kSysVarCalcOnly },
    { "custom", 12289, 0 },
};

inline const NamedVariable* named_by_id(uint16_t id)
{
    for (const NamedVariable& v : kNamedVariables)
        if (v.id == id)
            return &v;
    return nullptr;
}

// The display names: a test may rename a variable.
inline std::string& renamed_x()
{
    static std::string name = "x";
    return name;
}

inline int test_find_custom(const char* name, uint16_t* id)
{
    if (std::strcmp(name, "custom") != 0)
        return 0;
    *id = 12289;
    return 1;
}

inline int test_find_id(int, const char* name, uint16_t* id)
{
    for (const NamedVariable& v : kNamedVariables)
        if (v.id < kVarFirstCustom && str_compare_nocase(v.name, name) == 0)
            return *id = v.id, 1;
    return 0;
}

inline int test_display_name(int, uint16_t id, char* out, size_t size)
{
    const NamedVariable* v = named_by_id(id);
    if (!v)
        return 0;
    std::string name = id == 1 ? renamed_x() : v->name;
    std::snprintf(out, size, "%s", name.c_str());
    return 1;
}

inline uint32_t test_traits(uint16_t id)
{
    const NamedVariable* v = named_by_id(id);
    return v ? v->traits : 0;
}

// Two user functions: "UserFn" with id 7 and signature "LL", "NoSig" with id 8 and none.
inline int test_find_function(int, const char* name, int* id)
{
    if (str_compare_nocase(name, "UserFn") == 0)
        return *id = 7, 1;
    if (str_compare_nocase(name, "NoSig") == 0)
        return *id = 8, 1;
    return 0;
}
inline const char* test_signature(int id) { return id == 7 ? "LL" : nullptr; }

inline CalcNameHooks test_name_hooks()
{
    CalcNameHooks hooks {};
    hooks.var_find_custom = test_find_custom;
    hooks.var_find_id = test_find_id;
    hooks.var_display_name = test_display_name;
    hooks.sysvar_traits = test_traits;
    hooks.ucode_find_function = test_find_function;
    hooks.ucode_signature = test_signature;
    return hooks;
}

// With the system-function table built.
class FunctionTableTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        ASSERT_EQ(sysfn_build_table(), 1);
    }
    void TearDown() override
    {
        sysfn_reset();
        CalcTest::TearDown();
    }
};

class CompileTest : public FunctionTableTest {
protected:
    void SetUp() override
    {
        FunctionTableTest::SetUp();
        CalcNameHooks hooks = test_name_hooks();
        calc_set_name_hooks(&hooks);
        previous_calc_ = parse_set_calc_context(1);
        renamed_x() = "x";
    }
    void TearDown() override
    {
        parse_set_calc_context(previous_calc_);
        calc_set_name_hooks(nullptr);
        FunctionTableTest::TearDown();
    }
    // Compiles with "." and ","; the error code.
    int compile(const std::string& source, CompileKind kind, std::vector<uint8_t>& block,
        int* offset = nullptr, int* length = nullptr, char decimal = '.', char separator = ',')
    {
        int o = 0, l = 0;
        int error = code_compile(0, source.c_str(), block, kind, decimal, separator, &o, &l);
        if (offset)
            *offset = o;
        if (length)
            *length = l;
        return error;
    }
    int previous_calc_ = 0;
};

} // namespace calctest
