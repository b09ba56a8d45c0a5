// What the screens and dialogs ask of the tutor's shell, which fills this table at start-up.
// An empty entry does nothing: without a shell there is no companion to start and no
// keyboard automaton to switch.
#pragma once

#include "platform/window/message.h"
#include "platform/window/window_types.h"

struct TutorHooks {
    void (*companion_show)() = nullptr; // start the help program or bring it to the front
    void (*automaton_reselect)() = nullptr; // the Hangul table follows Keyboard after options
    void (*intro_gone)(plat::WindowHandle intro) = nullptr; // the intro window was destroyed
};

void tutor_hooks_set(const TutorHooks& hooks);
const TutorHooks& tutor_hooks();
void tutor_hooks_reset();
