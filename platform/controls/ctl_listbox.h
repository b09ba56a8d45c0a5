// List boxes ("ListBox"): items of text and data, kept sorted with LBS_SORT, in one column that
// scrolls with the window's vertical scroll bar; single, multiple (LBS_MULTIPLESEL: a click
// toggles) and extended selection (LBS_EXTENDEDSEL: Shift extends, Ctrl toggles); owner-drawn
// items of one height (LBS_OWNERDRAWFIXED, measured once) or each their own
// (LBS_OWNERDRAWVARIABLE), drawn by the owner through WM_DRAWITEM; the keys (arrows, page
// keys, Home, End, Space, a letter jumps to the next item starting with it) and the mouse.
// LBN_SELCHANGE and LBN_DBLCLK come with LBS_NOTIFY; LBN_SETFOCUS and LBN_KILLFOCUS always.
// The drop-down list of a combo box ("ComboLBox") is a list box that reports to its combo.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    LB_ADDSTRING = 0x0180,
    LB_INSERTSTRING = 0x0181,
    LB_DELETESTRING = 0x0182,
    LB_SELITEMRANGEEX = 0x0183,
    LB_RESETCONTENT = 0x0184,
    LB_SETSEL = 0x0185,
    LB_SETCURSEL = 0x0186,
    LB_GETSEL = 0x0187,
    LB_GETCURSEL = 0x0188,
    LB_GETTEXT = 0x0189,
    LB_GETTEXTLEN = 0x018A,
    LB_GETCOUNT = 0x018B,
    LB_SELECTSTRING = 0x018C,
    LB_GETTOPINDEX = 0x018E,
    LB_FINDSTRING = 0x018F,
    LB_GETSELCOUNT = 0x0190,
    LB_GETSELITEMS = 0x0191,
    LB_SETTABSTOPS = 0x0192,
    LB_SETTOPINDEX = 0x0197,
    LB_GETITEMRECT = 0x0198,
    LB_GETITEMDATA = 0x0199,
    LB_SETITEMDATA = 0x019A,
    LB_SELITEMRANGE = 0x019B,
    LB_SETANCHORINDEX = 0x019C,
    LB_GETANCHORINDEX = 0x019D,
    LB_SETCARETINDEX = 0x019E,
    LB_GETCARETINDEX = 0x019F,
    LB_SETITEMHEIGHT = 0x01A0,
    LB_GETITEMHEIGHT = 0x01A1,
    LB_FINDSTRINGEXACT = 0x01A2,
    LB_ITEMFROMPOINT = 0x01A9,
};

constexpr int32_t LB_OKAY = 0;
constexpr int32_t LB_ERR = -1;
constexpr int32_t LB_ERRSPACE = -2;

enum : uint32_t {
    LBN_ERRSPACE = uint32_t(-2),
    LBN_SELCHANGE = 1,
    LBN_DBLCLK = 2,
    LBN_SELCANCEL = 3,
    LBN_SETFOCUS = 4,
    LBN_KILLFOCUS = 5,
};

// Items past this many are refused with LB_ERRSPACE: no list the programs fill comes near.
constexpr int32_t kListMaxItems = 32767;

// For the layer: the class's window procedure (ListBox and ComboLBox), and forgetting every
// list's state (tests).
LResult listbox_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
void listbox_reset();

} // namespace plat
