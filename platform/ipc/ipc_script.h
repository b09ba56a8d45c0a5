// The headless script's commands on other programs' windows (backend/script.h): serve,
// windows, send, post, copydata and atom. Each logs its outcome (README, "Between programs").
#pragma once
#include <string>
#include <string_view>

#include "platform/backend/script.h"

namespace plat {

// Reads the arguments of one of these commands; "" when they are good, else the problem.
std::string ipc_script_parse(ScriptOp op, std::string_view arguments, ScriptCommand& command);
// Runs one and logs what came of it.
void ipc_script_run(const ScriptCommand& command);

} // namespace plat
