// Menus as data: menus and pop-ups of items (text, command id, state bits, a pop-up under an
// item) and each window's system menu, with Win32's calls and flags. Nothing here draws a
// menu or tracks the mouse in one; the layers that show menus read them through these calls.
// A window's system menu is made on first request with the standard commands and goes away
// with the window.
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
    MF_BYPOSITION = 0x0400,
};
// What get_menu_state answers for an item that is not there.
constexpr uint32_t kMenuNoItem = 0xFFFFFFFF;
constexpr uint32_t ERROR_INVALID_MENU_HANDLE = 1401;
constexpr uint32_t ERROR_MENU_ITEM_NOT_FOUND = 1456;

MenuHandle create_menu();
MenuHandle create_popup_menu();
// Destroys the menu and the pop-ups under its items; false with 1401 for an unknown handle.
bool destroy_menu(MenuHandle menu);
bool is_menu(MenuHandle menu);

// AppendMenu: a string item (text copied), a separator, or with MF_POPUP the pop-up whose
// handle is id. False with 1401 for an unknown menu.
bool append_menu(MenuHandle menu, uint32_t flags, uintptr_t id, const char* text);
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

// Forgets every menu (tests call it between cases).
void menu_reset();

} // namespace plat
