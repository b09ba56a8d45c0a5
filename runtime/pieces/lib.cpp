#include "runtime/pieces/lib.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/log.h"
#include "runtime/base/errcode.h"
#include "runtime/base/str.h"
#include "runtime/base/taglist.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_mgr.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/fileref.h"
#include "runtime/pieces/lib_locate.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/rec_store.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr uint32_t kDirLinkRecords = 5;
constexpr uint32_t kDirLinkNames = 6;
constexpr uint32_t kDirLibraryList = 7;
constexpr uint32_t kDirRecordedNames = 9;
constexpr uint32_t kDirLibraryRefs = 36;
constexpr uint16_t kHeaderMark = 0x8000;
constexpr uint16_t kContentFirst = 1600;
constexpr uint16_t kContentLast = 2998;
constexpr int kFirstLibrarySlot = 2;
constexpr int kLastLibrarySlot = 22; // 23 is the learner's records

struct LinkRecord {
    uint16_t flags = 0;
    uint16_t library = 0; // stored index, then the global number (0: none)
    uint16_t node = 0;
    uint16_t kind = 0;
    uint32_t name = 0;
    bool counted = false; // raised its library's use count
};

struct FileLinks {
    bool loaded = false;
    std::vector<LinkRecord> links; // index 0 is the header
    std::vector<uint8_t> names; // word 6, empty when not read
};

struct LibraryEntry {
    uint16_t flags = 0;
    uint16_t use_count = 0;
    std::vector<uint8_t> stored; // the stored item's fields after flags and number
    FileRef* ref = nullptr;
    int slot = 0;
};

struct LibState {
    bool ready = false;
    FileLinks files[kNodeFileSlots];
    std::vector<LibraryEntry> entries; // index = library number; 0 stands for the header
};

LibState s_lib;

} // namespace

// --- stored records --------------------------------------------------------------------------

// A loaded copy of the file's record named by a directory word; empty when absent.
static bool load_record(int slot, uint32_t word, std::vector<uint8_t>& out)
{
    out.clear();
    uint16_t number = node_dir_word(slot, word);
    if (number == 0)
        return false;
    RecordId id = rec_make_id(uint32_t(slot), number);
    MemHandle block = rec_get(id);
    if (!block)
        return false;
    size_t size = std::min<size_t>(rec_size(id, kSizeUnpacked), mem_size(block));
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(block));
    out.assign(bytes, bytes + size);
    rec_release(id, kReleaseOne);
    return true;
}

// An array record's items: the header {u16 with bit 15, u32 0, u32 count} comes first; the
// count + 1 items are clamped to what the record holds.
static bool array_items(const std::vector<uint8_t>& bytes, uint32_t item_size, uint32_t* items)
{
    plat::ByteReader r(bytes.data(), bytes.size());
    uint16_t mark = r.u16le();
    uint32_t zero = r.u32le();
    uint32_t count = r.u32le();
    if (r.failed() || !(mark & kHeaderMark) || zero != 0 || bytes.size() < item_size)
        return false;
    uint64_t wanted = uint64_t(count) + 1;
    uint64_t room = bytes.size() / item_size;
    *items = uint32_t(std::min(wanted, room));
    return true;
}

static bool read_links(const std::vector<uint8_t>& bytes, std::vector<LinkRecord>& out)
{
    uint32_t items = 0;
    if (!array_items(bytes, kLinkRecordSize, &items))
        return false;
    out.assign(items, LinkRecord {});
    for (uint32_t i = 1; i < items; i++) {
        plat::ByteReader r(bytes.data() + size_t(i) * kLinkRecordSize, kLinkRecordSize);
        LinkRecord& link = out[i];
        link.flags = uint16_t(r.u16le() & ~kLinkResolved);
        r.u16le();
        link.library = r.u16le();
        link.node = r.u16le();
        link.kind = r.u16le();
        r.u16le();
        link.name = r.u32le();
    }
    return true;
}

