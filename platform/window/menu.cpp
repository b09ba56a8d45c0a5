#include "platform/window/menu.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/slots.h"
#include "platform/window/styles.h"
#include "platform/window/nonclient.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "platform/window/wintree.h"

namespace plat {

namespace {

struct MenuItem {
    uint32_t flags = 0;
    uint32_t id = 0;
    std::string text;
    MenuHandle popup;
    GdiObject bitmap;
};

struct MenuRecord {
    bool is_popup = false;
    std::vector<MenuItem> items;
};

struct MenuState {
    SlotTable<MenuRecord> menus{0x2D1};
    std::unordered_map<uint32_t, MenuHandle> system_menus; // by window id
};

MenuState s_menu;

// The standard commands of a system menu, in Win32's order.
struct SystemItem {
    uint32_t command;
    const char* text;
};
const SystemItem kSystemItems[] = {
    {SC_RESTORE, "&Restore"},
    {SC_MOVE, "&Move"},
    {SC_SIZE, "&Size"},
    {SC_MINIMIZE, "Mi&nimize"},
    {SC_MAXIMIZE, "Ma&ximize"},
    {0, nullptr}, // separator
    {SC_CLOSE, "&Close\tAlt+F4"},
};

} // namespace

static MenuRecord* find_menu(MenuHandle menu)
{
    MenuRecord* record = s_menu.menus.find(menu.id);
    if (!record)
        set_last_error(ERROR_INVALID_MENU_HANDLE);
    return record;
}

// The index of the item, or -1. By command the search goes into pop-ups as Win32's does.
static int find_item(MenuRecord& record, uint32_t item, uint32_t flags, MenuRecord** owner)
{
    *owner = &record;
    if (flags & MF_BYPOSITION)
        return item < record.items.size() ? int(item) : -1;
    for (size_t i = 0; i < record.items.size(); i++) {
        const MenuItem& entry = record.items[i];
        if (!(entry.flags & (MF_POPUP | MF_SEPARATOR)) && entry.id == item)
            return int(i);
        MenuRecord* sub = (entry.flags & MF_POPUP) ? s_menu.menus.find(entry.popup.id) : nullptr;
        if (sub) {
            int found = find_item(*sub, item, flags, owner);
            if (found >= 0)
                return found;
            *owner = &record;
        }
    }
    return -1;
}

static MenuHandle make_menu(bool popup)
{
    MenuRecord record;
    record.is_popup = popup;
    return MenuHandle(s_menu.menus.insert(std::move(record)));
}

MenuHandle create_menu() { return make_menu(false); }
MenuHandle create_popup_menu() { return make_menu(true); }

bool destroy_menu(MenuHandle menu)
{
    MenuRecord* record = find_menu(menu);
    if (!record)
        return false;
    std::vector<MenuItem> items = std::move(record->items);
    s_menu.menus.erase(menu.id);
    for (const MenuItem& item : items) {
        if (item.flags & MF_POPUP)
            destroy_menu(item.popup);
    }
    return true;
}

bool is_menu(MenuHandle menu) { return s_menu.menus.find(menu.id) != nullptr; }

static MenuItem make_item(uint32_t flags, uintptr_t id, const char* text, GdiObject bitmap)
{
    MenuItem item;
    item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR | MF_BITMAP);
    if (flags & MF_POPUP)
        item.popup = MenuHandle(uint32_t(id));
    else if (!(flags & MF_SEPARATOR))
        item.id = uint32_t(id);
    if (flags & MF_SEPARATOR)
        item.flags &= ~uint32_t(MF_BITMAP);
    else if (flags & MF_BITMAP)
        item.bitmap = bitmap;
    else if (text)
        item.text = text;
    return item;
}

static bool append_item(MenuHandle menu, MenuItem item)
{
    MenuRecord* record = find_menu(menu);
    if (!record)
        return false;
    record->items.push_back(std::move(item));
    return true;
}

bool append_menu(MenuHandle menu, uint32_t flags, uintptr_t id, const char* text)
{
    return append_item(menu, make_item(flags & ~uint32_t(MF_BITMAP), id, text, {}));
}

bool append_menu(MenuHandle menu, uint32_t flags, uintptr_t id, GdiObject bitmap)
{
    return append_item(menu, make_item(flags | MF_BITMAP, id, nullptr, bitmap));
}

bool delete_menu(MenuHandle menu, uint32_t item, uint32_t flags)
{
    MenuRecord* record = find_menu(menu);
    if (!record)
        return false;
    MenuRecord* owner = nullptr;
    int index = find_item(*record, item, flags, &owner);
    if (index < 0) {
        set_last_error(ERROR_MENU_ITEM_NOT_FOUND);
        return false;
    }
    MenuItem removed = std::move(owner->items[size_t(index)]);
    owner->items.erase(owner->items.begin() + index);
    if (removed.flags & MF_POPUP)
        destroy_menu(removed.popup);
    return true;
}

int get_menu_item_count(MenuHandle menu)
{
    MenuRecord* record = find_menu(menu);
    return record ? int(record->items.size()) : -1;
}

uint32_t get_menu_item_id(MenuHandle menu, int position)
{
    MenuRecord* record = find_menu(menu);
    if (!record || position < 0 || size_t(position) >= record->items.size())
        return 0xFFFFFFFF;
    const MenuItem& item = record->items[size_t(position)];
    return (item.flags & MF_POPUP) ? 0xFFFFFFFF : item.id;
}

