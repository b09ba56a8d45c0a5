// An internal error: one of our own invariants broke. Thrown, caught once at the recovery
// point in the program's entry function; nothing resumes after it. Never used for bad input.
#pragma once

namespace plat {

struct InternalError {
    const char* module; // the source module's short name, as the error box shows it
    int line;
};

[[noreturn]] inline void raise_internal_error(const char* module, int line)
{
    throw InternalError{module, line};
}

} // namespace plat
