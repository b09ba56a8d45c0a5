// Display lists: display-object records packed one after another in one movable block, in
// paint order (the first is at the back). The block is the stored form:
//   u16 0 | record 1 (u16 length L1 ...) | u16 L1 | record 2 ... | u16 L2 | u16 0
// so an empty list is 4 zero bytes and used = 4 + sum of (L + 2). The leading 0 stops backward
// walks, the trailing 0 forward ones. One id counter serves every list.
#pragma once
#include <cstdint>

#include "platform/window/window_types.h"
#include "runtime/base/mem.h"
#include "runtime/display/dobj_record.h"

struct DisplayMsgArg;

enum class DlistWalk { backward, forward };

// Where the list is; all zero when it has never been used. The lock count nests for the one
// thread: while it is positive the block is pinned and base is its address.
struct DisplayList {
    MemHandle block;
    uint8_t* base = nullptr;
    uint32_t used = 0;
    int16_t lock_count = 0;
};

// The 16-byte form a group record embeds (block id, 0 for the address, used, lock count).
constexpr uint32_t kDlistHeaderSize = 16;
DisplayList dlist_load(const uint8_t* bytes);
void dlist_store(const DisplayList& list, uint8_t* bytes);

int dlist_init(DisplayList& list);
void dlist_free(DisplayList& list);
// The base address (raising the count), null when the list has no block or it cannot be had.
uint8_t* dlist_lock(DisplayList& list);
// The remaining count; 0 and nothing done when the list was not locked.
int dlist_unlock(DisplayList& list);

// Walking a locked list: null at either end, for an unlocked list or one without records.
uint8_t* dlist_first(const DisplayList& list);
uint8_t* dlist_last(const DisplayList& list);
// Inline: every refresh walks the stage list several times over.
inline uint8_t* dlist_next(uint8_t* record)
{
    uint8_t* next = record + dobj_length(record) + 2;
    return plat::load_u16le(next) == 0 ? nullptr : next;
}
inline uint8_t* dlist_prev(uint8_t* record)
{
    uint16_t previous_length = plat::load_u16le(record - 2);
    return previous_length == 0 ? nullptr : record - 2 - previous_length;
}
// A walk of a locked list, front to back or back to front. While the refresh runs
// (dlist_keep_order) the stage list's record offsets are taken once and walks step through
// them: a record-by-record walk reads each length to find the next record, and every step
// waits on the one before. A walk goes on record by record once the list's block or size
// changes under it (a handler added a record), as a walk without the offsets would.
class DlistOrder {
public:
    DlistOrder(const DisplayList& list, DlistWalk direction);
    uint8_t* first() const { return first_; }
    uint8_t* next(uint8_t* record)
    {
        if (offsets_ && list_.base == base_ && list_.used == used_)
            return ++at_ < count_ ? base_ + offsets_[backward_ ? count_ - 1 - at_ : at_] : nullptr;
        offsets_ = nullptr;
        return backward_ ? dlist_prev(record) : dlist_next(record);
    }

private:
    const DisplayList& list_;
    const uint32_t* offsets_ = nullptr; // null: record by record
    uint32_t count_ = 0, at_ = 0;
    uint8_t* base_ = nullptr;
    uint32_t used_ = 0;
    bool backward_;
    uint8_t* first_ = nullptr;
};
// Lets walks of the list keep its record offsets until dlist_drop_order (the refresh's span).
void dlist_keep_order(const DisplayList& list);
void dlist_drop_order();

// The top-level record with the id, or null (the list must be locked).
uint8_t* dlist_find_top(const DisplayList& list, uint32_t id);
// As dlist_find_top, searching group members too.
uint8_t* dlist_find(const DisplayList& list, uint32_t id);
// True when record b comes after record a in the list.
bool dlist_is_after(const uint8_t* a, const uint8_t* b);

// Copies the record in at the end: the new id, or 0 (list unchanged) without memory or for a
// record shorter than its header. An odd length is made even in the caller's record too; the
// pad byte is zero. The record must not lie in the list's own block (the block may move).
uint32_t dlist_append(DisplayList& list, uint8_t* record);
// As dlist_append, in front of the top-level record with target_id when there is one.
uint32_t dlist_insert_before(DisplayList& list, uint32_t target_id, uint8_t* record);
// Moves the object in front of target_id (0: to the front): the object keeps its id; a
// deleted placeholder with the new id stays until the next purge. 0 when it cannot be copied.
uint32_t dlist_move_before(DisplayList& list, uint32_t id, uint32_t target_id);
// Cuts out the records that are deleted after message 37; refused (false) while locked.
bool dlist_purge_deleted(DisplayList& list, DlistWalk direction);
// Sends the message, first to last, to every record whose flags hold all of mask (0: all).
void dlist_broadcast(DisplayList& list, uint16_t mask, int message, DisplayMsgArg* arg);
// Sends the message, last to first, to every record sharing a bit with mask, carrying the
// rectangle list through the answers; returns the final list.
RectList dlist_send_plane(DisplayList& list, uint16_t mask, RectList rects, plat::DcHandle dc, int message);
// dlist_send_plane with message 9: every object's damage list joins rects.
RectList dlist_collect_damage(DisplayList& list, uint16_t mask, RectList rects);

// The id the next record takes (the counter advances), and setting it.
uint32_t dlist_next_id();
void dlist_set_next_id(uint32_t value);

// The stage list, and the depth of icon-object walks (a flush waits while it is nonzero).
DisplayList& dlist_stage();
int& dobj_walk_depth();

// Whether bytes (used of them) form a list block: a leading 0, records of even length no
// shorter than the header, each followed by a trailer equal to its length, and the final 0 at
// used - 2. Restores of stored lists accept nothing else.
bool dlist_check_block(const uint8_t* bytes, uint32_t used);

// Frees the stage list and starts ids at 1 again (tests call it).
void dlist_reset();
