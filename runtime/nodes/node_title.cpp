#include "runtime/nodes/node_title.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "runtime/base/errcode.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_group.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/store/rec_store.h"
#include "runtime/base/str.h"
#include "runtime/base/str_edit.h"
#include "runtime/base/str_width.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kReservedTitleBase = 1232;
// The English texts, for a program whose string table lacks them.
const char* const kReservedTitles[] = { "Untitled", "Calcs from Map", "DeletedIcon",
    "DeletedFunction", "DeletedVariable" };

constexpr size_t kKeySize = kTitleKeyBytes + 1;
constexpr size_t kPieceNameBytes = 40;

RecordId dir_record(int slot, uint32_t word)
{
    return rec_make_id(uint32_t(slot), node_dir_word(slot, word));
}

void give_back(RecordId id)
{
    rec_release(id, kReleaseOne);
    rec_discard(id);
}

// A stored IdSet named by a directory word, checked against its record; null when absent.
// *record gets the number it was loaded from.
IdSet load_set(int slot, uint32_t word, uint16_t* record)
{
    RecordId id = dir_record(slot, word);
    *record = uint16_t(rec_id_number(id));
    if (rec_id_number(id) == 0)
        return IdSet {};
    IdSet set = rec_get(id);
    if (set && idset_attach(set) != kErrOk) {
        give_back(id);
        return IdSet {};
    }
    return set;
}

// The title-hash record, loaded on first use; null when the file has none or it does not hold
// an entry for every node.
const uint8_t* title_hash(int slot, OpenFileEntry& e)
{
    if (!e.title_hash && !e.title_hash_tried) {
        e.title_hash_tried = true;
        RecordId id = dir_record(slot, kDirTitleHash);
        MemHandle block = rec_id_number(id) != 0 ? rec_get(id) : MemHandle {};
        if (block && rec_size(id, kSizeUnpacked) / 2 < e.node_count)
            give_back(id);
        else
            e.title_hash = block;
        e.records.title_hash = uint16_t(rec_id_number(id));
    }
    return e.title_hash ? static_cast<const uint8_t*>(mem_address(e.title_hash)) : nullptr;
}

// Nodes the loaded hash has an entry for: it was checked against the node count at load, but
// the count may be raised in memory since.
uint32_t hash_entries(const OpenFileEntry& e)
{
    return uint32_t(std::min<size_t>(e.node_count, mem_size(e.title_hash) / 2));
}

bool titles_translated()
{
    const NodeServices& services = node_services();
    return services.titles_translated && services.title_to_windows && services.titles_translated();
}

// The stored title of a node of 7 or more, "" for others; no conversion.
int stored_title(IconId icon, char* buffer, size_t size)
{
    buffer[0] = '\0';
    int slot = int(node_icon_slot(icon));
    OpenFileEntry* e = node_file_entry(slot);
    uint32_t id = node_header_fields(icon).title_id;
    if (!e || id == 0 || node_icon_number(icon) < kFirstTitledNode || !node_file_load_titles(slot))
        return 0;
    strpool_get(e->titles, id, buffer, size);
    return int(std::strlen(buffer));
}

// The stored title, or for an untitled Navigate icon the description of its link.
int title_or_description(IconId icon, char* buffer, size_t size)
{
    int length = stored_title(icon, buffer, size);
    bool titled = node_icon_number(icon) >= kFirstTitledNode && node_header_fields(icon).title_id != 0;
    if (length > 0 || titled)
        return length;
    const NodeServices& services = node_services();
    if (node_header_kind(icon) == kKindNavigate && node_get_attr(icon, kAttrNavigateNoDescription) == 0
        && services.navigate_description)
        return services.navigate_description(icon, buffer, size);
    return 0;
}

bool is_pending(IconId icon)
{
    const OpenFileEntry* e = node_file_entry(int(node_icon_slot(icon)));
    return e && e->pending_titles && idset_contains(e->pending_titles, uint16_t(node_icon_number(icon)));
}

// A title of the pending set is converted in the copy when titles are translated.
void convert_pending_copy(IconId icon, char* title, int length)
{
    if (length > 0 && is_pending(icon) && titles_translated())
        node_services().title_to_windows(title, size_t(length));
}

