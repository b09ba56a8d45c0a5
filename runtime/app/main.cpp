// svrun32's entry: picks the platform's backend, then runs the program as its WinMain would,
// with the command line's words joined into one tail.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/backend/backend.h"
#include "platform/window/winpos.h"
#include "runtime/app/app.h"
#ifdef STORVEL_TEST_HOOKS
#include "runtime/app/app_test_hook.h"
#endif

int main(int argc, char** argv)
{
    std::string error;
    if (!plat::backend_start_for_program(error)) {
        std::fprintf(stderr, "svrun32: %s\n", error.c_str());
        return 2;
    }
    std::string tail;
    for (int i = 1; i < argc; i++) {
        if (i > 1)
            tail += ' ';
        tail += argv[i];
    }
#ifdef STORVEL_TEST_HOOKS
    app_test_hook_install();
#endif
    return app_main(tail.c_str(), plat::SW_SHOWNORMAL);
}
