#include "runtime/display/dlist.h"

#include <cstring>
#include <vector>

#include "runtime/display/dobj.h"

using plat::load_u16le;
using plat::load_u32le;
using plat::store_u16le;
using plat::store_u32le;

// The list's own words: the leading zero, and the terminator.
constexpr uint32_t kEmptyUsed = 4;
// A record's length word is 16 bits and even.
constexpr uint32_t kMaxRecordLength = 0xFFFE;

static struct {
    uint32_t next_id = 1;
    DisplayList stage;
    int walk_depth = 0;
} g;

DisplayList dlist_load(const uint8_t* bytes)
{
    DisplayList list;
    list.block = MemHandle{load_u32le(bytes)};
    list.used = load_u32le(bytes + 8);
    list.lock_count = int16_t(load_u16le(bytes + 12));
    if (list.lock_count > 0)
        list.base = static_cast<uint8_t*>(mem_address(list.block));
    return list;
}

void dlist_store(const DisplayList& list, uint8_t* bytes)
{
    store_u32le(bytes, list.block.id);
    store_u32le(bytes + 4, 0); // an address has no meaning outside this run
    store_u32le(bytes + 8, list.used);
    store_u16le(bytes + 12, uint16_t(list.lock_count));
    store_u16le(bytes + 14, 0);
}

int dlist_init(DisplayList& list)
{
    list = DisplayList{};
    return 1;
}

void dlist_free(DisplayList& list)
{
    if (list.block) {
        while (list.lock_count > 0 && mem_unlock(list.block))
            list.lock_count--;
        mem_free(list.block);
    }
    list = DisplayList{};
}

uint8_t* dlist_lock(DisplayList& list)
{
    if (!list.block)
        return nullptr;
    if (list.lock_count == 0) {
        list.base = static_cast<uint8_t*>(mem_lock(list.block));
        if (!list.base)
            return nullptr;
    }
    list.lock_count++;
    return list.base;
}

int dlist_unlock(DisplayList& list)
{
    if (list.lock_count <= 0)
        return 0;
    if (--list.lock_count == 0) {
        mem_unlock(list.block);
        list.base = nullptr;
    }
    return list.lock_count;
}

uint8_t* dlist_first(const DisplayList& list)
{
    if (!list.block || list.lock_count <= 0 || !list.base || list.used <= kEmptyUsed)
        return nullptr;
    return list.base + 2;
}

uint8_t* dlist_last(const DisplayList& list)
{
    if (!dlist_first(list))
        return nullptr;
    uint16_t last_length = load_u16le(list.base + list.used - 4);
    return list.base + list.used - 4 - last_length;
}

bool dlist_is_after(const uint8_t* a, const uint8_t* b) { return b > a; }

// The kept offsets: of which block, at which address and size.
static struct {
    MemHandle block;
    bool kept = false;
    uint8_t* base = nullptr;
    uint32_t used = 0;
    std::vector<uint32_t> offsets;
} s_order;

// Records cut out or put in: the kept offsets are taken again at the next walk, as a list of
// the same size at the same address may hold other records now.
static void forget_order(const DisplayList& list)
{
    if (s_order.kept && list.block == s_order.block)
        s_order.base = nullptr;
}

void dlist_keep_order(const DisplayList& list)
{
    s_order.block = list.block;
    s_order.kept = true;
    s_order.base = nullptr; // taken at the first walk
}

void dlist_drop_order()
{
    s_order.kept = false;
    s_order.base = nullptr;
    s_order.offsets.clear();
}

DlistOrder::DlistOrder(const DisplayList& list, DlistWalk direction)
    : list_(list)
    , backward_(direction == DlistWalk::backward)
{
    uint8_t* front = dlist_first(list);
    if (!front)
        return;
    bool mine = s_order.kept && list.block == s_order.block;
    if (mine && (s_order.base != list.base || s_order.used != list.used)) {
        s_order.offsets.clear();
        for (uint8_t* record = front; record; record = dlist_next(record))
            s_order.offsets.push_back(uint32_t(record - list.base));
        s_order.base = list.base;
        s_order.used = list.used;
    }
    if (mine) {
        offsets_ = s_order.offsets.data();
        count_ = uint32_t(s_order.offsets.size());
        base_ = list.base;
        used_ = list.used;
    }
    first_ = backward_ ? dlist_last(list) : front;
}

