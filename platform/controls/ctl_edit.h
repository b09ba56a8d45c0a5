// Single-line edit controls ("Edit"): text in the active code page (a double-byte character
// is never split), a selection shown in the highlight colours and a blinking caret while it
// has the focus, scrolled sideways to keep the caret in view; keys (arrows, Ctrl+arrows by
// word, Home, End, Shift to select, Backspace, Delete, Ctrl+A/C/X/V/Z, Shift+Delete,
// Ctrl+Insert, Shift+Insert), the mouse (click, drag, double click for a word, Shift+click),
// the clipboard, one level of undo, a text limit, read-only and password fields, and the
// notifications EN_SETFOCUS, EN_KILLFOCUS, EN_UPDATE, EN_CHANGE and EN_MAXTEXT.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    EM_GETSEL = 0x00B0,
    EM_SETSEL = 0x00B1,
    EM_GETRECT = 0x00B2,
    EM_SCROLLCARET = 0x00B7,
    EM_GETMODIFY = 0x00B8,
    EM_SETMODIFY = 0x00B9,
    EM_GETLINECOUNT = 0x00BA,
    EM_LINEINDEX = 0x00BB,
    EM_LINELENGTH = 0x00C1,
    EM_REPLACESEL = 0x00C2,
    EM_GETLINE = 0x00C4,
    EM_LIMITTEXT = 0x00C5,
    EM_SETLIMITTEXT = 0x00C5,
    EM_CANUNDO = 0x00C6,
    EM_UNDO = 0x00C7,
    EM_LINEFROMCHAR = 0x00C9,
    EM_SETPASSWORDCHAR = 0x00CC,
    EM_EMPTYUNDOBUFFER = 0x00CD,
    EM_GETFIRSTVISIBLELINE = 0x00CE,
    EM_SETREADONLY = 0x00CF,
    EM_GETPASSWORDCHAR = 0x00D2,
    EM_GETLIMITTEXT = 0x00D5,
    EM_POSFROMCHAR = 0x00D6,
    EM_CHARFROMPOS = 0x00D7,
};

enum : uint32_t {
    EN_SETFOCUS = 0x0100,
    EN_KILLFOCUS = 0x0200,
    EN_CHANGE = 0x0300,
    EN_UPDATE = 0x0400,
    EN_MAXTEXT = 0x0501,
};

// The limit a new edit starts with, and the one EM_LIMITTEXT 0 sets (no limit in practice).
constexpr uint32_t kEditDefaultLimit = 32767;
constexpr uint32_t kEditNoLimit = 0x7FFFFFFE;

// For the layer: the class's window procedure, and forgetting every edit's state (tests).
LResult edit_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
void edit_reset();

} // namespace plat
