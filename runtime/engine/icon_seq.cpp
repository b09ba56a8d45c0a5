#include "runtime/engine/icon_seq.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/icon_state.h"
#include "runtime/engine/urec.h"
#include "runtime/files/msg.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/piece_current.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

struct SeqRange {
    int16_t low;
    int16_t high;
};

struct SeqState {
    int counter = 1;
    std::vector<SeqRange> ranges;
    uint16_t record = 0;
    bool warned = false; // once per run of the program
};

SeqState s_seq;

constexpr size_t kSeqSavedSize = 12;
constexpr uint32_t kMsgTooManyObjects = 58;
constexpr int kTooManyObjectsShown = 500;
constexpr int kLargeNumberSet = 256;

} // namespace

int icon_seq_counter() { return s_seq.counter; }
void icon_seq_set_counter(int counter) { s_seq.counter = std::clamp(counter, 1, kSeqCounterMax); }

uint16_t icon_seq_next()
{
    if (s_seq.counter >= kSeqCounterMax)
        icon_seq_renumber();
    int number = s_seq.counter;
    if (s_seq.counter < kSeqCounterMax)
        s_seq.counter++;
    return uint16_t(number);
}

int icon_seq_is_erased(int number)
{
    if (number == 0)
        return 1;
    for (const SeqRange& range : s_seq.ranges)
        if (number >= range.low && number <= range.high)
            return 1;
    return 0;
}

uint16_t icon_seq_live(IconId icon)
{
    uint16_t number = icon_state_seq(icon);
    return icon_seq_is_erased(number) ? 0 : number;
}

void icon_seq_mark_erased(int low, int high)
{
    if (high == 0)
        high = s_seq.counter - 1;
    if (high < low)
        return;
    for (SeqRange& range : s_seq.ranges) {
        if (range.high >= low && range.low <= high) {
            range.low = int16_t(std::min<int>(range.low, low));
            range.high = int16_t(std::max<int>(range.high, high));
            return;
        }
    }
    s_seq.ranges.push_back({int16_t(low), int16_t(high)});
}

int icon_seq_range_count() { return int(s_seq.ranges.size()); }

void icon_seq_range(int n, int* low, int* high)
{
    *low = *high = 0;
    if (n >= 0 && n < int(s_seq.ranges.size())) {
        *low = s_seq.ranges[size_t(n)].low;
        *high = s_seq.ranges[size_t(n)].high;
    }
}

// --- renumbering -------------------------------------------------------------------------------

struct Numbered {
    IconId icon;
    int number; // negative for a container
};

static int collect_icon(IconId icon, void* user)
{
    auto& list = *static_cast<std::vector<Numbered>*>(user);
    uint16_t number = icon_state_seq(icon);
    if (number == 0)
        return 1;
    if (icon_seq_is_erased(number)) {
        icon_state_set_seq(icon, 0);
        return 1;
    }
    list.push_back({icon, node_is_container(icon) ? -int(number) : int(number)});
    return 1;
}

static std::vector<int> build_boundaries(const std::vector<Numbered>& sorted)
{
    const ExecHooks& hooks = exec_hooks();
    bool large = sorted.size() >= size_t(kLargeNumberSet);
    std::vector<int> boundaries;
    int last = 0;
    for (const Numbered& entry : sorted) {
        int c = std::abs(entry.number);
        bool container = entry.number < 0;
        bool needed = last != 0
            && (!large || (hooks.seq_objects_between && hooks.seq_objects_between(last, c)));
        bool joined = false;
        if (last == 0)
            boundaries.push_back(c);
        else if (!container && !needed)
            joined = true;
        else if (needed)
            boundaries.push_back(c);
        // Displays made after a container started stay apart from the container's own.
        if (container)
            boundaries.push_back(c + 1);
        if (!joined)
            last = container ? c + 1 : c;
    }
    boundaries.erase(std::unique(boundaries.begin(), boundaries.end()), boundaries.end());
    return boundaries;
}

static int position_of(const std::vector<int>& boundaries, int number)
{
    auto it = std::upper_bound(boundaries.begin(), boundaries.end(), number);
    return int(it - boundaries.begin());
}

int icon_seq_position(const uint16_t* boundaries, int count, int number)
{
    auto it = std::upper_bound(boundaries, boundaries + std::max(count, 0), number,
        [](int v, uint16_t bound) { return v < int(bound); });
    return int(it - boundaries);
}

