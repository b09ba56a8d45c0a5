// Eval, EvalAssign and CallTarget, and the outcome they and List report: the status goes to
// the system variable EvalStatus and its text to EvalMessage, through the variable hook.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/calc/value.h"

constexpr uint16_t kVarEvalStatus = 8288;
constexpr uint16_t kVarEvalMessage = 8289;
constexpr uint16_t kVarIoStatus = 8316;

// Writes status and message to EvalStatus and EvalMessage.
void fn_report_eval(int status, const std::string& message);
// 1 when the first character after white space is "[".
int fn_text_is_list_literal(const char* text);
// Compiles and runs a list literal: constants, symbols and lists (operators over them too),
// never a variable (22) or a call (21), which could change something. The status, with its
// message; result gets the list (empty on failure).
int fn_eval_list_literal(uint32_t context_icon, const char* text, ScriptValue& result, std::string& message);
