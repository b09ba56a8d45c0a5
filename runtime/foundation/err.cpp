#include "runtime/foundation/err.h"

void err_internal(const char* module, int line) { plat::raise_internal_error(module, line); }
int err_write_log(const char*, const char*) { return 0; }
const char* msg_error_text(int32_t) { return ""; }
const char* msg_runtime_error_text(int32_t) { return ""; }
void err_set_log_context(ErrContextText, ErrContextText) { }
void err_reset() { }
