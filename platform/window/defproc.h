// DefWindowProc: the default processing of the messages programs pass on. Window text lives
// here (WM_NCCREATE, WM_SETTEXT, WM_GETTEXT); the frame is computed, hit-tested and drawn;
// WM_ERASEBKGND fills with the class brush; WM_CLOSE destroys the window; WM_SYSCOMMAND
// closes, minimises, maximises, restores and moves (a drag of the caption); clicks on caption
// buttons are tracked; activation gives the focus; WM_SETCURSOR and WM_MOUSEACTIVATE ask the
// parent first.
#pragma once
#include <string_view>

#include "platform/window/message.h"

namespace plat {

LResult def_window_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);

// Copies text of the active code page into a buffer of size bytes, cut without splitting a
// double-byte character, NUL-terminated; answers the bytes copied (WM_GETTEXT's rule).
int defproc_copy_text(std::string_view text, char* buffer, int size);

} // namespace plat
