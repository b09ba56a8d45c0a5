#include "runtime/display/group.h"

#include <cstring>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/refresh_paint.h"
#include "runtime/display/shapes.h"

// The shortest record each member kind can work with; 0 where the kind's own module decides.
static const uint32_t kMemberMinLength[kDobjMemberTableSize] = {
    kLineRecordSize,  // line
    kShapeRecordSize, // rectangle
    0,                // object of an outside library
    kShapeRecordSize, // oval
    0,                // hot text
    0,                // OLE object
    0,                // media
};

bool group_has_members(const uint8_t* record)
{
    uint32_t kind = dobj_kind(record);
    if (kind == kDobjKindIconWrapper && dobj_is_icon_object(record))
        kind = dobj_icon_kind_handler(record);
    bool built_on_group = kind == kDobjKindGroup || kind == kKindDisplayIcon || kind == kKindDrawingSurface;
    uint32_t tail = dobj_kind(record) == kDobjKindIconWrapper ? kIconTailSize : 0;
    return built_on_group && dobj_length(record) >= kDobjHeaderSize + kDlistHeaderSize + tail;
}

DisplayList group_members(const uint8_t* group) { return dlist_load(group + kDobjHeaderSize); }
void group_set_members(uint8_t* group, const DisplayList& members) { dlist_store(members, group + kDobjHeaderSize); }

uint32_t group_handler_to_index(uint32_t kind)
{
    return kind >= kDobjMemberKinds && kind < kDobjMemberKinds + kDobjMemberTableSize ? kind - kDobjMemberKinds : 0;
}

uint32_t group_index_to_handler(int32_t index)
{
    return index >= 0 && index < int32_t(kDobjMemberTableSize) ? uint32_t(kDobjMemberKinds) + uint32_t(index) : uint32_t(kDobjKindBase);
}

uint32_t group_create_for_icon(DisplayList& members, uint32_t kind_handler, IconId icon, uint16_t object_kind,
    uint16_t plane_bits, int32_t layer)
{
    std::vector<uint8_t> record(kDobjHeaderSize + kDlistHeaderSize + kIconTailSize, 0);
    plat::store_u16le(record.data(), uint16_t(kDobjHeaderSize + kDlistHeaderSize));
    group_set_members(record.data(), members);
    group_bounds(record.data());
    uint32_t id = dobj_create_for_icon(record.data(), kind_handler, icon, object_kind, plane_bits, layer);
    if (id == 0)
        dlist_free(members);
    members = DisplayList{};
    return id;
}

// --- walking the members ----------------------------------------------------------------------

enum class Until { all, nonzero };

// Sends the message to the members from the first; with Until::nonzero stops at the first
// nonzero answer. Answers the last answer. The member list is locked around the walk; the
// header in the group's record is only read (the walk changes no block or length).
static int32_t send_members(uint8_t* group, int message, DisplayMsgArg* arg, Until until)
{
    DisplayList members = group_members(group);
    if (!dlist_lock(members))
        return 0;
    int32_t answer = 0;
    for (uint32_t offset = 2; offset < members.used && plat::load_u16le(members.base + offset) != 0;) {
        answer = dobj_send(members.base + offset, message, arg);
        if (until == Until::nonzero && answer != 0)
            break;
        offset += dobj_length(members.base + offset) + 2u;
    }
    dlist_unlock(members);
    return answer;
}

static bool deleted(const uint8_t* group) { return dobj_flags(group) & kDobjDeleted; }

void group_bounds(uint8_t* group)
{
    Rect united{};
    DisplayList members = group_members(group);
    if (dlist_lock(members)) {
        for (uint8_t* m = dlist_first(members); m; m = dlist_next(m)) {
            DisplayMsgArg arg;
            dobj_send(m, kMsgGetBounds, &arg);
            Rect joined;
            plat::union_rect(joined, united, arg.rect);
            united = joined;
        }
        dlist_unlock(members);
    }
    dobj_set_rect(group, kDobjBounds, united);
}

// --- messages with more to them ---------------------------------------------------------------

static int32_t draw(uint8_t* group, DisplayMsgArg& arg)
{
    DisplayList members = group_members(group);
    return dlist_draw_plane(members, arg.sub_code & kDobjPlaneBits, dobj_list_word(group, kDobjUpdate), arg.dc);
}

