// Menus as data: menus and pop-ups of items (text or bitmap, command id, state bits, a pop-up
// under an item), each window's system menu and a top-level window's menu bar, with Win32's
// calls and flags. Drawing the bar and tracking pull-downs is controls/menu_track's work; it
// reads the menus through menu_item_at. A window's system menu is made on first request with
// the standard commands and goes away with the window.
#pragma once
#include <cstdint>
#include <string>

#include "platform/window/message.h"
#include "platform/kernel/resource_forms.h"
#include "platform/window/window_types.h"

namespace plat {

// Item flags and states (MF_*), with Win32's values; the state bits that menu templates
// store too (MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_POPUP, MF_SEPARATOR) are in
// kernel/resource_forms.h.
enum : uint32_t {
    MF_BYCOMMAND = 0x0000,
    MF_ENABLED = 0x0000,
    MF_STRING = 0x0000,
    MF_UNCHECKED = 0x0000,
    MF_BITMAP = 0x0004,
    MF_HILITE = 0x0080,       // WM_MENUSELECT: the item is highlighted
    MF_BYPOSITION = 0x0400,
    MF_SYSMENU = 0x2000,      // WM_MENUSELECT: the item is in the system menu
    MF_MOUSESELECT = 0x8000,  // WM_MENUSELECT: chosen with the mouse
};
// What get_menu_state answers for an item that is not there.
constexpr uint32_t kMenuNoItem = 0xFFFFFFFF;
constexpr uint32_t ERROR_INVALID_MENU_HANDLE = 1401;
constexpr uint32_t ERROR_CHILD_WINDOW_MENU = 1436;
constexpr uint32_t ERROR_MENU_ITEM_NOT_FOUND = 1456;

MenuHandle create_menu();
MenuHandle create_popup_menu();
// Destroys the menu and the pop-ups under its items; false with 1401 for an unknown handle.
bool destroy_menu(MenuHandle menu);
bool is_menu(MenuHandle menu);

// AppendMenu: a string item (text copied), a separator, or with MF_POPUP the pop-up whose
// handle is id. False with 1401 for an unknown menu.
bool append_menu(MenuHandle menu, uint32_t flags, uintptr_t id, const char* text);
// The same with MF_BITMAP: the item shows the bitmap in place of a text.
bool append_menu(MenuHandle menu, uint32_t flags, uintptr_t id, GdiObject bitmap);
// ModifyMenu: the item (by command or by position) becomes what the flags, id and text say, as
// append_menu makes items; a pop-up that was under it and is not kept is destroyed. False with
// 1456 when there is no such item.
bool modify_menu(MenuHandle menu, uint32_t item, uint32_t flags, uintptr_t id, const char* text);
bool modify_menu(MenuHandle menu, uint32_t item, uint32_t flags, uintptr_t id, GdiObject bitmap);
// CheckMenuItem: MF_CHECKED or MF_UNCHECKED (with MF_BYPOSITION); the previous check bit,
// kMenuNoItem when there is no such item.
uint32_t check_menu_item(MenuHandle menu, uint32_t item, uint32_t check);
// DeleteMenu: removes the item (by command or by position) and destroys a pop-up under it.
// False with 1456 when there is no such item.
bool delete_menu(MenuHandle menu, uint32_t item, uint32_t flags);
// GetMenuItemCount: -1 with 1401 for an unknown menu.
int get_menu_item_count(MenuHandle menu);
// GetMenuItemID: the command of the item at position; 0 for a separator, 0xFFFFFFFF for a
// pop-up or a position past the end.
uint32_t get_menu_item_id(MenuHandle menu, int position);
// GetMenuState: the item's flags (MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_SEPARATOR, MF_POPUP);
// kMenuNoItem when there is no such item.
uint32_t get_menu_state(MenuHandle menu, uint32_t item, uint32_t flags);
// GetMenuString: the item's text cut to size - 1 bytes and terminated; its length.
int get_menu_string(MenuHandle menu, uint32_t item, char* buffer, int size, uint32_t flags);
// EnableMenuItem: MF_ENABLED, MF_GRAYED or MF_DISABLED; the previous state bits of the item,
// kMenuNoItem when there is none.
uint32_t enable_menu_item(MenuHandle menu, uint32_t item, uint32_t enable);

// GetSystemMenu: the window's own copy of the system menu, made on first call; revert drops
// the copy (the next call makes a fresh one) and answers null. Null for a window without
// WS_SYSMENU or that does not exist.
MenuHandle get_system_menu(WindowHandle window, bool revert);

// SetMenu: the top-level window's menu bar (null takes it away; the old menu is not destroyed);
// the frame is computed again. False with 1436 for a child window, 1401 for an unknown menu.
bool set_menu(WindowHandle window, MenuHandle menu);
// GetMenu: null for a child window or one without a bar.
MenuHandle get_menu(WindowHandle window);
// DrawMenuBar: draws the window's bar again after its items changed.
bool draw_menu_bar(WindowHandle window);

// For the menu bar and pull-downs: one item as it is stored.
struct MenuItemInfo {
    uint32_t flags = 0; // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_POPUP, MF_SEPARATOR, MF_BITMAP
    uint32_t id = 0;
    std::string text;
    MenuHandle popup;
    GdiObject bitmap;
};
// False for an unknown menu or a position past the end.
bool menu_item_at(MenuHandle menu, int position, MenuItemInfo& out);

// Forgets every menu (tests call it between cases).
void menu_reset();

} // namespace plat
