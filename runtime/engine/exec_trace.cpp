#include "runtime/engine/exec_trace.h"

#include "platform/kernel/log.h"

#include <cstdlib>
#include <string>

static int s_mask = -1;

static int parse_channels(const char* text)
{
    int mask = 0;
    std::string list = text ? text : "";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        std::string name = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name == "kernel")
            mask |= kTraceKernel;
        else if (name == "idle")
            mask |= kTraceIdle;
        else if (name == "records")
            mask |= kTraceRecords;
        else if (name == "goto")
            mask |= kTraceGoto;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return mask;
}

int exec_trace_on(TraceChannel channel)
{
    if (s_mask < 0)
        s_mask = parse_channels(std::getenv("STORVEL_TRACE"));
    return (s_mask & int(channel)) ? 1 : 0;
}

void exec_trace(TraceChannel channel, std::string_view line)
{
    if (exec_trace_on(channel))
        plat::log_event(line);
}

void exec_trace_set(int mask) { s_mask = mask; }