// A NUL-terminated text at offset of a pool block {u32 0, u32 used, strings}; "" outside it.
static std::string pool_text(const std::vector<uint8_t>& pool, uint32_t offset)
{
    plat::ByteReader r(pool.data(), pool.size());
    r.u32le();
    uint32_t used = std::min<uint32_t>(r.u32le(), uint32_t(pool.size()));
    if (r.failed() || offset < kStrPoolHeader || offset >= used)
        return {};
    const char* start = reinterpret_cast<const char*>(pool.data() + offset);
    size_t length = 0;
    while (offset + length < used && start[length])
        length++;
    return std::string(start, length);
}

// --- the global list ----------------------------------------------------------------------------

static LibraryEntry* entry(int number)
{
    if (number <= 0 || size_t(number) >= s_lib.entries.size())
        return nullptr;
    LibraryEntry& e = s_lib.entries[size_t(number)];
    return (e.flags & kLibInUse) ? &e : nullptr;
}

static void free_entry(int number)
{
    LibraryEntry& e = s_lib.entries[size_t(number)];
    pfs_fileref_destroy(e.ref);
    e = LibraryEntry {};
}

static std::string entry_path(const LibraryEntry& e)
{
    FileSpec* spec = pfs_fileref_resolve(e.ref, nullptr);
    std::string path = spec ? fspec_text(*spec) : std::string();
    fspec_free(spec);
    return path;
}

static int find_entry_by_path(const std::string& path, int except)
{
    if (path.empty())
        return 0;
    for (size_t n = 1; n < s_lib.entries.size(); n++) {
        const LibraryEntry& e = s_lib.entries[n];
        if (int(n) != except && (e.flags & kLibInUse) && !(e.flags & kLibInternal)
            && str_compare_nocase(entry_path(e).c_str(), path.c_str()) == 0)
            return int(n);
    }
    return 0;
}

// The file reference of an item, from the file's word-36 field keyed by its number.
static FileRef* item_ref(const std::vector<uint8_t>& refs, uint16_t key)
{
    FileRef* ref = pfs_fileref_new();
    if (refs.empty() || key == 0)
        return ref;
    uint16_t length = taglist_item_length(refs.data(), refs.size(), key);
    if (length == 0)
        return ref;
    std::vector<uint8_t> data(length);
    taglist_get(refs.data(), refs.size(), key, data.data(), length);
    if (pfs_fileref_read(ref, data.data(), data.size()) != kErrOk)
        pfs_fileref_clear(ref); // a damaged reference names no file
    return ref;
}

static int lib_register(const uint8_t* item, const std::vector<uint8_t>& refs)
{
    plat::ByteReader r(item, kLibraryItemSize);
    uint16_t flags = r.u16le();
    uint16_t key = r.u16le();
    FileRef* ref = item_ref(refs, key);
    std::string path = (flags & kLibInternal) ? std::string() : entry_path(LibraryEntry {0, 0, {}, ref, 0});
    int number = find_entry_by_path(path, 0);
    if (number) {
        LibraryEntry& e = s_lib.entries[size_t(number)];
        e.flags = uint16_t((e.flags & ~kLibStoredBits) | (flags & kLibStoredBits));
        e.use_count++;
        pfs_fileref_destroy(ref);
    } else {
        for (number = 1; size_t(number) < s_lib.entries.size(); number++)
            if (!(s_lib.entries[size_t(number)].flags & kLibInUse))
                break;
        if (size_t(number) == s_lib.entries.size()) {
            if (number > 0xFFFF) {
                pfs_fileref_destroy(ref);
                return 0;
            }
            s_lib.entries.emplace_back();
        }
        LibraryEntry& e = s_lib.entries[size_t(number)];
        e.flags = uint16_t((flags & ~(kLibCancelled | kLibMissingLinks)) | kLibInUse);
        e.use_count = 1;
        e.ref = ref;
    }
    LibraryEntry& e = s_lib.entries[size_t(number)];
    e.stored.assign(item + 4, item + kLibraryItemSize);
    e.flags &= uint16_t(~kLibCancelled);
    return number;
}

