// The about box: a self-drawn popup with the runtime's picture and version line that closes by
// itself after 3 s or at a key or click; and the version line itself.
#pragma once
#include "platform/window/message.h"
#include "platform/window/window_types.h"

// Shows the box modally over the presentation window; a beep when it cannot be made.
void dlg_about();
// The class procedure of SVAbout.
plat::LResult dlg_about_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam);
// The runtime's version line with the processor word; its length.
int dlg_version_string(char* buffer, int size);