uint8_t* dlist_find_top(const DisplayList& list, uint32_t id)
{
    for (uint8_t* record = dlist_first(list); record; record = dlist_next(record))
        if (dobj_id(record) == id)
            return record;
    return nullptr;
}

// Searches a group's member list, locked for the search only; false when it cannot be locked.
static bool find_in_members(uint8_t* group, uint32_t id, uint8_t*& found)
{
    DisplayList members = dlist_load(group + kDobjHeaderSize);
    if (!members.block)
        return true;
    if (!dlist_lock(members))
        return false;
    found = dlist_find(members, id);
    dlist_unlock(members);
    return true;
}

uint8_t* dlist_find(const DisplayList& list, uint32_t id)
{
    for (uint8_t* record = dlist_first(list); record; record = dlist_next(record)) {
        if (dobj_id(record) == id)
            return record;
        if (dobj_kind(record) != kDobjKindGroup || dobj_length(record) < kDobjHeaderSize + kDlistHeaderSize)
            continue;
        uint8_t* member = nullptr;
        if (!find_in_members(record, id, member))
            return nullptr;
        if (member)
            return member;
    }
    return nullptr;
}

uint32_t dlist_next_id()
{
    uint32_t id = g.next_id++;
    if (g.next_id == 0) // id 0 never names an object
        g.next_id = 1;
    return id;
}

void dlist_set_next_id(uint32_t value) { g.next_id = value == 0 ? 1 : value; }

// Grows the block by extra bytes, making the 4-byte empty block first; false (list unchanged)
// without memory. A list the caller holds locked gets its new address.
static bool grow(DisplayList& list, uint32_t extra)
{
    bool made = false;
    if (!list.block) {
        list.block = mem_alloc(kEmptyUsed, kMemMovableZero);
        if (!list.block)
            return false;
        list.used = kEmptyUsed;
        made = true;
    }
    // No 64 KB cap: a piece may show thousands of objects.
    if (!mem_realloc(list.block, int64_t(list.used) + extra, kMemMovable)) {
        if (made) {
            mem_free(list.block);
            list = DisplayList{};
        }
        return false;
    }
    if (list.lock_count > 0)
        list.base = static_cast<uint8_t*>(mem_address(list.block));
    return true;
}

// The record's length made even in the caller's copy; 0 for a record no list can hold.
static uint32_t even_length(uint8_t* record)
{
    uint32_t length = dobj_length(record);
    if (length < kDobjHeaderSize || length > kMaxRecordLength + 1)
        return 0;
    if (length & 1) {
        store_u16le(record, uint16_t(length + 1));
        length++;
    }
    return length <= kMaxRecordLength ? length : 0;
}

// Writes the record, its pad byte and its trailer at offset of the locked bytes.
static void place(uint8_t* bytes, uint32_t offset, const uint8_t* record, uint32_t original, uint32_t length)
{
    std::memcpy(bytes + offset, record, original);
    if (original < length)
        bytes[offset + original] = 0;
    store_u16le(bytes + offset, uint16_t(length));
    store_u16le(bytes + offset + length, uint16_t(length));
}

// Inserts the record at offset (the old terminator to append); the new id or 0.
static uint32_t insert_at(DisplayList& list, uint8_t* record, int64_t offset)
{
    uint32_t original = dobj_length(record);
    uint32_t length = even_length(record);
    if (length == 0 || !grow(list, length + 2))
        return 0;
    if (offset < 0)
        offset = list.used - 2;
    uint8_t* bytes = dlist_lock(list);
    std::memmove(bytes + offset + length + 2, bytes + offset, list.used - offset);
    place(bytes, uint32_t(offset), record, original, length);
    list.used += length + 2;
    forget_order(list);
    uint32_t id = dlist_next_id();
    dobj_set_id(bytes + offset, id);
    dlist_unlock(list);
    return id;
}

