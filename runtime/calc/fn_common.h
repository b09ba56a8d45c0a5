// What the system-function handlers share: the characters of an argument, locked for as long
// as the handler reads them, and results made from texts.
#pragma once
#include <string>
#include <string_view>

#include "runtime/calc/sysfn_table.h"
#include "runtime/calc/value.h"

// The characters of a value, locked while this lives (a static "" for a non-string).
class ArgText {
public:
    explicit ArgText(const ScriptValue& v) : value_(v), text_(var_lock_value_data(v)) { }
    ~ArgText() { var_unlock_value_data(value_); }
    ArgText(const ArgText&) = delete;
    ArgText& operator=(const ArgText&) = delete;
    const char* c_str() const { return text_; }
    std::string str() const { return text_; }

private:
    const ScriptValue& value_;
    const char* text_;
};

// The text argument i, or fallback when the call has fewer arguments.
inline std::string fn_text_arg(int argc, const ScriptValue* args, int i, const char* fallback = "")
{
    if (i >= argc)
        return fallback;
    ArgText t(args[i]);
    return t.str();
}

inline int32_t fn_int_arg(int argc, const ScriptValue* args, int i, int32_t fallback)
{
    return i < argc ? val_integer(args[i]) : fallback;
}

// A string result; without memory the empty string.
inline void fn_set_text(ScriptValue& result, std::string_view text)
{
    if (!val_set_string_n(result, text.data(), text.size()))
        val_init(result);
}

// A family's handlers, bound by index into the table.
struct SysFnBinding {
    int index;
    SysFnHandler handler;
};
template <size_t N> void fn_bind_all(const SysFnBinding (&rows)[N])
{
    for (const SysFnBinding& row : rows)
        sysfn_bind(row.index, row.handler);
}

// Binding of each family (the table binds them all when it is built).
void fn_bind_string_functions();
void fn_bind_list_functions();
void fn_bind_math_functions();
void fn_bind_eval_functions();