// --- loading a file's links -------------------------------------------------------------------

static bool checks_by_name(int slot)
{
    if (slot != piece_slot())
        return true;
    return node_get_attr(node_make_icon(uint32_t(slot), 1), kAttrLinksByName) != 0;
}

static void register_libraries(int slot, FileLinks& file, const std::vector<uint8_t>& list, uint32_t items)
{
    std::vector<uint8_t> refs;
    load_record(slot, kDirLibraryRefs, refs);
    if (taglist_check(refs.data(), refs.size()) != kErrOk)
        refs.clear();
    std::vector<uint16_t> numbers(items, 0);
    for (uint32_t i = 1; i < items; i++) {
        const uint8_t* item = list.data() + size_t(i) * kLibraryItemSize;
        if (plat::load_u16le(item) & kLibInUse)
            numbers[i] = uint16_t(lib_register(item, refs));
    }
    for (size_t i = 1; i < file.links.size(); i++) {
        LinkRecord& link = file.links[i];
        uint32_t item = link.library; // stored index n names item n + 1, after the header
        link.library = item < items ? numbers[item] : 0;
    }
}

int lib_links_load(int slot)
{
    if (!s_lib.ready || slot <= 0 || slot >= kNodeFileSlots)
        return 0;
    lib_links_release(slot);
    FileLinks& file = s_lib.files[slot];
    std::vector<uint8_t> bytes;
    if (!load_record(slot, kDirLinkRecords, bytes) || !read_links(bytes, file.links)) {
        file = FileLinks {};
        return 0;
    }
    if (checks_by_name(slot) && !load_record(slot, kDirLinkNames, file.names)) {
        file = FileLinks {};
        return 0;
    }
    std::vector<uint8_t> list;
    uint32_t items = 0;
    if (!load_record(slot, kDirLibraryList, list) || !array_items(list, kLibraryItemSize, &items)) {
        file = FileLinks {};
        return 0;
    }
    register_libraries(slot, file, list, items);
    file.loaded = true;
    return 1;
}

void lib_links_release(int slot)
{
    if (slot <= 0 || slot >= kNodeFileSlots)
        return;
    FileLinks& file = s_lib.files[slot];
    for (LinkRecord& link : file.links) {
        LibraryEntry* e = link.counted ? entry(link.library) : nullptr;
        if (e && e->use_count > 0)
            e->use_count--;
    }
    file = FileLinks {};
}

// --- checking links ---------------------------------------------------------------------------------

// The name recorded for a library icon (its file's link table and name pool).
static std::string recorded_name(IconId icon)
{
    int slot = int(node_icon_slot(icon));
    OpenFileEntry* e = node_file_entry(slot);
    if (!e)
        return {};
    if (!e->link_names.block) {
        uint16_t number = node_dir_word(slot, kDirRecordedNames);
        MemHandle block = number ? rec_get(rec_make_id(uint32_t(slot), number)) : MemHandle {};
        if (!block)
            return {};
        if (strpool_attach(e->link_names, block) != kErrOk) {
            rec_release(rec_make_id(uint32_t(slot), number), kReleaseOne);
            return {};
        }
    }
    char name[256];
    strpool_get(e->link_names, node_link_table_entry(slot, node_icon_number(icon)) >> 8, name, sizeof name);
    return name;
}

static bool icon_fits(IconId icon, uint16_t kind, const std::string* name)
{
    if (!node_is_valid(icon) || node_kind(icon) != kind)
        return false;
    return !name || str_compare_nocase(recorded_name(icon).c_str(), name->c_str()) == 0;
}

// The library's icons under its node 2 by kind and recorded name (case folded), the first in
// child order, as a search of the children finds it; made once per library check.
using NameIndex = std::unordered_map<std::string, uint16_t>;

