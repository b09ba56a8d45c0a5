// Shared by the calculation tests: a Windows folder of the test's own whose WIN.INI names the
// decimal separator, the symbol dictionary and the list tables up, and the interpreter idle.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "runtime/base/symdict.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/value.h"
#include "runtime/text/intl.h"

namespace calctest {

// WIN.INI with [intl] sDecimal set to decimal for the scope.
class DecimalScope {
public:
    explicit DecimalScope(char decimal)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "calc_XXXXXX").string();
        folder_ = mkdtemp(pattern.data()) ? pattern : std::string();
        if (const char* old = std::getenv("STORVEL_WINDOWS_DIR"))
            old_ = old, had_ = true;
        setenv("STORVEL_WINDOWS_DIR", folder_.c_str(), 1);
        std::ofstream(folder_ + "/WIN.INI") << "[intl]\nsDecimal=" << decimal
                                            << "\nsThousand=" << (decimal == ',' ? '.' : ',') << "\n";
        intl_init();
    }
    ~DecimalScope()
    {
        intl_reset();
        if (had_)
            setenv("STORVEL_WINDOWS_DIR", old_.c_str(), 1);
        else
            unsetenv("STORVEL_WINDOWS_DIR");
        std::filesystem::remove_all(folder_);
    }
    DecimalScope(const DecimalScope&) = delete;
    DecimalScope& operator=(const DecimalScope&) = delete;

private:
    std::string folder_, old_;
    bool had_ = false;
};

class CalcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(symdict_create(), 0);
        ASSERT_EQ(list_tables_init(), 1);
        eval_reset();
        calc_set_hooks(nullptr);
    }
    void TearDown() override
    {
        eval_reset();
        calc_set_hooks(nullptr);
        list_tables_free();
        symdict_release();
    }
};

// The characters of a string value.
inline std::string text_of(const ScriptValue& v)
{
    std::string s = var_lock_value_data(v);
    var_unlock_value_data(v);
    return s;
}

// A value's readable form for comparisons: "i:12", "r:3.5", "s:abc", "y:#abc", or the text
// form of a list.
inline std::string describe(const ScriptValue& v)
{
    switch (val_type(v)) {
    case kValString:
        return "s:" + text_of(v);
    case kValInteger:
        return "i:" + std::to_string(val_integer(v));
    case kValReal: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "r:%.17g", val_real(v));
        return buf;
    }
    case kValSymbol: {
        char name[140] = "";
        symdict_name(val_word(v), name, sizeof name);
        return std::string("y:#") + name;
    }
    case kValReference:
        return "ref";
    default: {
        MemHandle text = list_to_text(v, 1, 0, 0);
        std::string s = text ? static_cast<const char*>(mem_address(text)) : "<dead>";
        mem_free(text);
        return "l:" + s;
    }
    }
}

} // namespace calctest
