#include "runtime/calc/interp.h"

struct EvalState {
    int error = 0;
};

static EvalState s_eval;

int eval_error() { return s_eval.error; }
void eval_set_error(int code) { s_eval.error = code; }

void eval_reset() { s_eval = EvalState {}; }