uint32_t dlist_append(DisplayList& list, uint8_t* record) { return insert_at(list, record, -1); }

uint32_t dlist_insert_before(DisplayList& list, uint32_t target_id, uint8_t* record)
{
    int64_t offset = -1;
    if (dlist_lock(list)) {
        if (uint8_t* target = dlist_find_top(list, target_id))
            offset = target - list.base;
        dlist_unlock(list);
    }
    return insert_at(list, record, offset);
}

// The object's bounds, by message 25.
static Rect bounds_of(uint8_t* object)
{
    DisplayMsgArg arg;
    dobj_send(object, kMsgGetBounds, &arg);
    return arg.rect;
}

// True when a record strictly between a and b (in either order) has bounds meeting rect.
static bool overlaps_between(uint8_t* a, uint8_t* b, const Rect& rect)
{
    uint8_t* from = dlist_is_after(a, b) ? a : b;
    uint8_t* to = from == a ? b : a;
    for (uint8_t* record = dlist_next(from); record && record != to; record = dlist_next(record))
        if (rect_overlaps(bounds_of(record), rect))
            return true;
    return false;
}

// Inserts a copy of the record, purging deleted records while memory is short.
static uint32_t insert_copy(DisplayList& list, uint32_t target_id, MemHandle copy)
{
    for (;;) {
        uint8_t* bytes = static_cast<uint8_t*>(mem_lock(copy));
        uint32_t id = target_id ? dlist_insert_before(list, target_id, bytes) : dlist_append(list, bytes);
        mem_unlock(copy);
        if (id != 0 || !dlist_purge_deleted(list, DlistWalk::forward))
            return id;
    }
}

// Damages what the move uncovers and covers, when anything between old and new place overlaps.
static void damage_move(DisplayList& list, uint8_t* old_record, uint8_t* moved)
{
    bool same_level = dlist_find_top(list, dobj_id(old_record)) == old_record &&
                      dlist_find_top(list, dobj_id(moved)) == moved;
    // A group member that leaves its group cannot be ordered against the stage: repaint it.
    if (same_level && !overlaps_between(old_record, moved, bounds_of(moved)))
        return;
    dobj_send(moved, kMsgUpdate, nullptr);
    if (dobj_send(old_record, kMsgWantsUpdate, nullptr) == 0)
        dobj_send(old_record, kMsgDamage, nullptr);
}

uint32_t dlist_move_before(DisplayList& list, uint32_t id, uint32_t target_id)
{
    if (!dlist_lock(list))
        return 0;
    uint8_t* record = dlist_find(list, id);
    MemHandle copy = record ? mem_alloc_copy(record, dobj_length(record)) : MemHandle{};
    dlist_unlock(list);
    if (!copy)
        return 0;
    uint32_t new_id = insert_copy(list, target_id, copy);
    mem_free(copy);
    if (new_id == 0 || !dlist_lock(list))
        return 0;
    uint8_t* old_record = dlist_find(list, id);
    uint8_t* moved = dlist_find(list, new_id);
    if (old_record && moved) {
        damage_move(list, old_record, moved);
        old_record = dlist_find(list, id);
        moved = dlist_find(list, new_id);
        dobj_set_list_word(old_record, kDobjUpdate, 0);
        dobj_set_list_word(old_record, kDobjDamage, 0);
        dobj_set_kind(old_record, kDobjKindBase);
        dobj_set_flags(old_record, uint16_t((dobj_flags(old_record) | kDobjDeleted) & ~kDobjVisible));
        dobj_set_id(old_record, new_id);
        dobj_set_id(moved, id);
    }
    dlist_unlock(list);
    return id;
}

