// calcrun: compiles a calculation and runs it with a table of its own variables; see README.md.
#include <cstdio>
#include <string>

#include "runtime/base/symdict.h"
#include "runtime/calc/list_table.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/text/intl.h"
#include "tools/calcrun/calcrun_main.h"

int main(int argc, char** argv)
{
    if (symdict_create() != 0 || !list_tables_init() || !sysfn_build_table()) {
        std::fputs("calcrun: out of memory\n", stderr);
        return 2;
    }
    intl_init();
    std::string out, err;
    int status = calcrun_main(argc, argv, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    sysfn_reset();
    list_tables_free();
    symdict_release();
    return status;
}
