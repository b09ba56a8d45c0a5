#include "platform/kernel/resource.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"

#include <algorithm>
#include <cstring>

namespace plat {

constexpr int kMaxModules = 32;
constexpr uint32_t kStringsPerBlock = 16;

struct ModuleSlot {
    const ResourceModuleTable* table;
    uint32_t id;
};

// Plain data, constant-initialised: generated tables register themselves during static
// initialisation, possibly before this file's own dynamic initialisers would run.
static struct ResourceStore {
    ModuleSlot modules[kMaxModules];
    int module_count;
} s_store;

static char upper_ascii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

static int compare_names(std::string_view a, std::string_view b)
{
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        uint8_t x = uint8_t(upper_ascii(a[i])), y = uint8_t(upper_ascii(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Numbers sort before names, as the resource compiler writes them.
static int compare_ids(const ResourceId& a, const ResourceId& b)
{
    if (a.is_number() != b.is_number())
        return a.is_number() ? -1 : 1;
    if (a.is_number())
        return a.number == b.number ? 0 : (a.number < b.number ? -1 : 1);
    return compare_names(a.name, b.name);
}

// A stored name is taken as it stands: "#12" there would be a name, not the number 12.
static ResourceId stored_id(uint32_t number, const char* name)
{
    ResourceId id(number);
    if (name) {
        id.name = name;
        id.named = true;
    }
    return id;
}

static ResourceId entry_type(const ResourceEntry& e)
{
    return stored_id(e.type_number, e.type_name);
}
static ResourceId entry_name(const ResourceEntry& e)
{
    return stored_id(e.name_number, e.name_name);
}

ResourceId::ResourceId(std::string_view text)
{
    if (text.size() < 2 || text[0] != '#') {
        name = text;
        named = true;
        return;
    }
    uint32_t value = 0;
    for (char c : text.substr(1)) {
        value = value * 10 + uint32_t(c - '0');
        if (c < '0' || c > '9' || value > 0xFFFF) {
            name = text; // not a 16-bit number: a name that happens to start with '#'
            named = true;
            return;
        }
    }
    number = value;
}

// A name given as an empty string would read as a number; the table forbids it.
static bool entry_is_valid(const ResourceEntry& e, uint32_t data_size)
{
    if ((e.type_name && !*e.type_name) || (e.name_name && !*e.name_name))
        return false;
    return e.offset <= data_size && e.size <= data_size - e.offset;
}

static bool table_is_valid(const ResourceModuleTable& table)
{
    if (!table.module_name || !*table.module_name)
        return false;
    if ((table.entry_count && !table.entries) || !table.data)
        return false;
    for (uint32_t i = 0; i < table.entry_count; ++i) {
        const ResourceEntry& e = table.entries[i];
        if (!entry_is_valid(e, table.data_size))
            return false;
        if (i == 0)
            continue;
        const ResourceEntry& prev = table.entries[i - 1];
        int order = compare_ids(entry_type(prev), entry_type(e));
        if (order > 0 || (order == 0 && compare_ids(entry_name(prev), entry_name(e)) >= 0))
            return false;
    }
    return true;
}

// Ids come from the module's name, so they stay the same from run to run whatever order the
// tables register in; a collision takes the next free value.
static uint32_t module_id_for(const char* module_name)
{
    uint32_t hash = 2166136261u;
    for (const char* p = module_name; *p; ++p)
        hash = (hash ^ uint8_t(upper_ascii(*p))) * 16777619u;
    for (;;) {
        bool taken = hash == 0;
        for (int i = 0; i < s_store.module_count && !taken; ++i)
            taken = s_store.modules[i].id == hash;
        if (!taken)
            return hash;
        ++hash;
    }
}

static const ModuleSlot* slot_for(ModuleHandle module)
{
    for (int i = 0; i < s_store.module_count; ++i) {
        const ModuleSlot& slot = s_store.modules[i];
        bool is_program = slot.table->kind == ResourceModuleKind::program;
        if (module ? slot.id == module.id : is_program)
            return &slot;
    }
    return nullptr;
}

ModuleHandle register_resource_module(const ResourceModuleTable& table)
{
    if (s_store.module_count == kMaxModules || !table_is_valid(table))
        return {};
    if (get_resource_module(table.module_name))
        return {};
    if (table.kind == ResourceModuleKind::program && get_program_resource_module())
        return {};
    uint32_t id = module_id_for(table.module_name);
    s_store.modules[s_store.module_count++] = { &table, id };
    return ModuleHandle(id);
}

void unregister_resource_module(ModuleHandle module)
{
    for (int i = 0; i < s_store.module_count; ++i) {
        if (module && s_store.modules[i].id == module.id) {
            std::copy(s_store.modules + i + 1, s_store.modules + s_store.module_count,
                s_store.modules + i);
            --s_store.module_count;
            return;
        }
    }
}

ModuleHandle get_resource_module(std::string_view module_name)
{
    for (int i = 0; i < s_store.module_count; ++i) {
        if (compare_names(s_store.modules[i].table->module_name, module_name) == 0)
            return ModuleHandle(s_store.modules[i].id);
    }
    return {};
}

ModuleHandle get_program_resource_module()
{
    const ModuleSlot* slot = slot_for(ModuleHandle {});
    return slot ? ModuleHandle(slot->id) : ModuleHandle {};
}

struct EntryRange {
    const ResourceEntry* begin;
    const ResourceEntry* end;
};

// The entries of one type: a binary search over the sorted table.
static EntryRange entries_of_type(const ResourceModuleTable& table, const ResourceId& type)
{
    const ResourceEntry* first = table.entries;
    const ResourceEntry* last = first + table.entry_count;
    auto less_type = [](const ResourceEntry& e, const ResourceId& t) {
        return compare_ids(entry_type(e), t) < 0;
    };
    auto type_less = [](const ResourceId& t, const ResourceEntry& e) {
        return compare_ids(t, entry_type(e)) < 0;
    };
    const ResourceEntry* begin = std::lower_bound(first, last, type, less_type);
    return { begin, std::upper_bound(begin, last, type, type_less) };
}

// Sets the last error and answers the module's entries of the type; an empty range on failure.
static EntryRange lookup_type(
    ModuleHandle module, const ResourceId& type, const ResourceModuleTable** table_out)
{
    const ModuleSlot* slot = slot_for(module);
    if (!slot) {
        set_last_error(ERROR_INVALID_HANDLE);
        return {};
    }
    EntryRange range = entries_of_type(*slot->table, type);
    if (range.begin == range.end)
        set_last_error(ERROR_RESOURCE_TYPE_NOT_FOUND);
    *table_out = slot->table;
    return range;
}

ResourceBytes find_resource(ModuleHandle module, ResourceId type, ResourceId name)
{
    const ResourceModuleTable* table = nullptr;
    EntryRange range = lookup_type(module, type, &table);
    if (range.begin == range.end)
        return {};
    auto less_name = [](const ResourceEntry& e, const ResourceId& n) {
        return compare_ids(entry_name(e), n) < 0;
    };
    const ResourceEntry* found = std::lower_bound(range.begin, range.end, name, less_name);
    if (found == range.end || compare_ids(entry_name(*found), name) != 0) {
        set_last_error(ERROR_RESOURCE_NAME_NOT_FOUND);
        return {};
    }
    return { table->data + found->offset, found->size };
}

bool enum_resource_names(
    ModuleHandle module, ResourceId type, ResourceNameVisitor visit, void* user)
{
    const ResourceModuleTable* table = nullptr;
    EntryRange range = lookup_type(module, type, &table);
    if (range.begin == range.end)
        return false;
    for (const ResourceEntry* e = range.begin; e != range.end; ++e) {
        if (!visit(module, type, entry_name(*e), user))
            break;
    }
    return true;
}

// The longest prefix of text that fits in room bytes and ends on a character boundary.
static size_t fitting_length(uint32_t code_page, const uint8_t* text, size_t length, size_t room)
{
    size_t pos = 0;
    while (pos < length) {
        size_t step = is_dbcs_lead_byte_ex(code_page, text[pos]) && length - pos >= 2 ? 2 : 1;
        if (step > room - pos)
            break;
        pos += step;
    }
    return pos;
}

// A string block: u16 code page, then 16 entries of {u16 length, that many bytes}.
static bool find_string(ModuleHandle module, uint32_t id, uint32_t& code_page, ByteReader& text)
{
    if (id > 0xFFFF)
        return false;
    ResourceBytes block = find_resource(module, RT_STRING, id / kStringsPerBlock + 1);
    if (!block.data)
        return false;
    ByteReader r(block.data, block.size);
    code_page = r.u16le();
    for (uint32_t i = 0; i < id % kStringsPerBlock; ++i)
        r.skip(r.u16le());
    uint16_t length = r.u16le();
    text = r.sub(length);
    return !text.failed() && length > 0;
}

int load_string(ModuleHandle module, uint32_t id, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    uint32_t code_page = 0;
    ByteReader text;
    if (!find_string(module, id, code_page, text)) {
        buffer[0] = 0;
        return 0;
    }
    size_t length = fitting_length(code_page, text.data(), text.size(), size_t(size) - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = 0;
    return int(length);
}

} // namespace plat
