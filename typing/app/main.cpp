// qkt32's entry: picks the platform's backend, then runs the tutor as its WinMain would, with
// the command line's words joined into one tail.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/backend/backend.h"
#include "platform/kernel/internal_error.h"
#include "platform/window/winpos.h"
#include "typing/automaton.h"
#include "typing/lesson_screen.h"
#include "typing/lessons.h"
#include "typing/multi_input.h"
#include "typing/practice_texts.h"
#include "typing/shell.h"
#include "typing/story_catalog.h"

int main(int argc, char** argv)
{
    std::string error;
    if (!plat::backend_start_for_program(error)) {
        std::fprintf(stderr, "qkt32: %s\n", error.c_str());
        return 2;
    }
    std::string tail;
    for (int i = 1; i < argc; i++) {
        if (i > 1)
            tail += ' ';
        tail += argv[i];
    }
    // The modules of the later screens join here as they come.
    ShellHooks hooks;
    hooks.controls_register = multi_input_register;
    hooks.automaton_reselect = automaton_reselect;
    hooks.lessons_decode = lessons_decode_hook;
    hooks.lessons_free = lessons_free;
    hooks.word_list_free = word_list_free;
    hooks.proverbs_free = proverb_reset;
    hooks.long_texts_free = story_catalog_free;
    shell_hooks_set(hooks);
    try {
        return tutor_win_main({}, {}, tail.c_str(), plat::SW_SHOWNORMAL);
    } catch (const plat::InternalError&) {
        return 1;
    }
}
