// From parsed resources to the generated C++ table and the build's dependency file.
#pragma once
#include "tools/rc/rc_parse.h"

#include <string>

enum class ModuleKind { program, library };

// Gathers the string-table entries into blocks of 16, refuses resources defined twice and
// sorts the resources as the store expects. False with `error` at the offending definition.
[[nodiscard]] bool rc_finish_module(RcModule& module, RcError& error);

// Writes the C++ source that registers the module (through a temporary file and a rename).
[[nodiscard]] bool rc_write_source(const RcModule& module, const std::string& module_name,
    ModuleKind kind, const std::string& path, std::string& message);

// Writes "target: inputs..." for the build system.
[[nodiscard]] bool rc_write_depfile(const RcModule& module, const std::string& target,
    const std::string& path, std::string& message);
