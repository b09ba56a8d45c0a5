// Arbitrary bytes as a course or library file in a memory-based file, through the node store:
// the record store opens it into a slot, the node store opens its directory, and the whole
// tree of node 1 (and of node 2, as a library would have it) is walked in every recursive mode
// with each icon's title, shown text, attributes, properties and chunk list read, its place in
// its parent's lists asked for and its title searched for; attributes are written back and a
// property is stored, in memory only. Damage must end walks, never loop or reach outside the
// records. The first byte turns the title conversion on or off. The file's variable names then
// make a name dictionary (stored or scanned), every name is found through it and every initial
// value computed.
#include "platform/kernel/resource.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/list_table.h"
#include "runtime/engine/var_names.h"
#include "runtime/store/fhdr.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_chunks.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_group.h"
#include "runtime/nodes/node_title.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/store/rec_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// The program's file-format number, which the kind header carries.
const uint8_t kFormatData[4] = { 22, 0, 0, 0 };
const plat::ResourceEntry kFormatEntries[] = { { 260, nullptr, 1, nullptr, 0, 4 } };
const plat::ResourceModuleTable kFormatTable
    = { "fuzz_nodes", plat::ResourceModuleKind::program, kFormatEntries, 1, kFormatData, 4 };

// Every computed attribute and one descriptor of each block kind, some reaching far.
const uint32_t kDescriptors[] = { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x10004F0, 0x1FF0180,
    0x2000308, 0x20FF0201, 0x3010008, 0x30B0002, 0x4000002, 0x4040002, 0x4FF00FF, 0x5000001 };

int s_translate = 0;

const NodeServices kServices = [] {
    NodeServices s {};
    s.titles_translated = [] { return s_translate; };
    s.title_to_windows = [](char* text, size_t length) {
        for (size_t n = 0; n < length; n++)
            text[n] = char(uint8_t(text[n]) ^ 0x80);
    };
    return s;
}();

void read_properties(IconId icon)
{
    size_t length = 0;
    const uint8_t* list = node_props(icon, &length);
    check(list != nullptr && length >= 2);
    Rect rect;
    Point point;
    node_get_prop_rect(icon, 14, rect);
    node_get_prop_point(icon, 11, point);
    MemHandle copy = node_props_copy(icon);
    mem_free(copy);
    ChunkList chunks = node_chunks_open(icon);
    for (int32_t n = 0; n <= node_chunks_count(chunks) + 1 && n < 64; n++)
        node_chunk_size(chunks, n);
    node_chunks_close(chunks);
}

int visit(IconId icon, void*)
{
    check(node_kind(icon) != kKindFree);
    for (uint32_t descriptor : kDescriptors)
        node_get_attr(icon, descriptor);
    Rect rect;
    node_get_rect(icon, rect);
    node_content_record(icon);
    char title[kTitleKeyBytes + 1];
    int length = node_title(icon, title, sizeof title);
    check(length >= 0 && size_t(length) < sizeof title && title[length] == '\0');
    node_title_text(icon, title, sizeof title);
    int unique = 0;
    if (length > 0)
        node_find_by_title(int(node_icon_slot(icon)), title, 0, &unique);
    node_child_index(icon);
    node_prev_sibling(icon);
    node_child_count_in(icon, kListFramework4);
    node_enclosing_container(icon);
    read_properties(icon);
    // Writes stay in memory (the file is open read-only) and must keep to the header and group.
    for (uint32_t descriptor : kDescriptors)
        node_set_attr(icon, descriptor, node_get_attr(icon, descriptor));
    (void)node_put_prop(icon, 300, "new", 3);
    return 1;
}

void walk_file(int slot)
{
    static const int kModes[] = { kWalkTree, kWalkPostTree, kWalkNumbers, kWalkLibraryTop };
    for (uint32_t top = 1; top <= 2; top++)
        for (int mode : kModes)
            node_walk(node_make_icon(uint32_t(slot), top), mode, visit, nullptr);
    node_walk_titles(node_make_icon(uint32_t(slot), 1), kWalkDescendants,
        [](IconId, const char*, void*) { return 1; }, nullptr);
    node_titles_convert(slot);
}

// A damaged names record may name one variable twice: a name need not be found again.
int find_name(void* user, VariableId, const char* name)
{
    (void)var_find_by_name(*static_cast<int*>(user), name);
    return 1;
}

void read_variables(int slot)
{
    (void)var_build_name_dict(slot);
    var_for_each_name(slot, find_name, &slot);
    VariableId last = var_max_id(slot);
    for (VariableId id = 1; id <= last && id <= 512; ++id) {
        ScriptValue value;
        var_initial_value(uint32_t(slot) << 16, id, value);
        val_free(value);
        char name[kVarNameLimit * 2 + 2];
        var_name(slot, id, name, sizeof name);
    }
    var_forget_names(slot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The open-file tables live for the whole run and go before the leak check at exit.
    static const int ready = [] {
        std::atexit(file_term);
        std::atexit(node_files_free);
        std::atexit(list_tables_free);
        std::atexit(symdict_release);
        plat::register_resource_module(kFormatTable);
        symdict_create();
        list_tables_init();
        node_set_services(&kServices);
        return file_init() && node_files_init();
    }();
    check(ready == 1 && rec_init() == 1);
    s_translate = size > 0 ? data[0] & 1 : 0;
    FileSpec* spec = fspec_new_memory();
    MemHandle bytes = mem_alloc_copy(data, size);
    if (spec && bytes && fspec_set_memory(spec, bytes, int32_t(size), 0) == 0
        && rec_open_file(spec, 1, 0, fhdr_check, kKindAny, kRecRefuseEmpty) == 0) {
        if (node_file_open(1, 0) == 0) {
            check(node_file_is_open(1) == 1);
            walk_file(1);
            read_variables(1);
        } else {
            check(node_file_is_open(1) == 0);
        }
        node_file_close_all(1);
    }
    rec_close_all();
    mem_free(bytes);
    fspec_free(spec);
    return 0;
}
