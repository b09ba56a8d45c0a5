// The story chooser: the stories of a language twelve to a page, each as its small picture with
// its file name; a click on one chooses it.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

// The catalogue index of the story clicked, or -1 when the dialog was closed without one.
int32_t story_chooser_run(plat::WindowHandle owner, int32_t language);
