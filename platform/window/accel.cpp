#include "platform/window/accel.h"

#include "platform/kernel/resource_forms.h"
#include "platform/kernel/slots.h"
#include "platform/window/input.h"
#include "platform/window/keyboard.h"

#include <vector>

namespace plat {

static SlotTable<std::vector<AcceleratorEntry>> s_tables(0x0ACC);

AccelHandle load_accelerators(ModuleHandle module, ResourceId name)
{
    std::vector<AcceleratorEntry> entries;
    if (!read_accelerator_table(find_resource(module, RT_ACCELERATOR, name), entries))
        return {};
    return AccelHandle(s_tables.insert(std::move(entries)));
}

static bool held(int vk) { return (get_key_state(vk) & 0x8000) != 0; }

// Alt is the one modifier a WM_SYS* message already tells; a character entry has its case and
// Ctrl in the character itself, so only Alt is compared for it.
static bool modifiers_match(const AcceleratorEntry& entry, bool alt)
{
    return held(VK_SHIFT) == ((entry.flags & FSHIFT) != 0) && held(VK_CONTROL) == ((entry.flags & FCONTROL) != 0)
        && alt == ((entry.flags & FALT) != 0);
}

bool translate_accelerator(WindowHandle window, AccelHandle table, const Msg& msg)
{
    std::vector<AcceleratorEntry>* entries = s_tables.find(table.id);
    if (!entries || !window)
        return false;
    bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    bool character = msg.message == WM_CHAR || msg.message == WM_SYSCHAR;
    if (!key && !character)
        return false;
    bool alt = msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSCHAR || held(VK_MENU);
    for (const AcceleratorEntry& entry : *entries) {
        bool virtual_key = (entry.flags & FVIRTKEY) != 0;
        if (virtual_key != key || entry.key != uint16_t(msg.wparam))
            continue;
        if (virtual_key ? !modifiers_match(entry, alt) : alt != ((entry.flags & FALT) != 0))
            continue;
        send_message(window, WM_COMMAND, WParam(1u << 16 | entry.id), 0);
        return true;
    }
    return false;
}

void accel_reset() { s_tables.clear(); }

} // namespace plat
