// Instances: several svrun32 may run at once, each with a main window of class SVXMainClass.
// Before one opens a piece, a library or a learner's records file, it asks every such window
// (its own included) whether the file is open there: message WM_USER+12 whose wparam is a
// global atom holding the file's path; the answer is the message's result.
#pragma once
#include "platform/kernel/atom.h"
#include "platform/window/message.h"
#include "runtime/files/fspec.h"

constexpr uint32_t kMsgFileQuestion = plat::WM_USER + 12;
constexpr const char* kMainWindowClass = "SVXMainClass";

// Answers to the question (low 16 bits of the result).
enum : int {
    kAnswerReadOnly = 0, // open here, read-only
    kAnswerWritable = 1, // open here, writable
    kAnswerNotOpen = 2,
    kAnswerUnusable = 3, // the atom named no usable file: counts as not open
};

// 0 free, 32 in use, 1118 (also the last error) for an unusable spec. strictness 0 counts
// only writable use; any other value read-only use too. A window that does not answer (a
// failed or timed-out send) counts as not having the file.
int file_open_in_other_instance(const FileSpec* spec, int strictness);

// This instance's answer for a file: the piece's slot, then the learner's records (slot 23
// under the piece's records spec), then the open libraries.
int piece_file_in_use(const FileSpec* spec);
// The answer to the question's atom (the main window procedure's result).
int piece_answer_file_question(plat::Atom atom);