static std::string name_key(int kind, std::string name)
{
    plat::char_lower(name.data(), name.size());
    return std::to_string(kind) + ":" + name;
}

static NameIndex index_by_name(int library_slot)
{
    NameIndex index;
    IconId parent = node_make_icon(uint32_t(library_slot), 2);
    uint32_t limit = node_file_node_count(library_slot);
    IconId child = node_is_valid(parent) ? node_first_child(parent) : 0;
    for (uint32_t steps = 0; child && steps < limit; steps++, child = node_next(child))
        if (node_is_valid(child))
            index.emplace(name_key(node_kind(child), recorded_name(child)), uint16_t(node_icon_number(child)));
    return index;
}

static void check_links(int piece_slot, int number, int library_slot)
{
    FileLinks& file = s_lib.files[piece_slot];
    LibraryEntry* e = entry(number);
    bool by_name = checks_by_name(piece_slot);
    NameIndex index;
    bool indexed = false;
    for (size_t i = 1; i < file.links.size(); i++) {
        LinkRecord& link = file.links[i];
        if (!(link.flags & kLinkExists) || link.library != number)
            continue;
        if (!link.counted && e) {
            e->use_count++;
            link.counted = true;
        }
        std::string name = by_name ? pool_text(file.names, link.name) : std::string();
        IconId candidate = library_slot ? node_make_icon(uint32_t(library_slot), link.node) : 0;
        bool ok = library_slot && link.node != 0 && icon_fits(candidate, link.kind, by_name ? &name : nullptr);
        if (!ok && by_name && library_slot) {
            if (!indexed) {
                index = index_by_name(library_slot);
                indexed = true;
            }
            auto found = index.find(name_key(link.kind, name));
            link.node = found == index.end() ? 0 : found->second;
            ok = link.node != 0;
        }
        if (ok)
            link.flags |= kLinkResolved;
        else {
            link.flags &= uint16_t(~kLinkResolved);
            link.node = 0;
        }
    }
}

static void count_links(int piece_slot, int number, int* links, int* resolved)
{
    *links = *resolved = 0;
    if (piece_slot <= 0 || piece_slot >= kNodeFileSlots)
        return;
    for (size_t i = 1; i < s_lib.files[piece_slot].links.size(); i++) {
        const LinkRecord& link = s_lib.files[piece_slot].links[i];
        if ((link.flags & kLinkExists) && link.library == number) {
            (*links)++;
            *resolved += (link.flags & kLinkResolved) ? 1 : 0;
        }
    }
}

// --- opening --------------------------------------------------------------------------------------

static int free_library_slot()
{
    for (int slot = kFirstLibrarySlot; slot <= kLastLibrarySlot; slot++)
        if (!rec_slot(slot) && !node_file_is_open(slot))
            return slot;
    return 0;
}

// Opens the library file spec names in a slot of its own: 0 or the error.
static int open_library_file(int number, FileSpec* spec)
{
    int slot = free_library_slot();
    if (!slot)
        return kErrOutOfMemory;
    PieceFileRecord record {fspec_clone(spec), slot};
    char name[kPathBufferSize];
    fspec_get_path(spec, name, sizeof name);
    int result = piece_open_file(record, kOpenLibrary, name);
    if (result != kErrOk)
        return result;
    fspec_free(record.spec);
    node_file_set_library(slot, 1);
    LibraryEntry* e = entry(number);
    if (e) {
        e->slot = slot;
        pfs_fileref_clear(e->ref);
        pfs_fileref_set_spec(e->ref, spec);
    }
    return kErrOk;
}

// Links to number move to other (the same file under two numbers); number is freed.
static void merge_into(int piece_slot, int number, int other)
{
    for (LinkRecord& link : s_lib.files[piece_slot].links)
        if (link.library == number) {
            link.library = uint16_t(other);
            link.counted = false;
        }
    free_entry(number);
}