// What a search compares: the folded key, the node to skip, and what it found.
struct Search {
    char key[kKeySize];
    uint32_t skip;
    bool want_unique;
    IconId first = 0;
    bool second = false;
};

// Takes a candidate: true when the search is over.
bool take_match(Search& s, IconId icon)
{
    char title[kKeySize], folded[kKeySize];
    if (node_icon_number(icon) == s.skip || node_header_kind(icon) == kKindFree)
        return false;
    // Stored titles only: the description an untitled Navigate icon shows is not its title
    // (and has no stored hash, so the two searches would disagree).
    int length = stored_title(icon, title, sizeof title);
    if (length == 0)
        return false;
    convert_pending_copy(icon, title, length);
    node_title_fold(title, folded);
    if (plat::lstrcmpi(folded, s.key) != 0)
        return false;
    if (s.first == 0) {
        s.first = icon;
        return !s.want_unique;
    }
    s.second = true;
    return true;
}

// Candidates load groups and the pool, so the hash's address is read again for each node.
void search_by_hash(int slot, const OpenFileEntry& e, Search& s)
{
    uint16_t hash = node_title_hash(s.key);
    uint32_t entries = hash_entries(e);
    for (uint32_t n = kFirstTitledNode; n < entries; n++) {
        const uint8_t* hashes = static_cast<const uint8_t*>(mem_address(e.title_hash));
        if (!hashes)
            return;
        if (plat::load_u16le(hashes + 2 * n) == hash && take_match(s, node_make_icon(uint32_t(slot), n)))
            return;
    }
}

void search_by_walk(int slot, Search& s)
{
    uint32_t top = node_file_is_library(slot) ? 2 : 1;
    node_walk(node_make_icon(uint32_t(slot), top), kWalkDescendants,
        [](IconId icon, void* user) { return take_match(*static_cast<Search*>(user), icon) ? 0 : 1; },
        &s);
}

// Converts one pool string in place; its length, or -1 when the id names no string.
int convert_in_pool(StringPool& pool, uint32_t id)
{
    uint8_t* bytes = static_cast<uint8_t*>(mem_address(pool.block));
    uint32_t used = strpool_used(pool);
    if (!bytes || id < kStrPoolHeader || id >= used)
        return -1;
    const void* nul = std::memchr(bytes + id, 0, used - id);
    size_t length = nul ? size_t(static_cast<const uint8_t*>(nul) - (bytes + id)) : used - id;
    node_services().title_to_windows(reinterpret_cast<char*>(bytes + id), length);
    return int(length);
}

// Takes what converting one pending title changed into the hash record and the mapped set.
void note_converted(int slot, OpenFileEntry& e, uint32_t node, uint32_t id, int length)
{
    char title[kKeySize];
    strpool_get(e.titles, id, title, sizeof title);
    if (title_hash(slot, e) && node < hash_entries(e)) {
        uint8_t* hashes = static_cast<uint8_t*>(mem_address(e.title_hash));
        plat::store_u16le(hashes + 2 * node, node_title_hash(title));
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(e.titles.block)) + id;
    bool high = std::any_of(bytes, bytes + length, [](uint8_t c) { return c >= 0x80; });
    if (high && e.mapped_titles)
        idset_add(e.mapped_titles, uint16_t(node));
}

} // namespace

int node_file_load_titles(int slot)
{
    OpenFileEntry* e = node_file_entry(slot);
    if (!e)
        return 0;
    if (e->titles_loaded)
        return e->titles.block ? 1 : 0;
    e->titles_loaded = true;
    RecordId id = dir_record(slot, kDirTitlePool);
    MemHandle block = rec_id_number(id) != 0 ? rec_get(id) : MemHandle {};
    if (block && strpool_attach(e->titles, block) != kErrOk)
        give_back(id);
    e->records.titles = uint16_t(rec_id_number(id));
    e->mapped_titles = load_set(slot, kDirMappedTitles, &e->records.mapped_titles);
    e->pending_titles = load_set(slot, kDirPendingTitles, &e->records.pending_titles);
    return e->titles.block ? 1 : 0;
}

