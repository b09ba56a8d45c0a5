#include "runtime/icons/icon_stats.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/base/taglist.h"
#include "runtime/engine/goto.h"
#include "runtime/engine/urec.h"
#include "runtime/files/clock.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

namespace {

using plat::load_u16le;
using plat::load_u32le;
using plat::store_u16le;
using plat::store_u32le;

// Handle slot, block record, sets record, the current record, record count.
constexpr int16_t kStatsSavedSize = 48;
constexpr size_t kSavedCurrent = 8;
constexpr size_t kSavedCount = kSavedCurrent + kIconStatsSize;

struct StatsState {
    std::vector<uint8_t> block; // the records, back to back
    std::unordered_map<IconId, int> index; // icon -> record position
    int current = -1; // the record accessed last, kept in the small state
    uint16_t block_record = 0;
    uint16_t sets_record = 0;
};

StatsState s_stats;

enum class Access { read, write };

int record_count() { return int(s_stats.block.size() / kIconStatsSize); }

// The icon's record, created at the end of the block for a write; null when the icon has none
// (a read) or the block is full (a write, which is then lost).
uint8_t* record_of(IconId icon, Access access)
{
    if (icon == 0)
        return nullptr;
    auto found = s_stats.index.find(icon);
    if (found != s_stats.index.end()) {
        s_stats.current = found->second;
        return &s_stats.block[size_t(found->second) * kIconStatsSize];
    }
    if (access == Access::read || record_count() >= kIconStatsMax)
        return nullptr;
    int position = record_count();
    s_stats.block.resize(s_stats.block.size() + kIconStatsSize);
    uint8_t* record = &s_stats.block[size_t(position) * kIconStatsSize];
    store_u32le(record + kStatIcon, icon);
    s_stats.index[icon] = position;
    s_stats.current = position;
    return record;
}

uint16_t flags_of(IconId icon)
{
    const uint8_t* record = record_of(icon, Access::read);
    return record ? load_u16le(record + kStatFlags) : 0;
}

void set_flags(IconId icon, uint16_t mask, uint16_t bits)
{
    if (uint8_t* record = record_of(icon, Access::write))
        store_u16le(record + kStatFlags, uint16_t((load_u16le(record + kStatFlags) & ~mask) | (bits & mask)));
}

IdSet set_at(const uint8_t* record) { return IdSet(load_u32le(record + kStatEraseSet)); }

void free_sets()
{
    for (int n = 0; n < record_count(); n++)
        idset_free(set_at(&s_stats.block[size_t(n) * kIconStatsSize]));
}

void forget_block()
{
    free_sets();
    s_stats.block.clear();
    s_stats.index.clear();
    s_stats.current = -1;
}

// Sets are stored under their icon's node number (tags are 16-bit).
uint16_t set_tag(IconId icon) { return uint16_t(node_icon_number(icon)); }

void write_small_state(uint8_t* out)
{
    store_u32le(out, 0); // the handle slot means nothing in another run
    store_u16le(out + 4, s_stats.block_record);
    store_u16le(out + 6, s_stats.sets_record);
    std::array<uint8_t, kIconStatsSize> current {};
    if (s_stats.current >= 0 && s_stats.current < record_count())
        std::copy_n(&s_stats.block[size_t(s_stats.current) * kIconStatsSize], kIconStatsSize, current.begin());
    store_u32le(current.data() + kStatEraseSet, 0);
    std::copy(current.begin(), current.end(), out + kSavedCurrent);
    store_u16le(out + kSavedCount, uint16_t(record_count()));
}

// The block as stored: the set handles mean nothing in another run.
std::vector<uint8_t> stored_block()
{
    std::vector<uint8_t> bytes = s_stats.block;
    for (size_t at = 0; at < bytes.size(); at += kIconStatsSize)
        if (load_u32le(&bytes[at + kStatEraseSet]))
            store_u32le(&bytes[at + kStatEraseSet], 1);
    return bytes;
}

int store_sets()
{
    TagList list = taglist_new();
    if (!list)
        return kErrOutOfMemory;
    int answer = 0;
    for (int n = 0; n < record_count() && answer == 0; n++) {
        const uint8_t* record = &s_stats.block[size_t(n) * kIconStatsSize];
        IdSet set = set_at(record);
        uint16_t tag = set_tag(load_u32le(record + kStatIcon));
        if (!set || tag == 0)
            continue;
        const auto* bytes = static_cast<const uint8_t*>(mem_lock(set));
        if (!bytes || !taglist_put(&list, tag, bytes, uint32_t(idset_byte_size(set))))
            answer = kErrOutOfMemory;
        if (bytes)
            mem_unlock(set);
    }
    if (answer == 0) {
        const auto* bytes = static_cast<const uint8_t*>(mem_lock(list));
        answer = bytes ? urec_write(s_stats.sets_record, bytes, mem_size(list)) : kErrOutOfMemory;
        if (bytes)
            mem_unlock(list);
    }
    taglist_free(list);
    return answer;
}

int store_all()
{
    std::vector<uint8_t> block = stored_block();
    if (int error = urec_write(s_stats.block_record, block.data(), block.size()))
        return error;
    return store_sets();
}

int stats_init(ModuleMessage* message)
{
    forget_block();
    s_stats.block_record = urec_new_id();
    s_stats.sets_record = urec_new_id();
    if (s_stats.block_record == 0 || s_stats.sets_record == 0)
        return kErrOutOfMemory;
    if (int error = store_all())
        return error;
    message->size = kStatsSavedSize;
    if (message->state)
        write_small_state(message->state);
    return 0;
}

// Gives every record that had a set its set from the stored list: 0 or kErrStateSize.
int attach_sets(const std::vector<uint8_t>& list)
{
    for (int n = 0; n < record_count(); n++) {
        uint8_t* record = &s_stats.block[size_t(n) * kIconStatsSize];
        bool had = load_u32le(record + kStatEraseSet) != 0;
        store_u32le(record + kStatEraseSet, 0); // a stale handle must never be freed or read
        uint16_t tag = set_tag(load_u32le(record + kStatIcon));
        uint16_t length = tag ? taglist_item_length(list.data(), list.size(), tag) : 0;
        if (!had || length == 0)
            continue;
        std::vector<uint8_t> bytes(length);
        (void)taglist_get(list.data(), list.size(), tag, bytes.data(), length);
        IdSet set {};
        if (idset_load(plat::ByteReader(bytes.data(), bytes.size()), &set) != 0)
            return kErrStateSize;
        store_u32le(record + kStatEraseSet, set.id);
    }
    return 0;
}

int stats_restore(ModuleMessage* message)
{
    if (message->size != kStatsSavedSize || !message->state)
        return kErrStateSize;
    uint16_t block_record = load_u16le(message->state + 4);
    uint16_t sets_record = load_u16le(message->state + 6);
    int count = int16_t(load_u16le(message->state + kSavedCount));
    std::vector<uint8_t> block;
    std::vector<uint8_t> list;
    if (block_record == 0 || sets_record == 0 || urec_read(block_record, block) != 0 || urec_read(sets_record, list) != 0)
        return kErrOutOfMemory;
    if (int error = icon_stats_load(block.data(), block.size(), list.data(), list.size(), count))
        return error;
    s_stats.block_record = block_record;
    s_stats.sets_record = sets_record;
    return 0;
}

int stats_save(ModuleMessage* message)
{
    if (message->size != kStatsSavedSize || !message->state)
        return kErrStateSize;
    write_small_state(message->state);
    return store_all();
}

// Suspending holds every stopwatch of every record (its pause reason 0); resuming lets go.
void hold_stopwatches(int hold)
{
    for (size_t at = 0; at < s_stats.block.size(); at += kIconStatsSize) {
        for (uint32_t field : {uint32_t(kStatInteractionClock), uint32_t(kStatResponseClock)}) {
            uint8_t* bytes = &s_stats.block[at + field];
            Stopwatch watch {load_u32le(bytes), bytes[4], bytes[5]};
            (void)clock_stopwatch_control(watch, hold ? kStopwatchPause0 : kStopwatchResume0);
            store_u32le(bytes, watch.value);
            bytes[4] = watch.pause_bits;
            bytes[5] = watch.stopped;
        }
    }
}

void forget_records(bool delete_them)
{
    for (uint16_t record : {s_stats.block_record, s_stats.sets_record}) {
        if (record == 0)
            continue;
        if (delete_them)
            (void)urec_delete(record);
        else
            urec_release(record);
    }
    s_stats.block_record = 0;
    s_stats.sets_record = 0;
    forget_block();
}

} // namespace

