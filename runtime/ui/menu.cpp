#include "runtime/ui/menu.h"

#include <cstring>
#include <string>

#include "platform/gdi/bitmap.h"
#include "platform/kernel/codepage.h"
#include "platform/window/menu.h"
#include "platform/window/metrics.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/display/refresh.h"
#include "runtime/ui/win_place.h"

namespace {

struct MenuState {
    MenuHooks hooks;
    int bar_shown = 0;
    plat::GdiObject glyph;
    bool glyph_made = false;
};

MenuState s_menu;

} // namespace

void menu_set_hooks(const MenuHooks* hooks) { s_menu.hooks = hooks ? *hooks : MenuHooks{}; }

int menu_init() { return 1; }

void menu_reset()
{
    MenuHooks hooks = s_menu.hooks;
    s_menu = MenuState{};
    s_menu.hooks = hooks;
}

static uint32_t flags_of(uint16_t state)
{
    uint32_t flags = 0;
    if (state & kMenuItemDisabled)
        flags |= plat::MF_GRAYED | plat::MF_DISABLED;
    if (state & kMenuItemChecked)
        flags |= plat::MF_CHECKED;
    return flags;
}

// The label cut to fit, never inside a double-byte character.
static void copy_label(char* out, const char* text)
{
    size_t length = 0;
    size_t limit = size_t(kMenuTextSize - 1);
    while (text && text[length] && length < limit) {
        size_t step = plat::is_dbcs_lead_byte(uint8_t(text[length])) && text[length + 1] ? 2 : 1;
        if (length + step > limit)
            break;
        length += step;
    }
    std::memcpy(out, text, length);
    out[length] = 0;
}

// The key's name goes after a tab only when the whole label still fits: names such as
// "Ctrl+Shift+F12" are longer than the few characters once set aside for them.
static void add_key_name(char* label, KeyCode key)
{
    char name[kMenuTextSize];
    if (!key || key_name_from_code(kKeyNamePlus, key, name, int(sizeof name)) <= 0)
        return;
    size_t used = std::strlen(label);
    size_t needed = 1 + std::strlen(name);
    if (used + needed > size_t(kMenuTextSize - 1))
        return;
    label[used] = '\t';
    std::memcpy(label + used + 1, name, needed);
}

static bool is_separator(const char* text)
{
    return text && (std::strcmp(text, "-") == 0 || std::strncmp(text, "(-", 2) == 0);
}

