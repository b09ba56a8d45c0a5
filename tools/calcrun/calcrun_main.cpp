#include "tools/calcrun/calcrun_main.h"

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/compile.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/names.h"
#include "runtime/calc/parser.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/calc/value.h"
#include "tools/tool_args.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

constexpr uint16_t kLastUserVariable = 8192;

struct Variable {
    std::string name; // in the code page
    ScriptValue value;
    bool assigned = false;
};

// The system variables that calcrun's functions write; they print and read like the others.
struct SystemVariable {
    uint16_t id;
    const char* name;
};
const SystemVariable kSystemVariables[] = {
    { 8288, "EvalStatus" },
    { 8289, "EvalMessage" },
    { 8316, "IOStatus" },
};

// The run's variables: every new name is a user variable reading integer 0 until assigned.
struct Run {
    std::vector<Variable> variables; // id - 1
    Variable system[std::size(kSystemVariables)];
    std::string* out = nullptr;
    uint32_t code_page = plat::CP_WESTERN;
};

Run* s_run = nullptr;

std::string to_utf8(const std::string& text) { return plat::code_page_to_utf8(s_run->code_page, text); }

std::string value_text(const ScriptValue& value)
{
    ScriptValue shown;
    val_copy(shown, value);
    val_convert(shown, kValString);
    std::string text = var_lock_value_data(shown);
    var_unlock_value_data(shown);
    val_free(shown);
    return to_utf8(text);
}

int find_id(int, const char* name, uint16_t* id)
{
    for (const SystemVariable& sv : kSystemVariables)
        if (plat::lstrcmpi(sv.name, name) == 0)
            return *id = sv.id, 1;
    std::vector<Variable>& vars = s_run->variables;
    for (size_t i = 0; i < vars.size(); ++i)
        if (plat::lstrcmpi(vars[i].name.c_str(), name) == 0)
            return *id = uint16_t(i + 1), 1;
    if (vars.size() >= kLastUserVariable)
        return 0;
    vars.push_back(Variable { name, {}, false });
    *id = uint16_t(vars.size());
    return 1;
}

Variable* variable(uint16_t id)
{
    for (size_t i = 0; i < std::size(kSystemVariables); ++i) {
        if (kSystemVariables[i].id == id) {
            s_run->system[i].name = kSystemVariables[i].name;
            return &s_run->system[i];
        }
    }
    return id >= 1 && id <= s_run->variables.size() ? &s_run->variables[id - 1u] : nullptr;
}

int display_name(int, uint16_t id, char* out, size_t size)
{
    Variable* v = variable(id);
    if (!v)
        return 0;
    str_copy_bounded(out, v->name.c_str(), int(size));
    return 1;
}

int var_get(uint32_t, uint16_t id, uint32_t, ScriptValue& out)
{
    Variable* v = variable(id);
    if (!v || !v->assigned) {
        val_set_integer(0, out);
        return 0;
    }
    return val_copy(out, v->value);
}

int var_set(uint32_t, uint16_t id, uint32_t, const ScriptValue& value)
{
    Variable* v = variable(id);
    if (!v)
        return 0;
    ScriptValue copy;
    val_copy(copy, value);
    if (v->assigned)
        val_free(v->value);
    v->value = copy;
    v->assigned = true;
    *s_run->out += to_utf8(v->name) + " = " + value_text(copy) + "\n";
    return 0;
}

struct Options {
    bool expression = false;
    bool no_assign = false;
    bool functions = false;
    char decimal = 0;
    char separator = 0;
    uint32_t code_page = plat::CP_WESTERN;
    int64_t steps = 0;
    std::string text;
};

bool one_char(const std::string& s, char* out)
{
    if (s.size() != 1)
        return false;
    *out = s[0];
    return true;
}

bool read_options(int argc, char** argv, Options& o, std::string& err)
{
    ToolArgs a = tool_parse_args(argc, argv, { "--decimal", "--separator", "--codepage", "--steps", "-f" },
        { "--expression", "--no-assign", "--functions" });
    if (!a.error.empty() || a.help) {
        err = a.error.empty() ? "" : a.error + "\n";
        return false;
    }
    o.expression = a.flags.count("--expression") > 0;
    o.no_assign = a.flags.count("--no-assign") > 0;
    o.functions = a.flags.count("--functions") > 0;
    if (a.values.count("--decimal") && !one_char(a.values["--decimal"], &o.decimal))
        return err = "--decimal takes one character\n", false;
    if (a.values.count("--separator") && !one_char(a.values["--separator"], &o.separator))
        return err = "--separator takes one character\n", false;
    if (a.values.count("--codepage")) {
        std::string cp = a.values["--codepage"];
        if (cp != "1252" && cp != "949")
            return err = "--codepage is 1252 or 949\n", false;
        o.code_page = uint32_t(std::stoul(cp));
    }
    if (a.values.count("--steps")) {
        std::string n = a.values["--steps"];
        if (n.empty() || n.size() > 18 || n.find_first_not_of("0123456789") != std::string::npos || std::stoll(n) < 1)
            return err = "--steps takes a positive count\n", false;
        o.steps = std::stoll(n);
    }
    if (o.functions)
        return a.files.empty() && !a.values.count("-f") ? true : (err = "--functions takes no text\n", false);
    if (a.values.count("-f") == a.files.size() || a.files.size() > 1)
        return err = "give one TEXT or -f FILE\n", false;
    if (a.files.size() == 1) {
        o.text = a.files[0];
        return true;
    }
    std::ifstream in(a.values["-f"], std::ios::binary);
    if (!in)
        return err = "cannot read " + a.values["-f"] + "\n", false;
    std::ostringstream text;
    text << in.rdbuf();
    o.text = text.str();
    return true;
}

