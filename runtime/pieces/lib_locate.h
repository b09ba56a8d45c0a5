// The Find Library dialog: the open dialog on template 1001, whose item 200 names the library.
#pragma once
#include "runtime/files/fspec.h"

// 1 when the learner chose a file for the library (*out: a new spec the caller frees); 0 for
// Cancel.
int lib_locate(const char* library_name, FileSpec** out);