// Message 9: the group's own damage also redraws its members there; then theirs joins it.
static int32_t take_damage(uint8_t* group, DisplayMsgArg& arg)
{
    RectList own = RectList(dobj_default_handler(group, kMsgTakeDamage, &arg));
    if (own != 0) {
        arg.list = own;
        const DobjScreenHooks& hooks = dobj_screen_hooks();
        if (hooks.rlist_copy && hooks.rlist_append_list) {
            RectList copy = hooks.rlist_copy(own);
            dobj_set_list_word(group, kDobjUpdate, hooks.rlist_append_list(dobj_list_word(group, kDobjUpdate), copy));
        }
    }
    DisplayList members = group_members(group);
    return dlist_collect_damage(members, kDobjPlaneBits, own);
}

// Message 11: every member's extent is mapped from the group's extent into the new rectangle,
// anchored at the corner across from the dragged handle; a drag past the anchor mirrors them.
static void set_bounds(uint8_t* group, DisplayMsgArg& arg)
{
    Rect extent = dobj_rect(group, kDobjExtent);
    int handle = arg.sub_code;
    Point anchor = rect_handle_delta(extent.left, extent.top, extent.right, extent.bottom, rect_opposite_handle(handle));
    // The dragged point against the anchor: a left handle dragged right of it flips x, and so on.
    int flip = rect_handle_flip(arg.x, arg.y, handle, anchor.x, anchor.y);
    DisplayList members = group_members(group);
    if (dlist_lock(members)) {
        for (uint32_t offset = 2; offset < members.used && plat::load_u16le(members.base + offset) != 0;) {
            DisplayMsgArg member;
            member.rect = dobj_rect(members.base + offset, kDobjExtent);
            rect_map(member.rect, extent, arg.rect, flip);
            dobj_send(members.base + offset, kMsgSetBounds, &member);
            offset += dobj_length(members.base + offset) + 2u;
        }
        dlist_unlock(members);
    }
    group_bounds(group);
}

static void destroy(uint8_t* group)
{
    send_members(group, kMsgDestroy, nullptr, Until::all);
    DisplayList members = group_members(group);
    dlist_free(members);
    group_set_members(group, members);
}

void group_save_handlers(DisplayList& members, DisplayMsgArg* arg)
{
    if (!members.block)
        return;
    const void* bytes = mem_lock(members.block);
    MemHandle copy = bytes ? mem_alloc_copy(bytes, members.used) : MemHandle{};
    if (bytes)
        mem_unlock(members.block);
    uint8_t* block = copy ? static_cast<uint8_t*>(mem_lock(copy)) : nullptr;
    if (!block) {
        mem_free(copy);
        arg->sub_code = kGroupNoMemory;
        return;
    }
    for (uint32_t offset = 2; offset < members.used && plat::load_u16le(block + offset) != 0;
         offset += dobj_length(block + offset) + 2u)
        dobj_set_kind(block + offset, group_handler_to_index(dobj_kind(block + offset)));
    if (arg->stream)
        arg->stream(kGroupPieceTag, block, int32_t(members.used), arg->caller_data);
    mem_unlock(copy);
    mem_free(copy);
}

// Each restored member takes its kind from its index; one too short for its kind stays as a
// deleted placeholder, which the next purge removes.
static void restore_member_kinds(uint8_t* block, uint32_t used)
{
    for (uint32_t offset = 2; offset < used && plat::load_u16le(block + offset) != 0;
         offset += dobj_length(block + offset) + 2u) {
        uint8_t* member = block + offset;
        uint32_t kind = group_index_to_handler(int32_t(dobj_kind(member)));
        uint32_t index = group_handler_to_index(kind);
        if (kind != kDobjKindBase && dobj_length(member) < kMemberMinLength[index]) {
            kind = kDobjKindBase;
            dobj_set_flags(member, uint16_t((dobj_flags(member) | kDobjDeleted) & ~kDobjVisible));
        }
        dobj_set_kind(member, kind);
        dobj_set_list_word(member, kDobjUpdate, 0);
        dobj_set_list_word(member, kDobjDamage, 0);
    }
}