IconId icon_stat_selected_child(IconId icon)
{
    const uint8_t* record = record_of(icon, Access::read);
    return record ? load_u32le(record + kStatSelected) : 0;
}

void icon_stat_set_selected_child(IconId icon, IconId child)
{
    if (uint8_t* record = record_of(icon, Access::write))
        store_u32le(record + kStatSelected, child);
}

int icon_stat_call_mark(IconId icon) { return (flags_of(icon) & kStatFlagCallMark) ? 1 : 0; }
void icon_stat_set_call_mark(IconId icon, int on) { set_flags(icon, kStatFlagCallMark, on ? kStatFlagCallMark : 0); }

int icon_stat_erase_bits(IconId icon) { return flags_of(icon) >> kStatEraseBitsShift; }
void icon_stat_set_erase_bits(IconId icon, int bits)
{
    set_flags(icon, 0xFF00, uint16_t((bits & 0xFF) << kStatEraseBitsShift));
}

IdSet icon_stat_erase_set(IconId icon)
{
    const uint8_t* record = record_of(icon, Access::read);
    return record ? set_at(record) : IdSet {};
}

int icon_stat_set_erase_set(IconId icon, IdSet set)
{
    uint8_t* record = record_of(icon, Access::write);
    if (!record) {
        idset_free(set);
        return 0;
    }
    IdSet previous = set_at(record);
    if (previous && previous != set)
        idset_free(previous);
    store_u32le(record + kStatEraseSet, set.id);
    return 1;
}

