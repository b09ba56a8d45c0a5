#include "runtime/nodes/node_group.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/store/rec_store.h"
#include "runtime/store/rec_write.h"

#include <cstring>

namespace {

constexpr int kErrAccessDenied = 5; // a read-only file refuses the put

// The header every node without a loaded group reads as. Readers may look at its first
// kNodeHeaderFixed bytes; nothing writes it (its size is reported as 0 to writers).
uint8_t s_zero_header[kNodeHeaderFixed] = {};
const uint8_t kEmptyList[2] = { 0, 0 };

// Layout block sizes by layout class.
const uint8_t kLayoutBlockSizes[16] = { 0, 1, 2, 12, 10, 1, 1, 14, 2, 2, 1, 12, 2, 0, 0, 0 };

struct NodePlace {
    OpenFileEntry* entry = nullptr;
    int slot = 0;
    uint32_t node = 0;
    uint32_t group = 0;
    uint32_t index = 0; // slot in the group
};

// The open file and place of a node below the node count; entry null otherwise.
NodePlace place_of(IconId icon)
{
    NodePlace p;
    p.slot = int(node_icon_slot(icon));
    p.node = node_icon_number(icon);
    OpenFileEntry* e = node_file_entry(p.slot);
    if (!e || !e->has_groups || p.node >= e->node_count)
        return p;
    p.entry = e;
    p.group = p.node >> 8;
    p.index = p.node & 0xFF;
    return p;
}

RecordId group_record(const NodePlace& p, uint32_t which)
{
    return rec_make_id(uint32_t(p.slot), node_dir_word(p.slot, kDirGroupBase + 4 * p.group + which));
}

using plat::ByteReader;

bool link_fits(uint16_t link, uint32_t node, uint32_t count)
{
    return link < count && (link == 0 || link != node);
}

// A header's links and, for a Framework, the heads of its lists 3 and 4 (when its kind block
// holds them) name nodes below the count, and never the node itself.
bool header_fits(const uint8_t* header, uint32_t length, uint32_t node, uint32_t count)
{
    if (length < kNodeHeaderFixed)
        return false;
    ByteReader r(header, length);
    uint32_t word0 = r.u32le();
    int kind = int(word0 >> 28);
    if (kind == kKindFree)
        return true;
    if (!link_fits(r.u16le(), node, count) || !link_fits(r.u16le(), node, count)
        || !link_fits(r.u16le(), node, count))
        return false;
    if (kind != kKindFramework)
        return true;
    r.skip(kLayoutBlockSizes[(word0 >> 24) & 0xF]);
    uint16_t list3 = r.u16le(), list4 = r.u16le();
    return r.failed() || (link_fits(list3, node, count) && link_fits(list4, node, count));
}

// {u16 offsets[257], headers}: offsets rise from 514 within the record, every header has its
// 10 fixed bytes and its links fit the file.
int check_header_group(const uint8_t* bytes, size_t size, uint32_t group, uint32_t count)
{
    ByteReader r(bytes, size);
    uint32_t offsets[kNodeGroupSize + 1];
    uint32_t previous = kHeaderGroupTable;
    for (uint32_t& offset : offsets) {
        offset = r.u16le();
        if (r.failed() || offset < previous || offset > size)
            return kErrFileDamaged;
        previous = offset;
    }
    for (uint32_t n = 0; n < kNodeGroupSize; n++)
        if (!header_fits(bytes + offsets[n], offsets[n + 1] - offsets[n], group * 256 + n, count))
            return kErrFileDamaged;
    return kErrOk;
}

// {u32 offsets[257], lists}: offsets rise from 1028 within the record.
int check_property_group(const uint8_t* bytes, size_t size)
{
    ByteReader r(bytes, size);
    uint32_t previous = kPropertyGroupTable;
    for (uint32_t n = 0; n <= kNodeGroupSize; n++) {
        uint32_t offset = r.u32le();
        if (r.failed() || offset < previous || offset > size)
            return kErrFileDamaged;
        previous = offset;
    }
    return kErrOk;
}

using GroupCheck = int (*)(const uint8_t* bytes, size_t size, uint32_t group, uint32_t count);

int check_property_group_of(const uint8_t* bytes, size_t size, uint32_t, uint32_t)
{
    return check_property_group(bytes, size);
}

// Loads a group record on first use and checks it. A failure other than damage leaves the
// slot for the next access to try again.
MemHandle load_group(const NodePlace& p, uint32_t which, MemHandle& held, NodeGroupState& state,
    uint16_t& record, GroupCheck check)
{
    if (held || state == kGroupDamaged)
        return held;
    RecordId id = group_record(p, which);
    if (rec_id_number(id) == 0)
        return MemHandle {};
    MemHandle block = rec_get(id);
    if (!block) {
        if (rec_error_word() == kErrFileDamaged)
            state = kGroupDamaged;
        return MemHandle {};
    }
    size_t size = std::min<size_t>(rec_size(id, kSizeUnpacked), mem_size(block));
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_address(block));
    if (check(bytes, size, p.group, p.entry->node_count) != kErrOk) {
        rec_release(id, kReleaseOne);
        rec_discard(id);
        state = kGroupDamaged;
        return MemHandle {};
    }
    held = block;
    state = kGroupLoaded;
    record = uint16_t(rec_id_number(id));
    return held;
}

