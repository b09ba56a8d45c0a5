// Internal errors, the texts of error codes, and the error log V5W.LOG.
//
// How the program uses it: any module that finds one of the runtime's own invariants broken
// calls err_internal(module, line). That shows the task-modal "Internal Error" box with
// "module, line", appends an entry to V5W.LOG in the Windows folder when [Debug] ShowErrors
// starts with Y, T or 1, and then throws plat::InternalError{module, line}. The program's entry
// function catches plat::InternalError once (the recovery point), shuts down in order and exits
// with code 0; nothing resumes. Code that runs before the recovery point exists catches it too
// and exits at once, without the shutdown. err_internal needs nothing started: without the
// settings file the log stays off, without a window the box has no owner. The modules that open
// a piece and the learner's records tell the log what they hold through err_set_log_context.
#pragma once
#include "platform/kernel/internal_error.h"

#include <cstdint>
#include <string>

// Shows the box, logs the entry, then throws plat::InternalError{module, line}. The module
// is the short source-module name the entry names ("main2_w", "message"); keep it a literal.
[[noreturn]] void err_internal(const char* module, int line);

// Appends "+++ category: text" and the context lines to V5W.LOG when [Debug] ShowErrors asks
// for it: 1 when written (or a write is already under way), 0 when logging is off.
int err_write_log(const char* category, const char* text);

// The short English text of a Windows error code; codes it does not know go on to
// msg_runtime_error_text. Valid until the next call of the same function.
const char* msg_error_text(int32_t code);
// The text of one of the runtime's own codes (5000 file damaged ...), "unknown error (N)"
// for a code it does not know. Valid until the next call of the same function.
const char* msg_runtime_error_text(int32_t code);

// What the log's context lines say about the open piece and the learner's records: each
// function answers the full path of the piece file / the stored path of the records file, or
// "" while none is open. Null functions leave the lines out.
using ErrContextText = std::string (*)();
void err_set_log_context(ErrContextText course_path, ErrContextText records_path);

// Forgets the context functions and the in-progress flag (tests).
void err_reset();
