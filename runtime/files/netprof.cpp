#include "runtime/files/netprof.h"

#include "platform/kernel/clock.h"
#include "runtime/files/file.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"

#include <algorithm>
#include <cstdio>
#include <list>
#include <string>

namespace {

constexpr size_t kLogPathMax = 260;

struct TransferTimer {
    uint32_t file = 0;
    int64_t bytes = 0;
    uint32_t start = 0;
    uint32_t elapsed = 0;
};

struct TransferCounter {
    uint32_t kind = 0;
    int64_t total = 0;
    int64_t elapsed = 0;
    std::list<TransferTimer> timers;
};

struct Netprof {
    std::list<TransferCounter> counters; // newest first
    std::string log_path;
};

Netprof s_net;

} // namespace

static TransferCounter& counter(uint32_t kind)
{
    for (TransferCounter& c : s_net.counters)
        if (c.kind == kind)
            return c;
    s_net.counters.push_front(TransferCounter {});
    s_net.counters.front().kind = kind;
    return s_net.counters.front();
}

static std::list<TransferTimer>::iterator find_timer(TransferCounter& c, uint32_t file)
{
    return std::find_if(c.timers.begin(), c.timers.end(), [file](const TransferTimer& t) { return t.file == file; });
}

void netprof_timer_start(uint32_t kind, uint32_t file)
{
    TransferCounter& c = counter(kind);
    TransferTimer timer;
    timer.file = file;
    timer.start = plat::get_tick_count();
    c.timers.push_back(timer);
}

// A timer's update takes its previous part off the counter and adds its new state: a counter
// holds its finished transfers and the running ones as they stand.
static void update(TransferCounter& c, TransferTimer& t, int32_t amount)
{
    c.total -= t.bytes;
    c.elapsed -= t.elapsed;
    if (amount > 0)
        t.bytes += amount; // a failed read (-1) adds nothing
    t.elapsed = plat::get_tick_count() - t.start;
    c.total += t.bytes;
    c.elapsed += t.elapsed;
}

void netprof_timer_add(uint32_t kind, uint32_t file, int32_t amount)
{
    TransferCounter& c = counter(kind);
    auto it = find_timer(c, file);
    if (it == c.timers.end()) {
        netprof_timer_start(kind, file);
        it = std::prev(c.timers.end());
    }
    update(c, *it, amount);
}

void netprof_timer_end(uint32_t kind, uint32_t file, int32_t amount)
{
    netprof_timer_add(kind, file, amount);
    TransferCounter& c = counter(kind);
    c.timers.erase(find_timer(c, file));
}

static int32_t clamp32(double value)
{
    if (!(value == value))
        return 0;
    return int32_t(std::clamp(value, double(INT32_MIN), double(INT32_MAX)));
}

static int32_t total32(const TransferCounter& c) { return int32_t(uint32_t(uint64_t(c.total))); }

int32_t netprof_query(uint32_t kind, int what)
{
    const TransferCounter& c = counter(kind);
    switch (what) {
    case kQueryRate:
        return c.elapsed == 0 ? 0 : clamp32(double(total32(c)) / (double(c.elapsed) * 0.001));
    case kQueryTotal:
        return total32(c);
    case kQueryElapsed:
        return int32_t(uint32_t(uint64_t(c.elapsed)));
    default:
        return 0;
    }
}

void netprof_reset(uint32_t kind)
{
    TransferCounter& c = counter(kind);
    c.total = 0;
    c.elapsed = 0;
    for (TransferTimer& t : c.timers) {
        t.bytes = 0;
        t.elapsed = 0;
        t.start = plat::get_tick_count();
    }
}

void netprof_clear() { s_net.counters.clear(); }

void netprof_init(const char* folder)
{
    s_net.log_path.clear();
    std::string base;
    if (folder) {
        base = folder;
    } else {
        FileSpec* program = nullptr;
        char text[kPathBufferSize] = {};
        if (fspec_new_exe(&program) == 0)
            fspec_get_folder(program, text, sizeof text);
        fspec_free(program);
        base = text;
    }
    if (!base.empty() && base.back() != '\\' && base.back() != '/')
        base += '\\';
    std::string on = base + "NETPROF.on";
    FileSpec* spec = nullptr;
    bool readable = false;
    if (fspec_from_path(on.c_str(), &spec) == 0) {
        FileHandle file = file_open(spec, kFileModeRead);
        readable = bool(file);
        if (file)
            file_close(file.handle, file.kind);
    }
    fspec_free(spec);
    std::string log = base + "NETPROF.txt";
    if (readable && log.size() <= kLogPathMax)
        s_net.log_path = log;
}

const char* netprof_log_path() { return s_net.log_path.c_str(); }

static const char* line_format(uint32_t kind)
{
    switch (kind) {
    case kTransferDiskRead:
        return "INET_READ_FILE        BytesRead = %ld    Seconds = %5.3lf  Bandwidth(bytes/sec) = %5.1lf";
    case kTransferUrl:
        return "INET_URL_TRANSFER     BytesRead = %ld    Seconds = %5.3lf  Bandwidth(bytes/sec) = %5.1lf";
    case kTransferInet:
        return "NETPROF_INET_TRANSFER BytesRead = %ld    Seconds = %5.3lf  Bandwidth(bytes/sec) = %5.1lf";
    case kTransferUrlConnect:
        return "INET_URL_CONNECT      Connections = %ld  Seconds = %5.3lf  Connections/second = %5.1lf";
    default:
        return nullptr;
    }
}

void netprof_write_log()
{
    if (s_net.log_path.empty())
        return;
    std::string text;
    for (const TransferCounter& c : s_net.counters) {
        const char* format = line_format(c.kind);
        if (!format)
            continue;
        double seconds = double(uint32_t(uint64_t(c.elapsed))) * 0.001;
        long total = long(total32(c));
        double rate = seconds == 0 ? 0 : double(total) / seconds;
        char line[256];
        std::snprintf(line, sizeof line, format, total, seconds, rate);
        text += line;
        text += '\n';
    }
    FileSpec* spec = nullptr;
    FileHandle file;
    if (fspec_from_path(s_net.log_path.c_str(), &spec) == 0)
        file = file_open_or_create(spec, kFileModeWrite);
    if (file) {
        file_write(file.handle, file.kind, text.data(), int32_t(text.size()), kFileEnd, 0);
        file_close(file.handle, file.kind);
    }
    fspec_free(spec);
}