MemHandle header_group(const NodePlace& p)
{
    NodeGroupTable& t = p.entry->groups;
    return load_group(p, 0, t.headers[p.group], t.header_state[p.group], t.header_records[p.group],
        check_header_group);
}

MemHandle property_group(const NodePlace& p)
{
    NodeGroupTable& t = p.entry->groups;
    return load_group(p, 1, t.properties[p.group], t.property_state[p.group],
        t.property_records[p.group], check_property_group_of);
}

// The node's list inside its group: offset and length.
struct Slice {
    uint8_t* bytes = nullptr; // the group's bytes
    uint32_t offset = 0;
    uint32_t length = 0;
    uint32_t used = 0; // offset entry 256
};

// The offsets were checked when the group loaded, but a damaged directory may name the same
// record for another use (the title hash, a title set) whose writes reach them: they are
// checked against the block again at every use. No bytes when they do not fit.
Slice property_slice(const NodePlace& p, MemHandle block)
{
    Slice s;
    uint8_t* bytes = static_cast<uint8_t*>(mem_address(block));
    size_t size = mem_size(block);
    if (!bytes || size < kPropertyGroupTable)
        return s;
    uint32_t offset = plat::load_u32le(bytes + 4 * p.index);
    uint32_t end = plat::load_u32le(bytes + 4 * (p.index + 1));
    uint32_t used = plat::load_u32le(bytes + 4 * kNodeGroupSize);
    if (offset < kPropertyGroupTable || end < offset || used < end || used > size)
        return s;
    s = { bytes, offset, end - offset, used };
    return s;
}

// Writes the group back to the record it was loaded from; a file that cannot be written
// keeps the change in memory only.
int write_group(const NodePlace& p, MemHandle block, uint32_t used)
{
    RecordId id = rec_make_id(uint32_t(p.slot), p.entry->groups.property_records[p.group]);
    int result = rec_put(id, kTypePropertyGroup, block, used);
    if (result == kErrPackagedFile || result == kErrAccessDenied)
        return kErrOk;
    return result;
}

// Replaces the slice's bytes by length bytes of list (padded to even with a zero), moving
// what follows and the later offsets.
int replace_slice(const NodePlace& p, MemHandle block, const uint8_t* list, uint32_t length)
{
    Slice s = property_slice(p, block);
    if (!s.bytes)
        return kErrFileDamaged;
    uint32_t padded = (length + 1) & ~1u;
    int64_t delta = int64_t(padded) - int64_t(s.length);
    uint64_t new_used = uint64_t(int64_t(s.used) + delta);
    if (new_used > 0xFFFFFFFFu)
        return kErrOutOfMemory;
    if (new_used > mem_size(block) && !mem_realloc(block, int64_t(new_used), kMemMovableZero))
        return kErrOutOfMemory;
    s = property_slice(p, block);
    uint32_t tail = s.offset + s.length;
    std::memmove(s.bytes + s.offset + padded, s.bytes + tail, s.used - tail);
    std::memcpy(s.bytes + s.offset, list, length);
    if (padded > length)
        s.bytes[s.offset + length] = 0;
    for (uint32_t n = p.index + 1; n <= kNodeGroupSize; n++) {
        uint8_t* entry = s.bytes + 4 * n;
        plat::store_u32le(entry, uint32_t(int64_t(plat::load_u32le(entry)) + delta));
    }
    return write_group(p, block, uint32_t(new_used));
}

int32_t load_i16(const uint8_t* bytes) { return int16_t(plat::load_u16le(bytes)); }

struct FoundItem {
    uint16_t tag;
    const uint8_t* data;
    uint16_t length;
};

int find_item(uint16_t tag, const uint8_t* data, uint16_t length, void* user, uint32_t*)
{
    FoundItem* found = static_cast<FoundItem*>(user);
    if (tag != found->tag)
        return 1;
    found->data = data;
    found->length = length;
    return 0;
}

} // namespace

uint32_t node_layout_block_size(int layout_class)
{
    return layout_class >= 0 && layout_class < 16 ? kLayoutBlockSizes[layout_class] : 0;
}

