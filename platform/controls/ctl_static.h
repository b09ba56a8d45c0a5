// Static controls ("Static"): text with alignment and word wrap, icons and bitmaps (named by
// the window text at creation, or set with STM_SETICON and STM_SETIMAGE), filled rectangles,
// frames and etched lines, and owner-drawn statics. They take no focus and let clicks through
// to what lies beneath, unless SS_NOTIFY asks for STN_CLICKED and STN_DBLCLK.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

namespace plat {

enum : uint32_t {
    STM_SETICON = 0x0170,
    STM_GETICON = 0x0171,
    STM_SETIMAGE = 0x0172,
    STM_GETIMAGE = 0x0173,
};

enum : uint32_t {
    STN_CLICKED = 0,
    STN_DBLCLK = 1,
};

// For the layer: the class's window procedure, and forgetting every static's state (tests).
LResult static_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
void static_reset();

} // namespace plat
