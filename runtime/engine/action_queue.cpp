#include "runtime/engine/action_queue.h"

#include "platform/kernel/byte_io.h"
#include "runtime/base/errcode.h"
#include "runtime/engine/kernel.h"
#include "runtime/engine/urec.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kDefaultLimit = 1 << 20;

struct Queue {
    std::vector<uint8_t> block; // count x entry size bytes in use
    uint32_t capacity = 0;      // bytes, grown by 50 entries at a time
    uint32_t count = 0;
    uint32_t cursor = 0;
    uint32_t entry_size = kKernelActionSize;
    uint16_t record = 0;
    int limit = kDefaultLimit;
};

Queue s_queue;

// Makes room for n more entries: false when the block may not grow that far.
bool reserve(uint32_t n)
{
    Queue& q = s_queue;
    uint64_t need = uint64_t(q.count + n) * q.entry_size;
    if (q.count + uint64_t(n) > uint64_t(q.limit))
        return false;
    uint64_t step = uint64_t(q.entry_size) * kQueueGrowEntries;
    uint64_t capacity = q.capacity;
    while (capacity < need)
        capacity += step;
    try {
        q.block.resize(size_t(capacity));
    } catch (const std::bad_alloc&) {
        return false;
    }
    q.capacity = uint32_t(capacity);
    return true;
}

void insert(const KernelAction& action)
{
    Queue& q = s_queue;
    uint8_t* at = q.block.data() + size_t(q.cursor) * q.entry_size;
    std::memmove(at + q.entry_size, at, size_t(q.count - q.cursor) * q.entry_size);
    std::fill(at, at + q.entry_size, uint8_t(0));
    kaction_encode(action, at);
    q.count++;
}

} // namespace

void kaction_encode(const KernelAction& action, uint8_t out[kKernelActionSize])
{
    plat::store_u32le(out, action.op);
    plat::store_u32le(out + 4, action.icon);
    plat::store_u32le(out + 8, action.state);
    plat::store_u32le(out + 12, action.second);
    plat::store_u16le(out + 16, action.flags);
}

KernelAction kaction_decode(const uint8_t* in)
{
    KernelAction action;
    action.op = plat::load_u32le(in);
    action.icon = plat::load_u32le(in + 4);
    action.state = plat::load_u32le(in + 8);
    action.second = plat::load_u32le(in + 12);
    action.flags = plat::load_u16le(in + 16);
    return action;
}

void exec_queue_reset(uint32_t entry_size, int keep)
{
    Queue& q = s_queue;
    // Entries are always actions; a different size would misread the block.
    (void)entry_size;
    q.entry_size = kKernelActionSize;
    if (!keep)
        q.count = 0;
    q.cursor = q.count;
}

static void fix_cursor()
{
    if (s_queue.count < s_queue.cursor)
        s_queue.cursor = s_queue.count;
}

int exec_queue_push(const KernelAction& action)
{
    fix_cursor();
    if (!reserve(1))
        return 0;
    insert(action);
    return 1;
}

int exec_queue_push_plan(const std::vector<KernelAction>& plan)
{
    fix_cursor();
    if (!reserve(uint32_t(plan.size())))
        return 0;
    // Each insert lands before the previous one, so the plan runs in the order given.
    for (const KernelAction& action : plan)
        insert(action);
    return 1;
}

int exec_queue_take(KernelAction* out)
{
    Queue& q = s_queue;
    if (q.count == 0)
        return 0;
    q.count--;
    *out = kaction_decode(q.block.data() + size_t(q.count) * q.entry_size);
    return 1;
}

int exec_queue_count() { return int(s_queue.count); }
int exec_queue_cursor() { return int(s_queue.cursor); }
uint32_t exec_queue_capacity() { return s_queue.capacity; }

KernelAction exec_queue_entry(int n)
{
    if (n < 0 || uint32_t(n) >= s_queue.count)
        return KernelAction {};
    return kaction_decode(s_queue.block.data() + size_t(n) * s_queue.entry_size);
}

void exec_queue_set_limit(int entries) { s_queue.limit = entries > 0 ? entries : kDefaultLimit; }

static void encode_state(uint8_t* out)
{
    const Queue& q = s_queue;
    plat::store_u32le(out, 0); // the handle slot means nothing once stored
    plat::store_u32le(out + 4, q.capacity);
    plat::store_u32le(out + 8, q.count);
    plat::store_u32le(out + 12, q.cursor);
    plat::store_u16le(out + 16, q.record);
    plat::store_u32le(out + 18, q.entry_size);
}

static int queue_init(ModuleMessage* message)
{
    Queue& q = s_queue;
    int limit = q.limit;
    q = Queue {};
    q.limit = limit;
    q.record = urec_new_id();
    if (q.record == 0)
        return kErrOutOfMemory;
    if (int error = urec_write(q.record, nullptr, 0))
        return error;
    message->size = int16_t(kQueueSavedSize);
    if (message->state)
        encode_state(message->state);
    return 0;
}

// A stored action names a known op and icons of the running piece (or none).
static bool action_ok(const KernelAction& action)
{
    if (action.op < kActEnterContainer || action.op > kActContinueAfter)
        return false;
    if (action.op == kActEnterContainer && !exec_piece_icon_ok(action.state, 1))
        return false;
    if ((action.op == kActGoTo || action.op == kActCallPerpetual) && action.state > uint32_t(kStateWaitingSound))
        return false;
    return exec_piece_icon_ok(action.icon, 1) && exec_piece_icon_ok(action.second, 1);
}

static int queue_restore(ModuleMessage* message)
{
    if (message->size != int16_t(kQueueSavedSize) || !message->state)
        return kErrStateSize;
    const uint8_t* in = message->state;
    uint32_t count = plat::load_u32le(in + 8);
    uint32_t cursor = plat::load_u32le(in + 12);
    uint16_t record = plat::load_u16le(in + 16);
    uint32_t entry_size = plat::load_u32le(in + 18);
    if (entry_size != kKernelActionSize || cursor > count)
        return kErrStateSize;
    std::vector<uint8_t> block;
    if (record == 0 || urec_read(record, block) != 0)
        return kErrOutOfMemory;
    if (uint64_t(count) * kKernelActionSize != block.size())
        return kErrStateSize;
    for (uint32_t i = 0; i < count; i++)
        if (!action_ok(kaction_decode(block.data() + size_t(i) * kKernelActionSize)))
            return kErrStateSize;
    Queue& q = s_queue;
    q.block = std::move(block);
    q.count = count;
    q.cursor = cursor;
    q.entry_size = entry_size;
    q.record = record;
    q.capacity = uint32_t(q.block.size());
    return 0;
}

static int queue_save(ModuleMessage* message)
{
    if (message->size != int16_t(kQueueSavedSize) || !message->state)
        return kErrStateSize;
    const Queue& q = s_queue;
    if (int error = urec_write(q.record, q.block.data(), size_t(q.count) * q.entry_size))
        return error;
    encode_state(message->state);
    return 0;
}

int action_queue_module(ModuleMessage* message)
{
    switch (message->message) {
    case kModInit: return queue_init(message);
    case kModRestore: return queue_restore(message);
    case kModSave: return queue_save(message);
    case kModRelease:
        urec_release(s_queue.record);
        s_queue.record = 0;
        return 0;
    case kModDelete:
        if (s_queue.record)
            (void)urec_delete(s_queue.record);
        s_queue.record = 0;
        return 0;
    default: return 0;
    }
}

void exec_queue_reset_all()
{
    int limit = s_queue.limit;
    s_queue = Queue {};
    s_queue.limit = limit;
}