uint32_t node_title_id_of(uint32_t word0)
{
    return (word0 & 0xFFFFF) | ((word0 >> 22) & 0x3) << 20;
}

NodeHeaderRef node_header_ref(IconId icon)
{
    NodePlace p = place_of(icon);
    MemHandle block = p.entry && p.node != 0 ? header_group(p) : MemHandle {};
    uint8_t* bytes = block ? static_cast<uint8_t*>(mem_address(block)) : nullptr;
    size_t size = mem_size(block);
    if (!bytes || size < kHeaderGroupTable)
        return { s_zero_header, 0 };
    // Checked again, as the property offsets are: another use of the same record may have
    // written over them since the group loaded.
    uint32_t offset = plat::load_u16le(bytes + 2 * p.index);
    uint32_t end = plat::load_u16le(bytes + 2 * (p.index + 1));
    if (offset < kHeaderGroupTable || end < offset || end - offset < kNodeHeaderFixed || end > size)
        return { s_zero_header, 0 };
    return { bytes + offset, end - offset };
}

const uint8_t* node_header(IconId icon, uint32_t* size)
{
    NodeHeaderRef h = node_header_ref(icon);
    if (size)
        *size = h.size != 0 ? h.size : kNodeHeaderFixed;
    return h.bytes;
}

NodeHeader node_header_fields(IconId icon)
{
    NodeHeaderRef h = node_header_ref(icon);
    NodeHeader out;
    out.word0 = plat::load_u32le(h.bytes);
    out.kind = int(out.word0 >> 28);
    out.layout_class = int((out.word0 >> 24) & 0xF);
    out.title_id = node_title_id_of(out.word0);
    out.parent = plat::load_u16le(h.bytes + 4);
    out.next = plat::load_u16le(h.bytes + 6);
    out.first_child = plat::load_u16le(h.bytes + 8);
    return out;
}

int node_header_kind(IconId icon) { return node_header_ref(icon).bytes[3] >> 4; }

int node_group_load_error(IconId icon)
{
    NodePlace p = place_of(icon);
    if (!p.entry)
        return node_file_is_open(p.slot) ? kErrOutOfMemory : kErrOk;
    if (p.entry->groups.header_state[p.group] == kGroupDamaged)
        return kErrFileDamaged;
    rec_set_error_word(kErrOk);
    if (header_group(p))
        return node_header_kind(icon) == kKindFree ? kErrOutOfMemory : kErrOk;
    if (p.entry->groups.header_state[p.group] == kGroupDamaged)
        return kErrFileDamaged;
    return rec_error_word() != kErrOk ? rec_error_word() : kErrOutOfMemory;
}

MemHandle node_prop_group(IconId icon)
{
    NodePlace p = place_of(icon);
    return p.entry ? property_group(p) : MemHandle {};
}

const uint8_t* node_props(IconId icon, size_t* length)
{
    NodePlace p = place_of(icon);
    MemHandle block = p.entry ? property_group(p) : MemHandle {};
    Slice s = block ? property_slice(p, block) : Slice {};
    // A list shorter than its end mark is damage; callers may count on the mark being there.
    if (!s.bytes || s.length < sizeof kEmptyList) {
        *length = sizeof kEmptyList;
        return kEmptyList;
    }
    *length = s.length;
    return s.bytes + s.offset;
}

MemHandle node_props_copy(IconId icon)
{
    size_t length = 0;
    const uint8_t* list = node_props(icon, &length);
    if (list == kEmptyList)
        return MemHandle {};
    size_t used = taglist_size(list, length);
    MemHandle copy = mem_alloc(used != 0 ? used : length, kMemMovableZero);
    if (!copy)
        return MemHandle {};
    list = node_props(icon, &length); // the allocation may have moved it
    std::memcpy(mem_address(copy), list, used != 0 ? used : length);
    return copy;
}

int node_props_store(IconId icon, TagList list)
{
    NodePlace p = place_of(icon);
    if (!p.entry || p.node == 0)
        return kErrBadValue;
    rec_set_error_word(kErrOk);
    MemHandle block = property_group(p);
    if (!block) {
        if (p.entry->groups.property_state[p.group] == kGroupDamaged)
            return kErrFileDamaged;
        return rec_error_word() != kErrOk ? rec_error_word() : kErrNotFound;
    }
    if (!list)
        return replace_slice(p, block, kEmptyList, sizeof kEmptyList);
    // Locked while the group grows, which may move unlocked blocks.
    const uint8_t* bytes = static_cast<const uint8_t*>(mem_lock(list));
    size_t length = bytes ? taglist_size(bytes, mem_size(list)) : 0;
    int result = length != 0 ? replace_slice(p, block, bytes, uint32_t(length)) : kErrBadValue;
    if (bytes)
        mem_unlock(list);
    return result;
}

