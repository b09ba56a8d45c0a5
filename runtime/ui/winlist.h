// The runtime's own windows besides the presentation window (dialogs, file dialogs, tool
// windows) in the order they were listed, found by window or by kind; and the tool windows
// (windoids): a small caption with a close box, hidden while the application is inactive. The
// platform answers as the new shell, whose tool-window captions it draws itself, so the runtime
// only keeps the "Active" state of their frames.
#pragma once
#include <cstdint>

#include "platform/window/message.h"

// Start-up: an empty list; answers 1.
int win_list_init();
void win_list_reset();
void win_list_add(plat::WindowHandle window, uint16_t kind, void* object);
void win_list_remove(plat::WindowHandle window);
// The object and kind of a listed window; null and 0 when it is not listed.
void* win_list_object(plat::WindowHandle window);
uint16_t win_list_kind(plat::WindowHandle window);
// The first listed window of the kind; null when none.
plat::WindowHandle win_list_find_kind(uint16_t kind);
// Visits the presentation window's children from the bottom of the z-order up; for each listed
// one calls visit (window, kind, object, data); the first window whose visit answers 0, else null.
using WinListVisit = int (*)(plat::WindowHandle window, uint16_t kind, void* object, void* data);
plat::WindowHandle win_list_walk(WinListVisit visit, void* data);

// Tool-window metrics: the small caption of the non-client metrics; the border width + 2 at
// the sides and + 3 at the bottom.
int windoid_caption_height();
int windoid_frame_width();
int windoid_frame_height();
// Reads the caption height again (start-up, and when the settings change).
void windoid_update_metrics();
// Whether the window is a tool window ("Windoid" set).
bool windoid_is(plat::WindowHandle window);
// The default procedure of tool windows.
plat::LResult windoid_window_proc(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam);
// Non-client messages of tool windows: WM_NCACTIVATE stores "Active" and answers 1,
// WM_NCDESTROY forgets it. True when handled, with the answer in result.
bool windoid_nc_message(plat::WindowHandle window, uint32_t message, plat::WParam wparam, plat::LParam lparam,
    plat::LResult& result);
// For the presentation window's WM_NCACTIVATE: a deactivation in favour of a tool window
// answers 1 and ends the message, so the presentation window stays drawn active.
bool windoid_keeps_owner_active(plat::WindowHandle window, plat::WParam wparam, plat::LParam lparam, plat::LResult& result);
