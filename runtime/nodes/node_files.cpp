#include "runtime/nodes/node_files.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/nodes/node_group.h"
#include "runtime/nodes/node_title.h"
#include "runtime/store/rec_store.h"

#include <memory>

namespace {

struct NodeFilesState {
    std::unique_ptr<OpenFileEntry[]> entries; // kNodeFileSlots, entry 0 unused
    NodeServices services {};
    int error_word = 0;
};

NodeFilesState s_nodes;

OpenFileEntry* raw_entry(int slot)
{
    if (!s_nodes.entries || slot <= 0 || slot >= kNodeFileSlots)
        return nullptr;
    return &s_nodes.entries[size_t(slot)];
}

// The record store frees a slot's records when it closes the file, those in use too (at
// shutdown it closes every file before the node store lets go): an entry whose directory block
// is gone has nothing left to read or give back.
bool entry_alive(const OpenFileEntry& e)
{
    return e.directory && mem_size(e.directory) != 0;
}

RecordId dir_record(int slot, uint32_t word)
{
    return rec_make_id(uint32_t(slot), node_dir_word(slot, word));
}

// Gives back one use of a record the entry held and drops it from the cache, so that changes
// made in memory (attributes, converted titles) are gone when the file is opened again.
void give_back(RecordId id)
{
    if (rec_id_number(id) == 0)
        return;
    rec_release(id, kReleaseOne);
    rec_discard(id);
}

RecordId taken(int slot, uint16_t number) { return rec_make_id(uint32_t(slot), number); }

void release_groups(int slot, OpenFileEntry& e)
{
    const NodeGroupTable& t = e.groups;
    for (uint32_t g = 0; g < kNodeGroups; g++) {
        if (t.headers[g])
            give_back(taken(slot, t.header_records[g]));
        if (t.properties[g])
            give_back(taken(slot, t.property_records[g]));
    }
    e.groups = NodeGroupTable {};
    e.has_groups = false;
}

// The per-file records of titles and links.
void release_file_records(int slot, OpenFileEntry& e)
{
    if (e.link_names.block) {
        strpool_detach(e.link_names);
        give_back(dir_record(slot, 9));
    }
    const NodeFileRecords& r = e.records;
    if (e.titles.block) {
        strpool_detach(e.titles);
        give_back(taken(slot, r.titles));
    }
    if (e.mapped_titles)
        give_back(taken(slot, r.mapped_titles));
    if (e.pending_titles)
        give_back(taken(slot, r.pending_titles));
    if (e.link_table)
        give_back(taken(slot, r.link_table));
    if (e.title_hash)
        give_back(taken(slot, r.title_hash));
}

// The directory block, extended to 1212 bytes: a shorter stored directory reads as zeros.
int take_directory(int slot, OpenFileEntry& e)
{
    RecordId id = rec_make_id(uint32_t(slot), 1);
    MemHandle block = rec_get(id);
    if (!block)
        return rec_error_word() != kErrOk ? rec_error_word() : kErrNotFound;
    uint32_t size = rec_size(id, kSizeUnpacked);
    if (size < kNodeDirectoryBytes) {
        if (!mem_resize(block, kNodeDirectoryBytes, kMemZeroInit)) {
            give_back(id);
            return kErrOutOfMemory;
        }
        uint8_t* bytes = static_cast<uint8_t*>(mem_address(block));
        std::fill(bytes + size, bytes + kNodeDirectoryBytes, uint8_t(0));
    }
    e.directory = block;
    return kErrOk;
}

} // namespace

int node_files_init()
{
    if (!s_nodes.entries)
        s_nodes.entries.reset(new (std::nothrow) OpenFileEntry[kNodeFileSlots] {});
    return s_nodes.entries ? 1 : 0;
}

void node_files_free()
{
    if (s_nodes.entries)
        for (int slot = 1; slot < kNodeFileSlots; slot++)
            node_file_close(slot);
    s_nodes.entries.reset();
    s_nodes.error_word = 0;
}

void node_set_services(const NodeServices* services)
{
    s_nodes.services = services ? *services : NodeServices {};
}

const NodeServices& node_services() { return s_nodes.services; }

int node_error_word() { return s_nodes.error_word; }

void node_set_error_word(int error) { s_nodes.error_word = error; }

int node_file_open(int slot, int mode)
{
    (void)mode; // the record store opened the file in it
    int result = node_file_open_directory(slot);
    return result == kErrOk ? node_file_after_open(slot) : result;
}

int node_file_open_directory(int slot)
{
    OpenFileEntry* e = raw_entry(slot);
    if (!e)
        return kErrOutOfMemory;
    node_file_close(slot);
    *e = OpenFileEntry {};
    int result = take_directory(slot, *e);
    if (result != kErrOk)
        return result;
    uint32_t count = plat::load_u16le(static_cast<const uint8_t*>(mem_address(e->directory)));
    if (count > kNodeCountMax) {
        give_back(rec_make_id(uint32_t(slot), 1));
        *e = OpenFileEntry {};
        return kErrFileDamaged;
    }
    e->node_count = count;
    e->has_groups = true;
    IconId top = node_make_icon(uint32_t(slot), 1);
    result = node_header_kind(top) != kKindFree ? kErrOk : node_group_load_error(top);
    if (result != kErrOk) {
        node_file_close(slot);
        return result;
    }
    return kErrOk;
}