void icon_stat_for_each_set(IconStatSetVisit visit, void* user)
{
    for (int n = 0; n < record_count(); n++) {
        const uint8_t* record = &s_stats.block[size_t(n) * kIconStatsSize];
        if (IdSet set = set_at(record))
            visit(load_u32le(record + kStatIcon), set, user);
    }
}

int icon_stats_count() { return record_count(); }

int icon_stats_load(const uint8_t* block, size_t block_size, const uint8_t* list, size_t list_size, int count)
{
    forget_block();
    if (count < 0 || block_size % kIconStatsSize != 0 || block_size / kIconStatsSize != size_t(count)
        || count > kIconStatsMax || taglist_check(list, list_size) != 0)
        return kErrStateSize;
    s_stats.block.assign(block, block + block_size);
    for (int n = count - 1; n >= 0; n--)
        s_stats.index[load_u32le(&s_stats.block[size_t(n) * kIconStatsSize])] = n; // the first record wins
    if (int error = attach_sets(std::vector<uint8_t>(list, list + list_size))) {
        forget_block();
        return error;
    }
    return 0;
}

int icon_stats_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit: return stats_init(message);
    case kModRestore: return stats_restore(message);
    case kModSave: return stats_save(message);
    case kModRelease: forget_records(false); return 0;
    case kModDelete: forget_records(true); return 0;
    case kModSuspend: hold_stopwatches(1); return 0;
    case kModResume: hold_stopwatches(0); return 0;
    default: return 0;
    }
}

void icon_stats_install()
{
    modmsg_register(kSlotIconStats, icon_stats_module);
    GotoHooks hooks = goto_hooks();
    hooks.selected_child = icon_stat_selected_child;
    hooks.set_selected_child = icon_stat_set_selected_child;
    hooks.in_call = icon_stat_call_mark;
    hooks.set_in_call = icon_stat_set_call_mark;
    goto_set_hooks(&hooks);
}

void icon_stats_reset()
{
    forget_block();
    s_stats = StatsState {};
}