MemHandle node_get_prop(IconId icon, uint16_t tag)
{
    size_t length = 0;
    const uint8_t* list = node_props(icon, &length); // before length is read
    uint16_t item = taglist_item_length(list, length, tag);
    if (item == 0)
        return MemHandle {};
    MemHandle copy = mem_alloc(item, kMemMovable);
    if (!copy)
        return kMemFailed;
    list = node_props(icon, &length); // the allocation may have moved it
    taglist_get(list, length, tag, mem_address(copy), item);
    return copy;
}

// Copies the node's list (an empty one when it has none), lets change edit the copy and
// stores it.
template <typename Change>
static int change_props(IconId icon, Change change)
{
    TagList list = node_props_copy(icon);
    if (!list)
        list = taglist_new();
    if (!list)
        return kErrOutOfMemory;
    int result = change(&list) ? node_props_store(icon, list) : kErrOutOfMemory;
    taglist_free(list);
    return result;
}

int node_put_prop(IconId icon, uint16_t tag, const void* data, uint32_t length)
{
    return change_props(
        icon, [&](TagList* list) { return taglist_put(list, tag, data, length) != 0; });
}

int node_put_prop_handle(IconId icon, uint16_t tag, MemHandle data, uint32_t length)
{
    return change_props(
        icon, [&](TagList* list) { return taglist_put_handle(list, tag, data, length) != 0; });
}

uint8_t* node_lock_prop(IconId icon, uint16_t tag, uint16_t* length)
{
    MemHandle group = node_prop_group(icon);
    if (!group || !mem_lock(group))
        return nullptr;
    size_t bytes = 0;
    const uint8_t* list = node_props(icon, &bytes);
    FoundItem found { tag, nullptr, 0 };
    if (tag != 0)
        taglist_for_each_locked(list, bytes, find_item, &found, nullptr);
    if (!found.data) {
        mem_unlock(group);
        return nullptr;
    }
    if (length)
        *length = found.length;
    return const_cast<uint8_t*>(found.data);
}

void node_unlock_prop(IconId icon, uint16_t tag, int changed, const uint8_t* data)
{
    (void)tag;
    NodePlace p = place_of(icon);
    MemHandle group = p.entry ? p.entry->groups.properties[p.group] : MemHandle {};
    if (!group || !data)
        return;
    mem_unlock(group);
    Slice s = property_slice(p, group);
    if (changed && s.bytes)
        (void)write_group(p, group, s.used);
}

int node_prop_bytes(IconId icon, uint16_t tag, std::vector<uint8_t>& out)
{
    out.clear();
    uint16_t length = 0;
    uint8_t* data = node_lock_prop(icon, tag, &length);
    if (!data)
        return 0;
    out.assign(data, data + length);
    node_unlock_prop(icon, tag, 0, data);
    return 1;
}

int node_get_prop_xy(IconId icon, uint16_t tag, int32_t* x, int32_t* y)
{
    size_t length = 0;
    const uint8_t* list = node_props(icon, &length);
    uint8_t bytes[4] = {};
    bool exact = taglist_item_length(list, length, tag) == 4 && taglist_get(list, length, tag, bytes, 4) == 4;
    *x = exact ? load_i16(bytes) : 0;
    *y = exact ? load_i16(bytes + 2) : 0;
    return exact ? 1 : 0;
}

int node_get_prop_point(IconId icon, uint16_t tag, Point& out)
{
    return node_get_prop_xy(icon, tag, &out.x, &out.y);
}

int node_get_prop_rect(IconId icon, uint16_t tag, Rect& out)
{
    size_t length = 0;
    const uint8_t* list = node_props(icon, &length);
    uint8_t bytes[8] = {};
    bool exact = taglist_item_length(list, length, tag) == 8 && taglist_get(list, length, tag, bytes, 8) == 8;
    out = exact ? Rect { load_i16(bytes), load_i16(bytes + 2),
                      load_i16(bytes + 4), load_i16(bytes + 6) }
                : Rect {};
    return exact ? 1 : 0;
}

int node_media_is_linked(IconId icon)
{
    const NodeServices& services = node_services();
    IconId resolved = services.resolve_icon ? services.resolve_icon(icon) : icon;
    size_t length = 0;
    const uint8_t* list = node_props(resolved, &length);
    return resolved != 0 && taglist_item_length(list, length, 73) != 0 ? 1 : 0;
}

int node_property_file_spec(IconId icon, uint16_t tag, FileSpec* out)
{
    const NodeServices& services = node_services();
    IconId resolved = services.resolve_for_property ? services.resolve_for_property(icon, tag) : icon;
    if (resolved == 0 || !node_is_valid(resolved) || !services.property_file_spec)
        return kErrBadValue;
    return services.property_file_spec(resolved, tag, out);
}
