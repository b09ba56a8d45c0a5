// calcrun's work, callable from tests: the caller has made the symbol dictionary, the list
// tables and the system-function table; everything else is set up and put back here.
#pragma once
#include <string>

enum : int {
    kCalcrunOk = 0,
    kCalcrunCompileError = 1,
    kCalcrunBadArguments = 2,
    kCalcrunStopped = 3,
};

// Runs calcrun with its command line; standard output goes to out, complaints to err.
int calcrun_main(int argc, char** argv, std::string& out, std::string& err);
