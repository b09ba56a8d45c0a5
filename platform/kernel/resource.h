// The resource store: string tables, message resources, dialog templates, bitmaps, cursors,
// icons, menus, accelerator tables and custom data, compiled from resources/ into tables that
// are linked into each program (tools/rc/README.md describes the sources and the bytes), and
// looked up with FindResource/LoadString semantics.
#pragma once
#include "platform/kernel/handle.h"

#include <cstdint>
#include <string_view>

namespace plat {

// A module holding resources, as an HMODULE; the null handle means the program's own module.
using ModuleHandle = Handle<struct ModuleTag>;

enum : uint32_t {
    RT_CURSOR = 1,
    RT_BITMAP = 2,
    RT_ICON = 3,
    RT_MENU = 4,
    RT_DIALOG = 5,
    RT_STRING = 6,
    RT_ACCELERATOR = 9,
    RT_RCDATA = 10,
    RT_GROUP_CURSOR = 12,
    RT_GROUP_ICON = 14,
    RT_MESSAGE = 256, // the programs' own type: a message box's kind, captions and texts
};

// A resource type or name: a number (MAKEINTRESOURCE) or a name, matched without case.
// A name keeps a view of the caller's text, so it is valid only as long as that text.
struct ResourceId {
    uint32_t number = 0;
    std::string_view name;
    bool named = false; // false: the number is the id

    constexpr ResourceId(uint32_t value)
        : number(value)
    {
    }
    constexpr ResourceId(int value)
        : number(uint32_t(value))
    {
    }
    ResourceId(std::string_view text); // "#12" is the number 12, as Win32 reads it
    ResourceId(const char* text)
        : ResourceId(std::string_view(text))
    {
    }
    bool is_number() const { return !named; }
};

// The bytes of a found resource; data is null when the lookup failed.
struct ResourceBytes {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

// One resource of a compiled table. A null type_name or name_name means the number is the id;
// names are stored in upper case.
struct ResourceEntry {
    uint32_t type_number;
    const char* type_name;
    uint32_t name_number;
    const char* name_name;
    uint32_t offset; // into the table's data
    uint32_t size;
};

enum class ResourceModuleKind { program, library };

// A table the resource compiler writes. Entries are sorted by type, then name; within each,
// numbers come first in ascending order, then names by their upper-case bytes.
struct ResourceModuleTable {
    const char* module_name;
    ResourceModuleKind kind;
    const ResourceEntry* entries;
    uint32_t entry_count;
    const uint8_t* data;
    uint32_t data_size;
};

// Adds a table to the store (generated code does it during static initialisation) and returns
// its module's id. A null handle when the table is malformed (an entry outside the data,
// entries out of order), its name is taken, a second program module is offered, or the store
// is full. The table must outlive its registration.
ModuleHandle register_resource_module(const ResourceModuleTable& table);
void unregister_resource_module(ModuleHandle module);

// The module registered under a name (compared without case); null when there is none.
ModuleHandle get_resource_module(std::string_view module_name);
// The program's own module, which a null handle stands for; null when none is linked in.
ModuleHandle get_program_resource_module();

// FindResource, LoadResource, LockResource and SizeofResource in one: the resource's bytes.
// On failure data is null and the last error is 1813 (no resource of the type), 1814 (the
// type has no such name) or 6 (an unknown module).
ResourceBytes find_resource(ModuleHandle module, ResourceId type, ResourceId name);

// LoadStringA: copies string-table entry `id` into buffer, cut to size - 1 bytes without
// splitting a double-byte character, and NUL-terminates it. Returns the length copied; 0 when
// the entry is missing or empty (buffer then holds "") or size is 0.
int load_string(ModuleHandle module, uint32_t id, char* buffer, int size);

// EnumResourceNames: calls visit for each resource of the type in table order until it
// returns false. False with last error 1813 (or 6) when the module has no resource of the type.
using ResourceNameVisitor
    = bool (*)(ModuleHandle module, ResourceId type, ResourceId name, void* user);
bool enum_resource_names(
    ModuleHandle module, ResourceId type, ResourceNameVisitor visit, void* user);

} // namespace plat
