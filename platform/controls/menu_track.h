// A window's menu bar in its non-client area and the modal loop that tracks it: pull-downs are
// pop-up windows of the menu class, opened by clicks on the bar, by Alt or F10 and the arrows,
// Enter and mnemonics, and by Alt+Space or the caption's system box for the system menu. The
// owner hears WM_INITMENU, WM_INITMENUPOPUP and WM_MENUSELECT as Win32 sends them; a chosen
// item posts WM_COMMAND (WM_SYSCOMMAND from the system menu) once the menus are gone. The log
// says `menu opened "NAME"` for each pull-down, `menu chose "TEXT"` and `menu closed`; the
// pull-downs themselves are not logged as windows.
#pragma once
#include <cstdint>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/window/window_types.h"

namespace plat {

constexpr const char* kMenuClass = "MenuPopup"; // pull-down windows

// For nonclient_paint: the window's bar (area in window coordinates) with its items, the one
// being tracked highlighted.
void menu_bar_paint(WindowHandle window, const Rect& area);

// WM_SYSCOMMAND SC_MOUSEMENU: a press at screen on the bar (HTMENU) or the system box
// (HTSYSMENU) opens what lies under it and tracks the mouse until an item is chosen or the
// menus are cancelled.
void menu_track_mouse(WindowHandle window, int32_t hit, Point screen);
// WM_SYSCOMMAND SC_KEYMENU: key 0 enters the bar (Alt, F10) with its first item highlighted,
// ' ' opens the system menu, another character opens the bar item with that mnemonic. A
// window without a bar only opens its system menu.
void menu_track_keys(WindowHandle window, uint32_t key);

// Whether a menu loop runs.
bool menu_tracking();
// The pull-down window class's procedure (registered with the standard classes).
LResult menu_popup_proc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);

} // namespace plat
