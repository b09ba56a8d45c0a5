// Scroll bars: the scroll bar control ("ScrollBar", SBS_HORZ or SBS_VERT) and the scroll bars
// of windows with WS_HSCROLL or WS_VSCROLL, drawn in the non-client area the frame leaves for
// them. Both keep a range, a page and a position (SetScrollInfo and its older forms) and
// follow the mouse as Win32 does: the arrows and the track repeat while held (400 ms, then
// every 50 ms) and send SB_LINE... and SB_PAGE... codes, the thumb is dragged with
// SB_THUMBTRACK and let go with SB_THUMBPOSITION, and every press ends with SB_ENDSCROLL, as
// WM_HSCROLL or WM_VSCROLL to the owner (the parent of a control, with the control as lparam;
// the window itself for its own bars, lparam 0). A focused control also takes the arrow,
// page, Home and End keys.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/message.h"

namespace plat {

enum : int {
    SB_HORZ = 0,
    SB_VERT = 1,
    SB_CTL = 2,
    SB_BOTH = 3,
};

enum : uint32_t {
    SB_LINEUP = 0,
    SB_LINELEFT = 0,
    SB_LINEDOWN = 1,
    SB_LINERIGHT = 1,
    SB_PAGEUP = 2,
    SB_PAGELEFT = 2,
    SB_PAGEDOWN = 3,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_LEFT = 6,
    SB_BOTTOM = 7,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
};

enum : uint32_t {
    SIF_RANGE = 0x0001,
    SIF_PAGE = 0x0002,
    SIF_POS = 0x0004,
    SIF_DISABLENOSCROLL = 0x0008,
    SIF_TRACKPOS = 0x0010,
    SIF_ALL = 0x0017,
};

enum : uint32_t {
    ESB_ENABLE_BOTH = 0,
    ESB_DISABLE_LTUP = 1,
    ESB_DISABLE_RTDN = 2,
    ESB_DISABLE_BOTH = 3,
};

enum : uint32_t {
    SBM_SETPOS = 0x00E0,
    SBM_GETPOS = 0x00E1,
    SBM_SETRANGE = 0x00E2,
    SBM_GETRANGE = 0x00E3,
    SBM_ENABLE_ARROWS = 0x00E4,
    SBM_SETRANGEREDRAW = 0x00E6,
    SBM_SETSCROLLINFO = 0x00E9,
    SBM_GETSCROLLINFO = 0x00EA,
};

// SCROLLINFO.
struct ScrollInfo {
    uint32_t mask = SIF_ALL;
    int32_t min = 0;
    int32_t max = 0;
    uint32_t page = 0;
    int32_t pos = 0;
    int32_t track_pos = 0; // where the thumb is while it is dragged
};

// SetScrollInfo: the fields the mask names; the page is kept within the range and the position
// within min .. max - page + 1. Answers the new position.
int32_t set_scroll_info(WindowHandle window, int bar, const ScrollInfo& info, bool redraw);
bool get_scroll_info(WindowHandle window, int bar, ScrollInfo& info);
// SetScrollPos: the previous position.
int32_t set_scroll_pos(WindowHandle window, int bar, int32_t pos, bool redraw);
int32_t get_scroll_pos(WindowHandle window, int bar);
bool set_scroll_range(WindowHandle window, int bar, int32_t min, int32_t max, bool redraw);
bool get_scroll_range(WindowHandle window, int bar, int32_t* min, int32_t* max);
// ShowScrollBar: a window's own bars come and go with its WS_HSCROLL and WS_VSCROLL styles.
bool show_scroll_bar(WindowHandle window, int bar, bool show);
bool enable_scroll_bar(WindowHandle window, int bar, uint32_t arrows);

// For the layer: the control's window procedure; the window bars' painting (after the frame)
// and tracking (WM_NCLBUTTONDOWN on HTHSCROLL or HTVSCROLL); forgetting every bar (tests).
LResult scrollbar_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
void scrollbar_paint_nonclient(WindowHandle window);
void scrollbar_track_nonclient(WindowHandle window, int32_t hit, Point screen);
void scrollbar_reset();

} // namespace plat