void group_restore_handlers(DisplayList& members, DisplayMsgArg* arg)
{
    // The stored header names a block of the run that saved it: never free or lock it.
    bool had_block = bool(members.block);
    members = DisplayList{};
    MemHandle piece{arg->stream ? uint32_t(arg->stream(kGroupPieceTag, nullptr, 0, arg->caller_data)) : 0u};
    size_t size = piece ? mem_size(piece) : 0;
    uint8_t* bytes = size > 0 && size <= UINT32_MAX ? static_cast<uint8_t*>(mem_lock(piece)) : nullptr;
    if (!bytes || !dlist_check_block(bytes, uint32_t(size))) {
        if (bytes)
            mem_unlock(piece);
        mem_free(piece);
        if (had_block || piece)
            arg->sub_code = kGroupNoMemory;
        return;
    }
    restore_member_kinds(bytes, uint32_t(size));
    mem_unlock(piece);
    members.block = piece;
    members.used = uint32_t(size);
}

// --- the handler ------------------------------------------------------------------------------

// Messages every member hears unless the group is deleted, before the base.
static bool broadcast_unless_deleted(int message)
{
    switch (message) {
    case 3: case 4: case kMsgComputeExtent: case 14: case 18: case 19: case 22: case 24: case kMsgMoved:
    case kMsgErase: case 38: case 39: case 48: case 54: case 55: case 56: case kMsgSetPlane:
        return true;
    default:
        return false;
    }
}

static void save_or_restore(uint8_t* group, int message, DisplayMsgArg& arg)
{
    DisplayList members = group_members(group);
    if (message == 66)
        group_save_handlers(members, &arg);
    else
        group_restore_handlers(members, &arg);
    group_set_members(group, members);
}

int32_t group_handler(uint8_t* group, int message, DisplayMsgArg* given)
{
    DisplayMsgArg blank;
    DisplayMsgArg& arg = given ? *given : blank;
    if (dobj_length(group) < kDobjHeaderSize + kDlistHeaderSize)
        return dobj_default_handler(group, message, &arg);
    if (broadcast_unless_deleted(message)) {
        if (!deleted(group))
            send_members(group, message, &arg, Until::all);
        return dobj_default_handler(group, message, &arg);
    }
    switch (message) {
    case kMsgDraw:
        return draw(group, arg);
    case kMsgHitTest:
    case 6:
        if (deleted(group))
            return dobj_default_handler(group, message, &arg);
        return send_members(group, message, &arg, Until::nonzero);
    case kMsgDropUpdate:
        send_members(group, message, &arg, Until::all);
        return dobj_default_handler(group, message, &arg);
    case kMsgUpdate:
    case kMsgDamage:
        // Flag 0x01 keeps the members out of it (set by whoever embeds the group).
        if (!deleted(group) && !(dobj_flags(group) & 0x01)) {
            send_members(group, message, &arg, Until::all);
            if (dobj_screen_hooks().set_refresh_needed)
                dobj_screen_hooks().set_refresh_needed();
        }
        return 0;
    case kMsgTakeDamage:
        return take_damage(group, arg);
    case kMsgSetBounds:
        if (deleted(group))
            return 0;
        set_bounds(group, arg);
        return 0;
    case kMsgDestroy:
        destroy(group);
        return dobj_default_handler(group, message, &arg);
    case kMsgForward:
        if (dobj_default_handler(group, message, &arg))
            return 1;
        return send_members(group, message, &arg, Until::nonzero) != 0;
    case 20:
    case 21:
        if (!deleted(group)) {
            send_members(group, message, &arg, Until::all);
            group_bounds(group);
        }
        return dobj_default_handler(group, message, &arg);
    case kMsgQuery:
        if (int32_t answer = dobj_default_handler(group, message, &arg))
            return answer;
        return send_members(group, message, &arg, Until::nonzero);
    case kMsgHitByPoint:
        if (arg.sub_code != 0 || deleted(group))
            return 0;
        return send_members(group, message, &arg, Until::nonzero);
    case 66:
    case 67:
        save_or_restore(group, message, arg);
        return 0;
    default:
        return dobj_default_handler(group, message, &arg);
    }
}
