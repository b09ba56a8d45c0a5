// The engine's trace, off by default: STORVEL_TRACE names the channels (comma-separated:
// kernel, idle, records, goto) whose lines go to the event log (PLAT_LOG). The lines are listed in
// the README; tests and tools compare them.
#pragma once
#include <string_view>

enum TraceChannel : unsigned {
    kTraceKernel = 1,
    kTraceIdle = 2,
    kTraceRecords = 4,
    kTraceGoto = 8,
};

// 1 when the channel is on (the variable is read once, at the first question).
int exec_trace_on(TraceChannel channel);
// Writes the line when the channel is on.
void exec_trace(TraceChannel channel, std::string_view line);
// Sets the channels directly; -1 reads the variable again at the next question (tests).
void exec_trace_set(int mask);