// The item, or null with 1456.
static MenuItem* item_of(MenuHandle menu, uint32_t item, uint32_t flags)
{
    MenuRecord* record = find_menu(menu);
    if (!record)
        return nullptr;
    MenuRecord* owner = nullptr;
    int index = find_item(*record, item, flags, &owner);
    if (index < 0) {
        set_last_error(ERROR_MENU_ITEM_NOT_FOUND);
        return nullptr;
    }
    return &owner->items[size_t(index)];
}

uint32_t get_menu_state(MenuHandle menu, uint32_t item, uint32_t flags)
{
    MenuItem* entry = item_of(menu, item, flags);
    return entry ? entry->flags : kMenuNoItem;
}

int get_menu_string(MenuHandle menu, uint32_t item, char* buffer, int size, uint32_t flags)
{
    MenuItem* entry = item_of(menu, item, flags);
    if (buffer && size > 0)
        buffer[0] = 0;
    if (!entry)
        return 0;
    if (!buffer || size <= 0)
        return int(entry->text.size());
    size_t length = std::min(entry->text.size(), size_t(size - 1));
    std::memcpy(buffer, entry->text.data(), length);
    buffer[length] = 0;
    return int(length);
}

uint32_t enable_menu_item(MenuHandle menu, uint32_t item, uint32_t enable)
{
    MenuItem* entry = item_of(menu, item, enable & MF_BYPOSITION);
    if (!entry)
        return kMenuNoItem;
    uint32_t previous = entry->flags & (MF_GRAYED | MF_DISABLED);
    entry->flags = (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

static bool replace_item(MenuHandle menu, uint32_t item, uint32_t flags, MenuItem replacement)
{
    MenuItem* entry = item_of(menu, item, flags & MF_BYPOSITION);
    if (!entry)
        return false;
    MenuHandle old_popup = (entry->flags & MF_POPUP) ? entry->popup : MenuHandle();
    *entry = std::move(replacement);
    bool kept = (entry->flags & MF_POPUP) && entry->popup == old_popup;
    if (old_popup && !kept)
        destroy_menu(old_popup);
    return true;
}

bool modify_menu(MenuHandle menu, uint32_t item, uint32_t flags, uintptr_t id, const char* text)
{
    return replace_item(menu, item, flags, make_item(flags & ~uint32_t(MF_BITMAP), id, text, {}));
}

bool modify_menu(MenuHandle menu, uint32_t item, uint32_t flags, uintptr_t id, GdiObject bitmap)
{
    return replace_item(menu, item, flags, make_item(flags | MF_BITMAP, id, nullptr, bitmap));
}

uint32_t check_menu_item(MenuHandle menu, uint32_t item, uint32_t check)
{
    MenuItem* entry = item_of(menu, item, check & MF_BYPOSITION);
    if (!entry)
        return kMenuNoItem;
    uint32_t previous = entry->flags & MF_CHECKED;
    entry->flags = (entry->flags & ~uint32_t(MF_CHECKED)) | (check & MF_CHECKED);
    return previous;
}

bool menu_item_at(MenuHandle menu, int position, MenuItemInfo& out)
{
    MenuRecord* record = s_menu.menus.find(menu.id);
    if (!record || position < 0 || size_t(position) >= record->items.size())
        return false;
    const MenuItem& item = record->items[size_t(position)];
    out.flags = item.flags;
    out.id = item.id;
    out.text = item.text;
    out.popup = item.popup;
    out.bitmap = item.bitmap;
    return true;
}

bool set_menu(WindowHandle window, MenuHandle menu)
{
    WindowRecord* record = wintree_find(window);
    if (!record)
        return false;
    if (record->style & WS_CHILD) {
        set_last_error(ERROR_CHILD_WINDOW_MENU);
        return false;
    }
    if (menu && !find_menu(menu))
        return false;
    record->id = menu.id;
    set_window_pos(window, {}, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return true;
}

MenuHandle get_menu(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record || (record->style & WS_CHILD))
        return MenuHandle();
    return MenuHandle(uint32_t(record->id));
}

bool draw_menu_bar(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record || (record->style & WS_CHILD))
        return false;
    if (wintree_is_visible(*record))
        nonclient_paint(window);
    return true;
}

static MenuHandle make_system_menu()
{
    MenuHandle menu = create_popup_menu();
    for (const SystemItem& item : kSystemItems)
        append_menu(menu, item.text ? uint32_t(MF_STRING) : uint32_t(MF_SEPARATOR), item.command, item.text);
    return menu;
}

// Windows are never given a destroyed window's id, so copies of gone windows can wait until
// the next request to be freed.
static void drop_gone_windows()
{
    for (auto it = s_menu.system_menus.begin(); it != s_menu.system_menus.end();) {
        if (is_window(WindowHandle(it->first))) {
            ++it;
            continue;
        }
        destroy_menu(it->second);
        it = s_menu.system_menus.erase(it);
    }
}

MenuHandle get_system_menu(WindowHandle window, bool revert)
{
    drop_gone_windows();
    if (!is_window(window) || !(uint32_t(get_window_long(window, GWL_STYLE)) & WS_SYSMENU))
        return MenuHandle();
    auto it = s_menu.system_menus.find(window.id);
    if (revert) {
        if (it != s_menu.system_menus.end()) {
            destroy_menu(it->second);
            s_menu.system_menus.erase(it);
        }
        return MenuHandle();
    }
    if (it != s_menu.system_menus.end() && is_menu(it->second))
        return it->second;
    MenuHandle menu = make_system_menu();
    s_menu.system_menus[window.id] = menu;
    return menu;
}

void menu_reset()
{
    s_menu.menus.clear();
    s_menu.system_menus.clear();
}

} // namespace plat
