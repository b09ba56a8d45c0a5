// Combo boxes ("ComboBox"): a selection field with a button that drops a list down below it
// (a "ComboLBox" popup), either a drop-down list (CBS_DROPDOWNLIST: the field shows the
// selected item) or a drop-down (CBS_DROPDOWN, and CBS_SIMPLE treated alike: the field is an
// edit the user types in). The list follows the mouse while it is down; a click on an item
// chooses it, a click elsewhere or Esc cancels. The keys change the selection at once while
// the list is up (F4 and Alt+Down drop it, Enter chooses, Esc cancels). Items, owner drawing
// and sorting are the list box's (CB_ messages map onto LB_ ones); the parent hears
// CBN_SELCHANGE, CBN_DROPDOWN, CBN_CLOSEUP, CBN_SELENDOK, CBN_SELENDCANCEL, CBN_EDITCHANGE,
// CBN_EDITUPDATE, CBN_SETFOCUS and CBN_KILLFOCUS.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    CB_GETEDITSEL = 0x0140,
    CB_LIMITTEXT = 0x0141,
    CB_SETEDITSEL = 0x0142,
    CB_ADDSTRING = 0x0143,
    CB_DELETESTRING = 0x0144,
    CB_GETCOUNT = 0x0146,
    CB_GETCURSEL = 0x0147,
    CB_GETLBTEXT = 0x0148,
    CB_GETLBTEXTLEN = 0x0149,
    CB_INSERTSTRING = 0x014A,
    CB_RESETCONTENT = 0x014B,
    CB_FINDSTRING = 0x014C,
    CB_SELECTSTRING = 0x014D,
    CB_SETCURSEL = 0x014E,
    CB_SHOWDROPDOWN = 0x014F,
    CB_GETITEMDATA = 0x0150,
    CB_SETITEMDATA = 0x0151,
    CB_GETDROPPEDCONTROLRECT = 0x0152,
    CB_SETITEMHEIGHT = 0x0153,
    CB_GETITEMHEIGHT = 0x0154,
    CB_SETEXTENDEDUI = 0x0155,
    CB_GETEXTENDEDUI = 0x0156,
    CB_GETDROPPEDSTATE = 0x0157,
    CB_FINDSTRINGEXACT = 0x0158,
};

constexpr int32_t CB_OKAY = 0;
constexpr int32_t CB_ERR = -1;
constexpr int32_t CB_ERRSPACE = -2;

enum : uint32_t {
    CBN_SELCHANGE = 1,
    CBN_DBLCLK = 2,
    CBN_SETFOCUS = 3,
    CBN_KILLFOCUS = 4,
    CBN_EDITCHANGE = 5,
    CBN_EDITUPDATE = 6,
    CBN_DROPDOWN = 7,
    CBN_CLOSEUP = 8,
    CBN_SELENDOK = 9,
    CBN_SELENDCANCEL = 10,
};

// The id of a combo box's own edit.
constexpr int kComboEditId = 1001;

// For the layer: the class's window procedure; what the drop-down list reports; forgetting
// every combo box's state (tests).
LResult combo_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
enum class ComboListEvent { chosen, cancelled };
void combo_list_event(WindowHandle combo, ComboListEvent event);
void combo_reset();

} // namespace plat