void icon_seq_renumber()
{
    std::vector<Numbered> collected;
    if (IconId top = piece_top_icon())
        node_walk(top, kWalkTree, collect_icon, &collected);
    std::vector<Numbered> sorted = collected;
    // Displays kept in containers' pending sets need groups of their own as well.
    if (exec_hooks().seq_pending_collect)
        exec_hooks().seq_pending_collect(
            [](int number, void* user) { static_cast<std::vector<Numbered>*>(user)->push_back({0, number}); }, &sorted);
    std::stable_sort(sorted.begin(), sorted.end(),
        [](const Numbered& a, const Numbered& b) { return std::abs(a.number) < std::abs(b.number); });
    std::vector<int> boundaries = build_boundaries(sorted);
    if (int(boundaries.size()) >= kSeqMaxBoundaries) {
        if (!s_seq.warned) {
            s_seq.warned = true;
            msg_show(kMsgTooManyObjects, kTooManyObjectsShown);
        }
        return;
    }
    s_seq.counter = int(boundaries.size()) + 1;
    s_seq.ranges.clear();
    for (const Numbered& entry : collected)
        icon_state_set_seq(entry.icon, uint16_t(position_of(boundaries, std::abs(entry.number))));
    std::vector<uint16_t> stored(boundaries.begin(), boundaries.end());
    if (exec_hooks().seq_objects_renumber)
        exec_hooks().seq_objects_renumber(stored.data(), int(stored.size()));
    if (exec_hooks().seq_pending_renumber)
        exec_hooks().seq_pending_renumber(stored.data(), int(stored.size()));
}

// --- the module --------------------------------------------------------------------------------

static std::vector<uint8_t> ranges_bytes()
{
    std::vector<uint8_t> bytes(s_seq.ranges.size() * 4);
    for (size_t i = 0; i < s_seq.ranges.size(); i++) {
        plat::store_u16le(&bytes[4 * i], uint16_t(s_seq.ranges[i].low));
        plat::store_u16le(&bytes[4 * i + 2], uint16_t(s_seq.ranges[i].high));
    }
    return bytes;
}

static void write_small_state(uint8_t* out)
{
    plat::store_u16le(out, uint16_t(s_seq.counter));
    plat::store_u16le(out + 2, s_seq.record);
    plat::store_u32le(out + 4, 0); // the handle slot means nothing in another run
    plat::store_u32le(out + 8, uint32_t(s_seq.ranges.size() * 4));
}

static int store_ranges()
{
    std::vector<uint8_t> bytes = ranges_bytes();
    return urec_write(s_seq.record, bytes.data(), bytes.size());
}

static int seq_init(ModuleMessage* message)
{
    bool warned = s_seq.warned;
    s_seq = SeqState {};
    s_seq.warned = warned;
    s_seq.record = urec_new_id();
    if (s_seq.record == 0)
        return kErrOutOfMemory;
    if (int error = store_ranges())
        return error;
    message->size = int16_t(kSeqSavedSize);
    if (message->state)
        write_small_state(message->state);
    return 0;
}

static int seq_restore(ModuleMessage* message)
{
    if (message->size != int16_t(kSeqSavedSize) || !message->state)
        return kErrStateSize;
    int counter = plat::load_u16le(message->state);
    uint16_t record = plat::load_u16le(message->state + 2);
    uint32_t length = plat::load_u32le(message->state + 8);
    std::vector<uint8_t> bytes;
    if (record == 0 || urec_read(record, bytes) != 0)
        return kErrOutOfMemory;
    if (counter < 1 || counter > kSeqCounterMax || length % 4 != 0 || bytes.size() != length)
        return kErrStateSize;
    std::vector<SeqRange> ranges;
    for (size_t at = 0; at < bytes.size(); at += 4) {
        SeqRange range {int16_t(plat::load_u16le(&bytes[at])), int16_t(plat::load_u16le(&bytes[at + 2]))};
        if (range.low < 0 || range.high < range.low || range.high > kSeqCounterMax)
            return kErrStateSize;
        ranges.push_back(range);
    }
    s_seq.counter = counter;
    s_seq.record = record;
    s_seq.ranges = std::move(ranges);
    return 0;
}

int icon_seq_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit: return seq_init(message);
    case kModRestore: return seq_restore(message);
    case kModSave:
        if (message->size != int16_t(kSeqSavedSize) || !message->state)
            return kErrStateSize;
        write_small_state(message->state);
        return store_ranges();
    case kModRelease:
        urec_release(s_seq.record);
        s_seq.record = 0;
        return 0;
    case kModDelete:
        if (s_seq.record)
            (void)urec_delete(s_seq.record);
        s_seq.record = 0;
        s_seq.ranges.clear();
        return 0;
    default: return 0;
    }
}

void icon_seq_reset() { s_seq = SeqState {}; }