int node_file_after_open(int slot)
{
    const NodeServices& services = s_nodes.services;
    if (node_dir_word(slot, kDirLinkTable) != 0)
        node_link_table_entry(slot, 0); // loads it
    if (services.links_load)
        services.links_load(slot);
    if (services.text_styles_load) {
        int result = services.text_styles_load(slot);
        if (result != kErrOk)
            return result;
    }
    if (services.cursors_and_buttons_load)
        services.cursors_and_buttons_load(slot);
    node_file_load_titles(slot);
    if (services.variable_names_build)
        services.variable_names_build(slot);
    return kErrOk;
}

void node_file_close(int slot)
{
    OpenFileEntry* e = raw_entry(slot);
    if (!e || !e->directory)
        return;
    const NodeServices& services = s_nodes.services;
    // Record numbers of a file the record store closed may name another file's records now.
    bool alive = entry_alive(*e);
    if (alive)
        release_groups(slot, *e);
    if (services.links_release)
        services.links_release(slot);
    if (services.text_styles_release)
        services.text_styles_release(slot);
    if (services.variable_names_forget)
        services.variable_names_forget(slot);
    if (alive) {
        release_file_records(slot, *e);
        give_back(rec_make_id(uint32_t(slot), 1));
    }
    *e = OpenFileEntry {};
}

void node_file_close_all(int slot)
{
    node_file_close(slot);
    (void)rec_close_file(slot);
}

int node_file_is_open(int slot)
{
    const OpenFileEntry* e = raw_entry(slot);
    return e && entry_alive(*e) ? 1 : 0;
}

int node_file_is_library(int slot)
{
    const OpenFileEntry* e = node_file_entry(slot);
    return e && (e->flags & kNodeFileLibrary) ? 1 : 0;
}

int node_file_is_untitled(int slot)
{
    const OpenFileEntry* e = node_file_entry(slot);
    return e && (e->flags & kNodeFileUntitled) ? 1 : 0;
}

void node_file_set_library(int slot, int on)
{
    if (OpenFileEntry* e = node_file_entry(slot))
        e->flags = uint16_t(on ? e->flags | kNodeFileLibrary : e->flags & ~kNodeFileLibrary);
}

void node_file_clear_modified(int slot)
{
    if (OpenFileEntry* e = node_file_entry(slot))
        e->flags &= uint16_t(~kNodeFileModified);
}

OpenFileEntry* node_file_entry(int slot)
{
    OpenFileEntry* e = raw_entry(slot);
    return e && entry_alive(*e) ? e : nullptr;
}

uint32_t node_file_node_count(int slot)
{
    const OpenFileEntry* e = node_file_entry(slot);
    return e ? e->node_count : 0;
}

uint16_t node_dir_word(int slot, uint32_t n)
{
    const OpenFileEntry* e = node_file_entry(slot);
    if (!e || n >= kNodeDirectoryWords)
        return 0;
    return plat::load_u16le(static_cast<const uint8_t*>(mem_address(e->directory)) + 2 * n);
}

void node_dir_set_word(int slot, uint32_t n, uint16_t value)
{
    OpenFileEntry* e = node_file_entry(slot);
    if (!e || n >= kNodeDirectoryWords)
        return;
    plat::store_u16le(static_cast<uint8_t*>(mem_address(e->directory)) + 2 * n, value);
    // The node count is read once at open; a change here must not let it pass the groups.
    if (n == kDirNodeCount && value <= kNodeCountMax)
        e->node_count = value;
}

// The link table holds one u32 per node; a shorter record simply has no entry for the rest.
static uint8_t* link_table_slot(int slot, uint32_t node)
{
    OpenFileEntry* e = node_file_entry(slot);
    if (!e)
        return nullptr;
    if (!e->link_table) {
        RecordId id = dir_record(slot, kDirLinkTable);
        e->link_table = rec_id_number(id) != 0 ? rec_get(id) : MemHandle {};
        e->records.link_table = uint16_t(rec_id_number(id));
    }
    if (!e->link_table)
        return nullptr;
    RecordId id = rec_make_id(uint32_t(slot), e->records.link_table);
    size_t size = std::min<size_t>(rec_size(id, kSizeUnpacked), mem_size(e->link_table));
    if (node >= size / 4)
        return nullptr;
    return static_cast<uint8_t*>(mem_address(e->link_table)) + 4 * node;
}

uint32_t node_link_table_entry(int slot, uint32_t node)
{
    const uint8_t* entry = link_table_slot(slot, node);
    return entry ? plat::load_u32le(entry) : 0;
}

int node_link_table_set_bit(int slot, uint32_t node, int on)
{
    uint8_t* entry = link_table_slot(slot, node);
    if (!entry)
        return 0;
    entry[0] = uint8_t(on ? entry[0] | 1 : entry[0] & ~1);
    return 1;
}

int node_is_valid(IconId icon)
{
    int slot = int(node_icon_slot(icon));
    const OpenFileEntry* e = node_file_entry(slot);
    uint32_t node = node_icon_number(icon);
    if (!e || !e->has_groups || node == 0 || node >= e->node_count)
        return 0;
    return node_header_kind(icon) != kKindFree ? 1 : 0;
}
