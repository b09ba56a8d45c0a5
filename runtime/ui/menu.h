// Presentation menus: a menu bar or pop-up as the window system's menu plus the runtime's own
// list of its items (state, accelerator key, label), so that items are found by id or by key
// and changed without asking the window system. An item's window-system position is its place
// in the list. The bar can carry the system menu as its item 0x7fff (a bitmap), and the
// presentation window shows or hides the bar.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/window/message.h"
#include "platform/window/window_types.h"
#include "runtime/base/key.h"

constexpr int kMenuSystemItem = 0x7fff;
constexpr int kMenuTextSize = 60; // a label of at most 59 bytes and its NUL

enum : uint16_t {
    kMenuItemDisabled = 0x0001, // grayed
    kMenuItemChecked = 0x0002,
};

struct MenuItem {
    uint16_t state = 0;
    KeyCode key = 0; // 0: none
    char text[kMenuTextSize] = {};
};

// One item of a list; an item that opens a pop-up keeps the pop-up's items with it.
struct MenuEntry {
    int32_t id = 0;
    MenuItem item;
    bool has_popup = false;
    std::vector<MenuEntry> popup;
};

struct MenuRecord;
using MenuCommand = void (*)(MenuRecord& menu, int id);

struct MenuRecord {
    plat::MenuHandle menu;
    std::vector<MenuEntry> items;
    MenuCommand command = nullptr;
};

// What layers above fill at start-up; empty hooks do nothing (no engine menu bar, no system
// glyph).
struct MenuHooks {
    void (*bar_attach)(int attach) = nullptr;        // the engine's pull-down menus
    plat::GdiObject (*system_bitmap)() = nullptr;    // the glyph of the system-menu item
};
void menu_set_hooks(const MenuHooks* hooks);

// Start-up: answers 1.
int menu_init();
// Forgets the bar state and the glyph (tests).
void menu_reset();

// A menu bar with an empty list; 0 when the window system has no menu to give.
int menu_create(MenuRecord& menu, MenuCommand command);
// Destroys the window-system menu and empties the record.
void menu_free(MenuRecord& menu);
// Appends an item (ids 1 to 0x7fff; 0 otherwise): its label cut to 59 bytes, a tab and the
// key's name when the key is given and the whole fits; "-" or a label beginning "(-" is a
// separator; with popup the item opens it and takes its items (the popup record is emptied);
// id 0x7fff shows the system glyph. 1, or 0 when nothing was appended.
int menu_append_item(MenuRecord& menu, int id, uint16_t state, const char* text, KeyCode key, MenuRecord* popup);
// Appends the system menu of the presentation window as item 0x7fff: separators become "-"
// items numbered down from 0x7ffe, other items keep their ids and labels.
int menu_add_system_menu(MenuRecord& menu);
// A new pop-up holding copies of the items of id's pop-up (items opening further pop-ups are
// left out); 1 when id has a pop-up.
int menu_get_popup(const MenuRecord& menu, int id, MenuRecord& out);
// The item id opens popup from now on, keeping its label and state; the popup record is emptied.
int menu_set_popup(MenuRecord& menu, int id, MenuRecord& popup);

// The window-system position of id: its place in the list; -1 when it is not there.
int menu_position(const MenuRecord& menu, int id);
uint16_t menu_item_state(const MenuRecord& menu, int id);
// Stores the state and shows it: grayed, and the check mark.
void menu_set_item_state(MenuRecord& menu, int id, uint16_t state);
int menu_has_item(const MenuRecord& menu, int id);
void menu_delete_item(MenuRecord& menu, int id);
void menu_clear(MenuRecord& menu);
// Calls visit for each item of the bar itself (not of its pop-ups).
using MenuVisit = void (*)(int id, const MenuItem& item, void* a, void* b);
void menu_enum_items(const MenuRecord& menu, MenuVisit visit, void* a, void* b);
// The first enabled item, in list order and into pop-ups, whose key is key; 0 when none.
int menu_find_key(const MenuRecord& menu, KeyCode key);

// The bar goes onto the presentation window (which gets its caption) or off it.
void menu_attach(MenuRecord& menu, plat::WindowHandle window);
void menu_detach(plat::WindowHandle window);
void menu_redraw_bar(plat::WindowHandle window);
plat::MenuHandle menu_get_handle(plat::WindowHandle window);
void menu_destroy_handle(plat::MenuHandle menu);

// Shows or hides the presentation window's bar: the stage moves below it when the window keeps
// its size, else the window grows or shrinks by the bar's height.
void menu_show_bar(int shown, int keep_window_size);
int menu_bar_state();
// The width of the system glyph; 0 before it exists.
int menu_system_glyph_width();
