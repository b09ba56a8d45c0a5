#include "platform/window/wndclass.h"

#include <cstring>

#include "platform/controls/controls.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"
#include "platform/ipc/ipc.h"
#include "platform/kernel/slots.h"
#include "platform/window/wintree.h"

namespace plat {

constexpr uint32_t kClassFirstGeneration = 0x5C3;
constexpr uint16_t kClassFirstAtom = 0xC000;

struct ClassState {
    SlotTable<ClassRecord> classes{kClassFirstGeneration};
    uint16_t next_atom = kClassFirstAtom;
};

static ClassState s_classes;

static bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? char(b[i] - 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// "#49152" names a class by its atom, as MAKEINTATOM does.
static uint16_t atom_of_name(std::string_view name)
{
    if (name.size() < 2 || name.size() > 6 || name[0] != '#')
        return 0;
    uint32_t value = 0;
    for (char c : name.substr(1)) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + uint32_t(c - '0');
    }
    return value <= 0xFFFF ? uint16_t(value) : 0;
}

static bool class_matches(const ClassRecord& record, std::string_view name, uint16_t atom)
{
    return atom ? record.atom == atom : same_name(record.info.class_name, name);
}

uint32_t wndclass_find(std::string_view class_name, ModuleHandle instance)
{
    uint16_t atom = atom_of_name(class_name);
    uint32_t exact = 0;
    uint32_t other = 0;
    s_classes.classes.for_each([&](uint32_t id, ClassRecord& record) {
        if (!class_matches(record, class_name, atom))
            return;
        if (record.info.instance == instance)
            exact = id;
        else if (!other)
            other = id;
    });
    return exact ? exact : other;
}

ClassRecord* wndclass_record(uint32_t class_id) { return s_classes.classes.find(class_id); }

static bool class_is_valid(const WindowClass& window_class)
{
    return window_class.proc && !window_class.class_name.empty()
        && window_class.class_name.size() < 256 && window_class.class_extra >= 0
        && window_class.class_extra <= kClassExtraMax && window_class.window_extra >= 0
        && window_class.window_extra <= kClassExtraMax;
}

uint16_t register_class(const WindowClass& window_class)
{
    if (!class_is_valid(window_class)) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    uint32_t existing = wndclass_find(window_class.class_name, window_class.instance);
    ClassRecord* found = wndclass_record(existing);
    if (found && found->info.instance == window_class.instance) {
        set_last_error(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    if (s_classes.next_atom == 0) { // every atom handed out
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    ClassRecord record;
    record.info = window_class;
    record.atom = s_classes.next_atom++;
    record.extra.assign(size_t(window_class.class_extra), 0);
    if (!s_classes.classes.insert(std::move(record))) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return uint16_t(s_classes.next_atom - 1);
}

bool unregister_class(std::string_view class_name, ModuleHandle instance)
{
    uint32_t id = wndclass_find(class_name, instance);
    ClassRecord* record = wndclass_record(id);
    if (!record) {
        set_last_error(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    if (record->window_count > 0) {
        set_last_error(ERROR_CLASS_HAS_WINDOWS);
        return false;
    }
    s_classes.classes.erase(id);
    return true;
}

bool get_class_info(ModuleHandle instance, std::string_view class_name, WindowClass& out)
{
    ClassRecord* record = wndclass_record(wndclass_find(class_name, instance));
    if (!record && controls_register_system_class(class_name))
        record = wndclass_record(wndclass_find(class_name, instance));
    if (!record) {
        set_last_error(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    out = record->info;
    return true;
}

static ClassRecord* class_of_window(WindowHandle window)
{
    WindowRecord* record = wintree_find(window);
    if (!record) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return wndclass_record(record->class_id);
}

int get_class_name(WindowHandle window, char* buffer, int size)
{
    std::string name;
    if (ipc_is_foreign(window)) {
        SnapshotWindow info;
        if (!ipc_window_info(window, info))
            return 0;
        name = utf8_to_code_page(CP_ACP, info.class_name);
    } else {
        ClassRecord* record = class_of_window(window);
        if (!record)
            return 0;
        name = record->info.class_name;
    }
    if (!buffer || size <= 0)
        return 0;
    size_t length = std::min(name.size(), size_t(size - 1));
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
    return int(length);
}

// The 4 bytes at index of the extra bytes, or null (error 1413) when they do not fit.
static uint8_t* extra_field(std::vector<uint8_t>& extra, int index, size_t size)
{
    if (index < 0 || extra.size() < size || size_t(index) > extra.size() - size) {
        set_last_error(ERROR_INVALID_INDEX);
        return nullptr;
    }
    return extra.data() + index;
}

static intptr_t read_field(const ClassRecord& record, int index)
{
    const WindowClass& info = record.info;
    switch (index) {
    case GCLP_HBRBACKGROUND: return intptr_t(info.background.id);
    case GCLP_HCURSOR: return intptr_t(info.cursor.id);
    case GCLP_HICON: return intptr_t(info.icon.id);
    case GCLP_HICONSM: return intptr_t(info.small_icon.id);
    case GCLP_HMODULE: return intptr_t(info.instance.id);
    case GCL_CBWNDEXTRA: return info.window_extra;
    case GCL_CBCLSEXTRA: return info.class_extra;
    case GCLP_WNDPROC: return reinterpret_cast<intptr_t>(info.proc);
    case GCL_STYLE: return intptr_t(info.style);
    case GCW_ATOM: return record.atom;
    default: break;
    }
    set_last_error(ERROR_INVALID_INDEX);
    return 0;
}

// Stores a field; false when the index names none that can be changed.
static bool write_field(ClassRecord& record, int index, intptr_t value)
{
    WindowClass& info = record.info;
    switch (index) {
    case GCLP_HBRBACKGROUND: info.background = GdiObject(uint32_t(value)); return true;
    case GCLP_HCURSOR: info.cursor = CursorHandle(uint32_t(value)); return true;
    case GCLP_HICON: info.icon = IconHandle(uint32_t(value)); return true;
    case GCLP_HICONSM: info.small_icon = IconHandle(uint32_t(value)); return true;
    case GCLP_WNDPROC:
        if (value == 0)
            return false;
        info.proc = reinterpret_cast<WindowProc>(value);
        return true;
    case GCL_STYLE: info.style = uint32_t(value); return true;
    default: break;
    }
    set_last_error(ERROR_INVALID_INDEX);
    return false;
}

intptr_t get_class_long_ptr(WindowHandle window, int index)
{
    ClassRecord* record = class_of_window(window);
    if (!record)
        return 0;
    if (index < 0)
        return read_field(*record, index);
    uint8_t* field = extra_field(record->extra, index, sizeof(intptr_t));
    intptr_t value = 0;
    if (field)
        std::memcpy(&value, field, sizeof value);
    return value;
}

intptr_t set_class_long_ptr(WindowHandle window, int index, intptr_t value)
{
    ClassRecord* record = class_of_window(window);
    if (!record)
        return 0;
    if (index < 0) {
        intptr_t old = read_field(*record, index);
        return write_field(*record, index, value) ? old : 0;
    }
    uint8_t* field = extra_field(record->extra, index, sizeof(intptr_t));
    intptr_t old = 0;
    if (field) {
        std::memcpy(&old, field, sizeof old);
        std::memcpy(field, &value, sizeof value);
    }
    return old;
}

uint32_t get_class_long(WindowHandle window, int index)
{
    ClassRecord* record = class_of_window(window);
    if (!record)
        return 0;
    if (index < 0)
        return uint32_t(read_field(*record, index));
    uint8_t* field = extra_field(record->extra, index, 4);
    uint32_t value = 0;
    if (field)
        std::memcpy(&value, field, 4);
    return value;
}

uint32_t set_class_long(WindowHandle window, int index, uint32_t value)
{
    ClassRecord* record = class_of_window(window);
    if (!record)
        return 0;
    if (index == GCLP_WNDPROC) { // a procedure's address does not fit 32 bits
        set_last_error(ERROR_INVALID_INDEX);
        return 0;
    }
    if (index < 0) {
        uint32_t old = uint32_t(read_field(*record, index));
        return write_field(*record, index, intptr_t(value)) ? old : 0;
    }
    uint8_t* field = extra_field(record->extra, index, 4);
    uint32_t old = 0;
    if (field) {
        std::memcpy(&old, field, 4);
        std::memcpy(field, &value, 4);
    }
    return old;
}

void wndclass_reset()
{
    s_classes.classes.clear();
    s_classes.next_atom = kClassFirstAtom;
}

} // namespace plat