int node_title(IconId icon, char* buffer, size_t size)
{
    if (size == 0)
        return 0;
    int slot = int(node_icon_slot(icon));
    const OpenFileEntry* e = node_file_entry(slot);
    if (e && e->pending_titles)
        node_titles_convert(slot);
    return title_or_description(icon, buffer, size);
}

int node_title_read(IconId icon, char* buffer, size_t size)
{
    if (size == 0)
        return 0;
    int length = title_or_description(icon, buffer, size);
    convert_pending_copy(icon, buffer, length);
    return length;
}

int node_title_text(IconId icon, char* buffer, size_t size)
{
    if (size == 0)
        return 0;
    const NodeServices& services = node_services();
    int slot = int(node_icon_slot(icon));
    uint32_t top = node_file_is_library(slot) ? 2 : 1;
    if (node_layout_class(icon) == 8 && node_parent_is_interaction(icon) && services.condition_text)
        return services.condition_text(icon, buffer, size);
    if (node_icon_number(icon) == top && node_file_is_open(slot) && services.piece_name)
        return services.piece_name(slot, buffer, std::min(size, kPieceNameBytes + 1));
    return node_title(icon, buffer, size);
}

int node_title_is_reserved(const char* text)
{
    char reserved[64];
    for (uint32_t n = 0; n < std::size(kReservedTitles); n++) {
        if (str_load_resource(reserved, int(sizeof reserved), kReservedTitleBase, n) == 0)
            str_copy_bounded(reserved, kReservedTitles[n], int(sizeof reserved));
        if (plat::lstrcmpi(text ? text : "", reserved) == 0)
            return 1;
    }
    return 0;
}

void node_title_fold(const char* title, char* out)
{
    str_narrow_copy(title ? title : "", out, int(kKeySize), kStrFoldTitles);
    plat::char_lower(out);
}

uint16_t node_title_hash(const char* title)
{
    char key[kKeySize];
    node_title_fold(title, key);
    int16_t h = 0;
    for (const char* c = key; *c; c = str_next_char(c)) {
        int32_t next = int32_t(int8_t(*c)) + 4 * int32_t(h) + (int32_t(h) >> 14);
        h = int16_t(uint16_t(uint32_t(next)));
    }
    return h == 0 ? 1 : uint16_t(h);
}

IconId node_find_by_title(int slot, const char* title, uint32_t skip, int* unique)
{
    OpenFileEntry* e = node_file_entry(slot);
    if (!e || !node_file_load_titles(slot))
        return 0;
    Search s;
    node_title_fold(title, s.key);
    s.skip = skip;
    s.want_unique = unique != nullptr;
    if (title_hash(slot, *e))
        search_by_hash(slot, *e, s);
    else
        search_by_walk(slot, s);
    if (unique)
        *unique = s.second ? 0 : 1;
    return s.first;
}

IconId node_walk_titles(IconId start, int mode, NodeTitleVisit visit, void* user)
{
    struct Walk {
        NodeTitleVisit visit;
        void* user;
    } walk { visit, user };
    return node_walk(
        start, mode,
        [](IconId icon, void* context) {
            Walk& w = *static_cast<Walk*>(context);
            char title[kKeySize];
            return node_title(icon, title, sizeof title) > 0 ? w.visit(icon, title, w.user) : 1;
        },
        &walk);
}

int node_titles_convert(int slot)
{
    OpenFileEntry* e = node_file_entry(slot);
    if (!e || !e->pending_titles || !titles_translated())
        return 0;
    std::vector<uint32_t> converted; // sorted title ids: a shared title is converted once
    if (node_file_load_titles(slot)) {
        for (int32_t n = 1; n <= idset_count(e->pending_titles); n++) {
            uint32_t node = idset_get(e->pending_titles, n);
            uint32_t id = node_header_fields(node_make_icon(uint32_t(slot), node)).title_id;
            auto at = std::lower_bound(converted.begin(), converted.end(), id);
            if (id == 0 || (at != converted.end() && *at == id))
                continue;
            converted.insert(at, id);
            int length = convert_in_pool(e->titles, id);
            if (length >= 0)
                note_converted(slot, *e, node, id, length);
        }
    }
    give_back(rec_make_id(uint32_t(slot), e->records.pending_titles));
    node_dir_set_word(slot, kDirPendingTitles, 0);
    e->pending_titles = IdSet {};
    return 1;
}