const char* result_name(int type)
{
    switch (type) {
    case kValString: return "string";
    case kValInteger: return "integer";
    case kValReal: return "real";
    case kValSymbol: return "symbol";
    case kValNumber: return "number";
    default: return "any";
    }
}

void list_functions(std::string& out)
{
    for (int i = 0; i < kSysFnCount; ++i) {
        int id = kSysFnFirstId + i;
        const SysFunctionDesc& d = sysfn_desc(id);
        char name[64];
        sysfn_name(name, sizeof name, id);
        out += std::to_string(i) + "\t" + name + "\t" + d.signature + "\t" + result_name(d.result_type) + "\t"
            + std::to_string(d.category) + "\t" + (d.scope == kSysFnCalcOnly ? "yes" : "no") + "\t"
            + std::to_string(d.flags) + "\t" + (d.handler ? "bound" : "unbound") + "\n";
    }
}

// UTF-8 to the code page, a lone line feed ending a line as a carriage return and line feed.
std::string source_text(const std::string& utf8, uint32_t code_page)
{
    std::string lines;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r'))
            lines += '\r';
        lines += utf8[i];
    }
    return plat::utf8_to_code_page(code_page, lines);
}

// 1-based line and column (in characters) of a character offset.
void line_and_column(const std::string& text, int offset, int* line, int* column)
{
    *line = 1, *column = 1;
    const char* p = text.c_str();
    for (int i = 0; i < offset && *p; ++i) {
        if (*p == '\r' || (*p == '\n' && p > text.c_str() && p[-1] != '\r')) {
            ++*line, *column = 1;
        } else if (*p != '\n') {
            ++*column;
        }
        p = str_next_char(p);
    }
}

int compile_and_run(const Options& o, std::string& out)
{
    std::string text = source_text(o.text, o.code_page);
    std::vector<uint8_t> block;
    int offset = 0, length = 0;
    CompileKind kind = o.expression ? kCompileExpression : kCompileStatements;
    int error = code_compile(0, text.c_str(), block, kind, o.decimal, o.separator, &offset, &length);
    if (error) {
        int line = 0, column = 0;
        line_and_column(text, offset, &line, &column);
        MemHandle message = eval_error_text(error, text.c_str(), offset, length);
        std::string message_text = message ? static_cast<const char*>(mem_address(message)) : "";
        mem_free(message);
        out += "error " + std::to_string(line) + ":" + std::to_string(column) + ": " + to_utf8(message_text) + "\n";
        return kCalcrunCompileError;
    }
    eval_set_step_limit(o.steps);
    ScriptValue result;
    int stop = eval_code(0, block.data(), block.size(), result, o.no_assign ? 0 : 1);
    bool limit = o.steps > 0 && eval_steps_left() == 0;
    eval_set_step_limit(0);
    if (stop || limit) {
        val_free(result);
        out += limit ? "stop limit\n" : "stop " + std::to_string(stop) + "\n";
        return kCalcrunStopped;
    }
    out += "=> " + value_text(result) + "\n";
    val_free(result);
    return kCalcrunOk;
}

} // namespace

int calcrun_main(int argc, char** argv, std::string& out, std::string& err)
{
    Options o;
    if (!read_options(argc, argv, o, err)) {
        err += "usage: calcrun [--expression] [--no-assign] [--decimal C] [--separator C] "
               "[--codepage 1252|949] [--steps N] (TEXT | -f FILE)\n       calcrun --functions\n";
        return kCalcrunBadArguments;
    }
    if (o.functions) {
        list_functions(out);
        return kCalcrunOk;
    }
    Run run;
    run.out = &out;
    run.code_page = o.code_page;
    s_run = &run;
    plat::set_active_code_page(o.code_page);
    str_init_from_entry(nullptr);
    CalcHooks hooks {};
    hooks.var_get = var_get;
    hooks.var_set = var_set;
    hooks.call = sysfn_call_hook;
    calc_set_hooks(&hooks);
    CalcNameHooks names {};
    names.var_find_id = find_id;
    names.var_display_name = display_name;
    calc_set_name_hooks(&names);
    int previous = parse_set_calc_context(1);
    int status = compile_and_run(o, out);
    parse_set_calc_context(previous);
    calc_set_name_hooks(nullptr);
    calc_set_hooks(nullptr);
    for (Variable& v : run.variables)
        if (v.assigned)
            val_free(v.value);
    for (Variable& v : run.system)
        if (v.assigned)
            val_free(v.value);
    plat::codepage_reset();
    str_reset();
    s_run = nullptr;
    return status;
}
