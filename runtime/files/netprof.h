// Transfer profiling: how many bytes the runtime read from disk files and internet transfers,
// how many internet connections it made, and how long each took. Pieces read and reset the
// counts; with a switch file NETPROF.on beside the program the totals are appended to
// NETPROF.txt there when the piece quits, one LF-ended line per counter:
//   INET_READ_FILE        BytesRead = %ld    Seconds = %5.3lf  Bandwidth(bytes/sec) = %5.1lf
//   INET_URL_TRANSFER     BytesRead = ...     (kind 1; kind 2: NETPROF_INET_TRANSFER)
//   INET_URL_CONNECT      Connections = %ld  Seconds = %5.3lf  Connections/second = %5.1lf
// Counters are listed newest first; totals are 32-bit.
#pragma once
#include <cstdint>

// Kinds of counter.
enum : uint32_t {
    kTransferDiskRead = 0,
    kTransferUrl = 1,
    kTransferInet = 2,
    kTransferUrlConnect = 4,
};

// What netprof_query answers.
enum : int {
    kQueryRate = 0, // total per second, clamped to the 32-bit range
    kQueryTotal = 1,
    kQueryElapsed = 2, // milliseconds
};

// Decides the log path: NETPROF.txt in folder (null: the program's folder) when NETPROF.on
// can be read there, else no log.
void netprof_init(const char* folder);
// A timer for the transfer of a file handle; netprof_timer_add adds amount to it (starting it
// when there is none); netprof_timer_end adds and ends it.
void netprof_timer_start(uint32_t kind, uint32_t file);
void netprof_timer_add(uint32_t kind, uint32_t file, int32_t amount);
void netprof_timer_end(uint32_t kind, uint32_t file, int32_t amount);
// 0 for a kind that was never counted (its counter is then made, empty).
int32_t netprof_query(uint32_t kind, int what);
void netprof_reset(uint32_t kind);
// Removes every counter.
void netprof_clear();
// Appends the totals to the log; nothing without one or when it cannot be opened.
void netprof_write_log();
// The log's path, "" without one (tests).
const char* netprof_log_path();