// The entry of id at the bar's level, or null.
static MenuEntry* entry_of(std::vector<MenuEntry>& items, int id)
{
    for (MenuEntry& entry : items) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

static const MenuEntry* entry_of(const std::vector<MenuEntry>& items, int id)
{
    return entry_of(const_cast<std::vector<MenuEntry>&>(items), id);
}

int menu_position(const MenuRecord& menu, int id)
{
    for (size_t i = 0; i < menu.items.size(); i++) {
        if (menu.items[i].id == id)
            return int(i);
    }
    return -1;
}

int menu_create(MenuRecord& menu, MenuCommand command)
{
    menu = MenuRecord{};
    menu.menu = plat::create_menu();
    menu.command = command;
    return menu.menu ? 1 : 0;
}

void menu_free(MenuRecord& menu)
{
    if (menu.menu)
        plat::destroy_menu(menu.menu);
    menu = MenuRecord{};
}

static plat::GdiObject system_glyph()
{
    if (!s_menu.glyph_made && s_menu.hooks.system_bitmap) {
        s_menu.glyph = s_menu.hooks.system_bitmap();
        s_menu.glyph_made = true;
    }
    return s_menu.glyph;
}

static bool append_to_window_menu(MenuRecord& menu, const MenuEntry& entry, const MenuRecord* popup)
{
    uint32_t flags = flags_of(entry.item.state);
    if (popup && entry.id == kMenuSystemItem)
        return plat::append_menu(menu.menu, flags | plat::MF_POPUP | plat::MF_BITMAP, popup->menu.id, system_glyph());
    if (popup)
        return plat::append_menu(menu.menu, flags | plat::MF_POPUP, popup->menu.id, entry.item.text);
    if (is_separator(entry.item.text))
        return plat::append_menu(menu.menu, plat::MF_SEPARATOR, 0, nullptr);
    return plat::append_menu(menu.menu, flags, uint32_t(entry.id), entry.item.text);
}

int menu_append_item(MenuRecord& menu, int id, uint16_t state, const char* text, KeyCode key, MenuRecord* popup)
{
    if (id <= 0 || id > kMenuSystemItem || !menu.menu || entry_of(menu.items, id) || (popup && !popup->menu))
        return 0;
    MenuEntry entry;
    entry.id = id;
    entry.item.state = state;
    entry.item.key = key;
    copy_label(entry.item.text, text);
    if (!is_separator(entry.item.text))
        add_key_name(entry.item.text, key);
    if (!append_to_window_menu(menu, entry, popup))
        return 0;
    if (popup) {
        entry.has_popup = true;
        entry.popup = std::move(popup->items);
        *popup = MenuRecord{}; // its window-system menu now belongs to the item
    }
    menu.items.push_back(std::move(entry));
    return 1;
}

int menu_add_system_menu(MenuRecord& menu)
{
    plat::MenuHandle system = plat::get_system_menu(screen_window(), false);
    MenuRecord popup;
    popup.menu = plat::create_popup_menu();
    int separator_id = kMenuSystemItem - 1;
    plat::MenuItemInfo item;
    for (int i = 0; system && plat::menu_item_at(system, i, item); i++) {
        bool separator = (item.flags & plat::MF_SEPARATOR) != 0;
        int id = separator ? separator_id-- : int(item.id);
        MenuEntry entry;
        entry.id = id;
        copy_label(entry.item.text, separator ? "-" : item.text.c_str());
        uint32_t flags = separator ? uint32_t(plat::MF_SEPARATOR) : uint32_t(plat::MF_STRING);
        plat::append_menu(popup.menu, flags, uint32_t(id), separator ? nullptr : entry.item.text);
        popup.items.push_back(std::move(entry));
    }
    int appended = menu_append_item(menu, kMenuSystemItem, 0, "", 0, &popup);
    if (!appended)
        menu_free(popup);
    return appended;
}

int menu_get_popup(const MenuRecord& menu, int id, MenuRecord& out)
{
    const MenuEntry* entry = entry_of(menu.items, id);
    if (!entry || !entry->has_popup)
        return 0;
    out = MenuRecord{};
    out.menu = plat::create_popup_menu();
    out.command = menu.command;
    for (const MenuEntry& item : entry->popup) {
        if (item.has_popup)
            continue;
        MenuEntry copy = item;
        if (is_separator(copy.item.text))
            plat::append_menu(out.menu, plat::MF_SEPARATOR, 0, nullptr);
        else
            plat::append_menu(out.menu, flags_of(copy.item.state), uint32_t(copy.id), copy.item.text);
        out.items.push_back(std::move(copy));
    }
    return 1;
}

int menu_set_popup(MenuRecord& menu, int id, MenuRecord& popup)
{
    MenuEntry* entry = entry_of(menu.items, id);
    int position = menu_position(menu, id);
    if (!entry || !popup.menu)
        return 0;
    uint32_t flags = uint32_t(plat::MF_BYPOSITION) | plat::MF_POPUP | flags_of(entry->item.state);
    if (!plat::modify_menu(menu.menu, uint32_t(position), flags, popup.menu.id, entry->item.text))
        return 0;
    entry->has_popup = true;
    entry->popup = std::move(popup.items);
    popup = MenuRecord{};
    return 1;
}

uint16_t menu_item_state(const MenuRecord& menu, int id)
{
    const MenuEntry* entry = entry_of(menu.items, id);
    return entry ? entry->item.state : 0;
}

void menu_set_item_state(MenuRecord& menu, int id, uint16_t state)
{
    MenuEntry* entry = entry_of(menu.items, id);
    if (!entry)
        return;
    entry->item.state = state;
    uint32_t position = uint32_t(menu_position(menu, id));
    uint32_t flags = flags_of(state);
    plat::enable_menu_item(menu.menu, position, plat::MF_BYPOSITION | (flags & (plat::MF_GRAYED | plat::MF_DISABLED)));
    plat::check_menu_item(menu.menu, position, plat::MF_BYPOSITION | (flags & plat::MF_CHECKED));
}

int menu_has_item(const MenuRecord& menu, int id) { return entry_of(menu.items, id) ? 1 : 0; }

void menu_delete_item(MenuRecord& menu, int id)
{
    int position = menu_position(menu, id);
    if (position < 0)
        return;
    plat::delete_menu(menu.menu, uint32_t(position), plat::MF_BYPOSITION);
    menu.items.erase(menu.items.begin() + position);
}

void menu_clear(MenuRecord& menu)
{
    for (int position = int(menu.items.size()) - 1; position >= 0; position--)
        plat::delete_menu(menu.menu, uint32_t(position), plat::MF_BYPOSITION);
    menu.items.clear();
}

void menu_enum_items(const MenuRecord& menu, MenuVisit visit, void* a, void* b)
{
    for (const MenuEntry& entry : menu.items) {
        if (entry.id > 0)
            visit(entry.id, entry.item, a, b);
    }
}

static int find_key_in(const std::vector<MenuEntry>& items, KeyCode key)
{
    for (const MenuEntry& entry : items) {
        bool enabled = !(entry.item.state & kMenuItemDisabled);
        if (enabled && entry.item.key && key_codes_equal(entry.item.key, key))
            return entry.id;
        int inside = entry.has_popup ? find_key_in(entry.popup, key) : 0;
        if (inside)
            return inside;
    }
    return 0;
}

int menu_find_key(const MenuRecord& menu, KeyCode key) { return key ? find_key_in(menu.items, key) : 0; }

void menu_attach(MenuRecord& menu, plat::WindowHandle window)
{
    if (!window || window != screen_window())
        return;
    win_set_caption(true);
    plat::set_menu(window, menu.menu);
}

void menu_detach(plat::WindowHandle window) { plat::set_menu(window, plat::MenuHandle()); }

void menu_redraw_bar(plat::WindowHandle window)
{
    if (window && window == screen_window())
        plat::draw_menu_bar(window);
}

plat::MenuHandle menu_get_handle(plat::WindowHandle window) { return plat::get_menu(window); }

void menu_destroy_handle(plat::MenuHandle menu)
{
    if (menu)
        plat::destroy_menu(menu);
}

void menu_show_bar(int shown, int keep_window_size)
{
    int height = plat::get_system_metrics(plat::SM_CYMENU);
    screen_set_origin(0, shown && keep_window_size ? height : 0);
    if (s_menu.hooks.bar_attach)
        s_menu.hooks.bar_attach(shown);
    plat::WindowHandle window = screen_window();
    if (bool(shown) != bool(s_menu.bar_shown) && !keep_window_size && window) {
        plat::Rect frame;
        plat::get_window_rect(window, frame);
        int32_t change = shown ? height : -height;
        plat::set_window_pos(window, {}, 0, 0, frame.width(), frame.height() + change,
            plat::SWP_NOMOVE | plat::SWP_NOZORDER | plat::SWP_NOACTIVATE);
    }
    s_menu.bar_shown = shown ? 1 : 0;
}

int menu_bar_state() { return s_menu.bar_shown; }

int menu_system_glyph_width()
{
    plat::BitmapInfo info;
    if (!s_menu.glyph || !plat::get_object(s_menu.glyph, info))
        return 0;
    return info.width;
}