// Tries the entry's own file, found through the piece's search folders: 0 or the error; a
// duplicate of another entry moves its links there (*number changes).
static int open_from_ref(int piece_slot, int* number)
{
    LibraryEntry* e = entry(*number);
    FileSpec* wanted = pfs_fileref_resolve(e->ref, nullptr);
    if (!wanted)
        return kErrNotFound;
    FileSpec* found = nullptr;
    if (!piece_locate_file(wanted, &found)) {
        fspec_free(wanted);
        return kErrNotFound;
    }
    fspec_free(wanted);
    int other = find_entry_by_path(fspec_text(*found), *number);
    if (other) {
        merge_into(piece_slot, *number, other);
        *number = other;
        int result = entry(other)->slot ? kErrOk : open_library_file(other, found);
        fspec_free(found);
        return result;
    }
    int result = open_library_file(*number, found);
    fspec_free(found);
    return result;
}

static void log_library(int piece_slot, int number)
{
    LibraryEntry* e = entry(number);
    if (!e)
        return;
    char name[kPathBufferSize];
    lib_display_name(number, name, sizeof name);
    int links = 0, resolved = 0;
    count_links(piece_slot, number, &links, &resolved);
    char line[512];
    if (e->slot)
        std::snprintf(line, sizeof line, "library %d \"%s\" in slot %d: %d links, %d resolved", number, name, e->slot, links, resolved);
    else
        std::snprintf(line, sizeof line, "library %d \"%s\" not opened: %d links", number, name, links);
    plat::log_event(line);
}

static void open_one(int piece_slot, int number)
{
    LibraryEntry* e = entry(number);
    if (e->flags & kLibInternal) {
        e->slot = piece_slot;
        check_links(piece_slot, number, piece_slot);
        log_library(piece_slot, number);
        return;
    }
    int result = open_from_ref(piece_slot, &number);
    e = entry(number);
    while (result != kErrOk && e && !(e->flags & kLibCancelled)) {
        FileSpec* chosen = nullptr;
        char name[kPathBufferSize];
        lib_display_name(number, name, sizeof name);
        if (!lib_locate(name, &chosen)) {
            e->flags |= kLibCancelled;
            break;
        }
        result = open_library_file(number, chosen);
        fspec_free(chosen);
        e = entry(number); // the library's own libraries may have grown the list
    }
    check_links(piece_slot, number, e ? e->slot : 0);
    if (e && !e->slot) {
        int links = 0, resolved = 0;
        count_links(piece_slot, number, &links, &resolved);
        if (links)
            e->flags |= kLibMissingLinks;
    }
    log_library(piece_slot, number);
}

int lib_open_all(int piece_slot)
{
    for (size_t n = 1; n < s_lib.entries.size(); n++)
        if (entry(int(n)) && !s_lib.entries[n].slot)
            open_one(piece_slot, int(n));
    return kErrOk;
}

void lib_close_all()
{
    for (size_t n = 1; n < s_lib.entries.size(); n++) {
        LibraryEntry& e = s_lib.entries[n];
        if ((e.flags & kLibInUse) && e.slot && !(e.flags & kLibInternal)) {
            int slot = e.slot;
            e.slot = 0;
            lib_links_release(slot);
            node_file_close_all(slot);
        }
        free_entry(int(n));
    }
    s_lib.entries.resize(1);
    for (FileLinks& file : s_lib.files)
        for (LinkRecord& link : file.links)
            link.counted = false;
}

// --- following links ----------------------------------------------------------------------------------

int lib_link_record(int slot, uint32_t link_number, uint16_t* flags, uint16_t* library, uint16_t* node)
{
    if (slot <= 0 || slot >= kNodeFileSlots || link_number == 0)
        return 0;
    const FileLinks& file = s_lib.files[slot];
    if (link_number >= file.links.size())
        return 0;
    const LinkRecord& link = file.links[link_number];
    *flags = link.flags;
    *library = link.library;
    *node = link.node;
    return 1;
}