// Cuts the record at offset out of the locked list; the block keeps its size.
static void cut(DisplayList& list, uint32_t offset)
{
    uint32_t span = dobj_length(list.base + offset) + 2u;
    std::memmove(list.base + offset, list.base + offset + span, list.used - offset - span);
    list.used -= span;
    forget_order(list);
}

// Message 37, then message 12 and the cut when the record is deleted; true when cut.
static bool purge_one(DisplayList& list, uint32_t offset)
{
    dobj_send(list.base + offset, kMsgBeforePurge, nullptr);
    if (!(dobj_flags(list.base + offset) & kDobjDeleted))
        return false;
    dobj_send(list.base + offset, kMsgDestroy, nullptr);
    cut(list, offset);
    return true;
}

bool dlist_purge_deleted(DisplayList& list, DlistWalk direction)
{
    // Anyone's lock means record pointers are in use that a cut would invalidate.
    if (list.lock_count > 0 || !dlist_lock(list))
        return false;
    bool removed = false;
    if (direction == DlistWalk::forward) {
        // Offsets, not pointers: a handler may make the block move.
        for (uint32_t offset = 2; load_u16le(list.base + offset) != 0;) {
            if (purge_one(list, offset))
                removed = true;
            else
                offset += dobj_length(list.base + offset) + 2u;
        }
    } else {
        for (uint8_t* record = dlist_last(list); record;) {
            uint32_t offset = uint32_t(record - list.base);
            uint16_t previous_length = load_u16le(record - 2);
            removed |= purge_one(list, offset);
            record = previous_length ? list.base + offset - 2 - previous_length : nullptr;
        }
    }
    dlist_unlock(list);
    return removed;
}

void dlist_broadcast(DisplayList& list, uint16_t mask, int message, DisplayMsgArg* arg)
{
    if (!dlist_lock(list))
        return;
    for (uint32_t offset = 2; offset < list.used && load_u16le(list.base + offset) != 0;) {
        uint8_t* record = list.base + offset;
        if ((dobj_flags(record) & mask) == mask)
            dobj_send(record, message, arg);
        offset += dobj_length(list.base + offset) + 2u;
    }
    dlist_unlock(list);
}

RectList dlist_send_plane(DisplayList& list, uint16_t mask, RectList rects, plat::DcHandle dc, int message)
{
    DisplayMsgArg arg;
    arg.list = rects;
    arg.dc = dc;
    if (!dlist_lock(list))
        return rects;
    DlistOrder order(list, DlistWalk::backward);
    for (uint8_t* record = order.first(); record;) {
        uint32_t offset = uint32_t(record - list.base);
        if (dobj_flags(record) & mask) {
            arg.sub_code = int16_t(mask);
            arg.list = RectList(dobj_send(record, message, &arg));
        }
        record = order.next(list.base + offset);
    }
    dlist_unlock(list);
    return arg.list;
}

RectList dlist_collect_damage(DisplayList& list, uint16_t mask, RectList rects)
{
    return dlist_send_plane(list, mask, rects, plat::DcHandle{}, kMsgTakeDamage);
}

bool dlist_check_block(const uint8_t* bytes, uint32_t used)
{
    if (!bytes || used < kEmptyUsed || (used & 1) || load_u16le(bytes) != 0 || load_u16le(bytes + used - 2) != 0)
        return false;
    uint32_t offset = 2;
    while (offset < used - 2) {
        uint32_t length = load_u16le(bytes + offset);
        // Compared by subtraction: offset + length could pass a damaged used.
        if (length < kDobjHeaderSize || (length & 1) || length > used - 2 - offset || used - 2 - offset - length < 2)
            return false;
        if (load_u16le(bytes + offset + length) != length)
            return false;
        offset += length + 2;
    }
    return offset == used - 2;
}

DisplayList& dlist_stage() { return g.stage; }

int& dobj_walk_depth() { return g.walk_depth; }

void dlist_reset()
{
    dlist_free(g.stage);
    g.next_id = 1;
    g.walk_depth = 0;
}
