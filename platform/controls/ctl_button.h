// Button controls ("Button"): push buttons (the default one framed in black), check boxes and
// three-state boxes, radio buttons, group boxes and owner-drawn buttons, with Win32's mouse
// and Space-key behaviour: a button is pressed while the mouse held on it stays over it, and
// a release over it (or of Space) clicks it: automatic kinds change their check (an automatic
// radio button unchecks the others of its group) and the parent gets BN_CLICKED.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,
    BM_GETSTATE = 0x00F2,
    BM_SETSTATE = 0x00F3,
    BM_SETSTYLE = 0x00F4,
    BM_CLICK = 0x00F5,
    BM_GETIMAGE = 0x00F6,
    BM_SETIMAGE = 0x00F7,
};

enum : uint32_t {
    BST_UNCHECKED = 0,
    BST_CHECKED = 1,
    BST_INDETERMINATE = 2,
    BST_PUSHED = 4,
    BST_FOCUS = 8,
};

enum : uint32_t {
    BN_CLICKED = 0,
    BN_DOUBLECLICKED = 5,
    BN_SETFOCUS = 6,
    BN_KILLFOCUS = 7,
};

// For the layer: the class's window procedure, and forgetting every button's state (tests).
LResult button_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
void button_reset();

} // namespace plat