IconId lib_link_target(int slot, uint32_t link_number)
{
    uint16_t flags = 0, library = 0, node = 0;
    if (!lib_link_record(slot, link_number, &flags, &library, &node) || !(flags & kLinkResolved))
        return 0;
    const LibraryEntry* e = entry(library);
    return e && e->slot ? node_make_icon(uint32_t(e->slot), node) : 0;
}

uint32_t lib_link_number(IconId icon)
{
    if (!node_is_valid(icon) || !(kLinkNumberKinds & (1u << node_kind(icon))))
        return 0;
    return node_get_attr(icon, kAttrLinkNumber);
}

IconId lib_linked_icon(IconId icon)
{
    uint32_t number = lib_link_number(icon);
    return number ? lib_link_target(int(node_icon_slot(icon)), number) : 0;
}

IconId lib_resolve_icon(IconId icon)
{
    return lib_link_number(icon) ? lib_linked_icon(icon) : icon;
}

IconId lib_resolve_icon_for_attr(IconId icon, uint16_t property)
{
    return property >= kContentFirst && property <= kContentLast ? lib_resolve_icon(icon) : icon;
}

uint16_t lib_icon_content_record(IconId icon)
{
    IconId target = lib_resolve_icon(icon);
    return target ? node_content_record(target) : 0;
}

// --- queries ------------------------------------------------------------------------------------------

int lib_file_spec(int number, FileSpec** out)
{
    const LibraryEntry* e = entry(number);
    if (!out || !e || !e->slot)
        return 0;
    RecSlot* slot = rec_slot(e->slot);
    *out = slot && slot->spec ? fspec_clone(slot->spec) : nullptr;
    return *out ? 1 : 0;
}

void lib_display_name(int number, char* buffer, int size)
{
    const LibraryEntry* e = entry(number);
    if (!e) {
        fspec_copy_text(buffer, size, "");
        return;
    }
    if (e->flags & kLibInternal) {
        fspec_copy_text(buffer, size, "[Internal]");
        return;
    }
    FileSpec* spec = pfs_fileref_resolve(e->ref, nullptr);
    if (!spec || fspec_get_name(spec, buffer, size) != kErrOk)
        fspec_copy_text(buffer, size, "");
    fspec_free(spec);
}

int lib_file_in_use(const FileSpec* spec)
{
    for (size_t n = 1; n < s_lib.entries.size(); n++) {
        const LibraryEntry& e = s_lib.entries[n];
        if (!(e.flags & kLibInUse) || !e.slot || (e.flags & kLibInternal))
            continue;
        RecSlot* slot = rec_slot(e.slot);
        int answer = slot ? rec_file_matches(slot->spec, e.slot, spec) : 2;
        if (answer != 2)
            return answer;
    }
    return 2;
}

int lib_for_each(LibVisit visit, void* user)
{
    for (size_t n = 1; n < s_lib.entries.size(); n++)
        if (entry(int(n)) && visit(int(n), user) == 0)
            return int(n);
    return 0;
}

int lib_info(int number, LibInfo* out)
{
    const LibraryEntry* e = entry(number);
    if (!e || !out)
        return 0;
    out->flags = e->flags;
    out->use_count = e->use_count;
    out->slot = e->slot;
    count_links(piece_slot() ? piece_slot() : kPieceSlot, number, &out->links, &out->resolved);
    return 1;
}

// --- start-up ---------------------------------------------------------------------------------------------

int lib_init()
{
    for (FileLinks& file : s_lib.files)
        file = FileLinks {};
    s_lib.ready = true;
    return 1;
}

int lib_list_init()
{
    s_lib.entries.assign(1, LibraryEntry {});
    return 1;
}

void lib_term()
{
    for (size_t n = 1; n < s_lib.entries.size(); n++)
        free_entry(int(n));
    s_lib.entries.clear();
    for (FileLinks& file : s_lib.files)
        file = FileLinks {};
    s_lib.ready = false;
}
