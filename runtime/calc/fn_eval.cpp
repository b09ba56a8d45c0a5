#include "runtime/calc/fn_eval.h"

#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/compile.h"
#include "runtime/calc/fn_common.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/names.h"

#include <cstring>
#include <vector>

namespace {

constexpr int kStatusNotTarget = 47;
constexpr int kStatusNoTarget = 48;
constexpr int kStatusTooFew = 29;
constexpr int kStatusTooMany = 15;
constexpr int kStatusNoVariable = 22;

// The text of an error code with "%s" filled from detail; empty for 0 and stop codes.
std::string error_message(int code, const char* detail, int offset, int length)
{
    if (code <= 0)
        return {};
    MemHandle block = eval_error_text(code, detail, offset, length);
    std::string text = block ? static_cast<const char*>(mem_address(block)) : "";
    mem_free(block);
    return text;
}

std::string name_message(int code, const char* name)
{
    return error_message(code, name, 0, int(std::strlen(name)));
}

// The refusal of an instruction a list literal may not hold, 0 for one it may.
int literal_refusal(uint32_t context, const CodeInstruction& instruction, const uint8_t* data, std::string& message)
{
    char name[kVarNameMax * 2 + 8] = {};
    switch (instruction.opcode) {
    case kOpCall:
        eval_function_display_name(data ? int(plat::load_u16le(data + 2)) : 0, name, sizeof name);
        message = name_message(kEvalNoFunction, name);
        return kEvalNoFunction;
    case kOpPushVar:
    case kOpPushVarRef:
    case kOpAssignDirect:
    case kOpPushIconVar:
    case kOpAssignElement:
    case kOpPushIconVarRef:
    case kOpAssign:
    case kOpForInStep:
    case kOpForInStepElement:
        if (data && (instruction.opcode == kOpPushVar || instruction.opcode == kOpPushVarRef))
            eval_variable_display_name(context, name, sizeof name, var_ref_load(data));
        message = name_message(kStatusNoVariable, name);
        return kStatusNoVariable;
    default:
        return 0;
    }
}

// Compiles text as one expression: 0 with the block, or the error with its message.
int compile_expression(uint32_t context, const char* text, char decimal, char separator, std::vector<uint8_t>& block,
    std::string& message)
{
    int offset = 0, length = 0;
    int error = code_compile(context, text, block, kCompileExpression, decimal, separator, &offset, &length);
    if (error)
        message = error_message(error, text, offset, length);
    return error;
}

} // namespace

void fn_report_eval(int status, const std::string& message)
{
    auto set = calc_hooks().var_set;
    if (!set)
        return;
    uint32_t context = sysfn_current_icon();
    ScriptValue v;
    val_set_integer(status, v);
    set(context, kVarEvalStatus, 0, v);
    fn_set_text(v, message);
    set(context, kVarEvalMessage, 0, v);
    val_free(v);
}

int fn_text_is_list_literal(const char* text)
{
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n')
        ++text;
    return *text == '[';
}

int fn_eval_list_literal(uint32_t context, const char* text, ScriptValue& result, std::string& message)
{
    val_init(result);
    std::vector<uint8_t> block;
    int status = compile_expression(context, text, 0, 0, block, message);
    if (status)
        return status;
    CodeIterator it;
    code_iter_init(it, block.data());
    CodeInstruction instruction;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    while (code_iter_next(it, &instruction, &data, &size))
        if (int refusal = literal_refusal(context, instruction, data, message))
            return refusal;
    status = eval_code(context, block.data(), block.size(), result, 0);
    message = error_message(status, "", 0, 0);
    return status;
}

namespace {

// Eval and EvalAssign: the optional decimal character and list separator; "," as the decimal
// character makes ";" the separator unless one is given.
void eval_text(int argc, ScriptValue* args, ScriptValue& result, int allow_assignment)
{
    std::string text = ArgText(args[0]).str();
    char decimal = argc >= 2 ? fn_text_arg(argc, args, 1)[0] : 0;
    char separator = argc >= 3 ? fn_text_arg(argc, args, 2)[0] : 0;
    if (decimal == ',' && separator == 0)
        separator = ';';
    uint32_t context = sysfn_current_icon();
    std::vector<uint8_t> block;
    std::string message;
    int status = compile_expression(context, text.c_str(), decimal, separator, block, message);
    if (status == 0) {
        status = eval_code(context, block.data(), block.size(), result, allow_assignment);
        message = error_message(status, "", 0, 0);
    }
    if (status != 0)
        val_free(result);
    fn_report_eval(status, message);
}

void fn_eval(int argc, ScriptValue* args, ScriptValue& result) { eval_text(argc, args, result, 0); }
void fn_eval_assign(int argc, ScriptValue* args, ScriptValue& result) { eval_text(argc, args, result, 1); }

// The runtime has no authoring link, so every call a target could take finds no target (48)
// and is only reported: no box, no quit.
void fn_call_target(int argc, ScriptValue* args, ScriptValue& result)
{
    std::string name = ArgText(args[0]).str();
    int id = sysfn_find(name.c_str());
    int further = argc - 1;
    int status = kStatusNoTarget;
    if (id == 0)
        status = kEvalNoFunction;
    else if (!sysfn_has_flag(id, kSysFnOnTarget))
        status = kStatusNotTarget;
    else if (further < sysfn_min_args(id))
        status = kStatusTooFew;
    else if (further > sysfn_max_args(id))
        status = kStatusTooMany;
    bool named = status == kEvalNoFunction || status == kStatusNotTarget;
    fn_report_eval(status, named ? name_message(status, name.c_str()) : error_message(status, "", 0, 0));
    val_init(result);
}

const SysFnBinding kEvalFunctions[] = {
    { 54, fn_eval },         // Eval
    { 68, fn_eval_assign },  // EvalAssign
    { 243, fn_call_target }, // CallTarget
};

} // namespace

void fn_bind_eval_functions() { fn_bind_all(kEvalFunctions); }
